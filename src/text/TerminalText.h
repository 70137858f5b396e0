#pragma once

// Text from a help file shown on a terminal. Names stored in a CHM may hold escape sequences
// that a terminal would obey (retitle the window, move the cursor, hide what follows), so every
// control byte is shown as "\xHH" instead. Well-formed UTF-8 stays readable, except the C1
// controls U+0080..U+009F, which some terminals obey too; bytes that are no UTF-8 are escaped.

#include <string>
#include <string_view>

namespace plovik {

enum class LineBreaks { Escape, Keep };

// `text` with its control bytes escaped. With LineBreaks::Keep, LF, CR and TAB pass as they are
// (a log's own line ends); otherwise they are escaped too, so one name stays on one line.
std::string escapeForTerminal(std::string_view text, LineBreaks lineBreaks = LineBreaks::Escape);

}  // namespace plovik
