#pragma once

// Repair of the links a help file was written with, for a site served by a case-sensitive web
// server: a local link that names no stored file as written, but exactly one when case is
// ignored, is rewritten to that file's name; a link of the help viewer's own schemes ("ms-its:",
// "mk:@MSITStore:", "its:") into this same help file becomes a relative link. Every repaired and
// every still unresolved local link is counted, and the unresolved ones are kept for a report.
//
// Links are handled as bytes: a link keeps its own form (its relative climb, %-escapes, entities,
// query and fragment) and only the letters whose case was wrong change.
//
// A help built as one of a library also knows the other helps beside it: a help-viewer link into
// one of them becomes a relative link into its folder, and one into a help that is not in the
// library stays as written and is reported.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "pages/IndexEntry.h"
#include "pages/SitemapNode.h"
#include "pages/StoredFileIndex.h"

namespace plovik {

// Another help of the same library, as the help being built sees it.
struct LibraryHelp {
    std::string chmFileName;  // its file name, which help-viewer links name it by (any case)
    std::string folder;       // its folder from this help's root, ending in '/': "../other/"
    std::vector<std::string> storedFiles;  // every file its build writes, relative to its folder
};

class LinkRepair {
public:
    // `storedFiles`: every file the build wrote, relative to the site ('/' between folders);
    // `chmPath`: the help file, whose file name tells which help-viewer links lead into it;
    // `library`: the other helps of a library build, none for a help built alone.
    LinkRepair(std::vector<std::string> storedFiles, std::string_view chmPath,
               std::vector<LibraryHelp> library = {});

    enum class Outcome {
        NotLocal,        // no file of the site: a web address, a script, a place in the same page
        Resolves,        // names a stored file as written
        Repaired,        // rewritten, and now names a stored file
        Unresolved,      // names no stored file, or several that differ only in case
        OutsideLibrary,  // in a library build: leads into a help file that is not in it
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

    std::size_t repairedCount() const { return tally_.repaired; }
    std::size_t unresolvedCount() const { return tally_.unresolved.size(); }
    // (page, link) of every unresolved link, in the order they were met.
    const std::vector<std::pair<std::string, std::string>>& unresolved() const {
        return tally_.unresolved;
    }
    // (page, link) of every link into a help that is not in the library.
    const std::vector<std::pair<std::string, std::string>>& outsideLibrary() const {
        return tally_.outside;
    }

    // While the pages are repaired on one thread and the keyword index on another, the pages'
    // counts are kept apart from the rest; joining them after adds them last, as though the
    // pages had come after the index. Look-ups are safe from two threads; counting is not,
    // hence the two tallies.
    void countPagesApart() { pagesApart_ = true; }
    void joinPageCounts();

    // The log line with the counts, and the report: "page\tlink\n" per unresolved link, then per
    // link into a help outside the library.
    std::string summary() const;
    std::string report() const;

private:
    bool repairHtml(std::string& html, std::string_view page, bool counted);
    struct Tally {
        std::size_t repaired = 0;
        std::vector<std::pair<std::string, std::string>> unresolved;
        std::vector<std::pair<std::string, std::string>> outside;

        void count(Outcome outcome, std::string_view page, std::string_view link);
    };
    Outcome resolveLocal(std::string_view link, std::string_view page, std::string& out) const;
    bool namesAStoredFilePlainly(std::string_view path, std::string_view page) const;
    struct OtherHelp {
        std::string chmFileName;
        std::string folder;
        std::unique_ptr<StoredFileIndex> files;
    };
    Outcome intoOtherHelp(const OtherHelp& help, std::string_view target, std::string_view page,
                          std::string& out) const;

    StoredFileIndex files_;
    std::string chmFileName_;
    std::vector<OtherHelp> library_;
    Tally tally_;
    Tally pageTally_;  // the pages', while they are counted apart
    bool pagesApart_ = false;
};

}  // namespace plovik
