// The animation window on a display forced to 8 bits per pixel: surfaces that take the display's palette
// group and compose through it, and the paced loop of an inactive window. The engine starts once per
// process, so these cases live in a program of their own.
#include "anim_test_window.h"
#include "cea_palette_group.h"

#include <vector>

using namespace animtest;

namespace {

void ForceEightBits() { AnimInit(GetModuleHandle(nullptr), aiFORCE8BPP); }

DWORD g_backgrounds = 0;
DWORD CountBackgrounds(AnimWindow*, DWORD event, DWORD, LPARAM) {
    if (event == awBACKGROUND) ++g_backgrounds;
    return 1;
}

TEST(EightBitDisplay, SurfacesTakeTheDisplayGroupAndComposeThroughIt) {
    ForceEightBits();
    AnimDisplay* display = AnimGetDisplay();
    ASSERT_EQ(display->GetDepth(), 8);
    ASSERT_TRUE(display->IsPalettized());
    TestWindow w(64, 48);
    ASSERT_NE(w.window, nullptr);
    ASSERT_EQ(w->GetBackground()->GetDepth(), 8);
    CaptureDC screen(64, 48);

    // A picture whose red sits at index 7 of its own palette, and a backdrop colour of the group.
    RGBQUAD own[256] = {};
    own[7].rgbRed = 200;
    Graphic* picture = MEMNEW(Graphic, (8, 8, 8, own));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) picture->SetPixelValue(x, y, 7);
    PaletteGroup* group = MEMNEW(PaletteGroup, ());
    ASSERT_TRUE(group->Open());
    group->Add(picture);
    group->AddColor(RGB(0, 0, 200));
    group->Close();
    DWORD red = group->FindColor(RGB(200, 0, 0));
    ASSERT_NE(red, 0xFFFFFFFFu);

    w->SetCallback(CountBackgrounds);
    g_backgrounds = 0;
    EXPECT_TRUE(display->SetPaletteGroup(group));
    EXPECT_EQ(display->GetPaletteGroup(), group);
    EXPECT_EQ(g_backgrounds, 1u) << "the rebuilt background is announced";
    Graphic* surfaces[] = {w->GetBackground(), w->GetStage(), w->GetFrameSurface()};
    for (Graphic* s : surfaces) {
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->GetDepth(), 8);
        EXPECT_EQ(s->GetPaletteGroup(), group);
        EXPECT_EQ(s->GetPaletteColor(red), RGB(200, 0, 0));
    }

    w->FillBackground(RGB(0, 0, 200), nullptr);
    AnimObject* o = NEW_ANIMOBJECT((w.window, picture, 10));
    o->SetPos(4, 4);
    w->Paint(screen.dc);
    EXPECT_EQ(screen.At(5, 5), Screen(RGB(200, 0, 0)));
    EXPECT_EQ(screen.At(40, 40), Screen(RGB(0, 0, 200)));

    MEMDELETE(o);
    display->SetPaletteGroup(nullptr);
    EXPECT_EQ(w->GetBackground()->GetPaletteGroup(), nullptr);
    MEMDELETE(group);
    MEMDELETE(picture);
}

TEST(EightBitDisplay, TranslucentObjectsBlendThroughTheUniformPalette) {
    ForceEightBits();
    PaletteGroup* group = MEMNEW(PaletteGroup, ());
    ASSERT_TRUE(group->Open());
    group->AddEntries(kUniformPalette, 0);
    group->Close();
    TestWindow w(64, 48);
    AnimGetDisplay()->SetPaletteGroup(group);
    w->FillBackground(RGB(0, 0, 0), nullptr);
    Graphic* white = Solid(16, 16, RGB(255, 255, 255));
    ASSERT_TRUE(white->SetTranslucency(kTranslucencyUniform, 128));
    AnimObject* pane = NEW_ANIMOBJECT((w.window, white, 10));
    CaptureDC screen(64, 48);
    w->Paint(screen.dc);
    // Halfway from black to white is 127 a channel, which the uniform table files under (128, 115, 115).
    EXPECT_EQ(screen.At(5, 5), Screen(RGB(128, 115, 115)));
    EXPECT_EQ(screen.At(40, 40), Screen(RGB(0, 0, 0)));
    MEMDELETE(pane);
    AnimGetDisplay()->SetPaletteGroup(nullptr);
    MEMDELETE(group);
    MEMDELETE(white);
}

// Paints use the screen depth read before; a display change reaching the window, or a merge, reads it
// again. The screen's depth is played by a stand-in here, since the test display cannot change its own.
int g_fakeScreenDepth = 24;
int g_screenDepthReads = 0;
int FakeScreenDepth() {
    ++g_screenDepthReads;
    return g_fakeScreenDepth;
}

TEST(EightBitDisplay, DisplayChangeRefreshesTheScreenDepthThatPaintsUse) {
    ForceEightBits();
    PaletteGroup::ScreenDepthQuery real = PaletteGroup::SetScreenDepthQuery(FakeScreenDepth);
    g_fakeScreenDepth = 24;
    TestWindow w(32, 32);
    SendMessage(w.hwnd, WM_DISPLAYCHANGE, 24, MAKELPARAM(640, 480));
    PaletteGroup* group = MEMNEW(PaletteGroup, ());
    AnimDisplay* display = AnimGetDisplay();
    display->SetPaletteGroup(group);
    EXPECT_EQ(display->GetPaletteHandle(), nullptr); // a deeper screen realizes no palette

    // Paints do not ask the screen.
    int reads = g_screenDepthReads;
    for (int i = 0; i < 5; ++i) {
        w->InvalidateAll(TRUE);
        w->Update();
    }
    EXPECT_EQ(g_screenDepthReads, reads);

    // The screen turns palettized: noticed once the window hears of it.
    g_fakeScreenDepth = 8;
    SendMessage(w.hwnd, WM_DISPLAYCHANGE, 8, MAKELPARAM(640, 480));
    HPALETTE palette = display->GetPaletteHandle();
    EXPECT_NE(palette, nullptr);
    PALETTEENTRY white = {};
    ASSERT_EQ(GetPaletteEntries(palette, 255, 1, &white), 1u);
    EXPECT_EQ(RGB(white.peRed, white.peGreen, white.peBlue), RGB(255, 255, 255));
    w->InvalidateAll(TRUE);
    w->Update();

    // And back: a merge looks at the screen again as well.
    g_fakeScreenDepth = 16;
    ASSERT_TRUE(group->Open());
    group->Close();
    EXPECT_EQ(display->GetPaletteHandle(), nullptr);

    display->SetPaletteGroup(nullptr);
    MEMDELETE(group);
    PaletteGroup::SetScreenDepthQuery(real);
    PaletteGroup::RefreshScreenDepth();
}

// The inactive loop: the clock says every frame is late, yet while the window is inactive the game's
// loop keeps pumping; the installer's loop ignores the flag.
const UINT kNudge = WM_USER + 7;
AnimWindow* g_played = nullptr;
std::vector<DWORD> g_framesAtNudge;
int g_timers = 0;

DWORD LateClock(AnimWindow*, DWORD event, DWORD, LPARAM) {
    if (event == awPAINTEND) Now() += 100;
    return 1;
}

LRESULT CALLBACK Reactivates(HWND, UINT message, WPARAM, LPARAM) {
    if (message == kNudge) {
        g_framesAtNudge.push_back(g_played->GetFrame());
        if (g_framesAtNudge.size() == 3) g_played->SetInactive(FALSE);
    } else if (message == WM_TIMER && ++g_timers > 200) {
        g_played->SetInactive(FALSE); // the nudges never came: give up rather than hang
    }
    return 0;
}

TEST(InactiveLoop, PumpsWithoutLookingAtTheClockInTheGameBuild) {
    ForceEightBits();
    TestWindow w(32, 32);
    g_played = w.window;
    g_framesAtNudge.clear();
    g_timers = 0;
    AnimSetClock(FakeClock);
    w->SetCallback(LateClock);
    w->SetFrameRate(40);
    w->AddFilter(Reactivates, FilterFlags(afALL, 0));
    ValidateRect(w.hwnd, nullptr);
    w->SetInactive(TRUE);
    EXPECT_TRUE(w->IsInactive());
    for (int i = 0; i < 3; ++i) PostMessage(w.hwnd, kNudge, 0, 0);
    w->Play(2);
    EXPECT_EQ(w->GetFrame(), 2u);
#ifdef UNICODE
    EXPECT_EQ(g_framesAtNudge, (std::vector<DWORD>{1, 1, 1})) << "pumped after frame 1 although late";
    EXPECT_FALSE(w->IsInactive());
#else
    EXPECT_TRUE(g_framesAtNudge.empty()) << "late frames run without pumping";
    MSG msg;
    while (PeekMessage(&msg, w.hwnd, kNudge, kNudge, PM_REMOVE)) DispatchMessage(&msg);
    EXPECT_EQ(g_framesAtNudge, (std::vector<DWORD>{2, 2, 2}));
#endif
    EXPECT_LE(g_timers, 200);
    AnimSetClock(nullptr);
}

} // namespace
