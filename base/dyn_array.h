// The growable array used for every list in the intro: contiguous, bytewise-relocated elements,
// growth factor 1.61 computed in float, initial capacity 8.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

namespace base {

template <typename T> struct DynArray {
    static_assert(std::is_trivially_copyable_v<T> || std::is_default_constructible_v<T>);

    float growth = 1.61f;
    uint32_t count = 0;
    uint32_t capacity = 8;
    T* items = allocate(8);

    DynArray() = default;

    DynArray(const DynArray& other) requires std::is_trivially_copyable_v<T>
        : count(other.count), capacity(other.capacity), items(allocate(other.capacity)) {
        if (count) std::memcpy(static_cast<void*>(items), other.items, sizeof(T) * count);
    }

    DynArray& operator=(const DynArray& other) requires std::is_trivially_copyable_v<T> {
        DynArray temporary(other);
        swapStorage(temporary);
        return *this;
    }

    DynArray(DynArray&& other) noexcept : count(other.count), capacity(other.capacity), items(other.items) {
        other.count = other.capacity = 0;
        other.items = nullptr;
    }

    ~DynArray() {
        destroyRange(0, count);
        std::free(items);
    }

    T& operator[](uint32_t index) { return items[index]; }
    const T& operator[](uint32_t index) const { return items[index]; }
    T* begin() { return items; }
    T* end() { return items + count; }
    const T* begin() const { return items; }
    const T* end() const { return items + count; }

    void append(const T& element) requires std::is_trivially_copyable_v<T> {
        if (count >= capacity && !reallocate(grownCapacity())) return;
        std::memcpy(static_cast<void*>(items + count), &element, sizeof(T));
        count += 1;
    }

    // New elements are the type's empty value: zero bytes for plain records, a default-constructed
    // element otherwise. Shrinking destroys the removed elements.
    void resize(uint32_t n) {
        if (n <= count) {
            destroyRange(n, count);
            count = n;
            return;
        }
        if (capacity < n) {
            float grown = float(capacity) * growth + 1.0f;
            float wanted = float(n) > grown ? float(n) : grown;
            if (!reallocate(truncateCapacity(wanted)) || capacity < n) return;
        }
        for (uint32_t i = count; i < n; ++i) {
            if constexpr (std::is_trivially_copyable_v<T>)
                std::memset(static_cast<void*>(items + i), 0, sizeof(T));
            else
                new (items + i) T();
        }
        count = n;
    }

  protected:
    static T* allocate(uint32_t n) { return static_cast<T*>(std::malloc(sizeof(T) * (n ? n : 1))); }

    void swapStorage(DynArray& other) {
        std::swap(count, other.count);
        std::swap(capacity, other.capacity);
        std::swap(items, other.items);
    }

    // A capacity that does not fit 32 bits is reported as 0, which never grows the array.
    static uint32_t truncateCapacity(float wanted) {
        return wanted < 4294967296.0f ? static_cast<uint32_t>(wanted) : 0u;
    }
    uint32_t grownCapacity() const { return truncateCapacity(float(capacity) * growth + 1.0f); }

    // Moves the elements bytewise into a buffer of newCapacity; ownership moves with the bytes.
    bool reallocate(uint32_t newCapacity) {
        if (newCapacity < capacity || newCapacity == 0) return false;
        T* fresh = allocate(newCapacity);
        if (!fresh) return false;
        if (count) std::memcpy(static_cast<void*>(fresh), static_cast<const void*>(items), sizeof(T) * count);
        std::free(items);
        items = fresh;
        capacity = newCapacity;
        return true;
    }

    void destroyRange(uint32_t from, uint32_t to) {
        if constexpr (!std::is_trivially_destructible_v<T>)
            for (uint32_t i = from; i < to; ++i) items[i].~T();
    }
};

} // namespace base
