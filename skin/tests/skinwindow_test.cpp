// Skinned windows and controls on real windows: templates turned into controls, renumbered identifiers,
// notifications, the cells drawn for each state read back from the composed window, edit keys and the
// clipboard, scroll thumbs, dragging, and the shaped region.
#include "skinwindow.h"

#include "cea_anim_window.h"
#include "cea_graphic.h"
#include "skin.h"
#include "skin_test_support.h"
#include "skincontrol.h"
#include "skingraphics.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace skintest;

namespace {

struct Received {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool picturesAtInit;
};
std::vector<Received> g_received;

DWORD Screen(COLORREF colour) { return colour & 0xFFFFFF; }

LRESULT Recorder(SkinWindow* window, UINT message, WPARAM wParam, LPARAM lParam) {
    SkinControl* install = window->GetControl(1001);
    g_received.push_back({message, wParam, lParam, install && install->GetGraphics() != nullptr});
    return 0;
}

int Count(UINT message, WPARAM wParam) {
    int n = 0;
    for (const Received& r : g_received) n += r.message == message && r.wParam == wParam;
    return n;
}

void Pump() {
    MSG msg;
    for (int round = 0; round < 3; ++round) {
        while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessage(&msg);
        }
        Sleep(5);
    }
}

POINT Centre(SkinControl* c) {
    const RECT& r = c->GetRect();
    POINT p = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    return p;
}

void Mouse(HWND window, UINT message, POINT p) {
    PostMessage(window, message, message == WM_LBUTTONDOWN ? MK_LBUTTON : 0, MAKELPARAM(p.x, p.y));
    Pump();
}

void Click(HWND window, POINT p) {
    Mouse(window, WM_MOUSEMOVE, p);
    Mouse(window, WM_LBUTTONDOWN, p);
    Mouse(window, WM_LBUTTONUP, p);
}

class SkinWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_received.clear();
        skin.OpenResource(GetModuleHandle(nullptr), MAKEINTRESOURCE(800), "ZIP");
        window = SkinWindow::Create(&skin, string(), Recorder, 100, 77, nullptr);
        ASSERT_NE(nullptr, window);
        ShowWindow(window->GetHandle(), SW_SHOWNOACTIVATE);
        Pump();
    }
    void TearDown() override {
        if (window) window->Destroy();
    }
    // The composed picture of the window as the engine shows it.
    DWORD ScreenAt(POINT p) {
        AnimWindow* anim = window->GetAnimWindow();
        anim->InvalidateAll(TRUE);
        anim->Invalidate(nullptr, FALSE);
        anim->Step();
        return anim->GetFrameSurface()->GetPixelColor(p.x, p.y) & 0xFFFFFF;
    }
    Skin skin;
    SkinWindow* window = nullptr;
};

TEST_F(SkinWindowTest, TemplateControlsBecomeSkinnedControls) {
    struct Expect {
        DWORD id, type;
    } expected[] = {{kSkinCloseBox, sctPUSHBUTTON},
                    {kSkinMinimizeBox, sctPUSHBUTTON},
                    {1001, sctPUSHBUTTON},
                    {1003, sctRADIOBUTTON},
                    {1004, sctRADIOBUTTON},
                    {1005, sctCHECKBOX},
                    {1006, sctPROGRESS},
                    {40100, sctSTATIC},
                    {40101, sctSTATIC},
                    {1007, sctEDIT},
                    {1008, sctVSCROLL},
                    {1009, sctLIST},
                    {1010, sctUSER},
                    {1011, sctRADIOBUTTON},
                    {40102, sctSTATIC},
                    {1013, sctHSCROLL}};
    ASSERT_EQ(sizeof expected / sizeof expected[0], window->GetControlCount());
    for (DWORD i = 0; i < window->GetControlCount(); ++i) {
        EXPECT_EQ(expected[i].id, window->GetControlAt(i)->GetId()) << i;
        EXPECT_EQ(expected[i].type, window->GetControlAt(i)->GetType()) << i;
    }
    EXPECT_EQ(nullptr, window->GetControl(1002)); // the default push button
    EXPECT_EQ(nullptr, window->GetControl(1012)); // a combo box has no skinned kind
    EXPECT_STREQ("", window->GetControl(1006)->GetText().Psz8());
    EXPECT_STREQ("First", window->GetControl(40100)->GetText().Psz8());
    EXPECT_STREQ("Second", window->GetControl(40101)->GetText().Psz8());
    EXPECT_STREQ("Clash", window->GetControl(40102)->GetText().Psz8());
    EXPECT_STREQ("drawn", window->GetControl(1010)->GetText().Psz8());
    EXPECT_EQ(window->GetControl(1003)->GetRadioGroup(), window->GetControl(1004)->GetRadioGroup());
    EXPECT_NE(window->GetControl(1003)->GetRadioGroup(), window->GetControl(1011)->GetRadioGroup());
    EXPECT_EQ(window->GetControl(1001), window->GetFocus());
    EXPECT_TRUE(window->HasCloseBox());
    EXPECT_TRUE(window->HasMinimizeBox());
    EXPECT_FALSE(window->IsResizable());

    // The window's inside is the dialog's client area; the frame borders lie around it.
    RECT inner = window->GetInnerRect(), outer = window->GetOuterRect();
    EXPECT_EQ(20, inner.left);
    EXPECT_EQ(outer.right - 20, inner.right);
    EXPECT_GT(inner.right - inner.left, 200);
    RECT install = window->GetControl(1001)->GetRect();
    EXPECT_GT(install.left, inner.left);
    EXPECT_LT(install.left, inner.left + 30);
    // The close box sits in the outer top-right corner with its cell's size, the minimise box left of it.
    RECT close = window->GetControl(kSkinCloseBox)->GetRect();
    EXPECT_EQ(outer.right, close.right);
    EXPECT_EQ(0, close.top);
    EXPECT_EQ(20, close.right - close.left);
    EXPECT_EQ(20, close.bottom - close.top);
    EXPECT_EQ(close.left, window->GetControl(kSkinMinimizeBox)->GetRect().right);
    char caption[64];
    GetWindowTextA(window->GetHandle(), caption, 64);
    EXPECT_STREQ("Skin test", caption);

    // WM_INITDIALOG carries the user value and comes after the pictures; 0x4002 follows it.
    ASSERT_GE(g_received.size(), 2u);
    EXPECT_EQ(static_cast<UINT>(WM_INITDIALOG), g_received[0].message);
    EXPECT_EQ(77, g_received[0].lParam);
    EXPECT_TRUE(g_received[0].picturesAtInit);
    EXPECT_EQ(kSkinPicturesReady, g_received[1].message);
}

TEST_F(SkinWindowTest, ClicksNotifyAndRadioButtonsFormGroups) {
    Click(window->GetHandle(), Centre(window->GetControl(1001)));
    EXPECT_EQ(1, Count(WM_COMMAND, MAKEWPARAM(1001, 0)));
    // A press that leaves the button before the release is no click.
    Mouse(window->GetHandle(), WM_LBUTTONDOWN, Centre(window->GetControl(1001)));
    Mouse(window->GetHandle(), WM_MOUSEMOVE, Centre(window->GetControl(1005)));
    Mouse(window->GetHandle(), WM_LBUTTONUP, Centre(window->GetControl(1005)));
    EXPECT_EQ(1, Count(WM_COMMAND, MAKEWPARAM(1001, 0)));
    EXPECT_FALSE(window->GetChecked(1005));

    window->SetChecked(1003, TRUE);
    window->SetChecked(1011, TRUE);
    POINT two = Centre(window->GetControl(1004));
    two.x = window->GetControl(1004)->GetRect().left + 4;
    Click(window->GetHandle(), two);
    EXPECT_FALSE(window->GetChecked(1003));
    EXPECT_TRUE(window->GetChecked(1004));
    EXPECT_TRUE(window->GetChecked(1011)); // another group
    EXPECT_EQ(1, Count(WM_COMMAND, MAKEWPARAM(1004, 0)));
    Click(window->GetHandle(), two); // no change, no notification
    EXPECT_EQ(1, Count(WM_COMMAND, MAKEWPARAM(1004, 0)));

    POINT check =
        window->GetControl(1005)->GetRect().left == 0 ? POINT{0, 0} : Centre(window->GetControl(1005));
    Click(window->GetHandle(), check);
    EXPECT_TRUE(window->GetChecked(1005));
    // Space clicks the focused control.
    PostMessage(window->GetHandle(), WM_CHAR, ' ', 0);
    Pump();
    EXPECT_FALSE(window->GetChecked(1005));
    EXPECT_EQ(2, Count(WM_COMMAND, MAKEWPARAM(1005, 0)));

    // A disabled button neither clicks nor notifies.
    window->GetControl(1001)->Enable(FALSE);
    Click(window->GetHandle(), Centre(window->GetControl(1001)));
    EXPECT_EQ(1, Count(WM_COMMAND, MAKEWPARAM(1001, 0)));
}

TEST_F(SkinWindowTest, EachStateDrawsItsCell) {
    SkinControl* close = window->GetControl(kSkinCloseBox);
    SKINCONTROLGRAPHICS* x = close->GetGraphics();
    ASSERT_NE(nullptr, x);
    // A point of the close box where its three cells differ.
    POINT in = {-1, -1};
    for (LONG cy = 0; cy < x->cellHeight && in.x < 0; ++cy)
        for (LONG cx = 0; cx < x->cellWidth; ++cx) {
            COLORREF a = x->Cell(0)->GetPixelColor(cx, cy), b = x->Cell(1)->GetPixelColor(cx, cy),
                     c = x->Cell(2)->GetPixelColor(cx, cy);
            COLORREF key = skin.GetTransparentColor();
            if (a != b && b != c && a != c && (a & 0xFFFFFF) != key && (b & 0xFFFFFF) != key &&
                (c & 0xFFFFFF) != key) {
                in = {cx, cy};
                break;
            }
        }
    ASSERT_GE(in.x, 0);
    POINT at = {close->GetRect().left + in.x, close->GetRect().top + in.y};
    auto cellPixel = [&](DWORD cell) { return Screen(x->Cell(cell)->GetPixelColor(in.x, in.y)); };
    Mouse(window->GetHandle(), WM_MOUSEMOVE,
          POINT{window->GetInnerRect().left + 2, window->GetInnerRect().bottom - 2});
    EXPECT_EQ(cellPixel(0), ScreenAt(at));
    Mouse(window->GetHandle(), WM_MOUSEMOVE, at);
    EXPECT_EQ(1u, close->CellIndex());
    EXPECT_EQ(cellPixel(1), ScreenAt(at));
    Mouse(window->GetHandle(), WM_LBUTTONDOWN, at);
    EXPECT_EQ(2u, close->CellIndex());
    EXPECT_EQ(cellPixel(2), ScreenAt(at));
    Mouse(window->GetHandle(), WM_LBUTTONUP, at);
    EXPECT_EQ(1, Count(WM_COMMAND, MAKEWPARAM(kSkinCloseBox, 0)));

    // Push buttons: rows 0 disabled, 1 enabled, 2 hot, 3 pressed.
    SkinControl* install = window->GetControl(1001);
    EXPECT_EQ(3u, install->CellIndex());
    Mouse(window->GetHandle(), WM_MOUSEMOVE, Centre(install));
    EXPECT_EQ(6u, install->CellIndex());
    Mouse(window->GetHandle(), WM_LBUTTONDOWN, Centre(install));
    EXPECT_EQ(9u, install->CellIndex());
    Mouse(window->GetHandle(), WM_LBUTTONUP, Centre(install));
    install->Enable(FALSE);
    EXPECT_EQ(0u, install->CellIndex());
    // The left cell of the row is drawn at the button's left edge.
    install->Enable(TRUE);
    Mouse(window->GetHandle(), WM_MOUSEMOVE,
          POINT{window->GetInnerRect().left + 2, window->GetInnerRect().bottom - 2});
    SKINCONTROLGRAPHICS* pb = install->GetGraphics();
    LONG h = install->GetRect().bottom - install->GetRect().top;
    LONG sy = (h / 2) * pb->cellHeight / h;
    POINT edge = {install->GetRect().left + 2, install->GetRect().top + h / 2};
    EXPECT_EQ(Screen(pb->Cell(3)->GetPixelColor(2, sy)), ScreenAt(edge));

    // Check boxes: cell 2 x row + checked.
    SkinControl* box = window->GetControl(1005);
    EXPECT_EQ(2u, box->CellIndex());
    box->SetChecked(TRUE);
    EXPECT_EQ(3u, box->CellIndex());
    POINT boxPoint = {box->GetRect().left + 8, box->GetRect().top + 8};
    EXPECT_EQ(Screen(box->GetGraphics()->Cell(3)->GetPixelColor(8, 8)), ScreenAt(boxPoint));
    Mouse(window->GetHandle(), WM_MOUSEMOVE, boxPoint);
    EXPECT_EQ(5u, box->CellIndex());
    EXPECT_EQ(Screen(box->GetGraphics()->Cell(5)->GetPixelColor(8, 8)), ScreenAt(boxPoint));
}

TEST_F(SkinWindowTest, EditKeysAndTheClipboard) {
    SkinControl* edit = window->GetControl(1007);
    Click(window->GetHandle(), Centre(edit));
    EXPECT_EQ(edit, window->GetFocus());
    HWND hwnd = window->GetHandle();
    for (char c : std::string("Vexln")) PostMessage(hwnd, WM_CHAR, c, 0);
    Pump();
    EXPECT_STREQ("Vexln", edit->GetText().Psz8());
    EXPECT_EQ(5, Count(WM_COMMAND, MAKEWPARAM(1007, kSkinEditChange)));
    PostMessage(hwnd, WM_KEYDOWN, VK_LEFT, 0);
    PostMessage(hwnd, WM_CHAR, 'i', 0);
    Pump();
    EXPECT_STREQ("Vexlin", edit->GetText().Psz8());
    PostMessage(hwnd, WM_KEYDOWN, VK_HOME, 0);
    PostMessage(hwnd, WM_KEYDOWN, VK_DELETE, 0);
    PostMessage(hwnd, WM_KEYDOWN, VK_END, 0);
    PostMessage(hwnd, WM_CHAR, 8, 0);
    Pump();
    EXPECT_STREQ("exli", edit->GetText().Psz8());
    EXPECT_EQ(4u, edit->GetCaret());
    // Keys that change nothing notify nothing.
    int changes = Count(WM_COMMAND, MAKEWPARAM(1007, kSkinEditChange));
    PostMessage(hwnd, WM_KEYDOWN, VK_INSERT, 0);
    PostMessage(hwnd, WM_KEYDOWN, VK_RIGHT, 0);
    Pump();
    EXPECT_EQ(changes, Count(WM_COMMAND, MAKEWPARAM(1007, kSkinEditChange)));

    edit->SetSelection(1, 3);         // "xl"
    PostMessage(hwnd, WM_CHAR, 3, 0); // copy
    Pump();
    EXPECT_STREQ("exli", edit->GetText().Psz8());
    PostMessage(hwnd, WM_KEYDOWN, VK_END, 0);
    PostMessage(hwnd, WM_CHAR, 22, 0); // paste
    Pump();
    EXPECT_STREQ("exlixl", edit->GetText().Psz8());
    edit->SetSelection(0, 2);          // "ex"
    PostMessage(hwnd, WM_CHAR, 24, 0); // cut
    Pump();
    EXPECT_STREQ("lixl", edit->GetText().Psz8());
    edit->SetSelection(0, 4);
    PostMessage(hwnd, WM_CHAR, 'Z', 0); // typing replaces the selection
    Pump();
    EXPECT_STREQ("Z", edit->GetText().Psz8());
    PostMessage(hwnd, WM_KEYDOWN, VK_HOME, 0);
    PostMessage(hwnd, WM_CHAR, 22, 0);
    Pump();
    EXPECT_STREQ("exZ", edit->GetText().Psz8());
    EXPECT_EQ(2u, edit->GetCaret());
    // With Shift held the selection stretches from its anchor to the caret.
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
    PostMessage(hwnd, WM_KEYDOWN, VK_END, 0);
    Pump();
    DWORD start = 9, length = 9;
    edit->GetSelection(&start, &length);
    EXPECT_EQ(2u, start);
    EXPECT_EQ(1u, length);
    PostMessage(hwnd, WM_KEYDOWN, VK_HOME, 0);
    Pump();
    edit->GetSelection(&start, &length);
    EXPECT_EQ(0u, start);
    EXPECT_EQ(2u, length);
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
    PostMessage(hwnd, WM_KEYDOWN, VK_RIGHT, 0); // collapses to the caret
    Pump();
    edit->GetSelection(&start, &length);
    EXPECT_EQ(1u, start);
    EXPECT_EQ(0u, length);
    // A disabled field takes no keys.
    edit->Enable(FALSE);
    PostMessage(hwnd, WM_CHAR, 'q', 0);
    Pump();
    EXPECT_STREQ("exZ", edit->GetText().Psz8());
}

TEST_F(SkinWindowTest, ScrollThumbsAndDragging) {
    SkinControl* bar = window->GetControl(1008);
    bar->SetScrollInfo(0, 100, 10, 0);
    LONG trackStart, trackLength, thumbStart, thumbLength;
    bar->GetThumb(&trackStart, &trackLength, &thumbStart, &thumbLength);
    LONG cell = bar->GetGraphics()->cellHeight;
    EXPECT_EQ(cell, trackStart);
    EXPECT_EQ(bar->GetRect().bottom - bar->GetRect().top - 2 * cell, trackLength);
    EXPECT_EQ(cell, thumbLength); // not proportional in the default skin
    EXPECT_EQ(trackStart, thumbStart);
    bar->SetScrollInfo(0, 100, 10, 45);
    bar->GetThumb(&trackStart, &trackLength, &thumbStart, &thumbLength);
    EXPECT_EQ(trackStart + 45 * (trackLength - cell) / 90, thumbStart);
    // A position past maximum less page would put the thumb beyond its track; it stops at the track's end.
    bar->SetScrollInfo(0, 100, 10, 500);
    bar->GetThumb(&trackStart, &trackLength, &thumbStart, &thumbLength);
    EXPECT_EQ(trackStart + trackLength - cell, thumbStart);

    // Dragging the thumb stays in the track and tells the window.
    bar->SetScrollInfo(0, 100, 10, 0);
    bar->GetThumb(&trackStart, &trackLength, &thumbStart, &thumbLength);
    POINT grip = {(bar->GetRect().left + bar->GetRect().right) / 2, bar->GetRect().top + thumbStart + 2};
    Mouse(window->GetHandle(), WM_LBUTTONDOWN, grip);
    POINT distant = {grip.x, grip.y + 1000};
    Mouse(window->GetHandle(), WM_MOUSEMOVE, distant);
    Mouse(window->GetHandle(), WM_LBUTTONUP, distant);
    EXPECT_EQ(90, bar->GetScrollPos());
    bool sawScroll = false;
    for (const Received& r : g_received)
        sawScroll = sawScroll || (r.message == WM_VSCROLL && HIWORD(r.wParam) == 90);
    EXPECT_TRUE(sawScroll);

    // A range that fits within the page switches the bar off.
    bar->SetScrollInfo(0, 10, 20, 0);
    EXPECT_FALSE(bar->IsEffectivelyEnabled());
    EXPECT_EQ(0u, bar->StateRow());

    // The default skin drags by the background: a press on it moves the window with the mouse.
    RECT before;
    GetWindowRect(window->GetHandle(), &before);
    POINT background = {window->GetInnerRect().right - 3, window->GetInnerRect().bottom - 3};
    SkinControl* none;
    ASSERT_EQ(static_cast<DWORD>(szDRAG), window->HitZone(background, &none));
    Mouse(window->GetHandle(), WM_LBUTTONDOWN, background);
    Mouse(window->GetHandle(), WM_MOUSEMOVE, POINT{background.x + 30, background.y + 12});
    Mouse(window->GetHandle(), WM_LBUTTONUP, POINT{background.x + 30, background.y + 12});
    RECT after;
    GetWindowRect(window->GetHandle(), &after);
    EXPECT_EQ(before.left + 30, after.left);
    EXPECT_EQ(before.top + 12, after.top);
}

TEST(SkinWindowDrag, WithoutDragByBackgroundOnlyTheTitleBarDrags) {
    Members members = DefaultMembers();
    std::string text(members["skin.txt"].begin(), members["skin.txt"].end());
    members["skin.txt"] = Text(text + "\ndrag by background = 0\n");
    Skin skin;
    OpenMembers(skin, members);
    SkinWindow* window = SkinWindow::Create(&skin, string(), Recorder, 100, 0, nullptr);
    ASSERT_NE(nullptr, window);
    POINT background = {window->GetInnerRect().right - 3, window->GetInnerRect().bottom - 3};
    SkinControl* none;
    EXPECT_EQ(static_cast<DWORD>(szNONE), window->HitZone(background, &none));
    RECT before, after;
    GetWindowRect(window->GetHandle(), &before);
    Mouse(window->GetHandle(), WM_LBUTTONDOWN, background);
    Mouse(window->GetHandle(), WM_MOUSEMOVE, POINT{background.x + 30, background.y});
    Mouse(window->GetHandle(), WM_LBUTTONUP, POINT{background.x + 30, background.y});
    GetWindowRect(window->GetHandle(), &after);
    EXPECT_EQ(before.left, after.left);
    window->Destroy();

    members["skin.txt"] =
        Text(text + "\ndrag by background = 0\ntitlebar height = 30\nproportional scrollbars = 1\n");
    OpenMembers(skin, members);
    window = SkinWindow::Create(&skin, string(), Recorder, 100, 0, nullptr);
    EXPECT_EQ(static_cast<DWORD>(szDRAG), window->HitZone(POINT{60, 25}, &none));
    EXPECT_EQ(static_cast<DWORD>(szNONE), window->HitZone(POINT{60, 35}, &none));
    // Proportional thumbs take the page's share of the track.
    SkinControl* bar = window->GetControl(1008);
    bar->SetScrollInfo(0, 100, 30, 0);
    LONG trackStart, trackLength, thumbStart, thumbLength;
    bar->GetThumb(&trackStart, &trackLength, &thumbStart, &thumbLength);
    EXPECT_EQ(trackLength * 30 / 70, thumbLength);
    window->Destroy();
}

TEST_F(SkinWindowTest, ShapeFollowsTheFramesOpaquePixels) {
    HRGN region = window->CopyRegion();
    ASSERT_NE(nullptr, region);
    DWORD count;
    const SKINFRAMEPIECE* pieces = window->GetFramePieces(&count);
    ASSERT_EQ(8u, count);
    RECT outer = window->GetOuterRect();
    int transparent = 0, checked = 0;
    for (LONG y = 0; y < outer.bottom; y += 3)
        for (LONG x = 0; x < outer.right; x += 3) {
            BOOL covered = FALSE, opaque = FALSE;
            for (DWORD i = 0; i < count; ++i)
                if (PtInRect(&pieces[i].rect, POINT{x, y})) {
                    covered = TRUE;
                    opaque = opaque || SkinPieceOpaque(pieces[i], x, y);
                }
            if (!covered) opaque = TRUE;
            transparent += !opaque;
            ++checked;
            ASSERT_EQ(opaque != FALSE, PtInRegion(region, x, y) != FALSE) << x << "," << y;
        }
    EXPECT_GT(transparent, 0); // the default frame's corners are rounded
    EXPECT_FALSE(PtInRegion(region, 0, 0));
    EXPECT_TRUE(PtInRegion(region, outer.right / 2, outer.bottom / 2));
    DeleteObject(region);
}

TEST_F(SkinWindowTest, PagesInsetAndDestroyedAndControlAccess) {
    SKINWINDOWINSET* page = window->InsetPage(string(), Recorder, 110, 5);
    ASSERT_NE(nullptr, page);
    ASSERT_NE(nullptr, window->GetControl(1101));
    cetl::vector<SkinControl*> list;
    window->GetPageControls(page, &list);
    EXPECT_EQ(2u, list.size());
    Click(window->GetHandle(), Centre(window->GetControl(1101)));
    EXPECT_EQ(1, Count(WM_COMMAND, MAKEWPARAM(1101, 0)));
    window->DestroyPage(page);
    EXPECT_EQ(nullptr, window->GetControl(1101));
    EXPECT_NE(nullptr, window->GetControl(1001));

    window->SetText(1001, string("<i>Go</i>"));
    EXPECT_STREQ("<i>Go</i>", window->GetControl(1001)->GetText().Psz8());
    ASSERT_EQ(1u, window->GetControl(1001)->GetLayout().GetRunCount());
    EXPECT_TRUE(window->GetControl(1001)->GetLayout().GetRun(0).style.italic);
    window->SetProgress(1006, 250);
    EXPECT_EQ(100, window->GetControl(1006)->GetProgress());
    window->SetControlLayout(1006, slFAR, 5, 100, kSkinKeep, kSkinKeep, kSkinKeep);
    EXPECT_EQ(window->GetInnerRect().right - 5, window->GetControl(1006)->GetRect().right);
    EXPECT_EQ(100, window->GetControl(1006)->GetRect().right - window->GetControl(1006)->GetRect().left);
    window->SetText(99999, string("nothing")); // unknown identifiers are ignored
}

std::string g_opened;
void RecordLink(const string& target) { g_opened = target.Psz8(); }

TEST(SkinWindowResize, ZonesResizeWithinTheLimitsAndControlsFollow) {
    Members members = DefaultMembers();
    std::string text(members["skin.txt"].begin(), members["skin.txt"].end());
    members["skin.txt"] = Text(text + "\nwindow size xminimum = 250\nwindow size ymaximum = 300\n");
    Skin skin;
    OpenMembers(skin, members);
    SkinWindow* window = SkinWindow::Create(&skin, string(), Recorder, 120, 0, nullptr);
    ASSERT_NE(nullptr, window);
    EXPECT_TRUE(window->IsResizable());
    EXPECT_FALSE(window->HasCloseBox());
    SIZE minimum, maximum;
    window->GetSizeLimits(&minimum, &maximum);
    EXPECT_EQ(250, minimum.cx);
    EXPECT_EQ(40, minimum.cy); // twice the corner cell
    EXPECT_EQ(300, maximum.cy);
    RECT work;
    SystemParametersInfo(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_EQ(work.right - work.left - 1, maximum.cx);

    SkinControl* grow = window->GetControl(1202);
    window->SetControlLayout(1202, slGROW, kSkinKeep, kSkinKeep, kSkinKeep, kSkinKeep, kSkinKeep);
    LONG growWidth = grow->GetRect().right - grow->GetRect().left;
    RECT before;
    GetWindowRect(window->GetHandle(), &before);
    LONG width = before.right - before.left, height = before.bottom - before.top;
    SkinControl* none;
    POINT corner = {width - 2, height - 2};
    ASSERT_EQ(static_cast<DWORD>(szBOTTOMRIGHT), window->HitZone(corner, &none));
    Mouse(window->GetHandle(), WM_LBUTTONDOWN, corner);
    Mouse(window->GetHandle(), WM_MOUSEMOVE, POINT{corner.x + 40, corner.y + 500});
    Mouse(window->GetHandle(), WM_LBUTTONUP, POINT{corner.x + 40, corner.y + 500});
    RECT after;
    GetWindowRect(window->GetHandle(), &after);
    EXPECT_EQ(before.left, after.left);
    EXPECT_EQ(width + 40, after.right - after.left);
    EXPECT_EQ(300, after.bottom - after.top); // held at the maximum
    EXPECT_EQ(growWidth + 40, grow->GetRect().right - grow->GetRect().left);
    // The left edge cannot pass the minimum: the right edge stays where it is.
    POINT left = {1, 40};
    ASSERT_EQ(static_cast<DWORD>(szLEFT), window->HitZone(left, &none));
    Mouse(window->GetHandle(), WM_LBUTTONDOWN, left);
    Mouse(window->GetHandle(), WM_MOUSEMOVE, POINT{left.x + 1000, left.y});
    Mouse(window->GetHandle(), WM_LBUTTONUP, POINT{left.x + 1000, left.y});
    RECT narrow;
    GetWindowRect(window->GetHandle(), &narrow);
    EXPECT_EQ(250, narrow.right - narrow.left);
    EXPECT_EQ(after.right, narrow.right);

    // A link in a static text opens its target; the rest of the text takes no press.
    SkinSetLinkOpener(RecordLink);
    SkinControl* mail = window->GetControl(1201);
    ASSERT_EQ(3u, mail->GetLayout().GetRunCount());
    RECT link = mail->GetLayout().GetRun(1).rect;
    const SKINTEXTSTYLE& style = mail->GetTextStyle();
    POINT on = {mail->GetRect().left + style.left + (link.left + link.right) / 2,
                mail->GetRect().top + style.top + (link.top + link.bottom) / 2};
    SkinControl* under = nullptr;
    window->HitZone(POINT{mail->GetRect().left + style.left + 1, on.y}, &under);
    EXPECT_EQ(nullptr, under); // the plain words before the link
    window->HitZone(on, &under);
    EXPECT_EQ(mail, under);
    Click(window->GetHandle(), on);
    EXPECT_EQ("mailto:help@vexlin.example", g_opened);
    SkinSetLinkOpener(nullptr);
    window->Destroy();
}

} // namespace
