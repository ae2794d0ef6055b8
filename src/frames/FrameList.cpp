#include "frames/FrameList.h"

cFrameList::cFrameList(cFrameList* predecessor, unsigned char* pixels, unsigned char* palette,
                       int32_t width, int32_t height, int32_t tag, int32_t index, int32_t mirror)
    : pixels(pixels), palette(palette), width(width), height(height), tag(tag), index(index),
      mirror(mirror) {
    if (predecessor != nullptr)
        predecessor->next.reset(this);
}

cFrameList::cFrameList(cFrameList* predecessor, unsigned char* pixels,
                       std::shared_ptr<unsigned char[]> shared, int32_t width, int32_t height,
                       int32_t tag, int32_t index, int32_t mirror)
    : cFrameList(predecessor, pixels, shared.get(), width, height, tag, index, mirror) {
    sharedPalette = std::move(shared);
}

cFrameList::~cFrameList() {
    // One node at a time: an animation chain may hold many thousands of frames.
    std::unique_ptr<cFrameList> rest = std::move(next);
    while (rest)
        rest = std::move(rest->next);
}

cFrameList* cFrameList::Get(int32_t i) {
    return const_cast<cFrameList*>(static_cast<const cFrameList*>(this)->Get(i));
}

const cFrameList* cFrameList::Get(int32_t i) const {
    if (i < 0)
        return nullptr;
    const cFrameList* node = this;
    for (; i > 0 && node != nullptr; --i)
        node = node->next.get();
    return node;
}

int32_t cFrameList::LastIndex() const {
    int32_t n = 0;
    for (const cFrameList* node = next.get(); node != nullptr; node = node->next.get())
        ++n;
    return n;
}
