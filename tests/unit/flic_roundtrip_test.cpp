// Writing FLC files and reading them back; the written chunks checked field by field.

#include "FlicTestFile.h"

#include <gtest/gtest.h>

#include <random>

using namespace flictest;
using pz4fmt::le16;
using pz4fmt::le32;

namespace {

// A frame to save: pixels (bottom-up) and palette owned here.
struct Source {
    int width = 0, height = 0, tag = 0;
    Bytes pixels;
    pz4fmt::Palette palette{};

    pz4fmt::SaveInput input() const {
        return {"out.flc", pixels.data(), palette.data(), width, height, 256, tag};
    }
};

pz4fmt::Palette palette(int seed) {
    pz4fmt::Palette p{};
    for (size_t i = 0; i < p.size(); ++i)
        p[i] = static_cast<uint8_t>(i * 7 + static_cast<size_t>(seed) * 13);
    return p;
}

Source pattern(int width, int height, int seed, int tag, int paletteSeed = 0) {
    Source s{width, height, tag, {}, palette(paletteSeed)};
    for (int i = 0; i < width * height; ++i)
        s.pixels.push_back(static_cast<uint8_t>((i / 3 + seed * 5) % 251));
    return s;
}

Bytes encode(const std::vector<Source>& sources) {
    std::vector<pz4fmt::SaveInput> in;
    for (const Source& s : sources)
        in.push_back(s.input());
    Bytes out;
    EXPECT_TRUE(pz4flic::encodeFlc(in, out));
    return out;
}

// The types of the sub-chunks of frame chunk `k`, the ring frame counted.
std::vector<unsigned> subChunkTypes(const Bytes& f, size_t k) {
    const size_t offset = everyFrameChunk(f).at(k).offset;
    std::vector<unsigned> types;
    for (size_t at = offset + 16; at < offset + le32(&f[offset]); at += le32(&f[at]))
        types.push_back(le16(&f[at + 4]));
    EXPECT_EQ(types.size(), le16(&f[offset + 6]));
    return types;
}

void expectSameFrames(const pz4fmt::Image& image, const std::vector<Source>& sources) {
    ASSERT_EQ(image.frames.size(), sources.size());
    for (size_t i = 0; i < sources.size(); ++i) {
        SCOPED_TRACE(i);
        const pz4fmt::Frame& f = image.frames[i];
        ASSERT_EQ(f.width, sources[i].width);
        ASSERT_EQ(f.height, sources[i].height);
        EXPECT_EQ(f.pixels, sources[i].pixels);
        EXPECT_EQ(f.palette, sources[i].palette);
        EXPECT_EQ(f.tag, sources[i].tag > 0 ? sources[i].tag : 1);
        EXPECT_EQ(f.colorCount, 256);
    }
}

TEST(FlicRoundTrip, PalettesChangingAndFramesRepeating) {
    for (const auto& [w, h] : {std::pair{1, 1}, std::pair{3, 2}, std::pair{320, 200}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        Source moved = pattern(w, h, 2, 4);
        moved.pixels[0] ^= 0x55;
        Source recoloured = moved;
        recoloured.palette[3 * 9] ^= 0xFF; // same pixels, one entry changed
        const std::vector<Source> sources{
            pattern(w, h, 1, 4),     moved, moved /* an empty frame */, recoloured,
            pattern(w, h, 3, 12, 5), // all new, another palette
            pattern(w, h, 1, 0),     // back to the first, no delay given
        };
        expectSameFrames(decode(encode(sources)), sources);
    }
}

TEST(FlicRoundTrip, RandomChangesAtManyWidthsReadBackExactly) {
    // Long rows bring column skips past one byte, runs and copies past one packet.
    std::mt19937 random(1208);
    for (int width : {1, 2, 5, 8, 131, 600}) {
        SCOPED_TRACE(width);
        std::vector<Source> sources{pattern(width, 4, 0, 3)};
        for (int k = 0; k < 6; ++k) {
            Source next = sources.back();
            for (int c = static_cast<int>(random() % 40); c > 0; --c) {
                const size_t at = random() % next.pixels.size();
                const size_t length = std::min<size_t>(random() % 300, next.pixels.size() - at);
                const uint8_t v = static_cast<uint8_t>(random());
                for (size_t i = at; i < at + length; ++i)
                    next.pixels[i] = (random() % 4 == 0) ? static_cast<uint8_t>(random()) : v;
            }
            sources.push_back(next);
        }
        expectSameFrames(decode(encode(sources)), sources);
    }
}

TEST(FlicWrite, HeaderFields) {
    const Bytes f = encode({pattern(5, 3, 0, 12), pattern(5, 3, 1, 12)});
    const std::vector<pz4flic::FrameEntry> chunks = everyFrameChunk(f);
    ASSERT_EQ(chunks.size(), 3u) << "two frames and the ring frame";
    EXPECT_EQ(le32(&f[0]), f.size());          // file size
    EXPECT_EQ(le16(&f[4]), 0xAF12u);           // FLC
    EXPECT_EQ(le16(&f[6]), 2u);                // frames, the ring frame not counted
    EXPECT_EQ(le16(&f[8]), 5u);                // width
    EXPECT_EQ(le16(&f[10]), 3u);               // height
    EXPECT_EQ(le16(&f[12]), 8u);               // bits a pixel
    EXPECT_EQ(le16(&f[14]), 3u);               // flags: finished, looped
    EXPECT_EQ(le32(&f[16]), 120u);             // speed: 12/100 s in ms
    EXPECT_EQ(le16(&f[20]), 0u);               // reserved
    EXPECT_EQ(le32(&f[80]), 128u);             // first frame
    EXPECT_EQ(le32(&f[84]), chunks[1].offset); // second frame
}

TEST(FlicWrite, EachFrameCarriesTheChunksItNeeds) {
    Source first = pattern(40, 6, 0, 5);
    Source small = first; // a few pixels change: a word delta is smaller
    small.pixels[3] = 200;
    small.pixels[100] = 201;
    Source noise = small; // every pixel changes: a byte run is smaller
    std::mt19937 random(7);
    for (uint8_t& p : noise.pixels)
        p = static_cast<uint8_t>(random());
    Source recoloured = noise;
    for (int k : {5, 6, 200})
        recoloured.palette[static_cast<size_t>(3 * k + 1)] ^= 0x80;
    const Bytes f = encode({first, small, small, noise, recoloured});
    const std::vector<pz4flic::FrameEntry> chunks = everyFrameChunk(f);
    ASSERT_EQ(chunks.size(), 6u);

    using Types = std::vector<unsigned>;
    EXPECT_EQ(subChunkTypes(f, 0), (Types{4, 15})); // palette, byte run
    EXPECT_EQ(subChunkTypes(f, 1), (Types{7}));     // word delta
    EXPECT_EQ(chunks[2].size, 16u) << "an unchanged frame is a bare header";
    EXPECT_EQ(subChunkTypes(f, 3), (Types{15}));
    EXPECT_EQ(subChunkTypes(f, 4), (Types{4}));     // colours alone
    EXPECT_EQ(subChunkTypes(f, 5), (Types{4, 15})); // ring frame: back to the first

    // The first palette whole: one packet, skip 0, count 0 for 256.
    const uint8_t* first256 = &f[chunks[0].offset + 16];
    EXPECT_EQ(le32(first256), 6u + 2 + 2 + 768);
    EXPECT_EQ(le16(first256 + 6), 1u);
    EXPECT_EQ(Bytes(first256 + 8, first256 + 10), (Bytes{0, 0}));
    // Later, only the runs that changed: entries 5 and 6, then entry 200.
    const uint8_t* changed = &f[chunks[4].offset + 16];
    EXPECT_EQ(le16(changed + 6), 2u);                              // packets
    EXPECT_EQ(Bytes(changed + 8, changed + 10), (Bytes{5, 2}));    // skip 5, set 2
    EXPECT_EQ(Bytes(changed + 16, changed + 18), (Bytes{193, 1})); // skip to 200, set 1
    EXPECT_EQ(changed[18 + 1], recoloured.palette[3 * 200 + 1]);
    EXPECT_EQ(le32(changed), 22u) << "21 bytes, padded to an even size";
}

TEST(FlicWrite, ARingFrameLeadsBackToTheFirstPictureAndPalette) {
    const std::vector<Source> sources{pattern(6, 2, 0, 5, 1), pattern(6, 2, 4, 5, 2)};
    Bytes f = encode(sources);
    f[6] = f[7] = 0; // read the ring frame as a frame of its own
    const pz4fmt::Image image = decode(f);
    ASSERT_EQ(image.frames.size(), 3u);
    EXPECT_EQ(image.frames[2].pixels, sources[0].pixels);
    EXPECT_EQ(image.frames[2].palette, sources[0].palette);
}

TEST(FlicWrite, LaterFramesWithOtherTagsCarryTheirOwnDelay) {
    const std::vector<Source> sources{pattern(2, 2, 0, 7), pattern(2, 2, 1, 7),
                                      pattern(2, 2, 2, 30), pattern(2, 2, 3, -5)};
    const Bytes f = encode(sources);
    const std::vector<pz4flic::FrameEntry> chunks = everyFrameChunk(f);
    ASSERT_EQ(chunks.size(), 5u);
    EXPECT_EQ(le32(&f[16]), 70u);
    EXPECT_EQ(le16(&f[chunks[1].offset + 8]), 0u) << "the header's speed";
    EXPECT_EQ(le16(&f[chunks[2].offset + 8]), 300u);
    EXPECT_EQ(le16(&f[chunks[3].offset + 8]), 10u) << "no delay given: 10 ms";
    expectSameFrames(decode(f), sources);
}

TEST(FlicWrite, OddWidthsChangingTheirLastColumnGoOutAsByteRuns) {
    // The word delta's own opcode for that column is lost on ffmpeg.
    Source a = pattern(101, 2, 0, 1), even = pattern(100, 2, 0, 1);
    Source inside = a, evenLast = even;
    inside.pixels[50] ^= 1;
    Source last = inside;
    last.pixels[100] ^= 1; // bottom row, last column
    evenLast.pixels[99] ^= 1;
    const Bytes odd = encode({a, inside, last});
    EXPECT_EQ(subChunkTypes(odd, 1), (std::vector<unsigned>{7}));
    EXPECT_EQ(subChunkTypes(odd, 2), (std::vector<unsigned>{15}));
    expectSameFrames(decode(odd), {a, inside, last});
    EXPECT_EQ(subChunkTypes(encode({even, evenLast}), 1), (std::vector<unsigned>{7}));
}

TEST(FlicWrite, SmallerFramesSitTopLeftOverIndexZero) {
    Source big = pattern(4, 3, 1, 2);
    Source small{2, 1, 2, {7, 8}, palette(0)};
    const pz4fmt::Image image = decode(encode({big, small}));
    ASSERT_EQ(image.frames.size(), 2u);
    EXPECT_EQ(image.frames[0].pixels, big.pixels);
    EXPECT_EQ(image.frames[1].width, 4);
    EXPECT_EQ(image.frames[1].height, 3);
    EXPECT_EQ(topDown(image.frames[1]), (Bytes{7, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(FlicWrite, RefusesWhatItCannotWrite) {
    const Source s = pattern(2, 2, 0, 1);
    Bytes out{1, 2, 3};
    EXPECT_FALSE(pz4flic::encodeFlc({}, out));
    EXPECT_TRUE(out.empty());
    pz4fmt::SaveInput noPixels = s.input(), tooWide = s.input();
    noPixels.pixels = nullptr;
    tooWide.width = pz4fmt::kMaxSide + 1;
    EXPECT_FALSE(pz4flic::encodeFlc({s.input(), noPixels}, out));
    EXPECT_FALSE(pz4flic::encodeFlc({tooWide}, out));
    // The header counts frames in 16 bits.
    const std::vector<pz4fmt::SaveInput> many(pz4flic::kMaxFrames + 1, s.input());
    EXPECT_FALSE(pz4flic::encodeFlc(many, out));
    EXPECT_TRUE(out.empty());
}

} // namespace
