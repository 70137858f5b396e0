#pragma once

// What a no-frame site tells search engines once it knows where it will be served: the address
// of each page (its canonical link and its line in "sitemap.xml"), and a description of each page
// taken from its own text.

#include <string>
#include <string_view>
#include <vector>

namespace plovik {

// Whether `url` can serve as the site's address: an absolute http or https address with a host,
// and nothing (blanks, control bytes, quotes, '<', '>', '\\', '#', '?') that would let it break
// out of an attribute or the sitemap, or leave the site's folder out of the pages' addresses.
bool isUsableSiteAddress(std::string_view url);

// The address of the page `relPath` (relative to the output folder, '/' between folders) on the
// site at `baseUrl`: the base with one '/' after it, then the path with every byte that a URL
// cannot hold as it is written as %XX. Not escaped for HTML or XML.
std::string pageAddress(std::string_view baseUrl, std::string_view relPath);

// "sitemap.xml" for the pages, each listed once, in order (a name given twice is listed once).
std::string sitemapXml(std::string_view baseUrl, const std::vector<std::string>& pages);

// The first sentences of the page's own text, as plain text (character references decoded,
// blanks collapsed), cut at a sentence end or else at a word near `limit` bytes; empty when the
// page has no text of its own. Text in the head, scripts, styles and headings is no description.
// With `asciiOnly` (pages kept in their own code page) only references to ASCII are decoded.
std::string pageDescription(std::string_view page, std::size_t limit = 160, bool asciiOnly = false);

}  // namespace plovik
