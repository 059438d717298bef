// Shell: start-up, the main dialog, the loading stage, the frame callback, the
// dialog procedure and shutdown of the game program.
#include "shell.h"

#include <stdlib.h>

#include "cea_anim_window.h"
#include "cea_graphic.h"
#include "game.h"
#include "game_graphics.h"
#include "game_resources.h"
#include "load_clock.h"
#include "logo.h"
#include "mem_manager.h"
#include "screens.h"
#include "shell_resources.h"
#include "tl_dialog.h"
#include "tl_language.h"
#include "tl_string.h"

ShellGlobals g_shell;
const TCHAR kProgramName[] = TEXT("Vexlin");

namespace {

// The composed picture of the game.
const LONG kGameWidth = 240;
const LONG kGameHeight = 294;
const double kGameFrameRate = 20.0;
const UINT kSoundFinished = 0x432;

ShellLoader g_loader = nullptr;
ShellRunner g_runner = nullptr;

#ifdef VEXLIN_TEST_BUILD
// Seams of the test build only: the product has no command line and no such
// variables. A constant generator makes every piece of one colour, a fixed
// zoom makes taps land where the test expects, and the dialog carries the
// current screen and game state as window properties for the test to read.
int ZeroRandom() { return 0; }

DWORD TestSetting(const TCHAR* name) {
    TCHAR text[32];
    DWORD length = GetEnvironmentVariable(name, text, 32);
    if (length == 0 || length >= 32) return 0;
    return static_cast<DWORD>(wcstoul(text, nullptr, 10));
}

void PublishTestState() {
    if (!g_shell.dialog) return;
    int screen = g_shell.screens ? g_shell.screens->currentScreen() : 0;
    int state = g_shell.context.game ? g_shell.context.game->state() : kStateNoGame;
    SetProp(g_shell.dialog, TEXT("VexlinScreen"), reinterpret_cast<HANDLE>(static_cast<INT_PTR>(screen + 1)));
    SetProp(g_shell.dialog, TEXT("VexlinState"), reinterpret_cast<HANDLE>(static_cast<INT_PTR>(state + 1)));
    SetProp(g_shell.dialog, TEXT("VexlinZoom"), reinterpret_cast<HANDLE>(static_cast<INT_PTR>(g_shell.zoom)));
    // How far the spawn row is between two pieces, in thousandths, so that a
    // test can tap where no spawn sound starts with the tap's sounds.
    int phase = 0;
    const Game* game = g_shell.context.game;
    if (game && state == kStatePlaying && !game->bonus() && game->speed() > 0) {
        DWORD now = g_shell.context.window->GetFrame();
        DWORD speed = static_cast<DWORD>(game->speed());
        if (now >= game->nextDrop())
            phase = static_cast<int>((now - game->nextDrop()) * 10 % speed * 1000 / speed);
    }
    SetProp(g_shell.dialog, TEXT("VexlinSpawnPhase"),
            reinterpret_cast<HANDLE>(static_cast<INT_PTR>(phase + 1)));
}
#endif

bool GameRunning() { return g_shell.context.game && g_shell.context.game->state() != kStateNoGame; }

// Help and options lead back to the pause menu of a running game, else to the main menu.
void BackToMenu() {
    if (g_shell.screens) g_shell.screens->showScreen(GameRunning() ? kScreenPause : kScreenMainMenu, -1);
}

// On the window thread, called by the loader once the pictures are in: the
// screens and the Game add objects and filters to the window, which only the
// window's own thread may touch.
LRESULT CreateGameOnWindowThread(void*) {
    g_shell.screens = MEMNEW(Screens, (&g_shell.context, &g_shell.settings));
    if (!g_shell.screens) return 0;
    g_shell.context.screens = g_shell.screens;
    Game* game = MEMNEW(Game, (&g_shell.context));
    return game != nullptr;
}

void SetUpWindow(HWND dialog) {
    HWND control = GetDlgItem(dialog, IDC_ANIMATION);
    g_shell.window = control ? AnimWindow::FromHandle(control) : nullptr;
    g_shell.context.window = g_shell.window;
    SetWindowText(dialog, string(static_cast<UINT>(IDS_CAPTION)));
    HICON icon = LoadIcon(g_shell.instance, MAKEINTRESOURCE(IDI_VEXLIN));
    if (icon) {
        SendMessage(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        SendMessage(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    }

    // The desktop shows the 240 x 294 picture magnified by the largest whole
    // number that fits the work area, centred there, in a captioned window.
    RECT work;
    if (!SystemParametersInfo(SPI_GETWORKAREA, 0, &work, 0)) SetRect(&work, 0, 0, kGameWidth, kGameHeight);
    DWORD style = static_cast<DWORD>(GetWindowLong(dialog, GWL_STYLE));
    DWORD exStyle = static_cast<DWORD>(GetWindowLong(dialog, GWL_EXSTYLE));
    int zoom = ShellZoomFor(work, kGameWidth, kGameHeight, style, exStyle);
#ifdef VEXLIN_TEST_BUILD
    if (DWORD forced = TestSetting(TEXT("VEXLIN_TEST_ZOOM"))) zoom = static_cast<int>(forced);
#endif
    g_shell.zoom = zoom;
    RECT frame = {0, 0, kGameWidth * zoom, kGameHeight * zoom};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    LONG width = frame.right - frame.left, height = frame.bottom - frame.top;
    LONG x = work.left + (work.right - work.left - width) / 2;
    LONG y = work.top + (work.bottom - work.top - height) / 2;
    if (x < work.left) x = work.left;
    if (y < work.top) y = work.top;
    SetWindowPos(dialog, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    if (control) {
        RECT client;
        GetClientRect(dialog, &client);
        MoveWindow(control, 0, 0, client.right, client.bottom, TRUE);
    }
    if (g_shell.window) {
        g_shell.window->SetZoom(zoom);
        g_shell.window->SetCallback(ShellFrameCallback);
        g_shell.window->SetFrameRate(kGameFrameRate);
    }
}

void OnCommand(HWND dialog, WORD id) {
    Game* game = g_shell.context.game;
    Screens* screens = g_shell.screens;
    switch (id) {
    case IDCANCEL:
        DestroyWindow(dialog);
        break;
    case kCmdNewGame:
        if (game) game->newGame(g_shell.settings.advancedStart == 1 ? 6 : 1);
        break;
    case kCmdHelp:
        if (screens) screens->showScreen(kScreenHelp, -1);
        break;
    case kCmdHighScores:
        if (screens) screens->showScreen(kScreenHighScores, -1);
        break;
    case kCmdOptions:
        if (screens) screens->showScreen(kScreenOptions, -1);
        break;
    case kCmdExit:
        PostMessage(dialog, WM_COMMAND, IDCANCEL, 0);
        break;
    case kCmdOptionsDone:
    case kCmdHelpDone:
        BackToMenu();
        break;
    case kCmdMenu:
    case kCmdResume:
        if (game) game->togglePause();
        break;
    case kCmdEndGame:
        if (game) game->abandon();
        break;
    case kCmdPostScores:
        PostScores(g_shell.highScores);
        break;
    case kCmdScoresPage:
        OpenScoresPage();
        break;
    case kCmdScoresDone:
        if (screens) screens->showScreen(kScreenMainMenu, -1);
        break;
    case IDM_SECOND_START:
        // Topmost and back, so that the window comes over everything once without staying there.
        SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        SetWindowPos(dialog, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        SetForegroundWindow(dialog);
        break;
    default:
        // The check buttons act through their own handler.
        break;
    }
}

// The loading stage: the splash runs the loader; then the first screen.
bool LoadingStage() {
    BOOL loaded =
        Logo::run(g_shell.window, g_shell.instance, g_loader ? g_loader : ShellLoad, nullptr, FALSE);
    if (loaded && g_shell.graphicsLoaded && IsWindow(g_shell.dialog)) {
        AnimGetDisplay()->SetPaletteGroup(g_shell.graphics->paletteGroup());
        g_shell.background = g_shell.graphics->picture(kPicBackground);
        // Setting the callback again paints the background now that it exists.
        g_shell.window->SetCallback(ShellFrameCallback);
        if (g_shell.screens)
            g_shell.screens->showScreen(g_shell.firstRun ? kScreenHelp : kScreenMainMenu, -1);
        return true;
    }
    // A window closed during the splash ends quietly; only a load that failed
    // with the window still there is the graphics failure.
    if (!g_shell.graphicsLoaded && IsWindow(g_shell.dialog)) {
        ShowMessage(MB_OK | MB_ICONINFORMATION, string(static_cast<UINT>(IDS_ERROR_TITLE)),
                    string(static_cast<UINT>(IDS_GRAPHICS_FAILED)));
    }
    if (IsWindow(g_shell.dialog)) DestroyWindow(g_shell.dialog);
    return false;
}

} // namespace

bool ShellSoundSettings::soundEffectsOn() const { return g_shell.settings.soundEffects != 0; }
bool ShellSoundSettings::musicOn() const { return g_shell.settings.music != 0; }
bool ShellSoundSettings::gameRunning() const {
    // Music belongs to the menus: a game being played or paused keeps it off.
    return GameRunning();
}
HWND ShellSoundSettings::musicWindow() const { return g_shell.dialog; }

int ShellZoomFor(const RECT& workArea, LONG width, LONG height, DWORD style, DWORD exStyle) {
    int zoom = 1;
    for (int next = 2; next <= 64; next++) {
        RECT frame = {0, 0, width * next, height * next};
        AdjustWindowRectEx(&frame, style, FALSE, exStyle);
        if (frame.right - frame.left > workArea.right - workArea.left ||
            frame.bottom - frame.top > workArea.bottom - workArea.top)
            break;
        zoom = next;
    }
    return zoom;
}

void ShellLoadRecords(DWORD today) {
    if (!LoadHighScores(&g_shell.highScores)) {
        SetDefaultHighScores(&g_shell.highScores);
        SaveHighScores(g_shell.highScores);
    }
    if (!LoadSettings(&g_shell.settings)) {
        g_shell.firstRun = true;
        SetDefaultSettings(&g_shell.settings, today);
        SaveSettings(g_shell.settings);
        SaveHighScores(g_shell.highScores);
    }
    ValidateHighScores(&g_shell.highScores);
}

void ShellSetLoader(ShellLoader loader) { g_loader = loader; }
void ShellSetRunner(ShellRunner runner) { g_runner = runner; }

BOOL ShellLoad(void*) {
    ShellLoadTimes& times = g_shell.loadTimes;
    times = ShellLoadTimes();
    double start = LoadClockMs();
    // A missing sound stays silent; only the pictures can fail the load.
    g_shell.sounds->load(g_shell.instance);
    double sounds = LoadClockMs();
    times.sounds = sounds - start;
    bool loaded = g_shell.graphics->load(g_shell.instance);
    double graphics = LoadClockMs();
    times.graphics = graphics - sounds;
    if (!loaded) return FALSE;
    if (!Logo::callOnWindowThread(CreateGameOnWindowThread, nullptr)) return FALSE;
    double end = LoadClockMs();
    times.game = end - graphics;
    times.total = end - start;
    g_shell.graphicsLoaded = true;
    return TRUE;
}

bool ShellStartUp(HINSTANCE instance) {
    string name(kProgramName);
    HWND running = FindRunningInstance(name);
    if (running) {
        PostMessage(running, WM_COMMAND, IDM_SECOND_START, 0);
        return false;
    }
    srand(AnimGetTime());
    g_shell.instance = instance;
    g_shell.zoom = 1;
    ShellLoadRecords(TodayDayNumber());
    InitLanguages(name, IDS_LANGUAGES);

    g_shell.graphics = MEMNEW(GraphicsSet, ());
    g_shell.sounds = MEMNEW(SoundSet, (&g_shell.soundSettings));
    if (!g_shell.graphics || !g_shell.sounds) return false;
    g_shell.context.graphics = g_shell.graphics;
    g_shell.context.sounds = g_shell.sounds;
    g_shell.context.highScores = &g_shell.highScores;
    g_shell.context.generator = &g_shell.generator;
#ifdef VEXLIN_TEST_BUILD
    if (TestSetting(TEXT("VEXLIN_TEST_ONE_COLOUR"))) g_shell.generator.random = ZeroRandom;
#endif

    if (!InitGuiLib(instance)) return false;
    return AnimInit(instance, aiFORCE8BPP) != FALSE;
}

void ShellRunDialog() {
    HWND dialog = CreateLocalizedDialog(IDD_VEXLIN, nullptr, ShellDialogProc, 0);
    if (dialog && g_shell.window) {
        ShowWindow(dialog, SW_SHOW);
        MakeFullScreen(dialog, FALSE);
        if (LoadingStage() && g_shell.window) {
            if (g_runner)
                g_runner(g_shell.window);
            else
                g_shell.window->Play(kAllFrames);
        }
    } else if (dialog) {
        DestroyWindow(dialog);
    }
    ShellShutDown();
}

// The Game and the screens hold objects and filters of the window, so they go
// while the window still exists: at the dialog's destruction, before its children's.
void ShellReleaseGame() {
    if (g_shell.context.game) MEMDELETE(g_shell.context.game);
    g_shell.context.game = nullptr;
    if (g_shell.screens) {
        g_shell.screens->clearScreen();
        MEMDELETE(g_shell.screens);
    }
    g_shell.screens = nullptr;
    g_shell.context.screens = nullptr;
}

void ShellShutDown() {
    ShellReleaseGame();
    if (g_shell.instance) {
        SaveSettings(g_shell.settings);
        SaveHighScores(g_shell.highScores);
    }
    Logo::release();
    if (AnimGetDisplay()) AnimGetDisplay()->SetPaletteGroup(nullptr);
    g_shell.background = nullptr;
    if (g_shell.graphics) MEMDELETE(g_shell.graphics);
    if (g_shell.sounds) MEMDELETE(g_shell.sounds);
    g_shell.graphics = nullptr;
    g_shell.sounds = nullptr;
    g_shell.context.graphics = nullptr;
    g_shell.context.sounds = nullptr;
}

DWORD ShellFrameCallback(AnimWindow* window, DWORD event, DWORD value, LPARAM pointer) {
    switch (event) {
    case awBACKGROUND: {
        Graphic* surface = window->GetBackground();
        if (!Logo::isShowing() && g_shell.background && surface) {
            g_shell.background->Draw(surface, 0, 0, 0, 0, window->GetWidth(), window->GetHeight());
            window->InvalidateAll(TRUE);
        } else {
            window->FillBackground(RGB(0, 0, 0), nullptr);
        }
        break;
    }
    case awPAINTBEGIN:
        if (g_shell.screens) g_shell.screens->frameEffects();
        if (g_shell.context.game) g_shell.context.game->tick();
#ifdef VEXLIN_TEST_BUILD
        PublishTestState();
#endif
        break;
    case awEVENT:
        if (g_shell.context.game) g_shell.context.game->dispatch(value, pointer);
        break;
    }
    return 1;
}

INT_PTR CALLBACK ShellDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        g_shell.dialog = dialog;
        SetInstanceWindow(string(kProgramName), dialog);
        SetUpWindow(dialog);
        break;
    case WM_COMMAND:
        OnCommand(dialog, LOWORD(wParam));
        break;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            Game* game = g_shell.context.game;
            if (game && game->state() != kStateNoGame && g_shell.screens &&
                g_shell.screens->currentScreen() == kScreenGame)
                game->togglePause();
        }
        if (g_shell.window) g_shell.window->SetInactive(LOWORD(wParam) == WA_INACTIVE);
        if (LOWORD(wParam) != WA_INACTIVE) MakeFullScreen(dialog, FALSE);
        break;
    case kSoundFinished:
        if (g_shell.sounds) g_shell.sounds->musicFinished();
        break;
    case WM_DISPLAYCHANGE:
        // Only top-level windows hear of a new screen depth; the animation control paints by it.
        if (g_shell.window) SendMessage(g_shell.window->GetHandle(), WM_DISPLAYCHANGE, wParam, lParam);
        break;
    case WM_DESTROY:
        ShellReleaseGame();
        g_shell.dialog = nullptr;
        break;
    }
    return 0;
}
