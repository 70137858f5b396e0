#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace plovik {

// The frame layout's entry page named after the help title ("<title>.html" is formed by the
// caller): a '/' would reach into another folder, and a control character makes a name that
// servers and browsers mangle, so each of them becomes '_'.
std::string safeEntryFileName(std::string_view title);

// The entry page's name when the help has a file of the name asked for: the title's, made safe,
// and never another file of the help either (matched without regard to ASCII case, as the site
// may be served from a file system that ignores it), or writing it would destroy that file. The
// name is one a file system takes: at most 255 bytes, never hidden, never just ".html".
std::string entryNameFromTitle(std::string_view title, const std::vector<std::string>& files);

// Whether `name` is one of `pages`, ASCII case ignored.
bool isOneOfPages(const std::vector<std::string>& pages, std::string_view name);

// The name among `files` that equals `name` when ASCII case is ignored, or null.
const std::string* storedNameLike(const std::vector<std::string>& files, std::string_view name);

}  // namespace plovik
