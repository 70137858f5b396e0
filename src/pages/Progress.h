#pragma once

// What a stage of the build reports to while it works: its log texts, each with the lParam the
// log's window gets (1 when the text completes a counted log line, such as "ok"), and the
// checkpoint of every long loop, where a pause waits and a stop ends the stage.

#include <string_view>

namespace plovik {

class Progress {
public:
    virtual ~Progress() = default;
    virtual void log(std::string_view text, int lParam) = 0;
    // True when the build is to stop: the caller returns at once without doing anything more.
    virtual bool checkStop() = 0;
    // One item of the stage (a file, a page) is done.
    virtual void itemDone() {}
    // One item is lost or incomplete, for the reason given; the stage goes on with the next.
    virtual void itemFailed(std::string_view item, std::string_view reason) {
        (void)item;
        (void)reason;
    }
};

}  // namespace plovik
