// The whole frame build of a help, side by side with 7-Zip's extraction of the same file.
//
//   BuildBench [--rounds N] [--scratch DIR] [--one-thread] [CHM ...]
//                                       the comparison (default 5 rounds)
//   BuildBench --build CHM DIR [--one-thread|--two-threads]   one build, timing each stage
//
// A build rewrites the pages beside the search data on a second thread when the machine has a
// core to spare. --two-threads always does, --one-thread never (the pages after the search data,
// as builds did before); in the comparison --one-thread adds a row for each of the two, and the
// timed build then takes two threads.
//
// Every measured run is a process of its own, started in turn within each round and timed from
// start to exit, its peak resident memory read from wait4(): `plovik build --chm CHM --out DIR
// --layout frame` (the program itself, its log sent to /dev/null), this program's --build (the
// same build through startBuild, with an observer that notes when each stage begins) and
// `7zz x`, each into a fresh folder of SCRATCH (default /dev/shm where there is one). Each
// figure is the median over the rounds, and each ratio compares two medians of the same run.
//
// A stage's time runs from its stageStarted() to the next one's (extraction includes making the
// link repair's file index, which comes before the contents tree); the last ends at done().
//
// CHM defaults to Debian's lcl.chm where bench/fetch-inputs.sh puts it.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "pipeline/BuildJob.h"

#include "ChildRuns.h"

namespace fs = std::filesystem;
using namespace plovik;

namespace {

using namespace bench;

constexpr std::array<const char*, 7> kStageNames = {
    "extraction",  "contents tree", "keyword index", "search words",
    "search data", "pages",         "template files"};

// ---- the measured build, in the child ----

class StageClock final : public BuildObserver {
public:
    void logText(std::string_view, int) override {}
    void stageStarted(BuildStage stage, std::size_t) override { mark(static_cast<int>(stage)); }
    void done() override {
        mark(-1);
        finished = true;
    }
    void failed(std::string_view reason) override {
        mark(-1);
        std::fprintf(stderr, "build failed: %.*s\n", static_cast<int>(reason.size()),
                     reason.data());
    }
    // Seconds of each stage, in the order of kStageNames; 0 for a stage that did not run.
    std::array<double, kStageNames.size()> seconds{};
    bool finished = false;

private:
    void mark(int stage) {
        const auto now = Clock::now();
        if (current_ >= 0)
            seconds[static_cast<std::size_t>(current_)] +=
                std::chrono::duration<double>(now - since_).count();
        current_ = stage;
        since_ = now;
    }
    int current_ = -1;
    Clock::time_point since_{};
};

class BenchHost final : public BuildHost {
public:
    explicit BenchHost(BuildObserver& observer) : observer_(observer) {}
    void readSettings(ProjectSettings&) override {}
    void showValidationMessage(std::string_view text) override {
        std::fprintf(stderr, "refused: %.*s\n", static_cast<int>(text.size()), text.data());
    }
    std::optional<std::string> templateFolderName(int version, int) override {
        return std::string(version == 1 ? "clarity-noframe" : "clarity");
    }
    std::string programFolder() override { return std::string(PLOVIK_SOURCE_DIR) + "/"; }
    BuildObserver* observer() override { return &observer_; }
    void buildStarted() override {}

private:
    BuildObserver& observer_;
};

// As `plovik build --chm CHM --out DIR --layout frame` sets it up.
int buildOnce(const std::string& chm, const std::string& out, BuildJob::PageThreads threads) {
    ProjectSettings settings;
    settings.chmfile = chm;
    settings.outputpath = out;
    settings.version = 0;
    settings.title = fs::path(chm).stem().string() + " online help";
    settings.defaultindex = "index.html";
    StageClock clock;
    BenchHost host(clock);
    BuildJob job;
    job.pageThreads = threads;
    const auto start = Clock::now();
    if (!startBuild(job, settings, host))
        return 1;
    job.waitForWorker();
    const double total = since(start);
    for (std::size_t s = 0; s < kStageNames.size(); ++s)
        std::printf("stage %zu %.6f\n", s, clock.seconds[s]);
    std::printf("total %.6f\n", total);
    return clock.finished ? 0 : 1;
}

// ---- the comparison, in the parent ----

int compare(const std::vector<std::string>& chms, int rounds, const fs::path& scratch,
            bool oneThread) {
    const std::string self = selfPath("BuildBench");
    const std::string plovik = PLOVIK_PROGRAM;
    const std::string sz = sevenZip();
    std::printf("CPU: %s, %u cores; scratch %s (%s); %d rounds, medians\n", cpuName().c_str(),
                static_cast<unsigned>(::sysconf(_SC_NPROCESSORS_ONLN)), scratch.c_str(),
                fileSystemOf(scratch).c_str(), rounds);
    if (sz.empty())
        std::printf("no 7-Zip (7zz or 7z) on PATH: plovik's figures only\n");
    for (const std::string& chm : chms) {
        if (!fs::exists(chm)) {
            std::fprintf(stderr, "no such file: %s\n", chm.c_str());
            return 1;
        }
        Series program, staged, single, extract7;
        std::vector<std::vector<double>> stages(kStageNames.size());
        std::vector<double> inside;
        for (int r = 0; r < rounds; ++r) {
            const fs::path site = scratch / ("plovik-build-" + std::to_string(::getpid()));
            const fs::path other = scratch / ("7z-build-" + std::to_string(::getpid()));
            for (const fs::path& p : {site, other})
                fs::remove_all(p);

            fs::create_directories(site);
            program.add(run({plovik, "build", "--chm", chm, "--out", site.string(), "--layout",
                             "frame", "--log"},
                            false));
            fs::remove_all(site);

            fs::create_directories(site);
            std::vector<std::string> timed = {self, "--build", chm, site.string()};
            if (oneThread)
                timed.push_back("--two-threads");
            const Child b = run(timed, true);
            staged.add(b);
            std::size_t s = 0;
            double seconds = 0;
            for (std::size_t at = 0; at < b.output.size();) {
                const std::size_t end = b.output.find('\n', at);
                const std::string line = b.output.substr(at, end - at);
                if (std::sscanf(line.c_str(), "stage %zu %lf", &s, &seconds) == 2 &&
                    s < stages.size())
                    stages[s].push_back(seconds);
                else if (std::sscanf(line.c_str(), "total %lf", &seconds) == 1)
                    inside.push_back(seconds);
                at = end == std::string::npos ? b.output.size() : end + 1;
            }
            fs::remove_all(site);

            if (oneThread) {
                fs::create_directories(site);
                single.add(run({self, "--build", chm, site.string(), "--one-thread"}, false));
                fs::remove_all(site);
            }

            if (!sz.empty())
                extract7.add(run({sz, "x", "-y", "-o" + other.string(), chm}, false));
            fs::remove_all(other);
        }
        std::printf("\n%s (%s): %.1f MB\n", chm.c_str(),
                    fileSystemOf(fs::path(chm).parent_path()).c_str(), fs::file_size(chm) / 1e6);
        std::printf("  %-30s %8.3f s  peak %6.1f MB%s\n", "plovik build (frame)", program.time(),
                    program.peak(), program.failed ? "  FAILED" : "");
        std::printf("  %-30s %8.3f s  peak %6.1f MB%s\n",
                    oneThread ? "the same, two threads, timed" : "the same, stages timed",
                    staged.time(), staged.peak(), staged.failed ? "  FAILED" : "");
        const double total = median(inside);
        for (std::size_t s = 0; s < kStageNames.size(); ++s) {
            const double t = median(stages[s]);
            std::printf("    %-28s %8.3f s  %5.1f %%\n", kStageNames[s], t,
                        total > 0 ? 100 * t / total : 0);
        }
        if (oneThread)
            std::printf("  %-30s %8.3f s  peak %6.1f MB%s\n", "the same, one thread", single.time(),
                        single.peak(), single.failed ? "  FAILED" : "");
        if (!sz.empty()) {
            std::printf("  %-30s %8.3f s  peak %6.1f MB\n", (sz + " x").c_str(), extract7.time(),
                        extract7.peak());
            std::printf("  %-30s %8.2f   (plovik build / %s x)\n", "ratio",
                        program.time() / extract7.time(), sz.c_str());
        }
    }
    return 0;
}

// Where bench/fetch-inputs.sh keeps lcl.chm.
std::string defaultLcl() {
    fs::path cache;
    if (const char* dir = std::getenv("PLOVIK_BENCH_CACHE"); dir && *dir)
        cache = dir;
    else if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg)
        cache = fs::path(xdg) / "plovik-bench";
    else if (const char* home = std::getenv("HOME"); home && *home)
        cache = fs::path(home) / ".cache" / "plovik-bench";
    return (cache / "lcl.chm").string();
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() >= 3 && args.size() <= 4 && args[0] == "--build") {
        auto threads = BuildJob::PageThreads::Auto;
        if (args.size() == 4 && args[3] == "--one-thread")
            threads = BuildJob::PageThreads::One;
        else if (args.size() == 4 && args[3] == "--two-threads")
            threads = BuildJob::PageThreads::Two;
        else if (args.size() == 4)
            return 2;
        return buildOnce(args[1], args[2], threads);
    }

    int rounds = 5;
    std::optional<fs::path> scratch;
    std::vector<std::string> chms;
    bool oneThread = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--one-thread")
            oneThread = true;
        else if (args[i] == "--rounds" && i + 1 < args.size())
            rounds = std::max(1, std::atoi(args[++i].c_str()));
        else if (args[i] == "--scratch" && i + 1 < args.size())
            scratch = args[++i];
        else
            chms.push_back(args[i]);
    }
    if (chms.empty())
        chms.push_back(defaultLcl());
    if (!scratch)
        scratch = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    return compare(chms, rounds, *scratch, oneThread);
}
