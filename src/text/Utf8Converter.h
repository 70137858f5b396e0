#pragma once

// Brings a help file's text to UTF-8 before anything reads it: its pages, its sitemaps (.hhc,
// .hhk) and its stored file names. Each decides its own encoding:
//
// - a page: a byte-order mark; else the first charset its head declares that is known; else
//   UTF-8 when its bytes are well-formed UTF-8; else the CHM's ANSI code page. A page whose bytes
//   already are what it is read as (UTF-8, or ASCII in any of these encodings) is left alone;
//   any other is converted and its declaration made to say utf-8 (or one is added);
// - a sitemap: a UTF-8 byte-order mark (which is then dropped) or well-formed UTF-8 means UTF-8;
//   anything else is in the CHM's code page;
// - a name: well-formed UTF-8 stays; anything else is in the CHM's code page.
//
// Bytes that do not decode become U+FFFD; the result says how many there were.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace plovik {

class TextDecoder;
struct Utf8Scan;

struct TextConversion {
    bool converted = false;       // `out` holds the new text; otherwise the input stands as it is
    std::size_t undecodable = 0;  // bytes that became U+FFFD
};

class Utf8Converter {
public:
    // `ansiCodePage` is the help file's (ansiCodePageOf its language).
    explicit Utf8Converter(int ansiCodePage);
    ~Utf8Converter();
    Utf8Converter(const Utf8Converter&) = delete;
    Utf8Converter& operator=(const Utf8Converter&) = delete;

    int codePage() const { return codePage_; }

    TextConversion convertPage(std::string_view page, std::string& out);
    TextConversion convertSitemap(std::string_view text, std::string& out);
    TextConversion convertName(std::string_view name, std::string& out);

    // The iconv name of the encoding convertPage reads a page in.
    std::string pageEncoding(std::string_view page) const;

private:
    // One decoder per encoding, opened at first use and kept for the whole help file.
    TextDecoder& decoder(std::string_view encoding);
    TextConversion decode(std::string_view encoding, std::string_view bytes, std::string& out);
    // The first known declared encoding, else UTF-8 or the code page as `scan` says.
    std::string declaredOrGuessed(std::string_view page, const Utf8Scan& scan) const;

    int codePage_;
    std::string ansiEncoding_;
    std::vector<std::unique_ptr<TextDecoder>> decoders_;
};

}  // namespace plovik
