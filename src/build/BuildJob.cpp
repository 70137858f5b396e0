#include "build/BuildJob.h"

#include <chrono>

#include "build/FullTextSearch.h"
#include "build/KeywordIndex.h"
#include "chm/Extraction.h"
#include "pages/CharsetDeclaration.h"
#include "pages/EntryFileName.h"
#include "pages/FrameHtmlProcessor.h"
#include "pages/LinkRepair.h"
#include "pages/NoFrameHtmlProcessor.h"
#include "pages/TableOfContents.h"
#include "platform/AsciiCase.h"
#include "platform/FileSystem.h"
#include "platform/TextFile.h"

namespace plovik {

namespace {

bool inPageList(const std::vector<std::string>& pages, std::string_view name) {
    for (const auto& page : pages)
        if (equalsIgnoreAsciiCase(page, name))
            return true;
    return false;
}

// The frame layout's entry page, named after the title because the CHM has a page of the entry
// name. The name must not be another page of the CHM either, or writing it would destroy that page.
std::string entryNameFromTitle(std::string_view title, const std::vector<std::string>& pages) {
    const std::string base = safeEntryFileName(title);
    std::string name = cutToCapacity(base + ".html", kPathCapacity);
    for (int n = 1; inPageList(pages, name) && n < 1000; ++n)
        name = cutToCapacity(base + "_" + std::to_string(n) + ".html", kPathCapacity);
    return name;
}

// A generated page whose template says nothing of a charset, made to say UTF-8 once it holds text
// beyond ASCII.
void declareUtf8InFile(const std::string& path) {
    auto page = readBinaryFile(path);
    if (page && declareUtf8IfNeeded(*page))
        writeBinaryFile(path, *page);
}

void withTrailingSlash(std::string& folder) {
    if (folder.empty() || folder.back() != '/')
        folder += '/';
}

}  // namespace

BuildJob::~BuildJob() {
    waitForWorker();
}

void BuildJob::log(std::string_view text, int lParam) {
    logText.assign(text);
    SendMessageW(dialogWindow, WM_BUILD_LOG, 0, lParam);
}

bool BuildJob::checkStop() {
    if (stoppedThisRun_)
        return true;
    for (;;) {
        if (stopRequested) {
            jobStopped = true;
            jobRunning = false;
            stoppedThisRun_ = true;
            log("\r\n\r\nstopped.\r\n\r\n", 0);
            releaseJobBuffers();
            return true;
        }
        if (!jobPaused)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

void BuildJob::releaseJobBuffers() {
    pageList.clear();
    pageList.shrink_to_fit();
    contentsFileName.clear();
    indexFileName.clear();
    fileList.clear();
    fileList.shrink_to_fit();
    linkRepair = nullptr;
    addHeader.reset();
    addFooter.reset();
    removeHeader.reset();
    removeFooter.reset();
}

bool BuildJob::claimWorker() {
    bool expected = false;
    return workerActive_.compare_exchange_strong(expected, true);
}

void BuildJob::launchWorker() {
    if (worker_.joinable())
        worker_.join();  // the previous worker has finished its work
    worker_ = std::thread([this] {
        runBuild();
        workerActive_ = false;
    });
}

void BuildJob::waitForWorker() {
    if (worker_.joinable() && worker_.get_id() != std::this_thread::get_id())
        worker_.join();
}

void BuildJob::runBuild() {
    stopRequested = false;
    jobStopped = false;
    jobPaused = false;
    stoppedThisRun_ = false;
    firstTopic_.clear();
    jobRunning = true;
    log("start extract chm file......\r\n", 1);

    if (checkStop())
        return;
    extractChm(*this);
    if (stopped() || checkStop())
        return;

    // Only a help that gave files has links to repair; an unreadable one builds as before.
    std::optional<LinkRepair> repair;
    if (fixLinks && !fileList.empty()) {
        repair.emplace(fileList, chmPath);
        linkRepair = &*repair;
    }

    TableOfContents toc;
    if (!contentsFileName.empty()) {
        log("\r\n\r\nbuild content tree......", 0);
        toc.ParseContentsFile(outputFolder + contentsFileName, chmPath,
                              contentsFileName.substr(0, contentsFileName.rfind('/') + 1));
        if (repair)
            repair->repairContents(toc.nodes, toc.startPage, contentsFileName);
        toc.WriteContentsPage(layout, templateFolder + "HelpContent.tpl",
                              outputFolder + "HelpContent.html");
        if (convertCharset && layout == 0)
            declareUtf8InFile(outputFolder + "HelpContent.html");
        toc.GetStartPage(&firstTopic_);
        log("ok\r\n", 1);
    }

    if (layout == 0) {
        if (checkStop())
            return;
        createFolder(outputFolder + "js/");
        if (buildIndex)
            buildKeywordIndex(*this, toc);
        if (checkStop())
            return;
        if (buildSearch && !buildSearchData(*this, toc.nodes))
            return;
    }

    log("\r\nprocess html file......", 1);
    const bool entryFound = inPageList(pageList, entryPageName);
    if (layout == 0) {
        if (entryFound)
            entryPageName = entryNameFromTitle(title, pageList);
    } else if (layout == 1) {
        if (!firstTopic_.empty())
            entryPageName = firstTopic_;
        else if (!pageList.empty())
            entryPageName = pageList.front();
    }

    auto configure = [&](CHtmlProcessor& p) {
        p.m_outputFolder = outputFolder;
        p.m_pages = &pageList;
        p.m_tocNodes = &toc.nodes;
        p.m_templateFolder = templateFolder;
        p.m_showNavButtons = showNavButtons;
        p.m_showRelatedTopics = showRelatedTopics;
        p.m_removeHeader = removeHeader.has_value();
        p.m_headerToRemove = removeHeader;
        p.m_removeFooter = removeFooter.has_value();
        p.m_footerToRemove = removeFooter;
        p.m_addHeader = addHeader.has_value();
        p.m_header = addHeader;
        p.m_addFooter = addFooter.has_value();
        p.m_footer = addFooter;
        p.m_title = title;
        p.m_linkRepair = linkRepair;
    };
    if (layout == 0) {
        CFrameHtmlProcessor processor(*this);
        configure(processor);
        processor.WriteEntryPage(firstTopic_);
        processor.WriteHeaderPage();
        processor.WriteLeftPanel();
        processor.ProcessAllPages();
        if (stopped())
            return;
    } else if (layout == 1) {
        CNoFrameHtmlProcessor processor(*this);
        configure(processor);
        processor.SetTemplatePaths();
        processor.ProcessAllPages();
        if (stopped())
            return;
        if (!entryFound) {
            WriteRedirectIndex(outputFolder, entryPageName);
            if (convertCharset)
                declareUtf8InFile(outputFolder + "index.html");
        }
    }

    if (!indexFileName.empty())
        deleteFile(outputFolder + indexFileName);
    if (!contentsFileName.empty())
        deleteFile(outputFolder + contentsFileName);
    if (layout == 1)
        deleteFile(outputFolder + "HelpContent.html");

    log("\r\n\r\ncopy file......", 0);
    for (const char* folder : {"images", "js", "css"})
        copyFolder(templateFolder + folder, outputFolder + folder);
    log("ok\r\n", 1);

    if (repair) {
        std::string summary = repair->summary();
        if (!linksReportPath.empty() && !writeBinaryFile(linksReportPath, repair->report()))
            summary += "links report could not be written: " + linksReportPath + "\r\n";
        log(summary, 0);
    }
    log("\r\nDone.", 1);
    releaseJobBuffers();
    jobRunning = false;
    SendMessageW(dialogWindow, WM_BUILD_DONE, 0, 0);
}

bool startBuild(BuildJob& job, ProjectSettings& settings, BuildHost& host) {
    if (job.jobRunning || job.workerActive())
        return false;
    host.readSettings(settings);

    auto refuse = [&](std::string_view message) {
        host.showValidationMessage(message);
        return false;
    };
    if (settings.chmfile.empty())
        return refuse(kMsgSelectChm);
    if (!pathExists(settings.chmfile))
        return refuse(kMsgChmMissing);
    if (settings.outputpath.empty())
        return refuse(kMsgSelectOutput);
    if (!pathExists(settings.outputpath))
        return refuse(kMsgOutputMissing);
    // Without a template every generated page would be empty; say so instead of building one.
    auto templateName = host.templateFolderName(settings.version, settings.selectedtemplate);
    if (!templateName || templateName->empty())
        return refuse(kMsgNoTemplate);

    // Reserving the worker before anything of the job is touched refuses a second Build that
    // arrives before the first worker has set jobRunning.
    if (job.jobRunning || !job.claimWorker())
        return false;

    withTrailingSlash(settings.outputpath);
    job.chmPath = settings.chmfile;
    job.outputFolder = settings.outputpath;
    job.title = settings.title;
    job.entryPageName = settings.defaultindex;
    job.logText.clear();
    job.dialogWindow = host.window();

    job.layout = settings.version;
    job.buildIndex = settings.version != 1 && settings.buildindex != 0;
    job.buildSearch = settings.version != 1 && settings.buildsearch != 0;
    job.showNavButtons = settings.shownavbutton != 0;
    job.showRelatedTopics = settings.showrelatedtopics != 0;
    job.convertCharset = settings.charset != 1;
    job.fixLinks = settings.fixlinks != 0;

    job.templateFolder = host.programFolder() + "template/" + *templateName;
    withTrailingSlash(job.templateFolder);

    job.addHeader.reset();
    job.addFooter.reset();
    job.removeHeader.reset();
    job.removeFooter.reset();
    // An empty text is what the wizard stores for a text area that shows its placeholder, so it
    // counts as the placeholder: no text.
    auto given = [](const std::string& text, std::string_view placeholder) {
        return !text.empty() && text != placeholder;
    };
    if (settings.isaddheader != 0 && given(settings.htmlheader, kHeaderPlaceholder))
        job.addHeader = settings.htmlheader;
    if (settings.isaddfooter != 0)
        job.addFooter =
            "<div style=\"font-size:12px;font-family:Arial;\">" + settings.htmlfooter + "</div>";
    if (settings.isdelhtmlheader != 0 && given(settings.delhtmlheader, kRemoveHeaderPlaceholder))
        job.removeHeader = settings.delhtmlheader;
    if (settings.isdelhtmlfooter != 0 && given(settings.delhtmlfooter, kRemoveFooterPlaceholder))
        job.removeFooter = settings.delhtmlfooter;

    job.launchWorker();
    host.buildStarted();
    return true;
}

}  // namespace plovik
