#pragma once

// Owning handles for giflib objects, so every early return releases them.

#include <gif_lib.h>

#include <memory>

namespace pz4gif::detail {

struct DecoderCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};
using DecoderPtr = std::unique_ptr<GifFileType, DecoderCloser>;

struct EncoderCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        EGifCloseFile(gif, &error);
    }
};
using EncoderPtr = std::unique_ptr<GifFileType, EncoderCloser>;

struct ColorMapFree {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};
using ColorMapPtr = std::unique_ptr<ColorMapObject, ColorMapFree>;

} // namespace pz4gif::detail
