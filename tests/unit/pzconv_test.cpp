#include "ExternalTools.h"
#include "GifRecording.h"
#include "Options.h"
#include "TempWorkDir.h"
#include "plugins/DllManager.h"
#include "plugins/SaveChain.h"
#include "plugins/SaveNames.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace fs = std::filesystem;
using namespace pzconv;

namespace {

// ---- naming, ranges, arguments -------------------------------------------------

TEST(FrameOutputName, OneFrameTakesThePathAndSeveralAddTheirNumber) {
    const struct {
        int frame, selected;
        const char* expected;
    } cases[] = {
        {12, 1, "out/walk.grp"},   // one frame: no number, whatever it is
        {3, 2, "out/walk003.grp"}, // several: three digits, zero-padded
        {12, 2, "out/walk012.grp"},    {999, 5, "out/walk999.grp"},
        {1000, 5, "out/walk1000.grp"}, // four digits kept whole ...
        {1005, 5, "out/walk1005.grp"}, // ... so 1005 does not overwrite 005
        {5, 5, "out/walk005.grp"},     {12345, 2, "out/walk12345.grp"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(frameOutputName("out/walk", c.frame, c.selected, "grp").c_str(), c.expected)
            << c.frame << " of " << c.selected;
}

TEST(FrameNumberText, ThreeDigitsAtLeast) {
    const struct {
        int frame;
        const char* expected;
    } cases[] = {{0, "000"},   {7, "007"},     {42, "042"},
                 {999, "999"}, {1000, "1000"}, {123456, "123456"}};
    for (const auto& c : cases)
        EXPECT_EQ(frameNumberText(c.frame), c.expected) << c.frame;
}

TEST(FrameRangeParsing, AcceptsRangesAndSingleFramesOnly) {
    const struct {
        const char* text;
        std::optional<std::pair<int, int>> expected;
    } cases[] = {
        {"0-7", std::pair{0, 7}},
        {"3", std::pair{3, 3}},
        {"007-010", std::pair{7, 10}},
        {"999999999", std::pair{999999999, 999999999}},
        {"5-3", std::nullopt}, // backwards
        {"-1", std::nullopt},
        {"1-", std::nullopt},
        {"", std::nullopt},
        {"1-2-3", std::nullopt},
        {"1 - 2", std::nullopt},
        {"9999999999", std::nullopt}, // does not fit an int
    };
    for (const auto& c : cases) {
        FrameRange r{-5, -5};
        const bool ok = parseFrameRange(c.text, r);
        EXPECT_EQ(ok, c.expected.has_value()) << '"' << c.text << '"';
        if (ok && c.expected) {
            EXPECT_EQ(r.first, c.expected->first) << c.text;
            EXPECT_EQ(r.last, c.expected->second) << c.text;
        }
        if (!ok) {
            EXPECT_EQ(r.first, -5) << "a refused range leaves the output alone: " << c.text;
        }
    }
}

TEST(OutputPathSplitting, TheExtensionIsAfterTheLastDotOfTheFileName) {
    const struct {
        const char* path;
        const char* stem; // null: no extension
        const char* ext;
    } cases[] = {
        {"walk.pcx", "walk", "pcx"},    {"out/walk.PCX", "out/walk", "PCX"},
        {"a.b.gif", "a.b", "gif"},      {"dir.v2/walk", nullptr, nullptr},
        {"walk.", nullptr, nullptr},    {".pcx", nullptr, nullptr},
        {"out/.pcx", nullptr, nullptr}, {"walk", nullptr, nullptr},
    };
    for (const auto& c : cases) {
        std::string stem = "?", ext = "?";
        const bool ok = splitOutputPath(c.path, stem, ext);
        EXPECT_EQ(ok, c.stem != nullptr) << c.path;
        if (ok && c.stem != nullptr) {
            EXPECT_EQ(stem, c.stem);
            EXPECT_EQ(ext, c.ext);
        }
    }
}

TEST(ArgumentParsing, CommandsAndTheirArguments) {
    Options o;
    std::string error;
    ASSERT_TRUE(
        parseArguments({"convert", "in.gif", "out.pcx", "--frames", "2-5", "--anim"}, o, error));
    EXPECT_EQ(o.command, Command::Convert);
    EXPECT_EQ(o.input, "in.gif");
    EXPECT_EQ(o.output, "out.pcx");
    ASSERT_TRUE(o.frames.has_value());
    EXPECT_EQ(o.frames->first, 2);
    EXPECT_EQ(o.frames->last, 5);
    EXPECT_TRUE(o.anim);

    ASSERT_TRUE(parseArguments({"convert", "--frames=1", "in.gif", "out.pcx"}, o, error));
    ASSERT_TRUE(o.frames.has_value());
    EXPECT_EQ(o.frames->first, 1);
    EXPECT_EQ(o.frames->last, 1);
    EXPECT_FALSE(o.anim);

    ASSERT_TRUE(parseArguments({"info", "a.gif"}, o, error));
    EXPECT_EQ(o.command, Command::Info);
    EXPECT_EQ(o.input, "a.gif");
    ASSERT_TRUE(parseArguments({"list"}, o, error));
    EXPECT_EQ(o.command, Command::List);
    for (const std::vector<std::string>& help :
         {std::vector<std::string>{"--help"}, {"help"}, {"convert", "a", "-h"}}) {
        ASSERT_TRUE(parseArguments(help, o, error));
        EXPECT_EQ(o.command, Command::Help);
    }
}

// ---- the program, end to end, through a plug-in that keeps every field ---------

struct Result {
    int code = -1;
    std::string out, err;
};

// Runs the built pzconv in the working directory; the callers' arguments need
// no shell quoting.
Result pzconv(const pz4test::TempWorkDir& dir, const std::string& args) {
    const std::string command =
        std::string("\"") + PZ4_BIN_DIR + "/pzconv\" " + args + " >pzconv.out 2>pzconv.err";
    const int status = std::system(command.c_str());
    Result r;
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = dir.read("pzconv.out");
    r.err = dir.read("pzconv.err");
    fs::remove(dir.path() / "pzconv.out");
    fs::remove(dir.path() / "pzconv.err");
    return r;
}

// A frame of the fixture's format (tests/plugins/pzconvfix.cpp); no palette when empty.
struct FixFrame {
    int32_t width = 0, height = 0, colorCount = 0, tag = 0;
    uint8_t flags = 0; // as read back: 1 palette, 2 the record had a file name
    std::vector<unsigned char> palette, pixels;
};

void put32(std::string& out, int32_t v) {
    out.append(reinterpret_cast<const char*>(&v), 4);
}

std::string fixFile(const std::vector<FixFrame>& frames) {
    std::string out = "FIX1";
    put32(out, static_cast<int32_t>(frames.size()));
    for (const FixFrame& f : frames) {
        for (int32_t v : {f.width, f.height, f.colorCount, f.tag})
            put32(out, v);
        out += static_cast<char>(f.palette.empty() ? 0 : 1);
        out.append(f.palette.begin(), f.palette.end());
        out.append(f.pixels.begin(), f.pixels.end());
    }
    return out;
}

std::vector<FixFrame> readFix(const std::string& bytes) {
    std::vector<FixFrame> frames;
    size_t at = 4;
    auto take = [&](size_t n) {
        const size_t from = std::min(at, bytes.size());
        at += n;
        return std::string_view(bytes).substr(from, n);
    };
    auto get32 = [&] {
        int32_t v = 0;
        const std::string_view b = take(4);
        std::memcpy(&v, b.data(), b.size());
        return v;
    };
    if (bytes.compare(0, 4, "FIX1") != 0)
        return frames;
    const int32_t n = get32();
    for (int32_t k = 0; k < n && at < bytes.size(); ++k) {
        FixFrame f;
        f.width = get32();
        f.height = get32();
        f.colorCount = get32();
        f.tag = get32();
        f.flags = static_cast<uint8_t>(take(1)[0]);
        if (f.flags & 1) {
            const std::string_view p = take(768);
            f.palette.assign(p.begin(), p.end());
        }
        const std::string_view px =
            take(static_cast<size_t>(f.width) * static_cast<size_t>(f.height));
        f.pixels.assign(px.begin(), px.end());
        frames.push_back(std::move(f));
    }
    return frames;
}

// Frame k: (k + 2) x 3 pixels counting up from k; odd frames have no palette.
std::vector<FixFrame> sampleFrames(int n) {
    std::vector<FixFrame> frames;
    for (int k = 0; k < n; ++k) {
        FixFrame f;
        f.width = k + 2;
        f.height = 3;
        f.colorCount = 16 + k;
        f.tag = 10 * k;
        if (k % 2 == 0)
            f.palette.assign(768, static_cast<unsigned char>(k + 1));
        for (int i = 0; i < f.width * f.height; ++i)
            f.pixels.push_back(static_cast<unsigned char>(k + i));
        frames.push_back(std::move(f));
    }
    return frames;
}

const std::vector<unsigned char> kGrey(768, 64);

class PzconvFixture : public ::testing::Test {
protected:
    void SetUp() override {
        dir.addFixture("pzconvfix");
        dir.write("in.fix", fixFile(sampleFrames(3)));
    }
    pz4test::TempWorkDir dir;
};

TEST_F(PzconvFixture, InfoDescribesEveryFrame) {
    const Result r = pzconv(dir, "info in.fix");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("(fix, Record keeper)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Frames:  3"), std::string::npos) << r.out;
    for (const char* line : {"000    2x3          own, 16 colours   0      -\n",
                             "001    3x3          none              10     -\n",
                             "002    4x3          own, 18 colours   20     -\n"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "in:\n" << r.out;
}

TEST_F(PzconvFixture, ConvertWritesOneFilePerFrameWithTheSaveNaming) {
    const Result noFolder = pzconv(dir, "convert in.fix out/walk.fix");
    EXPECT_EQ(noFolder.code, 1);
    EXPECT_NE(noFolder.err.find("failed to save"), std::string::npos) << noFolder.err;

    fs::create_directory(dir.path() / "out");
    const Result ok = pzconv(dir, "convert in.fix out/walk.fix");
    ASSERT_EQ(ok.code, 0) << ok.err;
    const auto source = sampleFrames(3);
    for (size_t k = 0; k < 3; ++k) {
        const std::string name = "out/walk00" + std::to_string(k) + ".fix";
        EXPECT_NE(ok.out.find("wrote " + name), std::string::npos) << ok.out;
        const auto saved = readFix(dir.read(name));
        ASSERT_EQ(saved.size(), 1u) << name;
        const FixFrame& f = saved[0];
        EXPECT_EQ(f.flags, 3) << "palette and file name handed over";
        EXPECT_EQ(f.pixels, source[k].pixels);
        EXPECT_EQ(f.width, source[k].width);
        EXPECT_EQ(f.tag, source[k].tag);
        if (k % 2 == 0) {
            EXPECT_EQ(f.palette, source[k].palette);
            EXPECT_EQ(f.colorCount, source[k].colorCount);
        } else {
            EXPECT_EQ(f.palette, kGrey) << "frames without a palette are saved in grey";
            EXPECT_EQ(f.colorCount, 256);
        }
    }

    // One frame goes to OUT itself; a range of several is numbered by frame.
    const Result one = pzconv(dir, "convert in.fix single.fix --frames 1-1");
    ASSERT_EQ(one.code, 0) << one.err;
    const auto single = readFix(dir.read("single.fix"));
    ASSERT_EQ(single.size(), 1u);
    EXPECT_EQ(single[0].width, 3);
    EXPECT_FALSE(dir.exists("single001.fix"));

    const Result part = pzconv(dir, "convert in.fix part.fix --frames 1-2");
    ASSERT_EQ(part.code, 0) << part.err;
    EXPECT_FALSE(dir.exists("part000.fix"));
    EXPECT_TRUE(dir.exists("part001.fix"));
    EXPECT_TRUE(dir.exists("part002.fix"));
}

TEST_F(PzconvFixture, ConvertAnimWritesOneChainNamedInItsFirstRecord) {
    const Result r = pzconv(dir, "convert in.fix anim.fix --anim");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "wrote anim.fix\n");
    const auto saved = readFix(dir.read("anim.fix"));
    const auto source = sampleFrames(3);
    ASSERT_EQ(saved.size(), 3u);
    for (size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(saved[k].flags, k == 0 ? 3 : 1) << k;
        EXPECT_EQ(saved[k].colorCount, 256) << k;
        EXPECT_EQ(saved[k].tag, source[k].tag);
        EXPECT_EQ(saved[k].pixels, source[k].pixels);
        EXPECT_EQ(saved[k].palette, k == 1 ? kGrey : source[k].palette);
    }
    EXPECT_FALSE(dir.exists("anim000.fix"));
}

TEST_F(PzconvFixture, FailuresExplainThemselvesAndWriteNothing) {
    auto refused = sampleFrames(3);
    refused[1].tag = -999; // the fixture refuses to lock this frame
    dir.write("refused.fix", fixFile(refused));
    dir.write("in.xyz", std::string("whatever"));
    dir.write("bad.fix", std::string("not a fixture file"));
    dir.write("empty.fix", fixFile({}));
    const struct {
        const char* args;
        int code;
        const char* says;
    } cases[] = {
        {"", 2, "no command"},
        {"frob", 2, "unknown command 'frob'"},
        {"info", 2, "info needs a FILE"},
        {"convert in.fix", 2, "convert needs IN and OUT"},
        {"info in.fix more.fix", 2, "unexpected argument 'more.fix'"},
        {"convert in.fix o.fix --loop", 2, "unknown option '--loop'"},
        {"convert in.fix o.fix --frames", 2, "--frames needs a range"},
        {"convert in.fix o.fix --frames 2-1", 2, "bad frame range"},
        {"convert in.fix o.fix --frames 1-3", 2, "holds frames 0-2"},
        {"convert in.fix o", 2, "no extension"},
        {"convert in.fix o.xyz", 1, "no plug-in handles the extension 'xyz'"},
        {"convert gone.fix o.fix", 1, "cannot open 'gone.fix': no such file"},
        {"info gone.fix", 1, "no such file"},
        {"info in.xyz", 1, "no plug-in reads files ending in 'xyz'"},
        {"convert in.xyz o.fix", 1, "no plug-in reads files ending in 'xyz'"},
        {"info bad.fix", 1, "(fix, Record keeper) could not read 'bad.fix'"},
        {"convert empty.fix o.fix", 1, "'empty.fix' holds no frames"},
        {"convert refused.fix o.fix", 1, "cannot lock frame 1 of 'refused.fix'"},
        {"convert refused.fix o.fix --anim", 1, "cannot lock frame 1"},
        {"info refused.fix", 1, "could not be locked"},
        {"slice in.fix o.json", 2, "slice needs --tile WxH"},
        {"slice in.fix o.json --tile", 2, "--tile needs a size"},
        {"slice in.fix --tile 0x1 o.json", 2, "bad tile size '0x1'"},
        {"slice in.fix --tile=2x2 --gap 1 o.json", 2, "bad gap '1'"},
        {"slice in.fix --tile 2x2 o.txt", 2, "does not end in .json"},
        {"slice in.fix --tile 2x2 o.json", 1, "is not a PNG picture"},
        {"slice in.fix --tile 2x2 sub/o.json", 1, "is not in the folder of 'sub/o.json'"},
        {"convert in.fix o.fix --tile 2x2", 2, "unknown option '--tile'"},
    };
    for (const auto& c : cases) {
        const Result r = pzconv(dir, c.args);
        EXPECT_EQ(r.code, c.code) << c.args << "\n" << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.args << ":\n" << r.err;
        EXPECT_EQ(r.err.rfind("pzconv: ", 0), 0u) << c.args;
    }
    for (const auto& entry : fs::directory_iterator(dir.path()))
        EXPECT_NE(entry.path().filename().string().rfind("o", 0), 0u)
            << "written after a failure: " << entry.path();
}

TEST_F(PzconvFixture, HelpAndAnEmptyDirectory) {
    const Result help = pzconv(dir, "--help");
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("pzconv convert IN OUT [--frames A-B] [--anim]"), std::string::npos);
    EXPECT_TRUE(help.err.empty());

    fs::remove(dir.path() / pz4test::libraryFileName("pzconvfix"));
    const Result list = pzconv(dir, "list");
    EXPECT_EQ(list.code, 1);
    EXPECT_NE(list.err.find("no plug-ins"), std::string::npos) << list.err;
}

// ---- the program with the real format plug-ins ---------------------------------

using Colours = std::vector<std::array<unsigned char, 3>>;

Colours coloursOf(const std::vector<unsigned char>& pixels, const std::vector<unsigned char>& pal) {
    Colours out;
    for (unsigned char p : pixels)
        out.push_back({pal[p * 3u], pal[p * 3u + 1], pal[p * 3u + 2]});
    return out;
}

// What the program sees of every frame of `path`: size, tag, palette presence and colours.
struct Seen {
    int width, height, tag;
    bool ownPalette;
    Colours colours;
};
std::vector<Seen> look(const std::string& path) {
    cDllManager plugins;
    std::vector<Seen> frames;
    if (!plugins.OpenObject(path.c_str()))
        return frames;
    for (int i = 0; i < plugins.FrameCount(); ++i) {
        const std::optional<LockedFrame> f = plugins.LockFrame(i);
        if (!f)
            break;
        const std::vector<unsigned char> px(f->pixels,
                                            f->pixels + static_cast<size_t>(f->width) * f->height);
        const unsigned char* palette = f->palette;
        frames.push_back(
            {f->width, f->height, f->tag, palette != nullptr,
             coloursOf(px, palette != nullptr ? std::vector<unsigned char>(palette, palette + 768)
                                              : kGrey)});
    }
    return frames;
}

// Four 16 x 12 frames of colour gradients; frame 2 brings no palette.
std::vector<FixFrame> gradientFrames() {
    std::vector<FixFrame> frames;
    for (int k = 0; k < 4; ++k) {
        FixFrame f;
        f.width = 16;
        f.height = 12;
        f.colorCount = 256;
        f.tag = 5 + k;
        for (int y = 0; y < f.height; ++y)
            for (int x = 0; x < f.width; ++x)
                f.pixels.push_back(static_cast<unsigned char>((x + 3 * y + 7 * k) % 40));
        if (k != 2)
            for (int i = 0; i < 256; ++i)
                for (int c : {i * 5, 255 - i * 3, 40 * k})
                    f.palette.push_back(static_cast<unsigned char>(c & 0xFF));
        frames.push_back(std::move(f));
    }
    return frames;
}

class PzconvFormats : public ::testing::Test {
protected:
    void SetUp() override {
        dir.addAllFormats();
        dir.addFixture("pzconvfix");
        for (const FixFrame& f : gradientFrames())
            expected.push_back(coloursOf(f.pixels, f.palette.empty() ? kGrey : f.palette));
        dir.write("gradient.fix", fixFile(gradientFrames()));
        const Result made = pzconv(dir, "convert gradient.fix walk.gif --anim");
        ASSERT_EQ(made.code, 0) << made.err;
    }
    pz4test::TempWorkDir dir;
    std::vector<Colours> expected;
};

TEST_F(PzconvFormats, ListShowsEveryPluginAsTheManagerSeesIt) {
    dir.write(pz4test::libraryFileName("pzjunk"), std::string("not a library"));
    const Result r = pzconv(dir, "list");
    ASSERT_EQ(r.code, 0) << r.err;
    cDllManager plugins;
    for (int i = 0; i < plugins.count; ++i) {
        const size_t at = r.out.find(plugins.PluginFileName(i));
        if (plugins.PluginExtension(i) == nullptr) {
            EXPECT_NE(r.out.find("cannot be loaded", at), std::string::npos) << r.out;
            continue;
        }
        ASSERT_NE(at, std::string::npos) << plugins.PluginFileName(i);
        const std::string row = r.out.substr(at, r.out.find('\n', at) - at);
        // The texts in column order, and between version and description the three flags.
        size_t pos = 0;
        for (const char* text :
             {plugins.PluginExtension(i), plugins.PluginAuthor(i), plugins.PluginVersion(i)}) {
            pos = row.find(text, pos);
            ASSERT_NE(pos, std::string::npos) << text << " in " << row;
            pos += std::strlen(text);
        }
        const size_t description = row.find(plugins.PluginDescription(i), pos);
        ASSERT_NE(description, std::string::npos) << row;
        std::istringstream flags(row.substr(pos, description - pos));
        std::string read, frames, anims;
        flags >> read >> frames >> anims;
        EXPECT_EQ(read, "yes") << row;
        EXPECT_EQ(frames, plugins.PluginSavesFrames(i) ? "yes" : "no") << row;
        EXPECT_EQ(anims, plugins.PluginSavesAnims(i) ? "yes" : "no") << row;
        EXPECT_TRUE(row.ends_with(std::string("  ") + plugins.PluginFolder(i))) << row;
    }
    EXPECT_EQ(plugins.count, 12); // ten formats, the fixture and the junk
}

TEST_F(PzconvFormats, GifToPcxFramesAndPcxBackToAnAnimatedGif) {
    const Result info = pzconv(dir, "info walk.gif");
    ASSERT_EQ(info.code, 0) << info.err;
    EXPECT_NE(info.out.find("Frames:  4"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("003    16x12        own, "), std::string::npos) << info.out;
    const auto gif = look("walk.gif");
    ASSERT_EQ(gif.size(), 4u);
    for (size_t k = 0; k < 4; ++k) {
        EXPECT_EQ(gif[k].colours, expected[k]) << k;
        EXPECT_EQ(gif[k].tag, static_cast<int>(5 + k));
    }

    const Result frames = pzconv(dir, "convert walk.gif walk.pcx");
    ASSERT_EQ(frames.code, 0) << frames.err;
    for (size_t k = 0; k < 4; ++k) {
        const auto pcx = look("walk00" + std::to_string(k) + ".pcx");
        ASSERT_EQ(pcx.size(), 1u) << k;
        EXPECT_EQ(pcx[0].width, 16);
        EXPECT_EQ(pcx[0].height, 12);
        EXPECT_EQ(pcx[0].colours, expected[k]) << k;
    }

    const Result back = pzconv(dir, "convert walk001.pcx back.gif --anim");
    ASSERT_EQ(back.code, 0) << back.err;
    const auto again = look("back.gif");
    ASSERT_EQ(again.size(), 1u);
    EXPECT_TRUE(again[0].ownPalette);
    EXPECT_EQ(again[0].colours, expected[1]);

    const Result part = pzconv(dir, "convert walk.gif part.png --frames 2-3");
    ASSERT_EQ(part.code, 0) << part.err;
    const auto png = look("part002.png");
    ASSERT_EQ(png.size(), 1u);
    EXPECT_EQ(png[0].colours, expected[2]) << "saved in the default grey";
    EXPECT_FALSE(dir.exists("part001.png"));
}

// The decoder's reason follows the file name; a plug-in that gives none (the
// fixture) leaves the line as it was.
TEST_F(PzconvFormats, ARefusedFileIsFollowedByTheDecodersReason) {
    dir.write("bad.pcx", std::string(200, 'x'));
    dir.write("bad.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16));
    dir.write("bad.fix", std::string("not a fixture file"));
    dir.write("bad.gif", std::string(200, 'x'));
    dir.write("cut.gif", std::string("GIF89a\x02\x00", 8));
    dir.write("bad.flc", std::string(200, 'x'));
    const struct {
        const char* args;
        const char* says;
    } cases[] = {
        {"info bad.pcx", "could not read 'bad.pcx': not a PCX file (first byte 120, not 10)\n"},
        {"convert bad.pcx o.bmp",
         "could not read 'bad.pcx': not a PCX file (first byte 120, not 10)\n"},
        {"info bad.png", "could not read 'bad.png': file cut short\n"},
        {"info bad.gif", "could not read 'bad.gif': not a GIF file\n"},
        {"info cut.gif", "could not read 'cut.gif': file ends inside the screen descriptor\n"},
        {"info bad.flc", "could not read 'bad.flc': not a FLI or FLC file\n"},
        {"info bad.fix", "could not read 'bad.fix'\n"},
    };
    for (const auto& c : cases) {
        const Result r = pzconv(dir, c.args);
        EXPECT_EQ(r.code, 1) << c.args;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.args << ":\n" << r.err;
    }
    EXPECT_FALSE(dir.exists("o.bmp"));
}

TEST_F(PzconvFormats, AFormatThatCannotSaveAnimationsIsNamed) {
    const Result r = pzconv(dir, "convert walk.gif anim.pcx --anim");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("cannot save animations"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("pcx"), std::string::npos) << r.err;
    EXPECT_FALSE(dir.exists("anim.pcx"));
}

TEST_F(PzconvFormats, GifToAnFlcAnimationAndBackKeepsColoursAndTags) {
    const Result toFlc = pzconv(dir, "convert walk.gif walk.flc --anim");
    ASSERT_EQ(toFlc.code, 0) << toFlc.err;
    const Result info = pzconv(dir, "info walk.flc");
    ASSERT_EQ(info.code, 0) << info.err;
    EXPECT_NE(info.out.find("FLC Animation"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("Frames:  4"), std::string::npos) << info.out;
    const Result back = pzconv(dir, "convert walk.flc back.gif --anim");
    ASSERT_EQ(back.code, 0) << back.err;
    for (const char* name : {"walk.flc", "back.gif"}) {
        const auto seen = look(name);
        ASSERT_EQ(seen.size(), 4u) << name;
        for (size_t k = 0; k < 4; ++k) {
            EXPECT_EQ(seen[k].colours, expected[k]) << name << " " << k;
            EXPECT_EQ(seen[k].tag, static_cast<int>(5 + k)) << name << " " << k;
        }
    }
    // The FLI plug-in reads the same file under its own extension and writes nothing.
    fs::copy_file(dir.path() / "walk.flc", dir.path() / "walk.fli");
    EXPECT_EQ(look("walk.fli").size(), 4u);
    const Result toFli = pzconv(dir, "convert walk.gif anim.fli --anim");
    EXPECT_EQ(toFli.code, 1);
    EXPECT_NE(toFli.err.find("cannot save animations"), std::string::npos) << toFli.err;
}

// A GIF becomes a sprite sheet and back with its colours and tags, through SaveAnim
// and SaveObject alike (one sheet either way, never over a PNG that is not its own
// picture); a plain picture sliced into a grid opens as its tiles.
TEST_F(PzconvFormats, SpriteSheetsBothWaysAndSlicing) {
    const Result anim = pzconv(dir, "convert walk.gif sheet.json --anim");
    ASSERT_EQ(anim.code, 0) << anim.err;
    const Result frames = pzconv(dir, "convert walk.gif frames.json");
    ASSERT_EQ(frames.code, 0) << frames.err;
    EXPECT_EQ(frames.out, "wrote frames000.json\n");
    const Result back = pzconv(dir, "convert sheet.json back.gif --anim");
    ASSERT_EQ(back.code, 0) << back.err;
    for (const char* name : {"sheet.json", "frames000.json", "back.gif"}) {
        const auto seen = look(name);
        ASSERT_EQ(seen.size(), 4u) << name;
        for (size_t k = 0; k < 4; ++k) {
            EXPECT_EQ(seen[k].colours, expected[k]) << name << " " << k;
            EXPECT_EQ(seen[k].tag, static_cast<int>(5 + k)) << name << " " << k;
        }
    }
    ASSERT_EQ(pzconv(dir, "convert walk.gif walk.png --frames 0").code, 0);
    EXPECT_NE(pzconv(dir, "convert walk.gif walk.json --anim").err.find("'walk.png' is not the"),
              std::string::npos);

    // walk.png is 16 x 12: 3 x 3 tiles of 4 x 3 from 2,1 a pixel apart, 7 of them taken.
    const Result sliced =
        pzconv(dir, "slice walk.png --tile 4x3 --offset 2,1 --gap 1,1 --count 7 grid.json");
    ASSERT_EQ(sliced.code, 0) << sliced.err;
    const auto tiles = look("grid.json");
    ASSERT_EQ(tiles.size(), 7u);
    for (size_t k = 0; k < 7; ++k) {
        const size_t left = 2 + 5 * (k % 3), top = 1 + 4 * (k / 3);
        Colours crop; // rows bottom-up, as frames hold them
        for (size_t row = 0; row < 3; ++row)
            for (size_t x = 0; x < 4; ++x)
                crop.push_back(expected[0][(11 - (top + 2 - row)) * 16 + left + x]);
        EXPECT_EQ(tiles[k].colours, crop) << k;
        EXPECT_EQ(tiles[k].tag, 10);
    }
    const Result many = pzconv(dir, "slice walk.png --tile 4x3 --offset 2,1 --count 10 more.json");
    EXPECT_NE(many.err.find("9 whole 4x3 tiles fit in the 16x12 picture"), std::string::npos);
}

// A file of many frames is listed and converted whole: every frame is locked once
// and held until the file closes.
// Truecolour files reach the palette formats and back: an RGBA sprite becomes a GIF
// with its colours, a JPEG opens, an animation is written as WebP. Opening the .webp
// and .jpeg files again needs the whole extension matched, which the program's rule
// (the last three characters) does not do yet: that part is skipped until it does.
TEST_F(PzconvFormats, TruecolourFilesConvertBothWays) {
    const std::string python = pz4test::pillowPython();
    if (python.empty())
        GTEST_SKIP() << "Pillow is not installed";
    ASSERT_TRUE(pz4test::succeeds(
        python + " -c \"from PIL import Image; im = Image.new('RGBA', (6, 4), (10, 200, 30, 255)); "
                 "im.putpixel((2, 1), (250, 0, 0, 255)); im.putpixel((0, 0), (0, 0, 0, 0)); "
                 "im.save('sprite.png'); im.convert('L').save('sprite.jpg'); "
                 "im.convert('L').save('sprite.jpeg')\""));
    const Result gif = pzconv(dir, "convert sprite.png sprite.gif");
    ASSERT_EQ(gif.code, 0) << gif.err;
    const auto png = look("sprite.png"), back = look("sprite.gif");
    ASSERT_EQ(png.size(), 1u);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].colours, png[0].colours);
    EXPECT_EQ(png[0].colours[2 * 6 + 2], (std::array<unsigned char, 3>{250, 0, 0}))
        << "rows run bottom-up";
    EXPECT_EQ(look("sprite.jpg").size(), 1u);

    const Result webp = pzconv(dir, "convert walk.gif walk.webp --anim");
    ASSERT_EQ(webp.code, 0) << webp.err;
    ASSERT_TRUE(dir.exists("walk.webp"));
    if (openingExtension("walk.webp") != "webp")
        GTEST_SKIP() << "files are opened by the last three characters of their names";
    const auto frames = look("walk.webp");
    ASSERT_EQ(frames.size(), 4u);
    for (size_t k = 0; k < 4; ++k) {
        EXPECT_EQ(frames[k].colours, expected[k]) << k;
        EXPECT_EQ(frames[k].tag, static_cast<int>(5 + k));
    }
    EXPECT_EQ(look("sprite.jpeg").size(), 1u);
}

TEST_F(PzconvFormats, EveryFrameOfALongAnimationIsListedAndConverted) {
    dir.write("long.gif", giftest::screenRecording(900, 64, 48));
    const Result info = pzconv(dir, "info long.gif");
    ASSERT_EQ(info.code, 0) << info.err;
    EXPECT_NE(info.out.find("Frames:  900"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("\n899    64x48"), std::string::npos);

    const Result anim = pzconv(dir, "convert long.gif copy.gif --anim");
    ASSERT_EQ(anim.code, 0) << anim.err;
    cDllManager plugins;
    ASSERT_TRUE(plugins.OpenObject("copy.gif"));
    EXPECT_EQ(plugins.FrameCount(), 900);
    plugins.CloseObject();
}

} // namespace
