// The board on a real hidden animation window, frame by frame: appearing,
// drops, falls with the touch rule and the bounce, removal and its falls,
// clearing, and the inactive board.
#include "game_test_rig.h"

#include <vector>

#include "mem_manager.h"

namespace {

using gametest::Rig;

const PieceKind kRed = MakeKind(0), kGreen = MakeKind(1);

LONG Top(const ScreenPiece& p) { return p.object ? p.object->GetRect().top : -1000; }

int EventsOfType(Rig& rig, DWORD type) {
    const Schedule& s = rig.window->GetSchedule();
    int n = 0;
    for (DWORD i = 0; i < s.GetCount(); i++) {
        const SCHEDENTRY* e = s.Get(i);
        n += e->inUse && !e->object && e->code == type;
    }
    return n;
}

struct BoardTest : ::testing::Test {
    Rig rig{1, false};
    Board* board = nullptr;
    void SetUp() override {
        board = rig.board = MEMNEW(Board, (&rig.context, false));
        rig.board = nullptr;
    }
    void TearDown() override {
        if (board) MEMDELETE(board);
    }
    void FillColumn(int column, int fromRow) {
        for (int r = fromRow; r < kBoardRows; r++)
            board->placePiece(column, r, r % 2 ? kRed : kGreen, kNextFrame);
    }
};

TEST_F(BoardTest, SpawnedPieceAppearsOverThreeFramesAtItsCell) {
    board->spawnPiece(3, kGreen);
    const ScreenPiece& p = board->spawnCell(3);
    ASSERT_NE(nullptr, p.object);
    EXPECT_EQ(72, p.object->GetRect().left);
    EXPECT_EQ(28, p.object->GetRect().top);
    EXPECT_EQ(kPieceDepth, p.object->GetDepth());
    // Its first step is due at the next frame number: the frame about to run shows 3, then 2, 1, 0.
    std::vector<LONG> counts;
    for (int i = 0; i < 5; i++) {
        counts.push_back(p.appearCount);
        rig.Frame();
    }
    EXPECT_EQ((std::vector<LONG>{3, 3, 2, 1, 0}), counts);
    EXPECT_EQ(0, p.landed) << "a spawn piece has not landed";
    EXPECT_NE(RGB(0, 0, 0), rig.Shown(84, 40)) << "the piece is drawn";
}

TEST_F(BoardTest, DropIntoAFullColumnKeepsTheSpawnPiece) {
    FillColumn(0, 0);
    board->spawnPiece(0, kRed);
    AnimObject* spawned = board->spawnCell(0).object;
    AnimObject* top = board->cell(0, 0).object;
    board->dropSpawnPiece(0, kNextFrame);
    EXPECT_EQ(spawned, board->spawnCell(0).object);
    EXPECT_EQ(top, board->cell(0, 0).object);
    EXPECT_EQ(0, EventsOfType(rig, kEventStartFalling));
    rig.Frames(3);
    EXPECT_EQ(0, board->fallingCount());
}

TEST_F(BoardTest, DropFallsWithTheBounceAndSettlesOnTheFifthFrame) {
    FillColumn(5, 9); // one piece at the bottom: the drop lands in row 8, top 246
    board->spawnPiece(5, kRed);
    rig.Frames(2);
    EXPECT_EQ(2, board->spawnCell(5).appearCount);
    board->dropSpawnPiece(5, kNextFrame);
    const ScreenPiece& p = board->cell(5, 8);
    ASSERT_NE(nullptr, p.object);
    EXPECT_EQ(0, p.appearCount) << "the drop cuts the appear animation short";
    EXPECT_EQ(nullptr, board->spawnCell(5).object);
    std::vector<LONG> tops;
    int reached = -1;
    for (int i = 0; i < 40 && (p.falling || i == 0); i++) {
        rig.Frame();
        tops.push_back(Top(p));
        if (reached < 0 && Top(p) == 246) reached = i;
        if (p.falling) {
            EXPECT_EQ(1, board->fallingCount());
        }
    }
    ASSERT_GE(reached, 1);
    for (int i = 1; i <= reached; i++) EXPECT_GT(tops[i], tops[i - 1]) << "falls faster each frame";
    // Up 2, up 1, held, down, settled on the fifth frame after reaching its place.
    ASSERT_EQ(size_t(reached + 6), tops.size());
    EXPECT_EQ((std::vector<LONG>{246, 244, 243, 243, 244, 246}),
              std::vector<LONG>(tops.begin() + reached, tops.end()));
    EXPECT_EQ(0, p.falling);
    EXPECT_EQ(1, p.landed);
    EXPECT_EQ(0, board->fallingCount()) << "the count drops only once it settled";
}

TEST_F(BoardTest, PieceLandsAtSpeedZeroOnAPieceStillFalling) {
    board->spawnPiece(2, kRed);
    board->dropSpawnPiece(2, kNextFrame); // to row 9
    board->spawnPiece(2, kGreen);
    board->dropSpawnPiece(2, rig.Now() + 1); // to row 8, one frame later
    const ScreenPiece& lower = board->cell(2, 9);
    const ScreenPiece& upper = board->cell(2, 8);
    int frames = rig.FramesUntil([&] { return upper.landed != 0; }, 100);
    ASSERT_GE(frames, 1);
    EXPECT_EQ(1, lower.falling);
    EXPECT_EQ(0, lower.landed);
    EXPECT_EQ(1, upper.falling) << "it stays falling";
    EXPECT_EQ(0, upper.speed);
    EXPECT_EQ(2, board->fallingCount());
    EXPECT_LE(Top(upper) + kCellSize, Top(lower) + lower.speed) << "it touches, never overlaps";
    rig.FramesUntil([&] { return board->fallingCount() == 0; }, 100);
    EXPECT_EQ(270, Top(lower));
    EXPECT_EQ(246, Top(upper));
}

TEST_F(BoardTest, RemovalShiftsTheColumnAndFallsStartOneFrameApart) {
    FillColumn(4, 5); // rows 5 to 9
    rig.Frames(4);
    AnimObject* above[3] = {board->cell(4, 5).object, board->cell(4, 6).object, board->cell(4, 7).object};
    DWORD f = rig.Now() + 1;
    board->removePiece(4, 8, kNextFrame);
    EXPECT_EQ(1u, board->detachedCount());
    EXPECT_EQ(nullptr, board->cell(4, 5).object);
    EXPECT_EQ(above[0], board->cell(4, 6).object);
    EXPECT_EQ(above[2], board->cell(4, 8).object);
    EXPECT_EQ(3, EventsOfType(rig, kEventStartFalling));
    // The lowest starts at f, the others one frame apart.
    while (rig.Now() < f) rig.Frame();
    rig.Frame();
    EXPECT_EQ(1, board->cell(4, 8).falling);
    EXPECT_EQ(0, board->cell(4, 7).falling);
    rig.Frame();
    EXPECT_EQ(1, board->cell(4, 7).falling);
    EXPECT_EQ(0, board->cell(4, 6).falling);
    rig.FramesUntil([&] { return board->fallingCount() == 0 && board->detachedCount() == 0; }, 200);
    EXPECT_EQ(54 + 24 * 8, Top(board->cell(4, 8)));
    EXPECT_EQ(54 + 24 * 6, Top(board->cell(4, 6)));
}

TEST_F(BoardTest, RemovalInRowZeroMovesNothing) {
    FillColumn(9, 0);
    rig.Frames(4);
    board->removePiece(9, 0, kNextFrame);
    EXPECT_EQ(nullptr, board->cell(9, 0).object);
    EXPECT_EQ(0, EventsOfType(rig, kEventStartFalling));
    EXPECT_EQ(9, rig.Occupied(*board));
    board->removePiece(9, 0, kNextFrame); // empty now: nothing happens
    EXPECT_EQ(1u, board->detachedCount());
    // Vanish frames 1, 2, 3 from the next frame number on, then gone on the fourth.
    rig.Frames(4);
    ASSERT_EQ(1u, board->detachedCount());
    rig.Frame();
    EXPECT_EQ(0u, board->detachedCount());
    EXPECT_EQ(9, rig.ObjectsAtDepth(kPieceDepth));
}

TEST_F(BoardTest, ClearAllWipesTwoFramesARow) {
    DWORD f = rig.Now() + 1;
    EXPECT_EQ(f + 2, board->clearAll(kNextFrame)) << "an empty board";
    for (int c = 0; c < kBoardColumns; c++) FillColumn(c, 0);
    board->spawnPiece(0, kRed);
    rig.Frames(4);
    f = rig.Now() + 1;
    DWORD end = board->clearAll(kNextFrame);
    EXPECT_EQ(f + 2 + 20, end);
    EXPECT_EQ(0, rig.Occupied(*board));
    EXPECT_EQ(nullptr, board->spawnCell(0).object);
    EXPECT_EQ(101u, board->detachedCount());
    rig.window->RunFrames(end + 3);
    EXPECT_EQ(0u, board->detachedCount());
    EXPECT_EQ(0, rig.ObjectsAtDepth(kPieceDepth));
    // With a gap in the rows the wipe takes fewer frames.
    FillColumn(0, 7);
    f = rig.Now() + 1;
    EXPECT_EQ(f + 2 + 6, board->clearAll(f));
}

TEST_F(BoardTest, InactiveBoardNeitherMovesNorDrawsAndResumes) {
    board->spawnPiece(1, kGreen);
    rig.Frames(4);
    board->dropSpawnPiece(1, kNextFrame);
    rig.Frames(4);
    const ScreenPiece& p = board->cell(1, 9);
    ASSERT_EQ(1, p.falling);
    LONG top = Top(p);
    LONG speed = p.speed;
    board->setActive(false);
    rig.Frames(10);
    EXPECT_EQ(top, Top(p));
    EXPECT_EQ(speed, p.speed);
    EXPECT_EQ(RGB(0, 0, 0), rig.Shown(36, top + 12)) << "nothing drawn while inactive";
    board->setActive(true);
    rig.Frame();
    EXPECT_EQ(top + speed, Top(p)) << "resumes where it was";
    EXPECT_NE(RGB(0, 0, 0), rig.Shown(36, Top(p) + 12));
}

TEST_F(BoardTest, CellsPointsAndFreePieces) {
    int c, r;
    EXPECT_TRUE(board->cellAt(POINT{239, 293}, &c, &r));
    EXPECT_EQ(9, c);
    EXPECT_EQ(9, r);
    EXPECT_TRUE(board->cellAt(POINT{0, 54 - 23}, &c, &r)) << "23 pixels above row 0 is still row 0";
    EXPECT_EQ(0, r);
    EXPECT_FALSE(board->cellAt(POINT{0, 54 - 24}, &c, &r));
    EXPECT_FALSE(board->cellAt(POINT{240, 100}, &c, &r));
    EXPECT_FALSE(board->cellAt(POINT{-5, 100}, &c, &r)) << "truncation must not fold -5 into column 0";
    POINT centre = board->pieceCentre(2, 3);
    EXPECT_EQ(60, centre.x);
    EXPECT_EQ(54 + 72 + 12, centre.y);

    Board menu(&rig.context, true);
    EXPECT_EQ(-24, menu.spawnTop());
    EXPECT_EQ(7, menu.boardTop());

    ScreenPiece* free = Board::CreateFreePiece(&rig.context, MakeKind(2, true, false, true), 170, 80);
    ASSERT_NE(nullptr, free);
    EXPECT_EQ(3, free->appearCount);
    board->setActive(false); // a free piece does not belong to any board
    rig.Frames(12);
    EXPECT_EQ(0, free->appearCount);
    EXPECT_EQ(3, free->phase) << "a wildcard animates all the time";
    EXPECT_EQ(3u, free->kind.colour) << "and steps its colour each cycle of nine frames";
    EXPECT_NE(RGB(0, 0, 0), rig.Shown(182, 92));
    Board::DestroyFreePiece(free);
    ScreenPiece* changer = Board::CreateFreePiece(&rig.context, MakeKind(3, false, false, true), 40, 80);
    rig.Frames(5);
    Board::RotatePieceColour(changer); // the help screen's changer, once a second
    EXPECT_EQ(0u, changer->kind.colour);
    EXPECT_EQ(1, changer->phase);
    rig.Frames(4);
    EXPECT_EQ(0, changer->phase);
    Board::DestroyFreePiece(changer);
    EXPECT_EQ(0, rig.ObjectsAtDepth(kPieceDepth) - rig.Occupied(*board));
}

TEST_F(BoardTest, ChangerTurnsAndShowsItsTurn) {
    board->placePiece(0, 9, MakeKind(3, false, false, true), kNextFrame);
    rig.Frames(4);
    board->rotateColour(0, 9);
    const ScreenPiece& p = board->cell(0, 9);
    EXPECT_EQ(0u, p.kind.colour);
    EXPECT_EQ(1, p.phase);
    rig.Frames(4);
    EXPECT_EQ(0, p.phase) << "a changer's phase steps by two and stops at the end of its turn";
}

TEST_F(BoardTest, DestroyingTheBoardMidAnimationLeavesNothing) {
    auto busyBoard = [&] {
        Board* second = MEMNEW(Board, (&rig.context, false));
        for (int c = 0; c < kBoardColumns; c++) {
            second->spawnPiece(c, kRed);
            second->dropSpawnPiece(c, kNextFrame);
        }
        rig.Frames(3);
        second->removePiece(0, 9, kNextFrame);
        second->clearAll(kNextFrame);
        MEMDELETE(second);
        rig.Frames(30); // no event reaches a destroyed piece
        EXPECT_EQ(0, rig.ObjectsAtDepth(kPieceDepth));
    };
    busyBoard(); // the window's tables grow to their size once
    MemStats before = MemGetStats();
    busyBoard();
    EXPECT_EQ(before.liveBlocks, MemGetStats().liveBlocks);
}

} // namespace
