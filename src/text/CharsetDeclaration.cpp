#include "text/CharsetDeclaration.h"

#include <optional>

#include "text/AsciiCase.h"
#include "text/Utf8.h"

namespace plovik {

namespace {

constexpr std::string_view kUtf8Meta = "<meta charset=\"utf-8\">";

// Whether `word` (lower case) stands at `at`, in any case.
bool startsWithNoCase(std::string_view text, std::size_t at, std::string_view word) {
    return at <= text.size() && startsWithIgnoreAsciiCase(text.substr(at), word);
}

// A tag name ends at white space, '/' or '>' (or the end of the page).
bool tagAt(std::string_view text, std::size_t at, std::string_view name) {
    if (!startsWithNoCase(text, at, name))
        return false;
    const std::size_t end = at + name.size();
    return end == text.size() || isHtmlSpace(text[end]) || text[end] == '/' || text[end] == '>';
}

std::size_t headEnd(std::string_view page) {
    const std::size_t close = findIgnoreAsciiCase(page, "</head");
    const std::size_t body = findIgnoreAsciiCase(page, "<body");
    const std::size_t end = close < body ? close : body;
    return end == std::string_view::npos ? page.size() : end;
}

struct Attribute {
    std::string_view name;
    std::size_t valueStart = 0;
    std::size_t valueLength = 0;
};

// The attributes of the tag whose name ends at `at`; `at` ends after the tag's '>'.
std::vector<Attribute> readAttributes(std::string_view text, std::size_t& at) {
    std::vector<Attribute> attributes;
    while (at < text.size()) {
        while (at < text.size() && (isHtmlSpace(text[at]) || text[at] == '/'))
            ++at;
        if (at >= text.size())
            break;
        if (text[at] == '>') {
            ++at;
            break;
        }
        const std::size_t nameStart = at;
        while (at < text.size() && !isHtmlSpace(text[at]) && text[at] != '/' && text[at] != '>' &&
               text[at] != '=')
            ++at;
        if (at == nameStart)
            ++at;  // a stray '=': step over it
        Attribute attribute{text.substr(nameStart, at - nameStart), at, 0};
        std::size_t look = at;
        while (look < text.size() && isHtmlSpace(text[look]))
            ++look;
        if (look < text.size() && text[look] == '=') {
            at = look + 1;
            while (at < text.size() && isHtmlSpace(text[at]))
                ++at;
            if (at < text.size() && (text[at] == '"' || text[at] == '\'')) {
                const char quote = text[at++];
                const std::size_t close = text.find(quote, at);
                const std::size_t end = close == std::string_view::npos ? text.size() : close;
                attribute.valueStart = at;
                attribute.valueLength = end - at;
                at = end == text.size() ? end : end + 1;
            } else {
                attribute.valueStart = at;
                while (at < text.size() && !isHtmlSpace(text[at]) && text[at] != '>')
                    ++at;
                attribute.valueLength = at - attribute.valueStart;
            }
        }
        attributes.push_back(attribute);
    }
    return attributes;
}

bool equalsNoCaseTrimmed(std::string_view text, std::string_view word) {
    while (!text.empty() && isHtmlSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isHtmlSpace(text.back()))
        text.remove_suffix(1);
    return text.size() == word.size() && startsWithNoCase(text, 0, word);
}

// The charset name inside the value of a content attribute ("text/html; charset=gb2312").
std::optional<CharsetDeclaration> charsetInContent(std::string_view page, std::size_t start,
                                                   std::size_t length) {
    const std::string_view content = page.substr(start, length);
    std::size_t at = findIgnoreAsciiCase(content, "charset");
    if (at == std::string_view::npos)
        return std::nullopt;
    at += 7;
    while (at < content.size() && isHtmlSpace(content[at]))
        ++at;
    if (at >= content.size() || content[at] != '=')
        return std::nullopt;
    ++at;
    while (at < content.size() && isHtmlSpace(content[at]))
        ++at;
    if (at < content.size() && (content[at] == '"' || content[at] == '\''))
        ++at;
    const std::size_t valueStart = at;
    while (at < content.size() && !isHtmlSpace(content[at]) && content[at] != ';' &&
           content[at] != '"' && content[at] != '\'')
        ++at;
    if (at == valueStart)
        return std::nullopt;
    return CharsetDeclaration{start + valueStart, at - valueStart};
}

std::optional<CharsetDeclaration> declarationOf(std::string_view page,
                                                const std::vector<Attribute>& attributes) {
    const Attribute* content = nullptr;
    bool contentType = false;
    for (const Attribute& attribute : attributes) {
        const std::string_view value = page.substr(attribute.valueStart, attribute.valueLength);
        if (equalsNoCaseTrimmed(attribute.name, "charset")) {
            std::size_t start = attribute.valueStart;
            std::size_t length = attribute.valueLength;
            while (length > 0 && isHtmlSpace(page[start])) {
                ++start;
                --length;
            }
            while (length > 0 && isHtmlSpace(page[start + length - 1]))
                --length;
            if (length > 0)
                return CharsetDeclaration{start, length};
        } else if (equalsNoCaseTrimmed(attribute.name, "http-equiv")) {
            contentType = equalsNoCaseTrimmed(value, "content-type");
        } else if (equalsNoCaseTrimmed(attribute.name, "content") && !content) {
            content = &attribute;
        }
    }
    if (contentType && content)
        return charsetInContent(page, content->valueStart, content->valueLength);
    return std::nullopt;
}

bool namesUtf8(std::string_view label) {
    return equalsNoCaseTrimmed(label, "utf-8") || equalsNoCaseTrimmed(label, "utf8");
}

// Just after the first tag `name` in [0, end), or npos.
std::size_t afterTag(std::string_view page, std::string_view name, std::size_t end) {
    for (std::size_t at = findIgnoreAsciiCase(page, name); at < end;
         at = findIgnoreAsciiCase(page, name, at + 1)) {
        if (!tagAt(page, at, name))
            continue;
        const std::size_t close = page.find('>', at);
        return close == std::string_view::npos ? std::string_view::npos : close + 1;
    }
    return std::string_view::npos;
}

std::size_t whereToDeclare(std::string_view page) {
    const std::size_t end = headEnd(page);
    if (const std::size_t at = afterTag(page, "<head", end); at != std::string_view::npos)
        return at;
    if (const std::size_t at = afterTag(page, "<html", end); at != std::string_view::npos)
        return at;
    std::size_t at = startsWithUtf8Bom(page) ? kUtf8Bom.size() : 0;
    std::size_t look = at;
    while (look < page.size() && isHtmlSpace(page[look]))
        ++look;
    if (startsWithNoCase(page, look, "<!doctype")) {
        const std::size_t close = page.find('>', look);
        if (close != std::string_view::npos)
            at = close + 1;
    }
    return at;
}

}  // namespace

std::vector<CharsetDeclaration> findCharsetDeclarations(std::string_view page) {
    std::vector<CharsetDeclaration> found;
    const std::size_t end = headEnd(page);
    const std::string_view head = page.substr(0, end);
    std::size_t at = head.find('<');
    while (at != std::string_view::npos && at < end) {
        if (head.compare(at, 4, "<!--") == 0) {
            const std::size_t close = head.find("-->", at + 4);
            if (close == std::string_view::npos)
                break;
            at = head.find('<', close + 3);
            continue;
        }
        if (tagAt(head, at + 1, "script") || tagAt(head, at + 1, "style")) {
            const std::string_view closing = tagAt(head, at + 1, "script") ? "</script" : "</style";
            const std::size_t close = findIgnoreAsciiCase(head, closing, at + 1);
            if (close == std::string_view::npos)
                break;
            at = head.find('<', close + 1);
            continue;
        }
        if (tagAt(head, at + 1, "meta")) {
            std::size_t next = at + 5;
            const auto attributes = readAttributes(head, next);
            if (auto declaration = declarationOf(head, attributes))
                found.push_back(*declaration);
            at = head.find('<', next);
            continue;
        }
        at = head.find('<', at + 1);
    }
    return found;
}

void declareUtf8(std::string& page) {
    const auto declarations = findCharsetDeclarations(page);
    if (declarations.empty()) {
        page.insert(whereToDeclare(page), kUtf8Meta);
        return;
    }
    // From the last, so that the earlier positions stay where they were.
    for (auto it = declarations.rbegin(); it != declarations.rend(); ++it)
        if (!namesUtf8(it->label(page)))
            page.replace(it->valueStart, it->valueLength, "utf-8");
}

bool declareUtf8IfNeeded(std::string& page) {
    if (scanUtf8(page).ascii)
        return false;
    const auto declarations = findCharsetDeclarations(page);
    if (!declarations.empty() && namesUtf8(declarations.front().label(page)))
        return false;
    declareUtf8(page);
    return true;
}

}  // namespace plovik
