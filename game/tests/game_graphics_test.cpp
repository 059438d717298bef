// The graphics set loaded from this program's own GRAPHIC resources: one
// shared palette, the tiles, both language parts and their label widths, and
// clean failure (nothing leaked) for a module that lacks any one picture.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "cea_anim_window.h"
#include "cea_graphic.h"
#include "cea_palette_group.h"
#include "cea_sound.h"
#include "cea_wave.h"
#include "game_graphics.h"
#include "game_resources.h"
#include "game_sounds.h"
#include "mem_manager.h"
#include "tl_language.h"

namespace {

const COLORREF kRed = RGB(255, 0, 0);

std::vector<BYTE> OwnResource(UINT id) {
    HMODULE self = GetModuleHandle(nullptr);
    HRSRC found = FindResource(self, MAKEINTRESOURCE(id), TEXT("GRAPHIC"));
    if (!found) return {};
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(self, found)));
    return std::vector<BYTE>(data, data + SizeofResource(self, found));
}

// A resource-only copy of this program holding its pictures, one of them left
// out (skip) or replaced by bytes that are no picture (damage).
class PictureModule {
public:
    PictureModule(UINT skip, UINT damage) {
        WCHAR folder[MAX_PATH], self[MAX_PATH];
        GetTempPathW(MAX_PATH, folder);
        GetTempFileNameW(folder, L"vgr", 0, path_);
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        if (!CopyFileW(self, path_, FALSE)) return;
        HANDLE update = BeginUpdateResourceW(path_, TRUE);
        if (!update) return;
        const BYTE junk[64] = {'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e'};
        for (UINT id = 700; id <= 732; id++) {
            if (id == skip) continue;
            std::vector<BYTE> data = OwnResource(id);
            if (id == damage) data.assign(junk, junk + sizeof junk);
            UpdateResourceW(update, L"GRAPHIC", MAKEINTRESOURCEW(id),
                            MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), data.data(),
                            static_cast<DWORD>(data.size()));
        }
        if (!EndUpdateResourceW(update, FALSE)) return;
        module_ = LoadLibraryExW(path_, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    ~PictureModule() {
        if (module_) FreeLibrary(module_);
        DeleteFileW(path_);
    }
    HMODULE module() const { return module_; }

private:
    WCHAR path_[MAX_PATH] = {0};
    HMODULE module_ = nullptr;
};

// Visible width as the screens define it, measured on the picture as stored.
int ReferenceLabelWidth(UINT id, int label) {
    std::vector<BYTE> data = OwnResource(id);
    Graphic* whole = MEMNEW(Graphic, (nullptr, data.data(), static_cast<DWORD>(data.size()), kRed));
    int w = whole->GetWidth() / 2, h = whole->GetHeight() / 11;
    int y = label * h + h / 2, first = -1, last = -1;
    for (int x = 0; x < w; x++)
        if (whole->GetPixelColor(x, y) != kRed) {
            if (first < 0) first = x;
            last = x;
        }
    MEMDELETE(whole);
    if (first < 0) return 0;
    return std::min(w, last + 20) - std::max(first - 20, 0);
}

TEST(GraphicsSet, AllPicturesShareOnePaletteWithRoomToSpare) {
    AnimInit(GetModuleHandle(nullptr), 0);
    DWORD outOfColours = PaletteGroup::GetOutOfColorsCount();
    GraphicsSet set;
    ASSERT_TRUE(set.load(GetModuleHandle(nullptr)));
    EXPECT_EQ(outOfColours, PaletteGroup::GetOutOfColorsCount()) << "every colour found a palette index";
    std::vector<Graphic*> pictures;
    for (int i = 0; i < kNeutralPictureCount; i++) pictures.push_back(set.picture(NeutralPicture(i)));
    for (LANGID language : {kLangEnglish, kLangEsperanto})
        for (int i = 0; i < kLanguagePictureCount; i++)
            pictures.push_back(set.part(language).pictures[i].picture);
    ASSERT_EQ(33u, pictures.size());
    std::set<COLORREF> used;
    for (Graphic* g : pictures) {
        ASSERT_NE(nullptr, g);
        ASSERT_EQ(8, g->GetDepth());
        EXPECT_EQ(set.paletteGroup(), g->GetPaletteGroup());
        EXPECT_EQ(0, memcmp(pictures[0]->GetPalette(), g->GetPalette(), 256 * sizeof(RGBQUAD)));
        for (int y = 0; y < g->GetHeight(); y += 3)
            for (int x = 0; x < g->GetWidth(); x += 3) used.insert(g->GetPixelColor(x, y));
    }
    EXPECT_LE(used.size(), 254u);
    // Keyed pictures keep pure red after the merge; opaque ones never show it.
    EXPECT_EQ(kRed, set.picture(kPicHeadBar)->GetTransparency());
    EXPECT_FALSE(set.picture(kPicPlain)->HasTransparency());
}

TEST(GraphicsSet, TilesAndLanguageParts) {
    GraphicsSet set;
    ASSERT_TRUE(set.load(GetModuleHandle(nullptr)));
    Graphic* last = set.tile(kPicPlain, 35);
    ASSERT_NE(nullptr, last);
    EXPECT_EQ(24, last->GetWidth());
    EXPECT_EQ(24, last->GetHeight());
    RECT r = last->GetRectInParent();
    EXPECT_EQ(72, r.left) << "tile 35 is column 3 of row 8";
    EXPECT_EQ(192, r.top);
    EXPECT_EQ(nullptr, set.tile(kPicPlain, 36));
    EXPECT_EQ(set.picture(kPicBackground), set.tile(kPicBackground, 0));
    RECT strip2 = set.tile(kPicTitleStrips, 1)->GetRectInParent();
    EXPECT_EQ(46, strip2.top);
    EXPECT_EQ(240, strip2.right);
    RECT month = set.tile(kPicMonths, 23)->GetRectInParent();
    EXPECT_EQ(27, month.left) << "December highlighted: column 1 of row 11";
    EXPECT_EQ(176, month.top);

    const LanguagePart& en = set.part(kLangEnglish);
    const LanguagePart& eo = set.part(kLangEsperanto);
    EXPECT_NE(&en, &eo);
    EXPECT_EQ(&eo, &set.part(0x0407)) << "every other language id reads the Esperanto part";
    Graphic* rule = en.scoresRule;
    ASSERT_NE(nullptr, rule);
    EXPECT_EQ(240, rule->GetWidth());
    EXPECT_EQ(1, rule->GetHeight());
    EXPECT_EQ(35, rule->GetRectInParent().top);
    EXPECT_EQ(en.pictures[kPicScoresTitle].picture, rule->GetParent());
    Graphic* label = GraphicsSet::tile(eo, kPicButtonLabels, 21);
    ASSERT_NE(nullptr, label);
    EXPECT_EQ(172, label->GetWidth());
    EXPECT_EQ(34, label->GetHeight());

    int differing = 0;
    for (int k = 0; k < kLabelCount; k++) {
        SCOPED_TRACE(k);
        EXPECT_EQ(ReferenceLabelWidth(715, k), en.labelWidths[k]);
        EXPECT_EQ(ReferenceLabelWidth(716, k), eo.labelWidths[k]);
        if (k != 4) {
            EXPECT_GT(en.labelWidths[k], 40) << "a used label has text";
        }
        EXPECT_LE(en.labelWidths[k], 172);
        differing += en.labelWidths[k] != eo.labelWidths[k];
    }
    EXPECT_GT(differing, 3) << "the two languages' labels are different texts";
    set.free();
    EXPECT_FALSE(set.loaded());
    set.free(); // twice is harmless
}

TEST(GraphicsSet, AnyMissingOrDamagedPictureFailsAndFreesEverything) {
    MemStats before = MemGetStats();
    for (UINT id = 700; id <= 732; id++) {
        SCOPED_TRACE(id);
        PictureModule module(id, 0);
        ASSERT_NE(nullptr, module.module());
        GraphicsSet set;
        EXPECT_FALSE(set.load(module.module()));
        EXPECT_FALSE(set.loaded());
        EXPECT_EQ(nullptr, set.paletteGroup());
        EXPECT_EQ(before.liveBlocks, MemGetStats().liveBlocks);
    }
    for (UINT id : {710u, 723u, 731u}) {
        SCOPED_TRACE(id);
        PictureModule damaged(0, id);
        GraphicsSet set;
        EXPECT_FALSE(set.load(damaged.module()));
        EXPECT_EQ(before.liveBlocks, MemGetStats().liveBlocks);
    }
    PictureModule whole(0, 0);
    GraphicsSet set;
    EXPECT_TRUE(set.load(whole.module())) << "the copy with every picture loads";
    set.free();
    EXPECT_EQ(before.liveBlocks, MemGetStats().liveBlocks);
}

TEST(GameResources, EverySoundAndTheIconAreCarried) {
    struct : SoundSettings {
        bool soundEffectsOn() const override { return false; }
        bool musicOn() const override { return false; }
        bool gameRunning() const override { return false; }
        HWND musicWindow() const override { return nullptr; }
    } silent;
    SoundSet sounds(&silent);
    sounds.load(GetModuleHandle(nullptr));
    for (int i = 0; i < kGameSoundCount; i++) {
        SCOPED_TRACE(500 + i);
        HRSRC found = FindResource(nullptr, MAKEINTRESOURCE(500 + i), TEXT("WAVE"));
        ASSERT_NE(nullptr, found);
        EXPECT_EQ(0, memcmp("RIFF", LockResource(LoadResource(nullptr, found)), 4));
        Sound* sound = sounds.sound(GameSound(i));
        ASSERT_TRUE(sound->HasData());
        // What the audio compression manager makes of the stored sound, one step at a time, is what the
        // set holds, byte for byte.
        WaveView view;
        ASSERT_TRUE(
            WaveParse(LockResource(LoadResource(nullptr, found)), SizeofResource(nullptr, found), &view));
        WAVEFORMATEX format = view.format;
        std::vector<BYTE> bytes(view.data, view.data + view.dataSize);
        const DWORD rates[2] = {22050, 22050};
        const WORD bits[2] = {format.wBitsPerSample, 8};
        for (int step = 0; step < 2; step++) {
            if (format.nSamplesPerSec == rates[step] && format.wBitsPerSample == bits[step]) continue;
            WAVEFORMATEX next;
            BYTE* out = nullptr;
            DWORD size = 0;
            ASSERT_TRUE(WaveConvertStepWithManager(&format, bytes.data(), DWORD(bytes.size()), rates[step],
                                                   bits[step], format.nChannels, &next, &out, &size));
            bytes.assign(out, out + size);
            MEMFREE(out);
            format = next;
        }
        EXPECT_EQ(0, memcmp(&format, &sound->Format(), sizeof format));
        ASSERT_EQ(bytes.size(), sound->Size());
        EXPECT_EQ(0, memcmp(bytes.data(), sound->Data(), bytes.size()));
    }
    sounds.free();
    EXPECT_NE(nullptr, LoadIcon(GetModuleHandle(nullptr), MAKEINTRESOURCE(IDI_VEXLIN)));
}

} // namespace
