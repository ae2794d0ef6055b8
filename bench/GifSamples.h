#pragma once

// The GIF animations the benchmarks read, made the same way wherever they are used:
// 300 frames of 256x256 with one global table or a local table on every frame, sprites
// with their own tables and transparency over a full first frame, and a 900-frame
// screen recording of a 16x16 block moving over a full first frame.

#include "GifCodec.h"
#include "common/FormatKit.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace pz4bench::gifsamples {

inline constexpr int kFrames = 300;
inline constexpr int kSide = 256;
inline constexpr int kSprite = 64;
inline constexpr int kRecordingFrames = 900;
inline constexpr int kRecordingWidth = 640;
inline constexpr int kRecordingHeight = 480;

// Pixels with enough detail that LZW has work to do: a pattern that shifts every
// frame plus a sprinkling of noise.
inline std::vector<uint8_t> framePixels(int frame, int side, uint32_t& seed) {
    std::vector<uint8_t> px(static_cast<size_t>(side) * static_cast<size_t>(side));
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = (seed >> 28) == 0 ? static_cast<int>(seed >> 20) & 31 : 0;
            px[static_cast<size_t>(y * side + x)] =
                static_cast<uint8_t>((((x + frame) / 4 ^ y / 4) + noise) & 63);
        }
    return px;
}

inline pz4fmt::Palette palette(int shift) {
    pz4fmt::Palette p{};
    for (size_t i = 0; i < 256; ++i) {
        p[i * 3] = static_cast<uint8_t>(i * 4 + static_cast<size_t>(shift));
        p[i * 3 + 1] = static_cast<uint8_t>(255 - i * 3);
        p[i * 3 + 2] = static_cast<uint8_t>(i * 7 + static_cast<size_t>(shift) * 3);
    }
    return p;
}

inline std::vector<uint8_t> writtenAnimation(bool localTables) {
    uint32_t seed = 1;
    std::vector<std::vector<uint8_t>> pixels;
    std::vector<pz4fmt::Palette> palettes;
    std::vector<pz4fmt::SaveInput> in;
    for (int f = 0; f < kFrames; ++f) {
        pixels.push_back(framePixels(f, kSide, seed));
        palettes.push_back(palette(localTables ? f : 0));
    }
    for (int f = 0; f < kFrames; ++f)
        in.push_back({"", pixels[static_cast<size_t>(f)].data(),
                      palettes[static_cast<size_t>(f)].data(), kSide, kSide, 64, 4});
    std::vector<uint8_t> out;
    if (!pz4gif::encodeGifAnimation(in, out))
        throw std::runtime_error("cannot write the animation");
    return out;
}

inline int appendBytes(GifFileType* gif, const GifByteType* data, int n) {
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), data, data + n);
    return n;
}

// A GIF89a written through giflib into `out`.
inline GifFileType* openWriter(std::vector<uint8_t>& out) {
    int error = 0;
    GifFileType* gif = EGifOpen(&out, appendBytes, &error);
    EGifSetGifVersion(gif, true);
    return gif;
}

inline ColorMapObject* colourMapOf(const pz4fmt::Palette& p) {
    GifColorType c[256];
    for (size_t i = 0; i < 256; ++i)
        c[i] = {p[i * 3], p[i * 3 + 1], p[i * 3 + 2]};
    return GifMakeMapObject(256, c);
}

// The graphic control block of the next image: its delay and transparent index.
inline void putControl(GifFileType* gif, int delay, int transparent) {
    GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, delay, transparent};
    GifByteType ext[4];
    EGifGCBToExtension(&gcb, ext);
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext);
}

inline void putRows(GifFileType* gif, std::vector<uint8_t>& px, int width, int height) {
    for (int y = 0; y < height; ++y)
        EGifPutLine(gif, px.data() + static_cast<size_t>(y * width), width);
}

// A GIF of `frames` frames on a `width` x `height` screen with palette 0 as its
// global table; put(gif, f) writes frame f.
template <class PutFrame>
std::vector<uint8_t> animation(int width, int height, int frames, PutFrame put) {
    std::vector<uint8_t> out;
    GifFileType* gif = openWriter(out);
    ColorMapObject* global = colourMapOf(palette(0));
    EGifPutScreenDesc(gif, width, height, 8, 0, global);
    for (int f = 0; f < frames; ++f)
        put(gif, f);
    int error = 0;
    EGifCloseFile(gif, &error);
    GifFreeMapObject(global);
    return out;
}

// Sprites moving over a background, each in its own rectangle with its own table.
inline std::vector<uint8_t> spriteAnimation() {
    uint32_t seed = 7;
    return animation(kSide, kSide, kFrames, [&seed](GifFileType* gif, int f) {
        const bool first = f == 0;
        const int side = first ? kSide : kSprite;
        putControl(gif, 4, first ? NO_TRANSPARENT_COLOR : 0);
        ColorMapObject* local = first ? nullptr : colourMapOf(palette(f));
        const int left = first ? 0 : (f * 13) % (kSide - kSprite);
        const int top = first ? 0 : (f * 29) % (kSide - kSprite);
        if (local == nullptr && gif->Image.ColorMap != nullptr) {
            GifFreeMapObject(gif->Image.ColorMap);
            gif->Image.ColorMap = nullptr;
        }
        EGifPutImageDesc(gif, left, top, side, side, false, local);
        std::vector<uint8_t> px = framePixels(f, side, seed);
        putRows(gif, px, side, side);
        if (local != nullptr)
            GifFreeMapObject(local);
    });
}

// A screen recording: a full first frame, then a 16x16 block moving over it.
inline std::vector<uint8_t> recordingAnimation() {
    uint32_t seed = 11;
    return animation(
        kRecordingWidth, kRecordingHeight, kRecordingFrames, [&seed](GifFileType* gif, int f) {
            const bool first = f == 0;
            const int width = first ? kRecordingWidth : 16, height = first ? kRecordingHeight : 16;
            putControl(gif, 3, NO_TRANSPARENT_COLOR);
            const int left = first ? 0 : (f * 7) % (kRecordingWidth - 16);
            const int top = first ? 0 : (f * 5) % (kRecordingHeight - 16);
            EGifPutImageDesc(gif, left, top, width, height, false, nullptr);
            std::vector<uint8_t> px(static_cast<size_t>(width) * static_cast<size_t>(height));
            if (first) {
                // The top 480 rows of a 640x640 picture.
                px = framePixels(0, kRecordingWidth, seed);
                px.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
            } else {
                std::fill(px.begin(), px.end(), static_cast<uint8_t>(1 + f % 60));
            }
            putRows(gif, px, width, height);
        });
}

} // namespace pz4bench::gifsamples
