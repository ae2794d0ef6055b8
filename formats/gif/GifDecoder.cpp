#include "GifBlocks.h"
#include "GifCanvas.h"
#include "GifCodec.h"
#include "GifHandles.h"
#include "common/FrameSource.h"

#include <array>
#include <memory>
#include <optional>
#include <string>

namespace pz4gif {
namespace {

using namespace detail;
using pz4fmt::Palette;

struct Drawn {
    bool whole = true;
    int rows = 0;
};

// Reads the rows of the current image into the canvas, up to any damage.
Drawn drawImage(GifFileType* gif, Canvas& canvas, const Rect& r, int slot, int transparent) {
    const GifImageDesc& d = gif->Image;
    std::vector<GifPixelType> line(static_cast<size_t>(d.Width));
    Drawn drawn;
    auto row = [&](int y) {
        if (DGifGetLine(gif, line.data(), d.Width) == GIF_ERROR)
            return false;
        canvas.drawRow(d.Top + y, d.Left, r, line.data(), slot, transparent);
        ++drawn.rows;
        return true;
    };
    if (d.Interlace) {
        static constexpr int kStart[4] = {0, 4, 2, 1};
        static constexpr int kStep[4] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (int y = kStart[pass]; y < d.Height; y += kStep[pass])
                if (!row(y)) {
                    drawn.whole = false;
                    return drawn;
                }
    } else {
        for (int y = 0; y < d.Height; ++y)
            if (!row(y)) {
                drawn.whole = false;
                return drawn;
            }
    }
    return drawn;
}

// The GIF side of pz4fmt::SequentialFrames: a file's structure, and how to draw
// each of its frames on a screen.
class GifCodec {
public:
    using Screen = Canvas;

    GifCodec(pz4fmt::FileBytes bytes, Structure structure)
        : bytes_(std::move(bytes)), s_(std::move(structure)) {
        // Held for as long as the file is open: no spare capacity from reading it.
        s_.frames.shrink_to_fit();
    }

    int frameCount() const { return static_cast<int>(s_.frames.size()); }
    size_t screenBytes() const {
        const size_t area = static_cast<size_t>(s_.width) * static_cast<size_t>(s_.height);
        // The screen's sources, the colour tables, and the area kept for a restore.
        return area * sizeof(uint16_t) + sizeof(std::array<Palette, Canvas::kSlots>) +
               (s_.restores ? area * sizeof(uint16_t) : 0);
    }
    size_t frameBytes(int) const {
        return static_cast<size_t>(s_.width) * static_cast<size_t>(s_.height);
    }

    Canvas firstScreen() {
        Canvas canvas(s_.width, s_.height);
        globalSlot_ = s_.globalCount > 0
                          ? canvas.slotFor(bytes_.data() + s_.globalTable, s_.globalCount)
                          : Canvas::kRawSlot;
        canvas.setBackground(static_cast<uint16_t>((globalSlot_ << 8) | s_.background));
        return canvas;
    }

    void step(Canvas& canvas, int index, pz4fmt::Frame* out) {
        const FrameRecord& f = s_.frames[static_cast<size_t>(index)];
        const bool local = f.localCount > 0;
        const int slot =
            local ? canvas.slotFor(bytes_.data() + f.localTable, f.localCount) : globalSlot_;
        const int tableSize = local ? f.localCount : s_.globalCount;
        const Rect r = canvas.clip(f.left, f.top, f.width, f.height);
        if (f.control.disposal == DISPOSE_PREVIOUS)
            canvas.save(r);
        MemoryReader reader{};
        detail::DecoderPtr gif = decoderAt(bytes_.data(), bytes_.size(), reader, f);
        lastDrawn_ =
            gif ? drawImage(gif.get(), canvas, r, slot, f.control.transparent) : Drawn{false, 0};
        if (out != nullptr) {
            if (!scratch_)
                scratch_ = std::make_unique<EmitScratch>();
            const int transparent =
                f.control.transparent != NO_TRANSPARENT_COLOR ? f.control.transparent : -1;
            canvas.emit(slot, tableSize, transparent, *out, *scratch_);
            out->tag = f.control.delay;
        }
        if (f.control.disposal == DISPOSE_BACKGROUND)
            canvas.clearToBackground(r);
        else if (f.control.disposal == DISPOSE_PREVIOUS)
            canvas.restore();
    }

    // How much of the last frame stepped through came out of its data.
    Drawn lastDrawn() const { return lastDrawn_; }

private:
    pz4fmt::FileBytes bytes_;
    Structure s_;
    int globalSlot_ = Canvas::kRawSlot;
    std::unique_ptr<EmitScratch> scratch_; // made when the first frame is shown
    Drawn lastDrawn_;
};

// The codec of `bytes`, or none (with the reason) when not one frame can be read.
std::optional<GifCodec> openCodec(pz4fmt::FileBytes bytes, std::string& why) {
    Structure s;
    if (!readStructure(bytes.data(), bytes.size(), s, why))
        return std::nullopt;
    if (s.frames.empty()) {
        why = s.stop.empty() ? "the file holds no frames" : s.stop;
        return std::nullopt;
    }
    return GifCodec(std::move(bytes), std::move(s));
}

} // namespace

std::unique_ptr<pz4fmt::FrameSource> openGif(pz4fmt::FileBytes bytes, size_t maxHeldBytes,
                                             pz4fmt::Failure* why) {
    std::string reason;
    std::optional<GifCodec> codec = openCodec(std::move(bytes), reason);
    if (!codec) {
        if (why != nullptr)
            why->fail("%s", reason.c_str());
        return nullptr;
    }
    return std::make_unique<pz4fmt::SequentialFrames<GifCodec>>(std::move(*codec), maxHeldBytes);
}

bool decodeGif(const uint8_t* data, size_t size, pz4fmt::Image& out, size_t maxHeldBytes,
               pz4fmt::Failure* why) {
    out.frames.clear();
    std::string reason;
    pz4fmt::Failure ignored;
    auto fail = [&](const std::string& text) {
        return (why != nullptr ? *why : ignored).fail("%s", text.c_str());
    };
    if (data == nullptr || size == 0)
        return fail("the file is empty");
    std::optional<GifCodec> codec = openCodec(std::vector<uint8_t>(data, data + size), reason);
    if (!codec)
        return fail(reason);
    size_t held = codec->screenBytes();
    if (held > maxHeldBytes)
        return fail("the screen alone is beyond the limit on pixels held");
    Canvas screen = codec->firstScreen();
    for (int k = 0; k < codec->frameCount(); ++k) {
        const size_t need = codec->frameBytes(k);
        if (need > maxHeldBytes - held)
            break;
        pz4fmt::Frame frame;
        codec->step(screen, k, &frame);
        const Drawn drawn = codec->lastDrawn();
        // A damaged image still shows the rows that came through, as viewers do; one
        // that yielded none is no frame. Either way the frames end there.
        if (drawn.rows == 0 && !drawn.whole)
            break;
        held += need;
        out.frames.push_back(std::move(frame));
        if (!drawn.whole)
            break;
    }
    if (out.frames.empty())
        return fail(codec->lastDrawn().whole ? "frame 0 is beyond the limit on pixels held"
                                             : "the image data of frame 0 is damaged");
    return true;
}

} // namespace pz4gif
