// GIF frames decoded when they are locked: true frame counts from the structure
// alone, any lock order giving what decoding everything gives, memory that follows
// what is locked, and damage found late.

#include "GifCodec.h"
#include "GifRecording.h"
#include "GifTestColours.h"
#include "GifTestFile.h"
#include "TempWorkDir.h"
#include "plugins/DllManager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

using namespace giftest;

namespace {

const std::vector<Rgb> kFour{kBlack, kRed, kGreen, kBlue};

std::unique_ptr<pz4fmt::FrameSource> open(const std::vector<uint8_t>& bytes,
                                          size_t cap = pz4fmt::kMaxHeldBytes) {
    return pz4gif::openGif(bytes, cap);
}

pz4fmt::Image decodeAll(const std::vector<uint8_t>& bytes) {
    pz4fmt::Image image;
    EXPECT_TRUE(pz4gif::decodeGif(bytes.data(), bytes.size(), image));
    return image;
}

TEST(GifOnDemand, NineHundredFrameRecordingOpensWithEveryFrameAndHoldsOnlyWhatIsLocked) {
    // 900 frames of 640 x 480 hold more than 256 MiB of pixels: once, a cap on the
    // whole file cut this file short.
    constexpr int kWidth = 640, kHeight = 480;
    const size_t screen = size_t{kWidth} * kHeight;
    auto source = open(screenRecording(900, kWidth, kHeight));
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->frameCount(), 900);
    EXPECT_EQ(source->heldBytes(), 0u);

    const pz4fmt::Frame* last = source->lock(899);
    ASSERT_NE(last, nullptr);
    const BlockPosition at = blockOf(899, kWidth, kHeight);
    EXPECT_EQ(indexAt(*last, at.x, at.y), blockIndex(899));
    const BlockPosition before = blockOf(898, kWidth, kHeight); // partly covered by 899's block
    EXPECT_EQ(indexAt(*last, before.x, before.y), blockIndex(898));
    // The frame and one working screen (two bytes a pixel, and the colour tables):
    // not 900 frames, nor a checkpoint.
    EXPECT_GE(source->heldBytes(), 3 * screen);
    EXPECT_LT(source->heldBytes(), 4 * screen);
    EXPECT_EQ(source->frameCount(), 900);
}

// Every drawing feature at random: frames of any size, partly off screen, all four
// disposals, transparency, interlace, local tables.
std::vector<uint8_t> busyAnimation(int frames, uint32_t seed) {
    std::mt19937 random(seed);
    auto below = [&](int n) { return static_cast<int>(random() % static_cast<uint32_t>(n)); };
    GifFile f;
    f.screen(24, 16, kFour, 2);
    for (int k = 0; k < frames; ++k) {
        const int width = 1 + below(12), height = 1 + below(9);
        std::vector<uint8_t> pixels(static_cast<size_t>(width * height));
        for (uint8_t& p : pixels)
            p = static_cast<uint8_t>(below(4));
        std::vector<Rgb> local;
        if (below(3) == 0)
            for (int i = 0; i < 4; ++i)
                local.push_back(Rgb{static_cast<uint8_t>(below(256)),
                                    static_cast<uint8_t>(below(256)),
                                    static_cast<uint8_t>(below(256))});
        f.control(below(4), k, below(3) == 0 ? below(4) : -1)
            .image(below(22), below(15), width, height, pixels, local, below(4) == 0);
    }
    return f.trailer().bytes();
}

// Each of 300 frames brings its own table and paints one pixel: more tables in view
// than the screen tracks, so tables are merged as frames go by.
std::vector<uint8_t> tableForEveryFrame() {
    GifFile f;
    f.screen(300, 1);
    for (int i = 0; i < 300; ++i)
        f.image(i, 0, 1, 1, {1},
                {kBlack, Rgb{static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i / 2), 9}});
    return f.trailer().bytes();
}

std::vector<std::vector<int>> lockOrders(int n) {
    std::vector<int> forward(static_cast<size_t>(n));
    std::iota(forward.begin(), forward.end(), 0);
    std::vector<int> reverse(forward.rbegin(), forward.rend());
    std::vector<int> shuffled = forward;
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(7));
    return {forward, reverse, shuffled};
}

TEST(GifOnDemand, AnyLockOrderHandsOutWhatDecodingEverythingGives) {
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
    } files[] = {{"busy", busyAnimation(150, 1)},
                 {"busy again", busyAnimation(150, 2)},
                 {"a table for every frame", tableForEveryFrame()}};
    for (const auto& file : files) {
        const pz4fmt::Image all = decodeAll(file.bytes);
        const int n = static_cast<int>(all.frames.size());
        for (const std::vector<int>& order : lockOrders(n)) {
            SCOPED_TRACE(std::string(file.name) + ", starting at frame " +
                         std::to_string(order.front()));
            auto source = open(file.bytes);
            ASSERT_NE(source, nullptr);
            ASSERT_EQ(source->frameCount(), n);
            std::vector<const pz4fmt::Frame*> handedOut(static_cast<size_t>(n));
            for (int k : order) {
                const pz4fmt::Frame* f = source->lock(k);
                ASSERT_NE(f, nullptr) << "frame " << k;
                handedOut[static_cast<size_t>(k)] = f;
            }
            for (int k = 0; k < n; ++k) {
                SCOPED_TRACE(k);
                const pz4fmt::Frame& want = all.frames[static_cast<size_t>(k)];
                const pz4fmt::Frame* got = handedOut[static_cast<size_t>(k)];
                EXPECT_EQ(source->lock(k), got) << "locked twice";
                EXPECT_EQ(got->pixels, want.pixels);
                EXPECT_EQ(got->palette, want.palette);
                EXPECT_EQ(got->colorCount, want.colorCount);
                EXPECT_EQ(got->hasPalette, want.hasPalette);
                EXPECT_EQ(got->tag, want.tag);
            }
        }
    }
}

// Five 64 x 16 frames, each filling the screen with colour (k % 3) + 1, and where
// each one's image separator lies. Each frame's data takes three sub-blocks.
struct FiveFrames {
    std::vector<uint8_t> bytes;
    std::vector<size_t> separator;
};

FiveFrames fiveFrames() {
    GifFile f;
    f.screen(64, 16, kFour);
    FiveFrames five;
    for (int k = 0; k < 5; ++k) {
        five.separator.push_back(f.bytes().size());
        f.image(0, 0, 64, 16, std::vector<uint8_t>(1024, static_cast<uint8_t>(k % 3 + 1)));
    }
    five.bytes = f.trailer().bytes();
    return five;
}

TEST(GifOnDemand, AFileCutShortCountsTheFramesBeforeTheCut) {
    const FiveFrames five = fiveFrames();
    // Separator, 9 bytes of descriptor, the LZW code size, then sub-blocks of 255 bytes
    // of data after their length. A sub-block is read whole or not at all, and the
    // first one holds 7 rows and a bit.
    const struct {
        const char* where;
        size_t offset;    // from frame k's separator
        int extra;        // frames counted beyond the k before frame k
        int rowsOfItsOwn; // of frame k, from the top, when it counts
    } cuts[] = {{"inside the descriptor", 5, 0, 0},
                {"after the code size", 11, 0, 0},
                {"inside the image data", 12 + 255 + 1 + 10, 1, 7}};
    for (int k = 0; k < 5; ++k)
        for (const auto& cut : cuts) {
            SCOPED_TRACE(std::string("frame ") + std::to_string(k) + ", cut " + cut.where);
            const std::vector<uint8_t> bytes(
                five.bytes.begin(),
                five.bytes.begin() +
                    static_cast<long>(five.separator[static_cast<size_t>(k)] + cut.offset));
            const int expected = k + cut.extra;
            auto source = open(bytes);
            if (expected == 0) {
                EXPECT_EQ(source, nullptr);
                continue;
            }
            ASSERT_NE(source, nullptr);
            EXPECT_EQ(source->frameCount(), expected);
            pz4fmt::Image image;
            ASSERT_TRUE(pz4gif::decodeGif(bytes.data(), bytes.size(), image));
            EXPECT_EQ(static_cast<int>(image.frames.size()), expected);
            if (cut.extra == 0)
                continue;
            const pz4fmt::Frame* cutFrame = source->lock(k);
            ASSERT_NE(cutFrame, nullptr);
            for (int y = 0; y < 16; ++y) {
                // Rows that did not come through still show the frame before.
                const int own = k % 3 + 1, under = k == 0 ? 0 : (k - 1) % 3 + 1;
                EXPECT_EQ(indexAt(*cutFrame, 0, y), y < cut.rowsOfItsOwn ? own : under)
                    << "row " << y;
            }
        }
}

TEST(GifOnDemand, DamageFoundWhenLockingShowsWhatCameThroughAndLaterFramesDrawOverIt) {
    GifFile f;
    f.screen(4, 2, kFour).image(0, 0, 4, 2, std::vector<uint8_t>(8, 1)); // all red
    // Frame 1: a top row of blue comes through, then a code that stands for nothing.
    f.raw({0x2C, 0, 0, 0, 0, 4, 0, 2, 0, 0}).codeStream({4, 3, 3, 4, 3, 3, 4, 7, 5}, 2);
    f.image(3, 1, 1, 1, {2}).trailer(); // frame 2: one green pixel, bottom right

    auto source = open(f.bytes());
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->frameCount(), 3);
    const pz4fmt::Frame* damaged = source->lock(1);
    const pz4fmt::Frame* after = source->lock(2);
    ASSERT_NE(damaged, nullptr);
    ASSERT_NE(after, nullptr);
    EXPECT_EQ(topRow(*damaged), (std::vector<Rgb>{kBlue, kBlue, kBlue, kBlue}));
    EXPECT_EQ(colourAt(*damaged, 3, 1), kRed);
    EXPECT_EQ(topRow(*after), (std::vector<Rgb>{kBlue, kBlue, kBlue, kBlue}));
    EXPECT_EQ(colourAt(*after, 0, 1), kRed);
    EXPECT_EQ(colourAt(*after, 3, 1), kGreen);
    // Read as a whole, in order, the file ends at the damage.
    EXPECT_EQ(decodeAll(f.bytes()).frames.size(), 2u);
}

TEST(GifOnDemand, TheCapRefusesLocksAndLeavesTheCountAndTheFramesHandedOut) {
    const std::vector<uint8_t> bytes = fiveFrames().bytes;
    auto probe = open(bytes);
    ASSERT_NE(probe, nullptr);
    ASSERT_NE(probe->lock(0), nullptr);
    const size_t screenAndFrame = probe->heldBytes();
    // Room for the screen and three frames of 1024 pixels.
    auto source = open(bytes, screenAndFrame + 2 * 1024);
    ASSERT_NE(source, nullptr);
    const pz4fmt::Frame* third = source->lock(3);
    ASSERT_NE(third, nullptr);
    const std::vector<uint8_t> thirdPixels = third->pixels;
    ASSERT_NE(source->lock(0), nullptr);
    ASSERT_NE(source->lock(4), nullptr);
    EXPECT_EQ(source->lock(1), nullptr);
    EXPECT_EQ(source->lock(2), nullptr);
    EXPECT_EQ(source->frameCount(), 5);
    EXPECT_EQ(source->lock(3), third);
    EXPECT_EQ(third->pixels, thirdPixels);
    EXPECT_LE(source->heldBytes(), screenAndFrame + 2 * 1024);
}

TEST(GifOnDemand, AFileThatCannotOpenSaysWhy) {
    GifFile tableCut;
    tableCut.screen(1, 1, kFour);
    GifFile badFirstImage;
    badFirstImage.screen(2, 1, kFour)
        .raw({0x2C, 0, 0, 0, 0, 2, 0, 1, 0, 0})
        .codeStream({4, 7, 5}, 2)
        .trailer();
    const struct {
        std::vector<uint8_t> bytes;
        const char* reason;
    } cases[] = {
        {GifFile("NOTGIF").bytes(), "not a GIF file"},
        {GifFile().raw({1, 0, 1}).bytes(), "file ends inside the screen descriptor"},
        {std::vector<uint8_t>(tableCut.bytes().begin(), tableCut.bytes().begin() + 13 + 5),
         "file ends inside the global colour table"},
        {GifFile().screen(4, 4, kFour).trailer().bytes(), "the file holds no frames"},
        {GifFile().screen(1, 1).raw({0x2C, 0, 0}).bytes(), "file ends inside frame 0"},
        {GifFile().screen(1, 1, kFour).image(0, 0, 1, 1, {1}, {}, false, 13).bytes(),
         "LZW minimum code size 13 is out of range in frame 0"},
        {GifFile().screen(1, 1, kFour).image(0, 0, 0, 1, {}).bytes(),
         "frame 0 of 0x1 pixels is empty"},
        {GifFile().screen(1, 1, kFour).image(0, 0, 16385, 1, {1}).bytes(),
         "frame 0 of 16385x1 pixels is larger than 16384 a side"},
        {GifFile().screen(20000, 1, kFour).image(0, 0, 1, 1, {1}).bytes(),
         "screen of 20000x1 pixels is larger than 16384 a side"},
        {GifFile().screen(1, 1, kFour).raw({0x99}).bytes(), "unknown block 0x99 before frame 0"},
    };
    for (const auto& c : cases) {
        pz4fmt::Failure why;
        EXPECT_EQ(pz4gif::openGif(c.bytes, pz4fmt::kMaxHeldBytes, &why), nullptr) << c.reason;
        EXPECT_EQ(why.reason(), c.reason);
        pz4fmt::Image image;
        pz4fmt::Failure whyAll;
        EXPECT_FALSE(pz4gif::decodeGif(c.bytes.data(), c.bytes.size(), image, pz4fmt::kMaxHeldBytes,
                                       &whyAll));
        EXPECT_EQ(whyAll.reason(), c.reason);
    }
    // Found only by decoding, so only by the reader that decodes everything.
    pz4fmt::Failure why;
    pz4fmt::Image image;
    EXPECT_FALSE(pz4gif::decodeGif(badFirstImage.bytes().data(), badFirstImage.bytes().size(),
                                   image, pz4fmt::kMaxHeldBytes, &why));
    EXPECT_EQ(why.reason(), "the image data of frame 0 is damaged");
    why.clear();
    EXPECT_FALSE(pz4gif::decodeGif(nullptr, 0, image, pz4fmt::kMaxHeldBytes, &why));
    EXPECT_EQ(why.reason(), "the file is empty");
}

// The same through the built plug-in, as the program drives it: frames locked in
// reverse as they would be all at once, each buffer in place until the file closes.
TEST(GifOnDemandPlugin, ALongFileLocksInReverseAsItWouldInOrder) {
    pz4test::TempWorkDir dir;
    dir.addFormat("pzgif");
    const std::vector<uint8_t> bytes = screenRecording(300, 64, 48);
    dir.write("long.gif", bytes);
    const pz4fmt::Image all = decodeAll(bytes);
    ASSERT_EQ(all.frames.size(), 300u);
    cDllManager plugins;
    ASSERT_TRUE(plugins.OpenObject("long.gif"));
    ASSERT_EQ(plugins.FrameCount(), 300);
    std::vector<unsigned char*> handedOut(300, nullptr);
    for (int pass = 0; pass < 2; ++pass)
        for (int k = 299; k >= 0; --k) {
            SCOPED_TRACE(k);
            unsigned char *pixels = nullptr, *palette = nullptr;
            int width = 0, height = 0, colours = 0, tag = 0;
            ASSERT_TRUE(plugins.LockFrame(k, &pixels, &palette, &width, &height, &colours, &tag));
            const pz4fmt::Frame& want = all.frames[static_cast<size_t>(k)];
            ASSERT_EQ(width * height, static_cast<int>(want.pixels.size()));
            ASSERT_NE(palette, nullptr);
            EXPECT_EQ(std::vector<uint8_t>(pixels, pixels + want.pixels.size()), want.pixels);
            EXPECT_TRUE(std::equal(want.palette.begin(), want.palette.end(), palette));
            EXPECT_EQ(tag, want.tag);
            if (pass == 1) {
                EXPECT_EQ(pixels, handedOut[static_cast<size_t>(k)]);
            }
            handedOut[static_cast<size_t>(k)] = pixels;
        }
    plugins.CloseObject();
}

} // namespace
