#include "build/ProjectSettings.h"

namespace plovik {

std::string cutToCapacity(std::string_view text, std::size_t capacity) {
    if (text.size() <= capacity)
        return std::string(text);
    size_t cut = capacity;
    // Step back over continuation bytes so the cut lands on the start of a sequence.
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return std::string(text.substr(0, cut));
}

}  // namespace plovik
