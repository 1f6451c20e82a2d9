// NUL-terminated text on the growable array; count includes the terminating NUL.
#pragma once

#include "base/dyn_array.h"

namespace base {

struct DynString : DynArray<char> {
    DynString() { append('\0'); }

    explicit DynString(const char* text) {
        uint32_t n = uint32_t(std::strlen(text));
        if (capacity <= n + 1) {
            std::free(items);
            items = allocate(n + 1);
            capacity = n + 1;
        }
        std::memcpy(items, text, n);
        count = n;
        append('\0');
    }

    DynString(const DynString& other) : DynArray<char>(other) { terminate(); }

    DynString& operator=(const DynString& other) {
        DynArray<char>::operator=(other);
        terminate();
        return *this;
    }

    DynString(DynString&& other) noexcept : DynArray<char>(static_cast<DynArray<char>&&>(other)) {}

    DynString& operator=(DynString&& other) noexcept {
        if (this != &other) {
            std::free(items);
            count = other.count;
            capacity = other.capacity;
            items = other.items;
            other.count = other.capacity = 0;
            other.items = nullptr;
        }
        return *this;
    }

    const char* c_str() const { return items; }

  private:
    void terminate() {
        if (count == 0 || items[count - 1] != '\0') append('\0');
    }
};

} // namespace base
