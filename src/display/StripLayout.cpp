#include "display/StripLayout.h"

#include "frames/FrameList.h"
#include "frames/JqString.h"

#include <algorithm>
#include <limits>

StripLayout::StripLayout(const cFrameList* first, int zoom) {
    int64_t sum = 0;
    for (const cFrameList* node = first; node != nullptr; node = node->next.get()) {
        sum += std::max<int64_t>(0, node->width) * zoom + kGap;
        rights_.push_back(sum);
        maxHeight_ = std::max(maxHeight_, node->height);
    }
}

StripLayout::Span StripLayout::visible(int64_t pos, int64_t windowWidth) const {
    Span span;
    if (rights_.empty())
        return span;
    // The rights only grow (every frame adds at least the gap), so the first one
    // that reaches pos is a lower bound.
    auto it = std::lower_bound(rights_.begin(), rights_.end(), pos);
    if (it == rights_.end())
        --it;
    span.first = static_cast<size_t>(it - rights_.begin());
    span.x = left(span.first) - pos;
    // Frames first..j are drawn while their widths so far stay below the window:
    // the last one drawn is the first j with right(j) - left(first) >= windowWidth.
    const int64_t stop = left(span.first) + std::max<int64_t>(windowWidth, 1);
    auto last = std::lower_bound(it, rights_.end(), stop);
    span.end =
        last == rights_.end() ? rights_.size() : static_cast<size_t>(last - rights_.begin()) + 1;
    return span;
}

ScrollScale::ScrollScale(int64_t stripWidth, int64_t windowWidth) {
    excess = std::max<int64_t>(0, stripWidth - windowWidth);
    constexpr int64_t kMaxValue = std::numeric_limits<int>::max();
    unit = excess <= kMaxValue ? 1 : (excess + kMaxValue - 1) / kMaxValue;
    maximum = static_cast<int>((excess + unit - 1) / unit);
}

int64_t ScrollScale::position(int value) const {
    return std::clamp<int64_t>(int64_t(value) * unit, 0, excess);
}
