// A skin picture cut into a grid of equal state cells (`SKINCONTROLGRAPHICS`), the grids of the control
// type codes, and the drawing of cells into a target: cut to a width, stretched to a height, or tiled.
#pragma once

#include <windows.h>

class Graphic;

// A code with this bit gives its grid directly: columns in bits 16 to 30, rows in bits 0 to 15.
const DWORD kSkinGridExplicit = 0x80000000;
inline DWORD SkinGrid(DWORD columns, DWORD rows) {
    return kSkinGridExplicit | (columns << 16) | (rows & 0xFFFF);
}

// The grid of a control type code; throws "constructing skincontrolgraphics for unknown control type" for
// a code that has none.
void SkinGridOf(DWORD code, DWORD* columns, DWORD* rows);

struct SKINCONTROLGRAPHICS {
    Graphic* picture; // belongs to the skin
    DWORD code;
    DWORD columns, rows;
    LONG cellWidth, cellHeight; // remainders of the picture are ignored
    Graphic** cells;            // row-major children of the picture (null where a cell would be empty)
    DWORD cellCount;

    // Cuts `picture` by the grid of `code` (throws for an unknown code).
    SKINCONTROLGRAPHICS(Graphic* picture, DWORD code);
    ~SKINCONTROLGRAPHICS();
    // The cell by row-major index, or null beyond the grid.
    Graphic* Cell(DWORD index) const { return index < cellCount ? cells[index] : nullptr; }
    Graphic* Cell(DWORD column, DWORD row) const {
        return column < columns && row < rows ? cells[row * columns + column] : nullptr;
    }

private:
    SKINCONTROLGRAPHICS(const SKINCONTROLGRAPHICS&) = delete;
    SKINCONTROLGRAPHICS& operator=(const SKINCONTROLGRAPHICS&) = delete;
};

// Draws the left `width` pixels of a cell (all of it when wider) at (x, y), stretched to `height`, into
// target, never outside `clip` (target coordinates).
void DrawSkinCell(Graphic* cell, Graphic* target, const RECT& clip, LONG x, LONG y, LONG width, LONG height);
// Tiles a cell over a rectangle, each tile stretched to the rectangle's height, starting at its left edge.
void TileSkinCell(Graphic* cell, Graphic* target, const RECT& clip, LONG x, LONG y, LONG width, LONG height);
// Tiles a cell in both directions over a rectangle.
void TileSkinCell2D(Graphic* cell, Graphic* target, const RECT& clip, const RECT& area);
// Tiles a cell down a rectangle, each tile stretched to the rectangle's width (vertical bars).
void TileSkinCellDown(Graphic* cell, Graphic* target, const RECT& clip, LONG x, LONG y, LONG width,
                      LONG height);
// A cell stretched over a rectangle.
void StretchSkinCell(Graphic* cell, Graphic* target, const RECT& clip, const RECT& area);
// Nine-cell frame: a 3 x 3 grid drawn as corners, tiled edges and a tiled middle over `area`.
void DrawSkinNineCells(const SKINCONTROLGRAPHICS* graphics, DWORD firstRow, Graphic* target, const RECT& clip,
                       const RECT& area);
