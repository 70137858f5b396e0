// What the build places beside the program, as the catalogue and the Help button expect it.

#include <filesystem>

#include <gtest/gtest.h>

#include "app/TemplateCatalogue.h"

namespace plovik {
namespace {

namespace fs = std::filesystem;

TEST(ProgramFolder, EveryTemplateHasItsPreviewAndSampleAndHelpIsASite) {
    const std::string program = PLOVIK_PROGRAM_DIR "/";
    TemplateCatalogue catalogue;
    catalogue.LoadTemplateCatalogue(program);
    ASSERT_EQ(catalogue.versions.size(), 2u);
    for (const auto& list : catalogue.templates) {
        ASSERT_FALSE(list.empty());
        for (const TplInfo& t : list) {
            SCOPED_TRACE(t.TplName);
            EXPECT_TRUE(fs::is_directory(program + "template/" + t.TplPath));
            EXPECT_TRUE(fs::is_regular_file(program + "template/" + t.TplPvImg)) << t.TplPvImg;
            ASSERT_FALSE(t.TplSample.empty());
            EXPECT_TRUE(fs::is_regular_file(program + t.TplSample)) << t.TplSample;
            // A sample is a whole site, not just its entry page.
            EXPECT_TRUE(fs::is_directory(fs::path(program + t.TplSample).parent_path() / "css"));
        }
    }
    EXPECT_TRUE(fs::is_regular_file(program + "help/index.html"));
    EXPECT_TRUE(fs::is_regular_file(program + "help/HelpSearch.html"));
    EXPECT_TRUE(fs::is_regular_file(program + "Plovik.chm"));
}

}  // namespace
}  // namespace plovik
