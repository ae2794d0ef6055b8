#include "plugins/SaveChain.h"

#include <cstring>

cSaveChain::cSaveChain(Kind kind, const unsigned char* fallbackPalette) : kind_(kind) {
    std::memcpy(fallback_.data(), fallbackPalette, fallback_.size());
}

void cSaveChain::Append(const char* fileName, unsigned char* pixels, unsigned char* palette,
                        int width, int height, int colorCount, int tag, int transparent) {
    SAVE_FRAME record{};
    if (fileName != nullptr && (kind_ == Kind::Frames || records_.empty())) {
        names_.emplace_back(fileName);
        record.fileName = names_.back().data();
    }
    record.pixels = pixels;
    record.palette = palette != nullptr ? palette : fallback_.data();
    record.width = width;
    record.height = height;
    record.colorCount = (kind_ == Kind::Animation || palette == nullptr) ? 256 : colorCount;
    record.tag = tag;
    records_.push_back(record);
    transparency_.push_back(transparent);
    if (records_.size() > 1)
        records_[records_.size() - 2].next = &records_.back();
}
