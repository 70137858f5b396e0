#pragma once

// Where the bytes of a CHM file come from. The reader and the decoder never open files
// themselves: they ask a ByteSource for byte ranges, so tests and the fuzzer can hand them a
// buffer and the program a file.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace plovik {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // The number of bytes there are; fixed for the life of the source.
    virtual std::uint64_t size() const = 0;
    // Copies exactly `count` bytes from `offset` to `out`. False, with `out` in an unspecified
    // state, when the range does not lie wholly inside the source or the read fails; a short
    // read is a failure, never a partial success.
    virtual bool read(std::uint64_t offset, void* out, std::size_t count) = 0;
};

// A file opened for reading; null when it cannot be opened or is not a regular file.
std::unique_ptr<ByteSource> openFileSource(const std::string& path);
// Bytes in memory. The view must outlive the source.
std::unique_ptr<ByteSource> memorySource(std::string_view bytes);
// Bytes in memory that the source keeps.
std::unique_ptr<ByteSource> ownedMemorySource(std::string bytes);

}  // namespace plovik
