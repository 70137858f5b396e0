#pragma once

#include <string>
#include <unordered_map>

#include "pages/CachedFile.h"
#include "pages/HtmlProcessor.h"

namespace plovik {

// The no-frame layout: every topic page merged into "noframe.tpl" with the tree, header, footer,
// navigation bar and related topics.
class CNoFrameHtmlProcessor : public CHtmlProcessor {
public:
    using CHtmlProcessor::CHtmlProcessor;

    // The site's entry is the help's own "index.html" when it has one; otherwise a generated
    // "index.html" leads to the page asked for, or the first topic, or the first page. The
    // template paths are set.
    Outcome WriteSitePages(const std::string& firstTopic) override;
    // Writes the generated "index.html" when there is to be one, and "sitemap.xml" when the
    // site's address is known.
    Outcome FinishSite() override;

    bool SetTemplatePaths();

    bool ProcessPage(const std::string& fullPath, const std::string& relPath, int tocId,
                     const std::string& tocTitle) override;

    std::string m_templatePath;
    std::string m_contentsPagePath;
    std::string m_headerFilePath;
    std::string m_footerFilePath;
    // Where the generated "index.html" leads (a link from the site's root); empty for none.
    std::string m_redirectTarget;
    // The contents tree's data file and the sitemap, relative to the output folder: names that
    // no file of the help has. The data file is empty when the template does not load it.
    std::string m_treeDataName;
    std::string m_sitemapName;

    // The page's place in the contents: links to its ancestors, outermost first, then its own
    // name; empty for a page outside the contents or at its top level.
    std::string Breadcrumbs(int tocId, std::string_view relPath) const;

private:
    // Writes the contents tree's data file when the template loads it, and warns when a
    // template that pastes the whole tree into every page would make the site huge.
    void PrepareTree();

    // Node position by id, for the walk from a node to its ancestors.
    std::unordered_map<int, std::size_t> m_nodeById;

    // The template's header and footer and the tree page, pasted into every page.
    CachedFile m_headerFile;
    CachedFile m_footerFile;
    CachedFile m_contentsPage;
};

// Writes "index.html" in the output folder: a refresh to the entry page.
bool WriteRedirectIndex(const std::string& outputFolder, const std::string& entryPage);

}  // namespace plovik
