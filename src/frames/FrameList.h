#pragma once

#include <cstdint>
#include <memory>

// One frame of a frame chain: what the plug-in's LockFrame returned, the number
// shown for it and its mirroring. The chain is its first node; destroying the
// first node releases the whole chain, never the pixel or palette buffers.
class cFrameList {
public:
    // Mirroring bits, as the animation script sets them.
    static constexpr int32_t kMirrorX = 1; // each row reversed
    static constexpr int32_t kMirrorY = 2; // rows in reverse order

    // A node with the frame's own palette (the plug-in's). When `predecessor` is
    // given, it takes this node as its next and owns it from then on. Nodes are
    // made with new; the holder of the first node releases the chain.
    cFrameList(cFrameList* predecessor, unsigned char* pixels, unsigned char* palette,
               int32_t width, int32_t height, int32_t tag, int32_t index, int32_t mirror);
    // A node shown with the program's palette: the record keeps that storage alive,
    // so the colours stay valid when the palette is replaced.
    cFrameList(cFrameList* predecessor, unsigned char* pixels,
               std::shared_ptr<unsigned char[]> sharedPalette, int32_t width, int32_t height,
               int32_t tag, int32_t index, int32_t mirror);
    ~cFrameList();
    cFrameList(const cFrameList&) = delete;
    cFrameList& operator=(const cFrameList&) = delete;

    // The node i steps along (0 is this one); null past the end.
    cFrameList* Get(int32_t i);
    const cFrameList* Get(int32_t i) const;
    // The number of nodes after this one.
    int32_t LastIndex() const;

    unsigned char* pixels;  // width x height bytes, row 0 shown at the bottom; not owned
    unsigned char* palette; // 768 bytes; not owned (the plug-in's or sharedPalette's)
    int32_t width;
    int32_t height;
    int32_t tag;    // LockFrame's last output, handed back to savers uninterpreted
    int32_t index;  // the number shown for the frame
    int32_t mirror; // kMirrorX | kMirrorY bits
    // The palette index shown as transparent (a pixel value before translation),
    // -1 for none.
    int32_t transparent = -1;
    // The frame's number in the open file (`index` is a script step's place in
    // its script), -1 where the chain did not come from a file.
    int32_t frame = -1;
    std::unique_ptr<cFrameList> next;
    // Holds the program's palette when `palette` points into it; empty otherwise.
    std::shared_ptr<unsigned char[]> sharedPalette;
};
