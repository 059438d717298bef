// Cut-up skin pictures and the drawing of their cells.
#include "skingraphics.h"

#include "cea_graphic.h"
#include "cetl_exception.h"
#include "mem_manager.h"

void SkinGridOf(DWORD code, DWORD* columns, DWORD* rows) {
    if (code & kSkinGridExplicit) {
        *columns = (code >> 16) & 0x7FFF;
        *rows = code & 0xFFFF;
        return;
    }
    static const BYTE grids[18][2] = {{1, 1}, {2, 2}, {2, 1}, {1, 2}, {1, 3}, {1, 3}, {1, 1}, {3, 4}, {2, 4},
                                      {2, 4}, {4, 1}, {3, 3}, {4, 4}, {4, 4}, {0, 0}, {3, 3}, {1, 1}, {3, 3}};
    if (code >= 18 || grids[code][0] == 0)
        throw cetl::exception("constructing skincontrolgraphics for unknown control type");
    *columns = grids[code][0];
    *rows = grids[code][1];
}

SKINCONTROLGRAPHICS::SKINCONTROLGRAPHICS(Graphic* source, DWORD gridCode)
    : picture(source), code(gridCode), columns(0), rows(0), cellWidth(0), cellHeight(0), cells(nullptr),
      cellCount(0) {
    SkinGridOf(gridCode, &columns, &rows);
    // An explicit grid of no columns or rows is one cell: nothing can be cut from nothing.
    if (columns == 0) columns = 1;
    if (rows == 0) rows = 1;
    LONG width = picture ? picture->GetWidth() : 0, height = picture ? picture->GetHeight() : 0;
    cellWidth = width / static_cast<LONG>(columns);
    cellHeight = height / static_cast<LONG>(rows);
    DWORDLONG count = static_cast<DWORDLONG>(columns) * rows;
    // A grid finer than the picture has cells of no pixels; those stay null and draw nothing.
    if (count > 0x100000) count = 0x100000;
    cells = static_cast<Graphic**>(MEMALLOC(static_cast<DWORD>(count) * sizeof(Graphic*)));
    if (!cells) return;
    cellCount = static_cast<DWORD>(count);
    for (DWORD i = 0; i < cellCount; ++i) {
        cells[i] = nullptr;
        if (cellWidth <= 0 || cellHeight <= 0) continue;
        RECT r;
        LONG column = static_cast<LONG>(i % columns), row = static_cast<LONG>(i / columns);
        SetRect(&r, column * cellWidth, row * cellHeight, (column + 1) * cellWidth, (row + 1) * cellHeight);
        cells[i] = MEMNEW(Graphic, (picture, &r));
    }
}

SKINCONTROLGRAPHICS::~SKINCONTROLGRAPHICS() {
    for (DWORD i = 0; i < cellCount; ++i)
        if (cells[i]) MEMDELETE(cells[i]);
    if (cells) MEMFREE(cells);
}

namespace {

// Draws source (sx, sy, sw, sh) of a cell to (x, y, w, h) of target within clip.
void Put(Graphic* cell, Graphic* target, const RECT& clip, LONG x, LONG y, LONG w, LONG h, LONG sx, LONG sy,
         LONG sw, LONG sh) {
    if (!cell || !target || w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return;
    RECT area = {x, y, x + w, y + h}, cut;
    if (!IntersectRect(&cut, &area, &clip)) return;
    // A child target keeps every pixel of the draw inside the clip.
    Graphic clipped(target, &cut);
    if (!clipped.IsChild()) return;
    if (w == sw && h == sh)
        cell->Draw(&clipped, x - cut.left, y - cut.top, sx, sy, sw, sh);
    else
        cell->StretchTo(&clipped, x - cut.left, y - cut.top, w, h, sx, sy, sw, sh);
}

} // namespace

void DrawSkinCell(Graphic* cell, Graphic* target, const RECT& clip, LONG x, LONG y, LONG width, LONG height) {
    if (!cell) return;
    LONG w = width < cell->GetWidth() ? width : cell->GetWidth();
    Put(cell, target, clip, x, y, w, height, 0, 0, w, cell->GetHeight());
}

void TileSkinCell(Graphic* cell, Graphic* target, const RECT& clip, LONG x, LONG y, LONG width, LONG height) {
    if (!cell || cell->GetWidth() <= 0) return;
    LONG step = cell->GetWidth();
    for (LONG at = 0; at < width; at += step) {
        if (x + at >= clip.right) break;
        LONG w = width - at < step ? width - at : step;
        if (x + at + w <= clip.left) continue;
        Put(cell, target, clip, x + at, y, w, height, 0, 0, w, cell->GetHeight());
    }
}

void TileSkinCellDown(Graphic* cell, Graphic* target, const RECT& clip, LONG x, LONG y, LONG width,
                      LONG height) {
    if (!cell || cell->GetHeight() <= 0) return;
    LONG step = cell->GetHeight();
    for (LONG at = 0; at < height; at += step) {
        if (y + at >= clip.bottom) break;
        LONG h = height - at < step ? height - at : step;
        if (y + at + h <= clip.top) continue;
        Put(cell, target, clip, x, y + at, width, h, 0, 0, cell->GetWidth(), h);
    }
}

void TileSkinCell2D(Graphic* cell, Graphic* target, const RECT& clip, const RECT& area) {
    if (!cell || cell->GetWidth() <= 0 || cell->GetHeight() <= 0) return;
    LONG cw = cell->GetWidth(), ch = cell->GetHeight();
    for (LONG y = area.top; y < area.bottom && y < clip.bottom; y += ch) {
        LONG h = area.bottom - y < ch ? area.bottom - y : ch;
        if (y + h <= clip.top) continue;
        for (LONG x = area.left; x < area.right && x < clip.right; x += cw) {
            LONG w = area.right - x < cw ? area.right - x : cw;
            if (x + w <= clip.left) continue;
            Put(cell, target, clip, x, y, w, h, 0, 0, w, h);
        }
    }
}

void StretchSkinCell(Graphic* cell, Graphic* target, const RECT& clip, const RECT& area) {
    if (!cell) return;
    Put(cell, target, clip, area.left, area.top, area.right - area.left, area.bottom - area.top, 0, 0,
        cell->GetWidth(), cell->GetHeight());
}

void DrawSkinNineCells(const SKINCONTROLGRAPHICS* g, DWORD firstRow, Graphic* target, const RECT& clip,
                       const RECT& area) {
    if (!g || g->columns < 3 || g->rows < firstRow + 3) return;
    LONG cw = g->cellWidth, ch = g->cellHeight;
    LONG w = area.right - area.left, h = area.bottom - area.top;
    if (w <= 0 || h <= 0) return;
    // Corners take at most half of a small control each.
    LONG left = cw < w / 2 ? cw : w / 2, right = cw < w - left ? cw : w - left;
    LONG top = ch < h / 2 ? ch : h / 2, bottom = ch < h - top ? ch : h - top;
    LONG xs[3] = {area.left, area.left + left, area.right - right};
    LONG ws[3] = {left, w - left - right, right};
    LONG ys[3] = {area.top, area.top + top, area.bottom - bottom};
    LONG hs[3] = {top, h - top - bottom, bottom};
    for (DWORD row = 0; row < 3; ++row)
        for (DWORD column = 0; column < 3; ++column) {
            Graphic* cell = g->Cell(column, firstRow + row);
            if (!cell || ws[column] <= 0 || hs[row] <= 0) continue;
            RECT piece = {xs[column], ys[row], xs[column] + ws[column], ys[row] + hs[row]};
            if (column == 1 || row == 1) {
                TileSkinCell2D(cell, target, clip, piece);
            } else {
                // Corners are cut from the cell's outer sides.
                LONG sx = column == 2 ? cw - ws[column] : 0, sy = row == 2 ? ch - hs[row] : 0;
                Put(cell, target, clip, piece.left, piece.top, ws[column], hs[row], sx, sy, ws[column],
                    hs[row]);
            }
        }
}
