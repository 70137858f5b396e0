// The contents of a help that has no contents file: its pages by their titles, grouped by folder.

#include <map>
#include <memory>

#include "pages/EntryFileName.h"
#include "pages/HtmlProcessor.h"
#include "pages/PageLinks.h"
#include "pages/SitemapScanner.h"
#include "pages/TableOfContents.h"
#include "platform/TextFile.h"
#include "text/HtmlEntities.h"
#include "text/PathSegments.h"
#include "text/PercentEscapes.h"
#include "text/Utf8.h"

namespace plovik {

namespace {

// A title as text: references decoded, runs of white space made one blank.
std::string titleText(std::string_view html) {
    const std::string decoded = decodeHtmlEntities(html, !isValidUtf8(html));
    std::string text;
    bool blank = false;
    for (char c : decoded) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\0') {
            blank = !text.empty();
            continue;
        }
        if (blank)
            text += ' ';
        blank = false;
        text += c;
    }
    return cutUtf8(text, kSitemapNameWidth);
}

struct Folder {
    std::string name;
    // Folders and pages in the order they first came: a folder by its key in `folders`, a page
    // by its position in the page list.
    std::vector<std::pair<bool, std::size_t>> items;
    std::map<std::string, std::size_t> folderByName;
};

}  // namespace

void TableOfContents::BuildFromPages(const std::vector<std::string>& pages,
                                     const std::string& outputFolder,
                                     std::string_view defaultTopic) {
    nodes.clear();
    startPage.clear();
    std::vector<Folder> folders(1);  // the root
    for (std::size_t p = 0; p < pages.size(); ++p) {
        const std::vector<std::string_view> segments = pathSegments(pages[p]);
        std::size_t folder = 0;
        for (std::size_t k = 0; k + 1 < segments.size(); ++k) {
            const std::string name(segments[k]);
            auto found = folders[folder].folderByName.find(name);
            if (found == folders[folder].folderByName.end()) {
                folders.push_back(Folder{name, {}, {}});
                const std::size_t added = folders.size() - 1;
                folders[folder].folderByName.emplace(name, added);
                folders[folder].items.emplace_back(true, added);
                folder = added;
            } else {
                folder = found->second;
            }
        }
        folders[folder].items.emplace_back(false, p);
    }

    // Depth first with a stack of its own, so that no nesting of folders exhausts the call stack.
    struct Step {
        std::size_t folder;
        std::size_t next;
        int level;
        int id;  // the folder's node, -1 for the root
    };
    std::vector<Step> stack{{0, 0, 1, -1}};
    while (!stack.empty()) {
        Step& step = stack.back();
        if (step.next == folders[step.folder].items.size()) {
            stack.pop_back();
            continue;
        }
        const auto [isFolder, index] = folders[step.folder].items[step.next++];
        SitemapNode node;
        node.id = static_cast<int>(nodes.size());
        node.parentId = step.id;
        node.level = step.level;
        if (isFolder) {
            node.name = cutUtf8(folders[index].name, kSitemapNameWidth);
            nodes.push_back(node);
            stack.push_back({index, 0, step.level + 1, node.id});
            continue;
        }
        const std::string& page = pages[index];
        std::string title;
        if (auto bytes = readBinaryFile(outputFolder + page))
            if (auto html = titleOfPage(*bytes))
                title = titleText(*html);
        if (title.empty()) {
            const std::size_t slash = page.rfind('/');
            title = cutUtf8(slash == std::string::npos ? page : page.substr(slash + 1),
                            kSitemapNameWidth);
        }
        node.name = std::move(title);
        node.local = linkToStoredName(page);
        nodes.push_back(std::move(node));
    }

    // The help's default topic, as a path like the pages' ("/" and "\" both separate folders
    // there, and it may have a leading "/").
    std::string topic(defaultTopic.substr(0, defaultTopic.find_first_of("#?")));
    for (char& c : topic)
        if (c == '\\')
            c = '/';
    while (!topic.empty() && topic.front() == '/')
        topic.erase(0, 1);
    if (const std::string* page = storedNameLike(pages, percentDecoded(topic)))
        startPage = linkToStoredName(*page);
    else if (!pages.empty())
        startPage = linkToStoredName(pages.front());
}

}  // namespace plovik
