#pragma once

// Runs an extraction on the test's thread and keeps what its sink heard.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "chm/ChmDiagnostics.h"
#include "chm/Extraction.h"

namespace plovik::test {

struct ExtractionRun : ExtractionSink {
    std::vector<std::string> started;                       // names as written, with the "/"
    std::vector<std::pair<std::string, Outcome>> finished;  // relative names, in order
    ExtractionSummary summary;
    std::size_t stopAfter = 0;  // with `stopping`: ask to stop once that many files are done
    bool stopping = false;

    bool result() const { return summary.opened(); }
    std::size_t count(bool ok) const {
        std::size_t n = 0;
        for (const auto& f : finished)
            n += static_cast<bool>(f.second) == ok;
        return n;
    }
    // Every file written, in order.
    std::vector<std::string> written() const {
        std::vector<std::string> names;
        for (const auto& f : finished)
            if (f.second)
                names.push_back(f.first);
        return names;
    }

    bool stopRequested() override { return stopping && finished.size() >= stopAfter; }
    void entryStarted(std::string_view name) override { started.emplace_back(name); }
    void entryFinished(std::string_view relative, const Outcome& outcome,
                       const TransformNote&) override {
        finished.emplace_back(std::string(relative), outcome);
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

// `stopAfter`: ask to stop once that many files have been written or lost.
inline std::unique_ptr<ExtractionRun> runExtraction(const std::string& chmPath,
                                                    const std::string& outputFolder,
                                                    int stopAfter = -1) {
    auto run = std::make_unique<ExtractionRun>();
    if (stopAfter >= 0) {
        run->stopping = true;
        run->stopAfter = static_cast<std::size_t>(stopAfter);
    }
    run->summary = extractChm(chmPath, outputFolder, *run);
    return run;
}

}  // namespace plovik::test
