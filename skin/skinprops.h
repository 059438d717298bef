// The key file of a skin read into Properties, the property lookup through variants and override sets,
// and the two style records made from properties: the window style and the control text style.
#pragma once

#include <windows.h>

#include "properties.h"

// Reading modes: merge every line's key and value, or remove the keys named.
enum { kPropertiesMerge = 0, kPropertiesRemove = 1 };

// Reads "key = value" lines from text[0, length). Lines that are empty or start with "=" or "#" after
// leading blanks, and lines without "=", are skipped. A later line for a key replaces an earlier one.
void ReadProperties(Properties& properties, const TCHAR* text, DWORD length, int mode);

// The decimal number at the start of a text (after blanks, with an optional sign); 0 when there is none.
LONG ParsePropertyNumber(const TCHAR* text);

// A colour written "#RRGGBB" as a colour reference; `fallback` when the text is empty or unreadable.
COLORREF ParsePropertyColor(const string& text, COLORREF fallback);
// Whether a text is a readable colour.
BOOL IsPropertyColor(const string& text);

// The value of `key` for a variant, first non-empty of: the override set's "variant key", the override
// set's key, the properties' "variant key", the properties' key (empty when absent).
string LookupProperty(const Properties& properties, const string& key, const Properties* overrides,
                      const string& variant);

// Background layouts and text and image layouts.
enum { kLayoutTile = 0, kLayoutStretch = 1, kLayoutCenter = 2 };
enum { kAlignLeft = 0, kAlignRight = 1, kAlignCenter = 2 };

struct SKINWINDOWSTYLE {
    LONG left, top, right, bottom; // frame borders
    BOOL proportionalScrollbars;
    LONG titlebarHeight; // -1: the whole background drags the window
    DWORD backgroundLayout;
    COLORREF backgroundColor;
    LONG framesPerSecond;
};

struct SKINTEXTSTYLE {
    string font; // a font description for the foundation's font parser
    COLORREF textColor;
    COLORREF disabledTextColor;
    COLORREF selectedTextColor;
    COLORREF selectedBackgroundColor;
    LONG left, top, right, bottom; // text borders
    DWORD textLayout;
    DWORD imageLayout;
    LONG imageXAdjust, imageYAdjust;
};

void ReadWindowStyle(const Properties& properties, SKINWINDOWSTYLE* style, const Properties* overrides,
                     const string& variant);
// The key prefix of a control type code: "pbutton ", "rbutton ", "cbutton ", "edit ", "list " or none.
const TCHAR* TextStylePrefix(DWORD code);
void ReadTextStyle(const Properties& properties, SKINTEXTSTYLE* style, DWORD code,
                   const Properties* overrides, const string& variant);
