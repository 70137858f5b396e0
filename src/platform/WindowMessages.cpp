#include "platform/WindowMessages.h"

namespace plovik {

std::shared_ptr<MessageQueue> MessageQueue::forCurrentThread() {
    thread_local std::shared_ptr<MessageQueue> queue = std::make_shared<MessageQueue>();
    return queue;
}

MessageQueue::MessageQueue() : owner_(std::this_thread::get_id()) {}

bool MessageQueue::push(const Pending& pending) {
    bool wakeOwner;
    {
        std::lock_guard lock(mutex_);
        if (pending.window->isClosed())
            return false;
        queue_.push_back(pending);
        queued_.store(queue_.size(), std::memory_order_release);
        wakeOwner = sleeping_;
    }
    if (wakeOwner)
        arrived_.notify_all();
    return true;
}

void MessageQueue::discard(MessageWindow* window) {
    std::deque<Pending> dropped;
    {
        std::lock_guard lock(mutex_);
        for (auto it = queue_.begin(); it != queue_.end();) {
            if (it->window == window) {
                dropped.push_back(*it);
                it = queue_.erase(it);
                queued_.store(queue_.size(), std::memory_order_release);
            } else {
                ++it;
            }
        }
    }
    for (auto& p : dropped)
        if (p.reply)
            p.reply->set(0);
}

size_t MessageQueue::pump(std::chrono::milliseconds timeout) {
    size_t handled = 0;
    // A worker that logs sends its next message within microseconds of the last answer; looking
    // for it briefly before going to sleep saves two thread switches per message.
    if (timeout.count() > 0) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(50);
        while (queued_.load(std::memory_order_acquire) == 0 &&
               std::chrono::steady_clock::now() < until)
            std::this_thread::yield();
    }
    std::unique_lock lock(mutex_);
    if (queue_.empty() && !woken_) {
        sleeping_ = true;
        arrived_.wait_for(lock, timeout, [&] { return !queue_.empty() || woken_; });
        sleeping_ = false;
    }
    woken_ = false;
    while (!queue_.empty()) {
        Pending next = queue_.front();
        queue_.pop_front();
        queued_.store(queue_.size(), std::memory_order_release);
        lock.unlock();
        LRESULT result = next.window->dispatch(next.message, next.wParam, next.lParam);
        if (next.reply)
            next.reply->set(result);
        ++handled;
        lock.lock();
    }
    return handled;
}

void MessageQueue::wake() {
    bool wakeOwner;
    {
        std::lock_guard lock(mutex_);
        woken_ = true;
        wakeOwner = sleeping_;
    }
    if (wakeOwner)
        arrived_.notify_all();
}

MessageWindow::MessageWindow(Handler handler)
    : queue_(MessageQueue::forCurrentThread()), handler_(std::move(handler)) {}

MessageWindow::~MessageWindow() {
    close();
}

void MessageWindow::setHandler(Handler handler) {
    std::lock_guard lock(mutex_);
    handler_ = std::move(handler);
}

bool MessageWindow::isClosed() const {
    std::lock_guard lock(mutex_);
    return closed_;
}

LRESULT MessageWindow::dispatch(unsigned message, WPARAM wParam, LPARAM lParam) {
    Handler handler;
    {
        std::lock_guard lock(mutex_);
        if (closed_)
            return 0;
        handler = handler_;
    }
    return handler ? handler(message, wParam, lParam) : 0;
}

LRESULT MessageWindow::SendMessage(unsigned message, WPARAM wParam, LPARAM lParam) {
    if (isOwnerThread())
        return dispatch(message, wParam, lParam);
    MessageQueue::Reply& reply = MessageQueue::Reply::forCurrentThread();
    ++reply.sent;
    if (!queue_->push({this, message, wParam, lParam, &reply}))
        return 0;
    return reply.wait();
}

void MessageWindow::PostMessage(unsigned message, WPARAM wParam, LPARAM lParam) {
    queue_->push({this, message, wParam, lParam, nullptr});
}

void MessageWindow::close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }
    queue_->discard(this);
}

}  // namespace plovik
