#pragma once

// What the benchmarks share: each measured run is a child process of its own, timed from its
// start to its exit, its peak resident memory read from wait4(); figures are medians over rounds;
// the machine and the file system are named beside them.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

namespace bench {

namespace fs = std::filesystem;

using Clock = std::chrono::steady_clock;

inline double since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Child {
    bool ok = false;
    double seconds = 0;
    long peakKb = 0;
    std::string output;
};

// Runs a program to its end with its standard output captured (or dropped) and its standard
// error dropped.
inline Child run(const std::vector<std::string>& args, bool capture) {
    Child result;
    int pipeFds[2] = {-1, -1};
    if (capture && ::pipe(pipeFds) != 0)
        return result;
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(capture ? pipeFds[1] : null, 1);
        ::dup2(null, 2);
        if (capture) {
            ::close(pipeFds[0]);
            ::close(pipeFds[1]);
        }
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    if (capture) {
        ::close(pipeFds[1]);
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0)
            result.output.append(buffer, static_cast<std::size_t>(n));
        ::close(pipeFds[0]);
    }
    if (pid < 0)
        return result;
    int status = 0;
    struct rusage usage {};
    if (::wait4(pid, &status, 0, &usage) != pid)
        return result;
    result.seconds = since(start);
    result.peakKb = usage.ru_maxrss;
    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return result;
}

inline std::string sevenZip() {
    for (const char* name : {"7zz", "7z"}) {
        if (std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0)
            return name;
    }
    return {};
}

inline std::string cpuName() {
    std::ifstream in("/proc/cpuinfo");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("model name", 0) == 0) {
            const auto colon = line.find(':');
            return colon == std::string::npos ? line : line.substr(colon + 2);
        }
    }
    return "unknown CPU";
}

inline std::string fileSystemOf(const fs::path& path) {
    struct statfs st {};
    if (::statfs(path.c_str(), &st) != 0)
        return "?";
    switch (static_cast<unsigned long>(st.f_type)) {
        case 0x01021994:
            return "tmpfs";
        case 0xEF53:
            return "ext4";
        case 0x58465342:
            return "xfs";
        case 0x9123683E:
            return "btrfs";
        case 0x794C7630:
            return "overlayfs";
        default: {
            char hex[32];
            std::snprintf(hex, sizeof hex, "fs 0x%lx", static_cast<unsigned long>(st.f_type));
            return hex;
        }
    }
}

inline double median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

struct Series {
    std::vector<double> seconds;
    std::vector<double> peakMb;
    bool failed = false;
    void add(const Child& c) {
        failed |= !c.ok;
        seconds.push_back(c.seconds);
        peakMb.push_back(c.peakKb / 1024.0);
    }
    double time() const { return median(seconds); }
    double peak() const { return median(peakMb); }
};

inline std::string selfPath(const char* fallback) {
    std::error_code ec;
    const fs::path p = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(fallback) : p.string();
}

}  // namespace bench
