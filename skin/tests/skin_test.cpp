// Skin files and properties: the key file reader, property lookup through variants and overrides, the
// window and control text styles, the default skin's archive, pictures by variant, cut-up pictures and
// every failure text.
#include "skin.h"

#include "cea_graphic.h"
#include "cea_palette_group.h"
#include "cea_sound.h"
#include "zip_file.h"
#include "skin_test_support.h"

#include <gtest/gtest.h>

using namespace skintest;

namespace {

Properties Read(const char* text) {
    Properties p;
    ReadProperties(p, text, lstrlenA(text), kPropertiesMerge);
    return p;
}

std::string Value(const Properties& p, const char* key) { return p.lookup(istring(key)).text.Psz8(); }

TEST(SkinProperties, ReadKeysAndValuesLineByLine) {
    Properties p = Read("# a comment = not a key\r\n"
                        "  \t Frame Border =  20 \t\r\n"
                        "=no key\n"
                        "no equals sign\n"
                        "\n"
                        "skin=Vexlin Night\n"
                        "font = Arial,-14,I\n"
                        "weird = a = b\n"
                        "negative = -14px\n"
                        "FRAME BORDER = 12\n"
                        "empty =\n"
                        "last = no line end");
    EXPECT_EQ("12", Value(p, "frame border"));
    EXPECT_EQ(12, p.lookup(istring("frame border")).number);
    EXPECT_EQ("Vexlin Night", Value(p, "SKIN"));
    EXPECT_EQ(0, p.lookup(istring("skin")).number);
    EXPECT_EQ("a = b", Value(p, "weird"));
    EXPECT_EQ(-14, p.lookup(istring("negative")).number);
    EXPECT_EQ("", Value(p, "empty"));
    EXPECT_TRUE(p.exists(istring("empty")));
    EXPECT_EQ("no line end", Value(p, "last"));
    EXPECT_FALSE(p.exists(istring("# a comment")));
    EXPECT_FALSE(p.exists(istring("no equals sign")));
    EXPECT_EQ(7u, p.size());

    const char* removal = "skin = anything\nmissing = x\n";
    ReadProperties(p, removal, lstrlenA(removal), kPropertiesRemove);
    EXPECT_FALSE(p.exists(istring("skin")));
    EXPECT_EQ(6u, p.size());
    EXPECT_EQ(2147483647, ParsePropertyNumber("99999999999"));
    EXPECT_EQ(0, ParsePropertyNumber("x1"));
}

TEST(SkinProperties, LookupTakesTheFirstNonEmptyOfOverridesVariantAndPlainKeys) {
    Properties p = Read("text color = #000001\nMessage text color = #000002\nMessage font =\n");
    Properties overrides = Read("text color = #000003\nMessage text color = #000004\n");
    Properties empty;
    string key("text color"), none, message("Message");
    EXPECT_STREQ("#000004", LookupProperty(p, key, &overrides, message).Psz8());
    EXPECT_STREQ("#000003", LookupProperty(p, key, &overrides, none).Psz8());
    EXPECT_STREQ("#000002", LookupProperty(p, key, &empty, message).Psz8());
    EXPECT_STREQ("#000002", LookupProperty(p, key, nullptr, message).Psz8());
    EXPECT_STREQ("#000001", LookupProperty(p, key, nullptr, none).Psz8());
    EXPECT_STREQ("#000001", LookupProperty(p, key, nullptr, string("Other")).Psz8());
    // An empty variant value falls through to the plain key.
    Properties font = Read("font = Tahoma\nMessage font =\n");
    EXPECT_STREQ("Tahoma", LookupProperty(font, string("font"), nullptr, message).Psz8());
    EXPECT_STREQ("", LookupProperty(p, string("absent"), &overrides, message).Psz8());
}

TEST(SkinProperties, WindowStyleBordersAndTheirFallbacks) {
    SKINWINDOWSTYLE s;
    ReadWindowStyle(Read("frame border = 20\nframe lborder = 3\n"), &s, nullptr, string());
    EXPECT_EQ(20, s.left);
    EXPECT_EQ(20, s.top);
    EXPECT_EQ(20, s.right);
    EXPECT_EQ(20, s.bottom);
    ReadWindowStyle(Read("frame xborder = 4\nframe tborder = 5\nframe bborder = 6\nframe rborder = 9\n"
                         "drag by background = 0\ntitlebar height = 24\nbackground layout = StReTcH\n"
                         "background color = #102030\nframes per second = 25\nproportional scrollbars = 1"),
                    &s, nullptr, string());
    EXPECT_EQ(4, s.left);
    EXPECT_EQ(4, s.right);
    EXPECT_EQ(5, s.top);
    EXPECT_EQ(6, s.bottom);
    EXPECT_EQ(24, s.titlebarHeight);
    EXPECT_EQ(static_cast<DWORD>(kLayoutStretch), s.backgroundLayout);
    EXPECT_EQ(RGB(0x10, 0x20, 0x30), s.backgroundColor);
    EXPECT_EQ(25, s.framesPerSecond);
    EXPECT_TRUE(s.proportionalScrollbars);
    ReadWindowStyle(Read("background layout = CENTER\ndrag by background = 1\ntitlebar height = 24\n"
                         "background color = #12345"),
                    &s, nullptr, string());
    EXPECT_EQ(static_cast<DWORD>(kLayoutCenter), s.backgroundLayout);
    EXPECT_EQ(-1, s.titlebarHeight);
    EXPECT_EQ(0u, s.backgroundColor); // unreadable: black
    EXPECT_EQ(0, s.left);
    ReadWindowStyle(Read("background layout = mosaic"), &s, nullptr, string());
    EXPECT_EQ(static_cast<DWORD>(kLayoutTile), s.backgroundLayout);
    EXPECT_EQ(0, s.titlebarHeight);
}

TEST(SkinProperties, ControlTextStyleByTypePrefix) {
    Properties p = Read("font = Arial,-14,I\ntext color = #010203\ntext rborder = 5\n"
                        "pbutton text lborder = 26\npbutton text color = #FFFFFF\n"
                        "selected background color = #0A0B0C\nlist selected text background color = #111111\n"
                        "edit text layout = center\nedit font = Tahoma,9\ncbutton image layout = RIGHT\n"
                        "cbutton image xadjust = 3\ncbutton image yadjust = -2\n");
    SKINTEXTSTYLE s;
    ReadTextStyle(p, &s, 7, nullptr, string());
    EXPECT_STREQ("Arial,-14,I", s.font.Psz8());
    EXPECT_EQ(26, s.left);
    EXPECT_EQ(0, s.right); // no fallback to the bare "text rborder"
    EXPECT_EQ(RGB(255, 255, 255), s.textColor);
    EXPECT_EQ(RGB(10, 11, 12), s.selectedBackgroundColor);
    EXPECT_EQ(static_cast<DWORD>(kAlignLeft), s.textLayout);
    ReadTextStyle(p, &s, 11, nullptr, string());
    EXPECT_EQ(5, s.right);
    EXPECT_EQ(0, s.left);
    EXPECT_EQ(RGB(1, 2, 3), s.textColor);
    ReadTextStyle(p, &s, 17, nullptr, string());
    EXPECT_EQ(RGB(0x11, 0x11, 0x11), s.selectedBackgroundColor);
    ReadTextStyle(p, &s, 15, nullptr, string());
    EXPECT_STREQ("Tahoma,9", s.font.Psz8());
    EXPECT_EQ(static_cast<DWORD>(kAlignCenter), s.textLayout);
    ReadTextStyle(p, &s, 9, nullptr, string());
    EXPECT_EQ(static_cast<DWORD>(kAlignRight), s.imageLayout);
    EXPECT_EQ(3, s.imageXAdjust);
    EXPECT_EQ(-2, s.imageYAdjust);
    EXPECT_STREQ("", TextStylePrefix(10));
}

TEST(SkinGraphics, GridsOfEveryCodeAndCellsCutWithoutRemainders) {
    const DWORD expected[][3] = {{0, 1, 1},  {1, 2, 2},  {2, 2, 1},  {3, 1, 2},  {4, 1, 3},  {5, 1, 3},
                                 {6, 1, 1},  {7, 3, 4},  {8, 2, 4},  {9, 2, 4},  {10, 4, 1}, {11, 3, 3},
                                 {12, 4, 4}, {13, 4, 4}, {15, 3, 3}, {16, 1, 1}, {17, 3, 3}};
    for (const auto& e : expected) {
        DWORD columns = 0, rows = 0;
        SkinGridOf(e[0], &columns, &rows);
        EXPECT_EQ(e[1], columns) << e[0];
        EXPECT_EQ(e[2], rows) << e[0];
    }
    for (DWORD bad : {14u, 18u, 0x7FFFFFFFu})
        EXPECT_EQ("constructing skincontrolgraphics for unknown control type", Failure([&] {
                      DWORD c, r;
                      SkinGridOf(bad, &c, &r);
                  }))
            << bad;

    Graphic picture(85, 121, 32, (const RGBQUAD*)nullptr);
    for (int y = 0; y < 121; ++y)
        for (int x = 0; x < 85; ++x) picture.SetPixelColor(x, y, RGB(x, y, 7));
    SKINCONTROLGRAPHICS button(&picture, 7);
    EXPECT_EQ(28, button.cellWidth);
    EXPECT_EQ(30, button.cellHeight);
    ASSERT_EQ(12u, button.cellCount);
    ASSERT_NE(nullptr, button.Cell(5));
    EXPECT_EQ(RGB(56, 30, 7), button.Cell(5)->GetPixelColor(0, 0)); // column 2, row 1
    EXPECT_EQ(button.Cell(5), button.Cell(2, 1));
    SKINCONTROLGRAPHICS explicitGrid(&picture, SkinGrid(5, 7));
    EXPECT_EQ(17, explicitGrid.cellWidth);
    EXPECT_EQ(17, explicitGrid.cellHeight);
    EXPECT_EQ(35u, explicitGrid.cellCount);
    // A grid finer than the picture has empty cells rather than cells outside it.
    SKINCONTROLGRAPHICS tooFine(&picture, SkinGrid(200, 1));
    EXPECT_EQ(0, tooFine.cellWidth);
    EXPECT_EQ(nullptr, tooFine.Cell(0));
}

class DefaultSkin : public ::testing::Test {
protected:
    void SetUp() override {
        std::string path = AssetPath("skin-800.zip");
        skin.OpenFile(path.c_str());
    }
    Skin skin;
};

TEST_F(DefaultSkin, OpensWithNineteenPicturesNoSoundsAndItsProperties) {
    EXPECT_EQ(20u, skin.GetFileCount());
    DWORD pictures = 0, sounds = 0;
    for (SKINFILE* file : skin.GetFiles()) {
        pictures += file->picture != nullptr;
        sounds += file->sound != nullptr;
        EXPECT_EQ(nullptr, file->data) << file->name.Psz8(); // every member's bytes were released
        if (file->entry) {
            EXPECT_FALSE(file->entry->IsLoaded()) << file->name.Psz8();
        }
    }
    EXPECT_EQ(19u, pictures);
    EXPECT_EQ(0u, sounds);
    EXPECT_EQ(RGB(0, 0, 255), skin.GetTransparentColor());
    EXPECT_STREQ("Vexlin Night", skin.GetProperty(TEXT("skin")).Psz8());
    SKINWINDOWSTYLE w;
    skin.GetWindowStyle(&w, nullptr, string());
    EXPECT_EQ(20, w.left);
    EXPECT_EQ(20, w.top);
    EXPECT_EQ(20, w.right);
    EXPECT_EQ(20, w.bottom);
    EXPECT_EQ(-1, w.titlebarHeight);
    EXPECT_EQ(10, w.framesPerSecond);
    EXPECT_EQ(static_cast<DWORD>(kLayoutTile), w.backgroundLayout);
    SKINTEXTSTYLE t;
    skin.GetTextStyle(&t, 7, nullptr, string());
    EXPECT_STREQ("Arial,-14,I", t.font.Psz8());
    EXPECT_EQ(26, t.left);
    EXPECT_EQ(0, t.right);
    skin.GetTextStyle(&t, 15, nullptr, string());
    EXPECT_EQ(static_cast<DWORD>(kAlignCenter), t.textLayout);
    skin.GetTextStyle(&t, 17, nullptr, string());
    EXPECT_EQ(RGB(0xFF, 0xE6, 0x8C), t.selectedTextColor);
    EXPECT_EQ(nullptr, skin.GetPaletteGroup()->IsOpen() ? skin.GetPaletteGroup() : nullptr);
    // The transparent colour reached the pictures.
    Graphic* corners = skin.FindPicture(string("frame-c"), string());
    ASSERT_NE(nullptr, corners);
    EXPECT_EQ(RGB(0, 0, 255), corners->GetTransparency() & 0xFFFFFF);
}

TEST_F(DefaultSkin, PicturesByVariantAndTheMissingPictureText) {
    EXPECT_EQ(nullptr, skin.FindPicture(string("frame"), string("VexlinSetup")));
    EXPECT_NE(nullptr,
              skin.FindPicture(string("PBUTTON"), string("Message"))); // falls back to the plain name

    SKINFILE* frame = MEMNEW(SKINFILE, ());
    frame->name = "VexlinSetup Frame.psp";
    frame->picture = static_cast<Graphic*>(MemRegisterObject(new Graphic(40, 30, 32, (const RGBQUAD*)nullptr),
                                                             sizeof(Graphic), "SPRITE", __FILE__, __LINE__));
    skin.AddFile(frame);
    EXPECT_EQ(frame->picture, skin.FindPicture(string("frame"), string("VexlinSetup")));
    EXPECT_EQ(frame->picture, skin.FindPicture(string("FRAME"), string("vexlinsetup")));
    EXPECT_EQ(nullptr, skin.FindPicture(string("frame"), string()));
    SKINCONTROLGRAPHICS* whole = skin.GetControlGraphics(string("frame"), 0, string("VexlinSetup"));
    ASSERT_NE(nullptr, whole);
    EXPECT_EQ(40, whole->cellWidth);
    EXPECT_EQ(whole, skin.GetControlGraphics(string("frame"), 0, string("VexlinSetup")));

    SKINCONTROLGRAPHICS* button = skin.GetControlGraphics(string("pbutton"), 7, string());
    ASSERT_NE(nullptr, button);
    EXPECT_EQ(28, button->cellWidth);
    EXPECT_EQ(30, button->cellHeight);
    EXPECT_EQ(button, skin.GetControlGraphics(string("pbutton"), 7, string("Message")));

    EXPECT_EQ("the skin Vexlin Night is missing the  hover image",
              Failure([&] { skin.GetControlGraphics(string("hover"), 7, string()); }));
    EXPECT_EQ("the skin Vexlin Night is missing the Message icon-question image",
              Failure([&] { skin.GetControlGraphics(string("icon-question"), 0, string("Message")); }));
    EXPECT_EQ(nullptr, skin.GetControlGraphics(string("hover"), SkinGrid(1, 1), string()));
    EXPECT_EQ(nullptr, skin.GetControlGraphics(string("layout"), SkinGrid(1, 1), string("VexlinSetup")));
    EXPECT_EQ("constructing skincontrolgraphics for unknown control type",
              Failure([&] { skin.GetControlGraphics(string("pbutton"), 14, string()); }));
}

TEST(Skin, TextPictureIsOptionalAndBmpMembersArePictures) {
    Members members = DefaultMembers();
    members.erase("text.psp");
    // A 4 x 2 BMP: 24-bit, bottom-up rows padded to four bytes.
    Bytes bmp = {'B', 'M'};
    auto put32 = [&](DWORD v) {
        for (int i = 0; i < 4; ++i) bmp.push_back(BYTE(v >> (8 * i)));
    };
    auto put16 = [&](WORD v) {
        bmp.push_back(BYTE(v));
        bmp.push_back(BYTE(v >> 8));
    };
    put32(54 + 24);
    put32(0);
    put32(54);
    put32(40);
    put32(4);
    put32(2);
    put16(1);
    put16(24);
    put32(0);
    put32(24);
    put32(0);
    put32(0);
    put32(0);
    put32(0);
    for (int i = 0; i < 8; ++i) {
        bmp.push_back(0x30); // blue
        bmp.push_back(0x20); // green
        bmp.push_back(0x10); // red
    }
    members["Message icon-question.bmp"] = bmp;
    members["chime.wav"] = Text("not a wave");
    members["readme.txt"] = Text("hello");
    Skin skin;
    OpenMembers(skin, members);
    EXPECT_EQ(nullptr, skin.GetControlGraphics(string("text"), 11, string()));
    SKINCONTROLGRAPHICS* icon =
        skin.GetControlGraphics(string("icon-question"), SkinGrid(1, 1), string("Message"));
    ASSERT_NE(nullptr, icon);
    EXPECT_EQ(4, icon->cellWidth);
    EXPECT_EQ(2, icon->cellHeight);
    EXPECT_EQ(RGB(0x10, 0x20, 0x30), icon->picture->GetPixelColor(3, 1) & 0xFFFFFF);
    ASSERT_NE(nullptr, skin.FindFile(string("CHIME.WAV")));
    ASSERT_NE(nullptr, skin.FindFile(string("chime.wav"))->sound);
    EXPECT_FALSE(skin.FindFile(string("chime.wav"))->sound->HasData());
    EXPECT_STREQ("hello", skin.FindFile(string("readme.txt"))->text.Psz8());
}

TEST(Skin, FailuresLeaveTheSkinClosedAndNothingAllocated) {
    DWORD before = MemGetStats().liveBlocks;
    {
        Skin skin;
        Members members = DefaultMembers();
        members.erase("skin.txt");
        EXPECT_EQ("the index specified does not exist within the map",
                  Failure([&] { OpenMembers(skin, members); }));
        EXPECT_EQ(0u, skin.GetFileCount());
        Bytes junk = Text("not a zip at all");
        EXPECT_EQ("the file supplied is not a .ZIP file",
                  Failure([&] { skin.OpenMemory(junk.data(), DWORD(junk.size())); }));
        EXPECT_EQ("the .ZIP file specified does not exist",
                  Failure([&] { skin.OpenFile("no such skin.zip"); }));
        EXPECT_EQ("the .ZIP file resource specified does not exist",
                  Failure([&] { skin.OpenResource(nullptr, MAKEINTRESOURCE(801), "ZIP"); }));
        // An unreadable picture opens as no picture, and a control needing it reports it missing.
        members = DefaultMembers();
        members["pbutton.psp"] = Text("~BK\0 damaged");
        OpenMembers(skin, members);
        EXPECT_EQ(nullptr, skin.FindFile(string("pbutton.psp"))->picture);
        EXPECT_EQ("the skin Vexlin Night is missing the  pbutton image",
                  Failure([&] { skin.GetControlGraphics(string("pbutton"), 7, string()); }));
        skin.GetControlGraphics(string("rbutton"), 8, string());
    }
    EXPECT_EQ(before, MemGetStats().liveBlocks);
}

TEST(Skin, OpensFromTheZipResource) {
    Skin skin;
    skin.OpenResource(GetModuleHandle(nullptr), MAKEINTRESOURCE(800), "ZIP");
    EXPECT_EQ(20u, skin.GetFileCount());
    EXPECT_NE(nullptr, skin.GetControlGraphics(string("listitem"), 8, string()));
}

} // namespace
