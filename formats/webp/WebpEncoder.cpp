#include "WebpCodec.h"

#include <webp/encode.h>
#include <webp/mux.h>

#include <algorithm>
#include <memory>

// Animations are put together frame by frame with the muxer rather than
// WebPAnimEncoder, which folds a frame identical to the one before into that one's
// duration: the file would come back with fewer frames than were saved. Every
// frame is stored whole and drawn without blending, so each is a key frame and a
// reader can start anywhere.

namespace pz4webp {
namespace {

constexpr int kDefaultDurationMs = 100;       // for frames whose tag gives none, as GIF saves them
constexpr int kMaxDurationMs = (1 << 24) - 1; // what the frame header's field holds
// Lossless effort, 0 (fast) to 6 (smallest): the middle setting files sprites
// nearly as small as the slowest does.
constexpr int kMethod = 4;
constexpr float kQuality = 75;

// The frame's colours on a width x height canvas, top row first; pixels outside
// the frame show its palette's entry 0. Pixels of the frame's transparent index,
// and for a frame with one the canvas outside it, are see-through.
std::vector<uint8_t> rgbaOf(const pz4fmt::SaveInput& in, int width, int height) {
    std::vector<uint8_t> rgba(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool inside = x < in.width && y < in.height;
            // The frame's rows run bottom-up; the canvas's top-down.
            const uint8_t index = inside ? in.pixels[static_cast<size_t>(in.height - 1 - y) *
                                                         static_cast<size_t>(in.width) +
                                                     static_cast<size_t>(x)]
                                         : 0;
            uint8_t* p =
                rgba.data() +
                (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 4;
            std::copy_n(in.palette + 3 * static_cast<size_t>(index), 3, p);
            const bool seeThrough =
                in.transparentIndex >= 0 && (!inside || index == in.transparentIndex);
            p[3] = seeThrough ? 0 : 255;
        }
    return rgba;
}

struct PictureOwner {
    WebPPicture picture;
    PictureOwner() { WebPPictureInit(&picture); }
    PictureOwner(const PictureOwner&) = delete;
    PictureOwner& operator=(const PictureOwner&) = delete;
    ~PictureOwner() { WebPPictureFree(&picture); }
};

struct WriterOwner {
    WebPMemoryWriter writer;
    WriterOwner() { WebPMemoryWriterInit(&writer); }
    WriterOwner(const WriterOwner&) = delete;
    WriterOwner& operator=(const WriterOwner&) = delete;
    ~WriterOwner() { WebPMemoryWriterClear(&writer); }
};

// One lossless still WebP file of a frame on a width x height canvas.
std::vector<uint8_t> encodeStill(const pz4fmt::SaveInput& in, int width, int height) {
    WebPConfig config;
    if (!WebPConfigInit(&config))
        return {};
    config.lossless = 1;
    config.exact = 1;
    config.method = kMethod;
    config.quality = kQuality;
    PictureOwner owner;
    WebPPicture& pic = owner.picture;
    pic.use_argb = 1;
    pic.width = width;
    pic.height = height;
    const std::vector<uint8_t> rgba = rgbaOf(in, width, height);
    if (!WebPPictureImportRGBA(&pic, rgba.data(), width * 4))
        return {};
    WriterOwner out;
    pic.writer = WebPMemoryWrite;
    pic.custom_ptr = &out.writer;
    if (!WebPEncode(&config, &pic))
        return {};
    return std::vector<uint8_t>(out.writer.mem, out.writer.mem + out.writer.size);
}

struct MuxDeleter {
    void operator()(WebPMux* m) const { WebPMuxDelete(m); }
};

} // namespace

std::vector<uint8_t> encodeWebpImage(const pz4fmt::SaveInput& frame) {
    if (!pz4fmt::validImageInput(frame))
        return {};
    return encodeStill(frame, frame.width, frame.height);
}

std::vector<uint8_t> encodeWebpAnimation(const std::vector<pz4fmt::SaveInput>& frames) {
    if (frames.empty() || frames.size() > kMaxFrames)
        return {};
    int width = 0, height = 0;
    for (const pz4fmt::SaveInput& f : frames) {
        if (!pz4fmt::validImageInput(f))
            return {};
        width = std::max(width, f.width);
        height = std::max(height, f.height);
    }
    std::unique_ptr<WebPMux, MuxDeleter> mux(WebPMuxNew());
    if (!mux)
        return {};
    for (const pz4fmt::SaveInput& f : frames) {
        const std::vector<uint8_t> still = encodeStill(f, width, height);
        if (still.empty())
            return {};
        WebPMuxFrameInfo info{};
        info.bitstream = WebPData{still.data(), still.size()};
        info.id = WEBP_CHUNK_ANMF;
        info.duration = f.tag > 0 ? std::min(f.tag, kMaxDurationMs / 10) * 10 : kDefaultDurationMs;
        info.dispose_method = WEBP_MUX_DISPOSE_NONE;
        info.blend_method = WEBP_MUX_NO_BLEND;
        if (WebPMuxPushFrame(mux.get(), &info, 1) != WEBP_MUX_OK)
            return {};
    }
    const WebPMuxAnimParams params{0, 0}; // see-through black behind, looping forever
    if (WebPMuxSetAnimationParams(mux.get(), &params) != WEBP_MUX_OK ||
        WebPMuxSetCanvasSize(mux.get(), width, height) != WEBP_MUX_OK)
        return {};
    WebPData assembled;
    WebPDataInit(&assembled);
    if (WebPMuxAssemble(mux.get(), &assembled) != WEBP_MUX_OK)
        return {};
    std::vector<uint8_t> out(assembled.bytes, assembled.bytes + assembled.size);
    WebPDataClear(&assembled);
    return out;
}

} // namespace pz4webp
