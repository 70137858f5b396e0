#pragma once

#include <cstdint>
#include <string>

namespace plovik::test {

// Appends `v` as the four little-endian bytes the help formats store.
inline void putLe32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace plovik::test
