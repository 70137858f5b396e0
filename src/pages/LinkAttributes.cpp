#include "pages/LinkAttributes.h"

#include "text/AsciiCase.h"

namespace plovik {

namespace {

// The length of the attribute name "href" or "src" that starts at `at`, or 0.
std::size_t linkNameAt(std::string_view html, std::size_t at) {
    const char first = asciiLower(html[at]);
    std::string_view name;
    if (first == 'h')
        name = "href";
    else if (first == 's')
        name = "src";
    else
        return 0;
    if (html.size() - at < name.size())
        return 0;
    for (std::size_t k = 1; k < name.size(); ++k)
        if (asciiLower(html[at + k]) != name[k])
            return 0;
    return name.size();
}

}  // namespace

std::vector<LinkValue> linkValuesOf(std::string_view html) {
    std::vector<LinkValue> values;
    const std::size_t n = html.size();
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t nameLength = linkNameAt(html, i);
        if (nameLength == 0)
            continue;
        // An attribute of its own, not the tail of another name such as "data-src".
        if (i > 0 && !isHtmlSpace(html[i - 1]) && html[i - 1] != '"' && html[i - 1] != '\'')
            continue;
        std::size_t j = i + nameLength;
        while (j < n && isHtmlSpace(html[j]))
            ++j;
        if (j >= n || html[j] != '=')
            continue;
        ++j;
        while (j < n && isHtmlSpace(html[j]))
            ++j;
        if (j >= n)
            break;

        if (html[j] == '"' || html[j] == '\'') {
            const std::size_t end = html.find(html[j], j + 1);
            if (end == std::string_view::npos)
                continue;
            values.push_back({j + 1, end});
            i = end;
        } else if (html[j] == '\\' && j + 1 < n && (html[j + 1] == '"' || html[j + 1] == '\'')) {
            const char close[] = {'\\', html[j + 1]};
            const std::size_t end = html.find(std::string_view(close, 2), j + 2);
            if (end == std::string_view::npos)
                continue;
            values.push_back({j + 2, end});
            i = end;
        } else {
            std::size_t end = j;
            while (end < n && !isHtmlSpace(html[end]) && html[end] != '>')
                ++end;
            values.push_back({j, end});
            i = end;
        }
    }
    return values;
}

}  // namespace plovik
