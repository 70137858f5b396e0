#pragma once

// The fixed capacities of the settings' texts and the cut that keeps a text within one.

#include <cstddef>
#include <string>
#include <string_view>

namespace plovik {

// Paths, names and titles; the four header and footer HTML texts. Terminator excluded.
constexpr std::size_t kPathCapacity = 259;
constexpr std::size_t kHtmlTextCapacity = 1299;

// The longest prefix of `text` that fits `capacity`, never ending inside a UTF-8 sequence.
std::string cutToCapacity(std::string_view text, std::size_t capacity);

}  // namespace plovik
