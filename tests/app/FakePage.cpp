#include "FakePage.h"

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>
#include <chrono>
#include <condition_variable>
#include <deque>

namespace plovik::test {

namespace beast = boost::beast;
namespace websocket = beast::websocket;
namespace net = boost::asio;
using nlohmann::json;

namespace {

struct Connection {
    net::io_context ioc;
    websocket::stream<beast::tcp_stream> ws{ioc};
};

}  // namespace

FakePage::FakePage(DialogServer& server) : server_(server) {
    std::mutex ready;
    std::condition_variable connected;
    bool up = false;
    thread_ = std::thread([&, this] {
        Connection c;
        beast::get_lowest_layer(c.ws).connect({net::ip::make_address("127.0.0.1"), server_.port()});
        const std::string host = "127.0.0.1:" + std::to_string(server_.port());
        c.ws.set_option(websocket::stream_base::decorator([&](websocket::request_type& req) {
            req.set(beast::http::field::origin, "http://" + host);
            req.set(beast::http::field::cookie, "plovik=" + server_.token());
        }));
        c.ws.handshake(host, "/ws");
        c.ws.text(true);
        std::mutex writeMutex;
        writer_ = [&](const std::string& text) {
            std::lock_guard lock(writeMutex);
            beast::error_code ec;
            c.ws.write(net::buffer(text), ec);
        };
        {
            // Notified under the lock: once the constructor sees `up` it returns, and its
            // condition variable is gone.
            std::lock_guard lock(ready);
            up = true;
            connected.notify_all();
        }
        // No greeting: this page is there before any dialog opens, so it has nothing to ask for
        // (a greeting is what a reloaded page sends).
        for (;;) {
            beast::flat_buffer buffer;
            beast::error_code ec;
            c.ws.read(buffer, ec);
            if (ec)
                break;
            json m = json::parse(beast::buffers_to_string(buffer.data()), nullptr, false);
            const std::string op = m.value("op", "");
            if (op == "ended")
                break;
            if (op == "open") {
                const int id = m["dlg"];
                const std::string page = m["res"];
                std::function<void(FakePage&, int)> action;
                {
                    std::lock_guard lock(mutex_);
                    Dialog d;
                    d.id = id;
                    d.page = page;
                    d.caption = m.value("caption", "");
                    open_[id] = d;
                    opened_.push_back(page);
                    if (auto it = actions_.find(page); it != actions_.end())
                        action = it->second;
                }
                send({{"op", "loaded"}, {"dlg", id}});
                if (action) {
                    // The user acts once the dialog has settled: it has sent its first commands
                    // and then none for a while, so its OnDocumentComplete is over.
                    std::lock_guard lock(mutex_);
                    actors_.emplace_back([this, action, id] {
                        for (;;) {
                            std::this_thread::sleep_for(std::chrono::milliseconds(20));
                            std::lock_guard quiet(mutex_);
                            if (stop_)
                                return;
                            auto it = open_.find(id);
                            if (it == open_.end())
                                return;
                            if (it->second.commands > 0 &&
                                std::chrono::steady_clock::now() - lastCommand_ >
                                    std::chrono::milliseconds(150))
                                break;
                        }
                        action(*this, id);
                    });
                }
            } else if (op == "close") {
                std::lock_guard lock(mutex_);
                auto it = open_.find(m["dlg"].get<int>());
                if (it != open_.end()) {
                    lastClosed_[it->second.page] = it->second;
                    open_.erase(it);
                }
            } else if (op == "cmd") {
                json results = json::array();
                {
                    std::lock_guard lock(mutex_);
                    lastCommand_ = std::chrono::steady_clock::now();
                    auto it = open_.find(m["dlg"].get<int>());
                    if (it != open_.end())
                        ++it->second.commands;
                    lastCommand_ = std::chrono::steady_clock::now();
                    for (const auto& cmd : m["cmds"])
                        results.push_back(it == open_.end() ? json() : apply(it->second, cmd));
                }
                send({{"op", "reply"}, {"seq", m["seq"]}, {"results", results}});
            }
        }
        beast::error_code ec;
        c.ws.close(websocket::close_code::normal, ec);
    });
    std::unique_lock lock(ready);
    connected.wait_for(lock, std::chrono::seconds(10), [&] { return up; });
    // Let the server admit the connection before the test opens dialogs.
    for (int i = 0; i < 200 && !server_.connected(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

FakePage::~FakePage() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    for (auto& t : actors_)
        t.join();
    server_.send(R"({"op":"ended"})");
    if (thread_.joinable())
        thread_.join();
}

void FakePage::send(const json& message) {
    if (writer_)
        writer_(message.dump());
}

json FakePage::apply(Dialog& d, const json& cmd) {
    const std::string c = cmd.value("c", "");
    const std::string id = cmd.value("id", "");
    FakeElement& e = d.elements[id];
    const std::string p = cmd.value("p", "");
    if (c == "exists")
        return true;
    if (c == "click") {
        d.clicks.push_back(id);
        return true;
    }
    if (c == "focus")
        return true;
    if (c == "html") {
        e.html = cmd["v"];
        return true;
    }
    if (c == "get") {
        if (p == "value")
            return e.value;
        if (p == "checked")
            return e.checked;
        if (p == "selectedIndex")
            return e.selectedIndex;
        if (p == "radio")
            return e.radio;
        if (p == "hidden")
            return e.hidden;
        if (p == "className")
            return e.className;
        return json();
    }
    if (c == "set") {
        const json& v = cmd["v"];
        if (p == "value")
            e.value = v.get<std::string>();
        if (p == "checked")
            e.checked = v.get<bool>();
        if (p == "selectedIndex")
            e.selectedIndex = v.get<int>();
        if (p == "radio")
            e.radio = v.get<int>();
        if (p == "hidden")
            e.hidden = v.get<bool>();
        if (p == "className")
            e.className = v.get<std::string>();
        return true;
    }
    return json();
}

void FakePage::onOpen(const std::string& page, std::function<void(FakePage&, int)> action) {
    std::lock_guard lock(mutex_);
    actions_[page] = std::move(action);
}

void FakePage::event(int dlg, const std::string& id, const std::string& ev) {
    send({{"op", "event"}, {"dlg", dlg}, {"id", id}, {"ev", ev}});
}

void FakePage::set(int dlg, const std::string& id,
                   const std::function<void(FakeElement&)>& change) {
    std::lock_guard lock(mutex_);
    auto it = open_.find(dlg);
    if (it != open_.end())
        change(it->second.elements[id]);
}

FakePage::Dialog FakePage::dialog(const std::string& page) {
    std::lock_guard lock(mutex_);
    for (auto it = open_.rbegin(); it != open_.rend(); ++it)
        if (it->second.page == page)
            return it->second;
    auto it = lastClosed_.find(page);
    return it == lastClosed_.end() ? Dialog{} : it->second;
}

std::vector<std::string> FakePage::openedPages() {
    std::lock_guard lock(mutex_);
    return opened_;
}

bool FakePage::isOpen(const std::string& page) {
    std::lock_guard lock(mutex_);
    for (const auto& [id, d] : open_)
        if (d.page == page)
            return true;
    return false;
}

}  // namespace plovik::test
