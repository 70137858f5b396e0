// The script a frame-layout topic loads so that the blocks the build adds to it stay visible.
#pragma once

#include <string_view>

namespace plovik {

// Where the script is written, relative to the site's root.
std::string_view topicFitScriptName();
std::string_view topicFitScript();

}  // namespace plovik
