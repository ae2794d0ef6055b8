// Sprite sheets cut into frames as texture packers lay them out, damage refused
// with its reason; sheets we write read back here, in Pillow and in Python's json.

#include "ExternalTools.h"
#include "RasterTestKit.h"
#include "SheetCodec.h"
#include "TempWorkDir.h"
#include "png/PngCodec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace rastertest;

namespace {

constexpr int T = -1; // a pixel of the frame's transparent index

struct Want {
    int width, height, tag, colours, transparent;
    std::vector<int> top; // pixels, top row first
    bool operator==(const Want&) const = default;
};

std::string rect(int x, int y, int w, int h) {
    return R"({"x":)" + std::to_string(x) + R"(,"y":)" + std::to_string(y) + R"(,"w":)" +
           std::to_string(w) + R"(,"h":)" + std::to_string(h) + "}";
}
std::string at(int x, int y, int w, int h, const std::string& more = "") {
    return R"({"frame":)" + rect(x, y, w, h) + more + "}";
}
std::string sheet(const std::string& frames, const std::string& image = "sheet.png") {
    return R"({"frames":[)" + frames + R"(],"meta":{"image":")" + image + R"("}})";
}
const std::string kTrim = R"(,"trimmed":true,"sourceSize":{"w":2,"h":2},"spriteSourceSize":)";

// sheet.png: 8 x 6, the pixel at (x, y), y from the top, is 8y + x, of 48 colours;
// full.png the same of 256; alpha.png 4 x 2 RGBA, its top left pixel see-through.
void writeSheets(const pz4test::TempWorkDir& dir) {
    Picture p = samplePicture(8, 6, 48);
    for (size_t i = 0; i < 48; ++i)
        p.pixels[(5 - i / 8) * 8 + i % 8] = static_cast<uint8_t>(i);
    dir.write("sheet.png", pz4png::encodePng(saveInputOf(p)));
    p.colorCount = 256;
    dir.write("full.png", pz4png::encodePng(saveInputOf(p)));
    Bytes rgba(4 * 2 * 4, 255);
    for (size_t i = 0; i < 8; ++i)
        rgba[4 * i + (i == 0 ? 3 : 0)] = static_cast<uint8_t>(30 * i);
    dir.write("alpha.png", pz4png::encodePngRgba(rgba.data(), 4, 2));
}

class JsonSheetRead : public ::testing::Test {
protected:
    void SetUp() override { writeSheets(dir); }
    std::unique_ptr<pz4fmt::FrameSource> open(const std::string& json, pz4fmt::Failure& why) {
        dir.write("d.json", json);
        return pz4json::openSheet((dir.path() / "d.json").c_str(),
                                  reinterpret_cast<const uint8_t*>(json.data()), json.size(), why);
    }
    pz4test::TempWorkDir dir;
};

TEST_F(JsonSheetRead, LayoutsRotatedTrimmedAndDurations) {
    const std::pair<std::string, std::vector<Want>> cases[] = {
        {sheet(R"({"filename":"a","frame":{"x":1,"y":2,"w":2.0,"h":1},"duration":45},)" +
               at(0, 5, 1, 1, R"(,"duration":44)")), // durations rounded half up
         {{2, 1, 5, 48, -1, {17, 18}}, {1, 1, 4, 48, -1, {40}}}},
        {R"({"frames":{"z":)" + at(7, 0, 1, 2) + R"(,"a":)" + at(0, 0, 1, 1, R"(,"duration":0)") +
             R"(},"meta":{"image":"sheet.png"}})", // the hash in file order; 1/10 s unsaid
         {{1, 2, 10, 48, -1, {7, 15}}, {1, 1, 0, 48, -1, {0}}}},
        {sheet(at(1, 1, 3, 2, R"(,"rotated":true)")),
         {{3, 2, 10, 48, -1, {10, 18, 26, 9, 17, 25}}}},
        {sheet(at(0, 0, 1, 1, kTrim + rect(1, 0, 1, 1))), {{2, 2, 10, 49, 48, {T, 0, T, T}}}},
        {sheet(at(1, 0, 1, 1, kTrim + rect(1, 0, 1, 1)), "full.png"),
         {{2, 2, 10, 256, 0, {T, 1, T, T}}}},
        {sheet(at(3, 0, 2, 1, R"(,"rotated":true)" + kTrim + rect(0, 1, 2, 1))),
         {{2, 2, 10, 49, 48, {T, T, 3, 11}}}},
        {sheet(at(0, 0, 1, 1, kTrim + rect(0, 0, 1, 1)), "alpha.png"), // its see-through entry
         {{2, 2, 10, 8, 0, {T, T, T, T}}}},
    };
    for (const auto& [json, frames] : cases) {
        SCOPED_TRACE(json);
        pz4fmt::Failure why;
        auto source = open(json, why);
        ASSERT_NE(source, nullptr) << why.reason();
        ASSERT_EQ(source->frameCount(), static_cast<int>(frames.size()));
        for (size_t k = 0; k < frames.size(); ++k) {
            const pz4fmt::Frame& f = *source->lock(static_cast<int>(k));
            std::vector<int> top;
            for (int y = f.height - 1; y >= 0; --y)
                for (int x = 0; x < f.width; ++x) {
                    const int p = f.pixels[static_cast<size_t>(y) * f.width + x];
                    top.push_back(p == f.transparentIndex ? T : p);
                }
            const Want seen{f.width, f.height, f.tag, f.colorCount, f.transparentIndex, top};
            EXPECT_EQ(seen, frames[k]) << "frame " << k;
            if (f.colorCount == 49) {
                EXPECT_EQ(rgb(48, f), Bytes(3, 0)) << "the added entry is black";
            }
        }
    }
}

TEST_F(JsonSheetRead, DamageIsRefusedWithItsReason) {
    std::string many, huge;
    for (int k = 0; k < 65537; ++k)
        many += k == 0 ? "{}" : ",{}";
    for (int k = 0; k < 8; ++k) // 8 x 256 MiB and the sheet: past the cap on held pixels
        huge += at(0, 0, 1, 1,
                   R"(,"trimmed":true,"sourceSize":{"w":16384,"h":16384},"spriteSourceSize":)" +
                       rect(0, 0, 1, 1)) +
                (k < 7 ? "," : "");
    const std::pair<std::string, const char*> cases[] = {
        {R"({"frames":)", "not JSON: "},
        {std::string(100, '['), "nested deeper than 64 levels"},
        {"[]", "no JSON object"},
        {R"({"frames":[)" + at(0, 0, 1, 1) + "]}", "no meta.image"},
        {sheet(at(0, 0, 1, 1), "/etc/passwd"), "absolute path"},
        {sheet(at(0, 0, 1, 1), "a/../../sheet.png"), "climbs out"},
        {sheet(at(0, 0, 1, 1), R"(sheet.png\u0000.txt)"), "NUL"},
        {sheet(at(0, 0, 1, 1), "gone.png"),
         "picture 'gone.png' named by meta.image cannot be read: cannot be opened"},
        {sheet(at(0, 0, 1, 1), "d.json"),
         "picture 'd.json' named by meta.image cannot be read: not a PNG file"},
        {R"({"meta":{"image":"sheet.png"}})", "no \"frames\" object"},
        {sheet(""), "no frames listed"},
        {sheet(many), "65537 frames, more than 65536"},
        {sheet("1"), "frame 0: is not an object"},
        {sheet(at(7, 0, 2, 1)), "frame 0: 2x1 at 7,0 reaches outside the 8x6 picture"},
        {sheet(at(7, 0, 1, 2, R"(,"rotated":true)")), "2x1 at 7,0 reaches outside"},
        {sheet(at(-1, 0, 1, 1)), "frame at -1,0 is outside the picture"},
        {sheet(at(0, 0, 0, 1)), "frame of 0x1 pixels is empty"},
        {sheet(at(0, 0, 99999, 1)), "larger than 16384 a side"},
        {sheet(R"({"filename":"a","frame":{"x":0,"y":0,"w":"1","h":1}})"),
         "frame 'a': frame.w is not a whole number"},
        {sheet(R"({"frame":{"x":0,"y":0,"w":1.5,"h":1}})"), "not a whole number"},
        {sheet(R"({"frame":{"x":0,"y":0,"w":1}})"), "frame.h is missing"},
        {sheet(huge), "frame 7: picture of 16384x16384 pixels is beyond"},
        {sheet(at(0, 0, 1, 1, R"(,"rotated":1)")), "rotated is not true or false"},
        {sheet(at(0, 0, 1, 1, R"(,"trimmed":true,"spriteSourceSize":)" + rect(0, 0, 1, 1))),
         "no sourceSize rectangle"},
        {sheet(at(0, 0, 1, 1, kTrim + rect(2, 0, 1, 1))),
         "trimmed picture at 2,0 reaches outside sourceSize 2x2"},
        {sheet(at(0, 0, 1, 1, kTrim + rect(0, 0, 2, 1))), "spriteSourceSize is 2x1, the frame 1x1"},
        {sheet(at(0, 0, 1, 1, R"(,"duration":-10)")), "duration of -10 ms is out of range"},
        {sheet(at(0, 0, 1, 1, R"(,"duration":"1")")), "duration is not a number"},
        {std::string(pz4json::kMaxDescriptorBytes + 1, ' '), "larger than 32 MiB"},
    };
    for (const auto& [json, reason] : cases) {
        pz4fmt::Failure why;
        EXPECT_EQ(open(json, why), nullptr) << reason;
        EXPECT_NE(why.reason().find(reason), std::string::npos) << why.reason();
    }
}

// Pixels top row first, four bytes each; see-through ones all zero.
Bytes rgbaOf(const pz4fmt::SaveInput& in) {
    Bytes out;
    for (int y = in.height - 1; y >= 0; --y)
        for (int x = 0; x < in.width; ++x) {
            const uint8_t p = in.pixels[static_cast<size_t>(y) * in.width + x];
            const uint8_t* c = in.palette + 3 * p;
            out.insert(out.end(), {c[0], c[1], c[2], 255});
            if (p == in.transparentIndex)
                std::fill_n(out.end() - 4, 4, 0);
        }
    return out;
}

const char* const kPillowSheet = R"(
import json
from PIL import Image
d = json.load(open('s.json'))
im = Image.open(d['meta']['image']).convert('RGBA')
said = [d['meta']['format'], list(im.size) == [d['meta']['size']['w'], d['meta']['size']['h']]]
crops = open('crops', 'wb')
for f in d['frames']:
    r = f['frame']
    said += [f['filename'], f['duration'], f['sourceSize'] == {'w': r['w'], 'h': r['h']}]
    for p in im.crop((r['x'], r['y'], r['x'] + r['w'], r['y'] + r['h'])).getdata():
        crops.write(bytes(p if p[3] else (0, 0, 0, 0)))
print(json.dumps(said))
)";

// One palette and one transparent index: a palette picture, see-through by tRNS;
// anything else an RGBA picture with each frame's see-through pixels at alpha 0.
// Either way the frames go in rows one pixel apart, the sheet about square.
TEST(JsonSheetWrite, SheetsReadBackHereInPillowAndInPythonsJson) {
    const std::string python = pz4test::pillowPython();
    const Picture a = samplePicture(5, 3, 40);
    Picture b = samplePicture(7, 2, 40), other = b;
    other.palette[3 * b.pixels[0]] ^= 0xFF;
    const struct {
        std::string format;
        const Picture& second;
        int transparentB;
    } cases[] = {{"I8", b, 7}, {"RGBA8888", other, -1}, {"RGBA8888", b, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format + std::to_string(c.transparentB));
        std::vector<pz4fmt::SaveInput> in = {saveInputOf(a), saveInputOf(c.second)};
        in[0].tag = 7;
        in[0].transparentIndex = 7;
        in[1].transparentIndex = c.transparentB;
        pz4json::EncodedSheet sheet;
        ASSERT_TRUE(pz4json::encodeSheet(in, {"a", "b"}, "s.png", sheet));
        pz4fmt::Image frames;
        pz4fmt::Failure why;
        const pz4fmt::Frame picture = decodeOne(pz4png::decodePng, sheet.picture);
        EXPECT_EQ(std::pair(picture.width, picture.height), std::pair(7, 6));
        ASSERT_TRUE(pz4json::cutSheet(reinterpret_cast<const uint8_t*>(sheet.descriptor.data()),
                                      sheet.descriptor.size(), picture, frames, why))
            << why.reason();
        ASSERT_EQ(frames.frames.size(), 2u);
        Bytes expected;
        for (size_t k = 0; k < 2; ++k) {
            const pz4fmt::Frame& f = frames.frames[k];
            const Bytes written = rgbaOf(in[k]);
            expected.insert(expected.end(), written.begin(), written.end());
            EXPECT_EQ(f.tag, k == 0 ? 7 : 10);
            // pz4's PNG reader ignores a palette picture's tRNS.
            EXPECT_EQ(rgbaOf({"", f.pixels.data(), f.palette.data(), f.width, f.height, 0, 0,
                              c.format == "I8" ? in[k].transparentIndex : f.transparentIndex}),
                      written);
        }
        if (python.empty())
            continue;
        pz4test::TempWorkDir dir;
        dir.write("s.png", sheet.picture);
        dir.write("s.json", sheet.descriptor);
        dir.write("sheet.py", kPillowSheet);
        EXPECT_EQ(pz4test::commandOutput(python + " sheet.py"),
                  "[\"" + c.format + R"(", true, "a", 70, true, "b", 100, true])" + "\n");
        EXPECT_EQ(pz4test::readFileBytes(dir.path() / "crops"), expected);
    }
    if (python.empty())
        GTEST_SKIP() << "Pillow is not installed: the sheets were read back here only";
}

// Saved again, a sheet replaces its own picture; never a PNG it does not name.
TEST(JsonSheetWrite, ReplacesItsOwnPictureOnly) {
    pz4test::TempWorkDir dir;
    const Picture p = samplePicture(3, 2, 8);
    const std::string name = (dir.path() / "walk.json").string();
    const std::vector<pz4fmt::SaveInput> in = {saveInputOf(p, name.c_str())};
    ASSERT_TRUE(pz4json::saveSheet(in));
    ASSERT_TRUE(pz4json::saveSheet(in));
    dir.write("walk.json", std::string(R"({"meta":{"image":"other.png"}})"));
    EXPECT_FALSE(pz4json::saveSheet(in));
    std::filesystem::remove(dir.path() / "walk.json");
    EXPECT_FALSE(pz4json::saveSheet(in));
    EXPECT_FALSE(dir.exists("walk.json"));
}

} // namespace
