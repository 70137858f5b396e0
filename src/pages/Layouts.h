#pragma once

// The two layouts behind one interface: the processor that writes a layout's pages, and what
// else a layout's site is made of.

#include <memory>

#include "pages/HtmlProcessor.h"
#include "pages/PageOptions.h"

namespace plovik {

class Progress;

struct LayoutTraits {
    // The contents page "HelpContent.html" is a page of the site (the frame layout's tree), not
    // only text pasted into every page (after which it goes).
    bool contentsPageStays;
    // The keyword index and the full-text search belong to the layout.
    bool hasIndexAndSearch;
    // The value the contents tree is written for (0 frame, 1 no-frame).
    int treeLayout;
};

LayoutTraits traitsOf(Layout layout);

// The page processor of the layout.
std::unique_ptr<CHtmlProcessor> makeLayoutProcessor(Layout layout, const PageOptions& options,
                                                    Progress& progress);

}  // namespace plovik
