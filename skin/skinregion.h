// The frame of a skinned window as placed pieces (a single "frame" picture, or corners and edges cut from
// "frame-c", "frame-lr" and "frame-tb"), their drawing, and the window's shape: every run of opaque
// pixels of the pieces in a pixel row becomes one rectangle of a region.
#pragma once

#include <windows.h>

class Graphic;

struct SKINFRAMEPIECE {
    Graphic* cell; // belongs to the skin
    RECT rect;     // where the piece lies in the window
    DWORD mode;    // how the cell covers the rectangle
};

// Piece modes: drawn once at the rectangle's corner, tiled across, tiled down, or stretched over it.
enum { kPieceOnce = 0, kPieceTileAcross = 1, kPieceTileDown = 2, kPieceStretch = 3 };

const DWORD kMaxFramePieces = 8;

// Whether the piece shows an opaque pixel at window point (x, y) (inside its rectangle).
BOOL SkinPieceOpaque(const SKINFRAMEPIECE& piece, LONG x, LONG y);
// Draws the pieces into target within clip.
void DrawSkinFramePieces(const SKINFRAMEPIECE* pieces, DWORD count, Graphic* target, const RECT& clip);
// The shape of a window of the given size: the pieces' opaque pixels plus everything no piece covers.
// Null when there are no pieces (the window keeps its rectangle) or the region cannot be made.
HRGN SkinFrameRegion(const SKINFRAMEPIECE* pieces, DWORD count, LONG width, LONG height);
