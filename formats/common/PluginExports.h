#pragma once

// The twelve exports of a format plug-in, written once for every format.
// A format supplies a traits type:
//
//   struct MyFormat {
//       static constexpr const char* author = ..., *version = ..., *extension = ...,
//                                    *description = ...;
//       static constexpr bool savesFrames = ..., savesAnims = ...;
//       // One of the two shapes of FrameSource.h; `why` takes the reason of a refusal.
//       // Decoded when opened:
//       static bool decode(const uint8_t* data, size_t size, pz4fmt::Image& out,
//                          pz4fmt::Failure& why);
//       // or decoded frame by frame as they are locked (this one wins if both exist):
//       static std::unique_ptr<pz4fmt::FrameSource> open(pz4fmt::FileBytes bytes,
//                                                        pz4fmt::Failure& why);
//       // Either is handed the whole file, read once. A format that reads files
//       // beside it (a sprite sheet's picture) takes the opened file's path too
//       // (preferred over the two above):
//       static std::unique_ptr<pz4fmt::FrameSource> open(const char* path,
//                                                        pz4fmt::FileBytes bytes,
//                                                        pz4fmt::Failure& why);
//       // A format that reads only the parts it needs, straight to where they
//       // belong, opens the file itself instead (preferred over all three):
//       static std::unique_ptr<pz4fmt::FrameSource> openPath(const char* path,
//                                                            pz4fmt::Failure& why);
//       static bool saveFrame(const pz4fmt::SaveInput& frame);                // if savesFrames
//       // or, for formats that write one file for all the frames SaveObject hands
//       // over (each record keeping its own file name), instead of saveFrame:
//       static bool saveAll(const std::vector<pz4fmt::SaveInput>& frames);
//       static bool saveAnim(const std::vector<pz4fmt::SaveInput>& frames);   // if savesAnims
//   };
//   PZ4_DEFINE_FORMAT_PLUGIN(MyFormat)
//
// A file that opens holds at least one frame. Nothing is thrown across an export:
// any exception becomes a false answer, or no frames. Beside the twelve,
// GetFailureReason tells why the last LoadObject failed, GetFrameTransparency
// reports a locked frame's Frame::transparentIndex, and SetSaveTransparency hands
// the next save each record's transparent index (SaveInput::transparentIndex).

#include "common/Failure.h"
#include "common/FormatKit.h"
#include "common/FrameSource.h"
#include "pz4/PluginContract.h"

#include <algorithm>
#include <array>
#include <memory>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

namespace pz4fmt {

template <class Format> struct OpenFile {
    // The open file; the buffers it hands out stay put until the next load or unload.
    static std::unique_ptr<FrameSource>& source() {
        static std::unique_ptr<FrameSource> open;
        return open;
    }
    // Why the last load failed, NUL-terminated; empty after a load that worked or
    // when the decoder could not say. A fixed buffer: recording it cannot throw.
    static std::array<char, 256>& failure() {
        static std::array<char, 256> reason{};
        return reason;
    }
    static void setFailure(std::string_view reason) noexcept {
        const size_t n = std::min(reason.size(), failure().size() - 1);
        std::copy_n(reason.data(), n, failure().data());
        failure()[n] = '\0';
    }
};

template <class Format>
std::unique_ptr<FrameSource> openSource(const char* path, FileBytes&& bytes, Failure& why) {
    if constexpr (requires { Format::open(path, std::move(bytes), why); }) {
        return Format::open(path, std::move(bytes), why);
    } else if constexpr (requires { Format::open(std::move(bytes), why); }) {
        return Format::open(std::move(bytes), why);
    } else {
        Image decoded;
        if (!Format::decode(bytes.data(), bytes.size(), decoded, why))
            return nullptr;
        return std::make_unique<DecodedFrames>(std::move(decoded));
    }
}

template <class Format> std::unique_ptr<FrameSource> openFile(const char* path, Failure& why) {
    if constexpr (requires { Format::openPath(path, why); }) {
        return Format::openPath(path, why);
    } else {
        FileBytes bytes;
        if (!readFile(path, bytes, kMaxFileBytes, &why))
            return nullptr;
        return openSource<Format>(path, std::move(bytes), why);
    }
}

template <class Format> int loadObject(const char* path) noexcept {
    OpenFile<Format>::failure()[0] = '\0';
    try {
        OpenFile<Format>::source().reset();
        Failure why;
        std::unique_ptr<FrameSource> opened = openFile<Format>(path, why);
        if (!opened) {
            OpenFile<Format>::setFailure(why.reason());
            return 0;
        }
        if (opened->frameCount() <= 0) {
            OpenFile<Format>::setFailure("the file holds no frames");
            return 0;
        }
        OpenFile<Format>::source() = std::move(opened);
        return 1;
    } catch (const std::bad_alloc&) {
        OpenFile<Format>::source().reset();
        OpenFile<Format>::setFailure("out of memory");
        return 0;
    } catch (...) {
        OpenFile<Format>::source().reset();
        OpenFile<Format>::setFailure("the plug-in failed unexpectedly");
        return 0;
    }
}

template <class Format> const char* failureReason() noexcept {
    return OpenFile<Format>::failure().data();
}

template <class Format> int frameTransparency(int index) noexcept {
    const FrameSource* source = OpenFile<Format>::source().get();
    const Frame* f = source != nullptr ? source->locked(index) : nullptr;
    return f != nullptr ? f->transparentIndex : -1;
}

// The transparent indices the program gave for the next save, record by record;
// taken by that save, so a later one without them saves none.
template <class Format> struct SaveTransparency {
    static std::vector<int>& pending() {
        static std::vector<int> indices;
        return indices;
    }
    static void set(const int* indices, int count) noexcept {
        try {
            if (indices == nullptr)
                pending().clear();
            else
                pending().assign(indices, indices + std::max(count, 0));
        } catch (...) {
            pending().clear();
        }
    }
    static std::vector<int> take() noexcept {
        std::vector<int> taken;
        taken.swap(pending());
        return taken;
    }
};

inline int transparencyOf(const std::vector<int>& indices, size_t record) {
    return record < indices.size() && indices[record] >= 0 && indices[record] <= 255
               ? indices[record]
               : -1;
}

template <class Format> void unloadObject() noexcept {
    OpenFile<Format>::source().reset();
}

template <class Format> int numberOfFrames() noexcept {
    const auto& source = OpenFile<Format>::source();
    return source ? source->frameCount() : 0;
}

template <class Format>
int lockFrame(int index, unsigned char** pixels, unsigned char** palette, int* width, int* height,
              int* colorCount, int* tag) noexcept {
    FrameSource* source = OpenFile<Format>::source().get();
    if (source == nullptr || pixels == nullptr || palette == nullptr || width == nullptr ||
        height == nullptr || colorCount == nullptr || tag == nullptr)
        return 0;
    try {
        // Handed out as the contract's mutable pointers; the plug-in never writes a
        // frame again once it is out.
        Frame* f = const_cast<Frame*>(source->lock(index));
        if (f == nullptr)
            return 0;
        *pixels = f->pixels.data();
        *palette = f->hasPalette ? f->palette.data() : nullptr;
        *width = f->width;
        *height = f->height;
        *colorCount = f->colorCount;
        *tag = f->tag;
        return 1;
    } catch (...) {
        return 0;
    }
}

inline SaveInput saveInputOf(const SAVE_FRAME& r) {
    return SaveInput{r.fileName, r.pixels, r.palette, r.width, r.height, r.colorCount, r.tag};
}

template <class Format> int saveObject(SAVE_FRAME* first) noexcept {
    const std::vector<int> transparency = SaveTransparency<Format>::take();
    if constexpr (!Format::savesFrames) {
        (void)first;
        return 0;
    } else {
        try {
            if (first == nullptr)
                return 0;
            if constexpr (requires(const std::vector<SaveInput>& all) { Format::saveAll(all); }) {
                // One file for the whole chain: a bad record spoils it, as in an animation.
                std::vector<SaveInput> all;
                for (SAVE_FRAME* r = first; r != nullptr; r = r->next) {
                    all.push_back(saveInputOf(*r));
                    all.back().transparentIndex = transparencyOf(transparency, all.size() - 1);
                    if (!validSaveInput(all.back()))
                        return 0;
                }
                return Format::saveAll(all) ? 1 : 0;
            } else {
                // Every record is attempted; one bad record does not stop the others.
                bool ok = true;
                size_t k = 0;
                for (SAVE_FRAME* r = first; r != nullptr; r = r->next, ++k) {
                    SaveInput in = saveInputOf(*r);
                    in.transparentIndex = transparencyOf(transparency, k);
                    ok = validSaveInput(in) && Format::saveFrame(in) && ok;
                }
                return ok ? 1 : 0;
            }
        } catch (...) {
            return 0;
        }
    }
}

template <class Format> int saveAnim(SAVE_FRAME* first) noexcept {
    const std::vector<int> transparency = SaveTransparency<Format>::take();
    if constexpr (!Format::savesAnims) {
        (void)first;
        return 0;
    } else {
        try {
            if (first == nullptr || first->fileName == nullptr || first->fileName[0] == '\0')
                return 0;
            std::vector<SaveInput> frames;
            for (SAVE_FRAME* r = first; r != nullptr; r = r->next) {
                SaveInput in = saveInputOf(*r);
                in.transparentIndex = transparencyOf(transparency, frames.size());
                in.fileName = first->fileName; // an animation has one file, named in the first
                if (!validSaveInput(in))
                    return 0;
                frames.push_back(in);
            }
            return Format::saveAnim(frames) ? 1 : 0;
        } catch (...) {
            return 0;
        }
    }
}

} // namespace pz4fmt

#define PZ4_DEFINE_FORMAT_PLUGIN(Format)                                                           \
    PZ4_EXPORT const char* GetDllAuthor() {                                                        \
        return Format::author;                                                                     \
    }                                                                                              \
    PZ4_EXPORT const char* GetExtension() {                                                        \
        return Format::extension;                                                                  \
    }                                                                                              \
    PZ4_EXPORT const char* GetDllVersion() {                                                       \
        return Format::version;                                                                    \
    }                                                                                              \
    PZ4_EXPORT const char* GetDescription() {                                                      \
        return Format::description;                                                                \
    }                                                                                              \
    PZ4_EXPORT int SupportsSaveFrames() {                                                          \
        return Format::savesFrames ? 1 : 0;                                                        \
    }                                                                                              \
    PZ4_EXPORT int SupportsSaveAnims() {                                                           \
        return Format::savesAnims ? 1 : 0;                                                         \
    }                                                                                              \
    PZ4_EXPORT int LoadObject(char* path) {                                                        \
        return pz4fmt::loadObject<Format>(path);                                                   \
    }                                                                                              \
    PZ4_EXPORT void UnloadObject() {                                                               \
        pz4fmt::unloadObject<Format>();                                                            \
    }                                                                                              \
    PZ4_EXPORT int GetNumberOfFrames() {                                                           \
        return pz4fmt::numberOfFrames<Format>();                                                   \
    }                                                                                              \
    PZ4_EXPORT int LockFrame(int index, unsigned char** pixels, unsigned char** palette,           \
                             int* width, int* height, int* colorCount, int* tag) {                 \
        return pz4fmt::lockFrame<Format>(index, pixels, palette, width, height, colorCount, tag);  \
    }                                                                                              \
    PZ4_EXPORT int SaveObject(SAVE_FRAME* first) {                                                 \
        return pz4fmt::saveObject<Format>(first);                                                  \
    }                                                                                              \
    PZ4_EXPORT int SaveAnim(SAVE_FRAME* first) {                                                   \
        return pz4fmt::saveAnim<Format>(first);                                                    \
    }                                                                                              \
    PZ4_EXPORT const char* GetFailureReason() {                                                    \
        return pz4fmt::failureReason<Format>();                                                    \
    }                                                                                              \
    PZ4_EXPORT int GetFrameTransparency(int frame) {                                               \
        return pz4fmt::frameTransparency<Format>(frame);                                           \
    }                                                                                              \
    PZ4_EXPORT void SetSaveTransparency(const int* indices, int count) {                           \
        pz4fmt::SaveTransparency<Format>::set(indices, count);                                     \
    }
