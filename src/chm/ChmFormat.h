#pragma once

// Field offsets of the container's on-disk structures. All integers are little-endian.

#include <cstddef>

namespace plovik::chmformat {

// ITSF file header, at file offset 0.
inline constexpr std::size_t kItsfSignature = 0;        // "ITSF"
inline constexpr std::size_t kItsfVersion = 4;          // 2 or 3
inline constexpr std::size_t kItsfCopied = 56;          // signature .. GUIDs, kept as they are
inline constexpr std::size_t kItsfSection0Offset = 56;  // 64-bit
inline constexpr std::size_t kItsfSection0Length = 64;
inline constexpr std::size_t kItsfDirectoryOffset = 72;  // header section 1: the directory
inline constexpr std::size_t kItsfDirectoryLength = 80;
inline constexpr std::size_t kItsfContentOffset = 88;  // version 3 only: where section 0 begins
inline constexpr std::size_t kItsfV2Size = 88;
inline constexpr std::size_t kItsfV3Size = 96;

// Directory header ("ITSP"), at the directory position; the chunks follow it.
inline constexpr std::size_t kDirHeaderSize = 84;
inline constexpr std::size_t kDirChunkSize = 16;
inline constexpr std::size_t kDirFirstListingChunk = 32;
inline constexpr std::size_t kDirChunkCount = 44;

// Listing chunk ("PMGL") header.
inline constexpr std::size_t kChunkHeaderSize = 20;
inline constexpr std::size_t kChunkFreeSpace = 4;  // bytes at the chunk's end that hold no entries
inline constexpr std::size_t kChunkNext = 16;      // next listing chunk, 0xFFFFFFFF for none
inline constexpr char kListingSignature[] = "PMGL";

// "::DataSpace/NameList": u16 length in units, u16 section count, then per section a u16 name
// length L and L + 1 UTF-16LE units.
inline constexpr char kNameListName[] = "::DataSpace/NameList";
inline constexpr char kStoragePrefix[] = "::DataSpace/Storage/";
inline constexpr char kCompressedSectionName[] = "MSCompressed";

// ControlData of a compressed section.
inline constexpr std::size_t kControlSignature = 4;  // "LZXC"
inline constexpr std::size_t kControlVersion = 8;
inline constexpr std::size_t kControlResetInterval = 12;
inline constexpr std::size_t kControlWindowSize = 16;
inline constexpr std::size_t kControlMinSize = 20;

// Reset table of a compressed section.
inline constexpr std::size_t kResetUncompressedLength = 16;  // 64-bit
inline constexpr std::size_t kResetCompressedLength = 24;    // 64-bit
inline constexpr std::size_t kResetMinSize = 32;
inline constexpr char kLzxTransformGuid[] = "{7FC28940-9D31-11D0-9B27-00A0C91E9C7C}";

}  // namespace plovik::chmformat
