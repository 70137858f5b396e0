#pragma once

// The fixed capacities of the settings' texts and the cut that keeps a text within one. The
// capacities count characters as the platform's text fields do: UTF-16 code units, so a
// character beyond U+FFFF counts twice and a Cyrillic or Chinese one once, whatever its UTF-8
// length.

#include <cstddef>
#include <string>
#include <string_view>

namespace plovik {

// Paths, names and titles; the four header and footer HTML texts. Terminator excluded.
constexpr std::size_t kPathCapacity = 259;
constexpr std::size_t kHtmlTextCapacity = 1299;

// How many UTF-16 code units the UTF-8 text takes; a byte that is not UTF-8 counts as one.
std::size_t utf16Length(std::string_view text);

// The longest prefix of `text` of at most `capacity` UTF-16 code units, never ending inside a
// character.
std::string cutToCapacity(std::string_view text, std::size_t capacity);

}  // namespace plovik
