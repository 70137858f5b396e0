#include "chm/SystemLanguage.h"

#include "chm/ByteReader.h"
#include "chm/ChmFile.h"
#include "text/AsciiCase.h"

namespace plovik {

namespace {

constexpr std::uint16_t kLanguageRecord = 4;

bool isSystemObject(std::string_view name) {
    return equalsIgnoreAsciiCase(name, "/#SYSTEM");
}

// The data of the first whole record of code `wanted` that holds at least `minLength` bytes,
// walking the records after the 4-byte version. Nullopt when there is none, or when a record is
// cut off by the end before it.
std::optional<std::string_view> recordOf(std::string_view systemBytes, std::uint16_t wanted,
                                         std::size_t minLength = 0) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(systemBytes.data());
    const std::size_t size = systemBytes.size();
    std::size_t at = 4;
    while (at <= size && size - at >= 4) {
        const std::uint16_t code = loadLe16(data + at);
        const std::size_t length = loadLe16(data + at + 2);
        at += 4;
        if (length > size - at)
            return std::nullopt;  // a record cut off by the end
        if (code == wanted && length >= minLength)
            return systemBytes.substr(at, length);
        at += length;
    }
    return std::nullopt;
}

// The #SYSTEM object's bytes, or nullopt.
std::optional<std::string> systemObjectOf(ChmFile& chm) {
    for (const ChmEntry& entry : chm.entries) {
        if (!isSystemObject(entry.name))
            continue;
        ObjectBytes bytes;
        if (retrieveEntry(chm, entry, bytes) != 0)
            return std::nullopt;
        return std::string(bytes.bytes);
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::uint32_t> languageOfSystemObject(std::string_view systemBytes) {
    const auto record = recordOf(systemBytes, kLanguageRecord, 4);
    if (!record)
        return std::nullopt;
    return loadLe32(reinterpret_cast<const std::uint8_t*>(record->data()));
}

std::optional<std::string_view> systemTextOfObject(std::string_view systemBytes,
                                                   std::uint16_t code) {
    auto record = recordOf(systemBytes, code);
    if (!record)
        return std::nullopt;
    return record->substr(0, record->find('\0'));
}

SystemTexts systemTextsOf(ChmFile& chm) {
    SystemTexts texts;
    const std::optional<std::string> bytes = systemObjectOf(chm);
    if (!bytes)
        return texts;
    texts.defaultTopic = std::string(systemTextOfObject(*bytes, 2).value_or(""));
    texts.title = std::string(systemTextOfObject(*bytes, 3).value_or(""));
    return texts;
}

std::optional<std::uint32_t> systemLanguageOf(ChmFile& chm) {
    const std::optional<std::string> bytes = systemObjectOf(chm);
    return bytes ? languageOfSystemObject(*bytes) : std::nullopt;
}

}  // namespace plovik
