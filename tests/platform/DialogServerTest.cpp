#include "platform/dialog/DialogServer.h"

#include <gtest/gtest.h>

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>

#include <algorithm>
#include <thread>

#include "support/TempDir.h"

namespace plovik {
namespace {

namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
namespace net = boost::asio;
using tcp = net::ip::tcp;

class DialogServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        DialogServer::Callbacks callbacks;
        callbacks.onMessage = [this](const std::string& m) {
            std::lock_guard lock(mutex);
            received.push_back(m);
        };
        server = std::make_unique<DialogServer>(
            [](std::string_view name) -> std::optional<Resource> {
                if (name == "shell.html")
                    return Resource{"<html>shell</html>", "text/html"};
                if (name == "style.css")
                    return Resource{"body{}", "text/css"};
                return std::nullopt;
            },
            callbacks);
        ASSERT_TRUE(server->start());
        host = "127.0.0.1:" + std::to_string(server->port());
    }

    http::response<http::string_body> get(const std::string& target, const std::string& hostHeader,
                                          const std::string& cookie = "") {
        net::io_context ioc;
        beast::tcp_stream stream(ioc);
        stream.connect(tcp::endpoint(net::ip::make_address("127.0.0.1"), server->port()));
        http::request<http::empty_body> req{http::verb::get, target, 11};
        req.set(http::field::host, hostHeader);
        if (!cookie.empty())
            req.set(http::field::cookie, cookie);
        http::write(stream, req);
        beast::flat_buffer buffer;
        http::response<http::string_body> res;
        http::read(stream, buffer, res);
        return res;
    }

    std::string cookie() const { return "plovik=" + server->token(); }

    // True when the upgrade was accepted.
    bool upgrade(const std::string& origin, const std::string& cookieHeader) {
        net::io_context ioc;
        websocket::stream<beast::tcp_stream> ws(ioc);
        beast::get_lowest_layer(ws).connect(
            tcp::endpoint(net::ip::make_address("127.0.0.1"), server->port()));
        ws.set_option(websocket::stream_base::decorator([&](websocket::request_type& req) {
            if (!origin.empty())
                req.set(http::field::origin, origin);
            if (!cookieHeader.empty())
                req.set(http::field::cookie, cookieHeader);
        }));
        beast::error_code ec;
        ws.handshake(host, "/ws", ec);
        if (ec)
            return false;
        ws.write(net::buffer(std::string(R"({"op":"hello"})")));
        ws.close(websocket::close_code::normal, ec);
        return true;
    }

    std::unique_ptr<DialogServer> server;
    std::string host;
    std::mutex mutex;
    std::vector<std::string> received;
};

TEST_F(DialogServerTest, TheTokenOpensTheDoorOnceAndTheCookieAfterwards) {
    EXPECT_EQ(get("/", host).result(), http::status::forbidden);
    EXPECT_EQ(get("/res/style.css", host).result(), http::status::forbidden);
    EXPECT_EQ(get("/?token=wrong", host).result(), http::status::forbidden);

    auto admitted = get("/?token=" + server->token(), host);
    EXPECT_EQ(admitted.result(), http::status::found);
    std::string setCookie(admitted[http::field::set_cookie]);
    EXPECT_NE(setCookie.find(cookie()), std::string::npos);
    EXPECT_NE(setCookie.find("HttpOnly"), std::string::npos);
    EXPECT_NE(setCookie.find("SameSite=Strict"), std::string::npos);

    auto shell = get("/", host, cookie());
    EXPECT_EQ(shell.result(), http::status::ok);
    EXPECT_EQ(shell.body(), "<html>shell</html>");
    EXPECT_EQ(get("/res/style.css", host, "a=b; " + cookie()).body(), "body{}");
    EXPECT_EQ(get("/res/missing.css", host, cookie()).result(), http::status::not_found);
    EXPECT_EQ(get("/res/../secret", host, cookie()).result(), http::status::not_found);
}

TEST_F(DialogServerTest, ForeignHostHeadersAreRefusedEvenWithTheCookie) {
    for (const std::string& foreign :
         std::vector<std::string>{"evil.example:" + std::to_string(server->port()), "127.0.0.1:1",
                                  "localhost.evil.example", ""}) {
        EXPECT_EQ(get("/", foreign, cookie()).result(), http::status::forbidden) << foreign;
    }
    EXPECT_EQ(get("/", "LOCALHOST:" + std::to_string(server->port()), cookie()).result(),
              http::status::ok);
}

TEST_F(DialogServerTest, UpgradesNeedTheCookieAndOurOwnOrigin) {
    EXPECT_FALSE(upgrade("http://evil.example", cookie()));
    EXPECT_FALSE(upgrade("", cookie()));
    EXPECT_FALSE(upgrade("http://" + host, ""));
    EXPECT_TRUE(upgrade("http://" + host, cookie()));
}

TEST_F(DialogServerTest, PreviewServesOnlyFilesInsideItsFolderSandboxed) {
    test::TempDir dir;
    test::writeFile(dir.path() / "site/index.html", "<p>site</p>");
    test::writeFile(dir.path() / "site/sub dir/a b.htm", "<p>a</p>");
    test::writeFile(dir.path() / "secret.txt", "secret");
    std::filesystem::create_symlink(dir.path() / "secret.txt", dir.path() / "site/link.txt");
    server->setPreviewRoot(dir.path() / "site");
    const std::string base = "/preview/" + server->token() + "/";

    auto page = get(base + "index.html", host);  // no cookie: the path carries the token
    EXPECT_EQ(page.result(), http::status::ok);
    EXPECT_EQ(page.body(), "<p>site</p>");
    EXPECT_NE(std::string(page["Content-Security-Policy"]).find("sandbox"), std::string::npos);
    EXPECT_EQ(get(base + "sub%20dir/a%20b.htm", host).body(), "<p>a</p>");
    EXPECT_EQ(server->previewUrl(dir.path() / "site/sub dir/a b.htm"),
              "http://" + host + base + "sub%20dir/a%20b.htm");
    EXPECT_EQ(get(base, host).body(), "<p>site</p>");
    EXPECT_EQ(get(base + "../secret.txt", host).result(), http::status::not_found);
    EXPECT_EQ(get(base + "%2e%2e/secret.txt", host).result(), http::status::not_found);
    EXPECT_EQ(get(base + "link.txt", host).result(), http::status::not_found);
    EXPECT_EQ(get("/preview/wrongtoken/index.html", host).result(), http::status::forbidden);
    EXPECT_EQ(server->previewUrl(dir.path() / "secret.txt"), "");
}

TEST_F(DialogServerTest, TheProgramFolderServesOnlyItsSamplesHelpAndPreviews) {
    test::TempDir dir;
    const auto prog = dir.path();
    test::writeFile(prog / "CMakeCache.txt", "secret build settings");
    test::writeFile(prog / "plovik", "the program");
    test::writeFile(prog / "template/tplsetting.ini", "[catalogue]");
    test::writeFile(prog / "template/previews/clarity.png", "PNG");
    test::writeFile(prog / "samples/clarity/index.html", "<p>sample</p>");
    test::writeFile(prog / "help/index.html", "<p>help</p>");
    std::filesystem::create_symlink(prog / "CMakeCache.txt", prog / "samples/clarity/cache.txt");
    const std::string base = "/sample/" + server->token() + "/";

    server->setSampleRoot(prog, {});
    EXPECT_EQ(get(base + "samples/clarity/index.html", host).result(), http::status::not_found);

    server->setSampleRoot(prog, {"samples", "help", "template/previews"});
    EXPECT_EQ(get(base + "samples/clarity/index.html", host).body(), "<p>sample</p>");
    EXPECT_EQ(get(base + "samples/clarity/", host).body(), "<p>sample</p>");
    EXPECT_EQ(get(base + "help/index.html", host).body(), "<p>help</p>");
    EXPECT_EQ(get(base + "template/previews/clarity.png", host).body(), "PNG");
    for (const char* hidden :
         {"CMakeCache.txt", "plovik", "template/tplsetting.ini", "", "samples/clarity/cache.txt",
          "samples/..%2fCMakeCache.txt", "help/../plovik", "template/previews/../tplsetting.ini"})
        EXPECT_EQ(get(base + hidden, host).result(), http::status::not_found) << hidden;
    EXPECT_EQ(server->previewUrl(prog / "help/index.html"),
              "http://" + host + base + "help/index.html");
}

// Sends bytes as they are and returns everything the server answers until it closes.
std::string exchange(unsigned short port, const std::string& bytes) {
    net::io_context ioc;
    tcp::socket socket(ioc);
    socket.connect(tcp::endpoint(net::ip::make_address("127.0.0.1"), port));
    struct timeval limit {
        5, 0
    };
    ::setsockopt(socket.native_handle(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    beast::error_code ec;
    net::write(socket, net::buffer(bytes), ec);
    std::string answer;
    char buffer[4096];
    for (;;) {
        const size_t n = socket.read_some(net::buffer(buffer), ec);
        answer.append(buffer, n);
        if (ec)
            break;
    }
    return answer;
}

TEST_F(DialogServerTest, OversizedRequestsAreAnsweredWithTheirStatusNotCutOff) {
    const std::string head = "POST / HTTP/1.1\r\nHost: " + host + "\r\n";
    const std::string body(200 * 1024, 'b');
    const std::string tooLong =
        exchange(server->port(),
                 head + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
    EXPECT_EQ(tooLong.substr(0, 12), "HTTP/1.1 413") << tooLong.substr(0, 80);

    const std::string manyHeaders =
        exchange(server->port(), "GET / HTTP/1.1\r\nHost: " + host +
                                     "\r\nX-Big: " + std::string(64 * 1024, 'h') + "\r\n\r\n");
    EXPECT_EQ(manyHeaders.substr(0, 12), "HTTP/1.1 431") << manyHeaders.substr(0, 80);

    // A request within the limits is still answered as before.
    EXPECT_EQ(exchange(server->port(),
                       "GET / HTTP/1.1\r\nHost: " + host + "\r\nConnection: close\r\n\r\n")
                  .substr(0, 12),
              "HTTP/1.1 403");
}

TEST_F(DialogServerTest, TheLaunchPagesFormTradesTheTokenForTheCookie) {
    auto post = [&](const std::string& body, const std::string& origin = "null") {
        return exchange(server->port(), "POST / HTTP/1.1\r\nHost: " + host +
                                            "\r\nOrigin: " + origin +
                                            "\r\nContent-Type: application/x-www-form-urlencoded"
                                            "\r\nConnection: close\r\nContent-Length: " +
                                            std::to_string(body.size()) + "\r\n\r\n" + body);
    };
    const std::string admitted = post("token=" + server->token());
    EXPECT_EQ(admitted.substr(0, 12), "HTTP/1.1 200");
    EXPECT_NE(admitted.find("Set-Cookie: " + cookie() + "; HttpOnly; SameSite=Strict"),
              std::string::npos)
        << admitted;
    EXPECT_NE(admitted.find("url=/"), std::string::npos);
    for (const std::string& wrong :
         {std::string("token=") + std::string(server->token().size(), '0'), std::string(""),
          "other=" + server->token()}) {
        const std::string refused = post(wrong);
        EXPECT_EQ(refused.substr(0, 12), "HTTP/1.1 403") << wrong;
        EXPECT_EQ(refused.find("Set-Cookie"), std::string::npos);
    }
    EXPECT_EQ(post("token=" + server->token(), "http://evil.example").substr(0, 12),
              "HTTP/1.1 403");
}

TEST_F(DialogServerTest, OutOfDescriptorsItPausesAndKeepsServingTheLivePage) {
    // The live page.
    net::io_context ioc;
    websocket::stream<beast::tcp_stream> ws(ioc);
    beast::get_lowest_layer(ws).connect(
        tcp::endpoint(net::ip::make_address("127.0.0.1"), server->port()));
    ws.set_option(websocket::stream_base::decorator([&](websocket::request_type& req) {
        req.set(http::field::origin, "http://" + host);
        req.set(http::field::cookie, cookie());
    }));
    ws.handshake(host, "/ws");
    for (int i = 0; i < 200 && !server->connected(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(server->connected());
    struct timeval limit {
        5, 0
    };
    ::setsockopt(beast::get_lowest_layer(ws).socket().native_handle(), SOL_SOCKET, SO_RCVTIMEO,
                 &limit, sizeof limit);

    // One message each way first: the sanitizers' runtime looks up a type the first time it sees
    // it, which needs a descriptor of its own.
    ASSERT_TRUE(server->send(R"({"op":"warm"})"));
    {
        beast::flat_buffer warm;
        ws.read(warm);
    }

    // A new connection that cannot be accepted while every descriptor is in use.
    tcp::socket waiting(ioc);
    waiting.connect(tcp::endpoint(net::ip::make_address("127.0.0.1"), server->port()));
    ::setsockopt(waiting.native_handle(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    struct rlimit few = saved;
    few.rlim_cur = std::min<rlim_t>(saved.rlim_cur, 1024);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &few), 0);
    std::vector<int> used;
    for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
        used.push_back(fd);

    struct rusage before {
    }, after{};
    ::getrusage(RUSAGE_SELF, &before);
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    ::getrusage(RUSAGE_SELF, &after);
    auto seconds = [](const struct rusage& r) {
        return r.ru_utime.tv_sec + r.ru_stime.tv_sec +
               (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
    };
    const double cpu = seconds(after) - seconds(before);

    // The live page still hears the program and is heard.
    const bool sent = server->send(R"({"op":"ping"})");
    beast::flat_buffer buffer;
    beast::error_code ec;
    ws.read(buffer, ec);
    const std::string heard = beast::buffers_to_string(buffer.data());
    ws.write(net::buffer(std::string(R"({"op":"pong"})")), ec);
    for (int i = 0; i < 200; ++i) {
        {
            std::lock_guard lock(mutex);
            if (!received.empty())
                break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    for (int fd : used)
        ::close(fd);
    ::setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_LT(cpu, 0.3) << "the server spun while it could not accept";
    EXPECT_TRUE(sent);
    EXPECT_EQ(heard, R"({"op":"ping"})");
    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(received, std::vector<std::string>{R"({"op":"pong"})"});
    }

    // Once descriptors are free again, the waiting connection is served.
    const std::string request = "GET / HTTP/1.1\r\nHost: " + host + "\r\nConnection: close\r\n\r\n";
    net::write(waiting, net::buffer(request), ec);
    char answer[12] = {};
    net::read(waiting, net::buffer(answer), ec);
    EXPECT_EQ(std::string(answer, sizeof answer), "HTTP/1.1 403");
}

TEST(DialogServerRules, HostAndOriginChecks) {
    EXPECT_TRUE(isLoopbackHost("127.0.0.1:8080", 8080));
    EXPECT_TRUE(isLoopbackHost("localhost:8080", 8080));
    EXPECT_FALSE(isLoopbackHost("127.0.0.1:80801", 8080));
    EXPECT_FALSE(isLoopbackHost("127.0.0.2:8080", 8080));
    EXPECT_FALSE(isLoopbackHost("x127.0.0.1:8080", 8080));
    EXPECT_TRUE(isOwnOrigin("http://localhost:8080", 8080));
    EXPECT_FALSE(isOwnOrigin("https://localhost:8080", 8080));
    EXPECT_FALSE(isOwnOrigin("null", 8080));
}

}  // namespace
}  // namespace plovik
