#include "support/Corpus.h"

#include <cstdlib>

namespace plovik::test {

std::filesystem::path corpusDir() {
    if (const char* env = std::getenv("PLOVIK_CORPUS"))
        return env;
    std::filesystem::path dir = PLOVIK_CORPUS_DIR;
    std::error_code ec;
    if (std::filesystem::is_directory(dir / "chm", ec))
        return std::filesystem::canonical(dir, ec);
    return {};
}

std::filesystem::path sourceDir() {
    return PLOVIK_SOURCE_DIR;
}

}  // namespace plovik::test
