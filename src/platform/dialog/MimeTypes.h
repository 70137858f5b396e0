#pragma once

// The media type a file is served with, by its extension in any letter case.

#include <string_view>

namespace plovik {

// `utf8`: the file is known to be UTF-8 text (the program's own pages), so text types say so.
std::string_view mimeTypeOf(std::string_view fileName, bool utf8 = false);

}  // namespace plovik
