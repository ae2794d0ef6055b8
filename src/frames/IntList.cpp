#include "frames/IntList.h"

cIntList::~cIntList() {
    // One node at a time: selections can be long and recursion would not be.
    std::unique_ptr<cIntList> rest = std::move(next);
    while (rest)
        rest = std::move(rest->next);
}

void cIntList::Append(int32_t v) {
    cIntList* last = this;
    while (last->next)
        last = last->next.get();
    last->next = std::make_unique<cIntList>(v);
}

int32_t cIntList::LastIndex() const {
    int32_t n = 0;
    for (const cIntList* node = next.get(); node != nullptr; node = node->next.get())
        ++n;
    return n;
}

int32_t cIntList::Get(int32_t i) const {
    const cIntList* node = this;
    for (; i > 0 && node->next; --i)
        node = node->next.get();
    return node->value;
}
