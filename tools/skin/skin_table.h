// The installer's pictures as data: the default skin's nineteen pictures with their state grids, the
// frame artwork and the two button pictures, and the checks that a generated picture matches its row.
// Shared by the generator, its tests and the build's verifier.
#pragma once

#include <string>
#include <vector>

#include "psp_read.h"

// Every installer picture is full colour and keys on pure blue.
constexpr Rgb8 kKeyBlue{0, 0, 255};

struct SkinPictureSpec {
    const char* name; // member stem in the skin ("pbutton" -> "pbutton.psp"), or the file stem
    int id;           // GRAPHIC resource of the installer, 0 for a skin member
    int width, height;
    int columns, rows;    // the grid the skin reader cuts it into
    bool shaped;          // needs transparent blue somewhere (else it must have none)
    bool keyEveryCell;    // each non-empty cell must show some transparent blue (round buttons, shaped ends)
    bool cellsMayBeEmpty; // some states draw nothing (list item not selected)
};

const std::vector<SkinPictureSpec>& SkinPictures();  // the 19 members of the default skin
const std::vector<SkinPictureSpec>& SetupPictures(); // GRAPHIC 501, 502, 503
const SkinPictureSpec* FindSkinPicture(const std::string& name);
std::string SkinMemberName(const SkinPictureSpec& entry); // "pbutton.psp"
std::string SetupFileName(int id);                        // "graphic-501.psp"

// Members of the skin archive that are deflated; every other member is stored.
bool SkinMemberDeflated(const std::string& member);

// Faults of one decoded picture (empty when right): size, 24 bits, no mask, whole cells, transparent blue
// where the shape needs it and nowhere in an opaque picture, no empty cell unless allowed.
std::vector<std::string> CheckSkinPicture(const SkinPictureSpec& entry, const DecodedPicture& picture);
