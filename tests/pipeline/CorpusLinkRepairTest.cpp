// Link repair on the real help files of the corpus, in both layouts: after it no link is left
// that a case-insensitive file system would have resolved, and no link that resolved in a build
// without repair is broken by it.

#include <gtest/gtest.h>

#include <cctype>
#include <map>

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

class CorpusLinkRepair : public ::testing::TestWithParam<Case> {};

void build(const fs::path& chm, const test::TempDir& out, int layout, bool fixLinks) {
    BuildJob job;
    job.chmPath = chm.string();
    job.outputFolder = out.folder();
    job.title = "Corpus help";
    job.entryPageName = "index.html";
    job.layout = static_cast<Layout>(layout);
    job.buildIndex = layout == 0;
    job.buildSearch = false;  // it reads the pages but writes no link
    job.fixLinks = fixLinks;
    job.templateFolder = test::sourceDir().string() +
                         (layout == 0 ? "/template/clarity/" : "/template/clarity-noframe/");
    job.runBuild();
}

std::string lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Every page of the site with its local links, in the order they stand.
std::map<std::string, std::vector<std::string>> linksOf(const fs::path& site) {
    std::map<std::string, std::vector<std::string>> pages;
    for (const auto& entry : fs::recursive_directory_iterator(site)) {
        const std::string ext = lower(entry.path().extension().string());
        if (entry.is_regular_file() && (ext == ".htm" || ext == ".html"))
            pages[entry.path().lexically_relative(site).generic_string()] =
                test::localLinksOf(test::readFile(entry.path()));
    }
    return pages;
}

TEST_P(CorpusLinkRepair, LeavesNoCaseOnlyLinkAndBreaksNone) {
    const fs::path chm = test::corpusFile(std::string("chm/") + GetParam().chm);
    if (chm.empty())
        GTEST_SKIP() << GetParam().chm << " is neither in tests/data nor in the shared corpus";

    test::TempDir off;
    test::TempDir on;
    build(chm, off, GetParam().layout, false);
    build(chm, on, GetParam().layout, true);

    // How many files of the repaired site each lower-cased name stands for.
    std::map<std::string, int> folded;
    for (const auto& entry : fs::recursive_directory_iterator(on.path()))
        if (entry.is_regular_file())
            ++folded[lower(entry.path().lexically_relative(on.path()).generic_string())];

    const auto before = linksOf(off.path());
    const auto after = linksOf(on.path());
    test::SiteFiles offFiles(off.path());
    test::SiteFiles onFiles(on.path());
    ASSERT_EQ(before.size(), after.size());
    std::string caseOnly;
    std::string broken;
    for (const auto& [page, links] : after) {
        ASSERT_TRUE(before.count(page)) << page;
        const std::vector<std::string>& old = before.at(page);
        ASSERT_EQ(links.size(), old.size()) << page;
        for (std::size_t k = 0; k < links.size(); ++k) {
            if (onFiles.resolves(page, links[k]))
                continue;
            if (offFiles.resolves(page, old[k]))
                broken += page + ": \"" + old[k] + "\" became \"" + links[k] + "\"\n";
            const std::string target = test::resolveLink(page, links[k]);
            if (!target.empty() && folded[lower(target)] == 1)
                caseOnly += page + ": \"" + links[k] + "\"\n";
        }
    }
    EXPECT_EQ(caseOnly, "") << "left to resolve only when case is ignored";
    EXPECT_EQ(broken, "") << "broken by the repair";
}

INSTANTIATE_TEST_SUITE_P(Helps, CorpusLinkRepair, ::testing::ValuesIn([] {
                             std::vector<Case> cases;
                             for (const char* chm :
                                  {"pychm-example.chm", "pychm-combined.chm", "pychm-combined2.chm",
                                   "tika-testChm3-svnbook.chm", "virtualtreeview.chm",
                                   "winring0-manual-ja.chm", "jsdk3-help-zh.chm",
                                   "qfilecommander-manual-ru.chm", "sandcastle-picoxlsx.chm",
                                   "halibut-putty.chm", "chmbuilder-xtreme3d-ru.chm",
                                   "supertexttoolbox-help-zh.chm"})
                                 for (int layout : {0, 1})
                                     cases.push_back({chm, layout});
                             return cases;
                         }()),
                         [](const ::testing::TestParamInfo<Case>& param) {
                             std::string name = param.param.chm;
                             name = name.substr(0, name.rfind('.'));
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name + (param.param.layout == 0 ? "_frame" : "_noframe");
                         });

}  // namespace
}  // namespace plovik
