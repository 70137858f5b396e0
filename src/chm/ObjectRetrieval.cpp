// Hands out the bytes of stored objects. Plain sections are read from the file on request; a
// compressed section is decoded whole at the first request for any of its objects, and every
// object of it is then a view into the decoded bytes.

#include <algorithm>
#include <cstring>

#include "chm/ByteReader.h"
#include "chm/ChmDiagnostics.h"
#include "chm/ChmFile.h"
#include "chm/ChmFormat.h"
#include "chm/LzxDecoder.h"

namespace plovik {

namespace fmt = chmformat;

namespace {

// The most output LZX can produce per input byte: a 1-bit match code and a 1-bit length code
// for a 257-byte match repeating the last offset make 1028; the rest is headroom for headers.
constexpr std::uint64_t kMaxExpansion = 1032;
constexpr std::uint64_t kMaxExpansionSlack = 65536;

int readPlain(ChmFile& chm, std::uint64_t base, const ChmEntry& entry, ObjectBytes& out) {
    const std::uint64_t fileSize = chm.source->size();
    if (!fitsWithin(chm.contentOffset, base, fileSize))
        return -1;
    const std::uint64_t sectionStart = chm.contentOffset + base;
    if (!fitsWithin(sectionStart, entry.offset, fileSize))
        return -1;
    const std::uint64_t start = sectionStart + entry.offset;
    if (!fitsWithin(start, entry.length, fileSize))
        return -1;
    out.storage.resize(static_cast<std::size_t>(entry.length));
    if (!chm.source->read(start, out.storage.data(), out.storage.size())) {
        out.storage.clear();
        return -1;
    }
    out.bytes = out.storage;
    return 0;
}

// An object of the storage area that describes a section. These lie in section 0 and are read
// plainly whatever section 0 is called, so a hostile file cannot make decoding a section need
// that same section.
bool storageObject(ChmFile& chm, const std::string& name, ObjectBytes& out) {
    const ChmEntry* entry = findEntry(chm.entries, name);
    return entry && entry->section == 0 && readPlain(chm, 0, *entry, out) == 0;
}

bool windowBitsFor(std::uint64_t windowBytes, int& bits) {
    for (int b = 15; b <= 21; ++b) {
        if (windowBytes == (std::uint64_t{1} << b)) {
            bits = b;
            return true;
        }
    }
    return false;
}

// Decodes the whole section once. Whatever happens, the section is marked as attempted, so a
// section that cannot be decoded fails each of its objects without being tried again. True when
// the decoder ran (successfully or not).
bool decodeSection(ChmFile& chm, ChmSection& section) {
    DiagnosticSink& sink = *chm.sink;
    section.decodeAttempted = true;
    section.validLength = 0;
    const std::string storage = std::string(fmt::kStoragePrefix) + section.name;

    ObjectBytes control;
    if (!storageObject(chm, storage + "/ControlData", control))
        return false;
    const auto* c = reinterpret_cast<const std::uint8_t*>(control.bytes.data());
    if (control.bytes.size() < fmt::kControlSignature + 4)
        return false;
    if (std::memcmp(c + fmt::kControlSignature, "LZXC", 4) != 0) {
        char signature[5] = {};
        std::memcpy(signature, c + fmt::kControlSignature, 4);
        diagnose(sink, DiagnosticStream::Error, "Compression method not LZXC: %-4.4s\n", signature);
        return false;
    }
    if (control.bytes.size() < fmt::kControlMinSize)
        return false;
    // Version 2 counts the window and the reset interval in 32 KiB frames, version 1 in bytes.
    const std::uint32_t version = loadLe32(c + fmt::kControlVersion);
    const std::uint64_t unit = version == 1 ? 1 : kLzxFrameSize;
    const std::uint32_t windowField = loadLe32(c + fmt::kControlWindowSize);
    const std::uint64_t resetInterval = loadLe32(c + fmt::kControlResetInterval) * unit;
    int windowBits = 0;
    if (!windowBitsFor(windowField * unit, windowBits)) {
        diagnose(sink, DiagnosticStream::Error, "Window size invalid: %x\n", windowField);
        return false;
    }

    const std::string resetName =
        storage + "/Transform/" + fmt::kLzxTransformGuid + "/InstanceData/ResetTable";
    diagnose(sink, DiagnosticStream::Error, "%s\n", resetName.c_str());
    ObjectBytes reset;
    ObjectBytes content;
    std::uint64_t uncompressed = 0;
    std::uint64_t compressed = 0;
    bool haveCompressed = false;
    if (storageObject(chm, resetName, reset) && reset.bytes.size() >= fmt::kResetMinSize) {
        const auto* r = reinterpret_cast<const std::uint8_t*>(reset.bytes.data());
        uncompressed = loadLe64(r + fmt::kResetUncompressedLength);
        compressed = loadLe64(r + fmt::kResetCompressedLength);
        haveCompressed = true;
    } else {
        // Without a reset table the span information still gives the uncompressed length.
        ObjectBytes span;
        if (!storageObject(chm, storage + "/SpanInfo", span) || span.bytes.size() < 8) {
            return false;
        }
        uncompressed = loadLe64(reinterpret_cast<const std::uint8_t*>(span.bytes.data()));
    }
    if (!storageObject(chm, storage + "/Content", content))
        return false;
    if (!haveCompressed)
        compressed = content.bytes.size();
    diagnose(sink, DiagnosticStream::Error, "uclength = %llx, clength = %llx\n",
             static_cast<unsigned long long>(uncompressed),
             static_cast<unsigned long long>(compressed));
    if (content.bytes.size() != compressed) {
        diagnose(sink, DiagnosticStream::Error,
                 "Warning: Content Length not same as Compressed Length (without padding) %llu "
                 "%llu \n",
                 static_cast<unsigned long long>(content.bytes.size()),
                 static_cast<unsigned long long>(compressed));
    }
    // The stream is decoded from the bytes the Content object really holds: a compressed length
    // that claims more would read past them, and one that claims less cuts off bytes a decoder's
    // look-ahead may need.
    const std::uint64_t inputSize = content.bytes.size();
    if (uncompressed > inputSize * kMaxExpansion + kMaxExpansionSlack ||
        uncompressed > SIZE_MAX - kLzxOutputSlack) {
        return false;  // more output than this much input can encode
    }

    auto decoder = std::make_unique<LzxDecoder>();
    lzxInit(*decoder, windowBits, resetInterval, &sink);
    LzxOutput output;
    // Start with room for a generous ratio; the decoder grows the buffer if the stream needs it.
    const std::uint64_t initial =
        std::min<std::uint64_t>(uncompressed, inputSize * 32 + (1u << 20)) + kLzxOutputSlack;
    int result = kLzxNoMemory;
    if (output.reserve(static_cast<std::size_t>(initial), 0)) {
        result =
            lzxDecompress(*decoder, reinterpret_cast<const std::uint8_t*>(content.bytes.data()),
                          content.bytes.size(), output, uncompressed);
    }
    diagnose(sink, DiagnosticStream::Output, "LZXResult: %d\n", result);
    section.length = uncompressed;
    section.validLength = result == kLzxNoMemory ? 0 : decoder->produced;
    section.data = output.release();
    return true;
}

}  // namespace

int retrieveEntry(ChmFile& chm, const ChmEntry& entry, ObjectBytes& out) {
    out.bytes = {};
    out.storage.clear();
    if (!chm.isOpen())
        return -1;
    // While the section list itself is being read, everything is read plainly from section 0.
    if (!chm.sectionsRead)
        return readPlain(chm, 0, entry, out);
    if (entry.section >= chm.sections.size())
        return -1;
    ChmSection& section = chm.sections[entry.section];
    if (!section.compressed)
        return readPlain(chm, section.baseOffset, entry, out);
    if (!section.decodeAttempted && decodeSection(chm, section)) {
        diagnose(*chm.sink, DiagnosticStream::Error, "offset = %llx\n",
                 static_cast<unsigned long long>(entry.offset));
        diagnose(*chm.sink, DiagnosticStream::Error, "length = %llx\n",
                 static_cast<unsigned long long>(entry.length));
    }
    if (!section.holds(entry.offset, entry.length))
        return -1;
    if (entry.length) {
        out.bytes =
            std::string_view(reinterpret_cast<const char*>(section.data.get()) + entry.offset,
                             static_cast<std::size_t>(entry.length));
    }
    return 0;
}

int retrieveObject(ChmFile& chm, std::string_view name, std::string& out) {
    out.clear();
    const ChmEntry* entry = findEntry(chm.entries, name);
    if (!entry)
        return -1;
    ObjectBytes bytes;
    if (retrieveEntry(chm, *entry, bytes) != 0)
        return -1;
    out.assign(bytes.bytes);
    return 0;
}

}  // namespace plovik
