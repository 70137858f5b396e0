#include "support/Corpus.h"

#include <cstdlib>
#include <map>

namespace plovik::test {

namespace fs = std::filesystem;

fs::path dataDir() {
    return PLOVIK_DATA_DIR;
}

fs::path sharedCorpusDir() {
    const char* env = std::getenv("PLOVIK_CORPUS");
    const fs::path dir = env && *env ? fs::path(env) : fs::path(PLOVIK_CORPUS_DIR);
    std::error_code ec;
    // A folder without chm/ is not the corpus (an unset or mistyped option); treat it as absent
    // so that its tests skip rather than fail.
    if (!fs::is_directory(dir / "chm", ec))
        return {};
    return fs::canonical(dir, ec);
}

fs::path corpusFile(const std::string& relative) {
    std::error_code ec;
    for (const fs::path& root : {dataDir(), sharedCorpusDir()}) {
        if (!root.empty() && fs::is_regular_file(root / relative, ec))
            return root / relative;
    }
    return {};
}

std::vector<fs::path> corpusFiles(const std::string& folder) {
    std::map<std::string, fs::path> byName;
    for (const fs::path& root : {dataDir(), sharedCorpusDir()}) {
        std::error_code ec;
        if (root.empty() || !fs::is_directory(root / folder, ec))
            continue;
        for (const auto& entry : fs::directory_iterator(root / folder, ec)) {
            if (entry.is_regular_file(ec))
                byName.emplace(entry.path().filename().string(), entry.path());
        }
    }
    std::vector<fs::path> files;
    for (auto& [name, path] : byName)
        files.push_back(std::move(path));
    return files;
}

fs::path benchInput(const std::string& name) {
    fs::path cache;
    if (const char* dir = std::getenv("PLOVIK_BENCH_CACHE"); dir && *dir)
        cache = dir;
    else if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg)
        cache = fs::path(xdg) / "plovik-bench";
    else if (const char* home = std::getenv("HOME"); home && *home)
        cache = fs::path(home) / ".cache" / "plovik-bench";
    std::error_code ec;
    if (cache.empty() || !fs::is_regular_file(cache / name, ec))
        return {};
    return cache / name;
}

fs::path sourceDir() {
    return PLOVIK_SOURCE_DIR;
}

}  // namespace plovik::test
