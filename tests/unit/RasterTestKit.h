#pragma once

// Shared by the format tests: files built field by field, sample pictures, and
// the damage every decoder is put through with the checks of what comes out.

#include "common/FormatKit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

namespace rastertest {

using Bytes = std::vector<uint8_t>;

// Appends fields in file order, so a hand-built file reads as its layout.
class ByteWriter {
public:
    ByteWriter& u8(std::initializer_list<int> values) {
        for (int v : values)
            bytes_.push_back(static_cast<uint8_t>(v));
        return *this;
    }
    ByteWriter& le16(unsigned v) { return u8({int(v & 0xFF), int((v >> 8) & 0xFF)}); }
    ByteWriter& le32(uint32_t v) {
        return u8({int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF), int(v >> 24)});
    }
    ByteWriter& be32(uint32_t v) {
        return u8({int(v >> 24), int((v >> 16) & 0xFF), int((v >> 8) & 0xFF), int(v & 0xFF)});
    }
    ByteWriter& fill(size_t n, uint8_t v) {
        bytes_.insert(bytes_.end(), n, v);
        return *this;
    }
    // Grown, then copied into: g++ 12 at -O3 takes a range insert into a still
    // empty vector for a write past its end and warns (-Warray-bounds).
    ByteWriter& bytes(const Bytes& b) {
        const size_t at = bytes_.size();
        bytes_.resize(at + b.size());
        std::copy(b.begin(), b.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(at));
        return *this;
    }
    size_t size() const { return bytes_.size(); }
    const Bytes& data() const { return bytes_; }

private:
    Bytes bytes_;
};

struct Picture {
    int width = 0;
    int height = 0;
    Bytes pixels; // bottom-up, as the program hands them over
    pz4fmt::Palette palette{};
    int colorCount = 256;

    uint8_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Runs, lone values and every value below `colours`, different in each row so
// a flipped or shifted row shows.
inline Picture samplePicture(int width, int height, int colours = 256) {
    Picture p;
    p.width = width;
    p.height = height;
    p.colorCount = colours;
    p.pixels.resize(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int v = (x / 5) % 3 == 0 ? y * 7 + 200 : x * 31 + y * 3;
            p.pixels[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(v % colours);
        }
    for (int k = 0; k < 256; ++k) {
        p.palette[3 * k] = static_cast<uint8_t>(k);
        p.palette[3 * k + 1] = static_cast<uint8_t>(255 - k);
        p.palette[3 * k + 2] = static_cast<uint8_t>(k * 7);
    }
    return p;
}

inline pz4fmt::SaveInput saveInputOf(const Picture& p, const char* fileName = "out") {
    return pz4fmt::SaveInput{
        fileName, p.pixels.data(), p.palette.data(), p.width, p.height, p.colorCount, 0};
}

using DecodeFn = bool (*)(const uint8_t*, size_t, pz4fmt::Image&, pz4fmt::Failure*);

// What the program relies on in every frame a decoder hands out.
inline void expectSoundFrame(const pz4fmt::Frame& f) {
    EXPECT_GT(f.width, 0);
    EXPECT_GT(f.height, 0);
    EXPECT_LE(f.width, pz4fmt::kMaxSide);
    EXPECT_LE(f.height, pz4fmt::kMaxSide);
    EXPECT_EQ(f.pixels.size(), static_cast<size_t>(f.width) * static_cast<size_t>(f.height));
    EXPECT_GE(f.colorCount, 0);
    EXPECT_LE(f.colorCount, 256);
}

// A still picture: one sound frame, with a palette exactly when it has colours.
inline void expectWellFormed(const pz4fmt::Image& image) {
    ASSERT_EQ(image.frames.size(), 1u);
    const pz4fmt::Frame& f = image.frames[0];
    expectSoundFrame(f);
    EXPECT_EQ(f.hasPalette, f.colorCount > 0);
}

// An animation: frames handed out exactly when the decoder reports success, every
// one sound and of the first one's size. One report per image is enough: a
// damaged file that fails here would fail the same way on every later frame.
inline void expectSoundAnimation(const pz4fmt::Image& image, bool ok) {
    EXPECT_EQ(ok, !image.frames.empty());
    for (const pz4fmt::Frame& f : image.frames) {
        expectSoundFrame(f);
        EXPECT_EQ(f.width, image.frames[0].width);
        EXPECT_EQ(f.height, image.frames[0].height);
        if (::testing::Test::HasFailure())
            return;
    }
}

// The first `count` frames of `image` hold what those of `whole` do.
inline void expectSameFrames(const pz4fmt::Image& image, const pz4fmt::Image& whole, size_t count) {
    ASSERT_LE(count, image.frames.size());
    ASSERT_LE(count, whole.frames.size());
    for (size_t i = 0; i < count; ++i) {
        EXPECT_EQ(image.frames[i].pixels, whole.frames[i].pixels) << "frame " << i;
        EXPECT_EQ(image.frames[i].palette, whole.frames[i].palette) << "frame " << i;
        EXPECT_EQ(image.frames[i].tag, whole.frames[i].tag) << "frame " << i;
    }
}

// Every prefix of `sample` short of the whole, each copied into a buffer of exactly
// its size so that a read past the end is caught. Stops at the first fatal failure.
template <class Check> void forEachTruncation(const Bytes& sample, Check check) {
    for (size_t n = 0; n < sample.size(); ++n) {
        SCOPED_TRACE("truncated at " + std::to_string(n));
        const Bytes cut(sample.begin(), sample.begin() + static_cast<std::ptrdiff_t>(n));
        check(cut);
        if (::testing::Test::HasFatalFailure())
            return;
    }
}

// `rounds` copies of `sample`, each with one to four bytes changed, the same series
// in every run. Stops at the first fatal failure.
template <class Check> void forEachChangedCopy(const Bytes& sample, int rounds, Check check) {
    std::mt19937 random(20261208);
    for (int round = 0; round < rounds; ++round) {
        Bytes bytes = sample;
        const int flips = 1 + static_cast<int>(random() % 4);
        for (int k = 0; k < flips; ++k)
            bytes[random() % bytes.size()] ^= static_cast<uint8_t>(1 + random() % 255);
        SCOPED_TRACE("changed copy " + std::to_string(round));
        check(bytes);
        if (::testing::Test::HasFatalFailure())
            return;
    }
}

// The one frame `decode` must find in `file`; an empty frame after a reported failure.
inline pz4fmt::Frame decodeOne(DecodeFn decode, const Bytes& file) {
    pz4fmt::Image image;
    pz4fmt::Failure why;
    EXPECT_TRUE(decode(file.data(), file.size(), image, &why)) << why.reason();
    expectWellFormed(image);
    return image.frames.empty() ? pz4fmt::Frame{} : image.frames[0];
}

// Palette entry k of a frame as red, green, blue.
inline Bytes rgb(int k, const pz4fmt::Frame& f) {
    return Bytes(f.palette.begin() + 3 * k, f.palette.begin() + 3 * k + 3);
}

// One decode of damaged input: a consistent frame, or no frame and a reason.
inline void expectSoundAnswer(DecodeFn decode, const Bytes& file) {
    pz4fmt::Image image;
    pz4fmt::Failure why;
    if (decode(file.data(), file.size(), image, &why)) {
        expectWellFormed(image);
        return;
    }
    EXPECT_TRUE(image.frames.empty());
    EXPECT_TRUE(why.failed()) << "refused without a reason";
}

// Every truncation and a fixed-seed series of byte changes: the sanitizers
// watch for bad reads, writes and leaks, the checks for inconsistent frames.
// The sample itself must decode, or every damaged copy would fail for the
// sample's fault and the run would prove nothing.
inline void shake(DecodeFn decode, const Bytes& sample, int mutations = 4000) {
    {
        pz4fmt::Image image;
        pz4fmt::Failure why;
        ASSERT_TRUE(decode(sample.data(), sample.size(), image, &why)) << why.reason();
        expectWellFormed(image);
    }
    forEachTruncation(sample, [&](const Bytes& cut) { expectSoundAnswer(decode, cut); });
    std::mt19937 rng(20240611);
    for (int i = 0; i < mutations; ++i) {
        Bytes bad = sample;
        const int changes = 1 + static_cast<int>(rng() % 4);
        for (int c = 0; c < changes; ++c)
            bad[rng() % bad.size()] = static_cast<uint8_t>(rng());
        SCOPED_TRACE("mutation " + std::to_string(i));
        expectSoundAnswer(decode, bad);
    }
}

} // namespace rastertest
