#include "pages/Layouts.h"

#include "pages/FrameHtmlProcessor.h"
#include "pages/NoFrameHtmlProcessor.h"

namespace plovik {

LayoutTraits traitsOf(Layout layout) {
    switch (layout) {
        case Layout::NoFrame:
            return {.contentsPageStays = false, .hasIndexAndSearch = true, .treeLayout = 1};
        case Layout::Frame:
            break;
    }
    return {.contentsPageStays = true, .hasIndexAndSearch = true, .treeLayout = 0};
}

std::unique_ptr<CHtmlProcessor> makeLayoutProcessor(Layout layout, const PageOptions& options,
                                                    Progress& progress) {
    switch (layout) {
        case Layout::NoFrame:
            return std::make_unique<CNoFrameHtmlProcessor>(options, progress);
        case Layout::Frame:
            break;
    }
    return std::make_unique<CFrameHtmlProcessor>(options, progress);
}

}  // namespace plovik
