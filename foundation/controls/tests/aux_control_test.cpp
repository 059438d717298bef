// The control base on real animation windows: its object and back pointer, colours, text and layout on
// demand, fonts, the mouse hook's focus and capture, and clean destruction.
#include "aux_control.h"

#include "cea_anim_window.h"
#include "control_test_helpers.h"

#include <gtest/gtest.h>

using animtest::TestWindow;
using namespace controltest;

namespace {

// A control that lays itself out as 30 x 20 plus its text length and can refuse presses.
class TestControl : public AuxControl {
public:
    TestControl(AnimWindow* window, DWORD id, LONG depth = 50) : AuxControl(window, id, depth, Callback) {}
    void Layout() override {
        ++layouts;
        if (object_) object_->SetSize(30 + text_.GetLength(), 20);
        AuxControl::Layout();
    }
    void OnSetFocus() override { ++focusGains; }
    void OnKillFocus() override { ++focusLosses; }
    DWORD ColorCount() const { return colorCount_; }
    static DWORD Callback(AnimObject* object, DWORD message, LPARAM parameter) {
        TestControl* control = static_cast<TestControl*>(FromObject(object));
        if (message == acACCEPTPRESS && control && control->refusePresses) return 0;
        return ObjectCallback(object, message, parameter);
    }
    int layouts = 0, focusGains = 0, focusLosses = 0;
    BOOL refusePresses = FALSE;
};

TestControl* Make(AnimWindow* window, DWORD id, LONG x, LONG y, LONG depth = 50) {
    TestControl* control = MEMNEW(TestControl, (window, id, depth));
    RECT rect = {x, y, x + 40, y + 30};
    control->SetRect(&rect);
    return control;
}

struct Cleanup {
    ~Cleanup() {
        AuxControl::ClearFocus();
        Pump();
    }
};

TEST(AuxControl, ObjectPointsBackAndIsFoundByIdentifier) {
    TestWindow w;
    TestControl* a = Make(w.window, 7, 0, 0);
    TestControl* b = Make(w.window, 8, 50, 0);
    AnimObject* object = a->GetObject();
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->GetWindow(), w.window);
    EXPECT_EQ(object->GetDepth(), 50);
    EXPECT_STREQ(MemFindBlock(object)->tag, "ANIMOBJECT");
    EXPECT_EQ(object->GetData(kAuxControlSlot), reinterpret_cast<DWORD_PTR>(a));
    EXPECT_EQ(AuxControl::FromObject(object), a);
    EXPECT_EQ(AuxControl::FindControl(w.window, 8), b);
    EXPECT_EQ(AuxControl::FindControl(w.window, 9), nullptr);
    EXPECT_EQ(a->GetKind(), kAuxKindBase);

    // An application object whose slot 4 holds a value of its own is not a control.
    AnimObject* stranger = NEW_ANIMOBJECT((w.window, static_cast<Graphic*>(nullptr), 10));
    stranger->SetData(kAuxControlSlot, reinterpret_cast<DWORD_PTR>(b) + 4);
    EXPECT_EQ(AuxControl::FromObject(stranger), nullptr);
    stranger->SetData(kAuxControlSlot, reinterpret_cast<DWORD_PTR>(b));
    EXPECT_EQ(AuxControl::FromObject(stranger), nullptr) << "b's object is another one";
    MEMDELETE(stranger);
    MEMDELETE(a);
    MEMDELETE(b);
}

TEST(AuxControl, ColourTableDefaultsAndGrowth) {
    TestWindow w;
    TestControl* c = Make(w.window, 1, 0, 0);
    EXPECT_EQ(c->GetColor(7), 0xFFFFFFFFu);
    EXPECT_EQ(c->GetColor(4), GetSysColor(COLOR_WINDOWTEXT));
    EXPECT_EQ(c->GetColor(0), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(c->GetColor(1), GetSysColor(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(c->GetColor(2), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(c->GetColor(3), GetSysColor(COLOR_BTNFACE));

    EXPECT_TRUE(c->SetColor(5, RGB(1, 2, 3)));
    EXPECT_EQ(c->ColorCount(), 9u);
    EXPECT_EQ(c->GetColor(5), RGB(1, 2, 3));
    // Entries inside the table are the table's, even the ones never set.
    EXPECT_EQ(c->GetColor(4), 0u);
    EXPECT_EQ(c->GetColor(8), 0u);
    EXPECT_EQ(c->GetColor(9), 0xFFFFFFFFu);
    EXPECT_FALSE(c->SetColor(0xFFFFFFFF, 1));
    EXPECT_FALSE(c->SetColor(0x7FFFFFFF, 1));
    EXPECT_EQ(c->ColorCount(), 9u);
    MEMDELETE(c);
}

TEST(AuxControl, TextAndLayoutOnDemand) {
    TestWindow w;
    TestControl* c = MEMNEW(TestControl, (w.window, 1));
    EXPECT_FALSE(c->NeedsLayout());
    EXPECT_EQ(c->GetTextLength(), 1u);
    c->SetText(string(TEXT("abcd")));
    EXPECT_EQ(c->GetTextLength(), 5u);
    EXPECT_TRUE(c->GetText() == TEXT("abcd"));
    EXPECT_EQ(c->layouts, 1) << "Refresh lays out what the text change asked for";
    LONG width, height;
    c->GetSize(&width, &height);
    EXPECT_EQ(width, 34);
    EXPECT_EQ(height, 20);

    // Moving ends automatic sizing but a layout already asked for still happens, keeping the position.
    c->SetImage(animtest::Solid(5, 5, RGB(9, 9, 9)));
    EXPECT_TRUE(c->NeedsLayout());
    c->SetPosition(100, 50);
    RECT rect;
    c->GetRect(&rect);
    EXPECT_EQ(rect.left, 100);
    EXPECT_EQ(rect.top, 50);
    EXPECT_EQ(rect.right, 134);
    EXPECT_EQ(c->layouts, 2);
    c->SetText(string(TEXT("abcdefgh")));
    EXPECT_EQ(c->layouts, 2) << "no automatic sizing after the move";

    // An explicit size is not undone by a pending layout; a null rectangle brings automatic sizing back.
    c->SetAutoSize();
    c->SetSize(5, 6);
    w->Step();
    c->GetSize(&width, &height);
    EXPECT_EQ(width, 5);
    EXPECT_EQ(c->layouts, 2);
    c->SetRect(nullptr);
    EXPECT_TRUE(c->NeedsLayout());
    w->Step(); // amFRAME lays out
    EXPECT_EQ(c->layouts, 3);
    EXPECT_FALSE(c->NeedsLayout());
    c->GetSize(&width, &height);
    EXPECT_EQ(width, 38);

    Graphic* image = c->GetImage();
    EXPECT_EQ(image, c->GetObject()->GetGraphic());
    EXPECT_FALSE(c->GetObject()->GetAutoDraw()) << "the control draws its picture itself";
    MEMDELETE(c);
    MEMDELETE(image);
}

TEST(AuxControl, FontsAreOwnedByTheControl) {
    TestWindow w;
    TestControl* c = MEMNEW(TestControl, (w.window, 1));
    HFONT system = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
    EXPECT_EQ(c->GetFont(), system);
    HFONT first = CreateFont(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, TEXT("Arial"));
    HFONT second = CreateFont(-14, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, TEXT("Arial"));
    c->SetFont(first);
    c->SetFont(first);
    EXPECT_EQ(GetObjectType(first), static_cast<DWORD>(OBJ_FONT)) << "setting the same font keeps it";
    c->SetFont(second);
    EXPECT_EQ(GetObjectType(first), 0u) << "the replaced font is deleted";
    c->SetFont(nullptr);
    EXPECT_EQ(c->GetFont(), system);
    EXPECT_EQ(GetObjectType(second), 0u);
    EXPECT_EQ(GetObjectType(system), static_cast<DWORD>(OBJ_FONT)) << "the stock font is never deleted";
    HFONT last = CreateFont(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, TEXT("Arial"));
    c->SetFont(last);
    MEMDELETE(c);
    EXPECT_EQ(GetObjectType(last), 0u) << "the control's own font goes with it";
}

TEST(AuxControl, PressTakesFocusAndCaptureReleaseEndsTheCapture) {
    Cleanup cleanup;
    TestWindow w;
    TestControl* a = Make(w.window, 1, 0, 0);
    TestControl* b = Make(w.window, 2, 100, 0);
    Press(w.hwnd, 10, 10);
    EXPECT_EQ(AuxControl::GetFocusedControl(), a);
    EXPECT_EQ(AuxControl::GetCapturedControl(), a);
    EXPECT_EQ(AuxControl::GetFocusedControl(kAuxKindButton), nullptr) << "the lookups go by kind";
    EXPECT_EQ(AuxControl::GetFocusedControl(kAuxKindBase), a);
    EXPECT_TRUE(a->HasCapture());
    EXPECT_EQ(GetCapture(), w.hwnd);
    EXPECT_EQ(a->focusGains, 1);

    // Released anywhere: the capture ends, the focus stays.
    Release(w.hwnd, 200, 200);
    EXPECT_FALSE(a->HasCapture());
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(AuxControl::GetFocusedControl(), a);

    Press(w.hwnd, 110, 10);
    EXPECT_EQ(AuxControl::GetFocusedControl(), b);
    EXPECT_EQ(a->focusLosses, 1);
    Release(w.hwnd, 110, 10);

    // A press outside every control clears the focus.
    Press(w.hwnd, 60, 100);
    EXPECT_EQ(AuxControl::GetFocusedControl(), nullptr);
    EXPECT_EQ(b->focusLosses, 1);
    EXPECT_EQ(GetCapture(), nullptr);
    Release(w.hwnd, 60, 100);
    MEMDELETE(a);
    MEMDELETE(b);
}

TEST(AuxControl, StaticOrRefusingControlsDoNotTakePresses) {
    Cleanup cleanup;
    TestWindow w;
    TestControl* back = Make(w.window, 1, 0, 0, 60);
    TestControl* front = Make(w.window, 2, 0, 0, 40);
    Press(w.hwnd, 5, 5);
    EXPECT_EQ(AuxControl::GetFocusedControl(), front);
    Release(w.hwnd, 5, 5);

    // The front control refuses presses: the one behind it gets them.
    front->refusePresses = TRUE;
    Press(w.hwnd, 5, 5);
    EXPECT_EQ(AuxControl::GetFocusedControl(), back);
    Release(w.hwnd, 5, 5);

    // Flag bit 0 on the back one's object: its hit test fails and nothing takes the press.
    back->GetObject()->SetFlags(aoSTATIC);
    Press(w.hwnd, 5, 5);
    EXPECT_EQ(AuxControl::GetFocusedControl(), nullptr);
    EXPECT_EQ(GetCapture(), nullptr);
    Release(w.hwnd, 5, 5);
    MEMDELETE(front);
    MEMDELETE(back);
}

TEST(AuxControl, CaptureAndFocusMoveBetweenTwoWindowsAndReturnTheEarlierCapture) {
    Cleanup cleanup;
    TestWindow one, two;
    TestControl* a = Make(one.window, 1, 0, 0);
    TestControl* b = Make(two.window, 2, 0, 0);
    Press(one.hwnd, 5, 5);
    EXPECT_EQ(GetCapture(), one.hwnd);
    // Taken on the other window while the first still holds it: the capture moves there.
    Press(two.hwnd, 5, 5);
    EXPECT_EQ(AuxControl::GetFocusedControl(), b);
    EXPECT_EQ(AuxControl::GetCapturedControl(), b);
    EXPECT_FALSE(a->HasCapture());
    EXPECT_EQ(GetCapture(), two.hwnd);
    Release(two.hwnd, 5, 5);
    EXPECT_EQ(GetCapture(), nullptr);

    // A window that held the capture before a control took it gets it back afterwards.
    SetCapture(one.hwnd);
    Press(two.hwnd, 5, 5);
    EXPECT_EQ(GetCapture(), two.hwnd);
    b->SetCapture(); // taking it again must not remember its own window
    Release(two.hwnd, 5, 5);
    EXPECT_EQ(GetCapture(), one.hwnd);
    ReleaseCapture();
    MEMDELETE(a);
    MEMDELETE(b);
}

TEST(AuxControl, DestructionLeavesNoBlockFilterFocusOrCapture) {
    Cleanup cleanup;
    TestWindow w;
    // The window's own tables (filters, depth lists) grow once with the first control and stay.
    TestControl* first = Make(w.window, 1, 0, 0);
    MEMDELETE(first);
    DWORD before = LiveBlocks();
    TestControl* a = Make(w.window, 1, 0, 0);
    TestControl* b = Make(w.window, 2, 100, 0);
    a->SetText(string(TEXT("some text")));
    a->SetColor(6, RGB(1, 1, 1));
    EXPECT_EQ(FilterRefs(w.window, AuxControl::MouseHook), 2u) << "one hook entry shared by both";
    Press(w.hwnd, 5, 5);
    ASSERT_TRUE(a->HasCapture());
    MEMDELETE(a);
    EXPECT_EQ(AuxControl::GetFocusedControl(), nullptr);
    EXPECT_EQ(AuxControl::GetCapturedControl(), nullptr);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(FilterRefs(w.window, AuxControl::MouseHook), 1u);
    Release(w.hwnd, 5, 5);
    // Capture without focus goes with the control as well.
    b->SetCapture();
    ASSERT_EQ(GetCapture(), w.hwnd);
    MEMDELETE(b);
    EXPECT_EQ(AuxControl::GetCapturedControl(), nullptr);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(FilterRefs(w.window, AuxControl::MouseHook), 0u);
    EXPECT_EQ(w->GetFirstObject(), nullptr);
    EXPECT_EQ(LiveBlocks(), before);
}

TEST(AuxControl, ControlOutlivingItsWindowForgetsTheObject) {
    Cleanup cleanup;
    TestControl* c;
    {
        TestWindow w;
        c = Make(w.window, 1, 0, 0);
        Press(w.hwnd, 5, 5);
        ASSERT_TRUE(c->HasCapture());
    }
    EXPECT_EQ(c->GetObject(), nullptr);
    EXPECT_EQ(c->GetImage(), nullptr);
    RECT rect;
    c->GetRect(&rect);
    EXPECT_TRUE(IsRectEmpty(&rect));
    c->SetText(string(TEXT("still fine")));
    MEMDELETE(c);
    EXPECT_EQ(AuxControl::GetCapturedControl(), nullptr);
    EXPECT_EQ(AuxControl::GetFocusedControl(), nullptr);
}

} // namespace
