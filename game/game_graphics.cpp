// GraphicsSet: loading order, tiles, label widths and release.
#include "game_graphics.h"

#include "cea_graphic.h"
#include "cea_palette_group.h"
#include "load_clock.h"
#include "mem_manager.h"
#include "tl_language.h"

namespace {

struct PictureLayout {
    UINT id;
    bool keyed;
    int columns;
    int rows;
};

const PictureLayout kNeutralLayout[kNeutralPictureCount] = {
    {700, false, 1, 1}, {701, false, 1, 2},  {702, false, 4, 9}, {703, false, 4, 9}, {704, false, 4, 9},
    {705, false, 4, 9}, {706, false, 4, 4},  {707, false, 1, 2}, {708, true, 1, 1},  {711, true, 13, 2},
    {712, true, 2, 12}, {721, false, 10, 1}, {722, false, 1, 1}, {723, true, 2, 10}, {732, true, 1, 3},
};

// English ids; the Esperanto picture is the next id.
const PictureLayout kLanguageLayout[kLanguagePictureCount] = {
    {709, true, 2, 2}, {713, false, 1, 1}, {715, true, 2, 11}, {717, true, 1, 8},  {719, false, 1, 1},
    {724, true, 2, 1}, {726, true, 1, 2},  {728, true, 1, 1},  {730, false, 1, 2},
};

const int kEnglishPart = 0;
const int kEsperantoPart = 1;

void ClearPicture(TiledPicture* p) {
    p->picture = nullptr;
    p->tiles = nullptr;
    p->tileCount = 0;
}

} // namespace

GraphicsSet::GraphicsSet() : m_group(nullptr), m_loaded(false), m_times() {
    for (int i = 0; i < kNeutralPictureCount; i++) ClearPicture(&m_neutral[i]);
    for (int k = 0; k < kLanguagePartCount; k++) {
        for (int i = 0; i < kLanguagePictureCount; i++) ClearPicture(&m_parts[k].pictures[i]);
        m_parts[k].scoresRule = nullptr;
        for (int i = 0; i < kLabelCount; i++) m_parts[k].labelWidths[i] = 0;
    }
}

GraphicsSet::~GraphicsSet() { free(); }

bool GraphicsSet::loadPicture(HINSTANCE instance, TiledPicture* into, UINT id) {
    const PictureLayout* layout = nullptr;
    for (int i = 0; i < kNeutralPictureCount && !layout; i++)
        if (kNeutralLayout[i].id == id) layout = &kNeutralLayout[i];
    for (int i = 0; i < kLanguagePictureCount && !layout; i++)
        if (kLanguageLayout[i].id == id || kLanguageLayout[i].id + 1 == id) layout = &kLanguageLayout[i];
    if (!layout) return false;
    Graphic* g =
        MEMNEW(Graphic, (nullptr, instance, MAKEINTRESOURCE(id), layout->keyed ? kTransparentKey : kNoColor));
    if (!g) return false;
    into->picture = g;
    if (!g->IsLoaded() || g->GetWidth() <= 0 || g->GetHeight() <= 0) return false;
    m_group->Add(g);
    return true;
}

bool GraphicsSet::cutTiles(TiledPicture* p, int columns, int rows) {
    if (columns * rows <= 1) return true;
    DWORD count = static_cast<DWORD>(columns * rows);
    p->tiles = static_cast<Graphic**>(MEMALLOC(count * sizeof(Graphic*)));
    if (!p->tiles) return false;
    for (DWORD i = 0; i < count; i++) p->tiles[i] = nullptr;
    p->tileCount = count;
    int w = p->picture->GetWidth() / columns, h = p->picture->GetHeight() / rows;
    for (int r = 0; r < rows; r++)
        for (int c = 0; c < columns; c++) {
            RECT rect = {c * w, r * h, (c + 1) * w, (r + 1) * h};
            Graphic* tile = MEMNEW(Graphic, (p->picture, &rect));
            if (!tile) return false;
            p->tiles[r * columns + c] = tile;
        }
    return true;
}

bool GraphicsSet::load(HINSTANCE instance) {
    free();
    m_times = GraphicsLoadTimes();
    m_group = MEMNEW(PaletteGroup, ());
    if (!m_group) return false;
    m_group->Open();
    bool ok = true;
    // Esperanto part first, then English, each with its tiles after its pictures.
    const int partOrder[kLanguagePartCount] = {kEsperantoPart, kEnglishPart};
    for (int k = 0; k < kLanguagePartCount && ok; k++) {
        LanguagePart& part = m_parts[partOrder[k]];
        UINT offset = partOrder[k] == kEsperantoPart ? 1 : 0;
        double start = LoadClockMs();
        for (int i = 0; i < kLanguagePictureCount && ok; i++)
            ok = loadPicture(instance, &part.pictures[i], kLanguageLayout[i].id + offset);
        double read = LoadClockMs();
        for (int i = 0; i < kLanguagePictureCount && ok; i++)
            ok = cutTiles(&part.pictures[i], kLanguageLayout[i].columns, kLanguageLayout[i].rows);
        m_times.read += read - start;
        m_times.tiles += LoadClockMs() - read;
    }
    double start = LoadClockMs();
    for (int i = 0; i < kNeutralPictureCount && ok; i++)
        ok = loadPicture(instance, &m_neutral[i], kNeutralLayout[i].id);
    double read = LoadClockMs();
    for (int i = 0; i < kNeutralPictureCount && ok; i++)
        ok = cutTiles(&m_neutral[i], kNeutralLayout[i].columns, kNeutralLayout[i].rows);
    for (int k = 0; k < kLanguagePartCount && ok; k++) {
        Graphic* title = m_parts[k].pictures[kPicScoresTitle].picture;
        RECT last = {0, title->GetHeight() - 1, title->GetWidth(), title->GetHeight()};
        m_parts[k].scoresRule = MEMNEW(Graphic, (title, &last));
        ok = m_parts[k].scoresRule != nullptr;
    }
    double tiled = LoadClockMs();
    m_times.read += read - start;
    m_times.tiles += tiled - read;
    m_group->Close();
    double merged = LoadClockMs();
    m_times.merge = merged - tiled;
    if (!ok) {
        free();
        return false;
    }
    for (int k = 0; k < kLanguagePartCount; k++)
        for (int i = 0; i < kLabelCount; i++)
            m_parts[k].labelWidths[i] = VisibleLabelWidth(tile(m_parts[k], kPicButtonLabels, 2 * i));
    m_times.labels = LoadClockMs() - merged;
    m_loaded = true;
    return true;
}

void GraphicsSet::freePicture(TiledPicture* p) {
    // Tiles go first: a picture deletes the children still attached to it.
    for (DWORD i = 0; i < p->tileCount; i++)
        if (p->tiles[i]) MEMDELETE(p->tiles[i]);
    if (p->tiles) MEMFREE(p->tiles);
    if (p->picture) MEMDELETE(p->picture);
    ClearPicture(p);
}

void GraphicsSet::free() {
    for (int k = 0; k < kLanguagePartCount; k++) {
        if (m_parts[k].scoresRule) MEMDELETE(m_parts[k].scoresRule);
        m_parts[k].scoresRule = nullptr;
        for (int i = 0; i < kLanguagePictureCount; i++) freePicture(&m_parts[k].pictures[i]);
        for (int i = 0; i < kLabelCount; i++) m_parts[k].labelWidths[i] = 0;
    }
    for (int i = 0; i < kNeutralPictureCount; i++) freePicture(&m_neutral[i]);
    if (m_group) {
        if (PaletteGroup::GetDisplayGroup() == m_group) PaletteGroup::SetDisplayGroup(nullptr);
        MEMDELETE(m_group);
    }
    m_group = nullptr;
    m_loaded = false;
}

Graphic* GraphicsSet::tile(NeutralPicture which, DWORD index) const {
    const TiledPicture& p = m_neutral[which];
    if (p.tileCount == 0) return index == 0 ? p.picture : nullptr;
    return index < p.tileCount ? p.tiles[index] : nullptr;
}

Graphic* GraphicsSet::tile(const LanguagePart& part, LanguagePicture which, DWORD index) {
    const TiledPicture& p = part.pictures[which];
    if (p.tileCount == 0) return index == 0 ? p.picture : nullptr;
    return index < p.tileCount ? p.tiles[index] : nullptr;
}

const LanguagePart& GraphicsSet::part(LANGID language) const {
    return m_parts[language == kLangEnglish ? kEnglishPart : kEsperantoPart];
}

const LanguagePart& GraphicsSet::currentPart() const { return part(GetLanguage()); }

int GraphicsSet::VisibleLabelWidth(Graphic* label) {
    if (!label) return 0;
    int width = label->GetWidth();
    int y = label->GetHeight() / 2;
    int first = -1, last = -1;
    for (int x = 0; x < width; x++) {
        if (label->GetPixelColor(x, y) == kTransparentKey) continue;
        if (first < 0) first = x;
        last = x;
    }
    // A label with no drawn pixel in its middle row takes no hits.
    if (first < 0) return 0;
    int right = last + 20 < width ? last + 20 : width;
    int left = first - 20 > 0 ? first - 20 : 0;
    return right - left;
}
