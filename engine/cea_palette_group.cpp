// Palette merging, colour placement, lookups and the inverse colour table.
#include "cea_palette_group.h"

#include "cea_graphic.h"
#include "cea_sprite.h"
#include "mem_manager.h"

#include <string.h>

namespace {

// The uniform palette's cells (2 bits of red, 3 of green, 3 of blue) in index order: the cells of the
// sixteen classic system colours take indices 0 to 15, white keeps 255, and every other cell takes the
// next index from 16 up.
struct UniformMap {
    BYTE index[256];
};

constexpr UniformMap BuildUniformMap() {
    constexpr BYTE systemCells[16] = {0, 64, 24, 88, 3, 67, 27, 173, 91, 192, 56, 248, 7, 199, 63, 254};
    UniformMap map = {};
    BYTE next = 16;
    for (int cell = 0; cell < 256; ++cell) {
        int system = -1;
        for (int k = 0; k < 16; ++k)
            if (systemCells[k] == cell) system = k;
        map.index[cell] = system >= 0 ? static_cast<BYTE>(system) : cell == 255 ? BYTE(255) : next++;
    }
    return map;
}

constexpr UniformMap kUniformMap = BuildUniformMap();

} // namespace

const BYTE* const g_uniformMap = kUniformMap.index;

namespace {

const DWORD kAnyIndex = 0xFFFFFFFF;
const DWORD kHashSize = 766; // red + green + blue runs from 0 to 765
DWORD g_outOfColors = 0;
PaletteGroup* g_displayGroup = nullptr;

// Palette index last found or placed for each colour sum; shared by every group of the process.
BYTE* ColorHash() {
    static BYTE* hash = [] {
        DWORD clrHASH_FN_SIZE = kHashSize;
        BYTE* table = static_cast<BYTE*>(MEMALLOC(sizeof(BYTE) * clrHASH_FN_SIZE));
        if (table) {
            memset(table, 0, kHashSize);
            MEMTARE(table);
        }
        return table;
    }();
    return hash;
}

inline DWORD Sum(COLORREF c) { return GetRValue(c) + GetGValue(c) + GetBValue(c); }

inline COLORREF EntryColor(const PALETTEENTRY& e) { return RGB(e.peRed, e.peGreen, e.peBlue); }

int QueryScreenDepth() {
    HDC screen = ::GetDC(nullptr);
    int depth = screen ? GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES) : 32;
    if (screen) ::ReleaseDC(nullptr, screen);
    return depth;
}

// The screen's real depth, asked once and then only again when the display changes or a group merges:
// every paint wants the palette handle, and asking the screen costs more than composing a whole frame.
PaletteGroup::ScreenDepthQuery g_depthQuery = nullptr;
int g_screenDepth = 0; // 0: not asked yet

int ScreenDepth() {
    if (g_screenDepth == 0) PaletteGroup::RefreshScreenDepth();
    return g_screenDepth;
}

// Hue, lightness and saturation on a 0..255 scale; greys get hue 170.
void ToHls(int r, int g, int b, int& h, int& l, int& s) {
    const int range = 255;
    int high = r > g ? (r > b ? r : b) : (g > b ? g : b);
    int low = r < g ? (r < b ? r : b) : (g < b ? g : b);
    l = ((high + low) * range + range) / (2 * range);
    if (high == low) {
        s = 0;
        h = range * 2 / 3;
        return;
    }
    int spread = high - low;
    if (l <= range / 2)
        s = (spread * range + (high + low) / 2) / (high + low);
    else
        s = (spread * range + (2 * range - high - low) / 2) / (2 * range - high - low);
    int dr = ((high - r) * (range / 6) + spread / 2) / spread;
    int dg = ((high - g) * (range / 6) + spread / 2) / spread;
    int db = ((high - b) * (range / 6) + spread / 2) / spread;
    if (r == high)
        h = db - dg;
    else if (g == high)
        h = range / 3 + dr - db;
    else
        h = 2 * range / 3 + dg - dr;
    if (h < 0) h += range;
    if (h > range) h -= range;
}

inline int Distance(int a, int b) { return a > b ? a - b : b - a; }

} // namespace

PaletteGroup::PaletteGroup()
    : entries_(nullptr), entryCount_(0), paletteHandle_(nullptr), openCount_(1), fixed_(FALSE),
      inverse_(nullptr) {
    memset(palette_, 0, sizeof palette_);
    RefreshScreenDepth();
    if (ScreenDepth() == 4) {
        AddEntries(kSystemColors, 0);
    } else {
        AddSpecific(0, RGB(0, 0, 0));
        AddSpecific(255, RGB(255, 255, 255));
    }
    Close();
}

PaletteGroup::~PaletteGroup() {
    openCount_ = 0;
    for (DWORD i = 0; i < entryCount_; ++i)
        if (entries_[i].inUse && entries_[i].isGraphic) entries_[i].graphic->SetPaletteGroup(nullptr);
    if (entries_) MEMFREE(entries_);
    if (paletteHandle_) DeleteObject(paletteHandle_);
    if (inverse_) MEMFREE(inverse_);
    if (g_displayGroup == this) g_displayGroup = nullptr;
}

BOOL PaletteGroup::Open() {
    if (openCount_ == 0) {
        for (DWORD i = 0; i < entryCount_; ++i)
            if (entries_[i].inUse && entries_[i].isGraphic && entries_[i].graphic->HasOpenDC()) return FALSE;
    }
    ++openCount_;
    return TRUE;
}

void PaletteGroup::Close() {
    if (openCount_ == 0) return;
    if (--openCount_ == 0) Merge();
}

PALETTEMEMBER* PaletteGroup::NewMember() {
    for (DWORD i = 0; i < entryCount_; ++i)
        if (!entries_[i].inUse) return &entries_[i];
    DWORD slot = entryCount_;
    if (!MEMREALLOC(PALETTEMEMBER, entries_, entryCount_, slot + 1, 4)) return nullptr;
    return &entries_[slot];
}

PALETTEMEMBER* PaletteGroup::FindGraphic(Graphic* graphic) {
    for (DWORD i = 0; i < entryCount_; ++i)
        if (entries_[i].inUse && entries_[i].isGraphic && entries_[i].graphic == graphic) return &entries_[i];
    return nullptr;
}

namespace {

// Only palettized roots are members; a child stands for its root.
Graphic* MemberRoot(Graphic* graphic) {
    if (!graphic) return nullptr;
    while (graphic->IsChild()) graphic = graphic->GetParent();
    return graphic && graphic->IsLoaded() && graphic->GetDepth() <= 8 ? graphic : nullptr;
}

} // namespace

void PaletteGroup::Add(Graphic* graphic, BOOL locked) {
    graphic = MemberRoot(graphic);
    if (!IsOpen() || !graphic || FindGraphic(graphic)) return;
    PALETTEMEMBER* member = NewMember();
    if (!member) return;
    member->inUse = 1;
    member->specific = 0;
    member->index = kAnyIndex;
    member->isGraphic = 1;
    member->locked = locked ? 1 : 0;
    member->graphic = graphic;
    member->colour = 0;
    graphic->SetPaletteGroup(this);
}

void PaletteGroup::Add(Sprite* sprite, BOOL locked) {
    if (!IsOpen() || !sprite) return;
    Sprite* source = sprite->IsChild() ? sprite->GetParent() : sprite;
    for (DWORD i = 0; i < source->GetFrameCount(); ++i) Add(source->GetFrame(i), locked);
}

void PaletteGroup::Remove(Graphic* graphic) {
    graphic = MemberRoot(graphic);
    if (!IsOpen() || !graphic) return;
    if (PALETTEMEMBER* member = FindGraphic(graphic)) {
        memset(member, 0, sizeof *member);
        graphic->SetPaletteGroup(nullptr);
    }
}

void PaletteGroup::Remove(Sprite* sprite) {
    if (!IsOpen() || !sprite) return;
    Sprite* source = sprite->IsChild() ? sprite->GetParent() : sprite;
    for (DWORD i = 0; i < source->GetFrameCount(); ++i) Remove(source->GetFrame(i));
}

void PaletteGroup::Join(Graphic* graphic) {
    graphic = MemberRoot(graphic);
    if (!graphic || FindGraphic(graphic)) return;
    if (PALETTEMEMBER* member = NewMember()) {
        memset(member, 0, sizeof *member);
        member->inUse = 1;
        member->index = kAnyIndex;
        member->isGraphic = 1;
        member->graphic = graphic;
        graphic->SetPaletteGroup(this);
    }
}

void PaletteGroup::Forget(Graphic* graphic) {
    if (PALETTEMEMBER* member = FindGraphic(graphic)) memset(member, 0, sizeof *member);
}

void PaletteGroup::AddSpecific(DWORD index, COLORREF colour) {
    if (!IsOpen() || index > 255) return;
    colour &= 0xFFFFFF;
    for (DWORD i = 0; i < entryCount_; ++i)
        if (entries_[i].inUse && entries_[i].specific && entries_[i].index == index) return;
    for (DWORD i = 0; i < entryCount_; ++i) {
        if (entries_[i].inUse && !entries_[i].isGraphic && entries_[i].colour == colour) {
            entries_[i].specific = 1;
            return;
        }
    }
    if (PALETTEMEMBER* member = NewMember()) {
        memset(member, 0, sizeof *member);
        member->inUse = 1;
        member->specific = 1;
        member->index = index;
        member->colour = colour;
    }
}

void PaletteGroup::RemoveSpecific(DWORD index) {
    if (!IsOpen()) return;
    for (DWORD i = 0; i < entryCount_; ++i)
        if (entries_[i].inUse && entries_[i].specific && entries_[i].index == index)
            memset(&entries_[i], 0, sizeof entries_[i]);
}

void PaletteGroup::AddColor(COLORREF colour) {
    if (!IsOpen()) return;
    colour &= 0xFFFFFF;
    for (DWORD i = 0; i < entryCount_; ++i)
        if (entries_[i].inUse && !entries_[i].isGraphic && entries_[i].colour == colour) return;
    if (PALETTEMEMBER* member = NewMember()) {
        memset(member, 0, sizeof *member);
        member->inUse = 1;
        member->index = kAnyIndex;
        member->colour = colour;
    }
}

void PaletteGroup::RemoveColor(COLORREF colour) {
    if (!IsOpen()) return;
    colour &= 0xFFFFFF;
    for (DWORD i = 0; i < entryCount_; ++i)
        if (entries_[i].inUse && !entries_[i].isGraphic && entries_[i].colour == colour)
            memset(&entries_[i], 0, sizeof entries_[i]);
}

void PaletteGroup::AddEntries(const PALETTEENTRY* entries, DWORD count) {
    if (!IsOpen()) return;
    if (entries == kSystemColors) {
        PALETTEENTRY system[256];
        HDC screen = ::GetDC(nullptr);
        UINT n = screen ? GetSystemPaletteEntries(screen, 0, 256, system) : 0;
        if (screen) ::ReleaseDC(nullptr, screen);
        if (n > 0 && n <= 16) {
            for (UINT i = 1; i + 1 < n; ++i) AddColor(EntryColor(system[i]));
        } else if (n == 256) {
            for (UINT i = 1; i <= 9; ++i) AddColor(EntryColor(system[i]));
            for (UINT i = 246; i <= 254; ++i) AddColor(EntryColor(system[i]));
        }
        return;
    }
    if (entries == kUniformPalette) {
        static const BYTE reds[4] = {0, 128, 192, 255};
        static const BYTE levels[8] = {0, 40, 80, 115, 160, 192, 225, 255};
        for (int r = 0; r < 4; ++r)
            for (int g = 0; g < 8; ++g)
                for (int b = 0; b < 8; ++b)
                    AddSpecific(g_uniformMap[r * 64 + g * 8 + b], RGB(reds[r], levels[g], levels[b]));
        fixed_ = TRUE;
        return;
    }
    if (!entries) return;
    for (DWORD i = 0; i < count; ++i) AddColor(EntryColor(entries[i]));
}

void PaletteGroup::RemoveEntries(const PALETTEENTRY* entries, DWORD count) {
    if (!IsOpen()) return;
    if (entries == kSystemColors || entries == kUniformPalette) {
        for (DWORD i = 0; i < entryCount_; ++i)
            if (entries_[i].inUse && entries_[i].specific) memset(&entries_[i], 0, sizeof entries_[i]);
        fixed_ = FALSE;
        return;
    }
    if (!entries) return;
    for (DWORD i = 0; i < count; ++i) RemoveColor(EntryColor(entries[i]));
}

COLORREF PaletteGroup::GetColor(DWORD index) const {
    if (IsOpen() || index > 255) return kNoColor;
    return EntryColor(palette_[index]);
}

DWORD PaletteGroup::FindColor(COLORREF colour) const {
    if (IsOpen()) return 0xFFFFFFFF;
    colour &= 0xFFFFFF;
    BYTE* hash = ColorHash();
    if (hash && EntryColor(palette_[hash[Sum(colour)]]) == colour) return hash[Sum(colour)];
    for (DWORD i = 0; i < 256; ++i) {
        if (EntryColor(palette_[i]) == colour) {
            if (hash) hash[Sum(colour)] = static_cast<BYTE>(i);
            return i;
        }
    }
    return 0xFFFFFFFF;
}

DWORD PaletteGroup::GetEntries(DWORD first, DWORD count, PALETTEENTRY* entries) const {
    if (IsOpen() || first > 255) return 0;
    if (count > 256 - first) count = 256 - first;
    memcpy(entries, palette_ + first, count * sizeof(PALETTEENTRY));
    return count;
}

HPALETTE PaletteGroup::GetPaletteHandle() {
    if (IsOpen() || ScreenDepth() > 8) return nullptr;
    if (!paletteHandle_) {
        struct {
            WORD version;
            WORD count;
            PALETTEENTRY entries[256];
        } logical;
        logical.version = 0x300;
        logical.count = 256;
        memcpy(logical.entries, palette_, sizeof palette_);
        paletteHandle_ = CreatePalette(reinterpret_cast<LOGPALETTE*>(&logical));
        HDC screen = ::GetDC(nullptr);
        if (screen && paletteHandle_) {
            SelectPalette(screen, paletteHandle_, FALSE);
            RealizePalette(screen);
        }
        if (screen) ::ReleaseDC(nullptr, screen);
    }
    return paletteHandle_;
}

void PaletteGroup::RefreshScreenDepth() {
    int depth = g_depthQuery ? g_depthQuery() : QueryScreenDepth();
    g_screenDepth = depth > 0 ? depth : 32;
}

PaletteGroup::ScreenDepthQuery PaletteGroup::SetScreenDepthQuery(ScreenDepthQuery query) {
    ScreenDepthQuery old = g_depthQuery;
    g_depthQuery = query;
    return old;
}

DWORD PaletteGroup::GetOutOfColorsCount() { return g_outOfColors; }
PaletteGroup* PaletteGroup::GetDisplayGroup() { return g_displayGroup; }
void PaletteGroup::SetDisplayGroup(PaletteGroup* group) { g_displayGroup = group; }

// ---- merging ----

DWORD PaletteGroup::PlaceColor(DWORD index, COLORREF colour, bool fixed) {
    colour &= 0xFFFFFF;
    BYTE r = GetRValue(colour), g = GetGValue(colour), b = GetBValue(colour);
    DWORD result = 0xFFFFFFFF;
    BYTE* hash = ColorHash();
    if (index != kAnyIndex) {
        palette_[index].peRed = r;
        palette_[index].peGreen = g;
        palette_[index].peBlue = b;
        palette_[index].peFlags = 0;
        result = index;
    } else if (fixed) {
        result = g_uniformMap[(r & 0xC0) | (g >> 5) << 3 | (b >> 5)];
    } else {
        if (hash && EntryColor(palette_[hash[Sum(colour)]]) == colour) return hash[Sum(colour)];
        for (DWORD i = 0; i < 256 && result == 0xFFFFFFFF; ++i)
            if (EntryColor(palette_[i]) == colour) result = i;
        // Unused entries are black; black itself was found above when it is already placed.
        for (DWORD i = 1; i < 255 && result == 0xFFFFFFFF; ++i) {
            if (EntryColor(palette_[i]) == 0) {
                palette_[i].peRed = r;
                palette_[i].peGreen = g;
                palette_[i].peBlue = b;
                result = i;
            }
        }
        if (result == 0xFFFFFFFF) ++g_outOfColors;
    }
    if (result != 0xFFFFFFFF && hash) hash[Sum(EntryColor(palette_[result]))] = static_cast<BYTE>(result);
    return result;
}

void PaletteGroup::MergeGraphic(Graphic* graphic) {
    COLORREF transparent = graphic->GetTransparency();
    DWORD map[256];
    bool mapped[256];
    memset(mapped, 0, sizeof mapped);
    if (transparent != kNoColor) {
        DWORD value = graphic->ColorToValue(transparent) & 255;
        map[value] = PlaceColor(kAnyIndex, graphic->GetPaletteColor(value), fixed_ != FALSE);
        mapped[value] = true;
    }
    int width = graphic->GetWidth(), height = graphic->GetHeight();
    BYTE* bits = graphic->GetBits();
    DWORD pitch = graphic->GetPitch();
    bool byteSized = graphic->GetDepth() == 8;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            DWORD value = byteSized ? bits[y * pitch + x] : graphic->GetPixelValue(x, y);
            if (!mapped[value]) {
                map[value] = PlaceColor(kAnyIndex, graphic->GetPaletteColor(value), fixed_ != FALSE);
                mapped[value] = true;
            }
            if (map[value] == 0xFFFFFFFF) continue; // no room: the pixel keeps its value
            if (byteSized)
                bits[y * pitch + x] = static_cast<BYTE>(map[value]);
            else
                graphic->SetPixelValue(x, y, map[value]);
        }
    }
}

void PaletteGroup::Merge() {
    // A merge is rare and makes a new palette handle, so it is a good moment to look at the screen again.
    RefreshScreenDepth();
    memset(palette_, 0, sizeof palette_);
    for (DWORD i = 0; i < entryCount_; ++i)
        if (entries_[i].inUse && entries_[i].specific)
            PlaceColor(entries_[i].index, entries_[i].colour, false);
    if (!fixed_) {
        for (DWORD i = 0; i < entryCount_; ++i)
            if (entries_[i].inUse && !entries_[i].isGraphic && !entries_[i].specific)
                PlaceColor(kAnyIndex, entries_[i].colour, false);
    }
    for (DWORD i = 0; i < entryCount_; ++i)
        if (entries_[i].inUse && entries_[i].isGraphic && !entries_[i].locked)
            MergeGraphic(entries_[i].graphic);
    for (DWORD i = 0; i < entryCount_; ++i)
        if (entries_[i].inUse && entries_[i].isGraphic)
            entries_[i].graphic->SetPaletteEntries(palette_, 0, 256);
    if (paletteHandle_) DeleteObject(paletteHandle_);
    paletteHandle_ = nullptr;
    // The inverse table is built here rather than at the first blend: merges happen while loading, blends
    // every frame, and a table built lazily would stall the first frame that blends.
    if (inverse_) MEMFREE(inverse_);
    inverse_ = nullptr;
    if (!fixed_) BuildInverseTable();
}

// For each cell of 4 bits per channel, the palette index closest in hue, lightness and saturation
// (saturation counts once, hue twice, lightness three times; ties keep the lower index). An entry that
// repeats the colour of a lower one can never win a cell, since ties go to the lower index, so only the
// first entry of each colour is compared: a palette's unused entries are all black, and a new group's
// palette is nothing but black and white.
void PaletteGroup::BuildInverseTable() {
    BYTE* table = static_cast<BYTE*>(MEMALLOC(4096));
    if (!table) return;
    int hue[256], light[256], sat[256];
    BYTE candidates[256];
    int candidateCount = 0;
    for (int i = 0; i < 256; ++i) {
        bool repeated = false;
        for (int k = 0; k < candidateCount && !repeated; ++k)
            repeated = EntryColor(palette_[candidates[k]]) == EntryColor(palette_[i]);
        if (repeated) continue;
        int at = candidateCount++;
        candidates[at] = static_cast<BYTE>(i);
        ToHls(palette_[i].peRed, palette_[i].peGreen, palette_[i].peBlue, hue[at], light[at], sat[at]);
    }
    for (int cell = 0; cell < 4096; ++cell) {
        int h, l, s;
        ToHls(16 * (cell >> 8) + 8, 16 * ((cell >> 4) & 15) + 8, 16 * (cell & 15) + 8, h, l, s);
        int best = 0, bestDistance = 0x7FFFFFFF;
        for (int k = 0; k < candidateCount; ++k) {
            int d = Distance(s, sat[k]) + 2 * Distance(h, hue[k]) + 3 * Distance(l, light[k]);
            if (d < bestDistance) bestDistance = d, best = candidates[k];
        }
        table[cell] = static_cast<BYTE>(best);
    }
    inverse_ = table;
}
