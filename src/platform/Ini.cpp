#include "platform/Ini.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <locale>
#include <string>

#include <boost/algorithm/string/predicate.hpp>

#include "platform/TextFile.h"

namespace plovik {

namespace {

// Section and key names match whatever the letter case, as the profile functions did; only ASCII
// letters fold, so that names in any encoding compare by their bytes otherwise.
bool sameName(std::string_view a, std::string_view b) {
    return boost::algorithm::iequals(a, b, std::locale::classic());
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// The section name of a "[name]" line.
std::optional<std::string_view> sectionName(std::string_view line) {
    std::string_view t = trim(line);
    if (t.empty() || t.front() != '[')
        return std::nullopt;
    size_t close = t.find(']');
    if (close == std::string_view::npos)
        return std::nullopt;
    return trim(t.substr(1, close - 1));
}

bool isComment(std::string_view line) {
    std::string_view t = trim(line);
    return !t.empty() && (t.front() == ';' || t.front() == '#');
}

// Key and value of a "key=value" line.
std::optional<std::pair<std::string_view, std::string_view>> keyValue(std::string_view line) {
    if (isComment(line) || sectionName(line))
        return std::nullopt;
    size_t eq = line.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    return std::make_pair(trim(line.substr(0, eq)), trim(line.substr(eq + 1)));
}

}  // namespace

bool IniFile::load(const std::filesystem::path& path) {
    auto raw = readBinaryFile(path);
    parse(raw ? *raw : std::string_view{});
    return raw.has_value();
}

Outcome IniFile::loadChecked(const std::filesystem::path& path) {
    parse({});
    std::string why;
    auto raw = readRegularFile(path, kMaxFileSize, &why);
    if (!raw)
        return Outcome::fatal(why);
    if (raw->find('\0') != std::string::npos)
        return Outcome::fatal("it holds binary data (NUL bytes), not the text of an INI file");
    parse(*raw);
    bool content = false;
    for (const auto& line : lines_) {
        if (sectionName(line.raw))
            return Outcome::ok();
        content = content || !(trim(line.raw).empty() || isComment(line.raw));
    }
    if (content) {
        parse({});
        return Outcome::fatal("it is not an INI file: it has no [section] line");
    }
    return Outcome::ok();
}

void IniFile::parse(std::string_view text) {
    lines_.clear();
    eol_ = "\n";
    // Editors that write a byte order mark would otherwise hide the first section behind it.
    bom_ = text.substr(0, 3) == "\xEF\xBB\xBF";
    if (bom_)
        text.remove_prefix(3);
    size_t firstLf = text.find('\n');
    if (firstLf != std::string_view::npos && firstLf > 0 && text[firstLf - 1] == '\r')
        eol_ = "\r\n";
    size_t start = 0;
    while (start < text.size()) {
        size_t lf = text.find('\n', start);
        size_t end = (lf == std::string_view::npos) ? text.size() : lf;
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines_.push_back({std::string(line)});
        start = (lf == std::string_view::npos) ? text.size() : lf + 1;
    }
}

std::optional<size_t> IniFile::findSection(std::string_view section) const {
    for (size_t i = 0; i < lines_.size(); ++i) {
        auto name = sectionName(lines_[i].raw);
        if (name && sameName(*name, section))
            return i;
    }
    return std::nullopt;
}

size_t IniFile::sectionEnd(size_t sectionLine) const {
    size_t i = sectionLine + 1;
    while (i < lines_.size() && !sectionName(lines_[i].raw))
        ++i;
    return i;
}

std::optional<size_t> IniFile::findKey(size_t sectionLine, std::string_view key) const {
    size_t end = sectionEnd(sectionLine);
    for (size_t i = sectionLine + 1; i < end; ++i) {
        auto kv = keyValue(lines_[i].raw);
        if (kv && sameName(kv->first, key))
            return i;
    }
    return std::nullopt;
}

std::optional<std::string> IniFile::get(std::string_view section, std::string_view key) const {
    auto s = findSection(section);
    if (!s)
        return std::nullopt;
    auto k = findKey(*s, key);
    if (!k)
        return std::nullopt;
    return std::string(keyValue(lines_[*k].raw)->second);
}

void IniFile::set(std::string_view section, std::string_view key, std::string_view value) {
    auto s = findSection(section);
    if (!s) {
        if (!lines_.empty() && !trim(lines_.back().raw).empty())
            lines_.push_back({""});
        lines_.push_back({"[" + std::string(section) + "]"});
        lines_.push_back({std::string(key) + "=" + std::string(value)});
        return;
    }
    if (auto k = findKey(*s, key)) {
        // Keep the key as it is spelt in the file; only the value changes.
        std::string& raw = lines_[*k].raw;
        raw = std::string(trim(raw.substr(0, raw.find('=')))) + "=" + std::string(value);
        return;
    }
    // After the section's last non-blank line, so blank lines between sections stay between them.
    size_t insertAt = sectionEnd(*s);
    while (insertAt > *s + 1 && trim(lines_[insertAt - 1].raw).empty())
        --insertAt;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt),
                  {std::string(key) + "=" + std::string(value)});
}

std::string IniFile::text() const {
    std::string out = bom_ ? "\xEF\xBB\xBF" : "";
    for (const auto& line : lines_) {
        out += line.raw;
        out += eol_;
    }
    return out;
}

namespace {

// The file a name ends at, every link on the way to it followed; a name that is no link is
// itself. Links that lead in a circle end where the system would give up too.
std::filesystem::path followLinks(std::filesystem::path path) {
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(path, ec)))
            return path;
        std::filesystem::path target = std::filesystem::read_symlink(path, ec);
        if (ec)
            return path;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return path;
}

}  // namespace

Outcome IniFile::save(const std::filesystem::path& path) const {
    static std::atomic<unsigned> counter{0};
    const std::string data = text();
    // Saving through a link writes what it points to: the link is the user's way of keeping the
    // file elsewhere, and replacing it with a file of its own would leave the real one stale.
    const std::filesystem::path target = followLinks(path);
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode))
        return Outcome::fatal("it is a folder");
    if (exists && !S_ISREG(existing.st_mode))
        return Outcome::fatal("it is not a regular file (a pipe, a device or a socket)");
    std::filesystem::path temp =
        target.parent_path() /
        (".plovik-save-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return Outcome::fatal(std::strerror(errno));
    int error = 0;
    if (exists) {
        // The new file takes the old one's place with its permissions and, where allowed, its
        // owner; a user who may not give files away still saves, and owns the new file.
        if (::fchmod(fd, existing.st_mode & 07777) != 0)
            error = errno;
        (void)!::fchown(fd, existing.st_uid, existing.st_gid);
    }
    size_t done = 0;
    while (error == 0 && done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            break;
        }
        done += static_cast<size_t>(n);
    }
    // The data must be on disk before the rename makes it the file.
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temp.c_str(), target.c_str()) != 0)
        error = errno;
    if (error == 0)
        return Outcome::ok();
    ::unlink(temp.c_str());
    return Outcome::fatal(std::strerror(error));
}

int parseProfileInt(std::string_view value) {
    value = trim(value);
    bool negative = false;
    size_t i = 0;
    if (i < value.size() && (value[i] == '-' || value[i] == '+'))
        negative = value[i++] == '-';
    long long n = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
        n = n * 10 + (value[i] - '0');
        if (n > INT_MAX)
            n = INT_MAX + 1LL;  // saturate instead of overflowing
    }
    if (negative)
        n = -n;
    if (n > INT_MAX)
        n = INT_MAX;
    if (n < INT_MIN)
        n = INT_MIN;
    return static_cast<int>(n);
}

}  // namespace plovik
