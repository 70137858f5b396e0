// Extraction and decoding speed of the CHM container, side by side with 7-Zip.
//
//   ExtractBench [--rounds N] [CHM [SCRATCH]]   extraction vs `7z x`, decoding vs `7z t`
//   ExtractBench --extract-only CHM DIR         one extraction, for /usr/bin/time -v
//   ExtractBench --decode-only CHM              one decode of every compressed section
//
// CHM defaults to Debian's lcl.chm where bench/fetch-inputs.sh puts it; SCRATCH (default /tmp) gets
// the output folders, which are removed again. 7-Zip is looked for as 7zz, then 7z.

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "chm/ChmDiagnostics.h"
#include "chm/ChmFile.h"
#include "chm/Extraction.h"

namespace fs = std::filesystem;
using namespace plovik;

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Seconds to decode every compressed section once, and the bytes they decoded to.
bool decodeAll(const std::string& chmPath, double& seconds, std::uint64_t& bytes) {
    auto chm = openChm(chmPath);
    if (!chm)
        return false;
    const auto start = Clock::now();
    bytes = 0;
    ObjectBytes object;
    for (std::size_t s = 0; s < chm->sections.size(); ++s) {
        if (!chm->sections[s].compressed)
            continue;
        for (const ChmEntry& e : chm->entries) {
            if (e.section == s) {
                retrieveEntry(*chm, e, object);
                break;
            }
        }
        bytes += chm->sections[s].validLength;
    }
    seconds = since(start);
    return true;
}

bool extractOnce(const std::string& chmPath, const std::string& folder, std::size_t& written) {
    ExtractionSink quiet;  // as `plovik extract` without its printing
    const ExtractionSummary summary = extractChm(chmPath, folder, quiet);
    written = summary.written;
    return summary.opened() && summary.failed == 0;
}

std::string sevenZip() {
    for (const char* name : {"7zz", "7z"}) {
        if (std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0) {
            return name;
        }
    }
    return {};
}

double timedShell(const std::string& command) {
    const auto start = Clock::now();
    if (std::system(command.c_str()) != 0)
        return -1;
    return since(start);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Where bench/fetch-inputs.sh keeps lcl.chm, else an older hand-made copy.
std::string defaultLcl() {
    fs::path cache;
    if (const char* dir = std::getenv("PLOVIK_BENCH_CACHE"); dir && *dir)
        cache = dir;
    else if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg)
        cache = fs::path(xdg) / "plovik-bench";
    else if (const char* home = std::getenv("HOME"); home && *home)
        cache = fs::path(home) / ".cache" / "plovik-bench";
    if (!cache.empty() && fs::exists(cache / "lcl.chm"))
        return (cache / "lcl.chm").string();
    return "/work/bench-data/x/usr/share/doc/lazarus/2.2.6/lcl.chm";
}

}  // namespace

int main(int argc, char** argv) {
    setDiagnosticSink(&silentSink());
    std::vector<std::string> args(argv + 1, argv + argc);
    int rounds = 3;
    if (args.size() >= 2 && args[0] == "--rounds") {
        rounds = std::max(1, std::atoi(args[1].c_str()));
        args.erase(args.begin(), args.begin() + 2);
    }
    const std::string lcl = defaultLcl();

    if (!args.empty() && args[0] == "--extract-only" && args.size() == 3) {
        std::string folder = args[2];
        if (folder.back() != '/')
            folder += '/';
        fs::create_directories(folder);
        std::size_t written = 0;
        const auto start = Clock::now();
        const bool ok = extractOnce(args[1], folder, written);
        std::printf("extracted %zu files in %.3f s%s\n", written, since(start),
                    ok ? "" : " (with failures)");
        return ok ? 0 : 1;
    }
    if (!args.empty() && args[0] == "--decode-only" && args.size() == 2) {
        double seconds = 0;
        std::uint64_t bytes = 0;
        if (!decodeAll(args[1], seconds, bytes))
            return 1;
        std::printf("decoded %llu bytes in %.3f s: %.0f MB/s\n",
                    static_cast<unsigned long long>(bytes), seconds, bytes / seconds / 1e6);
        return 0;
    }

    const std::string chmPath = !args.empty() ? args[0] : lcl;
    const fs::path scratch = args.size() > 1 ? fs::path(args[1]) : fs::temp_directory_path();
    if (!fs::exists(chmPath)) {
        std::fprintf(stderr, "no such file: %s\n", chmPath.c_str());
        return 1;
    }
    const std::string sz = sevenZip();

    std::vector<double> decode, sevenTest, ours, theirs;
    std::uint64_t decodedBytes = 0;
    std::size_t written = 0;
    for (int r = 0; r < rounds; ++r) {
        double seconds = 0;
        decodeAll(chmPath, seconds, decodedBytes);
        decode.push_back(seconds);
        if (!sz.empty())
            sevenTest.push_back(timedShell(sz + " t '" + chmPath + "' >/dev/null"));

        // Extraction, each into a fresh folder of the same file system, in turn.
        const fs::path mine = scratch / ("plovik-bench-" + std::to_string(r));
        const fs::path other = scratch / ("7z-bench-" + std::to_string(r));
        fs::remove_all(mine);
        fs::remove_all(other);
        fs::create_directories(mine);
        ::sync();  // the previous run's writes reach the disk before the clock starts
        auto start = Clock::now();
        extractOnce(chmPath, mine.string() + "/", written);
        ours.push_back(since(start));
        if (!sz.empty()) {
            ::sync();
            theirs.push_back(
                timedShell(sz + " x -y -o'" + other.string() + "' '" + chmPath + "' >/dev/null"));
        }
        fs::remove_all(mine);
        fs::remove_all(other);
    }

    const double mb = decodedBytes / 1e6;
    std::printf("%s: %zu files written, %.1f MB decoded, %d rounds (median)\n", chmPath.c_str(),
                written, mb, rounds);
    std::printf("  decode  plovik %.3f s  %6.0f MB/s\n", median(decode), mb / median(decode));
    if (!sevenTest.empty()) {
        std::printf("  decode  %s t  %.3f s  %6.0f MB/s (whole command)\n", sz.c_str(),
                    median(sevenTest), mb / median(sevenTest));
    }
    std::printf("  extract plovik %.3f s\n", median(ours));
    if (!theirs.empty()) {
        std::printf("  extract %s x  %.3f s   ratio plovik/7z %.2f\n", sz.c_str(), median(theirs),
                    median(ours) / median(theirs));
    }
    return 0;
}
