#include "app/PlovikDlg.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <thread>

#include <algorithm>

#include "FakePage.h"
#include "app/Resources.h"
#include "platform/dialog/DialogHost.h"
#include "support/Corpus.h"
#include "support/TempDir.h"

namespace plovik {

// A job that has stopped at a checkpoint and whose worker is on its way out.
struct BuildJobTestAccess {
    static void stopped(BuildJob& job) {
        job.jobStopped = true;
        job.jobRunning = false;
    }
};

namespace {

using test::FakeElement;
using test::FakePage;

bool contains(const std::vector<std::string>& v, const std::string& s) {
    return std::find(v.begin(), v.end(), s) != v.end();
}

class PlovikDlgTest : public ::testing::Test {
protected:
    PlovikDlgTest() {
        test::writeFile(dir.path() / "prog/template/tplsetting.ini",
                        "[VersionList]\nVersionCount=2\nVersionName0=Frame\nVersionName1=NoFrame\n"
                        "[Frame]\nTplCount=1\nTplName0=Clarity\nTplPath0=frame\n"
                        "[NoFrame]\nTplCount=3\nTplName0=A\nTplName1=B\nTplName2=C\n"
                        "TplPath0=nf\nTplPath1=nf\nTplPath2=nf\n");
        std::filesystem::create_directories(dir.path() / "prog/template/frame/css");
        test::writeFile(dir.path() / "prog/template/frame/frame.tpl",
                        "<iframe src=\"{frame_content_file}\">");
        host.commandTimeout = std::chrono::milliseconds(3000);
        host.start();
        page = std::make_unique<FakePage>(host.server());
        dlg = std::make_unique<CPlovikDlg>(host, job, dir.folder() + "prog/");
    }
    ~PlovikDlgTest() override {
        dlg.reset();
        page.reset();
    }

    // Opens the wizard as DoModal would and waits for its page-loaded sequence.
    void open(const std::string& project = "") {
        if (!project.empty())
            dlg->SetProjectPath(project);
        host.openDialog(*dlg);
        pumpUntil([&] { return dlg->documentLoaded(); });
    }
    template <class F>
    void pumpUntil(F done) {
        for (int i = 0; i < 300 && !done(); ++i)
            host.pumpOnce(std::chrono::milliseconds(10));
        ASSERT_TRUE(done());
    }
    FakePage::Dialog wizard() { return page->dialog(std::string(kWizardPage)); }
    // Answers the next message box with the given button.
    void answerMessageBoxes(const std::string& button) {
        page->onOpen("messagebox.html", [button](FakePage& p, int d) { p.click(d, button); });
    }
    void chooseFile(const std::string& path) {
        page->onOpen("filedialog.html", [path](FakePage& p, int d) {
            p.set(d, "input_filename", [&](FakeElement& e) { e.value = path; });
            p.click(d, "button_ok");
        });
    }

    // An empty CHM into site/, and the completion dialog closed as soon as it opens.
    void fillBuildInputsAndCloseTheCompletionDialog(bool readable = true) {
        const std::filesystem::path chm = dir.path() / "in.chm";
        if (readable)
            std::filesystem::copy_file(test::dataDir() / "chm/pychm-example.chm", chm);
        else
            test::writeFile(chm, "");
        std::filesystem::create_directories(dir.path() / "site");
        auto w = wizard();
        page->set(w.id, "input_chmfile", [&](FakeElement& e) { e.value = chm.string(); });
        page->set(w.id, "input_outputfolder",
                  [&](FakeElement& e) { e.value = (dir.path() / "site").string(); });
        page->set(w.id, "input_defaultindex", [](FakeElement& e) { e.value = "index.html"; });
        page->set(w.id, "input_title", [](FakeElement& e) { e.value = "T"; });
        page->onOpen(std::string(kDonePage),
                     [](FakePage& p, int d) { p.click(d, "button_cancel"); });
    }

    test::TempDir dir;
    DialogHost host{[](std::string_view) -> std::optional<Resource> { return std::nullopt; }};
    BuildJob job;
    std::unique_ptr<FakePage> page;
    std::unique_ptr<CPlovikDlg> dlg;
};

TEST_F(PlovikDlgTest, PageLoadedWritesDefaultsListsTemplatesAndGreysSaveAndStop) {
    open();
    auto w = wizard();
    EXPECT_EQ(w.elements["input_frame"].radio, 0);
    EXPECT_TRUE(w.elements["check_build_search"].checked);
    EXPECT_EQ(w.elements["textarea_addhtmlheader"].value, kHeaderPlaceholder);
    EXPECT_EQ(w.elements["textarea_addhtmlfooter"].value, kDefaultFooter);
    EXPECT_NE(w.elements["sel_tpl_setting"].html.find("<option selected>Clarity</option>"),
              std::string::npos);
    for (const char* id : {"button_inithtmlsetting", "button_updateAllHtmlControls",
                           "button_graysaveicon", "button_disableStop"})
        EXPECT_TRUE(contains(w.clicks, id)) << id;
    EXPECT_FALSE(dlg->m_modified);
}

TEST_F(PlovikDlgTest, StartUpProjectIsShownAndCountsAsSaved) {
    auto project = test::writeFile(dir.path() / "p.zarn",
                                   "[version]\nversion=1\n[general]\ntitle=From file\n"
                                   "[templates]\nselectedtemplate=2\nbuildindex=0\n");
    open(project.string());
    auto w = wizard();
    EXPECT_EQ(w.elements["input_title"].value, "From file");
    EXPECT_EQ(w.elements["input_frame"].radio, 1);
    EXPECT_TRUE(contains(w.clicks, "button_switchToNoFrame"));
    // The layout's template list, the stored template marked.
    EXPECT_NE(w.elements["sel_tpl_setting"].html.find("<option selected>C</option>"),
              std::string::npos);
    // An empty header text shows its placeholder again.
    EXPECT_EQ(w.elements["textarea_addhtmlheader"].value, kHeaderPlaceholder);
    EXPECT_FALSE(dlg->m_modified);
}

TEST_F(PlovikDlgTest, SaveWhileSavedDoesNothingAndSaveThenOpenRoundTrips) {
    open();
    dlg->OnSaveProject();
    EXPECT_EQ(page->openedPages(),
              std::vector<std::string>{std::string(kWizardPage)});  // no file dialog

    const std::string path = (dir.path() / "saved").string();  // the extension is added
    page->set(wizard().id, "input_title", [](FakeElement& e) { e.value = "Saved title"; });
    page->set(wizard().id, "input_baseurl",
              [](FakeElement& e) { e.value = "https://example.org/help/"; });
    dlg->SetModified(true);
    chooseFile(path);
    dlg->OnSaveProject();
    EXPECT_FALSE(dlg->m_modified);
    EXPECT_TRUE(std::filesystem::exists(path + ".zarn"));

    answerMessageBoxes("button_ok");
    dlg->OnNew();  // not modified: no question
    EXPECT_FALSE(contains(page->openedPages(), "messagebox.html"));
    EXPECT_EQ(wizard().elements["input_title"].value, "");
    chooseFile(path + ".zarn");
    dlg->OnOpenProject();
    EXPECT_EQ(wizard().elements["input_title"].value, "Saved title");
    EXPECT_EQ(wizard().elements["input_baseurl"].value, "https://example.org/help/");
    EXPECT_EQ(dlg->m_projectPath, path + ".zarn");
}

TEST_F(PlovikDlgTest, NewAsksWhenModifiedAndCancelKeepsEverything) {
    open();
    page->set(wizard().id, "input_title", [](FakeElement& e) { e.value = "Keep me"; });
    dlg->UpdateData(true);
    dlg->SetModified(true);
    answerMessageBoxes("button_cancel");
    dlg->OnNew();
    EXPECT_TRUE(contains(page->openedPages(), "messagebox.html"));
    EXPECT_EQ(dlg->m_values.title, "Keep me");
    EXPECT_TRUE(dlg->m_modified);
    answerMessageBoxes("button_ok");
    dlg->OnNew();
    EXPECT_EQ(dlg->m_values.title, "");
    EXPECT_FALSE(dlg->m_modified);
    EXPECT_TRUE(dlg->m_projectPath.empty());
}

TEST_F(PlovikDlgTest, ChoosingTheChmSetsTitleAndEntryAndMarksModifiedOnlyForANewFile) {
    open();
    auto chm = test::writeFile(dir.path() / "My Manual.chm", "");
    chooseFile(chm.string());
    dlg->OnChooseChmFile();
    auto w = wizard();
    EXPECT_EQ(w.elements["input_chmfile"].value, chm.string());
    EXPECT_EQ(w.elements["input_title"].value, "My Manual online help");
    EXPECT_EQ(w.elements["input_defaultindex"].value, "index.html");
    EXPECT_TRUE(dlg->m_modified);

    dlg->SetModified(false);
    page->set(w.id, "input_title", [](FakeElement& e) { e.value = "changed"; });
    dlg->OnChooseChmFile();
    EXPECT_EQ(wizard().elements["input_title"].value, "My Manual online help");
    EXPECT_FALSE(dlg->m_modified);
}

TEST_F(PlovikDlgTest, LayoutClickRebuildsTheTemplateListAndMarksModified) {
    open();
    page->set(wizard().id, "input_frame", [](FakeElement& e) { e.radio = 1; });
    dlg->OnLayoutClick();
    EXPECT_TRUE(dlg->m_modified);
    EXPECT_NE(wizard().elements["sel_tpl_setting"].html.find("<option selected>A</option>"),
              std::string::npos);
}

TEST_F(PlovikDlgTest, LogRestartsAfterAHundredCountedLines) {
    open();
    for (int i = 0; i < 99; ++i) {
        dlg->observer()->logText("line\r\n", 1);
    }
    dlg->observer()->logText("not counted", 0);
    EXPECT_EQ(dlg->m_logLineCount, 99);
    dlg->observer()->logText("hundredth\r\n", 1);
    EXPECT_NE(wizard().elements["textarea_log"].value.find("hundredth"), std::string::npos);
    EXPECT_EQ(dlg->m_logText, "......\r\n");
    // What the end of a build does: when its last line was the hundredth, the line stays shown.
    dlg->FlushLog(true);
    EXPECT_NE(wizard().elements["textarea_log"].value.find("hundredth"), std::string::npos);
    dlg->observer()->logText("next", 0);
    // A text that follows at once reaches the page when the refresh time is over.
    std::this_thread::sleep_for(CPlovikDlg::kLogRefresh);
    dlg->FlushLog(false);
    EXPECT_EQ(wizard().elements["textarea_log"].value, "......\r\nnext");
}

TEST_F(PlovikDlgTest, AStreamOfLogTextsCostsTheJobFewRoundTripsToThePage) {
    open();
    const int before = wizard().commands;
    for (int i = 0; i < 2000; ++i) {
        dlg->observer()->logText("\r\n   parse keyword from:page.htm......ok", i % 2);
    }
    // Well under one command per text, even on a slow machine; each shown text is complete.
    EXPECT_LT(wizard().commands - before, 200);
    std::this_thread::sleep_for(CPlovikDlg::kLogRefresh);
    dlg->FlushLog(false);
    EXPECT_EQ(wizard().elements["textarea_log"].value, dlg->m_logText);
}

TEST_F(PlovikDlgTest, BuildFromTheWizardLogsToTheEndAndShowsTheCompletionDialog) {
    open();
    fillBuildInputsAndCloseTheCompletionDialog();
    dlg->OnBuild();
    EXPECT_TRUE(contains(wizard().clicks, "button_disableBuild"));
    pumpUntil([&] { return !job.workerActive() && page->dialog(std::string(kDonePage)).id; });
    pumpUntil([&] { return !page->isOpen(std::string(kDonePage)); });
    EXPECT_NE(dlg->m_logText.find("\r\nDone."), std::string::npos);
    auto done = page->dialog(std::string(kDonePage));
    EXPECT_EQ(done.elements["input_outputfolder"].value, dir.folder() + "site/");
    EXPECT_EQ(done.elements["input_url"].value, "http://www.example.com/yourfolder/index.html");
    // A finished build gives the Build button its look back.
    EXPECT_EQ(wizard().clicks.back(), "button_disableStop");
}

TEST_F(PlovikDlgTest, BuildRightAfterAStopWaitsForTheStoppedWorkerInsteadOfIgnoringTheClick) {
    open();
    fillBuildInputsAndCloseTheCompletionDialog();

    // A job that has stopped at a checkpoint, its worker not yet returned.
    ASSERT_TRUE(job.claimWorker());
    BuildJobTestAccess::stopped(job);
    std::thread leaving([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        job.releaseWorkerClaim();
    });
    dlg->OnBuild();
    leaving.join();
    pumpUntil([&] { return !job.workerActive() && page->dialog(std::string(kDonePage)).id; });
    pumpUntil([&] { return !page->isOpen(std::string(kDonePage)); });
    EXPECT_NE(dlg->m_logText.find("\r\nDone."), std::string::npos);
}

// A build that gives no site says why in a message box; no completion dialog claims success.
TEST_F(PlovikDlgTest, AFailedBuildShowsItsReasonInsteadOfTheCompletionDialog) {
    open();
    fillBuildInputsAndCloseTheCompletionDialog(false);
    answerMessageBoxes("button_ok");
    dlg->OnBuild();
    pumpUntil([&] { return !job.workerActive() && page->dialog("messagebox.html").id; });
    auto box = page->dialog("messagebox.html");
    EXPECT_EQ(box.elements["text_message"].html.rfind("The build failed: cannot read ", 0), 0u)
        << box.elements["text_message"].html;
    EXPECT_EQ(box.elements["icon_box"].className, "icon-error");
    EXPECT_FALSE(contains(page->openedPages(), std::string(kDonePage)));
    EXPECT_NE(dlg->m_logText.find("failed: cannot read "), std::string::npos);
    EXPECT_EQ(dlg->m_logText.find("Done."), std::string::npos);
    EXPECT_EQ(wizard().clicks.back(), "button_disableStop");
}

TEST_F(PlovikDlgTest, ValidationFailureShowsAMessageAndTheGeneralPage) {
    open();
    answerMessageBoxes("button_ok");
    dlg->OnBuild();
    auto box = page->dialog("messagebox.html");
    EXPECT_EQ(box.elements["text_message"].html, "Please select a CHM file first!");
    EXPECT_EQ(box.elements["icon_box"].className, "icon-warning");
    EXPECT_TRUE(box.elements["button_cancel"].hidden);
    EXPECT_TRUE(contains(wizard().clicks, "button_showGeneralPage"));
    EXPECT_FALSE(job.workerActive());
}

TEST_F(PlovikDlgTest, ABuildIntoAFolderAnotherBuildHoldsIsRefusedWithAMessage) {
    open();
    fillBuildInputsAndCloseTheCompletionDialog();
    FolderLockAttempt other = tryLockFolder(dir.path() / "site");
    ASSERT_TRUE(other);
    answerMessageBoxes("button_ok");
    dlg->OnBuild();
    auto box = page->dialog("messagebox.html");
    EXPECT_EQ(box.caption, "Plovik");
    EXPECT_NE(box.elements["text_message"].html.find("Another build is writing into the output "
                                                     "folder " +
                                                     (dir.path() / "site").string()),
              std::string::npos)
        << box.elements["text_message"].html;
    EXPECT_FALSE(job.workerActive());
}

TEST_F(PlovikDlgTest, ExitAsksOnlyWhenModified) {
    open();
    answerMessageBoxes("button_cancel");
    dlg->SetModified(true);
    dlg->OnExit();
    EXPECT_TRUE(contains(page->openedPages(), "messagebox.html"));
    EXPECT_FALSE(dlg->GetSafeHwnd()->isClosed());
}

TEST_F(PlovikDlgTest, ASaveThatFailsSaysWhyKeepsTheEditsAndAsksOnExit) {
    open();
    page->set(wizard().id, "input_title", [](FakeElement& e) { e.value = "Unsaved"; });
    dlg->SetModified(true);
    const std::string folder = (dir.path() / "folder.zarn").string();
    std::filesystem::create_directory(folder);
    for (const std::string& path : {folder, (dir.path() / "missing/p.zarn").string()}) {
        dlg->m_projectPath = path;
        answerMessageBoxes("button_ok");
        dlg->OnSaveProject();
        auto box = page->dialog("messagebox.html");
        EXPECT_EQ(box.caption, "Plovik");
        EXPECT_NE(box.elements["text_message"].html.find("could not be saved to " + path),
                  std::string::npos)
            << box.elements["text_message"].html;
        EXPECT_EQ(box.elements["icon_box"].className, "icon-warning");
        EXPECT_TRUE(dlg->m_modified);
        EXPECT_NE(wizard().clicks.back(), "button_graysaveicon");
        // The next Save asks where to.
        EXPECT_TRUE(dlg->m_projectPath.empty());
    }
    answerMessageBoxes("button_cancel");
    dlg->OnExit();
    EXPECT_NE(page->dialog("messagebox.html").elements["text_message"].html.find("exit"),
              std::string::npos);
    EXPECT_FALSE(dlg->GetSafeHwnd()->isClosed());
}

TEST_F(PlovikDlgTest, SavingOverAReadOnlyProjectAsksFirst) {
    namespace fs = std::filesystem;
    const auto project = test::writeFile(dir.path() / "ro.zarn", "[general]\ntitle=Old\n");
    fs::permissions(project,
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    open(project.string());
    page->set(wizard().id, "input_title", [](FakeElement& e) { e.value = "New"; });
    dlg->SetModified(true);

    answerMessageBoxes("button_cancel");
    dlg->OnSaveProject();
    auto box = page->dialog("messagebox.html");
    EXPECT_EQ(box.caption, "Plovik");
    EXPECT_NE(box.elements["text_message"].html.find(project.string() + " is read-only"),
              std::string::npos);
    EXPECT_EQ(box.elements["icon_box"].className, "icon-question");
    EXPECT_EQ(test::readFile(project), "[general]\ntitle=Old\n");
    EXPECT_TRUE(dlg->m_modified);

    dlg->m_projectPath = project.string();
    answerMessageBoxes("button_ok");
    dlg->OnSaveProject();
    EXPECT_FALSE(dlg->m_modified);
    EXPECT_NE(test::readFile(project).find("title=New"), std::string::npos);
    EXPECT_EQ(fs::status(project).permissions() & fs::perms::owner_write, fs::perms::none);
}

TEST_F(PlovikDlgTest, SavingAProjectThatIsALinkWritesItsTarget) {
    namespace fs = std::filesystem;
    const auto real = test::writeFile(dir.path() / "real/p.zarn", "[general]\ntitle=Old\n");
    fs::create_symlink(real, dir.path() / "p.zarn");
    open((dir.path() / "p.zarn").string());
    EXPECT_EQ(wizard().elements["input_title"].value, "Old");
    page->set(wizard().id, "input_title", [](FakeElement& e) { e.value = "Through the link"; });
    dlg->SetModified(true);
    dlg->OnSaveProject();
    EXPECT_FALSE(dlg->m_modified);
    EXPECT_TRUE(fs::is_symlink(dir.path() / "p.zarn"));
    EXPECT_NE(test::readFile(real).find("title=Through the link"), std::string::npos);
}

TEST_F(PlovikDlgTest, AProjectThatCannotBeReadIsNamedWithTheReasonAndChangesNothing) {
    const auto fifo = dir.path() / "fifo.zarn";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Named on the command line: the wizard starts empty, without waiting on the FIFO.
    answerMessageBoxes("button_ok");
    open(fifo.string());
    auto box = page->dialog("messagebox.html");
    EXPECT_EQ(box.caption, "Plovik");
    EXPECT_NE(box.elements["text_message"].html.find("The project file " + fifo.string() +
                                                     " cannot be opened: it is not a regular file"),
              std::string::npos)
        << box.elements["text_message"].html;
    EXPECT_TRUE(dlg->m_projectPath.empty());
    EXPECT_FALSE(dlg->m_modified);

    // Opened from the wizard: what was open stays open.
    const auto good = test::writeFile(dir.path() / "good.zarn", "[general]\ntitle=Good\n");
    chooseFile(good.string());
    dlg->OnOpenProject();
    const auto junk = test::writeFile(dir.path() / "junk.zarn", std::string("PK\3\4\0\0zip", 9));
    chooseFile(junk.string());
    dlg->OnOpenProject();
    box = page->dialog("messagebox.html");
    EXPECT_NE(box.elements["text_message"].html.find(junk.string()), std::string::npos);
    EXPECT_NE(box.elements["text_message"].html.find("binary data"), std::string::npos);
    EXPECT_EQ(wizard().elements["input_title"].value, "Good");
    EXPECT_EQ(dlg->m_projectPath, good.string());
}

TEST(TemplateCatalogue, MarkupMarksTheChosenTemplateOnly) {
    test::TempDir dir;
    test::writeFile(dir.path() / "template/tplsetting.ini",
                    "[VersionList]\nVersionCount=2\nVersionName0=F\nVersionName1=N\n"
                    "[N]\nTplCount=3\nTplName0=One\nTplName1=Two\nTplName2=Three<b>\n");
    TemplateCatalogue c;
    c.LoadTemplateCatalogue(dir.folder());
    ASSERT_EQ(c.templates.size(), 2u);
    EXPECT_EQ(c.templateSelectMarkup(1, 2),
              "<select style=\"margin:-2px;width=160px\" class=input id=\"select_template\" "
              "onchange=\"onSelTplChange();\"><option>One</option><option>Two</option>"
              "<option selected>Three&lt;b></option></select>");
    EXPECT_EQ(c.templateSelectMarkup(1, 7)->find("selected"), std::string::npos);
    EXPECT_FALSE(TemplateCatalogue().templateSelectMarkup(0, 0));
    EXPECT_EQ(c.find(1, 3), nullptr);
}

}  // namespace
}  // namespace plovik
