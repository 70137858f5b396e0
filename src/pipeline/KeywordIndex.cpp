#include "pipeline/KeywordIndex.h"

#include <algorithm>
#include <unordered_map>

#include "pages/LinkRepair.h"
#include "pages/Progress.h"
#include "platform/TextFile.h"
#include "templating/TemplateFiller.h"
#include "text/JsString.h"
#include "text/PathSegments.h"
#include "text/Utf8.h"

namespace plovik {

namespace {
constexpr size_t kIndexFieldCapacity = 254;
}

std::string writeIndexData(const std::vector<IndexEntry>& indexList) {
    std::string data = "var indexList = [";
    for (size_t i = 0; i < indexList.size(); ++i) {
        data += "[\"";
        appendJsStringBody(data, indexList[i].keyword);
        data += "\",\"";
        appendJsStringBody(data, indexList[i].page);
        data += i + 1 < indexList.size() ? "\"]," : "\"]";
    }
    data += "];";
    return data;
}

std::string writeKeywordData(const std::vector<IndexKeyword>& keywords) {
    std::string data = "var pkKeywords = [";
    for (std::size_t i = 0; i < keywords.size(); ++i) {
        const IndexKeyword& k = keywords[i];
        data += i ? ",[\"" : "[\"";
        appendJsStringBody(data, k.keyword);
        data += "\"," + std::to_string(std::clamp(k.level, 1, 99)) + ",[";
        for (std::size_t t = 0; t < k.topics.size(); ++t) {
            data += t ? ",[\"" : "[\"";
            appendJsStringBody(data, k.topics[t].title);
            data += "\",\"";
            appendJsStringBody(data, k.topics[t].page);
            data += "\"]";
        }
        data += "],\"";
        appendJsStringBody(data, k.seeAlso);
        data += "\"]";
    }
    data += "];\n";
    return data;
}

void writeHelpIndexPage(const std::string& pagePath, const std::string& templatePath) {
    TemplateFiller filler(templatePath);
    filler.addReplacement("utf-8", "[#charset#]");
    filler.addReplacement("Help Index", "[#title#]");
    filler.writeFilled(pagePath);
}

void buildKeywordIndex(Progress& progress, const std::string& outputFolder,
                       const std::string& templateFolder, const std::string& indexFileName,
                       const TableOfContents& toc, LinkRepair* linkRepair) {
    progress.log("\r\nbuild index file...", 0);
    std::vector<IndexEntry> indexList;
    std::vector<IndexKeyword> keywords;
    if (!indexFileName.empty()) {
        // Read once: the entries are each keyword with its first topic.
        if (auto hhk = readTextFile(outputFolder + indexFileName)) {
            keywords = ParseIndexKeywords(*hhk, folderOf(indexFileName));
            indexList = indexEntriesOf(keywords);
        }
        if (linkRepair) {
            linkRepair->repairIndex(indexList, indexFileName);
            // A keyword's first topic is its entry's page, repaired just now.
            std::string repaired;
            for (std::size_t k = 0; k < keywords.size(); ++k)
                for (std::size_t t = 0; t < keywords[k].topics.size(); ++t) {
                    IndexTopic& topic = keywords[k].topics[t];
                    if (t == 0) {
                        topic.page = indexList[k].page;
                        continue;
                    }
                    linkRepair->repairLink(topic.page, "", repaired);
                    topic.page = repaired;
                }
        }
    }
    if (indexList.empty()) {
        keywords.clear();
        for (const SitemapNode& node : toc.nodes) {
            indexList.push_back({cutUtf8(node.name, kIndexFieldCapacity),
                                 cutUtf8(node.local, kIndexFieldCapacity)});
            if (!node.local.empty())
                keywords.push_back(
                    {indexList.back().keyword, {{node.name, node.local}}, {}, 1, -1});
        }
    } else {
        // A topic the index names only by its keyword is named by its contents entry, so that a
        // keyword's several topics can be told apart.
        std::unordered_map<std::string_view, std::string_view> titleByLocal;
        for (const SitemapNode& node : toc.nodes)
            titleByLocal.try_emplace(node.local, node.name);
        for (IndexKeyword& k : keywords)
            for (IndexTopic& topic : k.topics)
                if (auto it = titleByLocal.find(topic.page);
                    topic.title == k.keyword && it != titleByLocal.end())
                    topic.title = it->second;
    }
    progress.log(".", 0);
    // A data file that cannot be written is skipped; the page and the log go on as usual.
    writeTextFile(outputFolder + "js/indexdata.js", writeIndexData(indexList));
    writeTextFile(outputFolder + "js/keywords.js", writeKeywordData(keywords));
    progress.log(".", 0);
    writeHelpIndexPage(outputFolder + "HelpIndex.html", templateFolder + "HelpIndex.tpl");
    progress.log(".ok\r\n", 1);
}

}  // namespace plovik
