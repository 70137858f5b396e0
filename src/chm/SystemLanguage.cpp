#include "chm/SystemLanguage.h"
#include "text/AsciiCase.h"

#include "chm/ByteReader.h"
#include "chm/ChmFile.h"

namespace plovik {

namespace {

constexpr std::uint16_t kLanguageRecord = 4;

bool isSystemObject(std::string_view name) {
    return equalsIgnoreAsciiCase(name, "/#SYSTEM");
}

}  // namespace

std::optional<std::uint32_t> languageOfSystemObject(std::string_view systemBytes) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(systemBytes.data());
    const std::size_t size = systemBytes.size();
    std::size_t at = 4;
    while (at <= size && size - at >= 4) {
        const std::uint16_t code = loadLe16(data + at);
        const std::size_t length = loadLe16(data + at + 2);
        at += 4;
        if (length > size - at)
            return std::nullopt;  // a record cut off by the end
        if (code == kLanguageRecord && length >= 4)
            return loadLe32(data + at);
        at += length;
    }
    return std::nullopt;
}

std::optional<std::uint32_t> systemLanguageOf(ChmFile& chm) {
    for (const ChmEntry& entry : chm.entries) {
        if (!isSystemObject(entry.name))
            continue;
        ObjectBytes bytes;
        if (retrieveEntry(chm, entry, bytes) != 0)
            return std::nullopt;
        return languageOfSystemObject(bytes.bytes);
    }
    return std::nullopt;
}

}  // namespace plovik
