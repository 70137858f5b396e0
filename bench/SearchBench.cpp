// Times the full-text search stage of a frame build (reading every page's words, merging them
// into keywords, writing "js/searchdata.js") on a help that has already been extracted, for all
// its pages and for the first half of them, and reports each run's peak memory.
//
//   SearchBench EXTRACTED_FOLDER [REPEAT [bytes]]
//
// EXTRACTED_FOLDER holds the help's files and its .hhc (what "plovik extract" or "7z x" gives);
// the stage writes "HelpSearch.html" and "js/searchdata.js" into it. Every run is a child process
// of its own, so that its peak resident memory is the stage's and nothing else's; each time is the
// best of REPEAT runs (default 3), the two sizes taking turns, because on a shared machine the
// disk and the processors are busy with other work at random. "bytes" cuts words by the byte rule
// of kept pages instead of as UTF-8 characters.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "ExtractedHelp.h"
#include "pages/Progress.h"
#include "pages/TableOfContents.h"
#include "pipeline/FullTextSearch.h"

namespace fs = std::filesystem;
using namespace plovik;

namespace {

using Help = bench::ExtractedHelp;

bool g_bytes = false;  // cut words by the byte rule of kept pages

// The stage as the build runs it: the contents tree first (its titles name the results), then
// the search data. Returns the data file's size.

std::uintmax_t runStage(const fs::path& folder, const Help& help, std::size_t pageCount) {
    const std::string out = folder.string() + "/";
    const std::vector<std::string> pages(help.pages.begin(),
                                         help.pages.begin() + static_cast<long>(pageCount));
    TableOfContents toc;
    if (!help.contentsFile.empty())
        toc.ParseContentsFile(out + help.contentsFile, "/bench/help.chm");
    fs::create_directories(folder / "js");
    struct : Progress {
        void log(std::string_view, int) override {}
        bool checkStop() override { return false; }
    } quiet;
    buildSearchData(quiet, out, std::string(PLOVIK_SOURCE_DIR) + "/template/clarity/", pages,
                    toc.nodes, g_bytes ? WordSplit::Bytes : WordSplit::Unicode);
    std::error_code ec;
    return fs::file_size(folder / "js/searchdata.js", ec);
}

struct Result {
    double seconds = 0;
    long peakKiB = 0;
    std::uintmax_t dataBytes = 0;
};

// One run in a child process: wall time, the child's peak resident set, the data file's size.
Result runChild(const fs::path& folder, const Help& help, std::size_t pageCount) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        runStage(folder, help, pageCount);
        std::_Exit(0);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Result result;
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.peakKiB = usage.ru_maxrss;
    std::error_code ec;
    result.dataBytes = fs::file_size(folder / "js/searchdata.js", ec);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "the stage failed\n");
        std::exit(1);
    }
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s EXTRACTED_FOLDER [REPEAT [bytes]]\n", argv[0]);
        return 2;
    }
    const fs::path folder = argv[1];
    const int repeat = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    g_bytes = argc > 3 && std::string(argv[3]) == "bytes";
    const Help help = bench::surveyExtractedHelp(folder, {"HelpSearch.html"});
    std::printf("%zu pages, contents file %s\n", help.pages.size(),
                help.contentsFile.empty() ? "(none)" : help.contentsFile.c_str());

    // A first pass to bring the pages into the page cache, so no run pays for the disk alone.
    runChild(folder, help, help.pages.size());
    Result all, half;
    all.seconds = half.seconds = 1e9;
    for (int k = 0; k < repeat; ++k) {
        for (auto [size, best] :
             {std::pair{help.pages.size() / 2, &half}, std::pair{help.pages.size(), &all}}) {
            const Result r = runChild(folder, help, size);
            best->seconds = std::min(best->seconds, r.seconds);
            best->peakKiB = std::max(best->peakKiB, r.peakKiB);
            best->dataBytes = r.dataBytes;
        }
    }
    std::printf(
        "all %zu pages: %6.2f s, peak %6.1f MB, searchdata.js %.2f MB\n"
        "half:          %6.2f s, peak %6.1f MB, searchdata.js %.2f MB\n"
        "ratio:         %6.2f\n",
        help.pages.size(), all.seconds, double(all.peakKiB) / 1024.0, double(all.dataBytes) / 1e6,
        half.seconds, double(half.peakKiB) / 1024.0, double(half.dataBytes) / 1e6,
        all.seconds / half.seconds);
    return 0;
}
