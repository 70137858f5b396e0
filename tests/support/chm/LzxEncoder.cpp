#include "support/chm/LzxEncoder.h"

#include <algorithm>
#include <cstring>
#include <queue>
#include <utility>

namespace plovik::test {

namespace {

constexpr std::uint32_t kFrameSize = 32768;
constexpr int kMaxSlots = 50;
constexpr int kMainTreeMax = 256 + 8 * kMaxSlots;
constexpr int kLengthSymbols = 249;  // the decoder reads 249 lengths
constexpr int kPretreeSymbols = 20;
constexpr int kAlignedSymbols = 8;
constexpr std::uint32_t kMaxBlockSize = 0xFFFFFF;  // a 24-bit field

struct Tables {
    std::array<std::uint8_t, 52> extraBits{};
    std::array<std::uint32_t, 52> positionBase{};
    Tables() {
        for (int i = 0; i < 52; ++i) {
            extraBits[i] = static_cast<std::uint8_t>(i < 4 ? 0 : std::min((i - 2) / 2, 17));
        }
        for (int i = 1; i < 52; ++i) {
            positionBase[i] = positionBase[i - 1] + (1u << extraBits[i - 1]);
        }
    }
};

const Tables& tables() {
    static const Tables t;
    return t;
}

// Bits go out most significant first, collected into 16-bit words stored little-endian.
class BitWriter {
public:
    void put(std::uint32_t value, int bits) {
        for (int i = bits - 1; i >= 0; --i) {
            acc_ = static_cast<std::uint16_t>((acc_ << 1) | ((value >> i) & 1u));
            if (++count_ == 16)
                flushWord();
        }
    }
    // Pads the current word with zero bits, if one is started.
    void align() {
        if (count_ > 0)
            put(0, 16 - count_);
    }
    bool aligned() const { return count_ == 0; }
    // Only while aligned: bytes outside the bit stream (uncompressed blocks).
    void rawByte(std::uint8_t b) { out_.push_back(static_cast<char>(b)); }
    void rawU32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            rawByte(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    std::uint64_t size() const { return out_.size(); }
    std::string take() { return std::move(out_); }

private:
    void flushWord() {
        out_.push_back(static_cast<char>(acc_ & 0xFF));
        out_.push_back(static_cast<char>(acc_ >> 8));
        acc_ = 0;
        count_ = 0;
    }
    std::string out_;
    std::uint16_t acc_ = 0;
    int count_ = 0;
};

// Huffman code lengths for the counts, none longer than `limit`. Symbols with count 0 get
// length 0. When fewer than two symbols are used, dummies are added (or, with allowEmpty and
// no symbol used, every length stays 0) so that the code is complete.
std::vector<std::uint8_t> codeLengths(std::vector<std::uint32_t> freq, int limit, bool allowEmpty,
                                      int avoidSymbol = -1) {
    const std::size_t n = freq.size();
    std::vector<std::uint8_t> lengths(n, 0);
    std::size_t used = static_cast<std::size_t>(
        std::count_if(freq.begin(), freq.end(), [](std::uint32_t f) { return f > 0; }));
    if (used == 0 && allowEmpty)
        return lengths;
    for (std::size_t s = 0; used < 2 && s < n; ++s) {
        if (freq[s] == 0 && static_cast<int>(s) != avoidSymbol) {
            freq[s] = 1;
            ++used;
        }
    }
    for (;;) {
        // Nodes 0..n-1 are leaves; internal nodes follow. parent[-1] marks the root.
        std::vector<int> parent(2 * n, -1);
        using Item = std::pair<std::uint64_t, int>;
        std::priority_queue<Item, std::vector<Item>, std::greater<Item>> heap;
        for (std::size_t s = 0; s < n; ++s) {
            if (freq[s] > 0)
                heap.push({freq[s], static_cast<int>(s)});
        }
        int next = static_cast<int>(n);
        while (heap.size() > 1) {
            Item a = heap.top();
            heap.pop();
            Item b = heap.top();
            heap.pop();
            parent[a.second] = next;
            parent[b.second] = next;
            heap.push({a.first + b.first, next});
            ++next;
        }
        int longest = 0;
        for (std::size_t s = 0; s < n; ++s) {
            if (freq[s] == 0) {
                lengths[s] = 0;
                continue;
            }
            int depth = 0;
            for (int p = parent[s]; p >= 0; p = parent[p])
                ++depth;
            lengths[s] = static_cast<std::uint8_t>(depth);
            longest = std::max(longest, depth);
        }
        if (longest <= limit)
            return lengths;
        // Flatten the distribution and try again; halving keeps every used symbol used.
        for (auto& f : freq) {
            if (f > 0)
                f = (f + 1) / 2;
        }
    }
}

// Canonical codes: shorter codes first, equal lengths in symbol order.
std::vector<std::uint32_t> canonicalCodes(const std::vector<std::uint8_t>& lengths) {
    std::vector<std::uint32_t> codes(lengths.size(), 0);
    std::uint32_t code = 0;
    for (int len = 1; len <= 16; ++len) {
        for (std::size_t s = 0; s < lengths.size(); ++s) {
            if (lengths[s] == len)
                codes[s] = code++;
        }
        code <<= 1;
    }
    return codes;
}

struct Code {
    std::vector<std::uint8_t> lengths;
    std::vector<std::uint32_t> codes;
    void build(std::vector<std::uint32_t> freq, int limit, bool allowEmpty, int avoid = -1) {
        lengths = codeLengths(std::move(freq), limit, allowEmpty, avoid);
        codes = canonicalCodes(lengths);
    }
    void put(BitWriter& bw, std::size_t symbol) const { bw.put(codes[symbol], lengths[symbol]); }
};

struct PretreeOp {
    std::uint8_t symbol;
    std::uint8_t extraBits;
    std::uint32_t extra;
    int second;  // code 19: the pretree symbol that follows, else -1
};

std::uint8_t delta(std::uint8_t previous, std::uint8_t current) {
    return static_cast<std::uint8_t>((previous + 17 - current) % 17);
}

// Sends lengths [0, count) of one tree range through a fresh pretree.
void writeLengths(BitWriter& bw, const std::uint8_t* previous, const std::uint8_t* current,
                  std::size_t count, bool plainOnly) {
    std::vector<PretreeOp> ops;
    for (std::size_t i = 0; i < count;) {
        if (!plainOnly) {
            std::size_t run = 1;
            if (current[i] == 0) {
                while (i + run < count && current[i + run] == 0)
                    ++run;
                if (run >= 20) {
                    std::size_t n = std::min<std::size_t>(run, 51);
                    ops.push_back({18, 5, static_cast<std::uint32_t>(n - 20), -1});
                    i += n;
                    continue;
                }
                if (run >= 4) {
                    std::size_t n = std::min<std::size_t>(run, 19);
                    ops.push_back({17, 4, static_cast<std::uint32_t>(n - 4), -1});
                    i += n;
                    continue;
                }
            } else {
                // Code 19 takes its difference from the first symbol's old length; requiring
                // equal old lengths keeps the meaning the same for every reading of the format.
                while (i + run < count && current[i + run] == current[i] &&
                       previous[i + run] == previous[i]) {
                    ++run;
                }
                if (run >= 4) {
                    std::size_t n = std::min<std::size_t>(run, 5);
                    ops.push_back(
                        {19, 1, static_cast<std::uint32_t>(n - 4), delta(previous[i], current[i])});
                    i += n;
                    continue;
                }
            }
        }
        ops.push_back({delta(previous[i], current[i]), 0, 0, -1});
        ++i;
    }
    std::vector<std::uint32_t> freq(kPretreeSymbols, 0);
    for (const auto& op : ops) {
        ++freq[op.symbol];
        if (op.second >= 0)
            ++freq[static_cast<std::size_t>(op.second)];
    }
    Code pretree;
    pretree.build(freq, 15, false);
    for (int s = 0; s < kPretreeSymbols; ++s)
        bw.put(pretree.lengths[s], 4);
    for (const auto& op : ops) {
        pretree.put(bw, op.symbol);
        if (op.extraBits > 0)
            bw.put(op.extra, op.extraBits);
        if (op.second >= 0)
            pretree.put(bw, static_cast<std::size_t>(op.second));
    }
}

// A token with everything the bit writer needs.
struct Planned {
    bool literal = true;
    std::uint8_t byte = 0;
    std::uint32_t length = 0;
    int slot = 0;  // position slot: 0..2 repeats, 3.. explicit
    std::uint32_t extra = 0;
};

struct PlannedBlock {
    LzxBlockType type = LzxBlockType::Verbatim;
    bool resetBefore = false;
    std::vector<Planned> tokens;
    std::uint32_t size = 0;
    std::array<std::uint32_t, 3> repeated{};  // uncompressed: values written
};

class Encoder {
public:
    explicit Encoder(const LzxOptions& options) : opt_(options) {}

    // realLength: where the caller's data ends when the script already carries filler.
    LzxStream run(const std::vector<LzxBlock>& script, std::optional<std::uint64_t> realLength) {
        LzxStream result;
        if (opt_.windowBits < 15 || opt_.windowBits > 21) {
            result.error = "window bits must lie in 15..21";
            return result;
        }
        windowSize_ = 1u << opt_.windowBits;
        slots_ = lzxPositionSlots(opt_.windowBits);
        mainSymbols_ = 256 + 8 * slots_;
        std::uint64_t frames =
            opt_.resetIntervalFrames ? opt_.resetIntervalFrames : windowSize_ / kFrameSize;
        resetBytes_ = frames * kFrameSize;

        for (const auto& block : script) {
            if (!plan(block)) {
                result.error = error_;
                return result;
            }
        }
        closeBlock();
        const std::uint64_t length = realLength.value_or(pos());
        if (opt_.padFinalFrame)
            padFinalFrame();
        emitAll();
        bw_.align();
        result.compressed = bw_.take();
        result.frameOffsets = std::move(frameOffsets_);
        result.blocks = static_cast<std::uint32_t>(planned_.size());
        result.resets = resets_;
        result.decoded = opt_.e8FileSize ? lzxE8Decode(window_, opt_.e8FileSize, resetBytes_)
                                         : std::move(window_);
        result.decoded.resize(length);
        result.ok = true;
        return result;
    }

private:
    // --- Planning: resolve offsets, split at frame edges and reset points, track R0..R2. ---

    bool fail(std::string message) {
        error_ = std::move(message);
        return false;
    }

    bool atResetPoint() const { return pos() > 0 && pos() % resetBytes_ == 0; }
    std::uint64_t pos() const { return window_.size(); }

    void startBlockIfNeeded(LzxBlockType type, const LzxBlock& source) {
        if (atResetPoint() && lastResetAt_ != pos()) {
            closeBlock();
            lastResetAt_ = pos();
            historyStart_ = pos();
            r_ = {1, 1, 1};
            ++resets_;
            pendingReset_ = true;
        }
        if (!open_) {
            current_ = PlannedBlock{};
            current_.type = type;
            current_.resetBefore = pendingReset_ || planned_.empty();
            pendingReset_ = false;
            if (type == LzxBlockType::Uncompressed) {
                if (source.repeatedOffsets)
                    r_ = *source.repeatedOffsets;
                current_.repeated = r_;
            }
            open_ = true;
        }
    }

    void closeBlock() {
        if (open_ && !current_.tokens.empty())
            planned_.push_back(std::move(current_));
        open_ = false;
    }

    void addLiteral(std::uint8_t b) {
        Planned p;
        p.byte = b;
        current_.tokens.push_back(p);
        ++current_.size;
        window_.push_back(static_cast<char>(b));
    }

    void copyBytes(std::uint32_t length, std::uint32_t offset) {
        for (std::uint32_t i = 0; i < length; ++i)
            window_.push_back(window_[pos() - offset]);
    }

    bool plan(const LzxBlock& block) {
        closeBlock();
        for (const auto& token : block.tokens) {
            if (!planToken(block, token))
                return false;
        }
        closeBlock();
        return true;
    }

    // Decoders that work frame by frame decode the last frame whole, so the stream carries
    // filler (zero bytes) up to the next frame edge, in the last block.
    void padFinalFrame() {
        if (pos() % kFrameSize == 0 || planned_.empty())
            return;
        current_ = std::move(planned_.back());
        planned_.pop_back();
        open_ = true;
        std::uint32_t room = static_cast<std::uint32_t>(kFrameSize - pos() % kFrameSize);
        if (current_.type == LzxBlockType::Uncompressed) {
            while (room-- > 0)
                addLiteral(0);
        } else {
            addLiteral(0);
            --room;
            bool first = true;
            while (room >= 2) {
                std::uint32_t len = std::min<std::uint32_t>(room, 257);
                if (room - len == 1)
                    --len;
                addMatch(first ? LzxToken::match(len, 1) : LzxToken::repeat(len, 0), 1, len);
                first = false;
                room -= len;
            }
            if (room == 1)
                addLiteral(0);
        }
        closeBlock();
    }

    // A literal that repeats the byte `offset` back, as the rest of a split match.
    bool literalFromHistory(const LzxBlock& block, std::uint32_t offset) {
        startBlockIfNeeded(block.type, block);
        if (offset > pos() - historyStart_)
            return fail("a match runs over a reset point");
        addLiteral(static_cast<std::uint8_t>(window_[pos() - offset]));
        return true;
    }

    bool planToken(const LzxBlock& block, LzxToken token) {
        startBlockIfNeeded(block.type, block);
        if (token.kind == LzxToken::Kind::Literal) {
            if (current_.size == kMaxBlockSize) {
                closeBlock();
                startBlockIfNeeded(block.type, block);
            }
            addLiteral(token.byte);
            return true;
        }
        if (token.length < 2 || token.length > 257) {
            return fail("match length " + std::to_string(token.length) + " outside 2..257");
        }
        if (token.kind == LzxToken::Kind::Repeat && token.slot > 2) {
            return fail("repeated-offset slot outside 0..2");
        }
        const std::uint32_t offset =
            token.kind == LzxToken::Kind::Repeat ? r_[token.slot] : token.offset;
        if (offset < 1 || offset > windowSize_ - 3) {
            return fail("match offset " + std::to_string(offset) + " outside the window");
        }
        if (offset > pos() - historyStart_) {
            return fail("match offset " + std::to_string(offset) + " at position " +
                        std::to_string(pos()) + " reaches before the data");
        }
        if (block.type == LzxBlockType::Uncompressed) {
            for (std::uint32_t i = 0; i < token.length; ++i) {
                if (!literalFromHistory(block, offset))
                    return false;
            }
            return true;
        }
        if (current_.size + token.length > kMaxBlockSize) {
            closeBlock();
            startBlockIfNeeded(block.type, block);
        }
        std::uint32_t length = token.length;
        const auto room = static_cast<std::uint32_t>(kFrameSize - pos() % kFrameSize);
        if (room == 1) {
            // Too short for a match of its own: the byte before the frame edge goes literally.
            if (!literalFromHistory(block, offset))
                return false;
            --length;
            if (length == 1)
                return literalFromHistory(block, offset);
            token.length = length;
            return planToken(block, token);
        }
        if (length <= room) {
            addMatch(token, offset, length);
            return true;
        }
        addMatch(token, offset, room);
        length -= room;
        if (length == 1)
            return literalFromHistory(block, offset);
        startBlockIfNeeded(block.type, block);
        if (offset > pos() - historyStart_)
            return fail("a match runs over a reset point");
        addMatch(LzxToken::repeat(length, 0), offset, length);
        return true;
    }

    void addMatch(const LzxToken& token, std::uint32_t offset, std::uint32_t length) {
        Planned p;
        p.literal = false;
        p.length = length;
        if (token.kind == LzxToken::Kind::Repeat) {
            p.slot = token.slot;
            if (token.slot != 0)
                std::swap(r_[0], r_[token.slot]);
        } else {
            std::uint32_t formatted = offset + 2;
            const auto& t = tables();
            int slot = 3;
            while (slot + 1 < slots_ && t.positionBase[slot + 1] <= formatted)
                ++slot;
            p.slot = slot;
            p.extra = formatted - t.positionBase[slot];
            r_[2] = r_[1];
            r_[1] = r_[0];
            r_[0] = offset;
        }
        current_.tokens.push_back(p);
        current_.size += length;
        copyBytes(length, offset);
    }

    // --- Emission. ---

    void afterCodedOutput() {
        if (out_ % kFrameSize == 0) {
            bw_.align();
            framePending_ = true;
        }
    }

    void frameStartIfPending() {
        if (framePending_) {
            frameOffsets_.push_back(bw_.size());
            framePending_ = false;
        }
    }

    void emitAll() {
        framePending_ = true;
        for (auto& block : planned_)
            emitBlock(block);
    }

    void emitBlock(const PlannedBlock& block) {
        if (block.resetBefore) {
            std::fill(std::begin(prevMain_), std::end(prevMain_), 0);
            std::fill(std::begin(prevLength_), std::end(prevLength_), 0);
            frameStartIfPending();
            if (opt_.e8FileSize) {
                bw_.put(1, 1);
                bw_.put(opt_.e8FileSize >> 16, 16);
                bw_.put(opt_.e8FileSize & 0xFFFF, 16);
            } else {
                bw_.put(0, 1);
            }
        }
        frameStartIfPending();
        bw_.put(static_cast<std::uint32_t>(block.type), 3);
        bw_.put(block.size, 24);
        if (block.type == LzxBlockType::Uncompressed) {
            emitUncompressed(block);
        } else {
            emitCoded(block);
        }
    }

    void emitUncompressed(const PlannedBlock& block) {
        if (bw_.aligned()) {
            bw_.put(0, 16);
        } else {
            bw_.align();
        }
        for (std::uint32_t r : block.repeated)
            bw_.rawU32(r);
        for (const auto& t : block.tokens) {
            frameStartIfPending();
            bw_.rawByte(t.byte);
            ++out_;
            if (out_ % kFrameSize == 0)
                framePending_ = true;
        }
        if (block.size % 2 == 1)
            bw_.rawByte(0);
    }

    void emitCoded(const PlannedBlock& block) {
        const bool aligned = block.type == LzxBlockType::AlignedOffset;
        const auto& t = tables();
        std::vector<std::uint32_t> mainFreq(static_cast<std::size_t>(mainSymbols_), 0);
        std::vector<std::uint32_t> lengthFreq(kLengthSymbols, 0);
        std::vector<std::uint32_t> alignedFreq(kAlignedSymbols, 0);
        for (const auto& p : block.tokens) {
            if (p.literal) {
                ++mainFreq[p.byte];
                continue;
            }
            std::uint32_t header = std::min<std::uint32_t>(p.length - 2, 7);
            ++mainFreq[256 + static_cast<std::size_t>(p.slot) * 8 + header];
            if (header == 7)
                ++lengthFreq[p.length - 9];
            if (aligned && p.slot >= 3 && t.extraBits[p.slot] >= 3)
                ++alignedFreq[p.extra & 7];
        }
        Code mainCode, lengthCode, alignedCode;
        mainCode.build(mainFreq, 16, false, 0xE8);
        lengthCode.build(lengthFreq, 16, opt_.allowEmptyTrees);
        if (aligned) {
            alignedCode.build(alignedFreq, 7, opt_.allowEmptyTrees);
            for (int s = 0; s < kAlignedSymbols; ++s)
                bw_.put(alignedCode.lengths[s], 3);
        }
        writeLengths(bw_, prevMain_, mainCode.lengths.data(), 256, opt_.plainDeltasOnly);
        writeLengths(bw_, prevMain_ + 256, mainCode.lengths.data() + 256,
                     static_cast<std::size_t>(mainSymbols_ - 256), opt_.plainDeltasOnly);
        writeLengths(bw_, prevLength_, lengthCode.lengths.data(), kLengthSymbols,
                     opt_.plainDeltasOnly);
        std::copy(mainCode.lengths.begin(), mainCode.lengths.end(), prevMain_);
        std::copy(lengthCode.lengths.begin(), lengthCode.lengths.end(), prevLength_);

        for (const auto& p : block.tokens) {
            frameStartIfPending();
            if (p.literal) {
                mainCode.put(bw_, p.byte);
                ++out_;
                afterCodedOutput();
                continue;
            }
            std::uint32_t header = std::min<std::uint32_t>(p.length - 2, 7);
            mainCode.put(bw_, 256 + static_cast<std::size_t>(p.slot) * 8 + header);
            if (header == 7)
                lengthCode.put(bw_, p.length - 9);
            if (p.slot >= 3) {
                int bits = t.extraBits[p.slot];
                if (aligned && bits >= 3) {
                    if (bits > 3)
                        bw_.put(p.extra >> 3, bits - 3);
                    alignedCode.put(bw_, p.extra & 7);
                } else if (bits > 0) {
                    bw_.put(p.extra, bits);
                }
            }
            out_ += p.length;
            afterCodedOutput();
        }
    }

    LzxOptions opt_;
    std::uint32_t windowSize_ = 0;
    int slots_ = 0;
    int mainSymbols_ = 0;
    std::uint64_t resetBytes_ = 0;
    std::string error_;

    // Planning state.
    std::string window_;  // everything the decoder's window receives, in order
    std::uint64_t historyStart_ = 0;
    std::uint64_t lastResetAt_ = 0;
    std::array<std::uint32_t, 3> r_{1, 1, 1};
    std::vector<PlannedBlock> planned_;
    PlannedBlock current_;
    bool open_ = false;
    bool pendingReset_ = false;
    std::uint32_t resets_ = 0;

    // Emission state.
    BitWriter bw_;
    std::uint64_t out_ = 0;
    bool framePending_ = false;
    std::uint8_t prevMain_[kMainTreeMax] = {};
    std::uint8_t prevLength_[kLengthSymbols + 1] = {};
    std::vector<std::uint64_t> frameOffsets_;
};

std::string e8Transform(std::string_view in, std::uint32_t fileSize, std::uint64_t resetBytes,
                        bool encode) {
    std::string out(in);
    if (fileSize == 0)
        return out;
    const auto size = static_cast<std::int64_t>(fileSize);
    std::uint64_t frame = 0;
    for (std::size_t start = 0; start < out.size(); start += kFrameSize, ++frame) {
        // A decoder that starts at a reset point knows nothing before it: positions and the
        // frame count begin again there.
        std::uint64_t resetStart = resetBytes ? start / resetBytes * resetBytes : 0;
        if (start == resetStart)
            frame = 0;
        if (frame >= 32768)
            continue;
        std::size_t len = std::min<std::size_t>(kFrameSize, out.size() - start);
        if (len <= 10)
            continue;
        for (std::size_t i = start; i < start + len - 10; ++i) {
            if (static_cast<std::uint8_t>(out[i]) != 0xE8)
                continue;
            std::uint32_t raw = 0;
            for (int k = 0; k < 4; ++k) {
                raw |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(out[i + 1 + k]))
                       << (8 * k);
            }
            const auto value = static_cast<std::int64_t>(static_cast<std::int32_t>(raw));
            const auto p = static_cast<std::int64_t>(i - resetStart);
            std::int64_t result = value;
            if (value >= -p && value < size) {
                if (encode) {
                    result = value < size - p ? value + p : value - size;
                } else {
                    result = value >= 0 ? value - p : value + size;
                }
            }
            auto bits = static_cast<std::uint32_t>(static_cast<std::int32_t>(result));
            for (int k = 0; k < 4; ++k)
                out[i + 1 + k] = static_cast<char>(bits >> (8 * k));
            i += 4;
        }
    }
    return out;
}

}  // namespace

LzxToken LzxToken::literal(std::uint8_t b) {
    LzxToken t;
    t.byte = b;
    return t;
}

LzxToken LzxToken::match(std::uint32_t length, std::uint32_t offset) {
    LzxToken t;
    t.kind = Kind::Match;
    t.length = length;
    t.offset = offset;
    return t;
}

LzxToken LzxToken::repeat(std::uint32_t length, int slot) {
    LzxToken t;
    t.kind = Kind::Repeat;
    t.length = length;
    t.slot = static_cast<std::uint8_t>(slot);
    return t;
}

std::vector<LzxToken> lzxLiterals(std::string_view bytes) {
    std::vector<LzxToken> tokens;
    tokens.reserve(bytes.size());
    for (char c : bytes)
        tokens.push_back(LzxToken::literal(static_cast<std::uint8_t>(c)));
    return tokens;
}

int lzxPositionSlots(int windowBits) {
    if (windowBits == 20)
        return 42;
    if (windowBits == 21)
        return 50;
    return 2 * windowBits;
}

LzxStream encodeLzx(const std::vector<LzxBlock>& script, const LzxOptions& options) {
    return Encoder(options).run(script, std::nullopt);
}

std::string lzxE8Encode(std::string_view original, std::uint32_t fileSize,
                        std::uint64_t resetIntervalBytes) {
    return e8Transform(original, fileSize, resetIntervalBytes, true);
}

std::string lzxE8Decode(std::string_view translated, std::uint32_t fileSize,
                        std::uint64_t resetIntervalBytes) {
    return e8Transform(translated, fileSize, resetIntervalBytes, false);
}

LzxStream encodeGreedy(std::string_view bytes, const LzxOptions& options) {
    LzxStream failed;
    if (options.windowBits < 15 || options.windowBits > 21) {
        failed.error = "window bits must lie in 15..21";
        return failed;
    }
    if (options.greedyBlockTypes.empty() || options.greedyBlockSize == 0) {
        failed.error = "greedy encoding needs block types and a block size";
        return failed;
    }
    // The filler of the last frame goes through the E8 translation too, as decoders that
    // translate whole frames see it.
    std::string padded(bytes);
    if (options.padFinalFrame && padded.size() % kFrameSize != 0) {
        padded.resize((padded.size() / kFrameSize + 1) * kFrameSize, '\0');
    }
    const std::uint32_t windowSize = 1u << options.windowBits;
    const std::uint64_t resetBytes =
        static_cast<std::uint64_t>(options.resetIntervalFrames ? options.resetIntervalFrames
                                                               : windowSize / kFrameSize) *
        kFrameSize;
    const std::string data = lzxE8Encode(padded, options.e8FileSize, resetBytes);
    const std::size_t n = data.size();

    constexpr std::uint32_t kHashSize = 1u << 16;
    std::vector<std::int64_t> head(kHashSize, -1);
    std::vector<std::int64_t> chain(n, -1);
    auto hashAt = [&](std::size_t i) {
        auto b = [&](std::size_t k) {
            return static_cast<std::uint32_t>(static_cast<std::uint8_t>(data[k]));
        };
        return ((b(i) << 10) ^ (b(i + 1) << 5) ^ b(i + 2)) & (kHashSize - 1);
    };
    auto insert = [&](std::size_t i) {
        if (i + 2 >= n)
            return;
        std::uint32_t h = hashAt(i);
        chain[i] = head[h];
        head[h] = static_cast<std::int64_t>(i);
    };
    auto matchLength = [&](std::size_t i, std::size_t j, std::size_t limit) {
        std::size_t len = 0;
        while (len < limit && data[i + len] == data[j + len])
            ++len;
        return len;
    };

    std::vector<LzxBlock> script;
    std::size_t typeIndex = 0;
    auto newBlock = [&]() {
        LzxBlock b;
        b.type = options.greedyBlockTypes[typeIndex++ % options.greedyBlockTypes.size()];
        script.push_back(std::move(b));
    };
    newBlock();
    std::uint32_t inBlock = 0;
    std::array<std::uint32_t, 3> r{1, 1, 1};

    for (std::size_t i = 0; i < n;) {
        const std::uint64_t resetStart = (i / resetBytes) * resetBytes;
        if (i == resetStart && i > 0)
            r = {1, 1, 1};
        if (inBlock >= options.greedyBlockSize || (i == resetStart && i > 0 && inBlock > 0)) {
            newBlock();
            inBlock = 0;
        }
        const std::size_t frameEnd = (i / kFrameSize + 1) * kFrameSize;
        const std::size_t limit = std::min<std::size_t>({257, n - i, frameEnd - i});
        std::size_t bestLen = 0;
        std::uint32_t bestOffset = 0;
        int bestSlot = -1;
        const auto history = static_cast<std::uint64_t>(i - resetStart);
        for (int s = 0; s < 3 && limit >= 2; ++s) {
            if (r[s] > history || r[s] > windowSize - 3)
                continue;
            std::size_t len = matchLength(i, i - r[s], limit);
            if (len >= 2 && len > bestLen) {
                bestLen = len;
                bestOffset = r[s];
                bestSlot = s;
            }
        }
        if (limit >= 3) {
            int budget = options.greedyMaxChain;
            for (std::int64_t j = head[hashAt(i)]; j >= 0 && budget-- > 0; j = chain[j]) {
                const auto offset = static_cast<std::uint64_t>(i) - static_cast<std::uint64_t>(j);
                if (offset > history || offset > windowSize - 3)
                    break;
                std::size_t len = matchLength(i, static_cast<std::size_t>(j), limit);
                if (len >= 3 && len > bestLen + 1) {
                    bestLen = len;
                    bestOffset = static_cast<std::uint32_t>(offset);
                    bestSlot = -1;
                }
            }
        }
        auto& tokens = script.back().tokens;
        if (bestLen >= 2 && (bestSlot >= 0 || bestLen >= 3)) {
            if (script.back().type == LzxBlockType::Uncompressed) {
                for (std::size_t k = 0; k < bestLen; ++k) {
                    tokens.push_back(LzxToken::literal(static_cast<std::uint8_t>(data[i + k])));
                }
            } else if (bestSlot >= 0) {
                tokens.push_back(LzxToken::repeat(static_cast<std::uint32_t>(bestLen), bestSlot));
                std::swap(r[0], r[static_cast<std::size_t>(bestSlot)]);
            } else {
                tokens.push_back(LzxToken::match(static_cast<std::uint32_t>(bestLen), bestOffset));
                r = {bestOffset, r[0], r[1]};
            }
            for (std::size_t k = 0; k < bestLen; ++k)
                insert(i + k);
            i += bestLen;
            inBlock += static_cast<std::uint32_t>(bestLen);
        } else {
            tokens.push_back(LzxToken::literal(static_cast<std::uint8_t>(data[i])));
            insert(i);
            ++i;
            ++inBlock;
        }
    }

    LzxStream result = Encoder(options).run(script, bytes.size());
    if (result.ok && result.decoded != bytes) {
        result.ok = false;
        result.error = "greedy encoding does not reproduce its input";
    }
    return result;
}

}  // namespace plovik::test
