#include "build/KeywordIndex.h"

#include "build/BuildJob.h"
#include "build/JsString.h"
#include "build/ProjectSettings.h"
#include "build/TemplateFiller.h"
#include "pages/LinkRepair.h"
#include "platform/TextFile.h"

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

void buildKeywordIndex(BuildJob& job, const TableOfContents& toc) {
    job.log("\r\nbuild index file...", 0);
    std::vector<IndexEntry> indexList;
    if (!job.indexFileName.empty()) {
        if (auto hhk = readTextFile(job.outputFolder + job.indexFileName))
            ParseIndexFile(indexList, *hhk,
                           job.indexFileName.substr(0, job.indexFileName.rfind('/') + 1));
        if (job.linkRepair)
            job.linkRepair->repairIndex(indexList, job.indexFileName);
    }
    if (indexList.empty()) {
        for (const SitemapNode& node : toc.nodes)
            indexList.push_back({cutToCapacity(node.name, kIndexFieldCapacity),
                                 cutToCapacity(node.local, kIndexFieldCapacity)});
    }
    job.log(".", 0);
    // A data file that cannot be written is skipped; the page and the log go on as usual.
    writeTextFile(job.outputFolder + "js/indexdata.js", writeIndexData(indexList));
    job.log(".", 0);
    writeHelpIndexPage(job.outputFolder + "HelpIndex.html", job.templateFolder + "HelpIndex.tpl");
    job.log(".ok\r\n", 1);
}

}  // namespace plovik
