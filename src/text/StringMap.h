#pragma once

// A hash map keyed by strings that a string_view finds without being copied into a string first:
// the word loops look up millions of words cut out of pages, and an allocation per look-up cost
// more than the look-up itself.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace plovik {

struct StringHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const noexcept {
        return std::hash<std::string_view>{}(text);
    }
};

template <typename Value>
using StringMap = std::unordered_map<std::string, Value, StringHash, std::equal_to<>>;

}  // namespace plovik
