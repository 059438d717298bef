// Localized dialogs, fonts from descriptions and the plain resource loaders;
// these need a display.
#include "tl_language.h"
#include "tl_string.h"

#include "string_table_module.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

void PutWord(std::vector<BYTE>& bytes, WORD value) {
    bytes.push_back(LOBYTE(value));
    bytes.push_back(HIBYTE(value));
}

void PutDword(std::vector<BYTE>& bytes, DWORD value) {
    PutWord(bytes, LOWORD(value));
    PutWord(bytes, HIWORD(value));
}

void PutText(std::vector<BYTE>& bytes, const std::wstring& text) {
    for (WCHAR c : text) PutWord(bytes, c);
    PutWord(bytes, 0);
}

// A hidden dialog with a caption and one static control 1001.
std::vector<BYTE> DialogTemplate(const std::wstring& caption, const std::wstring& label) {
    std::vector<BYTE> bytes;
    PutDword(bytes, WS_POPUP | WS_CAPTION);
    PutDword(bytes, 0);
    PutWord(bytes, 1); // one control
    for (WORD coordinate : {0, 0, 120, 60}) PutWord(bytes, coordinate);
    PutWord(bytes, 0); // no menu
    PutWord(bytes, 0); // the dialog class
    PutText(bytes, caption);
    while (bytes.size() % 4) bytes.push_back(0);
    PutDword(bytes, WS_CHILD | WS_VISIBLE | SS_LEFT);
    PutDword(bytes, 0);
    for (WORD coordinate : {4, 4, 100, 10}) PutWord(bytes, coordinate);
    PutWord(bytes, 1001);
    PutWord(bytes, 0xFFFF);
    PutWord(bytes, 0x0082); // static
    PutText(bytes, label);
    PutWord(bytes, 0); // no creation data
    return bytes;
}

std::vector<BYTE> InfoHeader(LONG width, LONG height, WORD bits) {
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof(header);
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = bits;
    const BYTE* raw = reinterpret_cast<const BYTE*>(&header);
    return std::vector<BYTE>(raw, raw + sizeof(header));
}

std::vector<BYTE> Accelerators() {
    std::vector<BYTE> bytes;
    for (WORD field :
         std::initializer_list<int>{FVIRTKEY | FCONTROL, 'Q', 7001, 0, FVIRTKEY | 0x80, VK_F1, 7002, 0})
        PutWord(bytes, field);
    return bytes;
}

// 7 x 5 pixels of 24 bits, rows padded to four bytes.
std::vector<BYTE> Bitmap() {
    std::vector<BYTE> bytes = InfoHeader(7, 5, 24);
    bytes.resize(bytes.size() + 24 * 5, 0x40);
    return bytes;
}

StringTableModule* g_module = nullptr;

// English and Esperanto, without a program name: nothing goes to the
// registry. Set before anything asks for the language.
class ResourceModuleEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        g_module =
            new StringTableModule({{1, L"EN,EO"}}, {{5, 300, DialogTemplate(L"Dialog EN", L"English")},
                                                    {5, 301, DialogTemplate(L"Dialog EO", L"Esperanto")},
                                                    {5, 310, DialogTemplate(L"English only", L"-")},
                                                    {9, 520, Accelerators()},
                                                    {2, 530, Bitmap()}});
        ASSERT_NE(nullptr, g_module->module());
        SetResourceModule(g_module->module());
        ASSERT_EQ(2u, GetLanguageCount());
    }
    void TearDown() override {
        SetResourceModule(nullptr);
        delete g_module;
    }
};

::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new ResourceModuleEnvironment);

class Localized : public ::testing::Test {
protected:
    void SetUp() override { SetLanguage(kLangEnglish); }
    void TearDown() override { SetLanguage(kLangEnglish); }
};

std::wstring TextOf(HWND window) {
    WCHAR text[100] = {0};
    GetWindowTextW(window, text, 100);
    return text;
}

LPARAM g_initParameter = 0;

INT_PTR CALLBACK RememberingProcedure(HWND, UINT message, WPARAM, LPARAM lParam) {
    if (message != WM_INITDIALOG) return FALSE;
    g_initParameter = lParam;
    return TRUE;
}

// Ends at once, telling by its result which template it was made from.
INT_PTR CALLBACK EndingProcedure(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
    if (message != WM_INITDIALOG) return FALSE;
    EndDialog(dialog, lParam + (TextOf(dialog) == L"Dialog EO" ? 1 : 0));
    return TRUE;
}

TEST_F(Localized, AModelessDialogComesFromTheTemplateOfTheCurrentLanguage) {
    const struct {
        LANGID language;
        const WCHAR* caption;
        const WCHAR* label;
    } cases[] = {{kLangEnglish, L"Dialog EN", L"English"}, {kLangEsperanto, L"Dialog EO", L"Esperanto"}};
    for (const auto& expected : cases) {
        SetLanguage(expected.language);
        g_initParameter = 0;
        HWND dialog = CreateLocalizedDialog(300, nullptr, RememberingProcedure, 77);
        ASSERT_NE(nullptr, dialog);
        EXPECT_EQ(expected.caption, TextOf(dialog));
        EXPECT_EQ(expected.label, TextOf(GetDlgItem(dialog, 1001)));
        EXPECT_EQ(77, g_initParameter);
        // Where the system has them, dialogs are 16-bit windows in both builds.
        EXPECT_TRUE(IsWindowUnicode(dialog));
        DestroyWindow(dialog);
    }
    // The probe for 16-bit windows leaves nothing behind.
    EXPECT_EQ(nullptr, FindWindowW(L"static", L"unicode test"));
}

TEST_F(Localized, ADialogMissingInTheCurrentLanguageIsNotCreated) {
    HWND english = CreateLocalizedDialog(310, nullptr, RememberingProcedure, 0);
    ASSERT_NE(nullptr, english);
    EXPECT_EQ(L"English only", TextOf(english));
    DestroyWindow(english);
    SetLanguage(kLangEsperanto);
    EXPECT_EQ(nullptr, CreateLocalizedDialog(310, nullptr, RememberingProcedure, 0));
    EXPECT_EQ(-1, LocalizedDialogBox(310, nullptr, EndingProcedure, 0));
    HINSTANCE module = reinterpret_cast<HINSTANCE>(1);
    EXPECT_EQ(nullptr, FindLocalizedDialog(310, &module));
    EXPECT_EQ(nullptr, module);
}

TEST_F(Localized, ADialogBoxRunsTheTemplateOfTheCurrentLanguage) {
    EXPECT_EQ(40, LocalizedDialogBox(300, nullptr, EndingProcedure, 40));
    SetLanguage(kLangEsperanto);
    EXPECT_EQ(41, LocalizedDialogBox(300, nullptr, EndingProcedure, 40));
    HINSTANCE module = nullptr;
    const DLGTEMPLATE* dialog = FindLocalizedDialog(300, &module);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(GetResourceModule(), module);
    EXPECT_EQ(1, dialog->cdit);
    EXPECT_EQ(L"Dialog EO", std::wstring(reinterpret_cast<const WCHAR*>(dialog + 1) + 2));
}

LOGFONT Described(const char* description) {
    LOGFONT font = {};
    HFONT created = CreateFontFromDescription(string(description));
    EXPECT_NE(nullptr, created) << description;
    if (created) {
        EXPECT_EQ(static_cast<int>(sizeof(font)), GetObject(created, sizeof(font), &font));
        DeleteObject(created);
    }
    return font;
}

std::string Face(const LOGFONT& font) { return string(font.lfFaceName).Psz8(); }

LONG HeightOfPoints(LONG points) {
    HDC screen = CreateCompatibleDC(nullptr);
    LONG height = -(points * GetDeviceCaps(screen, LOGPIXELSY) / 72);
    DeleteDC(screen);
    return height;
}

LOGFONT SystemFont() {
    LOGFONT font = {};
    GetObject(GetStockObject(SYSTEM_FONT), sizeof(font), &font);
    return font;
}

TEST_F(Localized, AFontDescriptionGivesFaceSizeAndStyle) {
    LOGFONT font = Described("Tahoma,9,B");
    EXPECT_EQ("Tahoma", Face(font));
    EXPECT_EQ(HeightOfPoints(9), font.lfHeight);
    EXPECT_EQ(FW_BOLD, font.lfWeight);
    EXPECT_FALSE(font.lfItalic);
    EXPECT_FALSE(font.lfUnderline);
    EXPECT_EQ(DEFAULT_CHARSET, font.lfCharSet);
    EXPECT_EQ(ANTIALIASED_QUALITY, font.lfQuality);

    // Points to pixels cut the fraction; a negative size is a height already.
    EXPECT_EQ(HeightOfPoints(11), Described("Tahoma,11").lfHeight);
    font = Described("Arial,-14,I");
    EXPECT_EQ("Arial", Face(font));
    EXPECT_EQ(-14, font.lfHeight);
    EXPECT_TRUE(font.lfItalic);
    // The system font is bold on the desktop; a description without "B" is not.
    EXPECT_EQ(FW_NORMAL, font.lfWeight);

    font = Described(" Times New Roman , 10 ,, ui ");
    EXPECT_EQ("Times New Roman", Face(font));
    EXPECT_EQ(HeightOfPoints(10), font.lfHeight);
    EXPECT_TRUE(font.lfItalic);
    EXPECT_TRUE(font.lfUnderline);

    // "default" and a size of 0 keep the system font's face and height.
    LOGFONT system = SystemFont();
    font = Described("DEFAULT,0,bU");
    EXPECT_EQ(Face(system), Face(font));
    EXPECT_EQ(system.lfHeight, font.lfHeight);
    EXPECT_EQ(FW_BOLD, font.lfWeight);
    EXPECT_TRUE(font.lfUnderline);
    EXPECT_EQ(Face(system), Face(Described("")));
}

TEST_F(Localized, EsperantoTakesTheEoVariantOfAFace) {
    SetLanguage(kLangEsperanto);
    LOGFONT font = Described("Tahoma,9,B");
    EXPECT_EQ("Tahoma Eo", Face(font));
    EXPECT_EQ(HeightOfPoints(9), font.lfHeight);
    EXPECT_EQ(FW_BOLD, font.lfWeight);
    EXPECT_EQ("Arial Eo", Face(Described("Arial Eo,-14,I")));
    EXPECT_EQ(Face(SystemFont()) + " Eo", Face(Described("default")));
    // A face too long for the field keeps its suffix.
    std::string longFace(40, 'F');
    font = Described(longFace.c_str());
    EXPECT_EQ(std::string(LF_FACESIZE - 4, 'F') + " Eo", Face(font));
    SetLanguage(kLangEnglish);
    EXPECT_EQ(std::string(LF_FACESIZE - 1, 'F'), Face(Described(longFace.c_str())));
    EXPECT_EQ("Tahoma", Face(Described("Tahoma,9,B")));
}

TEST_F(Localized, OverlongSizesAreBounded) {
    EXPECT_EQ(-0x7FFF, Described("Arial,-99999999999").lfHeight);
    EXPECT_EQ(HeightOfPoints(0x7FFF), Described("Arial,99999999999").lfHeight);
}

// Images and accelerators (like icons and cursors) exist once: Esperanto does
// not move them to the next identifier.
TEST_F(Localized, PlainResourcesIgnoreTheLanguage) {
    SetLanguage(kLangEsperanto);
    HACCEL table = LoadAcceleratorResource(520);
    ASSERT_NE(nullptr, table);
    ACCEL entries[4] = {};
    ASSERT_EQ(2, CopyAcceleratorTable(table, entries, 4));
    EXPECT_EQ('Q', entries[0].key);
    EXPECT_EQ(7001, entries[0].cmd);
    EXPECT_EQ(VK_F1, entries[1].key);
    EXPECT_EQ(7002, entries[1].cmd);

    HANDLE image = LoadImageResource(530, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
    ASSERT_NE(nullptr, image);
    BITMAP bitmap = {};
    ASSERT_TRUE(GetObject(image, sizeof(bitmap), &bitmap));
    EXPECT_EQ(7, bitmap.bmWidth);
    EXPECT_EQ(5, bitmap.bmHeight);
    DeleteObject(image);

    EXPECT_EQ(nullptr, LoadAcceleratorResource(599));
    EXPECT_EQ(nullptr, LoadImageResource(599, IMAGE_BITMAP, 0, 0, 0));
}

} // namespace
