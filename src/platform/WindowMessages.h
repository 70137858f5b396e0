#pragma once

// Window messages, as a desktop program's threads exchange them. Every thread that creates
// windows has one message queue; a window's handler runs only on that thread, when the thread
// pumps its queue (which handles the messages of all its windows, nested loops included). A send
// from another thread queues the message and blocks the sender until the owner thread has handled
// it, which is what lets the build job hand over one log text at a time without a lock. A send
// from the owner thread itself calls the handler directly.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace plovik {

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

constexpr unsigned WM_CLOSE = 0x0010;
constexpr unsigned WM_USER = 0x0400;

class MessageWindow;

class MessageQueue {
public:
    // The calling thread's queue, made on first use.
    static std::shared_ptr<MessageQueue> forCurrentThread();

    // Owner thread only: handles every queued message; when none is queued, waits up to `timeout`
    // for one. Returns how many were handled.
    size_t pump(std::chrono::milliseconds timeout);
    // Ends a wait in pump() without a message.
    void wake();
    bool isOwnerThread() const { return std::this_thread::get_id() == owner_; }

    MessageQueue();
    MessageQueue(const MessageQueue&) = delete;
    MessageQueue& operator=(const MessageQueue&) = delete;

private:
    friend class MessageWindow;
    // Where a sending thread receives its answers. A build sends one message per log text, a
    // hundred thousand for a big help, so the sender waits on an atomic (which spins briefly
    // before it sleeps) rather than on a promise with a mutex and condition variable of its own.
    // Each thread has one, for its whole life, because the owner may still be inside notify
    // when the sender has already seen the answer and gone on.
    struct Reply {
        std::atomic<unsigned> answered{0};  // the number of the last message answered
        unsigned sent = 0;                  // the number of the message waiting, sender only
        LRESULT value = 0;
        void set(LRESULT result) {
            value = result;
            answered.store(sent, std::memory_order_release);
            answered.notify_one();
        }
        LRESULT wait() {
            for (unsigned seen; (seen = answered.load(std::memory_order_acquire)) != sent;)
                answered.wait(seen, std::memory_order_acquire);
            return value;
        }
        static Reply& forCurrentThread() {
            thread_local Reply reply;
            return reply;
        }
    };
    struct Pending {
        MessageWindow* window;
        unsigned message;
        WPARAM wParam;
        LPARAM lParam;
        Reply* reply;  // null for a posted message
    };
    // False when the window no longer takes messages.
    bool push(const Pending& pending);
    // Answers 0 to every message still queued for the window.
    void discard(MessageWindow* window);

    std::thread::id owner_;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<Pending> queue_;
    bool woken_ = false;
    bool sleeping_ = false;               // the owner waits on arrived_; under mutex_
    std::atomic<std::size_t> queued_{0};  // queue_.size(), readable without the lock
};

class MessageWindow {
public:
    using Handler = std::function<LRESULT(unsigned message, WPARAM wParam, LPARAM lParam)>;

    // The window belongs to the calling thread.
    explicit MessageWindow(Handler handler = {});
    ~MessageWindow();
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    void setHandler(Handler handler);

    // Delivers the message to the handler on the owner thread and returns its result. Returns 0
    // without delivering once the window has been closed.
    LRESULT SendMessage(unsigned message, WPARAM wParam, LPARAM lParam);
    // Queues the message and returns at once.
    void PostMessage(unsigned message, WPARAM wParam, LPARAM lParam);

    // Owner thread only: pumps the thread's queue (see MessageQueue::pump).
    size_t pumpMessages(std::chrono::milliseconds timeout) { return queue_->pump(timeout); }
    void wake() { queue_->wake(); }
    // Refuses all further messages and releases every sender still waiting (their sends return 0).
    void close();
    bool isClosed() const;

    bool isOwnerThread() const { return queue_->isOwnerThread(); }
    MessageQueue& queue() { return *queue_; }

private:
    friend class MessageQueue;
    LRESULT dispatch(unsigned message, WPARAM wParam, LPARAM lParam);

    std::shared_ptr<MessageQueue> queue_;
    mutable std::mutex mutex_;
    Handler handler_;
    bool closed_ = false;
};

// The platform's spelling, so that callers read like the rest of the program.
inline LRESULT SendMessageW(MessageWindow* window, unsigned message, WPARAM wParam, LPARAM lParam) {
    return window ? window->SendMessage(message, wParam, lParam) : 0;
}

}  // namespace plovik
