#pragma once

// The wizard hears of a build as its window hears of anything: through messages that the build's
// worker sends synchronously, one log text at a time, so that the text needs no lock while the
// window reads it.

#include <string>
#include <string_view>

#include "pipeline/BuildObserver.h"
#include "platform/WindowMessages.h"

namespace plovik {

constexpr unsigned WM_BUILD_LOG = WM_USER + 100;     // 1124: lParam 1 completes a counted line
constexpr unsigned WM_BUILD_DONE = WM_USER + 102;    // 1126: the build ran to its end
constexpr unsigned WM_BUILD_FAILED = WM_USER + 103;  // the build ended without a usable site

class WindowBuildObserver : public BuildObserver {
public:
    explicit WindowBuildObserver(MessageWindow* window = nullptr) : window_(window) {}
    void setWindow(MessageWindow* window) { window_ = window; }

    // The log text that the WM_BUILD_LOG being handled carries.
    const std::string& text() const { return text_; }
    // Why the build failed, while WM_BUILD_FAILED is handled.
    const std::string& failure() const { return failure_; }

    void logText(std::string_view text, int lParam) override {
        text_.assign(text);
        SendMessageW(window_, WM_BUILD_LOG, 0, lParam);
    }
    void done() override { SendMessageW(window_, WM_BUILD_DONE, 0, 0); }
    void failed(std::string_view reason) override {
        failure_.assign(reason);
        SendMessageW(window_, WM_BUILD_FAILED, 0, 0);
    }

private:
    MessageWindow* window_;
    std::string text_;
    std::string failure_;
};

}  // namespace plovik
