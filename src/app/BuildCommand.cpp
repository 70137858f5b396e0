#include "app/BuildCommand.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <thread>

#include "app/ChmCommands.h"
#include "app/TemplateCatalogue.h"
#include "pipeline/BuildJob.h"
#include "pipeline/Library.h"
#include "pipeline/ProjectFile.h"
#include "platform/FileSystem.h"
#include "platform/ProgramFolder.h"
#include "platform/TextFile.h"
#include "text/TerminalText.h"

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

const char* stageName(BuildStage stage) {
    switch (stage) {
        case BuildStage::Extraction:
            return "Extracting files";
        case BuildStage::ContentsTree:
            return "Reading the table of contents";
        case BuildStage::KeywordIndex:
            return "Writing the keyword index";
        case BuildStage::SearchWords:
            return "Collecting search words";
        case BuildStage::SearchData:
            return "Writing the search data";
        case BuildStage::Pages:
            return "Rewriting pages";
        case BuildStage::TemplateFiles:
            return "Copying template files";
    }
    return "";
}

// What the build tells the command line, on the build's thread: the log itself, or a one-line
// status on a terminal.
class ConsoleObserver : public BuildObserver {
public:
    explicit ConsoleObserver(bool logMode) : logMode_(logMode) {}

    void logText(std::string_view text, int) override {
        // Line-buffered (see runBuildCommand): one write per log line rather than per text, as
        // a page's line comes in five or six pieces. The log names the help file's files: on a
        // terminal their control bytes are shown, not obeyed; a pipe or a file gets the bytes.
        if (!logMode_)
            return;
        if (onTerminal_) {
            const std::string shown = escapeForTerminal(text, LineBreaks::Keep);
            std::fwrite(shown.data(), 1, shown.size(), stdout);
        } else {
            std::fwrite(text.data(), 1, text.size(), stdout);
        }
    }
    void stageStarted(BuildStage stage, std::size_t items) override {
        setStage(stageName(stage), items);
    }
    void itemDone() override {
        ++items_;
        draw(false);
    }
    void stopped() override { setStage("Stopped", 0); }
    void failed(std::string_view) override { setStage("Failed", 0); }
    void done() override {
        finished = true;
        setStage("Done", 0);
    }
    // After the build: the status line's last state, on a line of its own.
    void finish() {
        if (logMode_)
            return;
        draw(true);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }

    std::atomic<bool> finished{false};

private:
    void setStage(const char* name, std::size_t total) {
        stage_ = name;
        items_ = 0;
        total_ = total;
        draw(true);
    }
    void draw(bool force) {
        if (logMode_)
            return;
        auto now = std::chrono::steady_clock::now();
        if (!force && now - lastDraw_ < std::chrono::milliseconds(100))
            return;
        lastDraw_ = now;
        double seconds = std::chrono::duration<double>(now - start_).count();
        std::fprintf(stdout, "\r\033[K%s", stage_.c_str());
        if (total_ > 0)
            std::fprintf(stdout, " (%zu/%zu)", items_, total_);
        else if (items_ > 0)
            std::fprintf(stdout, " (%zu)", items_);
        std::fprintf(stdout, "  %.1f s", seconds);
        std::fflush(stdout);
    }

    const bool logMode_;
    const bool onTerminal_ = ::isatty(STDOUT_FILENO) != 0;
    std::string stage_ = "Starting";
    std::size_t items_ = 0;
    std::size_t total_ = 0;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point lastDraw_{};
};

class CommandLineHost : public BuildHost {
public:
    CommandLineHost(BuildObserver& observer, std::string project, bool force)
        : observer_(observer), project_(std::move(project)), force_(force) {
        programFolder_ = GetProgramFolder();
        catalogue_.LoadTemplateCatalogue(programFolder_);
    }
    void readSettings(ProjectSettings&) override {}
    void showValidationMessage(std::string_view text) override {
        // A message may quote a project file's values, which may hold anything.
        if (::isatty(STDERR_FILENO))
            std::cerr << escapeForTerminal(text, LineBreaks::Keep) << std::endl;
        else
            std::cerr << text << std::endl;
        refused = true;
    }
    std::optional<std::string> templateFolderName(int version, int index) override {
        if (const TplInfo* t = catalogue_.find(version, index))
            return t->TplPath;
        return std::nullopt;
    }
    std::string programFolder() override { return programFolder_; }
    BuildObserver* observer() override { return &observer_; }
    void buildStarted() override {}
    std::string projectPath() override { return project_; }
    bool writeAmongForeignFiles(std::string_view, std::string_view) override { return force_; }

    bool refused = false;

private:
    BuildObserver& observer_;
    std::string project_;
    bool force_;
    std::string programFolder_;
    TemplateCatalogue catalogue_;
};

// Waits for the job's worker; Ctrl-C does what the wizard's Stop does: the job stops at its next
// checkpoint.
void waitForBuild(BuildJob& job) {
    g_interrupted = false;
    auto previous = std::signal(SIGINT, onInterrupt);
    bool stopSent = false;
    while (job.workerActive()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::fflush(stdout);
        if (g_interrupted && !stopSent && job.running()) {
            job.pause();
            job.requestStop();
            stopSent = true;
        }
    }
    job.waitForWorker();
    std::signal(SIGINT, previous);
}

// Several helps: each built into a folder of its own below the output folder, then the library
// page. A help that fails does not keep the others from being built; the exit status says the
// worst that happened.
int runLibrary(const BuildOptions& options, const ProjectSettings& settings,
               const std::vector<std::string>& chmFiles, const std::string& title,
               CommandLineHost& host, ConsoleObserver& observer, BuildJob& job, bool logMode) {
    // Settings that are wrong for every help are refused before any is built.
    for (const std::string& chm : chmFiles) {
        if (!pathExists(chm)) {
            host.showValidationMessage(std::string(kMsgChmMissing) + " (" + chm + ")");
            return 2;
        }
    }
    if (settings.outputpath.empty()) {
        host.showValidationMessage(kMsgSelectOutput);
        return 2;
    }
    if (!folderExists(settings.outputpath)) {
        host.showValidationMessage(kMsgOutputMissing);
        return 2;
    }
    std::string site = settings.outputpath;
    if (site.back() != '/')
        site += '/';
    const std::vector<LibraryMember> members = planLibrary(chmFiles);
    auto cwd = std::filesystem::current_path();
    const LibraryOutcome outcome =
        buildLibrary(members, settings, site, title, host.programFolder() + "template/library.tpl",
                     job, host, waitForBuild);
    if (logMode)
        std::fflush(stdout);
    else
        observer.finish();

    std::FILE* summary = logMode ? stderr : stdout;
    auto shown = [summary](const std::string& text) {
        return ::isatty(::fileno(summary)) ? escapeForTerminal(text) : text;
    };
    int status = 0;
    std::fprintf(summary, "%s", logMode ? "\n" : "");
    for (const LibraryEntry& entry : outcome.entries) {
        const BuildResult& result = entry.result;
        std::string line = entry.member.folder + "/: ";
        if (!entry.built && outcome.stopped) {
            line += "stopped";
        } else if (!entry.built && result.grade != Grade::Fatal) {
            line += "refused";
        } else if (!entry.built) {
            line += "the build failed: " + result.reason;
            status = 3;
        } else {
            line += "built, entry page " + entry.entryPage;
            if (!result.failed.empty()) {
                line += ", failed items: " + std::to_string(result.failed.size());
                if (status == 0)
                    status = 4;
            }
        }
        std::fprintf(summary, "Help %s (%s)\n", shown(line).c_str(),
                     shown(entry.member.chmPath).c_str());
    }
    if (!options.report.empty() && !writeBinaryFile(resolveAgainst(options.report, cwd),
                                                    libraryReport(outcome.entries, false)))
        std::fprintf(stderr, "plovik: the report could not be written: %s\n",
                     options.report.c_str());
    if (!options.linksReport.empty() && !writeBinaryFile(resolveAgainst(options.linksReport, cwd),
                                                         libraryReport(outcome.entries, true)))
        std::fprintf(stderr, "plovik: the links report could not be written: %s\n",
                     options.linksReport.c_str());
    if (outcome.stopped) {
        std::fprintf(summary, "\nThe build was stopped.\n");
        return 1;
    }
    if (outcome.refused)
        return 2;
    if (!outcome.libraryPageError.empty()) {
        std::fprintf(stderr, "plovik: the library page was not written: %s\n",
                     shown(outcome.libraryPageError).c_str());
        return 3;
    }
    bool anyBuilt = false;
    for (const LibraryEntry& entry : outcome.entries)
        anyBuilt = anyBuilt || entry.built;
    if (anyBuilt)
        std::fprintf(summary, "Output folder: %s\nEntry page:    %s%s\n", shown(site).c_str(),
                     shown(site).c_str(), std::string(kLibraryPageName).c_str());
    return status;
}

}  // namespace

int runBuildCommand(const BuildOptions& options) {
    ProjectSettings settings;  // the wizard's defaults
    ProjectLibrary projectLibrary;
    if (!options.projectFile.empty()) {
        ProjectFile file;
        // A project that cannot be read is refused as itself, not as settings that lack a CHM.
        if (Outcome opened = openProjectFile(options.projectFile, file, settings); !opened) {
            const bool terminal = ::isatty(STDERR_FILENO) != 0;
            std::cerr << (terminal ? escapeForTerminal(opened.reason) : opened.reason) << std::endl;
            return 2;
        }
        auto base = std::filesystem::absolute(options.projectFile).parent_path();
        settings.chmfile = resolveAgainst(settings.chmfile, base);
        settings.outputpath = resolveAgainst(settings.outputpath, base);
        projectLibrary = readProjectLibrary(options.projectFile);
        for (std::string& chm : projectLibrary.chmFiles)
            chm = resolveAgainst(chm, base);
    }
    auto cwd = std::filesystem::current_path();
    if (options.chm)
        settings.chmfile = resolveAgainst(*options.chm, cwd);
    // The helps in order: the project's (or --chm's) first, the project's library, those named
    // on the command line.
    std::vector<std::string> chmFiles;
    if (!settings.chmfile.empty())
        chmFiles.push_back(settings.chmfile);
    chmFiles.insert(chmFiles.end(), projectLibrary.chmFiles.begin(), projectLibrary.chmFiles.end());
    for (const std::string& chm : options.chmFiles)
        chmFiles.push_back(resolveAgainst(chm, cwd));
    if (settings.chmfile.empty() && !chmFiles.empty())
        settings.chmfile = chmFiles.front();
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
    if (options.baseUrl)
        settings.baseurl = cutToCapacity(*options.baseUrl, kPathCapacity);
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
    const bool library = chmFiles.size() > 1;
    // Without a project file, the title and entry page follow the CHM file as the wizard sets them.
    if (options.projectFile.empty() && !library) {
        std::filesystem::path chm(settings.chmfile);
        if (!options.title)
            settings.title = chm.stem().string() + " online help";
        if (!options.entry && settings.version == 0)
            settings.defaultindex = "index.html";
    }

    if (library && options.projectFile.empty() && !options.entry && settings.version == 0)
        settings.defaultindex = "index.html";

    DiagnosticsScope diagnostics(options.verbose);
    const bool logMode = options.log || !::isatty(STDOUT_FILENO);
    // A log on a terminal is read as it comes, a line at a time. One that goes to a file or a
    // pipe is written in blocks, flushed while the build runs (waitForBuild): a big help's log
    // has sixty thousand lines, and a write for each cost its build a twentieth of its time.
    if (logMode)
        std::setvbuf(stdout, nullptr, ::isatty(STDOUT_FILENO) ? _IOLBF : _IOFBF, 1 << 16);
    ConsoleObserver observer(logMode);
    CommandLineHost host(observer,
                         options.projectFile.empty()
                             ? std::string()
                             : std::filesystem::absolute(options.projectFile).string(),
                         options.force);
    BuildJob job;
    if (library) {
        std::string title = options.title ? *options.title : projectLibrary.title;
        if (title.empty())
            title = "Help library";
        return runLibrary(options, settings, chmFiles, title, host, observer, job, logMode);
    }

    if (!options.linksReport.empty())
        job.linksReportPath = resolveAgainst(options.linksReport, cwd);
    if (!options.report.empty())
        job.reportPath = resolveAgainst(options.report, cwd);
    if (!options.contextNames.empty())
        job.contextNamesPath = resolveAgainst(options.contextNames, cwd);
    if (!startBuild(job, settings, host))
        return host.refused ? 2 : 1;

    waitForBuild(job);

    if (logMode)
        std::fflush(stdout);  // "Done." ends no line
    else
        observer.finish();
    std::FILE* summary = logMode ? stderr : stdout;
    const BuildResult& result = job.result();
    if (result.grade == Grade::Fatal) {
        std::fprintf(stderr, "%splovik: the build failed: %s\n", logMode ? "\n" : "",
                     result.reason.c_str());
        return 3;
    }
    if (job.stoppedByRequest() || !observer.finished) {
        std::fprintf(summary, "\nThe build was stopped.\n");
        return 1;
    }
    auto shown = [summary](const std::string& text) {
        return ::isatty(::fileno(summary)) ? escapeForTerminal(text) : text;
    };
    std::fprintf(summary, "%sOutput folder: %s\nEntry page:    %s%s\n", logMode ? "\n" : "",
                 shown(job.outputFolder).c_str(), shown(job.outputFolder).c_str(),
                 shown(job.entryPageName).c_str());
    if (!result.failed.empty()) {
        std::fprintf(summary, "Failed items:  %zu%s\n", result.failed.size(),
                     job.reportPath.empty() ? " (--report FILE lists them)" : "");
        return 4;
    }
    return 0;
}

}  // namespace plovik
