#pragma once

// Repair of the links a help file was written with, for a site served by a case-sensitive web
// server: a local link that names no stored file as written, but exactly one when case is
// ignored, is rewritten to that file's name; a link of the help viewer's own schemes ("ms-its:",
// "mk:@MSITStore:", "its:") into this same help file becomes a relative link. Every repaired and
// every still unresolved local link is counted, and the unresolved ones are kept for a report.
//
// Links are handled as bytes: a link keeps its own form (its relative climb, %-escapes, entities,
// query and fragment) and only the letters whose case was wrong change.

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "pages/IndexEntry.h"
#include "pages/SitemapNode.h"
#include "pages/StoredFileIndex.h"

namespace plovik {

class LinkRepair {
public:
    // `storedFiles`: every file the build wrote, relative to the site ('/' between folders);
    // `chmPath`: the help file, whose file name tells which help-viewer links lead into it.
    LinkRepair(std::vector<std::string> storedFiles, std::string_view chmPath);

    enum class Outcome {
        NotLocal,    // no file of the site: a web address, a script, a place in the same page
        Resolves,    // names a stored file as written
        Repaired,    // rewritten, and now names a stored file
        Unresolved,  // names no stored file, or several that differ only in case
    };

    // One link as written in the page `page` (a stored name; "" for a link read from the site's
    // root, as the sitemaps' links are). `out` is the link to write: the link itself unless it
    // was rewritten (a help-viewer link into this help is rewritten even when its target is
    // missing).
    Outcome repairLink(std::string_view link, std::string_view page, std::string& out) const;

    // Every href and src of a page, counted; true when the page changed.
    bool repairPage(std::string& html, std::string_view page);
    // The same on a piece of HTML that is matched against a repaired page, without counting.
    bool repairUncounted(std::string& html, std::string_view page);

    // The sitemaps' links, counted against the sitemap's name. The contents' start page
    // follows its first node.
    void repairContents(std::vector<SitemapNode>& nodes, std::string& startPage,
                        std::string_view sitemap);
    void repairIndex(std::vector<IndexEntry>& entries, std::string_view sitemap);

    std::size_t repairedCount() const { return repaired_; }
    std::size_t unresolvedCount() const { return unresolved_.size(); }
    // (page, link) of every unresolved link, in the order they were met.
    const std::vector<std::pair<std::string, std::string>>& unresolved() const {
        return unresolved_;
    }

    // The log line with both counts, and the report: "page\tlink\n" per unresolved link.
    std::string summary() const;
    std::string report() const;

private:
    bool repairHtml(std::string& html, std::string_view page, bool counted);
    void count(Outcome outcome, std::string_view page, std::string_view link);
    Outcome resolveLocal(std::string_view link, std::string_view page, std::string& out) const;
    bool intoThisHelp(std::string_view link, std::string& target) const;

    StoredFileIndex files_;
    std::string chmFileName_;
    std::size_t repaired_ = 0;
    std::vector<std::pair<std::string, std::string>> unresolved_;
};

}  // namespace plovik
