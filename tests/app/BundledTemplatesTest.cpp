// The two bundled templates carry their own copies of the scripts and styles both layouts share.
// A fix made to one copy and not the other would give the two layouts different trees or
// searches, so every file of js/ and css/ that both carry must be the same in both.

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/TextFile.h"
#include "support/Corpus.h"

namespace plovik {
namespace {

namespace fs = std::filesystem;

TEST(BundledTemplates, SharedScriptsAndStylesAreTheSameInBothLayouts) {
    const fs::path frame = test::sourceDir() / "template" / "clarity";
    const fs::path noframe = test::sourceDir() / "template" / "clarity-noframe";
    int shared = 0;
    for (const char* folder : {"js", "css"}) {
        for (const auto& entry : fs::recursive_directory_iterator(frame / folder)) {
            if (!entry.is_regular_file())
                continue;
            const fs::path twin = noframe / entry.path().lexically_relative(frame);
            if (!fs::exists(twin))
                continue;
            ++shared;
            EXPECT_TRUE(readBinaryFile(entry.path()) == readBinaryFile(twin))
                << entry.path().lexically_relative(frame) << " differs between the templates";
        }
    }
    // tree.js, searchcore.js and the rest: a template without them would not be checked at all.
    EXPECT_GE(shared, 8);
}

}  // namespace
}  // namespace plovik
