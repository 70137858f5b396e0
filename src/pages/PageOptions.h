#pragma once

// What the page processors of both layouts are told of one build: where things are, what to add
// to every page and what to take out of it.

#include <optional>
#include <string>

namespace plovik {

// The two layouts, numbered as project files store them.
enum class Layout { Frame = 0, NoFrame = 1 };

struct PageOptions {
    std::string outputFolder;    // ends with '/'
    std::string templateFolder;  // ends with '/'
    std::string title;
    // The entry page the user asked for (frame layout), or empty.
    std::string entryPageName;
    bool showNavButtons = false;
    bool showRelatedTopics = false;
    // The frame layout's left panel links to the keyword index and the search page.
    bool indexLink = true;
    bool searchLink = true;
    // The generated contents page, relative to the output folder. The no-frame layout only pastes
    // it into every page, so it may be given a name no file of the help has.
    std::string contentsPage = "HelpContent.html";
    // Where the site will be served (an absolute http or https address), or empty. Given, the
    // no-frame pages carry a canonical link and a description of their own, and "sitemap.xml"
    // lists them.
    std::string baseUrl;
    // Pages are UTF-8: whatever the build adds may make them need to say so.
    bool convertCharset = true;
    // Present exactly when the option is on.
    std::optional<std::string> addHeader;
    std::optional<std::string> addFooter;
    std::optional<std::string> removeHeader;
    std::optional<std::string> removeFooter;
};

}  // namespace plovik
