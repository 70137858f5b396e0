#pragma once

#include <string>
#include <string_view>

namespace plovik {

// Text as it must stand inside HTML markup or an attribute value: names of files and folders and
// message texts are shown, never parsed as markup.
inline std::string escapeHtml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace plovik
