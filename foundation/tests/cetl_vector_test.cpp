// cetl::vector: block layout, splitting, growth by indexing, random edits
// against a reference, checked iterators, failures and tracking.
#include "cetl_vector.h"
#include "cetl_check_failure.h"
#include "tl_string.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <stdlib.h>
#include <vector>

namespace {

using cetl::vector;

struct BlockShape {
    DWORD count, capacity;
    bool operator==(const BlockShape& o) const { return count == o.count && capacity == o.capacity; }
};
std::ostream& operator<<(std::ostream& os, const BlockShape& b) {
    return os << "{" << b.count << "/" << b.capacity << "}";
}

template <class T>
std::vector<BlockShape> Shape(const vector<T>& v) {
    std::vector<BlockShape> out;
    for (auto it = v.blocks().begin(); it != v.blocks().end(); ++it)
        out.push_back({(*it)->count, (*it)->capacity});
    return out;
}

std::vector<int> Forward(const vector<int>& v) {
    std::vector<int> out;
    for (vector<int>::const_iterator it = v.begin(); it != v.end(); ++it) out.push_back(*it);
    return out;
}

std::vector<int> Backward(const vector<int>& v) {
    std::vector<int> out;
    for (vector<int>::const_iterator it = v.rbegin(); it != v.rend(); --it) out.push_back(*it);
    return out;
}

TEST(CetlVector, AppendingFillsBlocksTo256ThenStartsANewOne) {
    vector<int> v;
    for (int i = 0; i < 300; ++i) v.push_back(i);
    EXPECT_EQ(300u, v.size());
    EXPECT_EQ((std::vector<BlockShape>{{256, 256}, {44, 64}}), Shape(v));
    for (DWORD i = 0; i < 300; ++i) ASSERT_EQ(static_cast<int>(i), v[i]);
}

TEST(CetlVector, InsertingIntoAFullBlockSplitsItInTwoHalves) {
    vector<int> v;
    std::vector<int> reference;
    for (int i = 0; i < 256; ++i) v.push_back(i), reference.push_back(i);
    // Inserts do not start new blocks: the one block grows to 512.
    for (int i = 0; i < 256; ++i)
        v.insert(100, 1000 + i), reference.insert(reference.begin() + 100, 1000 + i);
    EXPECT_EQ((std::vector<BlockShape>{{512, 512}}), Shape(v));

    v.insert(10, -1);
    reference.insert(reference.begin() + 10, -1);
    EXPECT_EQ((std::vector<BlockShape>{{257, 512}, {256, 512}}), Shape(v));
    EXPECT_EQ(reference, Forward(v));

    // An insert in the upper half of a full block lands in the new block.
    for (int i = 0; i < 255; ++i) v.insert(100, i), reference.insert(reference.begin() + 100, i);
    EXPECT_EQ((std::vector<BlockShape>{{512, 512}, {256, 512}}), Shape(v));
    v.insert(400, -2);
    reference.insert(reference.begin() + 400, -2);
    EXPECT_EQ((std::vector<BlockShape>{{256, 512}, {257, 512}, {256, 512}}), Shape(v));
    EXPECT_EQ(reference, Forward(v));
}

TEST(CetlVector, IndexingBeyondTheEndExtendsWithDefaultItems) {
    vector<string> v;
    v.push_back("a");
    v.push_back("b");
    v.push_back("c");
    v[5] = "f";
    ASSERT_EQ(6u, v.size());
    EXPECT_STREQ("c", v[2].Psz8());
    EXPECT_TRUE(v[3].IsEmpty());
    EXPECT_TRUE(v[4].IsEmpty());
    EXPECT_STREQ("f", v[5].Psz8());

    vector<int> numbers;
    numbers[299];
    EXPECT_EQ((std::vector<BlockShape>{{256, 256}, {44, 64}}), Shape(numbers));
    EXPECT_EQ(std::vector<int>(300, 0), Forward(numbers));
}

TEST(CetlVector, RandomEditsMatchAReferenceAndKeepBlocksWellFormed) {
    srand(12345);
    vector<int> v;
    std::vector<int> reference;
    for (int step = 0; step < 20000; ++step) {
        int choice = rand() % 10;
        if (choice < 6 || reference.empty()) {
            DWORD index = rand() % (reference.size() + 1);
            v.insert(index, step);
            reference.insert(reference.begin() + index, step);
        } else if (choice < 9) {
            DWORD index = rand() % reference.size();
            v.erase(index);
            reference.erase(reference.begin() + index);
        } else {
            DWORD index = rand() % (reference.size() + 1);
            v[index] = -step;
            if (index == reference.size()) reference.push_back(0);
            reference[index] = -step;
        }
        if (step % 1000 == 0 || step == 19999) {
            ASSERT_EQ(reference.size(), v.size());
            ASSERT_EQ(reference, Forward(v)) << "step " << step;
            DWORD total = 0;
            for (const BlockShape& b : Shape(v)) {
                ASSERT_GE(b.count, 1u);
                ASSERT_LE(b.count, b.capacity);
                ASSERT_LE(b.capacity, 512u);
                total += b.count;
            }
            ASSERT_EQ(v.size(), total);
        }
    }
    EXPECT_GT(Shape(v).size(), 3u); // the edits did reach splitting
    std::vector<int> backward(reference.rbegin(), reference.rend());
    EXPECT_EQ(backward, Backward(v));
    for (DWORD i = 0; i < reference.size(); i += 97) ASSERT_EQ(reference[i], v[i]);
}

TEST(CetlVector, RemovingTheLastItemOfABlockReleasesTheBlock) {
    vector<int> v;
    for (int i = 0; i < 300; ++i) v.push_back(i);
    DWORD live = MemGetStats().liveBlocks;
    for (int i = 0; i < 44; ++i) v.erase(256);
    // The block, its array and its node in the block list are gone.
    EXPECT_EQ((std::vector<BlockShape>{{256, 256}}), Shape(v));
    EXPECT_EQ(live - 44 - 3, MemGetStats().liveBlocks);
    v.erase(0);
    EXPECT_EQ(1, v[0]);
    EXPECT_EQ(255, v[254]);
}

TEST(CetlVector, IteratorsStepBothWaysAcrossBlocks) {
    vector<int> v;
    for (int i = 0; i < 600; ++i) v.push_back(i);
    vector<int>::iterator it = v.begin();
    for (int i = 0; i < 256; ++i) ++it;
    EXPECT_EQ(256, *it);
    --it;
    EXPECT_EQ(255, *it);
    *it = -5;
    EXPECT_EQ(-5, v[255]);
    std::vector<int> forward = Forward(v);
    ASSERT_EQ(600u, forward.size());
    EXPECT_EQ(599, forward.back());
    EXPECT_EQ(599, *v.rbegin());

    vector<int>::iterator end = v.rbegin();
    ++end;
    EXPECT_TRUE(end == v.end());
    EXPECT_CHECK_FAILS(++end, "the iterator has already reached the end of the container");
    EXPECT_CHECK_FAILS(*end, "the iterator does not reference a valid object");
    vector<int>::iterator first = v.begin();
    --first;
    EXPECT_TRUE(first == v.end());
    EXPECT_CHECK_FAILS(--first, "the iterator has already reached the beginning of the container");

    // A position left past its block's end by removals no longer references an item.
    vector<int>::iterator last = v.rbegin();
    v.erase(599);
    EXPECT_CHECK_FAILS(*last, "the iterator does not reference a valid object");
}

TEST(CetlVector, FailedChecksLeaveTheVectorUnchanged) {
    vector<int> v;
    const vector<int>& view = v;
    EXPECT_CHECK_FAILS(view[0], "the item specified does not exist within the vector");
    EXPECT_CHECK_FAILS(v.erase(0), "the item specified does not exist within the vector");
    v.push_back(1);
    v.push_back(2);
    EXPECT_CHECK_FAILS(view[2], "the item specified does not exist within the vector");
    EXPECT_CHECK_FAILS(v.erase(2), "the item specified does not exist within the vector");
    EXPECT_CHECK_FAILS(v.insert(3, 9), "the item specified does not exist within the vector");
    EXPECT_CHECK_FAILS(v[0xFFFFFFFF], "the item specified does not exist within the vector");
    EXPECT_EQ((std::vector<int>{1, 2}), Forward(v));
}

// Copies fail once a countdown runs out, to see a failed growth undone.
struct Fragile {
    static int copiesLeft;
    int value = 7;
    Fragile() = default;
    Fragile(const Fragile& other) : value(other.value) {
        if (copiesLeft-- == 0) throw std::runtime_error("copy refused");
    }
    Fragile& operator=(const Fragile&) = default;
};
int Fragile::copiesLeft = 0;

TEST(CetlVector, AGrowthThatCannotFinishKeepsTheOldSize) {
    vector<Fragile> v;
    Fragile::copiesLeft = 1000;
    v[9];
    DWORD live = MemGetStats().liveBlocks;
    Fragile::copiesLeft = 300;
    EXPECT_THROW(v[999], std::runtime_error);
    EXPECT_EQ(10u, v.size());
    EXPECT_EQ(live, MemGetStats().liveBlocks);
    Fragile::copiesLeft = 0;
    EXPECT_THROW(v.insert(3, Fragile()), std::runtime_error);
    EXPECT_EQ(10u, v.size());
    EXPECT_EQ(live, MemGetStats().liveBlocks);
}

TEST(CetlVector, AllocationsAreTrackedAndClearingReleasesThem) {
    DWORD before = MemGetStats().liveBlocks;
    {
        vector<int> v;
        for (int i = 0; i < 300; ++i) v.push_back(i);
        // 300 items, two blocks, two arrays, two nodes of the block list.
        EXPECT_EQ(before + 306, MemGetStats().liveBlocks);

        vector<int>::iterator it = v.begin();
        vector<int>::myblocktype* block = it.block()->element;
        const MemBlock* record = MemFindBlock(block);
        ASSERT_NE(nullptr, record);
        EXPECT_STREQ("myblocktype", record->tag);
        EXPECT_STREQ("c:\\src\\wince\\cetl\\vector", record->file);
        EXPECT_EQ(kMemKindObject, record->kind);

        record = MemFindBlock(block->items);
        ASSERT_NE(nullptr, record);
        EXPECT_STREQ("cNew * sizeof(myitemtype*)", record->tag);
        EXPECT_STREQ("c:\\src\\wince\\cetl\\vector", record->file);
        EXPECT_EQ(kMemKindPlain, record->kind);
        EXPECT_EQ(256 * sizeof(void*), record->requested);

        record = MemFindBlock(block->items[0]);
        ASSERT_NE(nullptr, record);
        EXPECT_STREQ("myitemtype", record->tag);
        EXPECT_STREQ("c:\\src\\wince\\cetl\\vector", record->file);
        EXPECT_EQ(&*it, &block->items[0]->element);

        record = MemFindBlock(it.block());
        ASSERT_NE(nullptr, record);
        EXPECT_STREQ("mynodetype", record->tag);
        EXPECT_STREQ("c:\\src\\wince\\cetl/list", record->file);

        vector<int> copy(v);
        EXPECT_EQ(before + 612, MemGetStats().liveBlocks);
        copy[0] = 99;
        EXPECT_EQ(0, v[0]);

        v.clear();
        EXPECT_EQ(0u, v.size());
        EXPECT_TRUE(v.begin() == v.end());
        EXPECT_EQ(before + 306, MemGetStats().liveBlocks);
    }
    EXPECT_EQ(before, MemGetStats().liveBlocks);
}

} // namespace
