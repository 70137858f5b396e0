#pragma once

// INI profile files, as the help files' home platform reads and writes them: "[section]" lines and
// "key=value" lines, looked up without regard to ASCII letter case, first match wins. Values are
// taken verbatim after trimming blanks around them; no quoting or escaping is applied here.
//
// A write changes only the one line it concerns (or adds it at the end of its section, or adds the
// section at the end of the file), so comments, blank lines, foreign keys, a leading UTF-8 byte
// order mark and the file's line-end style survive. Saving writes a temporary file beside the
// target and renames it over, so a crash or a full disk never leaves a truncated file behind.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Outcome.h"

namespace plovik {

class IniFile {
public:
    IniFile() = default;

    // Loads the file; a missing or unreadable file gives an empty document and false.
    bool load(const std::filesystem::path& path);
    // Loads a file that must be a profile, and says why when it is not one (the document is then
    // empty): it must exist and be readable, be a regular file (a FIFO or a device is refused at
    // once, never waited for) of a sensible size, hold no NUL byte (binary data, UTF-16 text),
    // and, when it holds anything but blank and comment lines, have a "[section]" line.
    Outcome loadChecked(const std::filesystem::path& path);
    // Parses text (any mix of CR LF and LF line ends).
    void parse(std::string_view text);

    std::optional<std::string> get(std::string_view section, std::string_view key) const;
    void set(std::string_view section, std::string_view key, std::string_view value);

    std::string text() const;
    // Atomic replacement of the file, with the reason when it could not be written (nothing
    // has changed then). A link is followed: its target gets the new text and the link stays.
    // The file keeps its permissions (a private file stays private).
    Outcome save(const std::filesystem::path& path) const;

    // The largest file loadChecked reads: far beyond any project or catalogue.
    static constexpr std::size_t kMaxFileSize = 1 << 20;

private:
    struct Line {
        std::string raw;  // the line as it stands in the file, without its line end
    };
    std::vector<Line> lines_;
    std::string eol_ = "\n";
    bool bom_ = false;  // the text began with a UTF-8 byte order mark

    // Index of the "[section]" line, or nullopt.
    std::optional<size_t> findSection(std::string_view section) const;
    // Index of the key line inside the section starting at `sectionLine`, or nullopt.
    std::optional<size_t> findKey(size_t sectionLine, std::string_view key) const;
    // One past the last line that belongs to the section starting at `sectionLine`.
    size_t sectionEnd(size_t sectionLine) const;
};

// The integer reading of a profile value: optional blanks, an optional sign, decimal digits; the
// digits that can be read (0 when there are none).
int parseProfileInt(std::string_view value);

}  // namespace plovik
