#pragma once

#include <string>

namespace plovik {

// The application: starts the dialog host, shows the wizard in a browser window and runs it
// until it closes.
class CPlovikApp {
public:
    struct Options {
        std::string projectFile;  // empty: start with the built-in defaults
        bool openBrowser = true;  // false: only print the address
    };
    // Runs the whole program; returns the process's exit status.
    int InitInstance(const Options& options);
};

// Opens the address in a window of its own: a Chromium or Chrome app window when one is installed,
// otherwise the default browser. Failures are not reported.
void openAppWindow(const std::string& url);

}  // namespace plovik
