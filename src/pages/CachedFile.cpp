#include "pages/CachedFile.h"

#include <system_error>

#include "platform/TextFile.h"

namespace plovik {

const std::string* CachedFile::get(const std::string& path) {
    std::error_code ec;
    const auto time = std::filesystem::last_write_time(path, ec);
    const auto size = ec ? 0 : std::filesystem::file_size(path, ec);
    if (ec) {
        content_.reset();
        return nullptr;
    }
    if (!content_ || path != path_ || time != time_ || size != size_) {
        content_ = readBinaryFile(path);
        path_ = path;
        time_ = time;
        size_ = size;
    }
    return content_ ? &*content_ : nullptr;
}

}  // namespace plovik
