#include "app/PlovikDlg.h"

#include <filesystem>

#include "app/Resources.h"
#include "app/SmallDialogs.h"
#include "platform/FileSystem.h"
#include "platform/dialog/DialogHost.h"
#include "platform/dialog/FileDialog.h"
#include "platform/dialog/MessageBox.h"
#include "platform/dialog/Shell.h"

namespace plovik {

namespace {

constexpr const char* kProjectFilter = "Plovik project file|*.zarn||";
constexpr const char* kChmFilter =
    "Microsoft Compiled HTML Help(*.chm)|*.chm|All Files (*.*)|*.*||";

}  // namespace

CPlovikDlg::CPlovikDlg(DialogHost& host, BuildJob& job, std::string programFolder)
    : CDHtmlDialog(host, std::string(kWizardPage), "Plovik", 900, 600),
      m_job(job),
      m_programFolder(std::move(programFolder)) {
    using E = Event;
    DHtmlEvent(E::Click, "button_new", [this] { OnNew(); });
    DHtmlEvent(E::Click, "button_open", [this] { OnOpenProject(); });
    DHtmlEvent(E::Click, "button_save", [this] { OnSaveProject(); });
    DHtmlEvent(E::Click, "button_help", [this] { OnHelp(); });
    DHtmlEvent(E::Click, "button_about", [this] {
        CAboutEx about(m_host);
        about.DoModal();
    });
    DHtmlEvent(E::Click, "input_frame", [this] { OnLayoutClick(); });
    DHtmlEvent(E::Change, "input_frame", [this] { OnLayoutClick(); });
    DHtmlEvent(E::Click, "button_openchmfile", [this] { OnChooseChmFile(); });
    DHtmlEvent(E::Click, "button_setoutputfolder", [this] { OnChooseOutputFolder(); });
    DHtmlEvent(E::Click, "button_preview", [this] { OnPreview(); });
    DHtmlEvent(E::Click, "button_viewsample", [this] { OnViewSample(); });
    DHtmlEvent(E::Click, "button_build", [this] { OnBuild(); });
    DHtmlEvent(E::Click, "button_build_down", [this] { OnBuild(); });
    DHtmlEvent(E::Click, "button_stop", [this] { OnStop(); });
    DHtmlEvent(E::Click, "button_openfolder", [this] { OnOpenOutputFolder(); });
    DHtmlEvent(E::KeyUp, "input_defaultindex", [this] { SetModified(true); });
    for (const char* id : {"input_chmfile", "input_outputfolder", "select_chartset", "input_title",
                           "input_baseurl", "textarea_addhtmlheader", "textarea_addhtmlfooter",
                           "textarea_delhtmlheader", "textarea_delhtmlfooter"})
        DHtmlEvent(E::Change, id, [this] { SetModified(true); });
    for (const char* id : {"check_shownavigationbutton", "check_showreleatedtopics",
                           "check_fixlinks", "check_build_index", "check_build_search",
                           "checkbox_addhtmlheader", "checkbox_addhtmlfooter",
                           "checkbox_delhtmlheader", "checkbox_delhtmlfooter", "check_onSelTpl"})
        DHtmlEvent(E::Click, id, [this] { SetModified(true); });
    DHtmlEvent(E::Change, "select_template", [this] { OnTemplateChange(); });
    DHtmlEvent(E::Click, "link_homepage", [] { ShellOpen(kHomePage); });
    m_host.onPageGone = [this] { OnPageGone(); };
    m_host.onIdle = [this] { FlushLog(false); };
}

CPlovikDlg::~CPlovikDlg() {
    m_host.onPageGone = nullptr;
    m_host.onIdle = nullptr;
}

void CPlovikDlg::DoDataExchange(CDataExchange* dx) {
    ProjectSettings& v = m_values;
    DDX_DHtml_Radio(dx, "input_frame", v.version);
    DDX_DHtml_ElementValue(dx, "input_chmfile", v.chmfile);
    DDX_DHtml_ElementValue(dx, "input_outputfolder", v.outputpath);
    DDX_DHtml_ElementValue(dx, "input_defaultindex", v.defaultindex);
    DDX_DHtml_SelectIndex(dx, "select_chartset", v.charset);
    DDX_DHtml_ElementValue(dx, "input_title", v.title);
    DDX_DHtml_ElementValue(dx, "input_baseurl", v.baseurl);
    DDX_DHtml_SelectIndex(dx, "select_template", v.selectedtemplate);
    DDX_DHtml_CheckBox(dx, "check_shownavigationbutton", v.shownavbutton);
    DDX_DHtml_CheckBox(dx, "check_showreleatedtopics", v.showrelatedtopics);
    DDX_DHtml_CheckBox(dx, "check_fixlinks", v.fixlinks);
    DDX_DHtml_CheckBox(dx, "check_build_index", v.buildindex);
    DDX_DHtml_CheckBox(dx, "check_build_search", v.buildsearch);
    DDX_DHtml_CheckBox(dx, "checkbox_addhtmlheader", v.isaddheader);
    DDX_DHtml_ElementValue(dx, "textarea_addhtmlheader", v.htmlheader);
    DDX_DHtml_CheckBox(dx, "checkbox_addhtmlfooter", v.isaddfooter);
    DDX_DHtml_ElementValue(dx, "textarea_addhtmlfooter", v.htmlfooter);
    DDX_DHtml_CheckBox(dx, "checkbox_delhtmlheader", v.isdelhtmlheader);
    DDX_DHtml_ElementValue(dx, "textarea_delhtmlheader", v.delhtmlheader);
    DDX_DHtml_CheckBox(dx, "checkbox_delhtmlfooter", v.isdelhtmlfooter);
    DDX_DHtml_ElementValue(dx, "textarea_delhtmlfooter", v.delhtmlfooter);
    // A text longer than its settings field is cut where the field ends.
    if (dx->m_bSaveAndValidate)
        cutToCapacities();
}

void CPlovikDlg::cutToCapacities() {
    for (std::string* path : {&m_values.chmfile, &m_values.outputpath, &m_values.defaultindex,
                              &m_values.title, &m_values.baseurl})
        *path = cutToCapacity(*path, kPathCapacity);
    for (std::string* html : {&m_values.htmlheader, &m_values.htmlfooter, &m_values.delhtmlheader,
                              &m_values.delhtmlfooter})
        *html = cutToCapacity(*html, kHtmlTextCapacity);
}

bool CPlovikDlg::OnInitDialog() {
    CDHtmlDialog::OnInitDialog();
    m_host.setTitle("Plovik");
    return true;
}

ProjectSettings CPlovikDlg::valuesToRecord() const {
    ProjectSettings record = m_values;
    if (record.htmlheader == kHeaderPlaceholder)
        record.htmlheader.clear();
    if (record.delhtmlheader == kRemoveHeaderPlaceholder)
        record.delhtmlheader.clear();
    if (record.delhtmlfooter == kRemoveFooterPlaceholder)
        record.delhtmlfooter.clear();
    return record;
}

void CPlovikDlg::recordToValues(const ProjectSettings& record) {
    m_values = record;
    if (m_values.htmlheader.empty())
        m_values.htmlheader = kHeaderPlaceholder;
    if (m_values.delhtmlheader.empty())
        m_values.delhtmlheader = kRemoveHeaderPlaceholder;
    if (m_values.delhtmlfooter.empty())
        m_values.delhtmlfooter = kRemoveFooterPlaceholder;
}

void CPlovikDlg::writePageFromRecord() {
    UpdateData(false);
    ClickElement(m_values.version == 1 ? "button_switchToNoFrame" : "button_switchToFrame");
    ClickElement("button_updateAllHtmlControls");
}

void CPlovikDlg::OnDocumentComplete() {
    m_catalogue.LoadTemplateCatalogue(m_programFolder);
    BuildTemplateSelect();
    m_values = ProjectSettings();  // the built-in defaults
    CDHtmlDialog::OnDocumentComplete();
    ClickElement("button_inithtmlsetting");
    ClickElement("button_updateAllHtmlControls");
    std::string refused;
    if (!m_projectPath.empty()) {
        m_projectFile = ProjectFile();
        ProjectSettings record;
        if (Outcome opened = openProjectFile(m_projectPath, m_projectFile, record); opened) {
            recordToValues(record);
            writePageFromRecord();
            BuildTemplateSelect();
        } else {
            // The wizard starts empty; a Save then asks for a name rather than writing over
            // whatever that file is.
            refused = opened.reason;
            m_projectPath.clear();
        }
    }
    SetModified(false);
    ClickElement("button_disableStop");
    m_pageLoaded = true;
    if (!refused.empty())
        MessageBoxW(m_host, refused, "Plovik", MB_OK | MB_ICONEXCLAMATION);
}

void CPlovikDlg::OnPageReloaded() {
    // A reload of the window: everything the page showed comes back from the dialog's values.
    BuildTemplateSelect();
    UpdateData(false);
    ClickElement(m_values.version == 1 ? "button_switchToNoFrame" : "button_switchToFrame");
    UpdateData(false);  // the layout switch sets the build check boxes; the values decide
    ClickElement("button_updateAllHtmlControls");
    ClickElement(m_modified ? "button_ungraysaveicon" : "button_graysaveicon");
    const bool running = m_job.running();
    ClickElement(running ? "button_disableBuild" : "button_enableBuild");
    ClickElement(running ? "button_enableStop" : "button_disableStop");
    SetElementValue("textarea_log", m_logText);
    ClickElement("button_logstatus");
}

std::vector<std::string> CPlovikDlg::ContextMenuIds() const {
    return {"textarea_addhtmlheader", "textarea_addhtmlfooter", "textarea_delhtmlheader",
            "textarea_delhtmlfooter"};
}

void CPlovikDlg::SetModified(bool modified) {
    m_modified = modified;
    ClickElement(modified ? "button_ungraysaveicon" : "button_graysaveicon");
    updateExitGuard();
}

void CPlovikDlg::updateExitGuard() {
    m_host.setExitGuard(m_modified || m_job.running());
}

void CPlovikDlg::BuildTemplateSelect() {
    auto markup = m_catalogue.templateSelectMarkup(m_values.version, m_values.selectedtemplate);
    if (!markup || !ElementExists("sel_tpl_setting"))
        return;
    SetElementHtml("sel_tpl_setting", *markup);
}

void CPlovikDlg::OnNew() {
    if (m_modified && MessageBoxW(m_host, "The file has not been saved, do you want to continue?",
                                  "Plovik", MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2) != IDOK)
        return;
    m_values = ProjectSettings();
    UpdateData(false);
    ClickElement("button_inithtmlsetting");
    ClickElement("button_updateAllHtmlControls");
    // A new project is a new file: the next Save asks for its name.
    m_projectPath.clear();
    m_projectFile = ProjectFile();
    ClickElement("button_switchToFrame");
    BuildTemplateSelect();
    SetModified(false);
}

void CPlovikDlg::OnOpenProject() {
    CFileDialog dialog(m_host, true, ".zarn", "*.zarn", OFN_FILEMUSTEXIST, kProjectFilter);
    if (dialog.DoModal() != IDOK)
        return;
    const std::string path = dialog.GetPathName();
    ProjectFile file;
    ProjectSettings record;
    // A file that cannot be opened leaves the project that is open as it was.
    if (Outcome opened = openProjectFile(path, file, record); !opened) {
        MessageBoxW(m_host, opened.reason, "Plovik", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    m_projectPath = path;
    m_projectFile = std::move(file);
    recordToValues(record);
    writePageFromRecord();
    BuildTemplateSelect();
    SetModified(false);
}

void CPlovikDlg::OnSaveProject() {
    if (!m_modified)
        return;
    UpdateData(true);
    ProjectSettings record = valuesToRecord();
    if (m_projectPath.empty()) {
        CFileDialog dialog(m_host, false, ".zarn", "*.zarn", OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                           kProjectFilter);
        if (dialog.DoModal() != IDOK)
            return;
        m_projectPath = dialog.GetPathName();
    }
    // Saving replaces the file; one marked read-only is replaced only when the user says so.
    if (isReadOnlyFile(m_projectPath) &&
        MessageBoxW(
            m_host,
            "The project file " + m_projectPath + " is read-only. Do you want to replace it?",
            "Plovik", MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2) != IDOK) {
        // Not saved: the next Save asks where to, so the edits can go to another file.
        m_projectPath.clear();
        return;
    }
    if (Outcome saved = writeProjectFile(m_projectFile, &record, &m_projectPath); !saved) {
        // The edits are still only here: the window stays modified, so closing it asks first,
        // and the next Save asks where to.
        m_projectPath.clear();
        MessageBoxW(m_host, saved.reason + " Save again to choose another file.", "Plovik",
                    MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    SetModified(false);
}

void CPlovikDlg::OnChooseChmFile() {
    UpdateData(true);
    const std::string previous = m_values.chmfile;
    CFileDialog dialog(m_host, true, ".chm", "*.chm", OFN_FILEMUSTEXIST, kChmFilter);
    if (!previous.empty())
        dialog.initialFolder = std::filesystem::path(previous).parent_path();
    if (dialog.DoModal() != IDOK)
        return;
    m_values.chmfile = cutToCapacity(dialog.GetPathName(), kPathCapacity);
    m_values.title = cutToCapacity(
        std::filesystem::path(m_values.chmfile).stem().string() + " online help", kPathCapacity);
    if (m_values.version == 0)
        m_values.defaultindex = "index.html";
    UpdateData(false);
    if (m_values.chmfile != previous)
        SetModified(true);
}

void CPlovikDlg::OnChooseOutputFolder() {
    UpdateData(true);
    const std::string previous = m_values.outputpath;
    CFolderDialog dialog(m_host, previous);
    if (dialog.DoModal() != IDOK)
        return;
    m_values.outputpath = cutToCapacity(dialog.GetPath(), kPathCapacity);
    UpdateData(false);
    if (m_values.outputpath != previous)
        SetModified(true);
}

void CPlovikDlg::OnOpenOutputFolder() {
    UpdateData(true);
    if (!m_values.outputpath.empty())
        ShellOpen(m_values.outputpath);
}

void CPlovikDlg::OnLayoutClick() {
    const int previous = m_values.version;
    UpdateData(true);
    if (m_values.version != previous) {
        SetModified(true);
        BuildTemplateSelect();
    }
}

void CPlovikDlg::OnTemplateChange() {
    const int previous = m_values.selectedtemplate;
    UpdateData(true);
    if (m_values.selectedtemplate != previous)
        SetModified(true);
}

void CPlovikDlg::readSettings(ProjectSettings& settings) {
    UpdateData(true);
    settings = m_values;
}

void CPlovikDlg::showValidationMessage(std::string_view text) {
    MessageBoxW(m_host, std::string(text), "Plovik", MB_OK | MB_ICONEXCLAMATION);
    ShowGeneralPage();
}

bool CPlovikDlg::writeAmongForeignFiles(std::string_view folder, std::string_view example) {
    return MessageBoxW(m_host,
                       "The output folder " + std::string(folder) +
                           " holds files that Plovik did not write, such as " +
                           std::string(example) +
                           ". The build may replace or change them. Build into this folder anyway?",
                       "Plovik", MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2) == IDOK;
}

std::optional<std::string> CPlovikDlg::templateFolderName(int version, int index) {
    if (const TplInfo* t = m_catalogue.find(version, index))
        return t->TplPath;
    return std::nullopt;
}

BuildObserver* CPlovikDlg::observer() {
    m_buildMessages.setWindow(GetSafeHwnd());
    return &m_buildMessages;
}

void CPlovikDlg::buildStarted() {
    ClickElement("button_disableBuild");
    ClickElement("button_enableStop");
    updateExitGuard();
}

void CPlovikDlg::OnBuild() {
    // Stop gives Build back at once, but a stopped worker is still on its way out (its last log
    // text, its return) for a moment: a Build clicked then would be ignored. Wait for it; its
    // messages are handled meanwhile. A job that ends normally is not waited for here, as it
    // stays in its completion message until that dialog, which covers Build, is closed.
    while (m_job.stoppedByRequest() && !m_job.running() && m_job.workerActive())
        m_host.pumpOnce(std::chrono::milliseconds(10));
    // The dialog's own values are the settings the build starts from; the build adds the trailing
    // separator to the output folder there as well.
    startBuild(m_job, m_values, *this);
}

void CPlovikDlg::OnStop() {
    if (!m_job.running())
        return;
    m_job.pause();
    m_job.requestStop();
    ClickElement("button_enableBuild");
    ClickElement("button_disableStop");
}

void CPlovikDlg::serveProgramFiles() {
    // A web page cannot show a file of this machine, so these are served to it; only the
    // folders made to be shown, not the program's folder with everything else in it.
    m_host.server().setSampleRoot(m_programFolder, {"samples", "help", "template/previews"});
}

void CPlovikDlg::OnPreview() {
    UpdateData(true);
    const TplInfo* t = m_catalogue.find(m_values.version, m_values.selectedtemplate);
    if (!t)
        return;
    serveProgramFiles();
    std::string url = m_host.server().previewUrl(m_programFolder + "template/" + t->TplPvImg);
    CTplPv preview(m_host);
    preview.m_imageMarkup = "<img src=\"" + url + "\">";
    preview.DoModal();
}

void CPlovikDlg::OnViewSample() {
    UpdateData(true);
    const TplInfo* t = m_catalogue.find(m_values.version, m_values.selectedtemplate);
    if (!t)
        return;
    serveProgramFiles();
    std::string url = m_host.server().previewUrl(m_programFolder + t->TplSample);
    if (!url.empty())
        m_host.navigate(url);
}

void CPlovikDlg::OnHelp() {
    // Few desktops here open CHM files; the same guide is installed as a site beside it.
    const std::string site = m_programFolder + kHelpSite;
    if (std::filesystem::exists(site)) {
        serveProgramFiles();
        std::string url = m_host.server().previewUrl(site);
        if (!url.empty())
            return m_host.navigate(url);
    }
    ShellOpen(m_programFolder + kHelpFile);
}

void CPlovikDlg::LogAppend(LPARAM lParam) {
    if (lParam == 1)
        ++m_logLineCount;
    m_logLineCount %= 100;
    m_logText += m_buildMessages.text();
    m_logDirty = true;
    // The text reaching its hundredth line is shown before it restarts, and stays shown until
    // the next text: when that line was the build's last ("Done."), it stays on screen.
    FlushLog(m_logLineCount == 0);
    if (m_logLineCount == 0) {
        m_logText = "......\r\n";
        m_logLineCount = 1;
    }
}

void CPlovikDlg::FlushLog(bool now) {
    const auto time = std::chrono::steady_clock::now();
    if (!m_logDirty || (!now && time - m_logShownAt < kLogRefresh))
        return;
    m_logDirty = false;
    m_logShownAt = time;
    SetElementValue("textarea_log", m_logText);
    ClickElement("button_logstatus");
}

void CPlovikDlg::BuildFinished() {
    FlushLog(true);
    // A finished build gives Build and Stop back their looks, as Stop does.
    ClickElement("button_enableBuild");
    ClickElement("button_disableStop");
    updateExitGuard();
    if (m_exiting)
        return;
    if (!m_host.isActive())
        m_host.flashWindow();
    ShowDoneMsg done(m_host);
    done.Fill(m_job.outputFolder, m_job.entryPageName);
    done.DoModal();
}

void CPlovikDlg::BuildFailed() {
    FlushLog(true);
    ClickElement("button_enableBuild");
    ClickElement("button_disableStop");
    updateExitGuard();
    if (m_exiting)
        return;
    if (!m_host.isActive())
        m_host.flashWindow();
    // No site to preview: the completion dialog would say "Successully !" over nothing.
    MessageBoxW(m_host, "The build failed: " + m_buildMessages.failure(), "Plovik",
                MB_OK | MB_ICONERROR);
}

LRESULT CPlovikDlg::WindowProc(unsigned message, WPARAM, LPARAM lParam) {
    switch (message) {
        case WM_BUILD_LOG:
            LogAppend(lParam);
            return 0;
        case WM_BUILD_DONE:
            BuildFinished();
            return 0;
        case WM_BUILD_FAILED:
            BuildFailed();
            return 0;
        case WM_CLOSE:
            OnExit();
            return 0;
    }
    return 0;
}

void CPlovikDlg::OnExit() {
    auto askExit = [this] {
        return MessageBoxW(m_host, "Modified successfully, do you want to exit?", "Plovik",
                           MB_OKCANCEL | MB_ICONINFORMATION | MB_DEFBUTTON2) == IDOK;
    };
    if (m_job.running()) {
        m_job.pause();
        if (MessageBoxW(m_host, "do you want to exit again?", "Plovik",
                        MB_OKCANCEL | MB_ICONINFORMATION | MB_DEFBUTTON2) == IDOK) {
            m_exiting = true;
            m_job.requestStop();
            // The job's messages keep coming until it has ended, at a checkpoint or normally.
            while (m_job.workerActive())
                m_host.pumpOnce(std::chrono::milliseconds(500));
            m_job.waitForWorker();
            if (!m_modified || askExit()) {
                m_job.resume();
                EndDialog(0);
                return;
            }
            m_exiting = false;
        }
        m_job.resume();
        return;
    }
    if (!m_modified || askExit())
        EndDialog(0);
}

void CPlovikDlg::OnPageGone() {
    // The window was closed and did not come back: end, stopping a build at its next checkpoint.
    m_exiting = true;
    if (m_job.running()) {
        m_job.pause();
        m_job.requestStop();
    }
    while (m_job.workerActive())
        m_host.pumpOnce(std::chrono::milliseconds(100));
    m_job.waitForWorker();
    EndDialog(0);
}

}  // namespace plovik
