#pragma once

// The base of the two layout processors: the loop over every extracted page with its log lines,
// the match of a page to its table-of-contents node, the navigation bar, the related topics, and
// the text operations on a page.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pages/PageOptions.h"
#include "pages/SitemapNode.h"
#include "platform/Outcome.h"

namespace plovik {

class LinkRepair;
class Progress;
class TocIndex;

// Hears of every page of the page loop as it was before the loop rewrote it, in page order,
// exactly once each: the bytes, or nullopt when the page could not be read.
class PageTap {
public:
    virtual ~PageTap() = default;
    virtual void pageRead(std::size_t index, const std::optional<std::string>& bytes) = 0;
};

// The text between a page's title tags, as HTML (at most 259 bytes), or nullopt when it has no
// whole title element.
std::optional<std::string> titleOfPage(std::string_view page);

class CHtmlProcessor {
public:
    CHtmlProcessor(const PageOptions& options, Progress& progress);
    virtual ~CHtmlProcessor();
    CHtmlProcessor(const CHtmlProcessor&) = delete;
    CHtmlProcessor& operator=(const CHtmlProcessor&) = delete;

    // Rewrites one page in place. fullPath = m_outputFolder + relPath; tocId is the id of the
    // page's table-of-contents node or -1, tocTitle that node's name or empty.
    virtual bool ProcessPage(const std::string& fullPath, const std::string& relPath, int tocId,
                             const std::string& tocTitle);

    // The pages to rewrite (relative names, in order), the table of contents they stand in, and
    // the repair of their links (null when links stay as they are). All must outlive the
    // processor.
    void SetPages(const std::vector<std::string>& pages, const std::vector<SitemapNode>& tocNodes,
                  LinkRepair* linkRepair);
    // Every file the help gave the site (pages and others), so that no generated page takes the
    // name of one. Without it the pages are all there is.
    void SetStoredFiles(const std::vector<std::string>& files) { m_storedFiles = &files; }
    // Who hears of each page before it is rewritten (null: nobody), so that a page the loop reads
    // anyway is not read once more for something else.
    void SetPageTap(PageTap* tap) { m_pageTap = tap; }
    // The names of the files WriteSitePages writes, relative to the output folder.
    virtual std::vector<std::string> SitePageNames() const { return {}; }

    // The layout's own pages, written before the topics are rewritten, and the choice of the
    // site's entry page. `firstTopic` is the table of contents' start page. A fatal outcome, with
    // the reason, when the site could have no working entry page.
    virtual Outcome WriteSitePages(const std::string& firstTopic);
    // Every page of m_pages, in order, with its log line and checkpoint. Returns false only when
    // the build was stopped at a checkpoint.
    bool ProcessAllPages();
    // What the layout writes once every page is done.
    virtual Outcome FinishSite();
    // The site's entry page, relative to the output folder, once WriteSitePages has chosen it.
    const std::string& EntryPageName() const { return m_entryFileName; }

    // The navigation bar and the related topics of the page at fullPath (m_outputFolder followed
    // by the page's relative path; a path outside the output folder is taken as relative). The
    // links in them reach their targets through one "../" per folder level of the page.
    bool BuildNavigationBar(const std::string& fullPath);
    bool BuildRelatedTopics(const std::string& fullPath);

    static void InsertAfterBodyTag(std::string& page, std::string_view html);
    static void InsertBeforeBodyEnd(std::string& page, std::string_view html);
    static bool RemoveText(std::string& page, std::string_view fragment);
    bool ExtractTitle(const std::string& page);

    static bool MakeRelativeLink(std::string_view target, std::string_view fromPath,
                                 std::string* out);
    static void DecodeLocal(std::string& text);
    // The whole file in binary mode, or nullopt.
    static std::optional<std::string> ReadWholeFile(const std::string& path);

    // ---- inputs, from the options and SetPages ----
    std::string m_rootPrefix;
    std::string m_outputFolder;    // ends with '/'
    std::string m_templateFolder;  // ends with '/'
    const std::vector<std::string>* m_pages = nullptr;
    const std::vector<SitemapNode>* m_tocNodes = nullptr;
    std::string m_navBar;
    std::optional<std::string> m_relatedTopics;
    std::string m_pageTitle;
    std::string m_title;
    bool m_addHeader = false;
    bool m_addFooter = false;
    bool m_removeHeader = false;
    bool m_removeFooter = false;
    std::optional<std::string> m_header;
    std::optional<std::string> m_footer;
    std::optional<std::string> m_headerToRemove;
    std::optional<std::string> m_footerToRemove;
    bool m_showNavButtons = false;
    bool m_showRelatedTopics = false;
    bool m_convertCharset = true;
    bool m_indexLink = true;   // the frame layout's left panel links to the index...
    bool m_searchLink = true;  // ...and to the search page
    // Repairs the links of every page, or null when they stay as they are.
    LinkRepair* m_linkRepair = nullptr;
    const std::vector<std::string>* m_storedFiles = nullptr;
    std::string m_entryFileName;

protected:
    // The names the help's files take in the site (see SetStoredFiles).
    const std::vector<std::string>& StoredFiles() const;
    // The page the site opens with: the table of contents' start page when it is a page of the
    // site, else the first page; empty when the help has no page.
    std::string FirstPageLink(const std::string& firstTopic) const;

    // The page's path relative to the output folder.
    std::string_view RelativePath(std::string_view fullPath) const;

    // The page at fullPath, read for the loop's current page: the tap hears of it.
    std::optional<std::string> ReadPage(const std::string& fullPath);

    // The page's own links, repaired before anything is added to it; true when it changed.
    bool RepairLinks(std::string& page, std::string_view relPath);
    // A fragment to remove, as it reads in a page whose links were repaired (`repaired`), so
    // that it still matches what the user copied from the original page.
    std::string FragmentFor(const std::optional<std::string>& fragment, std::string_view relPath,
                            bool repaired);

    const PageOptions m_options;
    Progress& m_progress;

private:
    // The index over m_tocNodes: built once for the page loop, and afresh for every call made
    // outside it (the nodes may have changed in between).
    TocIndex& Index();

    std::unique_ptr<TocIndex> m_index;
    bool m_inPageLoop = false;
    PageTap* m_pageTap = nullptr;
    std::size_t m_pageIndex = 0;  // of the loop's current page
    bool m_pageTapped = false;    // the tap has heard of it
};

}  // namespace plovik
