#pragma once

// Where the href and src attribute values of a page stand. The page is not parsed as HTML: an
// attribute is the name, optional white space, '=', optional white space and a value that is
// double-quoted, single-quoted, quoted with escaped quotes (inside a script's string literal) or
// unquoted up to white space or '>'. Links written by scripts are found that way too.

#include <cstddef>
#include <string_view>
#include <vector>

namespace plovik {

struct LinkValue {
    std::size_t begin = 0;  // first byte of the value, inside its quotes
    std::size_t end = 0;    // one past its last byte
};

// Every href and src value of `html`, in the order they stand.
std::vector<LinkValue> linkValuesOf(std::string_view html);

}  // namespace plovik
