#include "FlicCodec.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace pz4flic {
namespace {

using pz4fmt::putLe16;
using pz4fmt::putLe32;
using pz4fmt::SaveInput;
using Bytes = std::vector<uint8_t>;

constexpr int kMaxRun = 127;      // a byte-run repeat count is a positive signed byte
constexpr int kMaxLiteral = 128;  // a byte-run copy count is a negative signed byte
constexpr int kMaxWordCopy = 127; // word-delta counts are signed bytes too
constexpr int kMaxWordRun = 128;
constexpr int kMaxColumnSkip = 254;  // whole words only, so the skip stays even
constexpr long kMaxRowSkip = 0x4000; // -0x4000 is the smallest 11-prefixed word

uint32_t milliseconds(int tag) {
    return tag > 0 ? static_cast<uint32_t>(
                         std::min<uint64_t>(uint64_t{10} * static_cast<uint64_t>(tag), UINT32_MAX))
                   : 10u;
}

void patchLe16(Bytes& out, size_t at, uint16_t v) {
    out[at] = static_cast<uint8_t>(v & 0xFF);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
}

void patchLe32(Bytes& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[at + static_cast<size_t>(i)] = static_cast<uint8_t>((v >> (8 * i)) & 0xFF);
}

// A sub-chunk of `type` around `body`, padded to an even size as players expect.
void putChunk(Bytes& out, uint16_t type, const Bytes& body) {
    const size_t padded = body.size() + (body.size() & 1);
    putLe32(out, static_cast<uint32_t>(6 + padded));
    putLe16(out, type);
    out.insert(out.end(), body.begin(), body.end());
    if (padded != body.size())
        out.push_back(0);
}

// The frame at the top left of a width x height screen of index 0, top row first.
void compose(const SaveInput& f, int width, int height, Bytes& screen) {
    screen.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    const size_t w = static_cast<size_t>(f.width);
    for (int r = 0; r < f.height; ++r)
        std::memcpy(screen.data() + static_cast<size_t>(r) * static_cast<size_t>(width),
                    f.pixels + static_cast<size_t>(f.height - 1 - r) * w, w);
}

// Palette runs: every entry of `now` (`before` null), or the runs of entries that
// differ from `before`. Empty when nothing changed.
Bytes colourChunk(const uint8_t* before, const uint8_t* now) {
    auto same = [&](int k) {
        return before != nullptr && std::memcmp(before + 3 * k, now + 3 * k, 3) == 0;
    };
    Bytes body{0, 0};
    unsigned packets = 0;
    int next = 0; // the entry after the last packet
    for (int k = 0; k < 256;) {
        if (same(k)) {
            ++k;
            continue;
        }
        const int start = k;
        while (k < 256 && !same(k))
            ++k;
        body.push_back(static_cast<uint8_t>(start - next));
        body.push_back(static_cast<uint8_t>((k - start) & 0xFF)); // 256 is written 0
        body.insert(body.end(), now + 3 * start, now + 3 * k);
        next = k;
        ++packets;
    }
    if (packets == 0)
        return {};
    patchLe16(body, 0, static_cast<uint16_t>(packets));
    return body;
}

// Pixels equal to the next two from `x`: worth a repeat packet.
bool runStarts(const uint8_t* row, int x, int end) {
    return x + 2 < end && row[x] == row[x + 1] && row[x] == row[x + 2];
}

Bytes byteRun(const Bytes& screen, int width, int height) {
    Bytes body;
    body.reserve(screen.size() / 2);
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = screen.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
        const size_t countAt = body.size();
        body.push_back(0);
        int packets = 0;
        for (int x = 0; x < width; ++packets) {
            if (runStarts(row, x, width)) {
                int n = 3;
                while (x + n < width && n < kMaxRun && row[x + n] == row[x])
                    ++n;
                body.push_back(static_cast<uint8_t>(n));
                body.push_back(row[x]);
                x += n;
            } else {
                int n = 1;
                while (x + n < width && n < kMaxLiteral && !runStarts(row, x + n, width))
                    ++n;
                body.push_back(static_cast<uint8_t>(-n));
                body.insert(body.end(), row + x, row + x + n);
                x += n;
            }
        }
        // Only the first players counted packets; the width ends a row now.
        body[countAt] = static_cast<uint8_t>(std::min(packets, 255));
    }
    return body;
}

// An odd-width screen's last column lies outside every word packet; the word delta
// has an opcode of its own for it, but ffmpeg's FLIC decoder stores that byte past
// the row, so a frame that changes the column goes out as a byte run instead.
bool lastColumnChanged(const Bytes& before, const Bytes& now, int width) {
    if ((width & 1) == 0)
        return false;
    for (size_t at = static_cast<size_t>(width) - 1; at < now.size();
         at += static_cast<size_t>(width))
        if (before[at] != now[at])
            return true;
    return false;
}

// Word delta of `now` against `before`, whose last column, on odd widths, is the same.
Bytes wordDelta(const Bytes& before, const Bytes& now, int width, int height) {
    Bytes body{0, 0};
    unsigned lines = 0;
    long skipped = 0;
    const int words = width / 2;
    Bytes packets;
    for (int y = 0; y < height; ++y) {
        const size_t base = static_cast<size_t>(y) * static_cast<size_t>(width);
        const uint8_t* a = before.data() + base;
        const uint8_t* b = now.data() + base;
        auto changed = [&](int w) { return a[2 * w] != b[2 * w] || a[2 * w + 1] != b[2 * w + 1]; };
        auto sameWord = [&](int v, int w) {
            return b[2 * v] == b[2 * w] && b[2 * v + 1] == b[2 * w + 1];
        };
        packets.clear();
        unsigned count = 0;
        int next = 0; // the word after the last packet
        for (int w = 0; w < words;) {
            if (!changed(w)) {
                ++w;
                continue;
            }
            // The changed span runs on over single unchanged words, which cost no
            // more to copy than a new packet's header.
            int end = w + 1;
            while (end < words && (changed(end) || (end + 1 < words && changed(end + 1))))
                ++end;
            while (w < end) {
                long skip = 2L * (w - next);
                while (skip > kMaxColumnSkip) { // an empty packet carries the rest
                    packets.insert(packets.end(), {static_cast<uint8_t>(kMaxColumnSkip), 0});
                    skip -= kMaxColumnSkip;
                    ++count;
                }
                int run = 1;
                while (w + run < end && run < kMaxWordRun && sameWord(w, w + run))
                    ++run;
                packets.push_back(static_cast<uint8_t>(skip));
                // A repeat packet pays for its header from three words on, or from
                // two where a copy would need a header of its own anyway.
                if (run >= 3 || (run == 2 && w + 2 == end)) {
                    packets.push_back(static_cast<uint8_t>(-run));
                    packets.insert(packets.end(), b + 2 * w, b + 2 * w + 2);
                    w += run;
                } else {
                    int n = 1;
                    while (w + n < end && n < kMaxWordCopy &&
                           !(w + n + 2 < end && sameWord(w + n, w + n + 1) &&
                             sameWord(w + n, w + n + 2)))
                        ++n;
                    packets.push_back(static_cast<uint8_t>(n));
                    packets.insert(packets.end(), b + 2 * w, b + 2 * (w + n));
                    w += n;
                }
                next = w;
                ++count;
            }
        }
        if (count == 0) {
            ++skipped;
            continue;
        }
        for (; skipped > 0; skipped -= std::min(skipped, kMaxRowSkip))
            putLe16(body, static_cast<uint16_t>(0x10000 - std::min(skipped, kMaxRowSkip)));
        putLe16(body, static_cast<uint16_t>(count));
        body.insert(body.end(), packets.begin(), packets.end());
        ++lines;
    }
    patchLe16(body, 0, static_cast<uint16_t>(lines));
    return body;
}

class Writer {
public:
    Writer(int width, int height) : width_(width), height_(height) { out_.assign(kHeaderSize, 0); }

    // A frame changing the screen from `before` (none: the first) to `now`.
    void frame(const Bytes* before, const uint8_t* beforePalette, const Bytes& now,
               const uint8_t* palette, uint16_t delay) {
        frameOffsets_.push_back(out_.size());
        const size_t start = out_.size();
        out_.resize(start + 16, 0);
        unsigned chunks = 0;
        const Bytes colours = colourChunk(beforePalette, palette);
        if (!colours.empty()) {
            putChunk(out_, kColour256, colours);
            ++chunks;
        }
        if (before == nullptr) {
            putChunk(out_, kByteRun, byteRun(now, width_, height_));
            ++chunks;
        } else if (*before != now) {
            Bytes run = byteRun(now, width_, height_);
            Bytes delta;
            if (!lastColumnChanged(*before, now, width_))
                delta = wordDelta(*before, now, width_, height_);
            if (!delta.empty() && delta.size() <= run.size())
                putChunk(out_, kWordDelta, delta);
            else
                putChunk(out_, kByteRun, run);
            ++chunks;
        }
        patchLe32(out_, start, static_cast<uint32_t>(out_.size() - start));
        patchLe16(out_, start + 4, kFrameChunk);
        patchLe16(out_, start + 6, static_cast<uint16_t>(chunks));
        patchLe16(out_, start + 8, delay);
    }

    bool finish(size_t frames, uint32_t speed, Bytes& out) {
        if (out_.size() > UINT32_MAX)
            return false;
        patchLe32(out_, 0, static_cast<uint32_t>(out_.size()));
        patchLe16(out_, 4, kFlcMagic);
        patchLe16(out_, 6, static_cast<uint16_t>(frames));
        patchLe16(out_, 8, static_cast<uint16_t>(width_));
        patchLe16(out_, 10, static_cast<uint16_t>(height_));
        patchLe16(out_, 12, 8); // bits a pixel
        patchLe16(out_, 14, 3); // written to the end, ring frame included
        patchLe32(out_, 16, speed);
        patchLe16(out_, 38, 1); // square pixels
        patchLe16(out_, 40, 1);
        patchLe32(out_, 80, static_cast<uint32_t>(frameOffsets_[0]));
        patchLe32(out_, 84, static_cast<uint32_t>(frameOffsets_[1]));
        out = std::move(out_);
        return true;
    }

private:
    int width_;
    int height_;
    Bytes out_;
    std::vector<size_t> frameOffsets_;
};

} // namespace

bool encodeFlc(const std::vector<SaveInput>& frames, std::vector<uint8_t>& out) {
    out.clear();
    if (frames.empty() || frames.size() > kMaxFrames ||
        !std::all_of(frames.begin(), frames.end(), pz4fmt::validImageInput))
        return false;
    int width = 0, height = 0;
    for (const SaveInput& f : frames) {
        width = std::max(width, f.width);
        height = std::max(height, f.height);
    }
    const uint32_t speed = milliseconds(frames.front().tag);
    Writer w(width, height);
    Bytes before, now;
    for (size_t i = 0; i < frames.size(); ++i) {
        const SaveInput& f = frames[i];
        compose(f, width, height, now);
        const uint32_t ms = milliseconds(f.tag);
        const uint16_t delay = ms == speed ? 0 : static_cast<uint16_t>(std::min(ms, 0xFFFFu));
        if (i == 0)
            w.frame(nullptr, nullptr, now, f.palette, delay);
        else
            w.frame(&before, frames[i - 1].palette, now, f.palette, delay);
        std::swap(before, now);
    }
    // The ring frame: from the last screen back to the first.
    compose(frames.front(), width, height, now);
    w.frame(&before, frames.back().palette, now, frames.front().palette, 0);
    return w.finish(frames.size(), speed, out);
}

bool saveFlcImage(const SaveInput& frame) {
    std::vector<uint8_t> bytes;
    return encodeFlc({frame}, bytes) && pz4fmt::writeEncoded(frame.fileName, bytes);
}

bool saveFlcAnimation(const std::vector<SaveInput>& frames) {
    std::vector<uint8_t> bytes;
    return !frames.empty() && encodeFlc(frames, bytes) &&
           pz4fmt::writeEncoded(frames.front().fileName, bytes);
}

} // namespace pz4flic
