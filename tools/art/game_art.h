// Draws every picture of the game (pieces, board, head bar, digits, banners, labels, help) as canvases,
// ready for quantising to the shared palette. The look of the game lives here.
#pragma once

#include <map>
#include <string>

#include "canvas.h"
#include "text.h"

struct ArtFonts {
    TextRenderer* text = nullptr;
    int bold = -1;          // titles, labels, digits
    int condensedBold = -1; // small texts that must fit narrow places
    int condensed = -1;     // running text of the help picture
};

// Colours shared with the palette file: the board lane and its grooves, the head bar panel and field.
extern const Color kLaneColour, kGrooveColour, kPanelColour, kFieldColour;

// Draws picture `id` (any id of the set); language pictures take the labels of their language.
// Throws std::runtime_error when a text does not fit or a label is missing.
Canvas DrawGamePicture(int id, const ArtFonts& fonts, const std::map<std::string, std::string>& labels);

// The board behind a piece tile at horizontal position x (grooves between the columns).
Color LaneAt(int x);
