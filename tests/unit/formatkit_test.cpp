// The pieces every codec shares, tested apart from any one format.

#include "common/Failure.h"

#include <gtest/gtest.h>

#include <string>

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
