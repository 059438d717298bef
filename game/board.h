// Board: the 10 x 10 playing field and its spawn row. Each occupied cell owns
// the animation object that draws its piece and moves it while it falls; the
// board turns the game's calls into events on the window's frame clock.
// ScreenPiece is one cell, a piece taken off the board while it vanishes, or
// a free-standing piece that belongs to no board.
#pragma once

#include <windows.h>

#include "game_context.h"
#include "game_rules.h"

class AnimObject;
class Board;
struct ANIMDRAW;

const LONG kCellSize = 24;
const LONG kPieceDepth = 100;
// As a frame argument: the window's current frame plus one (or, for drops, the current frame).
const DWORD kNextFrame = 0xFFFFFFFF;
const LONG kSpawnRow = -1;
const LONG kDetachedRow = 10;

struct ScreenPiece {
    PieceKind kind;
    AnimObject* object; // owned; null for an empty cell
    Board* board;       // null for a free-standing piece
    // The parts the piece draws with; the board's for board pieces.
    const GameContext* context;
    LONG speed; // pixels per frame; negative while the landing bounce rises
    LONG vanishStep;
    LONG appearCount;
    LONG phase;
    LONG column;
    LONG row; // 0 to 9, -1 in the spawn row, 10 when taken off the board
    BYTE falling;
    BYTE detached;
    BYTE landed;
};

class Board {
public:
    // A playing board (spawn row at y 28, row 0 at 54) or the menu board (-24, 7).
    Board(const GameContext* context, bool menuBoard);
    // Destroys every piece, vanishing ones included, cancelling their events.
    ~Board();

    void spawnPiece(int column, const PieceKind& kind);
    void placePiece(int column, int row, const PieceKind& kind, DWORD frame);
    void dropSpawnPiece(int column, DWORD frame);
    void removePiece(int column, int row, DWORD frame);
    // Wipes the board from the top, two frames a row; the frame after which it is empty.
    DWORD clearAll(DWORD frame);

    // Truncates toward zero, so up to a cell above row 0 still answers row 0.
    bool cellAt(POINT point, int* column, int* row) const;
    POINT pieceCentre(int column, int row) const;
    void rotateColour(int column, int row);

    const ScreenPiece& cell(int column, int row) const { return m_cells[row][column]; }
    const ScreenPiece& spawnCell(int column) const { return m_spawn[column]; }
    void snapshot(PieceGrid* grid) const;

    LONG spawnTop() const { return m_spawnTop; }
    LONG boardTop() const { return m_boardTop; }
    int fallingCount() const { return m_fallingCount; }
    DWORD detachedCount() const { return m_detachedCount; }
    bool active() const { return m_active; }
    // Inactive: pieces neither move nor draw, and resume where they were.
    void setActive(bool active);
    const GameContext* context() const { return m_context; }

    // A piece of no board with its top-left corner at (x, y), appearing from the next frame.
    static ScreenPiece* CreateFreePiece(const GameContext* context, const PieceKind& kind, LONG x, LONG y);
    static void DestroyFreePiece(ScreenPiece* piece);
    // The changer's turn on any piece record: next colour, and its turn animation from the start.
    static void RotatePieceColour(ScreenPiece* piece);

    // Handlers of the board's timed events, each given the piece's object.
    static void StartFalling(AnimObject* object);
    static void VanishStep(AnimObject* object);
    static void AppearStep(AnimObject* object);

    static DWORD PieceCallback(AnimObject* object, DWORD message, LPARAM parameter);

private:
    static void ResetRecord(ScreenPiece* piece);
    static AnimObject* CreatePieceObject(const GameContext* context, ScreenPiece* piece, LONG x, LONG y);
    static void DestroyObject(AnimObject* object);
    void fillCell(ScreenPiece* piece, const PieceKind& kind, LONG y, bool landed, DWORD appearFrame);
    void moveRecord(ScreenPiece* from, ScreenPiece* to);
    // Takes the piece off its cell into a detached record that vanishes; null when it cannot.
    ScreenPiece* takeOff(ScreenPiece* piece);
    void forgetDetached(AnimObject* object);
    LONG targetTop(const ScreenPiece& piece) const;
    void fall(ScreenPiece* piece);
    static void frame(ScreenPiece* piece);
    static void paint(ScreenPiece* piece, const ANIMDRAW* draw);
    DWORD frameOrNext(DWORD frame) const;

    const GameContext* m_context;
    ScreenPiece m_cells[kBoardRows][kBoardColumns];
    ScreenPiece m_spawn[kBoardColumns];
    AnimObject** m_detached;
    DWORD m_detachedCount;
    DWORD m_detachedCapacity;
    LONG m_spawnTop;
    LONG m_boardTop;
    int m_fallingCount;
    bool m_active;

    Board(const Board&) = delete;
    Board& operator=(const Board&) = delete;
};
