// The contents tree of a help that keeps its contents only in binary form. Real helps made by
// Microsoft's compiler, Halibut and chmcmd store both forms: the binary one must give the tree
// their .hhc gives, node for node.

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "chm/BinaryContents.h"
#include "chm/ChmDiagnostics.h"
#include "chm/ChmFile.h"
#include "pages/TableOfContents.h"
#include "support/Corpus.h"
#include "text/AsciiCase.h"
#include "text/PathSegments.h"

namespace plovik::test {
namespace {

namespace fs = std::filesystem;

using Node = std::tuple<int, int, std::string, std::string>;

std::vector<Node> nodesOf(const TableOfContents& toc) {
    std::vector<Node> nodes;
    for (const SitemapNode& n : toc.nodes)
        nodes.emplace_back(n.level, n.parentId, n.name, n.local);
    return nodes;
}

TEST(BinaryContentsTree, GivesTheTreeOfTheContentsFileItWasMadeFrom) {
    setDiagnosticSink(&silentSink());
    std::vector<fs::path> helps = corpusFiles("chm");
    for (const auto& entry : fs::directory_iterator(dataDir()))
        if (entry.path().extension() == ".chm")
            helps.push_back(entry.path());
    int compared = 0;
    for (const fs::path& path : helps) {
        SCOPED_TRACE(path.filename().string());
        auto chm = openChm(path.string());
        ASSERT_TRUE(chm);
        const ChmEntry* hhc = nullptr;
        for (const ChmEntry& e : chm->entries)
            if (equalsIgnoreAsciiCase(extensionOf(e.name), ".hhc"))
                hhc = &e;
        if (!hhc || !hasBinaryContents(*chm))
            continue;
        std::string text;
        ASSERT_EQ(retrieveObject(*chm, hhc->name, text), 0);
        TableOfContents fromFile;
        fromFile.ParseContentsText(text, path.string(), folderOf(hhc->name.substr(1)));

        std::vector<BinaryContentsEntry> entries;
        const Outcome read = readBinaryContents(*chm, entries);
        EXPECT_EQ(read.grade, Grade::Ok) << read.reason;
        TableOfContents fromBinary;
        fromBinary.ParseBinaryContents(entries, path.string());
        EXPECT_EQ(nodesOf(fromBinary), nodesOf(fromFile));
        EXPECT_EQ(fromBinary.startPage, fromFile.startPage);
        ++compared;
    }
    setDiagnosticSink(nullptr);
    EXPECT_GE(compared, 1);  // the repository's doxygen-style help at the least
}

TEST(BinaryContentsTree, AHelpWithoutItsContentsFile) {
    setDiagnosticSink(&silentSink());
    auto chm = openChm((dataDir() / "binary-contents.chm").string());
    ASSERT_TRUE(chm);
    std::vector<BinaryContentsEntry> entries;
    ASSERT_TRUE(readBinaryContents(*chm, entries));
    TableOfContents toc;
    toc.ParseBinaryContents(entries, "binary-contents.chm");
    setDiagnosticSink(nullptr);
    // Names are the contents' own, not the pages' titles; references are decoded; a heading has
    // no link; bytes that are not UTF-8 here stay as the help stores them until a build converts
    // them.
    EXPECT_EQ(nodesOf(toc), (std::vector<Node>{
                                {1, -1, "Start here", "welcome.htm"},
                                {1, -1, "User manual", ""},
                                {2, 1, "Basics", "manual/basics.htm"},
                                {2, 1, "Options & settings", "manual/options.htm"},
                                {3, 3, "Colours", "manual/options.htm#colours"},
                                {2, 1, "Files <where>", "manual/files.htm"},
                                {1, -1, "Project site", "https://example.org/project/"},
                                {1, -1, "R\xC3\xA9sum\xC3\xA9", "appendix.htm"},
                            }));
    EXPECT_EQ(toc.startPage, "welcome.htm");
}

}  // namespace
}  // namespace plovik::test
