#pragma once

// The user-interface side of the dialog server: it lives on the user-interface thread, keeps the
// stack of open dialogs, turns the page's messages into dialog events on that thread, and carries
// the dialogs' commands to the page and their answers back.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "platform/WindowMessages.h"
#include "platform/dialog/DialogServer.h"

namespace plovik {

class CDHtmlDialog;

constexpr unsigned WM_APP = 0x8000;
constexpr unsigned WM_DIALOG_CHANNEL = WM_APP + 1;

class DialogHost {
public:
    explicit DialogHost(DialogServer::ResourceLookup resources);
    ~DialogHost();
    DialogHost(const DialogHost&) = delete;
    DialogHost& operator=(const DialogHost&) = delete;

    bool start();
    DialogServer& server() { return *server_; }

    // ---- used by the dialogs ----
    int openDialog(CDHtmlDialog& dialog);
    void closeDialog(CDHtmlDialog& dialog);
    // Runs the commands on the dialog's document and returns one result per command; when the
    // page does not answer within the time limit (or is not there), every result is null.
    nlohmann::json command(int dialogId, const nlohmann::json& commands);
    // One turn of a message loop on the user-interface thread.
    void pumpOnce(std::chrono::milliseconds timeout);

    // ---- window services ----
    void setTitle(const std::string& title);
    void flashWindow();
    void setBusy(bool busy);
    // While on, closing the browser window asks first (a build runs, or settings are unsaved).
    void setExitGuard(bool on);
    // Opens the address in a new browser tab beside the wizard.
    void navigate(const std::string& url);
    // True while the page has the keyboard focus (as far as the page last said).
    bool isActive() const { return active_; }

    // Called once when the page has been gone for longer than the grace time.
    std::function<void()> onPageGone;
    // Called after every round of the message loop, in any dialog's loop, for work that waits
    // for a quiet moment or for its time.
    std::function<void()> onIdle;
    std::chrono::milliseconds pageGoneGrace{5000};
    std::chrono::milliseconds commandTimeout{5000};

private:
    void onServerMessage(const std::string& text);  // server thread
    void onServerDisconnect();                      // server thread
    void handleChannel();                           // user-interface thread
    void dispatch(const nlohmann::json& message);
    void sendOpen(const CDHtmlDialog& dialog);
    CDHtmlDialog* findDialog(int id) const;

    std::unique_ptr<DialogServer> server_;
    MessageWindow window_;
    std::vector<CDHtmlDialog*> stack_;
    int nextDialogId_ = 1;
    bool active_ = true;

    std::mutex mutex_;  // guards the fields below, shared with the server thread
    std::deque<nlohmann::json> inbox_;
    std::map<long long, std::optional<nlohmann::json>> replies_;
    std::condition_variable replied_;
    long long nextSeq_ = 1;
    std::optional<std::chrono::steady_clock::time_point> goneSince_;
    bool goneReported_ = false;
};

}  // namespace plovik
