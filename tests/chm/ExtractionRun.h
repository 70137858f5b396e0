#pragma once

// Runs the extraction stage the way a build does, on the test's thread, and keeps every log text
// it sent.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "build/BuildJob.h"
#include "chm/ChmDiagnostics.h"
#include "chm/Extraction.h"
#include "platform/WindowMessages.h"

namespace plovik::test {

struct ExtractionRun {
    std::unique_ptr<BuildJob> job = std::make_unique<BuildJob>();
    std::vector<std::pair<std::string, int>> texts;  // every log text with its lParam
    ExtractionSummary summary;
    bool result = false;

    std::string log() const {
        std::string all;
        for (const auto& [text, lParam] : texts)
            all += text;
        return all;
    }
    std::size_t count(const std::string& text) const {
        std::size_t n = 0;
        for (const auto& t : texts)
            n += t.first == text;
        return n;
    }
};

// Diagnostic lines captured per stream.
class CapturingSink : public DiagnosticSink {
public:
    void write(DiagnosticStream stream, std::string_view text) override {
        (stream == DiagnosticStream::Output ? output : error).append(text);
        all.append(text);
    }
    std::string output, error, all;
};

// Sets a sink for the life of the object.
class ScopedSink {
public:
    explicit ScopedSink(DiagnosticSink& sink) { setDiagnosticSink(&sink); }
    ~ScopedSink() { setDiagnosticSink(nullptr); }
    ScopedSink(const ScopedSink&) = delete;
    ScopedSink& operator=(const ScopedSink&) = delete;
};

// `stopAfter`: request a stop once that many "ok"/"failed" texts have been logged.
// `convertCharset`: false to unpack the bytes exactly as stored.
inline std::unique_ptr<ExtractionRun> runExtraction(const std::string& chmPath,
                                                    const std::string& outputFolder,
                                                    int stopAfter = -1,
                                                    bool convertCharset = true) {
    auto run = std::make_unique<ExtractionRun>();
    ExtractionRun* r = run.get();
    MessageWindow window([r, stopAfter](unsigned message, WPARAM, LPARAM lParam) -> LRESULT {
        if (message == WM_BUILD_LOG) {
            r->texts.emplace_back(r->job->logText, static_cast<int>(lParam));
            if (stopAfter >= 0 && lParam == 1 &&
                static_cast<int>(r->count("ok") + r->count("failed")) >= stopAfter) {
                r->job->stopRequested = true;
            }
        }
        return 0;
    });
    r->job->dialogWindow = &window;
    r->job->chmPath = chmPath;
    r->job->outputFolder = outputFolder;
    r->job->convertCharset = convertCharset;
    r->job->jobRunning = true;
    r->result = extractChm(*r->job, r->summary);
    r->job->dialogWindow = nullptr;
    return run;
}

}  // namespace plovik::test
