#pragma once

// The tag reader that both sitemap readers (.hhc and .hhk) are built on. Help compilers write
// these files in many shapes: one tag per line or a whole entry on one line (doxygen), PARAM
// attributes in any order and letter case, values in double quotes, single quotes or none. The
// help viewer reads them all, and so does this: the text is taken as a sequence of tags, and only
// the tags of the sitemap format matter (OBJECT, PARAM, UL and the end of the body).

#include <cstddef>
#include <string>
#include <string_view>

namespace plovik {

// Field widths of the records the readers fill (bytes, without a terminator).
inline constexpr std::size_t kSitemapNameWidth = 254;
inline constexpr std::size_t kSitemapLocalWidth = 255;

struct SitemapTag {
    enum class Kind {
        Object,     // <OBJECT ...>
        ObjectEnd,  // </OBJECT>
        Param,      // <PARAM name=... value=...>
        List,       // <UL ...>
        ListEnd,    // </UL>
        End,        // </BODY> or </HTML>: nothing after it belongs to the sitemap
    };
    Kind kind = Kind::End;
    // For a PARAM: its name and value attributes as written (quotes taken off, character
    // references still in them); empty when absent.
    std::string_view name;
    std::string_view value;
};

class SitemapTagReader {
public:
    explicit SitemapTagReader(std::string_view text) : text_(text) {}

    // The next tag of the format; false at the end of the text. Comments, other tags and the
    // text between tags are passed over.
    bool next(SitemapTag& tag);

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

// An attribute value as text: its character references decoded once (only those to ASCII when
// the value is not UTF-8, so that text of another code page is not mixed with UTF-8).
std::string sitemapText(std::string_view value);

// A relative link of a sitemap file that stands in a subfolder (`sitemapFolder`, "" at the site
// root), as a path from the site root: its path part resolved against that folder ("." and ".."
// segments taken out, never above the root), its query or fragment kept as written.
std::string fromSitemapFolder(std::string_view link, std::string_view sitemapFolder);

}  // namespace plovik
