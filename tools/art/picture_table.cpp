#include "picture_table.h"

#include <set>

namespace {

constexpr Rgb8 kLane{20, 28, 52}; // the board's colour, under keyed pictures that float over it
constexpr Rgb8 kNone{0, 0, 0};

} // namespace

const std::vector<PictureSpec>& GamePictures() {
    static const std::vector<PictureSpec> table = {
        {700, 240, 294, false, 1, 1, false, "background", kNone},
        {701, 240, 92, false, 1, 2, false, "title", kNone},
        {702, 96, 216, false, 4, 9, false, "changer", kNone},
        {703, 96, 216, false, 4, 9, false, "clearer", kNone},
        {704, 96, 216, false, 4, 9, false, "plain", kNone},
        {705, 96, 216, false, 4, 9, false, "bomb", kNone},
        {706, 96, 96, false, 4, 4, false, "appear", kNone},
        {707, 91, 42, false, 1, 2, false, "menubutton", kNone},
        {708, 240, 53, true, 1, 1, false, "headbar", kLane},
        {711, 130, 28, true, 13, 2, false, "glyphs", kLane},
        {712, 54, 192, true, 2, 12, false, "months", kLane},
        {721, 160, 17, false, 10, 1, false, "scoredigits", kNone},
        {722, 234, 4, false, 1, 1, false, "progress", kNone},
        {723, 46, 250, true, 2, 10, false, "leveldigits", kLane},
        {732, 32, 36, true, 1, 3, false, "popups", kLane},
        {709, 480, 74, true, 2, 2, true, "gameover", kLane},
        {713, 240, 36, false, 1, 1, true, "hstitle", kNone},
        {715, 344, 374, true, 2, 11, true, "labels", kLane},
        {717, 172, 264, true, 1, 8, true, "checks", kLane},
        {719, 118, 50, false, 1, 1, true, "hspicture", kNone},
        {724, 160, 25, true, 2, 1, true, "levelword", kLane},
        {726, 185, 72, true, 1, 2, true, "bonus", kLane},
        {728, 240, 196, true, 1, 1, true, "help", kLane},
        {730, 91, 42, false, 1, 2, true, "menuhints", kNone},
    };
    return table;
}

std::vector<int> GamePictureIds() {
    std::vector<int> ids;
    for (const PictureSpec& entry : GamePictures()) {
        ids.push_back(entry.id);
        if (entry.perLanguage) ids.push_back(entry.id + 1);
    }
    return ids;
}

const PictureSpec* FindPicture(int id) {
    for (const PictureSpec& entry : GamePictures())
        if (entry.id == id || (entry.perLanguage && entry.id + 1 == id)) return &entry;
    return nullptr;
}

std::string PictureFileName(int id) { return "graphic-" + std::to_string(id) + ".psp"; }

bool TileMayBeEmpty(int id, int tile) { return (id == 715 || id == 716) && (tile == 8 || tile == 9); }

std::vector<std::string> CheckPicture(const PictureSpec& entry, int id, const DecodedPicture& picture) {
    const std::string what = "picture " + std::to_string(id) + ": ";
    std::vector<std::string> faults =
        CheckPictureLayout(what, picture, entry.width, entry.height, 8, entry.columns, entry.rows, "tiles",
                           "the game keys on pure red");
    if (!faults.empty() || picture.palette.size() != 256) return faults;

    std::set<int> redIndices;
    for (int i = 0; i < 256; ++i)
        if (picture.palette[i] == kKeyRed) redIndices.insert(i);
    const int tileW = entry.width / entry.columns, tileH = entry.height / entry.rows;
    for (int tile = 0; tile < entry.columns * entry.rows; ++tile) {
        const int x0 = (tile % entry.columns) * tileW, y0 = (tile / entry.columns) * tileH;
        int visible = 0, red = 0;
        bool edgeTouched = false;
        for (int y = y0; y < y0 + tileH; ++y)
            for (int x = x0; x < x0 + tileW; ++x) {
                const bool isRed = picture.rgb[static_cast<size_t>(y) * entry.width + x] == kKeyRed;
                red += isRed;
                visible += !isRed;
                if (!isRed && (x == x0 || x == x0 + tileW - 1)) edgeTouched = true;
            }
        const std::string where = what + "tile " + std::to_string(tile) + " ";
        if (!entry.keyed && red)
            faults.push_back(where + "is opaque but has " + std::to_string(red) + " pure red pixels");
        if (entry.keyed && visible == 0 && !TileMayBeEmpty(id, tile)) faults.push_back(where + "is empty");
        if (entry.keyed && visible == tileW * tileH)
            faults.push_back(where + "is keyed but has no transparent pixel");
        const bool label = entry.id == 715 || entry.id == 717;
        if (label && edgeTouched)
            faults.push_back(where + "has no transparent margin at its left or right edge");
    }
    if (entry.keyed && redIndices.size() > 1) {
        std::set<int> used;
        for (uint8_t i : picture.index)
            if (redIndices.count(i)) used.insert(i);
        if (used.size() > 1) faults.push_back(what + "uses pure red under several palette indices");
    }
    return faults;
}

int CountSetColours(const std::vector<const DecodedPicture*>& pictures) {
    std::set<Rgb8> colours;
    for (const DecodedPicture* picture : pictures)
        for (const Rgb8& c : picture->rgb) colours.insert(c);
    colours.erase(Rgb8{0, 0, 0});
    colours.erase(Rgb8{255, 255, 255});
    return static_cast<int>(colours.size());
}
