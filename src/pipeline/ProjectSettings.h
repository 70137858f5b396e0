#pragma once

// The settings of one build, one field per project-file key.

#include <string>
#include <string_view>

#include "text/Capacity.h"

namespace plovik {

// Placeholders the wizard shows in an empty text area; a text equal to its placeholder means
// "no text".
inline constexpr std::string_view kHeaderPlaceholder =
    "Input the HTML code (your new header) to replace the current template header";
inline constexpr std::string_view kRemoveHeaderPlaceholder =
    "Input the HTML code you want to remove from original page header";
inline constexpr std::string_view kRemoveFooterPlaceholder =
    "Input the HTML code  you want to remove from the original page footer";
// The credit line added to every page unless the user replaces it.
inline constexpr std::string_view kDefaultFooter =
    "<p style=\"text-align:center\"><b>Web help made with <a href=\"https://plovik.example.org/\" "
    "target=\"_blank\">Plovik</a></b></p>";

struct ProjectSettings {
    int version = 0;  // 0 frame layout, 1 no-frame layout
    std::string chmfile;
    std::string outputpath;
    std::string defaultindex;
    int charset = 0;  // 0 convert pages and sitemaps to UTF-8, 1 keep their bytes
    std::string title;
    // Where the site will be served, for search engines (no-frame layout); empty for unknown.
    std::string baseurl;
    int selectedtemplate = 0;
    int shownavbutton = 1;
    int showrelatedtopics = 1;
    int buildindex = 1;
    int buildsearch = 1;
    int isaddheader = 1;
    std::string htmlheader{kHeaderPlaceholder};
    int isaddfooter = 1;
    std::string htmlfooter{kDefaultFooter};
    int isdelhtmlheader = 1;
    std::string delhtmlheader{kRemoveHeaderPlaceholder};
    int isdelhtmlfooter = 1;
    std::string delhtmlfooter{kRemoveFooterPlaceholder};
    int fixlinks = 1;  // repair links for case-sensitive web servers

    bool operator==(const ProjectSettings&) const = default;
};

}  // namespace plovik
