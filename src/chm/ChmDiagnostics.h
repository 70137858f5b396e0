#pragma once

// The container's diagnostic lines. The reader and the decoder report what they meet (section
// names, lengths, decoder results) as fixed lines meant for a developer, never for the user. They
// go to a sink: by default the process's standard output and standard error; tests capture them
// and the command line silences them unless asked to show them.

#include <string_view>

namespace plovik {

enum class DiagnosticStream { Output, Error };

class DiagnosticSink {
public:
    virtual ~DiagnosticSink() = default;
    virtual void write(DiagnosticStream stream, std::string_view text) = 0;
};

// Writes each line to stdout or stderr as its stream says.
DiagnosticSink& standardStreamsSink();
// Drops everything.
DiagnosticSink& silentSink();

// The sink that containers opened from now on report to; null restores the standard streams.
// The sink must outlive every container opened while it is set.
void setDiagnosticSink(DiagnosticSink* sink);
DiagnosticSink& diagnosticSink();

// Formats like printf and hands the text to the sink.
void diagnose(DiagnosticSink& sink, DiagnosticStream stream, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

}  // namespace plovik
