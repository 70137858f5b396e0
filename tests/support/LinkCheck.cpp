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

}  // namespace

bool BrokenLink::operator<(const BrokenLink& other) const {
    return std::tie(page, link, resolved) < std::tie(other.page, other.link, other.resolved);
}

std::vector<std::string> localLinksOf(const std::string& html) {
    // Sites in the no-frame layout repeat the whole tree in every page, so a check reads
    // gigabytes: look for the '=' of each attribute (memchr) and only then at the name before it.
    std::vector<std::string> links;
    const std::string_view text(html);
    const size_t n = text.size();
    for (size_t eq = text.find('='); eq != std::string_view::npos; eq = text.find('=', eq + 1)) {
        size_t nameEnd = eq;
        while (nameEnd > 0 && isSpace(text[nameEnd - 1]))
            --nameEnd;
        size_t nameStart;
        if (nameEnd >= 4 && startsWithNoCase(text.substr(nameEnd - 4, 4), "href"))
            nameStart = nameEnd - 4;
        else if (nameEnd >= 3 && startsWithNoCase(text.substr(nameEnd - 3, 3), "src"))
            nameStart = nameEnd - 3;
        else
            continue;
        // An attribute of its own, not the tail of another name such as "data-src".
        if (nameStart > 0 && !isSpace(text[nameStart - 1]) && text[nameStart - 1] != '"' &&
            text[nameStart - 1] != '\'')
            continue;
        size_t j = eq + 1;
        while (j < n && isSpace(text[j]))
            ++j;
        if (j >= n)
            break;

        std::string_view value;
        if (text[j] == '"' || text[j] == '\'') {
            const size_t end = text.find(text[j], j + 1);
            if (end == std::string_view::npos)
                continue;
            value = text.substr(j + 1, end - j - 1);
            eq = end;
        } else if (text[j] == '\\' && j + 1 < n && (text[j + 1] == '"' || text[j + 1] == '\'')) {
            // Inside a script's string literal: the quotes are escaped.
            const char close[] = {'\\', text[j + 1]};
            const size_t end = text.find(std::string_view(close, 2), j + 2);
            if (end == std::string_view::npos)
                continue;
            value = text.substr(j + 2, end - j - 2);
            eq = end;
        } else {
            size_t end = j;
            while (end < n && !isSpace(text[end]) && text[end] != '>')
                ++end;
            value = text.substr(j, end - j);
            eq = end - 1;
        }
        if (value.empty() || value.front() == '#' || leavesTheSite(value))
            continue;
        links.push_back(value.find('&') == std::string_view::npos ? std::string(value)
                                                                  : decodeEntities(value));
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

SiteFiles::SiteFiles(const fs::path& site) {
    std::error_code ec;
    for (fs::recursive_directory_iterator it(site, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec))
            continue;
        const std::string name = it->path().lexically_relative(site).generic_string();
        files_.insert(name);
        // A folder link opens the folder's index page.
        if (name.size() > 11 && name.ends_with("/index.html"))
            files_.insert(name.substr(0, name.size() - 11));
    }
}

bool SiteFiles::resolves(const std::string& page, const std::string& link) {
    const std::string folder = page.substr(0, page.rfind('/') + 1);
    std::string key = folder;
    key += '\0';
    key += link;
    const auto known = answers_.find(key);
    if (known != answers_.end())
        return known->second;
    const std::string target = resolveLink(page, link);
    // A link that is only a query or a fragment names the page itself, whatever its folder.
    const bool found = !target.empty() && files_.count(target) > 0;
    if (target != page)
        answers_.emplace(std::move(key), found);
    return found;
}

std::vector<BrokenLink> findBrokenLinks(const fs::path& site) {
    std::vector<BrokenLink> broken;
    std::error_code ec;
    SiteFiles files(site);
    for (fs::recursive_directory_iterator it(site, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec) || !isHtmlPage(it->path()))
            continue;
        const std::string page = it->path().lexically_relative(site).generic_string();
        for (const std::string& link : localLinksOf(readFile(it->path()))) {
            if (!files.resolves(page, link))
                broken.push_back({page, link, resolveLink(page, link)});
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
