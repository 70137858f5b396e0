#include "platform/TextFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "platform/OutputFolder.h"

namespace plovik {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

std::optional<std::string> readBinaryFile(const std::filesystem::path& path) {
    // Straight into the string: the build reads every page, and a buffer in between would copy
    // each of them once more.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::string bytes;
    // The size is a hint only: the file may change while it is read, and read() decides.
    struct stat st {};
    std::size_t room = 1 << 16;
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (regular && st.st_size >= 0 &&
        static_cast<std::uintmax_t>(st.st_size) < (std::uintmax_t{1} << 34))
        room = static_cast<std::size_t>(st.st_size) + 1;  // one more, to meet the end at once
    std::size_t filled = 0;
    bool ok = true;
    for (;;) {
        if (bytes.size() == filled)
            bytes.resize(filled + room);
        const ssize_t n = ::read(fd, bytes.data() + filled, bytes.size() - filled);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ok = false;
            break;
        }
        if (n == 0)
            break;
        filled += static_cast<std::size_t>(n);
        // A regular file gives less than asked for only at its end: no read to hear it again.
        if (regular && filled < bytes.size())
            break;
        room = std::max<std::size_t>(room, filled);  // a file that grows: twice the room
    }
    ::close(fd);
    if (!ok)
        return std::nullopt;
    bytes.resize(filled);
    return bytes;
}

std::optional<std::string> readRegularFile(const std::filesystem::path& path, std::size_t maxBytes,
                                           std::string* whyNot) {
    auto refuse = [whyNot](std::string why) -> std::optional<std::string> {
        if (whyNot)
            *whyNot = std::move(why);
        return std::nullopt;
    };
    auto kindOf = [](const struct stat& st) -> std::optional<std::string> {
        if (S_ISDIR(st.st_mode))
            return "it is a folder, not a file";
        if (!S_ISREG(st.st_mode))
            return "it is not a regular file (a pipe, a device or a socket)";
        return std::nullopt;
    };
    // Looked at before it is opened, as opening some devices does something; and once more
    // after, in case the name changed in between (O_NONBLOCK keeps that open from waiting).
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return refuse(std::strerror(errno));
    if (auto kind = kindOf(st))
        return refuse(*kind);
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return refuse(std::strerror(errno));
    std::string bytes;
    std::optional<std::string> why;
    if (::fstat(fd, &st) != 0)
        why = std::strerror(errno);
    else
        why = kindOf(st);
    if (!why && static_cast<std::uintmax_t>(st.st_size) > maxBytes)
        why = "it is too large (" + std::to_string(st.st_size) + " bytes)";
    char buffer[1 << 16];
    while (!why) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            why = std::strerror(errno);
        else if (n == 0)
            break;
        else if (bytes.size() + static_cast<std::size_t>(n) > maxBytes)
            why = "it is too large (more than " + std::to_string(maxBytes) + " bytes)";
        else
            bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (why)
        return refuse(*why);
    return bytes;
}

namespace {

bool writeInPlace(const std::filesystem::path& path, std::string_view bytes) {
    FilePtr file(std::fopen(path.c_str(), "wb"));
    if (!file)
        return false;
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())
        return false;
    return std::fclose(file.release()) == 0;
}

}  // namespace

bool writeBinaryFile(const std::filesystem::path& path, std::string_view bytes) {
    // A device or a pipe named as the file (a report sent to /dev/stdout) is written as it is.
    struct stat old {};
    const bool exists = ::lstat(path.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode) && !S_ISLNK(old.st_mode))
        return writeInPlace(path, bytes);

    // Otherwise the bytes go to a new file beside it, renamed over the name once they are all
    // written: a full disk or a stop leaves the old file whole, and a link at the name is
    // replaced, never written through.
    static std::atomic<unsigned> counter{0};
    static const pid_t process = ::getpid();  // asked once: it is a system call per file
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
    std::filesystem::path temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = folder / (std::string(OutputFolder::kTemporaryPrefix) +
                              std::to_string(process) + "-w" + std::to_string(counter++));
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                    exists && S_ISREG(old.st_mode) ? (old.st_mode & 07777) : 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        // A folder we may not add to may still hold a file we may write.
        return (errno == EACCES || errno == EPERM) && writeInPlace(path, bytes);
    if (exists && S_ISREG(old.st_mode))
        ::fchmod(fd, old.st_mode & 07777);  // the umask must not narrow what the file had
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    bool ok = true;
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

void fromTextModeInPlace(std::string& text) {
    // Each line moves down over the carriage returns removed before it; a file without any is
    // left as it is.
    std::size_t cr = text.find('\r');
    if (cr == std::string::npos)
        return;
    std::size_t to = cr;
    while (cr != std::string::npos) {
        const bool lineEnd = cr + 1 < text.size() && text[cr + 1] == '\n';
        if (!lineEnd)
            text[to++] = '\r';
        const std::size_t from = cr + 1;
        cr = text.find('\r', from);
        const std::size_t end = cr == std::string::npos ? text.size() : cr;
        std::char_traits<char>::move(text.data() + to, text.data() + from, end - from);
        to += end - from;
    }
    text.resize(to);
}

std::string fromTextMode(std::string_view raw) {
    std::string text(raw);
    fromTextModeInPlace(text);
    return text;
}

std::string toTextMode(std::string_view text) {
    std::string raw;
    raw.reserve(text.size() + text.size() / 32);
    // Line by line: generated pages run to megabytes, most of it between line breaks.
    size_t from = 0;
    for (size_t nl; (nl = text.find('\n', from)) != std::string_view::npos; from = nl + 1) {
        raw.append(text.substr(from, nl - from));
        if (nl == 0 || text[nl - 1] != '\r')
            raw.push_back('\r');
        raw.push_back('\n');
    }
    raw.append(text.substr(from));
    return raw;
}

std::optional<std::string> readTextFile(const std::filesystem::path& path) {
    auto raw = readBinaryFile(path);
    if (!raw)
        return std::nullopt;
    fromTextModeInPlace(*raw);
    return raw;
}

bool writeTextFile(const std::filesystem::path& path, std::string_view text) {
    return writeBinaryFile(path, toTextMode(text));
}

}  // namespace plovik
