#include "app/ChmCommands.h"

#include <unistd.h>

#include <cstdio>

#include "chm/ChmDiagnostics.h"
#include "chm/ChmFile.h"
#include "chm/ContextMap.h"
#include "pages/Progress.h"
#include "pipeline/ContextHelp.h"
#include "pipeline/ExtractionStage.h"
#include "platform/FileSystem.h"
#include "text/TerminalText.h"

namespace plovik {

DiagnosticsScope::DiagnosticsScope(bool verbose) {
    setDiagnosticSink(verbose ? &standardStreamsSink() : &silentSink());
}
DiagnosticsScope::~DiagnosticsScope() {
    setDiagnosticSink(nullptr);
}

namespace {

// `plovik extract` prints the build's extract lines, so that its output reads like the first
// stage of a build.
class PrintingProgress : public Progress {
public:
    void log(std::string_view text, int) override {
        if (onTerminal_) {
            const std::string shown = escapeForTerminal(text, LineBreaks::Keep);
            std::fwrite(shown.data(), 1, shown.size(), stdout);
        } else {
            std::fwrite(text.data(), 1, text.size(), stdout);
        }
    }
    bool checkStop() override { return false; }

private:
    const bool onTerminal_ = ::isatty(STDOUT_FILENO) != 0;
};

// A field of a listing: a name from the help may hold any byte, and a control character would
// drive the terminal or break the line into two.
void printField(std::string_view text) {
    for (char c : text)
        std::fputc(static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c, stdout);
}

}  // namespace

int extractCommand(const std::string& chmPath, const std::string& outDir, bool utf8, bool verbose) {
    DiagnosticsScope diagnostics(verbose);
    std::string folder = outDir.empty() ? std::string("./") : outDir;
    if (folder.back() != '/')
        folder.push_back('/');
    if (!folderExists(folder) && !createFolders(folder)) {
        std::fprintf(stderr, "plovik: cannot create the output folder %s\n", folder.c_str());
        return 1;
    }

    PrintingProgress progress;
    ExtractionStage extraction(progress, utf8);
    const ExtractionSummary summary = extraction.run(chmPath, folder);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    if (!summary.opened()) {
        std::fprintf(stderr, "plovik: cannot read %s: %s\n", chmPath.c_str(),
                     summary.outcome.reason.c_str());
        return 1;
    }
    if (summary.failed > 0) {
        std::fprintf(stderr, "plovik: %zu of %zu files could not be extracted from %s\n",
                     summary.failed, summary.failed + summary.written, chmPath.c_str());
        return 2;
    }
    return 0;
}

int listCommand(const std::string& chmPath, bool verbose) {
    DiagnosticsScope diagnostics(verbose);
    std::string whyNot;
    std::unique_ptr<ChmFile> chm = openChm(chmPath, &whyNot);
    if (!chm) {
        std::fprintf(stderr, "plovik: cannot read %s: %s\n", chmPath.c_str(), whyNot.c_str());
        return 1;
    }
    // Names are the file's; on a terminal their control bytes are shown, not obeyed. A pipe gets
    // them as stored, for the tools that read this list.
    const bool onTerminal = ::isatty(STDOUT_FILENO) != 0;
    for (const ChmEntry& e : chm->entries) {
        std::printf("%llu %12llu %12llu ", static_cast<unsigned long long>(e.section),
                    static_cast<unsigned long long>(e.offset),
                    static_cast<unsigned long long>(e.length));
        const std::string name = onTerminal ? escapeForTerminal(e.name) : e.name;
        std::fwrite(name.data(), 1, name.size(), stdout);
        std::fputc('\n', stdout);
    }
    return 0;
}

int listContextCommand(const std::string& chmPath, const std::string& namesFile, bool verbose) {
    DiagnosticsScope diagnostics(verbose);
    std::string whyNot;
    std::unique_ptr<ChmFile> chm = openChm(chmPath, &whyNot);
    if (!chm) {
        std::fprintf(stderr, "plovik: cannot read %s: %s\n", chmPath.c_str(), whyNot.c_str());
        return 1;
    }
    ContextMap map;
    const Outcome read = readContextMap(*chm, map);
    if (!read) {
        std::fprintf(stderr, "plovik: %s: %s\n", chmPath.c_str(), read.reason.c_str());
        return 1;
    }
    if (!read.reason.empty())
        std::fprintf(stderr, "plovik: %s: %s\n", chmPath.c_str(), read.reason.c_str());
    if (!namesFile.empty()) {
        std::map<std::uint32_t, std::string> names;
        const bool namesRead = loadContextNames(namesFile, names, whyNot);
        if (!whyNot.empty())
            std::fprintf(stderr, "plovik: %s\n", whyNot.c_str());
        if (!namesRead)
            return 1;
        nameContextIds(map, names);
    }
    std::size_t unstored = 0;
    for (const ContextEntry& entry : map.entries) {
        std::printf("%lu\t", static_cast<unsigned long>(entry.id));
        printField(entry.alias.empty() ? std::string_view("-") : std::string_view(entry.alias));
        std::fputc('\t', stdout);
        if (entry.file.empty()) {
            ++unstored;
            printField(entry.topic);
        } else {
            printField(std::string_view(entry.file).substr(1));
            printField(entry.fragment);
        }
        std::fputc('\n', stdout);
    }
    std::fflush(stdout);
    if (unstored > 0)
        std::fprintf(stderr,
                     "plovik: %zu context %s a topic the help does not store (listed as named)\n",
                     unstored, unstored == 1 ? "id names" : "ids name");
    return 0;
}

}  // namespace plovik
