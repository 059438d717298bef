// The game's plain rules, free of any window: the five piece kinds, the piece
// generator, level arithmetic, points for a group, and the flood that
// collects a group of like pieces.
#pragma once

#include <windows.h>

const int kBoardColumns = 10;
const int kBoardRows = 10;
const int kHighestLevel = 999;

// Colour and flags of a piece, copied by value into a cell.
struct PieceKind {
    DWORD colour; // 0 to 3; 4 for a record never filled or vacated by a move
    BYTE wild;
    BYTE clear;
    BYTE special;
};

const DWORD kNoColour = 4;

inline PieceKind MakeKind(DWORD colour, bool wild = false, bool clear = false, bool special = false) {
    PieceKind kind = {colour, static_cast<BYTE>(wild), static_cast<BYTE>(clear), static_cast<BYTE>(special)};
    return kind;
}
inline bool MatchesEveryColour(const PieceKind& k) { return k.wild && k.special; }
inline bool IsChanger(const PieceKind& k) { return k.special && !k.wild && !k.clear; }
inline bool IsWildcard(const PieceKind& k) { return k.wild && k.special && !k.clear; }
inline bool IsBomb(const PieceKind& k) { return k.clear && k.special; }
inline bool IsColourClearer(const PieceKind& k) { return k.clear && !k.special; }

// The generator draws from a rand()-like source (results 0 to at least 32767).
typedef int (*RandomSource)();

// Makes the pieces of level L. Its three counters live for the whole run, so
// the specials keep their rhythm across levels and games.
struct PieceGenerator {
    DWORD changerCount;
    DWORD wildCount;
    DWORD clearCount;
    RandomSource random;

    explicit PieceGenerator(RandomSource source = nullptr);
    PieceKind generate(int level);
    int draw() const;
};

inline bool IsBonusLevel(int level) { return level % 5 == 0; }
// Bonus levels do not count: 1 to 4 show 1 to 4, 5 shows 4, 6 shows 5.
inline int DisplayedLevel(int level) { return level - level / 5; }
inline int ClampLevel(int level) { return level < kHighestLevel ? level : kHighestLevel; }
// Frames for the spawn row to fill (normal levels) or between raining pieces x 10 (bonus levels).
int LevelSpeed(int level);
// Pieces to remove; 0 on a bonus level, which has no target.
int LevelTarget(int level);
// Board rows filled when a level starts.
int StartRows(int level);
// Points for a group of n removed pieces.
DWORD GroupPoints(int removed);
// The pop-up label for n removed pieces: 1 to 3, or 0 for none.
int PopUpLabel(int removed);

// What the flood needs to know of one cell.
struct GridCell {
    PieceKind kind;
    bool occupied;
    bool landed;
};
struct PieceGrid {
    GridCell cells[kBoardRows][kBoardColumns]; // [row][column], row 0 at the top
};

// The group of the piece at (column, row): bit c of masks[r] for each member.
// Neighbours (left, up, right, down) join when occupied, landed, and either
// of the tapped piece's colour or matching every colour; joining is always
// tested against the tapped colour, so wildcards never switch the colour
// being followed. Returns the member count (the tapped cell always counts).
int FloodGroup(const PieceGrid& grid, int column, int row, DWORD masks[kBoardRows]);
