// Array<T>: the engine's growable array, with its own growth, shrink and copy rules
// that the rest of the engine relies on: a pushed element may come from the same array, and the
// capacity of a copy-assigned array never shrinks. Not thread-safe; owners lock.
//
// Element storage is chosen by the element type:
//  - plain (trivially copyable: pointers, integers, records without owned members): a raw malloc
//    block, elements copied bit for bit, no constructors run;
//  - constructed (String, records embedding a String or an Array ...): new T[capacity], so every
//    slot, used or not, is default-constructed and destroyed; elements copied by operator=.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

#include "foundation/String.h"

template <typename T>
class Array {
public:
    // True when T is stored as plain bytes (memcpy, malloc/free).
    static constexpr bool kPlain = std::is_trivially_copyable<T>::value;

    // Fields in declared order.
    T* data;              // null until the first allocation
    int32_t count;        // elements in use
    int32_t capacity;     // element slots in data
    bool shrinkOnRemove;  // removals may halve the storage

    Array() : data(nullptr), count(0), capacity(0), shrinkOnRemove(false) {}
    // Copy construction: an empty array, then operator= (capacity becomes the source's).
    Array(const Array& other) : data(nullptr), count(0), capacity(0), shrinkOnRemove(false) { *this = other; }
    ~Array() { ReleaseBlock(data); }

    // Copy assignment: storage is replaced only when the source's capacity is larger; count and
    // the first count elements are copied; the capacity never shrinks, and slots past the new
    // count keep their old contents. shrinkOnRemove is not copied.
    Array& operator=(const Array& source);

    // Appends a copy of element (which may live in this array). When full: the first push into
    // an empty array reserves 32; a full 1-element array grows to 8; otherwise the capacity
    // doubles, or becomes count + 1 when doubling is not enough. The old block is released only
    // after the element is stored.
    void Push(const T& element);

    // Sets the capacity to max(n, count) when n differs from the capacity (grows or shrinks).
    void Reserve(int32_t n);

    // The grow step of Push for callers that store the element themselves: when count + 1
    // exceeds the capacity the storage grows by the push rule. Returns the previous block (null
    // when nothing was replaced); the caller stores data[count], raises count, then passes the
    // returned block to ReleaseBlock. count is not changed here.
    T* Grow();
    // Releases a storage block of this element type (free, or delete[] for constructed types).
    static void ReleaseBlock(T* block);

    // Removes data[index], shifting the rest down (the vacated last slot keeps its contents).
    // With shrinkOnRemove set and a new count of 1 .. capacity / 4, the capacity is halved.
    // Out-of-range indices and an empty array do nothing.
    void RemoveAt(int32_t index);
    void RemoveFirst() { RemoveAt(0); }
    // Removes the first element equal (operator==) to value; false when none is.
    bool Remove(const T& value);

    // Owned pointers only: delete the element when not null, then RemoveAt(index).
    void DeleteAt(int32_t index);
    // Owned pointers only: delete every non-null element, then count = 0 (storage stays).
    void DeleteAll();

    // Array<String> only: index of the first element whose length field equals text's and whose
    // text is equal; elements or arguments with null data never match; -1 when absent.
    int32_t IndexOf(const String& text) const;
    // Array<String> only: grows by the push rule and Assigns text into the new slot.
    void PushText(const char* text);

    // Count 0, storage and capacity kept.
    void Clear() { count = 0; }

    T& operator[](int32_t index) { return data[index]; }
    const T& operator[](int32_t index) const { return data[index]; }
    T* begin() { return data; }
    T* end() { return data + count; }
    const T* begin() const { return data; }
    const T* end() const { return data + count; }

private:
    static T* AllocateBlock(int32_t slots);
    static void CopyElements(T* destination, const T* source, int32_t n);
};

template <typename T>
T* Array<T>::AllocateBlock(int32_t slots) {
    if (slots <= 0) {
        return nullptr;
    }
    if constexpr (kPlain) {
        return static_cast<T*>(malloc(sizeof(T) * static_cast<size_t>(slots)));
    } else {
        return new (std::nothrow) T[static_cast<size_t>(slots)];
    }
}

template <typename T>
void Array<T>::ReleaseBlock(T* block) {
    if (block == nullptr) {
        return;
    }
    if constexpr (kPlain) {
        free(block);
    } else {
        delete[] block;
    }
}

template <typename T>
void Array<T>::CopyElements(T* destination, const T* source, int32_t n) {
    if (n <= 0) {
        return;
    }
    if constexpr (kPlain) {
        memcpy(static_cast<void*>(destination), static_cast<const void*>(source),
               sizeof(T) * static_cast<size_t>(n));
    } else {
        for (int32_t i = 0; i < n; ++i) {
            destination[i] = source[i];
        }
    }
}

template <typename T>
Array<T>& Array<T>::operator=(const Array& source) {
    if (this == &source) {
        return *this;
    }
    if (capacity < source.capacity) {
        T* block = AllocateBlock(source.capacity);
        if (block == nullptr) {
            return *this;  // out of memory: the destination stays as it was
        }
        ReleaseBlock(data);
        data = block;
        capacity = source.capacity;
    }
    count = source.count;
    CopyElements(data, source.data, count);
    return *this;
}

template <typename T>
void Array<T>::Reserve(int32_t n) {
    if (n == capacity) {
        return;
    }
    int32_t newCapacity = n > count ? n : count;
    T* block = AllocateBlock(newCapacity);
    if (block == nullptr && newCapacity > 0) {
        return;  // out of memory: unchanged
    }
    CopyElements(block, data, count);
    ReleaseBlock(data);
    data = block;
    capacity = newCapacity;
}

template <typename T>
T* Array<T>::Grow() {
    if (count + 1 <= capacity) {
        return nullptr;
    }
    if (data == nullptr) {
        Reserve(32);
        return nullptr;
    }
    int32_t newCapacity;
    if (count == 1) {
        newCapacity = 8;
    } else if (2 * capacity >= count + 1) {
        newCapacity = 2 * capacity;
    } else {
        newCapacity = count + 1;
    }
    if (newCapacity < count) {
        newCapacity = count;
    }
    T* block = AllocateBlock(newCapacity);
    if (block == nullptr) {
        return nullptr;  // out of memory: unchanged; callers see count + 1 > capacity
    }
    CopyElements(block, data, count);
    T* previous = data;
    data = block;
    capacity = newCapacity;
    return previous;
}

template <typename T>
void Array<T>::Push(const T& element) {
    T* previous = Grow();
    if (count + 1 > capacity) {
        ReleaseBlock(previous);
        return;  // out of memory: the element is dropped
    }
    if constexpr (kPlain) {
        memcpy(static_cast<void*>(data + count), static_cast<const void*>(&element), sizeof(T));
    } else {
        data[count] = element;
    }
    ++count;
    ReleaseBlock(previous);  // only now: element may have lived in the previous block
}

template <typename T>
void Array<T>::RemoveAt(int32_t index) {
    if (count < 1 || index < 0 || index >= count) {
        return;
    }
    if constexpr (kPlain) {
        memmove(static_cast<void*>(data + index), static_cast<const void*>(data + index + 1),
                sizeof(T) * static_cast<size_t>(count - index - 1));
    } else {
        for (int32_t i = index + 1; i < count; ++i) {
            data[i - 1] = data[i];
        }
    }
    --count;
    if (shrinkOnRemove && data != nullptr && count >= 1 && count <= capacity / 4) {
        Reserve(capacity / 2);
    }
}

template <typename T>
bool Array<T>::Remove(const T& value) {
    for (int32_t i = 0; i < count; ++i) {
        if (data[i] == value) {
            RemoveAt(i);
            return true;
        }
    }
    return false;
}

template <typename T>
void Array<T>::DeleteAt(int32_t index) {
    static_assert(std::is_pointer<T>::value, "Array::DeleteAt is for arrays of owned pointers");
    if (index < 0 || index >= count) {
        return;
    }
    if (data[index] != nullptr) {
        delete data[index];
    }
    RemoveAt(index);
}

template <typename T>
void Array<T>::DeleteAll() {
    static_assert(std::is_pointer<T>::value, "Array::DeleteAll is for arrays of owned pointers");
    for (int32_t i = 0; i < count; ++i) {
        if (data[i] != nullptr) {
            delete data[i];
        }
    }
    count = 0;
}

template <typename T>
int32_t Array<T>::IndexOf(const String& text) const {
    static_assert(std::is_same<T, String>::value, "Array::IndexOf is for Array<String>");
    if (text.data == nullptr) {
        return -1;
    }
    for (int32_t i = 0; i < count; ++i) {
        const String& element = data[i];
        if (element.data != nullptr && element.length == text.length &&
            strcmp(element.data, text.data) == 0) {
            return i;
        }
    }
    return -1;
}

template <typename T>
void Array<T>::PushText(const char* text) {
    static_assert(std::is_same<T, String>::value, "Array::PushText is for Array<String>");
    T* previous = Grow();
    if (count + 1 > capacity) {
        ReleaseBlock(previous);
        return;
    }
    data[count].Assign(text);  // text may live in the previous block: release it afterwards
    ++count;
    ReleaseBlock(previous);
}
