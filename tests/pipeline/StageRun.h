#pragma once

// What the pipeline tests share: a record of everything a build or a stage reports, and the
// extraction stage run on its own, as a build runs it.

#include <string>
#include <utility>
#include <vector>

#include "pages/Progress.h"
#include "pipeline/BuildObserver.h"
#include "pipeline/ExtractionStage.h"

namespace plovik::test {

struct RecordedLog : BuildObserver, Progress {
    std::vector<std::pair<std::string, int>> texts;  // every log text with its lParam
    int doneCount = 0;

    void logText(std::string_view text, int lParam) override {
        texts.emplace_back(std::string(text), lParam);
    }
    void done() override { ++doneCount; }
    void log(std::string_view text, int lParam) override { logText(text, lParam); }
    bool checkStop() override { return false; }

    std::string all() const {
        std::string joined;
        for (const auto& [text, lParam] : texts)
            joined += text;
        return joined;
    }
};

struct Extracted {
    ExtractionSummary summary;
    ExtractedHelp help;
    ConversionCounts counts;
};

inline Extracted extractForBuild(const std::string& chmPath, const std::string& outputFolder,
                                 bool convertCharset, Progress* progress = nullptr) {
    RecordedLog quiet;
    ExtractionStage stage(progress ? *progress : quiet, convertCharset);
    Extracted result;
    result.summary = stage.run(chmPath, outputFolder);
    result.help = std::move(stage.help());
    result.counts = stage.conversionCounts();
    return result;
}

}  // namespace plovik::test
