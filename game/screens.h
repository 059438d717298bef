// Screens: the six screens of the game on its one animation window (main
// menu, help, options, pause menu, game, high scores), built from image
// objects and buttons, with the head bar of a running game, the high-score
// list drawn from glyphs, the help screen's example pieces, the buttons'
// torn-label press animation and the shimmer bands that sweep across labels
// and banners. It holds every object of the current screen and is what the
// rules call on (GameScreens).
#pragma once

#include <windows.h>

#include "cea_anim_object.h"
#include "game_context.h"
#include "game_screens.h"

class AnimButton;
class AnimWindow;
class Graphic;
struct GameSettings;
struct ScreenPiece;

// Command ids of the screens' buttons.
enum ScreenCommand {
    kCmdNewGame = 205,
    kCmdHelp = 206,
    kCmdHighScores = 207,
    kCmdOptions = 208,
    kCmdExit = 209,
    kCmdSoundEffects = 210,
    kCmdMusic = 211,
    kCmdLanguage = 212,
    kCmdOptionsDone = 213,
    kCmdMenu = 214,
    kCmdResume = 215,
    kCmdEndGame = 216,
    kCmdAdvancedStart = 217,
    kCmdPostScores = 218,
    kCmdScoresPage = 219,
    kCmdScoresDone = 220,
    kCmdHelpDone = 221
};

const int kBandCount = 3;
const int kPressSteps = 8;
const int kMaxScreenButtons = 6;
const int kHelpPieceCount = 11;

// A shimmer band: its rectangle, speed in pixels per frame and the x it heads for.
struct ShimmerBand {
    RECT rect;
    LONG speed;
    LONG target;
};

// How a button of the screens is drawn and hit.
enum ScreenButtonKind {
    kButtonOrdinary, // label centred (or at label x), torn while pressed, hits on the visible width
    kButtonSimple,   // label at its left edge plus label x, hits on the whole rectangle
    kButtonCheck     // the picture of its state
};

struct ScreenButton {
    AnimButton* button; // owned
    int kind;
    Graphic* label;
    Graphic* highlight;
    LONG labelX;       // the label's x in the button
    LONG visibleWidth; // ordinary buttons: the width that takes hits
    LONG hitCentre;    // ordinary buttons: the x in the button the visible width is centred on
};

class Screens : public GameScreens {
public:
    // `context` and `settings` are owned elsewhere and outlive the screens; the screens go before their
    // window (their destruction clears the current screen on it).
    Screens(GameContext* context, GameSettings* settings);
    ~Screens() override;

    // GameScreens
    void showScreen(int screen, int highlight) override;
    int currentScreen() const override { return m_screen; }
    void enableButtons(bool on) override;
    void markBandsVisible(bool visible) override { m_bandsVisible = visible; }
    void repaintScore() override;
    void repaintProgress() override;
    void drawShimmered(const ANIMDRAW* draw, Graphic* picture, Graphic* highlight, int x, int y) override;
    void pressStep(int step) override;
    void saveRecords() override;

    // The current screen again, without a highlight (after a language change).
    void rebuildScreen();
    // Destroys every object of the current screen, the menu's decorative board included.
    void clearScreen();
    // Once per painted frame, before the game's tick: bands, decorative board, help changer, menu hints.
    void frameEffects();
    // A click reported by one of the screens' buttons.
    void onButtonCommand(AnimButton* button);

    // Where commands go: the animation window's parent (the dialog) unless set.
    void setCommandWindow(HWND window) { m_commandWindow = window; }
    HWND commandWindow() const;

    // For tests and tools.
    AnimButton* button(DWORD id) const;
    AnimButton* pressedButton() const { return m_pressed; }
    int pressStepNow() const { return m_pressStep; }
    int highlight() const { return m_highlight; }
    bool bandsVisible() const { return m_bandsVisible; }
    const ShimmerBand& band(int k) const { return m_bands[k]; }
    void setBand(int k, const ShimmerBand& band) { m_bands[k] = band; }
    DWORD englishFlag() const { return m_englishFlag; }
    AnimObject* progressObject() const { return m_progress; }
    AnimObject* scoreObject() const { return m_scoreDisplay; }
    AnimObject* listObject() const { return m_list; }
    // The menu button's pictures now (its own, or a hint).
    Graphic* menuButtonPicture() const;
    int objectCount() const;

    // Paints of the screens' own objects (public for the object callbacks).
    void paintProgress(const ANIMDRAW* draw);
    void paintScore(const ANIMDRAW* draw);
    void paintList(const ANIMDRAW* draw);
    void paintButton(ScreenButton* record, const ANIMDRAW* draw);
    bool hitsButton(const ScreenButton* record, POINT point) const;
    ScreenButton* record(AnimButton* button);

private:
    void addButtonColumn(const int* labels, const DWORD* ids, int count, LONG top);
    void buildMainMenu();
    void buildHelp();
    void buildOptions();
    void buildPause();
    void buildGame();
    void buildHighScores();
    void buildHeadBar();
    void placeTitleStrips();

    AnimObject* placeImage(Graphic* picture, LONG x, LONG y, LONG depth);
    AnimObject* placePainted(AnimObjectCallback callback, const RECT& rect, LONG depth);
    // An ordinary button of label k spanning the window at y; label x only when `hasLabelX`.
    ScreenButton* addButton(DWORD id, int label, LONG y, bool hasLabelX = false, LONG labelX = 0);
    ScreenButton* addSimpleButton(DWORD id, Graphic* picture, Graphic* highlight, const RECT& rect,
                                  LONG labelX);
    ScreenButton* addCheckButton(DWORD id, DWORD* value, int onPicture, LONG y);
    ScreenButton* addRecord(AnimButton* button, int kind);
    void addHelpPiece(const struct PieceKind& kind, LONG x, LONG y);
    void destroyObject(AnimObject** object);

    void startPress(AnimButton* button);
    void moveBands();
    void menuHints();
    void postCommand(DWORD id, AnimButton* button, bool send);
    void playClick();
    void music(bool on);
    int random() const;

    GameContext* m_context;
    GameSettings* m_settings;
    HWND m_commandWindow;
    int m_screen;
    int m_highlight;
    DWORD m_englishFlag;

    // The current screen's objects; null when the screen has none.
    AnimObject* m_titleTop;
    AnimObject* m_titleBottom;
    AnimObject* m_helpPicture;
    AnimObject* m_scoresTitle;
    AnimObject* m_scoresRule;
    AnimObject* m_scoresPicture;
    AnimObject* m_list;
    AnimObject* m_headBar;
    AnimObject* m_progress;
    AnimObject* m_scoreDisplay;
    ScreenButton m_buttons[kMaxScreenButtons + 1]; // one more for the menu button
    int m_buttonCount;
    ScreenButton* m_menuButton;
    ScreenPiece* m_helpPieces[kHelpPieceCount];
    int m_helpPieceCount;
    ScreenPiece* m_helpChanger;

    AnimButton* m_pressed;
    int m_pressStep;
    ShimmerBand m_bands[kBandCount];
    bool m_bandsVisible;

    Screens(const Screens&) = delete;
    Screens& operator=(const Screens&) = delete;
};
