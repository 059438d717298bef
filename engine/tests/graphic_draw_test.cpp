// Drawing between graphics: clipping, the run copy against a per-pixel reference, blends, device-context
// paths, tiling and stretching, plus the colour conversions and colour text they rely on.
#include "cea_graphic.h"
#include "cea_palette_group.h"
#include "mem_manager.h"

#include <gtest/gtest.h>

#include <climits>
#include <initializer_list>
#include <random>
#include <vector>

namespace {

Graphic* Filled(int width, int height, int depth, unsigned seed) {
    // Distinct palette entries, so that colours and values convert both ways.
    RGBQUAD palette[256];
    for (int i = 0; i < 256; ++i) palette[i] = {BYTE(i), BYTE(i * 3), BYTE(255 - i), 0};
    Graphic* g = MEMNEW(Graphic, (width, height, depth, palette));
    std::mt19937 random(seed);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) g->SetPixelValue(x, y, random() & (depth == 16 ? 0x7FFF : 0xFFFFFF));
    return g;
}

std::vector<DWORD> Pixels(Graphic* g) {
    std::vector<DWORD> out;
    for (int y = 0; y < g->GetHeight(); ++y)
        for (int x = 0; x < g->GetWidth(); ++x) out.push_back(g->GetPixelValue(x, y));
    return out;
}

// Opens the group, adds the colours (none: the uniform palette) and merges it.
void MergeGroup(PaletteGroup& group, std::initializer_list<COLORREF> colours) {
    ASSERT_TRUE(group.Open());
    if (colours.size() == 0) group.AddEntries(kUniformPalette, 0);
    for (COLORREF c : colours) group.AddColor(c);
    group.Close();
}

// An 8-bit row made for the group, every pixel at the group's index of `colour` (0xFFFFFFFF: none).
Graphic* GroupRow(PaletteGroup& group, int width, COLORREF colour, DWORD* index) {
    Graphic* g = MEMNEW(Graphic, (width, 1, 8, &group));
    *index = group.FindColor(colour);
    for (int x = 0; x < width; ++x) g->SetPixelValue(x, 0, *index);
    return g;
}

// What a copy of `source` at (x, y) must leave in `before`: the source's pixel wherever it lands inside
// the target and the clip, except where it equals the transparent value.
std::vector<DWORD> Reference(Graphic* source, Graphic* target, std::vector<DWORD> before, int x, int y,
                             DWORD transparentValue, const RECT& clip) {
    int tw = target->GetWidth(), th = target->GetHeight();
    for (int sy = 0; sy < source->GetHeight(); ++sy)
        for (int sx = 0; sx < source->GetWidth(); ++sx) {
            int dx = x + sx, dy = y + sy;
            DWORD v = source->GetPixelValue(sx, sy);
            bool inClip = dx >= clip.left && dx < clip.right && dy >= clip.top && dy < clip.bottom;
            if (dx >= 0 && dy >= 0 && dx < tw && dy < th && inClip && v != transparentValue)
                before[dy * tw + dx] = v;
        }
    return before;
}

TEST(GraphicDraw, PlainAndRunCopiesClipOnEveryEdge) {
    const int offsets[][2] = {{-5, -3}, {30, 20}, {-5, 20}, {30, -3}, {10, 8}, {-40, 0}, {0, 60}};
    for (int depth : {8, 16, 24, 32}) {
        Graphic* source = Filled(12, 9, depth, depth);
        // Rows with several transparent stretches for the run copy.
        DWORD transparentValue = source->GetPixelValue(0, 0);
        for (int x = 0; x < 12; x += 3) source->SetPixelValue(x, 4, transparentValue);
        for (int x = 0; x < 12; ++x) source->SetPixelValue(x, 6, transparentValue);
        // The whole target, then a clip inside it that cuts the source on each side at some offset.
        const RECT clips[] = {{0, 0, 36, 25}, {3, 2, 33, 23}, {-8, -8, 7, 6}, {14, 11, 19, 14}};
        for (bool transparent : {false, true}) {
            for (const RECT& clip : clips) {
                for (auto& o : offsets) {
                    SCOPED_TRACE(testing::Message() << depth << " bits, transparent " << transparent << " at "
                                                    << o[0] << "," << o[1] << ", clip " << clip.left << ","
                                                    << clip.top << "," << clip.right << "," << clip.bottom);
                    Graphic* target = Filled(36, 25, depth, 99);
                    std::vector<DWORD> want = Reference(source, target, Pixels(target), o[0], o[1],
                                                        transparent ? transparentValue : 0xFFFFFFFF, clip);
                    source->SetTransparency(transparent ? source->ValueToColor(transparentValue) : kNoColor);
                    source->DrawTo(target, o[0], o[1], clip);
                    ASSERT_EQ(Pixels(target), want);
                    MEMDELETE(target);
                }
            }
        }
        ASSERT_TRUE(source->PrepareTransparency());
        EXPECT_EQ(source->GetRowRunCount(4), 4u);
        EXPECT_EQ(source->GetRowRunCount(6), 0u);
        MEMDELETE(source);
    }
}

TEST(GraphicDraw, ChildSourcesAndTargetsStayInsideTheirRectangles) {
    Graphic* source = Filled(10, 10, 24, 1);
    Graphic* target = Filled(20, 20, 24, 2);
    RECT inner = {4, 4, 12, 10};
    Graphic* window = MEMNEW(Graphic, (target, &inner));
    RECT part = {2, 3, 7, 8};
    Graphic* piece = MEMNEW(Graphic, (source, &part));
    std::vector<DWORD> want = Pixels(target);
    // The piece (5 x 5) lands at (-2, 3) of the window: three columns and three rows remain inside.
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) want[(4 + 3 + y) * 20 + 4 + x] = source->GetPixelValue(2 + 2 + x, 3 + y);
    piece->Draw(window, -2, 3, 0, 0, kToEdge, kToEdge);
    EXPECT_EQ(Pixels(target), want);
    MEMDELETE(source);
    MEMDELETE(target);
}

TEST(GraphicDraw, ChildrenOfARecreatedRootShrinkWithIt) {
    Graphic* root = Filled(1024, 1024, 32, 3);
    RECT low = {0, 512, 1024, 1024}, corner = {16, 0, 64, 64};
    Graphic* gone = MEMNEW(Graphic, (root, &low));
    Graphic* cut = MEMNEW(Graphic, (root, &corner));
    RECT inCut = {8, 8, 40, 40};
    Graphic* grandchild = MEMNEW(Graphic, (cut, &inCut));
    // Loading a smaller picture into the root: no child may reach past the new pixels.
    ASSERT_TRUE(root->Create(32, 24, 32, nullptr));
    RECT r = gone->GetRectInParent();
    EXPECT_TRUE(IsRectEmpty(&r));
    RECT want = {16, 0, 32, 24};
    r = cut->GetRectInParent();
    EXPECT_TRUE(EqualRect(&r, &want));
    RECT wantInner = {8, 8, 16, 24};
    r = grandchild->GetRectInParent();
    EXPECT_TRUE(EqualRect(&r, &wantInner));
    Graphic* paint = Filled(1024, 1024, 32, 4);
    paint->Draw(gone, 0, 0, 0, 0, kToEdge, kToEdge);
    paint->Draw(grandchild, 0, 0, 0, 0, kToEdge, kToEdge);
    EXPECT_EQ(root->GetPixelValue(31, 23), paint->GetPixelValue(7, 15));
    BYTE* selection = nullptr;
    DWORD size = 0;
    ASSERT_TRUE(cut->GetSelection(&selection, &size));
    EXPECT_EQ(size, 16u * 24u);
    Graphic::FreeSelection(selection);
    MEMDELETE(paint);
    MEMDELETE(root);
}

TEST(GraphicDraw, DrawToWithALargeClipDrawsEveryRow) {
    Graphic* source = Filled(10, 20, 8, 5);
    Graphic* target = Filled(40, 40, 8, 6);
    RECT clip = {-100, -100, 100, 100};
    source->DrawTo(target, 3, 4, clip);
    for (int y = 0; y < 20; ++y) EXPECT_EQ(target->GetPixelValue(12, 4 + y), source->GetPixelValue(9, y));
    MEMDELETE(source);
    MEMDELETE(target);
}

// A clip that cuts into the picture leaves the target outside it untouched on every side, and the part
// drawn is the part of the source that lies under the clip.
TEST(GraphicDraw, DrawToSkipsTheRowsAndColumnsOutsideAPartialClip) {
    struct Case {
        RECT clip;
        int x, y;
    } cases[] = {
        {{0, 5, 10, 10}, 0, 0},   // rows above the clip
        {{5, 0, 10, 10}, 0, 0},   // columns left of it
        {{0, 0, 7, 6}, 0, 0},     // right and bottom
        {{12, 9, 17, 13}, 10, 7}, // all four sides, away from the origin
        {{-3, -2, 8, 9}, -4, -4}, // a picture partly off the target, clip partly too
    };
    for (int depth : {8, 24}) {
        Graphic* source = Filled(10, 10, depth, 11);
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << depth << " bits, clip " << c.clip.left << "," << c.clip.top
                                            << "," << c.clip.right << "," << c.clip.bottom);
            Graphic* target = Filled(30, 30, depth, 12);
            std::vector<DWORD> want = Pixels(target);
            for (int sy = 0; sy < 10; ++sy)
                for (int sx = 0; sx < 10; ++sx) {
                    int dx = c.x + sx, dy = c.y + sy;
                    if (dx >= c.clip.left && dx < c.clip.right && dy >= c.clip.top && dy < c.clip.bottom &&
                        dx >= 0 && dy >= 0)
                        want[dy * 30 + dx] = source->GetPixelValue(sx, sy);
                }
            source->DrawTo(target, c.x, c.y, c.clip);
            EXPECT_EQ(Pixels(target), want);
            MEMDELETE(target);
        }
        MEMDELETE(source);
    }
}

// A clip spanning the whole LONG range: its width from a negative position does not fit an int, and the
// draw must still place every pixel that lands inside the target.
TEST(GraphicDraw, DrawToWithAnUnboundedClipAtANegativePosition) {
    Graphic* source = Filled(10, 20, 8, 7);
    Graphic* target = Filled(40, 40, 8, 8);
    std::vector<DWORD> expected =
        Reference(source, target, Pixels(target), -3, -5, 0xFFFFFFFF, target->GetRect());
    RECT clip = {LONG_MIN, LONG_MIN, LONG_MAX, LONG_MAX};
    source->DrawTo(target, -3, -5, clip);
    EXPECT_EQ(Pixels(target), expected);
    EXPECT_EQ(target->GetPixelValue(0, 0), source->GetPixelValue(3, 5));
    MEMDELETE(source);
    MEMDELETE(target);
}

TEST(GraphicDraw, WhollyTransparentImageDrawsNothing) {
    Graphic* source = MEMNEW(Graphic, (8, 8, 24, static_cast<const RGBQUAD*>(nullptr)));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) source->SetPixelColor(x, y, RGB(255, 0, 255));
    source->SetTransparency(RGB(255, 0, 255));
    Graphic* target = Filled(8, 8, 24, 3);
    std::vector<DWORD> before = Pixels(target);
    source->Draw(target, 0, 0, 0, 0, kToEdge, kToEdge);
    EXPECT_EQ(Pixels(target), before);
    HDC dc = target->GetDC();
    source->Draw(dc, 0, 0, 0, 0, 8, 8);
    target->ReleaseDC();
    EXPECT_EQ(Pixels(target), before);
    MEMDELETE(source);
    MEMDELETE(target);
}

// An 8-bit source drawn into deeper targets goes through device contexts, with the transparency of the
// build. The source's palette has no black, which the installer's mask blit once needed.
TEST(GraphicDraw, DeviceContextPathKeepsTransparentPixels) {
    RGBQUAD palette[256] = {};
    for (int i = 0; i < 256; ++i) palette[i] = {BYTE(i), BYTE(255 - i), BYTE(i / 2), 0};
    Graphic* source = MEMNEW(Graphic, (6, 4, 8, palette));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) source->SetPixelValue(x, y, (x + y) % 3 == 0 ? 200 : 20 * x + y);
    std::vector<DWORD> image = Pixels(source);
    // The game build's colour-keyed blit compares in the target's format, so the transparent colour is
    // kept apart from the others even at five bits a channel.
    source->SetTransparency(source->GetPaletteColor(200));
    for (int depth : {16, 24, 32}) {
        SCOPED_TRACE(depth);
        Graphic* target = Filled(10, 8, depth, 4);
        std::vector<COLORREF> want;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 10; ++x) {
                int sx = x - 2, sy = y - 1;
                bool inside = sx >= 0 && sy >= 0 && sx < 6 && sy < 4 && (sx + sy) % 3 != 0;
                // A 16-bit target keeps five bits a channel of the source colour.
                want.push_back(
                    inside ? target->ValueToColor(target->ColorToValue(source->GetPaletteColor(20 * sx + sy)))
                           : target->GetPixelColor(x, y));
            }
        source->Draw(target, 2, 1, 0, 0, kToEdge, kToEdge);
        std::vector<COLORREF> got;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 10; ++x) got.push_back(target->GetPixelColor(x, y));
        EXPECT_EQ(got, want);
        MEMDELETE(target);
    }
    // Drawing leaves the source's own pixels alone, transparent ones included.
    EXPECT_EQ(Pixels(source), image);
    MEMDELETE(source);
}

// A transparent source drawn into a context as tiles, stretched and at its own size: opaque pixels land
// where the tiling or the stretch puts them, transparent ones leave the context's bitmap as it was.
TEST(GraphicDraw, TileAndStretchOntoADeviceContext) {
    const COLORREF hole = RGB(255, 0, 255);
    for (int depth : {8, 24}) {
        SCOPED_TRACE(depth);
        Graphic* tile = Filled(6, 5, depth, 21);
        DWORD holeValue = depth == 8 ? 3 : tile->ColorToValue(hole);
        if (depth == 8) {
            PALETTEENTRY magenta = {255, 0, 255, 0};
            ASSERT_TRUE(tile->SetPaletteEntries(&magenta, 3, 1));
            for (int y = 0; y < 5; ++y)
                for (int x = 0; x < 6; ++x)
                    if (tile->GetPixelValue(x, y) == 3) tile->SetPixelValue(x, y, 4);
        }
        for (int y = 0; y < 5; ++y) tile->SetPixelValue((y + 1) % 6, y, holeValue);
        tile->SetTransparency(hole);
        auto tileColor = [&](int x, int y) { return tile->GetPixelColor(x, y); };

        Graphic* target = Filled(20, 14, 24, 22);
        std::vector<COLORREF> before;
        for (int y = 0; y < 14; ++y)
            for (int x = 0; x < 20; ++x) before.push_back(target->GetPixelColor(x, y));
        HDC dc = target->GetDC();
        ASSERT_NE(dc, nullptr);
        // From (1, 2) to the bitmap's edges, the pattern shifted by a phase of (2, 1).
        tile->TileTo(dc, 1, 2, kToEdge, kToEdge, 0, 0, kToEdge, kToEdge, 2, 1);
        target->ReleaseDC();
        int wrong = 0;
        for (int y = 0; y < 14; ++y)
            for (int x = 0; x < 20; ++x) {
                COLORREF want = before[y * 20 + x];
                if (x >= 1 && y >= 2) {
                    COLORREF c = tileColor((x - 1 + 2) % 6, (y - 2 + 1) % 5);
                    if (c != hole) want = c;
                }
                wrong += target->GetPixelColor(x, y) != want;
            }
        EXPECT_EQ(wrong, 0) << "tiles";

        // Doubled into the context: each source pixel covers two by two.
        Graphic* canvas = Filled(12, 10, 24, 23);
        std::vector<COLORREF> under;
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 12; ++x) under.push_back(canvas->GetPixelColor(x, y));
        dc = canvas->GetDC();
        tile->StretchTo(dc, 0, 0, 12, 10, 0, 0, kToEdge, kToEdge);
        canvas->ReleaseDC();
        wrong = 0;
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 12; ++x) {
                COLORREF c = tileColor(x / 2, y / 2);
                wrong += canvas->GetPixelColor(x, y) != (c == hole ? under[y * 12 + x] : c);
            }
        EXPECT_EQ(wrong, 0) << "stretch";
        MEMDELETE(canvas);
        MEMDELETE(target);
        MEMDELETE(tile);
    }
}

TEST(GraphicBlend, OpacityZeroHalfAndFullIntoEveryDeepTarget) {
    for (int depth : {16, 24, 32}) {
        Graphic* source = MEMNEW(Graphic, (3, 1, 24, static_cast<const RGBQUAD*>(nullptr)));
        source->SetPixelColor(0, 0, RGB(200, 100, 50));
        source->SetPixelColor(1, 0, RGB(200, 100, 50));
        source->SetPixelColor(2, 0, RGB(200, 100, 50));
        ASSERT_TRUE(source->SetTranslucency(kTranslucencyMap, 128));
        source->GetOpacityMap()[0] = 0;
        source->GetOpacityMap()[1] = 128;
        source->GetOpacityMap()[2] = 255;
        Graphic* target = MEMNEW(Graphic, (3, 1, depth, static_cast<const RGBQUAD*>(nullptr)));
        for (int x = 0; x < 3; ++x) target->SetPixelColor(x, 0, RGB(8, 240, 16));
        DWORD untouched = target->GetPixelValue(0, 0);
        source->Draw(target, 0, 0, 0, 0, kToEdge, kToEdge);
        EXPECT_EQ(target->GetPixelValue(0, 0), untouched) << depth;
        if (depth == 16) {
            // 5-bit channels: 1 + ((25 - 1) * 128 >> 8) = 13, 30 + ((12 - 30) * 128 >> 8) = 21, 2 + 2 = 4.
            EXPECT_EQ(target->GetPixelValue(1, 0), DWORD(13 << 10 | 21 << 5 | 4));
            EXPECT_EQ(target->GetPixelColor(2, 0), RGB(200, 96, 48));
        } else {
            // The mean rounded towards the destination: 8 + 96, 240 - 70, 16 + 17.
            EXPECT_EQ(target->GetPixelColor(1, 0), RGB(104, 170, 33)) << depth;
            EXPECT_EQ(target->GetPixelColor(2, 0), RGB(200, 100, 50)) << depth;
        }
        MEMDELETE(source);
        MEMDELETE(target);
    }
}

// A graphic's brightness becomes the opacity of another of its size: each map byte is the mean of the
// source pixel's red, green and blue, rounded down; sources of another size are refused.
TEST(GraphicBlend, OpacityFromAGraphicIsTheMeanOfItsChannels) {
    const COLORREF colours[] = {RGB(30, 60, 90), RGB(255, 0, 0),     RGB(0, 0, 255), RGB(0, 200, 0),
                                RGB(10, 20, 31), RGB(255, 255, 255), RGB(0, 0, 0),   RGB(254, 255, 255)};
    const BYTE want[] = {60, 85, 85, 66, 20, 255, 0, 254};
    for (int depth : {8, 24, 32}) {
        SCOPED_TRACE(depth);
        RGBQUAD palette[256] = {};
        for (int i = 0; i < 8; ++i)
            palette[i] = {GetBValue(colours[i]), GetGValue(colours[i]), GetRValue(colours[i]), 0};
        Graphic* brightness = MEMNEW(Graphic, (4, 2, depth, palette));
        for (int i = 0; i < 8; ++i) brightness->SetPixelColor(i % 4, i / 4, colours[i]);
        Graphic* picture = MEMNEW(Graphic, (4, 2, 24, static_cast<const RGBQUAD*>(nullptr)));
        ASSERT_TRUE(picture->SetOpacityFromGraphic(brightness));
        int mode = 0;
        BYTE value = 0;
        picture->GetTranslucency(&mode, &value);
        EXPECT_EQ(mode, kTranslucencyMap);
        EXPECT_EQ(value, 128);
        ASSERT_NE(picture->GetOpacityMap(), nullptr);
        EXPECT_EQ(std::vector<BYTE>(picture->GetOpacityMap(), picture->GetOpacityMap() + 8),
                  std::vector<BYTE>(want, want + 8));
        MEMDELETE(picture);
        MEMDELETE(brightness);
    }
    Graphic* picture = MEMNEW(Graphic, (4, 2, 24, static_cast<const RGBQUAD*>(nullptr)));
    Graphic* other = MEMNEW(Graphic, (4, 3, 24, static_cast<const RGBQUAD*>(nullptr)));
    EXPECT_FALSE(picture->SetOpacityFromGraphic(other));
    EXPECT_EQ(picture->GetOpacityMap(), nullptr);
    MEMDELETE(other);
    MEMDELETE(picture);
}

TEST(GraphicBlend, EightBitTargetsNeedAGroupAndUseItsLookups) {
    Graphic* source = MEMNEW(Graphic, (2, 1, 24, static_cast<const RGBQUAD*>(nullptr)));
    source->SetPixelColor(0, 0, RGB(255, 255, 255));
    source->SetPixelColor(1, 0, RGB(255, 0, 0));
    source->SetTranslucency(kTranslucencyUniform, 255);
    Graphic* loose = MEMNEW(Graphic, (2, 1, 8, static_cast<const RGBQUAD*>(nullptr)));
    source->Draw(loose, 0, 0, 0, 0, kToEdge, kToEdge);
    EXPECT_EQ(loose->GetPixelValue(0, 0), 0u); // no group: unchanged

    PaletteGroup group;
    MergeGroup(group, {});
    Graphic* fixed = MEMNEW(Graphic, (2, 1, 8, &group));
    source->Draw(fixed, 0, 0, 0, 0, kToEdge, kToEdge);
    EXPECT_EQ(fixed->GetPixelValue(0, 0), 255u);
    EXPECT_EQ(fixed->GetPixelColor(1, 0), RGB(255, 0, 0));

    // A group with its own colours blends through the inverse table to the nearest entry.
    PaletteGroup own;
    MergeGroup(own, {RGB(250, 10, 10), RGB(10, 10, 250)});
    ASSERT_NE(own.GetInverseTable(), nullptr);
    Graphic* mine = MEMNEW(Graphic, (2, 1, 8, &own));
    source->Draw(mine, 0, 0, 0, 0, kToEdge, kToEdge);
    EXPECT_EQ(mine->GetPixelColor(0, 0), RGB(255, 255, 255));
    EXPECT_EQ(mine->GetPixelColor(1, 0), RGB(250, 10, 10));
    MEMDELETE(mine);
    MEMDELETE(fixed);
    MEMDELETE(loose);
    MEMDELETE(source);
}

// Opacities 0, 128 and 255 into 8-bit targets: 0 keeps the index, the others blend with the target's
// palette colour and look the result up in the group's table.
TEST(GraphicBlend, EightBitTargetsAtOpacityZeroHalfAndFull) {
    Graphic* white = MEMNEW(Graphic, (3, 1, 24, static_cast<const RGBQUAD*>(nullptr)));
    Graphic* black = MEMNEW(Graphic, (3, 1, 24, static_cast<const RGBQUAD*>(nullptr)));
    for (int x = 0; x < 3; ++x) {
        white->SetPixelColor(x, 0, RGB(255, 255, 255));
        black->SetPixelColor(x, 0, RGB(0, 0, 0));
    }
    for (Graphic* source : {white, black}) {
        ASSERT_TRUE(source->SetTranslucency(kTranslucencyMap, 128));
        source->GetOpacityMap()[0] = 0;
        source->GetOpacityMap()[2] = 255;
    }

    // The uniform palette: (128, 80, 160) halfway to white is (191, 167, 207), which the table files
    // under red 128-191, green 160-191, blue 192-223, the entry (192, 192, 225).
    PaletteGroup uniform;
    MergeGroup(uniform, {});
    DWORD start;
    Graphic* fixed = GroupRow(uniform, 3, RGB(128, 80, 160), &start);
    ASSERT_NE(start, 0xFFFFFFFFu);
    white->Draw(fixed, 0, 0, 0, 0, kToEdge, kToEdge);
    EXPECT_EQ(fixed->GetPixelValue(0, 0), start);
    EXPECT_EQ(fixed->GetPixelColor(1, 0), RGB(192, 192, 225));
    EXPECT_EQ(fixed->GetPixelValue(2, 0), 255u);

    // The inverse table: red 200 halfway to black is red 100, whose cell (104, 8, 8) is nearest to the
    // group's dark red rather than to its red or to black.
    PaletteGroup own;
    MergeGroup(own, {RGB(200, 0, 0), RGB(100, 0, 0), RGB(0, 150, 0)});
    DWORD red;
    Graphic* mine = GroupRow(own, 3, RGB(200, 0, 0), &red);
    ASSERT_NE(red, 0xFFFFFFFFu);
    black->Draw(mine, 0, 0, 0, 0, kToEdge, kToEdge);
    EXPECT_EQ(mine->GetPixelValue(0, 0), red);
    EXPECT_EQ(mine->GetPixelColor(1, 0), RGB(100, 0, 0));
    EXPECT_EQ(mine->GetPixelColor(2, 0), RGB(0, 0, 0));

    // A uniform opacity of 0 draws nothing at all, through either table.
    for (int x = 0; x < 3; ++x) mine->SetPixelValue(x, 0, red);
    ASSERT_TRUE(black->SetTranslucency(kTranslucencyUniform, 0));
    black->Draw(mine, 0, 0, 0, 0, kToEdge, kToEdge);
    black->Draw(fixed, 0, 0, 0, 0, kToEdge, kToEdge);
    for (int x = 0; x < 3; ++x) EXPECT_EQ(mine->GetPixelValue(x, 0), red);
    EXPECT_EQ(fixed->GetPixelValue(0, 0), start);
    // And 128 uniformly matches the per-pixel half.
    ASSERT_TRUE(white->SetTranslucency(kTranslucencyUniform, 128));
    for (int x = 0; x < 3; ++x) fixed->SetPixelValue(x, 0, start);
    white->Draw(fixed, 0, 0, 0, 0, kToEdge, kToEdge);
    for (int x = 0; x < 3; ++x) EXPECT_EQ(fixed->GetPixelColor(x, 0), RGB(192, 192, 225));
    MEMDELETE(mine);
    MEMDELETE(fixed);
    MEMDELETE(white);
    MEMDELETE(black);
}

TEST(GraphicTile, SixteenSquareTilesOverFortyByTwenty) {
    Graphic* tile = Filled(16, 16, 24, 8);
    Graphic* target = MEMNEW(Graphic, (50, 30, 24, static_cast<const RGBQUAD*>(nullptr)));
    tile->TileTo(target, 0, 0, 40, 20, 0, 0, kToEdge, kToEdge, 0, 0);
    int wrong = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 50; ++x) {
            DWORD want = x < 40 && y < 20 ? tile->GetPixelValue(x % 16, y % 16) : 0;
            wrong += target->GetPixelValue(x, y) != want;
        }
    EXPECT_EQ(wrong, 0);
    // A phase moves the pattern: the area starts 5 columns and 3 rows into the tile.
    Graphic* shifted = MEMNEW(Graphic, (20, 20, 24, static_cast<const RGBQUAD*>(nullptr)));
    tile->TileTo(shifted, 2, 2, kToEdge, kToEdge, 0, 0, 16, 16, 5, 3);
    EXPECT_EQ(shifted->GetPixelValue(2, 2), tile->GetPixelValue(5, 3));
    EXPECT_EQ(shifted->GetPixelValue(13, 2), tile->GetPixelValue(0, 3));
    EXPECT_EQ(shifted->GetPixelValue(1, 1), 0u);
    MEMDELETE(shifted);
    MEMDELETE(target);
    MEMDELETE(tile);
}

TEST(GraphicStretch, DoublingRepeatsEveryPixel) {
    Graphic* source = Filled(5, 4, 24, 12);
    Graphic* target = MEMNEW(Graphic, (10, 8, 24, static_cast<const RGBQUAD*>(nullptr)));
    source->StretchTo(target, 0, 0, 10, 8, 0, 0, kToEdge, kToEdge);
    int wrong = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 10; ++x)
            wrong += target->GetPixelValue(x, y) != source->GetPixelValue(x / 2, y / 2);
    EXPECT_EQ(wrong, 0);
    MEMDELETE(source);
    MEMDELETE(target);
}

TEST(GraphicColors, ValuesColoursAndText) {
    Graphic* g16 = MEMNEW(Graphic, (1, 1, 16, static_cast<const RGBQUAD*>(nullptr)));
    EXPECT_EQ(g16->ValueToColor(g16->ColorToValue(RGB(0x8F, 0x47, 0xFF))), RGB(0x88, 0x40, 0xF8));
    Graphic* g4 = MEMNEW(Graphic, (3, 1, 4, static_cast<const RGBQUAD*>(nullptr)));
    g4->SetPixelValue(1, 0, 9);
    EXPECT_EQ(g4->GetPixelValue(1, 0), 9u);
    EXPECT_EQ(g4->GetPixelValue(0, 0), 0u);
    EXPECT_EQ(g4->GetBits()[0], 0x09);
    EXPECT_EQ(g4->GetPaletteColor(16), kNoColor);
    EXPECT_EQ(g16->GetPaletteColor(0), kNoColor);
    EXPECT_EQ(ColorFromString(TEXT("#00FF80")), 0x0280FF00u);
    EXPECT_EQ(ColorFromString(TEXT("00ff80")), 0x0280FF00u);
    EXPECT_EQ(ColorFromString(TEXT("#000000")), 0x02000000u);
    EXPECT_EQ(ColorFromString(TEXT("12345G")), 0u);
    EXPECT_EQ(ColorFromString(TEXT("#12")), 0u);
    TCHAR text[8];
    ColorToString(0x0080FF00, text);
    EXPECT_EQ(lstrcmp(text, TEXT("#00FF80")), 0);
    MEMDELETE(g4);
    MEMDELETE(g16);
}

TEST(GraphicPalette, NewEntriesKeepPixelsTransparencyAndSelection) {
    Graphic* g = Filled(5, 5, 8, 3);
    std::vector<DWORD> before = Pixels(g);
    g->SetTransparency(g->GetPaletteColor(g->GetPixelValue(0, 0)));
    BYTE* selection = static_cast<BYTE*>(MEMALLOC(25));
    memset(selection, 1, 25);
    g->AdoptSelection(selection, 25);
    PALETTEENTRY entry = {1, 2, 3, 0};
    ASSERT_TRUE(g->SetPaletteEntries(&entry, 200, 1));
    EXPECT_EQ(g->GetPaletteColor(200), RGB(1, 2, 3));
    EXPECT_EQ(Pixels(g), before);
    EXPECT_TRUE(g->HasSelection());
    EXPECT_NE(g->GetTransparency(), kNoColor);
    Graphic* deep = Filled(2, 2, 24, 1);
    EXPECT_FALSE(deep->SetPaletteEntries(&entry, 0, 1));
    MEMDELETE(deep);
    MEMDELETE(g);
}

} // namespace
