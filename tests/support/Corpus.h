#pragma once

#include <filesystem>

namespace plovik::test {

// The shared corpus of real and hostile CHM files beside the project, when it is there.
// Tests that need it call GTEST_SKIP() when corpusDir() is empty.
std::filesystem::path corpusDir();
std::filesystem::path sourceDir();

}  // namespace plovik::test
