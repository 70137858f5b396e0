#pragma once

// The local web server that shows the program's dialogs in a browser window: it serves the
// compiled-in dialog pages and carries the live channel (one WebSocket) between the page and the
// dialogs. It listens on 127.0.0.1 only and admits nobody without the run's token (see
// docs/dialog-bridge.md for the rules and the protocol).

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plovik {

struct Resource {
    std::string_view bytes;
    std::string_view mimeType;
};

class DialogServer {
public:
    struct Callbacks {
        // A text message from the live page, on the server's thread.
        std::function<void(const std::string& message)> onMessage;
        // The live page's channel has closed (the page went away or was reloaded).
        std::function<void()> onDisconnect;
    };
    using ResourceLookup = std::function<std::optional<Resource>(std::string_view name)>;

    DialogServer(ResourceLookup resources, Callbacks callbacks);
    ~DialogServer();
    DialogServer(const DialogServer&) = delete;
    DialogServer& operator=(const DialogServer&) = delete;

    // Binds 127.0.0.1 on a free port and starts serving on a thread of its own.
    bool start();
    void stop();

    unsigned short port() const;
    const std::string& token() const;
    // The address that admits a browser: it carries the token once and sets the cookie.
    std::string startUrl() const;
    // The address under which a file below a served folder is reached.
    std::string previewUrl(const std::filesystem::path& file) const;

    // Folders whose files are served read-only, under /preview/TOKEN/ and /sample/TOKEN/. Of
    // the sample root (the program's folder) only the sub-folders `served` are served, addressed
    // relative to the root (sample sites, the help site, template previews), and nothing when
    // none is named.
    void setPreviewRoot(const std::filesystem::path& folder);
    void setSampleRoot(const std::filesystem::path& folder,
                       std::vector<std::filesystem::path> served);

    // Sends a text message to the live page; false when no page is connected. Any thread.
    bool send(std::string message);
    bool connected() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

// The request rules on their own, for tests: is this Host header one of ours?
bool isLoopbackHost(std::string_view host, unsigned short port);
bool isOwnOrigin(std::string_view origin, unsigned short port);

}  // namespace plovik
