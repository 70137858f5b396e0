// Real helps in GBK and cp1251, built in both layouts: the tree shows every name of the contents
// file as the iconv program decodes it, and (GBK) every page finds its table-of-contents node.

#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <set>

#include "StageRun.h"
#include "chm/ChmDiagnostics.h"
#include "chm/Extraction.h"
#include "pipeline/BuildJob.h"
#include "support/Corpus.h"
#include "support/TempDir.h"
#include "text/HtmlEntities.h"
#include "text/JsString.h"
#include "text/Utf8.h"

namespace plovik {
namespace {

namespace fs = std::filesystem;

struct Case {
    const char* chm;
    const char* encoding;  // of its contents file, as the iconv program names it
    int layout;
};

class CorpusCharset : public ::testing::TestWithParam<Case> {};

std::string iconvProgram(const fs::path& file, const std::string& encoding) {
    const std::string command =
        "iconv -f " + encoding + " -t UTF-8 '" + file.string() + "' 2>/dev/null";
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            text.append(buffer, n);
        pclose(pipe);
    }
    return text;
}

TEST_P(CorpusCharset, TreeNamesAreTheDecodedContentsAndPagesFindTheirNodes) {
    const fs::path chm = test::corpusFile(std::string("chm/") + GetParam().chm);
    if (chm.empty())
        GTEST_SKIP() << GetParam().chm << " is neither in tests/data nor in the shared corpus";
    setDiagnosticSink(&silentSink());

    // The contents file as stored, decoded by the iconv program.
    test::TempDir raw;
    const test::Extracted keep = test::extractForBuild(chm.string(), raw.folder(), false);
    ASSERT_FALSE(keep.help.contentsFileName.empty());
    std::string contents =
        iconvProgram(raw.path() / keep.help.contentsFileName, GetParam().encoding);
    if (contents.empty())
        GTEST_SKIP() << "no iconv program";
    // Entries the help's author commented out are no entries (xtreme3d has some).
    contents = std::regex_replace(contents, std::regex("<!--[^]*?-->"), "");
    std::set<std::string> names;
    const std::regex param("<param name=\"Name\" value=\"([^\"]*)\">", std::regex::icase);
    for (std::sregex_iterator it(contents.begin(), contents.end(), param), end; it != end; ++it)
        names.insert((*it)[1]);
    ASSERT_GT(names.size(), 5u);

    test::TempDir out;
    BuildJob job;
    job.chmPath = chm.string();
    job.outputFolder = out.folder();
    job.title = "Corpus help";
    job.entryPageName = "index.html";
    job.layout = static_cast<Layout>(GetParam().layout);
    job.buildIndex = false;
    job.buildSearch = false;
    job.templateFolder =
        test::sourceDir().string() +
        (GetParam().layout == 0 ? "/template/clarity/" : "/template/clarity-noframe/");
    job.runBuild();
    setDiagnosticSink(nullptr);

    std::vector<fs::path> pages;
    for (const auto& entry : fs::recursive_directory_iterator(out.path()))
        if (entry.path().extension() == ".htm" || entry.path().extension() == ".html")
            if ((entry.path().filename() != "index.html" || GetParam().layout == 0) &&
                entry.path().filename() != "context.html")  // the context help's own page
                pages.push_back(entry.path());
    ASSERT_FALSE(pages.empty());
    // The no-frame pages load the tree from its data file, where names are string literals.
    const fs::path treePage =
        GetParam().layout == 0 ? out.path() / "HelpContent.html" : out.path() / "HelpContent.js";
    const std::string tree = test::readFile(treePage);
    EXPECT_TRUE(isValidUtf8(tree));
    for (const std::string& name : names) {
        if (GetParam().layout == 0) {
            EXPECT_NE(tree.find(">" + name + "</a>"), std::string::npos) << name;
            continue;
        }
        const std::string text = decodeHtmlEntities(name);
        if (text.find('<') != std::string::npos)
            continue;
        std::string literal = "\"";
        appendJsStringBody(literal, text);
        EXPECT_NE(tree.find(literal + "\""), std::string::npos) << name;
    }

    if (GetParam().layout == 1 && std::string(GetParam().encoding) == "GBK") {
        for (const fs::path& page : pages) {
            const std::string text = test::readFile(page);
            EXPECT_EQ(text.find("var pkCurrentNode = -1;"), std::string::npos) << page;
            EXPECT_NE(text.find("var pkCurrentNode = "), std::string::npos) << page;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Helps, CorpusCharset,
                         ::testing::Values(Case{"jsdk3-help-zh.chm", "GBK", 0},
                                           Case{"jsdk3-help-zh.chm", "GBK", 1},
                                           Case{"chmbuilder-xtreme3d-ru.chm", "CP1251", 0},
                                           Case{"chmbuilder-xtreme3d-ru.chm", "CP1251", 1}),
                         [](const ::testing::TestParamInfo<Case>& param) {
                             return std::string(param.param.chm[0] == 'j' ? "jsdk3" : "xtreme3d") +
                                    (param.param.layout == 0 ? "_frame" : "_noframe");
                         });

}  // namespace
}  // namespace plovik
