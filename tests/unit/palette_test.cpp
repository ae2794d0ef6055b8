#include "frames/FrameList.h"
#include "palette/PalManager.h"

#include <TempWorkDir.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace {

// Bytes 0, 1, 2, ... so every position of the file is recognisable.
std::vector<unsigned char> counting(size_t n) {
    std::vector<unsigned char> bytes(n);
    for (size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<unsigned char>((i * 7 + 3) & 0xFF);
    return bytes;
}

std::vector<unsigned char> storage(const cPalManager& pal) {
    return std::vector<unsigned char>(pal.colors.get(), pal.colors.get() + cPalManager::kBytes);
}

TEST(PalManager, DefaultIsUnnamedGrey) {
    const cPalManager pal;
    EXPECT_EQ(pal.GetName(), nullptr);
    EXPECT_EQ(storage(pal), std::vector<unsigned char>(768, 64));
}

// Paths that name no regular file.
constexpr long kMissing = -1, kFolder = -2, kPipe = -3;

struct LoadCase {
    const char* label;
    long fileSize; // or one of the kinds above
    size_t bytesTaken;
    bool named;
};

void PrintTo(const LoadCase& c, std::ostream* os) {
    *os << c.label;
}

class PalLoad : public testing::TestWithParam<LoadCase> {};

// Bytes the file covers come from it; every other byte is the default grey.
TEST_P(PalLoad, FileBytesThenGrey) {
    const LoadCase& c = GetParam();
    pz4test::TempWorkDir dir;
    const std::vector<unsigned char> file = counting(c.fileSize < 0 ? 0 : size_t(c.fileSize));
    const std::string path = (dir.path() / "a.pal").string();
    if (c.fileSize >= 0) {
        dir.write("a.pal", file);
    } else if (c.fileSize == kFolder) {
        std::filesystem::create_directory(path);
    } else if (c.fileSize == kPipe) {
        ASSERT_EQ(mkfifo(path.c_str(), 0600), 0); // opening it would wait for a writer
    }

    const cPalManager pal(path.c_str());
    if (c.named)
        EXPECT_STREQ(pal.GetName(), path.c_str());
    else
        EXPECT_EQ(pal.GetName(), nullptr);
    std::vector<unsigned char> expected(768, 64);
    std::copy_n(file.begin(), c.bytesTaken, expected.begin());
    EXPECT_EQ(storage(pal), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, PalLoad,
    testing::Values(LoadCase{"missing", kMissing, 0, false}, LoadCase{"folder", kFolder, 0, false},
                    LoadCase{"pipe", kPipe, 0, false}, LoadCase{"empty", 0, 0, true},
                    LoadCase{"ten", 10, 10, true}, LoadCase{"full", 768, 768, true},
                    LoadCase{"long", 1000, 768, true}),
    [](const auto& info) { return std::string(info.param.label); });

// Entry 255 is inside, for reading and writing; nothing outside is read or written.
TEST(PalManager, EntriesOnlyInsideTheTable) {
    cPalManager pal;
    ASSERT_TRUE(pal.SetEntry(255, 1, 2, 3));
    unsigned char r = 9, g = 9, b = 9;
    ASSERT_TRUE(pal.GetEntry(255, r, g, b));
    EXPECT_EQ((std::vector<int>{r, g, b}), (std::vector<int>{1, 2, 3}));
    for (int32_t index : {-1, 256, INT32_MIN}) {
        r = g = b = 9;
        EXPECT_FALSE(pal.GetEntry(index, r, g, b)) << index;
        EXPECT_EQ((std::vector<int>{r, g, b}), (std::vector<int>{9, 9, 9})) << index;
        EXPECT_FALSE(pal.SetEntry(index, 1, 2, 3)) << index;
    }
    std::vector<unsigned char> expected(768, 64);
    expected[765] = 1;
    expected[766] = 2;
    expected[767] = 3;
    EXPECT_EQ(storage(pal), expected);
}

struct RunCase {
    int32_t start, count, layout;
    bool accepted;
    std::vector<std::vector<int>> entries; // from `start` on, when accepted
};

void PrintTo(const RunCase& c, std::ostream* os) {
    *os << "start " << c.start << " count " << c.count << " layout " << c.layout;
}

class PalRuns : public testing::TestWithParam<RunCase> {};

TEST_P(PalRuns, SetEntries) {
    const RunCase& c = GetParam();
    cPalManager pal;
    const unsigned char source[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    EXPECT_EQ(pal.SetEntries(c.start, c.count, c.layout, source), c.accepted);
    std::vector<unsigned char> expected(768, 64);
    for (size_t i = 0; i < c.entries.size(); ++i)
        for (size_t k = 0; k < 3; ++k)
            expected[3 * (size_t(c.start) + i) + k] = static_cast<unsigned char>(c.entries[i][k]);
    EXPECT_EQ(storage(pal), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, PalRuns,
    testing::Values(
        RunCase{10, 2, 16, true, {{1, 2, 3}, {4, 5, 6}}},
        RunCase{10, 2, 0, true, {{1, 3, 5}, {2, 4, 6}}},
        // Runs may end with entry 255.
        RunCase{251, 5, 7, true, {{1, 6, 11}, {2, 7, 12}, {3, 8, 13}, {4, 9, 14}, {5, 10, 15}}},
        RunCase{255, 1, 16, true, {{1, 2, 3}}}, RunCase{250, 7, 16, false, {}},
        RunCase{256, 1, 16, false, {}}, RunCase{-1, 2, 16, false, {}}, RunCase{3, 0, 16, true, {}},
        RunCase{1, INT32_MAX, 16, false, {}}));

// The palette window replaces the current palette while viewers still show
// frames that use it: their records keep the colours alive.
TEST(PalManager, FrameKeepsColoursAfterItsManagerIsGone) {
    pz4test::TempWorkDir dir;
    dir.write("a.pal", counting(768));
    unsigned char pixels[4] = {0, 1, 2, 3};
    auto pal = std::make_unique<cPalManager>("a.pal");
    std::unique_ptr<cFrameList> frame(new cFrameList(nullptr, pixels, pal->colors, 2, 2, 0, 0, 0));
    EXPECT_EQ(frame->palette, pal->colors.get());
    pal = std::make_unique<cPalManager>(); // replaced: the old manager is destroyed
    const std::vector<unsigned char> expected = counting(768);
    EXPECT_EQ(std::vector<unsigned char>(frame->palette, frame->palette + 768), expected);
    EXPECT_NE(frame->palette, pal->colors.get());
}

} // namespace
