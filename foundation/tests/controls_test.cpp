// The toolkit's controls drawn into real windows on the display (pixels read back from the window), their
// messages and clicks, and the custom colours in the registry.
#include "mem_manager.h"
#include "registry.h"
#include "tl_controls.h"
#include "tl_dialog.h"

#include <gtest/gtest.h>

#include <string.h>
#include <vector>

namespace {

// A visible top-level window that records the commands its controls send.
struct Commands {
    std::vector<WPARAM> received;
};
Commands g_commands;

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) g_commands.received.push_back(wParam);
    return DefWindowProc(window, message, wParam, lParam);
}

// The colour a control shows at a point of its client area, after it painted.
COLORREF Pixel(HWND window, int x, int y) {
    UpdateWindow(window);
    GdiFlush();
    HDC dc = GetDC(window);
    COLORREF colour = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return colour;
}

class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = GetModuleHandle(nullptr);
        InitGuiLib(module_);
        WNDCLASS wc = {};
        wc.lpfnWndProc = ParentProc;
        wc.hInstance = module_;
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = TEXT("VexlinControlsParent");
        RegisterClass(&wc);
        parent_ = CreateWindowEx(WS_EX_TOPMOST, TEXT("VexlinControlsParent"), TEXT(""), WS_POPUP | WS_VISIBLE,
                                 400, 300, 240, 160, nullptr, nullptr, module_, nullptr);
        g_commands.received.clear();
    }
    void TearDown() override { DestroyWindow(parent_); }

    HWND Child(const TCHAR* className, const TCHAR* text, DWORD style, int x, int y, int width, int height,
               int id = 7) {
        return CreateWindowEx(0, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height, parent_,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), module_, nullptr);
    }
    static void Repaint(HWND window) {
        InvalidateRect(window, nullptr, TRUE);
        UpdateWindow(window);
    }

    HINSTANCE module_;
    HWND parent_;
};

TEST_F(ControlsTest, EtchedLineDrawsASunkenLineOverTheButtonFace) {
    HWND line = Child(ETCHEDLINE_CLASS, TEXT(""), 0, 10, 10, 100, 6);
    ASSERT_TRUE(line);
    Repaint(line);
    EXPECT_EQ(GetSysColor(COLOR_BTNSHADOW), Pixel(line, 50, 0)) << "the shadow above";
    EXPECT_EQ(GetSysColor(COLOR_BTNHIGHLIGHT), Pixel(line, 50, 1)) << "the light below";
    EXPECT_EQ(GetSysColor(COLOR_BTNSHADOW), Pixel(line, 0, 0));
    for (int y = 2; y < 6; ++y) EXPECT_EQ(GetSysColor(COLOR_BTNFACE), Pixel(line, 50, y)) << y;
}

TEST_F(ControlsTest, ColorButtonShowsItsSwatchOnlyWhenItHasAColour) {
    HWND button = Child(COLORBUTTON_CLASS, TEXT(""), 0, 20, 20, 40, 30);
    ASSERT_TRUE(button);
    EXPECT_EQ(0xFFFFFFFFu, static_cast<DWORD>(SendMessage(button, CBM_GETCOLOR, 0, 0)));
    Repaint(button);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    for (int y = 4; y < 26; y += 3)
        for (int x = 4; x < 36; x += 3)
            ASSERT_EQ(face, Pixel(button, x, y)) << "no swatch at " << x << "," << y;
    EXPECT_EQ(GetSysColor(COLOR_3DLIGHT), Pixel(button, 0, 0)) << "raised: light at the top left";
    EXPECT_EQ(GetSysColor(COLOR_BTNHIGHLIGHT), Pixel(button, 1, 1)) << "raised: lighter inside";
    EXPECT_EQ(GetSysColor(COLOR_3DDKSHADOW), Pixel(button, 39, 29)) << "raised: dark at the bottom right";

    const COLORREF red = RGB(200, 30, 40);
    SendMessage(button, CBM_SETCOLOR, 0, red);
    EXPECT_EQ(red, static_cast<COLORREF>(SendMessage(button, CBM_GETCOLOR, 0, 0)));
    EXPECT_EQ(RGB(0, 0, 0), Pixel(button, 4, 4)) << "outline inside the 4-pixel margin";
    EXPECT_EQ(RGB(0, 0, 0), Pixel(button, 35, 25)) << "outline one pixel inside the right and bottom";
    EXPECT_EQ(face, Pixel(button, 36, 26));
    EXPECT_EQ(red, Pixel(button, 5, 5));
    EXPECT_EQ(red, Pixel(button, 34, 24));
    EXPECT_EQ(face, Pixel(button, 3, 3));

    EnableWindow(button, FALSE);
    EXPECT_EQ(red, Pixel(button, 20, 15)) << "a disabled button still shows its colour";
    EXPECT_EQ(GetSysColor(COLOR_3DLIGHT), Pixel(button, 0, 0)) << "bump: light outside";
    EXPECT_EQ(GetSysColor(COLOR_3DDKSHADOW), Pixel(button, 1, 1)) << "bump: dark inside";
}

TEST_F(ControlsTest, ColorButtonPressesSinksAndClicksOnlyWhenReleasedInside) {
    HWND button = Child(COLORBUTTON_CLASS, TEXT(""), 0, 20, 20, 40, 30, 42);
    SendMessage(button, CBM_SETCOLOR, 0, RGB(0, 128, 255));
    Repaint(button);
    EXPECT_EQ(RGB(0, 0, 0), Pixel(button, 4, 4));

    SendMessage(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    EXPECT_EQ(button, GetCapture());
    EXPECT_EQ(GetSysColor(COLOR_BTNSHADOW), Pixel(button, 0, 0)) << "sunken while held";
    EXPECT_EQ(RGB(0, 0, 0), Pixel(button, 5, 5)) << "contents one pixel right and down";
    EXPECT_NE(RGB(0, 0, 0), Pixel(button, 4, 4));

    SendMessage(button, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-5, 50));
    EXPECT_EQ(RGB(0, 0, 0), Pixel(button, 4, 4)) << "raised again once the pointer leaves";
    SendMessage(button, WM_LBUTTONUP, 0, MAKELPARAM(-5, 50));
    EXPECT_EQ(nullptr, GetCapture());
    EXPECT_TRUE(g_commands.received.empty()) << "released outside: no click";

    SendMessage(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    SendMessage(button, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-5, 50));
    SendMessage(button, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(12, 12));
    EXPECT_EQ(RGB(0, 0, 0), Pixel(button, 5, 5)) << "sunken again when the pointer comes back";
    SendMessage(button, WM_LBUTTONUP, 0, MAKELPARAM(12, 12));
    ASSERT_EQ(1u, g_commands.received.size());
    EXPECT_EQ(MAKEWPARAM(42, BN_CLICKED), g_commands.received[0]);
    EXPECT_EQ(RGB(0, 0, 0), Pixel(button, 4, 4));
}

TEST_F(ControlsTest, StaticExKeepsItsTextAndFontAndReleasesItsData) {
    const DWORD before = MemGetStats().liveBlocks;
    HWND text = Child(STATICEX_CLASS, TEXT("Hello"), SS_LEFT, 10, 10, 200, 20);
    ASSERT_TRUE(text);
    EXPECT_GT(MemGetStats().liveBlocks, before) << "its data lives with the window";
    TCHAR buffer[64];
    EXPECT_EQ(5, GetWindowText(text, buffer, 64));
    EXPECT_EQ(0, lstrcmp(buffer, TEXT("Hello")));
    EXPECT_EQ(5, GetWindowTextLength(text));
    EXPECT_EQ(3, SendMessage(text, WM_GETTEXT, 4, reinterpret_cast<LPARAM>(buffer))) << "cut to the buffer";
    EXPECT_EQ(0, lstrcmp(buffer, TEXT("Hel")));
    EXPECT_TRUE(SetWindowText(text, TEXT("Saluton, mondo")));
    EXPECT_EQ(14, GetWindowTextLength(text));

    EXPECT_EQ(0, SendMessage(text, WM_GETFONT, 0, 0));
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    SendMessage(text, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    EXPECT_EQ(reinterpret_cast<LRESULT>(font), SendMessage(text, WM_GETFONT, 0, 0));
    DestroyWindow(text);
    EXPECT_EQ(before, MemGetStats().liveBlocks);
}

// Counts the pixels of a column range that differ from the background.
int InkBetween(HWND window, int left, int right, int height, COLORREF background) {
    int ink = 0;
    for (int y = 0; y < height; ++y)
        for (int x = left; x < right; ++x) ink += Pixel(window, x, y) != background;
    return ink;
}

TEST_F(ControlsTest, StaticExDrawsItsTextWhereItsAlignmentPutsIt) {
    HWND left = Child(STATICEX_CLASS, TEXT("III"), SS_LEFT, 0, 0, 120, 20);
    HWND right = Child(STATICEX_CLASS, TEXT("III"), SS_RIGHT, 0, 30, 120, 20);
    Repaint(left);
    Repaint(right);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ(face, Pixel(left, 119, 19)) << "the background of a static";
    EXPECT_GT(InkBetween(left, 0, 40, 20, face), 0);
    EXPECT_EQ(0, InkBetween(left, 80, 120, 20, face));
    EXPECT_EQ(0, InkBetween(right, 0, 40, 20, face));
    EXPECT_GT(InkBetween(right, 80, 120, 20, face), 0);
}

TEST_F(ControlsTest, StaticExLinkTakesClicksAndShowsTheHandOnlyOverItsText) {
    HWND link = Child(STATICEX_CLASS, TEXT("Scores"), SS_LEFT | SS_NOTIFY, 10, 60, 200, 20, 55);
    HWND plain = Child(STATICEX_CLASS, TEXT("Scores"), SS_LEFT, 10, 90, 200, 20, 56);
    ASSERT_TRUE(link && plain);

    SendMessage(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 8));
    SendMessage(link, WM_LBUTTONUP, 0, MAKELPARAM(190, 8));
    EXPECT_TRUE(g_commands.received.empty()) << "released beside the text";
    SendMessage(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(190, 8));
    SendMessage(link, WM_LBUTTONUP, 0, MAKELPARAM(3, 8));
    EXPECT_TRUE(g_commands.received.empty()) << "pressed beside the text";
    SendMessage(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 8));
    SendMessage(link, WM_LBUTTONUP, 0, MAKELPARAM(4, 9));
    ASSERT_EQ(1u, g_commands.received.size());
    EXPECT_EQ(MAKEWPARAM(55, STN_CLICKED), g_commands.received[0]);
    SendMessage(plain, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 8));
    SendMessage(plain, WM_LBUTTONUP, 0, MAKELPARAM(4, 9));
    EXPECT_EQ(1u, g_commands.received.size()) << "plain text is no link";

    const HCURSOR hand = LoadCursor(nullptr, MAKEINTRESOURCE(32649));
    const HCURSOR arrow = LoadCursor(nullptr, IDC_ARROW);
    SetCursorPos(400 + 10 + 3, 300 + 60 + 8);
    SendMessage(link, WM_SETCURSOR, reinterpret_cast<WPARAM>(link), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(hand, GetCursor());
    SetCursorPos(400 + 10 + 190, 300 + 60 + 8);
    SendMessage(link, WM_SETCURSOR, reinterpret_cast<WPARAM>(link), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(arrow, GetCursor());
    SetCursorPos(400 + 10 + 3, 300 + 90 + 8);
    SendMessage(plain, WM_SETCURSOR, reinterpret_cast<WPARAM>(plain), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(arrow, GetCursor());
}

// ---- custom colours ----

class CustomColorsTest : public ::testing::Test {
protected:
#ifdef UNICODE
    const TCHAR* key_ = TEXT("HKCU\\Software\\VexlinTests\\CustomColorsW");
#else
    const TCHAR* key_ = TEXT("HKCU\\Software\\VexlinTests\\CustomColorsA");
#endif
    void SetUp() override { Cleanup(); }
    void TearDown() override { Cleanup(); }
    void Cleanup() {
        const string parent(TEXT("HKCU\\Software\\VexlinTests"));
        RegKey(parent).DeleteTree(string(key_).Mid(parent.GetLength() + 1));
    }
    RegValue Value() { return RegValue(string(key_), string(CUSTOM_COLORS_VALUE)); }
    static void Fill(DWORD seed) {
        for (DWORD i = 0; i < kCustomColorCount; ++i) GetCustomColors()[i] = RGB(i * 10, seed, 255 - i);
    }
};

TEST_F(CustomColorsTest, TheTableRoundTripsAsAVersionedRecord) {
    Fill(7);
    COLORREF saved[kCustomColorCount];
    memcpy(saved, GetCustomColors(), sizeof saved);
    ASSERT_TRUE(SaveCustomColorsTo(Value()));
    EXPECT_EQ(84u, Value().GetSize()) << "version word and 80 bytes";
    DWORD version = 0;
    DWORD type = 0, size = sizeof version;
    BYTE raw[84];
    size = sizeof raw;
    ASSERT_TRUE(Value().Query(&type, raw, &size));
    memcpy(&version, raw, 4);
    EXPECT_EQ(0x00010000u, version);
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);

    Fill(99);
    ASSERT_TRUE(LoadCustomColorsFrom(Value()));
    EXPECT_EQ(0, memcmp(saved, GetCustomColors(), sizeof saved));
}

TEST_F(CustomColorsTest, AMissingOrForeignRecordZeroesTheTable) {
    Fill(1);
    EXPECT_FALSE(LoadCustomColorsFrom(Value())) << "nothing stored";
    for (DWORD i = 0; i < kCustomColorCount; ++i) EXPECT_EQ(0u, GetCustomColors()[i]);

    Fill(2);
    const BYTE other[8] = {0, 0, 2, 0, 1, 2, 3, 4}; // version 2.0
    ASSERT_TRUE(Value().Set(REG_BINARY, other, sizeof other));
    EXPECT_FALSE(LoadCustomColorsFrom(Value()));
    for (DWORD i = 0; i < kCustomColorCount; ++i) EXPECT_EQ(0u, GetCustomColors()[i]);

    Fill(3);
    const BYTE shortRecord[8] = {0, 0, 1, 0, 0x11, 0x22, 0x33, 0x00}; // one colour only
    ASSERT_TRUE(Value().Set(REG_BINARY, shortRecord, sizeof shortRecord));
    EXPECT_TRUE(LoadCustomColorsFrom(Value()));
    EXPECT_EQ(RGB(0x11, 0x22, 0x33), GetCustomColors()[0]);
    for (DWORD i = 1; i < kCustomColorCount; ++i) EXPECT_EQ(0u, GetCustomColors()[i]) << "zero beyond";
}

// The toolkit's own value; the run holds it alone (a ctest resource lock) and puts back what was there.
TEST_F(CustomColorsTest, TheToolkitKeepsItsColoursInTheCommonKey) {
    const RegValue common(string(CUSTOM_COLORS_KEY), string(CUSTOM_COLORS_VALUE));
    RegData previous;
    const bool hadValue = common.GetBinary(previous);
    Fill(42);
    COLORREF saved[kCustomColorCount];
    memcpy(saved, GetCustomColors(), sizeof saved);
    ASSERT_TRUE(SaveCustomColors());
    Fill(0);
    EXPECT_TRUE(LoadCustomColors());
    EXPECT_EQ(0, memcmp(saved, GetCustomColors(), sizeof saved));
    Fill(5);
    RegisterColorButtonClass(GetModuleHandle(nullptr));
    EXPECT_EQ(0, memcmp(saved, GetCustomColors(), sizeof saved)) << "the button class loads them";
    if (hadValue)
        common.SetBinary(previous);
    else
        common.DeleteValue(string(CUSTOM_COLORS_VALUE));
}

} // namespace
