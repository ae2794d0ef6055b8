// Reading hand-built FLI and FLC files: each chunk kind, palettes over time, timing,
// the ring frame, and what damaged or out-of-range data does.

#include "FlicTestFile.h"

#include <gtest/gtest.h>

using namespace flictest;

namespace {

TEST(FlicDecode, FlcByteRunAndColoursGiveABottomUpFrame) {
    const Bytes f = file(flcHeader(1, 4, 2, /*speed ms*/ 70),
                         {frame({chunk(4, ByteWriter()
                                              .le16(1)             // packets
                                              .u8({0, 3})          // skip 0 entries, set 3
                                              .u8({10, 20, 30})    // entry 0
                                              .u8({40, 50, 60})    // entry 1
                                              .u8({255, 0, 128})), // entry 2
                                 chunk(15, ByteWriter()
                                               .u8({2})       // top row: packets (unused)
                                               .u8({3, 1})    // 3 x index 1
                                               .u8({0xFF, 2}) // 1 literal: 2
                                               .u8({1})       // bottom row: packets
                                               .u8({0xFC, 0, 1, 2, 0}))}), // 4 literals
                          frame({})});                                     // ring frame
    const pz4fmt::Image image = decode(f);
    ASSERT_EQ(image.frames.size(), 1u);
    const pz4fmt::Frame& fr = image.frames[0];
    EXPECT_EQ(fr.width, 4);
    EXPECT_EQ(fr.height, 2);
    EXPECT_EQ(fr.pixels, (Bytes{0, 1, 2, 0, /* top: */ 1, 1, 1, 2}));
    EXPECT_TRUE(fr.hasPalette);
    EXPECT_EQ(fr.colorCount, 256);
    EXPECT_EQ(colour(fr, 0), (Bytes{10, 20, 30}));
    EXPECT_EQ(colour(fr, 2), (Bytes{255, 0, 128}));
    EXPECT_EQ(colour(fr, 3), (Bytes{0, 0, 0}));
    EXPECT_EQ(fr.tag, 7);
}

TEST(FlicDecode, FliSixBitColoursBlackAndByteDelta) {
    const Bytes f = file(fliHeader(2, /*jiffies*/ 5),
                         {frame({chunk(11, ByteWriter()
                                               .le16(2)          // packets
                                               .u8({0, 2})       // skip 0, set 2
                                               .u8({63, 63, 63}) // entry 0: the top value
                                               .u8({0, 32, 1})   // entry 1
                                               .u8({250, 1})     // skip 250 (to entry 252), set 1
                                               .u8({63, 0, 0})), // entry 252
                                 chunk(13, ByteWriter())}),      // black
                          frame({chunk(12, ByteWriter()
                                               .le16(100)           // first row
                                               .le16(2)             // rows
                                               .u8({2})             // row 100: packets
                                               .u8({5, 3, 7, 8, 9}) // skip 5, copy 3
                                               .u8({2, 0xFC, 6})    // skip 2, 4 x 6
                                               .u8({0}))}),         // row 101: no packets
                          frame({chunk(13, ByteWriter())})});       // ring frame
    const pz4fmt::Image image = decode(f);
    ASSERT_EQ(image.frames.size(), 2u);
    const pz4fmt::Frame& first = image.frames[0];
    EXPECT_EQ(first.width, 320);
    EXPECT_EQ(first.height, 200);
    // v -> (v << 2) | (v >> 4): 63 -> 255, 32 -> 130, 1 -> 4.
    EXPECT_EQ(colour(first, 0), (Bytes{255, 255, 255}));
    EXPECT_EQ(colour(first, 1), (Bytes{0, 130, 4}));
    EXPECT_EQ(colour(first, 252), (Bytes{255, 0, 0}));
    EXPECT_EQ(first.tag, 7); // 5/70 s
    EXPECT_EQ(first.pixels, Bytes(320 * 200, 0));

    const pz4fmt::Frame& second = image.frames[1];
    Bytes row100(320, 0);
    for (int x : {5, 6, 7})
        row100[static_cast<size_t>(x)] = static_cast<uint8_t>(x + 2);
    for (int x = 10; x < 14; ++x)
        row100[static_cast<size_t>(x)] = 6;
    EXPECT_EQ(rowFromTop(second, 100), row100);
    EXPECT_EQ(rowFromTop(second, 101), Bytes(320, 0));
    EXPECT_EQ(colour(second, 252), (Bytes{255, 0, 0})) << "the palette stays in effect";
}

// A 5 x 4 screen (odd width) holding y * 10 + x, then one word delta.
struct WordDeltaCase {
    const char* what;
    Bytes delta;
    std::vector<Bytes> rows; // the rows expected, top first
};

Bytes baseRow(int y) {
    Bytes r;
    for (int x = 0; x < 5; ++x)
        r.push_back(static_cast<uint8_t>(y * 10 + x));
    return r;
}

class FlicWordDelta : public ::testing::TestWithParam<WordDeltaCase> {};

TEST_P(FlicWordDelta, ChangesTheScreenAsCoded) {
    ByteWriter literal;
    for (int y = 0; y < 4; ++y)
        literal.bytes(baseRow(y));
    ByteWriter delta;
    delta.bytes(GetParam().delta);
    const Bytes f =
        file(flcHeader(2, 5, 4, 10), {frame({chunk(16, literal)}), frame({chunk(7, delta)})});
    const pz4fmt::Image image = decode(f);
    ASSERT_EQ(image.frames.size(), 2u);
    for (int y = 0; y < 4; ++y)
        EXPECT_EQ(rowFromTop(image.frames[1], y), GetParam().rows[static_cast<size_t>(y)])
            << GetParam().what << ", row " << y;
    EXPECT_EQ(topDown(image.frames[0]),
              (Bytes{0, 1, 2, 3, 4, 10, 11, 12, 13, 14, 20, 21, 22, 23, 24, 30, 31, 32, 33, 34}));
}

INSTANTIATE_TEST_SUITE_P(
    Opcodes, FlicWordDelta,
    ::testing::Values(WordDeltaCase{"copy",
                                    ByteWriter()
                                        .le16(1)            // rows with packets
                                        .le16(1)            // row 0: packet count
                                        .u8({2, 1, 90, 91}) // skip 2 bytes, copy 1 word
                                        .data(),
                                    {{0, 1, 90, 91, 4}, baseRow(1), baseRow(2), baseRow(3)}},
                      WordDeltaCase{"row skip, then a repeated word",
                                    ByteWriter()
                                        .le16(1)             // rows with packets
                                        .le16(0xFFFE)        // skip 2 rows
                                        .le16(1)             // row 2: packet count
                                        .u8({0, 0xFE, 7, 8}) // skip 0, 2 x the word 7 8
                                        .data(),
                                    {baseRow(0), baseRow(1), {7, 8, 7, 8, 24}, baseRow(3)}},
                      WordDeltaCase{"last byte of an odd row, no packets",
                                    ByteWriter()
                                        .le16(1)           // rows with packets
                                        .le16(0x8000 | 77) // last pixel of the row: 77
                                        .le16(0)           // row 0: packet count
                                        .data(),
                                    {{0, 1, 2, 3, 77}, baseRow(1), baseRow(2), baseRow(3)}},
                      WordDeltaCase{
                          "skips are not counted as rows",
                          ByteWriter()
                              .le16(2)            // rows with packets
                              .le16(1)            // row 0: packet count
                              .u8({0, 1, 50, 51}) // copy 1 word
                              .le16(0xFFFF)       // skip 1 row
                              .le16(1)            // row 2: packet count
                              .u8({2, 1, 60, 61}) // skip 2 bytes, copy 1 word
                              .data(),
                          {{50, 51, 2, 3, 4}, baseRow(1), {20, 21, 60, 61, 24}, baseRow(3)}},
                      WordDeltaCase{"a repeat past the row end is clipped",
                                    ByteWriter()
                                        .le16(1)             // rows with packets
                                        .le16(1)             // row 0: packet count
                                        .u8({0, 0xFD, 5, 6}) // 3 x the word 5 6: one byte too many
                                        .data(),
                                    {{5, 6, 5, 6, 5}, baseRow(1), baseRow(2), baseRow(3)}},
                      WordDeltaCase{"a copy past the row end is clipped",
                                    ByteWriter()
                                        .le16(1)                  // rows with packets
                                        .le16(1)                  // row 0: packet count
                                        .u8({250, 2, 1, 2, 3, 4}) // skip 250 bytes: off the row
                                        .data(),
                                    {baseRow(0), baseRow(1), baseRow(2), baseRow(3)}},
                      WordDeltaCase{"a skip past the bottom ends the chunk",
                                    ByteWriter()
                                        .le16(2)            // rows with packets
                                        .le16(0xC000)       // skip 16384 rows
                                        .le16(1)            // packet count
                                        .u8({0, 1, 99, 99}) // never applied
                                        .data(),
                                    {baseRow(0), baseRow(1), baseRow(2), baseRow(3)}},
                      WordDeltaCase{"the undefined opcode ends the chunk",
                                    ByteWriter()
                                        .le16(2)            // rows with packets
                                        .le16(1)            // row 0: packet count
                                        .u8({0, 1, 40, 41}) // copy 1 word
                                        .le16(0x4001)       // undefined
                                        .le16(1)            // never read
                                        .u8({0, 1, 99, 99})
                                        .data(),
                                    {{40, 41, 2, 3, 4}, baseRow(1), baseRow(2), baseRow(3)}},
                      WordDeltaCase{"data cut short keeps what came before",
                                    ByteWriter()
                                        .le16(1)            // rows with packets
                                        .le16(2)            // row 0: packet count
                                        .u8({0, 1, 30, 31}) // copy 1 word
                                        .u8({0, 2, 32})     // copy 2 words, 3 bytes missing
                                        .data(),
                                    {{30, 31, 2, 3, 4}, baseRow(1), baseRow(2), baseRow(3)}}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST(FlicDecode, ByteRunPastTheRowEndIsClippedAndTheNextRowStartsAfresh) {
    const Bytes f =
        file(flcHeader(1, 3, 2, 10), {frame({chunk(15, ByteWriter()
                                                           .u8({1})    // top row: packets
                                                           .u8({5, 9}) // 5 x 9: two too many
                                                           .u8({1})    // bottom row: packets
                                                           .u8({0xFD, 1, 2, 3}))})}); // 3 literals
    const pz4fmt::Image image = decode(f);
    ASSERT_EQ(image.frames.size(), 1u);
    EXPECT_EQ(topDown(image.frames[0]), (Bytes{9, 9, 9, 1, 2, 3}));
}

TEST(FlicDecode, ByteDeltaOutsideTheScreenWritesNothing) {
    const Bytes f = file(flcHeader(2, 4, 2, 10),
                         {frame({chunk(13, ByteWriter())}),
                          frame({chunk(12, ByteWriter()
                                               .le16(1)             // first row: the bottom one
                                               .le16(3)             // rows: two past the screen
                                               .u8({2})             // row 1: packets
                                               .u8({3, 0xFB, 4})    // skip 3, 5 x 4: clipped to 1
                                               .u8({200, 1, 9})     // skip 200: off the row
                                               .u8({1, 0, 0xFE, 5}) // rows 2, 3: below the screen
                                               .u8({1, 0, 0xFE, 5}))})});
    const pz4fmt::Image image = decode(f);
    ASSERT_EQ(image.frames.size(), 2u);
    EXPECT_EQ(topDown(image.frames[1]), (Bytes{0, 0, 0, 0, 0, 0, 0, 4}));
}

TEST(FlicDecode, PrefixStampsAndUnknownChunksAreSkippedBySize) {
    const Bytes f =
        file(flcHeader(2, 2, 1, 10),
             {chunk(0xF100, ByteWriter().le16(0).u8({1, 2, 3, 4})),              // prefix: settings
              frame({chunk(18, ByteWriter().le16(1).le16(1).le16(1).u8({0xEE})), // postage stamp
                     chunk(99, ByteWriter().u8({0xFF, 0xFF, 0xFF})),             // unknown
                     chunk(16, ByteWriter().u8({3, 4}))}),                       // literal
              chunk(0xF1FB, ByteWriter().u8({0, 0, 0, 0})), // unknown between frames
              frame({chunk(16, ByteWriter().u8({5, 6}))})});
    pz4flic::FlicInfo info;
    ASSERT_TRUE(pz4flic::scanFlic(f.data(), f.size(), info));
    EXPECT_EQ(info.damage, nullptr);
    ASSERT_EQ(info.frames.size(), 2u);
    EXPECT_EQ(info.frames[0].offset, 128u + 6 + 6);
    EXPECT_EQ(info.frames[1].offset, info.frames[0].offset + info.frames[0].size + 10);
    EXPECT_EQ(info.frames[1].size, 16u + 8);
    const pz4fmt::Image image = decode(f);
    ASSERT_EQ(image.frames.size(), 2u);
    EXPECT_EQ(image.frames[0].pixels, (Bytes{3, 4}));
    EXPECT_EQ(image.frames[1].pixels, (Bytes{5, 6}));
}

TEST(FlicDecode, ColourChunksChangeThePaletteFromTheirFrameOn) {
    const auto pixels = [](uint8_t a, uint8_t b) { return chunk(16, ByteWriter().u8({a, b})); };
    const Bytes f =
        file(flcHeader(4, 2, 1, 10),
             {frame({chunk(4, ByteWriter()
                                  .le16(1)          // packets
                                  .u8({0, 0})       // skip 0, all 256 entries
                                  .fill(768, 100)), // every entry 100,100,100
                     pixels(0, 1)}),
              frame({pixels(1, 0)}), // no colours: the palette stays
              frame({chunk(4, ByteWriter()
                                  .le16(2)                   // packets
                                  .u8({1, 1, 9, 9, 9})       // skip 1, entry 1
                                  .u8({253, 1, 7, 8, 9}))}), // skip 253, entry 255
              frame({chunk(11, ByteWriter()
                                   .le16(1)                    // packets
                                   .u8({0, 1, 16, 80, 63}))}), // entry 0, 6-bit; 80 counts as 63
              frame({chunk(4, ByteWriter().le16(1).u8({0, 1, 1, 1, 1}))})}); // ring frame
    const pz4fmt::Image image = decode(f);
    ASSERT_EQ(image.frames.size(), 4u);
    const Bytes grey{100, 100, 100};
    EXPECT_EQ(colour(image.frames[0], 1), grey);
    EXPECT_EQ(colour(image.frames[1], 1), grey);
    EXPECT_EQ(image.frames[1].pixels, (Bytes{1, 0}));
    EXPECT_EQ(colour(image.frames[2], 0), grey);
    EXPECT_EQ(colour(image.frames[2], 1), (Bytes{9, 9, 9}));
    EXPECT_EQ(colour(image.frames[2], 2), grey);
    EXPECT_EQ(colour(image.frames[2], 255), (Bytes{7, 8, 9}));
    EXPECT_EQ(image.frames[2].pixels, (Bytes{1, 0})) << "a frame of colours alone keeps the pixels";
    EXPECT_EQ(colour(image.frames[3], 0), (Bytes{65, 255, 255}));
    EXPECT_EQ(colour(image.frames[3], 1), (Bytes{9, 9, 9}));
}

TEST(FlicDecode, TheRingFrameIsNoFrameUnlessTheCountIsMissing) {
    const auto pixel = [](uint8_t v) { return frame({chunk(16, ByteWriter().u8({v}))}); };
    const Bytes counted = file(flcHeader(2, 1, 1, 10), {pixel(1), pixel(2), pixel(1)});
    const pz4fmt::Image two = decode(counted);
    ASSERT_EQ(two.frames.size(), 2u);
    EXPECT_EQ(two.frames[1].pixels, Bytes{2});

    // A writer that never filled in the count: every frame chunk is a frame.
    const Bytes uncounted = file(flcHeader(0, 1, 1, 10), {pixel(1), pixel(2), pixel(3)});
    EXPECT_EQ(decode(uncounted).frames.size(), 3u);

    // A file that ends without its ring frame is whole all the same.
    const Bytes noRing = file(flcHeader(2, 1, 1, 10), {pixel(1), pixel(2)});
    pz4flic::FlicInfo info;
    ASSERT_TRUE(pz4flic::scanFlic(noRing.data(), noRing.size(), info));
    EXPECT_EQ(info.frames.size(), 2u);
    EXPECT_EQ(info.damage, nullptr);
}

struct TimingCase {
    bool fli;
    uint32_t speed; // header: jiffies (FLI) or ms (FLC)
    unsigned delay; // the second frame's own delay field
    int tags[2];
};

class FlicTiming : public ::testing::TestWithParam<TimingCase> {};

TEST_P(FlicTiming, TagsAreHundredthsRoundedAndAtLeastOne) {
    const TimingCase& c = GetParam();
    const Bytes literal = chunk(16, ByteWriter().u8({0}));
    const Bytes header = c.fli ? fliHeader(2, c.speed, 1, 1) : flcHeader(2, 1, 1, c.speed);
    const pz4fmt::Image image = decode(file(header, {frame({literal}), frame({literal}, c.delay)}));
    ASSERT_EQ(image.frames.size(), 2u);
    EXPECT_EQ(image.frames[0].tag, c.tags[0]);
    EXPECT_EQ(image.frames[1].tag, c.tags[1]);
}

INSTANTIATE_TEST_SUITE_P(
    Speeds, FlicTiming,
    ::testing::Values(TimingCase{false, 70, 0, {7, 7}},      // ms
                      TimingCase{false, 0, 0, {1, 1}},       // no delay: at least 1
                      TimingCase{false, 4, 0, {1, 1}},       // 0.4 rounds to 0: at least 1
                      TimingCase{false, 15, 0, {2, 2}},      // 1.5 rounds up
                      TimingCase{false, 100, 250, {10, 25}}, // a frame's own delay
                      TimingCase{true, 5, 0, {7, 7}},        // 5/70 s = 7.1/100
                      TimingCase{true, 7, 0, {10, 10}}, TimingCase{true, 70, 0, {100, 100}},
                      TimingCase{true, 0, 0, {1, 1}},
                      TimingCase{true, 1, 250, {1, 1}})); // FLI frames have no delay field

struct RefusedCase {
    const char* what;
    Bytes file;
};

class FlicRefused : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(FlicRefused, IsNoAnimation) {
    const Bytes& f = GetParam().file;
    pz4fmt::Image image;
    EXPECT_FALSE(pz4flic::decodeFlic(f.data(), f.size(), image)) << GetParam().what;
    EXPECT_TRUE(image.frames.empty());
    pz4flic::FlicInfo info;
    EXPECT_FALSE(pz4flic::scanFlic(f.data(), f.size(), info));
    EXPECT_NE(info.damage, nullptr);
}

Bytes withMagic(unsigned magic) {
    Bytes f = file(flcHeader(1, 1, 1, 10), {frame({})});
    f[4] = static_cast<uint8_t>(magic & 0xFF);
    f[5] = static_cast<uint8_t>(magic >> 8);
    return f;
}

INSTANTIATE_TEST_SUITE_P(
    Files, FlicRefused,
    ::testing::Values(
        RefusedCase{"empty", {}},
        RefusedCase{"header cut short",
                    [] {
                        Bytes f = file(flcHeader(1, 1, 1, 10), {});
                        f.resize(127);
                        return f;
                    }()},
        RefusedCase{"another magic (a 16-bit FLIC)", withMagic(0xAF44)},
        RefusedCase{"a GIF", withMagic(0x4946)},
        RefusedCase{"16 bits a pixel", file(flcHeader(1, 1, 1, 10, 16), {frame({})})},
        RefusedCase{"FLC of no width", file(flcHeader(1, 0, 5, 10), {frame({})})},
        RefusedCase{"wider than 16384", file(flcHeader(1, 16385, 1, 10), {frame({})})},
        RefusedCase{"no frame chunk", file(flcHeader(1, 1, 1, 10), {})},
        RefusedCase{"only a prefix", file(flcHeader(1, 1, 1, 10), {chunk(0xF100, ByteWriter())})},
        RefusedCase{"first frame runs past the file",
                    [] {
                        Bytes f = file(flcHeader(1, 1, 1, 10), {frame({})});
                        f[128] = 17; // frame size one more than there is
                        return f;
                    }()}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST(FlicDecode, FliWithoutASizeIsTheFullScreen) {
    const Bytes f = file(fliHeader(1, 1, 0, 0), {frame({chunk(13, ByteWriter())})});
    const pz4fmt::Image image = decode(f);
    ASSERT_EQ(image.frames.size(), 1u);
    EXPECT_EQ(image.frames[0].width, 320);
    EXPECT_EQ(image.frames[0].height, 200);
}

TEST(FlicDecode, DamageKeepsTheFramesBeforeIt) {
    const auto pixel = [](uint8_t v) { return frame({chunk(16, ByteWriter().u8({v}))}); };
    struct Case {
        const char* what;
        Bytes third;
        const char* damage;
    } cases[] = {
        {"frame size past the end", ByteWriter().le32(400).le16(0xF1FA).le16(0).fill(8, 0).data(),
         "a chunk runs past the end of the file"},
        {"frame header cut short", ByteWriter().le32(10).le16(0xF1FA).u8({0, 0, 0, 0}).data(),
         "a frame header is cut short"},
        {"sub-chunk past its frame",
         ByteWriter()
             .le32(16 + 7)
             .le16(0xF1FA)
             .le16(1)
             .fill(8, 0) // frame of one sub-chunk
             .le32(50)
             .le16(16)
             .u8({1}) // a literal claiming 50 bytes
             .data(),
         "a chunk runs past its frame"},
        {"sub-chunk size below its header",
         ByteWriter().le32(16 + 6).le16(0xF1FA).le16(1).fill(8, 0).le32(2).le16(16).data(),
         "a chunk runs past its frame"},
        {"chunk header cut short", ByteWriter().u8({1, 2, 3}).data(),
         "a chunk header is cut short"},
        {"nothing more", {}, "the file ends before its last frame"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes f = file(flcHeader(4, 1, 1, 10), {pixel(7), pixel(8)});
        f.insert(f.end(), c.third.begin(), c.third.end());
        f.insert(f.end(), c.third.empty() ? 0 : 1, 0); // and a little beyond
        pz4flic::FlicInfo info;
        ASSERT_TRUE(pz4flic::scanFlic(f.data(), f.size(), info));
        EXPECT_EQ(info.frames.size(), 2u);
        EXPECT_STREQ(info.damage, c.damage);
        const pz4fmt::Image image = decode(f);
        ASSERT_EQ(image.frames.size(), 2u);
        EXPECT_EQ(image.frames[0].pixels, Bytes{7});
        EXPECT_EQ(image.frames[1].pixels, Bytes{8});
    }
}

TEST(FlicDecode, TheBudgetLeavesOutTheFramesPastIt) {
    const auto pixel = [](uint8_t v) { return frame({chunk(16, ByteWriter().u8({v, v}))}); };
    const Bytes f = file(flcHeader(3, 2, 1, 10), {pixel(1), pixel(2), pixel(3)});
    pz4fmt::Image image;
    // The working screen and two frames of two pixels each.
    ASSERT_TRUE(pz4flic::decodeFlic(f.data(), f.size(), image, /*bytes*/ 7));
    EXPECT_EQ(image.frames.size(), 2u);
    EXPECT_FALSE(pz4flic::decodeFlic(f.data(), f.size(), image, 3));
}

// Each frame a delta on the last, so a frame drawn on the wrong screen shows.
Bytes chainOfDeltas(int frames) {
    std::vector<Bytes> chunks{frame({chunk(15, ByteWriter().u8({1, 0x7F, 5}))})}; // 127 x 5
    for (int k = 1; k < frames; ++k)
        chunks.push_back(frame({chunk(12, ByteWriter()
                                              .le16(0)                               // first row
                                              .le16(1)                               // rows
                                              .u8({1})                               // packets
                                              .u8({static_cast<uint8_t>(k)})         // skip k
                                              .u8({1, static_cast<uint8_t>(k)}))})); // copy 1
    Bytes f = flcHeader(frames, 127, 1, 10);
    for (const Bytes& c : chunks)
        f.insert(f.end(), c.begin(), c.end());
    return f;
}

TEST(FlicOpen, CountsEveryFrameAndDecodesNoneUntilLocked) {
    const Bytes f = chainOfDeltas(100);
    const std::unique_ptr<pz4fmt::FrameSource> source = pz4flic::openFlic(f);
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->frameCount(), 100);
    EXPECT_EQ(source->heldBytes(), 0u);
    // The last frame alone holds the working screen and itself, not 100 frames.
    const pz4fmt::Frame* last = source->lock(99);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(source->heldBytes(), 2u * 127);
    EXPECT_EQ(last->pixels[99], 99);
    EXPECT_EQ(source->lock(100), nullptr);
    EXPECT_EQ(source->lock(-1), nullptr);
    EXPECT_EQ(pz4flic::openFlic(Bytes(f.begin(), f.begin() + 100)), nullptr);
}

TEST(FlicOpen, AnyLockOrderHandsOutWhatDecodingInOrderGives) {
    const Bytes f = chainOfDeltas(40);
    const pz4fmt::Image all = decode(f);
    ASSERT_EQ(all.frames.size(), 40u);
    EXPECT_EQ(all.frames[39].pixels[38], 38);
    const std::unique_ptr<pz4fmt::FrameSource> source = pz4flic::openFlic(f);
    ASSERT_NE(source, nullptr);
    std::vector<const pz4fmt::Frame*> seen(40, nullptr);
    for (int k : {17, 3, 39, 0, 25, 24, 38, 1, 17, 2}) {
        const pz4fmt::Frame* fr = source->lock(k);
        ASSERT_NE(fr, nullptr) << k;
        EXPECT_EQ(fr->pixels, all.frames[static_cast<size_t>(k)].pixels) << "frame " << k;
        EXPECT_EQ(fr->tag, all.frames[static_cast<size_t>(k)].tag);
        if (seen[static_cast<size_t>(k)] != nullptr) {
            EXPECT_EQ(fr, seen[static_cast<size_t>(k)]) << "frame " << k << " locked twice";
        }
        seen[static_cast<size_t>(k)] = fr;
    }
}

} // namespace
