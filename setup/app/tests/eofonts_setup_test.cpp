// The installer's Esperanto letters on its real skinned windows. With Esperanto current, a skinned page
// made from a dialog resource and a skinned message box made from a string resource show all twelve
// letters; the letters' ink, taken from the screen, matches the same letters drawn by the 16-bit path
// with the source font at the size and style of the skin's font. Texts drawn straight through the
// installer's font descriptions are checked the same way. Without the installer's fonts registered (a
// child process of this program, with the installer's switch that leaves them out) none of them match.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cea_anim_window.h"
#include "setup_fonts.h"
#include "skin.h"
#include "skincontrol.h"
#include "skinfonts.h"
#include "skinmarkup.h"
#include "skinmessage.h"
#include "skinwindow.h"
#include "tl_language.h"
#include "tl_string.h"

namespace {

const WCHAR kLetters[] = L"\x0108\x0109 \x011C\x011D \x0124\x0125 \x0134\x0135 \x015C\x015D \x016C\x016D";
const WCHAR kSourceFace[] = L"DejaVu Sans Condensed";

// Resources of the test (eofonts_setup_test.rc.in): English at each identifier, Esperanto at the next.
const UINT kFrameDialog = 200, kPageDialog = 210;
const UINT kTitleString = 30, kCaptionString = 32, kMessageString = 34;
const DWORD kTitleControl = 1006;
const DWORD kPageControls[] = {1101, 1102, 1103, 1104, 1105, 1106};

// The child process that measures without the installer's fonts, and where it leaves its figures.
const char kResultsVariable[] = "VEXLIN_EOFONTS_RESULTS";
const char kChildResults[] = "eofonts-without-fonts.txt";
const char kChildLog[] = "eofonts-without-fonts.log";
const char kChildTest[] = "EoFontsSetupTest.DISABLED_MeasureWithoutTheInstallersFonts";

// Below this share of differing ink two drawings are the same letters; above the other, different ones.
const double kSame = 0.05, kDifferent = 0.2;

// A pixel counts as ink where the text covers at least this share of it (antialiased edges count less).
const int kInkShare = 30; // percent

struct Measured {
    std::string name;
    double difference;
};

// A picture as 32-bit pixels 0x00RRGGBB, row by row.
struct Shot {
    int width = 0, height = 0;
    std::vector<DWORD> pixels;
    DWORD At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x] & 0xFFFFFF; }
};

// Which pixels of a rectangle are ink.
struct Mask {
    int width = 0, height = 0;
    std::vector<char> ink;
    bool At(int x, int y) const {
        return x >= 0 && y >= 0 && x < width && y < height && ink[static_cast<size_t>(y) * width + x];
    }
    // The smallest rectangle holding all the ink; empty when there is none.
    RECT Bounds() const {
        RECT r = {width, height, 0, 0};
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (At(x, y)) {
                    if (x < r.left) r.left = x;
                    if (y < r.top) r.top = y;
                    if (x + 1 > r.right) r.right = x + 1;
                    if (y + 1 > r.bottom) r.bottom = y + 1;
                }
        if (r.right <= r.left) SetRectEmpty(&r);
        return r;
    }
};

int Red(DWORD pixel) { return (pixel >> 16) & 0xFF; }
int Green(DWORD pixel) { return (pixel >> 8) & 0xFF; }
int Blue(DWORD pixel) { return pixel & 0xFF; }
int Largest(int a, int b, int c) { return a > b ? (a > c ? a : c) : (b > c ? b : c); }

// A 32-bit DIB section with a memory DC, white and ready for transparent black text.
struct Canvas {
    int width, height;
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
    DWORD* pixels;
    Canvas(int w, int h) : width(w), height(h), pixels(nullptr) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        pixels = static_cast<DWORD*>(bits);
        old = SelectObject(dc, bitmap);
        RECT all = {0, 0, width, height};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(0, 0, 0));
    }
    ~Canvas() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    // Black text on white: the ink is how far a pixel went from white.
    Mask Ink() const {
        GdiFlush();
        Mask mask;
        mask.width = width;
        mask.height = height;
        mask.ink.resize(static_cast<size_t>(width) * height);
        for (size_t i = 0; i < mask.ink.size(); ++i) {
            DWORD p = pixels[i];
            int darkness = Largest(255 - Red(p), 255 - Green(p), 255 - Blue(p));
            mask.ink[i] = darkness * 100 >= kInkShare * 255;
        }
        return mask;
    }
};

// The share of ink that the two masks do not have in common, with their ink's top left corners laid on
// each other (so a drawing offset does not count, a different letter does). 1 when either has no ink.
double Difference(const Mask& a, const Mask& b) {
    RECT ra = a.Bounds(), rb = b.Bounds();
    if (IsRectEmpty(&ra) || IsRectEmpty(&rb)) return 1.0;
    int width = std::max(ra.right - ra.left, rb.right - rb.left);
    int height = std::max(ra.bottom - ra.top, rb.bottom - rb.top);
    size_t both = 0, either = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            bool inA = a.At(ra.left + x, ra.top + y), inB = b.At(rb.left + x, rb.top + y);
            either += inA || inB;
            both += inA && inB;
        }
    return either ? double(either - both) / double(either) : 1.0;
}

// The source face at the size and style of `like`.
HFONT SourceFont(HFONT like) {
    LOGFONTW logfont;
    EXPECT_EQ(static_cast<int>(sizeof logfont), GetObjectW(like, sizeof logfont, &logfont));
    lstrcpyW(logfont.lfFaceName, kSourceFace);
    return CreateFontIndirectW(&logfont);
}

// The letters drawn by the 16-bit path with the source face, black on white.
Mask SourceInk(HFONT like) {
    HFONT font = SourceFont(like);
    Canvas canvas(22 * 16 + 40, 22 * 2 + 20);
    HGDIOBJ old = SelectObject(canvas.dc, font);
    TextOutW(canvas.dc, 10, 10, kLetters, lstrlenW(kLetters));
    SelectObject(canvas.dc, old);
    DeleteObject(font);
    return canvas.Ink();
}

// ---- the screen ----

// A window's pixels as the screen shows them.
Shot Capture(HWND window) {
    RECT placed;
    GetWindowRect(window, &placed);
    Shot shot;
    shot.width = placed.right - placed.left;
    shot.height = placed.bottom - placed.top;
    shot.pixels.resize(static_cast<size_t>(shot.width) * shot.height);
    HDC screen = GetDC(nullptr);
    Canvas canvas(shot.width, shot.height);
    BitBlt(canvas.dc, 0, 0, shot.width, shot.height, screen, placed.left, placed.top, SRCCOPY);
    GdiFlush();
    memcpy(shot.pixels.data(), canvas.pixels, shot.pixels.size() * sizeof(DWORD));
    ReleaseDC(nullptr, screen);
    return shot;
}

// A top-down 32-bit BMP, for looking at.
void SaveBmp(const char* path, const Shot& shot) {
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = shot.width;
    info.biHeight = -shot.height;
    info.biPlanes = 1;
    info.biBitCount = 32;
    DWORD bytes = static_cast<DWORD>(shot.pixels.size() * sizeof(DWORD));
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + bytes;
    FILE* out = fopen(path, "wb");
    if (!out) return;
    fwrite(&file, sizeof file, 1, out);
    fwrite(&info, sizeof info, 1, out);
    fwrite(shot.pixels.data(), 1, bytes, out);
    fclose(out);
}

// Screenshots go beside the test program, named apart for the run without the installer's fonts.
std::string ShotPrefix() {
    char results[8];
    return GetEnvironmentVariableA(kResultsVariable, results, sizeof results) ? "eofonts-without-fonts-"
                                                                              : "eofonts-";
}

// Masks in pairs (the screen's ink, the source font's), each pair on a row of its own, for looking at.
void SaveInks(const char* path, const std::vector<Mask>& masks) {
    Shot shot;
    for (size_t i = 0; i + 1 < masks.size(); i += 2) {
        shot.width = std::max(shot.width, masks[i].width + masks[i + 1].width + 12);
        shot.height += std::max(masks[i].height, masks[i + 1].height) + 4;
    }
    if (shot.width == 0) return;
    shot.pixels.assign(static_cast<size_t>(shot.width) * shot.height, 0xFFFFFF);
    int top = 0;
    for (size_t i = 0; i + 1 < masks.size(); i += 2) {
        int left = 0;
        for (size_t k = i; k < i + 2; ++k) {
            for (int y = 0; y < masks[k].height; ++y)
                for (int x = 0; x < masks[k].width; ++x)
                    shot.pixels[static_cast<size_t>(top + y) * shot.width + left + x] =
                        masks[k].At(x, y) ? 0 : 0xE0E0E0;
            left += masks[k].width + 12;
        }
        top += std::max(masks[i].height, masks[i + 1].height) + 4;
    }
    SaveBmp(path, shot);
}

// Shows the window and lets its frame loop draw it.
void ShowAndDraw(SkinWindow* window) {
    ShowWindow(window->GetHandle(), SW_SHOWNORMAL);
    UpdateWindow(window->GetHandle());
    window->GetAnimWindow()->Play(8);
    GdiFlush();
}

// One laid-out run of a letters text, in window coordinates.
struct Area {
    std::string name;
    RECT rect;
    POINT origin; // where the run's text starts
    MarkupStyle style;
    std::string text;
};

void AddRuns(SkinWindow* window, DWORD id, const std::string& name, std::vector<Area>* areas) {
    SkinControl* control = window->GetControl(id);
    ASSERT_NE(nullptr, control) << name;
    const MarkupLayout& layout = control->GetLayout();
    ASSERT_GT(layout.GetRunCount(), 0u) << name;
    const RECT& rect = control->GetRect();
    const SKINTEXTSTYLE& style = control->GetTextStyle();
    for (DWORD i = 0; i < layout.GetRunCount(); ++i) {
        const MarkupRun& run = layout.GetRun(i);
        Area area;
        area.name = name + (layout.GetRunCount() > 1 ? " run " + std::to_string(i) : std::string());
        area.rect = run.rect;
        OffsetRect(&area.rect, rect.left + style.left, rect.top + style.top);
        area.origin.x = area.rect.left;
        area.origin.y = area.rect.top;
        // Italic letters lean out of their run's box; the next text is further away than this.
        InflateRect(&area.rect, 6, 2);
        area.style = run.style;
        area.text = run.text.Psz8();
        areas->push_back(area);
    }
}

// Where the letters' colour stands out from what lies under the text: the ink of the text alone.
Mask ScreenInk(const Shot& with, const Shot& without, RECT area, COLORREF colour) {
    RECT all = {0, 0, with.width, with.height};
    IntersectRect(&area, &area, &all);
    Mask mask;
    mask.width = area.right - area.left;
    mask.height = area.bottom - area.top;
    mask.ink.resize(static_cast<size_t>(std::max(0, mask.width)) * std::max(0, mask.height));
    for (int y = 0; y < mask.height; ++y)
        for (int x = 0; x < mask.width; ++x) {
            DWORD a = with.At(area.left + x, area.top + y), b = without.At(area.left + x, area.top + y);
            int contrast =
                Largest(abs(int(GetRValue(colour)) - Red(b)), abs(int(GetGValue(colour)) - Green(b)),
                        abs(int(GetBValue(colour)) - Blue(b)));
            int change = Largest(abs(Red(a) - Red(b)), abs(Green(a) - Green(b)), abs(Blue(a) - Blue(b)));
            mask.ink[static_cast<size_t>(y) * mask.width + x] =
                contrast > 0 && change * 100 >= kInkShare * contrast;
        }
    return mask;
}

typedef std::vector<std::pair<DWORD, std::string>> LetterTexts;

// The runs of a window's letters texts; then the texts are emptied, so that the next picture of the
// window shows what lies under them.
std::vector<Area> TakeAreas(SkinWindow* window, const LetterTexts& texts) {
    std::vector<Area> areas;
    for (const auto& text : texts) AddRuns(window, text.first, text.second, &areas);
    for (const auto& text : texts) window->SetText(text.first, string());
    return areas;
}

// Each run's ink on the screen against the source font's letters drawn at the same place.
void CompareAreas(Skin* skin, const std::vector<Area>& areas, const Shot& with, const Shot& without,
                  const std::string& shotName, std::vector<Measured>* results) {
    const string letters(kLetters);
    SaveBmp((ShotPrefix() + shotName + ".bmp").c_str(), with);
    std::vector<Mask> inks;
    for (const Area& area : areas) {
        // Each run is the whole letters text: converted to the installer's bytes, laid out on one line.
        EXPECT_STREQ(letters.Psz8(), area.text.c_str()) << area.name;
        HFONT font = skin->GetFonts()->Get(area.style);
        ASSERT_NE(nullptr, font) << area.name;
        Mask shown = ScreenInk(with, without, area.rect, area.style.colour);
        // The source's letters drawn over the same background in the same colour, so that both inks come
        // from the same blending of text and background.
        Canvas canvas(without.width, without.height);
        memcpy(canvas.pixels, without.pixels.data(), without.pixels.size() * sizeof(DWORD));
        HFONT sourceFont = SourceFont(font);
        HGDIOBJ old = SelectObject(canvas.dc, sourceFont);
        SetTextColor(canvas.dc, area.style.colour & 0xFFFFFF);
        TextOutW(canvas.dc, area.origin.x, area.origin.y, kLetters, lstrlenW(kLetters));
        SelectObject(canvas.dc, old);
        DeleteObject(sourceFont);
        GdiFlush();
        Shot drawn = without;
        memcpy(drawn.pixels.data(), canvas.pixels, drawn.pixels.size() * sizeof(DWORD));
        Mask source = ScreenInk(drawn, without, area.rect, area.style.colour);
        results->push_back({area.name, Difference(shown, source)});
        inks.push_back(shown);
        inks.push_back(source);
    }
    SaveInks((ShotPrefix() + shotName + "-ink.bmp").c_str(), inks);
}

// A window shown and drawn with its letters texts, and again with them emptied.
void MeasureWindow(Skin* skin, SkinWindow* window, const LetterTexts& texts, const std::string& shotName,
                   std::vector<Measured>* results) {
    ShowAndDraw(window);
    Shot with = Capture(window->GetHandle());
    std::vector<Area> areas = TakeAreas(window, texts);
    ShowAndDraw(window);
    CompareAreas(skin, areas, with, Capture(window->GetHandle()), shotName, results);
}

// The closing message measured while SkinMessageBox runs it, as the installer shows it: a timer of the
// thread takes the box's picture, empties its text, takes the picture again and clicks OK. Anything
// amiss ends the run through a quit message instead.
struct ModalMeasure {
    Skin* skin;
    std::vector<Measured>* results;
    UINT_PTR timer;
    int step;
    std::vector<Area> areas;
    Shot with;
} g_modal;

HWND g_shownSkinWindow;

BOOL CALLBACK FindShownSkinWindow(HWND window, LPARAM) {
    if (!IsWindowVisible(window) || !SkinWindow::FromHandle(window)) return TRUE;
    g_shownSkinWindow = window;
    return FALSE;
}

void CALLBACK StepModalMeasure(HWND, UINT, UINT_PTR, DWORD) {
    g_shownSkinWindow = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindShownSkinWindow, 0);
    SkinWindow* box = g_shownSkinWindow ? SkinWindow::FromHandle(g_shownSkinWindow) : nullptr;
    if (!box) {
        KillTimer(nullptr, g_modal.timer);
        ADD_FAILURE() << "no skinned message box is shown";
        PostQuitMessage(0);
        return;
    }
    if (g_modal.step++ == 0) {
        g_modal.with = Capture(box->GetHandle());
        g_modal.areas = TakeAreas(box, {{kSkinMessageText, "message box"}});
        return; // the next tick sees the box drawn without its text
    }
    KillTimer(nullptr, g_modal.timer);
    CompareAreas(g_modal.skin, g_modal.areas, g_modal.with, Capture(box->GetHandle()), "message",
                 g_modal.results);
    SkinControl* ok = box->GetControl(IDOK);
    if (ok)
        ok->Click();
    else
        PostQuitMessage(0);
}

LRESULT QuietProc(SkinWindow*, UINT, WPARAM, LPARAM) { return 0; }

string LoadText(UINT id) {
    string text;
    AppendLocalizedString(text, id);
    return text;
}

// The frame with its title (a string) and a page (a dialog), then the closing message box (a string) run
// modally, as the installer makes them, in the installer's dialog face.
void MeasureSkinnedWindows(std::vector<Measured>* results) {
    static bool started = false;
    if (!started) {
        ASSERT_TRUE(AnimInit(GetModuleHandle(nullptr), 0));
        ASSERT_TRUE(SkinWindow::RegisterClass(GetModuleHandle(nullptr), 0));
        started = true;
    }
    Skin skin;
    skin.OpenResource(GetModuleHandle(nullptr), MAKEINTRESOURCE(800), "ZIP");
    skin.SetProperty(string("Font"), string("MS Shell Dlg,-13"));

    SkinWindow* frame = SkinWindow::Create(&skin, string("VexlinSetup"), QuietProc, kFrameDialog, 0, nullptr);
    ASSERT_NE(nullptr, frame);
    frame->SetText(kTitleControl, LoadText(kTitleString));
    ASSERT_NE(nullptr, frame->InsetPage(string(), QuietProc, kPageDialog, 0));
    LetterTexts texts = {{kTitleControl, "title"}};
    const char* const names[] = {"dialog face",     "dialog face bold",  "title face",
                                 "title face bold", "title face italic", "title face bold italic"};
    for (size_t i = 0; i < sizeof kPageControls / sizeof kPageControls[0]; ++i)
        texts.push_back({kPageControls[i], std::string("page ") + names[i]});
    MeasureWindow(&skin, frame, texts, "page", results);
    frame->Destroy();

    g_modal.skin = &skin;
    g_modal.results = results;
    g_modal.step = 0;
    // A second between steps: the box's frame loop draws it several times over.
    g_modal.timer = SetTimer(nullptr, 0, 1000, StepModalMeasure);
    ASSERT_NE(0u, g_modal.timer);
    int answer =
        SkinMessageBox(&skin, MB_ICONINFORMATION, LoadText(kCaptionString), LoadText(kMessageString));
    MSG quit;
    PeekMessage(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    EXPECT_EQ(IDOK, answer);
    EXPECT_EQ(2, g_modal.step);
}

// ---- straight through the font descriptions ----

const char* const kDescriptions[] = {"MS Shell Dlg,-22", "MS Shell Dlg,-22,B", "Arial,-22,I", "Arial,-22,BI"};

// The installer's 8-bit path without a window: its string type turns the letters into bytes, its font
// comes from a description.
void MeasureDescriptions(std::vector<Measured>* results) {
    string text(kLetters);
    for (const char* description : kDescriptions) {
        HFONT font = CreateFontFromDescription(string(description));
        ASSERT_NE(nullptr, font) << description;
        Canvas canvas(22 * 16 + 40, 22 * 2 + 20);
        HGDIOBJ old = SelectObject(canvas.dc, font);
        TextOutA(canvas.dc, 10, 10, text.Psz8(), lstrlenA(text.Psz8()));
        SelectObject(canvas.dc, old);
        results->push_back(
            {std::string("description ") + description, Difference(canvas.Ink(), SourceInk(font))});
        DeleteObject(font);
    }
}

std::vector<Measured> MeasureEverything() {
    InitLanguages(string(), 1);
    SetLanguage(kLangEsperanto);
    EXPECT_EQ(kLangEsperanto, GetLanguage());
    std::vector<Measured> results;
    MeasureDescriptions(&results);
    MeasureSkinnedWindows(&results);
    SetLanguage(kLangEnglish);
    return results;
}

// Seven skinned texts (title and six page texts), the message box's two lines, four descriptions.
const size_t kMeasuredCount = 13;

TEST(EoFontsSetupTest, SkinnedWindowsShowTheEsperantoLettersWithTheInstallersFonts) {
    ASSERT_EQ(6u, RegisterEoFonts(GetModuleHandle(nullptr)));
    std::vector<Measured> results = MeasureEverything();
    RemoveEoFonts();
    EXPECT_EQ(kMeasuredCount, results.size());
    for (const Measured& m : results) {
        printf("with the installer's fonts: %-32s %.3f\n", m.name.c_str(), m.difference);
        EXPECT_LT(m.difference, kSame) << m.name;
    }
}

// Run in a child process by the next test, with the installer's fonts switched off.
TEST(EoFontsSetupTest, DISABLED_MeasureWithoutTheInstallersFonts) {
    char results[MAX_PATH];
    DWORD n = GetEnvironmentVariableA(kResultsVariable, results, sizeof results);
    ASSERT_TRUE(n > 0 && n < sizeof results);
    ASSERT_EQ(0u, RegisterEoFonts(GetModuleHandle(nullptr)));
    std::vector<Measured> measured = MeasureEverything();
    FILE* out = fopen(results, "w");
    ASSERT_NE(nullptr, out);
    for (const Measured& m : measured) fprintf(out, "%.4f %s\n", m.difference, m.name.c_str());
    fclose(out);
}

TEST(EoFontsSetupTest, WithoutTheInstallersFontsTheLettersAreOthers) {
    DeleteFileA(kChildResults);
    char program[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(nullptr, program, sizeof program), 0u);
    std::string command =
        std::string("\"") + program + "\" --gtest_also_run_disabled_tests --gtest_filter=" + kChildTest;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE log = CreateFileA(kChildLog, GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, log);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = log;
    PROCESS_INFORMATION child = {};
    // The installer's own switch leaves its fonts out; the child inherits it with the results' name.
    SetEnvironmentVariableA("VEXLIN_SETUP_NO_EO_FONTS", "1");
    SetEnvironmentVariableA(kResultsVariable, kChildResults);
    std::vector<char> line(command.begin(), command.end());
    line.push_back(0);
    BOOL started =
        CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &child);
    SetEnvironmentVariableA("VEXLIN_SETUP_NO_EO_FONTS", nullptr);
    SetEnvironmentVariableA(kResultsVariable, nullptr);
    CloseHandle(log);
    ASSERT_TRUE(started);
    DWORD waited = WaitForSingleObject(child.hProcess, 180000);
    if (waited != WAIT_OBJECT_0) TerminateProcess(child.hProcess, 1);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    ASSERT_EQ(WAIT_OBJECT_0, waited);

    // The child's own checks passed (no fonts registered, every run the whole letters text).
    FILE* in = fopen(kChildLog, "r");
    ASSERT_NE(nullptr, in);
    std::string output;
    char buffer[512];
    while (fgets(buffer, sizeof buffer, in)) output += buffer;
    fclose(in);
    EXPECT_NE(std::string::npos, output.find("[  PASSED  ] 1 test")) << output;

    in = fopen(kChildResults, "r");
    ASSERT_NE(nullptr, in) << output;
    size_t count = 0;
    double difference;
    while (fscanf(in, "%lf %511[^\n]", &difference, buffer) == 2) {
        ++count;
        printf("without the installer's fonts: %-32s %.3f\n", buffer, difference);
        EXPECT_GT(difference, kDifferent) << buffer << " matched without the installer's fonts";
    }
    fclose(in);
    EXPECT_EQ(kMeasuredCount, count);
}

} // namespace
