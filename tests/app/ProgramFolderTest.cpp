// What the build places beside the program, as the catalogue and the Help button expect it.

#include <filesystem>

#include <gtest/gtest.h>

#include "app/TemplateCatalogue.h"
#include "support/TempDir.h"

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

// The templates' images, scripts and styles are copied into every site as they are; where two
// templates carry a file of the same name (the tree's script and styles, the colour scheme, the
// buttons), it is one file kept in two places, and a change to one copy must reach the other.
TEST(ProgramFolder, AssetsThatTemplatesShareAreTheSameFile) {
    const fs::path templates = fs::path(PLOVIK_SOURCE_DIR) / "template";
    std::vector<fs::path> folders;
    for (const auto& entry : fs::directory_iterator(templates))
        if (fs::is_regular_file(entry.path() / "HelpContent.tpl"))
            folders.push_back(entry.path());
    ASSERT_GE(folders.size(), 2u);
    int shared = 0;
    for (std::size_t a = 0; a < folders.size(); ++a) {
        for (std::size_t b = a + 1; b < folders.size(); ++b) {
            for (const char* assets : {"images", "css", "js"}) {
                if (!fs::is_directory(folders[a] / assets))
                    continue;
                for (const auto& file : fs::recursive_directory_iterator(folders[a] / assets)) {
                    const fs::path twin = folders[b] / fs::relative(file.path(), folders[a]);
                    if (!file.is_regular_file() || !fs::is_regular_file(twin))
                        continue;
                    EXPECT_EQ(test::readFile(file.path()), test::readFile(twin))
                        << file.path() << " and " << twin << " have drifted apart";
                    ++shared;
                }
            }
        }
    }
    EXPECT_GE(shared, 6);
}

}  // namespace
}  // namespace plovik
