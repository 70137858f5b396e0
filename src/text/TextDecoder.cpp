#include "text/TextDecoder.h"

#include "text/Utf8.h"

#include <iconv.h>

#include <cerrno>

namespace plovik {

namespace {
constexpr std::string_view kReplacement = kReplacementCharacter;
}

TextDecoder::TextDecoder(std::string_view encoding) : encoding_(encoding) {
    handle_ = iconv_open("UTF-8", encoding_.c_str());
}

TextDecoder::~TextDecoder() {
    if (usable())
        iconv_close(static_cast<iconv_t>(handle_));
}

std::size_t TextDecoder::decode(std::string_view bytes, std::string& out) {
    out.clear();
    if (!usable())
        return bytes.size();
    const auto cd = static_cast<iconv_t>(handle_);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);

    // Three output bytes per input byte hold every encoding iconv is asked for here; the loop
    // grows the buffer should one need more.
    out.resize(bytes.size() * 3 + 16);
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    std::size_t written = 0;
    std::size_t undecodable = 0;
    while (inLeft > 0) {
        char* to = out.data() + written;
        std::size_t toLeft = out.size() - written;
        const std::size_t result = iconv(cd, &in, &inLeft, &to, &toLeft);
        written = out.size() - toLeft;
        if (result != static_cast<std::size_t>(-1))
            break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        // EILSEQ or EINVAL (a sequence cut off by the end): one byte stands for the bad part,
        // and decoding starts afresh at the next byte.
        if (out.size() - written < kReplacement.size())
            out.resize(out.size() * 2 + kReplacement.size());
        out.replace(written, kReplacement.size(), kReplacement);
        written += kReplacement.size();
        ++in;
        --inLeft;
        ++undecodable;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    // A stateful encoding may still owe its shift back to the initial state.
    for (;;) {
        char* to = out.data() + written;
        std::size_t toLeft = out.size() - written;
        const std::size_t result = iconv(cd, nullptr, nullptr, &to, &toLeft);
        written = out.size() - toLeft;
        if (result != static_cast<std::size_t>(-1) || errno != E2BIG)
            break;
        out.resize(out.size() * 2);
    }
    out.resize(written);
    // glibc reads UTF-8 as it stood before RFC 3629 (up to six bytes, past U+10FFFF), and passes
    // such sequences through: the text must be UTF-8 that every reader accepts.
    return undecodable + replaceIllFormedUtf8(out);
}

}  // namespace plovik
