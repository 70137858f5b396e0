#include "app/ChmCommands.h"

#include <cstdio>

#include "build/BuildJob.h"
#include "chm/ChmDiagnostics.h"
#include "chm/ChmFile.h"
#include "chm/Extraction.h"
#include "platform/FileSystem.h"
#include "platform/WindowMessages.h"

namespace plovik {

DiagnosticsScope::DiagnosticsScope(bool verbose) {
    setDiagnosticSink(verbose ? &standardStreamsSink() : &silentSink());
}
DiagnosticsScope::~DiagnosticsScope() {
    setDiagnosticSink(nullptr);
}

int extractCommand(const std::string& chmPath, const std::string& outDir, bool verbose) {
    DiagnosticsScope diagnostics(verbose);
    std::string folder = outDir.empty() ? std::string("./") : outDir;
    if (folder.back() != '/')
        folder.push_back('/');
    if (!folderExists(folder) && !createFolders(folder)) {
        std::fprintf(stderr, "plovik: cannot create the output folder %s\n", folder.c_str());
        return 1;
    }

    BuildJob job;
    // A window on this thread: the job's sends call the handler directly.
    MessageWindow window([&job](unsigned message, WPARAM, LPARAM) -> LRESULT {
        if (message == WM_BUILD_LOG) {
            std::fwrite(job.logText.data(), 1, job.logText.size(), stdout);
        }
        return 0;
    });
    job.dialogWindow = &window;
    job.chmPath = chmPath;
    job.outputFolder = folder;
    job.jobRunning = true;

    ExtractionSummary summary;
    const bool opened = extractChm(job, summary);
    job.jobRunning = false;
    job.dialogWindow = nullptr;
    std::fputc('\n', stdout);
    std::fflush(stdout);
    if (!opened) {
        std::fprintf(stderr, "plovik: cannot read %s: %s\n", chmPath.c_str(),
                     summary.whyNot.c_str());
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
    for (const ChmEntry& e : chm->entries) {
        std::printf("%llu %12llu %12llu ", static_cast<unsigned long long>(e.section),
                    static_cast<unsigned long long>(e.offset),
                    static_cast<unsigned long long>(e.length));
        std::fwrite(e.name.data(), 1, e.name.size(), stdout);
        std::fputc('\n', stdout);
    }
    return 0;
}

}  // namespace plovik
