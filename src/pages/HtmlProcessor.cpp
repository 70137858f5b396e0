// The page loop shared by both layouts, and the two blocks that depend on where a page stands in
// the table of contents: the navigation bar and the related topics.

#include "pages/HtmlProcessor.h"

#include "pages/EntryFileName.h"
#include "pages/LinkRepair.h"
#include "pages/PageLinks.h"
#include "pages/Progress.h"
#include "pages/TocIndex.h"
#include "platform/TextFile.h"
#include "text/HtmlEntities.h"
#include "text/PercentEscapes.h"

namespace plovik {

CHtmlProcessor::CHtmlProcessor(const PageOptions& options, Progress& progress)
    : m_options(options), m_progress(progress) {
    m_outputFolder = options.outputFolder;
    m_templateFolder = options.templateFolder;
    m_title = options.title;
    m_showNavButtons = options.showNavButtons;
    m_showRelatedTopics = options.showRelatedTopics;
    m_convertCharset = options.convertCharset;
    m_indexLink = options.indexLink;
    m_searchLink = options.searchLink;
    m_addHeader = options.addHeader.has_value();
    m_header = options.addHeader;
    m_addFooter = options.addFooter.has_value();
    m_footer = options.addFooter;
    m_removeHeader = options.removeHeader.has_value();
    m_headerToRemove = options.removeHeader;
    m_removeFooter = options.removeFooter.has_value();
    m_footerToRemove = options.removeFooter;
}

CHtmlProcessor::~CHtmlProcessor() = default;

void CHtmlProcessor::SetPages(const std::vector<std::string>& pages,
                              const std::vector<SitemapNode>& tocNodes, LinkRepair* linkRepair) {
    m_pages = &pages;
    m_tocNodes = &tocNodes;
    m_linkRepair = linkRepair;
}

Outcome CHtmlProcessor::WriteSitePages(const std::string&) {
    return Outcome::ok();
}

Outcome CHtmlProcessor::FinishSite() {
    return Outcome::ok();
}

const std::vector<std::string>& CHtmlProcessor::StoredFiles() const {
    static const std::vector<std::string> kNone;
    return m_storedFiles ? *m_storedFiles : m_pages ? *m_pages : kNone;
}

std::string CHtmlProcessor::FirstPageLink(const std::string& firstTopic) const {
    // A start page that is a web address, a script or a file the help does not hold is no page
    // of the site to open with.
    if (!firstTopic.empty() && !isExternalLink(firstTopic) && !isScriptLink(firstTopic)) {
        const std::string path =
            percentDecoded(firstTopic.substr(0, firstTopic.find_first_of("#?")));
        if (storedNameLike(StoredFiles(), path))
            return firstTopic;
    }
    if (m_pages && !m_pages->empty())
        return linkToStoredName(m_pages->front());
    return {};
}

bool CHtmlProcessor::ProcessPage(const std::string&, const std::string&, int, const std::string&) {
    return true;
}

TocIndex& CHtmlProcessor::Index() {
    if (!m_inPageLoop || !m_index) {
        static const std::vector<SitemapNode> kNoNodes;
        m_index = std::make_unique<TocIndex>(m_tocNodes ? *m_tocNodes : kNoNodes);
    }
    return *m_index;
}

std::string_view CHtmlProcessor::RelativePath(std::string_view fullPath) const {
    if (!m_outputFolder.empty() && fullPath.substr(0, m_outputFolder.size()) == m_outputFolder)
        return fullPath.substr(m_outputFolder.size());
    return fullPath;
}

bool CHtmlProcessor::ProcessAllPages() {
    if (!m_pages)
        return true;
    m_inPageLoop = false;
    Index();
    m_inPageLoop = true;
    const TocIndex& index = *m_index;

    for (std::size_t k = 0; k < m_pages->size(); ++k) {
        const std::string& relPath = (*m_pages)[k];
        m_progress.log("\r\n   process :" + relPath + ".", 0);
        const std::string fullPath = m_outputFolder + relPath;

        int tocId = -1;
        std::string tocTitle;
        if (const int node = index.exactMatch(relPath); node >= 0) {
            tocId = (*m_tocNodes)[static_cast<std::size_t>(node)].id;
            tocTitle = (*m_tocNodes)[static_cast<std::size_t>(node)].name;
        }
        m_rootPrefix.clear();
        MakeRelativeLink("/", relPath, &m_rootPrefix);

        m_pageIndex = k;
        m_pageTapped = false;
        const bool ok = ProcessPage(fullPath, relPath, tocId, tocTitle);
        // A page the layout did not read was not written either: it is still as it was.
        if (m_pageTap && !m_pageTapped)
            m_pageTap->pageRead(k, readBinaryFile(fullPath));
        m_progress.log(ok ? "ok" : "failed", 1);
        m_progress.itemDone();
        if (m_progress.checkStop()) {
            m_inPageLoop = false;
            return false;
        }
    }
    m_inPageLoop = false;
    return true;
}

bool CHtmlProcessor::BuildNavigationBar(const std::string& fullPath) {
    if (fullPath.empty())
        return false;
    const std::string_view relPath = RelativePath(fullPath);
    TocIndex& index = Index();
    index.setPath(relPath);
    const std::size_t position = index.firstOccurring();

    auto button = [&](long long node, const char* image, const char* after) {
        if (node < 0)
            return std::string();
        const std::string link =
            escapeHtml(linkFromPage(index.decoded(static_cast<std::size_t>(node)), relPath));
        return "<a href=\"" + link + "\"><img src=" + m_rootPrefix + "images/" + image +
               " border=0></a>" + after;
    };
    m_navBar = "<div align=right>" + button(index.previousPage(position), "prev.gif", "&nbsp;") +
               button(index.nextPage(position), "next.gif", "") + "</div>";
    return true;
}

bool CHtmlProcessor::BuildRelatedTopics(const std::string& fullPath) {
    if (fullPath.empty() || !m_tocNodes)
        return false;
    const std::string_view relPath = RelativePath(fullPath);
    TocIndex& index = Index();
    index.setPath(relPath);
    const long long last = index.lastOccurring();
    if (last < 0)
        return false;
    const auto current = static_cast<std::size_t>(last);
    const std::vector<SitemapNode>& nodes = *m_tocNodes;

    // Its children; for a leaf, its siblings.
    const std::vector<std::size_t>* related = &index.childrenOf(nodes[current].id);
    bool siblings = false;
    if (related->empty() && nodes[current].parentId != -1) {
        related = &index.childrenOf(nodes[current].parentId);
        siblings = true;
        if (related->size() == 1 && related->front() == current)
            return false;
    }
    if (related->empty())
        return false;

    std::string text = "<div style=\"font-size:12px;font-family:Arial;\"><b>Relate Topics:</b><br>";
    bool linked = false;
    for (std::size_t k : *related) {
        if (siblings && k == current)
            continue;
        const SitemapNode& node = nodes[k];
        if (node.local.empty())
            continue;
        text += "&nbsp;&nbsp;<a href=\"" + escapeHtml(linkFromPage(node.local, relPath)) + "\">" +
                escapeHtml(node.name) + "</a><br>";
        linked = true;
    }
    if (!linked) {
        m_relatedTopics = std::string();
        return false;
    }
    text += "</div>";
    m_relatedTopics = std::move(text);
    return true;
}

bool CHtmlProcessor::RepairLinks(std::string& page, std::string_view relPath) {
    return m_linkRepair && m_linkRepair->repairPage(page, relPath);
}

std::string CHtmlProcessor::FragmentFor(const std::optional<std::string>& fragment,
                                        std::string_view relPath, bool repaired) {
    std::string text = fragment.value_or(std::string());
    if (repaired && m_linkRepair)
        m_linkRepair->repairUncounted(text, relPath);
    return text;
}

std::optional<std::string> CHtmlProcessor::ReadPage(const std::string& fullPath) {
    auto page = readBinaryFile(fullPath);
    if (m_pageTap && m_inPageLoop && !m_pageTapped) {
        m_pageTapped = true;
        m_pageTap->pageRead(m_pageIndex, page);
    }
    return page;
}

std::optional<std::string> CHtmlProcessor::ReadWholeFile(const std::string& path) {
    return readBinaryFile(path);
}

}  // namespace plovik
