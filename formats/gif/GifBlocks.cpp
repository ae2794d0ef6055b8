#include "GifBlocks.h"

#include "GifCodec.h"
#include "common/FormatKit.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

namespace pz4gif::detail {
namespace {

int readFromMemory(GifFileType* gif, GifByteType* buffer, int length) {
    auto* reader = static_cast<MemoryReader*>(gif->UserData);
    if (length <= 0)
        return 0;
    const size_t n = std::min(static_cast<size_t>(length), reader->size - reader->pos);
    if (n > 0)
        std::memcpy(buffer, reader->data + reader->pos, n);
    reader->pos += n;
    return static_cast<int>(n);
}

// Whether a frame cut short by the end of the file yields a row: it is a frame
// (showing what came through) only then.
bool firstRowDecodes(const uint8_t* bytes, size_t size, const FrameRecord& f) {
    MemoryReader reader{};
    DecoderPtr gif = decoderAt(bytes, size, reader, f);
    std::vector<GifPixelType> line(static_cast<size_t>(f.width));
    return gif && DGifGetLine(gif.get(), line.data(), f.width) == GIF_OK;
}

std::string sizeText(int width, int height) {
    return std::to_string(width) + "x" + std::to_string(height) + " pixels";
}

} // namespace

DecoderPtr decoderAt(const uint8_t* bytes, size_t size, MemoryReader& reader,
                     const FrameRecord& f) {
    reader = MemoryReader{bytes, size, 0};
    int error = 0;
    DecoderPtr gif(DGifOpen(&reader, readFromMemory, &error));
    if (!gif)
        return nullptr;
    reader.pos = f.descriptor;
    if (DGifGetImageHeader(gif.get()) == GIF_ERROR)
        return nullptr;
    return gif;
}

bool readStructure(const uint8_t* b, size_t size, Structure& s, std::string& why) {
    if (size < 3 || b[0] != 'G' || b[1] != 'I' || b[2] != 'F') {
        why = "not a GIF file";
        return false;
    }
    if (size < 13) {
        why = "file ends inside the screen descriptor";
        return false;
    }
    const int screenWidth = pz4fmt::le16(&b[6]);
    const int screenHeight = pz4fmt::le16(&b[8]);
    s.background = b[11];
    size_t pos = 13;
    if (b[10] & 0x80) {
        s.globalCount = 1 << ((b[10] & 7) + 1);
        s.globalTable = pos;
        pos += static_cast<size_t>(s.globalCount) * 3;
        if (pos > size) {
            why = "file ends inside the global colour table";
            return false;
        }
    }

    FrameControl control;
    // Sub-blocks from `pos` to their terminator; false when the file ends first.
    auto skipSubBlocks = [&]() {
        for (;;) {
            if (pos >= size)
                return false;
            const size_t length = b[pos++];
            if (length == 0)
                return true;
            if (length > size - pos) {
                pos = size;
                return false;
            }
            pos += length;
        }
    };
    auto stop = [&](std::string reason) {
        s.stop = std::move(reason);
        return true;
    };
    for (;;) {
        const std::string frame = "frame " + std::to_string(s.frames.size());
        if (pos >= size)
            return stop("file ends before " + frame);
        const uint8_t introducer = b[pos++];
        if (introducer == 0x3B)
            return true;
        if (introducer == 0x21) {
            if (pos >= size)
                return stop("file ends inside an extension before " + frame);
            const uint8_t label = b[pos++];
            // Only a control block of exactly four bytes counts; any other is ignored.
            if (label == 0xF9 && pos + 5 <= size && b[pos] == 4) {
                const uint8_t packed = b[pos + 1];
                control.disposal = (packed >> 2) & 7;
                control.delay = pz4fmt::le16(&b[pos + 2]);
                control.transparent = (packed & 1) ? b[pos + 4] : NO_TRANSPARENT_COLOR;
            }
            if (!skipSubBlocks())
                return stop("file ends inside an extension before " + frame);
            continue;
        }
        if (introducer != 0x2C) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%02X", introducer);
            return stop(std::string("unknown block ") + hex + " before " + frame);
        }
        if (s.frames.size() >= kMaxFrames)
            return stop("more than " + std::to_string(kMaxFrames) + " frames");
        FrameRecord f;
        f.descriptor = pos;
        f.control = control;
        control = FrameControl{};
        if (size - pos < 9)
            return stop("file ends inside " + frame);
        f.left = pz4fmt::le16(&b[pos]);
        f.top = pz4fmt::le16(&b[pos + 2]);
        f.width = pz4fmt::le16(&b[pos + 4]);
        f.height = pz4fmt::le16(&b[pos + 6]);
        const uint8_t packed = b[pos + 8];
        pos += 9;
        if (packed & 0x80) {
            f.localCount = 1 << ((packed & 7) + 1);
            f.localTable = pos;
            if (static_cast<size_t>(f.localCount) * 3 > size - pos)
                return stop("file ends inside " + frame);
            pos += static_cast<size_t>(f.localCount) * 3;
        }
        if (pos >= size)
            return stop("file ends inside " + frame);
        const int codeSize = b[pos++];
        if (codeSize > 8)
            return stop("LZW minimum code size " + std::to_string(codeSize) +
                        " is out of range in " + frame);
        if (f.width <= 0 || f.height <= 0)
            return stop(frame + " of " + sizeText(f.width, f.height) + " is empty");
        if (f.width > pz4fmt::kMaxSide || f.height > pz4fmt::kMaxSide)
            return stop(frame + " of " + sizeText(f.width, f.height) + " is larger than " +
                        std::to_string(pz4fmt::kMaxSide) + " a side");
        if (s.frames.empty()) {
            // A screen of no size is taken to be as large as the first image needs,
            // as viewers do.
            s.width = screenWidth > 0 ? screenWidth : f.left + f.width;
            s.height = screenHeight > 0 ? screenHeight : f.top + f.height;
            if (s.width > pz4fmt::kMaxSide || s.height > pz4fmt::kMaxSide)
                return stop("screen of " + sizeText(s.width, s.height) + " is larger than " +
                            std::to_string(pz4fmt::kMaxSide) + " a side");
        }
        if (!skipSubBlocks()) {
            if (firstRowDecodes(b, size, f))
                s.frames.push_back(f);
            return stop("file ends inside " + frame);
        }
        s.restores = s.restores || f.control.disposal == DISPOSE_PREVIOUS;
        s.frames.push_back(f);
    }
}

} // namespace pz4gif::detail
