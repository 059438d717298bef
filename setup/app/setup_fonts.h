// The installer's own " Eo" fonts: faces whose ISO 8859-3 bytes draw the Esperanto letters, carried as
// RCDATA resources from IDF_FIRST_FONT on and made available to this process alone while it runs.
#pragma once

#include <windows.h>

// Registers every font resource from IDF_FIRST_FONT up to the first missing one; returns how many were
// registered. A font that cannot be registered is left out: its texts fall back to an ordinary face.
DWORD RegisterEoFonts(HINSTANCE instance);
// Removes what RegisterEoFonts registered.
void RemoveEoFonts();
