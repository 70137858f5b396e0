#pragma once

// A stand-in for the browser: connects to the dialog host's channel like the shell page does and
// keeps every dialog's elements in memory, so dialog logic can be tested without a browser.

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "platform/dialog/DialogServer.h"

namespace plovik::test {

struct FakeElement {
    std::string value;
    bool checked = false;
    int selectedIndex = 0;
    int radio = 0;
    std::string html;
    bool hidden = false;
    std::string className;
};

class FakePage {
public:
    explicit FakePage(DialogServer& server);
    ~FakePage();

    struct Dialog {
        int id = 0;
        std::string page;
        std::string caption;
        std::map<std::string, FakeElement> elements;
        std::vector<std::string> clicks;  // ids the program clicked, in order
        int commands = 0;                 // command messages received
    };

    // What the page does when a dialog of that page opens (after it has reported "loaded"):
    // runs on the page's thread; use set() and click() inside.
    void onOpen(const std::string& page, std::function<void(FakePage&, int dlg)> action);

    // Sends an event as the user's action would.
    void click(int dlg, const std::string& id) { event(dlg, id, "click"); }
    void event(int dlg, const std::string& id, const std::string& ev);
    void set(int dlg, const std::string& id, const std::function<void(FakeElement&)>& change);

    // A copy of the dialog's state (the last one opened of that page when dlg is 0).
    Dialog dialog(const std::string& page);
    std::vector<std::string> openedPages();
    bool isOpen(const std::string& page);

private:
    void run();
    void send(const nlohmann::json& message);
    nlohmann::json apply(Dialog& d, const nlohmann::json& cmd);

    DialogServer& server_;
    std::mutex mutex_;
    std::map<int, Dialog> open_;
    std::map<std::string, Dialog> lastClosed_;
    std::vector<std::string> opened_;
    std::map<std::string, std::function<void(FakePage&, int)>> actions_;
    std::function<void(const std::string&)> writer_;
    std::thread thread_;
    std::vector<std::thread> actors_;
    std::chrono::steady_clock::time_point lastCommand_;
    bool stop_ = false;
};

}  // namespace plovik::test
