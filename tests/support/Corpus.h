#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace plovik::test {

// Real and hostile CHM files for the regression tests come from two places with the same folders
// (chm/, malformed/, manifests/): tests/data in the repository, which holds a few small ones so
// that a fresh clone runs their tests, and the bigger shared corpus beside the project, which may
// be absent. PLOVIK_CORPUS in the environment (or the PLOVIK_CORPUS_DIR cache option) points the
// shared corpus elsewhere, for instance at a folder that does not exist to see what a fresh
// clone runs. A test whose file is in neither place calls GTEST_SKIP().

// The repository's own test files (tests/data).
std::filesystem::path dataDir();
// The shared corpus, or an empty path when it is not there.
std::filesystem::path sharedCorpusDir();
// One file by its path inside either place ("chm/pychm-example.chm"): the repository's copy when
// it has one, else the shared corpus's, else an empty path.
std::filesystem::path corpusFile(const std::string& relative);
// Every file of one folder ("chm", "malformed") of both places, each name once (the repository's
// copy first), sorted by name.
std::vector<std::filesystem::path> corpusFiles(const std::string& folder);

// A big help file that bench/fetch-inputs.sh put into its cache ("lcl.chm"), or an empty path.
// The cache is $PLOVIK_BENCH_CACHE, else ${XDG_CACHE_HOME:-$HOME/.cache}/plovik-bench.
std::filesystem::path benchInput(const std::string& name);

std::filesystem::path sourceDir();

}  // namespace plovik::test
