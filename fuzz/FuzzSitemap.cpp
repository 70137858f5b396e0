// libFuzzer target for the sitemap readers: any bytes as a .hhc and as a .hhk, then the contents
// tree and the navigation index over what was read, queried with the pages the table names.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pages/TableOfContents.h"
#include "pages/TocIndex.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    plovik::TableOfContents toc;
    toc.ParseContentsText(text, "/fuzz/help.chm", size % 2 ? "sub/" : "");
    for (std::size_t k = 0; k < toc.nodes.size(); ++k) {
        const auto& node = toc.nodes[k];
        if (node.id != static_cast<int>(k) || node.parentId >= node.id || node.name.size() > 254 ||
            node.local.size() > 255)
            __builtin_trap();
    }
    toc.layout = static_cast<int>(size % 2);
    (void)toc.TreeHtml();
    (void)toc.TreeIdsScript();

    plovik::TocIndex index(toc.nodes);
    for (std::size_t k = 0; k < toc.nodes.size() && k < 64; ++k) {
        index.setPath(index.decoded(k));
        const std::size_t first = index.firstOccurring();
        (void)index.previousPage(first);
        (void)index.nextPage(first);
        (void)index.exactMatch(index.decoded(k));
    }

    std::vector<plovik::IndexEntry> entries;
    plovik::ParseIndexFile(entries, text);
    return 0;
}
