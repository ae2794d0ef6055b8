// Reading hand-built FLI and FLC files: each chunk kind, palettes over time, timing,
// the ring frame, and what damaged or out-of-range data does.

#include "FlicTestFile.h"

#include <gtest/gtest.h>

using namespace flictest;

namespace {

TEST(FlicDecode, FlcByteRunAndColoursGiveABottomUpFrame) {
    const Bytes colours = ByteWriter()
                              .le16(1)                      // packets
                              .u8({0, 3})                   // skip 0 entries, set 3
                              .u8({10, 20, 30, 40, 50, 60}) // entries 0, 1
                              .u8({255, 0, 128})            // entry 2
                              .data();
    const Bytes run = ByteWriter()
                          .u8({2, 3, 1, 0xFF, 2})    // top row: packets (unused), 3 x 1, literal 2
                          .u8({1, 0xFC, 0, 1, 2, 0}) // bottom row: 4 literals
                          .data();
    const pz4fmt::Image image = decode(
        file(flcHeader(1, 4, 2, 70),
             {frame({chunk(4, ByteWriter().bytes(colours)), chunk(15, ByteWriter().bytes(run))}),
              frame({})})); // ring frame
    ASSERT_EQ(image.frames.size(), 1u);
    const pz4fmt::Frame& fr = image.frames[0];
    EXPECT_EQ(fr.width, 4);
    EXPECT_EQ(fr.height, 2);
    EXPECT_EQ(fr.pixels, (Bytes{0, 1, 2, 0, /* top: */ 1, 1, 1, 2}));
    EXPECT_TRUE(fr.hasPalette);
    EXPECT_EQ(fr.colorCount, 256);
    EXPECT_EQ(rgb(0, fr), (Bytes{10, 20, 30}));
    EXPECT_EQ(rgb(2, fr), (Bytes{255, 0, 128}));
    EXPECT_EQ(rgb(3, fr), (Bytes{0, 0, 0}));
}

TEST(FlicDecode, FliSixBitColoursBlackAndByteDelta) {
    const Bytes colours = ByteWriter()
                              .le16(2)                    // packets
                              .u8({0, 2})                 // skip 0, set 2
                              .u8({63, 63, 63, 0, 32, 1}) // entries 0, 1
                              .u8({250, 1, 63, 0, 0})     // skip 250 to entry 252, set it
                              .data();
    const Bytes delta = ByteWriter()
                            .le16(100)              // first row
                            .le16(2)                // rows
                            .u8({2, 5, 3, 7, 8, 9}) // row 100: 2 packets, skip 5, copy 3
                            .u8({2, 0xFC, 6})       // skip 2, 4 x 6
                            .u8({0})                // row 101: no packets
                            .data();
    const pz4fmt::Image image = decode(file(
        fliHeader(2, 5), {frame({chunk(11, ByteWriter().bytes(colours)), chunk(13, ByteWriter())}),
                          frame({chunk(12, ByteWriter().bytes(delta))}),
                          frame({chunk(13, ByteWriter())})})); // ring frame
    ASSERT_EQ(image.frames.size(), 2u);
    const pz4fmt::Frame& first = image.frames[0];
    EXPECT_EQ(first.width, 320);
    EXPECT_EQ(first.height, 200);
    // v -> (v << 2) | (v >> 4): 63 -> 255, 32 -> 130, 1 -> 4.
    EXPECT_EQ(rgb(0, first), (Bytes{255, 255, 255}));
    EXPECT_EQ(rgb(1, first), (Bytes{0, 130, 4}));
    EXPECT_EQ(rgb(252, first), (Bytes{255, 0, 0}));
    EXPECT_EQ(first.pixels, Bytes(320 * 200, 0));
    Bytes row100(320, 0);
    for (int x : {5, 6, 7})
        row100[size_t(x)] = uint8_t(x + 2);
    std::fill(row100.begin() + 10, row100.begin() + 14, 6);
    EXPECT_EQ(rowFromTop(image.frames[1], 100), row100);
    EXPECT_EQ(rowFromTop(image.frames[1], 101), Bytes(320, 0));
}

// A 5 x 4 screen (odd width) holding y * 10 + x, then one word delta.
Bytes baseRow(int y) {
    return {uint8_t(y * 10), uint8_t(y * 10 + 1), uint8_t(y * 10 + 2), uint8_t(y * 10 + 3),
            uint8_t(y * 10 + 4)};
}

TEST(FlicDecode, WordDeltaOpcodesAndClipping) {
    const Bytes b0 = baseRow(0), b1 = baseRow(1), b2 = baseRow(2), b3 = baseRow(3);
    // Each delta starts with its count of rows with packets.
    const struct {
        const char* what;
        Bytes delta;
        std::vector<Bytes> rows; // top first
    } cases[] = {
        {"copy", // row 0: 1 packet, skip 2 bytes, copy 1 word
         ByteWriter().le16(1).le16(1).u8({2, 1, 90, 91}).data(),
         {{0, 1, 90, 91, 4}, b1, b2, b3}},
        {"row skip, then a repeated word", // skip 2 rows; 1 packet, skip 0, 2 x the word 7 8
         ByteWriter().le16(1).le16(0xFFFE).le16(1).u8({0, 0xFE, 7, 8}).data(),
         {b0, b1, {7, 8, 7, 8, 24}, b3}},
        {"last byte of an odd row, no packets", // last pixel 77; 0 packets
         ByteWriter().le16(1).le16(0x8000 | 77).le16(0).data(),
         {{0, 1, 2, 3, 77}, b1, b2, b3}},
        {"skips are not counted as rows",
         ByteWriter()
             .le16(2)            // rows with packets
             .le16(1)            // row 0: 1 packet
             .u8({0, 1, 50, 51}) // copy 1 word
             .le16(0xFFFF)       // skip 1 row
             .le16(1)            // row 2: 1 packet
             .u8({2, 1, 60, 61}) // skip 2, copy 1 word
             .data(),
         {{50, 51, 2, 3, 4}, b1, {20, 21, 60, 61, 24}, b3}},
        {"a repeat past the row end is clipped", // 3 x the word 5 6: one byte too many
         ByteWriter().le16(1).le16(1).u8({0, 0xFD, 5, 6}).data(),
         {{5, 6, 5, 6, 5}, b1, b2, b3}},
        {"a copy past the row end is clipped", // skip 250 bytes: off the row, copy 2 words
         ByteWriter().le16(1).le16(1).u8({250, 2, 1, 2, 3, 4}).data(),
         {b0, b1, b2, b3}},
        {"a skip past the bottom ends the chunk", // skip 16384 rows, then a copy never applied
         ByteWriter().le16(2).le16(0xC000).le16(1).u8({0, 1, 99, 99}).data(),
         {b0, b1, b2, b3}},
        {"the undefined opcode ends the chunk",
         ByteWriter()
             .le16(2)            // rows with packets
             .le16(1)            // row 0: 1 packet
             .u8({0, 1, 40, 41}) // copy 1 word
             .le16(0x4001)       // undefined
             .le16(1)            // never read
             .u8({0, 1, 99, 99})
             .data(),
         {{40, 41, 2, 3, 4}, b1, b2, b3}},
        {"data cut short keeps what came before", // 2 packets: copy 1 word; copy 2, 3 bytes short
         ByteWriter().le16(1).le16(2).u8({0, 1, 30, 31}).u8({0, 2, 32}).data(),
         {{30, 31, 2, 3, 4}, b1, b2, b3}},
    };
    ByteWriter literal;
    for (const Bytes& row : {b0, b1, b2, b3})
        literal.bytes(row);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const pz4fmt::Image image =
            decode(file(flcHeader(2, 5, 4, 10), {frame({chunk(16, literal)}),
                                                 frame({chunk(7, ByteWriter().bytes(c.delta))})}));
        ASSERT_EQ(image.frames.size(), 2u);
        for (int y = 0; y < 4; ++y)
            EXPECT_EQ(rowFromTop(image.frames[1], y), c.rows[size_t(y)]) << "row " << y;
    }
}

TEST(FlicDecode, RunsAndDeltasPastTheScreenAreClipped) {
    const Bytes run = ByteWriter()
                          .u8({1, 5, 9})          // top row: 1 packet, 5 x 9: two too many
                          .u8({1, 0xFD, 1, 2, 3}) // bottom row: 3 literals, starting afresh
                          .data();
    const pz4fmt::Image runs =
        decode(file(flcHeader(1, 3, 2, 10), {frame({chunk(15, ByteWriter().bytes(run))})}));
    ASSERT_EQ(runs.frames.size(), 1u);
    EXPECT_EQ(topDown(runs.frames[0]), (Bytes{9, 9, 9, 1, 2, 3}));

    const Bytes delta = ByteWriter()
                            .le16(1)             // first row: the bottom one
                            .le16(3)             // rows: two past the screen
                            .u8({2, 3, 0xFB, 4}) // 2 packets: skip 3, 5 x 4 (clipped to 1)
                            .u8({200, 1, 9})     // skip 200: off the row
                            .u8({1, 0, 0xFE, 5, 1, 0, 0xFE, 5}) // rows 2, 3: below the screen
                            .data();
    const pz4fmt::Image deltas =
        decode(file(flcHeader(2, 4, 2, 10), {frame({chunk(13, ByteWriter())}),
                                             frame({chunk(12, ByteWriter().bytes(delta))})}));
    ASSERT_EQ(deltas.frames.size(), 2u);
    EXPECT_EQ(topDown(deltas.frames[1]), (Bytes{0, 0, 0, 0, 0, 0, 0, 4}));
}

TEST(FlicDecode, PrefixStampsAndUnknownChunksAreSkippedBySize) {
    const Bytes f =
        file(flcHeader(2, 2, 1, 10),
             {chunk(0xF100, ByteWriter().le16(0).u8({1, 2, 3, 4})),              // prefix
              frame({chunk(18, ByteWriter().le16(1).le16(1).le16(1).u8({0xEE})), // postage stamp
                     chunk(99, ByteWriter().u8({0xFF, 0xFF, 0xFF})),             // unknown
                     chunk(16, ByteWriter().u8({3, 4}))}),                       // literal
              chunk(0xF1FB, ByteWriter().u8({0, 0, 0, 0})), // unknown between frames
              frame({chunk(16, ByteWriter().u8({5, 6}))})});
    const pz4fmt::Image image = decode(f);
    ASSERT_EQ(image.frames.size(), 2u);
    EXPECT_EQ(image.frames[0].pixels, (Bytes{3, 4}));
    EXPECT_EQ(image.frames[1].pixels, (Bytes{5, 6}));
}

TEST(FlicDecode, ColourChunksChangeThePaletteFromTheirFrameOn) {
    const auto pixels = [](uint8_t a, uint8_t b) { return chunk(16, ByteWriter().u8({a, b})); };
    const Bytes f = file(
        flcHeader(4, 2, 1, 10),
        {frame({chunk(4, ByteWriter().le16(1).u8({0, 0}).fill(768, 100)), // all 256: 100,100,100
                pixels(0, 1)}),
         frame({pixels(1, 0)}), // no colours: the palette stays
         frame({chunk(4, ByteWriter().le16(2).u8({1, 1, 9, 9, 9}).u8({253, 1, 7, 8, 9}))}),
         frame({chunk(11, ByteWriter().le16(1).u8({0, 1, 16, 80, 63}))}), // 6-bit; 80 counts as 63
         frame({chunk(4, ByteWriter().le16(1).u8({0, 1, 1, 1, 1}))})});   // ring frame
    const pz4fmt::Image image = decode(f);
    ASSERT_EQ(image.frames.size(), 4u);
    const Bytes grey{100, 100, 100};
    EXPECT_EQ(rgb(1, image.frames[1]), grey);
    EXPECT_EQ(rgb(0, image.frames[2]), grey);
    EXPECT_EQ(rgb(1, image.frames[2]), (Bytes{9, 9, 9}));
    EXPECT_EQ(rgb(2, image.frames[2]), grey);
    EXPECT_EQ(rgb(255, image.frames[2]), (Bytes{7, 8, 9}));
    EXPECT_EQ(image.frames[2].pixels, (Bytes{1, 0})) << "a frame of colours alone keeps the pixels";
    EXPECT_EQ(rgb(0, image.frames[3]), (Bytes{65, 255, 255}));
    EXPECT_EQ(rgb(1, image.frames[3]), (Bytes{9, 9, 9}));
}

TEST(FlicDecode, TheRingFrameIsNoFrameUnlessTheCountIsMissing) {
    const auto pixel = [](uint8_t v) { return frame({chunk(16, ByteWriter().u8({v}))}); };
    const pz4fmt::Image two = decode(file(flcHeader(2, 1, 1, 10), {pixel(1), pixel(2), pixel(1)}));
    ASSERT_EQ(two.frames.size(), 2u);
    EXPECT_EQ(two.frames[1].pixels, Bytes{2});
    // A writer that never filled in the count: every frame chunk is a frame.
    EXPECT_EQ(decode(file(flcHeader(0, 1, 1, 10), {pixel(1), pixel(2), pixel(3)})).frames.size(),
              3u);
    // A file that ends without its ring frame is whole all the same.
    const Bytes noRing = file(flcHeader(2, 1, 1, 10), {pixel(1), pixel(2)});
    pz4flic::FlicInfo info;
    ASSERT_TRUE(pz4flic::scanFlic(noRing.data(), noRing.size(), info));
    EXPECT_EQ(info.frames.size(), 2u);
    EXPECT_EQ(info.damage, nullptr);
}

TEST(FlicDecode, TagsAreHundredthsRoundedAndAtLeastOne) {
    const struct {
        bool fli;
        uint32_t speed; // header: jiffies (FLI) or ms (FLC)
        unsigned delay; // the second frame's own delay field
        int tags[2];
    } cases[] = {
        {false, 70, 0, {7, 7}}, {false, 0, 0, {1, 1}},       {false, 4, 0, {1, 1}},
        {false, 15, 0, {2, 2}}, {false, 100, 250, {10, 25}}, {true, 5, 0, {7, 7}},
        {true, 7, 0, {10, 10}}, {true, 70, 0, {100, 100}},   {true, 0, 0, {1, 1}},
        {true, 1, 250, {1, 1}}, // FLI frames have no delay field
    };
    const Bytes literal = chunk(16, ByteWriter().u8({0}));
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.fli ? "FLI " : "FLC ") + std::to_string(c.speed));
        const Bytes header = c.fli ? fliHeader(2, c.speed, 1, 1) : flcHeader(2, 1, 1, c.speed);
        const pz4fmt::Image image =
            decode(file(header, {frame({literal}), frame({literal}, c.delay)}));
        ASSERT_EQ(image.frames.size(), 2u);
        EXPECT_EQ(image.frames[0].tag, c.tags[0]);
        EXPECT_EQ(image.frames[1].tag, c.tags[1]);
    }
}

TEST(FlicDecode, FilesThatAreNoAnimationAreRefused) {
    const auto withMagic = [](unsigned magic) {
        Bytes f = file(flcHeader(1, 1, 1, 10), {frame({})});
        f[4] = uint8_t(magic & 0xFF);
        f[5] = uint8_t(magic >> 8);
        return f;
    };
    Bytes headerCut = file(flcHeader(1, 1, 1, 10), {});
    headerCut.resize(127);
    Bytes frameTooLong = file(flcHeader(1, 1, 1, 10), {frame({})});
    frameTooLong[128] = 17; // frame size one more than there is
    const struct {
        const char* what;
        Bytes file;
    } cases[] = {
        {"empty", {}},
        {"header cut short", headerCut},
        {"another magic (a 16-bit FLIC)", withMagic(0xAF44)},
        {"a GIF", withMagic(0x4946)},
        {"16 bits a pixel", file(flcHeader(1, 1, 1, 10, 16), {frame({})})},
        {"FLC of no width", file(flcHeader(1, 0, 5, 10), {frame({})})},
        {"wider than 16384", file(flcHeader(1, 16385, 1, 10), {frame({})})},
        {"no frame chunk", file(flcHeader(1, 1, 1, 10), {})},
        {"only a prefix", file(flcHeader(1, 1, 1, 10), {chunk(0xF100, ByteWriter())})},
        {"first frame runs past the file", frameTooLong},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        pz4fmt::Image image;
        EXPECT_FALSE(pz4flic::decodeFlic(c.file.data(), c.file.size(), image));
        EXPECT_TRUE(image.frames.empty());
        pz4flic::FlicInfo info;
        EXPECT_FALSE(pz4flic::scanFlic(c.file.data(), c.file.size(), info));
        EXPECT_NE(info.damage, nullptr);
    }
    // An FLI that gives no size is the full screen.
    const pz4fmt::Image fli =
        decode(file(fliHeader(1, 1, 0, 0), {frame({chunk(13, ByteWriter())})}));
    ASSERT_EQ(fli.frames.size(), 1u);
    EXPECT_EQ(fli.frames[0].width, 320);
    EXPECT_EQ(fli.frames[0].height, 200);
}

TEST(FlicDecode, DamageKeepsTheFramesBeforeIt) {
    const auto pixel = [](uint8_t v) { return frame({chunk(16, ByteWriter().u8({v}))}); };
    const auto frameHeader = [](uint32_t size, unsigned chunks) {
        return ByteWriter().le32(size).le16(0xF1FA).le16(chunks).fill(8, 0);
    };
    const struct {
        const char* what;
        Bytes third;
        const char* damage;
    } cases[] = {
        {"frame size past the end", frameHeader(400, 0).data(),
         "a chunk runs past the end of the file"},
        {"frame header cut short", ByteWriter().le32(10).le16(0xF1FA).u8({0, 0, 0, 0}).data(),
         "a frame header is cut short"},
        {"sub-chunk past its frame", // a literal claiming 50 bytes
         frameHeader(16 + 7, 1).le32(50).le16(16).u8({1}).data(), "a chunk runs past its frame"},
        {"sub-chunk size below its header", frameHeader(16 + 6, 1).le32(2).le16(16).data(),
         "a chunk runs past its frame"},
        {"chunk header cut short", ByteWriter().u8({1, 2, 3}).data(),
         "a chunk header is cut short"},
        {"nothing more", {}, "the file ends before its last frame"},
    };
    for (const auto& c : cases) {
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

TEST(FlicOpen, LocksInAnyOrderAsDecodingInOrderAndHoldsOnlyWhatIsLocked) {
    // 100 frames of 127 x 1, each a byte delta on the last (frame k sets pixel k to k),
    // so a frame drawn on the wrong screen shows.
    Bytes f = file(flcHeader(100, 127, 1, 10), {frame({chunk(15, ByteWriter().u8({1, 0x7F, 5}))})});
    for (int k = 1; k < 100; ++k) {
        const Bytes next = frame({chunk(12, ByteWriter()
                                                .le16(0)              // first row
                                                .le16(1)              // rows
                                                .u8({1, k, 1, k}))}); // 1 packet: skip k, copy k
        f.insert(f.end(), next.begin(), next.end());
    }
    const std::unique_ptr<pz4fmt::FrameSource> source = pz4flic::openFlic(f);
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->frameCount(), 100);
    EXPECT_EQ(source->heldBytes(), 0u);
    // The last frame alone holds the working screen and itself, not 100 frames.
    const pz4fmt::Frame* last = source->lock(99);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(source->heldBytes(), 2u * 127);
    EXPECT_EQ(source->lock(100), nullptr);
    EXPECT_EQ(source->lock(-1), nullptr);
    EXPECT_EQ(pz4flic::openFlic(Bytes(f.begin(), f.begin() + 100)), nullptr);

    const pz4fmt::Image all = decode(f);
    ASSERT_EQ(all.frames.size(), 100u);
    EXPECT_EQ(all.frames[39].pixels[38], 38);
    for (int k : {17, 3, 39, 0, 25, 24, 38, 1, 17, 2, 99}) {
        const pz4fmt::Frame* fr = source->lock(k);
        ASSERT_NE(fr, nullptr) << k;
        EXPECT_EQ(fr->pixels, all.frames[size_t(k)].pixels) << "frame " << k;
    }
    EXPECT_EQ(source->lock(99), last) << "a frame locked twice is the same buffer";
}

} // namespace
