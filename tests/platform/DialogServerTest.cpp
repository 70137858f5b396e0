#include "platform/dialog/DialogServer.h"

#include <gtest/gtest.h>

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

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
