#pragma once

// Context help for the site: an application that opened the help viewer with a topic id (F1 in a
// dialog) opens "context.html?id=1001" (or "?alias=IDH_NAME") instead, and that page opens the
// topic the help's context map gives, the way the layout shows topics: the framed site's entry
// page with the topic in its topic frame, or the no-frame site's page itself. "helpmap.csv"
// lists every id with its name and page for the application's developers.
//
// Only topics that are pages of the site are ever opened: the map's targets are matched against
// the pages the build wrote, and nothing of the help reaches the page but as escaped script data.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "chm/ContextMap.h"

namespace plovik {

class Progress;

// One id of the site's map.
struct SiteContextId {
    std::uint32_t id = 0;
    std::string alias;  // empty when unnamed
    std::string page;   // the site's page, relative, '/' between folders; empty when the help
                        // names a topic the site does not have
    std::string place;  // a "#place" in the page, or empty
};

struct ContextHelpInput {
    std::string chmPath;
    std::string outputFolder;               // ends with '/'
    const std::vector<std::string>* pages;  // the site's pages, as written
    const std::vector<std::string>* files;  // every file the build unpacked
    std::string entryPageName;              // the site's entry page
    bool framed = true;                     // the frame layout, else the no-frame one
    bool convertCharset = true;             // names were made UTF-8 as they were written
    std::string namesFile;                  // a header or project naming the ids, or empty
};

// Writes the context page and the map file when the help has context ids, with one log line;
// does nothing (and logs nothing) for a help without them.
void buildContextHelp(Progress& progress, const ContextHelpInput& input);

// The ids' names from `path` and the files its #include lines name (relative to the including
// file's folder), a name of an earlier file winning. False, with the reason, when `path` itself
// cannot be read; an include that cannot be read is named in `whyNot` but does not fail.
bool loadContextNames(const std::string& path, std::map<std::uint32_t, std::string>& names,
                      std::string& whyNot);

// The map as CSV (RFC 4180, CR LF line ends): a header line "id,alias,page", then one line per id
// with its page and place. A page a spreadsheet would take for a formula is written as "./page".
std::string contextMapCsv(const std::vector<SiteContextId>& ids);

// The context page: the ids that open a page, and where it opens them (the entry page of a framed
// site, or empty for a no-frame one). `startPage` is the page an unknown id offers instead.
std::string contextPageHtml(const std::vector<SiteContextId>& ids, const std::string& framePage,
                            const std::string& startPage);

// A relative page name as a URL path: every byte but letters, digits, '/' and "-._~" escaped.
std::string pageUrl(std::string_view page);

}  // namespace plovik
