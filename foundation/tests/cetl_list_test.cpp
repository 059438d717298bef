// cetl::list: order and links, checked iterators and failures, node tracking.
#include "cetl_list.h"
#include "cetl_check_failure.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using cetl::list;

std::vector<int> Walk(const list<int>& l, bool backward = false) {
    std::vector<int> out;
    for (auto it = backward ? l.rbegin() : l.begin(); it != l.end(); backward ? --it : ++it)
        out.push_back(*it);
    return out;
}

TEST(CetlList, EditsKeepOrderAndLinksInBothDirections) {
    list<int> l;
    for (int i = 1; i <= 5; ++i) l.push_back(i);
    l.pop_front();
    EXPECT_EQ(4, *l.erase(l.find(3)));
    EXPECT_TRUE(l.erase(l.find(5)) == l.end());
    l.insert(l.find(2), 1);
    l.insert(l.find(4), 3);
    l.insert(l.end(), 4);
    EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 4}), Walk(l));
    EXPECT_EQ((std::vector<int>{4, 4, 3, 2, 1}), Walk(l, true));
    EXPECT_TRUE(l.find(4).node() == l.begin().node()->next->next->next); // the first equal element
    EXPECT_EQ(5u, l.size());
    EXPECT_EQ(1, l.front());
    EXPECT_EQ(4, l.back());
}

TEST(CetlList, FailedChecksReportAndLeaveTheListUnchanged) {
    list<int> l, other;
    EXPECT_CHECK_FAILS(l.front(), "the list is empty");
    EXPECT_CHECK_FAILS(l.pop_front(), "the list is empty");
    EXPECT_CHECK_FAILS(l.find(1), "the item specified does not exist within the list");
    l.push_back(1);
    l.push_back(2);
    other.push_back(1);
    list<int>::iterator it = l.begin();
    EXPECT_TRUE(--it == l.end());
    EXPECT_CHECK_FAILS(--it, "the iterator has already reached the beginning of the container");
    it = l.rbegin();
    EXPECT_TRUE(++it == l.end());
    EXPECT_CHECK_FAILS(++it, "the iterator has already reached the end of the container");
    EXPECT_CHECK_FAILS(*it, "the iterator does not reference a valid object");
    EXPECT_CHECK_FAILS(l.erase(l.end()), "the iterator does not reference a valid object");
    // Another list's node would be unlinked from the wrong chain.
    EXPECT_CHECK_FAILS(l.erase(other.begin()), "the iterator does not reference a valid object");
    EXPECT_CHECK_FAILS(l.insert(other.begin(), 5), "the iterator does not reference a valid object");
    EXPECT_EQ((std::vector<int>{1, 2}), Walk(l));
    EXPECT_EQ((std::vector<int>{1}), Walk(other));
}

struct Counted {
    static int live;
    int id;
    explicit Counted(int value) : id(value) { ++live; }
    Counted(const Counted& other) : id(other.id) { ++live; }
    ~Counted() { --live; }
    bool operator==(const Counted& other) const { return id == other.id; }
};
int Counted::live = 0;

TEST(CetlList, NodesAreTrackedAndReleasedWithTheirElements) {
    DWORD before = MemGetStats().liveBlocks;
    {
        list<Counted> l;
        for (int i = 0; i < 50; ++i) l.push_back(Counted(i));
        const MemBlock* record = MemFindBlock(l.begin().node());
        ASSERT_NE(nullptr, record);
        EXPECT_STREQ("mynodetype", record->tag);
        EXPECT_STREQ("c:\\src\\wince\\cetl/list", record->file);
        EXPECT_EQ(kMemKindObject, record->kind);
        list<Counted> copy(l);
        copy.front().id = 42;
        EXPECT_EQ(0, l.front().id);
        EXPECT_EQ(100, Counted::live);
        EXPECT_EQ(before + 100, MemGetStats().liveBlocks);
        l.clear();
        EXPECT_TRUE(l.begin() == l.end());
        EXPECT_EQ(50, Counted::live);
        EXPECT_EQ(before + 50, MemGetStats().liveBlocks);
    }
    EXPECT_EQ(0, Counted::live);
    EXPECT_EQ(before, MemGetStats().liveBlocks);
}

} // namespace
