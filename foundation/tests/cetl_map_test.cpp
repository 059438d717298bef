// cetl::map, safemap and stringmap: key order with equal keys, lookups and
// removal against a multimap, the skip-list links, rand draws, failures,
// defaults and tracking.
#include "cetl_map.h"
#include "cetl_check_failure.h"

#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <set>
#include <stdlib.h>
#include <string>
#include <utility>
#include <vector>

namespace {

using cetl::map;
typedef std::vector<std::pair<int, int>> Pairs;

Pairs Walk(const map<int, int>& m, bool backward = false) {
    Pairs out;
    for (auto it = backward ? m.rbegin() : m.begin(); it != m.end(); backward ? --it : ++it) {
        out.push_back({it.key(), *it});
    }
    return out;
}

// Each level must link exactly the nodes that reach it, in chain order.
void ExpectWellFormed(const map<int, int>& m) {
    DWORD count = 0;
    for (auto it = m.begin(); it != m.end(); ++it, ++count) {
        map<int, int>::mynodetype* node = it.node();
        ASSERT_TRUE(node->levels >= 1 && node->levels <= m.levels());
        ASSERT_TRUE(!node->next || (node->next->prev == node && node->key <= node->next->key));
        for (DWORD level = 0; level < map<int, int>::kMaxLevels; ++level) {
            map<int, int>::mynodetype* expected = nullptr;
            if (level < node->levels) {
                for (expected = node->next; expected && expected->levels <= level;) expected = expected->next;
            }
            ASSERT_EQ(expected, node->forward[level]) << "level " << level;
        }
    }
    ASSERT_EQ(m.size(), count);
}

TEST(CetlMap, EqualKeysFollowInInsertionOrderAndLookupsFindTheNewest) {
    map<int, int> m;
    int keys[] = {5, 3, 9, 3, 1, 5, 3};
    for (int i = 0; i < 7; ++i) m.insert(keys[i], i);
    Pairs expected = {{1, 4}, {3, 1}, {3, 3}, {3, 6}, {5, 0}, {5, 5}, {9, 2}};
    EXPECT_EQ(expected, Walk(m));
    EXPECT_EQ(Pairs(expected.rbegin(), expected.rend()), Walk(m, true));
    EXPECT_EQ(6, m.at(3));
    m.erase(3);
    EXPECT_EQ(3, m[3]);
    EXPECT_EQ(0, m[4]); // operator[] inserts a missing key
    EXPECT_EQ(7u, m.size());
    ExpectWellFormed(m);
}

TEST(CetlMap, RandomEditsMatchAMultimapForSeveralShapes) {
    std::pair<float, DWORD> shapes[] = {{0.0f, 1}, {0.5f, 4}, {0.79f, 32}, {0.25f, 64}, {1.0f, 3}};
    srand(2024);
    for (auto shape : shapes) {
        map<int, int> m(shape.first, shape.second);
        std::multimap<int, int> reference;
        for (int step = 0; step < 3000; ++step) {
            int key = rand() % 60, choice = rand() % 4;
            auto newest = reference.upper_bound(key);
            bool present = reference.count(key) > 0;
            if (choice < 2) {
                m.insert(key, step);
                reference.insert({key, step});
            } else if (choice == 2 && present) {
                ASSERT_EQ(std::prev(newest)->second, m.at(key));
                m.erase(key);
                reference.erase(std::prev(newest));
            } else if (choice == 3 && !reference.empty()) { // one node by position, often among equals
                DWORD index = rand() % reference.size();
                auto it = m.begin();
                for (DWORD i = 0; i < index; ++i) ++it;
                m.erase(it);
                reference.erase(std::next(reference.begin(), index));
            } else {
                ASSERT_EQ(present, m.exists(key));
            }
        }
        ASSERT_EQ(Pairs(reference.begin(), reference.end()), Walk(m)) << shape.second;
        ExpectWellFormed(m);
    }
}

TEST(CetlMap, ShapeAndLevelDrawsComeFromTheRuntimesRand) {
    EXPECT_EQ(79, (map<int, int>(0.79f, 32).promotion()));
    EXPECT_EQ(100, (map<int, int>(1.5f, 8).promotion()));
    EXPECT_EQ(0, (map<int, int>(-0.5f, 8).promotion()));
    EXPECT_EQ(64u, (map<int, int>(0.5f, 65).levels()));
    EXPECT_EQ(1u, (map<int, int>(0.5f, 0).levels()));

    srand(99);
    std::vector<int> draws;
    for (int i = 0; i < 20; ++i) draws.push_back(rand());
    srand(99);
    map<int, int> flat(0.0f, 16), tall(1.0f, 6);
    for (int i = 0; i < 5; ++i) flat.insert(i, i); // one draw each
    tall.insert(1, 1);                             // one draw per level
    EXPECT_EQ(draws[11], rand());
    EXPECT_EQ(1u, flat.rbegin().node()->levels);
    EXPECT_EQ(6u, tall.begin().node()->levels);

    // A percentage between the extremes: each node takes draws until one is
    // not below the percentage, that draw's level included, at most the
    // number of levels. The percentage is the first draw's own value, so the
    // first node stops exactly at a draw equal to it.
    srand(1234);
    draws.clear();
    for (int i = 0; i < 400; ++i) draws.push_back(rand() % 100);
    int percentage = draws[0];
    ASSERT_GT(percentage, 0) << "choose a seed whose first draw is above 0";
    ASSERT_LT(percentage, 100);
    srand(1234);
    const DWORD levels = 5;
    map<int, int> mixed(percentage / 100.0f, levels);
    ASSERT_EQ(percentage, mixed.promotion());
    std::vector<DWORD> want;
    size_t next = 0;
    for (int key = 0; key < 40; ++key) {
        DWORD level = 0;
        while (level < levels) {
            ++level;
            if (draws[next++] >= percentage) break;
        }
        want.push_back(level);
        mixed.insert(key, key);
    }
    ASSERT_LT(next, draws.size());
    EXPECT_EQ(draws[next], rand() % 100) << "one draw per level reached, no more";
    std::vector<DWORD> got;
    for (auto it = mixed.begin(); it != mixed.end(); ++it) got.push_back(it.node()->levels);
    EXPECT_EQ(want, got);
    EXPECT_EQ(1u, got[0]) << "a draw equal to the percentage ends the climb";
    std::set<DWORD> shapes(want.begin(), want.end());
    EXPECT_GE(shapes.size(), 3u) << "the seed should give nodes of several heights";
    ExpectWellFormed(mixed);
}

TEST(CetlMap, FailedChecksReportAndLeaveTheMapUnchanged) {
    map<int, int> m, other;
    m.insert(1, 10);
    other.insert(1, 10);
    EXPECT_CHECK_FAILS(m.at(2), "the index specified does not exist within the map");
    EXPECT_CHECK_FAILS(m.erase(2), "the index specified does not exist within the map");
    EXPECT_CHECK_FAILS(m.erase(m.end()), "the iterator does not reference a valid object");
    EXPECT_CHECK_FAILS(m.erase(other.begin()), "the iterator does not reference a valid object");
    map<int, int>::iterator it = m.end();
    EXPECT_CHECK_FAILS(++it, "the iterator has already reached the end of the container");
    EXPECT_CHECK_FAILS(--it, "the iterator has already reached the beginning of the container");
    EXPECT_CHECK_FAILS(it.key(), "the iterator does not reference a valid object");
    EXPECT_CHECK_FAILS(*it, "the iterator does not reference a valid object");
    EXPECT_EQ((Pairs{{1, 10}}), Walk(m));
    EXPECT_EQ((Pairs{{1, 10}}), Walk(other));
}

TEST(CetlMap, NodesAreTrackedAndClearingReleasesThem) {
    DWORD before = MemGetStats().liveBlocks;
    {
        map<int, int> m;
        for (int i = 0; i < 100; ++i) m.insert(i % 7, i);
        const MemBlock* record = MemFindBlock(m.begin().node());
        ASSERT_NE(nullptr, record);
        EXPECT_STREQ("mynodetype", record->tag);
        EXPECT_STREQ("c:\\src\\wince\\cetl\\map", record->file);
        map<int, int> copy(m);
        EXPECT_EQ(Walk(m), Walk(copy));
        EXPECT_EQ(before + 200, MemGetStats().liveBlocks);
        m.clear();
        EXPECT_EQ(before + 100, MemGetStats().liveBlocks);
        m.insert(3, 3); // the head's links were reset too
        EXPECT_EQ((Pairs{{3, 3}}), Walk(m));
    }
    EXPECT_EQ(before, MemGetStats().liveBlocks);
}

// set() writes through the virtual operator[], so an override sees it.
struct CountingMap : cetl::safemap<int, int> {
    CountingMap() : cetl::safemap<int, int>(0.5f, 8, -1) {}
    int subscripts = 0;
    int& operator[](const int& key) override {
        ++subscripts;
        return safemap::operator[](key);
    }
};

TEST(CetlSafemap, MissingKeysGetDefaultsOnlyOperatorSubscriptInserts) {
    CountingMap counting;
    cetl::safemap<int, int>& m = counting;
    m.insert(1, 10);
    EXPECT_EQ(&m.defaultValue(), &m.lookup(2));
    EXPECT_EQ(-1, m.get(2));
    EXPECT_EQ(77, m.get(2, 77));
    EXPECT_EQ(10, m.get(1, 77));
    EXPECT_FALSE(m.exists(2));
    EXPECT_EQ(1u, m.size());
    EXPECT_EQ(0, m[2]); // default-constructed, not the stored default
    m.set(3, 30);
    m.set(3, 31);
    EXPECT_EQ(3u, m.size());
    EXPECT_EQ(31, m.lookup(3));
    EXPECT_EQ(3, counting.subscripts);
}

TEST(CetlStringmap, KeysCompareWithoutCaseAndEqualKeysKeepInsertionOrder) {
    cetl::stringmap<int> m;
    istring b("B"), lowerA("a"), upperA("A"), missing("c");
    m.insert(b, 1);
    m.insert(lowerA, 2);
    m.insert(upperA, 3);
    std::string order;
    for (auto it = m.begin(); it != m.end(); ++it) order += it.key().Psz8();
    EXPECT_EQ("aAB", order);
    EXPECT_EQ(3, m.lookup(lowerA));
    EXPECT_TRUE(m.exists(istring("b")));
    EXPECT_CHECK_FAILS(m.at(missing), "the index specified does not exist within the map");
}

} // namespace
