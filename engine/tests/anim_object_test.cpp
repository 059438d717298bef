// Animation objects on a hidden window: what each message and setter does, depth order and the
// insertion rules, the data slots, and what the objects draw.
#include "anim_test_window.h"
#include "cea_sprite.h"

#include <vector>

using namespace animtest;

namespace {

std::vector<DWORD> g_messages;
DWORD Recorder(AnimObject*, DWORD message, LPARAM) { return g_messages.push_back(message), 7; }

std::vector<AnimObject*> FrontToBack(AnimWindow* w) {
    std::vector<AnimObject*> out;
    for (AnimObject* o = w->GetFirstObject(); o && out.size() < 100; o = w->GetNextObject(o))
        out.push_back(o);
    return out;
}

std::vector<AnimObject*> BackToFront(AnimWindow* w) {
    std::vector<AnimObject*> out;
    for (AnimObject* o = w->GetLastObject(); o && out.size() < 100; o = w->GetPreviousObject(o))
        out.insert(out.begin(), o);
    return out;
}

TEST(AnimObject, CallbackLifecycleAndAnswers) {
    TestWindow w;
    ASSERT_NE(w.hwnd, nullptr) << GetLastError();
    ASSERT_NE(w.window, nullptr);
    g_messages.clear();
    AnimObject* o = NEW_ANIMOBJECT((w.window, Recorder, 75));
    EXPECT_EQ(g_messages, (std::vector<DWORD>{amCREATE}));
    EXPECT_FALSE(o->GetAutoDraw()) << "a callback without a graphic draws itself";
    EXPECT_EQ(o->Send(200, 0), 7u);
    MEMDELETE(o);
    EXPECT_EQ(g_messages, (std::vector<DWORD>{amCREATE, 200, amDESTROY}));
    EXPECT_EQ(w->GetFirstObject(), nullptr);

    Graphic* g = Solid(8, 6, RGB(1, 2, 3));
    g_messages.clear();
    AnimObject* shown = NEW_ANIMOBJECT((w.window, g, 10));
    EXPECT_EQ(shown->Send(amFRAME, 0), 1u) << "without a callback Send answers 1";
    EXPECT_EQ(shown->GetWidth(), 8);
    EXPECT_EQ(shown->GetHeight(), 6);
    shown->SetCallback(Recorder);
    EXPECT_TRUE(shown->GetAutoDraw()) << "an object with a graphic keeps drawing itself";
    MEMDELETE(shown);
    EXPECT_EQ(g_messages, (std::vector<DWORD>{amDESTROY})) << "no amCREATE for a callback set later";
    MEMDELETE(g);
}

// Only the graphic field keeps auto-draw on when a callback arrives: an object
// showing a sprite hands its drawing to the callback, and taking the callback
// away gives it back.
TEST(AnimObject, ACallbackTakesOverDrawingUnlessAGraphicIsSet) {
    TestWindow w;
    Graphic* strip = Solid(16, 8, RGB(5, 6, 7));
    Sprite* two = MEMNEW(Sprite, (strip, 2, 1));
    AnimObject* o = NEW_ANIMOBJECT((w.window, two, 20));
    ASSERT_EQ(o->GetGraphic(), nullptr);
    EXPECT_TRUE(o->GetAutoDraw());
    g_messages.clear();
    o->SetCallback(Recorder);
    EXPECT_FALSE(o->GetAutoDraw()) << "a sprite without a graphic does not keep auto-draw";
    o->SetCallback(nullptr);
    EXPECT_TRUE(o->GetAutoDraw());

    o->SetGraphic(strip, FALSE);
    o->SetCallback(Recorder);
    EXPECT_FALSE(o->GetAutoDraw()) << "with a graphic set, auto-draw is left as it was: off";
    o->SetSprite(two, TRUE);
    o->SetCallback(Recorder);
    EXPECT_TRUE(o->GetAutoDraw()) << "with a graphic set, auto-draw is left as it was: on";
    MEMDELETE(o);
    EXPECT_EQ(g_messages, (std::vector<DWORD>{amDESTROY}));
    MEMDELETE(two);
    MEMDELETE(strip);
}

TEST(AnimObject, StaticObjectsDoNotMove) {
    TestWindow w;
    Graphic* g = Solid(10, 10, RGB(9, 9, 9));
    AnimObject* o = NEW_ANIMOBJECT((w.window, g, 5));
    o->SetPos(20, 30);
    o->SetFlags(aoSTATIC);
    o->SetPos(50, 50);
    o->SetSize(3, 3);
    o->SetWidth(4);
    RECT r = {0, 0, 1, 1};
    o->SetRect(&r);
    EXPECT_EQ(o->GetRect().left, 20);
    EXPECT_EQ(o->GetRect().top, 30);
    EXPECT_EQ(o->GetWidth(), 10);
    o->SetFlags(0);
    o->SetPos(50, 60);
    o->SetHeight(4);
    EXPECT_EQ(o->GetRect().left, 50);
    EXPECT_EQ(o->GetRect().bottom, 64);
    LONG x = 0, y = 0, width = 0;
    o->GetPos(&x, nullptr);
    o->GetPos(nullptr, &y);
    o->GetSize(&width, nullptr);
    EXPECT_EQ(x + y + width, 50 + 60 + 10);
    MEMDELETE(o);
    MEMDELETE(g);
}

TEST(AnimObject, FlagsAndMovesDirtyTheRightLayer) {
    TestWindow w;
    Graphic* g = Solid(10, 10, RGB(9, 9, 9));
    AnimObject* o = NEW_ANIMOBJECT((w.window, g, 5));
    w->Paint(CaptureDC(240, 294).dc); // settle what creation dirtied
    o->SetPos(100, 100);
    EXPECT_TRUE(w->GetStaticRegion().IsEmpty());
    ASSERT_EQ(w->GetTopRegion().GetCount(), 2u) << "old and new place";
    w->Paint(CaptureDC(240, 294).dc);
    o->SetFlags(aoSTATIC);
    EXPECT_EQ(w->GetTopRegion().GetCount(), 1u);
    ASSERT_EQ(w->GetStaticRegion().GetCount(), 1u);
    EXPECT_EQ(w->GetStaticRegion().Get(0)->left, 100);
    MEMDELETE(o);
    MEMDELETE(g);
}

TEST(AnimObject, OnlyAnimatedSpritesRepaintEveryFrame) {
    TestWindow w;
    Graphic* strip = Solid(32, 8, RGB(5, 5, 5));
    Sprite* one = MEMNEW(Sprite, (strip, 1, 1));
    Sprite* four = MEMNEW(Sprite, (strip, 4, 1));
    AnimObject* still = NEW_ANIMOBJECT((w.window, one, 3));
    AnimObject* moving = NEW_ANIMOBJECT((w.window, four, 3));
    EXPECT_EQ(moving->GetWidth(), 8);
    moving->SetPos(100, 0);
    w->Paint(CaptureDC(240, 294).dc);
    still->Send(amFRAME, 0);
    EXPECT_TRUE(w->GetTopRegion().IsEmpty());
    moving->Send(amFRAME, 0);
    ASSERT_EQ(w->GetTopRegion().GetCount(), 1u);
    EXPECT_EQ(w->GetTopRegion().Get(0)->left, 100);
    MEMDELETE(still);
    MEMDELETE(moving);
    MEMDELETE(one);
    MEMDELETE(four);
    MEMDELETE(strip);
}

TEST(AnimObject, DataSlotsGrowByFour) {
    TestWindow w;
    AnimObject* o = NEW_ANIMOBJECT((w.window, Recorder, 75));
    EXPECT_EQ(o->GetData(3), 0u);
    DWORD_PTR pointer = reinterpret_cast<DWORD_PTR>(o);
    o->SetData(5, pointer);
    EXPECT_EQ(o->GetDataCount(), 9u);
    EXPECT_EQ(o->GetData(5), pointer);
    for (DWORD i = 0; i < 12; ++i) {
        if (i != 5) {
            EXPECT_EQ(o->GetData(i), 0u) << i;
        }
    }
    o->SetData(2, 44);
    EXPECT_EQ(o->GetDataCount(), 9u);
    EXPECT_EQ(o->GetData(2), 44u);
    MEMDELETE(o);
}

TEST(AnimObject, DepthListsAndInsertionRules) {
    TestWindow w;
    AnimObject* a = NEW_ANIMOBJECT((w.window, Recorder, 75));
    AnimObject* b = NEW_ANIMOBJECT((w.window, Recorder, 75));
    AnimObject* c = NEW_ANIMOBJECT((w.window, Recorder, 10));
    AnimObject* d = NEW_ANIMOBJECT((w.window, Recorder, 200));
    EXPECT_EQ(FrontToBack(w.window), (std::vector<AnimObject*>{c, a, b, d}));
    EXPECT_EQ(BackToFront(w.window), FrontToBack(w.window));
    EXPECT_EQ(w->GetNextDepth(10), 75);
    EXPECT_EQ(w->GetNextDepth(200), 0);
    EXPECT_EQ(w->GetPreviousDepth(75), 10);
    EXPECT_EQ(w->GetPreviousDepth(10), 0);

    d->BringToFront();
    EXPECT_EQ(FrontToBack(w.window), (std::vector<AnimObject*>{d, c, a, b}));
    EXPECT_EQ(d->GetDepth(), 10);
    EXPECT_EQ(w->GetFirstOfDepth(10), d) << "inserting before the first makes the new first";
    EXPECT_EQ(w->GetNextDepth(75), 0) << "the emptied depth is gone";

    c->SendToBack();
    EXPECT_EQ(FrontToBack(w.window), (std::vector<AnimObject*>{d, a, b, c}));
    EXPECT_EQ(c->GetDepth(), 75);

    d->PlaceBehind(a);
    EXPECT_EQ(FrontToBack(w.window), (std::vector<AnimObject*>{a, d, b, c}));
    EXPECT_EQ(BackToFront(w.window), FrontToBack(w.window));
    b->PlaceInFront(a);
    EXPECT_EQ(FrontToBack(w.window), (std::vector<AnimObject*>{b, a, d, c}));
    EXPECT_EQ(w->GetFirstOfDepth(75), b);

    a->SetDepth(1);
    EXPECT_EQ(FrontToBack(w.window), (std::vector<AnimObject*>{a, b, d, c}));
    c->SetDepth(1); // the back of its new depth
    EXPECT_EQ(FrontToBack(w.window), (std::vector<AnimObject*>{a, c, b, d}));
    EXPECT_EQ(BackToFront(w.window), FrontToBack(w.window));

    MEMDELETE(b);
    EXPECT_EQ(FrontToBack(w.window), (std::vector<AnimObject*>{a, c, d}));
    MEMDELETE(a);
    MEMDELETE(c);
    MEMDELETE(d);
    AnimObject* only = NEW_ANIMOBJECT((w.window, Recorder, 5));
    only->SendToBack();
    EXPECT_EQ(only->GetDepth(), 100);
    EXPECT_EQ(FrontToBack(w.window), (std::vector<AnimObject*>{only}));
    MEMDELETE(only);
}

TEST(AnimObject, MovingBetweenWindows) {
    TestWindow first, second;
    AnimObject* o = NEW_ANIMOBJECT((first.window, Recorder, 30));
    AnimObject* stay = NEW_ANIMOBJECT((second.window, Recorder, 30));
    // A change scheduled on the old window must not reach the object on its new one (nor outlive it).
    RECT away = {100, 100, 110, 110};
    first->ScheduleObject(first->GetFrame(), o, nullptr, &away);
    o->SetWindow(second.window);
    first->RunFrames(first->GetFrame());
    EXPECT_EQ(o->GetRect().left, 0) << "moved by the window it left";
    EXPECT_EQ(first->GetFirstObject(), nullptr);
    EXPECT_EQ(FrontToBack(second.window), (std::vector<AnimObject*>{stay, o}));
    stay->PlaceBehind(nullptr); // to the back
    EXPECT_EQ(FrontToBack(second.window), (std::vector<AnimObject*>{o, stay}));
    MEMDELETE(o);
    MEMDELETE(stay);
}

RECT g_clip;
DWORD DrawsHalf(AnimObject* o, DWORD message, LPARAM p) {
    if (message != amDRAW) return 1;
    const ANIMDRAW* draw = reinterpret_cast<const ANIMDRAW*>(p);
    g_clip = draw->clip;
    o->DrawGraphic(draw, reinterpret_cast<Graphic*>(o->GetData(0)));
    return 1;
}
DWORD DrawsSprite(AnimObject* o, DWORD message, LPARAM p) {
    if (message == amDRAW) o->DrawSprite(reinterpret_cast<const ANIMDRAW*>(p), nullptr);
    return 1;
}

TEST(AnimObject, AutoDrawCopiesThePartUnderTheClip) {
    TestWindow w;
    Graphic* target = Solid(40, 40, RGB(0, 0, 0));
    Graphic* g = Solid(10, 10, RGB(10, 0, 0));
    g->SetPixelColor(3, 4, RGB(99, 0, 0));
    AnimObject* o = NEW_ANIMOBJECT((w.window, g, 5));
    o->SetPos(20, 20);
    RECT clip = {23, 24, 40, 40};
    o->Draw(target, &clip);
    EXPECT_EQ(target->GetPixelColor(23, 24), RGB(99, 0, 0)) << "source offset follows the clip";
    EXPECT_EQ(target->GetPixelColor(29, 29), RGB(10, 0, 0));
    EXPECT_EQ(target->GetPixelColor(22, 24), RGB(0, 0, 0));
    EXPECT_EQ(target->GetPixelColor(30, 30), RGB(0, 0, 0));

    o->SetCallback(DrawsHalf);
    o->SetGraphic(nullptr);
    EXPECT_FALSE(o->GetAutoDraw());
    Graphic* other = Solid(10, 10, RGB(0, 50, 0));
    o->SetData(0, reinterpret_cast<DWORD_PTR>(other));
    o->SetSize(10, 10);
    RECT half = {0, 0, 25, 40};
    o->Draw(target, &half);
    EXPECT_EQ(g_clip.right, 25);
    EXPECT_EQ(target->GetPixelColor(24, 20), RGB(0, 50, 0));
    EXPECT_EQ(target->GetPixelColor(25, 25), RGB(10, 0, 0)) << "the callback kept to its clip";

    Graphic* strip = Solid(20, 10, RGB(0, 0, 7));
    for (int y = 0; y < 10; ++y)
        for (int x = 10; x < 20; ++x) strip->SetPixelColor(x, y, RGB(0, 0, 8));
    Sprite* s = MEMNEW(Sprite, (strip, 2, 1));
    o->SetSprite(s, FALSE);
    o->SetCallback(DrawsSprite);
    w->RunFrames(2); // now at frame 3: the second of two frames
    o->Draw(target, nullptr);
    EXPECT_EQ(target->GetPixelColor(20, 20), RGB(0, 0, 8));
    MEMDELETE(o);
    MEMDELETE(s);
    MEMDELETE(strip);
    MEMDELETE(other);
    MEMDELETE(g);
    MEMDELETE(target);
}

} // namespace
