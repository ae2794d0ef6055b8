#include "anim/ScriptManager.h"

#include <TempWorkDir.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using Steps = std::vector<std::pair<int32_t, int32_t>>; // frame, flags

Steps stepsOf(const cScriptManager& script) {
    Steps steps;
    if (!script.steps)
        return steps;
    for (int32_t i = 0; i <= script.steps->LastIndex(); ++i)
        steps.emplace_back(script.steps->GetFrameNumber(i), script.steps->GetFlags(i));
    return steps;
}

struct ScriptCase {
    const char* label;
    std::string file;
    Steps steps; // empty: the script is not valid (no steps at all)
    const char* error = "";
};

std::string longLine() {
    // 3,000 bytes: pieces of 1,021 / 1,021 / 958 + the line feed, each a line.
    std::string piece1 = "1" + std::string(1020, 'a');
    std::string piece2 = "2 MIRROR_X" + std::string(1011, ' ');
    std::string piece3 = "/" + std::string(957, 'z');
    return piece1 + piece2 + piece3 + "\n";
}

const ScriptCase kCases[] = {
    {"Walk", "// walk\n0\n1\n2 MIRROR_X\n", {{0, 0}, {1, 0}, {2, 1}}},
    {"WalkWithoutLastLineFeed", "// walk\n0\n1\n2 MIRROR_X", {{0, 0}, {1, 0}, {2, 1}}},
    {"CarriageReturnLines", "12 MIRROR_Y\r\n1 2\r\n", {{12, 2}, {12, 0}}},
    {"BothFlagsAnySeparator", "7,MIRROR_X MIRROR_Y\n", {{7, 3}}},
    {"FlagInTrailingComment", "3 // MIRROR_X\n", {{3, 1}}},
    {"SlashSecondSkipped", "5/6\n4\n", {{4, 0}}},
    {"FlagsExactCase", "9 mirror_x\n9 MIRROR_XY\n", {{9, 0}, {9, 1}}},
    {"NonDigitStartIsFrameZero", "\t5\n-3\nx\n", {{0, 0}, {0, 0}, {0, 0}}},
    {"BlankLinesSkipped", "1\r\n\r\n\n2\r\n", {{1, 0}, {2, 0}}},
    {"FlagOnUnterminatedLastLine", "2 MIRROR_Y", {{2, 2}}},
    {"Limit1024", "1024\n", {{1024, 0}}},
    {"Above1024EndsTheLoad", "1\n2\n3\n4\n5\n6\n1025\n7\n", {}, "Index out of range in Line 0007"},
    {"WrappedNegativeIsOutOfRange", "2147483648\n", {}, "Index out of range in Line 0001"},
    {"LongLineIsThreeLines", longLine() + "4\n", {{1, 0}, {2, 1}, {4, 0}}},
    {"LongLineCountsThreeLineNumbers",
     longLine() + "1025\n",
     {},
     "Index out of range in Line 0004"},
    // A line of exactly the limit, then the end: nothing follows, no step.
    {"LimitLineAtTheEnd", "7" + std::string(1020, ' '), {{7, 0}}},
    {"EmptyFile", "", {}},
    {"OnlyComments", "// nothing\n", {}},
    {"NulAtLineStartEndsTheLoad", std::string("1\n\0 2\n3\n", 8), {}},
};

class ScriptRead : public testing::TestWithParam<ScriptCase> {};

TEST_P(ScriptRead, Steps) {
    const ScriptCase& c = GetParam();
    pz4test::TempWorkDir dir;
    dir.write("a.scp", c.file);
    const cScriptManager script("a.scp");
    EXPECT_STREQ(script.fileName.c_str(), "a.scp");
    EXPECT_EQ(stepsOf(script), c.steps);
    EXPECT_EQ(script.steps == nullptr, c.steps.empty());
    EXPECT_STREQ(script.errorText.c_str(), c.error);
}

INSTANTIATE_TEST_SUITE_P(Files, ScriptRead, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(ScriptManager, MissingFile) {
    pz4test::TempWorkDir dir;
    const cScriptManager script("none.scp");
    EXPECT_EQ(script.steps, nullptr);
    EXPECT_STREQ(script.errorText.c_str(), "File not found !");
}

TEST(ScriptList, PastTheEndGivesTheLastStep) {
    cScriptList steps(4, 0);
    steps.Append(5, 1);
    steps.Append(6, 3);
    EXPECT_EQ(steps.LastIndex(), 2);
    EXPECT_EQ(steps.GetFrameNumber(1), 5);
    EXPECT_EQ(steps.GetFrameNumber(5), 6);
    EXPECT_EQ(steps.GetFlags(5), 3);
    EXPECT_EQ(steps.next->GetFrameNumber(0), 5);
}

} // namespace
