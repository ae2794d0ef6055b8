#include "WebpCodec.h"
#include "common/Palettise.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

// Frames are composed here from the demuxed file rather than by WebPAnimDecoder,
// which only goes forward: the canvas is then the whole state between frames, so
// the format kit can keep copies of it and start a late frame from the nearest one.
// The composition follows WebPAnimDecoder's own step for step (key frames, the
// blending of non-premultiplied pixels, disposal), so frames show what libwebp's
// readers show.

namespace pz4webp {
namespace {

constexpr size_t kChannels = 4;

struct FrameRecord {
    int left = 0, top = 0, width = 0, height = 0;
    int duration = 0; // ms
    bool blend = false;
    bool disposeToBackground = false;
    bool hasAlpha = false;
    bool key = false; // drawn on a cleared canvas, whatever came before
    size_t at = 0, size = 0;
};

struct DemuxDeleter {
    void operator()(WebPDemuxer* d) const { WebPDemuxDelete(d); }
};

const char* statusText(VP8StatusCode s) {
    switch (s) {
    case VP8_STATUS_OUT_OF_MEMORY:
        return "out of memory";
    case VP8_STATUS_INVALID_PARAM:
        return "invalid parameter";
    case VP8_STATUS_BITSTREAM_ERROR:
        return "damaged bitstream";
    case VP8_STATUS_UNSUPPORTED_FEATURE:
        return "unsupported feature";
    case VP8_STATUS_NOT_ENOUGH_DATA:
        return "data cut short";
    default:
        return "decoding failed";
    }
}

// libwebp's blend of a non-premultiplied pixel over another, in the same integer
// steps, so partly transparent pixels come out as its readers show them.
uint8_t blendChannel(uint8_t src, uint8_t srcA, uint8_t dst, uint8_t dstA, uint32_t scale) {
    const uint32_t unscaled = uint32_t{src} * srcA + uint32_t{dst} * dstA;
    return static_cast<uint8_t>((unscaled * scale) >> 24);
}

void blendPixel(const uint8_t* src, uint8_t* dst) {
    const uint8_t srcA = src[3];
    if (srcA == 255) {
        std::memcpy(dst, src, kChannels);
        return;
    }
    if (srcA == 0)
        return;
    const uint8_t dstFactor = static_cast<uint8_t>((dst[3] * (256 - srcA)) >> 8);
    const uint8_t blendA = static_cast<uint8_t>(srcA + dstFactor);
    const uint32_t scale = (uint32_t{1} << 24) / blendA;
    for (int c = 0; c < 3; ++c)
        dst[c] = blendChannel(src[c], srcA, dst[c], dstFactor, scale);
    dst[3] = blendA;
}

bool isFull(const FrameRecord& f, int width, int height) {
    return f.width == width && f.height == height;
}

class WebpCodec {
public:
    using Screen = std::vector<uint8_t>; // the RGBA canvas as the next frame finds it

    WebpCodec(pz4fmt::FileBytes bytes, int width, int height, pz4fmt::Rgb background,
              std::vector<FrameRecord> frames)
        : bytes_(std::move(bytes)), width_(width), height_(height), background_(background),
          frames_(std::move(frames)) {
        for (size_t k = 0; k < frames_.size(); ++k)
            if (blends(k))
                blendBytes_ = std::max(blendBytes_, area(frames_[k].width, frames_[k].height));
    }

    int frameCount() const { return static_cast<int>(frames_.size()); }
    size_t screenBytes() const { return area(width_, height_) + blendBytes_; }
    size_t frameBytes(int) const { return area(width_, height_) / kChannels; }
    Screen firstScreen() { return {}; }

    void step(Screen& canvas, int index, pz4fmt::Frame* out) {
        const size_t k = static_cast<size_t>(index);
        const FrameRecord& f = frames_[k];
        // Nothing of a frame shows through a key frame after it.
        if (out == nullptr && k + 1 < frames_.size() && frames_[k + 1].key)
            return;
        // A key frame starts from a clear canvas, unless it covers all of it.
        if (canvas.size() != area(width_, height_))
            canvas.assign(area(width_, height_), 0);
        else if (f.key && !isFull(f, width_, height_))
            std::fill(canvas.begin(), canvas.end(), uint8_t{0});
        const size_t stride = static_cast<size_t>(width_) * kChannels;
        uint8_t* origin = canvas.data() + static_cast<size_t>(f.top) * stride +
                          static_cast<size_t>(f.left) * kChannels;
        if (!blends(k)) {
            decode(f, index, origin, canvas.size() - static_cast<size_t>(origin - canvas.data()),
                   stride);
        } else {
            scratch_.resize(area(f.width, f.height));
            const size_t rowBytes = static_cast<size_t>(f.width) * kChannels;
            decode(f, index, scratch_.data(), scratch_.size(), rowBytes);
            // Where the frame before was cleared to the background the pixels are
            // taken as they are, as libwebp does, not blended with the cleared canvas.
            const FrameRecord& before = frames_[k - 1];
            const bool cleared = before.disposeToBackground;
            for (int y = 0; y < f.height; ++y) {
                const int cy = f.top + y;
                const uint8_t* src = scratch_.data() + static_cast<size_t>(y) * rowBytes;
                uint8_t* dst = origin + static_cast<size_t>(y) * stride;
                for (int x = 0; x < f.width; ++x, src += kChannels, dst += kChannels) {
                    const int cx = f.left + x;
                    const bool inCleared = cleared && cx >= before.left &&
                                           cx < before.left + before.width && cy >= before.top &&
                                           cy < before.top + before.height;
                    if (inCleared)
                        std::memcpy(dst, src, kChannels);
                    else
                        blendPixel(src, dst);
                }
            }
        }
        if (out != nullptr) {
            pz4fmt::Failure why;
            if (!pz4fmt::palettise(canvas.data(), width_, height_, background_, *out, why))
                throw std::runtime_error("frame " + std::to_string(index) + ": " + why.reason());
            // Milliseconds to hundredths, halves rounded up.
            out->tag = (f.duration + 5) / 10;
        }
        if (f.disposeToBackground)
            for (int y = 0; y < f.height; ++y)
                std::fill_n(origin + static_cast<size_t>(y) * stride,
                            static_cast<size_t>(f.width) * kChannels, uint8_t{0});
    }

private:
    static size_t area(int w, int h) {
        return static_cast<size_t>(w) * static_cast<size_t>(h) * kChannels;
    }
    // A frame with see-through pixels drawn over what came before.
    bool blends(size_t k) const {
        const FrameRecord& f = frames_[k];
        return k > 0 && !f.key && f.blend && f.hasAlpha;
    }

    void decode(const FrameRecord& f, int index, uint8_t* to, size_t size, size_t stride) const {
        WebPDecoderConfig config;
        if (!WebPInitDecoderConfig(&config))
            throw std::runtime_error("libwebp version mismatch");
        config.output.colorspace = MODE_RGBA;
        config.output.is_external_memory = 1;
        config.output.u.RGBA.rgba = to;
        config.output.u.RGBA.stride = static_cast<int>(stride);
        config.output.u.RGBA.size = size;
        const VP8StatusCode s = WebPDecode(bytes_.data() + f.at, f.size, &config);
        WebPFreeDecBuffer(&config.output);
        if (s != VP8_STATUS_OK)
            throw std::runtime_error("frame " + std::to_string(index) + ": " + statusText(s));
    }

    pz4fmt::FileBytes bytes_;
    int width_, height_;
    pz4fmt::Rgb background_;
    std::vector<FrameRecord> frames_;
    size_t blendBytes_ = 0;
    std::vector<uint8_t> scratch_; // one frame before it is blended; carries nothing over
};

// The frames of a demuxed file, each checked against its own bitstream header, and
// which of them are key frames, by WebPAnimDecoder's rule.
bool readFrames(const WebPDemuxer* demux, const uint8_t* base, int width, int height,
                std::vector<FrameRecord>& frames, pz4fmt::Failure& why) {
    WebPIterator iter;
    if (!WebPDemuxGetFrame(demux, 1, &iter))
        return why.fail("the file holds no frames");
    do {
        FrameRecord f;
        f.left = iter.x_offset;
        f.top = iter.y_offset;
        f.width = iter.width;
        f.height = iter.height;
        f.duration = std::max(0, iter.duration);
        f.blend = iter.blend_method == WEBP_MUX_BLEND;
        f.disposeToBackground = iter.dispose_method == WEBP_MUX_DISPOSE_BACKGROUND;
        f.hasAlpha = iter.has_alpha != 0;
        f.at = static_cast<size_t>(iter.fragment.bytes - base);
        f.size = iter.fragment.size;
        WebPBitstreamFeatures features;
        const int n = static_cast<int>(frames.size());
        if (WebPGetFeatures(iter.fragment.bytes, iter.fragment.size, &features) != VP8_STATUS_OK ||
            features.width != f.width || features.height != f.height) {
            WebPDemuxReleaseIterator(&iter);
            return why.fail("the image data of frame %d is damaged", n);
        }
        if (f.left < 0 || f.top < 0 || f.width <= 0 || f.height <= 0 || f.left + f.width > width ||
            f.top + f.height > height) {
            WebPDemuxReleaseIterator(&iter);
            return why.fail("frame %d lies outside the canvas", n);
        }
        if (frames.empty()) {
            f.key = true;
        } else {
            const FrameRecord& before = frames.back();
            f.key = ((!f.hasAlpha || !f.blend) && isFull(f, width, height)) ||
                    (before.disposeToBackground && (isFull(before, width, height) || before.key));
        }
        frames.push_back(f);
    } while (frames.size() < kMaxFrames && WebPDemuxNextFrame(&iter));
    WebPDemuxReleaseIterator(&iter);
    return true;
}

} // namespace

std::unique_ptr<pz4fmt::FrameSource> openWebp(pz4fmt::FileBytes bytes, size_t maxHeldBytes,
                                              pz4fmt::Failure* why) {
    pz4fmt::Failure ignored;
    pz4fmt::Failure& w = why != nullptr ? *why : ignored;
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WEBP", 4) != 0) {
        w.fail("not a WebP file");
        return nullptr;
    }
    const WebPData data{bytes.data(), bytes.size()};
    WebPDemuxState state = WEBP_DEMUX_PARSE_ERROR;
    std::unique_ptr<WebPDemuxer, DemuxDeleter> demux(WebPDemuxPartial(&data, &state));
    if (!demux || state != WEBP_DEMUX_DONE) {
        w.fail(state == WEBP_DEMUX_PARSE_ERROR ? "the file's chunks are damaged"
                                               : "file cut short");
        return nullptr;
    }
    const int width = static_cast<int>(WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH));
    const int height = static_cast<int>(WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT));
    // The canvas and the frame made from it must fit, whatever else the cap allows.
    pz4fmt::DecodeBudget budget(maxHeldBytes);
    if (!budget.take(int64_t{width}, int64_t{height}, w, pz4fmt::kTruecolourBytesPerPixel))
        return nullptr;
    // See-through pixels are shown in the animation's background colour; a still
    // picture has none and shows them black.
    pz4fmt::Rgb background;
    if ((WebPDemuxGetI(demux.get(), WEBP_FF_FORMAT_FLAGS) & ANIMATION_FLAG) != 0) {
        const uint32_t c = WebPDemuxGetI(demux.get(), WEBP_FF_BACKGROUND_COLOR);
        background = {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8),
                      static_cast<uint8_t>(c)};
    }
    std::vector<FrameRecord> frames;
    if (!readFrames(demux.get(), bytes.data(), width, height, frames, w))
        return nullptr;
    demux.reset();
    auto source = std::make_unique<pz4fmt::SequentialFrames<WebpCodec>>(
        WebpCodec(std::move(bytes), width, height, background, std::move(frames)), maxHeldBytes);
    // The first frame is decoded now, so a file whose data is damaged is refused
    // when it is opened, as the formats decoded at once are.
    try {
        if (source->lock(0) == nullptr) {
            w.fail("frame 0 is beyond the limit on pixels held");
            return nullptr;
        }
    } catch (const std::runtime_error& e) {
        w.fail("%s", e.what());
        return nullptr;
    }
    return source;
}

} // namespace pz4webp
