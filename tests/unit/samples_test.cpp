#include "TempWorkDir.h"
#include "anim/ScriptManager.h"
#include "plugins/DllManager.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Frame {
    int width = 0, height = 0, tag = 0;
    std::vector<unsigned char> pixels;
    std::vector<unsigned char> palette; // empty when the file brings none
    // The colour every pixel shows, through the frame's palette.
    std::vector<std::array<unsigned char, 3>> colours() const {
        std::vector<std::array<unsigned char, 3>> out;
        for (unsigned char p : pixels)
            out.push_back({palette[p * 3u], palette[p * 3u + 1], palette[p * 3u + 2]});
        return out;
    }
};

// Every frame of `path` as the program would see it.
std::vector<Frame> load(const std::string& path) {
    cDllManager plugins;
    std::vector<Frame> frames;
    if (!plugins.OpenObject(path.c_str()))
        return frames;
    for (int i = 0; i < plugins.FrameCount(); ++i) {
        const std::optional<LockedFrame> locked = plugins.LockFrame(i);
        if (!locked)
            break;
        Frame f;
        f.width = locked->width;
        f.height = locked->height;
        f.tag = locked->tag;
        f.pixels.assign(locked->pixels, locked->pixels + static_cast<size_t>(f.width) * f.height);
        if (locked->palette != nullptr)
            f.palette.assign(locked->palette, locked->palette + 768);
        frames.push_back(std::move(f));
    }
    return frames;
}

// Each test draws the samples afresh into out/ of its own working directory.
class Samples : public ::testing::Test {
protected:
    void SetUp() override {
        dir.addAllFormats();
        const std::string command = std::string("\"") + PZ4_BIN_DIR + "/pzsamples\" out";
        exitCode = std::system(command.c_str());
    }
    static std::string file(const std::string& name) { return "out/" + name; }

    pz4test::TempWorkDir dir;
    int exitCode = -1;
};

TEST_F(Samples, TheAnimatedWalkHasItsOwnPaletteAndDelays) {
    ASSERT_EQ(exitCode, 0);
    const auto walk = load(file("walk.gif"));
    ASSERT_GE(walk.size(), 8u);
    for (size_t k = 0; k < walk.size(); ++k) {
        EXPECT_GE(walk[k].width, 64);
        EXPECT_GE(walk[k].height, 64);
        EXPECT_EQ(walk[k].palette.size(), 768u) << k;
        EXPECT_GT(walk[k].tag, 0) << k;
        EXPECT_NE(walk[k].pixels, walk[(k + 1) % walk.size()].pixels) << "frame " << k << " moves";
    }
}

TEST_F(Samples, EveryFormatShowsTheSameCycle) {
    ASSERT_EQ(exitCode, 0);
    const auto walk = load(file("walk.gif"));
    ASSERT_GE(walk.size(), 8u);
    for (size_t k = 0; k < walk.size(); ++k) {
        const std::string name = "walk00" + std::to_string(k) + ".pcx";
        const auto pcx = load(file(name));
        ASSERT_EQ(pcx.size(), 1u) << name;
        EXPECT_EQ(pcx[0].colours(), walk[k].colours()) << name;
    }
    const struct {
        const char* name;
        size_t frame;
    } singles[] = {{"walk.bmp", 0}, {"walk.png", 4}};
    for (const auto& s : singles) {
        const auto one = load(file(s.name));
        ASSERT_EQ(one.size(), 1u) << s.name;
        EXPECT_EQ(one[0].colours(), walk[s.frame].colours()) << s.name;
    }
}

TEST_F(Samples, TheFlcWalkIsTheGifWalkFrameForFrame) {
    ASSERT_EQ(exitCode, 0);
    const auto gif = load(file("walk.gif"));
    const auto flc = load(file("walk.flc"));
    ASSERT_EQ(flc.size(), gif.size());
    for (size_t k = 0; k < flc.size(); ++k) {
        EXPECT_EQ(flc[k].pixels, gif[k].pixels) << k;
        EXPECT_EQ(flc[k].colours(), gif[k].colours()) << k;
        EXPECT_EQ(flc[k].tag, gif[k].tag) << k;
    }
}

TEST_F(Samples, ThePalettelessGifHoldsTheSameIndicesWithoutColours) {
    ASSERT_EQ(exitCode, 0);
    const auto bare = load(file("walk_nopal.gif"));
    ASSERT_EQ(bare.size(), 8u);
    for (size_t k = 0; k < bare.size(); ++k) {
        EXPECT_TRUE(bare[k].palette.empty()) << k;
        EXPECT_GT(bare[k].tag, 0) << k;
        // PCX keeps the indices as drawn.
        const auto pcx = load(file("walk00" + std::to_string(k) + ".pcx"));
        ASSERT_EQ(pcx.size(), 1u);
        EXPECT_EQ(bare[k].pixels, pcx[0].pixels) << k;
    }
}

TEST_F(Samples, PaletteTableAndScript) {
    ASSERT_EQ(exitCode, 0);
    const auto frame = load(file("walk000.pcx"));
    ASSERT_EQ(frame.size(), 1u);
    for (const char* pal : {"walk.pal", "dusk.pal"})
        EXPECT_EQ(dir.read(file(pal)).size(), 768u) << pal;
    EXPECT_EQ(dir.read(file("walk.pal")),
              std::string(frame[0].palette.begin(), frame[0].palette.end()));
    EXPECT_NE(dir.read(file("dusk.pal")), dir.read(file("walk.pal")));

    // The table swaps two ramps: applied twice it is the identity, and the
    // pixels it moves are really in the picture.
    const std::string trn = dir.read(file("team.trn"));
    ASSERT_EQ(trn.size(), 256u);
    size_t moved = 0;
    for (int p = 0; p < 256; ++p)
        EXPECT_EQ(static_cast<unsigned char>(trn[static_cast<unsigned char>(trn[p])]), p) << p;
    for (unsigned char p : frame[0].pixels)
        moved += static_cast<unsigned char>(trn[p]) != p;
    EXPECT_GT(moved, 100u);

    // Forwards, then mirrored left to right, and not one step more.
    const cScriptManager script(file("walk.scp").c_str());
    ASSERT_NE(script.steps, nullptr) << script.errorText.c_str();
    ASSERT_EQ(script.steps->LastIndex(), 15);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(script.steps->GetFrameNumber(i), i % 8) << i;
        EXPECT_EQ(script.steps->GetFlags(i), i < 8 ? 0 : 1) << i;
    }
}

TEST(SamplesTool, RefusesToRunWithoutThePlugins) {
    pz4test::TempWorkDir empty;
    const std::string command = std::string("\"") + PZ4_BIN_DIR + "/pzsamples\" out 2>err.txt";
    EXPECT_NE(std::system(command.c_str()), 0);
    EXPECT_NE(empty.read("err.txt").find("no plug-in"), std::string::npos);
    EXPECT_FALSE(empty.exists("out/walk.pal"));
}

} // namespace
