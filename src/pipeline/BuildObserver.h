#pragma once

// What a build tells whoever started it, as it happens, on the build's own thread. The wizard
// turns it into window messages for its log; the command line prints it or draws a status line.

#include <cstddef>
#include <string_view>

namespace plovik {

// The stages of a build, in the order they run.
enum class BuildStage {
    Extraction,     // unpacking every stored file
    ContentsTree,   // reading the table of contents, writing the tree page
    KeywordIndex,   // the index data and its page
    SearchWords,    // collecting the words of every page
    SearchData,     // writing the search data
    Pages,          // rewriting every page for the layout
    TemplateFiles,  // copying the template's images, scripts and styles
};

class BuildObserver {
public:
    virtual ~BuildObserver() = default;
    // One text of the build log, in order. `lParam` is 1 when the text completes a counted log
    // line (such as "ok"), 0 otherwise.
    virtual void logText(std::string_view text, int lParam) = 0;
    // A stage begins; `items` is how many items it will count (files, pages), 0 when it counts
    // none.
    virtual void stageStarted(BuildStage stage, std::size_t items) {
        (void)stage;
        (void)items;
    }
    // One item of the current stage is done.
    virtual void itemDone() {}
    // The build has stopped at a stop request, before its end.
    virtual void stopped() {}
    // The build ran to its end ("Done." is logged): there is a site, though some of its items
    // may have failed (the build's result says how many).
    virtual void done() {}
    // The build ended without a usable site, for the reason given (the CHM could not be read,
    // nothing could be extracted, no entry page could be written).
    virtual void failed(std::string_view reason) { (void)reason; }
};

}  // namespace plovik
