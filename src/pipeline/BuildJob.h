#pragma once

// The build job: validates the settings, then runs the stages of one build on a worker thread
// (extraction, table of contents, keyword index, search data, pages, clean-up, template assets),
// reporting every step to its observer. One job object exists per process; it is owned by
// whoever drives builds (the wizard dialog, the command line) and tests make their own.
//
// The stages receive the values they need and report through the job's Progress; none of them
// sees the job itself.

#include <atomic>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "chm/BinaryContents.h"
#include "pages/Layouts.h"
#include "pages/LinkRepair.h"
#include "pages/PageOptions.h"
#include "pages/Progress.h"
#include "pipeline/BuildObserver.h"
#include "pipeline/ProjectSettings.h"
#include "platform/FolderLock.h"
#include "platform/Outcome.h"
#include "platform/SiteRecord.h"

namespace plovik {

// An item of the build that is lost or incomplete: a stored file that could not be extracted, a
// page that could not be rewritten, a generated file that could not be written.
struct FailedItem {
    std::string kind;  // "file", "page"
    std::string item;  // its name, relative to the output folder
    std::string reason;
};

// How a build ended, once it has: a site with nothing failed (Ok), a site with failed items
// (ItemFailed), or no usable site (Fatal, with the reason).
struct BuildResult {
    Grade grade = Grade::Ok;
    std::string reason;
    std::vector<FailedItem> failed;
    // The lines the report file gets (every failed item, then every link that does not resolve)
    // and those of the links report, kept for a library build, which writes one report for all.
    std::string report;
    std::string linksReport;
};

// What the build start needs from the front end that drives it.
class BuildHost {
public:
    virtual ~BuildHost() = default;
    // Takes the current control values into the settings (the dialog reads its page here).
    virtual void readSettings(ProjectSettings& settings) = 0;
    // One of the validation failures: a message box (exclamation icon, OK, caption "Plovik"),
    // then the general settings page.
    virtual void showValidationMessage(std::string_view text) = 0;
    // The folder name that the template catalogue stores for template `index` of layout
    // `version`, or nullopt when the catalogue has no such template.
    virtual std::optional<std::string> templateFolderName(int version, int index) = 0;
    // The program's folder, ending in '/'.
    virtual std::string programFolder() = 0;
    // Who hears of the build as it runs.
    virtual BuildObserver* observer() = 0;
    // The job has been started: Build looks inactive, Stop active.
    virtual void buildStarted() = 0;
    // The project file the settings came from, or empty; a build never writes over it.
    virtual std::string projectPath() { return {}; }
    // The output folder holds files that no build of ours wrote (`example` is one of them): true
    // when the user lets the build write into it all the same.
    virtual bool writeAmongForeignFiles(std::string_view folder, std::string_view example) {
        (void)folder;
        (void)example;
        return false;
    }
};

class BuildJob : private Progress {
public:
    BuildJob() = default;
    ~BuildJob() override;  // waits for a worker that is still running
    BuildJob(const BuildJob&) = delete;
    BuildJob& operator=(const BuildJob&) = delete;

    // ---- job parameters, filled before the worker starts ----
    BuildObserver* observer = nullptr;
    std::string chmPath;
    std::string outputFolder;  // always ends with '/'
    std::string title;
    std::string entryPageName;  // the one value the job hands back
    std::string baseUrl;        // where the site will be served, or empty
    Layout layout = Layout::Frame;
    bool showNavButtons = true;
    bool showRelatedTopics = true;
    bool buildIndex = true;
    bool buildSearch = true;
    bool convertCharset = true;   // pages, sitemaps and names to UTF-8
    bool fixLinks = true;         // case repair and ms-its links
    std::string linksReportPath;  // where to list unresolved links, or empty
    // Where to list every failed item and unresolved link with its reason, or empty.
    std::string reportPath;
    std::string templateFolder;  // ends with '/'
    // Present exactly when the option is on.
    std::optional<std::string> addHeader;
    std::optional<std::string> addFooter;
    std::optional<std::string> removeHeader;
    std::optional<std::string> removeFooter;
    // The output folder's lock, taken by startBuild and let go when the worker returns.
    FolderLock outputLock;
    // Files below the output folder that the build reads and must never write (the CHM being
    // converted, the project file), relative to it.
    std::vector<std::string> protectedNames;
    // What the output folder held before the build, to tell what the build wrote.
    FolderSnapshot outputBefore;
    // A header or help project that names the context ids, or empty.
    std::string contextNamesPath;
    // In a library build, the other helps, which this one's help-viewer links may lead into;
    // empty for a help built alone.
    std::vector<LibraryHelp> library;
    // The search data file even where the layout has no search page: the library page searches
    // every help of a library through it.
    bool searchDataForLibrary = false;
    // Whether the frame layout's pages are rewritten on a second thread while the search data is
    // collected (where the two cannot see each other's files), or after it on the build's own.
    // The site, the log and the report are the same either way. Auto takes the second thread when
    // the machine has a second core.
    enum class PageThreads { Auto, One, Two };
    PageThreads pageThreads = PageThreads::Auto;

    // ---- build state, filled by extraction, released when runBuild returns ----
    std::vector<std::string> pageList;  // relative names, '/' between folders, directory order
    std::string contentsFileName;       // the .hhc, relative, or empty
    std::string indexFileName;          // the .hhk, relative, or empty

    // ---- control, from any thread ----
    // The build stops at its next checkpoint.
    void requestStop() { stopRequested = true; }
    // The build waits at its next checkpoint until resumed (or stopped).
    void pause() { jobPaused = true; }
    void resume() { jobPaused = false; }
    bool running() const { return jobRunning; }
    // True once a build has ended at a stop request (until the next one starts).
    bool stoppedByRequest() const { return jobStopped; }
    // How the last build ended; read it once the worker has returned.
    const BuildResult& result() const { return result_; }

    // The worker procedure: every stage in order. Runs on the calling thread (startBuild calls it
    // on the worker).
    void runBuild();

    // Reserves the one worker slot; false when a worker is active or reserved already. Whoever
    // reserved it must launch the worker or release the slot.
    bool claimWorker();
    void releaseWorkerClaim() { workerActive_ = false; }
    // Starts runBuild on a new worker thread; the slot must have been claimed.
    void launchWorker();
    // Waits until the worker (if any) has returned.
    void waitForWorker();
    bool workerActive() const { return workerActive_.load(); }

    // The options the page processors get, from the parameters above.
    PageOptions pageOptions() const;

private:
    friend struct BuildJobTestAccess;  // tests put a job in states a build passes through

    // Progress, for the stages: the log goes to the observer; the checkpoint waits while paused
    // and, when a stop has been requested, ends the job (sets jobStopped, clears jobRunning,
    // logs the stop text) and returns true. Every stage hands the `true` up to runBuild.
    void log(std::string_view text, int lParam) override;
    bool checkStop() override;
    void itemDone() override;
    void itemFailed(std::string_view item, std::string_view reason) override;
    void stage(BuildStage stage, std::size_t items);

    enum class Ending { Finished, Stopped, Failed };
    // The stages in order.
    Ending runStages();
    // Makes a failed item of every stored file that a file of the site replaced.
    void reportReplacedStoredFiles(const LayoutTraits& traits);
    // Ends the build without a site: logs "failed" with the reason and records it.
    Ending fail(std::string reason);
    // The lines of the report file: every failed item, then every unresolved link.
    std::string reportText(const LinkRepair* repair) const;
    void releaseJobBuffers();

    // Shared with the front end without locks.
    std::atomic<bool> jobRunning{false};
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> jobPaused{false};
    std::atomic<bool> jobStopped{false};

    bool stoppedThisRun_ = false;
    BuildStage stage_ = BuildStage::Extraction;
    BuildResult result_;
    std::vector<std::string> fileList_;               // every file written, for the link repair
    std::string defaultTopic;                         // the help's own first page, from its #SYSTEM
    std::vector<BinaryContentsEntry> binaryContents;  // when it stores no .hhc
    Outcome binaryContentsRead;
    std::string contentsPage_;  // the generated contents page's name
    std::atomic<bool> workerActive_{false};
    std::thread worker_;
};

// The Build action: validates the settings the host gives, derives the job parameters and starts
// the worker. Returns true when a worker was started.
bool startBuild(BuildJob& job, ProjectSettings& settings, BuildHost& host);

// The texts of the validation failures, in the order they are checked.
inline constexpr std::string_view kMsgSelectChm = "Please select a CHM file first!";
inline constexpr std::string_view kMsgChmMissing = "File does not exist!";
inline constexpr std::string_view kMsgSelectOutput = "Please select output folder first!";
inline constexpr std::string_view kMsgOutputMissing = "Output folder does not exist!";
// The refusal of an output folder that holds files no build wrote, before the folder and a file.
std::string foreignFilesMessage(std::string_view folder, std::string_view example);
inline constexpr std::string_view kMsgBadBaseUrl =
    "The site address must be a full http:// or https:// address, such as "
    "https://example.org/help/, without blanks, quotes, '?' or '#'.";
inline constexpr std::string_view kMsgNoTemplate =
    "The selected template is not in the template catalogue!";

}  // namespace plovik
