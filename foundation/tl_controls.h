// The toolkit's own controls: `EtchedLine` (a sunken separator line), `ColorButton` (a push button showing
// a colour swatch, with a table of custom colours kept in the registry) and `StaticEx` (static text that
// can act as a link).
#pragma once

#include <windows.h>

class RegValue;

// ColorButton messages: the colour (kNoColor when none) / set it from the long parameter and repaint.
const UINT CBM_GETCOLOR = 0x540;
const UINT CBM_SETCOLOR = 0x541;

// Custom colours: a process-wide table of 80 bytes (20 colours), stored as a versioned record.
const DWORD kCustomColorBytes = 80;
const DWORD kCustomColorCount = kCustomColorBytes / sizeof(COLORREF);
const DWORD kCustomColorsVersion = 0x00010000;
#define CUSTOM_COLORS_KEY TEXT("HKCU\\Software\\Tessel\\Common")
#define CUSTOM_COLORS_VALUE TEXT("Custom Colors")

// The process-wide table, for colour choosers; it is what SaveCustomColors writes.
COLORREF* GetCustomColors();
// Reads the table; a missing or incompatible record zeroes it. False when the table was zeroed.
BOOL LoadCustomColors();
BOOL SaveCustomColors();
// The same from and to another value (the toolkit's own is "Custom Colors" of CUSTOM_COLORS_KEY).
BOOL LoadCustomColorsFrom(const RegValue& value);
BOOL SaveCustomColorsTo(const RegValue& value);

// Class registration, run by InitGuiLib; each returns the atom or 0 (also when already registered). The
// ColorButton class also loads the custom colours.
ATOM RegisterColorButtonClass(HINSTANCE module);
ATOM RegisterStaticExClass(HINSTANCE module);
ATOM RegisterEtchedLineClass(HINSTANCE module);

// StaticEx's per-window data, checked by its signature before use.
const DWORD kStaticExSignature = 0x53744578; // "StEx" read as a little-endian word
