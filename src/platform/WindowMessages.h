#pragma once

// Window messages between the build worker and the window that shows its progress. A window is
// owned by the thread that created it; its handler runs only on that thread. A send from another
// thread queues the message and blocks the sender until the owner thread has handled it, which is
// what lets the build job hand over one log text at a time without a lock. A send from the owner
// thread itself calls the handler directly.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

namespace plovik {

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

constexpr unsigned WM_CLOSE = 0x0010;
constexpr unsigned WM_USER = 0x0400;
constexpr unsigned WM_BUILD_LOG = WM_USER + 100;   // 1124
constexpr unsigned WM_BUILD_DONE = WM_USER + 102;  // 1126

class MessageWindow {
public:
    using Handler = std::function<LRESULT(unsigned message, WPARAM wParam, LPARAM lParam)>;

    // The calling thread becomes the owner.
    explicit MessageWindow(Handler handler = {});
    ~MessageWindow();
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    void setHandler(Handler handler);

    // Delivers the message to the handler on the owner thread and returns its result. Returns 0
    // without delivering once the window has been closed for messages.
    LRESULT SendMessage(unsigned message, WPARAM wParam, LPARAM lParam);
    // Queues the message and returns at once.
    void PostMessage(unsigned message, WPARAM wParam, LPARAM lParam);

    // Owner thread only: handles every queued message; when none is queued, waits up to `timeout`
    // for one. Returns how many were handled.
    size_t pumpMessages(std::chrono::milliseconds timeout);
    // Ends a wait in pumpMessages without a message.
    void wake();
    // Refuses all further messages and releases every sender still waiting (their sends return 0).
    void close();

    bool isOwnerThread() const { return std::this_thread::get_id() == owner_; }

private:
    struct Pending {
        unsigned message;
        WPARAM wParam;
        LPARAM lParam;
        std::promise<LRESULT>* reply;  // null for a posted message
    };

    LRESULT dispatch(unsigned message, WPARAM wParam, LPARAM lParam);

    std::thread::id owner_;
    Handler handler_;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<Pending> queue_;
    bool closed_ = false;
    bool woken_ = false;
};

// The platform's spelling, so that callers read like the rest of the program.
inline LRESULT SendMessageW(MessageWindow* window, unsigned message, WPARAM wParam, LPARAM lParam) {
    return window ? window->SendMessage(message, wParam, lParam) : 0;
}

}  // namespace plovik
