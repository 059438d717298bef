// cetl::map, safemap and stringmap: key order with equal keys, lookups,
// removal, the skip-list links, the draws of rand, failures and tracking.
#include "cetl_map.h"
#include "cetl_check_failure.h"

#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <stdlib.h>
#include <utility>
#include <vector>

namespace {

using cetl::map;
using cetl::safemap;
using cetl::stringmap;

typedef std::vector<std::pair<int, int>> Pairs;

template <class M>
Pairs Forward(const M& m) {
    Pairs out;
    for (auto it = m.begin(); it != m.end(); ++it) out.push_back({it.key(), it.value()});
    return out;
}

template <class M>
Pairs Backward(const M& m) {
    Pairs out;
    for (auto it = m.rbegin(); it != m.rend(); --it) out.push_back({it.key(), *it});
    return out;
}

// Every level's links must skip exactly the nodes that do not reach it, and
// the chain must be ordered and agree with the count.
template <class K, class V>
void ExpectWellFormed(const map<K, V>& m) {
    DWORD count = 0;
    typedef typename map<K, V>::mynodetype Node;
    for (auto it = m.begin(); it != m.end(); ++it, ++count) {
        Node* node = it.node();
        ASSERT_GE(node->levels, 1u);
        ASSERT_LE(node->levels, m.levels());
        if (node->next) {
            ASSERT_FALSE(node->next->key < node->key);
            ASSERT_EQ(node, node->next->prev);
        }
        for (DWORD level = 0; level < map<K, V>::kMaxLevels; ++level) {
            Node* expected = nullptr;
            if (level < node->levels) {
                for (expected = node->next; expected && expected->levels <= level;) expected = expected->next;
            }
            ASSERT_EQ(expected, node->forward[level]) << "level " << level;
        }
    }
    ASSERT_EQ(m.size(), count);
}

TEST(CetlMap, IteratesInKeyOrderWithEqualKeysInInsertionOrder) {
    map<int, int> m;
    int keys[] = {5, 3, 9, 3, 1, 5, 3, 7};
    for (int i = 0; i < 8; ++i) m.insert(keys[i], i);
    Pairs expected = {{1, 4}, {3, 1}, {3, 3}, {3, 6}, {5, 0}, {5, 5}, {7, 7}, {9, 2}};
    EXPECT_EQ(expected, Forward(m));
    EXPECT_EQ(Pairs(expected.rbegin(), expected.rend()), Backward(m));
    EXPECT_EQ(8u, m.size());
    ExpectWellFormed(m);
}

TEST(CetlMap, LookupsFindTheNewestOfEqualKeys) {
    map<int, int> m;
    m.insert(3, 1);
    m.insert(3, 2);
    m.insert(2, 0);
    m.insert(4, 0);
    EXPECT_EQ(2, m.at(3));
    EXPECT_EQ(2, *m.find(3));
    m[3] = 20; // an existing key is not inserted again
    EXPECT_EQ(4u, m.size());
    m.erase(3); // removes the newest
    EXPECT_EQ((Pairs{{2, 0}, {3, 1}, {4, 0}}), Forward(m));
    EXPECT_EQ(1, m.at(3));
    EXPECT_TRUE(m.find(5) == m.end());
    EXPECT_TRUE(m.find(0) == m.end());
    EXPECT_FALSE(m.exists(5));
    EXPECT_EQ(0, m[5]);
    EXPECT_TRUE(m.exists(5));
    EXPECT_EQ(4u, m.size());
    ExpectWellFormed(m);
}

TEST(CetlMap, RandomEditsMatchAMultimapForSeveralShapes) {
    struct Shape {
        float probability;
        DWORD levels;
    } shapes[] = {{0.0f, 1}, {0.5f, 4}, {0.79f, 32}, {0.25f, 64}, {1.0f, 3}};
    srand(2024);
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(shape.levels);
        map<int, int> m(shape.probability, shape.levels);
        std::multimap<int, int> reference;
        for (int step = 0; step < 3000; ++step) {
            int key = rand() % 60;
            int choice = rand() % 4;
            if (choice < 2) {
                m.insert(key, step);
                reference.insert({key, step});
            } else if (choice == 2) {
                auto range = reference.equal_range(key);
                if (range.first == range.second) {
                    EXPECT_FALSE(m.exists(key));
                    continue;
                }
                EXPECT_EQ(std::prev(range.second)->second, m.at(key));
                m.erase(key);
                reference.erase(std::prev(range.second));
            } else if (!reference.empty()) {
                // Remove one node picked by position, often between equal keys.
                DWORD index = rand() % reference.size();
                auto it = m.begin();
                for (DWORD i = 0; i < index; ++i) ++it;
                m.erase(it);
                reference.erase(std::next(reference.begin(), index));
            }
        }
        ASSERT_EQ(Pairs(reference.begin(), reference.end()), Forward(m));
        ExpectWellFormed(m);
        for (int key = 0; key < 60; ++key) {
            auto range = reference.equal_range(key);
            ASSERT_EQ(range.first != range.second, m.exists(key));
            if (range.first != range.second) {
                ASSERT_EQ(std::prev(range.second)->second, m.at(key));
            }
        }
    }
}

TEST(CetlMap, ErasingAtAnIteratorReturnsTheNextPosition) {
    map<int, int> m;
    for (int i = 0; i < 10; ++i) m.insert(i % 3, i);
    map<int, int>::iterator it = m.begin();
    ++it; // the second of the three 0 keys
    it = m.erase(it);
    EXPECT_EQ(6, *it);
    Pairs pairs = Forward(m);
    EXPECT_EQ((Pairs{{0, 0}, {0, 6}, {0, 9}}), Pairs(pairs.begin(), pairs.begin() + 3));
    it = m.erase(m.rbegin());
    EXPECT_TRUE(it == m.end());
    EXPECT_EQ(8u, m.size());
    ExpectWellFormed(m);
}

TEST(CetlMap, ProbabilityIsAPercentageAndLevelsAreLimited) {
    EXPECT_EQ(79, (map<int, int>(0.79f, 32).promotion()));
    EXPECT_EQ(32u, (map<int, int>(0.79f, 32).levels()));
    EXPECT_EQ(100, (map<int, int>(1.5f, 8).promotion()));
    EXPECT_EQ(0, (map<int, int>(-0.5f, 8).promotion()));
    EXPECT_EQ(64u, (map<int, int>(0.5f, 65).levels()));
    EXPECT_EQ(1u, (map<int, int>(0.5f, 0).levels()));
}

TEST(CetlMap, LevelsAreDrawnFromTheRuntimesRand) {
    // A promotion of 0 stops at the first draw: one rand per insert.
    srand(99);
    std::vector<int> sequence;
    for (int i = 0; i < 20; ++i) sequence.push_back(rand());
    srand(99);
    map<int, int> flat(0.0f, 16);
    for (int i = 0; i < 5; ++i) flat.insert(i, i);
    EXPECT_EQ(sequence[5], rand());
    for (auto it = flat.begin(); it != flat.end(); ++it) EXPECT_EQ(1u, it.node()->levels);

    // A promotion of 100 never stops early: every node reaches every level,
    // one draw per level.
    srand(99);
    map<int, int> tall(1.0f, 6);
    tall.insert(1, 1);
    tall.insert(2, 2);
    EXPECT_EQ(sequence[12], rand());
    for (auto it = tall.begin(); it != tall.end(); ++it) EXPECT_EQ(6u, it.node()->levels);

    // At 50 a node's height is the number of draws up to the first one not
    // below 50.
    srand(99);
    DWORD expected = 1;
    while (expected < 64 && sequence[expected - 1] % 100 < 50) ++expected;
    ASSERT_LT(expected, 20u);
    srand(99);
    map<int, int> half(0.5f, 64);
    half.insert(1, 1);
    EXPECT_EQ(expected, half.begin().node()->levels);
}

TEST(CetlMap, FailedChecksLeaveTheMapUnchanged) {
    map<int, int> m;
    EXPECT_CHECK_FAILS(m.at(1), "the index specified does not exist within the map");
    EXPECT_CHECK_FAILS(m.erase(1), "the index specified does not exist within the map");
    m.insert(1, 10);
    m.insert(3, 30);
    EXPECT_CHECK_FAILS(m.at(2), "the index specified does not exist within the map");
    EXPECT_CHECK_FAILS(m.erase(2), "the index specified does not exist within the map");
    EXPECT_CHECK_FAILS(m.erase(m.end()), "the iterator does not reference a valid object");
    map<int, int> other;
    other.insert(1, 10);
    EXPECT_CHECK_FAILS(m.erase(other.begin()), "the iterator does not reference a valid object");

    map<int, int>::iterator it = m.rbegin();
    ++it;
    EXPECT_CHECK_FAILS(++it, "the iterator has already reached the end of the container");
    EXPECT_CHECK_FAILS(*it, "the iterator does not reference a valid object");
    EXPECT_CHECK_FAILS(it.key(), "the iterator does not reference a valid object");
    EXPECT_CHECK_FAILS(it.value(), "the iterator does not reference a valid object");
    it = m.begin();
    --it;
    EXPECT_CHECK_FAILS(--it, "the iterator has already reached the beginning of the container");
    EXPECT_EQ((Pairs{{1, 10}, {3, 30}}), Forward(m));
    EXPECT_EQ((Pairs{{1, 10}}), Forward(other));
}

TEST(CetlMap, NodesAreTrackedAndClearingReleasesAll) {
    DWORD before = MemGetStats().liveBlocks;
    {
        map<int, int> m;
        for (int i = 0; i < 100; ++i) m.insert(i % 7, i);
        EXPECT_EQ(before + 100, MemGetStats().liveBlocks);
        const MemBlock* record = MemFindBlock(m.begin().node());
        ASSERT_NE(nullptr, record);
        EXPECT_STREQ("mynodetype", record->tag);
        EXPECT_STREQ("c:\\src\\wince\\cetl\\map", record->file);
        EXPECT_EQ(kMemKindObject, record->kind);

        map<int, int> copy(m);
        EXPECT_EQ(Forward(m), Forward(copy));
        EXPECT_EQ(before + 200, MemGetStats().liveBlocks);
        std::vector<const void*> nodes;
        for (auto it = m.begin(); it != m.end(); ++it) nodes.push_back(it.node());
        m.clear();
        for (const void* node : nodes) EXPECT_EQ(nullptr, MemFindBlock(node));
        EXPECT_EQ(before + 100, MemGetStats().liveBlocks);
        EXPECT_TRUE(m.begin() == m.end());
        EXPECT_FALSE(m.exists(3));
        m.insert(3, 3); // the head links were reset too
        EXPECT_EQ((Pairs{{3, 3}}), Forward(m));
        ExpectWellFormed(m);
    }
    EXPECT_EQ(before, MemGetStats().liveBlocks);
}

TEST(CetlSafemap, MissingKeysAnswerWithDefaultsWithoutInserting) {
    safemap<int, int> m(0.5f, 8, -1);
    m.insert(1, 10);
    EXPECT_EQ(-1, m.lookup(2));
    EXPECT_EQ(&m.defaultValue(), &m.lookup(2));
    EXPECT_EQ(-1, m.get(2));
    EXPECT_EQ(77, m.get(2, 77));
    EXPECT_EQ(10, m.get(1, 77));
    EXPECT_EQ(10, m.lookup(1));
    EXPECT_FALSE(m.exists(2));
    EXPECT_EQ(1u, m.size());

    EXPECT_EQ(0, m[2]); // a default-constructed value, not the stored default
    EXPECT_EQ(2u, m.size());
    m.set(3, 30);
    m.set(3, 31);
    EXPECT_EQ(3u, m.size());
    EXPECT_EQ(31, m.get(3));
    m.setDefaultValue(-2);
    EXPECT_EQ(-2, m.get(4));
}

// set() goes through the virtual operator[], so an override sees every write.
struct CountingMap : safemap<int, int> {
    int subscripts = 0;
    int& operator[](const int& key) override {
        ++subscripts;
        return safemap<int, int>::operator[](key);
    }
};

TEST(CetlSafemap, OperationsDispatchThroughTheVirtualTable) {
    CountingMap counting;
    safemap<int, int>& base = counting;
    base.set(5, 50);
    base[6] = 60;
    EXPECT_EQ(2, counting.subscripts);
    EXPECT_EQ(50, base.get(5));
    EXPECT_TRUE(base.exists(6));
}

TEST(CetlStringmap, KeysCompareWithoutCaseAndEqualKeysKeepInsertionOrder) {
    stringmap<int> m;
    istring b("B"), lowerA("a"), upperA("A");
    m.insert(b, 1);
    m.insert(lowerA, 2);
    m.insert(upperA, 3);
    std::vector<std::string> keys;
    for (auto it = m.begin(); it != m.end(); ++it) keys.push_back(it.key().Psz8());
    EXPECT_EQ((std::vector<std::string>{"a", "A", "B"}), keys);
    keys.clear();
    for (auto it = m.rbegin(); it != m.rend(); --it) keys.push_back(it.key().Psz8());
    EXPECT_EQ((std::vector<std::string>{"B", "A", "a"}), keys);
    EXPECT_EQ(3, m.lookup(istring("a")));
    EXPECT_TRUE(m.exists(istring("b")));
    m.erase(istring("A"));
    EXPECT_EQ(2, m.get(istring("a")));
    EXPECT_EQ(2u, m.size());
    istring missing("c");
    EXPECT_CHECK_FAILS(m.at(missing), "the index specified does not exist within the map");
}

} // namespace
