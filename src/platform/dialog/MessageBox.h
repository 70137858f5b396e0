#pragma once

#include <string>

#include "platform/dialog/HtmlDialog.h"

namespace plovik {

// Message box styles, as the platform names them.
constexpr unsigned MB_OK = 0x0000;
constexpr unsigned MB_OKCANCEL = 0x0001;
constexpr unsigned MB_ICONERROR = 0x0010;
constexpr unsigned MB_ICONQUESTION = 0x0020;
constexpr unsigned MB_ICONEXCLAMATION = 0x0030;
constexpr unsigned MB_ICONINFORMATION = 0x0040;
constexpr unsigned MB_DEFBUTTON2 = 0x0100;

// A modal message box above the open dialogs; returns IDOK or IDCANCEL (closing it is Cancel, or
// OK for a box with OK alone).
INT_PTR MessageBoxW(DialogHost& host, const std::string& text, const std::string& caption,
                    unsigned type);

}  // namespace plovik
