// Game: the rules as the player meets them on the animation window: levels
// and their speeds, the spawn row and its drops, taps and the moves of the
// five piece kinds, points and pop-ups, pause, abandon and game over, the
// dispatch of timed events, and the decorative board behind the main menu.
#pragma once

#include <windows.h>

#include "game_context.h"
#include "game_rules.h"

class AnimObject;
class Board;
class Graphic;
struct ANIMDRAW;

enum GameState { kStateChangingLevel = 0, kStatePlaying = 1, kStatePaused = 2, kStateNoGame = 3 };

class Game {
public:
    // Registers itself in the context and adds its stylus handler to the window.
    explicit Game(GameContext* context);
    ~Game();

    // Level 6 with 7500 points for the advanced start, else level 1.
    void newGame(int startLevel);
    // Once per painted frame.
    void tick();
    // Every stylus-down on the window, in window coordinates.
    void tap(POINT point);
    void togglePause();
    void abandon();
    // A timed event fell due.
    void dispatch(DWORD type, LPARAM data);

    // The decorative board of the main menu: made and destroyed by the screens,
    // stepped once a frame while it exists.
    void createMenuBoard();
    void destroyMenuBoard();
    void menuBoardFrame();
    Board* menuBoard() const { return m_menuBoard; }

    Board* board() const { return m_board; }
    int level() const { return m_level; }
    int speed() const { return m_speed; }
    int state() const { return m_state; }
    int target() const { return m_target; }
    int removed() const { return m_removed; }
    DWORD score() const { return m_score; }
    bool bonus() const { return m_bonus != 0; }
    DWORD nextDrop() const { return m_nextDrop; }
    int newRank() const { return m_newRank; }
    bool newHighScore() const { return m_newHighScore != 0; }
    AnimObject* levelBanner() const { return m_levelBanner; }
    AnimObject* gameOverBanner() const { return m_gameOverBanner; }

    // For tests and tools: play a move on the cell as a tap there would.
    int move(int column, int row);

private:
    void startLevel(int level);
    void levelPlay();
    void tickNormal(DWORD now);
    void tickBonus(DWORD now);
    void gameOver();
    void score(int removedCount, int column, int row);
    void popUp(int label, int column, int row);
    void nextLevel();
    AnimObject* createBanner(LONG height, int kind);
    void paintBanner(AnimObject* banner, const ANIMDRAW* draw);
    void drawShimmered(const ANIMDRAW* draw, Graphic* picture, Graphic* highlight, int x, int y);
    void destroyBanners();
    void play(int sound);
    void runPendingEvents();
    static DWORD BannerCallback(AnimObject* object, DWORD message, LPARAM parameter);
    static LRESULT CALLBACK StylusFilter(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    GameContext* m_context;
    Board* m_board;
    Board* m_menuBoard;
    int m_menuCount;
    int m_level;
    int m_speed;
    AnimObject* m_levelBanner;
    DWORD m_nextDrop;
    DWORD m_pausedAt;
    DWORD m_dismissAt;
    int m_state;
    AnimObject* m_gameOverBanner;
    BYTE m_newHighScore;
    int m_target;
    int m_removed;
    DWORD m_score;
    BYTE m_bonus;
    int m_newRank;

    Game(const Game&) = delete;
    Game& operator=(const Game&) = delete;
};
