#include "support/LinkCheck.h"

#include <algorithm>
#include <array>
#include <system_error>
#include <tuple>

#include "support/TempDir.h"

namespace plovik::test {

namespace fs = std::filesystem;

namespace {

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (lowerAscii(text[i]) != prefix[i])
            return false;
    return true;
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

std::string decodeEntities(std::string_view value) {
    static constexpr std::array<std::pair<std::string_view, char>, 5> kEntities = {
        {{"&amp;", '&'}, {"&quot;", '"'}, {"&apos;", '\''}, {"&#39;", '\''}, {"&#x27;", '\''}}};
    std::string out;
    for (size_t i = 0; i < value.size();) {
        bool replaced = false;
        if (value[i] == '&') {
            for (const auto& [entity, c] : kEntities) {
                if (startsWithNoCase(value.substr(i), entity)) {
                    out += c;
                    i += entity.size();
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced)
            out += value[i++];
    }
    return out;
}

bool leavesTheSite(std::string_view link) {
    for (std::string_view scheme : {"http:", "https:", "mailto:", "javascript:", "data:"})
        if (startsWithNoCase(link, scheme))
            return true;
    return false;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = lowerAscii(c);
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool isHtmlPage(const fs::path& path) {
    std::string ext = path.extension().string();
    for (char& c : ext)
        c = lowerAscii(c);
    return ext == ".htm" || ext == ".html";
}

bool targetExists(const fs::path& site, const std::string& resolved) {
    std::error_code ec;
    const fs::path target = site / fs::path(resolved);
    if (fs::is_regular_file(target, ec))
        return true;
    return fs::is_directory(target, ec) && fs::is_regular_file(target / "index.html", ec);
}

}  // namespace

bool BrokenLink::operator<(const BrokenLink& other) const {
    return std::tie(page, link, resolved) < std::tie(other.page, other.link, other.resolved);
}

std::vector<std::string> localLinksOf(const std::string& html) {
    std::vector<std::string> links;
    const size_t n = html.size();
    for (size_t i = 0; i < n; ++i) {
        size_t nameLength = 0;
        if (startsWithNoCase(std::string_view(html).substr(i), "href"))
            nameLength = 4;
        else if (startsWithNoCase(std::string_view(html).substr(i), "src"))
            nameLength = 3;
        if (nameLength == 0)
            continue;
        // An attribute of its own, not the tail of another name such as "data-src".
        if (i > 0 && !isSpace(html[i - 1]) && html[i - 1] != '"' && html[i - 1] != '\'')
            continue;
        size_t j = i + nameLength;
        while (j < n && isSpace(html[j]))
            ++j;
        if (j >= n || html[j] != '=')
            continue;
        ++j;
        while (j < n && isSpace(html[j]))
            ++j;
        if (j >= n)
            break;

        std::string_view value;
        if (html[j] == '"' || html[j] == '\'') {
            const size_t end = html.find(html[j], j + 1);
            if (end == std::string::npos)
                continue;
            value = std::string_view(html).substr(j + 1, end - j - 1);
            i = end;
        } else if (html[j] == '\\' && j + 1 < n && (html[j + 1] == '"' || html[j + 1] == '\'')) {
            // Inside a script's string literal: the quotes are escaped.
            const std::string close = {'\\', html[j + 1]};
            const size_t end = html.find(close, j + 2);
            if (end == std::string::npos)
                continue;
            value = std::string_view(html).substr(j + 2, end - j - 2);
            i = end;
        } else {
            size_t end = j;
            while (end < n && !isSpace(html[end]) && html[end] != '>')
                ++end;
            value = std::string_view(html).substr(j, end - j);
            i = end;
        }
        std::string link = decodeEntities(value);
        if (link.empty() || link.front() == '#' || leavesTheSite(link))
            continue;
        links.push_back(std::move(link));
    }
    return links;
}

std::string resolveLink(const std::string& page, const std::string& link) {
    std::string path = link.substr(0, link.find('#'));
    path = path.substr(0, path.find('?'));
    if (path.empty())
        return page;
    // Browsers read a backslash in a web address as a slash.
    std::replace(path.begin(), path.end(), '\\', '/');

    std::string decoded;
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '%' && i + 2 < path.size() && hexValue(path[i + 1]) >= 0 &&
            hexValue(path[i + 2]) >= 0) {
            decoded += static_cast<char>(hexValue(path[i + 1]) * 16 + hexValue(path[i + 2]));
            i += 2;
        } else {
            decoded += path[i];
        }
    }

    std::vector<std::string> segments;
    std::string base;
    if (decoded.front() != '/') {
        const size_t slash = page.rfind('/');
        if (slash != std::string::npos)
            base = page.substr(0, slash + 1);
    }
    const std::string joined = base + decoded;
    size_t start = 0;
    while (start <= joined.size()) {
        size_t slash = joined.find('/', start);
        if (slash == std::string::npos)
            slash = joined.size();
        const std::string segment = joined.substr(start, slash - start);
        start = slash + 1;
        if (segment.empty() || segment == ".")
            continue;
        if (segment == "..") {
            if (segments.empty())
                return "";
            segments.pop_back();
            continue;
        }
        segments.push_back(segment);
    }
    std::string resolved;
    for (const auto& segment : segments) {
        if (!resolved.empty())
            resolved += '/';
        resolved += segment;
    }
    return resolved;
}

std::vector<BrokenLink> findBrokenLinks(const fs::path& site) {
    std::vector<BrokenLink> broken;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(site, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec) || !isHtmlPage(it->path()))
            continue;
        const std::string page = it->path().lexically_relative(site).generic_string();
        for (const std::string& link : localLinksOf(readFile(it->path()))) {
            const std::string resolved = resolveLink(page, link);
            if (resolved.empty() || !targetExists(site, resolved))
                broken.push_back({page, link, resolved});
        }
    }
    std::sort(broken.begin(), broken.end());
    return broken;
}

LinkBaseline LinkBaseline::of(const fs::path& extracted) {
    LinkBaseline baseline;
    for (const BrokenLink& link : findBrokenLinks(extracted))
        baseline.missing_.insert(link.resolved);
    return baseline;
}

std::vector<BrokenLink> newlyBrokenLinks(const fs::path& site, const LinkBaseline& baseline) {
    std::vector<BrokenLink> broken = findBrokenLinks(site);
    std::erase_if(broken, [&](const BrokenLink& link) {
        return !link.resolved.empty() && baseline.knownMissing(link.resolved);
    });
    return broken;
}

std::string describe(const std::vector<BrokenLink>& links) {
    std::string text;
    for (const BrokenLink& link : links)
        text += link.page + ": \"" + link.link + "\" -> " +
                (link.resolved.empty() ? "(outside the site)" : link.resolved) + "\n";
    return text;
}

}  // namespace plovik::test
