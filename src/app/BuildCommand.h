#pragma once

// `plovik build`: drives one build job from the command line the way the wizard does, with the
// process as the job's window.

#include <optional>
#include <string>
#include <vector>

namespace plovik {

struct BuildOptions {
    std::string projectFile;  // empty: start from the wizard's defaults
    // CHM files named on the command line besides --chm; with the project's and --chm's, two or
    // more make a library.
    std::vector<std::string> chmFiles;
    std::optional<std::string> chm;
    std::optional<std::string> out;
    std::optional<int> layout;  // 0 frame, 1 no-frame
    std::optional<int> templateIndex;
    std::optional<std::string> title;
    std::optional<std::string> entry;
    std::optional<std::string> baseUrl;
    bool noIndex = false;
    bool noSearch = false;
    bool noNav = false;
    bool noRelated = false;
    std::optional<int> charset;  // 0 convert to UTF-8, 1 keep the bytes
    bool noFixLinks = false;
    // The file that names the context ids, or empty.
    std::string contextNames;
    std::string linksReport;  // file for the unresolved links, or empty
    std::string report;       // file for every failed item and unresolved link, or empty
    bool force = false;       // write into a folder that holds files no build wrote
    bool log = false;         // print the log texts exactly as the job sends them
    bool verbose = false;     // also the container reader's diagnostic lines
};

// Exit status: 0 built with nothing failed, 1 stopped, 2 refused by validation, 3 failed (no
// usable site; in a library, any help without one, or no library page), 4 built but some items
// failed.
int runBuildCommand(const BuildOptions& options);

}  // namespace plovik
