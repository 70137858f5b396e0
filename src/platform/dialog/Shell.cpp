#include "platform/dialog/Shell.h"

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace plovik {

void ShellOpen(const std::string& path) {
    if (path.empty())
        return;
    // The shell starts the opener in the background and ends at once, so waiting for it costs
    // nothing and leaves no zombie; the path travels as an argument, never as shell text.
    const char* script = "xdg-open \"$1\" </dev/null >/dev/null 2>&1 &";
    const char* argv[] = {"sh", "-c", script, "sh", path.c_str(), nullptr};
    pid_t child = 0;
    if (::posix_spawnp(&child, "sh", nullptr, nullptr, const_cast<char* const*>(argv), environ) !=
        0)
        return;
    int status = 0;
    ::waitpid(child, &status, 0);
}

}  // namespace plovik
