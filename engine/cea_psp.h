// Reader of PSP images (the block format of the engine's pictures) into a Graphic, with layers as the
// frames of a Sprite. Every read is bounded by the data's size.
#pragma once

#include <windows.h>

class Graphic;
class Sprite;

// Channel compressions of the format.
enum PspPacking { kPspNone = 0, kPspRunLength = 1, kPspDeflate = 2 };

// Fills `graphic` (and `sprite`'s frames for a layered image) from PSP data. Returns FALSE on damaged or
// incomplete data; the caller then empties the graphic.
BOOL ReadPsp(Graphic* graphic, Sprite* sprite, const BYTE* data, DWORD size, COLORREF transparent);

// Unpacks a channel into a new zero-filled buffer of *expected bytes (MEMFREE it). Returns null with
// *expected 0 on failure. An uncompressed channel sets *expected to its length.
BYTE* PspDecompress(const BYTE* data, DWORD length, DWORD* expected, int compression);
