#include "app/BuildCommand.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "app/ChmCommands.h"
#include "app/TemplateCatalogue.h"
#include "build/BuildJob.h"
#include "build/ProjectFile.h"
#include "platform/ProgramFolder.h"

namespace plovik {

namespace {

std::atomic<bool> g_interrupted{false};

extern "C" void onInterrupt(int) {
    g_interrupted = true;
}

// Relative paths of a project file mean "beside the project file", so a project can travel with
// its CHM.
std::string resolveAgainst(const std::string& path, const std::filesystem::path& base) {
    if (path.empty())
        return path;
    std::filesystem::path p(path);
    if (p.is_absolute())
        return path;
    std::string resolved = (base / p).lexically_normal().string();
    if (path.back() == '/' && (resolved.empty() || resolved.back() != '/'))
        resolved += '/';
    return resolved;
}

class CommandLineHost : public BuildHost {
public:
    explicit CommandLineHost(MessageWindow& window) : window_(window) {
        programFolder_ = GetProgramFolder();
        catalogue_.LoadTemplateCatalogue(programFolder_);
    }
    void readSettings(ProjectSettings&) override {}
    void showValidationMessage(std::string_view text) override {
        std::cerr << text << std::endl;
        refused = true;
    }
    std::optional<std::string> templateFolderName(int version, int index) override {
        if (const TplInfo* t = catalogue_.find(version, index))
            return t->TplPath;
        return std::nullopt;
    }
    std::string programFolder() override { return programFolder_; }
    MessageWindow* window() override { return &window_; }
    void buildStarted() override {}

    bool refused = false;

private:
    MessageWindow& window_;
    std::string programFolder_;
    TemplateCatalogue catalogue_;
};

// The one-line status shown on a terminal instead of the scrolling log.
class StatusLine {
public:
    void onLog(std::string_view text) {
        auto has = [&](std::string_view s) { return text.find(s) != std::string_view::npos; };
        if (has("start extract chm file"))
            stage("Extracting files");
        else if (has("build content tree"))
            stage("Reading the table of contents");
        else if (has("build index file"))
            stage("Writing the keyword index");
        else if (has("start generate keyword"))
            stage("Collecting search words");
        else if (has("save keyword results"))
            stage("Writing the search data");
        else if (has("process html file"))
            stage("Rewriting pages");
        else if (has("copy file"))
            stage("Copying template files");
        else if (has("stopped."))
            stage("Stopped");
        else if (has("\r\nDone."))
            stage("Done");
        if (has("   extract:") || has("   parse keyword from:") || has("   process :"))
            ++items_;
        draw(false);
    }
    void finish() {
        draw(true);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }

private:
    void stage(const char* name) {
        stage_ = name;
        items_ = 0;
        draw(true);
    }
    void draw(bool force) {
        auto now = std::chrono::steady_clock::now();
        if (!force && now - lastDraw_ < std::chrono::milliseconds(100))
            return;
        lastDraw_ = now;
        double seconds = std::chrono::duration<double>(now - start_).count();
        std::fprintf(stdout, "\r\033[K%s", stage_.c_str());
        if (items_ > 0)
            std::fprintf(stdout, " (%zu)", items_);
        std::fprintf(stdout, "  %.1f s", seconds);
        std::fflush(stdout);
    }

    std::string stage_ = "Starting";
    size_t items_ = 0;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point lastDraw_{};
};

}  // namespace

int runBuildCommand(const BuildOptions& options) {
    ProjectSettings settings;  // the wizard's defaults
    if (!options.projectFile.empty()) {
        ProjectFile file;
        readProjectFile(&options.projectFile, &file, &settings);
        auto base = std::filesystem::absolute(options.projectFile).parent_path();
        settings.chmfile = resolveAgainst(settings.chmfile, base);
        settings.outputpath = resolveAgainst(settings.outputpath, base);
    }
    auto cwd = std::filesystem::current_path();
    if (options.chm)
        settings.chmfile = resolveAgainst(*options.chm, cwd);
    if (options.out)
        settings.outputpath = resolveAgainst(*options.out, cwd);
    if (options.layout)
        settings.version = *options.layout;
    if (options.templateIndex)
        settings.selectedtemplate = *options.templateIndex;
    if (options.title)
        settings.title = cutToCapacity(*options.title, kPathCapacity);
    if (options.entry)
        settings.defaultindex = cutToCapacity(*options.entry, kPathCapacity);
    if (options.noIndex)
        settings.buildindex = 0;
    if (options.noSearch)
        settings.buildsearch = 0;
    if (options.noNav)
        settings.shownavbutton = 0;
    if (options.noRelated)
        settings.showrelatedtopics = 0;
    if (options.charset)
        settings.charset = *options.charset;
    if (options.noFixLinks)
        settings.fixlinks = 0;
    // Without a project file, the title and entry page follow the CHM file as the wizard sets them.
    if (options.projectFile.empty()) {
        std::filesystem::path chm(settings.chmfile);
        if (!options.title)
            settings.title = chm.stem().string() + " online help";
        if (!options.entry && settings.version == 0)
            settings.defaultindex = "index.html";
    }

    DiagnosticsScope diagnostics(options.verbose);
    const bool logMode = options.log || !::isatty(STDOUT_FILENO);
    if (logMode)
        std::setvbuf(stdout, nullptr, _IOLBF, 1 << 16);
    StatusLine status;
    BuildJob job;
    bool done = false;
    MessageWindow window([&](unsigned message, WPARAM, LPARAM) -> LRESULT {
        if (message == WM_BUILD_LOG) {
            if (logMode) {
                // Line-buffered (set below): one write per log line rather than per text, since
                // the job waits for each text and a page's line comes in five or six pieces.
                std::fwrite(job.logText.data(), 1, job.logText.size(), stdout);
            } else {
                status.onLog(job.logText);
            }
        } else if (message == WM_BUILD_DONE) {
            done = true;
        }
        return 0;
    });
    CommandLineHost host(window);

    if (!options.linksReport.empty())
        job.linksReportPath = resolveAgainst(options.linksReport, cwd);
    if (!startBuild(job, settings, host))
        return host.refused ? 2 : 1;

    g_interrupted = false;
    auto previous = std::signal(SIGINT, onInterrupt);
    bool stopSent = false;
    while (job.workerActive()) {
        window.pumpMessages(std::chrono::milliseconds(100));
        if (g_interrupted && !stopSent && job.jobRunning) {
            // What the wizard's Stop does: the job stops at its next checkpoint.
            job.jobPaused = true;
            job.stopRequested = true;
            stopSent = true;
        }
    }
    window.pumpMessages(std::chrono::milliseconds(0));
    job.waitForWorker();
    std::signal(SIGINT, previous);

    if (logMode)
        std::fflush(stdout);  // "Done." ends no line
    else
        status.finish();
    std::FILE* summary = logMode ? stderr : stdout;
    if (job.jobStopped || !done) {
        std::fprintf(summary, "\nThe build was stopped.\n");
        return 1;
    }
    std::fprintf(summary, "%sOutput folder: %s\nEntry page:    %s%s\n", logMode ? "\n" : "",
                 job.outputFolder.c_str(), job.outputFolder.c_str(), job.entryPageName.c_str());
    return 0;
}

}  // namespace plovik
