#pragma once

// Which encoding a help file's text is in: the Windows ANSI code page of the language a CHM was
// compiled for, and the names that pages use in their charset declarations, each given as the
// name the C library's iconv knows it by.

#include <cstdint>
#include <string_view>

namespace plovik {

// The ANSI code page of a Windows language id (LCID): 1250-1258, 874, 932, 936, 949 or 950;
// 1252 for a language this does not know or that has no ANSI code page of its own.
int ansiCodePageOf(std::uint32_t lcid);

// The iconv name of one of the code pages above; that of 1252 for any other number.
std::string_view encodingOfCodePage(int codePage);

// The iconv name for a charset label as pages write it ("gb2312", "Shift_JIS", "windows-1251",
// "ISO-8859-1"...), following what browsers make of those labels: "iso-8859-1" and "us-ascii"
// are read as windows-1252, "gb2312" as GBK, "shift_jis" as Microsoft's code page 932, and a
// "utf-16" label in a page that was readable as bytes as UTF-8. Empty for a label this does not
// know, or for an encoding in which ASCII bytes are not ASCII text (a declaration that was read
// as ASCII cannot be telling the truth about such an encoding).
std::string_view encodingOfLabel(std::string_view label);

inline constexpr std::string_view kUtf8Encoding = "UTF-8";

}  // namespace plovik
