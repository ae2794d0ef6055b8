#include "FlicCodec.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace pz4flic {
namespace {

using pz4fmt::le16;
using pz4fmt::le32;

constexpr size_t kFrameHeaderSize = 16;
constexpr size_t kChunkHeaderSize = 6;
// Files from before the size fields were used leave them zero; such files were
// always the full 320 x 200 screen.
constexpr int kFliWidth = 320;
constexpr int kFliHeight = 200;

int tagFromMilliseconds(uint64_t ms) {
    return static_cast<int>(std::clamp<uint64_t>((ms + 5) / 10, 1, INT_MAX));
}

int tagFromJiffies(uint64_t jiffies) { // 1/70 s each
    return static_cast<int>(std::clamp<uint64_t>((jiffies * 100 + 35) / 70, 1, INT_MAX));
}

// The sub-chunks of the frame chunk at `frame` (`size` bytes) each fit inside it.
// A frame may hold fewer than it counts when its bytes end exactly there.
bool subChunksFit(const uint8_t* frame, size_t size) {
    const unsigned count = le16(frame + 6);
    size_t at = kFrameHeaderSize;
    for (unsigned i = 0; i < count && at < size; ++i) {
        if (size - at < kChunkHeaderSize)
            return false;
        const size_t length = le32(frame + at);
        if (length < kChunkHeaderSize || length > size - at)
            return false;
        at += length;
    }
    return true;
}

// Bounded reading of one sub-chunk's data; every read is checked first.
struct Reader {
    const uint8_t* p;
    const uint8_t* end;

    bool has(size_t n) const { return static_cast<size_t>(end - p) >= n; }
    uint8_t u8() { return *p++; }
    int s8() { return static_cast<int8_t>(*p++); }
    unsigned u16() {
        const unsigned v = le16(p);
        p += 2;
        return v;
    }
};

// `n` bytes to columns x.. of a row `width` wide; what falls past its end is dropped.
void copyClipped(uint8_t* row, long x, const uint8_t* from, long n, long width) {
    if (x >= width)
        return;
    std::memcpy(row + x, from, static_cast<size_t>(std::min(n, width - x)));
}

void fillClipped(uint8_t* row, long x, uint8_t value, long n, long width) {
    if (x >= width)
        return;
    std::memset(row + x, value, static_cast<size_t>(std::min(n, width - x)));
}

// Colour chunks: packets of (entries to skip, entries to set, 0 meaning 256) and
// the colours. 6-bit components are widened so that 63 gives 255; a larger value,
// which no writer should produce, counts as 63.
void applyColours(Reader r, pz4fmt::Palette& palette, bool sixBits) {
    if (!r.has(2))
        return;
    const unsigned packets = r.u16();
    unsigned index = 0;
    for (unsigned k = 0; k < packets; ++k) {
        if (!r.has(2))
            return;
        index += r.u8();
        unsigned n = r.u8();
        if (n == 0)
            n = 256;
        for (unsigned j = 0; j < n; ++j, ++index) {
            if (!r.has(3))
                return;
            uint8_t c[3] = {r.u8(), r.u8(), r.u8()};
            if (index >= 256)
                continue;
            for (int i = 0; i < 3; ++i) {
                uint8_t v = c[i];
                if (sixBits) {
                    v = std::min<uint8_t>(v, 63);
                    v = static_cast<uint8_t>((v << 2) | (v >> 4));
                }
                palette[index * 3 + static_cast<unsigned>(i)] = v;
            }
        }
    }
}

// Byte run: every row from the top, a (no longer used) packet count, then packets
// until the row is full: n >= 0 repeats the next byte n times, n < 0 copies -n bytes.
void applyByteRun(Reader r, uint8_t* screen, long width, long height) {
    for (long y = 0; y < height; ++y) {
        uint8_t* row = screen + y * width;
        if (!r.has(1))
            return;
        r.u8();
        for (long x = 0; x < width;) {
            if (!r.has(1))
                return;
            const int n = r.s8();
            if (n >= 0) {
                if (!r.has(1))
                    return;
                fillClipped(row, x, r.u8(), n, width);
                x += n;
            } else {
                if (!r.has(static_cast<size_t>(-n)))
                    return;
                copyClipped(row, x, r.p, -n, width);
                r.p += -n;
                x += -n;
            }
        }
    }
}

// Byte delta: the first row and the number of rows; each row a packet count, each
// packet a column skip and n > 0 bytes to copy or -n repeats of one byte.
void applyByteDelta(Reader r, uint8_t* screen, long width, long height) {
    if (!r.has(4))
        return;
    long y = r.u16();
    const unsigned lines = r.u16();
    for (unsigned l = 0; l < lines && y < height; ++l, ++y) {
        uint8_t* row = screen + y * width;
        if (!r.has(1))
            return;
        const unsigned packets = r.u8();
        long x = 0;
        for (unsigned k = 0; k < packets; ++k) {
            if (!r.has(2))
                return;
            x += r.u8();
            const int n = r.s8();
            if (n > 0) {
                if (!r.has(static_cast<size_t>(n)))
                    return;
                copyClipped(row, x, r.p, n, width);
                r.p += n;
                x += n;
            } else if (n < 0) {
                if (!r.has(1))
                    return;
                fillClipped(row, x, r.u8(), -n, width);
                x += -n;
            }
        }
    }
}

// Word delta: the number of rows that carry packets, then per row any number of
// opcode words before its packet count: 11 in the top bits skips -word rows, 10
// stores the low byte in the row's last pixel (odd widths), 00 is the packet count.
// Each packet is a column skip in bytes and n > 0 words to copy or -n repeats of
// one word.
void applyWordDelta(Reader r, uint8_t* screen, long width, long height) {
    if (!r.has(2))
        return;
    unsigned lines = r.u16();
    long y = 0;
    while (lines > 0 && y < height) {
        if (!r.has(2))
            return;
        const unsigned word = r.u16();
        switch (word & 0xC000) {
        case 0xC000:
            y += 0x10000 - static_cast<long>(word);
            continue;
        case 0x8000:
            screen[y * width + width - 1] = static_cast<uint8_t>(word & 0xFF);
            continue;
        case 0x4000:
            return; // undefined: nothing after it can be trusted
        default:
            break;
        }
        uint8_t* row = screen + y * width;
        long x = 0;
        for (unsigned k = 0; k < word; ++k) {
            if (!r.has(2))
                return;
            x += r.u8();
            const int n = r.s8();
            if (n > 0) {
                if (!r.has(2 * static_cast<size_t>(n)))
                    return;
                copyClipped(row, x, r.p, 2L * n, width);
                r.p += 2 * n;
                x += 2L * n;
            } else if (n < 0) {
                if (!r.has(2))
                    return;
                const uint8_t a = r.u8(), b = r.u8();
                for (int j = 0; j < -n && x < width; ++j, x += 2) {
                    row[x] = a;
                    if (x + 1 < width)
                        row[x + 1] = b;
                }
            }
        }
        --lines;
        ++y;
    }
}

} // namespace

bool scanFlic(const uint8_t* data, size_t size, FlicInfo& out) {
    out = FlicInfo{};
    if (data == nullptr || size < kHeaderSize) {
        out.damage = "shorter than a FLIC header";
        return false;
    }
    const unsigned magic = le16(data + 4);
    if (magic != kFliMagic && magic != kFlcMagic) {
        out.damage = "not a FLI or FLC file";
        return false;
    }
    out.fli = magic == kFliMagic;
    const unsigned depth = le16(data + 12);
    if (depth != 8 && depth != 0) { // 0: early writers left it unset
        out.damage = "not 8 bits a pixel";
        return false;
    }
    out.width = le16(data + 8);
    out.height = le16(data + 10);
    if (out.fli && (out.width == 0 || out.height == 0)) {
        out.width = kFliWidth;
        out.height = kFliHeight;
    }
    if (out.width <= 0 || out.height <= 0 || out.width > pz4fmt::kMaxSide ||
        out.height > pz4fmt::kMaxSide) {
        out.damage = "screen size out of range";
        return false;
    }
    // FLI keeps a 16-bit speed in 1/70 s (the word after it was a link, always 0);
    // FLC a 32-bit speed in milliseconds, and may give a frame its own delay.
    const int speedTag =
        out.fli ? tagFromJiffies(le16(data + 16)) : tagFromMilliseconds(le32(data + 16));

    const size_t declared = le16(data + 6);
    const size_t wanted = declared > 0 ? declared : kMaxFrames;
    size_t at = kHeaderSize;
    while (out.frames.size() < wanted && at < size) {
        if (size - at < kChunkHeaderSize) {
            out.damage = "a chunk header is cut short";
            break;
        }
        const size_t length = le32(data + at);
        const unsigned type = le16(data + at + 4);
        if (length < kChunkHeaderSize || length > size - at) {
            out.damage = "a chunk runs past the end of the file";
            break;
        }
        if (type == kFrameChunk) {
            if (length < kFrameHeaderSize) {
                out.damage = "a frame header is cut short";
                break;
            }
            if (!subChunksFit(data + at, length)) {
                out.damage = "a chunk runs past its frame";
                break;
            }
            FrameEntry entry{at, length, speedTag};
            const unsigned delay = le16(data + at + 8);
            if (!out.fli && delay > 0)
                entry.tag = tagFromMilliseconds(delay);
            out.frames.push_back(entry);
        }
        // Prefix chunks and anything unknown are skipped by their size.
        at += length;
    }
    if (out.damage == nullptr && declared > 0 && out.frames.size() < declared)
        out.damage = "the file ends before its last frame";
    if (out.frames.empty()) {
        if (out.damage == nullptr)
            out.damage = "no frame";
        return false;
    }
    return true;
}

FlicScreen firstScreen(const FlicInfo& info) {
    FlicScreen screen;
    screen.pixels.assign(static_cast<size_t>(info.width) * static_cast<size_t>(info.height), 0);
    return screen;
}

void drawFrame(const uint8_t* data, size_t size, const FlicInfo& info, size_t index,
               FlicScreen& screen) {
    if (index >= info.frames.size())
        return;
    const FrameEntry& frame = info.frames[index];
    if (frame.offset > size || frame.size > size - frame.offset || frame.size < kFrameHeaderSize)
        return;
    const long width = info.width, height = info.height;
    if (screen.pixels.size() != static_cast<size_t>(width * height))
        return;
    const uint8_t* chunk = data + frame.offset;
    const unsigned count = le16(chunk + 6);
    size_t at = kFrameHeaderSize;
    for (unsigned i = 0; i < count && frame.size - at >= kChunkHeaderSize; ++i) {
        const size_t length = le32(chunk + at);
        if (length < kChunkHeaderSize || length > frame.size - at)
            return;
        const Reader body{chunk + at + kChunkHeaderSize, chunk + at + length};
        uint8_t* pixels = screen.pixels.data();
        switch (le16(chunk + at + 4)) {
        case kColour256:
            applyColours(body, screen.palette, false);
            break;
        case kColour64:
            applyColours(body, screen.palette, true);
            break;
        case kWordDelta:
            applyWordDelta(body, pixels, width, height);
            break;
        case kByteDelta:
            applyByteDelta(body, pixels, width, height);
            break;
        case kBlack:
            std::fill(screen.pixels.begin(), screen.pixels.end(), 0);
            break;
        case kByteRun:
            applyByteRun(body, pixels, width, height);
            break;
        case kLiteral:
            std::memcpy(pixels, body.p,
                        std::min(screen.pixels.size(), static_cast<size_t>(body.end - body.p)));
            break;
        case kStamp: // a thumbnail for file pickers
        default:     // and chunks of later writers
            break;
        }
        at += length;
    }
}

void emitFrame(const FlicInfo& info, size_t index, const FlicScreen& screen, pz4fmt::Frame& out) {
    out.width = info.width;
    out.height = info.height;
    // Rows reversed on the way in, so the buffer is written once and never cleared first.
    const size_t w = static_cast<size_t>(info.width);
    const size_t h = std::min(static_cast<size_t>(info.height), screen.pixels.size() / w);
    out.pixels.resizeForOverwrite(w * h);
    for (size_t y = 0; y < h; ++y)
        std::memcpy(out.pixels.data() + (h - 1 - y) * w, screen.pixels.data() + y * w, w);
    out.hasPalette = true;
    out.palette = screen.palette;
    out.colorCount = 256;
    out.tag = index < info.frames.size() ? info.frames[index].tag : 1;
}

void FlicFrames::step(Screen& screen, int index, pz4fmt::Frame* out) const {
    const size_t k = static_cast<size_t>(index);
    drawFrame(bytes_.data(), bytes_.size(), info_, k, screen);
    if (out != nullptr)
        emitFrame(info_, k, screen, *out);
}

std::unique_ptr<pz4fmt::FrameSource> openFlic(pz4fmt::FileBytes bytes, size_t cap,
                                              pz4fmt::Failure* why) {
    FlicInfo info;
    if (!scanFlic(bytes.data(), bytes.size(), info)) {
        if (why != nullptr && info.damage != nullptr)
            why->fail("%s", info.damage);
        return nullptr;
    }
    return std::make_unique<pz4fmt::SequentialFrames<FlicFrames>>(
        FlicFrames(std::move(bytes), std::move(info)), cap);
}

bool decodeFlic(const uint8_t* data, size_t size, pz4fmt::Image& out, size_t maxDecodedBytes) {
    out.frames.clear();
    FlicInfo info;
    if (!scanFlic(data, size, info))
        return false;
    pz4fmt::DecodeBudget budget(maxDecodedBytes);
    if (!budget.take(info.width, info.height)) // the working screen
        return false;
    FlicScreen screen = firstScreen(info);
    for (size_t k = 0; k < info.frames.size(); ++k) {
        if (!budget.take(info.width, info.height))
            break;
        drawFrame(data, size, info, k, screen);
        pz4fmt::Frame frame;
        emitFrame(info, k, screen, frame);
        out.frames.push_back(std::move(frame));
    }
    return !out.frames.empty();
}

} // namespace pz4flic
