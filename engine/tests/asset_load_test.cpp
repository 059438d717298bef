// Generated assets through the product's own readers: every game picture in both languages, the default
// skin's pictures, the installer's frame and button pictures, and the packed logo, each loaded as the
// programs load them and checked for size, depth and transparency.
#include "cea_graphic.h"
#include "mem_manager.h"
#include "zz_compress.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#ifndef VEXLIN_ASSETS
#error "VEXLIN_ASSETS names the host build's asset folder (set by engine/CMakeLists.txt)"
#endif

namespace {

using Bytes = std::vector<BYTE>;

const COLORREF kRedKey = RGB(255, 0, 0);
const COLORREF kBlueKey = RGB(0, 0, 255);

// The host build's folder as a Windows path: "/x/y" becomes "Z:\x\y" (the emulator's root drive).
std::string AssetPath(const std::string& relative) {
    std::string path = std::string(VEXLIN_ASSETS) + "/" + relative;
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

Bytes ReadFileBytes(const std::string& relative) {
    const std::string path = AssetPath(relative);
    HANDLE file =
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        ADD_FAILURE() << "cannot open " << path;
        return {};
    }
    Bytes data(GetFileSize(file, nullptr));
    DWORD read = 0;
    const BOOL ok = data.empty() || ReadFile(file, data.data(), DWORD(data.size()), &read, nullptr);
    CloseHandle(file);
    EXPECT_TRUE(ok && read == data.size()) << path;
    return data;
}

struct Expected {
    int id, width, height;
    bool keyed, perLanguage;
};

// The game's pictures as the graphics set cuts them (English id; the Esperanto twin is id + 1).
const Expected kGamePictures[] = {
    {700, 240, 294, false, false}, {701, 240, 92, false, false}, {702, 96, 216, false, false},
    {703, 96, 216, false, false},  {704, 96, 216, false, false}, {705, 96, 216, false, false},
    {706, 96, 96, false, false},   {707, 91, 42, false, false},  {708, 240, 53, true, false},
    {711, 130, 28, true, false},   {712, 54, 192, true, false},  {721, 160, 17, false, false},
    {722, 234, 4, false, false},   {723, 46, 250, true, false},  {732, 32, 36, true, false},
    {709, 480, 74, true, true},    {713, 240, 36, false, true},  {715, 344, 374, true, true},
    {717, 172, 264, true, true},   {719, 118, 50, false, true},  {724, 160, 25, true, true},
    {726, 185, 72, true, true},    {728, 240, 196, true, true},  {730, 91, 42, false, true},
};

// Counts the pixels of the picture showing the key colour.
int CountColour(Graphic& graphic, COLORREF colour) {
    int count = 0;
    for (int y = 0; y < graphic.GetHeight(); ++y)
        for (int x = 0; x < graphic.GetWidth(); ++x) count += graphic.GetPixelColor(x, y) == colour;
    return count;
}

void CheckPicture(const std::string& relative, int width, int height, int depth, COLORREF key, bool keyed) {
    SCOPED_TRACE(relative);
    const Bytes data = ReadFileBytes(relative);
    ASSERT_FALSE(data.empty());
    Graphic* graphic = MEMNEW(Graphic, (nullptr, data.data(), DWORD(data.size()), keyed ? key : kNoColor));
    ASSERT_TRUE(graphic->IsLoaded());
    EXPECT_EQ(graphic->GetWidth(), width);
    EXPECT_EQ(graphic->GetHeight(), height);
    EXPECT_EQ(graphic->GetDepth(), depth);
    const int keyPixels = CountColour(*graphic, key);
    if (keyed) {
        EXPECT_EQ(graphic->GetTransparency(), key);
        EXPECT_GT(keyPixels, 0) << "a shaped picture shows its key colour somewhere";
        EXPECT_LT(keyPixels, width * height);
    } else {
        EXPECT_FALSE(graphic->HasTransparency());
        EXPECT_EQ(keyPixels, 0) << "an opaque picture never shows the key colour";
    }
    MEMDELETE(graphic);
}

TEST(AssetLoad, EveryGamePictureInBothLanguages) {
    for (const Expected& e : kGamePictures)
        for (int k = 0; k < (e.perLanguage ? 2 : 1); ++k)
            CheckPicture("graphics/graphic-" + std::to_string(e.id + k) + ".psp", e.width, e.height, 8,
                         kRedKey, e.keyed);
}

TEST(AssetLoad, SkinPicturesAndInstallerGraphics) {
    struct Skin {
        const char* file;
        int width, height;
        bool keyed;
    } const pictures[] = {
        {"skin/frame-c.psp", 40, 40, true},       {"skin/frame-lr.psp", 40, 64, false},
        {"skin/frame-tb.psp", 64, 40, false},     {"skin/background.psp", 64, 64, false},
        {"skin/frame-x.psp", 20, 60, true},       {"skin/frame-min.psp", 20, 60, true},
        {"skin/pbutton.psp", 84, 120, true},      {"skin/rbutton.psp", 32, 64, true},
        {"skin/cbutton.psp", 32, 64, true},       {"skin/pbar.psp", 40, 18, true},
        {"skin/text.psp", 24, 24, true},          {"skin/vscroll.psp", 64, 64, true},
        {"skin/hscroll.psp", 64, 64, true},       {"skin/edit.psp", 24, 24, true},
        {"skin/cursor.psp", 2, 16, false},        {"skin/list.psp", 24, 39, true},
        {"skin/listitem.psp", 32, 72, true},      {"skin/icon-alert.psp", 32, 32, true},
        {"skin/icon-info.psp", 32, 32, true},     {"setup/graphic-501.psp", 480, 360, true},
        {"setup/graphic-502.psp", 96, 144, true}, {"setup/graphic-503.psp", 96, 144, true},
    };
    for (const Skin& s : pictures) CheckPicture(s.file, s.width, s.height, 24, kBlueKey, s.keyed);
}

TEST(AssetLoad, PackedLogoUnpacksToItsTwentyFramePicture) {
    const Bytes block = ReadFileBytes("logo/logo-5000.lzo");
    ASSERT_GT(block.size(), 4u);
    BYTE* picture = nullptr;
    DWORD size = 0;
    ASSERT_TRUE(ZZDecompress(&picture, &size, block.data(), DWORD(block.size())));
    EXPECT_EQ(size, DWORD(block[0] | block[1] << 8 | block[2] << 16 | block[3] << 24));
    Graphic* graphic = MEMNEW(Graphic, (nullptr, picture, size, kNoColor));
    ZZFree(picture);
    ASSERT_TRUE(graphic->IsLoaded());
    EXPECT_EQ(graphic->GetWidth(), 176);
    EXPECT_EQ(graphic->GetHeight(), 72 * 20);
    EXPECT_EQ(graphic->GetDepth(), 8);
    EXPECT_FALSE(graphic->HasTransparency());
    EXPECT_EQ(graphic->GetPixelColor(0, 0), RGB(0, 0, 0)) << "the first frame starts black";
    MEMDELETE(graphic);

    // A damaged block is refused, not read past its end.
    Bytes damaged(block.begin(), block.begin() + block.size() / 2);
    EXPECT_FALSE(ZZDecompress(&picture, &size, damaged.data(), DWORD(damaged.size())));
    EXPECT_EQ(picture, nullptr);
}

} // namespace
