// Board and pieces: cells, moves of records, falls with their bounce, the
// appear and vanish steps, and the piece callback that moves and draws.
#include "board.h"

#include "cea_anim_object.h"
#include "cea_anim_window.h"
#include "cea_graphic.h"
#include "game_graphics.h"
#include "game_screens.h"
#include "game_sounds.h"
#include "mem_manager.h"

namespace {

const LONG kPlayingSpawnTop = 28, kPlayingBoardTop = 54;
const LONG kMenuSpawnTop = -24, kMenuBoardTop = 7;
const DWORD kDetachedGrowth = 16;

ScreenPiece* RecordOf(AnimObject* object) {
    return object ? reinterpret_cast<ScreenPiece*>(object->GetData(0)) : nullptr;
}

bool Animating(const ScreenPiece& p) { return (p.kind.wild || p.phase != 0) && p.row != kSpawnRow; }

} // namespace

Board::Board(const GameContext* context, bool menuBoard)
    : m_context(context), m_detached(nullptr), m_detachedCount(0), m_detachedCapacity(0),
      m_spawnTop(menuBoard ? kMenuSpawnTop : kPlayingSpawnTop),
      m_boardTop(menuBoard ? kMenuBoardTop : kPlayingBoardTop), m_fallingCount(0), m_active(true) {
    for (int r = 0; r < kBoardRows; r++)
        for (int c = 0; c < kBoardColumns; c++) {
            ScreenPiece& p = m_cells[r][c];
            ResetRecord(&p);
            p.board = this;
            p.context = context;
            p.column = c;
            p.row = r;
        }
    for (int c = 0; c < kBoardColumns; c++) {
        ScreenPiece& p = m_spawn[c];
        ResetRecord(&p);
        p.board = this;
        p.context = context;
        p.column = c;
        p.row = kSpawnRow;
    }
}

Board::~Board() {
    while (m_detachedCount > 0) {
        AnimObject* object = m_detached[--m_detachedCount];
        ScreenPiece* record = RecordOf(object);
        object->SetData(0, 0);
        DestroyObject(object);
        if (record) MEMDELETE(record);
    }
    if (m_detached) MEMFREE(m_detached);
    m_detached = nullptr;
    for (int r = 0; r < kBoardRows; r++)
        for (int c = 0; c < kBoardColumns; c++) {
            ScreenPiece& p = m_cells[r][c];
            if (p.falling) m_fallingCount--;
            AnimObject* object = p.object;
            ResetRecord(&p);
            if (object) {
                object->SetData(0, 0);
                DestroyObject(object);
            }
        }
    for (int c = 0; c < kBoardColumns; c++) {
        AnimObject* object = m_spawn[c].object;
        ResetRecord(&m_spawn[c]);
        if (object) {
            object->SetData(0, 0);
            DestroyObject(object);
        }
    }
}

void Board::ResetRecord(ScreenPiece* p) {
    p->kind = MakeKind(kNoColour);
    p->object = nullptr;
    p->speed = p->vanishStep = p->appearCount = p->phase = 0;
    p->falling = p->detached = p->landed = 0;
}

DWORD Board::frameOrNext(DWORD frame) const {
    return frame == kNextFrame ? m_context->window->GetFrame() + 1 : frame;
}

AnimObject* Board::CreatePieceObject(const GameContext* context, ScreenPiece* piece, LONG x, LONG y) {
    AnimObject* object = NEW_ANIMOBJECT((context->window, PieceCallback, kPieceDepth));
    if (!object) return nullptr;
    object->SetData(0, reinterpret_cast<DWORD_PTR>(piece));
    if (object->GetData(0) != reinterpret_cast<DWORD_PTR>(piece)) {
        MEMDELETE(object);
        return nullptr;
    }
    RECT rect = {x, y, x + kCellSize, y + kCellSize};
    object->SetRect(&rect);
    return object;
}

void Board::DestroyObject(AnimObject* object) {
    AnimWindow* window = object->GetWindow();
    if (window) window->UnscheduleEvents(0, reinterpret_cast<LPARAM>(object));
    MEMDELETE(object);
}

void Board::fillCell(ScreenPiece* p, const PieceKind& kind, LONG y, bool landed, DWORD appearFrame) {
    if (p->object) {
        AnimObject* old = p->object;
        if (p->falling) m_fallingCount--;
        p->object = nullptr;
        old->SetData(0, 0);
        DestroyObject(old);
    }
    ResetRecord(p);
    p->kind = kind;
    p->appearCount = 3;
    p->landed = landed ? 1 : 0;
    // A failed allocation leaves the cell without a picture; the record stays consistent.
    p->object = CreatePieceObject(m_context, p, p->column * kCellSize, y);
    if (!p->object) {
        ResetRecord(p);
        return;
    }
    m_context->window->ScheduleEvent(appearFrame, kEventAppearStep, reinterpret_cast<LPARAM>(p->object));
}

void Board::spawnPiece(int column, const PieceKind& kind) {
    if (column < 0 || column >= kBoardColumns) return;
    fillCell(&m_spawn[column], kind, m_spawnTop, false, frameOrNext(kNextFrame));
}

void Board::placePiece(int column, int row, const PieceKind& kind, DWORD frame) {
    if (column < 0 || column >= kBoardColumns || row < 0 || row >= kBoardRows) return;
    fillCell(&m_cells[row][column], kind, m_boardTop + kCellSize * row, true, frameOrNext(frame));
}

void Board::moveRecord(ScreenPiece* from, ScreenPiece* to) {
    if (to->object) {
        AnimObject* old = to->object;
        if (to->falling) m_fallingCount--;
        to->object = nullptr;
        old->SetData(0, 0);
        DestroyObject(old);
    }
    to->kind = from->kind;
    to->object = from->object;
    to->speed = from->speed;
    to->vanishStep = from->vanishStep;
    to->appearCount = from->appearCount;
    to->phase = from->phase;
    to->falling = from->falling;
    to->landed = from->landed;
    ResetRecord(from);
    if (to->object) to->object->SetData(0, reinterpret_cast<DWORD_PTR>(to));
}

void Board::dropSpawnPiece(int column, DWORD frame) {
    if (column < 0 || column >= kBoardColumns || !m_spawn[column].object) return;
    int last = -1;
    for (int r = 0; r < kBoardRows && !m_cells[r][column].object; r++) last = r;
    if (last < 0) return; // a full column keeps the piece in the spawn row
    ScreenPiece* target = &m_cells[last][column];
    moveRecord(&m_spawn[column], target);
    target->appearCount = 0;
    DWORD when = frame == kNextFrame ? m_context->window->GetFrame() : frame;
    m_context->window->ScheduleEvent(when, kEventStartFalling, reinterpret_cast<LPARAM>(target->object));
}

ScreenPiece* Board::takeOff(ScreenPiece* p) {
    if (!p->object) return nullptr;
    if (m_detachedCount == m_detachedCapacity &&
        !MEMREALLOC(AnimObject*, m_detached, m_detachedCapacity, m_detachedCount + 1, kDetachedGrowth))
        return nullptr;
    ScreenPiece* d = MEMNEW(ScreenPiece, ());
    if (!d) return nullptr;
    *d = *p;
    d->row = kDetachedRow;
    d->detached = 1;
    d->object->SetData(0, reinterpret_cast<DWORD_PTR>(d));
    m_detached[m_detachedCount++] = d->object;
    // The cell keeps its stale colour, nothing else.
    DWORD colour = p->kind.colour;
    ResetRecord(p);
    p->kind.colour = colour;
    return d;
}

void Board::forgetDetached(AnimObject* object) {
    for (DWORD i = 0; i < m_detachedCount; i++)
        if (m_detached[i] == object) {
            m_detached[i] = m_detached[--m_detachedCount];
            return;
        }
}

void Board::removePiece(int column, int row, DWORD frame) {
    if (column < 0 || column >= kBoardColumns || row < 0 || row >= kBoardRows) return;
    ScreenPiece* p = &m_cells[row][column];
    if (!p->object) return;
    DWORD f = frameOrNext(frame);
    AnimWindow* window = m_context->window;
    ScreenPiece* d = takeOff(p);
    if (d) {
        window->ScheduleEvent(f, kEventVanishStep, reinterpret_cast<LPARAM>(d->object));
    } else {
        // No room to let it vanish: it goes at once.
        AnimObject* object = p->object;
        if (p->falling) m_fallingCount--;
        ResetRecord(p);
        object->SetData(0, 0);
        DestroyObject(object);
    }
    // The column above closes the gap at once in the model; the pictures fall
    // one frame apart, lowest first.
    DWORD when = f;
    for (int r = row; r >= 1; r--) {
        moveRecord(&m_cells[r - 1][column], &m_cells[r][column]);
        if (m_cells[r][column].object)
            window->ScheduleEvent(when++, kEventStartFalling,
                                  reinterpret_cast<LPARAM>(m_cells[r][column].object));
    }
}

DWORD Board::clearAll(DWORD frame) {
    DWORD f = frameOrNext(frame);
    AnimWindow* window = m_context->window;
    for (int c = 0; c < kBoardColumns; c++) {
        ScreenPiece* d = takeOff(&m_spawn[c]);
        if (d) window->ScheduleEvent(f, kEventVanishStep, reinterpret_cast<LPARAM>(d->object));
    }
    DWORD t = f + 2;
    for (int r = 0; r < kBoardRows; r++) {
        bool any = false;
        for (int c = 0; c < kBoardColumns; c++) {
            ScreenPiece* d = takeOff(&m_cells[r][c]);
            if (!d) continue;
            any = true;
            window->ScheduleEvent(t, kEventVanishStep, reinterpret_cast<LPARAM>(d->object));
        }
        if (any) t += 2;
    }
    return t;
}

bool Board::cellAt(POINT point, int* column, int* row) const {
    // Division truncates toward zero, so y up to a cell above row 0 still gives row 0.
    *column = point.x / kCellSize;
    *row = (point.y - m_boardTop) / kCellSize;
    return *column >= 0 && *column < kBoardColumns && *row >= 0 && *row < kBoardRows && point.x >= 0 &&
           point.x < kBoardColumns * kCellSize;
}

POINT Board::pieceCentre(int column, int row) const {
    POINT p = {kCellSize * column + kCellSize / 2, m_boardTop + kCellSize * row + kCellSize / 2};
    return p;
}

void Board::rotateColour(int column, int row) {
    if (column < 0 || column >= kBoardColumns || row < 0 || row >= kBoardRows) return;
    RotatePieceColour(&m_cells[row][column]);
}

void Board::RotatePieceColour(ScreenPiece* p) {
    if (!p) return;
    p->kind.colour = (p->kind.colour + 1) % 4;
    p->phase = 1;
    if (p->object) p->object->Invalidate();
}

void Board::snapshot(PieceGrid* grid) const {
    for (int r = 0; r < kBoardRows; r++)
        for (int c = 0; c < kBoardColumns; c++) {
            const ScreenPiece& p = m_cells[r][c];
            GridCell& g = grid->cells[r][c];
            g.kind = p.kind;
            g.occupied = p.object != nullptr;
            g.landed = p.landed != 0;
        }
}

void Board::setActive(bool active) {
    if (m_active == active) return;
    m_active = active;
    // Hidden or shown again: every piece's area is drawn anew.
    for (int r = 0; r < kBoardRows; r++)
        for (int c = 0; c < kBoardColumns; c++)
            if (m_cells[r][c].object) m_cells[r][c].object->Invalidate();
    for (int c = 0; c < kBoardColumns; c++)
        if (m_spawn[c].object) m_spawn[c].object->Invalidate();
    for (DWORD i = 0; i < m_detachedCount; i++) m_detached[i]->Invalidate();
}

ScreenPiece* Board::CreateFreePiece(const GameContext* context, const PieceKind& kind, LONG x, LONG y) {
    ScreenPiece* p = MEMNEW(ScreenPiece, ());
    if (!p) return nullptr;
    ResetRecord(p);
    p->board = nullptr;
    p->context = context;
    p->kind = kind;
    p->appearCount = 3;
    p->column = 0;
    p->row = 0;
    p->object = CreatePieceObject(context, p, x, y);
    if (!p->object) {
        MEMDELETE(p);
        return nullptr;
    }
    context->window->ScheduleEvent(context->window->GetFrame() + 1, kEventAppearStep,
                                   reinterpret_cast<LPARAM>(p->object));
    return p;
}

void Board::DestroyFreePiece(ScreenPiece* p) {
    if (!p) return;
    if (p->object) {
        p->object->SetData(0, 0);
        DestroyObject(p->object);
    }
    MEMDELETE(p);
}

void Board::StartFalling(AnimObject* object) {
    ScreenPiece* p = RecordOf(object);
    if (!p) return;
    if (!p->falling) {
        p->speed = 3;
        p->landed = 0;
        if (p->board) p->board->m_fallingCount++;
    }
    p->falling = 1;
    object->Invalidate();
}

void Board::AppearStep(AnimObject* object) {
    ScreenPiece* p = RecordOf(object);
    if (!p || p->appearCount <= 0) return;
    p->appearCount--;
    // Repainted at 0 as well, so the piece's normal frame replaces the last appear frame.
    object->Invalidate();
    if (p->appearCount > 0)
        object->GetWindow()->ScheduleEvent(object->GetWindow()->GetFrame() + 1, kEventAppearStep,
                                           reinterpret_cast<LPARAM>(object));
}

void Board::VanishStep(AnimObject* object) {
    ScreenPiece* p = RecordOf(object);
    if (!p || !p->detached || !p->board) return;
    p->vanishStep++;
    if (p->vanishStep < 4) {
        object->Invalidate();
        object->GetWindow()->ScheduleEvent(object->GetWindow()->GetFrame() + 1, kEventVanishStep,
                                           reinterpret_cast<LPARAM>(object));
        return;
    }
    Board* board = p->board;
    board->forgetDetached(object);
    if (p->falling) board->m_fallingCount--;
    object->SetData(0, 0);
    DestroyObject(object);
    MEMDELETE(p);
}

LONG Board::targetTop(const ScreenPiece& p) const {
    return p.row == kSpawnRow ? m_spawnTop : m_boardTop + kCellSize * p.row;
}

void Board::fall(ScreenPiece* p) {
    AnimObject* o = p->object;
    LONG top = o->GetRect().top, bottom = o->GetRect().bottom;
    LONG target = targetTop(*p);
    if (top <= target) {
        const ScreenPiece* lower = nullptr;
        if (p->row >= 0 && p->row < kBoardRows - 1 && m_cells[p->row + 1][p->column].object)
            lower = &m_cells[p->row + 1][p->column];
        LONG predicted = 0;
        if (lower) predicted = lower->object->GetRect().top + (lower->falling ? lower->speed : 0);
        if (lower && bottom > predicted) {
            // Resting on a piece that still falls: landed, so it can already join a group.
            o->SetPos(o->GetRect().left, predicted - o->GetHeight());
            p->speed = 0;
            p->landed = 1;
        } else if (top + p->speed < target) {
            o->SetPos(o->GetRect().left, top + p->speed);
            p->speed++;
        } else if (p->speed >= 7) {
            // Fast enough to bounce: up 2 and 1 pixels, back down, settled on the fifth frame.
            o->SetPos(o->GetRect().left, target);
            p->speed = -2;
            p->landed = 1;
        } else {
            o->SetPos(o->GetRect().left, target);
            p->speed = 0;
            p->falling = 0;
            p->landed = 1;
            m_fallingCount--;
        }
    } else {
        o->SetPos(o->GetRect().left, target);
        p->speed = 0;
        p->falling = 0;
        p->landed = 1;
        m_fallingCount--;
    }
}

void Board::frame(ScreenPiece* p) {
    Board* board = p->board;
    if (board && !board->m_active) return;
    bool wasFallingUnlanded = p->falling && !p->landed;
    if (p->falling && board) board->fall(p);
    const GameContext* context = p->context;
    if (wasFallingUnlanded && p->landed && context->game && context->sounds && context->screens &&
        context->screens->currentScreen() == kScreenGame)
        context->sounds->playLand();

    bool animating = Animating(*p);
    if (animating) {
        bool changer = IsChanger(p->kind);
        p->phase += changer ? 2 : 1;
        if (p->phase >= 9) {
            if (changer) {
                p->phase = 0;
            } else {
                p->phase -= 9;
                if (MatchesEveryColour(p->kind)) p->kind.colour = (p->kind.colour + 1) % 4;
            }
        }
    }
    if (p->falling || p->vanishStep || p->appearCount || animating) p->object->Invalidate();
}

void Board::paint(ScreenPiece* p, const ANIMDRAW* draw) {
    if (p->board && !p->board->m_active) return;
    const GraphicsSet* g = p->context->graphics;
    if (!g) return;
    const PieceKind& k = p->kind;
    DWORD colour = k.colour % 4;
    bool animating = Animating(*p);
    NeutralPicture picture;
    DWORD step;
    if (p->vanishStep) {
        picture = kPicAppear;
        step = p->vanishStep;
    } else if (p->appearCount) {
        picture = kPicAppear;
        step = p->appearCount;
    } else if (animating && k.clear && k.special) {
        picture = kPicBomb;
        step = p->phase;
    } else if (animating && k.clear) {
        picture = kPicClearer;
        step = p->phase;
    } else if (animating && k.special && !k.wild) {
        // Shows the turn from the previous colour.
        picture = kPicChanger;
        step = p->phase;
        colour = (colour + 3) % 4;
    } else if (k.special && !k.wild) {
        picture = kPicChanger;
        step = p->phase;
    } else if (k.clear) {
        picture = kPicClearer;
        step = p->phase;
    } else {
        picture = kPicPlain;
        step = p->phase;
    }
    Graphic* tile = g->tile(picture, colour + 4 * step);
    if (tile) p->object->DrawGraphic(draw, tile);
}

DWORD Board::PieceCallback(AnimObject* object, DWORD message, LPARAM parameter) {
    ScreenPiece* p = RecordOf(object);
    if (!p) return 1;
    switch (message) {
    case amFRAME:
        frame(p);
        break;
    case amDRAW:
        paint(p, reinterpret_cast<const ANIMDRAW*>(parameter));
        break;
    case amDESTROY:
        // Deleted by its window (which goes first): the record lets go of it.
        if (p->object == object) {
            if (p->falling && p->board) p->board->m_fallingCount--;
            if (p->detached && p->board) {
                p->board->forgetDetached(object);
                object->SetData(0, 0);
                MEMDELETE(p);
                return 1;
            }
            if (p->board) {
                ResetRecord(p);
            } else {
                p->object = nullptr;
            }
        }
        break;
    }
    return 1;
}
