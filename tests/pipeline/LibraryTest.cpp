// Libraries of helps: the folders the helps get, the library page, and whole library builds of
// the two test helps that link into each other (tests/data/library-a.chm, library-b.chm).

#include "pipeline/Library.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/Corpus.h"
#include "support/LinkCheck.h"
#include "support/TempDir.h"

namespace plovik {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> foldersOf(const std::vector<LibraryMember>& members) {
    std::vector<std::string> folders;
    for (const LibraryMember& m : members)
        folders.push_back(m.folder);
    return folders;
}

TEST(LibraryPlan, GivesEveryHelpASafeFolderOfItsOwn) {
    test::TempDir dir;
    const std::string a = test::writeFile(dir.path() / "x/Help.chm", "").string();
    const std::vector<LibraryMember> members = planLibrary({
        a,
        (dir.path() / "x/../x/Help.chm").string(),  // the same file again
        (dir.path() / "y/help.chm").string(),       // another file of that name, other case
        "/z/../../x.chm",
        "/z/index.html.chm",
        "/z/.hidden.chm",
        "/z/\xE6\xBC\xA2\xE5\xAD\x97.chm",
        "/z/a b<c>\"'.CHM",
        "/z/" + std::string(300, 'n') + ".chm",
    });
    EXPECT_EQ(foldersOf(members),
              (std::vector<std::string>{"Help", "help-2", "x", "index.html-2", "_hidden", "help-3",
                                        "a_b_c___", std::string(64, 'n')}));
    // A help without a title of its own is named by its file.
    EXPECT_EQ(members[0].title, "Help");
    EXPECT_EQ(members[2].title, "x");
}

TEST(LibraryPlan, LinksOfOneHelpLeadIntoTheFirstOfEachOtherName) {
    const std::vector<LibraryMember> members = {
        {"/a/one.chm", "one", "One"}, {"/b/Two.chm", "Two", "Two"}, {"/c/two.chm", "two-2", "2"}};
    const std::vector<LibraryHelp> seen =
        libraryLinksFor(members, 0, {{"o.htm"}, {"t.htm"}, {"u.htm"}});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].chmFileName, "Two.chm");
    EXPECT_EQ(seen[0].folder, "../Two/");
    EXPECT_EQ(seen[0].storedFiles, std::vector<std::string>{"t.htm"});
    const std::vector<LibraryHelp> fromTwo = libraryLinksFor(members, 1, {});
    ASSERT_EQ(fromTwo.size(), 1u);
    EXPECT_EQ(fromTwo[0].folder, "../one/");
}

TEST(LibraryPage, EscapesEveryTextOfAHelpWhereItStands) {
    LibraryEntry a;
    a.member = {"/a.chm", "a", "A <b>&amp; \"q\" [#helps#]"};
    a.built = true;
    a.entryPage = "My Help.html";
    a.framed = true;
    a.searchable = true;
    LibraryEntry b;
    b.member = {"/b.chm", "b", "</script><script>window.__pwned=1</script>"};
    b.built = true;
    b.entryPage = "x.htm";
    LibraryEntry failed;
    failed.member = {"/c.chm", "c", "C"};
    const std::string page = libraryPageText(
        "<title>[#title#]</title><ul>[#helps#]</ul><script>var H = [#library_data#];</script>",
        "Lib <i>", {a, b, failed});
    EXPECT_NE(page.find("<title>Lib &lt;i&gt;</title>"), std::string::npos) << page;
    EXPECT_NE(page.find("<a class=\"pk-lib-help\" href=\"a/My%20Help.html\">A &lt;b&gt;&amp;amp; "
                        "&quot;q&quot; [#helps#]</a>"),
              std::string::npos)
        << page;
    // The one script element holds the data and ends where the template ends it.
    EXPECT_EQ(page.find("</script>"), page.rfind("</script>")) << page;
    EXPECT_NE(
        page.find("\"title\":\"\\u003C/script>\\u003Cscript>window.__pwned=1\\u003C/script>\""),
        std::string::npos)
        << page;
    EXPECT_NE(page.find("\"entry\":\"My Help.html\",\"framed\":true,\"search\":true"),
              std::string::npos);
    EXPECT_EQ(page.find("/c.chm"), std::string::npos);  // a help without a site is not listed
    EXPECT_EQ(page.find(">C<"), std::string::npos);
}

// Takes the place of the wizard for the jobs of a library build.
class QuietHost : public BuildHost {
public:
    void readSettings(ProjectSettings&) override {}
    void showValidationMessage(std::string_view text) override { messages.emplace_back(text); }
    std::optional<std::string> templateFolderName(int version, int) override {
        return std::string(version == 0 ? "clarity" : "clarity-noframe");
    }
    std::string programFolder() override { return test::sourceDir().string() + "/"; }
    BuildObserver* observer() override { return nullptr; }
    void buildStarted() override {}
    std::vector<std::string> messages;
};

class LibraryBuild : public ::testing::TestWithParam<int> {
protected:
    LibraryOutcome build(const std::vector<std::string>& chms) {
        fs::create_directories(site());
        ProjectSettings settings;
        settings.version = GetParam();
        settings.defaultindex = "index.html";
        std::vector<std::string> paths;
        for (const std::string& chm : chms)
            paths.push_back(chm.front() == '/' ? chm : (test::dataDir() / chm).string());
        return buildLibrary(planLibrary(paths), settings, site().string() + "/", "Both <helps>",
                            test::sourceDir().string() + "/template/library.tpl", job, host,
                            [](BuildJob& j) { j.waitForWorker(); });
    }
    fs::path site() const { return dir.path() / "site"; }
    std::string read(const std::string& relative) { return test::readFile(site() / relative); }

    test::TempDir dir;
    BuildJob job;
    QuietHost host;
};

TEST_P(LibraryBuild, LinksBetweenTheHelpsLeadToTheRightPage) {
    const LibraryOutcome outcome = build({"library-a.chm", "library-b.chm"});
    ASSERT_EQ(outcome.entries.size(), 2u);
    for (const LibraryEntry& entry : outcome.entries)
        ASSERT_TRUE(entry.built) << entry.member.folder << ": " << entry.result.reason;
    EXPECT_TRUE(outcome.libraryPageError.empty()) << outcome.libraryPageError;

    // Every local link of every page of the site resolves, those between the helps included;
    // only those into the help that is in neither stay as they were.
    auto broken = test::findBrokenLinks(site());
    std::erase_if(broken, [](const test::BrokenLink& link) {
        return link.link == "ms-its:missing.chm::/x.htm" ||
               link.link == "mk:@MSITStore:missing.chm::/x.htm";
    });
    EXPECT_TRUE(broken.empty()) << test::describe(broken);
    const std::string intro = read("library-a/intro.htm");
    EXPECT_NE(intro.find("href=\"../library-b/topic.htm\""), std::string::npos);
    EXPECT_NE(intro.find("href=\"../library-b/topic.htm#details\""), std::string::npos);
    EXPECT_NE(intro.find("href=\"../library-b/sub/deep.htm\""), std::string::npos);
    EXPECT_NE(read("library-b/sub/deep.htm").find("href=\"../../library-a/intro.htm\""),
              std::string::npos);
    EXPECT_NE(read("library-b/topic.htm").find("href=\"../library-a/shared.css\""),
              std::string::npos);
    // The contents' entries into the other help are kept, and lead into it.
    // (The no-frame pages load the tree from a data file of the site.)
    const bool framed = GetParam() == 0;
    const std::string tree =
        read(framed ? "library-b/HelpContent.html" : "library-b/HelpContent.js");
    const char* quote = framed ? "href='" : "\"";
    EXPECT_NE(tree.find(quote + std::string("../library-a/intro.htm")), std::string::npos) << tree;
    EXPECT_NE(tree.find(quote + std::string("../library-a/page.htm")), std::string::npos);
    // No link into one of them is left in the help viewer's form; the one into a help outside
    // the library stays, and is reported.
    for (const char* page : {"library-a/intro.htm", "library-a/page.htm", "library-b/topic.htm",
                             "library-b/sub/deep.htm"}) {
        EXPECT_EQ(read(page).find("library-a.chm"), std::string::npos) << page;
        EXPECT_EQ(read(page).find("library-b.chm"), std::string::npos) << page;
    }
    EXPECT_NE(intro.find("ms-its:missing.chm::/x.htm"), std::string::npos);
    const std::string report = libraryReport(outcome.entries, false);
    EXPECT_NE(report.find("link\tlibrary-a/intro.htm\tleads into a help that is not in the "
                          "library: ms-its:missing.chm::/x.htm\n"),
              std::string::npos)
        << report;
    EXPECT_NE(libraryReport(outcome.entries, true)
                  .find("library-b/topic.htm\tmk:@MSITStore:missing.chm::/x.htm\n"),
              std::string::npos);

    // The library page lists both by their own titles, and every help has search data for it.
    const std::string library = read("index.html");
    EXPECT_NE(library.find("<title>Both &lt;helps&gt;</title>"), std::string::npos);
    EXPECT_NE(library.find(">Library A</a>"), std::string::npos) << library;
    EXPECT_NE(library.find(">Library B</a>"), std::string::npos);
    EXPECT_TRUE(fs::exists(site() / "library-a/js/searchdata.js"));
    EXPECT_TRUE(fs::exists(site() / "library-b/js/searchdata.js"));
    EXPECT_FALSE(fs::exists(site() / ".plovik-lock"));
}

TEST_P(LibraryBuild, AHelpThatFailsDoesNotLoseTheOthers) {
    const fs::path broken = test::writeFile(dir.path() / "broken.chm", "not a help file");
    const LibraryOutcome outcome = build({"library-a.chm", broken.string(), "library-b.chm"});
    ASSERT_EQ(outcome.entries.size(), 3u);
    EXPECT_TRUE(outcome.entries[0].built);
    EXPECT_FALSE(outcome.entries[1].built);
    EXPECT_EQ(outcome.entries[1].result.grade, Grade::Fatal);
    EXPECT_TRUE(outcome.entries[2].built);
    EXPECT_FALSE(outcome.refused || outcome.stopped);
    const std::string library = read("index.html");
    EXPECT_NE(library.find(">Library B</a>"), std::string::npos);
    EXPECT_EQ(library.find("broken/"), std::string::npos);
    EXPECT_NE(libraryReport(outcome.entries, false).find("help\tbroken/\t"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(BothLayouts, LibraryBuild, ::testing::Values(0, 1),
                         [](const auto& param) { return param.param == 0 ? "Frame" : "NoFrame"; });

}  // namespace
}  // namespace plovik
