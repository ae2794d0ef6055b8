#include "palette/TRNManager.h"

#include <TempWorkDir.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace {

TEST(TRNManager, IdentityByDefault) {
    const cTRNManager trn;
    EXPECT_STREQ(trn.GetName(), "Default (1 to 1 translation)");
    for (int p = 0; p < 256; ++p)
        ASSERT_EQ(trn.Translate(p), p);
}

TEST(TRNManager, TranslateAndSetWrapAt256) {
    cTRNManager trn;
    trn.SetTranslation(0, 17);
    trn.SetTranslation(255 + 256, 300); // index 255, value 300 & 0xFF
    struct {
        int32_t pixel;
        int expected;
    } const cases[] = {{0, 17}, {256, 17}, {255, 44}, {511, 44}, {1, 1}, {-1, 44}};
    for (const auto& c : cases)
        EXPECT_EQ(trn.Translate(c.pixel), c.expected) << c.pixel;
}

// Paths that name no regular file.
constexpr long kMissing = -1, kFolder = -2, kPipe = -3;

struct LoadCase {
    const char* label;
    long fileSize; // or one of the kinds above
    size_t entriesTaken;
    bool named;
};

void PrintTo(const LoadCase& c, std::ostream* os) {
    *os << c.label;
}

class TrnLoad : public testing::TestWithParam<LoadCase> {};

// Entries the file covers come from it (reversed values, so not the identity);
// the rest keep the identity.
TEST_P(TrnLoad, FileEntriesThenIdentity) {
    const LoadCase& c = GetParam();
    pz4test::TempWorkDir dir;
    std::vector<unsigned char> file(c.fileSize < 0 ? 0 : size_t(c.fileSize));
    for (size_t i = 0; i < file.size(); ++i)
        file[i] = static_cast<unsigned char>(255 - (i & 0xFF));
    const std::string path = (dir.path() / "a.trn").string();
    if (c.fileSize >= 0) {
        dir.write("a.trn", file);
    } else if (c.fileSize == kFolder) {
        std::filesystem::create_directory(path);
    } else if (c.fileSize == kPipe) {
        ASSERT_EQ(mkfifo(path.c_str(), 0600), 0); // opening it would wait for a writer
    }

    const cTRNManager trn(path.c_str());
    if (c.named)
        EXPECT_STREQ(trn.GetName(), path.c_str());
    else
        EXPECT_EQ(trn.GetName(), nullptr);
    for (int p = 0; p < 256; ++p) {
        const int expected = size_t(p) < c.entriesTaken ? file[size_t(p)] : p;
        ASSERT_EQ(trn.Translate(p), expected) << p;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, TrnLoad,
    testing::Values(LoadCase{"missing", kMissing, 0, false}, LoadCase{"folder", kFolder, 0, false},
                    LoadCase{"pipe", kPipe, 0, false}, LoadCase{"empty", 0, 0, true},
                    LoadCase{"sixteen", 16, 16, true}, LoadCase{"full", 256, 256, true},
                    LoadCase{"long", 300, 256, true}),
    [](const auto& info) { return std::string(info.param.label); });

} // namespace
