// The fonts of skinned texts, made once per description and kept until the cache goes, and the measuring
// and drawing of markup runs with them through GDI.
#pragma once

#include <windows.h>

#include "cetl_map.h"
#include "skinmarkup.h"

class SkinFonts : public MarkupMeasurer {
public:
    SkinFonts();
    ~SkinFonts() override;

    // The font of a description (made on first use); null when none can be made.
    HFONT Get(const string& description);
    HFONT Get(const MarkupStyle& style) { return Get(style.FontDescription()); }

    SIZE Extent(const MarkupStyle& style, const TCHAR* text, DWORD count) override;
    DWORD Fit(const MarkupStyle& style, const TCHAR* text, DWORD count, LONG width) override;

    // Draws laid-out runs into `dc` with the layout's top left at (x, y), cut to `clip` when given.
    void Draw(HDC dc, const MarkupLayout& layout, int x, int y, const RECT* clip);

private:
    SkinFonts(const SkinFonts&) = delete;
    SkinFonts& operator=(const SkinFonts&) = delete;

    // A font with the advance width of each of its 256 characters, read once: measuring then costs no
    // call into GDI, which keeps very long texts cheap to lay out.
    struct FontRecord {
        HFONT font;
        LONG height;
        LONG widths[256];
    };
    FontRecord* Record(const string& description);

    cetl::stringmap<FontRecord*> fonts_;
    HDC dc_; // screen-compatible, for measuring
    HGDIOBJ oldFont_;
};
