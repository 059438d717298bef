// The plain rules: generator, level arithmetic, points and the flood.
#include "game_rules.h"

#include <stdlib.h>

namespace {

int Clamp(int value, int low, int high) { return value < low ? low : value > high ? high : value; }
int Min(int a, int b) { return a < b ? a : b; }
int Max(int a, int b) { return a > b ? a : b; }

} // namespace

PieceGenerator::PieceGenerator(RandomSource source)
    : changerCount(0), wildCount(0), clearCount(0), random(source) {}

int PieceGenerator::draw() const { return random ? random() : rand(); }

PieceKind PieceGenerator::generate(int level) {
    bool bonus = IsBonusLevel(level);
    int range = 360;
    if (level >= 4) range += 2 * (Clamp(level, 5, 20) - 5) + 5;
    PieceKind kind = MakeKind(static_cast<DWORD>((draw() % range) / 120));
    if (bonus) return kind;
    if (level >= 2) {
        changerCount++;
        if (changerCount > static_cast<DWORD>(draw() % 10 + 45)) {
            kind.special = 1;
            changerCount = 0;
            return kind;
        }
    }
    if (level >= 3) {
        wildCount++;
        if (wildCount > static_cast<DWORD>(draw() % 10 + 75)) {
            kind.wild = kind.special = 1;
            wildCount = 0;
            return kind;
        }
    }
    if (level >= 6) {
        clearCount++;
        if (clearCount > static_cast<DWORD>(draw() % 10 + 100)) {
            kind.wild = kind.clear = 1;
            // Level 7 and up, not a bonus level (already excluded), one in five.
            if (level >= 7 && draw() % 5 > 3) kind.special = 1;
            clearCount = 0;
        }
    }
    return kind;
}

int LevelSpeed(int level) {
    if (IsBonusLevel(level)) return 45 - (Min(level / 4, 10) * 25) / 10;
    return 65 - (Min(level, 10) * 30) / 10;
}

int LevelTarget(int level) {
    if (IsBonusLevel(level)) return 0;
    return 50 * Min(Max(level, 2) - 2, 10) + 60;
}

int StartRows(int level) { return level <= 4 ? 3 : level <= 8 ? 4 : 5; }

DWORD GroupPoints(int n) {
    if (n >= 16) return 20 * n + 1000;
    if (n >= 11) return 15 * n + 500;
    if (n >= 6) return 10 * n + 200;
    return 5 * n;
}

int PopUpLabel(int n) { return n >= 16 ? 3 : n >= 11 ? 2 : n >= 6 ? 1 : 0; }

int FloodGroup(const PieceGrid& grid, int column, int row, DWORD masks[kBoardRows]) {
    for (int r = 0; r < kBoardRows; r++) masks[r] = 0;
    if (column < 0 || column >= kBoardColumns || row < 0 || row >= kBoardRows) return 0;
    DWORD colour = grid.cells[row][column].kind.colour;
    // Breadth-first: a queue of at most every cell once.
    BYTE queue[kBoardRows * kBoardColumns];
    int head = 0, tail = 0, count = 1;
    masks[row] |= 1u << column;
    queue[tail++] = static_cast<BYTE>(row * kBoardColumns + column);
    static const int kSteps[4][2] = {{-1, 0}, {0, -1}, {1, 0}, {0, 1}};
    while (head < tail) {
        int at = queue[head++];
        int c0 = at % kBoardColumns, r0 = at / kBoardColumns;
        for (int s = 0; s < 4; s++) {
            int c = c0 + kSteps[s][0], r = r0 + kSteps[s][1];
            if (c < 0 || c >= kBoardColumns || r < 0 || r >= kBoardRows) continue;
            if (masks[r] & (1u << c)) continue;
            const GridCell& cell = grid.cells[r][c];
            if (!cell.occupied || !cell.landed) continue;
            if (!MatchesEveryColour(cell.kind) && cell.kind.colour != colour) continue;
            masks[r] |= 1u << c;
            queue[tail++] = static_cast<BYTE>(r * kBoardColumns + c);
            count++;
        }
    }
    return count;
}
