#include "pages/PageLinks.h"

#include <array>
#include <vector>

#include "pages/HtmlProcessor.h"
#include "text/AsciiCase.h"
#include "text/PathSegments.h"
#include "text/PercentEscapes.h"

namespace plovik {

namespace {}  // namespace

bool isExternalLink(std::string_view link) {
    static constexpr std::array<std::string_view, 9> kSchemes = {
        "http:", "https:", "ftp:", "mailto:", "javascript:", "file:", "data:", "news:", "tel:"};
    for (std::string_view scheme : kSchemes)
        if (startsWithIgnoreAsciiCase(link, scheme))
            return true;
    return false;
}

std::string rootPrefixOf(std::string_view relPath) {
    std::string prefix;
    const auto segments = pathSegments(relPath);
    for (std::size_t k = 1; k < segments.size(); ++k)
        prefix += "../";
    return prefix;
}

std::string linkFromPage(std::string_view target, std::string_view relPath) {
    if (isExternalLink(target))
        return std::string(target);
    std::string link = rootPrefixOf(relPath);
    const auto segments = pathSegments(target);
    for (std::size_t k = 0; k < segments.size(); ++k) {
        if (k > 0)
            link += '/';
        link += segments[k];
    }
    return link;
}

bool isScriptLink(std::string_view link) {
    std::string scheme;
    for (char c : link) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7F)
            continue;  // browsers drop these before and within a scheme
        if (c == ':')
            return scheme == "javascript" || scheme == "vbscript" || scheme == "data";
        scheme += asciiLower(c);
        if (scheme.size() > 10)
            return false;
    }
    return false;
}

std::string linkToStoredName(std::string_view name) {
    std::string link;
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7F || c == '"' || c == '\'' || c == '%' || c == '#' ||
            c == '?' || c == '<' || c == '>' || c == '&' || c == '\\' || c == '+')
            appendPercentEscape(link, byte);
        else
            link += c;
    }
    return link;
}

bool CHtmlProcessor::MakeRelativeLink(std::string_view target, std::string_view fromPath,
                                      std::string* out) {
    if (!out || target.empty() || fromPath.empty())
        return false;
    const auto from = pathSegments(fromPath);
    const auto to = pathSegments(target);
    std::size_t common = 0;
    while (common < from.size() && common < to.size() && from[common] == to[common])
        ++common;
    if (common == from.size())
        return false;

    std::string link;
    for (std::size_t k = common; k + 1 < from.size(); ++k)
        link += "../";
    for (std::size_t k = common; k < to.size(); ++k) {
        if (k > common)
            link += '/';
        link += to[k];
    }
    *out = std::move(link);
    return true;
}

void CHtmlProcessor::DecodeLocal(std::string& text) {
    std::size_t out = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '#')
            break;
        if (c == '+') {
            c = ' ';
        } else if (const int escaped = percentEscapeAt(text, i); escaped >= 0) {
            c = static_cast<char>(escaped);
            i += 2;
        }
        // A decoded NUL would end the text wherever it is used as a link or searched for.
        if (c == '\0')
            break;
        text[out++] = c;
    }
    text.resize(out);
}

}  // namespace plovik
