#pragma once

#include <cstdint>
#include <memory>

// An ordered list of frame numbers (a selection). The list is its first node;
// destroying the first node releases the whole list.
class cIntList {
public:
    explicit cIntList(int32_t value) : value(value) {}
    ~cIntList();
    cIntList(const cIntList&) = delete;
    cIntList& operator=(const cIntList&) = delete;

    // Links a new node with `value` after the last node.
    void Append(int32_t value);
    // The number of nodes after this one.
    int32_t LastIndex() const;
    // The value i nodes along; past the end, the last node's value.
    int32_t Get(int32_t i) const;

    int32_t value;
    std::unique_ptr<cIntList> next;
};
