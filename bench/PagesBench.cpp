// Times the page stage of a build (the layout's own pages and the rewriting of every topic page)
// on a help that has already been extracted, in both layouts, for all its pages and for the first
// half of them. Each run works on a fresh copy of the extracted files; copying is not timed.
//
//   PagesBench EXTRACTED_FOLDER SCRATCH_FOLDER [TEMPLATE_ROOT [LAYOUT [PAGES [REPEAT]]]]
//
// EXTRACTED_FOLDER holds the help's files and its .hhc (for example what "7z x help.chm" gives);
// TEMPLATE_ROOT is the folder with "clarity" and "clarity-noframe" (default: the repo's template/,
// also for "-"). LAYOUT 0 or 1 runs only that layout (-1: both); PAGES takes only the first that
// many pages (0: all); each figure is the best of REPEAT runs (default 3), because on a shared
// machine the disk and the processors are busy with other work at random.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

#include "ExtractedHelp.h"
#include "pages/Layouts.h"
#include "pages/Progress.h"
#include "pages/TableOfContents.h"
#include "platform/TextFile.h"

namespace fs = std::filesystem;
using namespace plovik;

namespace {

using Help = bench::ExtractedHelp;

// User time (or user and system time) of this process so far.
double cpuSeconds(bool withSystem = true) {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + (withSystem ? seconds(usage.ru_stime) : 0.0);
}

struct Result {
    double seconds = 0;
    double cpuSeconds = 0;
    double userSeconds = 0;
    double writeOnlySeconds = 0;
    std::uintmax_t outputBytes = 0;
};

std::uintmax_t pageBytes(const fs::path& folder, const std::vector<std::string>& pages) {
    std::uintmax_t total = 0;
    std::error_code ec;
    for (const auto& page : pages)
        total += fs::file_size(folder / page, ec);
    return total;
}

Result run(const fs::path& extracted, const fs::path& scratch, const std::string& templates,
           const Help& help, int layout, std::size_t pageCount) {
    std::error_code ec;
    fs::remove_all(scratch, ec);
    fs::copy(extracted, scratch, fs::copy_options::recursive, ec);
    if (ec) {
        std::fprintf(stderr, "cannot copy %s: %s\n", extracted.c_str(), ec.message().c_str());
        std::exit(1);
    }
    const std::string out = scratch.string() + "/";
    const std::string templateFolder = templates + (layout == 0 ? "clarity/" : "clarity-noframe/");

    PageOptions options;
    options.outputFolder = out;
    options.templateFolder = templateFolder;
    options.title = "LCL";
    options.entryPageName = "index.html";
    options.showNavButtons = true;
    options.showRelatedTopics = true;
    options.indexLink = false;
    options.searchLink = false;
    options.addFooter = "<div style=\"font-size:12px;font-family:Arial;\">Made with Plovik</div>";
    const std::vector<std::string> pages(help.pages.begin(),
                                         help.pages.begin() + static_cast<long>(pageCount));
    struct : Progress {
        void log(std::string_view, int) override {}
        bool checkStop() override { return false; }
    } quiet;

    // Stage 3, which both layouts need before the pages.
    TableOfContents toc;
    std::string firstTopic;
    if (!help.contentsFile.empty()) {
        toc.ParseContentsFile(out + help.contentsFile, "/bench/help.chm");
        toc.WriteContentsPage(layout, templateFolder + "HelpContent.tpl", out + "HelpContent.html");
        toc.GetStartPage(&firstTopic);
    }

    // The copy's dirty pages would otherwise be written back, and throttle us, while we are timed.
    sync();
    const double cpuStart = cpuSeconds();
    const double userStart = cpuSeconds(false);
    const auto start = std::chrono::steady_clock::now();
    {
        auto processor = makeLayoutProcessor(static_cast<Layout>(layout), options, quiet);
        processor->SetPages(pages, toc.nodes, nullptr);
        processor->WriteSitePages(firstTopic);
        processor->ProcessAllPages();
        processor->FinishSite();
    }
    Result result;
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.cpuSeconds = cpuSeconds() - cpuStart;
    result.userSeconds = cpuSeconds(false) - userStart;
    result.outputBytes = pageBytes(scratch, pages);

    // The control: the same files written again with as many bytes each and nothing else done,
    // to tell the cost of putting that much output on the disk from the cost of making it.
    sync();
    const auto controlStart = std::chrono::steady_clock::now();
    std::string filler;
    for (const auto& page : pages) {
        const auto size = fs::file_size(fs::path(out + page), ec);
        if (ec)
            continue;
        filler.assign(static_cast<std::size_t>(size), 'x');
        writeBinaryFile(out + page, filler);
    }
    result.writeOnlySeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - controlStart).count();
    fs::remove_all(scratch, ec);
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s EXTRACTED_FOLDER SCRATCH_FOLDER [TEMPLATE_ROOT]\n",
                     argv[0]);
        return 2;
    }
    const fs::path extracted = argv[1];
    const fs::path scratch = argv[2];
    const std::string templates = argc > 3 && std::string(argv[3]) != "-"
                                      ? std::string(argv[3]) + "/"
                                      : std::string(PLOVIK_SOURCE_DIR) + "/template/";
    const int onlyLayout = argc > 4 ? std::atoi(argv[4]) : -1;
    const int repeat = argc > 6 ? std::max(1, std::atoi(argv[6])) : 3;

    Help help = bench::surveyExtractedHelp(extracted);
    if (argc > 5 && std::atol(argv[5]) > 0)
        help.pages.resize(std::min(help.pages.size(), std::size_t(std::atol(argv[5]))));
    std::printf("%zu pages, contents file %s\n", help.pages.size(),
                help.contentsFile.empty() ? "(none)" : help.contentsFile.c_str());
    for (int layout : {0, 1}) {
        if (onlyLayout >= 0 && layout != onlyLayout)
            continue;
        auto best = [&](std::size_t pages) {
            Result result = run(extracted, scratch, templates, help, layout, pages);
            for (int k = 1; k < repeat; ++k) {
                const Result again = run(extracted, scratch, templates, help, layout, pages);
                result.seconds = std::min(result.seconds, again.seconds);
                result.cpuSeconds = std::min(result.cpuSeconds, again.cpuSeconds);
                result.userSeconds = std::min(result.userSeconds, again.userSeconds);
                result.writeOnlySeconds = std::min(result.writeOnlySeconds, again.writeOnlySeconds);
            }
            return result;
        };
        const Result all = best(help.pages.size());
        const Result half = best(help.pages.size() / 2);
        std::printf(
            "%-8s all %zu pages: %6.2f s (cpu %6.2f s, user %6.2f s; %.0f MB written)\n"
            "         half:  %6.2f s (cpu %6.2f s, user %6.2f s)\n"
            "         ratio: %6.2f   (cpu %6.2f,   user %6.2f)\n"
            "         writing the same bytes alone: %6.2f s, half %6.2f s, ratio %.2f\n",
            layout == 0 ? "frame" : "no-frame", help.pages.size(), all.seconds, all.cpuSeconds,
            all.userSeconds, static_cast<double>(all.outputBytes) / 1e6, half.seconds,
            half.cpuSeconds, half.userSeconds, all.seconds / half.seconds,
            all.cpuSeconds / half.cpuSeconds, all.userSeconds / half.userSeconds,
            all.writeOnlySeconds, half.writeOnlySeconds,
            all.writeOnlySeconds / half.writeOnlySeconds);
        std::fflush(stdout);
    }
    return 0;
}
