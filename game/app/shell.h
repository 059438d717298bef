// Shell: the frame of the game program. One program-wide record holds the main
// dialog, its animation window, the graphics and sound sets, the Game, the
// screens, the settings and the high-score table; start-up fills it, the
// dialog procedure and the frame callback drive it, shutdown empties it.
#pragma once

#include <windows.h>

#include "game_context.h"
#include "game_settings.h"
#include "game_sounds.h"
#include "game_rules.h"
#include "high_scores.h"

class AnimWindow;
class Graphic;
class GraphicsSet;
class Screens;

// What the sound set asks of the shell, answered from the record below.
class ShellSoundSettings : public SoundSettings {
public:
    bool soundEffectsOn() const override;
    bool musicOn() const override;
    bool gameRunning() const override;
    HWND musicWindow() const override;
};

// Where the latest load's time went, in milliseconds.
struct ShellLoadTimes {
    double sounds;
    double graphics; // the whole graphics set (its own account breaks it down)
    double game;     // the screens and the Game, made on the window thread
    double total;
};

struct ShellGlobals {
    HWND dialog;
    AnimWindow* window;
    bool graphicsLoaded;
    bool firstRun;
    HINSTANCE instance;
    Graphic* background;
    GameSettings settings;
    HighScoreTable highScores;

    GraphicsSet* graphics;
    SoundSet* sounds;
    Screens* screens;
    PieceGenerator generator;
    GameContext context;
    ShellSoundSettings soundSettings;
    int zoom; // whole-number magnification of the desktop window
    ShellLoadTimes loadTimes;
};

extern ShellGlobals g_shell;

// The program's name: single-instance channel and language choice.
extern const TCHAR kProgramName[];

// Start-up: single instance, generator, registry records, languages, window
// classes. False ends the program without a window.
bool ShellStartUp(HINSTANCE instance);
// Creates the main dialog, runs the loading stage and the paced loop until the
// dialog is gone, then shuts down.
void ShellRunDialog();
// Destroys the Game and the screens' objects while the window still exists.
void ShellReleaseGame();
// Releases everything and writes both records.
void ShellShutDown();

// Reads both records, giving defaults (written back at once) for unreadable ones.
void ShellLoadRecords(DWORD today);

// The largest whole-number zoom at which a client area of width x height,
// grown by the frame of `style`, fits the work area; at least 1.
int ShellZoomFor(const RECT& workArea, LONG width, LONG height, DWORD style, DWORD exStyle);

// Replaces the loader that the splash runs (tests and the benchmark); null restores the real one.
typedef BOOL (*ShellLoader)(void* context);
void ShellSetLoader(ShellLoader loader);
BOOL ShellLoad(void* context);

// Replaces what runs the game once its first screen shows (the paced loop
// until the dialog is gone); the benchmark steps frames itself. Null restores the loop.
typedef void (*ShellRunner)(AnimWindow* window);
void ShellSetRunner(ShellRunner runner);

INT_PTR CALLBACK ShellDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
DWORD ShellFrameCallback(AnimWindow* window, DWORD event, DWORD value, LPARAM pointer);
