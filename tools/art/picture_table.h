// The game's picture set as data: every GRAPHIC resource with its size, tiling and transparency, and the
// checks that a generated picture matches its row. Shared by the generator and the build's verifier.
#pragma once

#include <string>
#include <vector>

#include "psp_read.h"

struct PictureSpec {
    int id; // English id for a language pair
    int width, height;
    bool keyed; // pure red is the transparent colour
    int columns, rows;
    bool perLanguage; // id is English, id + 1 Esperanto
    const char* name; // file stem under the build's asset folder
    Rgb8 backdrop;    // what a keyed picture is shown on (its edges are blended into it)
};

const std::vector<PictureSpec>& GamePictures();
// All resource ids in load order-independent form: one entry per file (33 in all).
std::vector<int> GamePictureIds();
const PictureSpec* FindPicture(int id); // either id of a pair; null when unknown
std::string PictureFileName(int id);    // "graphic-700.psp"

// Tiles whose emptiness is intended (the unused button label and its highlight).
bool TileMayBeEmpty(int id, int tile);

// Checks one decoded picture against its row. Returns the list of faults (empty when it is right):
// size, depth, a whole number of tiles, the key used only where transparency is meant, no visible pure
// red, no empty tile, labels with a transparent margin on both sides.
std::vector<std::string> CheckPicture(const PictureSpec& entry, int id, const DecodedPicture& picture);

// Distinct colours other than black and white over a set of pictures (the key colour counts).
int CountSetColours(const std::vector<const DecodedPicture*>& pictures);
