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

// Whether following the link would run script or show made-up content instead of a page:
// "javascript:", "vbscript:" and "data:" in any case, also with the blanks and control bytes
// before and inside the scheme that browsers pass over.
bool isScriptLink(std::string_view link);

// A stored file's name as a link from the site's root: the bytes a URL or an attribute cannot
// hold as they are (blanks, quotes, '%', '#', '?', '<', '>', '&', '+', '\\', control bytes)
// become %XX. ('+' because a contents local reads it as a blank.)
std::string linkToStoredName(std::string_view name);

}  // namespace plovik
