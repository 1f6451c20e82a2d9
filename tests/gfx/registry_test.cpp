// The id registry: 16 fixed buckets, slots found again by id, enumeration bucket by bucket.
#include "gfx/id_registry.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

using Registry = Orvo::Gfx::IdRegistry<int>;

std::vector<uint32_t> idsInOrder(const Registry& registry) {
    std::vector<uint32_t> ids;
    registry.forEach([&](uint32_t id, int*) { ids.push_back(id); });
    return ids;
}

TEST(IdRegistry, NewIdGetsANullSlotAndRepeatedIdsTheSameOne) {
    Registry registry;
    int a = 1, b = 2;
    int*& slot = registry.findOrInsert(7);
    EXPECT_EQ(slot, nullptr);
    slot = &a;
    EXPECT_EQ(registry.count, 1u);
    EXPECT_EQ(&registry.findOrInsert(7), &slot);
    EXPECT_EQ(registry.findOrInsert(7), &a);
    EXPECT_EQ(registry.count, 1u);
    registry.findOrInsert(8) = &b;
    EXPECT_EQ(registry.count, 2u);
    EXPECT_EQ(registry.findOrInsert(7), &a);
    EXPECT_EQ(registry.findOrInsert(8), &b);
}

TEST(IdRegistry, IdsThreeAndNineteenShareBucketThreeNewestFirst) {
    Registry registry;
    int three = 3, nineteen = 19;
    registry.findOrInsert(3) = &three;
    registry.findOrInsert(19) = &nineteen;
    ASSERT_NE(registry.buckets[3], nullptr);
    EXPECT_EQ(registry.buckets[3]->id, 19u);
    ASSERT_NE(registry.buckets[3]->next, nullptr);
    EXPECT_EQ(registry.buckets[3]->next->id, 3u);
    EXPECT_EQ(registry.findOrInsert(3), &three);
    EXPECT_EQ(registry.findOrInsert(19), &nineteen);
    EXPECT_EQ(registry.count, 2u);
}

TEST(IdRegistry, EnumerationVisitsBucketsInOrderAndNeverRehashes) {
    Registry registry;
    for (uint32_t id : {17u, 0u, 33u, 1u, 4294967295u, 16u}) registry.findOrInsert(id);
    EXPECT_EQ(registry.bucketCount, 16u);
    // Bucket 0: 16 then 0; bucket 1: 1, 33, 17 (newest first); bucket 15: 4294967295.
    EXPECT_EQ(idsInOrder(registry), (std::vector<uint32_t>{16, 0, 1, 33, 17, 4294967295u}));
    for (uint32_t id = 100; id < 1100; ++id) registry.findOrInsert(id);
    EXPECT_EQ(registry.bucketCount, 16u);
    EXPECT_EQ(registry.count, 1006u);
    EXPECT_EQ(idsInOrder(registry).size(), 1006u);
}

} // namespace
