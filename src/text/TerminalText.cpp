#include "text/TerminalText.h"

#include "text/Utf8.h"

namespace plovik {

namespace {

void appendEscaped(std::string& out, unsigned char byte) {
    static const char* hex = "0123456789abcdef";
    out += "\\x";
    out += hex[byte >> 4];
    out += hex[byte & 15];
}

}  // namespace

std::string escapeForTerminal(std::string_view text, LineBreaks lineBreaks) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            const bool lineBreak = c == '\n' || c == '\r' || c == '\t';
            if ((c < 0x20 && !(lineBreak && lineBreaks == LineBreaks::Keep)) || c == 0x7F)
                appendEscaped(out, c);
            else
                out += static_cast<char>(c);
            ++i;
            continue;
        }
        const Utf8Char ch = decodeUtf8At(text, i);
        if (ch.codePoint < 0 || (ch.codePoint >= 0x80 && ch.codePoint <= 0x9F)) {
            for (std::size_t k = 0; k < ch.length; ++k)
                appendEscaped(out, static_cast<unsigned char>(text[i + k]));
        } else {
            out.append(text.substr(i, ch.length));
        }
        i += ch.length;
    }
    return out;
}

}  // namespace plovik
