// cetl::list: order, removal, checked iterators, failures and node tracking.
#include "cetl_list.h"
#include "cetl_check_failure.h"

#include <gtest/gtest.h>

#include <string.h>
#include <vector>

namespace {

using cetl::list;

std::vector<int> Forward(const list<int>& l) {
    std::vector<int> out;
    for (list<int>::const_iterator it = l.begin(); it != l.end(); ++it) out.push_back(*it);
    return out;
}

std::vector<int> Backward(const list<int>& l) {
    std::vector<int> out;
    for (list<int>::const_iterator it = l.rbegin(); it != l.rend(); --it) out.push_back(*it);
    return out;
}

// Counts live instances, to see that the list destroys what it copied in.
struct Counted {
    static int live;
    int id;
    explicit Counted(int value = 0) : id(value) { ++live; }
    Counted(const Counted& other) : id(other.id) { ++live; }
    ~Counted() { --live; }
    bool operator==(const Counted& other) const { return id == other.id; }
};
int Counted::live = 0;

TEST(CetlList, KeepsInsertionOrderInBothDirections) {
    list<int> l;
    EXPECT_TRUE(l.empty());
    for (int i = 1; i <= 5; ++i) l.push_back(i * 10);
    EXPECT_EQ(5u, l.size());
    EXPECT_EQ((std::vector<int>{10, 20, 30, 40, 50}), Forward(l));
    EXPECT_EQ((std::vector<int>{50, 40, 30, 20, 10}), Backward(l));
    EXPECT_EQ(10, l.front());
    EXPECT_EQ(50, l.back());
}

TEST(CetlList, PopFrontFindEraseAndInsertKeepTheLinksConsistent) {
    list<int> l;
    for (int i = 1; i <= 5; ++i) l.push_back(i);
    l.pop_front();
    EXPECT_EQ((std::vector<int>{2, 3, 4, 5}), Forward(l));

    list<int>::iterator after = l.erase(l.find(3));
    EXPECT_EQ(4, *after);
    after = l.erase(l.find(5)); // the last one
    EXPECT_TRUE(after == l.end());
    EXPECT_EQ((std::vector<int>{2, 4}), Forward(l));
    EXPECT_EQ((std::vector<int>{4, 2}), Backward(l));

    l.insert(l.find(2), 1); // before the first
    l.insert(l.find(4), 3); // in the middle
    l.insert(l.end(), 5);   // at the end
    EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 5}), Forward(l));
    EXPECT_EQ((std::vector<int>{5, 4, 3, 2, 1}), Backward(l));
    EXPECT_EQ(5u, l.size());

    l.erase(l.begin());
    l.erase(l.rbegin());
    EXPECT_EQ((std::vector<int>{2, 3, 4}), Forward(l));
    EXPECT_EQ((std::vector<int>{4, 3, 2}), Backward(l));
}

TEST(CetlList, FindReturnsTheFirstEqualElement) {
    list<int> l;
    l.push_back(7);
    l.push_back(8);
    l.push_back(7);
    EXPECT_TRUE(l.find(7) == l.begin());
    l.erase(l.find(7));
    EXPECT_EQ((std::vector<int>{8, 7}), Forward(l));
}

TEST(CetlList, IteratorsStepBothWaysAndStopAtTheEnds) {
    list<int> l;
    l.push_back(1);
    l.push_back(2);
    list<int>::iterator it = l.begin();
    EXPECT_EQ(1, *it++);
    EXPECT_EQ(2, *it);
    EXPECT_EQ(2, *it--);
    EXPECT_EQ(1, *it);
    *it = 9;
    EXPECT_EQ(9, l.front());
    --it; // before the first is the null position
    EXPECT_TRUE(it == l.end());
    EXPECT_CHECK_FAILS(--it, "the iterator has already reached the beginning of the container");
    list<int>::iterator last = l.rbegin();
    ++last;
    EXPECT_TRUE(last == l.end());
    EXPECT_CHECK_FAILS(++last, "the iterator has already reached the end of the container");
    EXPECT_CHECK_FAILS(*last, "the iterator does not reference a valid object");
}

TEST(CetlList, FailedChecksLeaveTheListUnchanged) {
    list<int> l;
    EXPECT_CHECK_FAILS(l.front(), "the list is empty");
    EXPECT_CHECK_FAILS(l.back(), "the list is empty");
    EXPECT_CHECK_FAILS(l.pop_front(), "the list is empty");
    EXPECT_CHECK_FAILS(l.find(1), "the item specified does not exist within the list");
    l.push_back(1);
    l.push_back(2);
    EXPECT_CHECK_FAILS(l.find(3), "the item specified does not exist within the list");
    EXPECT_CHECK_FAILS(l.erase(l.end()), "the iterator does not reference a valid object");
    // Another list's node would be spliced out of the wrong chain.
    list<int> other;
    other.push_back(1);
    EXPECT_CHECK_FAILS(l.erase(other.begin()), "the iterator does not reference a valid object");
    EXPECT_CHECK_FAILS(l.insert(other.begin(), 5), "the iterator does not reference a valid object");
    EXPECT_EQ((std::vector<int>{1, 2}), Forward(l));
    EXPECT_EQ((std::vector<int>{1}), Forward(other));
}

TEST(CetlList, NodesAreTrackedObjectsAndClearingReleasesAll) {
    DWORD before = MemGetStats().liveBlocks;
    {
        list<int> l;
        for (int i = 0; i < 50; ++i) l.push_back(i);
        EXPECT_EQ(before + 50, MemGetStats().liveBlocks);
        const MemBlock* block = MemFindBlock(l.begin().node());
        ASSERT_NE(nullptr, block);
        EXPECT_EQ(kMemKindObject, block->kind);
        EXPECT_STREQ("mynodetype", block->tag);
        EXPECT_STREQ("c:\\src\\wince\\cetl/list", block->file);
        EXPECT_EQ(sizeof(list<int>::mynodetype), block->requested);

        std::vector<const void*> nodes;
        for (list<int>::iterator it = l.begin(); it != l.end(); ++it) nodes.push_back(it.node());
        l.clear();
        EXPECT_TRUE(l.empty());
        EXPECT_TRUE(l.begin() == l.end());
        for (const void* node : nodes) EXPECT_EQ(nullptr, MemFindBlock(node));
        EXPECT_EQ(before, MemGetStats().liveBlocks);

        l.push_back(3); // usable after clearing; released by the destructor
        EXPECT_EQ(before + 1, MemGetStats().liveBlocks);
    }
    EXPECT_EQ(before, MemGetStats().liveBlocks);
}

TEST(CetlList, OwnsItsElementsAndCopiesDeeply) {
    Counted::live = 0;
    {
        list<Counted> a;
        for (int i = 0; i < 3; ++i) a.push_back(Counted(i));
        EXPECT_EQ(3, Counted::live);
        list<Counted> b(a);
        EXPECT_EQ(6, Counted::live);
        b.front().id = 42;
        EXPECT_EQ(0, a.front().id);
        a.pop_front();
        EXPECT_EQ(5, Counted::live);
        a = b;
        EXPECT_EQ(6, Counted::live);
        EXPECT_EQ(42, a.front().id);
        a = a;
        EXPECT_EQ(3u, a.size());
    }
    EXPECT_EQ(0, Counted::live);
}

} // namespace
