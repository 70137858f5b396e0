#pragma once

#include <memory>
#include <string>
#include <vector>

#include "pages/HtmlProcessor.h"
#include "platform/OutputFolder.h"

namespace plovik {

// The frame layout: an entry page from "frame.tpl" whose frames show "header.html",
// "LeftPanel.html" and the topic pages, each topic rewritten in place.
class CFrameHtmlProcessor : public CHtmlProcessor {
public:
    using CHtmlProcessor::CHtmlProcessor;

    // The entry page (named as asked, "index.html" when nothing is asked, or after the title
    // when the help has a file of that name), the header and the left panel.
    Outcome WriteSitePages(const std::string& firstTopic) override;
    std::vector<std::string> SitePageNames() const override;

    // The entry page's name: as asked, unless the help has a file of that name.
    std::string ChosenEntryName() const;
    bool WriteEntryPage(const std::string& firstTopic);
    bool WriteHeaderPage();
    bool WriteLeftPanel();

    bool ProcessPage(const std::string& fullPath, const std::string& relPath, int tocId,
                     const std::string& tocTitle) override;

private:
    // The topics go back through folders kept open: each found again by its whole path, they
    // took a twentieth of a build.
    std::unique_ptr<OutputFolder> m_topics;
};

}  // namespace plovik
