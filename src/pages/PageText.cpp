// The edits made to a topic page's HTML: insertions at the body tags, removal of a fragment, and
// the title. All searches are exact and case-sensitive; an upper-case tag is preferred over a
// lower-case one wherever each stands, because that is how the help files' own tools look for
// them. A page is bytes: a NUL inside it is kept and searched past like any other byte.

#include <optional>
#include <string>

#include "pages/BodyTagPlaces.h"
#include "pages/HtmlProcessor.h"
#include "pages/SitemapScanner.h"
#include "text/Utf8.h"

namespace plovik {

namespace {

constexpr std::size_t kPageTitleWidth = 259;

std::size_t findEither(std::string_view page, std::string_view upper, std::string_view lower,
                       std::size_t from = 0) {
    const std::size_t at = page.find(upper, from);
    return at != std::string_view::npos ? at : page.find(lower, from);
}

}  // namespace

void CHtmlProcessor::InsertAfterBodyTag(std::string& page, std::string_view html) {
    BodyTagPlaces(page).insertAfterBodyTag(html);
}

void CHtmlProcessor::InsertBeforeBodyEnd(std::string& page, std::string_view html) {
    BodyTagPlaces(page).insertBeforeBodyEnd(html);
}

bool CHtmlProcessor::RemoveText(std::string& page, std::string_view fragment) {
    return BodyTagPlaces(page).removeText(fragment);
}

std::optional<std::string> titleOfPage(std::string_view page) {
    const std::size_t start = findEither(page, "<TITLE>", "<title>");
    if (start == std::string::npos)
        return std::nullopt;
    const std::size_t textStart = start + 7;
    // The end tag is looked for after the start tag: one standing before it closes nothing.
    const std::size_t end = findEither(page, "</TITLE>", "</title>", textStart);
    if (end == std::string::npos)
        return std::nullopt;
    return cutUtf8(page.substr(textStart, end - textStart), kPageTitleWidth);
}

bool CHtmlProcessor::ExtractTitle(const std::string& page) {
    std::optional<std::string> title = titleOfPage(page);
    m_pageTitle = title.value_or(std::string());
    return title.has_value();
}

}  // namespace plovik
