#pragma once

#include <string>

#include "pages/CachedFile.h"
#include "pages/HtmlProcessor.h"

namespace plovik {

// The no-frame layout: every topic page merged into "noframe.tpl" with the tree, header, footer,
// navigation bar and related topics.
class CNoFrameHtmlProcessor : public CHtmlProcessor {
public:
    using CHtmlProcessor::CHtmlProcessor;

    // The entry page is the first topic (or the first page); the template paths are set.
    bool WriteSitePages(const std::string& firstTopic, bool entryIsPage) override;
    // Without a page of the asked entry name, "index.html" leads to the entry page.
    bool FinishSite(bool entryIsPage) override;

    bool SetTemplatePaths();

    bool ProcessPage(const std::string& fullPath, const std::string& relPath, int tocId,
                     const std::string& tocTitle) override;

    std::string m_templatePath;
    std::string m_contentsPagePath;
    std::string m_headerFilePath;
    std::string m_footerFilePath;

private:
    // The template's header and footer and the tree page, pasted into every page.
    CachedFile m_headerFile;
    CachedFile m_footerFile;
    CachedFile m_contentsPage;
};

// Writes "index.html" in the output folder: a refresh to the entry page.
bool WriteRedirectIndex(const std::string& outputFolder, const std::string& entryPage);

}  // namespace plovik
