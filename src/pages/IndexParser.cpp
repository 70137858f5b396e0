// The keyword-index reader: the .hhk's tags, with the nesting of its lists for sub-keywords.

#include <iterator>

#include "pages/PageLinks.h"
#include "pages/SitemapScanner.h"
#include "pages/TableOfContents.h"
#include "text/AsciiCase.h"
#include "text/Utf8.h"

namespace plovik {

std::vector<IndexKeyword> ParseIndexKeywords(std::string_view hhkText,
                                             std::string_view indexFolder) {
    std::vector<IndexKeyword> keywords;
    std::vector<int> open;  // positions of the keywords whose lists are open, by level
    int level = 0;
    bool inObject = false;
    bool named = false;        // the object's first Name (the keyword) has been read
    std::string pendingTitle;  // a Name waiting for its Local
    bool titlePending = false;
    IndexKeyword entry;

    auto local = [&](std::string_view value) {
        const std::string text = sitemapText(value);
        if (isScriptLink(text))
            return std::string();
        return cutUtf8(fromSitemapFolder(text, indexFolder), kSitemapNameWidth);
    };

    SitemapTagReader reader(hhkText);
    SitemapTag tag;
    while (reader.next(tag)) {
        switch (tag.kind) {
            case SitemapTag::Kind::List:
                ++level;
                break;
            case SitemapTag::Kind::ListEnd:
                level = std::max(0, level - 1);
                break;
            case SitemapTag::Kind::Object:
                inObject = level > 0;
                entry = IndexKeyword{};
                entry.level = level;
                named = false;
                titlePending = false;
                break;
            case SitemapTag::Kind::Param:
                if (!inObject)
                    break;
                if (equalsIgnoreAsciiCase(tag.name, "Name")) {
                    std::string text = cutUtf8(sitemapText(tag.value), kSitemapNameWidth);
                    if (!named) {
                        entry.keyword = std::move(text);
                        named = true;
                    } else {
                        pendingTitle = std::move(text);
                        titlePending = true;
                    }
                } else if (equalsIgnoreAsciiCase(tag.name, "Local")) {
                    entry.topics.push_back(
                        {titlePending ? pendingTitle : entry.keyword, local(tag.value)});
                    titlePending = false;
                } else if (equalsIgnoreAsciiCase(tag.name, "See Also")) {
                    entry.seeAlso = cutUtf8(sitemapText(tag.value), kSitemapNameWidth);
                }
                break;
            case SitemapTag::Kind::ObjectEnd:
                if (!inObject)
                    break;
                inObject = false;
                // The keyword it is nested under: the last one of a shallower level.
                open.resize(static_cast<std::size_t>(entry.level), -1);
                for (int up = entry.level - 1; up >= 1 && entry.parent < 0; --up)
                    entry.parent = open[static_cast<std::size_t>(up - 1)];
                open[static_cast<std::size_t>(entry.level - 1)] = static_cast<int>(keywords.size());
                keywords.push_back(std::move(entry));
                break;
            case SitemapTag::Kind::End:
                return keywords;
        }
    }
    return keywords;
}

std::vector<IndexEntry> indexEntriesOf(const std::vector<IndexKeyword>& keywords) {
    std::vector<IndexEntry> entries;
    entries.reserve(keywords.size());
    for (const IndexKeyword& k : keywords)
        entries.push_back({k.keyword, k.topics.empty() ? std::string() : k.topics.front().page});
    return entries;
}

bool ParseIndexFile(std::vector<IndexEntry>& indexList, std::string_view hhkText,
                    std::string_view indexFolder) {
    std::vector<IndexEntry> entries = indexEntriesOf(ParseIndexKeywords(hhkText, indexFolder));
    indexList.insert(indexList.end(), std::make_move_iterator(entries.begin()),
                     std::make_move_iterator(entries.end()));
    return true;
}

}  // namespace plovik
