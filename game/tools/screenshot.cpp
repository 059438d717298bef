// Developer tool: builds one of the game's screens in either language on a
// real window with the real pictures, runs some frames and saves the composed
// window as a BMP, so that every screen can be looked at without playing to it.
//
//   vexlin-screenshot <what> <en|eo> <frames> <out.bmp>
//
// what: 1 to 6 (main menu, help, options, pause menu, game, high scores),
// "play" (a game running for the frames), "pause" (the pause menu over a game
// that ran for the frames), "options-game" (options over a running game) or
// "press" (the main menu with its help button tapped that many frames ago).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "board.h"
#include "cea_anim_window.h"
#include "cea_graphic.h"
#include "game.h"
#include "game_graphics.h"
#include "game_settings.h"
#include "high_scores.h"
#include "mem_manager.h"
#include "screens.h"
#include "tl_language.h"

namespace {

Screens* g_screens = nullptr;
Game* g_game = nullptr;

DWORD FrameCallback(AnimWindow*, DWORD event, DWORD value, LPARAM pointer) {
    if (event == awPAINTBEGIN) {
        if (g_screens) g_screens->frameEffects();
        if (g_game) g_game->tick();
    }
    if (event == awEVENT && g_game) g_game->dispatch(value, pointer);
    return 1;
}

int Usage() {
    fprintf(stderr,
            "usage: vexlin-screenshot <1-6|play|pause|options-game|press> <en|eo> <frames> <out.bmp>\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) return Usage();
    std::string what = argv[1], language = argv[2];
    int frames = atoi(argv[3]);
    if (frames < 0 || (language != "en" && language != "eo")) return Usage();
    int screen = atoi(what.c_str());
    bool play = what == "play" || what == "pause" || what == "options-game";
    bool press = what == "press";
    if (press) screen = kScreenMainMenu;
    if (!play && (screen < kScreenMainMenu || screen > kScreenHighScores)) return Usage();

    HINSTANCE instance = GetModuleHandle(nullptr);
    AnimInit(instance, 0);
    SetLanguage(language == "en" ? kLangEnglish : kLangEsperanto);
    HWND hwnd = CreateWindow(TEXT("AnimWindow"), TEXT("screenshot"), WS_POPUP | WS_VISIBLE, 0, 0, 240, 294,
                             nullptr, nullptr, instance, nullptr);
    AnimWindow* window = AnimWindow::FromHandle(hwnd);
    GraphicsSet* graphics = new GraphicsSet;
    if (!window || !graphics->load(instance)) {
        fprintf(stderr, "vexlin-screenshot: no window or no pictures\n");
        return 1;
    }
    Graphic* background = graphics->picture(kPicBackground);
    if (window->GetBackground()) {
        background->Draw(window->GetBackground(), 0, 0, 0, 0, background->GetWidth(),
                         background->GetHeight());
        window->Invalidate(nullptr, TRUE);
        window->Invalidate(nullptr, FALSE);
    }

    srand(7);
    PieceGenerator generator(rand);
    HighScoreTable table;
    SetDefaultHighScores(&table);
    // Two dated entries among the defaults, the second highlighted on the list.
    InsertHighScore(&table, 1234567, 23, DayNumber(2026, 3, 14));
    int rank = InsertHighScore(&table, 48250, 9, DayNumber(2026, 11, 2));
    GameSettings settings;
    SetDefaultSettings(&settings, TodayDayNumber());
    settings.advancedStart = 1;

    GameContext context = {};
    context.window = window;
    context.graphics = graphics;
    context.highScores = &table;
    context.generator = &generator;
    Screens* screens = new Screens(&context, &settings);
    context.screens = screens;
    Game* game = new Game(&context);
    g_screens = screens;
    g_game = game;
    window->SetCallback(FrameCallback);

    if (play) {
        game->newGame(1);
        for (int i = 0; i < frames; i++) window->RunFrames(window->GetFrame());
        // A few moves so that the score and the progress bar show something, once the level is under way
        // (fewer frames show the level banner).
        if (game->state() == kStatePlaying) {
            for (int row = 9; row >= 5 && game->removed() == 0; row--)
                for (int column = 0; column < 10; column++) game->move(column, row);
            for (int i = 0; i < 30; i++) window->RunFrames(window->GetFrame());
        }
        if (what == "pause") game->togglePause();
        if (what == "options-game") screens->showScreen(kScreenOptions, -1);
        if (what != "play")
            for (int i = 0; i < 12; i++) window->RunFrames(window->GetFrame());
    } else if (press) {
        screens->showScreen(kScreenMainMenu, -1);
        for (int i = 0; i < 20; i++) window->RunFrames(window->GetFrame());
        SendMessage(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(120, 105));
        SendMessage(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(120, 105));
        for (int i = 0; i < frames; i++) window->RunFrames(window->GetFrame());
    } else {
        screens->showScreen(screen, screen == kScreenHighScores ? rank : -1);
        for (int i = 0; i < frames; i++) window->RunFrames(window->GetFrame());
    }

    HANDLE file =
        CreateFileA(argv[4], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    BOOL saved = file != INVALID_HANDLE_VALUE && window->GetFrameSurface()->Save(file);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);

    g_screens = nullptr;
    g_game = nullptr;
    delete screens;
    delete game;
    DestroyWindow(hwnd);
    delete graphics;
    if (!saved) {
        fprintf(stderr, "vexlin-screenshot: could not write %s\n", argv[4]);
        return 1;
    }
    printf("vexlin-screenshot: %s\n", argv[4]);
    return 0;
}
