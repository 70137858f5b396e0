#pragma once

// What the page-processor tests share: the options and pages a build would give a processor, a
// log that records what it reports, and the template folders.

#include <string>
#include <vector>

#include "pages/HtmlProcessor.h"
#include "pages/PageOptions.h"
#include "pages/Progress.h"

namespace plovik::test {

inline std::string templateData(const std::string& name) {
    return std::string(PLOVIK_SOURCE_DIR) + "/tests/pages/data/" + name + "/";
}

struct RecordedJob {
    struct Recorder : Progress {
        explicit Recorder(RecordedJob& job) : owner(job) {}
        void log(std::string_view text, int lParam) override {
            owner.log += text;
            owner.counted += lParam;
        }
        bool checkStop() override { return owner.stopRequested; }
        RecordedJob& owner;
    };

    // Gives the processor the inputs a build gives it.
    void configure(CHtmlProcessor& p, const std::string& outputFolder,
                   const std::string& templateFolder) {
        options.outputFolder = outputFolder;
        options.templateFolder = templateFolder;
        p.m_outputFolder = outputFolder;
        p.m_templateFolder = templateFolder;
        p.m_title = options.title;
        p.m_entryFileName = options.entryPageName;
        p.SetPages(pageList, nodes, nullptr);
    }

    PageOptions options;
    std::vector<std::string> pageList;
    std::vector<SitemapNode> nodes;
    std::string log;
    int counted = 0;
    bool stopRequested = false;
    Recorder progress{*this};
};

}  // namespace plovik::test
