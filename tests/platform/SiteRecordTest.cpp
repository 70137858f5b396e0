#include "platform/SiteRecord.h"

#include <gtest/gtest.h>

#include "platform/TextFile.h"
#include "support/TempDir.h"

namespace plovik {
namespace {

// Two builds of one site must leave the same record, whatever order the file system lists the
// files in (on tmpfs the order they were made in, which a build on two threads changes); and a
// file the build did not touch is the user's, not the build's.
TEST(SiteRecord, ListsWhatTheBuildWroteInNameOrder) {
    test::TempDir dir;
    test::writeFile(dir.path() / "mine.txt", "the user's");
    const FolderSnapshot before = snapshotOf(dir.path());
    for (const char* name : {"z.html", "js/b.js", "a.html", "js/a.js", "M.html"})
        test::writeFile(dir.path() / name, "built");
    ASSERT_TRUE(recordSite(dir.path(), before));
    EXPECT_EQ(readBinaryFile(dir.path() / std::string(kSiteRecordName)).value_or("?"),
              "M.html\na.html\njs/a.js\njs/b.js\nz.html\n");
}

}  // namespace
}  // namespace plovik
