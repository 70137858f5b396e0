#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace plovik {

// The frame layout's entry page named after the help title ("<title>.html" is formed by the
// caller): a '/' would reach into another folder, and a control character makes a name that
// servers and browsers mangle, so each of them becomes '_'.
std::string safeEntryFileName(std::string_view title);

// The entry page's name when the help has a page of the name asked for: the title's, made safe,
// and never another page of the help either (matched without regard to ASCII case), or writing
// it would destroy that page.
std::string entryNameFromTitle(std::string_view title, const std::vector<std::string>& pages);

// Whether `name` is one of `pages`, ASCII case ignored.
bool isOneOfPages(const std::vector<std::string>& pages, std::string_view name);

}  // namespace plovik
