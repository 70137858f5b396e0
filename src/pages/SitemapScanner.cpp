#include "pages/SitemapScanner.h"

#include <algorithm>
#include <vector>

#include "pages/PageLinks.h"
#include "text/AsciiCase.h"
#include "text/HtmlEntities.h"
#include "text/PathSegments.h"
#include "text/Utf8.h"

namespace plovik {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isNameByte(char c) {
    return !isSpace(c) && c != '>' && c != '/' && c != '=' && c != '\0';
}

// The attributes of a tag from `at` (just after its name) to its '>', which `at` ends on (or on
// the text's end). Calls `attribute(name, value)` for each.
template <class F>
void readAttributes(std::string_view text, std::size_t& at, F attribute) {
    const std::size_t n = text.size();
    while (at < n) {
        while (at < n && (isSpace(text[at]) || text[at] == '/' || text[at] == '\0'))
            ++at;
        if (at >= n || text[at] == '>')
            return;
        const std::size_t nameStart = at;
        while (at < n && isNameByte(text[at]))
            ++at;
        if (at == nameStart) {
            ++at;  // a stray '=': nothing names it
            continue;
        }
        const std::string_view name = text.substr(nameStart, at - nameStart);
        std::size_t look = at;
        while (look < n && isSpace(text[look]))
            ++look;
        std::string_view value;
        if (look < n && text[look] == '=') {
            at = look + 1;
            while (at < n && isSpace(text[at]))
                ++at;
            if (at < n && (text[at] == '"' || text[at] == '\'')) {
                const char quote = text[at++];
                const std::size_t close = text.find(quote, at);
                const std::size_t end = close == std::string_view::npos ? n : close;
                value = text.substr(at, end - at);
                at = end == n ? n : end + 1;
            } else {
                const std::size_t start = at;
                while (at < n && !isSpace(text[at]) && text[at] != '>')
                    ++at;
                value = text.substr(start, at - start);
            }
        }
        attribute(name, value);
    }
}

}  // namespace

bool SitemapTagReader::next(SitemapTag& tag) {
    const std::size_t n = text_.size();
    while (pos_ < n) {
        const std::size_t lt = text_.find('<', pos_);
        if (lt == std::string_view::npos) {
            pos_ = n;
            return false;
        }
        pos_ = lt + 1;
        if (text_.substr(lt, 4) == "<!--") {
            const std::size_t end = text_.find("-->", lt + 4);
            pos_ = end == std::string_view::npos ? n : end + 3;
            continue;
        }
        const bool closing = pos_ < n && text_[pos_] == '/';
        if (closing)
            ++pos_;
        const std::size_t nameStart = pos_;
        while (pos_ < n && isAsciiLetter(text_[pos_]))
            ++pos_;
        const std::string_view name = text_.substr(nameStart, pos_ - nameStart);
        // Only a letter run that the tag's name ends with counts ("<ULX>" is not a list).
        if (name.empty() || (pos_ < n && isNameByte(text_[pos_]) && !isAsciiDigit(text_[pos_]))) {
            continue;
        }
        tag = SitemapTag{};
        bool known = true;
        if (equalsIgnoreAsciiCase(name, "object"))
            tag.kind = closing ? SitemapTag::Kind::ObjectEnd : SitemapTag::Kind::Object;
        else if (equalsIgnoreAsciiCase(name, "ul"))
            tag.kind = closing ? SitemapTag::Kind::ListEnd : SitemapTag::Kind::List;
        else if (closing &&
                 (equalsIgnoreAsciiCase(name, "body") || equalsIgnoreAsciiCase(name, "html")))
            tag.kind = SitemapTag::Kind::End;
        else if (!closing && equalsIgnoreAsciiCase(name, "param"))
            tag.kind = SitemapTag::Kind::Param;
        else
            known = false;
        readAttributes(text_, pos_, [&](std::string_view attribute, std::string_view value) {
            if (tag.kind != SitemapTag::Kind::Param)
                return;
            if (equalsIgnoreAsciiCase(attribute, "name"))
                tag.name = value;
            else if (equalsIgnoreAsciiCase(attribute, "value"))
                tag.value = value;
        });
        if (pos_ < n)
            ++pos_;  // the '>'
        if (known)
            return true;
    }
    return false;
}

std::string sitemapText(std::string_view value) {
    std::string text = decodeHtmlEntities(value, !isValidUtf8(value));
    // A NUL would end the text wherever it is used as a name or a link.
    std::erase(text, '\0');
    return text;
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
