#include "chm/ByteSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "chm/ByteReader.h"

namespace plovik {
namespace {

class FileSource final : public ByteSource {
public:
    FileSource(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    ~FileSource() override { ::close(fd_); }
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    std::uint64_t size() const override { return size_; }

    bool read(std::uint64_t offset, void* out, std::size_t count) override {
        if (!fitsWithin(offset, count, size_))
            return false;
        auto* p = static_cast<char*>(out);
        while (count > 0) {
            ssize_t got = ::pread(fd_, p, count, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return false;  // the file shrank under us, or a read error
            p += got;
            offset += static_cast<std::uint64_t>(got);
            count -= static_cast<std::size_t>(got);
        }
        return true;
    }

private:
    int fd_;
    std::uint64_t size_;
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
    std::uint64_t size() const override { return bytes_.size(); }
    bool read(std::uint64_t offset, void* out, std::size_t count) override {
        if (!fitsWithin(offset, count, bytes_.size()))
            return false;
        if (count)
            std::memcpy(out, bytes_.data() + offset, count);
        return true;
    }

private:
    std::string_view bytes_;
};

class OwnedMemorySource final : public ByteSource {
public:
    explicit OwnedMemorySource(std::string bytes) : bytes_(std::move(bytes)), view_(bytes_) {}
    std::uint64_t size() const override { return view_.size(); }
    bool read(std::uint64_t offset, void* out, std::size_t count) override {
        return view_.read(offset, out, count);
    }

private:
    std::string bytes_;
    MemorySource view_;
};

}  // namespace

std::unique_ptr<ByteSource> openFileSource(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<FileSource>(fd, static_cast<std::uint64_t>(st.st_size));
}

std::unique_ptr<ByteSource> memorySource(std::string_view bytes) {
    return std::make_unique<MemorySource>(bytes);
}

std::unique_ptr<ByteSource> ownedMemorySource(std::string bytes) {
    return std::make_unique<OwnedMemorySource>(std::move(bytes));
}

}  // namespace plovik
