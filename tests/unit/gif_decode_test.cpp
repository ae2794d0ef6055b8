// Reading hand-built GIF files: what each frame shows, its palette, indices and tag.

#include "GifCodec.h"
#include "GifTestColours.h"
#include "GifTestFile.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

using namespace giftest;

namespace {

const std::vector<Rgb> kFour{kBlack, kRed, kGreen, kBlue};

pz4fmt::Image decode(const GifFile& file) {
    pz4fmt::Image image;
    pz4gif::decodeGif(file.bytes().data(), file.bytes().size(), image);
    return image;
}

TEST(GifDecode, SingleFrameIsFlippedBottomUpWithGlobalPalette) {
    GifFile f;
    f.screen(3, 2, kFour).image(0, 0, 3, 2, {1, 2, 3, /* bottom row: */ 0, 1, 2}).trailer();
    const pz4fmt::Image image = decode(f);
    ASSERT_EQ(image.frames.size(), 1u);
    const pz4fmt::Frame& fr = image.frames[0];
    EXPECT_EQ(fr.width, 3);
    EXPECT_EQ(fr.height, 2);
    // Row 0 of the buffer is the picture's bottom row.
    EXPECT_EQ(fr.pixels, (std::vector<uint8_t>{0, 1, 2, 1, 2, 3}));
    ASSERT_TRUE(fr.hasPalette);
    EXPECT_EQ(fr.colorCount, 4);
    EXPECT_EQ(topRow(fr), (std::vector<Rgb>{kRed, kGreen, kBlue}));
    EXPECT_EQ(fr.tag, 0);
}

TEST(GifDecode, FileWithoutColourTablesHasNoPalette) {
    GifFile f("GIF87a");
    f.screen(2, 1).image(0, 0, 2, 1, {3, 1}).image(0, 0, 1, 1, {2}).trailer();
    const pz4fmt::Image image = decode(f);
    ASSERT_EQ(image.frames.size(), 2u);
    for (const pz4fmt::Frame& fr : image.frames) {
        EXPECT_FALSE(fr.hasPalette);
        EXPECT_EQ(fr.colorCount, 0);
    }
    EXPECT_EQ(image.frames[0].pixels, (std::vector<uint8_t>{3, 1}));
    EXPECT_EQ(image.frames[1].pixels, (std::vector<uint8_t>{2, 1}));
}

// Screen 3x1; frame 1 fills it (red), frame 2 covers the left two pixels (blue) with
// the disposal under test, frame 3 paints only the right pixel (green).
struct DisposalCase {
    int disposal;
    std::vector<Rgb> third;
};

class GifDisposal : public ::testing::TestWithParam<DisposalCase> {};

TEST_P(GifDisposal, ThirdFrameShowsWhatTheSecondLeftBehind) {
    GifFile f;
    f.screen(3, 1, kFour, /*background*/ 0)
        .control(1, 0)
        .image(0, 0, 3, 1, {1, 1, 1})
        .control(GetParam().disposal, 0)
        .image(0, 0, 2, 1, {3, 3})
        .image(2, 0, 1, 1, {2})
        .trailer();
    const pz4fmt::Image image = decode(f);
    ASSERT_EQ(image.frames.size(), 3u);
    EXPECT_EQ(topRow(image.frames[1]), (std::vector<Rgb>{kBlue, kBlue, kRed}));
    EXPECT_EQ(topRow(image.frames[2]), GetParam().third);
}

INSTANTIATE_TEST_SUITE_P(
    Methods, GifDisposal,
    ::testing::Values(DisposalCase{0, {kBlue, kBlue, kGreen}},   // unspecified: left as is
                      DisposalCase{1, {kBlue, kBlue, kGreen}},   // do not dispose
                      DisposalCase{2, {kBlack, kBlack, kGreen}}, // background colour
                      DisposalCase{3, {kRed, kRed, kGreen}}));   // restore previous

// What each pixel of the top row shows: "T" where the frame reports it transparent,
// else its colour's letter.
std::string shownRow(const pz4fmt::Frame& f) {
    std::string row;
    for (int x = 0; x < f.width; ++x) {
        const Rgb c = colourAt(f, x, 0);
        row += indexAt(f, x, 0) == f.transparentIndex ? 'T'
               : c == kBlack                          ? 'k'
               : c == kRed                            ? 'r'
               : c == kGreen                          ? 'g'
                                                      : '?';
    }
    return row;
}

// Pixels no frame has drawn, or that a disposal cleared, show the frame's
// transparent index when it has one and the background colour otherwise; an
// opaque pixel an earlier frame drew in that index keeps its colour.
TEST(GifDecode, UndrawnPixelsAreTransparentInFramesWithATransparentIndex) {
    GifFile f;
    f.screen(3, 1, kFour, /*background*/ 2)
        .control(0, 0, /*transparent*/ 3)
        .image(0, 0, 3, 1, {3, 1, 3}) // holes over the undrawn screen
        .control(2, 0, /*transparent*/ 1)
        .image(0, 0, 3, 1, {0, 1, 1}) // red of index 1 stays red; then cleared
        .image(2, 0, 1, 1, {0})       // no transparent index: cleared shows green
        .control(0, 0, /*transparent*/ 2)
        .image(0, 0, 1, 1, {2})
        .trailer();
    const pz4fmt::Image image = decode(f);
    ASSERT_EQ(image.frames.size(), 4u);
    const std::pair<int, const char*> expected[] = {
        {3, "TrT"}, {1, "krT"}, {-1, "ggk"}, {2, "TTk"}};
    for (size_t k = 0; k < 4; ++k) {
        EXPECT_EQ(image.frames[k].transparentIndex, expected[k].first) << "frame " << k;
        EXPECT_EQ(shownRow(image.frames[k]), expected[k].second) << "frame " << k;
    }
}

TEST(GifDecode, InterlacedRowsLandInPictureOrder) {
    // 1x5, interlaced: the stream holds rows 0 (pass 1), 4 (pass 2), 2 (pass 3), 1, 3
    // (pass 4). Each pixel's index is its picture row.
    GifFile f;
    f.screen(1, 5, {kBlack, kRed, kGreen, kBlue, kWhite, kYellow, kBlack, kBlack})
        .image(0, 0, 1, 5, {0, 4, 2, 1, 3}, {}, /*interlaced*/ true, /*minCodeSize*/ 3)
        .trailer();
    const pz4fmt::Image image = decode(f);
    ASSERT_EQ(image.frames.size(), 1u);
    for (int y = 0; y < 5; ++y)
        EXPECT_EQ(indexAt(image.frames[0], 0, y), y) << "picture row " << y;
}

TEST(GifDecode, LocalTableGivesTheFramesPalette) {
    GifFile f;
    f.screen(2, 1, kFour)
        .image(0, 0, 2, 1, {1, 2})
        .image(0, 0, 2, 1, {0, 1}, /*local*/ {kWhite, kYellow})
        .image(0, 0, 2, 1, {3, 3})
        .trailer();
    const pz4fmt::Image image = decode(f);
    ASSERT_EQ(image.frames.size(), 3u);
    EXPECT_EQ(image.frames[1].colorCount, 2);
    EXPECT_EQ(image.frames[1].pixels, (std::vector<uint8_t>{0, 1}));
    EXPECT_EQ(topRow(image.frames[1]), (std::vector<Rgb>{kWhite, kYellow}));
    EXPECT_EQ(image.frames[2].colorCount, 4);
    EXPECT_EQ(topRow(image.frames[2]), (std::vector<Rgb>{kBlue, kBlue}));
}

TEST(GifDecode, LocalFrameOverOtherTableKeepsTrueColours) {
    // Frame 2's table holds white and green; it paints only the left pixel, so the
    // green and blue left by frame 1 must still show: green through the table's own
    // entry, blue through an added one.
    GifFile f;
    f.screen(3, 1, kFour)
        .image(0, 0, 3, 1, {1, 2, 3})
        .image(0, 0, 1, 1, {0}, /*local*/ {kWhite, kGreen})
        .trailer();
    const pz4fmt::Image image = decode(f);
    ASSERT_EQ(image.frames.size(), 2u);
    const pz4fmt::Frame& fr = image.frames[1];
    EXPECT_EQ(topRow(fr), (std::vector<Rgb>{kWhite, kGreen, kBlue}));
    EXPECT_EQ(indexAt(fr, 0, 0), 0);
    EXPECT_EQ(indexAt(fr, 1, 0), 1);
    EXPECT_GE(fr.colorCount, 3);
    EXPECT_GT(indexAt(fr, 2, 0), 1);
    EXPECT_LT(indexAt(fr, 2, 0), fr.colorCount);
}

std::vector<Rgb> greys() {
    std::vector<Rgb> t;
    for (int i = 0; i < 256; ++i)
        t.push_back(Rgb{static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i)});
    return t;
}

int worstChannelError(const Rgb& a, const Rgb& b) {
    return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
}

TEST(GifDecode, MoreThan256ColoursInViewAreNearestThenExactAgain) {
    // Screen 257x1. Frame 1: 256 greys at x 0..255 (x 256 stays background grey 0).
    // Frame 2: a local red pixel at x 256 -> 257 colours in view, one grey must borrow
    // a neighbour. Frame 3: grey 7 back at x 256 -> 256 colours, all exact again.
    std::vector<uint8_t> ramp(256);
    for (int i = 0; i < 256; ++i)
        ramp[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
    GifFile f;
    f.screen(257, 1, greys())
        .image(0, 0, 256, 1, ramp, {}, false, 8)
        .image(256, 0, 1, 1, {0}, /*local*/ {kRed, kRed})
        .image(256, 0, 1, 1, {7}, {}, false, 8)
        .trailer();
    const pz4fmt::Image image = decode(f);
    ASSERT_EQ(image.frames.size(), 3u);
    std::vector<Rgb> expected = greys();
    expected.push_back(kRed);
    const std::vector<Rgb> second = topRow(image.frames[1]);
    EXPECT_EQ(second[256], kRed);
    int inexact = 0;
    for (size_t x = 0; x < 256; ++x) {
        if (second[x] != expected[x]) {
            ++inexact;
            EXPECT_LE(worstChannelError(second[x], expected[x]), 2) << "x " << x;
        }
    }
    EXPECT_EQ(inexact, 1);
    expected.back() = Rgb{7, 7, 7};
    EXPECT_EQ(topRow(image.frames[2]), expected);
}

TEST(GifDecode, WhenEntriesRunOutTheMostSeenColoursStayExact) {
    // Row 0 shows table A's 256 colours once each, rows 1 and 2 table B's twice each,
    // after them in the screen's order. The last frame's table C shows one pixel, so
    // 255 entries are free for 511 colours from other tables: B's, seen more, take
    // them (the first 255 of them), and A's are the ones made nearest.
    auto table = [](int g, int b) {
        std::vector<Rgb> t;
        for (int i = 0; i < 256; ++i)
            t.push_back(
                Rgb{static_cast<uint8_t>(i), static_cast<uint8_t>(g), static_cast<uint8_t>(b)});
        return t;
    };
    std::vector<uint8_t> ramp(256), twice(512);
    for (size_t i = 0; i < 512; ++i)
        (i < 256 ? ramp[i] : twice[i - 256]) = twice[i] = static_cast<uint8_t>(i & 0xFF);
    GifFile f;
    f.screen(256, 3)
        .image(0, 0, 256, 1, ramp, table(0, 0), false, 8)
        .image(0, 1, 256, 2, twice, table(255, 0), false, 8)
        .image(0, 0, 1, 1, {0}, table(0, 255))
        .trailer();
    const pz4fmt::Image image = decode(f);
    ASSERT_EQ(image.frames.size(), 3u);
    const pz4fmt::Frame& last = image.frames[2];
    int exactB = 0, exactA = 0;
    for (int x = 0; x < 256; ++x) {
        exactB += colourAt(last, x, 1) == (Rgb{static_cast<uint8_t>(x), 255, 0}) &&
                  colourAt(last, x, 2) == colourAt(last, x, 1);
        exactA += x > 0 && colourAt(last, x, 0) == (Rgb{static_cast<uint8_t>(x), 0, 0});
    }
    EXPECT_EQ(colourAt(last, 0, 0), (Rgb{0, 0, 255}));
    EXPECT_EQ(exactB, 255);
    EXPECT_EQ(colourAt(last, 255, 1), (Rgb{254, 255, 0})); // its nearest
    EXPECT_EQ(exactA, 0);
}

TEST(GifDecode, ManyTablesInViewStillDecodeEveryFrame) {
    // 300 frames on a 300x1 screen, each with its own table and one pixel of its own:
    // more tables in view than the decoder tracks at once.
    GifFile f;
    f.screen(300, 1);
    for (int i = 0; i < 300; ++i) {
        const Rgb own{static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i / 2), 9};
        f.image(i, 0, 1, 1, {1}, {kBlack, own});
    }
    f.trailer();
    const pz4fmt::Image image = decode(f);
    ASSERT_EQ(image.frames.size(), 300u);
    for (int i = 0; i < 300; ++i) {
        const Rgb own{static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i / 2), 9};
        EXPECT_EQ(colourAt(image.frames[static_cast<size_t>(i)], i, 0), own) << "frame " << i;
    }
    // The last 200 frames' pixels are in view with few enough colours to be exact.
    const pz4fmt::Frame& last = image.frames.back();
    for (int i = 100; i < 300; ++i) {
        const Rgb own{static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i / 2), 9};
        EXPECT_EQ(colourAt(last, i, 0), own) << "pixel " << i;
    }
}

TEST(GifDecode, FramesBeyondTheScreenAreClipped) {
    GifFile f;
    f.screen(2, 2, kFour)
        .image(1, 1, 2, 2, {1, 2, 3, 3}) // only its top-left pixel is on screen
        .image(5, 5, 1, 1, {3})          // wholly off screen: nothing changes
        .trailer();
    const pz4fmt::Image image = decode(f);
    ASSERT_EQ(image.frames.size(), 2u);
    for (const pz4fmt::Frame& fr : image.frames) {
        EXPECT_EQ(fr.width, 2);
        EXPECT_EQ(fr.height, 2);
        EXPECT_EQ(colourAt(fr, 1, 1), kRed);
        EXPECT_EQ(colourAt(fr, 0, 0), kBlack);
    }
}

TEST(GifDecode, EmptyScreenTakesTheFirstImagesExtent) {
    GifFile f;
    f.screen(0, 0, kFour).image(1, 0, 2, 3, {1, 1, 1, 1, 1, 1}).trailer();
    const pz4fmt::Image image = decode(f);
    ASSERT_EQ(image.frames.size(), 1u);
    EXPECT_EQ(image.frames[0].width, 3);
    EXPECT_EQ(image.frames[0].height, 3);
}

TEST(GifDecode, DamageKeepsTheFramesBeforeIt) {
    GifFile good;
    good.screen(2, 1, kFour).image(0, 0, 2, 1, {1, 2});
    const size_t firstFrameEnd = good.bytes().size();

    // The second image starts with a code that is no colour: after the clear code (4)
    // only a literal can follow, yet 7 comes.
    GifFile badCode = good;
    badCode.raw({0x2C, 0, 0, 0, 0, 2, 0, 1, 0, 0}).codeStream({4, 7, 5}, 2).trailer();
    EXPECT_EQ(decode(badCode).frames.size(), 1u);

    // The second image cut short inside its data.
    GifFile cut = good;
    cut.image(0, 0, 2, 1, {3, 3}).trailer();
    std::vector<uint8_t> bytes(cut.bytes().begin(), cut.bytes().begin() + firstFrameEnd + 12);
    pz4fmt::Image image;
    EXPECT_TRUE(pz4gif::decodeGif(bytes.data(), bytes.size(), image));
    EXPECT_EQ(image.frames.size(), 1u);

    // Garbage where the next block should begin.
    GifFile garbage = good;
    garbage.raw({0x99, 0x2C, 0x00});
    EXPECT_EQ(decode(garbage).frames.size(), 1u);
}

TEST(GifDecode, RefusesFilesWithoutAFrame) {
    const std::vector<GifFile> files = {
        GifFile("NOTGIF"),                                        // wrong signature
        GifFile().screen(4, 4, kFour).trailer(),                  // no image at all
        GifFile().screen(1, 1).raw({0x2C, 0, 0}),                 // cut in the descriptor
        GifFile().screen(1, 1, kFour).image(0, 0, 0, 1, {}),      // image of no width
        GifFile().screen(20000, 1, kFour).image(0, 0, 1, 1, {1}), // screen past the cap
        GifFile().screen(1, 1, kFour).image(0, 0, 16385, 1, {1}), // image past the cap
    };
    for (size_t i = 0; i < files.size(); ++i) {
        pz4fmt::Image image;
        EXPECT_FALSE(pz4gif::decodeGif(files[i].bytes().data(), files[i].bytes().size(), image))
            << "file " << i;
        EXPECT_TRUE(image.frames.empty());
    }
    GifFile tableCut;
    tableCut.screen(1, 1, kFour);
    pz4fmt::Image image;
    EXPECT_FALSE(pz4gif::decodeGif(tableCut.bytes().data(), 13 + 5, image));
    EXPECT_FALSE(pz4gif::decodeGif(nullptr, 0, image));
}

TEST(GifDecode, PixelsHeldAreCapped) {
    GifFile f;
    f.screen(3, 2, kFour);
    for (int i = 0; i < 5; ++i)
        f.image(0, 0, 3, 2, {1, 1, 1, 2, 2, 2});
    f.trailer();
    // What the working screen and one frame hold, as the decoder counts them.
    auto source = pz4gif::openGif(f.bytes());
    ASSERT_NE(source, nullptr);
    ASSERT_NE(source->lock(0), nullptr);
    const size_t screenAndFrame = source->heldBytes();
    pz4fmt::Image image;
    // The screen and three 6-pixel frames fit, a fourth does not.
    EXPECT_TRUE(
        pz4gif::decodeGif(f.bytes().data(), f.bytes().size(), image, screenAndFrame + 2 * 6 + 5));
    EXPECT_EQ(image.frames.size(), 3u);
    EXPECT_FALSE(pz4gif::decodeGif(f.bytes().data(), f.bytes().size(), image, screenAndFrame - 1));
}

TEST(GifDecode, FrameCountIsCapped) {
    GifFile f;
    f.screen(1, 1, kFour);
    for (size_t i = 0; i < pz4gif::kMaxFrames + 3; ++i)
        f.image(0, 0, 1, 1, {1});
    f.trailer();
    EXPECT_EQ(decode(f).frames.size(), pz4gif::kMaxFrames);
}

} // namespace
