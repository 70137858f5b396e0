// The table-of-contents reader: one pass over the .hhc's tags, counting open lists, collecting
// the PARAMs of each OBJECT into a node, then a pass that gives every node its parent.

#include <algorithm>
#include <string>
#include <vector>

#include "pages/PageLinks.h"
#include "pages/SitemapScanner.h"
#include "pages/TableOfContents.h"
#include "platform/TextFile.h"
#include "text/AsciiCase.h"
#include "text/Utf8.h"

namespace plovik {

namespace {

// The CHM file name that an "ms-its:" link names when it points into this same help file.
std::string fileNamePart(std::string_view chmPath) {
    const std::size_t slash = chmPath.rfind('/');
    return std::string(slash == std::string_view::npos ? chmPath : chmPath.substr(slash + 1));
}

// A LOCAL value as a path in the output folder. Links of the form "ms-its:FILE::/PATH" keep PATH
// when FILE is this help file; a link into another help file (or one that names no path) has no
// page in this site, and its node is dropped: the result is false. A link that would run script
// is no page either: the node stays, as a heading without a link. Other links are relative to
// the contents file, which matters when it stands in a subfolder. In a library, a link into one
// of the other helps stays as it is written.
bool normaliseLocal(std::string_view value, std::string_view chmFileName,
                    const std::vector<std::string>& libraryChmFileNames,
                    std::string_view contentsFolder, std::string& local) {
    constexpr std::string_view kScheme = "ms-its:";
    if (isScriptLink(value)) {
        local.clear();
        return true;
    }
    if (startsWithIgnoreAsciiCase(value, kScheme)) {
        const std::size_t sep = value.find("::/", kScheme.size());
        if (sep == std::string_view::npos)
            return false;
        const std::string_view file = value.substr(kScheme.size(), sep - kScheme.size());
        if (!equalsIgnoreAsciiCase(file, chmFileName)) {
            const std::size_t cut = file.find_last_of("/\\:");
            const std::string_view name =
                cut == std::string_view::npos ? file : file.substr(cut + 1);
            for (const std::string& other : libraryChmFileNames) {
                if (equalsIgnoreAsciiCase(name, other)) {
                    local = cutUtf8(value, kSitemapLocalWidth);
                    return true;
                }
            }
            return false;
        }
        local = cutUtf8(value.substr(sep + 3), kSitemapLocalWidth);
        return true;
    }
    local = cutUtf8(fromSitemapFolder(value, contentsFolder), kSitemapLocalWidth);
    return true;
}

// The leading decimal digits as the C library's atoi reads them (white space and a sign before
// them allowed), held to the range of an int.
int leadingInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > 2147483648LL)
            value = 2147483648LL;
    }
    if (negative)
        value = -value;
    if (value > 2147483647LL)
        value = 2147483647LL;
    return static_cast<int>(value);
}

// Every node whose nearest preceding node of lower level is exactly one level above it is that
// node's child; every other node is a root. A stack of the nearest lower nodes makes this one
// pass however deep the nesting.
void assignParents(std::vector<SitemapNode>& nodes) {
    std::vector<std::size_t> open;  // indices with strictly increasing levels
    for (std::size_t k = 0; k < nodes.size(); ++k) {
        SitemapNode& node = nodes[k];
        while (!open.empty() && nodes[open.back()].level >= node.level)
            open.pop_back();
        node.parentId = -1;
        if (!open.empty() && static_cast<long long>(nodes[open.back()].level) + 1 == node.level)
            node.parentId = nodes[open.back()].id;
        open.push_back(k);
    }
}

// The local of the first node that has one: the page the help opens with.
std::string firstLocal(const std::vector<SitemapNode>& nodes) {
    for (const SitemapNode& n : nodes)
        if (!n.local.empty())
            return n.local;
    return {};
}

// The file name of a local, without its folders, query or fragment.
std::string_view fileNameOfLocal(std::string_view local) {
    local = local.substr(0, local.find_first_of("#?"));
    const std::size_t slash = local.rfind('/');
    return slash == std::string_view::npos ? local : local.substr(slash + 1);
}

}  // namespace

bool TableOfContents::ParseContentsFile(const std::filesystem::path& contentsPath,
                                        std::string_view chmPath, std::string_view contentsFolder) {
    auto text = readTextFile(contentsPath);
    if (!text)
        return false;
    ParseContentsText(*text, chmPath, contentsFolder);
    return true;
}

void TableOfContents::ParseContentsText(std::string_view hhcText, std::string_view chmPath,
                                        std::string_view contentsFolder) {
    // "Documents/" and "Documents" name the same folder.
    while (!contentsFolder.empty() && contentsFolder.back() == '/')
        contentsFolder.remove_suffix(1);
    chmFileName = fileNamePart(chmPath);
    nodes.clear();
    startPage.clear();

    bool inObject = false;
    bool keep = true;
    int level = 0;
    int nextId = 0;
    SitemapNode node;

    SitemapTagReader reader(hhcText);
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
                // Objects outside every list (the site properties in the head) are no entries.
                inObject = level > 0;
                node = SitemapNode{};
                node.level = level;
                keep = true;  // each object decides for itself whether it links outside this help
                break;
            case SitemapTag::Kind::Param:
                if (!inObject)
                    break;
                if (equalsIgnoreAsciiCase(tag.name, "Name")) {
                    node.name = cutUtf8(sitemapText(tag.value), kSitemapNameWidth);
                } else if (equalsIgnoreAsciiCase(tag.name, "Local")) {
                    keep = normaliseLocal(sitemapText(tag.value), chmFileName, libraryChmFileNames,
                                          contentsFolder, node.local);
                } else if (equalsIgnoreAsciiCase(tag.name, "ImageNumber")) {
                    node.imageNumber = leadingInt(tag.value);
                }
                break;
            case SitemapTag::Kind::ObjectEnd:
                if (inObject && keep) {
                    node.id = nextId++;
                    nodes.push_back(node);
                }
                inObject = false;
                break;
            case SitemapTag::Kind::End:
                inObject = false;
                level = 0;
                break;
        }
        if (tag.kind == SitemapTag::Kind::End)
            break;
    }

    assignParents(nodes);
    startPage = firstLocal(nodes);
}

void TableOfContents::ParseBinaryContents(const std::vector<BinaryContentsEntry>& entries,
                                          std::string_view chmPath) {
    chmFileName = fileNamePart(chmPath);
    nodes.clear();
    startPage.clear();
    int nextId = 0;
    for (const BinaryContentsEntry& entry : entries) {
        SitemapNode node;
        node.level = entry.level;
        if (!normaliseLocal(sitemapText(entry.local), chmFileName, libraryChmFileNames, {},
                            node.local))
            continue;
        node.name = cutUtf8(sitemapText(entry.name), kSitemapNameWidth);
        // The compiler keeps a page's title there; a topic without one is named by its file.
        if (node.name.empty())
            node.name = cutUtf8(fileNameOfLocal(node.local), kSitemapNameWidth);
        node.id = nextId++;
        nodes.push_back(std::move(node));
    }
    assignParents(nodes);
    startPage = firstLocal(nodes);
}

bool TableOfContents::GetStartPage(std::string* out) {
    if (!out)
        return false;
    *out = startPage;
    return true;
}

}  // namespace plovik
