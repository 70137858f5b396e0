#pragma once

// Relative paths inside a site, '/' between folders. Backslashes are part of names.

#include <string>
#include <string_view>
#include <vector>

namespace plovik {

// The non-empty '/'-separated segments of `path`, in order.
std::vector<std::string_view> pathSegments(std::string_view path);

// Every segment between slashes, empty ones included: "a//b/" gives "a", "", "b", "".
std::vector<std::string_view> splitPath(std::string_view path);

// From the last '.' to the end, the dot included; empty when there is no '.'.
std::string_view extensionOf(std::string_view name);

// The folder part of `relative` with its trailing '/'; "" for a name at the root.
std::string_view folderOf(std::string_view relative);

// What follows the last '/' of `relative`; all of it when there is none.
std::string_view fileNameOf(std::string_view relative);

}  // namespace plovik
