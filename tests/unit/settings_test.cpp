#include "context/IniManager.h"

#include <TempWorkDir.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace {

constexpr int32_t kUntouched = -777;

struct ReadCase {
    const char* label;
    std::string file; // empty: no settings file
    const char* key;
    bool found;
    int32_t number;        // GetUInt's result when found
    std::string text = {}; // GetString's result when found and given
};

void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.label;
}

const ReadCase kReads[] = {
    {"CrLf", "LiX=00120\r\n", "LiX", true, 120},
    {"BareLineFeed", "LiX=120\n", "LiX", true, 120, "120"},
    {"LastLineWithoutLineFeed", "MaX=1\r\nLiX=120", "LiX", true, 120, "120"},
    {"NegativeReadsAsZero", "AnX=-00020\r\n", "AnX", true, 0, "-00020"},
    {"SlashSecondIsComment", " /LiX=5\r\n", "LiX", false, 0},
    {"KeyInsideValue", "DefaultPalette=C:\\PaX\\a.pal\r\nPaX=00300\r\n", "PaX", true, 300},
    {"PathWithLineFeed", "DefaultPalette=/home/u/a.pal\n", "DefaultPalette", true, 0,
     "/home/u/a.pal"},
    {"LongerKeyIsAnotherKey", "LiXY=5\r\nLiX=6\r\n", "LiX", true, 6},
    {"BlanksAroundKey", " LiX = 7 \r\n", "LiX", true, 7, " 7 "},
    {"FirstLineWins", "LiX=1\r\nLiX=2\r\n", "LiX", true, 1},
    {"FirstLineWinsEvenEmpty", "LiX=\r\nLiX=3\r\n", "LiX", false, 0},
    {"LineWithoutEqualsIsNoSetting", "LiX\r\nLiX=3\r\n", "LiX", true, 3},
    {"ValueEndsAtNextEquals", "LiX=5=6\r\n", "LiX", true, 5, "5"},
    {"MissingFile", "", "LiX", false, 0},
    // Past the old line buffer's end is still the same line, never a setting.
    {"LongCommentHidesNothing", "//" + std::string(1100, 'x') + "LiX=9\r\nLiX=4\r\n", "LiX", true,
     4},
    {"LongValue", "DefaultPalette=" + std::string(2000, 'p') + "\n", "DefaultPalette", true, 0,
     std::string(2000, 'p')},
};

class SettingsRead : public testing::TestWithParam<ReadCase> {};

TEST_P(SettingsRead, Values) {
    const ReadCase& c = GetParam();
    pz4test::TempWorkDir dir;
    if (!c.file.empty())
        dir.write("pz.ini", c.file);
    const cIniManager ini("pz.ini");
    int32_t number = kUntouched;
    EXPECT_EQ(ini.GetUInt(c.key, number), c.found);
    EXPECT_EQ(number, c.found ? c.number : kUntouched);
    int32_t signedNumber = kUntouched;
    EXPECT_EQ(ini.GetInt(c.key, signedNumber), c.found);
    EXPECT_EQ(signedNumber, number);
    JqString text("old");
    EXPECT_EQ(ini.GetString(c.key, text), c.found);
    if (!c.found) {
        EXPECT_STREQ(text.c_str(), "old");
    } else if (!c.text.empty()) {
        EXPECT_EQ(text.str(), c.text);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, SettingsRead, testing::ValuesIn(kReads),
                         [](const auto& info) { return std::string(info.param.label); });

struct WriteCase {
    const char* label;
    std::string before; // empty: no settings file
    std::function<bool(cIniManager&)> change;
    bool written;
    std::string after;
};

void PrintTo(const WriteCase& c, std::ostream* os) {
    *os << c.label;
}

const std::string kLong = "Note=" + std::string(3000, 'n') + "\r\n";

const WriteCase kWrites[] = {
    {"KeepsCommentsAndUnknownKeys", "// mine\r\nFoo=bar\r\nLiX=00001\r\nZed=1\r\n",
     [](cIniManager& i) { return i.SetUInt("LiX", 120); }, true,
     "// mine\r\nFoo=bar\r\nLiX=00120\r\nZed=1\r\n"},
    {"KeepsUnterminatedLastLine", "LiX=1\nlast words",
     [](cIniManager& i) { return i.SetUInt("AnX", 5); }, true, "LiX=1\nlast words\nAnX=00005\r\n"},
    {"RewritesUnterminatedKeyLine", "Foo=1\r\nLiX=1",
     [](cIniManager& i) { return i.SetUInt("LiX", 2); }, true, "Foo=1\r\nLiX=00002\r\n"},
    {"EveryMatchingLine", "LiX=1\r\nLiX=2\r\n", [](cIniManager& i) { return i.SetUInt("LiX", 3); },
     true, "LiX=00003\r\nLiX=00003\r\n"},
    {"PathNamingAKeyKeepsItsValue", "DefaultPalette=C:\\PaX\\a.pal\r\nPaX=00001\r\n",
     [](cIniManager& i) { return i.SetUInt("PaX", 300); }, true,
     "DefaultPalette=C:\\PaX\\a.pal\r\nPaX=00300\r\n"},
    {"KeepsTextBeforeEquals", " LiX = 1\r\n", [](cIniManager& i) { return i.SetUInt("LiX", 9); },
     true, " LiX =00009\r\n"},
    {"LongLineCopiedWhole", kLong, [](cIniManager& i) { return i.SetUInt("LiX", 1); }, true,
     kLong + "LiX=00001\r\n"},
    {"LongKeyLineRewritten", "DefaultPalette=" + std::string(2000, 'q') + "\r\n",
     [](cIniManager& i) { return i.SetString("DefaultPalette", "b.pal"); }, true,
     "DefaultPalette=b.pal\r\n"},
    {"LineWithoutEqualsCopied", "LiX\r\n", [](cIniManager& i) { return i.SetUInt("LiX", 1); }, true,
     "LiX\r\nLiX=00001\r\n"},
    {"TenDigits", "", [](cIniManager& i) { return i.SetInt("AnX", -5) && i.SetInt("AnY", 5); },
     true, "AnX=-0000000005\r\nAnY=0000000005\r\n"},
    {"TildeStaysInText", "",
     [](cIniManager& i) { return i.SetString("DefaultPalette", "C:\\PROGRA~1\\a.pal"); }, true,
     "DefaultPalette=C:\\PROGRA~1\\a.pal\r\n"},
    {"LineFeedInTextRefused", "LiX=1\r\n",
     [](cIniManager& i) { return i.SetString("Foo", "a\nLiX=9"); }, false, "LiX=1\r\n"},
    {"KeysThatCannotBeFoundRefused", "LiX=1\r\n",
     [](cIniManager& i) {
         return i.SetUInt("", 1) || i.SetUInt("a=b", 1) || i.SetUInt("//x", 1) ||
                i.SetUInt(" LiX", 1) || i.SetUInt(nullptr, 1);
     },
     false, "LiX=1\r\n"},
};

class SettingsWrite : public testing::TestWithParam<WriteCase> {};

TEST_P(SettingsWrite, FileAfterRewrite) {
    const WriteCase& c = GetParam();
    pz4test::TempWorkDir dir;
    if (!c.before.empty())
        dir.write("pz.ini", c.before);
    cIniManager ini("pz.ini");
    EXPECT_EQ(c.change(ini), c.written);
    EXPECT_EQ(dir.read("pz.ini"), c.after);
    EXPECT_FALSE(dir.exists("pztemp.ini"));
}

INSTANTIATE_TEST_SUITE_P(Files, SettingsWrite, testing::ValuesIn(kWrites),
                         [](const auto& info) { return std::string(info.param.label); });

// Fails one step of the rewrite; the others run for real.
class FailingOps : public cIniManager::FileOps {
public:
    enum class Step { None, Read, Create, Write, Flush, Close, Replace };
    explicit FailingOps(Step fail) : fail_(fail) {}

    ReadResult ReadAll(const char* name, std::string& content) override {
        return fail_ == Step::Read ? ReadResult::Failed : FileOps::ReadAll(name, content);
    }
    std::FILE* Create(const char* name) override {
        std::FILE* file = FileOps::Create(name);
        if (fail_ != Step::Create)
            return file;
        // As if the file appeared but could not be opened for writing.
        std::fclose(file);
        return nullptr;
    }
    bool Write(std::FILE* file, const char* data, size_t size) override {
        if (fail_ != Step::Write)
            return FileOps::Write(file, data, size);
        FileOps::Write(file, data, size / 2); // a partial file, as a full disk leaves it
        return false;
    }
    bool Flush(std::FILE* file) override { return fail_ != Step::Flush && FileOps::Flush(file); }
    bool Close(std::FILE* file) override { return FileOps::Close(file) && fail_ != Step::Close; }
    bool Replace(const char* from, const char* to) override {
        // Up to the rename the settings file is untouched and the temporary file complete.
        settingsAtReplace = readOrMissing(to);
        tempAtReplace = readOrMissing(from);
        return fail_ != Step::Replace && FileOps::Replace(from, to);
    }

    std::string settingsAtReplace = "(no rename)";
    std::string tempAtReplace = "(no rename)";

private:
    static std::string readOrMissing(const char* name) {
        std::string content;
        FileOps ops;
        return ops.ReadAll(name, content) == ReadResult::Ok ? content : "(missing)";
    }
    Step fail_;
};

struct FaultCase {
    const char* label;
    FailingOps::Step fail;
    bool hadFile;
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.label;
}

class SettingsFault : public testing::TestWithParam<FaultCase> {};

TEST_P(SettingsFault, FileIsOldOrNewNeverPartial) {
    const FaultCase& c = GetParam();
    pz4test::TempWorkDir dir;
    const std::string before = "// keep\r\nLiX=00001\r\nFoo=bar\n";
    const std::string after = "// keep\r\nLiX=00002\r\nFoo=bar\n";
    if (c.hadFile)
        dir.write("pz.ini", before);
    auto ops = std::make_unique<FailingOps>(c.fail);
    FailingOps* probe = ops.get();
    cIniManager ini("pz.ini", std::move(ops));

    const bool ok = ini.SetUInt("LiX", 2);
    EXPECT_EQ(ok, c.fail == FailingOps::Step::None);
    EXPECT_FALSE(dir.exists("pztemp.ini"));
    if (ok) {
        EXPECT_EQ(dir.read("pz.ini"), c.hadFile ? after : "LiX=00002\r\n");
    } else if (c.hadFile) {
        EXPECT_EQ(dir.read("pz.ini"), before);
    } else {
        EXPECT_FALSE(dir.exists("pz.ini"));
    }
    if (probe->settingsAtReplace != "(no rename)") {
        EXPECT_EQ(probe->settingsAtReplace, c.hadFile ? before : "(missing)");
        EXPECT_EQ(probe->tempAtReplace, c.hadFile ? after : "LiX=00002\r\n");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Steps, SettingsFault,
    testing::Values(FaultCase{"NoFault", FailingOps::Step::None, true},
                    FaultCase{"NoFaultNoFile", FailingOps::Step::None, false},
                    FaultCase{"ReadFails", FailingOps::Step::Read, true},
                    FaultCase{"CreateFails", FailingOps::Step::Create, true},
                    FaultCase{"CreateFailsNoFile", FailingOps::Step::Create, false},
                    FaultCase{"WriteFails", FailingOps::Step::Write, true},
                    FaultCase{"FlushFails", FailingOps::Step::Flush, true},
                    FaultCase{"CloseFails", FailingOps::Step::Close, true},
                    FaultCase{"RenameFails", FailingOps::Step::Replace, true},
                    FaultCase{"RenameFailsNoFile", FailingOps::Step::Replace, false}),
    [](const auto& info) { return std::string(info.param.label); });

} // namespace

namespace {

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    size_t from = 0;
    while (from < text.size()) {
        const size_t end = text.find('\n', from);
        lines.push_back(text.substr(from, end == std::string::npos ? end : end - from));
        from = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

// After a rewrite of LiX the key reads back as written, and every line is the
// old one or the old one's text up to its "=" followed by the new value.
void expectRewriteKeepsTheRest(const std::string& before) {
    pz4test::TempWorkDir dir;
    dir.write("pz.ini", before);
    cIniManager ini("pz.ini");
    for (const char* key : {"LiX", "PaX", "DefaultPalette", "Foo"}) {
        int32_t n = 0;
        JqString s;
        ini.GetUInt(key, n);
        ini.GetString(key, s);
    }
    ASSERT_TRUE(ini.SetUInt("LiX", 7));
    int32_t back = 0;
    ASSERT_TRUE(ini.GetUInt("LiX", back));
    EXPECT_EQ(back, 7);

    const auto old = linesOf(before);
    const auto now = linesOf(dir.read("pz.ini"));
    ASSERT_GE(now.size(), old.size());
    ASSERT_LE(now.size(), old.size() + 1);
    for (size_t i = 0; i < old.size(); ++i) {
        if (now[i] == old[i])
            continue;
        const size_t eq = old[i].find('=');
        ASSERT_NE(eq, std::string::npos) << i;
        EXPECT_EQ(now[i], old[i].substr(0, eq + 1) + "00007\r") << i;
    }
    if (now.size() > old.size()) {
        EXPECT_EQ(now.back(), "LiX=00007\r");
    }
}

TEST(Settings, TruncatedAndDamagedFiles) {
    const std::string sample = "// pz\r\nDefaultPalette=C:\\PaX\\a.pal\r\nLiX=00120\r\n"
                               "AnX=-00020\r\nPaX=7\n LiX = 3\nFoo==bar";
    for (size_t cut = 0; cut <= sample.size(); ++cut)
        expectRewriteKeepsTheRest(sample.substr(0, cut));
    for (size_t at = 0; at < sample.size(); ++at) {
        for (char byte : {'\0', '\n', '\r', '/', '=', ' '}) {
            std::string damaged = sample;
            damaged[at] = byte;
            expectRewriteKeepsTheRest(damaged);
        }
    }
}

} // namespace
