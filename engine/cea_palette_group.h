// `PaletteGroup` merges the palettes of graphics shown together on a palettized display into one
// 256-colour palette, remapping their pixels, and answers colour lookups for blends into 8-bit targets.
#pragma once

#include <windows.h>

class Graphic;
class Sprite;

// The engine's 256-byte colour table: for a colour reduced to 2 bits of red and 3 of green and blue
// ((red & 0xC0) | (green >> 5) << 3 | (blue >> 5)), its index in the uniform palette.
extern const BYTE* const g_uniformMap;

// Special arguments of AddEntries / RemoveEntries.
const PALETTEENTRY* const kSystemColors = reinterpret_cast<const PALETTEENTRY*>(1);
const PALETTEENTRY* const kUniformPalette = reinterpret_cast<const PALETTEENTRY*>(2);

struct PALETTEMEMBER {
    DWORD inUse;
    DWORD specific; // the colour must sit at `index`
    DWORD index;    // 0xFFFFFFFF when any index will do
    DWORD isGraphic;
    DWORD locked; // a locked graphic keeps its pixels and only receives the palette
    Graphic* graphic;
    COLORREF colour;
};

class PaletteGroup {
public:
    // Open, then the display's default colours, then closed (merged once).
    PaletteGroup();
    ~PaletteGroup();

    // Fails (0) when the group is closed and a member graphic has an open device context.
    BOOL Open();
    // The last close merges.
    void Close();
    BOOL IsOpen() const { return openCount_ > 0; }

    void Add(Graphic* graphic, BOOL locked = FALSE);
    void Add(Sprite* sprite, BOOL locked = FALSE);
    void Remove(Graphic* graphic);
    void Remove(Sprite* sprite);
    void AddSpecific(DWORD index, COLORREF colour);
    void RemoveSpecific(DWORD index);
    void AddColor(COLORREF colour);
    void RemoveColor(COLORREF colour);
    // Entries' colours as colour members, or kSystemColors / kUniformPalette.
    void AddEntries(const PALETTEENTRY* entries, DWORD count);
    // Removes those colours; the special arguments free every specific member and the uniform palette.
    void RemoveEntries(const PALETTEENTRY* entries, DWORD count);

    // Lookups of a closed group: kNoColor / 0xFFFFFFFF / 0 while open.
    COLORREF GetColor(DWORD index) const;
    DWORD FindColor(COLORREF colour) const;
    DWORD GetEntries(DWORD first, DWORD count, PALETTEENTRY* entries) const;
    // The logical palette, realized on the screen (palettized displays only). The screen's depth is the
    // one last read: at the first call, a merge or RefreshScreenDepth.
    HPALETTE GetPaletteHandle();

    // Reads the screen's depth again; animation windows call it when told that the display changed.
    static void RefreshScreenDepth();
    // Replaces how the screen's depth is read (null: from the screen); for tests. Returns the old one.
    typedef int (*ScreenDepthQuery)();
    static ScreenDepthQuery SetScreenDepthQuery(ScreenDepthQuery query);

    BOOL IsFixed() const { return fixed_; }
    // Nearest palette index for a colour reduced to 4 bits a channel; null with the uniform palette.
    const BYTE* GetInverseTable() const { return inverse_; }

    // For Graphic: a blank graphic made for the group joins it without a merge; an emptied one leaves.
    void Join(Graphic* graphic);
    void Forget(Graphic* graphic);

    // Colours that found no free index in merges of this process.
    static DWORD GetOutOfColorsCount();

    // The group whose palette the windows realize; cleared when that group is destroyed.
    static PaletteGroup* GetDisplayGroup();
    static void SetDisplayGroup(PaletteGroup* group);

private:
    PaletteGroup(const PaletteGroup&) = delete;
    PaletteGroup& operator=(const PaletteGroup&) = delete;

    PALETTEMEMBER* NewMember();
    PALETTEMEMBER* FindGraphic(Graphic* graphic);
    DWORD PlaceColor(DWORD index, COLORREF colour, bool fixed);
    void Merge();
    void MergeGraphic(Graphic* graphic);
    void BuildInverseTable();

    PALETTEMEMBER* entries_;
    DWORD entryCount_;
    HPALETTE paletteHandle_;
    PALETTEENTRY palette_[256];
    DWORD openCount_;
    BOOL fixed_;
    BYTE* inverse_;
};
