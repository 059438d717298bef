// Game flow: levels, the spawn row, moves, scoring, banners, pause, abandon,
// game over, the timed-event dispatch and the menu's decorative board.
#include "game.h"

#include <windowsx.h>

#include "board.h"
#include "cea_anim_object.h"
#include "cea_anim_window.h"
#include "cea_graphic.h"
#include "game_graphics.h"
#include "game_screens.h"
#include "game_sounds.h"
#include "high_scores.h"
#include "mem_manager.h"

namespace {

const LONG kBannerDepth = 75;
const LONG kPopUpDepth = 55;
const LONG kHeadBarHeight = 53;
const DWORD kLevelPlayDelay = 35;
const DWORD kDismissDelay = 30;
const DWORD kBonusOverflowDelay = 15;
const DWORD kAdvancedStartScore = 7500;
const int kAdvancedStartLevel = 6;
enum BannerKind { kLevelBanner = 0, kGameOverBanner = 1 };

// The one Game whose stylus handler is installed (there is one per program run).
Game* g_tapGame = nullptr;

} // namespace

Game::Game(GameContext* context)
    : m_context(context), m_board(nullptr), m_menuBoard(nullptr), m_menuCount(0), m_level(0), m_speed(0),
      m_levelBanner(nullptr), m_nextDrop(0), m_pausedAt(0), m_dismissAt(0), m_state(kStateNoGame),
      m_gameOverBanner(nullptr), m_newHighScore(0), m_target(0), m_removed(0), m_score(0), m_bonus(0),
      m_newRank(-1) {
    context->game = this;
    g_tapGame = this;
    context->window->AddFilter(StylusFilter, FilterFlags(afALL, afDEFAULT_PRIORITY));
}

Game::~Game() {
    // The Game goes before its window (the shell destroys it at shutdown, while the window lives).
    m_context->window->RemoveFilter(StylusFilter);
    if (g_tapGame == this) g_tapGame = nullptr;
    destroyBanners();
    // No events are run from here: they would reach this Game while it goes. The boards cancel
    // the events of their pieces themselves.
    if (m_menuBoard) MEMDELETE(m_menuBoard);
    m_menuBoard = nullptr;
    if (m_board) MEMDELETE(m_board);
    m_board = nullptr;
    if (m_context->game == this) m_context->game = nullptr;
}

void Game::play(int sound) {
    if (m_context->sounds) m_context->sounds->play(static_cast<GameSound>(sound));
}

void Game::runPendingEvents() { m_context->window->RunFrames(kAllFrames); }

void Game::newGame(int startLevel) {
    if (m_context->screens) m_context->screens->showScreen(kScreenGame, -1);
    m_score = startLevel == kAdvancedStartLevel ? kAdvancedStartScore : 0;
    if (m_context->screens) m_context->screens->repaintScore();
    if (!m_board) m_board = MEMNEW(Board, (m_context, false));
    m_newHighScore = 0;
    m_newRank = -1;
    this->startLevel(startLevel);
}

void Game::startLevel(int level) {
    m_level = ClampLevel(level);
    m_bonus = IsBonusLevel(m_level) ? 1 : 0;
    m_speed = LevelSpeed(m_level);
    m_target = LevelTarget(m_level);
    m_removed = 0;
    GameScreens* screens = m_context->screens;
    if (screens) screens->repaintProgress();
    DWORD t = m_board ? m_board->clearAll(kNextFrame) : m_context->window->GetFrame() + 1;
    m_context->window->ScheduleEvent(t + kLevelPlayDelay, kEventLevelPlay, 0);

    if (m_levelBanner) MEMDELETE(m_levelBanner);
    m_levelBanner = nullptr;
    const GraphicsSet* g = m_context->graphics;
    LONG height = 0;
    if (g && g->loaded()) {
        const LanguagePart& part = g->currentPart();
        Graphic* picture =
            m_bonus ? GraphicsSet::tile(part, kPicBonusBanner, 0) : GraphicsSet::tile(part, kPicLevelWord, 0);
        if (picture) height = picture->GetHeight();
    }
    m_levelBanner = createBanner(height, kLevelBanner);
    m_state = kStateChangingLevel;
    play(kSoundLevelStart);
    if (screens) {
        screens->enableButtons(false);
        screens->markBandsVisible(true);
    }
}

void Game::levelPlay() {
    if (m_levelBanner) MEMDELETE(m_levelBanner);
    m_levelBanner = nullptr;
    GameScreens* screens = m_context->screens;
    if (screens) screens->markBandsVisible(false);
    play(kSoundLevelPlay);
    if (!m_board) return;
    int rows = StartRows(m_level);
    DWORD t = m_context->window->GetFrame() + 1;
    for (int r = 0; r < rows; r++)
        for (int c = 0; c < kBoardColumns; c++)
            m_board->placePiece(c, kBoardRows - 1 - r, m_context->generator->generate(m_level), t + r);
    m_nextDrop = t + rows + 5;
    m_state = kStatePlaying;
    if (screens) screens->enableButtons(true);
}

void Game::tick() {
    if (m_state != kStatePlaying || !m_board) return;
    DWORD now = m_context->window->GetFrame();
    if (now < m_nextDrop) return;
    if (m_bonus)
        tickBonus(now);
    else
        tickNormal(now);
}

void Game::tickNormal(DWORD now) {
    DWORD filled = (now - m_nextDrop) * 10 / static_cast<DWORD>(m_speed);
    DWORD columns = filled < kBoardColumns ? filled : kBoardColumns;
    for (DWORD c = 0; c < columns; c++) {
        if (m_board->spawnCell(c).object) continue;
        m_board->spawnPiece(c, m_context->generator->generate(m_level));
        if (m_context->sounds) m_context->sounds->playAppear();
    }
    if (filled <= kBoardColumns) return;
    m_nextDrop = now;
    bool overflow = false;
    for (int c = 0; c < kBoardColumns; c++) {
        if (m_board->cell(c, 0).object) overflow = true;
        m_board->dropSpawnPiece(c, kNextFrame);
    }
    play(kSoundRowDrop);
    if (overflow) gameOver();
}

void Game::tickBonus(DWORD now) {
    bool overflow = false;
    for (int c = 0; c < kBoardColumns; c++) {
        const ScreenPiece& spawn = m_board->spawnCell(c);
        if (!spawn.object || spawn.appearCount != 0) continue;
        if (m_board->cell(c, 0).object) overflow = true;
        m_board->dropSpawnPiece(c, kNextFrame);
        play(kSoundBonusDrop);
    }
    if (overflow) {
        // A bonus level ends without penalty.
        m_state = kStateChangingLevel;
        m_context->window->ScheduleEvent(now + kBonusOverflowDelay, kEventNextLevel, 0);
        return;
    }
    DWORD every = static_cast<DWORD>(m_speed / 10);
    if (every == 0 || now % every != 0) return;
    int c = m_context->generator->draw() % kBoardColumns;
    if (m_board->spawnCell(c).object) return;
    m_board->spawnPiece(c, m_context->generator->generate(m_level));
    if (m_context->sounds) m_context->sounds->playAppear();
}

void Game::gameOver() {
    m_state = kStateNoGame;
    int rank = -1;
    if (m_context->highScores) {
        rank = InsertHighScore(m_context->highScores, m_score, m_level, TodayDayNumber());
        if (rank >= 0 && m_context->screens) m_context->screens->saveRecords();
    }
    m_newRank = rank;
    m_newHighScore = rank >= 0 ? 1 : 0;
    if (m_gameOverBanner) MEMDELETE(m_gameOverBanner);
    m_gameOverBanner = nullptr;
    LONG height = 0;
    const GraphicsSet* g = m_context->graphics;
    if (g && g->loaded()) {
        const LanguagePart& part = g->currentPart();
        height = GraphicsSet::tile(part, kPicGameOver, 0)->GetHeight();
        if (m_newHighScore) height += GraphicsSet::tile(part, kPicGameOver, 2)->GetHeight() + 10;
    }
    m_gameOverBanner = createBanner(height, kGameOverBanner);
    m_dismissAt = m_context->window->GetFrame() + kDismissDelay;
    play(kSoundGameOver);
    if (m_context->screens) {
        m_context->screens->enableButtons(false);
        m_context->screens->markBandsVisible(true);
    }
}

AnimObject* Game::createBanner(LONG height, int kind) {
    AnimWindow* window = m_context->window;
    AnimObject* banner = NEW_ANIMOBJECT((window, BannerCallback, kBannerDepth));
    if (!banner) return nullptr;
    banner->SetData(0, reinterpret_cast<DWORD_PTR>(this));
    banner->SetData(1, static_cast<DWORD_PTR>(kind));
    if (banner->GetData(0) != reinterpret_cast<DWORD_PTR>(this)) {
        MEMDELETE(banner);
        return nullptr;
    }
    // In the middle of the space between the head bar and the window's bottom.
    LONG top = kHeadBarHeight + (window->GetHeight() - kHeadBarHeight - height) / 2;
    RECT rect = {0, top, window->GetWidth(), top + height};
    banner->SetRect(&rect);
    return banner;
}

void Game::destroyBanners() {
    if (m_levelBanner) MEMDELETE(m_levelBanner);
    if (m_gameOverBanner) MEMDELETE(m_gameOverBanner);
    m_levelBanner = m_gameOverBanner = nullptr;
}

void Game::drawShimmered(const ANIMDRAW* draw, Graphic* picture, Graphic* highlight, int x, int y) {
    if (!picture) return;
    if (m_context->screens)
        m_context->screens->drawShimmered(draw, picture, highlight, x, y);
    else
        picture->DrawTo(draw->target, x, y, draw->clip);
}

void Game::paintBanner(AnimObject* banner, const ANIMDRAW* draw) {
    const GraphicsSet* g = m_context->graphics;
    if (!g || !g->loaded()) return;
    const LanguagePart& part = g->currentPart();
    LONG left = draw->object.left, top = draw->object.top;
    LONG width = draw->object.right - draw->object.left;
    if (banner->GetData(1) == kGameOverBanner) {
        Graphic* line = GraphicsSet::tile(part, kPicGameOver, 0);
        drawShimmered(draw, line, GraphicsSet::tile(part, kPicGameOver, 1),
                      left + (width - line->GetWidth()) / 2, top);
        if (m_newHighScore) {
            Graphic* second = GraphicsSet::tile(part, kPicGameOver, 2);
            drawShimmered(draw, second, GraphicsSet::tile(part, kPicGameOver, 3),
                          left + (width - second->GetWidth()) / 2, top + line->GetHeight() + 10);
        }
        return;
    }
    if (m_bonus) {
        Graphic* picture = GraphicsSet::tile(part, kPicBonusBanner, 0);
        drawShimmered(draw, picture, GraphicsSet::tile(part, kPicBonusBanner, 1),
                      left + (width - picture->GetWidth()) / 2, top);
        return;
    }
    // The level word, a gap of one digit, then the displayed level in 1 to 3 digits.
    Graphic* word = GraphicsSet::tile(part, kPicLevelWord, 0);
    int shown = DisplayedLevel(m_level);
    int digits = shown >= 100 ? 3 : shown >= 10 ? 2 : 1;
    LONG digitWidth = g->tile(kPicBannerDigits, 0)->GetWidth();
    LONG total = word->GetWidth() + digitWidth * (1 + digits);
    LONG x = left + (width - total) / 2;
    drawShimmered(draw, word, GraphicsSet::tile(part, kPicLevelWord, 1), x, top);
    x += word->GetWidth() + digitWidth;
    int divisor = digits == 3 ? 100 : digits == 2 ? 10 : 1;
    for (; divisor > 0; divisor /= 10) {
        int digit = (shown / divisor) % 10;
        drawShimmered(draw, g->tile(kPicBannerDigits, 2 * digit), g->tile(kPicBannerDigits, 2 * digit + 1), x,
                      top);
        x += digitWidth;
    }
}

DWORD Game::BannerCallback(AnimObject* object, DWORD message, LPARAM parameter) {
    Game* game = reinterpret_cast<Game*>(object->GetData(0));
    if (!game) return 1;
    if (message == amDRAW) {
        game->paintBanner(object, reinterpret_cast<const ANIMDRAW*>(parameter));
    } else if (message == amDESTROY) {
        // Deleted by its window: the game lets go of it.
        if (game->m_levelBanner == object) game->m_levelBanner = nullptr;
        if (game->m_gameOverBanner == object) game->m_gameOverBanner = nullptr;
    }
    return 1;
}

void Game::tap(POINT point) {
    DWORD now = m_context->window->GetFrame();
    if (m_state == kStateNoGame && m_gameOverBanner) {
        // The first frames of the banner ignore taps, so a tap meant for the board does not dismiss it.
        if (now <= m_dismissAt) return;
        MEMDELETE(m_gameOverBanner);
        m_gameOverBanner = nullptr;
        if (m_board) m_board->clearAll(kNextFrame);
        runPendingEvents();
        if (m_context->screens) {
            if (m_newHighScore)
                m_context->screens->showScreen(kScreenHighScores, m_newRank);
            else
                m_context->screens->showScreen(kScreenMainMenu, -1);
        }
        return;
    }
    if (m_state != kStatePlaying || !m_board) return;
    int column, row;
    if (!m_board->cellAt(point, &column, &row)) return;
    if (!m_board->cell(column, row).object) return;
    move(column, row);
}

int Game::move(int column, int row) {
    if (!m_board || column < 0 || column >= kBoardColumns || row < 0 || row >= kBoardRows) return 0;
    const ScreenPiece& tapped = m_board->cell(column, row);
    if (!tapped.object) return 0;
    PieceKind kind = tapped.kind;
    int count = 0;
    if (IsWildcard(kind)) {
        play(kSoundRefusal);
        return 0;
    }
    if (IsChanger(kind)) {
        play(kSoundChanger);
        m_board->rotateColour(column, row);
        return 0;
    }
    if (IsBomb(kind)) {
        play(kSoundSpecial);
        // Top down, so every removal shifts only cells already handled.
        for (int dr = -2; dr <= 2; dr++) {
            int r = row + dr;
            if (r < 0 || r >= kBoardRows) continue;
            for (int dc = -2; dc <= 2; dc++) {
                int c = column + dc;
                if (c < 0 || c >= kBoardColumns || !m_board->cell(c, r).object) continue;
                m_board->removePiece(c, r, kNextFrame);
                count++;
            }
        }
    } else if (IsColourClearer(kind)) {
        play(kSoundSpecial);
        for (int r = 0; r < kBoardRows; r++)
            for (int c = 0; c < kBoardColumns; c++) {
                const ScreenPiece& p = m_board->cell(c, r);
                if (!p.object || !(MatchesEveryColour(p.kind) || p.kind.colour == kind.colour)) continue;
                m_board->removePiece(c, r, kNextFrame);
                count++;
            }
    } else {
        PieceGrid grid;
        m_board->snapshot(&grid);
        DWORD masks[kBoardRows];
        int members = FloodGroup(grid, column, row, masks);
        if (members < 3) {
            play(kSoundRefusal);
            return 0;
        }
        play(kSoundMatch);
        for (int r = 0; r < kBoardRows; r++)
            for (int c = 0; c < kBoardColumns; c++)
                if (masks[r] & (1u << c)) {
                    m_board->removePiece(c, r, kNextFrame);
                    count++;
                }
    }
    if (count > 0) score(count, column, row);
    return count;
}

void Game::score(int count, int column, int row) {
    GameScreens* screens = m_context->screens;
    m_removed += count;
    if (screens) screens->repaintProgress();
    int label = PopUpLabel(count);
    if (label) popUp(label, column, row);
    m_score += GroupPoints(count);
    if (screens) screens->repaintScore();
    if (!m_bonus && m_removed >= m_target) {
        m_state = kStateChangingLevel;
        m_context->window->ScheduleEvent(m_context->window->GetFrame() + 1, kEventNextLevel, 0);
    }
}

void Game::popUp(int label, int column, int row) {
    const GraphicsSet* g = m_context->graphics;
    if (!g || !g->loaded() || !m_board) return;
    // Labels 1 to 3 are the picture's tiles 0 to 2.
    Graphic* picture = g->tile(kPicPopUps, static_cast<DWORD>(label - 1));
    if (!picture) return;
    AnimWindow* window = m_context->window;
    AnimObject* object = NEW_ANIMOBJECT((window, picture, kPopUpDepth));
    if (!object) return;
    POINT centre = m_board->pieceCentre(column, row);
    LONG dx = column >= 7 ? -1 : 1, dy = row <= 1 ? 1 : -1;
    LONG x0 = centre.x + 10 * dx, y0 = centre.y + 8 * dy;
    LONG x1 = x0 + 12 * dx, y1 = y0 + 6 * dy;
    LONG w = picture->GetWidth(), h = picture->GetHeight();
    RECT start = {x0, y0, x0 + w, y0 + h};
    object->SetRect(&start);
    DWORD now = window->GetFrame();
    for (LONG k = 1; k <= 6; k++) {
        LONG x = x0 + (x1 - x0) * k / 6, y = y0 + (y1 - y0) * k / 6;
        RECT at = {x, y, x + w, y + h};
        window->ScheduleObject(now + 1 + k, object, nullptr, &at);
    }
    window->ScheduleEvent(now + 8, kEventDeleteObject, reinterpret_cast<LPARAM>(object));
    play(kSoundPopUp);
}

void Game::nextLevel() {
    if (m_board && m_board->fallingCount() != 0) {
        m_context->window->ScheduleEvent(m_context->window->GetFrame() + 1, kEventNextLevel, 0);
        return;
    }
    startLevel(m_level + 1);
}

void Game::togglePause() {
    // A level change in progress is completed first (it may leave the game playing).
    if (m_state == kStateChangingLevel) runPendingEvents();
    DWORD now = m_context->window->GetFrame();
    if (m_state == kStatePlaying) {
        m_state = kStatePaused;
        m_pausedAt = now;
        if (m_context->screens) m_context->screens->showScreen(kScreenPause, -1);
    } else if (m_state == kStatePaused) {
        m_state = kStatePlaying;
        m_nextDrop += now - m_pausedAt;
        if (m_context->screens) m_context->screens->showScreen(kScreenGame, -1);
    }
}

void Game::abandon() {
    AnimWindow* window = m_context->window;
    window->Lock();
    m_state = kStateNoGame;
    if (m_board) m_board->clearAll(kNextFrame);
    runPendingEvents();
    destroyBanners();
    if (m_context->screens) m_context->screens->showScreen(kScreenMainMenu, -1);
    window->Unlock();
}

void Game::dispatch(DWORD type, LPARAM data) {
    AnimObject* object = reinterpret_cast<AnimObject*>(data);
    switch (type) {
    case kEventButtonPress:
        if (m_context->screens) m_context->screens->pressStep(static_cast<int>(data));
        break;
    case kEventStartFalling:
        Board::StartFalling(object);
        break;
    case kEventVanishStep:
        Board::VanishStep(object);
        break;
    case kEventAppearStep:
        Board::AppearStep(object);
        break;
    case kEventLevelPlay:
        levelPlay();
        break;
    case kEventNextLevel:
        nextLevel();
        break;
    case kEventDeleteObject:
        if (object) {
            m_context->window->UnscheduleEvents(0, data);
            MEMDELETE(object);
        }
        break;
    }
}

void Game::createMenuBoard() {
    destroyMenuBoard();
    m_menuBoard = MEMNEW(Board, (m_context, true));
    m_menuCount = 0;
}

void Game::destroyMenuBoard() {
    if (!m_menuBoard) return;
    // Vanishing pieces finish first.
    runPendingEvents();
    MEMDELETE(m_menuBoard);
    m_menuBoard = nullptr;
}

void Game::menuBoardFrame() {
    if (!m_menuBoard) return;
    PieceGenerator* generator = m_context->generator;
    if (generator->draw() % 5 > 3) {
        int c = generator->draw() % kBoardColumns;
        if (!m_menuBoard->spawnCell(c).object && !m_menuBoard->cell(c, 0).object) {
            m_menuBoard->spawnPiece(c, generator->generate(1));
            m_menuBoard->dropSpawnPiece(c, kNextFrame);
            m_menuCount++;
        }
    }
    int chance = m_menuCount >= 51 ? 10 : m_menuCount >= 31 ? 5 : m_menuCount > 10 ? 3 : 0;
    if (generator->draw() % 100 < chance) {
        for (int c = 0; c < kBoardColumns; c++) {
            const ScreenPiece& bottom = m_menuBoard->cell(c, kBoardRows - 1);
            if (!bottom.object || bottom.falling) continue;
            m_menuBoard->removePiece(c, kBoardRows - 1, kNextFrame);
            m_menuCount--;
        }
    }
}

LRESULT CALLBACK Game::StylusFilter(HWND window, UINT message, WPARAM, LPARAM lParam) {
    if (message != WM_LBUTTONDOWN || !g_tapGame || g_tapGame->m_context->window->GetHandle() != window)
        return 0;
    POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    g_tapGame->tap(point);
    return 0;
}
