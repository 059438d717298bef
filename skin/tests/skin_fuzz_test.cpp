// Hostile skins: bounded fuzz of the skin archive and of "skin.txt". Opening either succeeds or throws one
// of the reader's listed texts; an opened skin answers every style and picture question and makes a
// message box without a crash, and nothing is left allocated.
#include "skin.h"

#include "cea_graphic.h"
#include "deflate.h"
#include "skin_test_support.h"
#include "skincontrol.h"
#include "skinmessage.h"
#include "skinwindow.h"
#include "zip_file.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>

using namespace skintest;

namespace {

bool Listed(const std::string& message) {
    static const std::set<std::string> texts = {kZipNotAZip,
                                                kZipEntryBeyondData,
                                                kInflateReadPastEnd,
                                                kInflateInvalidCode,
                                                kInflateInvalidLookback,
                                                kInflateBadContent,
                                                "the index specified does not exist within the map"};
    if (texts.count(message)) return true;
    // "the entry %s in the .ZIP file uses an unsupported compression method"
    const std::string tail = " in the .ZIP file uses an unsupported compression method";
    return message.rfind("the entry ", 0) == 0 && message.size() > tail.size() &&
           message.compare(message.size() - tail.size(), tail.size(), tail) == 0;
}

bool MissingPictureText(const std::string& message) {
    return message.rfind("the skin ", 0) == 0 && message.find(" is missing the ") != std::string::npos &&
           message.size() > 6 && message.compare(message.size() - 6, 6, " image") == 0;
}

// Asks an opened skin everything the windows ask.
void Exercise(Skin& skin, int round) {
    SKINWINDOWSTYLE window;
    skin.GetWindowStyle(&window, nullptr, string("Message"));
    SKINTEXTSTYLE text;
    for (DWORD code = 0; code < 18; ++code) skin.GetTextStyle(&text, code, nullptr, string());
    static const char* const types[] = {"frame",   "frame-c", "frame-lr", "frame-tb", "frame-x", "frame-min",
                                        "pbutton", "rbutton", "cbutton",  "pbar",     "text",    "vscroll",
                                        "hscroll", "edit",    "cursor",   "list",     "listitem"};
    for (const char* type : types)
        for (DWORD code : std::initializer_list<DWORD>{0u, 7u, 8u, 12u, 17u, SkinGrid(7, 3), SkinGrid(0, 0),
                                                       SkinGrid(0x7FFF, 0xFFFF)}) {
            try {
                skin.GetControlGraphics(string(type), code, string());
            } catch (const cetl::exception& e) {
                std::string m = e.message().Psz8();
                ASSERT_TRUE(MissingPictureText(m)) << m;
            }
        }
    if (round % 10 != 0) return;
    try {
        SkinWindow* box =
            CreateSkinMessage(&skin, round % 20 ? 0x40 : 3, string("c"), string("<b>Fuzz</b> text"), nullptr);
        if (box) {
            Graphic* picture = box->Render();
            if (picture) MEMDELETE(picture);
            box->Destroy();
        }
    } catch (const cetl::exception& e) {
        std::string m = e.message().Psz8();
        ASSERT_TRUE(MissingPictureText(m)) << m;
    }
}

TEST(SkinFuzz, DamagedArchivesOpenOrThrowAListedText) {
    Bytes original = ReadBytes(AssetPath("skin-800.zip"));
    ASSERT_GT(original.size(), 1000u);
    std::mt19937 random(20261207);
    {
        // The engine's and the languages' process-wide records are made once, on first use.
        Skin warm;
        warm.OpenMemory(original.data(), DWORD(original.size()));
        Exercise(warm, 0);
    }
    DWORD before = MemGetStats().liveBlocks;
    int opened = 0, refused = 0;
    for (int round = 0; round < 300; ++round) {
        Bytes bytes = original;
        switch (round % 4) {
        case 0: // a few bytes changed anywhere
            for (int i = 0, n = 1 + int(random() % 8); i < n; ++i)
                bytes[random() % bytes.size()] = BYTE(random());
            break;
        case 1: // cut short
            bytes.resize(random() % bytes.size());
            break;
        case 2: // a header field of some member changed (sizes, method, name length)
            for (size_t at = 0; at + 30 < bytes.size(); ++at)
                if (bytes[at] == 'P' && bytes[at + 1] == 'K' && bytes[at + 2] == 3 && bytes[at + 3] == 4 &&
                    random() % 6 == 0) {
                    static const int fields[] = {8, 18, 19, 22, 23, 25, 26, 28};
                    bytes[at + fields[random() % 8]] = BYTE(random());
                    break;
                }
            break;
        default: // a run of bytes inside a member's data overwritten
        {
            size_t at = random() % bytes.size(), n = 1 + random() % 64;
            for (size_t i = at; i < at + n && i < bytes.size(); ++i) bytes[i] = BYTE(random());
        }
        }
        Skin skin;
        try {
            skin.OpenMemory(bytes.data(), DWORD(bytes.size()));
            ++opened;
        } catch (const cetl::exception& e) {
            std::string m = e.message().Psz8();
            ASSERT_TRUE(Listed(m)) << "round " << round << ": " << m;
            EXPECT_EQ(0u, skin.GetFileCount());
            ++refused;
            continue;
        }
        Exercise(skin, round);
        if (HasFatalFailure()) return;
    }
    EXPECT_GT(opened, 0);
    EXPECT_GT(refused, 0);
    EXPECT_EQ(before, MemGetStats().liveBlocks);
}

TEST(SkinFuzz, HostileKeyFilesAlwaysOpen) {
    Members members = DefaultMembers();
    std::mt19937 random(7);
    static const char* const keys[] = {"frame border",
                                       "frame xborder",
                                       "frame lborder",
                                       "frame tborder",
                                       "drag by background",
                                       "titlebar height",
                                       "background layout",
                                       "background color",
                                       "frames per second",
                                       "proportional scrollbars",
                                       "font",
                                       "text color",
                                       "pbutton text lborder",
                                       "pbutton text border",
                                       "edit text layout",
                                       "cbutton image xadjust",
                                       "rbutton image layout",
                                       "transparent color",
                                       "Message frame border",
                                       "skin",
                                       "list font",
                                       "window size xminimum",
                                       "window size xmaximum"};
    static const char* const values[] = {"",
                                         "0",
                                         "-1",
                                         "20",
                                         "99999999999",
                                         "-2147483648",
                                         "#0000FF",
                                         "#GGGGGG",
                                         "#12",
                                         "stretch",
                                         "CENTER",
                                         "right",
                                         "Arial,-14,BIU",
                                         ",,,,",
                                         "default",
                                         "Wingdings,9999",
                                         "=",
                                         "# not a comment",
                                         "\t \t",
                                         "1e9"};
    DWORD before = MemGetStats().liveBlocks;
    for (int round = 0; round < 60; ++round) {
        std::string text;
        for (int line = 0, n = int(random() % 60); line < n; ++line) {
            switch (random() % 5) {
            case 0: // raw bytes, zeros and line ends included
                for (int i = 0, m = int(random() % 40); i < m; ++i) text += char(random());
                break;
            case 1: // a very long line
                text += std::string(random() % 20000, char('a' + random() % 26)) + " = " +
                        std::string(random() % 5000, '9');
                break;
            default:
                text += std::string(keys[random() % (sizeof keys / sizeof *keys)]) +
                        (random() % 2 ? " = " : "=") + values[random() % (sizeof values / sizeof *values)];
            }
            text += random() % 3 ? "\n" : "\r\n";
        }
        members["skin.txt"] = Text(text);
        Skin skin;
        OpenMembers(skin, members); // a key file of any content opens
        ASSERT_EQ(20u, skin.GetFileCount());
        Exercise(skin, round);
        if (HasFatalFailure()) return;
    }
    EXPECT_EQ(before, MemGetStats().liveBlocks);
}

} // namespace
