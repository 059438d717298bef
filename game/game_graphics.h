// GraphicsSet: every picture of the game, loaded once from the program's
// GRAPHIC resources into one shared palette, cut into tiles, with a part per
// language (English, Esperanto) and the visible widths of the button labels.
#pragma once

#include <windows.h>

class Graphic;
class PaletteGroup;

// Pictures that exist once, by resource id.
enum NeutralPicture {
    kPicBackground,   // 700
    kPicTitleStrips,  // 701: 1 x 2
    kPicChanger,      // 702: 4 x 9, column = colour, row = phase
    kPicClearer,      // 703
    kPicPlain,        // 704
    kPicBomb,         // 705
    kPicAppear,       // 706: 4 x 4, appear and vanish steps
    kPicMenuButton,   // 707: 1 x 2
    kPicHeadBar,      // 708
    kPicListGlyphs,   // 711: 13 x 2
    kPicMonths,       // 712: 2 x 12
    kPicScoreDigits,  // 721: 10 x 1
    kPicProgress,     // 722
    kPicBannerDigits, // 723: 2 x 10
    kPicPopUps,       // 732: 1 x 3
    kNeutralPictureCount
};

// Pictures of each language part, by English resource id (Esperanto: id + 1).
enum LanguagePicture {
    kPicGameOver,      // 709: 2 x 2
    kPicScoresTitle,   // 713
    kPicButtonLabels,  // 715: 2 x 11
    kPicCheckButtons,  // 717: 1 x 8
    kPicScoresPicture, // 719
    kPicLevelWord,     // 724: 2 x 1
    kPicBonusBanner,   // 726: 1 x 2
    kPicHelp,          // 728
    kPicMenuHints,     // 730: 1 x 2
    kLanguagePictureCount
};

const int kLabelCount = 11;
const int kLanguagePartCount = 2; // English, Esperanto
const COLORREF kTransparentKey = RGB(255, 0, 0);

// One loaded picture and its tiles (sub-pictures sharing its pixels; row-major).
struct TiledPicture {
    Graphic* picture;
    Graphic** tiles;
    DWORD tileCount;
};

struct LanguagePart {
    TiledPicture pictures[kLanguagePictureCount];
    Graphic* scoresRule; // the title's last pixel row, the rule under the list
    int labelWidths[kLabelCount];
};

// Where the latest load's time went, in milliseconds.
struct GraphicsLoadTimes {
    double read;   // finding and reading the 33 pictures
    double tiles;  // cutting them into tiles
    double merge;  // merging them into the one palette
    double labels; // measuring the button labels
};

class GraphicsSet {
public:
    GraphicsSet();
    ~GraphicsSet();

    // Loads all 33 pictures from `instance` into one palette group. Any missing
    // or unreadable picture frees everything loaded so far and returns false.
    bool load(HINSTANCE instance);
    // Frees every tile, picture and the group; safe on a partly loaded set.
    void free();
    bool loaded() const { return m_loaded; }

    PaletteGroup* paletteGroup() const { return m_group; }
    Graphic* picture(NeutralPicture which) const { return m_neutral[which].picture; }
    // Null beyond the picture's tiles.
    Graphic* tile(NeutralPicture which, DWORD index) const;
    // The English part for language 1033, else the Esperanto part.
    const LanguagePart& part(LANGID language) const;
    const LanguagePart& currentPart() const;
    static Graphic* tile(const LanguagePart& part, LanguagePicture which, DWORD index);

    // The visible width of a label: its drawn columns with 20 pixels either
    // side, within the label.
    static int VisibleLabelWidth(Graphic* label);

    const GraphicsLoadTimes& loadTimes() const { return m_times; }

private:
    bool loadPicture(HINSTANCE instance, TiledPicture* into, UINT id);
    bool cutTiles(TiledPicture* picture, int columns, int rows);
    static void freePicture(TiledPicture* picture);

    PaletteGroup* m_group;
    TiledPicture m_neutral[kNeutralPictureCount];
    LanguagePart m_parts[kLanguagePartCount];
    bool m_loaded;
    GraphicsLoadTimes m_times;

    GraphicsSet(const GraphicsSet&) = delete;
    GraphicsSet& operator=(const GraphicsSet&) = delete;
};
