#include "pages/SitemapScanner.h"

#include <algorithm>
#include <vector>

#include "pages/PageLinks.h"
#include "text/AsciiCase.h"
#include "text/PathSegments.h"

namespace plovik {

namespace {

// White space as the C library's scanf skips it.
bool isScanSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

bool SitemapLineReader::next() {
    if (pos_ >= text_.size())
        return false;
    const std::size_t limit = std::min(text_.size() - pos_, kSitemapLineBuffer - 1);
    std::string_view chunk = text_.substr(pos_, limit);
    const std::size_t newline = chunk.find('\n');
    if (newline != std::string_view::npos)
        chunk = chunk.substr(0, newline + 1);
    pos_ += chunk.size();

    // The buffer is handed on as a C string: everything from a NUL on is invisible.
    const std::size_t nul = chunk.find('\0');
    line_ = nul == std::string_view::npos ? chunk : chunk.substr(0, nul);
    upper_.assign(line_);
    for (char& c : upper_)
        c = asciiUpper(c);
    return true;
}

ParamElement scanParamElement(std::string_view s) {
    ParamElement result;
    std::size_t i = 0;
    const std::size_t n = s.size();
    auto skipSpace = [&] {
        while (i < n && isScanSpace(s[i]))
            ++i;
    };
    // A scanset conversion: at least one byte that is not `stop`.
    auto scanUntil = [&](char stop, std::string_view* field) {
        const std::size_t start = i;
        while (i < n && s[i] != stop)
            ++i;
        if (i == start)
            return false;
        if (field)
            *field = s.substr(start, i - start);
        return true;
    };
    auto literal = [&](char c) {
        if (i >= n || s[i] != c)
            return false;
        ++i;
        return true;
    };

    skipSpace();
    if (!literal('<') || !scanUntil('=', nullptr) || !literal('=') || !literal('"'))
        return result;
    if (!scanUntil('"', &result.name))
        return result;
    if (!literal('"'))
        return result;
    skipSpace();
    if (!scanUntil('=', nullptr) || !literal('=') || !literal('"'))
        return result;
    // The value counts once it has been read; what follows it does not matter to any field.
    scanUntil('"', &result.value);
    return result;
}

std::string fromSitemapFolder(std::string_view link, std::string_view sitemapFolder) {
    if (sitemapFolder.empty() || link.empty() || link.front() == '#' || link.front() == '/' ||
        isExternalLink(link))
        return std::string(link);
    const std::size_t end = std::min(link.find('#'), link.find('?'));
    const std::string path = std::string(sitemapFolder) + "/" + std::string(link.substr(0, end));
    std::vector<std::string_view> segments;
    for (const std::string_view segment : pathSegments(path)) {
        if (segment == ".")
            continue;
        if (segment == "..") {
            if (!segments.empty())
                segments.pop_back();
            continue;
        }
        segments.push_back(segment);
    }
    std::string resolved;
    for (std::string_view segment : segments) {
        if (!resolved.empty())
            resolved += '/';
        resolved += segment;
    }
    if (end != std::string_view::npos)
        resolved += link.substr(end);
    return resolved;
}

}  // namespace plovik
