// Animation buttons on real windows with posted mouse messages: tracking and its notifications, clicks with
// toggles and radio groups, disabled buttons, layout, drawing into the composed window, shared filters
// and clean destruction.
#include "gl_anim_button.h"

#include "cea_anim_window.h"
#include "cea_graphic.h"
#include "control_test_helpers.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using animtest::Solid;
using animtest::TestWindow;
using namespace controltest;

namespace {

const WORD kClicked = BN_CLICKED, kHilite = BN_HILITE, kUnhilite = BN_UNHILITE;

// Every WM_COMMAND a handler received, as (identifier, notification), with its window and button checked.
struct Event {
    WORD id, code;
    HWND window;
    AnimButton* button;
};
std::vector<Event>& Log() {
    static std::vector<Event> log;
    return log;
}
LRESULT CALLBACK Record(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND)
        Log().push_back({LOWORD(wParam), HIWORD(wParam), window, reinterpret_cast<AnimButton*>(lParam)});
    return 0;
}
std::vector<std::pair<WORD, WORD>> Codes() {
    std::vector<std::pair<WORD, WORD>> codes;
    for (const Event& e : Log()) codes.push_back({e.id, e.code});
    return codes;
}
using Codes_ = std::vector<std::pair<WORD, WORD>>;

class AnimButtonTest : public ::testing::Test {
protected:
    void SetUp() override { Log().clear(); }
    void TearDown() override {
        AuxControl::ClearFocus();
        Pump();
    }
    // A 60 x 30 button at (x, y) reporting to the log.
    AnimButton* Button(AnimWindow* window, DWORD id, LONG x, LONG y, DWORD style = abCENTERTEXT) {
        AnimButton* button = NEW_ANIMBUTTON((window, id, style, 50));
        RECT rect = {x, y, x + 60, y + 30};
        button->SetRect(&rect);
        button->SetCommandHandler(Record);
        button->SetNotifyHandler(Record);
        return button;
    }
};

TEST_F(AnimButtonTest, PressDragOffAndReleaseDoesNotClick) {
    TestWindow w;
    AnimButton* b = Button(w.window, 11, 10, 10);
    EXPECT_STREQ(MemFindBlock(b)->tag, "ANIMBUTTON");
    EXPECT_EQ(b->GetKind(), kAuxKindButton);
    Press(w.hwnd, 20, 20);
    EXPECT_TRUE(b->IsHeld());
    EXPECT_EQ(AnimButton::GetFocusedButton(), b);
    ASSERT_EQ(Log().size(), 1u);
    EXPECT_EQ(Log()[0].window, w.hwnd);
    EXPECT_EQ(Log()[0].button, b);
    Move(w.hwnd, 100, 100);
    EXPECT_FALSE(b->IsHeld());
    Release(w.hwnd, 100, 100);
    EXPECT_EQ(Codes(), (Codes_{{11, kHilite}, {11, kUnhilite}}));
    EXPECT_FALSE(b->HasCapture());
    EXPECT_EQ(GetCapture(), nullptr);
    MEMDELETE(b);
}

TEST_F(AnimButtonTest, DragOffAndBackThenReleaseClicks) {
    TestWindow w;
    AnimButton* b = Button(w.window, 12, 10, 10);
    AnimButton* other = Button(w.window, 13, 100, 10);
    Press(w.hwnd, 20, 20);
    Move(w.hwnd, 25, 22);  // still on it: nothing new
    Move(w.hwnd, 110, 20); // onto another button: only the pressed one is tracked
    Move(w.hwnd, 30, 25);
    EXPECT_TRUE(b->IsHeld());
    EXPECT_FALSE(other->IsHeld());
    Release(w.hwnd, 30, 25);
    EXPECT_EQ(Codes(),
              (Codes_{{12, kHilite}, {12, kUnhilite}, {12, kHilite}, {12, kUnhilite}, {12, kClicked}}));
    EXPECT_FALSE(b->IsHeld());
    EXPECT_FALSE(b->IsChecked()) << "a plain push button keeps no state";

    // Without handlers nothing is called, and the click still happens.
    b->SetCommandHandler(nullptr);
    b->SetNotifyHandler(nullptr);
    Press(w.hwnd, 20, 20);
    Release(w.hwnd, 20, 20);
    EXPECT_EQ(Log().size(), 5u);
    MEMDELETE(b);
    MEMDELETE(other);
}

DWORD g_hookMessages[4];
DWORD AcceptingHook(AnimObject*, DWORD message, LPARAM) {
    if (message == acHITTEST) ++g_hookMessages[0];
    if (message == amDRAW) ++g_hookMessages[1];
    return 1;
}

TEST_F(AnimButtonTest, DisabledButtonsAreNeverHeldOrClicked) {
    TestWindow w;
    AnimButton* b = Button(w.window, 14, 10, 10);
    b->Enable(FALSE);
    Press(w.hwnd, 20, 20);
    Move(w.hwnd, 21, 21);
    EXPECT_FALSE(b->IsHeld());
    Release(w.hwnd, 20, 20);
    EXPECT_TRUE(Log().empty());

    // With a message hook the hook decides the hit: it sees the hit test, but the button stays dead.
    g_hookMessages[0] = 0;
    b->SetMessageHook(AcceptingHook);
    Press(w.hwnd, 20, 20);
    EXPECT_GT(g_hookMessages[0], 0u);
    EXPECT_EQ(AnimButton::GetFocusedButton(), b);
    Move(w.hwnd, 100, 100);
    Move(w.hwnd, 20, 20);
    EXPECT_FALSE(b->IsHeld());
    Release(w.hwnd, 20, 20);
    EXPECT_TRUE(Log().empty()) << "no hilite, unhilite or click for a disabled button";

    b->Enable(TRUE);
    Press(w.hwnd, 20, 20);
    Release(w.hwnd, 20, 20);
    EXPECT_EQ(Codes(), (Codes_{{14, kHilite}, {14, kUnhilite}, {14, kClicked}}));
    MEMDELETE(b);
}

TEST_F(AnimButtonTest, RadioGroupsAreKeptApart) {
    TestWindow w;
    const DWORD radio = abRADIOBUTTON | abAUTORADIO;
    AnimButton* a = Button(w.window, 1, 0, 0, radio | ButtonGroupStyle(1));
    AnimButton* b = Button(w.window, 2, 70, 0, radio | ButtonGroupStyle(1));
    AnimButton* c = Button(w.window, 3, 140, 0, radio | ButtonGroupStyle(1));
    AnimButton* d = Button(w.window, 4, 0, 50, radio | ButtonGroupStyle(2));
    AnimButton* toggle = Button(w.window, 5, 70, 50, abCHECKBOX | abAUTOTOGGLE | ButtonGroupStyle(1));
    a->SetChecked(TRUE);
    d->SetChecked(TRUE);
    toggle->SetChecked(TRUE);
    Press(w.hwnd, 80, 10);
    Release(w.hwnd, 80, 10);
    EXPECT_FALSE(a->IsChecked());
    EXPECT_TRUE(b->IsChecked());
    EXPECT_FALSE(c->IsChecked());
    EXPECT_TRUE(d->IsChecked()) << "another group";
    EXPECT_TRUE(toggle->IsChecked()) << "not an automatic radio button";

    // Clicked again, a checked radio button stays checked and still reports the click.
    Log().clear();
    Press(w.hwnd, 80, 10);
    Release(w.hwnd, 80, 10);
    EXPECT_TRUE(b->IsChecked());
    EXPECT_EQ(Log().back().code, kClicked);

    Press(w.hwnd, 10, 60);
    Release(w.hwnd, 10, 60);
    EXPECT_TRUE(d->IsChecked());
    EXPECT_TRUE(b->IsChecked());
    for (AnimButton* button : {a, b, c, d, toggle}) MEMDELETE(button);
}

TEST_F(AnimButtonTest, ToggleFlipsAndDrawsItsSecondPicture) {
    TestWindow w;
    const COLORREF red = RGB(255, 0, 0), blue = RGB(0, 0, 255);
    Graphic* up = Solid(40, 20, red);
    Graphic* down = Solid(40, 20, blue);
    AnimButton* b = Button(w.window, 21, 30, 40, abAUTOTOGGLE);
    b->SetPictures(up, down);
    b->SetAutoSize();
    w->Step();
    Graphic* frame = w->GetFrameSurface();
    EXPECT_EQ(frame->GetPixelColor(35, 45), red);
    EXPECT_EQ(frame->GetPixelColor(69, 59), red);

    // Held while pressed: the second picture shows.
    Press(w.hwnd, 40, 50);
    w->Step();
    EXPECT_EQ(frame->GetPixelColor(35, 45), blue);
    Release(w.hwnd, 40, 50);
    EXPECT_TRUE(b->IsChecked());
    w->Step();
    EXPECT_EQ(frame->GetPixelColor(35, 45), blue) << "checked keeps the second picture";
    EXPECT_EQ(frame->GetPixelColor(69, 59), blue);
    EXPECT_NE(frame->GetPixelColor(70, 45), blue) << "nothing beyond the picture";

    Press(w.hwnd, 40, 50);
    Release(w.hwnd, 40, 50);
    EXPECT_FALSE(b->IsChecked());
    w->Step();
    EXPECT_EQ(frame->GetPixelColor(35, 45), red);
    MEMDELETE(b);
    MEMDELETE(up);
    MEMDELETE(down);
}

TEST_F(AnimButtonTest, PictureButtonsAreSizedByTheirPictures) {
    TestWindow w;
    Graphic* wide = Solid(40, 20, RGB(1, 1, 1));
    Graphic* tall = Solid(30, 25, RGB(2, 2, 2));
    AnimButton* b = NEW_ANIMBUTTON((w.window, 1, abCENTERTEXT, 50));
    b->SetText(string(TEXT("a long label that pictures ignore")));
    b->SetPictures(wide, tall);
    b->SetPosition(7, 9);
    w->Step();
    RECT rect;
    b->GetRect(&rect);
    EXPECT_EQ(rect.left, 7);
    EXPECT_EQ(rect.top, 9);
    EXPECT_EQ(rect.right - rect.left, 40);
    EXPECT_EQ(rect.bottom - rect.top, 25);

    // A missing picture counts as the other one.
    b->SetAutoSize();
    b->SetPictures(nullptr, tall);
    LONG width, height;
    b->GetSize(&width, &height);
    EXPECT_EQ(width, 30);
    EXPECT_EQ(height, 25);
    Graphic *first, *second;
    b->GetPictures(&first, &second);
    EXPECT_EQ(first, nullptr);
    EXPECT_EQ(second, tall);
    MEMDELETE(b);
    MEMDELETE(wide);
    MEMDELETE(tall);
}

TEST_F(AnimButtonTest, TextButtonsAreSizedByTheirTextAndFont) {
    TestWindow w;
    const TCHAR* label = TEXT("Play again");
    SIZE text;
    HDC dc = GetDC(w.hwnd);
    HGDIOBJ old = SelectObject(dc, GetStockObject(SYSTEM_FONT));
    GetTextExtentExPoint(dc, label, lstrlen(label), 0, nullptr, nullptr, &text);
    SelectObject(dc, old);
    ReleaseDC(w.hwnd, dc);
    ASSERT_GT(text.cx, 0);

    AnimButton* push = NEW_ANIMBUTTON((w.window, 1, 0, 50));
    AnimButton* check = NEW_ANIMBUTTON((w.window, 2, abCHECKBOX, 50));
    push->SetText(string(label));
    check->SetText(string(label));
    LONG width, height;
    push->GetSize(&width, &height);
    EXPECT_EQ(width, 2 + 5 + text.cx);
    EXPECT_EQ(height, 7 + text.cy);
    check->GetSize(&width, &height);
    EXPECT_EQ(width, 2 + text.cx + 13 + 8);
    EXPECT_EQ(height, text.cy > 13 ? text.cy : 13);

    // A picture shown by the object comes before the text with 8 pixels between.
    Graphic* icon = Solid(16, 40, RGB(3, 3, 3));
    push->SetImage(icon);
    push->GetSize(&width, &height);
    EXPECT_EQ(width, 2 + 5 + text.cx + 16 + 8);
    EXPECT_EQ(height, 7 + 40);
    MEMDELETE(push);
    MEMDELETE(check);
    MEMDELETE(icon);
}

TEST_F(AnimButtonTest, PushFaceEdgeAndHeldLook) {
    TestWindow w;
    const COLORREF face = RGB(0, 255, 0), light = RGB(255, 255, 0), dark = RGB(0, 0, 255);
    w->FillBackground(RGB(0, 0, 0), nullptr);
    AnimButton* b = Button(w.window, 1, 20, 20, 0);
    b->SetColor(acCOLOR_HIGHLIGHT, light);
    b->SetColor(acCOLOR_SHADOW, dark);
    b->SetColor(acCOLOR_BUTTONFACE, face);
    w->Step();
    Graphic* frame = w->GetFrameSurface();
    EXPECT_EQ(frame->GetPixelColor(50, 35), face);
    EXPECT_EQ(frame->GetPixelColor(20, 20), light) << "raised: light at the top left";
    EXPECT_EQ(frame->GetPixelColor(79, 49), dark);
    EXPECT_EQ(frame->GetPixelColor(19, 19), RGB(0, 0, 0)) << "nothing outside the button";
    b->SetHeld(TRUE);
    w->Step();
    EXPECT_EQ(frame->GetPixelColor(20, 20), dark) << "sunken while held";
    EXPECT_EQ(frame->GetPixelColor(79, 49), light);

    // A hover-style button shows no face when the cursor is elsewhere and it is neither held nor checked.
    AnimButton* hover = Button(w.window, 2, 100, 100, abHOVER);
    hover->SetColor(acCOLOR_BUTTONFACE, face);
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
    w->Step();
    EXPECT_EQ(frame->GetPixelColor(130, 115), RGB(0, 0, 0));
    hover->SetChecked(TRUE);
    w->Step();
    EXPECT_EQ(frame->GetPixelColor(130, 115), face);
    EXPECT_EQ(AnimButton::GetFocusedButton(), hover) << "the face takes the focus along";
    MEMDELETE(b);
    MEMDELETE(hover);
}

TEST_F(AnimButtonTest, CheckBoxesFillTheirFaceAndMarkTheBoxWhileChecked) {
    TestWindow w;
    const COLORREF face = RGB(0, 255, 0), mark = RGB(255, 0, 0);
    w->FillBackground(RGB(0, 0, 0), nullptr);
    AnimButton* check = NEW_ANIMBUTTON((w.window, 1, abCHECKBOX | abAUTOTOGGLE, 50));
    RECT rect = {10, 10, 110, 30};
    check->SetRect(&rect);
    check->SetColor(acCOLOR_FACE, face);
    check->SetColor(acCOLOR_TEXT, mark);
    w->Step();
    Graphic* frame = w->GetFrameSurface();
    EXPECT_EQ(frame->GetPixelColor(105, 12), face);
    // The 13-pixel box sits at the left edge, centred vertically: (10, 13) to (23, 26).
    EXPECT_EQ(frame->GetPixelColor(16, 19), face);
    EXPECT_NE(frame->GetPixelColor(10, 13), face) << "the box's edge";
    Press(w.hwnd, 50, 20);
    Release(w.hwnd, 50, 20);
    ASSERT_TRUE(check->IsChecked());
    w->Step();
    EXPECT_EQ(frame->GetPixelColor(16, 19), mark);
    EXPECT_EQ(frame->GetPixelColor(105, 12), face);

    // Without a face colour the window shows through.
    check->SetColor(acCOLOR_FACE, 0xFFFFFFFF);
    check->Refresh();
    w->Step();
    EXPECT_EQ(frame->GetPixelColor(105, 12), RGB(0, 0, 0));
    MEMDELETE(check);
}

DWORD g_postPaints;
DWORD CountPostPaint(AnimObject*, DWORD message, LPARAM parameter) {
    if (message == amDRAW && parameter) ++g_postPaints;
    return 1;
}
DWORD PaintMagenta(AnimObject*, DWORD message, LPARAM parameter) {
    if (message == amDRAW && parameter) {
        const ANIMDRAW* draw = reinterpret_cast<const ANIMDRAW*>(parameter);
        for (LONG y = draw->clip.top; y < draw->clip.bottom; ++y)
            for (LONG x = draw->clip.left; x < draw->clip.right; ++x)
                draw->target->SetPixelColor(x, y, RGB(255, 0, 255));
    }
    return 1;
}

TEST_F(AnimButtonTest, HooksFollowOrReplaceTheDrawing) {
    TestWindow w;
    Graphic* up = Solid(60, 30, RGB(255, 0, 0));
    AnimButton* b = Button(w.window, 1, 0, 0);
    b->SetPictures(up, nullptr);
    g_postPaints = 0;
    b->SetPostPaintHook(CountPostPaint);
    w->Step();
    EXPECT_EQ(g_postPaints, 1u);
    EXPECT_EQ(w->GetFrameSurface()->GetPixelColor(5, 5), RGB(255, 0, 0));
    b->SetMessageHook(PaintMagenta);
    w->Step();
    EXPECT_EQ(w->GetFrameSurface()->GetPixelColor(5, 5), RGB(255, 0, 255));
    EXPECT_EQ(g_postPaints, 1u) << "the message hook replaces the default drawing and its post-paint";
    MEMDELETE(b);
    MEMDELETE(up);
}

TEST_F(AnimButtonTest, CaptureAndFocusMoveBetweenTwoWindows) {
    TestWindow one, two;
    AnimButton* a = Button(one.window, 1, 0, 0);
    AnimButton* b = Button(two.window, 2, 0, 0);
    Press(one.hwnd, 10, 10);
    EXPECT_TRUE(a->IsHeld());
    EXPECT_EQ(GetCapture(), one.hwnd);
    // Moves reported by the other window do not track the first window's button.
    Move(two.hwnd, 100, 100);
    EXPECT_TRUE(a->IsHeld());

    // The other window's button takes the focus and the capture; the first loses its held look.
    Press(two.hwnd, 10, 10);
    EXPECT_FALSE(a->IsHeld());
    EXPECT_FALSE(a->HasCapture());
    EXPECT_TRUE(b->IsHeld());
    EXPECT_TRUE(b->HasCapture());
    EXPECT_EQ(GetCapture(), two.hwnd);
    // A release on the first window does not click the second window's button.
    Release(one.hwnd, 10, 10);
    EXPECT_TRUE(b->IsHeld());
    Release(two.hwnd, 10, 10);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(Codes(), (Codes_{{1, kHilite}, {2, kHilite}, {2, kUnhilite}, {2, kClicked}}));
    MEMDELETE(a);
    MEMDELETE(b);
}

AnimButton* g_doomed;
LRESULT CALLBACK DeleteOnClick(HWND, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED && g_doomed) {
        MEMDELETE(g_doomed);
        g_doomed = nullptr;
    }
    return 0;
}

TEST_F(AnimButtonTest, ButtonsMadeAndDestroyedLeaveNothingBehind) {
    TestWindow w;
    // The window's own tables (filters, depth lists) grow once with the first button and stay.
    AnimButton* first = Button(w.window, 9, 0, 0);
    MEMDELETE(first);
    w->Step();
    DWORD before = LiveBlocks();
    AnimButton* buttons[3];
    for (int i = 0; i < 3; ++i) {
        buttons[i] = Button(w.window, i + 1, 70 * i, 0, abAUTOTOGGLE);
        buttons[i]->SetText(string(TEXT("label")));
        buttons[i]->SetColor(4, RGB(1, 2, 3));
    }
    EXPECT_EQ(FilterRefs(w.window, AnimButton::TrackingFilter), 3u);
    EXPECT_EQ(FilterRefs(w.window, AnimButton::ReleaseFilter), 3u);
    EXPECT_EQ(FilterRefs(w.window, AuxControl::MouseHook), 3u);
    DWORD used = 0;
    for (DWORD i = 0; i < w->GetFilters().GetCount(); ++i) used += w->GetFilters().Get(i)->filter != nullptr;
    EXPECT_EQ(used, 3u) << "all buttons share three entries";
    Press(w.hwnd, 10, 10);
    Release(w.hwnd, 10, 10);
    w->Step();

    // A click whose handler destroys the button (a new screen) finishes cleanly.
    g_doomed = buttons[1];
    buttons[1]->SetCommandHandler(DeleteOnClick);
    Press(w.hwnd, 80, 10);
    Release(w.hwnd, 80, 10);
    EXPECT_EQ(g_doomed, nullptr);
    EXPECT_EQ(AuxControl::GetFocusedControl(), nullptr);
    EXPECT_EQ(GetCapture(), nullptr);
    MEMDELETE(buttons[0]);
    MEMDELETE(buttons[2]);
    EXPECT_EQ(FilterRefs(w.window, AnimButton::TrackingFilter), 0u);
    EXPECT_EQ(FilterRefs(w.window, AnimButton::ReleaseFilter), 0u);
    EXPECT_EQ(FilterRefs(w.window, AuxControl::MouseHook), 0u);
    w->Step();
    EXPECT_EQ(LiveBlocks(), before);
}

} // namespace
