#pragma once

// Links between the pages of the generated site. Pages are named by their path relative to the
// output folder ('/' between folders); a link written into a page reaches the site root through
// one "../" per folder level of that page.

#include <string>
#include <string_view>

namespace plovik {

// Whether the link names a scheme that leads out of the site (a web address, a mail link, a
// script), so that no path may be put in front of it.
bool isExternalLink(std::string_view link);

// "../" once per folder level of the page: empty for a page in the output folder itself.
std::string rootPrefixOf(std::string_view relPath);

// A link to `target` (relative to the output folder) written into the page `relPath`: the root
// prefix of the page followed by the target's non-empty '/'-segments. An external link is
// returned unchanged.
std::string linkFromPage(std::string_view target, std::string_view relPath);

}  // namespace plovik
