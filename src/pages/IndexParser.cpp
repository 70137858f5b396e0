// The keyword-index reader. Simpler than the contents reader: no list nesting, and one PARAM per
// line, read only when it starts the line.

#include "pages/SitemapScanner.h"
#include "pages/TableOfContents.h"
#include "text/AsciiCase.h"
#include "text/Utf8.h"

namespace plovik {

bool ParseIndexFile(std::vector<IndexEntry>& indexList, std::string_view hhkText,
                    std::string_view indexFolder) {
    bool inBody = false;
    bool inObject = false;
    IndexEntry entry;

    SitemapLineReader reader(hhkText);
    while (reader.next()) {
        if (reader.has("<BODY>"))
            inBody = true;
        if (reader.has("</BODY>")) {
            inBody = false;
            continue;
        }
        if (!inBody)
            continue;

        if (reader.has("<OBJECT")) {
            entry = IndexEntry{};
            inObject = true;
        }
        if (reader.has("</OBJECT>")) {
            indexList.push_back(entry);
            inObject = false;
            continue;
        }
        if (inObject && reader.has("<PARAM NAME=")) {
            const ParamElement param = scanParamElement(reader.line());
            if (equalsIgnoreAsciiCase(param.name, "NAME"))
                entry.keyword = cutUtf8(param.value, kSitemapNameWidth);
            else if (equalsIgnoreAsciiCase(param.name, "LOCAL"))
                entry.page =
                    cutUtf8(fromSitemapFolder(param.value, indexFolder), kSitemapNameWidth);
        }
    }
    return true;
}

}  // namespace plovik
