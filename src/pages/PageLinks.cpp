#include "pages/PageLinks.h"

#include <array>
#include <vector>

#include "pages/HtmlProcessor.h"
#include "pages/SitemapScanner.h"

namespace plovik {

namespace {

std::vector<std::string_view> segmentsOf(std::string_view path) {
    std::vector<std::string_view> segments;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t slash = path.find('/', start);
        if (slash == std::string_view::npos)
            slash = path.size();
        if (slash > start)
            segments.push_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    return segments;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

bool isExternalLink(std::string_view link) {
    static constexpr std::array<std::string_view, 9> kSchemes = {
        "http:", "https:", "ftp:", "mailto:", "javascript:", "file:", "data:", "news:", "tel:"};
    for (std::string_view scheme : kSchemes)
        if (link.size() >= scheme.size() && equalsNoCase(link.substr(0, scheme.size()), scheme))
            return true;
    return false;
}

std::string rootPrefixOf(std::string_view relPath) {
    std::string prefix;
    const auto segments = segmentsOf(relPath);
    for (std::size_t k = 1; k < segments.size(); ++k)
        prefix += "../";
    return prefix;
}

std::string linkFromPage(std::string_view target, std::string_view relPath) {
    if (isExternalLink(target))
        return std::string(target);
    std::string link = rootPrefixOf(relPath);
    const auto segments = segmentsOf(target);
    for (std::size_t k = 0; k < segments.size(); ++k) {
        if (k > 0)
            link += '/';
        link += segments[k];
    }
    return link;
}

bool CHtmlProcessor::MakeRelativeLink(std::string_view target, std::string_view fromPath,
                                      std::string* out) {
    if (!out || target.empty() || fromPath.empty())
        return false;
    const auto from = segmentsOf(fromPath);
    const auto to = segmentsOf(target);
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
        } else if (c == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
                   hexValue(text[i + 2]) >= 0) {
            c = static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
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
