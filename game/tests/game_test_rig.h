// A hidden animation window with the game's pictures, a seeded generator and
// a stand-in for the screens, so that tests drive the board and the game frame
// by frame the way the program's frame callback does.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "anim_test_window.h"
#include "board.h"
#include "cea_anim_window.h"
#include "cea_graphic.h"
#include "game.h"
#include "game_graphics.h"
#include "game_screens.h"
#include "high_scores.h"

namespace gametest {

inline DWORD& Seed() {
    static DWORD seed = 1;
    return seed;
}
// The runtime's kind of generator (15-bit results), seeded by the test.
inline int SeededRand() {
    Seed() = Seed() * 1103515245u + 12345u;
    return static_cast<int>((Seed() >> 16) & 0x7FFF);
}

// Records what the rules ask of the screens.
class FakeScreens : public GameScreens {
public:
    std::vector<int> shown;
    int screen = kScreenNone;
    int highlight = -1;
    bool buttonsOn = true;
    bool bandsVisible = false;
    int scoreRepaints = 0, progressRepaints = 0, saves = 0;
    std::vector<int> pressSteps;

    void showScreen(int s, int h) override {
        shown.push_back(s);
        screen = s;
        highlight = h;
    }
    int currentScreen() const override { return screen; }
    void enableButtons(bool on) override { buttonsOn = on; }
    void markBandsVisible(bool visible) override { bandsVisible = visible; }
    void repaintScore() override { scoreRepaints++; }
    void repaintProgress() override { progressRepaints++; }
    void drawShimmered(const ANIMDRAW* draw, Graphic* picture, Graphic*, int x, int y) override {
        picture->DrawTo(draw->target, x, y, draw->clip);
    }
    void pressStep(int step) override { pressSteps.push_back(step); }
    void saveRecords() override { saves++; }
};

// The pictures are loaded once for the whole test program.
inline GraphicsSet& Pictures() {
    static GraphicsSet* set = nullptr;
    if (!set) {
        AnimInit(GetModuleHandle(nullptr), 0);
        set = new GraphicsSet;
        EXPECT_TRUE(set->load(GetModuleHandle(nullptr)));
    }
    return *set;
}

class Rig {
public:
    explicit Rig(DWORD seed = 1, bool withGame = true) : generator(SeededRand) {
        Seed() = seed;
        Pictures();
        SetDefaultHighScores(&table);
        context.window = window.window;
        context.graphics = &Pictures();
        context.sounds = nullptr;
        context.screens = &screens;
        context.highScores = &table;
        context.generator = &generator;
        context.game = nullptr;
        window->FillBackground(RGB(0, 0, 0), nullptr);
        window->SetCallback(Callback);
        Current() = this;
        if (withGame) game = new Game(&context);
    }
    ~Rig() {
        delete game;
        delete board;
        Current() = nullptr;
    }

    // One frame: its events, then the paint with the tick and every object's frame.
    void Frame() { window->RunFrames(window->GetFrame()); }
    void Frames(int n) {
        for (int i = 0; i < n; i++) Frame();
    }
    // Runs frames until `done` holds (at most `limit`); the frames it took, or -1.
    template <class Condition>
    int FramesUntil(Condition done, int limit = 2000) {
        for (int i = 0; i < limit; i++) {
            if (done()) return i;
            Frame();
        }
        return done() ? limit : -1;
    }
    DWORD Now() const { return window.window->GetFrame(); }
    void Tap(int x, int y) { SendMessage(window.hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)); }

    // The colour the window's last composed frame shows at (x, y).
    COLORREF Shown(int x, int y) const { return window.window->GetFrameSurface()->GetPixelColor(x, y); }
    int ObjectsAtDepth(LONG depth) const {
        int n = 0;
        for (AnimObject* o = window.window->GetFirstObject(); o; o = window.window->GetNextObject(o))
            n += o->GetDepth() == depth;
        return n;
    }
    int Occupied(const Board& b) const {
        int n = 0;
        for (int r = 0; r < kBoardRows; r++)
            for (int c = 0; c < kBoardColumns; c++) n += b.cell(c, r).object != nullptr;
        return n;
    }

    animtest::TestWindow window;
    PieceGenerator generator;
    HighScoreTable table;
    FakeScreens screens;
    GameContext context;
    Game* game = nullptr;
    Board* board = nullptr; // a board a test makes without a game

private:
    static Rig*& Current() {
        static Rig* rig = nullptr;
        return rig;
    }
    // The program's frame callback: the tick once per paint, timed events to the game.
    static DWORD Callback(AnimWindow*, DWORD event, DWORD value, LPARAM pointer) {
        Rig* rig = Current();
        if (!rig) return 1;
        if (event == awPAINTBEGIN && rig->game) {
            rig->game->menuBoardFrame();
            rig->game->tick();
        }
        if (event == awEVENT) {
            if (rig->game) {
                rig->game->dispatch(value, pointer);
            } else {
                AnimObject* object = reinterpret_cast<AnimObject*>(pointer);
                if (value == kEventStartFalling) Board::StartFalling(object);
                if (value == kEventVanishStep) Board::VanishStep(object);
                if (value == kEventAppearStep) Board::AppearStep(object);
            }
        }
        return 1;
    }
};

} // namespace gametest
