// Feeds arbitrary bytes to the LZX decoder. The first four bytes choose the window, the reset
// interval and how much output to ask for; the rest is the compressed stream.

#include <cstddef>
#include <cstdint>

#include "chm/LzxDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace plovik;
    if (size < 4)
        return 0;
    const int windowBits = 15 + data[0] % 7;
    const std::uint64_t resetInterval = static_cast<std::uint64_t>(data[1] % 5) * kLzxFrameSize;
    const std::uint64_t outputLength = (std::uint64_t{data[2]} << 8 | data[3]) * 64;
    static LzxDecoder decoder;
    lzxInit(decoder, windowBits, resetInterval);
    LzxOutput output;
    output.reserve(1024, 0);
    lzxDecompress(decoder, data + 4, size - 4, output, outputLength);
    std::size_t total = 0;
    for (std::uint64_t i = 0; i < decoder.produced; ++i)
        total += output.data()[i];
    return total == 0xFFFFFFFF ? 1 : 0;
}
