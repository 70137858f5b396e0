#pragma once

#include <string>

#include "pages/HtmlProcessor.h"

namespace plovik {

// The frame layout: an entry page from "frame.tpl" whose frames show "header.html",
// "LeftPanel.html" and the topic pages, each topic rewritten in place.
class CFrameHtmlProcessor : public CHtmlProcessor {
public:
    using CHtmlProcessor::CHtmlProcessor;

    // Takes the title and the entry page name from the job.
    bool WriteEntryPage(const std::string& firstTopic);
    bool WriteHeaderPage();
    // Takes the index and search switches from the job.
    bool WriteLeftPanel();

    bool ProcessPage(const std::string& fullPath, const std::string& relPath, int tocId,
                     const std::string& tocTitle) override;

    std::string m_entryFileName;
};

}  // namespace plovik
