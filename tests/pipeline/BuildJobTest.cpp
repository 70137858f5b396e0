#include "pipeline/BuildJob.h"

#include <gtest/gtest.h>

#include <atomic>

#include <functional>
#include <thread>

#include "platform/WindowMessages.h"
#include "support/TempDir.h"
#include "support/chm/ChmWriter.h"

namespace plovik {
namespace {

struct LogItem {
    std::string text;
    LPARAM lParam;
    bool operator==(const LogItem&) const = default;
};

std::ostream& operator<<(std::ostream& os, const LogItem& item) {
    os << "{\"";
    for (char c : item.text)
        os << (c == '\r' ? "\\r" : c == '\n' ? "\\n" : std::string(1, c));
    return os << "\", " << item.lParam << "}";
}

constexpr unsigned kLogMessage = WM_USER + 100;
constexpr unsigned kDoneMessage = WM_USER + 102;

// Hands each report to a window, synchronously, as the wizard's window gets them.
struct WindowForwarder : BuildObserver {
    explicit WindowForwarder(MessageWindow& window) : win(window) {}
    void logText(std::string_view t, int lParam) override {
        text.assign(t);
        win.SendMessage(kLogMessage, 0, lParam);
    }
    void done() override { win.SendMessage(kDoneMessage, 0, 0); }
    void failed(std::string_view reason) override {
        if (onFailed)
            onFailed(reason);
    }
    MessageWindow& win;
    std::function<void(std::string_view)> onFailed;
    std::string text;
};

// Plays the dialog: records every log text and the completion, on the test's own thread.
class RecordingHost : public BuildHost {
public:
    RecordingHost(BuildJob& job, std::string programFolder)
        : job_(job), programFolder_(std::move(programFolder)) {
        win.setHandler([this](unsigned m, WPARAM, LPARAM l) -> LRESULT {
            if (m == kLogMessage) {
                log.push_back({forwarder.text, l});
                if (onLog)
                    onLog(forwarder.text);
            } else if (m == kDoneMessage) {
                ++doneMessages;
            }
            return 0;
        });
    }

    void readSettings(ProjectSettings&) override { ++reads; }
    void showValidationMessage(std::string_view text) override { messages.emplace_back(text); }
    std::optional<std::string> templateFolderName(int version, int index) override {
        if (version == 0 && index == 0)
            return std::string("frame");
        if (version == 1 && index == 0)
            return std::string("noframe");
        return std::nullopt;
    }
    std::string programFolder() override { return programFolder_; }
    BuildObserver* observer() override { return &forwarder; }
    void buildStarted() override { ++started; }
    std::string projectPath() override { return project; }
    bool writeAmongForeignFiles(std::string_view, std::string_view example) override {
        asked.emplace_back(example);
        return allowForeign;
    }

    // Handles messages until the worker has returned.
    void runToEnd() {
        while (job_.workerActive())
            win.pumpMessages(std::chrono::milliseconds(20));
        win.pumpMessages(std::chrono::milliseconds(0));
        job_.waitForWorker();
    }

    MessageWindow win;
    WindowForwarder forwarder{win};
    std::vector<LogItem> log;
    std::vector<std::string> messages;
    std::function<void(const std::string&)> onLog;
    std::string project;
    bool allowForeign = false;
    std::vector<std::string> asked;
    int doneMessages = 0;
    std::atomic<int> reads{0};  // two threads may press Build at once
    int started = 0;

private:
    BuildJob& job_;
    std::string programFolder_;
};

class BuildJobTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::writeFile(dir.path() / "prog/template/frame/frame.tpl",
                        "<title>{title}</title><iframe src=\"{frame_content_file}\">");
        test::writeFile(dir.path() / "prog/template/frame/images/prev.gif", "GIF");
        test::writeFile(dir.path() / "prog/template/frame/css/site.css", "body{}");
        test::writeFile(dir.path() / "prog/template/frame/js/tree.js", "//");
        test::writeFile(dir.path() / "prog/template/noframe/css/site.css", "body{}");
        test::writeFile(dir.path() / "input/empty.chm", "");
        test::ChmWriter help;
        help.addFile("/a.htm", "<html><body>Alpha beta</body></html>");
        test::writeFile(dir.path() / "input/help.chm", help.build());
        std::filesystem::create_directories(dir.path() / "out");
        settings.chmfile = (dir.path() / "input/help.chm").string();
        settings.outputpath = (dir.path() / "out").string();
        settings.title = "Test help";
        settings.defaultindex = "index.html";
    }

    test::TempDir dir;
    BuildJob job;
    RecordingHost host{job, dir.folder() + "prog/"};
    ProjectSettings settings;
};

TEST_F(BuildJobTest, ValidationRefusesInOrderAndStartsNothing) {
    struct Case {
        std::function<void(ProjectSettings&)> change;
        std::string_view message;
    };
    const Case cases[] = {
        {[](ProjectSettings& s) {
             s.chmfile.clear();
             s.outputpath.clear();
         },
         kMsgSelectChm},
        {[](ProjectSettings& s) {
             s.chmfile += ".none";
             s.outputpath.clear();
         },
         kMsgChmMissing},
        {[](ProjectSettings& s) { s.outputpath.clear(); }, kMsgSelectOutput},
        {[](ProjectSettings& s) { s.outputpath += "/none"; }, kMsgOutputMissing},
        {[](ProjectSettings& s) { s.baseurl = "javascript:alert(1)"; }, kMsgBadBaseUrl},
        {[](ProjectSettings& s) { s.selectedtemplate = 5; }, kMsgNoTemplate},
    };
    for (const Case& c : cases) {
        ProjectSettings s = settings;
        c.change(s);
        host.messages.clear();
        EXPECT_FALSE(startBuild(job, s, host));
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_EQ(host.messages[0], c.message);
        EXPECT_FALSE(job.workerActive());
    }
    EXPECT_EQ(host.started, 0);
    EXPECT_TRUE(host.log.empty());
}

TEST_F(BuildJobTest, FrameBuildRunsEveryStageAndLogsExactly) {
    ASSERT_TRUE(startBuild(job, settings, host));
    EXPECT_EQ(host.reads, 1);
    EXPECT_EQ(host.started, 1);
    EXPECT_EQ(settings.outputpath.back(), '/');
    host.runToEnd();

    const std::vector<LogItem> expected = {
        {"start extract chm file......\r\n", 1},
        {"\r\n   extract:/a.htm......", 0},
        {"ok", 1},
        // No contents file: the tree is made of the pages.
        {"\r\n\r\nbuild content tree from the pages......", 0},
        {"ok\r\n", 1},
        {"\r\nbuild index file...", 0},
        {".", 0},
        {".", 0},
        {".ok\r\n", 1},
        {"\r\nstart generate keyword......", 1},
        {"\r\n   parse keyword from:a.htm..", 0},
        {"....ok", 1},
        {"\r\n\r\nsave keyword results(may be used few minutes)......", 0},
        {"ok\r\n", 1},
        {"\r\nprocess html file......", 1},
        {"...", 0},  // the entry page
        {"..", 0},
        {"\r\n   process :a.htm.", 0},
        {"..", 0},
        {"..", 0},
        {".", 0},
        {"ok", 1},
        {"\r\n\r\ncopy file......", 0},
        {"ok\r\n", 1},
        {"\r\n\r\nlinks repaired: 0, links still unresolved: 0\r\n", 0},
        {"\r\nDone.", 1},
    };
    EXPECT_EQ(host.log, expected);
    EXPECT_EQ(host.doneMessages, 1);
    EXPECT_EQ(job.result().grade, Grade::Ok);
    EXPECT_FALSE(job.running());
    EXPECT_FALSE(job.stoppedByRequest());
    EXPECT_EQ(job.entryPageName, "index.html");
    EXPECT_EQ(test::readFile(dir.path() / "out/index.html"),
              "<title>Test help</title><iframe src=\"a.htm\">");
    EXPECT_EQ(test::readFile(dir.path() / "out/images/prev.gif"), "GIF");
    EXPECT_EQ(test::readFile(dir.path() / "out/css/site.css"), "body{}");
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "out/js"));
    // Without an index file the keywords are the contents' names.
    EXPECT_EQ(test::readFile(dir.path() / "out/js/indexdata.js"),
              "var indexList = [[\"a.htm\",\"a.htm\"]];");
    EXPECT_EQ(test::readFile(dir.path() / "out/js/searchdata.js"),
              "var keywords = [[\"alpha\",[0]],[\"beta\",[0]]];\r\n\r\nvar files = "
              "[[\"a.htm\",\"a.htm\"]];");
    // Missing page templates leave empty pages rather than no pages.
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "out/HelpIndex.html"));
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "out/HelpSearch.html"));
}

// A file that is no CHM gives no site: the log says why, and the build fails rather than
// reporting "Done." over an empty folder.
TEST_F(BuildJobTest, AnUnreadableChmFailsWithItsReason) {
    settings.chmfile = (dir.path() / "input/empty.chm").string();
    std::string failure;
    host.forwarder.onFailed = [&](std::string_view reason) { failure = reason; };
    ASSERT_TRUE(startBuild(job, settings, host));
    host.runToEnd();
    const std::string reason =
        "cannot read " + settings.chmfile + ": the file is too short to be a CHM file (0 bytes)";
    const std::vector<LogItem> expected = {{"start extract chm file......\r\n", 1},
                                           {"failed: " + reason + "\r\n", 1}};
    EXPECT_EQ(host.log, expected);
    EXPECT_EQ(host.doneMessages, 0);
    EXPECT_EQ(failure, reason);
    EXPECT_EQ(job.result().grade, Grade::Fatal);
    EXPECT_EQ(job.result().reason, reason);
    EXPECT_FALSE(job.running());
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "out/css"));
}

// The help author's folder: the user is asked before a build writes among files it did not write,
// and the CHM being converted and the project file are never written, even by a CHM that stores
// files of their names. What the build wrote is recorded: the next build asks again only for the
// user's own files.
TEST_F(BuildJobTest, AFolderOfTheUsersFilesIsAskedForAndWhatTheBuildReadsIsNeverWritten) {
    const auto out = dir.path() / "out";
    test::ChmWriter hostile;
    hostile.addFile("/a.htm", "<html><body>Alpha</body></html>");
    hostile.addFile("/help.chm", "not the help");
    hostile.addFile("/project.zarn", "[general]\nchmfile=/etc/passwd\n");
    const std::string chm = hostile.build();
    test::writeFile(out / "help.chm", chm);
    test::writeFile(out / "project.zarn", "[general]\n");
    settings.chmfile = (out / "help.chm").string();
    host.project = (out / "project.zarn").string();

    EXPECT_FALSE(startBuild(job, settings, host));
    ASSERT_EQ(host.asked.size(), 1u);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].find("holds files that Plovik did not write"), std::string::npos);

    host.allowForeign = true;
    ASSERT_TRUE(startBuild(job, settings, host));
    host.runToEnd();
    EXPECT_EQ(test::readFile(out / "help.chm"), chm);
    EXPECT_EQ(test::readFile(out / "project.zarn"), "[general]\n");
    EXPECT_TRUE(std::filesystem::exists(out / "a.htm"));
    std::vector<std::string> refused;
    for (const FailedItem& item : job.result().failed)
        if (item.reason.find("which this build reads") != std::string::npos)
            refused.push_back(item.item);
    EXPECT_EQ(refused.size(), 2u);

    host.allowForeign = false;
    EXPECT_FALSE(startBuild(job, settings, host));
    ASSERT_EQ(host.asked.size(), 3u);
    EXPECT_TRUE(host.asked[2] == "help.chm" || host.asked[2] == "project.zarn") << host.asked[2];
    std::filesystem::remove(out / "help.chm");
    std::filesystem::remove(out / "project.zarn");
    settings.chmfile = (dir.path() / "input/help.chm").string();
    ASSERT_TRUE(startBuild(job, settings, host))
        << "the files this build wrote were taken for the user's";
    host.runToEnd();
    EXPECT_EQ(host.asked.size(), 3u) << host.asked.back();
}

TEST_F(BuildJobTest, TrailingSlashIsAddedOnce) {
    settings.outputpath += "/";
    ASSERT_TRUE(startBuild(job, settings, host));
    host.runToEnd();
    EXPECT_EQ(settings.outputpath, dir.folder() + "out/");
    EXPECT_EQ(job.outputFolder, dir.folder() + "out/");
}

TEST_F(BuildJobTest, HeaderAndFooterTextsFollowTheirSwitchesAndPlaceholders) {
    settings.htmlfooter = "<i>f</i>";
    settings.delhtmlheader = "<b>old</b>";
    settings.isdelhtmlfooter = 1;  // still the placeholder: no text
    std::optional<std::string> addHeader, addFooter, removeHeader, removeFooter;
    host.onLog = [&](const std::string&) {
        if (addFooter)
            return;
        addHeader = job.addHeader.value_or("-");
        addFooter = job.addFooter.value_or("-");
        removeHeader = job.removeHeader.value_or("-");
        removeFooter = job.removeFooter.value_or("-");
    };
    ASSERT_TRUE(startBuild(job, settings, host));
    host.runToEnd();
    EXPECT_EQ(addHeader, "-");
    EXPECT_EQ(addFooter, "<div style=\"font-size:12px;font-family:Arial;\"><i>f</i></div>");
    EXPECT_EQ(removeHeader, "<b>old</b>");
    EXPECT_EQ(removeFooter, "-");
    // The job lets go of its texts at the end.
    EXPECT_FALSE(job.addFooter);
}

TEST_F(BuildJobTest, StopAtACheckpointEndsTheJobWithoutCompletionAndANewBuildStartsCleanly) {
    host.onLog = [&](const std::string& text) {
        if (text.rfind("start extract", 0) == 0) {
            job.pause();
            job.requestStop();
        }
    };
    ASSERT_TRUE(startBuild(job, settings, host));
    host.runToEnd();
    const std::vector<LogItem> stopped = {{"start extract chm file......\r\n", 1},
                                          {"\r\n\r\nstopped.\r\n\r\n", 0}};
    EXPECT_EQ(host.log, stopped);
    EXPECT_EQ(host.doneMessages, 0);
    EXPECT_TRUE(job.stoppedByRequest());
    EXPECT_FALSE(job.running());
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "out/css"));

    host.onLog = nullptr;
    host.log.clear();
    ASSERT_TRUE(startBuild(job, settings, host));
    host.runToEnd();
    EXPECT_EQ(host.log.back(), (LogItem{"\r\nDone.", 1}));
    EXPECT_EQ(host.doneMessages, 1);
    EXPECT_FALSE(job.stoppedByRequest());
}

TEST_F(BuildJobTest, PauseHoldsTheJobAtItsCheckpointUntilCleared) {
    host.onLog = [&](const std::string& text) {
        if (text.rfind("start extract", 0) == 0)
            job.pause();
    };
    ASSERT_TRUE(startBuild(job, settings, host));
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(400);
    while (std::chrono::steady_clock::now() < until)
        host.win.pumpMessages(std::chrono::milliseconds(20));
    EXPECT_EQ(host.log.size(), 1u);
    EXPECT_TRUE(job.running());
    job.resume();
    host.runToEnd();
    EXPECT_EQ(host.log.back(), (LogItem{"\r\nDone.", 1}));
}

TEST_F(BuildJobTest, SecondBuildBeforeTheFirstWorkerRunsIsRefused) {
    // The first worker blocks in its first log message until this thread pumps, so it cannot
    // have finished when the second Build comes.
    ASSERT_TRUE(startBuild(job, settings, host));
    ProjectSettings again = settings;
    EXPECT_FALSE(startBuild(job, again, host));
    host.runToEnd();
    EXPECT_EQ(host.started, 1);
    EXPECT_EQ(host.doneMessages, 1);
}

TEST_F(BuildJobTest, ConcurrentBuildRequestsStartOneJob) {
    // Two threads press Build at once. Nobody pumps the window, so a started worker waits in its
    // first log message and is certainly still active when the other press comes.
    std::atomic<int> startedCount{0};
    BuildJob shared;
    RecordingHost a{shared, dir.folder() + "prog/"};
    auto press = [&] {
        ProjectSettings s = settings;
        if (startBuild(shared, s, a))
            ++startedCount;
    };
    std::thread t1(press), t2(press);
    t1.join();
    t2.join();
    EXPECT_EQ(startedCount, 1);
    a.win.close();  // releases the worker: its messages go nowhere from here on
    shared.waitForWorker();
}

TEST_F(BuildJobTest, ASecondJobIntoTheSameFolderIsRefusedUntilTheFirstHasEnded) {
    // The first worker waits in its first log message until this thread pumps, so it still holds
    // the folder when the second job asks for it.
    ASSERT_TRUE(startBuild(job, settings, host));
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "out" / FolderLock::kFileName));
    BuildJob other;
    RecordingHost otherHost{other, dir.folder() + "prog/"};
    ProjectSettings same = settings;
    EXPECT_FALSE(startBuild(other, same, otherHost));
    ASSERT_EQ(otherHost.messages.size(), 1u);
    EXPECT_NE(otherHost.messages[0].find("Another build"), std::string::npos);
    EXPECT_NE(otherHost.messages[0].find((dir.path() / "out").string()), std::string::npos);
    EXPECT_FALSE(other.workerActive());

    host.runToEnd();
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "out" / FolderLock::kFileName));
    same = settings;
    ASSERT_TRUE(startBuild(other, same, otherHost));
    otherHost.runToEnd();
    EXPECT_EQ(otherHost.doneMessages, 1);
}

TEST_F(BuildJobTest, NoFrameLayoutBuildsIndexAndSearchAsTheSettingsSay) {
    settings.version = 1;
    ASSERT_TRUE(startBuild(job, settings, host));
    host.runToEnd();
    EXPECT_TRUE(job.buildIndex);
    EXPECT_TRUE(job.buildSearch);
    const auto out = dir.path() / "out";
    for (const char* file : {"js/indexdata.js", "js/keywords.js", "js/searchdata.js",
                             "js/search/index.js", "HelpIndex.html", "HelpSearch.html"})
        EXPECT_TRUE(std::filesystem::exists(out / file)) << file;
    EXPECT_FALSE(std::filesystem::exists(out / "HelpContent.html"));

    // Unticked, neither is built.
    std::filesystem::remove_all(out);
    std::filesystem::create_directory(out);
    settings.buildindex = 0;
    settings.buildsearch = 0;
    BuildJob second;
    RecordingHost secondHost{second, dir.folder() + "prog/"};
    ASSERT_TRUE(startBuild(second, settings, secondHost));
    secondHost.runToEnd();
    EXPECT_FALSE(std::filesystem::exists(out / "js/indexdata.js"));
    EXPECT_FALSE(std::filesystem::exists(out / "js/search"));
    EXPECT_FALSE(std::filesystem::exists(out / "HelpSearch.html"));
}

}  // namespace
}  // namespace plovik
