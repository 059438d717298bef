// The game's screens on a hidden window with the real pictures: building and
// clearing every screen without leaks, the layouts' coordinates, taps through
// real mouse messages (visible label width only, the press animation with
// its hidden and dead buttons and the command on the eighth frame), the check
// buttons and the language switch, the head bar's displays and menu hints,
// the high-score list's dates, and pixels of the composed window.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "check_button.h"
#include "game_settings.h"
#include "game_sounds.h"
#include "game_test_rig.h"
#include "gl_anim_button.h"
#include "mem_manager.h"
#include "screens.h"
#include "tl_language.h"

namespace {

using gametest::Pictures;
using gametest::Seed;
using gametest::SeededRand;

const COLORREF kBlack = RGB(0, 0, 0);

struct Command {
    WORD id;
    DWORD frame;
};

// A window standing in for the dialog: it records the commands it receives.
class Catcher {
public:
    Catcher() {
        static bool registered = false;
        if (!registered) {
            WNDCLASS wc = {};
            wc.lpfnWndProc = Proc;
            wc.hInstance = GetModuleHandle(nullptr);
            wc.lpszClassName = TEXT("ScreensTestCatcher");
            RegisterClass(&wc);
            registered = true;
        }
        hwnd = CreateWindow(TEXT("ScreensTestCatcher"), TEXT(""), WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                            GetModuleHandle(nullptr), nullptr);
        Received().clear();
    }
    ~Catcher() { DestroyWindow(hwnd); }
    void Pump() {
        MSG msg;
        while (PeekMessage(&msg, hwnd, 0, 0, PM_REMOVE)) DispatchMessage(&msg);
    }
    static std::vector<Command>& Received() {
        static std::vector<Command> received;
        return received;
    }
    static DWORD& FrameNow() {
        static DWORD frame = 0;
        return frame;
    }
    HWND hwnd;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_COMMAND) Received().push_back({LOWORD(wParam), FrameNow()});
        return DefWindowProc(hwnd, message, wParam, lParam);
    }
};

class ScreensRig {
public:
    explicit ScreensRig(bool withGame) : generator(SeededRand) {
        Seed() = 1;
        Pictures();
        SetLanguage(kLangEnglish);
        SetDefaultHighScores(&table);
        SetDefaultSettings(&settings, 0);
        context = {};
        context.window = window.window;
        context.graphics = &Pictures();
        context.highScores = &table;
        context.generator = &generator;
        window->FillBackground(kBlack, nullptr);
        screens = new Screens(&context, &settings);
        context.screens = screens;
        screens->setCommandWindow(catcher.hwnd);
        if (withGame) game = new Game(&context);
        window->SetCallback(Callback);
        Current() = this;
        // Bands far off the window unless a test puts one somewhere.
        for (int k = 0; k < kBandCount; k++) ParkBand(k);
    }
    ~ScreensRig() {
        delete screens;
        delete game;
        Current() = nullptr;
    }

    void ParkBand(int k) {
        ShimmerBand band = {{5000, 0, 5004 + 4 * k, 320}, 1, 100000};
        screens->setBand(k, band);
    }
    void Frame() {
        Catcher::FrameNow() = window->GetFrame();
        window->RunFrames(window->GetFrame());
        catcher.Pump();
    }
    void Frames(int n) {
        for (int i = 0; i < n; i++) Frame();
    }
    void Tap(int x, int y) {
        SendMessage(window.hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        SendMessage(window.hwnd, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
        catcher.Pump();
    }
    COLORREF Shown(int x, int y) const { return window.window->GetFrameSurface()->GetPixelColor(x, y); }
    RECT Rect(DWORD id) const {
        RECT r = {};
        AnimButton* b = screens->button(id);
        if (b) b->GetRect(&r);
        return r;
    }
    const LanguagePart& Part() const { return Pictures().currentPart(); }
    Graphic* Label(int k, bool lit = false) const {
        return GraphicsSet::tile(Part(), kPicButtonLabels, 2 * k + (lit ? 1 : 0));
    }

    animtest::TestWindow window;
    Catcher catcher;
    PieceGenerator generator;
    HighScoreTable table;
    GameSettings settings;
    GameContext context;
    Screens* screens = nullptr;
    Game* game = nullptr;
    bool ticks = true;
    DWORD paintedFrame = 0;

private:
    static ScreensRig*& Current() {
        static ScreensRig* rig = nullptr;
        return rig;
    }
    static DWORD Callback(AnimWindow*, DWORD event, DWORD value, LPARAM pointer) {
        ScreensRig* rig = Current();
        if (!rig) return 1;
        if (event == awPAINTBEGIN) {
            rig->paintedFrame = rig->window->GetFrame();
            rig->screens->frameEffects();
            if (rig->game && rig->ticks) rig->game->tick();
        }
        if (event == awEVENT) {
            if (rig->game)
                rig->game->dispatch(value, pointer);
            else if (value == kEventButtonPress)
                rig->screens->pressStep(static_cast<int>(pointer));
        }
        return 1;
    }
};

bool IsKey(COLORREF c) { return c == kTransparentKey; }

// A pixel of `picture` that is drawn (not the key), and, when `other` is given, differs from it there;
// searched on rows of the given parity from the middle row outwards.
bool FindDrawnPixel(Graphic* picture, Graphic* other, POINT* found, int parity = -1) {
    int h = picture->GetHeight(), w = picture->GetWidth();
    for (int d = 0; d < h; d++)
        for (int sign = -1; sign <= 1; sign += 2) {
            int y = h / 2 + sign * d;
            if (y < 0 || y >= h || (parity >= 0 && y % 2 != parity)) continue;
            for (int x = 0; x < w; x++) {
                COLORREF c = picture->GetPixelColor(x, y);
                if (IsKey(c) || c == kBlack) continue;
                if (other && (other->GetPixelColor(x, y) == c || IsKey(other->GetPixelColor(x, y)))) continue;
                *found = {x, y};
                return true;
            }
        }
    return false;
}

// The first drawn column of a label's middle row.
int FirstDrawnColumn(Graphic* label) {
    int y = label->GetHeight() / 2;
    for (int x = 0; x < label->GetWidth(); x++)
        if (!IsKey(label->GetPixelColor(x, y))) return x;
    return -1;
}

void ExpectRect(const RECT& r, LONG left, LONG top, LONG right, LONG bottom) {
    EXPECT_EQ(left, r.left);
    EXPECT_EQ(top, r.top);
    EXPECT_EQ(right, r.right);
    EXPECT_EQ(bottom, r.bottom);
}

TEST(Screens, EveryScreenIsBuiltAndClearedWithoutLeaking) {
    ScreensRig rig(true);
    int empty = rig.screens->objectCount();
    auto check = [&](int screen) {
        SCOPED_TRACE(screen);
        rig.screens->showScreen(screen, -1); // the window's tables grow to their size once
        rig.Frames(30);
        rig.screens->clearScreen();
        rig.Frames(2);
        int objects = rig.screens->objectCount();
        MemStats before = MemGetStats();
        rig.screens->showScreen(screen, screen == kScreenHighScores ? 2 : -1);
        EXPECT_EQ(screen, rig.screens->currentScreen());
        EXPECT_GT(rig.screens->objectCount(), objects);
        rig.Frames(3);
        rig.screens->clearScreen();
        rig.Frames(2);
        EXPECT_EQ(objects, rig.screens->objectCount());
        EXPECT_EQ(before.liveBlocks, MemGetStats().liveBlocks);
    };
    for (int screen : {1, 2, 3, 6}) check(screen);
    EXPECT_EQ(empty, rig.screens->objectCount());
    rig.game->newGame(1);
    rig.Frames(60);
    ASSERT_EQ(kStatePlaying, rig.game->state());
    rig.ticks = false; // no new pieces while the objects are counted
    for (int screen : {4, 5, 3, 2}) check(screen);
    // Numbers outside 1 to 6 only clear.
    rig.screens->showScreen(kScreenMainMenu, -1);
    rig.screens->showScreen(7, -1);
    EXPECT_EQ(kScreenNone, rig.screens->currentScreen());
    EXPECT_EQ(nullptr, rig.screens->button(kCmdNewGame));
    EXPECT_EQ(nullptr, rig.game->menuBoard());
}

// Labels placed off centre (the score-server labels at x 95, the help screen's done label at x -25) show
// their whole text inside the window, in both languages.
TEST(Screens, LabelsPlacedOffCentreShowWhole) {
    struct Placed {
        int label;
        int x;
    } placed[] = {{5, 95}, {6, 95}, {10, 95}, {10, -25}};
    for (LANGID language : {kLangEnglish, kLangEsperanto})
        for (const Placed& p : placed) {
            Graphic* label = GraphicsSet::tile(Pictures().part(language), kPicButtonLabels, 2 * p.label);
            for (int y = 0; y < label->GetHeight(); y++)
                for (int x = 0; x < label->GetWidth(); x++) {
                    if (IsKey(label->GetPixelColor(x, y))) continue;
                    EXPECT_GE(p.x + x, 0) << language << " label " << p.label;
                    EXPECT_LT(p.x + x, 240) << language << " label " << p.label;
                    if (p.x + x < 0 || p.x + x >= 240) goto next;
                }
        next:;
        }
}

TEST(Screens, LayoutsPlaceTheirButtonsWhereTheyBelong) {
    ScreensRig rig(true);
    rig.screens->showScreen(kScreenMainMenu, -1);
    const DWORD menu[] = {kCmdNewGame, kCmdHelp, kCmdHighScores, kCmdOptions, kCmdExit};
    for (int i = 0; i < 5; i++) ExpectRect(rig.Rect(menu[i]), 0, 60 + 34 * i, 240, 94 + 34 * i);
    EXPECT_NE(nullptr, rig.game->menuBoard());

    rig.screens->showScreen(kScreenOptions, -1); // no game running: between the title strips
    const DWORD checks[] = {kCmdAdvancedStart, kCmdSoundEffects, kCmdMusic, kCmdLanguage};
    for (int i = 0; i < 4; i++) ExpectRect(rig.Rect(checks[i]), 34, 52 + 36 * i, 206, 85 + 36 * i);
    ExpectRect(rig.Rect(kCmdOptionsDone), 0, 206, 240, 240);
    EXPECT_EQ(nullptr, rig.screens->button(kCmdMenu));

    rig.screens->showScreen(kScreenHighScores, -1);
    ExpectRect(rig.Rect(kCmdPostScores), 0, 200, 240, 234);
    ExpectRect(rig.Rect(kCmdScoresPage), 0, 228, 240, 262);
    ExpectRect(rig.Rect(kCmdScoresDone), 0, 256, 240, 290);
    RECT list;
    rig.screens->listObject()->GetRect(&list);
    ExpectRect(list, 20, 41, 220, 41 + 9 * 17);

    rig.game->newGame(1);
    ExpectRect(rig.Rect(kCmdMenu), 146, 3, 237, 24);
    RECT r;
    rig.screens->progressObject()->GetRect(&r);
    ExpectRect(r, 3, 24, 237, 28);
    rig.screens->scoreObject()->GetRect(&r);
    ExpectRect(r, 3, 6, 3 + 9 * 16, 6 + 17);
    rig.Frames(60);
    rig.screens->showScreen(kScreenPause, -1);
    const DWORD pause[] = {kCmdResume, kCmdOptions, kCmdHelp, kCmdEndGame, kCmdExit};
    for (int i = 0; i < 5; i++) ExpectRect(rig.Rect(pause[i]), 0, 80 + 34 * i, 240, 114 + 34 * i);
    rig.screens->showScreen(kScreenOptions, -1); // over the running game's head bar
    ExpectRect(rig.Rect(kCmdAdvancedStart), 34, 72, 206, 105);
    ExpectRect(rig.Rect(kCmdOptionsDone), 0, 226, 240, 260);
    EXPECT_NE(nullptr, rig.screens->button(kCmdMenu));
    // The help screen freezes the game's board until its done button finishes its press.
    rig.screens->showScreen(kScreenHelp, -1);
    ExpectRect(rig.Rect(kCmdHelpDone), 0, 250, 240, 284);
    EXPECT_FALSE(rig.game->board()->active());
}

TEST(Screens, OnlyTheVisibleWidthOfALabelTakesTaps) {
    ScreensRig rig(false);
    rig.screens->showScreen(kScreenMainMenu, -1);
    rig.Frame();
    Graphic* label = rig.Label(1);
    int visible = rig.Part().labelWidths[1];
    int labelLeft = (240 - label->GetWidth()) / 2;
    int first = FirstDrawnColumn(label);
    ASSERT_GT(first, 25) << "the label needs a margin for this test";
    ASSERT_LT(visible, label->GetWidth());
    // More than 20 pixels left of the drawn text: a transparent part of the label, no press.
    int x = labelLeft + first - 22;
    ASSERT_TRUE(IsKey(label->GetPixelColor(first - 22, label->GetHeight() / 2)));
    rig.Tap(x, 70);
    EXPECT_EQ(nullptr, rig.screens->pressedButton());
    // Just outside and just inside the centred visible width.
    int visibleLeft = 120 - visible / 2;
    rig.Tap(visibleLeft - 1, 70);
    rig.Tap(visibleLeft + visible, 70);
    EXPECT_EQ(nullptr, rig.screens->pressedButton());
    rig.Frames(12);
    EXPECT_TRUE(Catcher::Received().empty());
    rig.Tap(visibleLeft, 70);
    ASSERT_NE(nullptr, rig.screens->pressedButton());
    EXPECT_EQ(static_cast<DWORD>(kCmdNewGame), rig.screens->pressedButton()->GetId());

    // The help screen's done label sits at x -25: its visible width is centred there.
    rig.screens->showScreen(kScreenHelp, -1);
    int centre = -25 + label->GetWidth() / 2;
    int doneVisible = rig.Part().labelWidths[10];
    rig.Tap(centre + (doneVisible - doneVisible / 2) + 1, 260);
    EXPECT_EQ(nullptr, rig.screens->pressedButton());
    rig.Tap(centre, 260);
    ASSERT_NE(nullptr, rig.screens->pressedButton());
    EXPECT_EQ(static_cast<DWORD>(kCmdHelpDone), rig.screens->pressedButton()->GetId());
}

TEST(Screens, PressAnimationHidesTheOtherButtonsAndPostsOnTheEighthFrame) {
    ScreensRig rig(false);
    rig.screens->showScreen(kScreenMainMenu, -1);
    rig.Frame();
    // A pixel of the high-scores label (button 207 at y 128) shows while nothing is pressed.
    Graphic* scores = rig.Label(8);
    POINT p;
    ASSERT_TRUE(FindDrawnPixel(scores, nullptr, &p));
    int sx = 34 + p.x, sy = 128 + p.y;
    EXPECT_EQ(scores->GetPixelColor(p.x, p.y), rig.Shown(sx, sy));

    rig.Tap(120, 100); // help, at y 94
    ASSERT_NE(nullptr, rig.screens->pressedButton());
    DWORD pressedAt = rig.window->GetFrame();
    for (DWORD id : {kCmdNewGame, kCmdHighScores, kCmdOptions, kCmdExit})
        EXPECT_FALSE(rig.screens->button(id)->IsEnabled()) << id;
    // Dead: a tap on another button changes nothing.
    rig.Tap(120, 135);
    EXPECT_EQ(static_cast<DWORD>(kCmdHelp), rig.screens->pressedButton()->GetId());

    // The frame under way when the tap came (the window's current one) runs no step.
    rig.Frame();
    EXPECT_EQ(0, rig.screens->pressStepNow());
    for (int step = 1; step <= 7; step++) {
        rig.Frame();
        EXPECT_EQ(step, rig.screens->pressStepNow());
        EXPECT_TRUE(Catcher::Received().empty()) << "step " << step;
    }
    // Hidden: the background shows where the label was.
    EXPECT_EQ(kBlack, rig.Shown(sx, sy));
    rig.Frame();
    EXPECT_EQ(8, rig.screens->pressStepNow());
    ASSERT_EQ(1u, Catcher::Received().size());
    EXPECT_EQ(kCmdHelp, Catcher::Received()[0].id);
    EXPECT_EQ(pressedAt + 8, Catcher::Received()[0].frame);
    rig.Frames(5);
    EXPECT_EQ(1u, Catcher::Received().size());
}

TEST(Screens, PressedLabelIsDrawnHighlightedAndTorn) {
    ScreensRig rig(false);
    rig.screens->showScreen(kScreenMainMenu, -1);
    rig.Frame();
    rig.Tap(120, 70); // new game
    Graphic* lit = rig.Label(1, true);
    POINT even, odd;
    ASSERT_TRUE(FindDrawnPixel(lit, nullptr, &even, 0));
    ASSERT_TRUE(FindDrawnPixel(lit, nullptr, &odd, 1));
    rig.Frames(3); // step 2
    ASSERT_EQ(2, rig.screens->pressStepNow());
    LONG shift = (34 + 172) * 2 / 7;
    // Even rows slide left, odd rows right.
    ASSERT_GE(34 + even.x - shift, 0);
    ASSERT_LT(34 + odd.x + shift, 240);
    EXPECT_EQ(lit->GetPixelColor(even.x, even.y), rig.Shown(34 + even.x - shift, 60 + even.y));
    EXPECT_EQ(lit->GetPixelColor(odd.x, odd.y), rig.Shown(34 + odd.x + shift, 60 + odd.y));
}

TEST(Screens, LabelsShowTheirHighlightInsideAShimmerBand) {
    ScreensRig rig(false);
    rig.screens->showScreen(kScreenMainMenu, -1);
    Graphic* label = rig.Label(2);
    Graphic* lit = rig.Label(2, true);
    POINT p;
    ASSERT_TRUE(FindDrawnPixel(label, lit, &p));
    int x = 34 + p.x, y = 94 + p.y;
    rig.Frame();
    EXPECT_EQ(label->GetPixelColor(p.x, p.y), rig.Shown(x, y));
    // A band standing over the pixel (speed 0: it only gets its speed in this frame).
    ShimmerBand band = {{x - 1, 0, x + 3, 320}, 0, 0};
    rig.screens->setBand(0, band);
    rig.Frame();
    EXPECT_EQ(lit->GetPixelColor(p.x, p.y), rig.Shown(x, y));
}

TEST(Screens, BandsMoveTowardTheirTargetsAndTurnAround) {
    ScreensRig rig(false);
    for (int k = 0; k < kBandCount; k++) {
        ShimmerBand band = {{0, 0, 4 + 4 * k, 320}, 0, 0};
        rig.screens->setBand(k, band);
    }
    int turns = 0;
    for (int i = 0; i < 400; i++) {
        LONG before = rig.screens->band(1).speed;
        rig.screens->frameEffects();
        const ShimmerBand& b = rig.screens->band(1);
        EXPECT_EQ(8, b.rect.right - b.rect.left);
        EXPECT_NE(0, b.speed);
        EXPECT_LE(labs(b.speed), 5);
        bool turned = (before > 0) != (b.speed > 0);
        if (turned && b.speed > 0) {
            EXPECT_GE(b.target, b.rect.right);
        } else if (turned) {
            EXPECT_LE(b.target, b.rect.left);
        }
        turns += turned;
    }
    EXPECT_GT(turns, 4);
}

TEST(Screens, CheckButtonsFlipTheirSettings) {
    ScreensRig rig(false);
    rig.screens->showScreen(kScreenOptions, -1);
    rig.Frame();
    rig.Tap(120, 52 + 10);  // advanced start
    rig.Tap(120, 88 + 10);  // sound effects
    rig.Tap(120, 124 + 10); // music
    EXPECT_EQ(1u, rig.settings.advancedStart);
    EXPECT_EQ(0u, rig.settings.soundEffects);
    EXPECT_EQ(0u, rig.settings.music);
    // Each shows the picture of its state: advanced start on (6), sound effects off (1).
    rig.Frame();
    Graphic* advancedOn = GraphicsSet::tile(rig.Part(), kPicCheckButtons, 6);
    Graphic* soundOff = GraphicsSet::tile(rig.Part(), kPicCheckButtons, 1);
    POINT p;
    ASSERT_TRUE(FindDrawnPixel(advancedOn, GraphicsSet::tile(rig.Part(), kPicCheckButtons, 7), &p));
    EXPECT_EQ(advancedOn->GetPixelColor(p.x, p.y), rig.Shown(34 + p.x, 52 + p.y));
    ASSERT_TRUE(FindDrawnPixel(soundOff, GraphicsSet::tile(rig.Part(), kPicCheckButtons, 0), &p));
    EXPECT_EQ(soundOff->GetPixelColor(p.x, p.y), rig.Shown(34 + p.x, 88 + p.y));
    rig.Tap(120, 124 + 10);
    EXPECT_EQ(1u, rig.settings.music);
    EXPECT_EQ(kScreenOptions, rig.screens->currentScreen());
    EXPECT_EQ(nullptr, rig.screens->pressedButton());
}

TEST(Screens, LanguageSwitchRebuildsTheOptionsAtOnce) {
    ScreensRig rig(false);
    rig.screens->showScreen(kScreenOptions, -1);
    rig.Frame();
    EXPECT_EQ(1u, rig.screens->englishFlag());
    AnimButton* before = rig.screens->button(kCmdLanguage);
    rig.Tap(120, 160 + 10);
    EXPECT_EQ(kLangEsperanto, GetLanguage());
    EXPECT_EQ(0u, rig.screens->englishFlag());
    EXPECT_EQ(kScreenOptions, rig.screens->currentScreen());
    AnimButton* after = rig.screens->button(kCmdLanguage);
    ASSERT_NE(nullptr, after);
    const LanguagePart& eo = Pictures().part(kLangEsperanto);
    const LanguagePart& en = Pictures().part(kLangEnglish);
    EXPECT_EQ(GraphicsSet::tile(eo, kPicCheckButtons, 5), static_cast<CheckButton*>(after)->current());
    (void)before;
    // The next frame shows the Esperanto pictures: the done label and the sound check.
    rig.Frame();
    POINT p;
    Graphic* done = GraphicsSet::tile(eo, kPicButtonLabels, 20);
    ASSERT_TRUE(FindDrawnPixel(done, GraphicsSet::tile(en, kPicButtonLabels, 20), &p));
    EXPECT_EQ(done->GetPixelColor(p.x, p.y), rig.Shown(34 + p.x, 206 + p.y));
    Graphic* sound = GraphicsSet::tile(eo, kPicCheckButtons, 0);
    ASSERT_TRUE(FindDrawnPixel(sound, GraphicsSet::tile(en, kPicCheckButtons, 0), &p));
    EXPECT_EQ(sound->GetPixelColor(p.x, p.y), rig.Shown(34 + p.x, 88 + p.y));
    // And back.
    rig.Tap(120, 160 + 10);
    EXPECT_EQ(kLangEnglish, GetLanguage());
    EXPECT_EQ(1u, rig.screens->englishFlag());
    rig.Frame();
    done = GraphicsSet::tile(en, kPicButtonLabels, 20);
    ASSERT_TRUE(FindDrawnPixel(done, GraphicsSet::tile(eo, kPicButtonLabels, 20), &p));
    EXPECT_EQ(done->GetPixelColor(p.x, p.y), rig.Shown(34 + p.x, 206 + p.y));
}

TEST(Screens, DirectCommandsGoAtOnce) {
    ScreensRig rig(false);
    rig.screens->showScreen(kScreenHighScores, -1);
    rig.Frame();
    rig.Tap(5, 210); // post scores: the whole rectangle takes hits
    ASSERT_EQ(1u, Catcher::Received().size());
    EXPECT_EQ(kCmdPostScores, Catcher::Received()[0].id);
    EXPECT_EQ(nullptr, rig.screens->pressedButton());
    rig.Tap(5, 245);
    ASSERT_EQ(2u, Catcher::Received().size());
    EXPECT_EQ(kCmdScoresPage, Catcher::Received()[1].id);
    // A disabled button takes no taps.
    rig.screens->enableButtons(false);
    rig.Tap(5, 245);
    EXPECT_EQ(2u, Catcher::Received().size());
}

// The list's pixels, line by line (9 lines of 17 rows).
std::vector<std::vector<COLORREF>> ListLines(ScreensRig& rig, const HighScoreTable& table, int highlight) {
    rig.table = table;
    rig.screens->showScreen(kScreenHighScores, highlight);
    rig.Frame();
    std::vector<std::vector<COLORREF>> lines(9);
    for (int i = 0; i < 9; i++)
        for (int y = 0; y < 17; y++)
            for (int x = 20; x < 220; x++) lines[i].push_back(rig.Shown(x, 41 + 17 * i + y));
    return lines;
}

TEST(Screens, TheListShowsDatesOnlyForDatedEntries) {
    ScreensRig rig(false);
    HighScoreTable plain;
    SetDefaultHighScores(&plain);
    for (int i = 0; i < 9; i++) ASSERT_EQ(0u, plain.entries[i].check);
    auto base = ListLines(rig, plain, -1);
    // Every line draws something.
    for (int i = 0; i < 9; i++) {
        int drawn = 0;
        for (COLORREF c : base[i]) drawn += c != kBlack;
        EXPECT_GT(drawn, 20) << i;
    }
    HighScoreTable dated = plain;
    dated.entries[3].date = DayNumber(2026, 7, 9);
    dated.entries[3].check = HighScoreChecksum(dated.entries[3]);
    auto withDate = ListLines(rig, dated, -1);
    for (int i = 0; i < 9; i++) {
        if (i == 3)
            EXPECT_NE(base[i], withDate[i]);
        else
            EXPECT_EQ(base[i], withDate[i]) << i;
    }
    // A day number without a check is no date.
    HighScoreTable unchecked = plain;
    unchecked.entries[3].date = DayNumber(2026, 7, 9);
    EXPECT_EQ(base, ListLines(rig, unchecked, -1));
    // The dated line draws further right than the plain one: day, month and year follow the score.
    auto rightmost = [](const std::vector<COLORREF>& line) {
        int right = -1;
        for (size_t i = 0; i < line.size(); i++)
            if (line[i] != kBlack) right = std::max(right, static_cast<int>(i % 200));
        return right;
    };
    EXPECT_GT(rightmost(withDate[3]), rightmost(base[3]) + 40);
    // The highlighted place is drawn with the other glyphs.
    auto lit = ListLines(rig, plain, 5);
    for (int i = 0; i < 9; i++) EXPECT_EQ(i == 5, base[i] != lit[i]) << i;
}

TEST(Screens, ProgressBarIsEmptyAtTheStartAndFullOnABonusLevel) {
    ScreensRig rig(true);
    Graphic* bar = Pictures().picture(kPicProgress);
    Graphic* head = Pictures().picture(kPicHeadBar);
    rig.game->newGame(1);
    rig.Frame();
    // Empty: the head bar (or what lies under its transparent parts) shows.
    auto underBar = [&](int x, int y) {
        COLORREF c = head->GetPixelColor(x, y);
        return IsKey(c) ? kBlack : c;
    };
    for (int x = 3; x < 237; x += 7) EXPECT_EQ(underBar(x, 25), rig.Shown(x, 25)) << x;
    // Some pieces removed: the drawn width is the bar's width times removed / target.
    for (int row = 9; row >= 7 && rig.game->removed() == 0; row--)
        for (int column = 0; column < 10 && rig.game->removed() == 0; column++) {
            rig.Frames(40);
            rig.game->move(column, row);
        }
    ASSERT_GT(rig.game->removed(), 0);
    rig.Frame();
    LONG width = 234 * rig.game->removed() / rig.game->target();
    ASSERT_GT(width, 1);
    EXPECT_EQ(bar->GetPixelColor(0, 1), rig.Shown(3, 25));
    EXPECT_EQ(bar->GetPixelColor(233, 1), rig.Shown(3 + width - 1, 25));
    EXPECT_EQ(underBar(3 + width + 1, 25), rig.Shown(3 + width + 1, 25));

    rig.screens->showScreen(kScreenNone, -1);
    rig.game->newGame(5); // a bonus level
    ASSERT_TRUE(rig.game->bonus());
    rig.Frame();
    for (int x = 0; x < 234; x++) EXPECT_EQ(bar->GetPixelColor(x, 2), rig.Shown(3 + x, 26)) << x;
}

TEST(Screens, ScoreHasNoLeadingZerosAndZeroShowsAsZero) {
    ScreensRig rig(true);
    auto shownDigit = [&](int place) {
        for (int d = 0; d < 10; d++) {
            Graphic* digit = Pictures().tile(kPicScoreDigits, d);
            bool same = true;
            for (int y = 0; y < 17 && same; y++)
                for (int x = 0; x < 16 && same; x++)
                    same = digit->GetPixelColor(x, y) == rig.Shown(3 + 16 * place + x, 6 + y);
            if (same) return d;
        }
        return -1;
    };
    rig.game->newGame(1);
    rig.Frame();
    EXPECT_EQ(0, shownDigit(0));
    EXPECT_EQ(-1, shownDigit(1));
    rig.game->newGame(6); // the advanced start: 7500 points
    rig.Frame();
    EXPECT_EQ(7, shownDigit(0));
    EXPECT_EQ(5, shownDigit(1));
    EXPECT_EQ(0, shownDigit(2));
    EXPECT_EQ(0, shownDigit(3));
    EXPECT_EQ(-1, shownDigit(4));
}

TEST(Screens, MenuHintsShowOnFrames150To209OfEvery210WhileAGameRuns) {
    ScreensRig rig(true);
    rig.ticks = false; // the spawn row stands still: the game cannot end while the frames run
    rig.game->newGame(1);
    const GraphicsSet& g = Pictures();
    Graphic* normal = g.tile(kPicMenuButton, 0);
    Graphic* first = GraphicsSet::tile(g.currentPart(), kPicMenuHints, 0);
    Graphic* second = GraphicsSet::tile(g.currentPart(), kPicMenuHints, 1);
    int checked = 0;
    for (int i = 0; i < 440; i++) {
        rig.Frame();
        int state = rig.game->state();
        if (state != kStatePlaying && state != kStateChangingLevel) continue;
        DWORD phase = rig.paintedFrame % 210;
        Graphic* expected = phase >= 180 ? second : phase >= 150 ? first : normal;
        EXPECT_EQ(expected, rig.screens->menuButtonPicture()) << "frame " << rig.paintedFrame;
        checked++;
    }
    EXPECT_GT(checked, 400);
    // Paused: the button keeps its own pictures.
    rig.game->togglePause();
    EXPECT_EQ(kScreenPause, rig.screens->currentScreen());
}

} // namespace

namespace {

// The shell's view of the settings for the sound set.
struct SettingsForSounds : SoundSettings {
    const GameSettings* settings;
    const GameContext* context;
    bool soundEffectsOn() const override { return settings->soundEffects != 0; }
    bool musicOn() const override { return settings->music != 0; }
    bool gameRunning() const override { return context->game && context->game->state() != kStateNoGame; }
    HWND musicWindow() const override { return nullptr; }
};

TEST(Screens, MusicFollowsTheMenuTheMusicButtonAndTheNewGamePress) {
    ScreensRig rig(false);
    SettingsForSounds view;
    view.settings = &rig.settings;
    view.context = &rig.context;
    SoundSet sounds(&view); // no sounds loaded: the music's state still follows
    rig.context.sounds = &sounds;
    rig.screens->showScreen(kScreenMainMenu, -1);
    EXPECT_TRUE(sounds.musicPlaying());
    rig.screens->showScreen(kScreenOptions, -1);
    rig.Frame();
    rig.Tap(120, 124 + 10); // music off
    EXPECT_EQ(0u, rig.settings.music);
    EXPECT_FALSE(sounds.musicPlaying());
    rig.Tap(120, 124 + 10); // and on again
    EXPECT_TRUE(sounds.musicPlaying());
    rig.screens->showScreen(kScreenMainMenu, -1);
    rig.Frame();
    rig.Tap(120, 70); // new game: the music ends on the press's first step
    EXPECT_TRUE(sounds.musicPlaying());
    rig.Frames(2);
    EXPECT_EQ(1, rig.screens->pressStepNow());
    EXPECT_FALSE(sounds.musicPlaying());
    rig.screens->clearScreen();
    rig.context.sounds = nullptr;
}

} // namespace
