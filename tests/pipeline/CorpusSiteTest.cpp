// Real help files from the corpus built into sites by the whole build job, in both layouts, with
// the program's own templates: every local link we write must resolve. What the help itself had
// broken (in its pages, or in its contents file's pages) is left out of the count.

#include <gtest/gtest.h>

#include <cctype>

#include "StageRun.h"
#include "chm/Extraction.h"
#include "pages/TableOfContents.h"
#include "pipeline/BuildJob.h"
#include "support/Corpus.h"
#include "support/LinkCheck.h"
#include "support/TempDir.h"

namespace plovik {
namespace {

namespace fs = std::filesystem;

struct Case {
    const char* chm;
    int layout;
};

class CorpusSite : public ::testing::TestWithParam<Case> {};

void fillJob(BuildJob& job, const fs::path& chm, const std::string& out, int layout) {
    job.chmPath = chm.string();
    job.outputFolder = out;
    job.title = "Corpus help";
    job.entryPageName = "index.html";
    job.layout = static_cast<Layout>(layout);
    job.showNavButtons = true;
    job.showRelatedTopics = true;
    // The keyword index and search pages are made by their own stages, checked elsewhere.
    job.buildIndex = false;
    job.buildSearch = false;
    job.templateFolder = test::sourceDir().string() +
                         (layout == 0 ? "/template/clarity/" : "/template/clarity-noframe/");
    job.addFooter = "<div style=\"font-size:12px;font-family:Arial;\">Corpus</div>";
}

// The links the help already had broken: those of its pages, and the pages its contents file
// names that it does not hold.
test::LinkBaseline baselineOf(const fs::path& chm) {
    test::TempDir extracted;
    const test::Extracted run = test::extractForBuild(chm.string(), extracted.folder(), true);
    test::LinkBaseline baseline = test::LinkBaseline::of(extracted.path());
    if (!run.help.contentsFileName.empty()) {
        TableOfContents toc;
        const std::string& name = run.help.contentsFileName;
        toc.ParseContentsFile(extracted.folder() + name, chm.string(),
                              name.substr(0, name.rfind('/') + 1));
        for (const SitemapNode& node : toc.nodes) {
            if (node.local.empty() || node.local.find(':') != std::string::npos)
                continue;  // headings, and web addresses
            const std::string target = test::resolveLink("", node.local);
            if (!target.empty() && !fs::exists(extracted.path() / target))
                baseline.addMissingTarget(target);
        }
    }
    return baseline;
}

TEST_P(CorpusSite, EveryLinkWeWriteResolves) {
    const fs::path chm = test::corpusFile(std::string("chm/") + GetParam().chm);
    if (chm.empty())
        GTEST_SKIP() << GetParam().chm << " is neither in tests/data nor in the shared corpus";

    const test::LinkBaseline baseline = baselineOf(chm);
    test::TempDir out;
    BuildJob job;
    fillJob(job, chm, out.folder(), GetParam().layout);
    job.runBuild();

    std::vector<std::string> pages;
    for (const auto& entry : fs::recursive_directory_iterator(out.path()))
        if (entry.path().extension() == ".htm" || entry.path().extension() == ".html")
            pages.push_back(entry.path().string());
    ASSERT_FALSE(pages.empty());
    const auto fresh = test::newlyBrokenLinks(out.path(), baseline);
    EXPECT_TRUE(fresh.empty()) << fresh.size() << " broken:\n" << test::describe(fresh);
    if (GetParam().layout == 0)
        EXPECT_TRUE(fs::exists(out.path() / job.entryPageName)) << job.entryPageName;
    else
        EXPECT_FALSE(fs::exists(out.path() / "HelpContent.html"));
}

INSTANTIATE_TEST_SUITE_P(
    Helps, CorpusSite,
    ::testing::Values(Case{"tika-testChm3-svnbook.chm", 0}, Case{"tika-testChm3-svnbook.chm", 1},
                      Case{"pychm-example.chm", 0}, Case{"pychm-example.chm", 1},
                      Case{"halibut-putty.chm", 0}, Case{"halibut-putty.chm", 1},
                      Case{"sandcastle-picoxlsx.chm", 0}, Case{"sandcastle-picoxlsx.chm", 1}),
    [](const ::testing::TestParamInfo<Case>& param) {
        std::string name = param.param.chm;
        name = name.substr(0, name.find('.'));
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name + (param.param.layout == 0 ? "_frame" : "_noframe");
    });

}  // namespace
}  // namespace plovik
