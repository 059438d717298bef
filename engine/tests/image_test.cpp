// Image loading: PSP files from the writer read back pixel for pixel and saved as BMP, masks, layers,
// selections, damaged files and a bounded fuzz loop over PSP and BMP data.
#include "cea_graphic.h"
#include "cea_psp.h"
#include "cea_sprite.h"
#include "guarded_bytes.h"
#include "mem_manager.h"
#include "psp_writer.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

PspImage MakeImage(int bits, uint32_t width, uint32_t height, unsigned seed) {
    std::mt19937 random(seed);
    PspImage image;
    image.width = width;
    image.height = height;
    image.bits = bits;
    if (bits == 8) {
        for (int i = 0; i < 256; ++i)
            image.palette.push_back({uint8_t(i * 7), uint8_t(255 - i), uint8_t(i * 3 + 1)});
        image.palette[255] = {255, 255, 255};
    }
    PspLayer layer;
    layer.pixels.resize(size_t(width) * height * (bits == 8 ? 1 : 3));
    // Runs and noise, so that run-length packing sees both repeats and literals.
    for (size_t i = 0; i < layer.pixels.size(); ++i)
        layer.pixels[i] = (i / 9) % 2 ? uint8_t(i / 9) : uint8_t(random());
    image.layers.push_back(layer);
    return image;
}

Bytes Write(const PspImage& image, PspCompression compression) {
    Bytes out;
    std::string error;
    EXPECT_TRUE(WritePsp(image, compression, out, &error)) << error;
    return out;
}

COLORREF ExpectedColor(const PspImage& image, const PspLayer& layer, uint32_t x, uint32_t y) {
    size_t i = size_t(y) * image.width + x;
    if (image.bits == 8) {
        const PspColor& c = image.palette[layer.pixels[i]];
        return RGB(c.red, c.green, c.blue);
    }
    return RGB(layer.pixels[3 * i], layer.pixels[3 * i + 1], layer.pixels[3 * i + 2]);
}

// Both builds' test programs run at once: each names its files by its process.
std::string TempPath(const char* name) {
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + std::to_string(GetCurrentProcessId()) + "_" + name;
}

Bytes SaveToBytes(Graphic& graphic) {
    std::string path = TempPath("vexlin_image_test.bmp");
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(graphic.Save(file));
    CloseHandle(file);
    file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    Bytes data(GetFileSize(file, nullptr));
    DWORD read = 0;
    ReadFile(file, data.data(), DWORD(data.size()), &read, nullptr);
    CloseHandle(file);
    DeleteFileA(path.c_str());
    return data;
}

Graphic* Load(const Bytes& data, COLORREF transparent = kNoColor, Sprite* sprite = nullptr) {
    return MEMNEW(Graphic, (sprite, data.data(), DWORD(data.size()), transparent));
}

// The file's palette entry 255 as stored, found through the palette block. The writer only stores white
// there, so a test that must see the reader force it rewrites the stored bytes.
void SetStoredEntry255(Bytes& file, PspColor colour) {
    for (size_t at = 36; at + 10 <= file.size();) {
        uint16_t id = uint16_t(file[at + 4] | file[at + 5] << 8);
        uint32_t length =
            uint32_t(file[at + 6] | file[at + 7] << 8 | file[at + 8] << 16 | file[at + 9] << 24);
        if (std::memcmp(&file[at], "~BK", 4) != 0) break;
        if (id == 2) {
            size_t chunk = at + 10;
            uint32_t chunkSize =
                uint32_t(file[chunk] | file[chunk + 1] << 8 | file[chunk + 2] << 16 | file[chunk + 3] << 24);
            size_t entry = chunk + chunkSize + 255 * 4;
            ASSERT_LE(entry + 4, at + 10 + length) << "the palette holds fewer than 256 entries";
            file[entry] = colour.blue;
            file[entry + 1] = colour.green;
            file[entry + 2] = colour.red;
            return;
        }
        at += 10 + length;
    }
    FAIL() << "no palette block";
}

TEST(PspReader, EveryDepthAndCompressionRoundTripsThroughSave) {
    for (int bits : {8, 24}) {
        PspImage image = MakeImage(bits, 37, 23, bits);
        if (bits == 8) image.layers[0].pixels[5] = 255; // some pixel shows the forced entry
        for (PspCompression compression :
             {PspCompression::None, PspCompression::RunLength, PspCompression::Deflate}) {
            SCOPED_TRACE(std::to_string(bits) + " bits, compression " + std::to_string(int(compression)));
            Bytes file = Write(image, compression);
            // Entry 255 reads as white whatever the file stores there.
            if (bits == 8) SetStoredEntry255(file, {12, 34, 56});
            Graphic* graphic = Load(file);
            ASSERT_TRUE(graphic->IsLoaded());
            ASSERT_EQ(graphic->GetDepth(), bits);
            ASSERT_EQ(graphic->GetWidth(), 37);
            EXPECT_EQ(graphic->GetTransparency(), kNoColor);
            if (bits == 8) {
                EXPECT_EQ(graphic->GetPaletteColor(255), RGB(255, 255, 255));
            }
            Bytes bmp = SaveToBytes(*graphic);
            ASSERT_EQ(bmp[0], 'B');
            Graphic* reloaded = Load(bmp);
            ASSERT_TRUE(reloaded->IsLoaded());
            int mismatches = 0;
            for (uint32_t y = 0; y < image.height; ++y)
                for (uint32_t x = 0; x < image.width; ++x) {
                    COLORREF want = ExpectedColor(image, image.layers[0], x, y);
                    mismatches += graphic->GetPixelColor(x, y) != want;
                    mismatches += reloaded->GetPixelColor(x, y) != want;
                    if (bits == 8)
                        mismatches += reloaded->GetPixelValue(x, y) != image.layers[0].pixels[y * 37 + x];
                }
            EXPECT_EQ(mismatches, 0);
            MEMDELETE(reloaded);
            MEMDELETE(graphic);
        }
    }
}

TEST(PspReader, BinaryMaskGivesTransparencyAndGradedMaskAnOpacityMap) {
    PspImage image = MakeImage(24, 8, 4, 5);
    image.layers[0].mask.assign(32, 255);
    image.layers[0].mask[3] = 0;
    image.layers[0].mask[9] = 0;
    Graphic* binary = Load(Write(image, PspCompression::Deflate), RGB(1, 2, 3));
    ASSERT_TRUE(binary->IsLoaded());
    EXPECT_EQ(binary->GetTransparency(), kMaskColor);
    EXPECT_FALSE(binary->IsTranslucent());
    EXPECT_EQ(binary->GetPixelColor(3, 0), kMaskColor);
    EXPECT_EQ(binary->GetPixelColor(1, 1), kMaskColor);
    EXPECT_EQ(binary->GetPixelColor(2, 0), ExpectedColor(image, image.layers[0], 2, 0));
    MEMDELETE(binary);

    image.layers[0].mask[5] = 128;
    Graphic* graded = Load(Write(image, PspCompression::RunLength));
    ASSERT_TRUE(graded->IsLoaded());
    int mode = 0;
    graded->GetTranslucency(&mode, nullptr);
    ASSERT_EQ(mode, kTranslucencyMap);
    const BYTE* map = graded->GetOpacityMap();
    EXPECT_EQ(map[0], 255);
    EXPECT_EQ(map[3], 0);
    EXPECT_EQ(map[5], 128);
    EXPECT_EQ(graded->GetTransparency(), kNoColor);
    MEMDELETE(graded);
}

TEST(PspReader, LayersBecomeSpriteFramesOrTheFirstLayerOfAGraphic) {
    PspImage image = MakeImage(8, 6, 5, 9);
    for (int k = 1; k < 3; ++k) {
        PspLayer layer = image.layers[0];
        for (auto& p : layer.pixels) p = uint8_t(p + 40 * k);
        image.layers.push_back(layer);
    }
    // A smaller layer placed inside the image: the rest of its frame stays at index 0.
    image.layers[2].left = 2;
    image.layers[2].top = 1;
    image.layers[2].width = 3;
    image.layers[2].height = 2;
    image.layers[2].pixels.assign(6, 77);
    Bytes data = Write(image, PspCompression::Deflate);

    Sprite* sprite = MEMNEW(Sprite, (data.data(), DWORD(data.size()), kNoColor));
    ASSERT_EQ(sprite->GetFrameCount(), 3u);
    for (int k = 0; k < 2; ++k)
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 6; ++x)
                ASSERT_EQ(sprite->GetFrame(k)->GetPixelValue(x, y), image.layers[k].pixels[y * 6 + x]) << k;
    EXPECT_EQ(sprite->GetFrame(2)->GetPixelValue(3, 2), 77u);
    EXPECT_EQ(sprite->GetFrame(2)->GetPixelValue(1, 1), 0u);
    EXPECT_EQ(sprite->GetFrameAt(12), sprite->GetFrame(0));
    MEMDELETE(sprite);

    Graphic* plain = Load(data);
    ASSERT_TRUE(plain->IsLoaded());
    EXPECT_EQ(plain->GetPixelValue(4, 4), image.layers[0].pixels[4 * 6 + 4]);
    MEMDELETE(plain);
}

TEST(PspReader, SelectionIsPlacedAtItsRectangle) {
    PspImage image = MakeImage(8, 10, 6, 2);
    PspSelection selection;
    selection.left = 2;
    selection.top = 1;
    selection.width = 3;
    selection.height = 2;
    selection.mask = {255, 0, 255, 10, 20, 30};
    image.selection = selection;
    Graphic* graphic = Load(Write(image, PspCompression::RunLength));
    ASSERT_TRUE(graphic->HasSelection());
    RECT cut = {2, 1, 6, 3};
    Graphic* child = MEMNEW(Graphic, (graphic, &cut));
    BYTE* bytes = nullptr;
    DWORD size = 0;
    ASSERT_TRUE(child->GetSelection(&bytes, &size));
    ASSERT_EQ(size, 8u);
    EXPECT_EQ(std::vector<BYTE>(bytes, bytes + 8), (std::vector<BYTE>{255, 0, 255, 0, 10, 20, 30, 0}));
    Graphic::FreeSelection(bytes);
    MEMDELETE(graphic); // deletes the child too
}

// Offsets of the test files' blocks: the first block's header follows the 36-byte file header.
TEST(PspReader, DamagedFilesFailAndUnknownBlocksAreSkipped) {
    PspImage image = MakeImage(24, 5, 4, 1);
    Bytes good = Write(image, PspCompression::None);
    auto loads = [](const Bytes& data) {
        Graphic* g = Load(data);
        bool loaded = g->IsLoaded() != FALSE;
        MEMDELETE(g);
        return loaded;
    };
    ASSERT_TRUE(loads(good));
    EXPECT_FALSE(loads(Bytes(good.begin(), good.begin() + 30)));
    Bytes notFirst = good;
    notFirst[40] = 1;
    EXPECT_FALSE(loads(notFirst));
    Bytes zeroChunk = good;
    std::memset(&zeroChunk[46], 0, 4);
    EXPECT_FALSE(loads(zeroChunk));
    // Turn the blue channel into an unknown bitmap type: a colour channel is missing.
    Bytes noBlue = good;
    size_t lastChannel = 0;
    for (size_t i = 0; i + 6 < noBlue.size(); ++i)
        if (std::memcmp(&noBlue[i], "~BK\0\x05\0", 6) == 0) lastChannel = i;
    ASSERT_NE(lastChannel, 0u);
    ASSERT_EQ(noBlue[lastChannel + 10 + 14], 3); // channel type blue
    noBlue[lastChannel + 10 + 12] = 7;
    EXPECT_FALSE(loads(noBlue));
    // A chunk size that wraps the offset round to before the chunk leaves the blue channel unreadable.
    Bytes wrapped = good;
    const uint8_t minusFour[] = {0xFC, 0xFF, 0xFF, 0xFF};
    std::memcpy(&wrapped[lastChannel + 10], minusFour, 4);
    EXPECT_FALSE(loads(wrapped));
    // An unknown block after the general attributes changes nothing.
    uint32_t generalLength = good[42] | good[43] << 8 | good[44] << 16 | good[45] << 24;
    size_t after = 46 + generalLength;
    Bytes extra = good;
    const uint8_t block[] = {'~', 'B', 'K', 0, 10, 0, 3, 0, 0, 0, 9, 9, 9};
    extra.insert(extra.begin() + after, block, block + sizeof block);
    Graphic* a = Load(good);
    Graphic* b = Load(extra);
    ASSERT_TRUE(b->IsLoaded());
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(a->GetPixelValue(x, y), b->GetPixelValue(x, y));
    MEMDELETE(a);
    MEMDELETE(b);
}

// A layer may claim a rectangle larger than the picture: only the part inside the picture is placed,
// each row taken at the layer's own row width.
TEST(PspReader, LayerRectangleLargerThanThePictureIsClippedToIt) {
    PspImage image = MakeImage(8, 37, 23, 3);
    Bytes data = Write(image, PspCompression::RunLength);
    ASSERT_EQ(data[50], 37);
    ASSERT_EQ(data[54], 23);
    data[50] = 5; // the general attributes' width and height: the picture shrinks under its layer
    data[54] = 4;
    Graphic* graphic = Load(data);
    ASSERT_TRUE(graphic->IsLoaded());
    ASSERT_EQ(graphic->GetWidth(), 5);
    ASSERT_EQ(graphic->GetHeight(), 4);
    for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 0; x < 5; ++x)
            EXPECT_EQ(graphic->GetPixelColor(x, y), ExpectedColor(image, image.layers[0], x, y))
                << x << "," << y;
    MEMDELETE(graphic);
}

// The offset of the first channel block's compressed length field, or 0.
size_t FirstChannelLengthField(const Bytes& file) {
    for (size_t at = 36; at + 14 <= file.size(); ++at)
        if (std::memcmp(&file[at], "~BK", 4) == 0 && file[at + 4] == 5 && file[at + 5] == 0) return at + 14;
    return 0;
}

// An 8-bit layer placed inside the picture, then crossing its right and bottom edges, then cut short:
// every pixel is the layer's where the layer has data for it and index 0 elsewhere.
TEST(PspReader, EightBitLayersLandAtTheirRectangleClippedAndCutShort) {
    PspImage image = MakeImage(8, 40, 30, 21);
    PspLayer& layer = image.layers[0];
    layer.left = 7;
    layer.top = 5;
    layer.width = 25;
    layer.height = 20;
    layer.pixels.resize(25 * 20);
    for (size_t i = 0; i < layer.pixels.size(); ++i) layer.pixels[i] = uint8_t(1 + i % 250);
    auto expectLayer = [&](Graphic* g, int width, int height, size_t available) {
        ASSERT_TRUE(g->IsLoaded());
        ASSERT_EQ(g->GetWidth(), width);
        ASSERT_EQ(g->GetHeight(), height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                DWORD want = 0;
                int lx = x - 7, ly = y - 5;
                if (lx >= 0 && lx < 25 && ly >= 0 && ly < 20 && size_t(ly * 25 + lx) < available)
                    want = layer.pixels[ly * 25 + lx];
                ASSERT_EQ(g->GetPixelValue(x, y), want) << x << "," << y;
            }
    };
    for (PspCompression packing :
         {PspCompression::None, PspCompression::RunLength, PspCompression::Deflate}) {
        SCOPED_TRACE(static_cast<int>(packing));
        Bytes data = Write(image, packing);
        Graphic* whole = Load(data);
        expectLayer(whole, 40, 30, layer.pixels.size());
        MEMDELETE(whole);
        // A deflated channel is unpacked only to what the smaller picture can show, which leaves its
        // stream unfinished; the edges are checked with the other two packings.
        if (packing == PspCompression::Deflate) continue;
        ASSERT_EQ(data[50], 40);
        ASSERT_EQ(data[54], 30);
        data[50] = 20; // the picture shrinks under its layer
        data[54] = 17;
        Graphic* clipped = Load(data);
        expectLayer(clipped, 20, 17, layer.pixels.size());
        MEMDELETE(clipped);
    }
    // An unpacked channel that holds fewer bytes than its rectangle fills only what it holds.
    Bytes data = Write(image, PspCompression::None);
    size_t field = FirstChannelLengthField(data);
    ASSERT_NE(field, 0u);
    ASSERT_EQ(data[field] | data[field + 1] << 8, 500);
    data[field] = 137;
    data[field + 1] = 0;
    Graphic* cut = Load(data);
    expectLayer(cut, 40, 30, 137);
    MEMDELETE(cut);
}

// A binary mask makes its transparent pixels the mask colour. The colour's palette index is the same for
// every pixel: a wide 8-bit picture whose mask hides every pixel must load about as fast as the same
// picture without a mask (it once took seconds, looking the colour up in the palette for each pixel).
// Both loads are measured in the same run, so a busy machine slows both alike.
TEST(PspReader, ABinaryMaskCostsNoPaletteSearchPerPixel) {
    PspImage plain = MakeImage(8, 32767, 160, 11);
    PspImage masked = plain;
    masked.layers[0].mask.assign(size_t(32767) * 160, 0);
    for (size_t i = 0; i < masked.layers[0].mask.size(); i += 97) masked.layers[0].mask[i] = 255;
    Bytes plainData = Write(plain, PspCompression::Deflate),
          maskedData = Write(masked, PspCompression::Deflate);
    auto millisecondsToLoad = [](const Bytes& data, Graphic** out) {
        LARGE_INTEGER frequency, start, end;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&start);
        *out = Load(data);
        QueryPerformanceCounter(&end);
        return double(end.QuadPart - start.QuadPart) * 1000.0 / double(frequency.QuadPart);
    };
    Graphic *a = nullptr, *b = nullptr;
    double plainTime = millisecondsToLoad(plainData, &a);
    double maskedTime = millisecondsToLoad(maskedData, &b);
    ASSERT_TRUE(b->IsLoaded());
    EXPECT_EQ(b->GetTransparency(), kMaskColor);
    EXPECT_EQ(b->GetPixelValue(1, 0), b->ColorToValue(kMaskColor));
    EXPECT_EQ(b->GetPixelValue(32766, 159), b->ColorToValue(kMaskColor));
    EXPECT_EQ(b->GetPixelColor(0, 0), ExpectedColor(plain, plain.layers[0], 0, 0));
    EXPECT_LT(maskedTime, 4 * plainTime + 100)
        << "plain " << plainTime << " ms, masked " << maskedTime << " ms";
    MEMDELETE(a);
    MEMDELETE(b);
}

TEST(PspReader, RunLengthPairsAndLiterals) {
    const BYTE packed[] = {130, 7, 2, 5, 6};
    DWORD expected = 8;
    BYTE* out = PspDecompress(packed, sizeof packed, &expected, kPspRunLength);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(std::vector<BYTE>(out, out + 5), (std::vector<BYTE>{7, 7, 5, 6, 0}));
    MEMFREE(out);
    // Output never passes the expected length, whatever the counts say.
    const BYTE huge[] = {255, 1, 127, 1, 2};
    expected = 3;
    out = PspDecompress(huge, sizeof huge, &expected, kPspRunLength);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(MemFindBlock(out)->requested, 3u);
    MEMFREE(out);
    expected = 4;
    EXPECT_EQ(PspDecompress(packed, sizeof packed, &expected, 3), nullptr);
    EXPECT_EQ(expected, 0u);
    expected = 4;
    EXPECT_EQ(PspDecompress(packed, sizeof packed, &expected, kPspDeflate), nullptr);
}

// A deflate stream that ends before the expected length is padded with its own last byte; one that fills
// the length is taken as it is, and a damaged one is refused.
TEST(PspReader, ShortDeflateChannelsRepeatTheirLastByte) {
    auto deflated = [](const Bytes& plain) {
        uLongf size = compressBound(uLong(plain.size()));
        Bytes packed(size);
        EXPECT_EQ(compress(packed.data(), &size, plain.data(), uLong(plain.size())), Z_OK);
        packed.resize(size);
        return packed;
    };
    Bytes packed = deflated({1, 2, 3});
    DWORD expected = 6;
    BYTE* out = PspDecompress(packed.data(), DWORD(packed.size()), &expected, kPspDeflate);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(expected, 6u);
    EXPECT_EQ(Bytes(out, out + 6), (Bytes{1, 2, 3, 3, 3, 3}));
    MEMFREE(out);

    packed = deflated({9, 8, 7, 6, 0});
    expected = 9;
    out = PspDecompress(packed.data(), DWORD(packed.size()), &expected, kPspDeflate);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(Bytes(out, out + 9), (Bytes{9, 8, 7, 6, 0, 0, 0, 0, 0})) << "a last byte of 0 pads with 0";
    MEMFREE(out);

    packed = deflated({4, 5, 6, 7});
    expected = 4;
    out = PspDecompress(packed.data(), DWORD(packed.size()), &expected, kPspDeflate);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(Bytes(out, out + 4), (Bytes{4, 5, 6, 7}));
    MEMFREE(out);

    packed[packed.size() / 2] ^= 0x55;
    packed.resize(packed.size() - 2);
    expected = 4;
    EXPECT_EQ(PspDecompress(packed.data(), DWORD(packed.size()), &expected, kPspDeflate), nullptr);
    EXPECT_EQ(expected, 0u);
}

// A channel whose stream is short still fills its whole rectangle: the rest of the row repeats the
// stream's last byte.
TEST(PspReader, AShortDeflateChannelFillsItsImageWithItsLastByte) {
    PspImage image = MakeImage(8, 4, 2, 3);
    image.layers[0].pixels = {10, 11, 12, 13, 14, 15, 16, 17};
    Bytes file = Write(image, PspCompression::Deflate);
    // Swap the channel's stream for a shorter one of the first three pixels, keeping every length field.
    Bytes shorter(compressBound(3));
    uLongf size = uLongf(shorter.size());
    const Bytes three = {10, 11, 12};
    ASSERT_EQ(compress(shorter.data(), &size, three.data(), 3), Z_OK);
    shorter.resize(size);
    Bytes full(compressBound(8));
    uLongf fullSize = uLongf(full.size());
    ASSERT_EQ(compress2(full.data(), &fullSize, image.layers[0].pixels.data(), 8, Z_BEST_COMPRESSION), Z_OK);
    full.resize(fullSize);
    auto found = std::search(file.begin(), file.end(), full.begin(), full.end());
    ASSERT_NE(found, file.end()) << "the writer packs with the same settings";
    ASSERT_LE(shorter.size(), full.size());
    std::copy(shorter.begin(), shorter.end(), found);
    Graphic* graphic = Load(file);
    ASSERT_TRUE(graphic->IsLoaded());
    const DWORD want[] = {10, 11, 12, 12, 12, 12, 12, 12};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(graphic->GetPixelValue(i % 4, i / 4), want[i]) << i;
    MEMDELETE(graphic);
}

Bytes MakeBmp(int width, int height, int bits, bool bottomUp, unsigned seed) {
    DWORD pitch = ((width * bits + 31) / 32) * 4;
    DWORD paletteBytes = bits <= 8 ? 4u << bits : 0;
    Bytes data(14 + 40 + paletteBytes + pitch * height);
    BITMAPINFOHEADER info = {};
    info.biSize = 40;
    info.biWidth = width;
    info.biHeight = bottomUp ? height : -height;
    info.biPlanes = 1;
    info.biBitCount = WORD(bits);
    data[0] = 'B';
    data[1] = 'M';
    std::memcpy(&data[14], &info, 40);
    std::mt19937 random(seed);
    for (size_t i = 54; i < data.size(); ++i) data[i] = uint8_t(random());
    return data;
}

TEST(BmpLoader, RowsComeOutTopDownWhateverTheStoredOrder) {
    for (bool bottomUp : {true, false}) {
        Bytes data = MakeBmp(7, 5, 24, bottomUp, 3);
        Graphic* g = Load(data);
        ASSERT_TRUE(g->IsLoaded());
        DWORD pitch = 24;
        for (int y = 0; y < 5; ++y) {
            int stored = bottomUp ? 4 - y : y;
            const uint8_t* p = &data[54 + stored * pitch];
            EXPECT_EQ(g->GetPixelColor(2, y), RGB(p[8], p[7], p[6])) << y;
        }
        MEMDELETE(g);
    }
}

TEST(BmpLoader, TruncatedAndOversizedImagesFailCleanly) {
    Bytes data = MakeBmp(7, 5, 8, true, 1);
    Graphic* header = Load(Bytes(data.begin(), data.begin() + 40));
    EXPECT_FALSE(header->IsLoaded());
    MEMDELETE(header);
    Bytes huge = data;
    int32_t big = 0x7FFFFFF0;
    std::memcpy(&huge[18], &big, 4);
    Graphic* g = Load(huge);
    EXPECT_FALSE(g->IsLoaded());
    MEMDELETE(g);
    PspImage image = MakeImage(8, 4, 4, 1);
    Bytes psp = Write(image, PspCompression::None);
    std::memcpy(&psp[50], &big, 4); // width
    g = Load(psp);
    EXPECT_FALSE(g->IsLoaded());
    MEMDELETE(g);
}

// A folder of the test's own under the temporary folder, removed with everything in it at the end.
class TempFolder {
public:
    TempFolder() {
        TCHAR base[MAX_PATH];
        GetTempPath(MAX_PATH, base);
        wsprintf(path_, TEXT("%svexlin_images_%lu"), base, GetCurrentProcessId());
        CreateDirectory(path_, nullptr);
    }
    ~TempFolder() {
        for (const auto& name : files_) DeleteFile(name.c_str());
        RemoveDirectory(path_);
    }
    std::basic_string<TCHAR> File(const TCHAR* name) {
        files_.push_back(std::basic_string<TCHAR>(path_) + TEXT("\\") + name);
        return files_.back();
    }

private:
    TCHAR path_[MAX_PATH];
    std::vector<std::basic_string<TCHAR>> files_;
};

bool WriteFileBytes(const std::basic_string<TCHAR>& path, const Bytes& data) {
    HANDLE file = CreateFile(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(file, data.data(), DWORD(data.size()), &written, nullptr) && written == data.size();
    CloseHandle(file);
    return ok;
}

int CountMismatches(Graphic* a, Graphic* b) {
    if (a->GetWidth() != b->GetWidth() || a->GetHeight() != b->GetHeight()) return -1;
    int wrong = 0;
    for (int y = 0; y < a->GetHeight(); ++y)
        for (int x = 0; x < a->GetWidth(); ++x) wrong += a->GetPixelColor(x, y) != b->GetPixelColor(x, y);
    return wrong;
}

TEST(GraphicFiles, PathLoadsPspAndBmpAndAMissingFileStaysEmpty) {
    TempFolder folder;
    PspImage image = MakeImage(24, 11, 6, 4);
    Bytes psp = Write(image, PspCompression::Deflate);
    Graphic* fromMemory = Load(psp);
    std::basic_string<TCHAR> pspPath = folder.File(TEXT("picture.psp"));
    ASSERT_TRUE(WriteFileBytes(pspPath, psp));
    Graphic* fromPath = MEMNEW(Graphic, (nullptr, pspPath.c_str(), RGB(1, 2, 3)));
    ASSERT_TRUE(fromPath->IsLoaded());
    EXPECT_EQ(CountMismatches(fromPath, fromMemory), 0);
    EXPECT_EQ(fromPath->GetTransparency(), RGB(1, 2, 3));

    std::basic_string<TCHAR> bmpPath = folder.File(TEXT("picture.bmp"));
    ASSERT_TRUE(WriteFileBytes(bmpPath, SaveToBytes(*fromMemory)));
    Graphic* bmp = MEMNEW(Graphic, (nullptr, bmpPath.c_str(), kNoColor));
    ASSERT_TRUE(bmp->IsLoaded());
    EXPECT_EQ(CountMismatches(bmp, fromMemory), 0);

    Graphic* missing = MEMNEW(Graphic, (nullptr, folder.File(TEXT("absent.bmp")).c_str(), kNoColor));
    EXPECT_FALSE(missing->IsLoaded());
    std::basic_string<TCHAR> emptyPath = folder.File(TEXT("empty.bmp"));
    ASSERT_TRUE(WriteFileBytes(emptyPath, Bytes()));
    Graphic* empty = MEMNEW(Graphic, (nullptr, emptyPath.c_str(), kNoColor));
    EXPECT_FALSE(empty->IsLoaded());
    for (Graphic* g : {fromMemory, fromPath, bmp, missing, empty}) MEMDELETE(g);
}

// An open file may hold several pictures one after another, with or without file headers: each load
// reads exactly its own bytes and leaves the file at the next one.
TEST(GraphicFiles, OpenFileReadsOnePictureAtItsPosition) {
    TempFolder folder;
    Graphic* eight = Load(MakeBmp(9, 5, 8, true, 6));
    Graphic* deep = Load(MakeBmp(4, 3, 24, false, 7));
    ASSERT_TRUE(eight->IsLoaded() && deep->IsLoaded());
    Bytes first = SaveToBytes(*eight);
    Bytes second = SaveToBytes(*deep);
    Bytes contents = {'x', 'y', 'z'};
    contents.insert(contents.end(), first.begin(), first.end());
    contents.insert(contents.end(), second.begin() + 14, second.end()); // the info header comes first
    contents.push_back('!');
    std::basic_string<TCHAR> path = folder.File(TEXT("strip.bin"));
    ASSERT_TRUE(WriteFileBytes(path, contents));

    HANDLE file = CreateFile(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    SetFilePointer(file, 3, nullptr, FILE_BEGIN);
    Graphic* a = MEMNEW(Graphic, (nullptr, file, kNoColor));
    EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_CURRENT), 3 + first.size());
    Graphic* b = MEMNEW(Graphic, (nullptr, file, kNoColor));
    EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_CURRENT), contents.size() - 1);
    ASSERT_TRUE(a->IsLoaded());
    ASSERT_TRUE(b->IsLoaded());
    EXPECT_EQ(a->GetDepth(), 8);
    EXPECT_EQ(CountMismatches(a, eight), 0);
    EXPECT_EQ(CountMismatches(b, deep), 0);
    // One byte left: not a picture.
    Graphic* c = MEMNEW(Graphic, (nullptr, file, kNoColor));
    EXPECT_FALSE(c->IsLoaded());
    CloseHandle(file);

    // A file that ends inside the pixels fails cleanly.
    Bytes cut(first.begin(), first.end() - 5);
    std::basic_string<TCHAR> shortPath = folder.File(TEXT("short.bmp"));
    ASSERT_TRUE(WriteFileBytes(shortPath, cut));
    file = CreateFile(shortPath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    Graphic* d = MEMNEW(Graphic, (nullptr, file, kNoColor));
    EXPECT_FALSE(d->IsLoaded());
    CloseHandle(file);
    for (Graphic* g : {eight, deep, a, b, c, d}) MEMDELETE(g);
}

// Fewer than 8 bits a pixel: saved rows are packed most significant bits first, and a child whose
// rectangle starts inside a byte saves just its own pixels. (Two-bit bitmaps exist on the handheld
// only; the desktop cannot make one.)
TEST(GraphicFiles, OneAndFourBitGraphicsSaveAndReload) {
    for (int depth : {1, 4}) {
        SCOPED_TRACE(depth);
        RGBQUAD palette[16];
        for (int i = 0; i < 16; ++i) palette[i] = {BYTE(i * 16), BYTE(200 - i), BYTE(i * 5), 0};
        Graphic* g = MEMNEW(Graphic, (13, 5, depth, palette));
        std::mt19937 random(depth);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 13; ++x) g->SetPixelValue(x, y, random() & ((1u << depth) - 1));
        Bytes saved = SaveToBytes(*g);
        ASSERT_GT(saved.size(), 54u);
        EXPECT_EQ(saved[28], depth);
        Graphic* back = Load(saved);
        ASSERT_TRUE(back->IsLoaded());
        EXPECT_EQ(back->GetDepth(), depth);
        int wrong = 0;
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 13; ++x) wrong += back->GetPixelValue(x, y) != g->GetPixelValue(x, y);
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(back->GetPaletteColor(1), g->GetPaletteColor(1));

        RECT cut = {3, 1, 10, 4};
        Graphic* child = MEMNEW(Graphic, (g, &cut));
        Graphic* part = Load(SaveToBytes(*child));
        ASSERT_TRUE(part->IsLoaded());
        ASSERT_EQ(part->GetWidth(), 7);
        wrong = 0;
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 7; ++x) wrong += part->GetPixelValue(x, y) != g->GetPixelValue(3 + x, 1 + y);
        EXPECT_EQ(wrong, 0);
        MEMDELETE(part);
        MEMDELETE(back);
        MEMDELETE(g);
    }
}

TEST(ImageFuzz, MutatedPspAndBmpDataNeverCrash) {
    std::vector<Bytes> seeds;
    PspImage masked = MakeImage(24, 9, 7, 4);
    masked.layers[0].mask.assign(63, 200);
    masked.layers.push_back(masked.layers[0]);
    for (PspCompression c : {PspCompression::None, PspCompression::RunLength, PspCompression::Deflate}) {
        seeds.push_back(Write(MakeImage(8, 9, 7, 1), c));
        seeds.push_back(Write(masked, c));
    }
    seeds.push_back(MakeBmp(9, 7, 8, true, 2));
    seeds.push_back(MakeBmp(9, 7, 32, false, 2));
    std::mt19937 random(77);
    MemStats before = MemGetStats();
    for (int round = 0; round < 3000; ++round) {
        Bytes data = seeds[round % seeds.size()];
        int edits = 1 + random() % 6;
        for (int e = 0; e < edits; ++e) {
            // The signature is kept most of the time so that the mutations reach the block reader.
            size_t at = 26 + random() % (data.size() - 26);
            data[at] = random() % 3 ? uint8_t(random()) : uint8_t(0xFF);
        }
        if (random() % 3 == 0) data.resize(random() % data.size());
        GuardedBytes guarded(data);
        Sprite* sprite = MEMNEW(Sprite, (guarded.data(), DWORD(data.size()), RGB(0, 0, 1)));
        for (DWORD i = 0; i < sprite->GetFrameCount(); ++i) {
            Graphic* f = sprite->GetFrame(i);
            if (f->IsLoaded() && f->GetWidth() > 0) f->GetPixelColor(f->GetWidth() - 1, f->GetHeight() - 1);
        }
        MEMDELETE(sprite);
    }
    EXPECT_EQ(MemGetStats().liveBlocks, before.liveBlocks);
}

} // namespace
