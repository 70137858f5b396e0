#pragma once

// A library of helps: several CHM files built with the same settings, each into a folder of its
// own below one site folder, with a library page at the site's root that lists them by their
// titles and searches them all. The helps' help-viewer links into each other become relative
// links between their folders (see LinkRepair's LibraryHelp).
//
// Site layout:  SITE/index.html (the library page), SITE/<folder>/ (one help's site each).

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "pages/LinkRepair.h"
#include "pipeline/BuildJob.h"
#include "pipeline/ProjectSettings.h"
#include "platform/Outcome.h"

namespace plovik {

// The library page's file name at the site's root; no help's folder takes it.
inline constexpr std::string_view kLibraryPageName = "index.html";

// One help of the library, before it is built.
struct LibraryMember {
    std::string chmPath;
    std::string folder;  // below the site folder, one segment of safe bytes, no slash
    std::string title;   // the help's own title (its #SYSTEM), else its file name's stem
};

// The members in the order given: each CHM once (the same file named twice is one help), each
// in a folder named after its file name, made safe for a URL and every file system, and kept
// apart from the others' folders and the library page even where names differ only in case.
std::vector<LibraryMember> planLibrary(const std::vector<std::string>& chmPaths);

// The folder name for one CHM file: the stem of its file name, bytes other than ASCII letters,
// digits, '-', '_' and '.' replaced by '_', no leading '.'.
std::string libraryFolderName(std::string_view chmPath);

// The names the build of `chmPath` writes its stored files under (relative, '/' between
// folders), so that links from another help can be checked before this one is built; empty for
// a file that cannot be opened.
std::vector<std::string> storedNamesOf(const std::string& chmPath, bool convertCharset);

// The help's title as its #SYSTEM gives it, in UTF-8; empty when it has none.
std::string helpTitleOf(const std::string& chmPath);

// What member `self` sees of the others: each one's file name, folder ("../other/") and stored
// names (`storedNames[k]` those of member k). A file name shared by two members leads into the
// first of them.
std::vector<LibraryHelp> libraryLinksFor(const std::vector<LibraryMember>& members,
                                         std::size_t self,
                                         const std::vector<std::vector<std::string>>& storedNames);

// One help after its build.
struct LibraryEntry {
    LibraryMember member;
    bool built = false;       // it has a site
    std::string entryPage;    // relative to its folder
    bool framed = false;      // its entry page shows topics named by "#topic=" in a frame
    bool searchable = false;  // it has js/searchdata.js
    BuildResult result;
};

// The library page's text from its template: [#title#] the library's title, [#helps#] the list
// of built helps, [#library_data#] a JavaScript array of them for the page's search. Every text
// from a help is escaped for where it stands. Each placeholder is replaced once per occurrence,
// and no value is searched for placeholders again.
std::string libraryPageText(std::string_view templateText, std::string_view title,
                            const std::vector<LibraryEntry>& entries);

// How a whole library build ended.
struct LibraryOutcome {
    std::vector<LibraryEntry> entries;
    bool refused = false;          // a help's settings were refused: nothing more was built
    bool stopped = false;          // a build was stopped: the later helps were not built
    std::string libraryPageError;  // why the library page could not be written, or empty
};

// Builds every member in turn with `settings` (its CHM, folder and title put in), each through
// startBuild on `job`, waiting with `wait` (which returns when the worker has, and may stop the
// job meanwhile). A help whose build fails does not keep the others from being built. Then
// writes the library page from `templatePath` into `siteFolder` (ending in '/') when any help
// was built.
LibraryOutcome buildLibrary(const std::vector<LibraryMember>& members,
                            const ProjectSettings& settings, const std::string& siteFolder,
                            std::string_view libraryTitle, const std::string& templatePath,
                            BuildJob& job, BuildHost& host,
                            const std::function<void(BuildJob&)>& wait);

// The report lines of every help in one text, each item named from the site folder.
std::string libraryReport(const std::vector<LibraryEntry>& entries, bool linksOnly);

}  // namespace plovik
