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
    int width, height, tag;
    std::vector<int> top; // pixels, top row first
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
const std::string kTrim2x2 = R"(,"trimmed":true,"sourceSize":{"w":2,"h":2},"spriteSourceSize":)";

// sheet.png: 8 x 6, the pixel at (x, y), y from the top, is 8y + x, of 48 colours;
// full.png the same of 256; alpha.png 4 x 2 RGBA, its top left pixel see-through.
void writeSheets(const pz4test::TempWorkDir& dir) {
    Picture p = samplePicture(8, 6, 48);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x)
            p.pixels[static_cast<size_t>(5 - y) * 8 + x] = static_cast<uint8_t>(8 * y + x);
    dir.write("sheet.png", pz4png::encodePng(saveInputOf(p)));
    p.colorCount = 256;
    dir.write("full.png", pz4png::encodePng(saveInputOf(p)));
    Bytes rgba(4 * 2 * 4, 255);
    for (size_t i = 0; i < 8; ++i)
        rgba[4 * i] = static_cast<uint8_t>(30 * i);
    rgba[3] = 0;
    dir.write("alpha.png", pz4png::encodePngRgba(rgba.data(), 4, 2));
}

TEST(JsonSheetRead, LayoutsAndDamage) {
    pz4test::TempWorkDir dir;
    writeSheets(dir);
    std::string many, huge;
    for (int k = 0; k < 65537; ++k)
        many += k == 0 ? "{}" : ",{}";
    for (int k = 0; k < 8; ++k) // 8 x 256 MiB and the sheet: past the cap on held pixels
        huge += (k == 0 ? "" : ",") +
                at(0, 0, 1, 1,
                   R"(,"trimmed":true,"sourceSize":{"w":16384,"h":16384},"spriteSourceSize":)" +
                       rect(0, 0, 1, 1));
    const struct {
        const char* what;
        std::string json;
        std::vector<Want> frames;
        int colours, transparent;
        const char* reason;
    } cases[] = {
        {"array, durations rounded half up",
         sheet(R"({"filename":"a","frame":{"x":1,"y":2,"w":2.0,"h":1},"duration":45},)" +
               at(0, 5, 1, 1, R"(,"duration":44)")),
         {{2, 1, 5, {17, 18}}, {1, 1, 4, {40}}},
         48,
         -1,
         nullptr},
        {"hash in file order, no duration is 1/10 s",
         R"({"frames":{"z":)" + at(7, 0, 1, 2) + R"(,"a":)" + at(0, 0, 1, 1, R"(,"duration":0)") +
             R"(},"meta":{"image":"sheet.png"}})",
         {{1, 2, 10, {7, 15}}, {1, 1, 0, {0}}},
         48,
         -1,
         nullptr},
        {"rotated: stored turned clockwise",
         sheet(at(1, 1, 3, 2, R"(,"rotated":true)")),
         {{3, 2, 10, {10, 18, 26, 9, 17, 25}}},
         48,
         -1,
         nullptr},
        {"trimmed: margin in an added black entry",
         sheet(at(0, 0, 1, 1, kTrim2x2 + rect(1, 0, 1, 1))),
         {{2, 2, 10, {T, 0, T, T}}},
         49,
         48,
         nullptr},
        {"trimmed on a full palette: entry 0",
         sheet(at(1, 0, 1, 1, kTrim2x2 + rect(1, 0, 1, 1)), "full.png"),
         {{2, 2, 10, {T, 1, T, T}}},
         256,
         0,
         nullptr},
        {"rotated and trimmed",
         sheet(at(3, 0, 2, 1, R"(,"rotated":true)" + kTrim2x2 + rect(0, 1, 2, 1))),
         {{2, 2, 10, {T, T, 3, 11}}},
         49,
         48,
         nullptr},
        {"trimmed over an RGBA sheet's own see-through entry",
         sheet(at(0, 0, 1, 1, kTrim2x2 + rect(0, 0, 1, 1)), "alpha.png"),
         {{2, 2, 10, {T, T, T, T}}},
         8,
         0,
         nullptr},
        {"not JSON", R"({"frames":)", {}, 0, 0, "not JSON: "},
        {"deep nesting", std::string(100, '['), {}, 0, 0, "nested deeper than 64 levels"},
        {"no object", "[]", {}, 0, 0, "no JSON object"},
        {"no picture", R"({"frames":[)" + at(0, 0, 1, 1) + "]}", {}, 0, 0, "no meta.image"},
        {"absolute picture", sheet(at(0, 0, 1, 1), "/etc/passwd"), {}, 0, 0, "absolute path"},
        {"climbing picture", sheet(at(0, 0, 1, 1), "a/../../sheet.png"), {}, 0, 0, "climbs out"},
        {"NUL in the name", sheet(at(0, 0, 1, 1), R"(sheet.png\u0000.txt)"), {}, 0, 0, "NUL"},
        {"missing picture",
         sheet(at(0, 0, 1, 1), "gone.png"),
         {},
         0,
         0,
         "picture 'gone.png' named by meta.image cannot be read: cannot be opened"},
        {"picture not a PNG",
         sheet(at(0, 0, 1, 1), "d.json"),
         {},
         0,
         0,
         "picture 'd.json' named by meta.image cannot be read: not a PNG file"},
        {"no frames", R"({"meta":{"image":"sheet.png"}})", {}, 0, 0, "no \"frames\" object"},
        {"empty frames", sheet(""), {}, 0, 0, "no frames listed"},
        {"too many frames", sheet(many), {}, 0, 0, "65537 frames, more than 65536"},
        {"not an object", sheet("1"), {}, 0, 0, "frame 0: is not an object"},
        {"outside",
         sheet(at(7, 0, 2, 1)),
         {},
         0,
         0,
         "frame 0: 2x1 at 7,0 reaches outside the 8x6 picture"},
        {"rotated outside",
         sheet(at(7, 0, 1, 2, R"(,"rotated":true)")),
         {},
         0,
         0,
         "2x1 at 7,0 reaches outside"},
        {"negative", sheet(at(-1, 0, 1, 1)), {}, 0, 0, "frame at -1,0 is outside the picture"},
        {"empty", sheet(at(0, 0, 0, 1)), {}, 0, 0, "frame of 0x1 pixels is empty"},
        {"absurd", sheet(at(0, 0, 99999, 1)), {}, 0, 0, "larger than 16384 a side"},
        {"not a number",
         sheet(R"({"filename":"a","frame":{"x":0,"y":0,"w":"1","h":1}})"),
         {},
         0,
         0,
         "frame 'a': frame.w is not a whole number"},
        {"fraction",
         sheet(R"({"frame":{"x":0,"y":0,"w":1.5,"h":1}})"),
         {},
         0,
         0,
         "not a whole number"},
        {"missing field",
         sheet(R"({"frame":{"x":0,"y":0,"w":1}})"),
         {},
         0,
         0,
         "frame.h is missing"},
        {"held pixels", sheet(huge), {}, 0, 0, "frame 7: picture of 16384x16384 pixels is beyond"},
        {"rotated not a flag",
         sheet(at(0, 0, 1, 1, R"(,"rotated":1)")),
         {},
         0,
         0,
         "rotated is not true or false"},
        {"trimmed without sourceSize",
         sheet(at(0, 0, 1, 1, R"(,"trimmed":true,"spriteSourceSize":)" + rect(0, 0, 1, 1))),
         {},
         0,
         0,
         "no sourceSize rectangle"},
        {"trimmed outside",
         sheet(at(0, 0, 1, 1, kTrim2x2 + rect(2, 0, 1, 1))),
         {},
         0,
         0,
         "trimmed picture at 2,0 reaches outside sourceSize 2x2"},
        {"trimmed of another size",
         sheet(at(0, 0, 1, 1, kTrim2x2 + rect(0, 0, 2, 1))),
         {},
         0,
         0,
         "spriteSourceSize is 2x1, the frame 1x1"},
        {"negative duration",
         sheet(at(0, 0, 1, 1, R"(,"duration":-10)")),
         {},
         0,
         0,
         "duration of -10 ms is out of range"},
        {"duration text",
         sheet(at(0, 0, 1, 1, R"(,"duration":"1")")),
         {},
         0,
         0,
         "duration is not a number"},
        {"too large",
         std::string(pz4json::kMaxDescriptorBytes + 1, ' '),
         {},
         0,
         0,
         "larger than 32 MiB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        dir.write("d.json", c.json);
        pz4fmt::Failure why;
        auto source = pz4json::openSheet((dir.path() / "d.json").c_str(),
                                         Bytes(c.json.begin(), c.json.end()), why);
        if (c.reason != nullptr) {
            EXPECT_EQ(source, nullptr);
            EXPECT_NE(why.reason().find(c.reason), std::string::npos) << why.reason();
            continue;
        }
        ASSERT_NE(source, nullptr) << why.reason();
        ASSERT_EQ(source->frameCount(), static_cast<int>(c.frames.size()));
        for (size_t k = 0; k < c.frames.size(); ++k) {
            const pz4fmt::Frame& f = *source->lock(static_cast<int>(k));
            const Want& want = c.frames[k];
            EXPECT_EQ(f.width, want.width);
            EXPECT_EQ(f.height, want.height);
            EXPECT_EQ(f.tag, want.tag);
            EXPECT_EQ(f.colorCount, c.colours);
            EXPECT_EQ(f.transparentIndex, c.transparent);
            std::vector<int> top;
            for (int y = f.height - 1; y >= 0; --y)
                for (int x = 0; x < f.width; ++x) {
                    const int p = f.pixels[static_cast<size_t>(y) * f.width + x];
                    top.push_back(p == f.transparentIndex ? T : p);
                }
            EXPECT_EQ(top, want.top) << "frame " << k;
            if (c.colours == 49) {
                EXPECT_EQ(rgb(48, f), Bytes(3, 0)) << "the added entry is black";
            }
        }
    }
}

// Frame k of `frames` as written and as read back: colours, or see-through (-1).
std::vector<int> shown(const pz4fmt::SaveInput& in) {
    std::vector<int> out;
    for (int i = 0; i < in.width * in.height; ++i) {
        const uint8_t* c = in.palette + 3 * in.pixels[i];
        out.push_back(in.pixels[i] == in.transparentIndex ? -1 : c[0] << 16 | c[1] << 8 | c[2]);
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
    said += [f['filename'], f['duration'], f['rotated'], f['trimmed'],
             f['sourceSize'] == {'w': r['w'], 'h': r['h']}]
    crops.write(im.crop((r['x'], r['y'], r['x'] + r['w'], r['y'] + r['h'])).tobytes())
print(json.dumps(said))
)";

// One palette and one transparent index: a palette picture, see-through by tRNS;
// anything else an RGBA picture with each frame's see-through pixels at alpha 0.
TEST(JsonSheetWrite, SheetsReadBackHereInPillowAndInPythonsJson) {
    const std::string python = pz4test::pillowPython();
    const Picture a = samplePicture(5, 3, 40);
    Picture b = samplePicture(7, 2, 40), other = b;
    other.palette[3 * b.pixels[0]] ^= 0xFF;
    const struct {
        const char* format;
        const Picture& second;
        int transparentA, transparentB;
    } cases[] = {{"I8", b, 7, 7}, {"RGBA8888", other, 7, -1}, {"RGBA8888", b, 7, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format + std::to_string(c.transparentB));
        std::vector<pz4fmt::SaveInput> in = {saveInputOf(a), saveInputOf(c.second)};
        in[0].tag = 7;
        in[0].transparentIndex = c.transparentA;
        in[1].transparentIndex = c.transparentB;
        pz4json::EncodedSheet sheet;
        ASSERT_TRUE(pz4json::encodeSheet(in, {"a", "b"}, "s.png", sheet));
        pz4fmt::Image picture, frames;
        pz4fmt::Failure why;
        ASSERT_TRUE(pz4png::decodePng(sheet.picture.data(), sheet.picture.size(), picture, &why));
        ASSERT_TRUE(pz4json::cutSheet(reinterpret_cast<const uint8_t*>(sheet.descriptor.data()),
                                      sheet.descriptor.size(), picture.frames[0], frames, why))
            << why.reason();
        ASSERT_EQ(frames.frames.size(), 2u);
        std::string expectedSaid = std::string(R"([")") + c.format + R"(", true)";
        Bytes expectedCrops;
        for (size_t k = 0; k < 2; ++k) {
            const pz4fmt::Frame& f = frames.frames[k];
            EXPECT_EQ(f.tag, k == 0 ? 7 : 10);
            pz4fmt::SaveInput back{"",      f.pixels.data(),   f.palette.data(),
                                   f.width, f.height,          f.colorCount,
                                   f.tag,   f.transparentIndex};
            // A palette picture keeps the indices; pz4's PNG reader ignores its tRNS.
            if (c.format[0] == 'I')
                EXPECT_EQ(f.pixels, Bytes(in[k].pixels, in[k].pixels + f.pixels.size()));
            else
                EXPECT_EQ(shown(back), shown(in[k]));
            expectedSaid +=
                std::string(R"(, ")") + (k == 0 ? "a" : "b") +
                (k == 0 ? R"(", 70, false, false, true)" : R"(", 100, false, false, true)");
            for (int y = in[k].height - 1; y >= 0; --y)
                for (int x = 0; x < in[k].width; ++x) {
                    const uint8_t p = in[k].pixels[static_cast<size_t>(y) * in[k].width + x];
                    const uint8_t* rgb = in[k].palette + 3 * p;
                    if (p == in[k].transparentIndex)
                        expectedCrops.insert(expectedCrops.end(), {0, 0, 0, 0});
                    else
                        expectedCrops.insert(expectedCrops.end(), {rgb[0], rgb[1], rgb[2], 255});
                }
        }
        if (python.empty())
            continue;
        pz4test::TempWorkDir dir;
        dir.write("s.png", sheet.picture);
        dir.write("s.json", sheet.descriptor);
        dir.write("sheet.py", kPillowSheet);
        EXPECT_EQ(pz4test::commandOutput(python + " sheet.py"), expectedSaid + "]\n");
        Bytes crops = pz4test::readFileBytes(dir.path() / "crops");
        for (size_t i = 3; i < crops.size() && i < expectedCrops.size(); i += 4)
            if (crops[i] == 0) // a see-through pixel's colour is no one's concern
                std::fill_n(crops.begin() + static_cast<std::ptrdiff_t>(i) - 3, 3, 0);
        EXPECT_EQ(crops, expectedCrops);
    }
    if (python.empty())
        GTEST_SKIP() << "Pillow is not installed: the sheets were read back here only";
}

// Sixteen 8 x 8 frames: rows of four, one pixel apart, a square sheet.
TEST(JsonSheetWrite, FramesArePackedIntoASquare) {
    const Picture p = samplePicture(8, 8, 40);
    const std::vector<pz4fmt::SaveInput> in(16, saveInputOf(p));
    pz4json::EncodedSheet sheet;
    ASSERT_TRUE(pz4json::encodeSheet(in, std::vector<std::string>(16, "f"), "s.png", sheet));
    const pz4fmt::Frame f = decodeOne(pz4png::decodePng, sheet.picture);
    EXPECT_EQ(f.width, 35);
    EXPECT_EQ(f.height, 35);
    EXPECT_NE(sheet.descriptor.find(R"("frame":{"x":27,"y":27,"w":8,"h":8})"), std::string::npos);
}

} // namespace
