#pragma once

// `plovik extract` and `plovik list`: the container on its own, for people who want a plain CHM
// unpacker. Both print the container's diagnostic lines only when asked (`verbose`), so that
// standard output carries just the log or the listing.

#include <string>

namespace plovik {

// The container's diagnostic lines go to the standard streams only for the length of a verbose
// command; otherwise nowhere, so that standard output stays the log or the listing.
class DiagnosticsScope {
public:
    explicit DiagnosticsScope(bool verbose);
    ~DiagnosticsScope();
    DiagnosticsScope(const DiagnosticsScope&) = delete;
    DiagnosticsScope& operator=(const DiagnosticsScope&) = delete;
};

// Unpacks every stored file of the CHM into `outDir` (created when missing) with the skips and
// the log lines of a build's extraction stage, written to standard output: byte for byte as
// stored, or with `utf8` made UTF-8 as a build makes them. Exit status: 0 when every file was
// written, 1 when the CHM cannot be read, 2 when some files failed.
int extractCommand(const std::string& chmPath, const std::string& outDir, bool utf8, bool verbose);

// Prints every directory entry, internal objects included, one a line: section, offset,
// length and name. Exit status 0, or 1 when the CHM cannot be read.
int listCommand(const std::string& chmPath, bool verbose);

// Prints the help's context map, one id a line: the id, its name ("-" when `namesFile` is empty
// or does not name it) and the stored page it opens, separated by tabs; nothing for a help
// without one. Exit status 0; 1 when the CHM or the names file cannot be read, or the map is
// damaged beyond use (the reason is on standard error).
int listContextCommand(const std::string& chmPath, const std::string& namesFile, bool verbose);

}  // namespace plovik
