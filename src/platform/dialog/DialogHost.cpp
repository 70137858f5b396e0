#include "platform/dialog/DialogHost.h"

#include <algorithm>

#include "platform/dialog/HtmlDialog.h"

namespace plovik {

using nlohmann::json;

DialogHost::DialogHost(DialogServer::ResourceLookup resources) {
    window_.setHandler([this](unsigned message, WPARAM, LPARAM) -> LRESULT {
        if (message == WM_DIALOG_CHANNEL)
            handleChannel();
        return 0;
    });
    DialogServer::Callbacks callbacks;
    callbacks.onMessage = [this](const std::string& text) { onServerMessage(text); };
    callbacks.onDisconnect = [this] { onServerDisconnect(); };
    server_ = std::make_unique<DialogServer>(std::move(resources), std::move(callbacks));
}

DialogHost::~DialogHost() {
    server_->stop();
    window_.close();
}

bool DialogHost::start() {
    return server_->start();
}

void DialogHost::onServerMessage(const std::string& text) {
    json message = json::parse(text, nullptr, false);
    if (!message.is_object())
        return;
    const std::string op = message.value("op", "");
    std::lock_guard lock(mutex_);
    if (op == "reply") {
        // Answered here, on the server's thread: the user-interface thread is waiting for it.
        auto seq = message.value("seq", 0LL);
        auto it = replies_.find(seq);
        if (it != replies_.end()) {
            it->second = message.value("results", json::array());
            replied_.notify_all();
        }
        return;
    }
    if (op == "hello") {
        goneSince_.reset();
        goneReported_ = false;
    }
    inbox_.push_back(std::move(message));
    window_.PostMessage(WM_DIALOG_CHANNEL, 0, 0);
}

void DialogHost::onServerDisconnect() {
    std::lock_guard lock(mutex_);
    goneSince_ = std::chrono::steady_clock::now();
    // Whoever waits for an answer will not get one.
    for (auto& [seq, reply] : replies_)
        if (!reply)
            reply = json();
    replied_.notify_all();
    window_.PostMessage(WM_DIALOG_CHANNEL, 0, 0);
}

void DialogHost::handleChannel() {
    for (;;) {
        json message;
        {
            std::lock_guard lock(mutex_);
            if (inbox_.empty())
                break;
            message = std::move(inbox_.front());
            inbox_.pop_front();
        }
        dispatch(message);
    }
}

CDHtmlDialog* DialogHost::findDialog(int id) const {
    for (CDHtmlDialog* d : stack_)
        if (d->dialogId() == id)
            return d;
    return nullptr;
}

void DialogHost::dispatch(const json& message) {
    const std::string op = message.value("op", "");
    if (op == "hello") {
        // A new (or reloaded) page: show it every dialog that is open, bottom first.
        for (CDHtmlDialog* d : stack_)
            sendOpen(*d);
        return;
    }
    if (op == "focus") {
        active_ = message.value("active", true);
        return;
    }
    CDHtmlDialog* dialog = findDialog(message.value("dlg", 0));
    if (!dialog)
        return;
    if (op == "loaded") {
        dialog->handleLoaded();
    } else if (op == "event") {
        const std::string ev = message.value("ev", "");
        const std::string id = message.value("id", "");
        // Only the top dialog is live; a modal child blocks the ones below it.
        if (dialog != stack_.back())
            return;
        if (ev == "click")
            dialog->handleEvent(CDHtmlDialog::Event::Click, id);
        if (ev == "keyup")
            dialog->handleEvent(CDHtmlDialog::Event::KeyUp, id);
        if (ev == "change")
            dialog->handleEvent(CDHtmlDialog::Event::Change, id);
    } else if (op == "close") {
        if (dialog == stack_.back())
            dialog->GetSafeHwnd()->SendMessage(WM_CLOSE, 0, 0);
    }
}

void DialogHost::sendOpen(const CDHtmlDialog& dialog) {
    json open = {{"op", "open"},
                 {"dlg", dialog.dialogId()},
                 {"res", dialog.page()},
                 {"caption", dialog.caption()},
                 {"width", dialog.width()},
                 {"height", dialog.height()},
                 {"parent", dialog.parent() ? dialog.parent()->dialogId() : 0},
                 {"menuIds", dialog.ContextMenuIds()}};
    server_->send(open.dump());
}

int DialogHost::openDialog(CDHtmlDialog& dialog) {
    dialog.id_ = nextDialogId_++;
    dialog.parent_ = stack_.empty() ? nullptr : stack_.back();
    stack_.push_back(&dialog);
    sendOpen(dialog);
    return dialog.id_;
}

void DialogHost::closeDialog(CDHtmlDialog& dialog) {
    auto it = std::find(stack_.begin(), stack_.end(), &dialog);
    if (it == stack_.end())
        return;
    stack_.erase(it);
    server_->send(json({{"op", "close"}, {"dlg", dialog.id_}}).dump());
    dialog.id_ = 0;
}

json DialogHost::command(int dialogId, const json& commands) {
    const size_t count = commands.is_array() ? commands.size() : 0;
    auto nothing = [count] { return json(std::vector<json>(count)); };
    long long seq;
    {
        std::lock_guard lock(mutex_);
        seq = nextSeq_++;
        replies_[seq] = std::nullopt;
    }
    json message = {{"op", "cmd"}, {"seq", seq}, {"dlg", dialogId}, {"cmds", commands}};
    if (!server_->send(message.dump())) {
        std::lock_guard lock(mutex_);
        replies_.erase(seq);
        return nothing();
    }
    std::unique_lock lock(mutex_);
    replied_.wait_for(lock, commandTimeout, [&] { return replies_[seq].has_value(); });
    std::optional<json> reply = std::move(replies_[seq]);
    replies_.erase(seq);
    if (!reply || !reply->is_array() || reply->size() != count)
        return nothing();
    return *reply;
}

void DialogHost::pumpOnce(std::chrono::milliseconds timeout) {
    window_.pumpMessages(timeout);
    bool gone = false;
    bool report = false;
    {
        std::lock_guard lock(mutex_);
        gone = goneSince_ && std::chrono::steady_clock::now() - *goneSince_ > pageGoneGrace;
        // The first dialog hears of it only once it is the only one open: a child's loop runs
        // above the first dialog's handler, which cannot end the program from inside it.
        if (gone && !goneReported_ && stack_.size() <= 1) {
            goneReported_ = true;
            report = true;
        }
    }
    // Nobody is left to answer a child dialog, so each one ends as cancelled and its loop
    // unwinds (one opened meanwhile as well); a completion dialog so lets the job finish.
    if (gone)
        for (size_t i = 1; i < stack_.size(); ++i)
            if (!stack_[i]->ended_)
                stack_[i]->EndDialog(IDCANCEL);
    if (report && onPageGone)
        onPageGone();
    if (onIdle)
        onIdle();
}

void DialogHost::setTitle(const std::string& title) {
    server_->send(json({{"op", "title"}, {"text", title}}).dump());
}

void DialogHost::flashWindow() {
    server_->send(R"({"op":"flash"})");
}

void DialogHost::setBusy(bool busy) {
    server_->send(json({{"op", "busy"}, {"on", busy}}).dump());
}

void DialogHost::setExitGuard(bool on) {
    server_->send(json({{"op", "guard"}, {"on", on}}).dump());
}

void DialogHost::navigate(const std::string& url) {
    server_->send(json({{"op", "navigate"}, {"url", url}}).dump());
}

}  // namespace plovik
