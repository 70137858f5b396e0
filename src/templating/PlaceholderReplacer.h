#pragma once

// The template replacement rule, in time linear in the text: for each (placeholder, value) pair
// in turn, the first occurrence of the placeholder is replaced by the value and the search starts
// again from the beginning, until none is left; a value that holds its own placeholder is not
// searched again (the search resumes after it), so that the rule ends.
//
// Every template filling goes through here. Replacing in place would cost a move of the rest of
// the text per occurrence, which a no-frame page cannot afford: each of them holds the whole
// contents tree, with one "{root_url}" per node.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace plovik {

// (placeholder, value); the texts must outlive the call.
using PlaceholderPair = std::pair<std::string_view, std::string_view>;

void replacePlaceholders(std::string& text, const std::vector<PlaceholderPair>& pairs);

}  // namespace plovik
