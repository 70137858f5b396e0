#include "platform/dialog/DialogServer.h"
#include "platform/dialog/MimeTypes.h"

#include <utility>  // before Asio, whose headers use std::exchange without it

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <deque>
#include <fstream>
#include <mutex>
#include <random>
#include <thread>

namespace plovik {

namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
namespace net = boost::asio;
using tcp = net::ip::tcp;

namespace {

constexpr std::string_view kCookieName = "plovik";
constexpr size_t kRequestLimit = 16 * 1024;
constexpr size_t kMessageLimit = 4 * 1024 * 1024;

std::string randomToken() {
    std::random_device rd;  // getrandom() on this platform
    static const char* hex = "0123456789abcdef";
    std::string token;
    for (int i = 0; i < 32; ++i) {
        unsigned v = rd() & 0xFF;
        token += hex[v >> 4];
        token += hex[v & 15];
    }
    return token;
}

// Compares without an early exit, so the time taken says nothing about the token.
bool sameToken(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (size_t i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

std::optional<std::string_view> cookieValue(std::string_view header, std::string_view name) {
    while (!header.empty()) {
        size_t semi = header.find(';');
        std::string_view part = header.substr(0, semi);
        while (!part.empty() && part.front() == ' ')
            part.remove_prefix(1);
        if (part.size() > name.size() && part.substr(0, name.size()) == name &&
            part[name.size()] == '=')
            return part.substr(name.size() + 1);
        if (semi == std::string_view::npos)
            break;
        header.remove_prefix(semi + 1);
    }
    return std::nullopt;
}

std::optional<std::string> percentDecode(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out += s[i];
            continue;
        }
        unsigned byte = 0;
        const char* digits = s.data() + i + 1;
        if (i + 2 >= s.size() || std::from_chars(digits, digits + 2, byte, 16).ptr != digits + 2)
            return std::nullopt;
        out += static_cast<char>(byte);
        i += 2;
    }
    return out;
}

// The file below `root` that a relative URL path names, with every link resolved; nothing when
// the path would leave the folder, or, when `served` names sub-folders of it, leave all of them.
std::optional<std::filesystem::path> fileBelow(const std::filesystem::path& root,
                                               const std::vector<std::filesystem::path>& served,
                                               std::string_view relative) {
    if (root.empty())
        return std::nullopt;
    auto decoded = percentDecode(relative);
    if (!decoded || decoded->find('\0') != std::string::npos)
        return std::nullopt;
    std::error_code ec;
    auto base = std::filesystem::canonical(root, ec);
    if (ec)
        return std::nullopt;
    auto candidate = std::filesystem::canonical(base / std::filesystem::path(*decoded), ec);
    if (ec)
        return std::nullopt;
    if (std::filesystem::is_directory(candidate, ec))
        candidate /= "index.html";
    auto isBelow = [&candidate](const std::filesystem::path& folder) {
        const std::string text = folder.string() + "/";
        return candidate.string().compare(0, text.size(), text) == 0;
    };
    if (!isBelow(base))
        return std::nullopt;
    if (!served.empty()) {
        bool inside = false;
        for (const auto& folder : served) {
            auto real = std::filesystem::canonical(base / folder, ec);
            inside = inside || (!ec && isBelow(real));
        }
        if (!inside)
            return std::nullopt;
    }
    if (!std::filesystem::is_regular_file(candidate, ec))
        return std::nullopt;
    return candidate;
}

// The value of one field of a form's body (application/x-www-form-urlencoded).
std::optional<std::string_view> formField(std::string_view body, std::string_view name) {
    while (!body.empty()) {
        const size_t amp = body.find('&');
        std::string_view part = body.substr(0, amp);
        if (part.size() > name.size() && part.substr(0, name.size()) == name &&
            part[name.size()] == '=')
            return part.substr(name.size() + 1);
        if (amp == std::string_view::npos)
            break;
        body.remove_prefix(amp + 1);
    }
    return std::nullopt;
}

}  // namespace

bool isLoopbackHost(std::string_view host, unsigned short port) {
    const std::string suffix = ":" + std::to_string(port);
    if (host.size() <= suffix.size() || host.substr(host.size() - suffix.size()) != suffix)
        return false;
    std::string_view name = host.substr(0, host.size() - suffix.size());
    return name == "127.0.0.1" || boost::beast::iequals(name, "localhost");
}

bool isOwnOrigin(std::string_view origin, unsigned short port) {
    constexpr std::string_view scheme = "http://";
    if (origin.substr(0, scheme.size()) != scheme)
        return false;
    return isLoopbackHost(origin.substr(scheme.size()), port);
}

class WsSession;

struct DialogServer::Impl {
    ResourceLookup resources;
    Callbacks callbacks;
    net::io_context ioc{1};
    tcp::acceptor acceptor{ioc};
    std::thread thread;
    unsigned short port = 0;
    std::string token = randomToken();
    mutable std::mutex rootsMutex;
    std::filesystem::path previewRoot;
    std::filesystem::path sampleRoot;
    std::vector<std::filesystem::path> sampleFolders;
    std::weak_ptr<WsSession> live;  // server thread only
    net::steady_timer acceptRetry{ioc};
    std::chrono::milliseconds acceptPause{0};
    std::atomic<bool> isConnected{false};

    void accept();
    http::response<http::string_body> handle(const http::request<http::string_body>& req);
    void admit(std::shared_ptr<WsSession> session);
    void dropped(WsSession* session);
};

// One WebSocket: reads the page's messages, writes ours one at a time in order.
class WsSession : public std::enable_shared_from_this<WsSession> {
public:
    WsSession(tcp::socket&& socket, DialogServer::Impl& server)
        : ws_(std::move(socket)), server_(server) {}

    void run(http::request<http::string_body> req) {
        ws_.set_option(websocket::stream_base::timeout::suggested(beast::role_type::server));
        ws_.read_message_max(kMessageLimit);
        ws_.async_accept(req, [self = shared_from_this()](beast::error_code ec) {
            if (ec)
                return;
            self->server_.admit(self);
            self->read();
        });
    }

    void send(std::shared_ptr<const std::string> message) {
        queue_.push_back(std::move(message));
        if (queue_.size() == 1)
            write();
    }

    void close() {
        beast::error_code ec;
        ws_.next_layer().socket().shutdown(tcp::socket::shutdown_both, ec);
    }

private:
    void read() {
        ws_.async_read(buffer_, [self = shared_from_this()](beast::error_code ec, size_t) {
            if (ec) {
                self->server_.dropped(self.get());
                return;
            }
            std::string text = beast::buffers_to_string(self->buffer_.data());
            self->buffer_.consume(self->buffer_.size());
            if (self->server_.live.lock() == self && self->server_.callbacks.onMessage)
                self->server_.callbacks.onMessage(text);
            self->read();
        });
    }

    void write() {
        ws_.text(true);
        ws_.async_write(net::buffer(*queue_.front()),
                        [self = shared_from_this()](beast::error_code ec, size_t) {
                            if (ec)
                                return;
                            self->queue_.pop_front();
                            if (!self->queue_.empty())
                                self->write();
                        });
    }

    websocket::stream<beast::tcp_stream> ws_;
    beast::flat_buffer buffer_;
    std::deque<std::shared_ptr<const std::string>> queue_;
    DialogServer::Impl& server_;
};

// One HTTP connection: checks every request, answers it or hands it to a WebSocket.
class HttpSession : public std::enable_shared_from_this<HttpSession> {
public:
    HttpSession(tcp::socket&& socket, DialogServer::Impl& server)
        : stream_(std::move(socket)), server_(server) {}

    void run() { read(); }

private:
    void read() {
        parser_.emplace();
        parser_->header_limit(kRequestLimit);
        parser_->body_limit(kRequestLimit);
        stream_.expires_after(std::chrono::seconds(30));
        http::async_read(stream_, buffer_, *parser_,
                         [self = shared_from_this()](beast::error_code ec, size_t) {
                             // A request over the limits is told so instead of cut off.
                             if (ec == http::error::body_limit)
                                 return self->refuse(http::status::payload_too_large);
                             if (ec == http::error::header_limit)
                                 return self->refuse(http::status::request_header_fields_too_large);
                             if (ec)
                                 return self->close();
                             self->onRequest();
                         });
    }

    // Answers with `status` and ends the connection. What the client is still sending is read
    // and dropped for a moment first: closing a socket with unread bytes resets it, and the
    // client may then lose the answer before it reads it.
    void refuse(http::status status) {
        auto res = std::make_shared<http::response<http::string_body>>(status, 11);
        res->set(http::field::content_type, "text/plain");
        res->set(http::field::connection, "close");
        res->body() = std::string(http::obsolete_reason(status));
        res->prepare_payload();
        stream_.expires_after(std::chrono::seconds(5));
        http::async_write(stream_, *res,
                          [self = shared_from_this(), res](beast::error_code ec, size_t) {
                              if (ec)
                                  return self->close();
                              beast::error_code ignored;
                              self->stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
                              self->drain(0);
                          });
    }

    void drain(size_t dropped) {
        constexpr size_t kDrainLimit = 8 * 1024 * 1024;
        if (dropped > kDrainLimit)
            return closeNow();
        stream_.async_read_some(net::buffer(drainBuffer_), [self = shared_from_this(), dropped](
                                                               beast::error_code ec, size_t n) {
            if (ec)
                return;
            self->drain(dropped + n);
        });
    }

    void closeNow() {
        beast::error_code ec;
        stream_.socket().close(ec);
    }

    void onRequest() {
        auto req = parser_->release();
        if (websocket::is_upgrade(req)) {
            const bool allowed = req.target() == "/ws" && authenticated(req) &&
                                 isLoopbackHost(req[http::field::host], server_.port) &&
                                 isOwnOrigin(req[http::field::origin], server_.port);
            if (!allowed) {
                return reply(plain(http::status::forbidden, req, "Forbidden"), false);
            }
            stream_.expires_never();
            std::make_shared<WsSession>(stream_.release_socket(), server_)->run(std::move(req));
            return;
        }
        const bool keepAlive = req.keep_alive();
        reply(server_.handle(req), keepAlive);
    }

    bool authenticated(const http::request<http::string_body>& req) const {
        auto cookie = cookieValue(req[http::field::cookie], kCookieName);
        return cookie && sameToken(*cookie, server_.token);
    }

    static http::response<http::string_body> plain(http::status status,
                                                   const http::request<http::string_body>& req,
                                                   std::string_view text) {
        http::response<http::string_body> res{status, req.version()};
        res.set(http::field::content_type, "text/plain");
        res.body() = std::string(text);
        res.prepare_payload();
        return res;
    }

    void reply(http::response<http::string_body> response, bool keepAlive) {
        // The response must live until its write has finished.
        auto message = std::make_shared<http::response<http::string_body>>(std::move(response));
        http::async_write(
            stream_, *message,
            [self = shared_from_this(), message, keepAlive](beast::error_code ec, size_t) {
                if (ec || !keepAlive)
                    return self->close();
                self->read();
            });
    }

    void close() {
        beast::error_code ec;
        stream_.socket().shutdown(tcp::socket::shutdown_send, ec);
    }

    beast::tcp_stream stream_;
    beast::flat_buffer buffer_;
    std::array<char, 16 * 1024> drainBuffer_{};
    std::optional<http::request_parser<http::string_body>> parser_;
    DialogServer::Impl& server_;
};

void DialogServer::Impl::accept() {
    acceptor.async_accept(net::make_strand(ioc), [this](beast::error_code ec, tcp::socket socket) {
        if (!acceptor.is_open() || ec == net::error::operation_aborted)
            return;
        if (!ec) {
            acceptPause = std::chrono::milliseconds(0);
            std::make_shared<HttpSession>(std::move(socket), *this)->run();
            return accept();
        }
        // Out of descriptors (EMFILE, ENFILE) the same accept fails again at once, for as long
        // as none is freed: trying again straight away would spin. The connection waits in the
        // queue while the server pauses, longer each time, and serves the connections it has.
        acceptPause = std::clamp(acceptPause * 2, std::chrono::milliseconds(10),
                                 std::chrono::milliseconds(500));
        acceptRetry.expires_after(acceptPause);
        acceptRetry.async_wait([this](beast::error_code waitError) {
            if (!waitError && acceptor.is_open())
                accept();
        });
    });
}

void DialogServer::Impl::admit(std::shared_ptr<WsSession> session) {
    if (auto current = live.lock()) {
        // Only one page drives the dialogs; a second tab is told so.
        session->send(std::make_shared<const std::string>("{\"op\":\"elsewhere\"}"));
        return;
    }
    live = session;
    isConnected = true;
}

void DialogServer::Impl::dropped(WsSession* session) {
    if (live.lock().get() != session)
        return;
    live.reset();
    isConnected = false;
    if (callbacks.onDisconnect)
        callbacks.onDisconnect();
}

http::response<http::string_body> DialogServer::Impl::handle(
    const http::request<http::string_body>& req) {
    auto respond = [&req](http::status status, std::string body, std::string_view type,
                          bool sandboxed = false) {
        http::response<http::string_body> res{status, req.version()};
        res.set(http::field::content_type, type);
        res.set(http::field::cache_control, "no-store");
        res.set("X-Content-Type-Options", "nosniff");
        if (sandboxed) {
            // A converted help site comes from a stranger: it runs without our origin, so its
            // scripts can neither read the dialogs nor open their channel.
            res.set("Content-Security-Policy",
                    "sandbox allow-scripts allow-popups allow-forms allow-modals");
        } else {
            res.set("X-Frame-Options", "SAMEORIGIN");
            res.set("Content-Security-Policy",
                    "default-src 'self'; script-src 'self' 'unsafe-inline'; style-src 'self' "
                    "'unsafe-inline'; img-src 'self' data: file:; connect-src 'self'; "
                    "frame-ancestors 'self'");
        }
        res.keep_alive(req.keep_alive());
        if (req.method() != http::verb::head)
            res.body() = std::move(body);
        res.prepare_payload();
        return res;
    };
    auto fail = [&](http::status status) {
        return respond(status, std::string(http::obsolete_reason(status)), "text/plain");
    };

    if (!isLoopbackHost(req[http::field::host], port))
        return fail(http::status::forbidden);
    if (req.method() == http::verb::post && req.target() == "/") {
        // The launch page's form: the token comes in the body, so that it is on no command
        // line and in no address. The answer sets the cookie and then moves on to the shell by
        // itself: a redirect would continue the launch page's cross-site navigation, and the
        // browser would hold back the SameSite cookie from it.
        // The launch page is a file, whose requests say "null" for their origin; another web
        // site's form is refused even when someone gave it the token.
        const std::string_view origin = req[http::field::origin];
        const bool fromLaunchPage = origin.empty() || origin == "null" || isOwnOrigin(origin, port);
        auto given = formField(req.body(), "token");
        if (!fromLaunchPage || !given || !sameToken(*given, token))
            return fail(http::status::forbidden);
        auto res = respond(http::status::ok,
                           "<!DOCTYPE html><meta http-equiv=\"refresh\" content=\"0;url=/\">"
                           "<title>Plovik</title><a href=\"/\">Plovik</a>",
                           "text/html; charset=utf-8");
        res.set(http::field::set_cookie,
                std::string(kCookieName) + "=" + token + "; HttpOnly; SameSite=Strict; Path=/");
        return res;
    }
    if (req.method() != http::verb::get && req.method() != http::verb::head)
        return fail(http::status::method_not_allowed);
    std::string_view target = req.target();
    if (target.empty() || target.front() != '/')
        return fail(http::status::bad_request);

    // Files of the generated site and of the samples, confined to their folders.
    for (auto [prefix, rootOf] : {std::pair<std::string_view, std::filesystem::path Impl::*>{
                                      "/preview/", &Impl::previewRoot},
                                  {"/sample/", &Impl::sampleRoot}}) {
        if (target.substr(0, prefix.size()) != prefix)
            continue;
        std::string_view rest = target.substr(prefix.size());
        if (rest.size() <= token.size() || !sameToken(rest.substr(0, token.size()), token) ||
            rest[token.size()] != '/')
            return fail(http::status::forbidden);
        rest.remove_prefix(token.size() + 1);
        rest = rest.substr(0, rest.find_first_of("?#"));
        std::filesystem::path root;
        std::vector<std::filesystem::path> served;
        {
            std::lock_guard lock(rootsMutex);
            root = this->*rootOf;
            if (rootOf == &Impl::sampleRoot)
                served = sampleFolders;
        }
        // The program's folder holds more than its samples (the program itself, its build's
        // files); only the folders it was given are served from it.
        if (rootOf == &Impl::sampleRoot && served.empty())
            return fail(http::status::not_found);
        auto file = fileBelow(root, served, rest);
        if (!file)
            return fail(http::status::not_found);
        std::ifstream in(*file, std::ios::binary);
        std::string body((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        return respond(http::status::ok, std::move(body), mimeTypeOf(file->filename().string()),
                       true);
    }

    auto cookie = cookieValue(req[http::field::cookie], kCookieName);
    const bool hasCookie = cookie && sameToken(*cookie, token);
    std::string_view path = target.substr(0, target.find('?'));
    std::string_view query = target.size() > path.size() ? target.substr(path.size() + 1) : "";
    if (path == "/" && query.substr(0, 6) == "token=" && sameToken(query.substr(6), token)) {
        // The token travels in an address once; from then on the cookie carries it.
        http::response<http::string_body> res{http::status::found, req.version()};
        res.set(http::field::location, "/");
        res.set(http::field::set_cookie,
                std::string(kCookieName) + "=" + token + "; HttpOnly; SameSite=Strict; Path=/");
        res.set(http::field::cache_control, "no-store");
        res.keep_alive(req.keep_alive());
        res.prepare_payload();
        return res;
    }
    if (!hasCookie)
        return fail(http::status::forbidden);

    std::string_view name = path == "/" ? std::string_view("shell.html") : path;
    if (name.substr(0, 5) == "/res/")
        name.remove_prefix(5);
    for (char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_'))
            return fail(http::status::not_found);
    auto resource = resources ? resources(name) : std::nullopt;
    if (!resource)
        return fail(http::status::not_found);
    return respond(http::status::ok, std::string(resource->bytes), resource->mimeType);
}

DialogServer::DialogServer(ResourceLookup resources, Callbacks callbacks)
    : impl_(std::make_unique<Impl>()) {
    impl_->resources = std::move(resources);
    impl_->callbacks = std::move(callbacks);
}

DialogServer::~DialogServer() {
    stop();
}

bool DialogServer::start() {
    beast::error_code ec;
    tcp::endpoint endpoint(net::ip::make_address("127.0.0.1"), 0);
    impl_->acceptor.open(endpoint.protocol(), ec);
    if (!ec)
        impl_->acceptor.bind(endpoint, ec);
    if (!ec)
        impl_->acceptor.listen(net::socket_base::max_listen_connections, ec);
    if (ec)
        return false;
    impl_->port = impl_->acceptor.local_endpoint().port();
    impl_->accept();
    impl_->thread = std::thread([this] { impl_->ioc.run(); });
    return true;
}

void DialogServer::stop() {
    if (!impl_->thread.joinable())
        return;
    net::post(impl_->ioc, [this] {
        beast::error_code ec;
        impl_->acceptor.close(ec);
        if (auto s = impl_->live.lock())
            s->close();
    });
    impl_->ioc.stop();
    impl_->thread.join();
}

unsigned short DialogServer::port() const {
    return impl_->port;
}
const std::string& DialogServer::token() const {
    return impl_->token;
}

std::string DialogServer::startUrl() const {
    return "http://127.0.0.1:" + std::to_string(impl_->port) + "/?token=" + impl_->token;
}

std::string DialogServer::previewUrl(const std::filesystem::path& file) const {
    std::filesystem::path preview, sample;
    {
        std::lock_guard lock(impl_->rootsMutex);
        preview = impl_->previewRoot;
        sample = impl_->sampleRoot;
    }
    auto under = [&](const std::filesystem::path& root, std::string_view prefix) -> std::string {
        if (root.empty())
            return {};
        auto rel = file.lexically_normal().lexically_relative(root.lexically_normal());
        if (rel.empty() || *rel.begin() == "..")
            return {};
        std::string url = "http://127.0.0.1:" + std::to_string(impl_->port) + std::string(prefix) +
                          impl_->token + "/";
        for (unsigned char c : rel.generic_string()) {
            if (std::isalnum(c) ||
                std::string_view("/-._~").find(static_cast<char>(c)) != std::string_view::npos) {
                url += static_cast<char>(c);
            } else {
                char buf[4];
                std::snprintf(buf, sizeof buf, "%%%02X", c);
                url += buf;
            }
        }
        return url;
    };
    std::string url = under(preview, "/preview/");
    return url.empty() ? under(sample, "/sample/") : url;
}

void DialogServer::setPreviewRoot(const std::filesystem::path& folder) {
    std::lock_guard lock(impl_->rootsMutex);
    impl_->previewRoot = folder;
}

void DialogServer::setSampleRoot(const std::filesystem::path& folder,
                                 std::vector<std::filesystem::path> served) {
    std::lock_guard lock(impl_->rootsMutex);
    impl_->sampleRoot = folder;
    impl_->sampleFolders = std::move(served);
}

bool DialogServer::send(std::string message) {
    if (!impl_->isConnected)
        return false;
    auto shared = std::make_shared<const std::string>(std::move(message));
    net::post(impl_->ioc, [impl = impl_.get(), shared] {
        if (auto s = impl->live.lock())
            s->send(shared);
    });
    return true;
}

bool DialogServer::connected() const {
    return impl_->isConnected;
}

}  // namespace plovik
