#include "text/PathSegments.h"

namespace plovik {

std::vector<std::string_view> splitPath(std::string_view path) {
    std::vector<std::string_view> segments;
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = path.find('/', start);
        if (slash == std::string_view::npos) {
            segments.push_back(path.substr(start));
            return segments;
        }
        segments.push_back(path.substr(start, slash - start));
        start = slash + 1;
    }
}

std::vector<std::string_view> pathSegments(std::string_view path) {
    std::vector<std::string_view> segments = splitPath(path);
    std::erase_if(segments, [](std::string_view s) { return s.empty(); });
    return segments;
}

std::string_view extensionOf(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view{} : name.substr(dot);
}

std::string_view folderOf(std::string_view relative) {
    const std::size_t slash = relative.rfind('/');
    return slash == std::string_view::npos ? std::string_view{} : relative.substr(0, slash + 1);
}

std::string_view fileNameOf(std::string_view relative) {
    return relative.substr(folderOf(relative).size());
}

}  // namespace plovik
