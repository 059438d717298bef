// The animation window on real hidden windows: what a paint composes and copies, the frame schedule,
// the paced loop against a clock the test moves, the measured rate, filters, surfaces and destruction.
#include "anim_test_window.h"
#include "tl_string.h"

#include <string>
#include <vector>

using namespace animtest;

namespace {

std::vector<std::string> g_log;
DWORD g_paints = 0;
DWORD g_backgrounds = 0;
DWORD g_jumpAtEvent = 0; // clock jump when event 1 runs
DWORD g_stopCode = 0;    // event code answered with 0

DWORD Events(AnimWindow*, DWORD event, DWORD, LPARAM value) {
    switch (event) {
    case awPAINTBEGIN:
        g_log.push_back("begin");
        break;
    case awPAINTFRAMED:
        g_log.push_back("framed");
        break;
    case awPAINTEND:
        g_log.push_back("end");
        ++g_paints;
        break;
    case awBACKGROUND:
        ++g_backgrounds;
        break;
    case awEVENT:
        g_log.push_back("event " + std::to_string(value));
        if (value == 1) Now() += g_jumpAtEvent;
        return static_cast<DWORD>(value) == g_stopCode ? 0 : 1;
    }
    return 1;
}

DWORD Logger(AnimObject* o, DWORD message, LPARAM p) {
    std::string name = std::to_string(o->GetData(0));
    if (message == amFRAME) g_log.push_back("frame " + name);
    if (message == amDRAW) {
        const RECT& c = reinterpret_cast<const ANIMDRAW*>(p)->clip;
        g_log.push_back("draw " + name + " " + std::to_string(c.left) + "," + std::to_string(c.top) + "," +
                        std::to_string(c.right) + "," + std::to_string(c.bottom));
    }
    return 1;
}

// A logging object called `name` over `rect`; the flags are set after the move, which they may forbid.
AnimObject* Logged(AnimWindow* w, DWORD name, LONG depth, RECT rect, DWORD flags = 0) {
    AnimObject* o = NEW_ANIMOBJECT((w, Logger, depth));
    o->SetData(0, name);
    o->SetRect(&rect);
    o->SetFlags(flags);
    return o;
}

void Reset() {
    g_log.clear();
    g_paints = g_backgrounds = g_jumpAtEvent = g_stopCode = 0;
}

TEST(AnimWindow, PaintSequenceAndOnlyDirtyRectanglesReachTheScreen) {
    TestWindow w;
    ASSERT_NE(w.window, nullptr);
    Reset();
    w->SetCallback(Events);
    EXPECT_EQ(g_backgrounds, 1u) << "setting a callback announces the existing background";
    w->FillBackground(RGB(0, 0, 200), nullptr);
    Graphic* red = Solid(20, 20, RGB(200, 0, 0));
    AnimObject* sprite = NEW_ANIMOBJECT((w.window, red, 10));
    sprite->SetPos(10, 10);
    AnimObject* drawn = Logged(w.window, 2, 5, {200, 250, 230, 280});
    CaptureDC screen(240, 294);
    w->Paint(screen.dc);
    EXPECT_EQ(screen.At(15, 15), Screen(RGB(200, 0, 0)));
    EXPECT_EQ(screen.At(100, 100), Screen(RGB(0, 0, 200)));

    screen.Reset();
    g_log.clear();
    sprite->SetPos(50, 10); // dirty: 10..30 and 50..70 across, 10..30 down
    w->Paint(screen.dc);
    EXPECT_EQ(g_log, (std::vector<std::string>{"begin", "frame 2", "framed", "end"}))
        << "the far object is untouched, so it is not drawn";
    RECT box;
    EXPECT_EQ(screen.Touched(&box), 2 * 20 * 20);
    EXPECT_EQ(box.left, 10);
    EXPECT_EQ(box.right, 70);
    EXPECT_EQ(screen.At(15, 15), Screen(RGB(0, 0, 200)));
    EXPECT_EQ(screen.At(55, 15), Screen(RGB(200, 0, 0)));
    EXPECT_EQ(screen.At(40, 15), kSentinel);

    screen.Reset();
    g_log.clear();
    w->Paint(screen.dc);
    EXPECT_EQ(screen.Touched(&box), 0) << "nothing changed, nothing copied";
    EXPECT_EQ(g_paints, 3u);
    MEMDELETE(sprite);
    MEMDELETE(drawn);
    MEMDELETE(red);
}

// The caller's rectangle comes back trimmed to the client area; only that part of the background is
// filled, and the whole window is dirtied in the static layer.
TEST(AnimWindow, FillBackgroundTrimsTheCallersRectangleInPlace) {
    TestWindow w;
    Graphic* background = w->GetBackground();
    ASSERT_NE(background, nullptr);
    w->FillBackground(RGB(0, 0, 200), nullptr);
    EXPECT_EQ(background->GetPixelColor(239, 293), RGB(0, 0, 200));

    RECT oversized = {-20, -30, 500, 600};
    w->FillBackground(RGB(40, 80, 160), &oversized);
    RECT client = {0, 0, 240, 294};
    EXPECT_TRUE(EqualRect(&oversized, &client))
        << oversized.left << "," << oversized.top << "," << oversized.right << "," << oversized.bottom;
    EXPECT_EQ(background->GetPixelColor(0, 0), RGB(40, 80, 160));
    EXPECT_EQ(background->GetPixelColor(239, 293), RGB(40, 80, 160));

    RECT corner = {200, 250, 300, 400};
    w->FillBackground(RGB(200, 0, 0), &corner);
    RECT trimmed = {200, 250, 240, 294};
    EXPECT_TRUE(EqualRect(&corner, &trimmed))
        << corner.left << "," << corner.top << "," << corner.right << "," << corner.bottom;
    EXPECT_EQ(background->GetPixelColor(200, 250), RGB(200, 0, 0));
    EXPECT_EQ(background->GetPixelColor(239, 293), RGB(200, 0, 0));
    EXPECT_EQ(background->GetPixelColor(199, 293), RGB(40, 80, 160));
    EXPECT_EQ(background->GetPixelColor(239, 249), RGB(40, 80, 160));

    RECT beyond = {300, 300, 400, 400};
    w->FillBackground(RGB(0, 200, 0), &beyond);
    EXPECT_TRUE(IsRectEmpty(&beyond)) << "nothing of it lies in the client area";
    EXPECT_EQ(background->GetPixelColor(239, 293), RGB(200, 0, 0));
    ASSERT_EQ(w->GetStaticRegion().GetCount(), 1u);
    EXPECT_TRUE(EqualRect(w->GetStaticRegion().Get(0), &client));
}

TEST(AnimWindow, PartlyDirtyStaticObjectsAreRedrawnWhole) {
    TestWindow w;
    Reset();
    w->SetCallback(Events);
    AnimObject* wide = Logged(w.window, 1, 50, {0, 0, 40, 40}, aoSTATIC);
    AnimObject* clips = Logged(w.window, 2, 50, {100, 0, 140, 40}, aoSTATIC | aoCLIPS);
    AnimObject* top = Logged(w.window, 3, 40, {0, 100, 40, 140});
    CaptureDC screen(240, 294);
    w->Paint(screen.dc);

    g_log.clear();
    screen.Reset();
    RECT corner = {30, 30, 50, 50}, corner2 = {130, 30, 150, 50}, corner3 = {30, 130, 50, 150};
    w->Invalidate(&corner, TRUE);
    w->Invalidate(&corner2, TRUE);
    w->Invalidate(&corner3, FALSE);
    w->Paint(screen.dc);
    EXPECT_EQ(g_log, (std::vector<std::string>{"begin", "frame 3", "frame 1", "frame 2", "framed",
                                               "draw 2 130,30,140,40", "draw 1 0,0,40,40",
                                               "draw 3 30,130,40,140", "end"}));
    RECT box;
    EXPECT_EQ(screen.Touched(&box), 50 * 50 + 20 * 20 + 20 * 20)
        << "the static object's corner grows to cover it whole; the other corners stay as they are";
    MEMDELETE(wide);
    MEMDELETE(clips);
    MEMDELETE(top);
}

TEST(AnimWindow, DepthDecidesWhatEndsOnTop) {
    TestWindow w;
    Graphic* front = Solid(10, 10, RGB(255, 0, 0));
    Graphic* back = Solid(10, 10, RGB(0, 255, 0));
    Graphic* sameDepthLater = Solid(10, 10, RGB(0, 0, 255));
    AnimObject* b = NEW_ANIMOBJECT((w.window, back, 75));
    AnimObject* f = NEW_ANIMOBJECT((w.window, front, 1));
    AnimObject* l = NEW_ANIMOBJECT((w.window, sameDepthLater, 75));
    l->SetPos(5, 0);
    CaptureDC screen(240, 294);
    w->Paint(screen.dc);
    EXPECT_EQ(screen.At(2, 2), Screen(RGB(255, 0, 0)));
    EXPECT_EQ(screen.At(12, 2), Screen(RGB(0, 0, 255)));
    f->SetDepth(200);
    w->Paint(screen.dc);
    EXPECT_EQ(screen.At(2, 2), Screen(RGB(0, 255, 0)));
    EXPECT_EQ(screen.At(7, 2), Screen(RGB(0, 255, 0))) << "attached earlier, drawn over";
    MEMDELETE(b);
    MEMDELETE(f);
    MEMDELETE(l);
    MEMDELETE(front);
    MEMDELETE(back);
    MEMDELETE(sameDepthLater);
}

TEST(AnimWindow, TwoDirtyPartsApartLeaveTheObjectBetweenThemAlone) {
    TestWindow w;
    Graphic* wide = Solid(100, 20, RGB(0, 255, 0));
    Graphic* narrow = Solid(20, 20, RGB(255, 0, 0));
    AnimObject* back = NEW_ANIMOBJECT((w.window, wide, 75));
    AnimObject* front = NEW_ANIMOBJECT((w.window, narrow, 74));
    front->SetPos(40, 0);
    CaptureDC screen(240, 294);
    w->Paint(screen.dc);
    EXPECT_EQ(screen.At(50, 5), Screen(RGB(255, 0, 0)));
    // Two dirty parts on either side of the front object: the back one is redrawn in them only.
    RECT left = {0, 0, 10, 10}, right = {90, 0, 100, 10};
    w->Invalidate(&left, FALSE);
    w->Invalidate(&right, FALSE);
    w->Paint(screen.dc);
    EXPECT_EQ(w->GetFrameSurface()->GetPixelColor(50, 5), RGB(255, 0, 0));
    EXPECT_EQ(w->GetFrameSurface()->GetPixelColor(5, 5), RGB(0, 255, 0));
    MEMDELETE(back);
    MEMDELETE(front);
    MEMDELETE(wide);
    MEMDELETE(narrow);
}

TEST(AnimWindow, RunFramesAppliesEntriesAndStopsAtAZeroAnswer) {
    TestWindow w;
    Reset();
    w->SetCallback(Events);
    Graphic* first = Solid(10, 10, RGB(1, 1, 1));
    Graphic* second = Solid(30, 20, RGB(2, 2, 2));
    AnimObject* o = NEW_ANIMOBJECT((w.window, first, 10));
    o->SetFlags(aoSTATIC);
    RECT to = {50, 60, 70, 80};
    EXPECT_EQ(w->ScheduleObject(2, o, second, &to), 0u);
    w->ScheduleObject(3, o, nullptr, &to);     // moves only
    w->ScheduleObject(4, o, nullptr, nullptr); // hides the graphic
    w->ScheduleEvent(2, 10, 2);
    w->ScheduleEvent(4, 11, 4);
    w->ScheduleEvent(4, 12, 5);
    w->ScheduleEvent(6, 13, 6);
    EXPECT_EQ(w->GetEndFrame(), 7u);
    g_stopCode = 4;

    EXPECT_TRUE(w->RunFrames(1));
    EXPECT_EQ(o->GetGraphic(), first);
    EXPECT_EQ(g_paints, 1u) << "one paint for the run";
    EXPECT_TRUE(w->RunFrames(2));
    EXPECT_EQ(o->GetGraphic(), second);
    EXPECT_EQ(o->GetFlags() & aoSTATIC, 0u) << "a scheduled object leaves the static layer";
    EXPECT_EQ(o->GetRect().left, 50);
    EXPECT_EQ(o->GetWidth(), 30) << "the new graphic's size from the target corner";
    EXPECT_EQ(g_log.back(), "end");

    g_log.clear();
    EXPECT_FALSE(w->RunFrames(kAllFrames));
    EXPECT_EQ(g_log, (std::vector<std::string>{"event 4"})) << "stopped: no paint, event 5 waits";
    EXPECT_EQ(w->GetFrame(), 5u) << "the stopping frame still counts";
    EXPECT_EQ(o->GetGraphic(), nullptr);
    EXPECT_FALSE(o->GetAutoDraw());
    g_log.clear();
    g_stopCode = 0;
    EXPECT_TRUE(w->RunFrames(4)); // the stopped frame's leftover waits for a frame that is gone
    EXPECT_EQ(g_log.size(), 3u);
    EXPECT_TRUE(w->RunFrames(kAllFrames));
    EXPECT_EQ(g_log[3], "event 6");
    EXPECT_EQ(w->GetFrame(), 7u);
    w->UnscheduleEvents(0, 0);
    MEMDELETE(o);
    MEMDELETE(first);
    MEMDELETE(second);
}

LRESULT CALLBACK TickFilter(HWND, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_TIMER && wParam == kAnimTimerId) Now() += 25;
    return 0;
}

struct PlayedWindow : TestWindow {
    PlayedWindow() {
        Reset();
        AnimSetClock(FakeClock);
        window->SetCallback(Events);
        window->SetFrameRate(40);
        window->AddFilter(TickFilter, FilterFlags(afALL, 0));
        ValidateRect(hwnd, nullptr);
    }
    ~PlayedWindow() { AnimSetClock(nullptr); }
};

TEST(AnimWindow, PlayPaintsOncePerFrameOnTime) {
    PlayedWindow w;
    w->Play(3);
    EXPECT_EQ(w->GetFrame(), 3u);
    EXPECT_EQ(g_paints, 3u);
    w->Play(0);
    EXPECT_EQ(w->GetFrame(), 3u);
}

TEST(AnimWindow, PlayCatchesUpBySkippingPaints) {
    PlayedWindow w;
    g_jumpAtEvent = 76; // three intervals and a bit: two frames behind after frame 1
    w->ScheduleEvent(1, 1, 1);
    w->Play(6);
    EXPECT_EQ(w->GetFrame(), 6u);
    EXPECT_EQ(g_paints, 4u) << "frames 2, 3 and 4 share one paint";
}

TEST(AnimWindow, ResyncForgetsTheBacklog) {
    PlayedWindow w;
    w->Play(1);
    Now() += 1000;
    w->Resync();
    w->Play(2);
    EXPECT_EQ(g_paints, 3u);
    EXPECT_EQ(w->GetFrame(), 3u);
}

TEST(AnimWindow, AZeroEventEndsPlayAfterItsRound) {
    PlayedWindow w;
    g_stopCode = 9;
    w->ScheduleEvent(2, 1, 9);
    w->Play(kAllFrames);
    EXPECT_EQ(w->GetFrame(), 3u);
    EXPECT_EQ(g_paints, 3u) << "the stopped round still unlocks and paints";
    w->ScheduleEvent(5, 1, 1);
    w->PlayToEnd();
    EXPECT_EQ(w->GetFrame(), 6u);
}

const UINT kEndPlayMessage = WM_APP + 7;

LRESULT CALLBACK EndsPlay(HWND hwnd, UINT message, WPARAM, LPARAM) {
    if (message == kEndPlayMessage) AnimWindow::FromHandle(hwnd)->EndPlay();
    return 0;
}

TEST(AnimWindow, EndPlayLeavesTheLoopWithoutWaitingAndLaterRunsPlayOn) {
    PlayedWindow w;
    w->AddFilter(EndsPlay, FilterFlags(afALL, 0));
    w->EndPlay(); // no loop runs: nothing to end, the next run is whole
    w->Play(2);
    EXPECT_EQ(w->GetFrame(), 2u);
    PostMessage(w.hwnd, kEndPlayMessage, 0, 0);
    DWORD before = Now();
    w->Play(50);
    EXPECT_EQ(w->GetFrame(), 3u) << "the loop ends in its first wait instead of playing on";
    EXPECT_LT(Now() - before, 25u) << "it does not wait out the frame";
    w->Play(2);
    EXPECT_EQ(w->GetFrame(), 5u);
}

TEST(AnimWindow, MeasuredRateUsesTheStampsItHas) {
    TestWindow w;
    AnimSetClock(FakeClock);
    CaptureDC screen(240, 294);
    Now() = 5000;
    for (int i = 0; i < 10; ++i) {
        w->Paint(screen.dc);
        Now() += 20;
    }
    EXPECT_DOUBLE_EQ(w->GetActualFrameRate(), 50.0);
    for (int i = 0; i < 30; ++i) {
        w->Paint(screen.dc);
        Now() += 40;
    }
    EXPECT_DOUBLE_EQ(w->GetActualFrameRate(), 25.0) << "only the last 30 paints count";
    AnimSetClock(nullptr);
}

TEST(AnimWindow, FrameRateIntervalsAndTimerPeriods) {
    TestWindow w;
    w->SetFrameRate(0);
    EXPECT_EQ(w->GetFrameInterval(), 25u);
    EXPECT_EQ(w->GetTimerPeriod(), 20u);
    EXPECT_DOUBLE_EQ(w->GetFrameRate(), 40.0);
    w->SetFrameRate(5);
    EXPECT_EQ(w->GetFrameInterval(), 200u);
    EXPECT_EQ(w->GetTimerPeriod(), 100u);
    w->SetFrameRate(8.5);
    EXPECT_EQ(w->GetFrameInterval(), 117u);
    EXPECT_EQ(w->GetTimerPeriod(), 20u);
    w->SetFrameRate(20);
    EXPECT_DOUBLE_EQ(w->GetFrameRate(), 20.0);
}

int g_filterCalls = 0;
LRESULT CALLBACK Counting(HWND, UINT, WPARAM, LPARAM) { return ++g_filterCalls, 0; }
LRESULT CALLBACK Closing(HWND hwnd, UINT message, WPARAM, LPARAM) {
    if (message == WM_LBUTTONDOWN) DestroyWindow(hwnd);
    return 0;
}

TEST(AnimWindow, FiltersSeeTheirMessagesUntilRemovedAsOftenAsAdded) {
    TestWindow w;
    g_filterCalls = 0;
    w->AddFilter(Counting, FilterFlags(afMOUSE, 0));
    w->AddFilter(Counting, FilterFlags(afKEYBOARD, 0));
    SendMessage(w.hwnd, WM_LBUTTONDOWN, 0, 0);
    SendMessage(w.hwnd, WM_KEYDOWN, 'A', 0);
    SendMessage(w.hwnd, WM_USER, 0, 0);
    EXPECT_EQ(g_filterCalls, 2);
    w->RemoveFilter(Counting);
    SendMessage(w.hwnd, WM_KEYDOWN, 'A', 0);
    EXPECT_EQ(g_filterCalls, 3);
    w->RemoveFilter(Counting);
    SendMessage(w.hwnd, WM_KEYDOWN, 'A', 0);
    EXPECT_EQ(g_filterCalls, 3);
}

TEST(AnimWindow, SurfacesKeptOnShrinkRebuiltOnGrowth) {
    TestWindow w(100, 100);
    Reset();
    w->SetCallback(Events);
    ASSERT_NE(w->GetBackground(), nullptr);
    SetWindowPos(w.hwnd, nullptr, 0, 0, 80, 90, SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(w->GetWidth(), 80);
    EXPECT_EQ(w->GetBackground()->GetWidth(), 100);
    EXPECT_EQ(g_backgrounds, 1u);
    EXPECT_EQ(w->GetStaticRegion().GetCount(), 1u);
    SetWindowPos(w.hwnd, nullptr, 0, 0, 80, 120, SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(g_backgrounds, 2u);
    EXPECT_EQ(w->GetBackground()->GetHeight(), 120);
    EXPECT_EQ(w->GetFrameSurface()->GetWidth(), 80);
    SetWindowPos(w.hwnd, nullptr, 0, 0, 90, 120, SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(g_backgrounds, 3u);
    AnimGetDisplay()->SetPaletteGroup(nullptr); // a new display palette remakes every window's surfaces
    EXPECT_EQ(g_backgrounds, 4u);
    EXPECT_EQ(w->GetBackground()->GetWidth(), 90);
}

DWORD g_destroyed = 0;
DWORD CountsDestroy(AnimObject*, DWORD message, LPARAM) {
    if (message == amDESTROY) ++g_destroyed;
    return 1;
}

TEST(AnimWindow, DestructionDeletesWhatIsLeft) {
    TestWindow w;
    Reset();
    g_destroyed = 0;
    w->SetCallback(Events);
    AnimObject* a = NEW_ANIMOBJECT((w.window, CountsDestroy, 3));
    AnimObject* b = NEW_ANIMOBJECT((w.window, CountsDestroy, 3));
    AnimObject* c = NEW_ANIMOBJECT((w.window, CountsDestroy, 90));
    w->ShowFrameRate(TRUE);
    w->SetStatusText(string(TEXT("status")));
    const void* text = reinterpret_cast<const void*>(w->GetStatusObject()->GetData(0));
    ASSERT_NE(MemFindBlock(text), nullptr);
    w->ScheduleObject(4, b, nullptr, nullptr);
    DestroyWindow(w.hwnd);
    EXPECT_EQ(g_destroyed, 3u);
    EXPECT_EQ(AnimWindow::FromHandle(w.hwnd), nullptr);
    for (const void* p : {(const void*)a, (const void*)b, (const void*)c, text})
        EXPECT_EQ(MemFindBlock(p), nullptr);
}

TEST(AnimWindow, AFilterMayCloseTheWindowMidMessage) {
    TestWindow w;
    g_destroyed = 0;
    NEW_ANIMOBJECT((w.window, CountsDestroy, 3));
    w->AddFilter(Closing, FilterFlags(afMOUSE, 0));
    SendMessage(w.hwnd, WM_LBUTTONDOWN, 0, 0);
    EXPECT_FALSE(IsWindow(w.hwnd));
    EXPECT_EQ(g_destroyed, 1u);
}

TEST(AnimWindow, OverlaysSitAtTheBottom) {
    TestWindow w;
    w->FillBackground(RGB(0, 0, 200), nullptr);
    w->SetStatusText(string(TEXT("Ready")));
    w->ShowFrameRate(TRUE);
    AnimObject* strip = w->GetStatusObject();
    AnimObject* rate = w->GetFrameRateObject();
    ASSERT_TRUE(strip && rate);
    EXPECT_EQ(strip->GetDepth(), 2);
    EXPECT_EQ(rate->GetDepth(), 1);
    EXPECT_EQ(strip->GetRect().bottom, 294);
    EXPECT_EQ(strip->GetWidth(), 240);
    EXPECT_GT(strip->GetHeight(), 4);
    EXPECT_EQ(rate->GetRect().left, 0);
    EXPECT_GT(rate->GetWidth(), 20);
    CaptureDC screen(240, 294);
    w->Paint(screen.dc);
    EXPECT_EQ(screen.At(239, strip->GetRect().top), Screen(RGB(255, 255, 255)));
    int dark = 0;
    for (LONG y = strip->GetRect().top; y < 294; ++y)
        for (LONG x = rate->GetRect().right; x < 240; ++x) dark += screen.At(x, y) == 0;
    EXPECT_GT(dark, 5) << "the text is drawn in black";
    w->SetStatusText(string(TEXT("")));
    EXPECT_EQ(w->GetStatusObject(), nullptr);
    w->ShowFrameRate(FALSE);
    EXPECT_EQ(w->GetFrameRateObject(), nullptr);
    EXPECT_EQ(w->GetFirstObject(), nullptr);
}

} // namespace
