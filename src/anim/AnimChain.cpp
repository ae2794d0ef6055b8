#include "anim/AnimChain.h"

#include "anim/ScriptList.h"
#include "frames/IntList.h"
#include "plugins/DllManager.h"
#include "plugins/SaveChain.h"
#include "plugins/SaveNames.h"

#include <cstring>
#include <utility>
#include <vector>

namespace {

// Appends at the tail it keeps: a chain of thousands of frames is built in
// linear time.
class ChainBuilder {
public:
    ChainBuilder(cDllManager& plugins, const std::shared_ptr<unsigned char[]>& palette)
        : plugins_(plugins), palette_(palette) {}

    void add(int32_t frame, int32_t index, int32_t mirror) {
        const std::optional<LockedFrame> f = plugins_.LockFrame(frame);
        if (!f)
            return;
        cFrameList* node = f->palette != nullptr
                               ? new cFrameList(last_, f->pixels, f->palette, f->width, f->height,
                                                f->tag, index, mirror)
                               : new cFrameList(last_, f->pixels, palette_, f->width, f->height,
                                                f->tag, index, mirror);
        node->transparent = f->transparent;
        node->frame = frame;
        if (!first_)
            first_.reset(node);
        last_ = node;
    }

    std::unique_ptr<cFrameList> take() { return std::move(first_); }

private:
    cDllManager& plugins_;
    const std::shared_ptr<unsigned char[]>& palette_;
    std::unique_ptr<cFrameList> first_;
    cFrameList* last_ = nullptr;
};

} // namespace

std::unique_ptr<cFrameList> LockFrameList(cDllManager& plugins,
                                          const std::shared_ptr<unsigned char[]>& palette,
                                          const cIntList* indices) {
    ChainBuilder builder(plugins, palette);
    // Walked node by node: Get(i) would start from the head for every frame.
    for (const cIntList* at = indices; at; at = at->next.get())
        builder.add(at->value, at->value, 0);
    return builder.take();
}

std::unique_ptr<cFrameList> LockFrameRange(cDllManager& plugins,
                                           const std::shared_ptr<unsigned char[]>& palette,
                                           int32_t from, int32_t to) {
    ChainBuilder builder(plugins, palette);
    // Counted in 64 bits: a range ending at the largest int must still end.
    for (int64_t i = from; i <= to; ++i)
        builder.add(static_cast<int32_t>(i), static_cast<int32_t>(i), 0);
    return builder.take();
}

std::unique_ptr<cFrameList> LockScriptSteps(cDllManager& plugins,
                                            const std::shared_ptr<unsigned char[]>& palette,
                                            const cScriptList& steps) {
    ChainBuilder builder(plugins, palette);
    // Walked node by node; fetching step i from the head each time is quadratic.
    int32_t i = 0;
    for (const cScriptList* step = &steps; step != nullptr; step = step->next.get(), ++i)
        builder.add(step->frameNumber, i, step->flags);
    return builder.take();
}

std::unique_ptr<unsigned char[]> MirroredCopy(const unsigned char* pixels, int32_t width,
                                              int32_t height, int32_t mirror) {
    const size_t w = static_cast<size_t>(width);
    const size_t h = static_cast<size_t>(height);
    auto copy = std::make_unique<unsigned char[]>(w * h);
    for (size_t r = 0; r < h; ++r) {
        const unsigned char* from = pixels + r * w;
        const size_t to = (mirror & cFrameList::kMirrorY) ? h - 1 - r : r;
        unsigned char* out = copy.get() + to * w;
        if (mirror & cFrameList::kMirrorX) {
            for (size_t c = 0; c < w; ++c)
                out[c] = from[w - 1 - c];
        } else {
            std::memcpy(out, from, w);
        }
    }
    return copy;
}

bool SaveAnimation(cDllManager& plugins, const cFrameList& first, const char* fileName,
                   const char* extension, const unsigned char* fallbackPalette) {
    cSaveChain chain(cSaveChain::Kind::Animation, fallbackPalette);
    std::vector<std::unique_ptr<unsigned char[]>> copies;
    for (const cFrameList* node = &first; node != nullptr; node = node->next.get()) {
        unsigned char* pixels = node->pixels;
        if (node->mirror != 0) {
            copies.push_back(MirroredCopy(node->pixels, node->width, node->height, node->mirror));
            pixels = copies.back().get();
        }
        chain.Append(fileName, pixels, node->palette, node->width, node->height, 256, node->tag,
                     node->transparent);
    }
    return plugins.SaveAnimWith(extension, chain.First(), chain.Transparency());
}

FrameSaveResult SaveFrames(cDllManager& plugins, cSaveChain::Kind kind, const cIntList* frames,
                           const char* path, const char* extension,
                           const unsigned char* fallbackPalette, LockFailure onLockFailure) {
    FrameSaveResult result;
    const bool animation = kind == cSaveChain::Kind::Animation;
    // One frame, or an animation's one file, goes without a number.
    const int named = animation || frames == nullptr ? 1 : frames->LastIndex() + 1;
    cSaveChain chain(kind, fallbackPalette);
    // Walked node by node: Get(i) would start from the head for every frame.
    for (const cIntList* node = frames; node != nullptr; node = node->next.get()) {
        const std::optional<LockedFrame> f = plugins.LockFrame(node->value);
        if (!f) {
            result.unlockedFrame = node->value;
            if (onLockFailure == LockFailure::SaveThoseBefore)
                break;
            result.files.clear();
            return result;
        }
        const JqString name = frameOutputName(path, node->value, named, extension);
        if (!animation || result.files.empty())
            result.files.push_back(name.str());
        chain.Append(name.c_str(), f->pixels, f->palette, f->width, f->height, f->colorCount,
                     f->tag, f->transparent);
    }
    if (chain.Count() == 0)
        return result;
    result.asked = true;
    result.saved = animation
                       ? plugins.SaveAnimWith(extension, chain.First(), chain.Transparency())
                       : plugins.SaveFramesWith(extension, chain.First(), chain.Transparency());
    return result;
}
