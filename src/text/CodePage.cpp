#include "text/CodePage.h"

#include "text/AsciiCase.h"

#include <array>
#include <string>
#include <utility>

namespace plovik {

namespace {

// Whole language ids that a script choice sets apart from the rest of their language.
constexpr std::pair<std::uint32_t, int> kLanguageIds[] = {
    {0x0804, 936},   // Chinese, PRC
    {0x1004, 936},   // Chinese, Singapore
    {0x0004, 936},   // Chinese, simplified
    {0x0404, 950},   // Chinese, Taiwan
    {0x0C04, 950},   // Chinese, Hong Kong
    {0x1404, 950},   // Chinese, Macao
    {0x7C04, 950},   // Chinese, traditional
    {0x0C1A, 1251},  // Serbian, Cyrillic
    {0x1C1A, 1251},  // Serbian, Cyrillic, Bosnia and Herzegovina
    {0x201A, 1251},  // Bosnian, Cyrillic
    {0x301A, 1251},  // Serbian, Cyrillic, Montenegro
    {0x281A, 1251},  // Serbian, Cyrillic, Serbia
    {0x082C, 1251},  // Azerbaijani, Cyrillic
    {0x0843, 1251},  // Uzbek, Cyrillic
    {0x0850, 0},     // Mongolian, traditional script: no ANSI code page
};

// The code page of each primary language (the low ten bits of a language id).
constexpr std::pair<std::uint16_t, int> kPrimaryLanguages[] = {
    {0x04, 936},   // Chinese
    {0x11, 932},   // Japanese
    {0x12, 949},   // Korean
    {0x1E, 874},   // Thai
    {0x2A, 1258},  // Vietnamese
    {0x05, 1250},  // Czech
    {0x0E, 1250},  // Hungarian
    {0x15, 1250},  // Polish
    {0x18, 1250},  // Romanian
    {0x1A, 1250},  // Croatian, Serbian and Bosnian in Latin script
    {0x1B, 1250},  // Slovak
    {0x1C, 1250},  // Albanian
    {0x24, 1250},  // Slovenian
    {0x42, 1250},  // Turkmen
    {0x02, 1251},  // Bulgarian
    {0x19, 1251},  // Russian
    {0x22, 1251},  // Ukrainian
    {0x23, 1251},  // Belarusian
    {0x28, 1251},  // Tajik
    {0x2F, 1251},  // Macedonian
    {0x3F, 1251},  // Kazakh
    {0x40, 1251},  // Kyrgyz
    {0x44, 1251},  // Tatar
    {0x50, 1251},  // Mongolian
    {0x6D, 1251},  // Bashkir
    {0x85, 1251},  // Sakha
    {0x08, 1253},  // Greek
    {0x1F, 1254},  // Turkish
    {0x2C, 1254},  // Azerbaijani
    {0x43, 1254},  // Uzbek
    {0x0D, 1255},  // Hebrew
    {0x3D, 1255},  // Yiddish
    {0x01, 1256},  // Arabic
    {0x20, 1256},  // Urdu
    {0x29, 1256},  // Persian
    {0x59, 1256},  // Sindhi
    {0x80, 1256},  // Uyghur
    {0x8C, 1256},  // Dari
    {0x92, 1256},  // Central Kurdish
    {0x25, 1257},  // Estonian
    {0x26, 1257},  // Latvian
    {0x27, 1257},  // Lithuanian
    {0x07, 1252},  // German
    {0x09, 1252},  // English
    {0x0C, 1252},  // French
    {0x0A, 1252},  // Spanish
};

constexpr std::pair<int, std::string_view> kCodePageEncodings[] = {
    {874, "CP874"},   {932, "CP932"},   {936, "GBK"},     {949, "CP949"},   {950, "BIG5"},
    {1250, "CP1250"}, {1251, "CP1251"}, {1252, "CP1252"}, {1253, "CP1253"}, {1254, "CP1254"},
    {1255, "CP1255"}, {1256, "CP1256"}, {1257, "CP1257"}, {1258, "CP1258"},
};

// Labels in lower case. Those that only prefix a number ("windows-125x", "iso-8859-x") are
// handled apart.
constexpr std::pair<std::string_view, std::string_view> kLabels[] = {
    {"utf-8", "UTF-8"},
    {"utf8", "UTF-8"},
    {"unicode-1-1-utf-8", "UTF-8"},
    {"utf-16", "UTF-8"},
    {"utf-16le", "UTF-8"},
    {"utf-16be", "UTF-8"},
    {"unicode", "UTF-8"},
    {"gb2312", "GBK"},
    {"gbk", "GBK"},
    {"cp936", "GBK"},
    {"x-gbk", "GBK"},
    {"gb_2312-80", "GBK"},
    {"csgb2312", "GBK"},
    {"chinese", "GBK"},
    {"windows-936", "GBK"},
    {"gb18030", "GB18030"},
    {"big5", "BIG5"},
    {"cn-big5", "BIG5"},
    {"x-x-big5", "BIG5"},
    {"csbig5", "BIG5"},
    {"cp950", "BIG5"},
    {"windows-950", "BIG5"},
    {"big5-hkscs", "BIG5-HKSCS"},
    {"shift_jis", "CP932"},
    {"shift-jis", "CP932"},
    {"sjis", "CP932"},
    {"x-sjis", "CP932"},
    {"ms_kanji", "CP932"},
    {"csshiftjis", "CP932"},
    {"windows-31j", "CP932"},
    {"ms932", "CP932"},
    {"cp932", "CP932"},
    {"euc-jp", "EUC-JP"},
    {"x-euc-jp", "EUC-JP"},
    {"euc-kr", "CP949"},
    {"ks_c_5601-1987", "CP949"},
    {"ks_c_5601-1989", "CP949"},
    {"ksc5601", "CP949"},
    {"korean", "CP949"},
    {"cp949", "CP949"},
    {"windows-949", "CP949"},
    {"us-ascii", "CP1252"},
    {"ascii", "CP1252"},
    {"latin1", "CP1252"},
    {"l1", "CP1252"},
    {"tis-620", "CP874"},
    {"koi8-r", "KOI8-R"},
    {"koi8-u", "KOI8-U"},
    {"ibm866", "CP866"},
};

// The number after one of the prefixes, or -1 when the rest is not all digits.
int numberAfter(std::string_view label, std::string_view prefix) {
    if (label.size() <= prefix.size() || label.size() > prefix.size() + 5 ||
        label.substr(0, prefix.size()) != prefix)
        return -1;
    int number = 0;
    for (char c : label.substr(prefix.size())) {
        if (c < '0' || c > '9')
            return -1;
        number = number * 10 + (c - '0');
    }
    return number;
}

}  // namespace

int ansiCodePageOf(std::uint32_t lcid) {
    const std::uint32_t id = lcid & 0xFFFF;
    for (const auto& [languageId, codePage] : kLanguageIds)
        if (languageId == id)
            return codePage == 0 ? 1252 : codePage;
    const auto primary = static_cast<std::uint16_t>(id & 0x3FF);
    for (const auto& [language, codePage] : kPrimaryLanguages)
        if (language == primary)
            return codePage;
    return 1252;
}

std::string_view encodingOfCodePage(int codePage) {
    for (const auto& [number, encoding] : kCodePageEncodings)
        if (number == codePage)
            return encoding;
    return "CP1252";
}

std::string_view encodingOfLabel(std::string_view label) {
    const std::string lower = asciiLowered(label);
    for (const auto& [name, encoding] : kLabels)
        if (name == lower)
            return encoding;
    for (std::string_view prefix : {"windows-", "cp", "x-cp"}) {
        const int number = numberAfter(lower, prefix);
        if (number == 874 || (number >= 1250 && number <= 1258))
            return encodingOfCodePage(number);
        if (number == 866)
            return "CP866";
    }
    for (std::string_view prefix : {"iso-8859-", "iso8859-", "iso_8859-"}) {
        const int number = numberAfter(lower, prefix);
        static constexpr std::array<std::string_view, 17> kParts = {
            "",           "CP1252",      "ISO-8859-2",  "ISO-8859-3",  "ISO-8859-4",  "ISO-8859-5",
            "ISO-8859-6", "ISO-8859-7",  "ISO-8859-8",  "CP1254",      "ISO-8859-10", "CP874",
            "",           "ISO-8859-13", "ISO-8859-14", "ISO-8859-15", "ISO-8859-16"};
        if (number > 0 && number < static_cast<int>(kParts.size()))
            return kParts[static_cast<std::size_t>(number)];
    }
    return {};
}

}  // namespace plovik
