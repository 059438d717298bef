// Draws the installer's pictures: the default skin's frame, controls and message icons, the installer's
// own frame artwork and its Install and Rescan buttons, and the programs' icons, in the game's colours
// (night-blue panels, gold rules, glossy blue buttons, the four piece colours).
#pragma once

#include <string>
#include <vector>

#include "canvas.h"
#include "psp_writer.h"
#include "skin_table.h"

// Draws the picture of a table row (skin member or GRAPHIC 501-503) at its size; transparent where the
// canvas's alpha is 0. Throws std::runtime_error for an unknown row.
Canvas DrawSkinPicture(const SkinPictureSpec& entry);

// A 24-bit PSP image of the canvas: pixels below half coverage become the key blue, the others are
// blended over `edge` (what a shape's rim meets), and an opaque pixel that would come out as the key is
// nudged to (0,0,254) so it can never turn transparent by accident.
PspImage ToKeyedPsp(const Canvas& canvas, const std::string& layerName, Color edge);

// Icons at a given size (16, 32 or 48): which = "game" or "setup". RGBA with real alpha.
Canvas DrawIcon(const std::string& which, int size);

// Where things go on the installer's frame artwork (window coordinates); dialog 101 and its pages are
// laid out to match.
struct SetupFrameLayout {
    static constexpr int kWidth = 480, kHeight = 360;
    static constexpr int kRing = 12; // drawn rim; the skin's frame border is 20
    static constexpr int kTitleLeft = 28, kTitleTop = 20, kTitleRight = 340, kTitleBottom = 60;
    static constexpr int kTitleStripBottom = 64; // gold rule above it
    static constexpr int kPageLeft = 20, kPageTop = 72, kPageRight = 460, kPageBottom = 296;
    static constexpr int kButtonBandTop = 300,
                         kButtonBandBottom = 348; // buttons 36 high, 16 above the bottom
};
