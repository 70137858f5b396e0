#include "platform/WindowMessages.h"

namespace plovik {

MessageWindow::MessageWindow(Handler handler)
    : owner_(std::this_thread::get_id()), handler_(std::move(handler)) {}

MessageWindow::~MessageWindow() {
    close();
}

void MessageWindow::setHandler(Handler handler) {
    std::lock_guard lock(mutex_);
    handler_ = std::move(handler);
}

LRESULT MessageWindow::dispatch(unsigned message, WPARAM wParam, LPARAM lParam) {
    Handler handler;
    {
        std::lock_guard lock(mutex_);
        handler = handler_;
    }
    return handler ? handler(message, wParam, lParam) : 0;
}

LRESULT MessageWindow::SendMessage(unsigned message, WPARAM wParam, LPARAM lParam) {
    if (isOwnerThread())
        return dispatch(message, wParam, lParam);
    std::promise<LRESULT> reply;
    std::future<LRESULT> result = reply.get_future();
    {
        std::lock_guard lock(mutex_);
        if (closed_)
            return 0;
        queue_.push_back({message, wParam, lParam, &reply});
    }
    arrived_.notify_all();
    // The promise lives on this stack frame until the owner (or close()) has answered it.
    return result.get();
}

void MessageWindow::PostMessage(unsigned message, WPARAM wParam, LPARAM lParam) {
    {
        std::lock_guard lock(mutex_);
        if (closed_)
            return;
        queue_.push_back({message, wParam, lParam, nullptr});
    }
    arrived_.notify_all();
}

size_t MessageWindow::pumpMessages(std::chrono::milliseconds timeout) {
    size_t handled = 0;
    std::unique_lock lock(mutex_);
    if (queue_.empty() && !woken_) {
        arrived_.wait_for(lock, timeout, [&] { return !queue_.empty() || woken_ || closed_; });
    }
    woken_ = false;
    while (!queue_.empty()) {
        Pending next = queue_.front();
        queue_.pop_front();
        lock.unlock();
        LRESULT result = dispatch(next.message, next.wParam, next.lParam);
        if (next.reply)
            next.reply->set_value(result);
        ++handled;
        lock.lock();
    }
    return handled;
}

void MessageWindow::wake() {
    {
        std::lock_guard lock(mutex_);
        woken_ = true;
    }
    arrived_.notify_all();
}

void MessageWindow::close() {
    std::deque<Pending> abandoned;
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        abandoned.swap(queue_);
    }
    for (auto& p : abandoned)
        if (p.reply)
            p.reply->set_value(0);
    arrived_.notify_all();
}

}  // namespace plovik
