#pragma once

#include <string>
#include <string_view>

namespace plovik {

// Appends `text` to `out` as the body of a double-quoted JavaScript string literal: backslash,
// double quote, control characters and the line terminators U+2028 and U+2029 are escaped, every
// other byte (those of 0x80 and above included) is kept. So keywords, titles and page names from a
// stranger's CHM can neither break the data file nor run as script.
void appendJsStringBody(std::string& out, std::string_view text);

}  // namespace plovik
