// A short fixed list of distinct function pointers in registration order: the hooks that
// subsystems above the core hand it (API table fillers, memory-estimate sources).
#pragma once

#include <cstdint>

template <typename Function, int32_t Capacity>
struct FunctionList {
    Function items[Capacity];  // the first count are in use
    int32_t count;

    int32_t IndexOf(Function function) const {
        for (int32_t i = 0; i < count; ++i) {
            if (items[i] == function) {
                return i;
            }
        }
        return -1;
    }

    // Appends a function not in the list yet. True when it is in the list afterwards; false only
    // when the list is full. The caller refuses null.
    bool Add(Function function) {
        if (IndexOf(function) >= 0) {
            return true;
        }
        if (count >= Capacity) {
            return false;
        }
        items[count++] = function;
        return true;
    }

    // Takes a function out, the others keeping their order; false when it was not there.
    bool Remove(Function function) {
        const int32_t index = IndexOf(function);
        if (index < 0) {
            return false;
        }
        for (int32_t i = index + 1; i < count; ++i) {
            items[i - 1] = items[i];
        }
        items[--count] = nullptr;
        return true;
    }
};
