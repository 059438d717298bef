// The installer's Esperanto letters: texts holding all twelve letters, converted and drawn the way the
// installer's 8-bit path does (the text in ISO 8859-3 bytes, the font from its description with " Eo"
// appended while Esperanto is current), match the same letters drawn by the 16-bit path with the
// source font; without the installer's fonts registered they do not.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "setup_fonts.h"
#include "tl_language.h"
#include "tl_string.h"

namespace {

const WCHAR kLetters[] = L"\x0108\x0109 \x011C\x011D \x0124\x0125 \x0134\x0135 \x015C\x015D \x016C\x016D";
const int kWidth = 420, kHeight = 48;

struct Canvas {
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
    DWORD* pixels;
    Canvas() {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = kWidth;
        info.bmiHeader.biHeight = -kHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        pixels = static_cast<DWORD*>(bits);
        old = SelectObject(dc, bitmap);
        RECT all = {0, 0, kWidth, kHeight};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(0, 0, 0));
    }
    ~Canvas() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    std::vector<DWORD> Pixels() const { return std::vector<DWORD>(pixels, pixels + kWidth * kHeight); }
};

// The installer's path: its string type turns the letters into bytes, its font comes from a description.
std::vector<DWORD> DrawEightBit(const char* format, int height) {
    Canvas canvas;
    char description[64];
    wsprintfA(description, format, height);
    string text(kLetters);
    HFONT font = CreateFontFromDescription(string(description));
    EXPECT_NE(nullptr, font);
    HGDIOBJ old = SelectObject(canvas.dc, font);
    TextOutA(canvas.dc, 4, 4, text.Psz8(), static_cast<int>(lstrlenA(text.Psz8())));
    SelectObject(canvas.dc, old);
    DeleteObject(font);
    return canvas.Pixels();
}

// The game's path: Unicode letters with the source face.
std::vector<DWORD> DrawSixteenBit(const WCHAR* face, bool bold, bool italic, int height) {
    Canvas canvas;
    HFONT font =
        CreateFontW(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, italic, FALSE, FALSE, DEFAULT_CHARSET,
                    OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, face);
    HGDIOBJ old = SelectObject(canvas.dc, font);
    TextOutW(canvas.dc, 4, 4, kLetters, lstrlenW(kLetters));
    SelectObject(canvas.dc, old);
    DeleteObject(font);
    return canvas.Pixels();
}

// Pixels that differ, against the pixels inked in either picture.
double Difference(const std::vector<DWORD>& a, const std::vector<DWORD>& b) {
    size_t differ = 0, ink = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        bool inkA = (a[i] & 0xFFFFFF) != 0xFFFFFF, inkB = (b[i] & 0xFFFFFF) != 0xFFFFFF;
        ink += inkA || inkB;
        differ += (a[i] & 0xFFFFFF) != (b[i] & 0xFFFFFF);
    }
    return ink ? double(differ) / double(ink) : 1.0;
}

struct Face {
    const char* description;
    const WCHAR* source;
    bool bold, italic;
} const kFaces[] = {{"MS Shell Dlg,%d", L"DejaVu Sans Condensed", false, false},
                    {"MS Shell Dlg,%d,B", L"DejaVu Sans Condensed", true, false},
                    {"Arial,%d,I", L"DejaVu Sans Condensed", false, true},
                    {"Arial,%d,BI", L"DejaVu Sans Condensed", true, true}};

// The system keeps the face it found for a font request; each pass asks with a height of its own.
const int kHeightBefore = -24, kHeightAfter = -22;

TEST(EoFontsSetupTest, EsperantoLettersMatchTheSourceFontOnlyWithTheInstallersFonts) {
    InitLanguages(string(), 1);
    SetLanguage(kLangEsperanto);
    ASSERT_EQ(kLangEsperanto, GetLanguage());
    const size_t faces = sizeof kFaces / sizeof kFaces[0];
    // Before the installer registers its fonts the " Eo" faces are unknown: the letters' bytes come
    // out as the Latin-1 letters that share them.
    for (size_t i = 0; i < faces; ++i) {
        const Face& face = kFaces[i];
        double difference = Difference(DrawEightBit(face.description, kHeightBefore),
                                       DrawSixteenBit(face.source, face.bold, face.italic, kHeightBefore));
        EXPECT_GT(difference, 0.2) << face.description << " matched without the installer's fonts";
    }
    ASSERT_EQ(6u, RegisterEoFonts(GetModuleHandle(nullptr)));
    for (size_t i = 0; i < faces; ++i) {
        const Face& face = kFaces[i];
        double difference = Difference(DrawEightBit(face.description, kHeightAfter),
                                       DrawSixteenBit(face.source, face.bold, face.italic, kHeightAfter));
        EXPECT_LT(difference, 0.02) << face.description;
    }
    RemoveEoFonts();
    SetLanguage(kLangEnglish);
}

} // namespace
