#include "platform/ProgramFolder.h"

#include <filesystem>
#include <system_error>

namespace plovik {

std::string GetProgramFolder() {
    std::error_code ec;
    // /proc/self/exe names the running file with every link resolved, however it was started.
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty())
        exe = std::filesystem::current_path(ec) / "plovik";
    std::string folder = exe.parent_path().string();
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

}  // namespace plovik
