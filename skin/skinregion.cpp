// Frame pieces: drawing and the shaped window region made from their opaque pixel runs.
#include "skinregion.h"

#include "cea_graphic.h"
#include "skingraphics.h"

namespace {

// The cell's pixel that lands on window point (x, y) of the piece.
BOOL SourcePoint(const SKINFRAMEPIECE& piece, LONG x, LONG y, LONG* sx, LONG* sy) {
    Graphic* cell = piece.cell;
    if (!cell) return FALSE;
    LONG cw = cell->GetWidth(), ch = cell->GetHeight();
    LONG w = piece.rect.right - piece.rect.left, h = piece.rect.bottom - piece.rect.top;
    if (cw <= 0 || ch <= 0 || w <= 0 || h <= 0) return FALSE;
    LONG dx = x - piece.rect.left, dy = y - piece.rect.top;
    switch (piece.mode) {
    case kPieceTileAcross:
        *sx = dx % cw;
        *sy = static_cast<LONG>(static_cast<LONGLONG>(dy) * ch / h);
        break;
    case kPieceTileDown:
        *sx = static_cast<LONG>(static_cast<LONGLONG>(dx) * cw / w);
        *sy = dy % ch;
        break;
    case kPieceStretch:
        *sx = static_cast<LONG>(static_cast<LONGLONG>(dx) * cw / w);
        *sy = static_cast<LONG>(static_cast<LONGLONG>(dy) * ch / h);
        break;
    default:
        if (dx >= cw || dy >= ch) return FALSE;
        *sx = dx;
        *sy = dy;
    }
    return TRUE;
}

bool Inside(const RECT& r, LONG x, LONG y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

} // namespace

BOOL SkinPieceOpaque(const SKINFRAMEPIECE& piece, LONG x, LONG y) {
    LONG sx, sy;
    if (!Inside(piece.rect, x, y) || !SourcePoint(piece, x, y, &sx, &sy)) return FALSE;
    COLORREF transparent = piece.cell->GetTransparency();
    if (transparent == kNoColor) return TRUE;
    return (piece.cell->GetPixelColor(sx, sy) & 0xFFFFFF) != (transparent & 0xFFFFFF);
}

void DrawSkinFramePieces(const SKINFRAMEPIECE* pieces, DWORD count, Graphic* target, const RECT& clip) {
    for (DWORD i = 0; i < count; ++i) {
        const SKINFRAMEPIECE& p = pieces[i];
        LONG w = p.rect.right - p.rect.left, h = p.rect.bottom - p.rect.top;
        switch (p.mode) {
        case kPieceTileAcross:
            TileSkinCell(p.cell, target, clip, p.rect.left, p.rect.top, w, h);
            break;
        case kPieceTileDown:
            TileSkinCellDown(p.cell, target, clip, p.rect.left, p.rect.top, w, h);
            break;
        case kPieceStretch:
            StretchSkinCell(p.cell, target, clip, p.rect);
            break;
        default:
            DrawSkinCell(p.cell, target, clip, p.rect.left, p.rect.top, w, h);
        }
    }
}

HRGN SkinFrameRegion(const SKINFRAMEPIECE* pieces, DWORD count, LONG width, LONG height) {
    if (count == 0 || width <= 0 || height <= 0) return nullptr;
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    for (LONG y = 0; y < height && region; ++y) {
        LONG runStart = -1;
        for (LONG x = 0; x <= width; ++x) {
            BOOL opaque = FALSE;
            if (x < width) {
                // The pieces' regions are united; a point that no piece covers is the window's inside.
                BOOL covered = FALSE;
                for (DWORD i = 0; i < count && !opaque; ++i) {
                    if (!pieces[i].cell || !Inside(pieces[i].rect, x, y)) continue;
                    covered = TRUE;
                    opaque = SkinPieceOpaque(pieces[i], x, y);
                }
                if (!covered) opaque = TRUE;
            }
            if (opaque && runStart < 0) runStart = x;
            if (!opaque && runStart >= 0) {
                HRGN run = CreateRectRgn(runStart, y, x, y + 1);
                if (run) {
                    CombineRgn(region, region, run, RGN_OR);
                    DeleteObject(run);
                }
                runStart = -1;
            }
        }
    }
    return region;
}
