#include "platform/dialog/LaunchPage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <system_error>
#include <vector>

namespace plovik {

namespace {

// A folder of the user's own for the page: the session's runtime folder (already private) when
// there is one, else the temporary folder; mkdtemp makes it 0700 either way.
std::filesystem::path privateFolder() {
    std::vector<std::string> bases;
    for (const char* variable : {"XDG_RUNTIME_DIR", "TMPDIR"})
        if (const char* value = std::getenv(variable); value && *value == '/')
            bases.emplace_back(value);
    bases.emplace_back("/tmp");
    for (const auto& base : bases) {
        std::string pattern = base + "/plovik-XXXXXX";
        if (::mkdtemp(pattern.data()))
            return pattern;
    }
    return {};
}

}  // namespace

std::string LaunchPage::markup(unsigned short port, std::string_view token) {
    // The token is hexadecimal: nothing in it needs escaping.
    const std::string action = "http://127.0.0.1:" + std::to_string(port) + "/";
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Plovik</title></head>\n"
           "<body><form id=\"launch\" method=\"post\" action=\"" +
           action + "\"><input type=\"hidden\" name=\"token\" value=\"" + std::string(token) +
           "\"><noscript><button>Open Plovik</button></noscript></form>\n"
           "<script>document.getElementById('launch').submit();</script></body></html>\n";
}

LaunchPage::LaunchPage(unsigned short port, std::string_view token) {
    folder_ = privateFolder();
    if (folder_.empty())
        return;
    const std::filesystem::path file = folder_ / "launch.html";
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    const std::string text = markup(port, token);
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    if (::close(fd) == 0 && done == text.size())
        file_ = file;
}

LaunchPage::~LaunchPage() {
    if (folder_.empty())
        return;
    std::error_code ec;
    std::filesystem::remove(folder_ / "launch.html", ec);
    std::filesystem::remove(folder_, ec);
}

std::string LaunchPage::url() const {
    if (file_.empty())
        return {};
    // Folder names come from the environment: escape what a URL may not hold.
    std::string url = "file://";
    for (unsigned char c : file_.string()) {
        if (std::isalnum(c) ||
            std::string_view("/-._~").find(static_cast<char>(c)) != std::string_view::npos) {
            url += static_cast<char>(c);
        } else {
            static const char* hex = "0123456789ABCDEF";
            url += '%';
            url += hex[c >> 4];
            url += hex[c & 15];
        }
    }
    return url;
}

}  // namespace plovik
