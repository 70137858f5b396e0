#pragma once

// The language a help file was compiled for, as its "/#SYSTEM" object records it (the record of
// code 4 starts with the Windows language id). This, not the language in the ITSF header, tells
// the code page of the help's text: the header carries the language of the machine that ran the
// compiler, which is often another.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace plovik {

struct ChmFile;

// The language id from the #SYSTEM bytes: a 4-byte version, then records of a 2-byte code, a
// 2-byte length and that many bytes. Nullopt when no whole code-4 record of at least four bytes
// is there.
std::optional<std::uint32_t> languageOfSystemObject(std::string_view systemBytes);

// The same for an open help file; nullopt also when it has no #SYSTEM or it cannot be read.
std::optional<std::uint32_t> systemLanguageOf(ChmFile& chm);

// The text of one record of the #SYSTEM bytes (code 2: the default topic; 3: the title), up to
// its first NUL; nullopt when there is no whole record of that code.
std::optional<std::string_view> systemTextOfObject(std::string_view systemBytes,
                                                   std::uint16_t code);

// What a help's #SYSTEM says of it beyond its language; empty where it says nothing.
struct SystemTexts {
    std::string defaultTopic;  // the page the help viewer opens first, as written
    std::string title;
};
SystemTexts systemTextsOf(ChmFile& chm);

}  // namespace plovik
