#include "app/PlovikApp.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

#include "app/PlovikDlg.h"
#include "app/Resources.h"
#include "pipeline/BuildJob.h"
#include "platform/ProgramFolder.h"
#include "platform/dialog/DialogHost.h"
#include "platform/dialog/LaunchPage.h"
#include "platform/dialog/MimeTypes.h"
#include "platform/dialog/Shell.h"

extern char** environ;

namespace plovik {

namespace {

std::optional<Resource> lookupResource(std::string_view name) {
    auto bytes = findResource(name);
    if (!bytes)
        return std::nullopt;
    return Resource{*bytes, mimeTypeOf(name, true)};
}

std::optional<std::string> findInPath(const std::vector<std::string>& names) {
    const char* path = std::getenv("PATH");
    if (!path)
        return std::nullopt;
    std::string all = path;
    for (const auto& name : names) {
        size_t start = 0;
        while (start <= all.size()) {
            size_t colon = all.find(':', start);
            std::string dir = all.substr(start, colon - start);
            std::filesystem::path candidate = std::filesystem::path(dir.empty() ? "." : dir) / name;
            if (::access(candidate.c_str(), X_OK) == 0)
                return candidate.string();
            if (colon == std::string::npos)
                break;
            start = colon + 1;
        }
    }
    return std::nullopt;
}

}  // namespace

void openAppWindow(const std::string& url) {
    auto browser =
        findInPath({"chromium", "chromium-browser", "google-chrome", "google-chrome-stable"});
    if (!browser)
        return ShellOpen(url);
    std::vector<std::string> args = {*browser, "--app=" + url, "--new-window"};
    // The browser refuses to start as root with its sandbox.
    if (::geteuid() == 0)
        args.push_back("--no-sandbox");
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    if (::posix_spawn(&child, browser->c_str(), nullptr, nullptr, argv.data(), environ) != 0)
        return ShellOpen(url);
    std::thread([child] {
        int status = 0;
        ::waitpid(child, &status, 0);
    }).detach();
}

int CPlovikApp::InitInstance(const Options& options) {
    DialogHost host(lookupResource);
    if (!host.start()) {
        std::fprintf(stderr, "Plovik could not start its window: no local port is free.\n");
        return 1;
    }
    const std::string url = host.server().startUrl();
    std::printf("Plovik is running at %s\n", url.c_str());
    std::fflush(stdout);
    // The browser gets a private page that hands it the token, not the tokened address: a
    // command line is there for every local user to read.
    LaunchPage launch(host.server().port(), host.server().token());
    if (options.openBrowser) {
        if (launch.written())
            openAppWindow(launch.url());
        else
            std::fprintf(stderr,
                         "Plovik could not write its private launch page; open the address "
                         "above in a browser.\n");
    }

    BuildJob job;
    CPlovikDlg dialog(host, job, GetProgramFolder());
    if (!options.projectFile.empty())
        dialog.SetProjectPath(options.projectFile);
    dialog.DoModal();
    host.server().send(R"({"op":"ended"})");
    // Give the page a moment to hear that the program has ended.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    return 0;
}

}  // namespace plovik
