// The pieces every codec shares, tested apart from any one format.

#include "common/Failure.h"
#include "common/FrameArena.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using pz4fmt::Failure;

TEST(Failure, AnswersFalseAndFormatsTheReason) {
    Failure why;
    EXPECT_FALSE(why.failed());
    EXPECT_FALSE(why.fail("LZW minimum code size %d is out of range", 13));
    EXPECT_TRUE(why.failed());
    EXPECT_EQ(why.reason(), "LZW minimum code size 13 is out of range");
}

// A decoder that fails deep inside reports the fault, not each caller that
// gives up because of it.
TEST(Failure, KeepsTheFirstReason) {
    Failure why;
    why.fail("file ends inside row %d", 7);
    why.fail("frame %d could not be read", 0);
    EXPECT_EQ(why.reason(), "file ends inside row 7");
    why.clear();
    EXPECT_FALSE(why.failed());
    why.fail("PLTE with 0 entries");
    EXPECT_EQ(why.reason(), "PLTE with 0 entries");
}

TEST(Failure, KeepsLongReasonsWhole) {
    const std::string name(5000, 'n');
    Failure why;
    why.fail("chunk %s is damaged", name.c_str());
    EXPECT_EQ(why.reason(), "chunk " + name + " is damaged");
}

// Slices handed out stay where they are, holding what was written there, while later
// slices fill further blocks and slices given back are taken again.
TEST(FrameArena, SlicesStayPutAndUnchangedUntilTheArenaGoes) {
    const struct {
        const char* name;
        size_t expected; // the arena's measure of every frame together
        size_t slice;
        size_t fewestBlocks, mostBlocks;
    } cases[] = {{"blocks doubling", 0, 20000, 2, 8},
                 {"one block from the measure", 300 * 20000, 20000, 1, 1},
                 {"slices larger than any block", 0, size_t{65} << 20, 2, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        pz4fmt::FrameArena arena(c.expected);
        const int count = c.slice > (size_t{1} << 20) ? 3 : 300;
        std::vector<uint8_t*> kept;
        for (int k = 0; k < count; ++k) {
            uint8_t* at = arena.take(c.slice);
            std::memset(at, k, c.slice);
            if (k % 3 == 1) { // given up, and taken again by the next slice of its size
                arena.giveBack(at, c.slice);
                continue;
            }
            kept.push_back(at);
        }
        EXPECT_GE(arena.blockCount(), c.fewestBlocks);
        EXPECT_LE(arena.blockCount(), c.mostBlocks);
        for (size_t i = 0; i < kept.size(); ++i) {
            const int k = static_cast<int>(i / 2 * 3 + i % 2 * 2);
            const std::vector<uint8_t> want(c.slice, static_cast<uint8_t>(k));
            EXPECT_EQ(std::memcmp(kept[i], want.data(), c.slice), 0) << "slice " << k;
        }
    }
}
