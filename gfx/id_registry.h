// A table from a 32-bit id to an object pointer: 16 buckets, never rehashed, each a chain with the most
// recently inserted id at its head. The registry owns its nodes, not the objects.
#pragma once

#include <cstdint>

namespace Orvo::Gfx {

template <class T> struct IdRegistry {
    struct Node {
        uint32_t id;
        T* value;
        Node* next;
    };

    static constexpr uint32_t kInitialBucketCount = 16;

    Node** buckets = new Node* [kInitialBucketCount] {};
    uint32_t bucketCount = kInitialBucketCount;
    uint32_t count = 0;

    IdRegistry() = default;
    IdRegistry(const IdRegistry&) = delete;
    IdRegistry& operator=(const IdRegistry&) = delete;
    ~IdRegistry() {
        for (uint32_t b = 0; b < bucketCount; ++b) {
            for (Node* node = buckets[b]; node;) {
                Node* next = node->next;
                delete node;
                node = next;
            }
        }
        delete[] buckets;
    }

    // The value slot of `id`; a new id gets a node with a null value at the head of its bucket.
    T*& findOrInsert(uint32_t id) {
        Node*& head = buckets[id % bucketCount];
        for (Node* node = head; node; node = node->next)
            if (node->id == id) return node->value;
        head = new Node{id, nullptr, head};
        ++count;
        return head->value;
    }

    // Visits (id, value) bucket by bucket, each chain from its head.
    template <class F> void forEach(F visit) const {
        for (uint32_t b = 0; b < bucketCount; ++b)
            for (Node* node = buckets[b]; node; node = node->next) visit(node->id, node->value);
    }
};

} // namespace Orvo::Gfx
