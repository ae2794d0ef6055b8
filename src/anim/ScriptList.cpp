#include "anim/ScriptList.h"

cScriptList::~cScriptList() {
    // One node at a time, so long scripts never recurse deeply.
    std::unique_ptr<cScriptList> rest = std::move(next);
    while (rest)
        rest = std::move(rest->next);
}

cScriptList* cScriptList::Append(int32_t frame, int32_t stepFlags) {
    cScriptList* last = this;
    while (last->next)
        last = last->next.get();
    last->next = std::make_unique<cScriptList>(frame, stepFlags);
    return last->next.get();
}

int32_t cScriptList::LastIndex() const {
    int32_t n = 0;
    for (const cScriptList* node = next.get(); node != nullptr; node = node->next.get())
        ++n;
    return n;
}

const cScriptList* cScriptList::at(int32_t i) const {
    const cScriptList* node = this;
    for (; i > 0 && node->next; --i)
        node = node->next.get();
    return node;
}
