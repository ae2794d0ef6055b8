// Truecolour files as Pillow writes them open with the pixels Pillow decodes from
// them: exactly where a frame holds at most 256 colours (see-through pixels, alpha
// below 128, all on the frame's transparent entry), and above that with an error
// no larger than Pillow's own quantising to 256 colours gives. Skipped without Pillow.

#include "BmpCodec.h"
#include "ExternalTools.h"
#include "JpegCodec.h"
#include "PngCodec.h"
#include "TempWorkDir.h"
#include "WebpCodec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

std::vector<pz4fmt::Frame> framesOf(const std::string& name, const Bytes& bytes) {
    pz4fmt::Image image;
    pz4fmt::Failure why;
    const std::string ext = name.substr(name.rfind('.') + 1);
    if (ext == "webp") {
        auto source = pz4webp::openWebp(bytes, pz4fmt::kMaxHeldBytes, &why);
        EXPECT_NE(source, nullptr) << why.reason();
        for (int k = 0; source && k < source->frameCount(); ++k)
            image.frames.push_back(*source->lock(k));
        return image.frames;
    }
    using Decode = bool (*)(const uint8_t*, size_t, pz4fmt::Image&, pz4fmt::Failure*);
    const Decode decode = ext == "png"   ? Decode{pz4png::decodePng}
                          : ext == "bmp" ? Decode{pz4bmp::decodeBmp}
                                         : Decode{pz4jpeg::decodeJpeg};
    EXPECT_TRUE(decode(bytes.data(), bytes.size(), image, &why)) << why.reason();
    return image.frames;
}

// What Pillow shows at a pixel after the alpha rule: its colour, or see-through.
struct Shown {
    bool seeThrough;
    int r, g, b;
};

Shown expectedAt(const uint8_t* rgba) {
    return rgba[3] < 128 ? Shown{true, 0, 0, 0} : Shown{false, rgba[0], rgba[1], rgba[2]};
}

Shown oursAt(const pz4fmt::Frame& f, int x, int yFromTop) {
    const int k = f.pixels[static_cast<size_t>(f.height - 1 - yFromTop) * f.width + x];
    if (k == f.transparentIndex)
        return {true, 0, 0, 0};
    return {false, f.palette[3 * k], f.palette[3 * k + 1], f.palette[3 * k + 2]};
}

// PSNR of our frame against Pillow's RGBA over the pixels both show; every pixel
// must agree on being see-through. 99 when equal.
double psnr(const pz4fmt::Frame& f, const uint8_t* rgba) {
    double sum = 0;
    size_t n = 0;
    for (int y = 0; y < f.height; ++y)
        for (int x = 0; x < f.width; ++x) {
            const Shown want = expectedAt(rgba + 4 * (static_cast<size_t>(y) * f.width + x));
            const Shown got = oursAt(f, x, y);
            if (want.seeThrough != got.seeThrough) {
                ADD_FAILURE() << "see-through differs at " << x << "," << y;
                return 0;
            }
            if (want.seeThrough)
                continue;
            for (int d : {want.r - got.r, want.g - got.g, want.b - got.b})
                sum += d * d;
            n += 3;
        }
    return sum == 0 ? 99 : 10 * std::log10(255.0 * 255.0 * static_cast<double>(n) / sum);
}

} // namespace

TEST(TruecolourInterop, PillowFilesOpenWithThePixelsPillowShows) {
    const std::string python = pz4test::pillowPython();
    if (python.empty())
        GTEST_SKIP() << "Pillow is not installed";
    const char* const files[] = {
        "rgb.png",
        "rgba.png",
        "la.png",
        "rgba16.png",
        "grey16.png",
        "photo.png", // PNG
        "b24.bmp",
        "b32.bmp", // BMP
        "baseline.jpg",
        "progressive.jpg",
        "grey.jpg",
        "photo-o6.jpg", // JPEG
        "grey-o1.jpg",
        "grey-o2.jpg",
        "grey-o3.jpg",
        "grey-o4.jpg", // EXIF
        "grey-o5.jpg",
        "grey-o6.jpg",
        "grey-o7.jpg",
        "grey-o8.jpg", //  turns
        "still-lossless.webp",
        "still-lossy.webp",
        "anim-lossless.webp",
        "anim-lossy.webp",
    };
    pz4test::TempWorkDir dir;
    std::string command = python + " " PZ4_TEST_DATA_DIR "/truecolour_samples.py";
    for (const char* f : files)
        command += std::string(" ") + f;
    ASSERT_TRUE(pz4test::succeeds(command));
    for (const char* name : files) {
        SCOPED_TRACE(name);
        std::istringstream manifest(dir.read(std::string(name) + ".txt"));
        int width = 0, height = 0;
        manifest >> width >> height;
        std::vector<int> tags;
        for (std::string word; manifest >> word && word != "|";)
            tags.push_back(std::stoi(word));
        double pillowPsnr = 0;
        manifest >> pillowPsnr;
        const Bytes expected = pz4test::readFileBytes(dir.path() / (std::string(name) + ".rgba"));
        const std::vector<pz4fmt::Frame> frames =
            framesOf(name, pz4test::readFileBytes(dir.path() / name));
        ASSERT_EQ(frames.size(), tags.size());
        const size_t frameBytes = static_cast<size_t>(width) * height * 4;
        ASSERT_EQ(expected.size(), frameBytes * tags.size());
        for (size_t k = 0; k < frames.size(); ++k) {
            const pz4fmt::Frame& f = frames[k];
            ASSERT_EQ(f.width, width);
            ASSERT_EQ(f.height, height);
            EXPECT_EQ(f.tag, tags[k]) << "frame " << k;
            const double ours = psnr(f, expected.data() + k * frameBytes);
            if (pillowPsnr == 0)
                EXPECT_EQ(ours, 99) << "frame " << k << " is not exact";
            else
                EXPECT_GE(ours, pillowPsnr) << "frame " << k;
        }
    }
}
