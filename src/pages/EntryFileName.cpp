#include "pages/EntryFileName.h"

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

}  // namespace plovik
