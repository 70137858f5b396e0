// Decoding and extraction speed and memory of the CHM container, side by side with 7-Zip.
//
//   ExtractBench [--rounds N] [--scratch DIR] [CHM ...]   the comparison (default 5 rounds)
//   ExtractBench --decode-only CHM                        one decode of every compressed section
//   ExtractBench --extract-only CHM DIR                   one extraction, as a build does it
//   ExtractBench --stream-extract CHM DIR                 one extraction in section order
//
// Every measured run is a process of its own (this program again, or 7-Zip), started in turn
// and timed from start to exit, its peak resident memory read from wait4(); each figure is the
// median over the rounds, and each ratio compares two medians of the same run. Decoding is
// compared with `7zz t`, extraction with `7zz x` into a fresh folder of the same file system
// (SCRATCH, default /dev/shm where there is one, so that the disk does not decide).
//
// --stream-extract writes every stored file straight from deliverSectionObjects, under its own
// name as its bytes come: the bytes as stored, with no skip list, no turn to wait for, no log and
// no charset conversion. It is the floor under what an extraction can cost.
//
// CHM defaults to Debian's lcl.chm where bench/fetch-inputs.sh puts it. 7-Zip is looked for as
// 7zz, then 7z.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "chm/ChmDiagnostics.h"
#include "chm/ChmFile.h"
#include "chm/Extraction.h"
#include "chm/SectionReader.h"
#include "platform/OutputFolder.h"

#include "ChildRuns.h"

namespace fs = std::filesystem;
using namespace plovik;

namespace {

using namespace bench;

// ---- the measured runs, in the child ----

double cpuSeconds() {
    struct timespec t {};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Decodes every compressed section once, in order; the bytes that decoded, and the wall and CPU
// seconds it took.
bool decodeAll(const std::string& chmPath, double& seconds, double& cpu, std::uint64_t& bytes) {
    const auto start = Clock::now();
    const double cpuStart = cpuSeconds();
    auto chm = openChm(chmPath);
    if (!chm)
        return false;
    bytes = 0;
    for (std::size_t s = 0; s < chm->sections.size(); ++s) {
        if (!chm->sections[s].compressed)
            continue;
        auto reader = SectionReader::open(*chm, s);
        SectionPiece piece;
        while (reader && reader->next(piece)) {
            if (piece.ok())
                bytes += piece.length;
        }
    }
    seconds = since(start);
    cpu = cpuSeconds() - cpuStart;
    return true;
}

bool extractOnce(const std::string& chmPath, const std::string& folder, std::size_t& written) {
    ExtractionSink quiet;  // as `plovik extract` without its printing
    const ExtractionSummary summary = extractChm(chmPath, folder, quiet);
    written = summary.written;
    return summary.opened() && summary.failed == 0;
}

class FileWriter final : public SectionObjectSink {
public:
    FileWriter(const ChmFile& chm, OutputFolder& out) : chm_(chm), out_(out) {}
    void objectReady(const SectionObject& object, std::string_view bytes) override {
        if (out_.writeFile(std::string_view(chm_.entries[object.tag].name).substr(1), bytes))
            ++written;
        else
            ++failed;
    }
    void objectFailed(const SectionObject&, const LzxResult&) override { ++failed; }
    std::size_t written = 0, failed = 0;

private:
    const ChmFile& chm_;
    OutputFolder& out_;
};

bool streamExtractOnce(const std::string& chmPath, const std::string& folder,
                       std::size_t& written) {
    auto chm = openChm(chmPath);
    if (!chm)
        return false;
    OutputFolder out(folder);
    FileWriter writer(*chm, out);
    std::vector<std::vector<SectionObject>> bySection(chm->sections.size());
    ObjectBytes bytes;
    for (std::size_t i = 0; i < chm->entries.size(); ++i) {
        const ChmEntry& e = chm->entries[i];
        if (e.name.size() < 2 || e.name.front() != '/')
            continue;
        if (e.isFolder()) {
            out.makeFolders(std::string_view(e.name).substr(1, e.name.size() - 2));
        } else if (e.section < chm->sections.size() && chm->sections[e.section].compressed) {
            bySection[e.section].push_back({e.offset, e.length, i});
        } else if (retrieveEntry(*chm, e, bytes) == 0 &&
                   out.writeFile(std::string_view(e.name).substr(1), bytes.bytes)) {
            ++writer.written;
        } else {
            ++writer.failed;
        }
    }
    for (std::size_t s = 0; s < bySection.size(); ++s) {
        if (bySection[s].empty())
            continue;
        auto reader = SectionReader::open(*chm, s);
        if (reader)
            deliverSectionObjects(*reader, std::move(bySection[s]), writer);
        else
            writer.failed += bySection[s].size();
    }
    written = writer.written;
    return writer.failed == 0;
}

// ---- the comparison, in the parent ----

int compare(const std::vector<std::string>& chms, int rounds, const fs::path& scratch) {
    const std::string self = selfPath("ExtractBench");
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
        Series decode, test, extract, stream, extract7;
        std::vector<double> inProcess;
        std::uint64_t decoded = 0;
        std::string written, streamed;
        for (int r = 0; r < rounds; ++r) {
            const Child d = run({self, "--decode-only", chm}, true);
            decode.add(d);
            unsigned long long bytes = 0;
            double seconds = 0;
            if (std::sscanf(d.output.c_str(), "decoded %llu bytes in %lf", &bytes, &seconds) == 2) {
                decoded = bytes;
                inProcess.push_back(seconds);
            }
            if (!sz.empty())
                test.add(run({sz, "t", chm}, false));

            // Extractions, each into a fresh folder of the same file system, in turn.
            const fs::path mine = scratch / ("plovik-bench-" + std::to_string(::getpid()));
            const fs::path other = scratch / ("7z-bench-" + std::to_string(::getpid()));
            for (const fs::path& p : {mine, other})
                fs::remove_all(p);
            const Child x = run({self, "--extract-only", chm, mine.string()}, true);
            extract.add(x);
            written = x.output;
            fs::remove_all(mine);
            const Child s = run({self, "--stream-extract", chm, mine.string()}, true);
            stream.add(s);
            streamed = s.output;
            fs::remove_all(mine);
            if (!sz.empty())
                extract7.add(run({sz, "x", "-y", "-o" + other.string(), chm}, false));
            fs::remove_all(other);
        }
        const double mb = decoded / 1e6;
        const auto rate = [mb](double s) { return s > 0 ? mb / s : 0; };
        std::printf("\n%s (%s): %.1f MB compressed, %.1f MB decoded\n", chm.c_str(),
                    fileSystemOf(fs::path(chm).parent_path()).c_str(), fs::file_size(chm) / 1e6,
                    mb);
        std::printf("  %-28s %8.3f s %6.0f MB/s  peak %6.1f MB%s\n", "decode   plovik (process)",
                    decode.time(), rate(decode.time()), decode.peak(),
                    decode.failed ? "  FAILED" : "");
        std::printf("  %-28s %8.3f s %6.0f MB/s\n", "         plovik (decoding)", median(inProcess),
                    rate(median(inProcess)));
        if (!sz.empty()) {
            std::printf("  %-28s %8.3f s %6.0f MB/s  peak %6.1f MB\n",
                        ("         " + sz + " t").c_str(), test.time(), rate(test.time()),
                        test.peak());
            std::printf("  %-28s %8.2f   (plovik/%s; below 1 is faster)\n", "         ratio",
                        decode.time() / test.time(), sz.c_str());
        }
        std::printf("  %-28s %8.3f s               peak %6.1f MB%s  %s",
                    "extract  plovik (extractChm)", extract.time(), extract.peak(),
                    extract.failed ? "  FAILED" : "", written.c_str());
        std::printf("  %-28s %8.3f s               peak %6.1f MB%s  %s",
                    "         plovik (in order)", stream.time(), stream.peak(),
                    stream.failed ? "  FAILED" : "", streamed.c_str());
        if (!sz.empty()) {
            std::printf("  %-28s %8.3f s               peak %6.1f MB\n",
                        ("         " + sz + " x").c_str(), extract7.time(), extract7.peak());
            std::printf("  %-28s %8.2f   extractChm, %.2f in order (plovik/%s)\n", "         ratio",
                        extract.time() / extract7.time(), stream.time() / extract7.time(),
                        sz.c_str());
        }
    }
    return 0;
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

    if (args.size() == 2 && args[0] == "--decode-only") {
        double seconds = 0, cpu = 0;
        std::uint64_t bytes = 0;
        if (!decodeAll(args[1], seconds, cpu, bytes))
            return 1;
        std::printf("decoded %llu bytes in %.4f s (%.4f s CPU): %.0f MB/s\n",
                    static_cast<unsigned long long>(bytes), seconds, cpu, bytes / seconds / 1e6);
        return 0;
    }
    if (args.size() == 3 && (args[0] == "--extract-only" || args[0] == "--stream-extract")) {
        std::string folder = args[2];
        if (folder.back() != '/')
            folder += '/';
        fs::create_directories(folder);
        std::size_t written = 0;
        const auto start = Clock::now();
        const bool ok = args[0] == "--extract-only" ? extractOnce(args[1], folder, written)
                                                    : streamExtractOnce(args[1], folder, written);
        std::printf("(%zu files, %.3f s inside%s)\n", written, since(start),
                    ok ? "" : ", with failures");
        return ok ? 0 : 1;
    }

    int rounds = 5;
    std::optional<fs::path> scratch;
    std::vector<std::string> chms;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--rounds" && i + 1 < args.size()) {
            rounds = std::max(1, std::atoi(args[++i].c_str()));
        } else if (args[i] == "--scratch" && i + 1 < args.size()) {
            scratch = args[++i];
        } else {
            chms.push_back(args[i]);
        }
    }
    if (chms.empty())
        chms.push_back(defaultLcl());
    if (!scratch)
        scratch = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    return compare(chms, rounds, *scratch);
}
