// A fixed-size table whose every access is bounds-checked: an index outside it raises the
// runtime's range error instead of touching memory that is not there.
#pragma once

#include "platform/Errors.h"

#include <cstdint>
#include <vector>

template <class T>
class TCheckedArray {
public:
    TCheckedArray() = default;
    explicit TCheckedArray(size_t count) : Items(count) {}

    T& operator[](int64_t index) { return Items[Check(index)]; }
    const T& operator[](int64_t index) const { return Items[Check(index)]; }

    size_t Count() const { return Items.size(); }
    void Resize(size_t count) { Items.assign(count, T{}); }
    auto begin() { return Items.begin(); }
    auto end() { return Items.end(); }
    auto begin() const { return Items.begin(); }
    auto end() const { return Items.end(); }

private:
    size_t Check(int64_t index) const
    {
        if (index < 0 || static_cast<uint64_t>(index) >= Items.size())
            throw ERangeError();
        return static_cast<size_t>(index);
    }

    std::vector<T> Items;
};
