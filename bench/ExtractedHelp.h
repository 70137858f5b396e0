#pragma once

// What the benchmarks need to know of an extracted help: its pages and its contents file.

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace plovik::bench {

struct ExtractedHelp {
    std::vector<std::string> pages;  // relative, sorted bytewise
    std::string contentsFile;        // relative, or empty
};

// Every .htm/.html file below `folder` except the generated pages named in `skip`, and the first
// .hhc found.
inline ExtractedHelp surveyExtractedHelp(const std::filesystem::path& folder,
                                         const std::vector<std::string>& skip = {}) {
    namespace fs = std::filesystem;
    ExtractedHelp help;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file())
            continue;
        std::string ext = entry.path().extension().string();
        for (char& c : ext)
            c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
        const std::string rel = entry.path().lexically_relative(folder).generic_string();
        if ((ext == ".htm" || ext == ".html") &&
            std::find(skip.begin(), skip.end(), rel) == skip.end())
            help.pages.push_back(rel);
        if (ext == ".hhc" && help.contentsFile.empty())
            help.contentsFile = rel;
    }
    std::sort(help.pages.begin(), help.pages.end());
    return help;
}

}  // namespace plovik::bench
