// Cost of the game's busiest moments against the 50 ms frame budget, on an 8-bit animation window bound to
// the game's own palette and pictures: one frame with a full board whose 100 pieces all fall (the tick and
// every piece's frame message, then composition and the copy to the window), and the largest move (a
// 100-piece group: flood, removals, scheduled steps). Baselines of the same run: the same board at rest,
// and the falling frame composed into an off-screen device context instead of the window.
#include <stdio.h>

#include "board.h"
#include "cea_anim_object.h"
#include "cea_anim_window.h"
#include "cea_graphic.h"
#include "cea_palette_group.h"
#include "game.h"
#include "game_graphics.h"

namespace {

const double kBudgetMicroseconds = 50000.0; // one frame at 20 frames per second
const int kRounds = 40;
const int kFallingFrames = 12; // every piece is still in the air for this many frames

LARGE_INTEGER g_frequency;
Game* g_game = nullptr;

double Now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart * 1e6 / g_frequency.QuadPart;
}

DWORD g_seed = 5;
int SeededRand() {
    g_seed = g_seed * 1103515245u + 12345u;
    return static_cast<int>((g_seed >> 16) & 0x7FFF);
}

// Where the time of one paint goes: the rules (tick and every object's frame message) and the rest.
struct PaintTimes {
    double begin, framed, end;
    DWORD rectangles; // dirty rectangles composed and copied
} g_paint;
AnimWindow* g_window = nullptr;

// The program's frame callback, with time stamps.
DWORD FrameCallback(AnimWindow*, DWORD event, DWORD value, LPARAM pointer) {
    if (!g_game) return 1;
    if (event == awPAINTBEGIN) {
        g_paint.begin = Now();
        g_game->tick();
    }
    if (event == awPAINTFRAMED) {
        g_paint.framed = Now();
        g_paint.rectangles = g_window->GetTopRegion().GetCount() + g_window->GetStaticRegion().GetCount();
    }
    if (event == awPAINTEND) g_paint.end = Now();
    if (event == awEVENT) g_game->dispatch(value, pointer);
    return 1;
}

void Frame(AnimWindow* w) { w->RunFrames(w->GetFrame()); }

// Fills every cell, each piece lifted 240 pixels above its place and falling.
void FillFalling(AnimWindow* w, Board* board) {
    for (int r = 0; r < kBoardRows; r++)
        for (int c = 0; c < kBoardColumns; c++) board->placePiece(c, r, MakeKind((c + r) % 3), kNextFrame);
    for (int i = 0; i < 4; i++) Frame(w); // appear steps done
    for (int r = 0; r < kBoardRows; r++)
        for (int c = 0; c < kBoardColumns; c++) {
            AnimObject* o = board->cell(c, r).object;
            o->SetPos(o->GetRect().left, o->GetRect().top - 240);
            Board::StartFalling(o);
        }
}

void Clear(AnimWindow* w, Board* board) {
    board->clearAll(kNextFrame);
    while (board->detachedCount() > 0 || w->GetFrame() < w->GetEndFrame()) Frame(w);
}

struct Totals {
    double frame = 0, rules = 0, rest = 0, rectangles = 0;
    int count = 0;
    void Add(double whole) {
        frame += whole;
        rectangles += g_paint.rectangles;
        rules += g_paint.framed - g_paint.begin;
        rest += g_paint.end - g_paint.framed;
        count++;
    }
};

void Report(const char* what, double microseconds) {
    printf("%-58s %9.1f us  %6.3f%% of the 50 ms budget\n", what, microseconds,
           microseconds * 100.0 / kBudgetMicroseconds);
}

} // namespace

int main() {
    QueryPerformanceFrequency(&g_frequency);
    if (!AnimInit(GetModuleHandle(nullptr), aiFORCE8BPP)) return 1;
    GraphicsSet graphics;
    if (!graphics.load(GetModuleHandle(nullptr))) {
        printf("the game's pictures did not load\n");
        return 1;
    }
    AnimGetDisplay()->SetPaletteGroup(graphics.paletteGroup());
    HWND hwnd = CreateWindow(TEXT("AnimWindow"), TEXT(""), WS_POPUP, 0, 0, 240, 294, nullptr, nullptr,
                             GetModuleHandle(nullptr), nullptr);
    AnimWindow* w = AnimWindow::FromHandle(hwnd);
    if (!w || !w->GetBackground() || w->GetBackground()->GetDepth() != 8) {
        printf("no 8-bit animation window\n");
        return 1;
    }
    graphics.picture(kPicBackground)->Draw(w->GetBackground(), 0, 0, 0, 0, 240, 294);
    w->InvalidateAll(TRUE);
    // An off-screen target for the baseline that leaves out the copy to the window.
    Graphic offscreen(240, 294, 8, graphics.paletteGroup());
    HDC offscreenDC = offscreen.GetDC();

    PieceGenerator generator(SeededRand);
    GameContext context = {w, &graphics, nullptr, nullptr, nullptr, &generator, nullptr};
    g_game = new Game(&context);
    g_window = w;
    w->SetCallback(FrameCallback);
    g_game->newGame(1);
    while (g_game->state() != kStatePlaying) Frame(w);
    Board* board = g_game->board();

    Totals falling, resting, offscreenFalling, wholeFalling;
    for (int round = 0; round < kRounds; round++) {
        Clear(w, board);
        FillFalling(w, board);
        int variant = round % 3;
        for (int f = 0; f < kFallingFrames; f++) {
            if (board->fallingCount() != kBoardRows * kBoardColumns)
                printf("warning: a piece already landed\n");
            double t = Now();
            if (variant == 2) {
                // The same frame with the whole window as one dirty rectangle.
                w->InvalidateAll(FALSE);
                Frame(w);
                wholeFalling.Add(Now() - t);
            } else if (variant == 1) {
                // The same paint into memory. A falling frame has no events to run, and the frame
                // number standing still only holds the spawn row where it is.
                w->Paint(offscreenDC);
                offscreenFalling.Add(Now() - t);
            } else {
                Frame(w);
                falling.Add(Now() - t);
            }
        }
        while (board->fallingCount() > 0) Frame(w);
        for (int f = 0; f < kFallingFrames; f++) {
            double t = Now();
            Frame(w);
            resting.Add(Now() - t);
        }
    }

    // The largest move: the whole board as one group.
    double move = 0;
    int removed = 0;
    for (int round = 0; round < kRounds; round++) {
        Clear(w, board);
        for (int r = 0; r < kBoardRows; r++)
            for (int c = 0; c < kBoardColumns; c++) board->placePiece(c, r, MakeKind(1), kNextFrame);
        for (int i = 0; i < 4; i++) Frame(w);
        double t = Now();
        removed = g_game->move(0, 9);
        move += Now() - t;
    }
    Clear(w, board);

    printf("game on a 240 x 294 window at 8 bits with the game's pictures, %d rounds\n", kRounds);
    Report("100 pieces falling: whole frame", falling.frame / falling.count);
    Report("  of it the rules (tick, every piece's frame message)", falling.rules / falling.count);
    Report("  of it composition and the copy to the window", falling.rest / falling.count);
    printf("  dirty rectangles per falling frame: %.1f (each one copy to the target)\n",
           falling.rectangles / falling.count);
    Report("100 pieces falling, painted into memory: whole frame",
           offscreenFalling.frame / offscreenFalling.count);
    Report("  of it the rules", offscreenFalling.rules / offscreenFalling.count);
    Report("100 pieces falling, whole window as one rectangle", wholeFalling.frame / wholeFalling.count);
    Report("the same board at rest (baseline): whole frame", resting.frame / resting.count);
    Report("largest move (100-piece group)", move / kRounds);
    printf(
        "falling vs resting frame: %.1fx; window vs memory target: %.1fx; rules share of the falling frame: "
        "%.1f%%; pieces removed by the move: %d\n",
        falling.frame / resting.frame, falling.frame / offscreenFalling.frame,
        100.0 * falling.rules / falling.frame, removed);

    offscreen.ReleaseDC();
    delete g_game;
    g_game = nullptr;
    DestroyWindow(hwnd);
    graphics.free();
    return 0;
}
