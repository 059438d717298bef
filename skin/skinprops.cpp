// Skin key file reading, property lookup and the window and control text style records.
#include "skinprops.h"

#include "cea_graphic.h"

namespace {

bool IsLineBlank(TCHAR c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

LONG Number(const Properties& p, const TCHAR* key, const Properties* overrides, const string& variant) {
    return ParsePropertyNumber(LookupProperty(p, string(key), overrides, variant).Psz());
}

// The prefixed key, falling back to the bare key when the prefixed one is empty.
string WithFallback(const Properties& p, const TCHAR* prefix, const TCHAR* key, const Properties* overrides,
                    const string& variant) {
    string value = LookupProperty(p, string(prefix) + key, overrides, variant);
    if (value.IsEmpty()) value = LookupProperty(p, string(key), overrides, variant);
    return value;
}

DWORD Alignment(const string& value) {
    if (value.CompareNoCase(TEXT("right")) == 0) return kAlignRight;
    if (value.CompareNoCase(TEXT("center")) == 0) return kAlignCenter;
    return kAlignLeft;
}

// A border family: "<base> border" for all four, else "<base> xborder" or the left and right keys, and
// "<base> yborder" or the top and bottom keys.
void ReadBorders(const Properties& p, const string& base, const Properties* overrides, const string& variant,
                 LONG* left, LONG* top, LONG* right, LONG* bottom) {
    string all = LookupProperty(p, base + TEXT(" border"), overrides, variant);
    if (!all.IsEmpty()) {
        *left = *top = *right = *bottom = ParsePropertyNumber(all.Psz());
        return;
    }
    string x = LookupProperty(p, base + TEXT(" xborder"), overrides, variant);
    if (!x.IsEmpty()) {
        *left = *right = ParsePropertyNumber(x.Psz());
    } else {
        *left = ParsePropertyNumber(LookupProperty(p, base + TEXT(" lborder"), overrides, variant).Psz());
        *right = ParsePropertyNumber(LookupProperty(p, base + TEXT(" rborder"), overrides, variant).Psz());
    }
    string y = LookupProperty(p, base + TEXT(" yborder"), overrides, variant);
    if (!y.IsEmpty()) {
        *top = *bottom = ParsePropertyNumber(y.Psz());
    } else {
        *top = ParsePropertyNumber(LookupProperty(p, base + TEXT(" tborder"), overrides, variant).Psz());
        *bottom = ParsePropertyNumber(LookupProperty(p, base + TEXT(" bborder"), overrides, variant).Psz());
    }
}

} // namespace

LONG ParsePropertyNumber(const TCHAR* text) {
    if (!text) return 0;
    while (*text == ' ' || *text == '\t') ++text;
    bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    LONGLONG value = 0;
    while (*text >= '0' && *text <= '9') {
        // Beyond 32 bits the number stays at the largest value instead of wrapping round.
        if (value < 0x80000000LL) value = value * 10 + (*text - '0');
        ++text;
    }
    if (value > 0x7FFFFFFFLL) value = negative ? 0x80000000LL : 0x7FFFFFFFLL;
    return static_cast<LONG>(negative ? -value : value);
}

BOOL IsPropertyColor(const string& text) {
    return !text.IsEmpty() && text.GetLength() == 7 && text[0] == '#' && ColorFromString(text.Psz()) != 0;
}

COLORREF ParsePropertyColor(const string& text, COLORREF fallback) {
    if (text.IsEmpty()) return fallback;
    COLORREF colour = ColorFromString(text.Psz());
    return colour ? (colour & 0xFFFFFF) : fallback;
}

void ReadProperties(Properties& properties, const TCHAR* text, DWORD length, int mode) {
    DWORD at = 0;
    while (at < length) {
        while (at < length && IsLineBlank(text[at])) ++at;
        DWORD lineStart = at;
        DWORD lineEnd = at;
        while (lineEnd < length && text[lineEnd] != '\r' && text[lineEnd] != '\n') ++lineEnd;
        at = lineEnd;
        if (lineStart == lineEnd || text[lineStart] == '=' || text[lineStart] == '#') continue;
        DWORD equals = lineStart;
        while (equals < lineEnd && text[equals] != '=') ++equals;
        if (equals == lineEnd) continue;
        istring key(string(text + lineStart, 0, equals - lineStart).Trim());
        if (mode == kPropertiesRemove) {
            if (properties.exists(key)) properties.erase(key);
            continue;
        }
        string value = string(text + equals + 1, 0, lineEnd - equals - 1).Trim();
        properties.set(key, PropertiesValue(value, ParsePropertyNumber(value.Psz())));
    }
}

string LookupProperty(const Properties& properties, const string& key, const Properties* overrides,
                      const string& variant) {
    bool hasVariant = !variant.IsEmpty();
    istring variantKey;
    if (hasVariant) variantKey = istring(variant + TEXT(" ") + key);
    istring plainKey(key);
    if (overrides && hasVariant) {
        const string& value = overrides->lookup(variantKey).text;
        if (!value.IsEmpty()) return value;
    }
    if (overrides) {
        const string& value = overrides->lookup(plainKey).text;
        if (!value.IsEmpty()) return value;
    }
    if (hasVariant) {
        const string& value = properties.lookup(variantKey).text;
        if (!value.IsEmpty()) return value;
    }
    return properties.lookup(plainKey).text;
}

void ReadWindowStyle(const Properties& p, SKINWINDOWSTYLE* style, const Properties* overrides,
                     const string& variant) {
    ReadBorders(p, string(TEXT("frame")), overrides, variant, &style->left, &style->top, &style->right,
                &style->bottom);
    style->proportionalScrollbars = Number(p, TEXT("proportional scrollbars"), overrides, variant) != 0;
    style->titlebarHeight = Number(p, TEXT("drag by background"), overrides, variant) != 0
                                ? -1
                                : Number(p, TEXT("titlebar height"), overrides, variant);
    string layout = LookupProperty(p, string(TEXT("background layout")), overrides, variant);
    style->backgroundLayout = layout.CompareNoCase(TEXT("stretch")) == 0  ? kLayoutStretch
                              : layout.CompareNoCase(TEXT("center")) == 0 ? kLayoutCenter
                                                                          : kLayoutTile;
    style->backgroundColor =
        ParsePropertyColor(LookupProperty(p, string(TEXT("background color")), overrides, variant), 0);
    style->framesPerSecond = Number(p, TEXT("frames per second"), overrides, variant);
}

const TCHAR* TextStylePrefix(DWORD code) {
    switch (code) {
    case 7:
        return TEXT("pbutton ");
    case 8:
        return TEXT("rbutton ");
    case 9:
        return TEXT("cbutton ");
    case 15:
        return TEXT("edit ");
    case 17:
        return TEXT("list ");
    }
    return TEXT("");
}

void ReadTextStyle(const Properties& p, SKINTEXTSTYLE* style, DWORD code, const Properties* overrides,
                   const string& variant) {
    const TCHAR* prefix = TextStylePrefix(code);
    style->font = WithFallback(p, prefix, TEXT("font"), overrides, variant);
    style->textColor = ParsePropertyColor(WithFallback(p, prefix, TEXT("text color"), overrides, variant), 0);
    style->selectedTextColor =
        ParsePropertyColor(WithFallback(p, prefix, TEXT("selected text color"), overrides, variant), 0);
    string selectedBackground =
        WithFallback(p, prefix, TEXT("selected text background color"), overrides, variant);
    if (selectedBackground.IsEmpty())
        selectedBackground = WithFallback(p, prefix, TEXT("selected background color"), overrides, variant);
    style->selectedBackgroundColor = ParsePropertyColor(selectedBackground, 0);
    style->disabledTextColor =
        ParsePropertyColor(WithFallback(p, prefix, TEXT("disabled text color"), overrides, variant), 0);
    // Text borders have no fallback to the bare keys: a type's left border alone leaves its right one 0.
    ReadBorders(p, string(prefix) + TEXT("text"), overrides, variant, &style->left, &style->top,
                &style->right, &style->bottom);
    style->textLayout =
        Alignment(LookupProperty(p, string(prefix) + TEXT("text layout"), overrides, variant));
    style->imageLayout =
        Alignment(LookupProperty(p, string(prefix) + TEXT("image layout"), overrides, variant));
    style->imageXAdjust = Number(p, (string(prefix) + TEXT("image xadjust")).Psz(), overrides, variant);
    style->imageYAdjust = Number(p, (string(prefix) + TEXT("image yadjust")).Psz(), overrides, variant);
}
