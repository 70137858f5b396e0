#include "pages/EntryFileName.h"

#include "text/AsciiCase.h"
#include "text/Utf8.h"

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

const std::string* storedNameLike(const std::vector<std::string>& files, std::string_view name) {
    for (const auto& file : files)
        if (equalsIgnoreAsciiCase(file, name))
            return &file;
    return nullptr;
}

bool isOneOfPages(const std::vector<std::string>& pages, std::string_view name) {
    return storedNameLike(pages, name) != nullptr;
}

std::string entryNameFromTitle(std::string_view title, const std::vector<std::string>& files) {
    // Room for ".html" and a number after the base within a file name's 255 bytes.
    constexpr std::size_t kBaseBytes = 255 - std::string_view("_999.html").size();
    std::string base = cutUtf8(safeEntryFileName(title), kBaseBytes);
    // A title of nothing but dots and blanks names no file, and a leading dot would hide one.
    if (base.find_first_not_of(". ") == std::string::npos)
        base = "help";
    for (char& c : base) {
        if (c != '.')
            break;
        c = '_';
    }
    std::string name = base + ".html";
    for (int n = 1; storedNameLike(files, name) && n < 1000; ++n)
        name = base + "_" + std::to_string(n) + ".html";
    return name;
}

}  // namespace plovik
