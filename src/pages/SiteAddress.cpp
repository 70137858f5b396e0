// Addresses and descriptions for search engines: a canonical link and a sitemap line per page,
// and a description from the page's first sentences instead of its title said again.

#include "pages/SiteAddress.h"

#include <unordered_set>

#include "text/AsciiCase.h"
#include "text/HtmlEntities.h"
#include "text/Utf8.h"

namespace plovik {

namespace {

// Bytes a path segment may hold as they are; '/' stays between segments.
bool keptInPath(char c) {
    return isAsciiLetter(c) || isAsciiDigit(c) ||
           std::string_view("-._~/!$()*,;=:@").find(c) != std::string_view::npos;
}

// Elements whose text says nothing about the topic, or only its title again.
bool isSkippedElement(std::string_view name) {
    static const char* const kSkipped[] = {"head", "script",   "style",  "title",    "noscript",
                                           "h1",   "h2",       "h3",     "h4",       "h5",
                                           "h6",   "textarea", "select", "template", "object"};
    for (const char* skipped : kSkipped)
        if (name == skipped)
            return true;
    return false;
}

// Elements that separate words: their tags stand for a blank.
bool isBlockElement(std::string_view name) {
    static const char* const kBlocks[] = {
        "p",     "br",      "div",     "li",     "td",     "th",         "tr",
        "dt",    "dd",      "hr",      "ul",     "ol",     "blockquote", "pre",
        "table", "section", "article", "header", "footer", "nav",        "img"};
    for (const char* block : kBlocks)
        if (name == block)
            return true;
    return false;
}

// The page's visible text from the body on, tags dropped, up to about `wanted` bytes.
std::string visibleText(std::string_view page, std::size_t wanted) {
    std::string text;
    std::size_t at = 0;
    while (at < page.size() && text.size() < wanted) {
        const char c = page[at];
        if (c != '<') {
            text += c;
            ++at;
            continue;
        }
        if (page.substr(at, 4) == "<!--") {
            const std::size_t end = page.find("-->", at + 4);
            at = end == std::string_view::npos ? page.size() : end + 3;
            continue;
        }
        std::size_t nameStart = at + 1;
        if (nameStart < page.size() && page[nameStart] == '/')
            ++nameStart;
        std::size_t nameEnd = nameStart;
        while (nameEnd < page.size() &&
               (isAsciiLetter(page[nameEnd]) || isAsciiDigit(page[nameEnd])))
            ++nameEnd;
        std::string name(page.substr(nameStart, nameEnd - nameStart));
        lowerAsciiInPlace(name);
        if (name.empty()) {  // a '<' that opens no tag is text
            text += c;
            ++at;
            continue;
        }
        const std::size_t close = page.find('>', nameEnd);
        if (close == std::string_view::npos)
            break;
        at = close + 1;
        if (page[at - 2] == '/' || page[nameStart - 1] == '/') {
            if (isBlockElement(name))
                text += ' ';
            continue;
        }
        if (isSkippedElement(name)) {
            // Up to the element's end tag, in any case; one that never ends takes the rest.
            const std::string endTag = "</" + name;
            std::size_t end = at;
            for (;;) {
                end = page.find("</", end);
                if (end == std::string_view::npos ||
                    startsWithIgnoreAsciiCase(page.substr(end), endTag))
                    break;
                end += 2;
            }
            if (end == std::string_view::npos)
                break;
            const std::size_t endClose = page.find('>', end);
            at = endClose == std::string_view::npos ? page.size() : endClose + 1;
            text += ' ';
            continue;
        }
        if (isBlockElement(name))
            text += ' ';
    }
    return text;
}

std::string collapsedBlanks(std::string_view text, bool unicode) {
    std::string out;
    bool blank = true;  // drops leading blanks
    for (std::size_t k = 0; k < text.size(); ++k) {
        const char c = text[k];
        const bool nbsp = unicode && c == '\xC2' && k + 1 < text.size() && text[k + 1] == '\xA0';
        if (isHtmlSpace(c) || c == '\v' || nbsp) {
            k += nbsp ? 1 : 0;
            if (!blank)
                out += ' ';
            blank = true;
            continue;
        }
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            continue;
        out += c;
        blank = false;
    }
    if (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

}  // namespace

bool isUsableSiteAddress(std::string_view url) {
    std::size_t host = 0;
    if (startsWithIgnoreAsciiCase(url, "https://"))
        host = 8;
    else if (startsWithIgnoreAsciiCase(url, "http://"))
        host = 7;
    else
        return false;
    if (host >= url.size() || url[host] == '/')
        return false;
    for (char c : url) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F ||
            std::string_view("\"'<>\\#?{}|^`").find(c) != std::string_view::npos)
            return false;
    }
    return true;
}

std::string pageAddress(std::string_view baseUrl, std::string_view relPath) {
    while (!baseUrl.empty() && baseUrl.back() == '/')
        baseUrl.remove_suffix(1);
    std::string address(baseUrl);
    address += '/';
    static const char kHex[] = "0123456789ABCDEF";
    for (char c : relPath) {
        if (keptInPath(c)) {
            address += c;
        } else {
            const auto byte = static_cast<unsigned char>(c);
            address += '%';
            address += kHex[byte >> 4];
            address += kHex[byte & 0xF];
        }
    }
    return address;
}

std::string sitemapXml(std::string_view baseUrl, const std::vector<std::string>& pages) {
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n";
    std::unordered_set<std::string_view> listed;
    for (const std::string& page : pages) {
        if (!listed.insert(page).second)
            continue;
        xml += "<url><loc>" + escapeHtml(pageAddress(baseUrl, page)) + "</loc></url>\n";
    }
    xml += "</urlset>\n";
    return xml;
}

std::string pageDescription(std::string_view page, std::size_t limit, bool asciiOnly) {
    // The body when there is one: what comes before it is the head.
    std::size_t body = std::string_view::npos;
    for (std::size_t at = page.find('<'); at != std::string_view::npos;
         at = page.find('<', at + 1)) {
        if (startsWithIgnoreAsciiCase(page.substr(at), "<body") &&
            (at + 5 == page.size() || !isAsciiLetter(page[at + 5]))) {
            body = at;
            break;
        }
    }
    const std::string_view from = body == std::string_view::npos ? page : page.substr(body);
    // References and blanks shrink as they are read: four times the limit is plenty.
    std::string text =
        collapsedBlanks(decodeHtmlEntities(visibleText(from, limit * 4), asciiOnly), !asciiOnly);
    if (text.size() <= limit)
        return text;
    // Whole sentences when the first ones fill at least a third of the room.
    std::size_t cut = std::string::npos;
    for (std::size_t k = limit / 3; k < limit; ++k) {
        const char c = text[k];
        if ((c == '.' || c == '!' || c == '?') && text[k + 1] == ' ')
            cut = k + 1;
    }
    if (cut != std::string::npos)
        return text.substr(0, cut);
    const std::string_view ellipsis = asciiOnly ? "..." : "\xE2\x80\xA6";
    std::size_t space = text.rfind(' ', limit - ellipsis.size());
    if (space == std::string::npos || space < limit / 2)
        space = limit - ellipsis.size();
    std::string cutText = asciiOnly ? text.substr(0, space) : cutUtf8(text, space);
    while (!cutText.empty() && (cutText.back() == ' ' || cutText.back() == ',' ||
                                cutText.back() == ';' || cutText.back() == ':'))
        cutText.pop_back();
    return cutText + std::string(ellipsis);
}

}  // namespace plovik
