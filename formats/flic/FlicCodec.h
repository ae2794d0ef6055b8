#pragma once

// FLI and FLC animations for the pzfli and pzflc plug-ins, usable (and tested)
// without them. Reads both variants whatever a file is called; writes FLC.
//
// Opening a file walks its chunk headers only (scanFlic), which gives the true
// frame count and where each frame lies; frames are then drawn one after another
// on a screen from there, so a plug-in decodes frames when they are asked for.

#include "common/FormatKit.h"
#include "common/FrameSource.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace pz4flic {

// The header's frame count is one 16-bit word; more frames cannot be written, and
// a file that claims no count is not read past this many frame chunks.
inline constexpr size_t kMaxFrames = 65535;

inline constexpr uint16_t kFliMagic = 0xAF11;
inline constexpr uint16_t kFlcMagic = 0xAF12;
inline constexpr size_t kHeaderSize = 128;

// Chunk types: the frame and its sub-chunks. Anything else at the top level (the
// prefix of settings before the first frame, segment tables) is skipped.
inline constexpr uint16_t kFrameChunk = 0xF1FA;
enum SubChunk : uint16_t {
    kColour256 = 4,  // palette runs, 8 bits a component
    kWordDelta = 7,  // changes against the previous screen, two pixels at a time
    kColour64 = 11,  // palette runs, 6 bits a component
    kByteDelta = 12, // changes against the previous screen, a pixel at a time
    kBlack = 13,     // the whole screen to index 0
    kByteRun = 15,   // the whole screen, run-length coded
    kLiteral = 16,   // the whole screen, uncompressed
    kStamp = 18,     // a thumbnail for file pickers
};

// Where frame k's chunk lies in the file and how long it is shown.
struct FrameEntry {
    size_t offset = 0; // of the frame chunk's 16-byte header
    size_t size = 0;   // the whole chunk, header included
    int tag = 1;       // delay in 1/100 s, at least 1
};

struct FlicInfo {
    bool fli = false; // 0xAF11: speed in 1/70 s; else 0xAF12: speed in milliseconds
    int width = 0;
    int height = 0;
    std::vector<FrameEntry> frames; // the ring frame at the end is not among them
    // Why the walk stopped before the count the header gives, or null when it did not.
    const char* damage = nullptr;
};

// Reads the header and walks the chunk headers. A frame chunk, or one of its
// sub-chunks, whose size runs past its parent is damage: the frames before it are
// kept. False (with `out.damage` saying why) when the file is no FLIC of 8-bit
// pixels or holds no whole frame.
bool scanFlic(const uint8_t* data, size_t size, FlicInfo& out);

// What the frames drawn so far leave for the next one: the screen and the palette.
struct FlicScreen {
    std::vector<uint8_t> pixels; // top row first, as the file stores it
    pz4fmt::Palette palette{};
};

// The screen frame 0 is drawn on: index 0 everywhere, every colour black.
FlicScreen firstScreen(const FlicInfo& info);
// Applies frame `index`'s chunks to `screen`. Pixel data that is damaged, or points
// outside the screen, is dropped where it goes wrong: the frame shows what came
// through. `data` is the file that `info` was scanned from.
void drawFrame(const uint8_t* data, size_t size, const FlicInfo& info, size_t index,
               FlicScreen& screen);
// The screen as the program takes a frame: rows bottom-up, the palette in effect,
// colorCount 256, frame `index`'s tag.
void emitFrame(const FlicInfo& info, size_t index, const FlicScreen& screen, pz4fmt::Frame& out);

// One open file for the format kit's SequentialFrames: it keeps the file's bytes and
// draws frame after frame on a screen.
class FlicFrames {
public:
    using Screen = FlicScreen;

    FlicFrames(pz4fmt::FileBytes bytes, FlicInfo info)
        : bytes_(std::move(bytes)), info_(std::move(info)) {}

    int frameCount() const { return static_cast<int>(info_.frames.size()); }
    size_t screenBytes() const {
        return static_cast<size_t>(info_.width) * static_cast<size_t>(info_.height);
    }
    size_t frameBytes(int) const { return screenBytes(); }
    Screen firstScreen() const { return pz4flic::firstScreen(info_); }
    void step(Screen& screen, int index, pz4fmt::Frame* out) const;

private:
    pz4fmt::FileBytes bytes_;
    FlicInfo info_;
};

// The file opened with its frames decoded as they are locked, holding at most `cap`
// bytes of pixels at once; null when scanFlic refuses it, with its reason in `why`
// when given.
std::unique_ptr<pz4fmt::FrameSource> openFlic(pz4fmt::FileBytes bytes,
                                              size_t cap = pz4fmt::kMaxHeldBytes,
                                              pz4fmt::Failure* why = nullptr);

// Every frame at once, within `maxDecodedBytes` of pixels for the working screen
// and the frames handed out (the frames past the cap are left out). False when not
// even one frame could be read.
bool decodeFlic(const uint8_t* data, size_t size, pz4fmt::Image& out,
                size_t maxDecodedBytes = pz4fmt::kMaxHeldBytes);

// One FLC animation of `frames` in order: the screen is the largest frame, smaller
// ones at its top left over index 0. The first frame is a byte run, each later one
// the smaller of a word delta and a byte run against the screen before it (nothing
// when unchanged; a byte run when the last column of an odd width changes, which
// ffmpeg does not read from a word delta). Palettes go out as the runs of entries
// that changed; a ring frame leads back to the first. The speed comes from the first
// frame's tag, and a later frame whose tag differs carries its own delay (1/100 s to
// ms; a tag of 0 or less counts as 1).
bool encodeFlc(const std::vector<pz4fmt::SaveInput>& frames, std::vector<uint8_t>& out);

// As above, written to frame.fileName (the first frame's for an animation).
bool saveFlcImage(const pz4fmt::SaveInput& frame);
bool saveFlcAnimation(const std::vector<pz4fmt::SaveInput>& frames);

} // namespace pz4flic
