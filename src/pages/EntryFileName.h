#pragma once

#include <string>
#include <string_view>

namespace plovik {

// The frame layout's entry page named after the help title ("<title>.html" is formed by the
// caller): a '/' would reach into another folder, and a control character makes a name that
// servers and browsers mangle, so each of them becomes '_'.
std::string safeEntryFileName(std::string_view title);

}  // namespace plovik
