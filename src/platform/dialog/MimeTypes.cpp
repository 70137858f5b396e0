#include "platform/dialog/MimeTypes.h"

#include <boost/beast/core/string.hpp>

namespace plovik {

namespace {

struct MimeType {
    std::string_view extension;
    std::string_view type;
    std::string_view utf8Type;  // the same, saying its charset; empty for binary types
};

constexpr MimeType kTypes[] = {
    {".htm", "text/html", "text/html; charset=utf-8"},
    {".html", "text/html", "text/html; charset=utf-8"},
    {".css", "text/css", "text/css; charset=utf-8"},
    {".js", "text/javascript", "text/javascript; charset=utf-8"},
    {".txt", "text/plain", "text/plain; charset=utf-8"},
    {".svg", "image/svg+xml", ""},
    {".png", "image/png", ""},
    {".gif", "image/gif", ""},
    {".jpg", "image/jpeg", ""},
    {".jpeg", "image/jpeg", ""},
    {".ico", "image/x-icon", ""},
};

}  // namespace

std::string_view mimeTypeOf(std::string_view fileName, bool utf8) {
    const std::size_t dot = fileName.rfind('.');
    const std::size_t slash = fileName.rfind('/');
    if (dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash)) {
        const std::string_view extension = fileName.substr(dot);
        for (const MimeType& m : kTypes)
            if (boost::beast::iequals(extension, m.extension))
                return utf8 && !m.utf8Type.empty() ? m.utf8Type : m.type;
    }
    return "application/octet-stream";
}

}  // namespace plovik
