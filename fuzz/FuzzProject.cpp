// libFuzzer target for project files: any bytes as an INI document, read with the keys a project
// holds, then one value written and read back. A value written must read back as written (less
// the blanks around it), and the text must keep every other key it had.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Ini.h"
#include "text/AsciiCase.h"

namespace {

bool plainValue(std::string_view text) {
    for (char c : text)
        if (c == '\r' || c == '\n' || c == '\0')
            return false;
    return true;
}

bool plainName(std::string_view text) {
    if (text.empty() || text.front() == ' ' || text.back() == ' ' || text.front() == '\t' ||
        text.back() == '\t' || text.front() == ';' || text.front() == '#' || text.front() == '[')
        return false;
    for (char c : text)
        if (c == '\r' || c == '\n' || c == '\0' || c == '=' || c == ']' || c == '[')
            return false;
    return true;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    plovik::IniFile ini;
    ini.parse(bytes);
    for (const char* key : {"chmfile", "outputpath", "title", "version", "selectedtemplate"})
        (void)ini.get("setting", key);
    for (const char* key : {"header", "footer", "fixlinks"})
        (void)ini.get("htmlsetting", key);

    // The last bytes, split at the first two '|', name the section, key and value to write.
    const std::size_t tail = bytes.size() > 64 ? bytes.size() - 64 : 0;
    const std::string_view spec = bytes.substr(tail);
    const std::size_t a = spec.find('|');
    const std::size_t b = a == std::string_view::npos ? a : spec.find('|', a + 1);
    if (b == std::string_view::npos)
        return 0;
    const std::string_view section = spec.substr(0, a);
    const std::string_view key = spec.substr(a + 1, b - a - 1);
    const std::string_view value = spec.substr(b + 1);
    if (!plainName(section) || !plainName(key) || !plainValue(value))
        return 0;
    const auto other = ini.get("setting", "chmfile");
    ini.set(section, key, value);
    if (ini.get(section, key) != std::string(trimmed(value)))
        __builtin_trap();
    plovik::IniFile again;
    again.parse(ini.text());
    if (again.get(section, key) != std::string(trimmed(value)))
        __builtin_trap();
    if (!(plovik::equalsIgnoreAsciiCase(section, "setting") &&
          plovik::equalsIgnoreAsciiCase(key, "chmfile")) &&
        again.get("setting", "chmfile") != other)
        __builtin_trap();
    return 0;
}
