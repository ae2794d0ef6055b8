// Files as the plug-ins read them: a decoder given the open file reads it as it reads
// the file's bytes, and an animation keeps its frames when the file is cut short while
// it is open.

#include "BmpCodec.h"
#include "FlicCodec.h"
#include "GifCodec.h"
#include "PcxCodec.h"
#include "PluginTestKit.h"
#include "PngCodec.h"
#include "RasterTestKit.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

using namespace rastertest;

namespace {

using FileDecode = bool (*)(pz4fmt::ByteSource&, pz4fmt::Image&, pz4fmt::Failure*);

Picture noisePicture(int width, int height) {
    Picture p = samplePicture(width, height);
    std::mt19937 random(5);
    for (uint8_t& v : p.pixels)
        v = static_cast<uint8_t>(random());
    return p;
}

// An 8-bit BMP whose rows run top-down: the same bytes with the height negated.
Bytes topDown(Bytes bmp) {
    const uint32_t height = ~pz4fmt::le32(bmp.data() + 22) + 1;
    for (int i = 0; i < 4; ++i)
        bmp[22 + static_cast<size_t>(i)] = static_cast<uint8_t>(height >> (8 * i));
    return bmp;
}

// Rows padded or not, more rows than one scatter read takes, both row orders, and
// streams longer than the windows PCX and PNG read through.
TEST(FileReading, ADecoderReadsAFileAsItsBytes) {
    const Picture padded = samplePicture(1021, 1100), even = samplePicture(1024, 600);
    const Picture noise = noisePicture(1000, 1000);
    const struct {
        const char* name;
        Bytes bytes;
        DecodeFn fromBytes;
        FileDecode fromFile;
    } cases[] = {
        {"bmp, rows padded", pz4bmp::encodeBmp(saveInputOf(padded)), pz4bmp::decodeBmp,
         pz4bmp::decodeBmp},
        {"bmp, rows padded, top-down", topDown(pz4bmp::encodeBmp(saveInputOf(padded))),
         pz4bmp::decodeBmp, pz4bmp::decodeBmp},
        {"bmp, rows unpadded", pz4bmp::encodeBmp(saveInputOf(even)), pz4bmp::decodeBmp,
         pz4bmp::decodeBmp},
        {"bmp, rows unpadded, top-down", topDown(pz4bmp::encodeBmp(saveInputOf(even))),
         pz4bmp::decodeBmp, pz4bmp::decodeBmp},
        {"pcx", pz4pcx::encodePcx(saveInputOf(noise)), pz4pcx::decodePcx, pz4pcx::decodePcx},
        {"png", pz4png::encodePng(saveInputOf(noise)), pz4png::decodePng, pz4png::decodePng},
    };
    pz4test::TempWorkDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dir.write("file", c.bytes);
        pz4fmt::Failure why;
        pz4fmt::ByteSource in;
        ASSERT_TRUE(in.open((dir.path() / "file").string().c_str(), pz4fmt::kMaxFileBytes, why))
            << why.reason();
        pz4fmt::Image fromFile, fromBytes;
        ASSERT_TRUE(c.fromFile(in, fromFile, &why)) << why.reason();
        ASSERT_TRUE(c.fromBytes(c.bytes.data(), c.bytes.size(), fromBytes, nullptr));
        expectWellFormed(fromFile);
        expectSameFrames(fromFile, fromBytes, 1);
        EXPECT_EQ(fromFile.frames[0].width, fromBytes.frames[0].width);
    }
}

class CutShortWhileOpen : public ::testing::Test, public plugintest::PluginDriver {};

// The animation readers hold the bytes they read: a file cut short under them, as
// saving over it does, leaves every frame still to be locked as it was.
TEST_F(CutShortWhileOpen, EveryFrameStillLocks) {
    const Picture a = noisePicture(40, 30), b = samplePicture(40, 30);
    std::vector<pz4fmt::SaveInput> frames = {saveInputOf(a), saveInputOf(b), saveInputOf(a)};
    Bytes gif, flc;
    ASSERT_TRUE(pz4gif::encodeGifAnimation(frames, gif));
    ASSERT_TRUE(pz4flic::encodeFlc(frames, flc));
    const struct {
        const char* plugin;
        Bytes bytes;
    } cases[] = {{"pzgif", gif}, {"pzflc", flc}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.plugin);
        ASSERT_TRUE(attach(c.plugin));
        dir_.write("anim", c.bytes);
        ASSERT_TRUE(open("anim"));
        std::filesystem::resize_file(dir_.path() / "anim", 0);
        for (int k = 2; k >= 0; --k) {
            const Locked l = lockFrame(k);
            ASSERT_TRUE(l.ok) << "frame " << k;
            const Bytes& want = (k == 1 ? b : a).pixels;
            EXPECT_EQ(Bytes(l.pixels, l.pixels + want.size()), want) << "frame " << k;
        }
        unload();
    }
}

} // namespace
