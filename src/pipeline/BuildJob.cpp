#include "pipeline/BuildJob.h"

#include <chrono>
#include <filesystem>
#include <new>
#include <system_error>
#include <thread>
#include <unordered_set>

#include "pages/EntryFileName.h"
#include "pages/Layouts.h"
#include "pages/LinkRepair.h"
#include "pages/SiteAddress.h"
#include "pages/TableOfContents.h"
#include "pages/TopicFitScript.h"
#include "pipeline/ContextHelp.h"
#include "pipeline/ExtractionStage.h"
#include "pipeline/FullTextSearch.h"
#include "pipeline/KeywordIndex.h"
#include "pipeline/PagePass.h"
#include "pipeline/SearchIndex.h"
#include "platform/FileSystem.h"
#include "platform/SiteRecord.h"
#include "platform/TextFile.h"
#include "text/CharsetDeclaration.h"
#include "text/PathSegments.h"
#include "text/PercentEscapes.h"

namespace plovik {

namespace {

// A generated page whose template says nothing of a charset, made to say UTF-8 once it holds text
// beyond ASCII.
void declareUtf8InFile(const std::string& path) {
    auto page = readBinaryFile(path);
    if (page && declareUtf8IfNeeded(*page))
        writeBinaryFile(path, *page);
}

// True when the machine has a second core. The load of the last minute is no guide: it counts
// the work the user just finished (a previous build among it) as much as work still running, and
// on an idle two-core machine the second thread takes a third off the build.
bool aCoreToSpare() {
    return std::thread::hardware_concurrency() >= 2;
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
    if (observer)
        observer->logText(text, lParam);
}

void BuildJob::itemDone() {
    if (observer)
        observer->itemDone();
}

void BuildJob::itemFailed(std::string_view item, std::string_view reason) {
    result_.grade = Grade::ItemFailed;
    result_.failed.push_back(
        {stage_ == BuildStage::Pages ? "page" : "file", std::string(item), std::string(reason)});
}

void BuildJob::stage(BuildStage stage, std::size_t items) {
    stage_ = stage;
    if (observer)
        observer->stageStarted(stage, items);
}

BuildJob::Ending BuildJob::fail(std::string reason) {
    log("failed: " + reason + "\r\n", 1);
    result_.grade = Grade::Fatal;
    result_.reason = std::move(reason);
    return Ending::Failed;
}

std::string BuildJob::reportText(const LinkRepair* repair) const {
    // One line per item whatever bytes a name holds: line ends and tabs are escaped.
    auto field = [](std::string& text, std::string_view value) {
        for (char c : value) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x20 || byte == 0x7F)
                appendPercentEscape(text, byte);
            else
                text += c;
        }
    };
    std::string text;
    for (const FailedItem& f : result_.failed) {
        text += f.kind;
        text += '\t';
        field(text, f.item);
        text += '\t';
        field(text, f.reason);
        text += '\n';
    }
    if (repair) {
        for (const auto& [page, link] : repair->unresolved()) {
            text += "link\t";
            field(text, page);
            text += "\tdoes not resolve: ";
            field(text, link);
            text += '\n';
        }
        for (const auto& [page, link] : repair->outsideLibrary()) {
            text += "link\t";
            field(text, page);
            text += "\tleads into a help that is not in the library: ";
            field(text, link);
            text += '\n';
        }
    }
    return text;
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
            if (observer)
                observer->stopped();
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
    fileList_.clear();
    fileList_.shrink_to_fit();
    addHeader.reset();
    addFooter.reset();
    removeHeader.reset();
    removeFooter.reset();
    library.clear();
    library.shrink_to_fit();
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
        // Whatever the build got to write is ours for the next build, also when it stopped. A
        // record that cannot be written only makes the next build ask.
        recordSite(outputFolder, outputBefore);
        outputLock.release();
        workerActive_ = false;
    });
}

void BuildJob::waitForWorker() {
    if (worker_.joinable() && worker_.get_id() != std::this_thread::get_id())
        worker_.join();
}

PageOptions BuildJob::pageOptions() const {
    PageOptions options;
    options.outputFolder = outputFolder;
    options.templateFolder = templateFolder;
    options.title = title;
    options.entryPageName = entryPageName;
    options.baseUrl = baseUrl;
    options.showNavButtons = showNavButtons;
    options.showRelatedTopics = showRelatedTopics;
    options.indexLink = buildIndex;
    options.searchLink = buildSearch;
    options.convertCharset = convertCharset;
    options.contentsPage = contentsPage_;
    options.addHeader = addHeader;
    options.addFooter = addFooter;
    options.removeHeader = removeHeader;
    options.removeFooter = removeFooter;
    return options;
}

void BuildJob::runBuild() {
    stopRequested = false;
    jobStopped = false;
    jobPaused = false;
    stoppedThisRun_ = false;
    result_ = BuildResult{};
    jobRunning = true;
    const Ending ending = runStages();
    // Whatever the stages held is theirs until they return; only then does it go.
    releaseJobBuffers();
    if (ending == Ending::Stopped)
        return;
    jobRunning = false;
    if (!observer)
        return;
    if (ending == Ending::Finished)
        observer->done();
    else
        observer->failed(result_.reason);
}

BuildJob::Ending BuildJob::runStages() {
    stage(BuildStage::Extraction, 0);
    log("start extract chm file......\r\n", 1);
    if (checkStop())
        return Ending::Stopped;
    {
        ExtractionStage extraction(*this, convertCharset);
        extraction.protect(protectedNames);
        const ExtractionSummary summary = extraction.run(chmPath, outputFolder);
        if (!summary.opened())
            return fail("cannot read " + chmPath + ": " + summary.outcome.reason);
        ExtractedHelp& help = extraction.help();
        pageList = std::move(help.pageList);
        contentsFileName = std::move(help.contentsFileName);
        indexFileName = std::move(help.indexFileName);
        fileList_ = std::move(help.fileList);
        defaultTopic = std::move(help.defaultTopic);
        binaryContents = std::move(help.binaryContents);
        binaryContentsRead = std::move(help.binaryContentsRead);
        if (!summary.stopped && fileList_.empty())
            return fail(summary.failed > 0
                            ? "none of the " + std::to_string(summary.failed) +
                                  " files stored in " + chmPath + " could be extracted"
                            : chmPath + " holds no file to extract");
    }
    if (checkStop())
        return Ending::Stopped;

    // Only a help that gave files has links to repair; an unreadable one builds as before.
    std::optional<LinkRepair> repair;
    if (fixLinks && !fileList_.empty())
        repair.emplace(fileList_, chmPath, library);
    LinkRepair* linkRepair = repair ? &*repair : nullptr;
    const LayoutTraits traits = traitsOf(layout);

    // The no-frame layout's contents page lives only until every page holds the tree: it takes a
    // name that no file of the help has, so that no page of the help is lost to it.
    contentsPage_ = "HelpContent.html";
    for (int n = 1; !traits.contentsPageStays && storedNameLike(fileList_, contentsPage_); ++n)
        contentsPage_ = "HelpContent_" + std::to_string(n) + ".html";

    TableOfContents toc;
    std::string firstTopic;
    // The page loop, when it runs beside the search stages: the pass goes first, as it waits for
    // the loop, which uses the processor.
    std::unique_ptr<CHtmlProcessor> processor;
    std::optional<PagePass> pass;
    if (!contentsFileName.empty() || !binaryContents.empty() || !pageList.empty()) {
        stage(BuildStage::ContentsTree, 0);
        for (const LibraryHelp& other : library)
            toc.libraryChmFileNames.push_back(other.chmFileName);
        if (!contentsFileName.empty()) {
            log("\r\n\r\nbuild content tree......", 0);
            toc.ParseContentsFile(outputFolder + contentsFileName, chmPath,
                                  folderOf(contentsFileName));
            if (repair)
                repair->repairContents(toc.nodes, toc.startPage, contentsFileName);
        } else if (!binaryContents.empty()) {
            // Microsoft's compiler often keeps the contents only in this form.
            log("\r\n\r\nbuild content tree from the binary contents......", 0);
            if (binaryContentsRead.grade == Grade::Warning)
                log("\r\n   #TOCIDX: " + binaryContentsRead.reason + "\r\n", 0);
            toc.ParseBinaryContents(binaryContents, chmPath);
            if (repair)
                repair->repairContents(toc.nodes, toc.startPage, "#TOCIDX");
        } else {
            // Without a contents file the help still needs a tree and a first topic: its pages,
            // named by their titles.
            log("\r\n\r\nbuild content tree from the pages......", 0);
            if (!binaryContentsRead)
                log("\r\n   " + binaryContentsRead.reason + "\r\n", 0);
            toc.BuildFromPages(pageList, outputFolder, defaultTopic);
        }
        toc.WriteContentsPage(traits.treeLayout, templateFolder + "HelpContent.tpl",
                              outputFolder + contentsPage_);
        if (convertCharset && traits.contentsPageStays)
            declareUtf8InFile(outputFolder + contentsPage_);
        toc.GetStartPage(&firstTopic);
        log("ok\r\n", 1);
    }

    // Converted pages are UTF-8 and are read as characters; kept pages are bytes of any code page.
    const WordSplit split = convertCharset ? WordSplit::Unicode : WordSplit::Bytes;
    if (traits.hasIndexAndSearch) {
        if (checkStop())
            return Ending::Stopped;
        // The pages are rewritten on a second thread while the keyword index and the search
        // words are made, where nothing the three write can be read by another; the search
        // stages take each page from the loop instead of reading it again.
        const bool twoThreads =
            pageThreads == PageThreads::Two || (pageThreads == PageThreads::Auto && aCoreToSpare());
        if (buildSearch && twoThreads && layout == Layout::Frame) {
            pass.emplace(stopRequested, jobPaused, split);
            processor = makeLayoutProcessor(layout, pageOptions(), pass->progress());
            processor->SetPages(pageList, toc.nodes, linkRepair);
            processor->SetStoredFiles(fileList_);
            if (pagesStandApart(pageList, processor->SitePageNames(),
                                buildIndex ? indexFileName : std::string())) {
                processor->SetPageTap(&pass->tap());
                if (repair)
                    repair->countPagesApart();
                pass->start(*processor, firstTopic);
            } else {
                pass.reset();
                processor.reset();
            }
        }
        createFolder(outputFolder + "js/");
        if (buildIndex) {
            stage(BuildStage::KeywordIndex, 0);
            buildKeywordIndex(*this, outputFolder, templateFolder, indexFileName, toc, linkRepair);
        }
        if (checkStop())
            return Ending::Stopped;
        if (buildSearch) {
            SearchKeywordList words;
            stage(BuildStage::SearchWords, pageList.size());
            if (pass) {
                SearchIndexWriter writer(toc.nodes);
                bool textsWritten = true;
                auto pages = [&](std::size_t n) {
                    return pass->take(n, outputFolder + pageList[n]);
                };
                if (!collectSearchPages(*this, outputFolder, pageList, pages, words, writer,
                                        textsWritten))
                    return Ending::Stopped;
                stage(BuildStage::SearchData, 0);
                // The bundled templates' search files are made on a second thread while the
                // data file is: the two share nothing but what both read, and the page loop,
                // the other thread's work, has ended or is ending.
                bool indexWritten = false;
                std::thread indexFiles([&] {
                    try {
                        indexWritten = writer.write(outputFolder);
                    } catch (const std::bad_alloc&) {
                        indexWritten = false;
                    }
                });
                const bool dataWritten = writeSearchFiles(*this, outputFolder, templateFolder,
                                                          words, pageList, toc.nodes);
                indexFiles.join();
                if (!dataWritten || checkStop())
                    return Ending::Stopped;
                reportSearchIndex(*this, indexWritten && textsWritten);
            } else {
                if (!collectSearchWords(*this, outputFolder, pageList, split, words))
                    return Ending::Stopped;
                stage(BuildStage::SearchData, 0);
                if (!writeSearchFiles(*this, outputFolder, templateFolder, words, pageList,
                                      toc.nodes))
                    return Ending::Stopped;
                if (!buildSearchIndex(*this, outputFolder, pageList, toc.nodes,
                                      split == WordSplit::Unicode))
                    return Ending::Stopped;
            }
        }
    } else if (searchDataForLibrary) {
        if (checkStop())
            return Ending::Stopped;
        createFolder(outputFolder + "js/");
        SearchKeywordList words;
        stage(BuildStage::SearchWords, pageList.size());
        if (!collectSearchWords(*this, outputFolder, pageList, split, words))
            return Ending::Stopped;
        stage(BuildStage::SearchData, 0);
        std::string data;
        if (!writeSearchData(this, data, words, pageList, toc.nodes))
            return Ending::Stopped;
        if (!writeBinaryFile(outputFolder + "js/searchdata.js", data))
            itemFailed("js/searchdata.js", "the search data could not be written");
    }

    stage(BuildStage::Pages, pageList.size());
    log("\r\nprocess html file......", 1);
    if (pass) {
        if (const Outcome site = pass->replaySitePages(*this); !site)
            return fail(site.reason);
        entryPageName = processor->EntryPageName();
        const PagePass::Ending pages = pass->replayPages(*this);
        if (repair)
            repair->joinPageCounts();
        switch (pages) {
            case PagePass::Ending::Done:
                break;
            case PagePass::Ending::Stopped:
                return Ending::Stopped;
            case PagePass::Ending::Failed:
                return fail("there was not enough memory to rewrite every page");
        }
    } else {
        processor = makeLayoutProcessor(layout, pageOptions(), *this);
        processor->SetPages(pageList, toc.nodes, linkRepair);
        processor->SetStoredFiles(fileList_);
        if (const Outcome site = processor->WriteSitePages(firstTopic); !site)
            return fail(site.reason);
        entryPageName = processor->EntryPageName();
        if (!processor->ProcessAllPages())
            return Ending::Stopped;
    }
    if (const Outcome finish = processor->FinishSite(); !finish)
        return fail(finish.reason);

    if (!indexFileName.empty())
        deleteFile(outputFolder + indexFileName);
    if (!contentsFileName.empty())
        deleteFile(outputFolder + contentsFileName);
    if (!traits.contentsPageStays)
        deleteFile(outputFolder + contentsPage_);

    stage(BuildStage::TemplateFiles, 0);
    log("\r\n\r\ncopy file......", 0);
    for (const char* folder : {"images", "js", "css"}) {
        // A template without one of them has nothing to copy; one that is there must arrive.
        if (folderExists(templateFolder + folder) &&
            !copyFolder(templateFolder + folder, outputFolder + folder))
            itemFailed(std::string(folder) + "/", "the template's files could not all be copied");
    }
    log("ok\r\n", 1);
    reportReplacedStoredFiles(traits);

    buildContextHelp(*this, {.chmPath = chmPath,
                             .outputFolder = outputFolder,
                             .pages = &pageList,
                             .files = &fileList_,
                             .entryPageName = entryPageName,
                             .framed = layout == Layout::Frame,
                             .convertCharset = convertCharset,
                             .namesFile = contextNamesPath});

    std::string summary = repair ? repair->summary() : std::string();
    if (repair && !linksReportPath.empty() && !writeBinaryFile(linksReportPath, repair->report()))
        summary += "links report could not be written: " + linksReportPath + "\r\n";
    if (!result_.failed.empty())
        summary += "\r\n\r\nitems that failed: " + std::to_string(result_.failed.size()) + "\r\n";
    result_.report = reportText(linkRepair);
    result_.linksReport = repair ? repair->report() : std::string();
    if (!reportPath.empty() && !writeBinaryFile(reportPath, result_.report))
        summary += "report could not be written: " + reportPath + "\r\n";
    if (!summary.empty())
        log(summary, 0);
    log("\r\nDone.", 1);
    return Ending::Finished;
}

std::string foreignFilesMessage(std::string_view folder, std::string_view example) {
    return "The output folder " + std::string(folder) +
           " holds files that Plovik did not write, such as " + std::string(example) +
           ". A build would replace or change them: choose an empty folder, or build with --force "
           "to write into this one all the same.";
}

namespace {

// `file` relative to `folder` when it lies below it, both taken as the file system has them.
std::optional<std::string> nameBelow(const std::string& folder, const std::string& file) {
    if (file.empty())
        return std::nullopt;
    std::error_code ec;
    const auto base = std::filesystem::weakly_canonical(folder, ec);
    const auto path = std::filesystem::weakly_canonical(file, ec);
    if (ec)
        return std::nullopt;
    const std::string relative = path.lexically_relative(base).generic_string();
    if (relative.empty() || relative == "." || relative.starts_with(".."))
        return std::nullopt;
    return relative;
}

}  // namespace

void BuildJob::reportReplacedStoredFiles(const LayoutTraits& traits) {
    // The site's own files have fixed names that its pages and scripts refer to; a stored file of
    // the same name loses its place to them, and the user hears which.
    std::vector<std::string> generated = {std::string(topicFitScriptName())};
    if (traits.contentsPageStays) {
        generated.insert(generated.end(), {"header.html", "LeftPanel.html", contentsPage_});
        if (buildIndex)
            generated.insert(generated.end(), {"HelpIndex.html", "js/indexdata.js"});
        if (buildSearch)
            generated.insert(generated.end(), {"HelpSearch.html", "js/searchdata.js"});
    }
    for (const char* folder : {"images", "js", "css"}) {
        std::error_code ec;
        const std::filesystem::path base = templateFolder + folder;
        for (auto it = std::filesystem::recursive_directory_iterator(base, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
            if (it->is_regular_file(ec))
                generated.push_back(std::string(folder) + "/" +
                                    it->path().lexically_relative(base).generic_string());
    }
    const std::unordered_set<std::string> stored(fileList_.begin(), fileList_.end());
    for (const std::string& name : generated)
        if (stored.count(name))
            itemFailed(name,
                       "the help's own file of this name was replaced by the site's file of "
                       "the same name, which the site's pages use");
}

bool startBuild(BuildJob& job, ProjectSettings& settings, BuildHost& host) {
    if (job.running() || job.workerActive())
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
    if (!settings.baseurl.empty() && !isUsableSiteAddress(settings.baseurl))
        return refuse(kMsgBadBaseUrl);
    // Without a template every generated page would be empty; say so instead of building one.
    auto templateName = host.templateFolderName(settings.version, settings.selectedtemplate);
    if (!templateName || templateName->empty())
        return refuse(kMsgNoTemplate);
    // One build per output folder: a second one would mix its files with the first one's.
    FolderLockAttempt lock = tryLockFolder(settings.outputpath);
    if (!lock)
        return refuse(lock.reason);
    // A folder of someone's own files (the help's project, say) is not written into unasked.
    if (auto foreign = foreignFileIn(settings.outputpath);
        foreign && !host.writeAmongForeignFiles(settings.outputpath, *foreign))
        return refuse(foreignFilesMessage(settings.outputpath, *foreign));

    // Reserving the worker before anything of the job is touched refuses a second Build that
    // arrives before the first worker has set jobRunning.
    if (job.running() || !job.claimWorker())
        return false;
    job.outputLock = std::move(lock.lock);
    job.outputBefore = snapshotOf(settings.outputpath);

    withTrailingSlash(settings.outputpath);
    job.protectedNames.clear();
    for (const std::string& read : {settings.chmfile, host.projectPath()})
        if (auto inside = nameBelow(settings.outputpath, read))
            job.protectedNames.push_back(std::move(*inside));
    job.chmPath = settings.chmfile;
    job.outputFolder = settings.outputpath;
    job.title = settings.title;
    job.entryPageName = settings.defaultindex;
    job.baseUrl = settings.baseurl;
    job.observer = host.observer();

    job.layout = settings.version == 1 ? Layout::NoFrame : Layout::Frame;
    job.buildIndex = settings.buildindex != 0;
    job.buildSearch = settings.buildsearch != 0;
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
