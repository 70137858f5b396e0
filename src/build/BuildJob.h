#pragma once

// The build job: validates the settings, then runs the stages of one build on a worker thread
// (extraction, table of contents, keyword index, search data, pages, clean-up, template assets),
// reporting every step to its window as WM_BUILD_LOG and its end as WM_BUILD_DONE, both sent
// synchronously. One job object exists per process; it is owned by whoever drives builds (the
// wizard dialog, the command line) and tests make their own.

#include <atomic>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "build/ProjectSettings.h"
#include "platform/WindowMessages.h"

namespace plovik {

class BuildJob;
class LinkRepair;

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
    // The window that receives the job's messages.
    virtual MessageWindow* window() = 0;
    // The job has been started: Build looks inactive, Stop active.
    virtual void buildStarted() = 0;
};

class BuildJob {
public:
    BuildJob() = default;
    ~BuildJob();  // waits for a worker that is still running
    BuildJob(const BuildJob&) = delete;
    BuildJob& operator=(const BuildJob&) = delete;

    // ---- shared with the front end, without locks ----
    std::atomic<bool> jobRunning{false};
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> jobPaused{false};
    std::atomic<bool> jobStopped{false};

    // ---- job parameters, filled before the worker starts ----
    MessageWindow* dialogWindow = nullptr;
    std::string chmPath;
    std::string outputFolder;  // always ends with '/'
    std::string title;
    std::string entryPageName;  // the one value the job hands back
    int layout = 0;             // 0 frame, 1 no-frame
    bool showNavButtons = true;
    bool showRelatedTopics = true;
    bool buildIndex = true;
    bool buildSearch = true;
    bool convertCharset = true;   // pages, sitemaps and names to UTF-8
    bool fixLinks = true;         // case repair and ms-its links
    std::string linksReportPath;  // where to list unresolved links, or empty
    std::string templateFolder;   // ends with '/'
    // Present exactly when the option is on.
    std::optional<std::string> addHeader;
    std::optional<std::string> addFooter;
    std::optional<std::string> removeHeader;
    std::optional<std::string> removeFooter;

    // ---- build state, filled by extraction ----
    std::vector<std::string> pageList;  // relative names, '/' between folders, directory order
    std::string contentsFileName;       // the .hhc, relative, or empty
    std::string indexFileName;          // the .hhk, relative, or empty
    std::vector<std::string> fileList;  // every file written, relative, in directory order
    // The link repair of this run while it lasts; null when links are left as they are.
    LinkRepair* linkRepair = nullptr;

    // The one log text being handed to the window; read by the window's thread while the job
    // waits for its WM_BUILD_LOG.
    std::string logText;

    // Places the text in logText and sends WM_BUILD_LOG with the given lParam (1 when the text
    // completes a counted log line).
    void log(std::string_view text, int lParam);

    // The checkpoint of every long loop: waits while paused, and when a stop has been requested
    // ends the job (sets jobStopped, clears jobRunning, logs the stop text, releases the build
    // state) and returns true. A caller that gets true returns at once without doing anything
    // more; every stage hands the `true` up to runBuild, which then ends.
    bool checkStop();
    // True once checkStop has stopped this run.
    bool stopped() const { return stoppedThisRun_; }

    void releaseJobBuffers();

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

private:
    bool stoppedThisRun_ = false;
    std::string firstTopic_;  // the table of contents' start page, for this run
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
inline constexpr std::string_view kMsgNoTemplate =
    "The selected template is not in the template catalogue!";

}  // namespace plovik
