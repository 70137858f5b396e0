// Every real help gives a working site in both layouts: no stored page lost or replaced by a
// redirect, no page that redirects to itself, no template placeholder shown to a reader, and an
// entry page that exists.

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>

#include "StageRun.h"
#include "chm/ChmDiagnostics.h"
#include "pipeline/BuildJob.h"
#include "support/Corpus.h"
#include "support/TempDir.h"

namespace plovik::test {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> helps() {
    std::vector<fs::path> all = corpusFiles("chm");
    for (const auto& entry : fs::directory_iterator(dataDir()))
        if (entry.path().extension() == ".chm")
            all.push_back(entry.path());
    return all;
}

std::set<std::string> pagesBelow(const fs::path& root) {
    std::set<std::string> pages;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        const std::string ext = e.path().extension().string();
        if (e.is_regular_file() && (ext == ".htm" || ext == ".html" || ext == ".HTM"))
            pages.insert(fs::relative(e.path(), root).string());
    }
    return pages;
}

class SiteIntegrity : public ::testing::TestWithParam<int> {};

TEST_P(SiteIntegrity, EveryHelpGivesAWorkingSite) {
    setDiagnosticSink(&silentSink());
    const int layout = GetParam();
    const std::regex placeholder(
        R"(\{(tree|header|footor|nav_bar|rel_topics|treeid|root_url|frame_content_file|index_link|search_link|content|metatitle|tree_data|breadcrumbs|canonical|description)\}|\[#(title|charset|content_tree|tree_ids)#\])");
    const std::regex refresh(R"(http-equiv\s*=\s*"?refresh"?[^>]*url\s*=\s*([^"\s>]+))",
                             std::regex::icase);
    int built = 0;
    for (const fs::path& chm : helps()) {
        // The biggest help's no-frame build is left to the browser's corpus test, to keep this
        // one short on a small machine.
        if (layout == 1 && fs::file_size(chm) > 2'000'000)
            continue;
        SCOPED_TRACE(chm.filename().string());
        TempDir raw, out;
        const Extracted stored = extractForBuild(chm.string(), raw.folder(), false);
        BuildJob job;
        job.chmPath = chm.string();
        job.outputFolder = out.folder();
        job.title = "Help";
        job.entryPageName = layout == 0 ? "index.html" : "";
        job.layout = static_cast<Layout>(layout);
        job.buildIndex = job.buildSearch = layout == 0;
        job.templateFolder = sourceDir().string() +
                             (layout == 0 ? "/template/clarity/" : "/template/clarity-noframe/");
        job.runBuild();
        // A help that stores files under the site's own names is told which it lost to them.
        for (const FailedItem& failed : job.result().failed)
            EXPECT_NE(failed.reason.find("replaced by the site's file"), std::string::npos)
                << failed.item << ": " << failed.reason;
        ASSERT_NE(job.result().grade, Grade::Fatal) << job.result().reason;
        ++built;

        const std::set<std::string> site = pagesBelow(out.path());
        for (const std::string& page : stored.help.pageList) {
            if (page.front() == '#' || page.front() == '$')
                continue;
            EXPECT_TRUE(site.count(page)) << page << " was lost";
        }
        ASSERT_FALSE(job.entryPageName.empty());
        EXPECT_TRUE(fs::is_regular_file(out.path() / job.entryPageName)) << job.entryPageName;
        for (const std::string& page : site) {
            const std::string text = readFile(out.path() / page);
            EXPECT_FALSE(std::regex_search(text, placeholder)) << page << " shows a placeholder";
            std::smatch m;
            if (std::regex_search(text, m, refresh)) {
                const fs::path target =
                    (fs::path(page).parent_path() / m[1].str()).lexically_normal();
                EXPECT_NE(target, fs::path(page).lexically_normal())
                    << page << " redirects to itself";
                const auto& stored_pages = stored.help.pageList;
                if (std::find(stored_pages.begin(), stored_pages.end(), page) !=
                    stored_pages.end()) {
                    EXPECT_GE(text.size(), 300u) << page << ", a stored page, became a redirect";
                }
            }
        }
    }
    setDiagnosticSink(nullptr);
    EXPECT_GE(built, 9);  // the repository's own helps at the least
}

INSTANTIATE_TEST_SUITE_P(Layouts, SiteIntegrity, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<int>& p) {
                             return p.param == 0 ? "frame" : "noframe";
                         });

}  // namespace
}  // namespace plovik::test
