#include "pages/NoFrameHtmlProcessor.h"

namespace plovik {

// Placeholders until the no-frame layout lands.
bool CNoFrameHtmlProcessor::SetTemplatePaths() { return true; }
bool CNoFrameHtmlProcessor::ProcessPage(const std::string&, const std::string&, int,
                                        const std::string&) {
    return true;
}
bool WriteRedirectIndex(const std::string&, const std::string&) { return true; }

}  // namespace plovik
