#include "pages/EntryFileName.h"

#include "text/AsciiCase.h"
#include "text/Capacity.h"

namespace plovik {

std::string safeEntryFileName(std::string_view title) {
    std::string name(title);
    for (char& c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '/' || byte < 0x20 || byte == 0x7F)
            c = '_';
    }
    return name;
}

bool isOneOfPages(const std::vector<std::string>& pages, std::string_view name) {
    for (const auto& page : pages)
        if (equalsIgnoreAsciiCase(page, name))
            return true;
    return false;
}

std::string entryNameFromTitle(std::string_view title, const std::vector<std::string>& pages) {
    const std::string base = safeEntryFileName(title);
    std::string name = cutToCapacity(base + ".html", kPathCapacity);
    for (int n = 1; isOneOfPages(pages, name) && n < 1000; ++n)
        name = cutToCapacity(base + "_" + std::to_string(n) + ".html", kPathCapacity);
    return name;
}

}  // namespace plovik
