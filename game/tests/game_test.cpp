// The game driven on a real hidden animation window with a seeded generator,
// frame by frame: moves and their points, the spawn row's timing and drops,
// level changes, bonus levels, pause, abandon, game over with the high-score
// entry, the menu's decorative board, and a whole game played by code.
#include "game_test_rig.h"

#include <functional>
#include <vector>

#include "mem_manager.h"

namespace {

using gametest::Rig;

// Board rows from text, top to bottom: digits are colours, W a wildcard,
// B a bomb, C a colour clearer (colour 2), H a changer (colour 1), . empty.
PieceKind KindFor(char ch) {
    switch (ch) {
    case 'W':
        return MakeKind(0, true, false, true);
    case 'V':
        return MakeKind(1, true, false, true);
    case 'B':
        return MakeKind(3, true, true, true);
    case 'C':
        return MakeKind(2, true, true, false);
    case 'H':
        return MakeKind(1, false, false, true);
    default:
        return MakeKind(DWORD(ch - '0'));
    }
}

struct GameTest : ::testing::Test {
    Rig rig{11};
    Game* game = nullptr;

    void SetUp() override { game = rig.game; }

    void StartPlaying(int level) {
        game->newGame(level);
        ASSERT_EQ(kStateChangingLevel, game->state());
        ASSERT_GT(rig.FramesUntil([&] { return game->state() == kStatePlaying; }, 200), 0);
    }
    // Replaces the board's pieces with the given rows (the last text row is row 9).
    void Lay(const std::vector<const char*>& rows) {
        Board* board = game->board();
        board->clearAll(kNextFrame);
        rig.window->RunFrames(kAllFrames);
        int first = kBoardRows - int(rows.size());
        for (int r = 0; r < int(rows.size()); r++)
            for (int c = 0; c < kBoardColumns && rows[r][c]; c++)
                if (rows[r][c] != '.') board->placePiece(c, first + r, KindFor(rows[r][c]), kNextFrame);
        rig.Frames(4);
    }
    void TapCell(int column, int row) { rig.Tap(24 * column + 12, 54 + 24 * row + 12); }
    int Occupied() { return rig.Occupied(*game->board()); }
};

TEST_F(GameTest, GroupsScoreByTheirClass) {
    StartPlaying(1);
    struct Case {
        int n;
        DWORD points;
        int popUps;
    } const cases[] = {{1, 0, 0},   {2, 0, 0},    {3, 15, 0},   {5, 25, 0},
                       {6, 260, 1}, {11, 665, 1}, {16, 1320, 1}};
    int removed = 0;
    for (const Case& k : cases) {
        SCOPED_TRACE(k.n);
        // A snake of n pieces of colour 0 from the bottom-left corner, colour 1 around it.
        std::vector<std::string> text(2, std::string(10, '1'));
        for (int i = 0; i < k.n; i++) text[1 - i / 10][i % 10] = '0';
        Lay({text[0].c_str(), text[1].c_str()});
        DWORD before = game->score();
        TapCell(0, 9);
        int gone = k.points ? k.n : 0;
        removed += gone;
        EXPECT_EQ(before + k.points, game->score());
        EXPECT_EQ(removed, game->removed());
        EXPECT_EQ(20 - gone, Occupied());
        EXPECT_EQ(k.popUps, rig.ObjectsAtDepth(55));
        rig.Frames(10);
        EXPECT_EQ(0, rig.ObjectsAtDepth(55)) << "the pop-up is gone after its rise";
    }
    EXPECT_EQ(kStatePlaying, game->state());
}

TEST_F(GameTest, PopUpRisesFromTheTappedPieceAwayFromTheEdges) {
    StartPlaying(1);
    Lay({"1111111111", "1111111111", "1110000000", "1111000000"});
    TapCell(9, 9); // column 7 on: leftwards; row 9: upwards
    AnimObject* popUp = nullptr;
    for (AnimObject* o = rig.window->GetFirstObject(); o; o = rig.window->GetNextObject(o))
        if (o->GetDepth() == 55) popUp = o;
    ASSERT_NE(nullptr, popUp);
    EXPECT_EQ(24 * 9 + 12 - 10, popUp->GetRect().left);
    EXPECT_EQ(54 + 24 * 9 + 12 - 8, popUp->GetRect().top);
    rig.Frames(8);
    EXPECT_EQ(24 * 9 + 12 - 22, popUp->GetRect().left) << "12 further along x";
    EXPECT_EQ(54 + 24 * 9 + 12 - 14, popUp->GetRect().top) << "6 further along y";
}

TEST_F(GameTest, FloodKeepsItsColourThroughWildcards) {
    StartPlaying(1);
    Lay({"00WV111222"});
    TapCell(0, 9);
    EXPECT_EQ(4, game->removed()) << "two 0s and the two wildcards, none of the 1s";
    for (int c = 4; c < 7; c++) EXPECT_EQ(1u, game->board()->cell(c, 9).kind.colour);
    EXPECT_EQ(6, Occupied());
}

TEST_F(GameTest, BombsClearTheirSquareOnTheBoard) {
    StartPlaying(1);
    std::vector<const char*> full(10, "0123012301");
    full[9] = "B123012301";
    Lay(full);
    TapCell(0, 9);
    EXPECT_EQ(9, game->removed()) << "a corner bomb takes the 3 x 3 part of its square";
    EXPECT_EQ(DWORD(10 * 9 + 200), game->score());
    EXPECT_EQ(91, Occupied());
    std::vector<const char*> middle(10, "1230123012");
    middle[5] = "12301B3012";
    Lay(middle);
    TapCell(5, 5);
    EXPECT_EQ(9 + 25, game->removed());
    EXPECT_EQ(75, Occupied()) << "exactly the 25 cells of the square went";
    for (int c = 3; c <= 7; c++)
        EXPECT_EQ(nullptr, game->board()->cell(c, 4).object) << "the columns closed up";
}

TEST_F(GameTest, ClearerTakesItsColourEveryWildcardAndEveryBomb) {
    StartPlaying(1);
    Lay({"2..W.0..B.", "1.2.V.0.1.", "C2.B..1.0."});
    TapCell(0, 9);
    EXPECT_EQ(8, game->removed()) << "the clearer, three 2s, two wildcards, two bombs";
    EXPECT_EQ(DWORD(10 * 8 + 200), game->score());
    for (int r = 0; r < kBoardRows; r++)
        for (int c = 0; c < kBoardColumns; c++) {
            const ScreenPiece& p = game->board()->cell(c, r);
            if (!p.object) continue;
            EXPECT_NE(2u, p.kind.colour);
            EXPECT_FALSE(p.kind.wild);
        }
    EXPECT_EQ(6, Occupied());
}

TEST_F(GameTest, ChangersAndWildcardsRemoveNothing) {
    StartPlaying(1);
    Lay({"22H..W00.."});
    TapCell(2, 9);
    EXPECT_EQ(2u, game->board()->cell(2, 9).kind.colour) << "the changer turned to its next colour";
    EXPECT_EQ(0, game->removed());
    TapCell(5, 9);
    EXPECT_EQ(0, game->removed());
    EXPECT_EQ(6, Occupied());
    EXPECT_EQ(0u, game->score());
    TapCell(0, 9);
    EXPECT_EQ(3, game->removed()) << "the changed piece now joins its new colour";
}

TEST_F(GameTest, TapJustAboveTheBoardCountsAsRowZero) {
    StartPlaying(1);
    std::vector<const char*> rows(10, "..........");
    rows[0] = "000.......";
    Lay(rows);
    rig.Tap(12, 54 - 24);
    EXPECT_EQ(0, game->removed()) << "a whole cell above row 0 is outside";
    rig.Tap(12, 54 - 23);
    EXPECT_EQ(3, game->removed());
}

TEST_F(GameTest, SpawnRowFillsAtTheLevelsPaceAndDropsAfter69Frames) {
    StartPlaying(1);
    Board* board = game->board();
    DWORD start = game->nextDrop();
    EXPECT_EQ(62, game->speed());
    std::vector<int> appeared(10, -1);
    int dropAt = -1;
    while (dropAt < 0 && rig.Now() < start + 100) {
        rig.Frame();
        for (int c = 0; c < kBoardColumns; c++)
            if (appeared[c] < 0 && board->spawnCell(c).object) appeared[c] = int(rig.Now() - start);
        if (game->nextDrop() != start) dropAt = int(rig.Now() - start);
    }
    EXPECT_EQ((std::vector<int>{7, 13, 19, 25, 31, 38, 44, 50, 56, 62}), appeared);
    EXPECT_EQ(69, dropAt);
    for (int c = 0; c < kBoardColumns; c++) {
        EXPECT_EQ(nullptr, board->spawnCell(c).object);
        EXPECT_NE(nullptr, board->cell(c, 6).object) << "dropped onto the three starting rows";
    }
}

TEST_F(GameTest, PauseOfAnyLengthKeepsTheSpawnTiming) {
    StartPlaying(1);
    Board* board = game->board();
    DWORD start = game->nextDrop();
    while (rig.Now() < start + 20) rig.Frame();
    game->togglePause();
    EXPECT_EQ(kStatePaused, game->state());
    EXPECT_EQ(kScreenPause, rig.screens.screen);
    rig.Frames(333);
    int spawned = 0;
    for (int c = 0; c < kBoardColumns; c++) spawned += board->spawnCell(c).object != nullptr;
    EXPECT_EQ(3, spawned) << "nothing spawns while paused";
    game->togglePause();
    EXPECT_EQ(kStatePlaying, game->state());
    EXPECT_EQ(kScreenGame, rig.screens.screen);
    EXPECT_EQ(start + 333, game->nextDrop());
    int fourth = rig.FramesUntil([&] { return board->spawnCell(3).object != nullptr; }, 100);
    EXPECT_EQ(5, fourth) << "the fourth piece comes 25 frames into the cycle, as without the pause";
    int drop = rig.FramesUntil([&] { return game->nextDrop() != start + 333; }, 100);
    EXPECT_EQ(69 - 25, drop);
}

TEST_F(GameTest, PauseDuringALevelChangeCompletesItFirst) {
    game->newGame(1);
    EXPECT_NE(nullptr, game->levelBanner());
    EXPECT_FALSE(rig.screens.buttonsOn);
    game->togglePause();
    EXPECT_EQ(kStatePaused, game->state());
    EXPECT_EQ(nullptr, game->levelBanner());
    EXPECT_EQ(30, Occupied()) << "the level's three rows are on the board";
    EXPECT_TRUE(rig.screens.buttonsOn);
}

TEST_F(GameTest, OverflowEndsANormalGameWithTheHighScoreEntry) {
    for (HighScoreEntry& e : rig.table.entries) e = HighScoreEntry{0, 0, 0, 0};
    StartPlaying(1);
    std::vector<const char*> full = {"0001010101", "2323232323", "3232323232", "2323232323", "3232323232",
                                     "2323232323", "3232323232", "2323232323", "3232323232", "2323232323"};
    Lay(full);
    rig.Tap(12, 54 + 12);
    EXPECT_EQ(15u, game->score());
    EXPECT_EQ(kStatePlaying, game->state());
    full[0] = "3232323232";
    Lay(full);
    ASSERT_GT(rig.FramesUntil([&] { return game->state() == kStateNoGame; }, 100), 0);
    ASSERT_NE(nullptr, game->gameOverBanner());
    EXPECT_EQ(0, game->newRank());
    EXPECT_TRUE(game->newHighScore());
    EXPECT_EQ(15u, rig.table.entries[0].score);
    EXPECT_EQ(1u, rig.table.entries[0].level);
    EXPECT_EQ(TodayDayNumber(), rig.table.entries[0].date);
    EXPECT_EQ(1, rig.screens.saves) << "the records are written at once";
    EXPECT_FALSE(rig.screens.buttonsOn);
    LONG height = game->gameOverBanner()->GetHeight();
    EXPECT_EQ(37 + 10 + 37, height) << "two lines with the new-high-score line";

    rig.Frames(29);
    TapCell(5, 5);
    EXPECT_NE(nullptr, game->gameOverBanner()) << "taps within the first 30 frames do nothing";
    rig.Frames(2);
    TapCell(5, 5);
    EXPECT_EQ(nullptr, game->gameOverBanner());
    EXPECT_EQ(kScreenHighScores, rig.screens.screen);
    EXPECT_EQ(0, rig.screens.highlight);
    EXPECT_EQ(0, Occupied());
    rig.Frames(4);
    EXPECT_EQ(0, rig.ObjectsAtDepth(kPieceDepth)) << "the cleared board has vanished";
}

TEST_F(GameTest, GameOverWithoutAPlaceGoesToTheMainMenu) {
    StartPlaying(1);
    Lay(std::vector<const char*>(10, "0101010101"));
    ASSERT_GT(rig.FramesUntil([&] { return game->state() == kStateNoGame; }, 100), 0);
    EXPECT_EQ(-1, game->newRank());
    EXPECT_EQ(37, game->gameOverBanner()->GetHeight());
    EXPECT_EQ(0, rig.screens.saves);
    rig.Frames(31);
    rig.Tap(100, 100);
    EXPECT_EQ(kScreenMainMenu, rig.screens.screen);
    EXPECT_EQ(-1, rig.screens.highlight);
}

TEST_F(GameTest, BonusOverflowMovesOnWithoutPenalty) {
    StartPlaying(5);
    EXPECT_TRUE(game->bonus());
    EXPECT_EQ(0, game->target());
    EXPECT_EQ(43, game->speed());
    Lay(std::vector<const char*>(10, "0101010101"));
    ASSERT_GT(rig.FramesUntil([&] { return game->state() == kStateChangingLevel; }, 200), 0);
    EXPECT_EQ(5, game->level());
    ASSERT_GT(rig.FramesUntil([&] { return game->level() == 6; }, 40), 10);
    EXPECT_EQ(0u, game->score());
    EXPECT_FALSE(game->bonus());
    ASSERT_GT(rig.FramesUntil([&] { return game->state() == kStatePlaying; }, 200), 0);
    EXPECT_EQ(40, Occupied()) << "level 6 starts with four rows";
}

TEST_F(GameTest, BonusPiecesRainIntoChosenColumns) {
    StartPlaying(10);
    EXPECT_EQ(40, game->speed());
    int drops = 0;
    for (int i = 0; i < 80; i++) {
        int before = Occupied();
        rig.Frame();
        drops += Occupied() - before;
        EXPECT_EQ(kStatePlaying, game->state());
    }
    EXPECT_GT(drops, 10) << "a piece every 4 frames, dropped once it has appeared";
    EXPECT_LE(drops, 21);
}

TEST_F(GameTest, NextLevelWaitsForTheLastFall) {
    StartPlaying(1);
    std::vector<const char*> rows(10, "0000000000");
    rows[0] = "1111111111";
    Lay(rows);
    TapCell(0, 9);
    EXPECT_EQ(90, game->removed());
    EXPECT_EQ(DWORD(20 * 90 + 1000), game->score());
    EXPECT_EQ(kStateChangingLevel, game->state());
    ASSERT_GE(rig.FramesUntil([&] { return game->board()->fallingCount() > 0; }, 10), 0);
    int settled = rig.FramesUntil([&] {
        EXPECT_EQ(1, game->level()) << "no new level while pieces fall";
        return game->board()->fallingCount() == 0;
    });
    ASSERT_GT(settled, 5) << "the top row takes a while to fall nine rows";
    int next = rig.FramesUntil([&] { return game->level() == 2; }, 10);
    EXPECT_GE(next, 0);
    EXPECT_LE(next, 2);
}

TEST_F(GameTest, AdvancedStartAndTheLevelCeiling) {
    game->newGame(6);
    EXPECT_EQ(6, game->level());
    EXPECT_EQ(5, DisplayedLevel(game->level()));
    EXPECT_EQ(7500u, game->score());
    EXPECT_EQ(47, game->speed());
    EXPECT_EQ(260, game->target());
    ASSERT_NE(nullptr, game->levelBanner());
    EXPECT_EQ(25, game->levelBanner()->GetHeight());
    EXPECT_EQ(53 + (294 - 53 - 25) / 2, game->levelBanner()->GetRect().top);
    EXPECT_EQ(kScreenGame, rig.screens.screen);
    rig.Frames(2);
    // The banner shows the word and the digit 5 in the middle of the window: something is drawn there.
    EXPECT_NE(RGB(0, 0, 0), rig.Shown(120, 53 + (294 - 53 - 25) / 2 + 12));
    game->newGame(1000);
    EXPECT_EQ(999, game->level());
    EXPECT_EQ(0u, game->score());
    game->newGame(995);
    EXPECT_EQ(20, game->speed());
}

TEST_F(GameTest, AbandonClearsEverythingAndShowsTheMainMenu) {
    StartPlaying(1);
    rig.Frames(20);
    game->abandon();
    EXPECT_EQ(kStateNoGame, game->state());
    EXPECT_EQ(kScreenMainMenu, rig.screens.screen);
    EXPECT_EQ(0, Occupied());
    rig.Frames(4);
    EXPECT_EQ(0, rig.ObjectsAtDepth(kPieceDepth)) << "the last rows finish vanishing";
    rig.Frames(100);
    EXPECT_EQ(0, rig.ObjectsAtDepth(kPieceDepth)) << "no tick spawns after the game ended";
    rig.Tap(100, 100);
    EXPECT_EQ(kScreenMainMenu, rig.screens.screen);
}

TEST_F(GameTest, TimedEventsReachTheirHandlers) {
    rig.window->ScheduleEvent(rig.Now(), kEventButtonPress, 3);
    rig.window->ScheduleEvent(rig.Now(), 77, 0); // other types are ignored
    rig.Frame();
    EXPECT_EQ((std::vector<int>{3}), rig.screens.pressSteps);
}

TEST_F(GameTest, MenuBoardRainsAndThinsItsBottomRow) {
    game->createMenuBoard();
    Board* menu = game->menuBoard();
    ASSERT_NE(nullptr, menu);
    EXPECT_EQ(7, menu->boardTop());
    int most = 0, removals = 0;
    for (int i = 0; i < 1500; i++) {
        rig.Frame();
        int n = rig.Occupied(*menu);
        most = std::max(most, n);
        removals += menu->detachedCount() > 0;
        for (int c = 0; c < kBoardColumns; c++) EXPECT_EQ(nullptr, menu->spawnCell(c).object);
    }
    EXPECT_GT(most, 30);
    EXPECT_GT(removals, 0);
    game->destroyMenuBoard();
    EXPECT_EQ(nullptr, game->menuBoard());
    EXPECT_EQ(0, rig.ObjectsAtDepth(kPieceDepth));
}

// Plays a whole game: every `pace` frames the largest group on the board is
// tapped (or, with none, a changer). Returns score, level and frames.
std::vector<DWORD> PlayWholeGame(DWORD seed, int pace) {
    Rig rig(seed);
    Game* game = rig.game;
    game->newGame(1);
    DWORD frames = 0;
    while (game->state() != kStateNoGame && frames < 60000) {
        rig.Frame();
        frames++;
        if (game->state() != kStatePlaying || frames % pace) continue;
        PieceGrid grid;
        game->board()->snapshot(&grid);
        int bestCount = 0, bestC = -1, bestR = -1;
        for (int r = 0; r < kBoardRows; r++)
            for (int c = 0; c < kBoardColumns; c++) {
                const GridCell& cell = grid.cells[r][c];
                if (!cell.occupied || !cell.landed) continue;
                int n = 0;
                DWORD masks[kBoardRows];
                const PieceKind& k = cell.kind;
                if (IsChanger(k) || IsWildcard(k))
                    n = IsChanger(k) ? 1 : 0;
                else if (IsBomb(k) || IsColourClearer(k))
                    n = 5;
                else
                    n = FloodGroup(grid, c, r, masks);
                if (n > bestCount) {
                    bestCount = n;
                    bestC = c;
                    bestR = r;
                }
            }
        if (bestC >= 0 && bestCount != 2) rig.Tap(24 * bestC + 12, 54 + 24 * bestR + 12);
    }
    return {game->score(), DWORD(game->level()), frames, DWORD(game->state())};
}

TEST(WholeGame, SeededGameIsPlayedToItsEndTheSameWayTwice) {
    std::vector<DWORD> first = PlayWholeGame(2026, 20);
    std::vector<DWORD> second = PlayWholeGame(2026, 20);
    EXPECT_EQ(first, second);
    EXPECT_EQ(DWORD(kStateNoGame), first[3]) << "the game ended by overflow";
    EXPECT_GE(first[1], 3u) << "levels were passed on the way";
    EXPECT_GT(first[0], 500u);
    printf("seeded game: %lu points, level %lu, %lu frames\n", first[0], first[1], first[2]);
}

} // namespace

namespace {

TEST(GameLifetime, GameGoesCleanlyInTheMiddleOfEverything) {
    Rig rig(3);
    rig.game->newGame(1);
    rig.Frames(60);
    rig.game->createMenuBoard();
    rig.Frames(20);
    rig.game->board()->clearAll(kNextFrame);
    rig.game->newGame(6); // a banner and a level change pending
    delete rig.game;
    rig.game = nullptr;
    EXPECT_EQ(nullptr, rig.context.game);
    rig.Frames(60); // nothing scheduled reaches what is gone
    EXPECT_EQ(0, rig.ObjectsAtDepth(kPieceDepth));
    EXPECT_EQ(0, rig.ObjectsAtDepth(75));
    const Schedule& schedule = rig.window->GetSchedule();
    DWORD pending = 0;
    for (DWORD i = 0; i < schedule.GetCount(); i++) pending += schedule.Get(i)->inUse;
    EXPECT_EQ(0u, pending) << "the level's own event fell due with no game to take it";
    rig.Tap(100, 100); // the stylus handler left with the game
}

} // namespace
