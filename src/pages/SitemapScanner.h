#pragma once

// The line scanner that both sitemap readers (.hhc and .hhk) are built on. Help compilers and the
// viewers that read these files treat them as lines of text with fixed markers in them, not as
// HTML, and the readers here accept exactly that format:
//
// - a line is what a 4096-byte line buffer holds: up to and including its '\n', and at most 4095
//   bytes, so a longer line arrives as several lines; a NUL byte ends what the tests see of it;
// - markers are looked for in an ASCII upper-case copy of the line, so they match in any case,
//   while values are taken from the unchanged line at the same position;
// - a PARAM element is read by one fixed pattern (see scanParamElement).

#include <cstddef>
#include <string>
#include <string_view>

namespace plovik {

inline constexpr std::size_t kSitemapLineBuffer = 4096;

// Field widths of the records the readers fill (bytes, without a terminator).
inline constexpr std::size_t kSitemapNameWidth = 254;
inline constexpr std::size_t kSitemapLocalWidth = 255;

class SitemapLineReader {
public:
    explicit SitemapLineReader(std::string_view text) : text_(text) {}

    // The next line and its upper-case copy; false at the end of the text.
    bool next();

    std::string_view line() const { return line_; }
    std::string_view upper() const { return upper_; }
    // Whether the marker (upper case) occurs anywhere in the line.
    bool has(std::string_view marker) const { return upper_.find(marker) != std::string::npos; }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
    std::string_view line_;
    std::string upper_;
};

// What the PARAM pattern yields. The pattern is the scanf format
//   "\t<%[^=]=\"%[^\"]\"\t%[^=]=\"%[^\"]\">"
// (a tab stands for any run of white space, also none): tag words, '=', the quoted parameter name,
// white space, the attribute word, '=', the quoted value. A field the scan did not reach is empty,
// so an element that breaks off before its value yields an empty value, and one that breaks off
// before its name yields no name (and is ignored by the readers).
struct ParamElement {
    std::string_view name;
    std::string_view value;
};

// Scans `from` (the unchanged line from the position where the element is expected).
ParamElement scanParamElement(std::string_view from);

// A relative link of a sitemap file that stands in a subfolder (`sitemapFolder`, "" at the site
// root), as a path from the site root: its path part resolved against that folder ("." and ".."
// segments taken out, never above the root), its query or fragment kept as written.
std::string fromSitemapFolder(std::string_view link, std::string_view sitemapFolder);

}  // namespace plovik
