// `Graphic` is the engine's image: a top-down DIB section with its own palette, an optional transparent
// colour, translucency and selection, drawn into other graphics or device contexts. A child graphic is a
// rectangle of its root and shares the root's pixels.
#pragma once

#include <windows.h>

class PaletteGroup;
class Sprite;

// "No colour" for transparent colours and failed colour lookups.
const COLORREF kNoColor = 0xFFFFFFFF;
// As a width or height: up to the edge of the graphic.
const LONG kToEdge = 0x7FFFFFFF;
// The colour that a binary layer mask gives to transparent pixels (red 0, green 0, blue 1).
const COLORREF kMaskColor = 0x10000;

enum GraphicTranslucency { kTranslucencyNone = 0, kTranslucencyUniform = 1, kTranslucencyMap = 2 };

class Graphic {
public:
    // Empty: no bitmap until loaded or created.
    Graphic();
    // Blank root; depth 0 is the display's; palette (2^depth entries) or null for a default one.
    Graphic(int width, int height, int depth, const RGBQUAD* palette);
    // Blank root that takes the group's palette and joins it (8 bits or fewer).
    Graphic(int width, int height, int depth, PaletteGroup* group);
    // Loaders: a BMP or PSP image; a sprite given receives the layers of a layered PSP as frames.
    Graphic(Sprite* sprite, const TCHAR* path, COLORREF transparent);
    Graphic(Sprite* sprite, HANDLE file, COLORREF transparent);
    Graphic(Sprite* sprite, HMODULE module, LPCTSTR name, COLORREF transparent);
    Graphic(Sprite* sprite, const BYTE* data, DWORD size, COLORREF transparent);
    // Child: a rectangle of `parent` (null: all of it).
    Graphic(Graphic* parent, const RECT* rect);
    ~Graphic();

    // Replaces the contents with a blank root; returns FALSE (and stays empty) when the DIB cannot be made.
    BOOL Create(int width, int height, int depth, const RGBQUAD* palette);
    // Replaces the contents with an image from memory; FALSE leaves the graphic empty.
    BOOL Load(Sprite* sprite, const BYTE* data, DWORD size, COLORREF transparent);

    BOOL IsLoaded() const; // a bitmap exists
    BOOL IsChild() const { return valid_ && child_; }
    Graphic* GetParent() const { return valid_ && child_ ? parent_ : nullptr; }
    RECT GetRectInParent() const;
    RECT GetRect() const;
    int GetWidth() const;
    int GetHeight() const;
    int GetDepth() const;
    DWORD GetPitch() const;
    BYTE* GetBits() const; // top-left pixel of the root

    COLORREF GetTransparency() const;
    void SetTransparency(COLORREF colour);
    BOOL HasTransparency() const { return GetTransparency() != kNoColor; }

    BOOL IsTranslucent() const;
    // Mode (GraphicTranslucency) and uniform value.
    void GetTranslucency(int* mode, BYTE* value) const;
    // Mode 2 makes a per-pixel map filled with 128. Returns 0 when the map cannot be allocated.
    BOOL SetTranslucency(int mode, BYTE value);
    // Per-pixel opacity from the grey level of `source` (same size). Returns 0 on a size mismatch.
    BOOL SetOpacityFromGraphic(Graphic* source);
    // The root's opacity map (width x height bytes) or null.
    BYTE* GetOpacityMap() const;

    BOOL HasSelection() const;
    // A new buffer of this graphic's width x height selection bytes; free it with FreeSelection.
    BOOL GetSelection(BYTE** selection, DWORD* size) const;
    static void FreeSelection(BYTE* selection);
    // Takes ownership of a root-sized selection buffer (made with MEMALLOC).
    void AdoptSelection(BYTE* selection, DWORD size);

    DWORD GetPixelValue(int x, int y) const;
    void SetPixelValue(int x, int y, DWORD value);
    COLORREF GetPixelColor(int x, int y) const;
    void SetPixelColor(int x, int y, COLORREF colour);
    DWORD ColorToValue(COLORREF colour) const;
    COLORREF ValueToColor(DWORD value) const;
    COLORREF GetPaletteColor(DWORD index) const;
    const RGBQUAD* GetPalette() const; // the root's 256 entries
    // Entries in red-green-blue-flags order. Returns 0 for graphics deeper than 8 bits.
    BOOL SetPaletteEntries(const PALETTEENTRY* entries, DWORD first, DWORD count);

    PaletteGroup* GetPaletteGroup() const;
    void SetPaletteGroup(PaletteGroup* group); // called by the group

    // A memory device context holding the root's bitmap (root coordinates); pair with ReleaseDC.
    HDC GetDC();
    void ReleaseDC();
    BOOL HasOpenDC() const;

    void DrawTo(Graphic* target, int x, int y, const RECT& clip);
    void Draw(Graphic* target, int x, int y, int sx, int sy, int width, int height);
    void Draw(HDC target, int x, int y, int sx, int sy, int width, int height);
    void StretchTo(Graphic* target, int x, int y, int width, int height, int sx, int sy, int sw, int sh);
    void StretchTo(HDC target, int x, int y, int width, int height, int sx, int sy, int sw, int sh);
    void TileTo(Graphic* target, int x, int y, int width, int height, int tx, int ty, int tw, int th,
                int phaseX, int phaseY);
    void TileTo(HDC target, int x, int y, int width, int height, int tx, int ty, int tw, int th, int phaseX,
                int phaseY);

    // Writes a BMP of this graphic (a child: its rectangle); returns 0 when a write fails.
    BOOL Save(HANDLE file);

    // Builds the opaque-run table for the transparent colour if it changed. Returns FALSE without one.
    BOOL PrepareTransparency();
    // Opaque runs of one row (after PrepareTransparency); 0xFFFFFFFF when there is no run table.
    DWORD GetRowRunCount(int row) const;

private:
    Graphic(const Graphic&) = delete;
    Graphic& operator=(const Graphic&) = delete;

    Graphic* Root();
    const Graphic* Root() const;
    void Clear();
    void Empty();
    void AddChild(Graphic* child);
    void RemoveChild(Graphic* child);
    // Cuts every descendant's rectangle to what its parent now has.
    void ClipChildren();
    BOOL LoadBmp(const BYTE* data, DWORD size);
    void LoadFromFile(Sprite* sprite, HANDLE file, COLORREF transparent);
    void FreeTransparencyTables();
    BOOL BuildRunTable(DWORD transparentValue);
    // Resolves a target child to its root with offsets; clips a copy against source and target.
    static Graphic* ClipCopy(Graphic* source, Graphic* target, int& x, int& y, int& sx, int& sy, int& width,
                             int& height);
    // For a child's partial draw: the same draw from its parent, cut to the child's rectangle. FALSE when
    // nothing is left.
    BOOL ToParentSource(int& x, int& y, int& sx, int& sy, int& width, int& height) const;
    void CopyPlain(Graphic* target, int x, int y, int sx, int sy, int width, int height);
    void CopyRuns(Graphic* target, int x, int y, int sx, int sy, int width, int height);
    void Blend(Graphic* target, int x, int y, int sx, int sy, int width, int height);
    void DrawThroughDC(Graphic* target, int x, int y, int sx, int sy, int width, int height);
    void BlitToDC(HDC target, int x, int y, int width, int height, int sx, int sy, int sw, int sh);

    DWORD valid_;
    DWORD child_;
    // Child.
    Graphic* parent_;
    RECT rectInParent_;
    // Root.
    HBITMAP bitmap_;
    BYTE* bits_;
    RGBQUAD palette_[256];
    int width_;
    int height_;
    int depth_;
    HDC dc_;
    DWORD dcCount_;
    HGDIOBJ oldBitmap_;
    DWORD pitch_;
    DWORD valueMask_;
    PaletteGroup* group_;
    int translucencyMode_;
    BYTE translucencyValue_;
    BYTE* opacity_;
    int opacityHeight_;
    int opacityWidth_;
    COLORREF transparent_;
    COLORREF prepared_;
    HBITMAP maskBitmap_; // installer build only: 1 where the image is transparent
    DWORD runCapacity_;
    DWORD runCount_;
    DWORD* runs_; // pairs: first x, length
    DWORD rowCapacity_;
    DWORD rowCount_;
    DWORD* rows_; // pairs: first run (0xFFFFFFFF for none), run count
    BYTE* selection_;
    DWORD selectionSize_;
    // Common.
    Graphic** children_;
    DWORD childCount_;
};

// "#RRGGBB" with upper-case digits into `text` (8 characters with the terminator).
void ColorToString(COLORREF colour, TCHAR text[8]);
// Reads "#RRGGBB" (the "#" optional); the result carries the palette-relative flag 0x02000000, so 0
// always means invalid text.
COLORREF ColorFromString(const TCHAR* text);
