#pragma once

// The main window: the five-page wizard. It holds the settings as one value per project-file key,
// moves them between the page and the settings record, opens and saves projects, starts and stops
// the build job and shows its log.

#include <chrono>
#include <string>
#include <vector>

#include "app/BuildMessages.h"
#include "app/TemplateCatalogue.h"
#include "pipeline/BuildJob.h"
#include "pipeline/ProjectFile.h"
#include "platform/dialog/HtmlDialog.h"

namespace plovik {

class CPlovikDlg : public CDHtmlDialog, public BuildHost {
public:
    CPlovikDlg(DialogHost& host, BuildJob& job, std::string programFolder);
    ~CPlovikDlg() override;  // the host's hooks must not outlive the dialog

    // Start-up: the project to load once the page has loaded.
    void SetProjectPath(const std::string& path) { m_projectPath = path; }

    // ---- the dialog ----
    void DoDataExchange(CDataExchange* dx) override;
    bool OnInitDialog() override;
    void OnDocumentComplete() override;
    void OnPageReloaded() override;
    std::vector<std::string> ContextMenuIds() const override;
    LRESULT WindowProc(unsigned message, WPARAM wParam, LPARAM lParam) override;

    // ---- what the build start needs ----
    void readSettings(ProjectSettings& settings) override;
    void showValidationMessage(std::string_view text) override;
    std::string projectPath() override { return m_projectPath; }
    bool writeAmongForeignFiles(std::string_view folder, std::string_view example) override;
    std::optional<std::string> templateFolderName(int version, int index) override;
    std::string programFolder() override { return m_programFolder; }
    BuildObserver* observer() override;
    void buildStarted() override;

    // ---- operations ----
    void OnNew();
    void OnOpenProject();
    void OnSaveProject();
    void OnChooseChmFile();
    void OnChooseOutputFolder();
    void OnOpenOutputFolder();
    void OnLayoutClick();
    void OnTemplateChange();
    void OnBuild();
    void OnStop();
    void OnPreview();
    void OnViewSample();
    void OnHelp();
    void OnExit();
    void OnPageGone();

    void SetModified(bool modified);
    void ShowGeneralPage() { ClickElement("button_showGeneralPage"); }
    void BuildTemplateSelect();
    void LogAppend(LPARAM lParam);
    // Shows the log text on the page when it has changed, unless it was shown less than
    // kLogRefresh ago and `now` is false.
    void FlushLog(bool now);
    void BuildFinished();
    // The build ended without a site: a message box with the reason instead of the completion.
    void BuildFailed();

    // Values -> record and record -> values, with the placeholder rule.
    ProjectSettings valuesToRecord() const;
    void recordToValues(const ProjectSettings& record);

    // The dialog's values, one per project-file key; the text areas hold what the page shows.
    ProjectSettings m_values;
    std::string m_projectPath;
    bool m_modified = false;
    ProjectFile m_projectFile;
    std::string m_logText;
    int m_logLineCount = 0;
    // Each log text would cost the job two round trips to the page; a build of 20,000 pages
    // sends 60,000 of them. The page is brought up to date at most this often instead.
    static constexpr std::chrono::milliseconds kLogRefresh{100};
    bool m_logDirty = false;
    std::chrono::steady_clock::time_point m_logShownAt{};
    TemplateCatalogue m_catalogue;

    // Where the help site and the samples are, below the program folder.
    static constexpr const char* kHelpFile = "Plovik.chm";
    static constexpr const char* kHelpSite = "help/index.html";
    static constexpr const char* kHomePage = "https://plovik.example.org/";

private:
    void writePageFromRecord();
    void cutToCapacities();
    void updateExitGuard();
    void serveProgramFiles();

    BuildJob& m_job;
    // The build's reports, as messages to this window.
    WindowBuildObserver m_buildMessages;
    std::string m_programFolder;
    bool m_exiting = false;
    bool m_pageLoaded = false;
};

}  // namespace plovik
