#pragma once

// FLI and FLC files built field by field: a test writes the data of each chunk
// itself, a comment on each field; these helpers add the chunk headers and sizes.

#include "FlicCodec.h"
#include "RasterTestKit.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

namespace flictest {

using rastertest::Bytes;
using rastertest::ByteWriter;

// A chunk: its size (header included) and type, then `data`.
inline Bytes chunk(unsigned type, const ByteWriter& data) {
    ByteWriter w;
    w.le32(static_cast<uint32_t>(6 + data.size())) // size
        .le16(type)                                // type
        .bytes(data.data());
    return w.data();
}

// A frame chunk holding `chunks`; `delay` is its own delay in ms (FLC), 0 for none.
inline Bytes frame(std::initializer_list<Bytes> chunks, unsigned delay = 0) {
    Bytes body;
    for (const Bytes& c : chunks)
        body.insert(body.end(), c.begin(), c.end());
    ByteWriter w;
    w.le32(static_cast<uint32_t>(16 + body.size())) // size, header included
        .le16(0xF1FA)                               // frame chunk
        .le16(static_cast<unsigned>(chunks.size())) // sub-chunks
        .le16(delay)                                // delay, 0: the header's speed
        .le16(0)                                    // reserved
        .le16(0)                                    // width override, unused
        .le16(0)                                    // height override, unused
        .bytes(body);
    return w.data();
}

// The 128-byte FLC header.
inline Bytes flcHeader(int frames, int width, int height, uint32_t speedMs, int depth = 8) {
    ByteWriter w;
    w.le32(0)                                // file size, filled in by file()
        .le16(0xAF12)                        // FLC
        .le16(static_cast<unsigned>(frames)) // frames, the ring frame not counted
        .le16(static_cast<unsigned>(width))  // screen width
        .le16(static_cast<unsigned>(height)) // screen height
        .le16(static_cast<unsigned>(depth))  // bits a pixel
        .le16(3)                             // flags: finished, looped
        .le32(speedMs)                       // delay between frames in ms
        .fill(128 - 20, 0);                  // dates, serials, aspect, frame offsets: unused
    return w.data();
}

// The 128-byte FLI header: the screen is 320 x 200 unless told otherwise.
inline Bytes fliHeader(int frames, unsigned speedJiffies, int width = 320, int height = 200) {
    ByteWriter w;
    w.le32(0)                                // file size, filled in by file()
        .le16(0xAF11)                        // FLI
        .le16(static_cast<unsigned>(frames)) // frames, the ring frame not counted
        .le16(static_cast<unsigned>(width))  // 320
        .le16(static_cast<unsigned>(height)) // 200
        .le16(8)                             // bits a pixel
        .le16(0)                             // flags
        .le16(speedJiffies)                  // delay between frames in 1/70 s
        .fill(128 - 18, 0);                  // link words and expansion: zero
    return w.data();
}

// The header and chunks one after the other, with the file size filled in.
inline Bytes file(const Bytes& header, std::initializer_list<Bytes> chunks) {
    Bytes out = header;
    for (const Bytes& c : chunks)
        out.insert(out.end(), c.begin(), c.end());
    const uint32_t size = static_cast<uint32_t>(out.size());
    for (int i = 0; i < 4; ++i)
        out[static_cast<size_t>(i)] = static_cast<uint8_t>(size >> (8 * i));
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

inline Bytes colour(const pz4fmt::Frame& f, int k) {
    return Bytes(f.palette.begin() + 3 * k, f.palette.begin() + 3 * k + 3);
}

} // namespace flictest
