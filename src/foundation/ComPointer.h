// ZQI_ReleaseComPointer: releases a COM interface held in a pointer variable and
// clears the variable first, so a re-entrant release never sees the dying object. Works with
// any type that has Release(), so it needs no Windows header.
#pragma once

template <typename Interface>
inline void ZQI_ReleaseComPointer(Interface** holder) {
    if (holder == nullptr || *holder == nullptr) {
        return;
    }
    Interface* object = *holder;
    *holder = nullptr;
    object->Release();
}
