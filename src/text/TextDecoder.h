#pragma once

// Turns text in one encoding into UTF-8 through the C library's iconv. A byte sequence that does
// not decode becomes U+FFFD, one for each byte skipped, and decoding goes on after it: text is
// never dropped silently.

#include <cstddef>
#include <string>
#include <string_view>

namespace plovik {

class TextDecoder {
public:
    // `encoding` is an iconv name ("GBK", "CP932", "UTF-8"...).
    explicit TextDecoder(std::string_view encoding);
    ~TextDecoder();
    TextDecoder(const TextDecoder&) = delete;
    TextDecoder& operator=(const TextDecoder&) = delete;

    // False when iconv does not know the encoding; decode() then turns nothing.
    bool usable() const { return handle_ != kNoHandle; }
    const std::string& encoding() const { return encoding_; }

    // Replaces `out` with the UTF-8 text of `bytes`. Returns how many bytes did not decode; each
    // of them is a U+FFFD in the text. An unusable decoder yields an empty text and counts every
    // byte.
    std::size_t decode(std::string_view bytes, std::string& out);

private:
    static inline void* const kNoHandle = reinterpret_cast<void*>(-1);
    std::string encoding_;
    void* handle_ = kNoHandle;  // an iconv_t
};

}  // namespace plovik
