#pragma once

// The UTF-8 side of unpacking a help: its stored names, pages and sitemaps made UTF-8 on their
// way to the disk, in the ANSI code page its language gives, so that every later stage reads
// UTF-8. A name that is not UTF-8 is decoded, unless the decoded name is stored as well (the two
// would then be one file); pages and sitemaps are converted as Utf8Converter says.

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_set>

#include "text/Utf8Converter.h"

namespace plovik {

struct ChmFile;

// What one help's conversion did.
struct ConversionCounts {
    int codePage = 0;                // the help's ANSI code page; 0 when nothing was converted
    std::size_t namesConverted = 0;  // stored names that were not UTF-8
    std::size_t pagesConverted = 0;
    std::size_t sitemapsConverted = 0;
    std::size_t filesWithUndecodableBytes = 0;
};

class HelpTextToUtf8 {
public:
    // Reads the help's language from its #SYSTEM object.
    explicit HelpTextToUtf8(ChmFile& chm);

    // The name a stored name ("/" and a path) is written under.
    std::string_view name(std::string_view stored);
    // The bytes to write for the file `relative`; `undecodable` says how many did not decode.
    // The view stays valid until the next call.
    std::string_view content(std::string_view relative, std::string_view bytes,
                             std::size_t& undecodable);

    // A text out of the help's binary objects, read as a sitemap's text is: UTF-8 when it is
    // well-formed UTF-8, else the code page's. The view stays valid until the next call.
    std::string_view text(std::string_view bytes);

    const ConversionCounts& counts() const { return counts_; }

private:
    ChmFile& chm_;
    Utf8Converter converter_;
    ConversionCounts counts_;
    std::unordered_set<std::string_view> storedNames_;  // views into the container's entries
    std::string name_;
    std::string content_;
};

}  // namespace plovik
