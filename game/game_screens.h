// What the game's rules ask of the screens and the shell: showing a screen,
// the buttons, the shimmer bands, the head bar's displays, drawing through the
// shimmer, and writing the records. The screens fill it in; tests and tools
// may leave it out (GameContext::screens null).
#pragma once

#include <windows.h>

class Graphic;
struct ANIMDRAW;

enum GameScreen {
    kScreenNone = 0,
    kScreenMainMenu = 1,
    kScreenHelp = 2,
    kScreenOptions = 3,
    kScreenPause = 4,
    kScreenGame = 5,
    kScreenHighScores = 6
};

class GameScreens {
public:
    virtual ~GameScreens() {}
    // Clears the current screen and builds `screen`; highlight is a high-score place or -1.
    virtual void showScreen(int screen, int highlight) = 0;
    virtual int currentScreen() const = 0;
    virtual void enableButtons(bool on) = 0;
    // Visible: the bands' rectangles are repainted as they move; clean: they are not.
    virtual void markBandsVisible(bool visible) = 0;
    virtual void repaintScore() = 0;
    virtual void repaintProgress() = 0;
    // Draws `picture` with its top-left corner at (x, y) in the target of `draw`,
    // then its highlighted variant inside the shimmer bands.
    virtual void drawShimmered(const ANIMDRAW* draw, Graphic* picture, Graphic* highlight, int x, int y) = 0;
    // One step (1 to 8) of a button's press animation, from its timed event.
    virtual void pressStep(int step) = 0;
    // Writes the settings and the high-score table to the registry.
    virtual void saveRecords() = 0;
};
