#pragma once

// An open file as the plug-in exports see it: a frame count fixed when the file is
// opened, and frames handed out when they are locked. A format takes one of two
// shapes (see PluginExports.h for how a plug-in picks one):
//
//  - DecodedFrames: everything decoded when the file is opened. For formats of one
//    frame (PCX, BMP, PNG), where waiting gains nothing.
//  - SequentialFrames<Codec>: a cheap look at the file's structure when it is
//    opened, each frame decoded when it is first locked. For formats whose frames
//    are drawn one over another (GIF, FLI/FLC), where a long file would otherwise
//    have to be held whole.
//
// Either way, a frame handed out stays at one address and unchanged until the
// source is destroyed, which is when the program closes the file: frame chains keep
// pointers into these buffers and never copy them.

#include "common/FormatKit.h"
#include "common/FrameArena.h"

#include <algorithm>
#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace pz4fmt {

class FrameSource {
public:
    virtual ~FrameSource() = default;

    // Every frame the file holds, as far as its structure could be read; never
    // changes while the file is open, whatever locking finds.
    virtual int frameCount() const = 0;
    // Frame `index`, decoded now if it was not already; the same Frame on every later
    // call. Null when `index` is out of range or when holding the frame would take
    // the source past its cap on held bytes.
    virtual const Frame* lock(int index) = 0;
    // Frame `index` if it was locked already, else null; decodes nothing.
    virtual const Frame* locked(int index) const = 0;
    // Bytes of pixels held now: frames handed out and the screens being worked on.
    virtual size_t heldBytes() const = 0;
};

// Bytes of pixels a frame holds.
inline size_t pixelBytes(const Frame& f) {
    return f.pixels.size();
}

// The decode-at-open shape: every frame decoded before the file counts as open.
class DecodedFrames final : public FrameSource {
public:
    explicit DecodedFrames(Image image) : image_(std::move(image)) {
        for (const Frame& f : image_.frames)
            bytes_ += pixelBytes(f);
    }

    int frameCount() const override { return static_cast<int>(image_.frames.size()); }
    const Frame* lock(int index) override { return locked(index); }
    const Frame* locked(int index) const override {
        if (index < 0 || index >= frameCount())
            return nullptr;
        return &image_.frames[static_cast<size_t>(index)];
    }
    size_t heldBytes() const override { return bytes_; }

private:
    Image image_;
    size_t bytes_ = 0;
};

// A file of a decode-at-open format that reads through a ByteSource, decoded whole
// from `path` by `decode(ByteSource&, Image&, Failure&)`: the decoder reads the parts
// it needs where they lie, with readFile's reasons for a file that cannot be read.
template <class Decode>
std::unique_ptr<FrameSource> decodeFile(const char* path, Failure& why, Decode decode) {
    ByteSource in;
    Image image;
    if (!in.open(path, kMaxFileBytes, why) || !decode(in, image, why))
        return nullptr;
    return std::make_unique<DecodedFrames>(std::move(image));
}

// The on-demand shape, for formats whose every frame is drawn over the screen the
// frames before it left. The format supplies a Codec, made when the file is opened
// from a look at its structure:
//
//   class MyCodec {
//   public:
//       // Copyable; all that frame k + 1 needs of frames 0..k. A step may be given a
//       // copy of any earlier screen, so nothing drawn may live in the codec itself.
//       using Screen = ...;
//       int frameCount() const;              // fixed once made
//       size_t screenBytes() const;          // bytes one Screen holds, at most
//       size_t frameBytes(int index) const;  // bytes frame `index` holds once handed out
//       Screen firstScreen();                // the screen frame 0 is drawn on
//       // Draws frame `index` on `screen` and leaves it as frame index + 1 finds it;
//       // when `out` is given, fills it with the frame as shown. Damage found in the
//       // frame's data is no error: the frame shows what came through, and later
//       // frames are drawn over that.
//       void step(Screen& screen, int index, Frame* out);
//   };
//
//   static std::unique_ptr<pz4fmt::FrameSource> open(std::vector<uint8_t> bytes,
//                                                    pz4fmt::Failure& why) {
//       ... read the structure; nullptr, with why.fail(...), when the file is unusable ...
//       return std::make_unique<pz4fmt::SequentialFrames<MyCodec>>(std::move(codec));
//   }
//
// Locking frames in order costs one step each, as decoding them all at once would.
// A frame before the current screen starts again from the nearest kept copy of the
// screen (a checkpoint) or from the first screen. Checkpoints are kept only once
// frames have been asked for out of order, at most kMaxCheckpoints of them, evenly
// spaced; they are the first thing given up when the cap is near, so locking one late
// frame alone holds one screen and that frame.
//
// Walking backwards (each lock the frame before the last one asked for), every frame
// the screen passes on its way from a checkpoint or the start is drawn and kept ready
// for the locks to come, as far as the cap allows: those locks then cost nothing, and
// the frames passed are drawn once, not once for each frame after them. A checkpoint
// would still leave every frame to be drawn again from it, which for a format whose
// drawing dominates (LZW over every pixel) doubles the cost. Frames kept ready count as
// held; after the checkpoints they are what gives way when a lock needs the room.
//
// Frames handed out are slices of the source's FrameArena, drawn into where they stay.
// Once every frame is out nothing more can be drawn, so the screens, the checkpoints
// and the codec (with the file's bytes it holds) are let go.
template <class Codec> class SequentialFrames final : public FrameSource {
public:
    using Screen = typename Codec::Screen;
    static constexpr int kMaxCheckpoints = 64;

    explicit SequentialFrames(Codec codec, size_t cap = kMaxHeldBytes)
        : codec_(std::move(codec)), cap_(cap), count_(std::max(0, codec_->frameCount())),
          frames_(static_cast<size_t>(count_)), arena_(everyFrameBytes()),
          interval_(std::max(1, (count_ + kMaxCheckpoints - 1) / kMaxCheckpoints)) {}

    int frameCount() const override { return count_; }

    const Frame* lock(int index) override {
        if (index < 0 || index >= count_)
            return nullptr;
        const bool walkingBack = index + 1 == lastAsked_;
        lastAsked_ = index;
        std::unique_ptr<Frame>& slot = frames_[static_cast<size_t>(index)];
        if (slot)
            return slot.get();
        if (auto kept = ready_.find(index); kept != ready_.end()) {
            slot = std::move(kept->second);
            ready_.erase(kept);
            readyBytes_ -= pixelBytes(*slot);
            handedOut(*slot);
            return slot.get();
        }
        const size_t need = codec_->frameBytes(index);
        if (!makeRoom(need + (screen_ ? 0 : codec_->screenBytes()), index))
            return nullptr;
        try {
            startFor(index);
            while (position_ < index) {
                if (walkingBack && keepReady(need))
                    continue;
                keepCheckpoint(need);
                codec_->step(*screen_, position_, nullptr);
                ++position_;
            }
            slot = drawFrame(index);
        } catch (...) {
            // A step cut short leaves the screen half drawn: start afresh next time.
            screen_.reset();
            position_ = 0;
            throw;
        }
        handedOut(*slot);
        return slot.get();
    }

    const Frame* locked(int index) const override {
        if (index < 0 || index >= count_)
            return nullptr;
        return frames_[static_cast<size_t>(index)].get();
    }

    size_t heldBytes() const override {
        if (!codec_)
            return frameBytes_;
        return frameBytes_ + readyBytes_ + (screen_ ? codec_->screenBytes() : 0) +
               checkpoints_.size() * codec_->screenBytes();
    }

    size_t checkpointCount() const { return checkpoints_.size(); }
    // Frames drawn on a backward walk and not locked yet.
    size_t readyCount() const { return ready_.size(); }

private:
    // What the frames would take if every one were handed out: the arena's measure.
    size_t everyFrameBytes() const {
        size_t total = 0;
        for (int k = 0; k < count_; ++k)
            total += std::min(codec_->frameBytes(k), cap_ - std::min(cap_, total));
        return total;
    }

    // Frame `index` drawn from the screen straight into a slice of the arena.
    std::unique_ptr<Frame> drawFrame(int index) {
        const size_t bytes = codec_->frameBytes(index);
        auto frame = std::make_unique<Frame>();
        uint8_t* at = arena_.take(bytes);
        frame->pixels = PixelBuffer::placed(at, bytes);
        try {
            codec_->step(*screen_, index, frame.get());
        } catch (...) {
            arena_.giveBack(at, bytes);
            throw;
        }
        ++position_;
        // A codec that needed more than it said moved the pixels into memory of their own.
        if (frame->pixels.data() != at)
            arena_.giveBack(at, bytes);
        return frame;
    }

    void handedOut(const Frame& frame) {
        frameBytes_ += pixelBytes(frame);
        if (++handedOutCount_ < count_)
            return;
        checkpoints_.clear();
        screen_.reset();
        codec_.reset();
    }

    // The frame the screen is at drawn and kept ready, when it is not out or ready
    // already and fits beside `reserved` more bytes.
    bool keepReady(size_t reserved) {
        if (frames_[static_cast<size_t>(position_)] || ready_.count(position_) != 0)
            return false;
        const size_t bytes = codec_->frameBytes(position_);
        const size_t held = heldBytes() + reserved;
        if (held > cap_ || bytes > cap_ - held)
            return false;
        const int k = position_;
        std::unique_ptr<Frame> frame = drawFrame(k);
        readyBytes_ += pixelBytes(*frame);
        ready_.emplace(k, std::move(frame));
        return true;
    }

    // Frees checkpoints, then frames kept ready, farthest from `index` first, until
    // `extra` more bytes fit.
    bool makeRoom(size_t extra, int index) {
        while (heldBytes() > cap_ || extra > cap_ - heldBytes()) {
            if (!checkpoints_.empty()) {
                checkpoints_.erase(farthest(checkpoints_, index));
                continue;
            }
            if (ready_.empty())
                return false;
            auto far = farthest(ready_, index);
            readyBytes_ -= pixelBytes(*far->second);
            PixelBuffer& pixels = far->second->pixels;
            if (!pixels.ownsBytes())
                arena_.giveBack(pixels.data(), codec_->frameBytes(far->first));
            ready_.erase(far);
        }
        return true;
    }
    template <class Map> static auto farthest(Map& kept, int index) {
        auto far = kept.begin();
        for (auto it = kept.begin(); it != kept.end(); ++it)
            if (distance(it->first, index) > distance(far->first, index))
                far = it;
        return far;
    }
    static int distance(int a, int b) { return a > b ? a - b : b - a; }

    // Puts the screen where frame `index` is drawn from, or as close before it as a
    // checkpoint allows.
    void startFor(int index) {
        const bool usable = screen_ && position_ <= index;
        if (screen_ && position_ > index)
            outOfOrder_ = true;
        auto kept = checkpoints_.upper_bound(index);
        if (kept != checkpoints_.begin()) {
            --kept;
            if (!usable || kept->first > position_) {
                if (screen_)
                    *screen_ = kept->second;
                else
                    screen_ = std::make_unique<Screen>(kept->second);
                position_ = kept->first;
                return;
            }
        }
        if (!usable) {
            screen_ = std::make_unique<Screen>(codec_->firstScreen());
            position_ = 0;
        }
    }

    void keepCheckpoint(size_t reserved) {
        if (!outOfOrder_ || position_ == 0 || position_ % interval_ != 0 ||
            checkpoints_.count(position_) != 0)
            return;
        const size_t held = heldBytes() + reserved;
        if (held > cap_ || codec_->screenBytes() > cap_ - held)
            return;
        checkpoints_.emplace(position_, *screen_);
    }

    std::optional<Codec> codec_; // none once every frame is out
    size_t cap_;
    int count_;
    std::vector<std::unique_ptr<Frame>> frames_;
    int handedOutCount_ = 0;
    size_t frameBytes_ = 0;
    FrameArena arena_;
    std::unique_ptr<Screen> screen_; // none until the first lock: opening holds no screen
    int position_ = 0;               // the frame the screen is ready for
    std::map<int, Screen> checkpoints_;
    int interval_;
    bool outOfOrder_ = false;
    int lastAsked_ = -1;
    std::map<int, std::unique_ptr<Frame>> ready_; // drawn on a backward walk, not out yet
    size_t readyBytes_ = 0;
};

} // namespace pz4fmt
