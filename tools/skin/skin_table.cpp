#include "skin_table.h"

const std::vector<SkinPictureSpec>& SkinPictures() {
    // Cells: corners and edges of a 20-pixel frame; 28 x 30 push buttons (the left cell holds the gem,
    // so labels start 26 pixels in); 16-pixel radio, check and scroll cells.
    static const std::vector<SkinPictureSpec> table = {
        {"frame-c", 0, 40, 40, 2, 2, true, true, false},
        {"frame-lr", 0, 40, 64, 2, 1, false, false, false},
        {"frame-tb", 0, 64, 40, 1, 2, false, false, false},
        {"background", 0, 64, 64, 1, 1, false, false, false},
        {"frame-x", 0, 20, 60, 1, 3, true, true, false},
        {"frame-min", 0, 20, 60, 1, 3, true, true, false},
        {"pbutton", 0, 84, 120, 3, 4, true, false, false},
        {"rbutton", 0, 32, 64, 2, 4, true, true, false},
        {"cbutton", 0, 32, 64, 2, 4, true, true, false},
        {"pbar", 0, 40, 18, 4, 1, true, false, false},
        {"text", 0, 24, 24, 3, 3, true, false, false},
        {"vscroll", 0, 64, 64, 4, 4, true, true, false},
        {"hscroll", 0, 64, 64, 4, 4, true, true, false},
        {"edit", 0, 24, 24, 3, 3, true, false, false},
        {"cursor", 0, 2, 16, 1, 1, false, false, false},
        {"list", 0, 24, 39, 3, 3, true, false, false},
        {"listitem", 0, 32, 72, 2, 4, true, false, true},
        {"icon-alert", 0, 32, 32, 1, 1, true, true, false},
        {"icon-info", 0, 32, 32, 1, 1, true, true, false},
    };
    return table;
}

const std::vector<SkinPictureSpec>& SetupPictures() {
    static const std::vector<SkinPictureSpec> table = {
        {"frame", 501, 480, 360, 1, 1, true, true, false},
        {"install", 502, 96, 144, 3, 4, true, false, false},
        {"rescan", 503, 96, 144, 3, 4, true, false, false},
    };
    return table;
}

const SkinPictureSpec* FindSkinPicture(const std::string& name) {
    for (const SkinPictureSpec& entry : SkinPictures())
        if (name == entry.name) return &entry;
    for (const SkinPictureSpec& entry : SetupPictures())
        if (name == entry.name) return &entry;
    return nullptr;
}

std::string SkinMemberName(const SkinPictureSpec& entry) { return std::string(entry.name) + ".psp"; }
std::string SetupFileName(int id) { return "graphic-" + std::to_string(id) + ".psp"; }

bool SkinMemberDeflated(const std::string& member) { return member == "skin.txt" || member == "list.psp"; }

std::vector<std::string> CheckSkinPicture(const SkinPictureSpec& entry, const DecodedPicture& picture) {
    const std::string what =
        std::string(entry.name) + (entry.id ? " (" + std::to_string(entry.id) + ")" : "") + ": ";
    std::vector<std::string> faults =
        CheckPictureLayout(what, picture, entry.width, entry.height, 24, entry.columns, entry.rows, "cells",
                           "the skin keys on pure blue");
    if (!faults.empty()) return faults;

    const int cellW = entry.width / entry.columns, cellH = entry.height / entry.rows;
    int keyed = 0;
    for (int cell = 0; cell < entry.columns * entry.rows; ++cell) {
        const int x0 = (cell % entry.columns) * cellW, y0 = (cell / entry.columns) * cellH;
        int blue = 0;
        for (int y = y0; y < y0 + cellH; ++y)
            for (int x = x0; x < x0 + cellW; ++x)
                blue += picture.rgb[static_cast<size_t>(y) * entry.width + x] == kKeyBlue;
        keyed += blue;
        const std::string where = what + "cell " + std::to_string(cell) + " ";
        if (!entry.shaped && blue)
            faults.push_back(where + "is opaque but has " + std::to_string(blue) + " pure blue pixels");
        if (blue == cellW * cellH && !entry.cellsMayBeEmpty) faults.push_back(where + "is empty");
        if (entry.keyEveryCell && blue == 0)
            faults.push_back(where + "has no transparent blue around its shape");
    }
    if (entry.shaped && keyed == 0) faults.push_back(what + "is shaped but has no transparent blue");
    return faults;
}
