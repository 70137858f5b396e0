#pragma once

#include <filesystem>
#include <string>

namespace plovik::test {

// A fresh folder below the system's temporary folder, removed with everything in it when the
// object goes away.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The folder as text with a trailing '/', the form the build job keeps its folders in.
    std::string folder() const { return path_.string() + "/"; }

private:
    std::filesystem::path path_;
};

// Writes bytes to a file, creating its folders; returns the path.
std::filesystem::path writeFile(const std::filesystem::path& path, const std::string& bytes);
// The whole file as bytes, or an empty string when it cannot be read.
std::string readFile(const std::filesystem::path& path);

}  // namespace plovik::test
