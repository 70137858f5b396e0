#include "chm/ChmDiagnostics.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <string>

namespace plovik {
namespace {

class StandardStreams final : public DiagnosticSink {
public:
    void write(DiagnosticStream stream, std::string_view text) override {
        std::FILE* f = stream == DiagnosticStream::Output ? stdout : stderr;
        std::fwrite(text.data(), 1, text.size(), f);
    }
};

class Silent final : public DiagnosticSink {
public:
    void write(DiagnosticStream, std::string_view) override {}
};

std::atomic<DiagnosticSink*> currentSink{nullptr};

}  // namespace

DiagnosticSink& standardStreamsSink() {
    static StandardStreams sink;
    return sink;
}

DiagnosticSink& silentSink() {
    static Silent sink;
    return sink;
}

void setDiagnosticSink(DiagnosticSink* sink) {
    currentSink.store(sink);
}

DiagnosticSink& diagnosticSink() {
    DiagnosticSink* sink = currentSink.load();
    return sink ? *sink : standardStreamsSink();
}

void diagnose(DiagnosticSink& sink, DiagnosticStream stream, const char* format, ...) {
    char small[512];
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int n = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (n < 0) {
        va_end(again);
        return;
    }
    if (static_cast<size_t>(n) < sizeof small) {
        va_end(again);
        sink.write(stream, std::string_view(small, static_cast<size_t>(n)));
        return;
    }
    std::string big(static_cast<size_t>(n) + 1, '\0');
    std::vsnprintf(big.data(), big.size(), format, again);
    va_end(again);
    big.resize(static_cast<size_t>(n));
    sink.write(stream, big);
}

}  // namespace plovik
