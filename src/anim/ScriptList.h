#pragma once

#include <cstdint>
#include <memory>

// The steps of an animation script, one node per step. Destroying a node
// destroys every node after it.
class cScriptList {
public:
    cScriptList(int32_t frameNumber, int32_t flags) : frameNumber(frameNumber), flags(flags) {}
    ~cScriptList();
    cScriptList(const cScriptList&) = delete;
    cScriptList& operator=(const cScriptList&) = delete;

    // Adds a step after the last node of the list starting here; returns it.
    cScriptList* Append(int32_t frameNumber, int32_t flags);
    // The number of nodes after this one.
    int32_t LastIndex() const;
    // The field of the node i places along; past the end, the last node's.
    int32_t GetFrameNumber(int32_t i) const { return at(i)->frameNumber; }
    int32_t GetFlags(int32_t i) const { return at(i)->flags; }

    int32_t frameNumber;
    int32_t flags; // 1 mirrored left to right, 2 top to bottom
    std::unique_ptr<cScriptList> next;

private:
    const cScriptList* at(int32_t i) const;
};
