// The animation window's plain rules, driven without a window: dirty-rectangle merging, filter order and
// reference counts, and the reuse of schedule slots.
#include "cea_dirty_region.h"
#include "cea_filters.h"
#include "cea_schedule.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

RECT R(LONG l, LONG t, LONG r, LONG b) { return RECT{l, t, r, b}; }

std::vector<std::vector<LONG>> Rects(const DirtyRegion& region) {
    std::vector<std::vector<LONG>> out;
    for (DWORD i = 0; i < region.GetCount(); ++i) {
        const RECT* r = region.Get(i);
        out.push_back({r->left, r->top, r->right, r->bottom});
    }
    return out;
}

using V = std::vector<std::vector<LONG>>;

TEST(DirtyRegion, BridgingRectangleJoinsBothNeighbours) {
    DirtyRegion region;
    RECT a = R(0, 0, 10, 10), b = R(20, 0, 30, 10), c = R(5, 0, 25, 10);
    region.Add(&a);
    region.Add(&b);
    region.Add(&c);
    EXPECT_EQ(Rects(region), (V{{0, 0, 30, 10}}));
}

TEST(DirtyRegion, TouchingEdgesStaySeparateAndEmptyOnesAreIgnored) {
    DirtyRegion region;
    RECT a = R(0, 0, 10, 10), b = R(10, 0, 20, 10), below = R(0, 10, 10, 20), empty = R(5, 5, 5, 9);
    region.Add(&a);
    region.Add(&b);
    region.Add(&below);
    region.Add(&empty);
    region.Add(nullptr);
    EXPECT_EQ(Rects(region), (V{{0, 0, 10, 10}, {10, 0, 20, 10}, {0, 10, 10, 20}}));
    EXPECT_EQ(region.Get(3), nullptr);
    region.Clear();
    EXPECT_TRUE(region.IsEmpty());
}

TEST(DirtyRegion, MergedSlotTakesTheLastRectangle) {
    // The first merge lands in slot 0, then grows into slot 2; slot 0 is refilled by the last (slot 3).
    DirtyRegion region;
    RECT rects[] = {R(0, 0, 10, 10), R(100, 100, 110, 110), R(20, 0, 30, 10), R(200, 0, 210, 10)};
    for (RECT& r : rects) region.Add(&r);
    RECT joiner = R(5, 0, 25, 5);
    region.Add(&joiner);
    EXPECT_EQ(Rects(region), (V{{200, 0, 210, 10}, {100, 100, 110, 110}, {0, 0, 30, 10}}));
    // When the merged rectangle's partner is the last one, it ends in the freed slot.
    DirtyRegion tail;
    RECT t[] = {R(0, 0, 10, 10), R(50, 0, 60, 10), R(20, 0, 30, 10)};
    for (RECT& r : t) tail.Add(&r);
    RECT bridge = R(8, 0, 22, 10);
    tail.Add(&bridge);
    EXPECT_EQ(Rects(tail), (V{{0, 0, 30, 10}, {50, 0, 60, 10}}));
}

TEST(DirtyRegion, ManyDisjointRectanglesAreAllKept) {
    DirtyRegion region;
    for (LONG i = 0; i < 100; ++i) {
        RECT r = R(i * 3, 0, i * 3 + 2, 2);
        region.Add(&r);
    }
    ASSERT_EQ(region.GetCount(), 100u);
    EXPECT_EQ(region.Get(99)->left, 297);
    RECT all = R(0, 0, 400, 1);
    region.Add(&all);
    EXPECT_EQ(Rects(region), (V{{0, 0, 400, 2}}));
}

std::vector<int> g_calls;
LRESULT CALLBACK F1(HWND, UINT, WPARAM, LPARAM) { return g_calls.push_back(1), 0; }
LRESULT CALLBACK F2(HWND, UINT, WPARAM, LPARAM) { return g_calls.push_back(2), 0; }
LRESULT CALLBACK F3(HWND, UINT, WPARAM, LPARAM) { return g_calls.push_back(3), 0; }
LRESULT CALLBACK Stopper(HWND, UINT, WPARAM, LPARAM) { return g_calls.push_back(9), 1; }

std::vector<int> Calls(FilterTable& table, UINT message) {
    g_calls.clear();
    table.Dispatch(nullptr, message, 0, 0);
    return g_calls;
}

TEST(Filters, PriorityOrderWithNewestFirstAmongEquals) {
    FilterTable table;
    table.Add(F1, FilterFlags(afALL, 0)); // priority 0 means 100
    table.Add(F2, FilterFlags(afALL, 50));
    table.Add(F3, FilterFlags(afALL, 100));
    EXPECT_EQ(Calls(table, WM_TIMER), (std::vector<int>{2, 3, 1}));
    table.Add(Stopper, FilterFlags(afALL, 60));
    EXPECT_EQ(Calls(table, WM_TIMER), (std::vector<int>{2, 9})) << "a non-zero answer ends the dispatch";
}

TEST(Filters, TwoRegistrationsWidenTheMaskAndNeedTwoRemovals) {
    FilterTable table;
    table.Add(F1, FilterFlags(afMOUSE, 0));
    EXPECT_EQ(Calls(table, WM_KEYDOWN), (std::vector<int>{}));
    table.Add(F1, FilterFlags(afKEYBOARD, 10)); // the priority of the first registration stays
    table.Add(F2, FilterFlags(afALL, 50));
    EXPECT_EQ(Calls(table, WM_LBUTTONDOWN), (std::vector<int>{2, 1}));
    EXPECT_EQ(Calls(table, WM_KEYDOWN), (std::vector<int>{2, 1}));
    EXPECT_EQ(Calls(table, WM_TIMER), (std::vector<int>{2})) << "mouse and keyboard bits only";
    table.Remove(F1);
    EXPECT_EQ(Calls(table, WM_KEYDOWN), (std::vector<int>{2, 1}));
    table.Remove(F1);
    EXPECT_EQ(Calls(table, WM_KEYDOWN), (std::vector<int>{2}));
    table.Remove(F1); // one removal too many changes nothing
    EXPECT_EQ(Calls(table, WM_KEYDOWN), (std::vector<int>{2}));
}

TEST(Filters, FreedSlotIsReusedInOrder) {
    FilterTable table;
    table.Add(F1, FilterFlags(afALL, 10));
    table.Add(F2, FilterFlags(afALL, 20));
    table.Add(F3, FilterFlags(afALL, 30));
    table.Remove(F2);
    DWORD slots = table.GetCount();
    table.Add(F2, FilterFlags(afALL, 25));
    EXPECT_EQ(Calls(table, WM_TIMER), (std::vector<int>{1, 2, 3}));
    table.Add(Stopper, FilterFlags(afALL, 5));
    EXPECT_EQ(Calls(table, WM_TIMER), (std::vector<int>{9}));
    EXPECT_LE(table.GetCount(), slots + 2);
}

TEST(Filters, MouseRangeOfEachBuild) {
    EXPECT_TRUE(FilterTable::IsMouseMessage(0x200));
    EXPECT_TRUE(FilterTable::IsMouseMessage(0x209));
#ifdef UNICODE
    EXPECT_TRUE(FilterTable::IsMouseMessage(0x20A));
#else
    EXPECT_FALSE(FilterTable::IsMouseMessage(0x20A));
#endif
    EXPECT_FALSE(FilterTable::IsMouseMessage(0x1FF));
    EXPECT_TRUE(FilterTable::IsKeyboardMessage(0x108));
    EXPECT_FALSE(FilterTable::IsKeyboardMessage(0x109));
}

TEST(Schedule, SlotsAreReusedAndUnscheduleMatchesItsKind) {
    Schedule s;
    AnimObject* a = reinterpret_cast<AnimObject*>(0x1000);
    AnimObject* b = reinterpret_cast<AnimObject*>(0x2000);
    Graphic* g = reinterpret_cast<Graphic*>(0x3000);
    RECT r = R(1, 2, 3, 4);
    EXPECT_EQ(s.AddObject(5, a, g, &r), 0u);
    EXPECT_EQ(s.AddObject(6, b, nullptr, nullptr), 1u);
    EXPECT_EQ(s.AddEvent(5, 7, 70), 2u);
    EXPECT_EQ(s.AddEvent(6, 7, 71), 3u);
    EXPECT_EQ(s.AddEvent(6, 8, 70), 4u);
    EXPECT_EQ(s.GetCount(), 16u) << "the table grows by 16 entries";
    EXPECT_EQ(s.Get(0)->rect.right, 3);
    EXPECT_EQ(s.Get(3)->value, 71);
    s.RemoveEvents(0, 70); // any code with value 70
    EXPECT_FALSE(s.Get(2)->inUse);
    EXPECT_FALSE(s.Get(4)->inUse);
    EXPECT_TRUE(s.Get(3)->inUse);
    EXPECT_EQ(s.AddEvent(9, 1, 1), 2u) << "the first free slot is taken";
    s.RemoveGraphic(g);
    EXPECT_FALSE(s.Get(0)->inUse);
    EXPECT_TRUE(s.Get(1)->inUse) << "an entry with a null graphic is not that graphic's";
    s.RemoveFrame(6);
    EXPECT_FALSE(s.Get(1)->inUse);
    EXPECT_FALSE(s.Get(3)->inUse);
    EXPECT_TRUE(s.Get(2)->inUse);
    s.RemoveObject(a);
    s.RemoveEvents(1, 0);
    EXPECT_FALSE(s.Get(2)->inUse);
    EXPECT_EQ(s.AddObject(1, nullptr, g, &r), kNoEntry) << "an object entry needs an object";
}

} // namespace
