#pragma once

// FLI and FLC files built field by field: a test writes each chunk's data with a
// comment on each field; these helpers add the chunk headers and sizes.

#include "FlicCodec.h"
#include "RasterTestKit.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

namespace flictest {

using rastertest::Bytes;
using rastertest::ByteWriter;
using rastertest::rgb;

inline Bytes chunk(unsigned type, const ByteWriter& data) {
    return ByteWriter()
        .le32(static_cast<uint32_t>(6 + data.size()))
        .le16(type)
        .bytes(data.data())
        .data();
}

// A frame chunk holding `chunks`; `delay` is its own delay in ms (FLC), 0 for none.
inline Bytes frame(std::initializer_list<Bytes> chunks, unsigned delay = 0) {
    ByteWriter body;
    for (const Bytes& c : chunks)
        body.bytes(c);
    return ByteWriter()
        .le32(static_cast<uint32_t>(16 + body.size())) // size, header included
        .le16(0xF1FA)                                  // frame chunk
        .le16(static_cast<unsigned>(chunks.size()))    // sub-chunks
        .le16(delay)                                   // delay, 0: the header's speed
        .fill(6, 0)                                    // reserved, width/height overrides
        .bytes(body.data())
        .data();
}

// The 128-byte FLC header.
inline Bytes flcHeader(int frames, int width, int height, uint32_t speedMs, int depth = 8) {
    return ByteWriter()
        .le32(0)                             // file size, filled in by file()
        .le16(0xAF12)                        // FLC
        .le16(static_cast<unsigned>(frames)) // frames, the ring frame not counted
        .le16(static_cast<unsigned>(width))  // screen width
        .le16(static_cast<unsigned>(height)) // screen height
        .le16(static_cast<unsigned>(depth))  // bits a pixel
        .le16(3)                             // flags: finished, looped
        .le32(speedMs)                       // delay between frames in ms
        .fill(128 - 20, 0)                   // dates, serials, aspect, frame offsets: unused
        .data();
}

// The 128-byte FLI header: the screen is 320 x 200 unless told otherwise.
inline Bytes fliHeader(int frames, unsigned speedJiffies, int width = 320, int height = 200) {
    return ByteWriter()
        .le32(0)                             // file size, filled in by file()
        .le16(0xAF11)                        // FLI
        .le16(static_cast<unsigned>(frames)) // frames, the ring frame not counted
        .le16(static_cast<unsigned>(width))  // 320
        .le16(static_cast<unsigned>(height)) // 200
        .le16(8)                             // bits a pixel
        .le16(0)                             // flags
        .le16(speedJiffies)                  // delay between frames in 1/70 s
        .fill(128 - 18, 0)                   // link words and expansion: zero
        .data();
}

// The header and chunks one after the other, with the file size filled in.
inline Bytes file(const Bytes& header, std::initializer_list<Bytes> chunks) {
    Bytes out = header;
    for (const Bytes& c : chunks)
        out.insert(out.end(), c.begin(), c.end());
    for (int i = 0; i < 4; ++i)
        out[static_cast<size_t>(i)] = static_cast<uint8_t>(out.size() >> (8 * i));
    return out;
}

inline pz4fmt::Image decode(const Bytes& bytes) {
    pz4fmt::Image image;
    pz4flic::decodeFlic(bytes.data(), bytes.size(), image);
    return image;
}

// Row `y` counted from the top, as the file stores it.
inline Bytes rowFromTop(const pz4fmt::Frame& f, int y) {
    const auto start = f.pixels.begin() + static_cast<long>(f.height - 1 - y) * f.width;
    return Bytes(start, start + f.width);
}

// The whole picture, top row first.
inline Bytes topDown(const pz4fmt::Frame& f) {
    Bytes out;
    for (int y = 0; y < f.height; ++y) {
        const Bytes row = rowFromTop(f, y);
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

// Every frame chunk of a file, the ring frame included, as (offset, size).
inline std::vector<pz4flic::FrameEntry> everyFrameChunk(const Bytes& f) {
    Bytes uncounted = f;
    uncounted[6] = uncounted[7] = 0; // no count: every frame chunk is read
    pz4flic::FlicInfo info;
    EXPECT_TRUE(pz4flic::scanFlic(uncounted.data(), uncounted.size(), info));
    EXPECT_EQ(info.damage, nullptr);
    return info.frames;
}

} // namespace flictest
