// cetl::vector: block layout and splitting, growth by indexing, random edits
// against a reference, failures, rollback and tracking.
#include "cetl_vector.h"
#include "cetl_check_failure.h"
#include "tl_string.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <stdlib.h>
#include <utility>
#include <vector>

namespace {

using cetl::vector;
typedef std::vector<std::pair<DWORD, DWORD>> Shape; // count and capacity of each block

template <class T>
Shape ShapeOf(const vector<T>& v) {
    Shape out;
    for (auto it = v.blocks().begin(); it != v.blocks().end(); ++it)
        out.push_back({(*it)->count, (*it)->capacity});
    return out;
}

std::vector<int> Walk(const vector<int>& v, bool backward = false) {
    std::vector<int> out;
    for (auto it = backward ? v.rbegin() : v.begin(); it != v.end(); backward ? --it : ++it)
        out.push_back(*it);
    return out;
}

TEST(CetlVector, AppendingStartsANewBlockAt256AndAFullBlockSplitsOnInsert) {
    vector<int> v;
    std::vector<int> reference;
    for (int i = 0; i < 300; ++i) v.push_back(i), reference.push_back(i);
    EXPECT_EQ((Shape{{256, 256}, {44, 64}}), ShapeOf(v));
    for (int i = 0; i < 256; ++i) v.insert(100, -i), reference.insert(reference.begin() + 100, -i);
    EXPECT_EQ((Shape{{512, 512}, {44, 64}}), ShapeOf(v));
    v.insert(400, 7); // upper half: lands in the new block
    reference.insert(reference.begin() + 400, 7);
    EXPECT_EQ((Shape{{256, 512}, {257, 512}, {44, 64}}), ShapeOf(v));
    EXPECT_EQ(reference, Walk(v));
}

TEST(CetlVector, IndexingBeyondTheEndExtendsWithDefaultItems) {
    vector<string> v;
    v.push_back("a");
    v.push_back("b");
    v.push_back("c");
    v[5] = "f";
    ASSERT_EQ(6u, v.size());
    EXPECT_STREQ("c", v[2].Psz8());
    EXPECT_TRUE(v[3].IsEmpty() && v[4].IsEmpty());
    EXPECT_STREQ("f", v[5].Psz8());
}

TEST(CetlVector, RandomEditsMatchAReferenceAndKeepBlocksWellFormed) {
    srand(12345);
    vector<int> v;
    std::vector<int> reference;
    for (int step = 0; step < 20000; ++step) {
        int choice = rand() % 10;
        DWORD index = rand() % (reference.size() + 1);
        if (choice < 6 || reference.empty()) {
            v.insert(index, step);
            reference.insert(reference.begin() + index, step);
        } else if (choice < 9 && index < reference.size()) {
            v.erase(index);
            reference.erase(reference.begin() + index);
        } else if (choice == 9) {
            v[index] = -step;
            reference.resize(std::max<size_t>(reference.size(), index + 1));
            reference[index] = -step;
        }
    }
    EXPECT_EQ(reference, Walk(v));
    EXPECT_EQ(std::vector<int>(reference.rbegin(), reference.rend()), Walk(v, true));
    for (DWORD i = 0; i < reference.size(); i += 97) ASSERT_EQ(reference[i], v[i]);
    DWORD total = 0;
    for (auto block : ShapeOf(v)) {
        EXPECT_TRUE(block.first >= 1 && block.first <= block.second && block.second <= 512);
        total += block.first;
    }
    EXPECT_EQ(v.size(), total);
    EXPECT_GT(ShapeOf(v).size(), 3u);
}

TEST(CetlVector, FailedChecksReportAndLeaveTheVectorUnchanged) {
    vector<int> v;
    const vector<int>& view = v;
    v.push_back(1);
    v.push_back(2);
    EXPECT_CHECK_FAILS(view[2], "the item specified does not exist within the vector");
    EXPECT_CHECK_FAILS(v.erase(2), "the item specified does not exist within the vector");
    EXPECT_CHECK_FAILS(v.insert(3, 9), "the item specified does not exist within the vector");
    EXPECT_CHECK_FAILS(v[0xFFFFFFFF], "the item specified does not exist within the vector");
    vector<int>::iterator it = v.rbegin();
    EXPECT_TRUE(++it == v.end());
    EXPECT_CHECK_FAILS(++it, "the iterator has already reached the end of the container");
    EXPECT_CHECK_FAILS(*it, "the iterator does not reference a valid object");
    it = v.begin();
    EXPECT_TRUE(--it == v.end());
    EXPECT_CHECK_FAILS(--it, "the iterator has already reached the beginning of the container");
    it = v.rbegin();
    v.erase(1);
    EXPECT_CHECK_FAILS(*it, "the iterator does not reference a valid object"); // left past its block's end
    EXPECT_EQ((std::vector<int>{1}), Walk(v));
}

// Copies fail once a countdown runs out, so that a growth fails half way.
struct Fragile {
    static int copiesLeft;
    Fragile() {}
    Fragile(const Fragile&) {
        if (copiesLeft-- == 0) throw std::runtime_error("copy refused");
    }
};
int Fragile::copiesLeft = 0;

TEST(CetlVector, AGrowthThatFailsHalfWayKeepsTheOldSize) {
    vector<Fragile> v;
    Fragile::copiesLeft = 10;
    v[9];
    DWORD live = MemGetStats().liveBlocks;
    Fragile::copiesLeft = 300;
    EXPECT_THROW(v[999], std::runtime_error);
    EXPECT_EQ(10u, v.size());
    EXPECT_EQ(live, MemGetStats().liveBlocks);
}

TEST(CetlVector, AllocationsAreTrackedAndReleased) {
    DWORD before = MemGetStats().liveBlocks;
    {
        vector<int> v;
        for (int i = 0; i < 300; ++i) v.push_back(i);
        EXPECT_EQ(before + 306, MemGetStats().liveBlocks); // items, blocks, arrays, list nodes
        vector<int>::myblocktype* block = v.begin().block()->element;
        struct {
            const void* address;
            const char* tag;
        } expected[] = {{block, "myblocktype"},
                        {block->items, "cNew * sizeof(myitemtype*)"},
                        {block->items[0], "myitemtype"}};
        for (auto e : expected) {
            const MemBlock* record = MemFindBlock(e.address);
            ASSERT_NE(nullptr, record);
            EXPECT_STREQ(e.tag, record->tag);
            EXPECT_STREQ("c:\\src\\wince\\cetl\\vector", record->file);
        }
        vector<int> copy(v);
        copy[0] = 99;
        EXPECT_EQ(0, v[0]);
        for (int i = 0; i < 44; ++i) v.erase(256); // an emptied block goes at once
        EXPECT_EQ((Shape{{256, 256}}), ShapeOf(v));
        EXPECT_EQ(before + 612 - 47, MemGetStats().liveBlocks);
        v.clear();
        EXPECT_TRUE(v.begin() == v.end());
        EXPECT_EQ(before + 306, MemGetStats().liveBlocks);
    }
    EXPECT_EQ(before, MemGetStats().liveBlocks);
}

} // namespace
