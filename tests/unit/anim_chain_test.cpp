// The chains the animator plays and saves: which frames go in, how they are
// numbered and mirrored, and the mirrored copies made for saving; and the saving
// of chosen frames that Save and pzconv share.
#include "TempWorkDir.h"
#include "anim/AnimChain.h"
#include "anim/ScriptList.h"
#include "frames/IntList.h"
#include "plugins/DllManager.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <string>
#include <vector>

namespace {

TEST(MirroredCopy, ReversesRowsOrTheirOrder) {
    using Bytes = std::vector<unsigned char>;
    const struct {
        int width;
        int height;
        Bytes pixels;
        int mirror;
        Bytes copy;
    } cases[] = {
        {1, 1, {7}, 3, {7}},
        {3, 2, {1, 2, 3, 4, 5, 6}, 0, {1, 2, 3, 4, 5, 6}},
        {3, 2, {1, 2, 3, 4, 5, 6}, 1, {3, 2, 1, 6, 5, 4}},
        {3, 2, {1, 2, 3, 4, 5, 6}, 2, {4, 5, 6, 1, 2, 3}},
        {3, 2, {1, 2, 3, 4, 5, 6}, 3, {6, 5, 4, 3, 2, 1}},
        // An odd number of rows keeps the middle one in place.
        {2, 3, {1, 2, 3, 4, 5, 6}, 2, {5, 6, 3, 4, 1, 2}},
    };
    for (const auto& c : cases) {
        const Bytes source = c.pixels;
        const auto copy = MirroredCopy(source.data(), c.width, c.height, c.mirror);
        EXPECT_EQ(Bytes(copy.get(), copy.get() + c.pixels.size()), c.copy)
            << c.width << "x" << c.height << " mirror " << c.mirror;
        EXPECT_EQ(source, c.pixels);
    }
}

// What a chain holds, node by node: "index:tag:mirror", the tag naming the frame
// (the ui fixture tags frame k with 1000 + k).
std::vector<std::string> describe(const cFrameList* node) {
    std::vector<std::string> out;
    for (; node != nullptr; node = node->next.get())
        out.push_back(std::to_string(node->index) + ":" + std::to_string(node->tag) + ":" +
                      std::to_string(node->mirror));
    return out;
}

class AnimChainTest : public ::testing::Test {
protected:
    void open(const std::string& cfg) {
        dir.addFixture("pzuifix");
        dir.write("pzuifix.cfg", cfg);
        dir.write("walk.uif", std::string());
        plugins = std::make_unique<cDllManager>();
        ASSERT_TRUE(plugins->OpenObject((dir.path() / "walk.uif").string().c_str()));
    }
    void TearDown() override {
        if (plugins)
            plugins->CloseObject();
    }

    pz4test::TempWorkDir dir;
    std::unique_ptr<cDllManager> plugins;
    std::shared_ptr<unsigned char[]> palette{new unsigned char[768]()};
};

TEST_F(AnimChainTest, ARangeLeavesRefusedFramesOut) {
    open("frames=6\nlockfail=2\n");
    const struct {
        int from;
        int to;
        std::vector<std::string> nodes;
    } cases[] = {
        {1, 4, {"1:1001:0", "3:1003:0", "4:1004:0"}},
        {5, 5, {"5:1005:0"}},
        {2, 2, {}},
        {4, 3, {}},
        {4, 9, {"4:1004:0", "5:1005:0"}},
        {INT_MAX - 2, INT_MAX, {}}, // ends, though the index cannot pass the last
    };
    for (const auto& c : cases) {
        const auto chain = LockFrameRange(*plugins, palette, c.from, c.to);
        EXPECT_EQ(describe(chain.get()), c.nodes) << c.from << ".." << c.to;
    }
}

TEST_F(AnimChainTest, FramesWithoutAPaletteShareTheOneGiven) {
    open("frames=2\n");
    const auto chain = LockFrameRange(*plugins, palette, 0, 1);
    ASSERT_NE(chain, nullptr);
    // Frame 0 brings none, frame 1 its own.
    EXPECT_EQ(chain->palette, palette.get());
    EXPECT_EQ(chain->sharedPalette, palette);
    ASSERT_NE(chain->next, nullptr);
    EXPECT_NE(chain->next->palette, palette.get());
    EXPECT_EQ(chain->next->palette[0], 200);
}

TEST_F(AnimChainTest, ScriptStepsAreNumberedByTheirPlaceAndMirroredByTheirFlags) {
    open("frames=5\nlockfail=2\n");
    cScriptList steps(0, 0);
    steps.Append(2, 1)->Append(4, 2)->Append(9, 0)->Append(4, 3)->Append(0, 1);
    const auto chain = LockScriptSteps(*plugins, palette, steps);
    EXPECT_EQ(describe(chain.get()),
              (std::vector<std::string>{"0:1000:0", "2:1004:2", "4:1004:3", "5:1000:1"}));

    cScriptList refused(9, 1);
    EXPECT_EQ(LockScriptSteps(*plugins, palette, refused), nullptr);
}

// Frames 1, 2 and 3 saved with frame 2 refused: what the plug-in is handed and
// what the caller learns, for each kind and each choice on a refused frame.
TEST_F(AnimChainTest, SavingFramesStopsOrGoesOnAtARefusedFrameAsTheCallerChose) {
    const struct {
        cSaveChain::Kind kind;
        LockFailure onFailure;
        const char* cfg;
        std::vector<std::string> files; // relative to the folder
        bool asked, saved;
        int unlocked;
    } cases[] = {
        {cSaveChain::Kind::Frames,
         LockFailure::SaveThoseBefore,
         "lockfail=2\n",
         {"o001.uif"},
         true,
         true,
         2},
        {cSaveChain::Kind::Frames, LockFailure::SaveNothing, "lockfail=2\n", {}, false, false, 2},
        {cSaveChain::Kind::Frames,
         LockFailure::SaveNothing,
         "",
         {"o001.uif", "o002.uif", "o003.uif"},
         true,
         true,
         -1},
        {cSaveChain::Kind::Animation,
         LockFailure::SaveNothing,
         "savefail=1\n",
         {"o.uif"},
         true,
         false,
         -1},
        {cSaveChain::Kind::Animation,
         LockFailure::SaveThoseBefore,
         "lockfail=1\n",
         {},
         false,
         false,
         1},
    };
    for (const auto& c : cases) {
        open(std::string("frames=4\nsaveanims=1\n") + c.cfg);
        cIntList frames(1);
        frames.Append(2);
        frames.Append(3);
        const std::string stem = (dir.path() / "o").string();
        const FrameSaveResult r =
            SaveFrames(*plugins, c.kind, &frames, stem.c_str(), "uif", palette.get(), c.onFailure);
        std::vector<std::string> files;
        for (const std::string& f : r.files)
            files.push_back(f.substr(dir.path().string().size() + 1));
        const std::string label =
            std::string(c.cfg) + (c.kind == cSaveChain::Kind::Frames ? "frames" : "anim");
        EXPECT_EQ(files, c.files) << label;
        EXPECT_EQ(r.asked, c.asked) << label;
        EXPECT_EQ(r.saved, c.saved) << label;
        EXPECT_EQ(r.unlockedFrame, c.unlocked) << label;
        for (const std::string& f : c.files)
            EXPECT_EQ(std::filesystem::exists(dir.path() / f), c.saved) << label << " " << f;
        plugins->CloseObject();
        std::filesystem::remove(dir.path() / "pzuifix.log");
    }
}

} // namespace
