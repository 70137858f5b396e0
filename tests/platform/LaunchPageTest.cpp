#include "platform/dialog/LaunchPage.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "support/TempDir.h"

namespace plovik {
namespace {

TEST(LaunchPage, IsReadableByTheUserAloneInAFolderOfItsOwnAndGoesAtTheEnd) {
    test::TempDir dir;
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    const std::string previous = saved ? saved : "";
    ::setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
    std::filesystem::path file, folder;
    {
        LaunchPage page(4242, "tokentoken");
        ASSERT_TRUE(page.written());
        file = page.file();
        folder = file.parent_path();
        EXPECT_EQ(folder.parent_path(), dir.path());
        struct stat st {};
        ASSERT_EQ(::stat(folder.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u);
        ASSERT_EQ(::stat(file.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        EXPECT_EQ(test::readFile(file), LaunchPage::markup(4242, "tokentoken"));
        EXPECT_EQ(page.url(), "file://" + file.string());
        // The address for the browser's command line holds no token.
        EXPECT_EQ(page.url().find("tokentoken"), std::string::npos);
    }
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_FALSE(std::filesystem::exists(folder));
    if (saved)
        ::setenv("XDG_RUNTIME_DIR", previous.c_str(), 1);
    else
        ::unsetenv("XDG_RUNTIME_DIR");

    const std::string markup = LaunchPage::markup(4242, "00ff");
    EXPECT_NE(markup.find("method=\"post\" action=\"http://127.0.0.1:4242/\""), std::string::npos);
    EXPECT_NE(markup.find("name=\"token\" value=\"00ff\""), std::string::npos);
}

}  // namespace
}  // namespace plovik
