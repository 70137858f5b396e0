#include "pipeline/KeywordIndex.h"

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
    if (!indexFileName.empty()) {
        if (auto hhk = readTextFile(outputFolder + indexFileName))
            ParseIndexFile(indexList, *hhk, folderOf(indexFileName));
        if (linkRepair)
            linkRepair->repairIndex(indexList, indexFileName);
    }
    if (indexList.empty()) {
        for (const SitemapNode& node : toc.nodes)
            indexList.push_back({cutUtf8(node.name, kIndexFieldCapacity),
                                 cutUtf8(node.local, kIndexFieldCapacity)});
    }
    progress.log(".", 0);
    // A data file that cannot be written is skipped; the page and the log go on as usual.
    writeTextFile(outputFolder + "js/indexdata.js", writeIndexData(indexList));
    progress.log(".", 0);
    writeHelpIndexPage(outputFolder + "HelpIndex.html", templateFolder + "HelpIndex.tpl");
    progress.log(".ok\r\n", 1);
}

}  // namespace plovik
