// Fonts by description, and the measuring and drawing of markup runs with them.
#include "skinfonts.h"

#include "mem_manager.h"
#include "tl_language.h"

SkinFonts::SkinFonts() : fonts_(0.5f, 16, nullptr), dc_(CreateCompatibleDC(nullptr)), oldFont_(nullptr) {
    if (dc_) oldFont_ = GetCurrentObject(dc_, OBJ_FONT);
}

SkinFonts::~SkinFonts() {
    if (dc_) {
        SelectObject(dc_, oldFont_);
        DeleteDC(dc_);
    }
    for (FontRecord* record : fonts_) {
        if (record->font) DeleteObject(record->font);
        MEMFREE(record);
    }
}

SkinFonts::FontRecord* SkinFonts::Record(const string& description) {
    // While Esperanto is current a description names another face (its " Eo" variant): the language is
    // part of the key, so a font made before a change of language is not handed out after it.
    string keyText(description);
    if (GetLanguage() == kLangEsperanto) keyText += TEXT("|Eo");
    istring key(keyText);
    cetl::stringmap<FontRecord*>::iterator found = fonts_.find(key);
    if (found != fonts_.end()) return *found;
    FontRecord* record = static_cast<FontRecord*>(MEMALLOC(sizeof(FontRecord)));
    if (!record) return nullptr;
    ZeroMemory(record, sizeof(FontRecord));
    // A failure is remembered too, so that a bad description is not tried at every measurement.
    record->font = CreateFontFromDescription(description);
    if (dc_) {
        SelectObject(dc_, record->font ? static_cast<HGDIOBJ>(record->font) : oldFont_);
        TEXTMETRIC metrics;
        if (GetTextMetrics(dc_, &metrics)) record->height = metrics.tmHeight;
        INT widths[256];
        if (GetCharWidth32(dc_, 0, 255, widths))
            for (int i = 0; i < 256; ++i) record->widths[i] = widths[i] > 0 ? widths[i] : 0;
    }
    try {
        fonts_.insert(key, record);
    } catch (...) {
        if (record->font) DeleteObject(record->font);
        MEMFREE(record);
        throw;
    }
    return record;
}

HFONT SkinFonts::Get(const string& description) {
    FontRecord* record = Record(description);
    return record ? record->font : nullptr;
}

SIZE SkinFonts::Extent(const MarkupStyle& style, const TCHAR* text, DWORD count) {
    SIZE size = {0, 0};
    FontRecord* record = Record(style.FontDescription());
    if (!record) return size;
    for (DWORD i = 0; i < count; ++i) size.cx += record->widths[static_cast<BYTE>(text[i])];
    size.cy = record->height;
    return size;
}

DWORD SkinFonts::Fit(const MarkupStyle& style, const TCHAR* text, DWORD count, LONG width) {
    FontRecord* record = Record(style.FontDescription());
    if (!record || width <= 0) return 0;
    LONG used = 0;
    for (DWORD i = 0; i < count; ++i) {
        used += record->widths[static_cast<BYTE>(text[i])];
        if (used > width) return i;
    }
    return count;
}

void SkinFonts::Draw(HDC dc, const MarkupLayout& layout, int x, int y, const RECT* clip) {
    int oldMode = SetBkMode(dc, TRANSPARENT);
    COLORREF oldColour = GetTextColor(dc);
    HGDIOBJ oldFont = GetCurrentObject(dc, OBJ_FONT);
    for (DWORD i = 0; i < layout.GetRunCount(); ++i) {
        const MarkupRun& run = layout.GetRun(i);
        RECT r = run.rect;
        OffsetRect(&r, x, y);
        RECT cut = r;
        if (clip && !IntersectRect(&cut, &r, clip)) continue;
        HFONT font = Get(run.style.FontDescription());
        if (font) SelectObject(dc, font);
        SetTextColor(dc, run.style.colour & 0xFFFFFF);
        ExtTextOut(dc, r.left, r.top, ETO_CLIPPED, &cut, run.text.Psz(), run.text.GetLength(), nullptr);
    }
    SelectObject(dc, oldFont);
    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
}
