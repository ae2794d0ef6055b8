#include "anim/ScriptManager.h"

#include <TempWorkDir.h>
#include <gtest/gtest.h>

#include <ostream>
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

void PrintTo(const ScriptCase& c, std::ostream* os) {
    *os << c.label;
}

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

namespace {

// Lines of the sample, each with the number of steps it adds.
const std::pair<std::string, size_t> kSampleLines[] = {
    {"// walk\n", 0}, {"3\r\n", 1}, {"1 MIRROR_X\n", 1}, {"\n", 0}, {"1024 MIRROR_Y MIRROR_X\n", 1},
    {"/ skip\n", 0},  {"42", 1},
};
const Steps kSampleSteps = {{3, 0}, {1, 1}, {1024, 3}, {42, 0}};

bool stepsInRange(const cScriptManager& script) {
    for (const auto& [frame, flags] : stepsOf(script))
        if (frame < 0 || frame > cScriptManager::kMaxFrameNumber || flags < 0 || flags > 3)
            return false;
    return true;
}

// Every cut and every damaged byte still gives a valid script or none, never
// a step out of range; a cut just after a line gives the steps up to it.
TEST(ScriptManager, TruncatedAndDamagedFiles) {
    pz4test::TempWorkDir dir;
    std::string sample;
    size_t stepsBefore = 0;
    for (const auto& [line, steps] : kSampleLines) {
        // A cut right after a line keeps exactly the steps of the lines before it.
        dir.write("a.scp", sample);
        EXPECT_EQ(stepsOf(cScriptManager("a.scp")),
                  Steps(kSampleSteps.begin(), kSampleSteps.begin() + long(stepsBefore)))
            << sample.size();
        // A cut inside the line still gives a valid script or none.
        for (size_t k = 1; k < line.size(); ++k) {
            dir.write("a.scp", sample + line.substr(0, k));
            ASSERT_TRUE(stepsInRange(cScriptManager("a.scp"))) << sample.size() + k;
        }
        sample += line;
        stepsBefore += steps;
    }
    dir.write("a.scp", sample);
    ASSERT_EQ(stepsOf(cScriptManager("a.scp")), kSampleSteps);

    for (size_t at = 0; at < sample.size(); ++at) {
        for (char byte : {'\0', '\n', '\r', '/', '9', '\xff'}) {
            std::string damaged = sample;
            damaged[at] = byte;
            dir.write("a.scp", damaged);
            ASSERT_TRUE(stepsInRange(cScriptManager("a.scp"))) << at << " " << int(byte);
        }
    }
}

} // namespace
