// Registration of the installer's " Eo" fonts for the process.
#include "setup_fonts.h"

#include "setup_flow.h"
#include "setup_resources.h"

namespace {

const DWORD kMaxFonts = 16;
HANDLE g_fonts[kMaxFonts];
DWORD g_fontCount = 0;

} // namespace

DWORD RegisterEoFonts(HINSTANCE instance) {
#ifdef VEXLIN_SETUP_TEST_BUILD
    // The font check's switch, in test builds only: VEXLIN_SETUP_NO_EO_FONTS=1 runs without them.
    char off[8];
    if (GetEnvironmentVariableA("VEXLIN_SETUP_NO_EO_FONTS", off, sizeof off) && off[0] == '1') return 0;
#endif
    for (DWORD i = 0; i < kMaxFonts && g_fontCount < kMaxFonts; ++i) {
        HRSRC found = FindResource(instance, MAKEINTRESOURCE(IDF_FIRST_FONT + i), RT_RCDATA);
        if (!found) break;
        HGLOBAL loaded = LoadResource(instance, found);
        void* bytes = loaded ? LockResource(loaded) : nullptr;
        DWORD size = SizeofResource(instance, found);
        if (!bytes || size == 0) continue;
        DWORD faces = 0;
        HANDLE font = AddFontMemResourceEx(bytes, size, nullptr, &faces);
        FlowTrace("setup: font %lu %s\n", i, font ? "registered" : "refused");
        if (font) g_fonts[g_fontCount++] = font;
    }
    return g_fontCount;
}

void RemoveEoFonts() {
    while (g_fontCount > 0) RemoveFontMemResourceEx(g_fonts[--g_fontCount]);
}
