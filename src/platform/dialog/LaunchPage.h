#pragma once

// How the browser gets the wizard's one-time token without it standing on a command line, where
// every local user can read it (/proc/PID/cmdline): a small page, readable by the user alone in
// a folder of its own, that posts the token to the local server as soon as the browser opens it.
// The browser is started with the page's file address instead of the tokened one, as local
// notebook servers do.

#include <filesystem>
#include <string>
#include <string_view>

namespace plovik {

class LaunchPage {
public:
    // Writes the page for the server on 127.0.0.1:`port`; written() tells whether that worked.
    LaunchPage(unsigned short port, std::string_view token);
    // Removes the page and its folder: the token means nothing once the program has ended.
    ~LaunchPage();
    LaunchPage(const LaunchPage&) = delete;
    LaunchPage& operator=(const LaunchPage&) = delete;

    bool written() const { return !file_.empty(); }
    const std::filesystem::path& file() const { return file_; }
    // The page's file:// address, for the browser's command line.
    std::string url() const;

    // The page's text, for its tests.
    static std::string markup(unsigned short port, std::string_view token);

private:
    std::filesystem::path folder_;
    std::filesystem::path file_;
};

}  // namespace plovik
