#include "base/dyn_array.h"
#include "base/dyn_string.h"

#include <gtest/gtest.h>

#include <vector>

using namespace base;

namespace {

struct Owner {
    DynArray<int> inner;
};

TEST(DynArray, CapacityFollowsTheGrowthSequence) {
    DynArray<uint32_t> a;
    EXPECT_FLOAT_EQ(a.growth, 1.61f);
    std::vector<uint32_t> seen{a.capacity};
    for (uint32_t i = 0; i < 240; ++i) {
        a.append(i);
        if (a.capacity != seen.back()) seen.push_back(a.capacity);
    }
    EXPECT_EQ(seen, (std::vector<uint32_t>{8, 13, 21, 34, 55, 89, 144, 232, 374}));
    for (uint32_t i = 0; i < 240; ++i) ASSERT_EQ(a[i], i);
}

TEST(DynArray, NinthAppendGivesThirteenAndFourteenthGivesTwentyOne) {
    DynArray<int> a;
    for (int i = 0; i < 8; ++i) a.append(i);
    EXPECT_EQ(a.capacity, 8u);
    a.append(8);
    EXPECT_EQ(a.capacity, 13u);
    for (int i = 9; i < 13; ++i) a.append(i);
    EXPECT_EQ(a.capacity, 13u);
    a.append(13);
    EXPECT_EQ(a.capacity, 21u);
}

TEST(DynArray, ResizeGrowsInOneStepAndZeroFills) {
    DynArray<uint64_t> a;
    a.resize(104);
    EXPECT_EQ(a.capacity, 104u);
    EXPECT_EQ(a.count, 104u);
    for (uint64_t v : a) EXPECT_EQ(v, 0u);
    a.resize(10);
    EXPECT_EQ(a.count, 10u);
    EXPECT_EQ(a.capacity, 104u);
    DynArray<int> b;
    b.resize(9); // capacity × growth + 1 = 13 exceeds 9
    EXPECT_EQ(b.capacity, 13u);
}

TEST(DynArray, ResizeConstructsAndDestroysOwningElements) {
    DynArray<Owner> owners;
    owners.resize(20);
    for (uint32_t i = 0; i < 20; ++i) {
        EXPECT_EQ(owners[i].inner.capacity, 8u);
        for (int k = 0; k < 30; ++k) owners[i].inner.append(k + int(i));
    }
    owners.resize(3); // the removed elements free their buffers (checked by the sanitizer run)
    owners.resize(40);
    EXPECT_EQ(owners[1].inner.count, 30u);
    EXPECT_EQ(owners[1].inner[29], 30);
    EXPECT_EQ(owners[5].inner.count, 0u);
}

TEST(DynArray, CopyAndAssignAreDeep) {
    DynArray<int> a;
    for (int i = 0; i < 20; ++i) a.append(i);
    DynArray<int> b(a);
    EXPECT_EQ(b.count, 20u);
    EXPECT_EQ(b.capacity, a.capacity);
    EXPECT_NE(b.items, a.items);
    DynArray<int> c;
    c.append(99);
    c = a;
    a[0] = 42;
    EXPECT_EQ(b[0], 0);
    EXPECT_EQ(c[0], 0);
    EXPECT_EQ(c.count, 20u);
    c = static_cast<const DynArray<int>&>(c);
    EXPECT_EQ(c[19], 19);
}

TEST(DynString, CountsIncludeTheTerminator) {
    DynString empty;
    EXPECT_EQ(empty.count, 1u);
    EXPECT_EQ(empty.capacity, 8u);
    EXPECT_STREQ(empty.c_str(), "");

    DynString abc("abc");
    EXPECT_EQ(abc.count, 4u);
    EXPECT_EQ(abc.capacity, 8u);

    DynString entry("vertex_main");
    EXPECT_EQ(entry.count, 12u);
    EXPECT_EQ(entry.capacity, 12u);
    EXPECT_STREQ(entry.c_str(), "vertex_main");

    DynString seven("1234567");
    EXPECT_EQ(seven.count, 8u);
    EXPECT_EQ(seven.capacity, 8u);
}

TEST(DynString, CopyAddsAMissingTerminator) {
    DynString s("ab");
    s.count = 2; // drop the NUL: the copy must restore one
    DynString copy(s);
    EXPECT_EQ(copy.count, 3u);
    EXPECT_EQ(copy[2], '\0');
    EXPECT_STREQ(copy.c_str(), "ab");
}

TEST(DynString, MoveLeavesTheSourceEmpty) {
    DynString s("kernel_main");
    char* buffer = s.items;
    DynString t(std::move(s));
    EXPECT_EQ(t.items, buffer);
    EXPECT_EQ(t.count, 12u);
    EXPECT_EQ(s.count, 0u);
    EXPECT_EQ(s.capacity, 0u);
    EXPECT_EQ(s.items, nullptr);
    DynString u;
    u = std::move(t);
    EXPECT_STREQ(u.c_str(), "kernel_main");
    EXPECT_EQ(t.items, nullptr);
}

} // namespace
