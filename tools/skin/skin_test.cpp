// Installer pictures: the default skin archive as the programs will read it (members, methods, flags,
// key file), every picture against its table row and its tiling, the checker's own faults, the keying
// of full-colour pictures, and the icon writer read back byte by byte.
#include "ico_writer.h"
#include "skin_art.h"
#include "skin_table.h"
#include "zip_test_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <map>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Trim(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t"), b = s.find_last_not_of(" \t");
    return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}

// The key file read the way the skin reader reads it: blanks skipped at the start of a line, "#" and
// "=" lines skipped, key up to the first "=", both sides trimmed of spaces and tabs, keys without case.
std::map<std::string, std::string> ReadKeyFile(const std::string& text, std::vector<std::string>* repeated) {
    std::map<std::string, std::string> keys;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        line.erase(0, std::min(line.find_first_not_of(" \t\r\n"), line.size()));
        if (line.empty() || line[0] == '#' || line[0] == '=') continue;
        const size_t eq = line.find('=');
        if (eq == std::string::npos) {
            if (repeated) repeated->push_back("no '=' in: " + line);
            continue;
        }
        const std::string key = Lower(Trim(line.substr(0, eq)));
        if (keys.count(key) && repeated) repeated->push_back(key);
        keys[key] = Trim(line.substr(eq + 1));
    }
    return keys;
}

DecodedPicture Decode(const Bytes& psp) {
    DecodedPicture picture;
    std::string error;
    EXPECT_TRUE(ReadPspBytes(psp, picture, error)) << error;
    return picture;
}

DecodedPicture DrawAndDecode(const SkinPictureSpec& entry) {
    Bytes bytes;
    std::string error;
    EXPECT_TRUE(WritePsp(ToKeyedPsp(DrawSkinPicture(entry), entry.name, Color{6, 8, 18}),
                         PspCompression::RunLength, bytes, &error))
        << error;
    return Decode(bytes);
}

Rgb8 At(const DecodedPicture& p, int x, int y) { return p.rgb[size_t(y) * p.width + x]; }

// True when every line of the cell at (x0, y0) is even along the tiling direction, so repeating the cell
// shows no seam.
bool EvenAlong(const DecodedPicture& p, int x0, int y0, int w, int h, bool horizontal) {
    for (int a = 0; a < (horizontal ? h : w); ++a)
        for (int b = 1; b < (horizontal ? w : h); ++b) {
            const Rgb8 first = horizontal ? At(p, x0, y0 + a) : At(p, x0 + a, y0);
            const Rgb8 here = horizontal ? At(p, x0 + b, y0 + a) : At(p, x0 + a, y0 + b);
            if (!(first == here)) return false;
        }
    return true;
}

TEST(SkinArchive, HoldsTheKeyFileAndNineteenPicturesWithTheirMethods) {
    const Bytes archive = ReadAll(VEXLIN_ASSETS "/skin/skin-800.zip");
    ASSERT_FALSE(archive.empty());
    const ZipTestArchive zip = ParseZipForTest(archive);
    ASSERT_EQ(zip.members.size(), 20u);
    EXPECT_EQ(zip.members[0].name, "skin.txt");
    EXPECT_EQ(ZipTestContent(zip.members[0]), ReadAll(VEXLIN_SKIN_TXT));
    int deflated = 0;
    for (size_t i = 0; i < zip.members.size(); ++i) {
        const ZipTestMember& m = zip.members[i];
        SCOPED_TRACE(m.name);
        deflated += m.method == 8;
        EXPECT_EQ(m.method, SkinMemberDeflated(m.name) ? 8 : 0);
        EXPECT_EQ(m.flags, SkinMemberDeflated(m.name) ? 0x0002 : 0);
        const Bytes content = ZipTestContent(m);
        EXPECT_EQ(ZipTestCrc(content), m.crc);
        if (i == 0) continue;
        const SkinPictureSpec& entry = SkinPictures().at(i - 1);
        EXPECT_EQ(m.name, SkinMemberName(entry));
        EXPECT_EQ(content, ReadAll(VEXLIN_ASSETS "/skin/" + m.name)) << "the loose copy matches the member";
        const DecodedPicture picture = Decode(content);
        for (const std::string& fault : CheckSkinPicture(entry, picture)) ADD_FAILURE() << fault;
    }
    EXPECT_EQ(deflated, 2);
    const auto list = std::find_if(zip.members.begin(), zip.members.end(),
                                   [](const ZipTestMember& m) { return m.name == "list.psp"; });
    ASSERT_NE(list, zip.members.end());
    EXPECT_EQ(list->size, 3108u);
    EXPECT_LT(list->packedSize, list->size);
}

TEST(SkinKeyFile, SetsTheDefaultSkinsValuesInTheReadersSyntax) {
    const Bytes bytes = ReadAll(VEXLIN_SKIN_TXT);
    std::vector<std::string> problems;
    const auto keys = ReadKeyFile(std::string(bytes.begin(), bytes.end()), &problems);
    EXPECT_TRUE(problems.empty()) << problems.front();
    const std::map<std::string, std::string> expected = {
        {"transparent color", "#0000FF"}, {"background layout", "tile"},  {"font", "Arial,-14,I"},
        {"frame border", "20"},           {"drag by background", "1"},    {"frames per second", "10"},
        {"pbutton text lborder", "26"},   {"edit text layout", "center"},
    };
    for (const auto& [key, value] : expected) {
        ASSERT_TRUE(keys.count(key)) << key;
        EXPECT_EQ(keys.at(key), value) << key;
    }
    for (const char* key : {"skin", "author", "website", "email", "titlebar text color", "titlebar font",
                            "list selected text color", "background color"})
        EXPECT_FALSE(keys.count(key) ? keys.at(key).empty() : true) << key;
    // Every colour is "#" and six hexadecimal digits.
    for (const auto& [key, value] : keys)
        if (key.size() >= 5 && key.compare(key.size() - 5, 5, "color") == 0) {
            EXPECT_EQ(value.size(), 7u) << key;
            EXPECT_EQ(value.find_first_not_of("#0123456789ABCDEFabcdef"), std::string::npos) << key;
        }
}

TEST(SkinPictures, EveryPictureMatchesItsRowAndTilesWithoutSeams) {
    std::map<std::string, DecodedPicture> drawn;
    for (const auto* table : {&SkinPictures(), &SetupPictures()})
        for (const SkinPictureSpec& entry : *table) {
            drawn[entry.name] = DrawAndDecode(entry);
            for (const std::string& fault : CheckSkinPicture(entry, drawn[entry.name]))
                ADD_FAILURE() << fault;
        }
    // Edge pieces repeat along the window's sides; the middle of every push button across its width.
    EXPECT_TRUE(EvenAlong(drawn["frame-lr"], 0, 0, 40, 64, false));
    EXPECT_TRUE(EvenAlong(drawn["frame-tb"], 0, 0, 64, 40, true));
    for (const char* button : {"pbutton", "install", "rescan"}) {
        const DecodedPicture& p = drawn[button];
        const int w = p.width / 3, h = p.height / 4;
        for (int row = 0; row < 4; ++row) EXPECT_TRUE(EvenAlong(p, w, row * h, w, h, true)) << button << row;
    }
    EXPECT_TRUE(EvenAlong(drawn["pbar"], 10, 0, 10, 18, true)) << "empty middle of the progress bar";
    for (int row = 0; row < 4; ++row) {
        EXPECT_TRUE(EvenAlong(drawn["vscroll"], 16, row * 16, 16, 16, false));
        EXPECT_TRUE(EvenAlong(drawn["hscroll"], 16, row * 16, 16, 16, true));
    }
    // The middle cells of the nine-cell pictures are even both ways.
    for (const char* panel : {"text", "edit", "list"}) {
        const DecodedPicture& p = drawn[panel];
        const int w = p.width / 3, h = p.height / 3;
        EXPECT_TRUE(EvenAlong(p, w, h, w, h, true) && EvenAlong(p, w, h, w, h, false)) << panel;
    }
    // The background tile wraps: its opposite edges are alike enough to meet.
    const DecodedPicture& ground = drawn["background"];
    int differing = 0;
    for (int k = 0; k < 64; ++k)
        differing += !(At(ground, 0, k) == At(ground, 63, k)) + !(At(ground, k, 0) == At(ground, k, 63));
    EXPECT_LT(differing, 64);
}

TEST(SkinPictures, InstallerFrameIsShapedAroundItsAreas) {
    using L = SetupFrameLayout;
    const DecodedPicture frame = DrawAndDecode(SetupPictures().at(0));
    ASSERT_EQ(frame.width, L::kWidth);
    for (auto [x, y] : {std::pair{0, 0}, {0, L::kHeight - 1}, {L::kWidth - 1, L::kHeight - 1}})
        EXPECT_TRUE(At(frame, x, y) == kKeyBlue) << x << "," << y;
    // The close box sits on the top-right corner, so that corner is part of the window.
    for (int y = 1; y < 20; ++y)
        for (int x = L::kWidth - 20; x < L::kWidth - 1; ++x)
            ASSERT_FALSE(At(frame, x, y) == kKeyBlue) << x << "," << y;
    for (int y = L::kRing; y < L::kHeight - L::kRing; ++y)
        for (int x = L::kRing; x < L::kWidth - L::kRing; ++x)
            ASSERT_FALSE(At(frame, x, y) == kKeyBlue) << x << "," << y;
}

TEST(SkinChecker, ReportsEachKindOfFault) {
    const SkinPictureSpec& ground = *FindSkinPicture("background");
    DecodedPicture good = DrawAndDecode(ground);
    EXPECT_TRUE(CheckSkinPicture(ground, good).empty());
    auto has = [](const std::vector<std::string>& faults, const std::string& part) {
        for (const std::string& f : faults)
            if (f.find(part) != std::string::npos) return true;
        return false;
    };
    DecodedPicture stray = good;
    stray.rgb[100] = kKeyBlue;
    EXPECT_TRUE(has(CheckSkinPicture(ground, stray), "opaque but has 1 pure blue"));
    DecodedPicture masked = good;
    masked.mask.assign(masked.rgb.size(), 255);
    EXPECT_TRUE(has(CheckSkinPicture(ground, masked), "mask"));
    DecodedPicture paletted = good;
    paletted.bits = 8;
    EXPECT_TRUE(has(CheckSkinPicture(ground, paletted), "24-bit"));

    const SkinPictureSpec& radio = *FindSkinPicture("rbutton");
    DecodedPicture filled = DrawAndDecode(radio);
    for (int y = 16; y < 32; ++y)
        for (int x = 0; x < 16; ++x) filled.rgb[size_t(y) * 32 + x] = Rgb8{10, 14, 30};
    EXPECT_TRUE(has(CheckSkinPicture(radio, filled), "cell 2 has no transparent blue"));
    DecodedPicture empty = DrawAndDecode(radio);
    for (int y = 0; y < 16; ++y)
        for (int x = 16; x < 32; ++x) empty.rgb[size_t(y) * 32 + x] = kKeyBlue;
    EXPECT_TRUE(has(CheckSkinPicture(radio, empty), "cell 1 is empty"));
    const SkinPictureSpec& install = SetupPictures().at(1);
    DecodedPicture small = DrawAndDecode(install);
    small.width = 95;
    EXPECT_TRUE(has(CheckSkinPicture(install, small), "should be 96 x 144"));
}

TEST(SkinPictures, KeyingTurnsCoverageIntoBlueAndKeepsOpaqueBlueVisible) {
    Canvas c(4, 1, Color{0, 0, 0}, 0.0f);
    c.Set(0, 0, Color{0, 0, 255}, 1.0f);    // drawn pure blue: must stay visible
    c.Set(1, 0, Color{200, 100, 50}, 0.4f); // mostly uncovered: transparent
    c.Set(2, 0, Color{200, 100, 50}, 0.6f); // mostly covered: blended over the edge colour
    const PspImage image = ToKeyedPsp(c, "t", Color{0, 0, 0});
    ASSERT_EQ(image.bits, 24);
    const Bytes& px = image.layers.at(0).pixels;
    ASSERT_EQ(px.size(), 12u);
    EXPECT_EQ(Bytes(px.begin(), px.begin() + 3), (Bytes{0, 0, 254}));
    EXPECT_EQ(Bytes(px.begin() + 3, px.begin() + 6), (Bytes{0, 0, 255}));
    EXPECT_EQ(Bytes(px.begin() + 6, px.begin() + 9), (Bytes{120, 60, 30}));
    EXPECT_EQ(Bytes(px.begin() + 9, px.end()), (Bytes{0, 0, 255}));
}

uint32_t U16(const Bytes& b, size_t p) { return b.at(p) | b.at(p + 1) << 8; }
uint32_t U32(const Bytes& b, size_t p) { return U16(b, p) | U16(b, p + 2) << 16; }

TEST(IconWriter, WritesEveryImageWithItsHeaderPixelsAndMask) {
    std::vector<IconImage> images;
    for (int size : {16, 33}) {
        IconImage image;
        image.size = size;
        for (int i = 0; i < size * size; ++i)
            image.rgba.insert(image.rgba.end(),
                              {uint8_t(i), uint8_t(i >> 3), uint8_t(size), uint8_t(i % 3 ? 255 : 0)});
        images.push_back(image);
    }
    Bytes ico;
    std::string error;
    ASSERT_TRUE(WriteIco(images, ico, &error)) << error;
    EXPECT_EQ(U16(ico, 0), 0u);
    EXPECT_EQ(U16(ico, 2), 1u);
    EXPECT_EQ(U16(ico, 4), 2u);
    size_t expectedOffset = 6 + 16 * 2;
    for (size_t k = 0; k < images.size(); ++k) {
        const IconImage& image = images[k];
        const size_t entry = 6 + 16 * k, n = size_t(image.size), stride = ((n + 31) / 32) * 4;
        EXPECT_EQ(ico.at(entry), n);
        EXPECT_EQ(ico.at(entry + 1), n);
        EXPECT_EQ(U16(ico, entry + 4), 1u);
        EXPECT_EQ(U16(ico, entry + 6), 32u);
        const size_t length = U32(ico, entry + 8), offset = U32(ico, entry + 12);
        EXPECT_EQ(length, 40 + n * n * 4 + stride * n);
        EXPECT_EQ(offset, expectedOffset);
        expectedOffset += length;
        EXPECT_EQ(U32(ico, offset), 40u);
        EXPECT_EQ(U32(ico, offset + 4), n);
        EXPECT_EQ(U32(ico, offset + 8), 2 * n);
        EXPECT_EQ(U16(ico, offset + 14), 32u);
        // Bottom row first, blue-green-red-alpha; the mask marks the clear pixels.
        for (size_t y = 0; y < n; ++y)
            for (size_t x = 0; x < n; ++x) {
                const uint8_t* src = &image.rgba[(y * n + x) * 4];
                const size_t at = offset + 40 + ((n - 1 - y) * n + x) * 4;
                ASSERT_EQ(Bytes(ico.begin() + at, ico.begin() + at + 4),
                          (Bytes{src[2], src[1], src[0], src[3]}));
                const size_t maskByte = offset + 40 + n * n * 4 + (n - 1 - y) * stride + x / 8;
                ASSERT_EQ((ico.at(maskByte) >> (7 - x % 8)) & 1, src[3] < 128 ? 1 : 0) << x << "," << y;
            }
    }
    EXPECT_EQ(ico.size(), expectedOffset);

    IconImage broken;
    broken.size = 8;
    broken.rgba.resize(10);
    EXPECT_FALSE(WriteIco({broken}, ico, &error));
    EXPECT_FALSE(WriteIco({}, ico, &error));
}

TEST(IconWriter, GeneratedIconsHoldThreeSizesWithClearAndSolidPixels) {
    for (const char* path : {VEXLIN_ASSETS "/setup/icon-500.ico", VEXLIN_ASSETS "/icons/vexlin.ico"}) {
        SCOPED_TRACE(path);
        const Bytes ico = ReadAll(path);
        ASSERT_GE(ico.size(), 6u + 48);
        ASSERT_EQ(U16(ico, 4), 3u);
        const size_t sizes[3] = {16, 32, 48};
        for (size_t k = 0; k < 3; ++k) {
            const size_t n = ico.at(6 + 16 * k), offset = U32(ico, 6 + 16 * k + 12);
            ASSERT_EQ(n, sizes[k]);
            ASSERT_LE(offset + 40 + n * n * 4, ico.size());
            size_t clear = 0, solid = 0;
            for (size_t i = 0; i < n * n; ++i) {
                const uint8_t alpha = ico.at(offset + 40 + i * 4 + 3);
                clear += alpha == 0;
                solid += alpha == 255;
            }
            EXPECT_GT(clear, 0u) << "the icon has a shape, not a square";
            EXPECT_GT(solid, n * n / 3) << "and a solid body";
        }
    }
}

} // namespace
