#pragma once

// What the page-processor tests share: a job whose log is recorded, and the template folders.

#include <string>

#include "build/BuildJob.h"
#include "pages/HtmlProcessor.h"
#include "platform/WindowMessages.h"

namespace plovik::test {

inline std::string templateData(const std::string& name) {
    return std::string(PLOVIK_SOURCE_DIR) + "/tests/pages/data/" + name + "/";
}

// A job whose log messages land in `log` (sent from this thread, so handled at once).
struct RecordedJob {
    RecordedJob()
        : window([this](unsigned message, WPARAM, LPARAM lParam) {
              if (message == WM_BUILD_LOG) {
                  log += job.logText;
                  counted += static_cast<int>(lParam);
              }
              return LRESULT{0};
          }) {
        job.dialogWindow = &window;
    }

    // Gives the processor the inputs the build job gives it.
    void configure(CHtmlProcessor& p, const std::string& outputFolder,
                   const std::string& templateFolder) {
        p.m_outputFolder = outputFolder;
        p.m_pages = &job.pageList;
        p.m_tocNodes = &nodes;
        p.m_templateFolder = templateFolder;
        p.m_title = job.title;
        job.outputFolder = outputFolder;
        job.templateFolder = templateFolder;
    }

    BuildJob job;
    MessageWindow window;
    std::vector<SitemapNode> nodes;
    std::string log;
    int counted = 0;
};

}  // namespace plovik::test
