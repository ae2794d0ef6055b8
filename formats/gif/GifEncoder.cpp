#include "GifCodec.h"
#include "GifHandles.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace pz4gif {
namespace {

using pz4fmt::SaveInput;

constexpr int kDefaultDelay = 10; // 1/100 s, for frames that bring no delay of their own

int writeToVector(GifFileType* gif, const GifByteType* data, int length) {
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    try {
        out->insert(out->end(), data, data + length);
    } catch (const std::bad_alloc&) {
        return 0; // giflib turns a short write into an error
    }
    return length;
}

// Entries of the colour table: the smallest power of two (at least 2) that holds
// colorCount colours, every index the pixels use and the transparent one.
int tableSizeFor(const SaveInput& f) {
    const int wanted = std::max(pz4fmt::paletteEntriesFor(f), f.transparentIndex + 1);
    int size = 2;
    while (size < wanted)
        size *= 2;
    return size;
}

detail::ColorMapPtr makeColorMap(const uint8_t* palette, int size) {
    GifColorType colours[256];
    for (int i = 0; i < size; ++i)
        colours[i] = GifColorType{palette[i * 3], palette[i * 3 + 1], palette[i * 3 + 2]};
    return detail::ColorMapPtr(GifMakeMapObject(size, colours));
}

// Collects the file in memory; the caller gets it only when all of it was written.
class Writer {
public:
    Writer() {
        int error = 0;
        gif_.reset(EGifOpen(&bytes_, writeToVector, &error));
        if (gif_)
            EGifSetGifVersion(gif_.get(), true);
    }

    bool open() const { return gif_ != nullptr; }

    bool screen(int width, int height, const ColorMapObject* global) {
        return EGifPutScreenDesc(gif_.get(), width, height, 8, 0, global) == GIF_OK;
    }

    bool loopForever() {
        static const char kApplication[] = "NETSCAPE2.0";
        static const GifByteType kLoop[3] = {1, 0, 0}; // sub-block 1: repeat count 0 = forever
        return EGifPutExtensionLeader(gif_.get(), APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
               EGifPutExtensionBlock(gif_.get(), 11, kApplication) == GIF_OK &&
               EGifPutExtensionBlock(gif_.get(), 3, kLoop) == GIF_OK &&
               EGifPutExtensionTrailer(gif_.get()) == GIF_OK;
    }

    bool control(int delay, int disposal, int transparent) {
        GraphicsControlBlock gcb{};
        gcb.DisposalMode = disposal;
        gcb.UserInputFlag = false;
        gcb.DelayTime = std::clamp(delay, 0, 65535);
        gcb.TransparentColor = transparent >= 0 ? transparent : NO_TRANSPARENT_COLOR;
        GifByteType block[4];
        const size_t length = EGifGCBToExtension(&gcb, block);
        return EGifPutExtension(gif_.get(), GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length),
                                block) == GIF_OK;
    }

    // The frame at the screen's top left; its rows go out top row first.
    bool image(const SaveInput& f, const ColorMapObject* local) {
        // giflib forgets, without freeing, the previous image's local table when
        // the next image has none.
        if (local == nullptr && gif_->Image.ColorMap != nullptr) {
            GifFreeMapObject(gif_->Image.ColorMap);
            gif_->Image.ColorMap = nullptr;
        }
        if (EGifPutImageDesc(gif_.get(), 0, 0, f.width, f.height, false, local) == GIF_ERROR)
            return false;
        // giflib masks the line it is given in place, and these pixels are the
        // caller's: each row goes through a copy.
        std::vector<GifPixelType> line(static_cast<size_t>(f.width));
        for (int y = f.height - 1; y >= 0; --y) {
            std::memcpy(line.data(), f.pixels + static_cast<size_t>(y) * line.size(), line.size());
            if (EGifPutLine(gif_.get(), line.data(), f.width) == GIF_ERROR)
                return false;
        }
        return true;
    }

    bool finish(std::vector<uint8_t>& out) {
        int error = 0;
        if (EGifCloseFile(gif_.release(), &error) == GIF_ERROR)
            return false;
        out = std::move(bytes_);
        return true;
    }

private:
    std::vector<uint8_t> bytes_;
    detail::EncoderPtr gif_; // after bytes_: closing it on an early exit still writes there
};

} // namespace

bool encodeGifImage(const SaveInput& frame, std::vector<uint8_t>& out) {
    out.clear();
    if (!pz4fmt::validImageInput(frame))
        return false;
    const auto map = makeColorMap(frame.palette, tableSizeFor(frame));
    Writer w;
    return map && w.open() && w.screen(frame.width, frame.height, map.get()) &&
           ((frame.tag <= 0 && frame.transparentIndex < 0) ||
            w.control(std::max(frame.tag, 0), DISPOSAL_UNSPECIFIED, frame.transparentIndex)) &&
           w.image(frame, nullptr) && w.finish(out);
}

bool encodeGifAnimation(const std::vector<SaveInput>& frames, std::vector<uint8_t>& out) {
    out.clear();
    if (frames.empty() || !std::all_of(frames.begin(), frames.end(), pz4fmt::validImageInput))
        return false;
    int width = 0, height = 0;
    for (const SaveInput& f : frames) {
        width = std::max(width, f.width);
        height = std::max(height, f.height);
    }
    // Frames that all fill the screen simply replace each other; smaller ones
    // clear their area afterwards so nothing of a larger frame lingers around them,
    // and so do frames of an animation with a transparent colour: a pixel that
    // turns transparent must show through, not keep the frame before.
    const bool sameSize = std::all_of(frames.begin(), frames.end(), [&](const SaveInput& f) {
        return f.width == width && f.height == height;
    });
    const bool transparency = std::any_of(
        frames.begin(), frames.end(), [](const SaveInput& f) { return f.transparentIndex >= 0; });
    const int disposal = sameSize && !transparency ? DISPOSE_DO_NOT : DISPOSE_BACKGROUND;

    const SaveInput& first = frames.front();
    const int globalSize = tableSizeFor(first);
    const auto global = makeColorMap(first.palette, globalSize);
    Writer w;
    bool ok = global && w.open() && w.screen(width, height, global.get()) && w.loopForever();
    for (size_t i = 0; ok && i < frames.size(); ++i) {
        const SaveInput& f = frames[i];
        const int highest = pz4fmt::highestIndex(f);
        const bool shared = i == 0 || (highest < globalSize && f.transparentIndex < globalSize &&
                                       std::memcmp(f.palette, first.palette,
                                                   static_cast<size_t>(globalSize) * 3) == 0);
        detail::ColorMapPtr local;
        if (!shared) {
            local = makeColorMap(f.palette, tableSizeFor(f));
            ok = local != nullptr;
        }
        ok = ok && w.control(f.tag > 0 ? f.tag : kDefaultDelay, disposal, f.transparentIndex) &&
             w.image(f, local.get());
    }
    return ok && w.finish(out);
}

bool saveGifImage(const SaveInput& frame) {
    std::vector<uint8_t> bytes;
    return encodeGifImage(frame, bytes) && pz4fmt::writeEncoded(frame.fileName, bytes);
}

bool saveGifAnimation(const std::vector<SaveInput>& frames) {
    std::vector<uint8_t> bytes;
    return !frames.empty() && encodeGifAnimation(frames, bytes) &&
           pz4fmt::writeEncoded(frames.front().fileName, bytes);
}

} // namespace pz4gif
