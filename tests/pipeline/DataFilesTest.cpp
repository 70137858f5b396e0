// The index and search data files of whole frame builds, read by a JavaScript engine: whatever a
// help file's keywords, titles and names hold, the files must parse and give back the strings.
// A sitemap value cannot hold a double quote (it ends the value), but a stored file name can.

#include <cstdlib>
#include <fstream>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "pipeline/BuildJob.h"
#include "support/Corpus.h"
#include "support/TempDir.h"
#include "support/chm/ChmWriter.h"

namespace plovik {
namespace {

namespace fs = std::filesystem;

bool haveNode() {
    return std::system("node --version >/dev/null 2>&1") == 0;
}

// Builds the frame site of `chm` into `out` the way the worker does.
void buildFrameSite(const fs::path& chm, const fs::path& out) {
    fs::create_directories(out);
    BuildJob job;
    job.chmPath = chm.string();
    job.outputFolder = out.string() + "/";
    job.title = "Help";
    job.entryPageName = "index.html";
    job.templateFolder = (test::sourceDir() / "template/clarity/").string();
    job.runBuild();
}

// indexList, keywords and files as the browser sees them, through Node's JSON of them.
nlohmann::json evaluateDataFiles(const fs::path& site, const fs::path& scratch) {
    const auto result = scratch / "data.json";
    const std::string command =
        "node -e \"const fs=require('fs');"
        "const code=fs.readFileSync(process.argv[1],'utf8')+'\\n'+fs.readFileSync(process.argv[2],"
        "'utf8')+'\\n;({indexList,keywords,files})';"
        "fs.writeFileSync(process.argv[3],JSON.stringify(eval(code)));\" '" +
        (site / "js/indexdata.js").string() + "' '" + (site / "js/searchdata.js").string() + "' '" +
        result.string() + "'";
    if (std::system(command.c_str()) != 0)
        return nullptr;
    std::ifstream in(result, std::ios::binary);
    return nlohmann::json::parse(in, nullptr, false);
}

TEST(DataFiles, HostileKeywordsTitlesAndNamesComeBackIntact) {
    if (!haveNode())
        GTEST_SKIP() << "node is not installed";
    const std::string slashes = "C:\\dir\\ say 'hi' \\";
    const std::string breaker = "</script><script>alert(1)</script>";
    const std::string separators =
        "line\xE2\x80\xA8para\xE2\x80\xA9"
        "end\ttab";
    auto object = [](const std::string& name, const std::string& local) {
        return "<LI><OBJECT type=\"text/sitemap\">\n<param name=\"Name\" value=\"" + name +
               "\">\n<param name=\"Local\" value=\"" + local + "\">\n</OBJECT>\n";
    };
    test::ChmWriter w;
    w.addFile("/a.htm", "<html><body>alpha words</body></html>");
    w.addFile("/q\"uote.htm", "<html><body>quoted page</body></html>");
    w.addFile("/toc.hhc",
              "<html>\n<body>\n<UL>\n" + object(slashes, "a.htm") + "</UL>\n</body>\n</html>\n");
    w.addFile("/index.hhk", "<html>\n<body>\n<UL>\n" + object(slashes, "a.htm") +
                                object(separators, "a.htm") + object(breaker, "b.htm") +
                                "</UL>\n</body>\n</html>\n");
    w.addFile("/b.htm", "<html><body>bee</body></html>");
    const std::string chm = w.build();
    ASSERT_FALSE(chm.empty()) << w.error();

    test::TempDir dir;
    test::writeFile(dir.path() / "hostile.chm", chm);
    buildFrameSite(dir.path() / "hostile.chm", dir.path() / "site");
    const nlohmann::json data = evaluateDataFiles(dir.path() / "site", dir.path());
    ASSERT_TRUE(data.is_object()) << "the data files do not evaluate";

    const nlohmann::json index = data["indexList"];
    ASSERT_EQ(index.size(), 3u);
    EXPECT_EQ(index[0][0], slashes);
    EXPECT_EQ(index[1][0], separators);
    EXPECT_EQ(index[2][0], breaker);
    EXPECT_EQ(index[2][1], "b.htm");

    std::map<std::string, std::string> titleByPage;
    for (const auto& file : data["files"])
        titleByPage[file[1].get<std::string>()] = file[0].get<std::string>();
    EXPECT_EQ(titleByPage["a.htm"], slashes);
    // Without a contents entry a page's title is its name, quote and all.
    EXPECT_EQ(titleByPage["q\"uote.htm"], "q\"uote.htm");
    bool foundQuoted = false;
    for (const auto& keyword : data["keywords"])
        foundQuoted = foundQuoted || keyword[0] == "quoted";
    EXPECT_TRUE(foundQuoted);
}

TEST(DataFiles, RealHelpsGiveDataFilesThatParse) {
    const fs::path svnbook = test::corpusFile("chm/tika-testChm3-svnbook.chm");
    const fs::path picoxlsx = test::corpusFile("chm/sandcastle-picoxlsx.chm");
    if (svnbook.empty() || picoxlsx.empty())
        GTEST_SKIP() << "no shared corpus";
    if (!haveNode())
        GTEST_SKIP() << "node is not installed";
    for (const fs::path& chm : {svnbook, picoxlsx}) {
        SCOPED_TRACE(chm.filename().string());
        test::TempDir dir;
        buildFrameSite(chm, dir.path() / "site");
        EXPECT_TRUE(fs::exists(dir.path() / "site/HelpIndex.html"));
        EXPECT_TRUE(fs::exists(dir.path() / "site/HelpSearch.html"));
        const nlohmann::json data = evaluateDataFiles(dir.path() / "site", dir.path());
        ASSERT_TRUE(data.is_object()) << "the data files do not evaluate";
        EXPECT_GT(data["keywords"].size(), 100u);
        EXPECT_GT(data["files"].size(), 100u);
    }
}

}  // namespace
}  // namespace plovik
