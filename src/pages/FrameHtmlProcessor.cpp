#include "pages/FrameHtmlProcessor.h"

namespace plovik {

// Placeholders until the frame layout lands.
bool CFrameHtmlProcessor::WriteEntryPage(const std::string&) { return true; }
bool CFrameHtmlProcessor::WriteHeaderPage() { return true; }
bool CFrameHtmlProcessor::WriteLeftPanel() { return true; }
bool CFrameHtmlProcessor::ProcessPage(const std::string&, const std::string&, int,
                                      const std::string&) {
    return true;
}

}  // namespace plovik
