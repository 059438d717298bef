// Palette merges (shared and distinct colours, locked members, running out of colours, the uniform
// palette) and sprite frames (splits, frame numbers, child sprites).
#include "cea_graphic.h"
#include "cea_palette_group.h"
#include "cea_sprite.h"
#include "mem_manager.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <vector>

namespace {

// An 8-bit graphic whose pixel i shows colours[i % count] through a palette of its own order.
Graphic* Painted(const COLORREF* colours, int count, int offset) {
    RGBQUAD palette[256] = {};
    for (int i = 0; i < count; ++i) {
        int at = (i + offset) % 256;
        palette[at] = {GetBValue(colours[i]), GetGValue(colours[i]), GetRValue(colours[i]), 0};
    }
    Graphic* g = MEMNEW(Graphic, (count, 1, 8, palette));
    for (int i = 0; i < count; ++i) g->SetPixelValue(i, 0, (i + offset) % 256);
    return g;
}

TEST(PaletteGroup, MergeSharesColoursAndKeepsLockedPixels) {
    const COLORREF first[] = {RGB(10, 20, 30), RGB(200, 0, 0), RGB(1, 2, 3)};
    const COLORREF second[] = {RGB(200, 0, 0), RGB(0, 99, 0)};
    Graphic* a = Painted(first, 3, 5);
    Graphic* b = Painted(second, 2, 40);
    Graphic* locked = Painted(second, 2, 7);
    PaletteGroup group;
    EXPECT_EQ(group.GetColor(0), RGB(0, 0, 0));
    EXPECT_EQ(group.GetColor(255), RGB(255, 255, 255));
    ASSERT_TRUE(group.Open());
    group.Add(a);
    group.Add(b);
    group.Add(locked, TRUE);
    group.Close();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(a->GetPixelColor(i, 0), first[i]);
    for (int i = 0; i < 2; ++i) EXPECT_EQ(b->GetPixelColor(i, 0), second[i]);
    EXPECT_EQ(a->GetPixelValue(1, 0), b->GetPixelValue(0, 0)); // one index for the shared red
    EXPECT_EQ(group.FindColor(RGB(0, 99, 0)), b->GetPixelValue(1, 0));
    EXPECT_EQ(locked->GetPixelValue(0, 0), 7u); // kept its pixels, got the merged palette
    EXPECT_EQ(locked->GetPaletteColor(5), group.GetColor(5));
    // A member's open context keeps the group from opening.
    a->GetDC();
    EXPECT_FALSE(group.Open());
    a->ReleaseDC();
    EXPECT_TRUE(group.Open());
    group.Close();
    MEMDELETE(a);
    MEMDELETE(b);
    MEMDELETE(locked);
}

// True when some entry of the closed group shows `colour`.
bool Holds(const PaletteGroup& group, COLORREF colour) {
    for (DWORD i = 0; i < 256; ++i)
        if (group.GetColor(i) == colour) return true;
    return false;
}

// Every merge starts from an empty palette: colours that no member uses any more leave it, and members
// changed since the last merge are remapped from their current colours.
TEST(PaletteGroup, RemergingFollowsChangedAndRemovedMembers) {
    const COLORREF first[] = {RGB(10, 20, 30), RGB(200, 0, 0)};
    const COLORREF second[] = {RGB(0, 99, 0), RGB(5, 6, 7)};
    Graphic* a = Painted(first, 2, 3);
    Graphic* b = Painted(second, 2, 9);
    PaletteGroup group;
    ASSERT_TRUE(group.Open());
    group.Add(a);
    group.Add(b);
    group.AddColor(RGB(1, 1, 1));
    group.Close();
    ASSERT_TRUE(Holds(group, RGB(0, 99, 0)));
    ASSERT_TRUE(Holds(group, RGB(1, 1, 1)));

    // b and the loose colour go; a's red becomes blue through its palette.
    DWORD red = a->GetPixelValue(1, 0);
    PALETTEENTRY blue = {0, 0, 210, 0};
    ASSERT_TRUE(a->SetPaletteEntries(&blue, red, 1));
    ASSERT_TRUE(group.Open());
    group.Remove(b);
    group.RemoveColor(RGB(1, 1, 1));
    group.Close();
    EXPECT_EQ(b->GetPaletteGroup(), nullptr);
    EXPECT_EQ(a->GetPaletteGroup(), &group);
    EXPECT_FALSE(Holds(group, RGB(0, 99, 0)));
    EXPECT_FALSE(Holds(group, RGB(5, 6, 7)));
    EXPECT_FALSE(Holds(group, RGB(1, 1, 1)));
    EXPECT_FALSE(Holds(group, RGB(200, 0, 0)));
    EXPECT_EQ(a->GetPixelColor(0, 0), RGB(10, 20, 30));
    EXPECT_EQ(a->GetPixelColor(1, 0), RGB(0, 0, 210));
    EXPECT_EQ(group.FindColor(RGB(0, 0, 210)), a->GetPixelValue(1, 0));
    // The removed member kept the palette of the merge it took part in.
    EXPECT_EQ(b->GetPixelColor(0, 0), RGB(0, 99, 0));

    // Back in, b merges again; a second close with nothing changed keeps every index.
    ASSERT_TRUE(group.Open());
    group.Add(b);
    group.Close();
    EXPECT_EQ(b->GetPixelColor(1, 0), RGB(5, 6, 7));
    DWORD before[4] = {a->GetPixelValue(0, 0), a->GetPixelValue(1, 0), b->GetPixelValue(0, 0),
                       b->GetPixelValue(1, 0)};
    ASSERT_TRUE(group.Open());
    group.Close();
    DWORD after[4] = {a->GetPixelValue(0, 0), a->GetPixelValue(1, 0), b->GetPixelValue(0, 0),
                      b->GetPixelValue(1, 0)};
    EXPECT_EQ(std::vector<DWORD>(before, before + 4), std::vector<DWORD>(after, after + 4));

    // A member deleted while in the group simply leaves it.
    MEMDELETE(b);
    ASSERT_TRUE(group.Open());
    group.Close();
    EXPECT_FALSE(Holds(group, RGB(0, 99, 0)));
    EXPECT_EQ(a->GetPixelColor(1, 0), RGB(0, 0, 210));

    // Specific colours: taking white off index 255 frees it; a colour pinned to an index holds it there.
    ASSERT_TRUE(group.Open());
    group.RemoveSpecific(255);
    group.Close();
    EXPECT_FALSE(Holds(group, RGB(255, 255, 255)));
    ASSERT_TRUE(group.Open());
    group.AddSpecific(255, RGB(255, 255, 255));
    group.AddSpecific(17, RGB(9, 9, 9));
    group.Close();
    EXPECT_EQ(group.GetColor(255), RGB(255, 255, 255));
    EXPECT_EQ(group.GetColor(17), RGB(9, 9, 9));
    EXPECT_NE(a->GetPixelValue(0, 0), 17u);
    EXPECT_EQ(a->GetPixelColor(0, 0), RGB(10, 20, 30));
    MEMDELETE(a);
}

// A transparent member keeps its transparent pixels transparent through a merge that moves their index.
TEST(PaletteGroup, TransparentValueFollowsTheMerge) {
    const COLORREF colours[] = {RGB(255, 0, 255), RGB(40, 50, 60), RGB(70, 80, 90)};
    Graphic* g = Painted(colours, 3, 100);
    g->SetTransparency(RGB(255, 0, 255));
    ASSERT_TRUE(g->PrepareTransparency());
    EXPECT_EQ(g->GetRowRunCount(0), 1u);
    PaletteGroup group;
    ASSERT_TRUE(group.Open());
    group.Add(g);
    group.Close();
    EXPECT_NE(g->GetPixelValue(0, 0), 100u);
    EXPECT_EQ(g->GetPixelColor(0, 0), RGB(255, 0, 255));
    EXPECT_EQ(g->GetTransparency(), RGB(255, 0, 255));
    // Drawn over a target, the first pixel stays the target's.
    Graphic* target = MEMNEW(Graphic, (3, 1, 24, static_cast<const RGBQUAD*>(nullptr)));
    for (int x = 0; x < 3; ++x) target->SetPixelColor(x, 0, RGB(1, 2, 3));
    g->Draw(target, 0, 0, 0, 0, kToEdge, kToEdge);
    EXPECT_EQ(target->GetPixelColor(0, 0), RGB(1, 2, 3));
    EXPECT_EQ(target->GetPixelColor(2, 0), RGB(70, 80, 90));
    MEMDELETE(target);
    MEMDELETE(g);
}

TEST(PaletteGroup, TooManyColoursKeepTheirOldValues) {
    PaletteGroup group;
    ASSERT_TRUE(group.Open());
    COLORREF colours[256];
    for (int i = 0; i < 256; ++i) colours[i] = RGB(i, 1, 7);
    Graphic* many = Painted(colours, 256, 0);
    Graphic* extra = Painted(colours + 200, 56, 0);
    const COLORREF more[] = {RGB(5, 5, 250), RGB(9, 9, 9)};
    Graphic* late = Painted(more, 2, 100);
    group.Add(many);
    group.Add(late);
    DWORD before = PaletteGroup::GetOutOfColorsCount();
    group.Close();
    // 254 free indices: two colours of `many` and both of `late` find no room.
    EXPECT_EQ(PaletteGroup::GetOutOfColorsCount() - before, 4u);
    EXPECT_EQ(late->GetPixelValue(0, 0), 100u);
    EXPECT_EQ(many->GetPixelColor(0, 0), RGB(0, 1, 7));
    MEMDELETE(many);
    MEMDELETE(extra);
    MEMDELETE(late);
}

TEST(PaletteGroup, UniformPaletteMapsThroughTheTable) {
    PaletteGroup group;
    ASSERT_TRUE(group.Open());
    group.AddEntries(kUniformPalette, 0);
    const COLORREF colours[] = {RGB(255, 255, 255), RGB(0, 0, 0), RGB(130, 45, 200)};
    Graphic* g = Painted(colours, 3, 20);
    group.Add(g);
    group.Close();
    EXPECT_TRUE(group.IsFixed());
    EXPECT_EQ(g->GetPixelValue(0, 0), 255u);
    EXPECT_EQ(g->GetPixelValue(1, 0), 0u);
    EXPECT_EQ(g->GetPixelValue(2, 0), g_uniformMap[0x80 | 1 << 3 | 6]);
    EXPECT_EQ(g->GetPixelColor(2, 0), RGB(192, 40, 225));
    MEMDELETE(g);
    // Every index is some cell's: the table is a permutation with the system colours first.
    std::vector<int> uses(256);
    for (int cell = 0; cell < 256; ++cell) ++uses[g_uniformMap[cell]];
    EXPECT_EQ(std::count(uses.begin(), uses.end(), 1), 256);
    const int spots[][2] = {{1, 16}, {3, 4}, {64, 1}, {173, 7}, {199, 13}, {252, 253}, {253, 254}, {254, 15}};
    for (auto& spot : spots) EXPECT_EQ(g_uniformMap[spot[0]], spot[1]) << "cell " << spot[0];
}

namespace {

// Hue, lightness and saturation on a 0..255 scale (hue 170 for greys), rounded as the engine rounds.
void ReferenceHls(int r, int g, int b, int& h, int& l, int& s) {
    int high = std::max(r, std::max(g, b)), low = std::min(r, std::min(g, b));
    l = ((high + low) * 255 + 255) / 510;
    if (high == low) {
        s = 0;
        h = 170;
        return;
    }
    int spread = high - low;
    s = l <= 127 ? (spread * 255 + (high + low) / 2) / (high + low)
                 : (spread * 255 + (510 - high - low) / 2) / (510 - high - low);
    int dr = ((high - r) * 42 + spread / 2) / spread;
    int dg = ((high - g) * 42 + spread / 2) / spread;
    int db = ((high - b) * 42 + spread / 2) / spread;
    h = r == high ? db - dg : g == high ? 85 + dr - db : 170 + dg - dr;
    if (h < 0) h += 255;
    if (h > 255) h -= 255;
}

// The inverse table by comparing every cell with all 256 entries, the lowest index winning ties.
std::vector<BYTE> ReferenceInverse(const PaletteGroup& group) {
    std::vector<BYTE> table(4096);
    for (int cell = 0; cell < 4096; ++cell) {
        int h, l, s;
        ReferenceHls(16 * (cell >> 8) + 8, 16 * ((cell >> 4) & 15) + 8, 16 * (cell & 15) + 8, h, l, s);
        int best = 0, bestDistance = 1 << 30;
        for (DWORD i = 0; i < 256; ++i) {
            COLORREF c = group.GetColor(i);
            int eh, el, es;
            ReferenceHls(GetRValue(c), GetGValue(c), GetBValue(c), eh, el, es);
            int d = abs(s - es) + 2 * abs(h - eh) + 3 * abs(l - el);
            if (d < bestDistance) bestDistance = d, best = static_cast<int>(i);
        }
        table[cell] = static_cast<BYTE>(best);
    }
    return table;
}

bool SameTable(const PaletteGroup& group, const std::vector<BYTE>& expected) {
    const BYTE* table = group.GetInverseTable();
    return table && std::equal(expected.begin(), expected.end(), table);
}

} // namespace

// The inverse table of a new group (black, white and 254 unused black entries), of a group with
// repeated colours at fixed places, and of a nearly full palette: each cell holds the nearest entry,
// and among equal entries the lowest index.
TEST(PaletteGroup, InverseTableHoldsTheNearestLowestEntry) {
    PaletteGroup fresh;
    EXPECT_TRUE(SameTable(fresh, ReferenceInverse(fresh)));

    PaletteGroup repeated;
    ASSERT_TRUE(repeated.Open());
    repeated.AddSpecific(3, RGB(90, 90, 90));
    repeated.AddSpecific(40, RGB(200, 10, 10));
    repeated.AddSpecific(41, RGB(10, 10, 200));
    repeated.AddSpecific(200, RGB(0, 0, 0));
    const COLORREF again[] = {RGB(200, 10, 10), RGB(90, 90, 90), RGB(10, 200, 10)};
    Graphic* g = Painted(again, 3, 9);
    repeated.Add(g);
    repeated.Close();
    EXPECT_TRUE(SameTable(repeated, ReferenceInverse(repeated)));

    PaletteGroup full;
    ASSERT_TRUE(full.Open());
    DWORD seed = 4321;
    for (int i = 0; i < 240; ++i) {
        seed = seed * 1103515245u + 12345u;
        full.AddColor(RGB(seed >> 8, seed >> 16, seed >> 24));
    }
    full.Close();
    EXPECT_TRUE(SameTable(full, ReferenceInverse(full)));
    MEMDELETE(g);
}

TEST(Sprite, SplitsTilesAndCutsChildren) {
    MemStats start = MemGetStats();
    Graphic* source = MEMNEW(Graphic, (64, 16, 24, static_cast<const RGBQUAD*>(nullptr)));
    Sprite* four = MEMNEW(Sprite, (source, 4, 1, kAllTiles));
    ASSERT_EQ(four->GetFrameCount(), 4u);
    EXPECT_EQ(four->GetFrame(3)->GetRectInParent().left, 48);
    EXPECT_EQ(four->GetWidth(), 16);
    EXPECT_EQ(four->GetFrameAt(6), four->GetFrame(2));
    Sprite* wide = MEMNEW(Sprite, (source, 0x80000014, 1, kAllTiles));
    EXPECT_EQ(wide->GetFrameCount(), 3u);
    EXPECT_EQ(wide->GetFrame(2)->GetRectInParent().left, 40);
    Sprite* two = MEMNEW(Sprite, (source, 4, 4, 2));
    EXPECT_EQ(two->GetFrameCount(), 2u);
    EXPECT_EQ(two->GetFrame(1)->GetRectInParent().top, 0);
    // Tiles wider than tall, row by row: a tile's top is the tile height times its row.
    Graphic* tall = MEMNEW(Graphic, (64, 32, 24, static_cast<const RGBQUAD*>(nullptr)));
    Sprite* grid = MEMNEW(Sprite, (tall, 4, 4, kAllTiles));
    ASSERT_EQ(grid->GetFrameCount(), 16u);
    for (DWORD i = 0; i < 16; ++i) {
        RECT r = grid->GetFrame(i)->GetRectInParent();
        RECT want = {LONG(16 * (i % 4)), LONG(8 * (i / 4)), LONG(16 * (i % 4) + 16), LONG(8 * (i / 4) + 8)};
        EXPECT_TRUE(EqualRect(&r, &want))
            << "frame " << i << " at " << r.left << "," << r.top << " to " << r.right << "," << r.bottom;
    }
    tall->SetPixelColor(16 + 3, 8 + 5, RGB(7, 8, 9));
    EXPECT_EQ(grid->GetFrame(5)->GetPixelColor(3, 5), RGB(7, 8, 9));
    MEMDELETE(grid);
    MEMDELETE(tall);
    RECT cut = {2, 2, 6, 5};
    Sprite* child = MEMNEW(Sprite, (four, cut));
    ASSERT_EQ(child->GetFrameCount(), 4u);
    EXPECT_EQ(child->GetWidth(), 4);
    source->SetPixelColor(48 + 3, 4, RGB(1, 2, 3));
    EXPECT_EQ(child->GetFrame(3)->GetPixelColor(1, 2), RGB(1, 2, 3));
    // A child of a child goes with its parent, whichever level is deleted.
    RECT inner = {1, 1, 3, 3};
    Sprite* grandchild = MEMNEW(Sprite, (child, inner));
    ASSERT_EQ(grandchild->GetFrameCount(), 4u);
    EXPECT_EQ(grandchild->GetFrame(3)->GetPixelColor(0, 1), RGB(1, 2, 3));
    Sprite* other = MEMNEW(Sprite, (four, cut));
    Sprite* otherChild = MEMNEW(Sprite, (other, inner));
    MEMDELETE(other);
    EXPECT_EQ(MemFindBlock(otherChild), nullptr);
    MEMDELETE(four); // takes the child sprites and their frames along
    EXPECT_EQ(MemFindBlock(grandchild), nullptr);
    MEMDELETE(wide);
    MEMDELETE(two);
    MEMDELETE(source);
    EXPECT_EQ(MemGetStats().liveBlocks, start.liveBlocks);
}

} // namespace
