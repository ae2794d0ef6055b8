// Damaged JPEG and WebP files: refused with a reason, or read as consistent frames;
// never a crash, a bad read or a leak. The samples are the fuzz targets' seeds.

#include "JpegCodec.h"
#include "RasterTestKit.h"
#include "TempWorkDir.h"
#include "WebpCodec.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

using namespace rastertest;

namespace {

const std::string kCorpus = PZ4_SOURCE_DIR "/tests/fuzz/corpus/";

Bytes sample(const std::string& name) {
    return pz4test::readFileBytes(kCorpus + name);
}

// Every frame of a WebP file as an image; false with the reason when it does not
// open or a frame is refused.
bool decodeWebp(const uint8_t* data, size_t size, pz4fmt::Image& out, pz4fmt::Failure* why) {
    out.frames.clear();
    auto source = pz4webp::openWebp(Bytes(data, data + size), pz4fmt::kMaxHeldBytes, why);
    for (int k = 0; source && k < source->frameCount(); ++k) {
        try {
            out.frames.push_back(*source->lock(k));
        } catch (const std::runtime_error& e) {
            why->fail("%s", e.what());
            out.frames.clear();
            return false;
        }
    }
    return source != nullptr;
}

bool decodeJpeg(const uint8_t* data, size_t size, pz4fmt::Image& out, pz4fmt::Failure* why) {
    return pz4jpeg::decodeJpeg(data, size, out, why);
}

// A still picture or an animation: consistent frames, or none and a reason.
void expectSoundFrames(DecodeFn decode, const Bytes& file) {
    pz4fmt::Image image;
    pz4fmt::Failure why;
    const bool ok = decode(file.data(), file.size(), image, &why);
    expectSoundAnimation(image, ok);
    if (!ok) {
        EXPECT_TRUE(why.failed()) << "refused without a reason";
    }
}

} // namespace

TEST(TruecolourCorruption, DamageIsRefusedWithItsReason) {
    const struct {
        const char* file;
        const char* reason;
        std::function<void(Bytes&)> damage;
    } cases[] = {
        {"jpeg/baseline-8x8.jpg", "Not a JPEG file: starts with 0x78 0xd8",
         [](Bytes& b) { b[0] = 'x'; }},
        {"jpeg/baseline-8x8.jpg", "file cut short", [](Bytes& b) { b.resize(b.size() / 2); }},
        {"jpeg/progressive-16x8.jpg", "file cut short", [](Bytes& b) { b.resize(b.size() - 40); }},
        {"jpeg/grey-8x8.jpg", "file of 3 bytes is too short for a JPEG picture",
         [](Bytes& b) { b.resize(3); }},
        {"webp/lossy-8x8.webp", "not a WebP file", [](Bytes& b) { b[8] = 'X'; }},
        {"webp/anim-3x8x8.webp", "file cut short", [](Bytes& b) { b.resize(b.size() - 30); }},
        {"webp/lossless-alpha-8x8.webp", "the file's chunks are damaged",
         [](Bytes& b) { b[20] ^= 0xFF; }}, // the lossless signature
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + ": " + c.reason);
        Bytes bad = sample(c.file);
        c.damage(bad);
        pz4fmt::Image image;
        pz4fmt::Failure why;
        const DecodeFn decode = std::string(c.file).starts_with("jpeg") ? decodeJpeg : ::decodeWebp;
        EXPECT_FALSE(decode(bad.data(), bad.size(), image, &why));
        EXPECT_EQ(why.reason(), c.reason);
        EXPECT_TRUE(image.frames.empty());
    }
}

TEST(TruecolourCorruption, TruncatedAndChangedFilesNeverMisbehave) {
    for (const char* folder : {"jpeg", "webp"})
        for (const auto& entry : std::filesystem::directory_iterator(kCorpus + folder)) {
            SCOPED_TRACE(entry.path().filename().string());
            const DecodeFn decode = std::string(folder) == "jpeg" ? decodeJpeg : ::decodeWebp;
            const Bytes file = pz4test::readFileBytes(entry.path());
            pz4fmt::Image whole;
            pz4fmt::Failure why;
            ASSERT_TRUE(decode(file.data(), file.size(), whole, &why)) << why.reason();
            forEachTruncation(file, [&](const Bytes& cut) { expectSoundFrames(decode, cut); });
            forEachChangedCopy(file, 600, [&](const Bytes& b) { expectSoundFrames(decode, b); });
        }
}
