#pragma once

// A file's content read once and served again while the file stays as it was (same size and
// modification time): the no-frame layout pastes the same three files into every page, and the
// contents tree alone can be half a megabyte.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace plovik {

class CachedFile {
public:
    // The content of the file at `path` (binary), or nullptr when it cannot be read. The pointer
    // stays valid until the next call.
    const std::string* get(const std::string& path);
    // Forgets the content, so that the next get() reads the file again.
    void forget() { content_.reset(); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::optional<std::string> content_;
    std::filesystem::file_time_type time_{};
    std::uintmax_t size_ = 0;
};

}  // namespace plovik
