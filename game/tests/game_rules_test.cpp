// The plain rules without a window: the generator's rhythm of specials and
// its colours by level, level speeds and targets, points, and the flood.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "game_rules.h"

namespace {

// A seeded generator of the runtime's kind (15-bit results).
DWORD g_seed = 1;
int SeededRand() {
    g_seed = g_seed * 1103515245u + 12345u;
    return static_cast<int>((g_seed >> 16) & 0x7FFF);
}

enum Kind { kPlain, kChanger, kWild, kClearer, kBomb };
Kind KindOf(const PieceKind& k) {
    if (IsChanger(k)) return kChanger;
    if (IsWildcard(k)) return kWild;
    if (IsBomb(k)) return kBomb;
    if (IsColourClearer(k)) return kClearer;
    EXPECT_FALSE(k.wild || k.clear || k.special) << "an unknown flag combination";
    return kPlain;
}

TEST(Generator, SpecialsComeInTheirRhythm) {
    g_seed = 42;
    PieceGenerator generator(SeededRand);
    // Intervals in the steps each counter sees: every piece for changers, the
    // pieces that were no changer for wildcards, and those that were neither for clearers.
    std::vector<int> changerGaps, wildGaps, clearGaps;
    int sinceChanger = 0, sinceWild = 0, sinceClear = 0, bombs = 0, clears = 0;
    for (int i = 0; i < 200000; i++) {
        Kind kind = KindOf(generator.generate(7));
        sinceChanger++;
        if (kind == kChanger) {
            changerGaps.push_back(sinceChanger);
            sinceChanger = 0;
            continue;
        }
        sinceWild++;
        if (kind == kWild) {
            wildGaps.push_back(sinceWild);
            sinceWild = 0;
            continue;
        }
        sinceClear++;
        if (kind == kClearer || kind == kBomb) {
            clearGaps.push_back(sinceClear);
            sinceClear = 0;
            clears++;
            bombs += kind == kBomb;
        }
    }
    ASSERT_GT(changerGaps.size(), 3000u);
    ASSERT_GT(wildGaps.size(), 1500u);
    ASSERT_GT(clearGaps.size(), 1000u);
    std::map<int, int> seen;
    for (int gap : changerGaps) {
        EXPECT_GE(gap, 46);
        EXPECT_LE(gap, 55);
        seen[gap]++;
    }
    EXPECT_EQ(10u, seen.size()) << "every interval from 46 to 55 occurs";
    for (int gap : wildGaps) {
        EXPECT_GE(gap, 76);
        EXPECT_LE(gap, 85);
    }
    for (int gap : clearGaps) {
        EXPECT_GE(gap, 101);
        EXPECT_LE(gap, 110);
    }
    double bombShare = double(bombs) / clears;
    EXPECT_GT(bombShare, 0.15);
    EXPECT_LT(bombShare, 0.25);
}

std::map<Kind, int> Census(int level, int count, std::map<DWORD, int>* colours) {
    PieceGenerator generator(SeededRand);
    std::map<Kind, int> kinds;
    for (int i = 0; i < count; i++) {
        PieceKind k = generator.generate(level);
        kinds[KindOf(k)]++;
        EXPECT_LT(k.colour, 4u);
        (*colours)[k.colour]++;
    }
    return kinds;
}

TEST(Generator, KindsAndColoursByLevel) {
    g_seed = 7;
    std::map<DWORD, int> colours;
    std::map<Kind, int> kinds = Census(1, 20000, &colours);
    EXPECT_EQ(20000, kinds[kPlain]) << "level 1 makes plain pieces only";
    EXPECT_EQ(0, colours[3]) << "colour 3 only from level 4";
    for (DWORD c = 0; c < 3; c++) EXPECT_NEAR(20000 / 3, colours[c], 400);

    colours.clear();
    kinds = Census(2, 20000, &colours);
    EXPECT_GT(kinds[kChanger], 300);
    EXPECT_EQ(0, kinds[kWild] + kinds[kClearer] + kinds[kBomb]);
    kinds = Census(3, 20000, &colours);
    EXPECT_GT(kinds[kWild], 150);
    EXPECT_EQ(0, kinds[kClearer] + kinds[kBomb]);
    EXPECT_EQ(0, colours[3]);

    colours.clear();
    kinds = Census(4, 100000, &colours);
    EXPECT_NEAR(100000 * 5 / 365, colours[3], 300) << "5 in 365 at level 4";
    kinds = Census(6, 50000, &colours);
    EXPECT_GT(kinds[kClearer], 300);
    EXPECT_EQ(0, kinds[kBomb]) << "bombs only from level 7";

    colours.clear();
    kinds = Census(21, 100000, &colours);
    EXPECT_NEAR(100000 * 35 / 395, colours[3], 500) << "35 in 395 from level 20 on";
    EXPECT_GT(kinds[kBomb], 50);

    for (int bonus : {5, 10, 15, 100}) {
        colours.clear();
        kinds = Census(bonus, 10000, &colours);
        EXPECT_EQ(10000, kinds[kPlain]) << "bonus level " << bonus << " makes no specials";
    }
}

TEST(Generator, CountersSkipBonusLevelsAndKeepTheirCount) {
    // A source that never lets a threshold pass (9 gives the largest threshold).
    PieceGenerator generator([]() { return 9; });
    for (int i = 0; i < 40; i++) generator.generate(6);
    EXPECT_EQ(40u, generator.changerCount);
    EXPECT_EQ(40u, generator.wildCount);
    EXPECT_EQ(40u, generator.clearCount);
    for (int i = 0; i < 30; i++) generator.generate(5);
    EXPECT_EQ(40u, generator.changerCount) << "bonus levels leave the counters alone";
    for (int i = 0; i < 15; i++) generator.generate(6);
    EXPECT_EQ(0u, generator.changerCount) << "the 55th step past 54 makes a changer";
    EXPECT_EQ(54u, generator.wildCount) << "the changer ended that piece before the wildcard step";
}

TEST(Levels, SpeedsTargetsRowsAndTheCeiling) {
    EXPECT_EQ(62, LevelSpeed(1));
    EXPECT_EQ(38, LevelSpeed(9));
    EXPECT_EQ(35, LevelSpeed(11));
    EXPECT_EQ(35, LevelSpeed(999));
    EXPECT_EQ(43, LevelSpeed(5));
    EXPECT_EQ(40, LevelSpeed(10));
    EXPECT_EQ(20, LevelSpeed(40));
    EXPECT_EQ(20, LevelSpeed(995));
    EXPECT_EQ(60, LevelTarget(1));
    EXPECT_EQ(60, LevelTarget(2));
    EXPECT_EQ(110, LevelTarget(3));
    EXPECT_EQ(560, LevelTarget(12));
    EXPECT_EQ(560, LevelTarget(999));
    EXPECT_EQ(0, LevelTarget(5));
    EXPECT_EQ(3, StartRows(4));
    EXPECT_EQ(4, StartRows(5));
    EXPECT_EQ(4, StartRows(8));
    EXPECT_EQ(5, StartRows(9));
    EXPECT_EQ(4, DisplayedLevel(5));
    EXPECT_EQ(5, DisplayedLevel(6));
    EXPECT_EQ(9, DisplayedLevel(11));
    EXPECT_EQ(999, ClampLevel(1000));
    EXPECT_EQ(999, ClampLevel(999));
    EXPECT_TRUE(IsBonusLevel(995));
}

TEST(Points, GroupClassesAndLabels) {
    EXPECT_EQ(5u, GroupPoints(1));
    EXPECT_EQ(25u, GroupPoints(5));
    EXPECT_EQ(260u, GroupPoints(6));
    EXPECT_EQ(300u, GroupPoints(10));
    EXPECT_EQ(665u, GroupPoints(11));
    EXPECT_EQ(1320u, GroupPoints(16));
    EXPECT_EQ(3000u, GroupPoints(100));
    EXPECT_EQ(0, PopUpLabel(5));
    EXPECT_EQ(1, PopUpLabel(6));
    EXPECT_EQ(2, PopUpLabel(15));
    EXPECT_EQ(3, PopUpLabel(16));
}

// A grid from text rows: digits are colours, W a wildcard, B a bomb, . empty, lower case a piece still
// falling.
PieceGrid Grid(const std::vector<const char*>& rows) {
    PieceGrid g = {};
    for (int r = 0; r < kBoardRows; r++)
        for (int c = 0; c < kBoardColumns; c++) {
            char ch = r < int(rows.size()) ? rows[r][c] : '.';
            GridCell& cell = g.cells[r][c];
            cell.occupied = ch != '.';
            cell.landed = !(ch >= 'a' && ch <= 'd');
            if (ch >= 'a' && ch <= 'd') ch = char('0' + (ch - 'a'));
            cell.kind = ch == 'W'   ? MakeKind(2, true, false, true)
                        : ch == 'B' ? MakeKind(1, true, true, true)
                        : ch == '.' ? MakeKind(kNoColour)
                                    : MakeKind(DWORD(ch - '0'));
        }
    return g;
}

TEST(Flood, FollowsTheTappedColourThroughWildcards) {
    DWORD masks[kBoardRows];
    PieceGrid g = Grid({"00WW111...", "1.W0......", "0.1......."});
    EXPECT_EQ(6, FloodGroup(g, 0, 0, masks)) << "0,0 + W,W + the 0 below a wildcard + W below";
    EXPECT_EQ(0x0Fu, masks[0]);
    EXPECT_EQ(0x0Cu, masks[1]);
    EXPECT_EQ(0u, masks[2]);
    EXPECT_EQ(7, FloodGroup(g, 4, 0, masks)) << "the 1s pass the same wildcards to the 1 below them";
    EXPECT_EQ(0x7Cu, masks[0]);
    EXPECT_EQ(0x04u, masks[1]);
    EXPECT_EQ(0x04u, masks[2]);

    PieceGrid falling = Grid({"0a0B......"});
    EXPECT_EQ(1, FloodGroup(falling, 0, 0, masks)) << "a piece still in the air joins nothing";
    EXPECT_EQ(2, FloodGroup(falling, 2, 0, masks)) << "a bomb joins any group";
    EXPECT_EQ(4, FloodGroup(falling, 1, 0, masks))
        << "a tapped piece in the air gathers its landed neighbours";

    PieceGrid full = Grid(std::vector<const char*>(10, "3333333333"));
    EXPECT_EQ(100, FloodGroup(full, 9, 9, masks));
    for (int r = 0; r < kBoardRows; r++) EXPECT_EQ(0x3FFu, masks[r]);
    EXPECT_EQ(0, FloodGroup(full, 10, 0, masks));
}

} // namespace
