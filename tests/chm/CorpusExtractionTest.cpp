// Real CHM files from four compilers must come out byte for byte as 7-Zip unpacks them, and
// hostile ones must fail cleanly without anything landing outside the output folder.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "ExtractionRun.h"
#include "chm/ChmFile.h"
#include "support/Corpus.h"
#include "support/Sha256.h"
#include "support/TempDir.h"

namespace plovik::test {
namespace {

namespace fs = std::filesystem;

// path -> sha256 from a sha256sum listing.
std::map<std::string, std::string> readManifest(const fs::path& path) {
    std::map<std::string, std::string> files;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() < 67)
            continue;
        std::string name = line.substr(66);
        if (name.rfind("./", 0) == 0)
            name = name.substr(2);
        files[name] = line.substr(0, 64);
    }
    return files;
}

std::set<std::string> filesBelow(const fs::path& root) {
    std::set<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        if (!e.is_directory())
            files.insert(fs::relative(e.path(), root).string());
    }
    return files;
}

bool isSkippedInternal(const std::string& name) {
    static const std::set<std::string> top = {
        "#ivb",    "#bssc",   "#idxhdr", "#itbits",  "#strings",   "#system",
        "#topics", "#urlstr", "#urltbl", "#windows", "$fiftimain", "$objinst",
        "#tocidx", "btree",   "data",    "map",      "property"};
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return top.count(lower) || lower.rfind("$wwassociativelinks/", 0) == 0 ||
           lower.rfind("$wwkeywordlinks/", 0) == 0;
}

TEST(CorpusExtraction, EveryFileMatchesTheManifestByteForByte) {
    const std::vector<fs::path> helps = corpusFiles("chm");
    if (helps.empty())
        GTEST_SKIP() << "no corpus";
    CapturingSink quiet;
    ScopedSink scoped(quiet);
    int checked = 0;
    for (const fs::path& chm : helps) {
        const std::string stem = chm.stem().string();
        SCOPED_TRACE(stem);
        const auto manifest = readManifest(corpusFile("manifests/" + stem + ".sha256"));
        ASSERT_FALSE(manifest.empty());
        TempDir out;
        quiet.output.clear();
        auto run = runExtraction(chm.string(), out.folder());
        ASSERT_TRUE(run->result());
        EXPECT_EQ(run->count(false), 0u);
        EXPECT_EQ(quiet.output.find("LZXResult: 0"), quiet.output.rfind("LZXResult: "));

        const auto written = filesBelow(out.path());
        for (const auto& [name, hash] : manifest) {
            if (!written.count(name)) {
                EXPECT_TRUE(isSkippedInternal(name)) << name << " was not written";
                continue;
            }
            EXPECT_EQ(sha256Hex(readFile(out.path() / name)), hash) << name;
        }
        for (const auto& name : written)
            EXPECT_TRUE(manifest.count(name)) << name;
        // One success per write; duplicate directory entries write the same file twice. Every
        // file told as written is there.
        EXPECT_GE(run->count(true), written.size());
        for (const auto& name : run->written())
            EXPECT_TRUE(written.count(name)) << name;
        ++checked;
    }
    // tests/data holds three of the shared corpus's twelve.
    EXPECT_EQ(checked, sharedCorpusDir().empty() ? 3 : 12);
}

// The copies kept in the repository are the corpus's files, not edited ones.
TEST(CorpusExtraction, RepositoryCopiesAreTheSharedCorpusFiles) {
    const fs::path shared = sharedCorpusDir();
    if (shared.empty())
        GTEST_SKIP() << "no shared corpus";
    int compared = 0;
    for (const char* folder : {"chm", "malformed", "manifests"}) {
        for (const auto& entry : fs::directory_iterator(dataDir() / folder)) {
            const fs::path theirs = shared / folder / entry.path().filename();
            ASSERT_TRUE(fs::exists(theirs)) << theirs;
            EXPECT_EQ(readFile(entry.path()), readFile(theirs)) << entry.path();
            ++compared;
        }
    }
    EXPECT_EQ(compared, 3 + 11 + 3);
}

TEST(CorpusExtraction, TellsOfEveryFileInDirectoryOrder) {
    const std::string path = corpusFile("chm/halibut-putty.chm").string();
    if (path.empty())
        GTEST_SKIP() << "no halibut-putty.chm";
    CapturingSink quiet;
    ScopedSink scoped(quiet);
    TempDir out;
    auto run = runExtraction(path, out.folder());
    auto chm = openChm(path);
    ASSERT_TRUE(chm);
    std::vector<std::string> expected;
    for (const ChmEntry& e : chm->entries) {
        if (e.name.size() < 2 || e.name[0] != '/' || e.isFolder())
            continue;
        if (isSkippedInternal(e.name.substr(1)))
            continue;
        expected.push_back(e.name);
    }
    EXPECT_EQ(run->started, expected);
    ASSERT_EQ(run->finished.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ("/" + run->finished[i].first, expected[i]);
        EXPECT_TRUE(run->finished[i].second) << run->finished[i].second.reason;
    }
}

// Debian's lcl.chm names chunk 1 as its first listing chunk although chunk 0 is one too.
TEST(CorpusExtraction, LclChmGivesEveryEntry) {
    const char* env = std::getenv("PLOVIK_LCL_CHM");
    fs::path lcl = env ? fs::path(env) : benchInput("lcl.chm");
    if (lcl.empty())
        lcl = "/work/bench-data/x/usr/share/doc/lazarus/2.2.6/lcl.chm";
    if (!fs::exists(lcl))
        GTEST_SKIP() << "no lcl.chm";
    CapturingSink quiet;
    ScopedSink scoped(quiet);
    auto chm = openChm(lcl.string());
    ASSERT_TRUE(chm);
    EXPECT_EQ(chm->entries.size(), 20326u);
    TempDir out;
    auto run = runExtraction(lcl.string(), out.folder());
    // 7-Zip writes 20,219 files; 15 of them are the help compiler's objects the skip lists
    // leave out.
    EXPECT_EQ(run->summary.written, 20219u - 15u);
    EXPECT_EQ(run->summary.failed, 0u);
    EXPECT_EQ(filesBelow(out.path()).size(), 20219u - 15u);
}

// Every hostile file: no crash, a clean failure where nothing can be read, and nothing written
// anywhere but the output folder.
TEST(CorpusExtraction, HostileFilesFailCleanly) {
    const std::vector<fs::path> files = corpusFiles("malformed");
    if (files.empty())
        GTEST_SKIP() << "no hostile files";
    CapturingSink quiet;
    ScopedSink scoped(quiet);
    std::map<std::string, bool> opened;
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.filename().string());
        TempDir dir;
        std::string bytes = readFile(file);
        std::string name = file.filename().string();
        if (file.extension() == ".xor") {
            for (char& c : bytes)
                c = static_cast<char>(c ^ 0xFF);
            name = file.stem().string();
        }
        const fs::path input = writeFile(dir.path() / "in" / name, bytes);
        fs::create_directories(dir.path() / "out");
        auto run = runExtraction(input.string(), (dir.path() / "out").string() + "/");
        opened[name] = run->result();
        if (!run->result()) {
            EXPECT_TRUE(run->started.empty());
            EXPECT_FALSE(run->summary.outcome.reason.empty());
        }
        EXPECT_EQ(run->finished.size(), run->started.size());
        for (const auto& [written, outcome] : run->finished)
            EXPECT_TRUE(outcome || !outcome.reason.empty()) << written;
        for (const auto& e : fs::recursive_directory_iterator(dir.path())) {
            const std::string rel = fs::relative(e.path(), dir.path()).string();
            EXPECT_TRUE(rel == "in" || rel == "in/" + name || rel == "out" ||
                        rel.rfind("out/", 0) == 0)
                << rel;
        }
        // No written file is empty unless its entry says so: a failed fetch leaves no file.
        auto chm = openChm(input.string());
        if (!chm)
            continue;
        for (const ChmEntry& entry : chm->entries) {
            if (entry.name.size() < 2 || entry.name[0] != '/' || entry.isFolder())
                continue;
            const fs::path written = dir.path() / "out" / entry.name.substr(1);
            std::error_code ec;
            if (fs::is_regular_file(written, ec)) {
                EXPECT_EQ(fs::file_size(written), entry.length) << entry.name;
            }
        }
    }
    EXPECT_EQ(opened.size(), 11u);
    EXPECT_FALSE(opened["libmspack-cve-2017-6419-lzx-negative-spaninfo.chm"]);  // not ITSF
    EXPECT_FALSE(opened["libmspack-cve-2018-14679-off-by-one.chm"]);
    EXPECT_TRUE(opened["libmspack-cve-2015-4467-reset-interval-zero.chm"]);
}

TEST(CorpusExtraction, ResetIntervalZeroFallsBackToTheWindow) {
    const fs::path file =
        corpusFile("malformed/libmspack-cve-2015-4467-reset-interval-zero.chm.xor");
    if (file.empty())
        GTEST_SKIP() << "no reset-interval-zero file";
    std::string bytes = readFile(file);
    for (char& c : bytes)
        c = static_cast<char>(c ^ 0xFF);
    CapturingSink sink;
    ScopedSink scoped(sink);
    auto chm = openChm(ownedMemorySource(bytes));
    ASSERT_TRUE(chm);
    ObjectBytes object;
    int decoded = 0;
    for (const ChmEntry& e : chm->entries) {
        if (e.section == 1 && retrieveEntry(*chm, e, object) == 0)
            ++decoded;
    }
    EXPECT_GT(decoded, 0);
    EXPECT_NE(sink.output.find("LZXResult: 0\n"), std::string::npos);
}

}  // namespace
}  // namespace plovik::test
