// Checks written files with a parser of its own: bounds-checked, strict about every chunk size and block
// length, and placing channels the way the engine's reader does, so a layout slip cannot cancel out.
#include "psp_writer.h"
#include "pspwrite.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <zlib.h>

namespace {

using Bytes = std::vector<uint8_t>;

struct Cursor {
    const Bytes& data;
    size_t pos;
    size_t end;

    void Need(size_t count) const {
        if (count > end - pos) throw std::runtime_error("read past the end at " + std::to_string(pos));
    }
    uint32_t Le(int bytes) {
        Need(bytes);
        uint32_t value = 0;
        for (int i = 0; i < bytes; ++i) value |= uint32_t{data[pos + i]} << (8 * i);
        pos += bytes;
        return value;
    }
    uint8_t U8() { return static_cast<uint8_t>(Le(1)); }
    uint16_t U16() { return static_cast<uint16_t>(Le(2)); }
    uint32_t U32() { return Le(4); }
    Bytes Take(size_t count) {
        Need(count);
        Bytes out(data.begin() + pos, data.begin() + pos + count);
        pos += count;
        return out;
    }
    std::array<uint32_t, 4> Rect() { return {U32(), U32(), U32(), U32()}; }
};

void Expect(bool condition, const std::string& what) {
    if (!condition) throw std::runtime_error(what);
}

// Enters a block and returns a cursor limited to its contents; `outer` moves past it.
Cursor Block(Cursor& outer, uint16_t expectedId, std::vector<uint16_t>* ids = nullptr) {
    Expect(outer.U32() == 0x004B427E, "block signature at " + std::to_string(outer.pos - 4));
    uint16_t id = outer.U16();
    uint32_t length = outer.U32();
    outer.Need(length);
    if (ids) ids->push_back(id);
    Expect(expectedId == 0xFFFF || id == expectedId, "block id " + std::to_string(id));
    Cursor inner{outer.data, outer.pos, outer.pos + length};
    outer.pos += length;
    return inner;
}

Bytes DecodeRunLength(const Bytes& packed, size_t expected) {
    Bytes out;
    for (size_t at = 0; at < packed.size();) {
        uint8_t count = packed[at++];
        Expect(count != 0, "run-length count 0 at " + std::to_string(at - 1));
        size_t length = count > 128 ? count - 128u : count;
        size_t literal = count > 128 ? 1 : count;
        Expect(literal <= packed.size() - at, "run-length code truncated");
        Expect(out.size() + length <= expected, "run-length output overruns the channel");
        if (count > 128)
            out.insert(out.end(), length, packed[at]);
        else
            out.insert(out.end(), packed.begin() + at, packed.begin() + at + length);
        at += literal;
    }
    Expect(out.size() == expected, "run-length output short");
    return out;
}

Bytes Inflate(const Bytes& packed, size_t expected) {
    Bytes out(expected + 1); // one spare byte exposes a stream longer than announced
    uLongf size = out.size();
    Expect(uncompress(out.data(), &size, packed.data(), packed.size()) == Z_OK, "inflate failed");
    Expect(size == expected, "inflated length " + std::to_string(size));
    out.resize(size);
    return out;
}

struct Channel {
    uint16_t bitmapType, channelType;
    Bytes packed, data;
};

Channel ReadChannel(Cursor& outer, uint16_t compression) {
    Cursor in = Block(outer, 5);
    Expect(in.U32() == 16, "channel chunk size");
    Channel channel;
    uint32_t compressed = in.U32(), uncompressed = in.U32();
    channel.bitmapType = in.U16();
    channel.channelType = in.U16();
    Expect(compressed == in.end - in.pos, "compressed length disagrees with the block");
    channel.packed = in.Take(compressed);
    if (compression == 0) {
        Expect(compressed == uncompressed, "stored channel length");
        channel.data = channel.packed;
    } else if (compression == 1) {
        channel.data = DecodeRunLength(channel.packed, uncompressed);
    } else {
        Expect(compression == 2, "compression field");
        channel.data = Inflate(channel.packed, uncompressed);
    }
    return channel;
}

struct ParsedLayer {
    PspLayer layer; // rectangle as the reader places the image channels
    std::array<uint32_t, 4> maskRect;
    std::vector<Channel> channels;
};

struct Parsed {
    std::vector<uint16_t> blockIds;
    uint16_t compression = 0;
    PspImage image; // rebuilt from the file
    std::vector<ParsedLayer> layers;
};

void ReadBitmapChunk(Cursor& in, uint16_t& bitmaps, uint16_t& channels) {
    Expect(in.U32() == 8, "bitmap chunk size");
    bitmaps = in.U16();
    channels = in.U16();
}

ParsedLayer ReadLayer(Cursor& outer, const Parsed& file) {
    Cursor in = Block(outer, 4);
    size_t chunkStart = in.pos;
    uint32_t chunkSize = in.U32();
    ParsedLayer parsed;
    PspLayer& layer = parsed.layer;
    uint16_t nameLength = in.U16();
    Bytes name = in.Take(nameLength);
    layer.name.assign(name.begin(), name.end());
    in.U8(); // layer type
    auto image = in.Rect(), saved = in.Rect();
    Expect(in.U8() == 255 && in.U8() == 0 && in.U8() == 1, "opacity, blend mode, visibility");
    in.Take(2); // protection, link group
    parsed.maskRect = in.Rect();
    in.Rect(); // saved mask rectangle
    in.Take(3);
    Expect(in.pos - chunkStart == chunkSize, "layer chunk size " + std::to_string(chunkSize));
    // The reader places channel data at the saved rectangle moved by the image rectangle's origin.
    layer.left = saved[0] + image[0];
    layer.top = saved[1] + image[1];
    layer.width = saved[2] - saved[0];
    layer.height = saved[3] - saved[1];
    Expect(image[2] - image[0] == layer.width && image[3] - image[1] == layer.height, "image rectangle size");
    const size_t count = size_t{layer.width} * layer.height;

    uint16_t bitmaps, channels;
    ReadBitmapChunk(in, bitmaps, channels);
    bool hasMask = false;
    Bytes colour[3];
    for (uint16_t i = 0; i < channels; ++i) {
        parsed.channels.push_back(ReadChannel(in, file.compression));
        const Channel& channel = parsed.channels.back();
        Expect(channel.data.size() == count, "channel length against its rectangle");
        if (channel.bitmapType == 2) {
            Expect(!hasMask && channel.channelType == 0, "second or coloured mask");
            auto r = parsed.maskRect;
            Expect(r[2] != 0 && r[0] + image[0] == layer.left && r[1] + image[1] == layer.top &&
                       r[2] - r[0] == layer.width && r[3] - r[1] == layer.height,
                   "mask rectangle differs from the layer's");
            layer.mask = channel.data;
            hasMask = true;
        } else {
            Expect(channel.bitmapType == 0 && channel.channelType <= 3, "channel kind");
            Expect(file.image.bits == 8 ? channel.channelType == 0 : channel.channelType == i + 1,
                   "channel order for the depth");
            colour[file.image.bits == 8 ? 0 : channel.channelType - 1] = channel.data;
        }
    }
    Expect(in.pos == in.end, "layer block length");
    Expect(bitmaps == (hasMask ? 2 : 1), "bitmap count");
    if (file.image.bits == 8) {
        layer.pixels = colour[0];
    } else {
        for (size_t p = 0; p < count; ++p)
            for (const Bytes& plane : colour) layer.pixels.push_back(plane.at(p));
    }
    return parsed;
}

Parsed Parse(const Bytes& file) {
    Parsed parsed;
    Cursor in{file, 0, file.size()};
    Bytes signature = in.Take(32);
    static const char kText[] = "Paint Shop Pro Image File\n\x1a";
    Bytes expected(32, 0);
    std::memcpy(expected.data(), kText, sizeof kText - 1);
    Expect(signature == expected, "signature");
    Expect(in.U16() == 5 && in.U16() == 0, "version");

    Cursor general = Block(in, 0, &parsed.blockIds);
    Expect(general.U32() == 46 && general.end - general.pos == 42, "general attributes chunk size");
    PspImage& image = parsed.image;
    image.width = general.U32();
    image.height = general.U32();
    general.Take(9); // resolution and its unit
    parsed.compression = general.U16();
    image.bits = general.U16();
    general.Take(2 + 4 + 1 + 4 + 4); // planes, colours, greyscale, total size, active layer
    uint16_t layerCount = general.U16();
    general.Take(4); // graphic contents
    Expect(general.pos == general.end, "general attributes length");

    while (in.pos < in.end) {
        Cursor block = Block(in, 0xFFFF, &parsed.blockIds);
        switch (parsed.blockIds.back()) {
        case 2: {
            uint32_t chunkSize = block.U32(), count = block.U32();
            Expect(chunkSize == 8 && block.end - block.pos == 4 * size_t{count}, "palette lengths");
            for (uint32_t i = 0; i < count; ++i) {
                PspColor colour;
                colour.blue = block.U8();
                colour.green = block.U8();
                colour.red = block.U8();
                Expect(block.U8() == 0, "palette reserved byte");
                image.palette.push_back(colour);
            }
            break;
        }
        case 3:
            for (uint16_t i = 0; i < layerCount; ++i) {
                parsed.layers.push_back(ReadLayer(block, parsed));
                image.layers.push_back(parsed.layers.back().layer);
            }
            Expect(block.pos == block.end, "layer start block length");
            break;
        case 6: {
            Expect(block.U32() == 36, "selection chunk size");
            auto rect = block.Rect(), saved = block.Rect();
            Expect(rect == saved, "selection rectangles differ");
            uint16_t bitmaps, channels;
            ReadBitmapChunk(block, bitmaps, channels);
            Expect(bitmaps == 1 && channels == 1, "selection bitmap chunk");
            Channel channel = ReadChannel(block, parsed.compression);
            Expect(channel.bitmapType == 3 && block.pos == block.end, "selection channel");
            image.selection =
                PspSelection{saved[0], saved[1], saved[2] - saved[0], saved[3] - saved[1], channel.data};
            break;
        }
        default:
            throw std::runtime_error("unexpected block " + std::to_string(parsed.blockIds.back()));
        }
    }
    return parsed;
}

// Parse failures become test failures with the parser's reason.
Parsed ParseOrFail(const Bytes& file) {
    try {
        return Parse(file);
    } catch (const std::exception& e) {
        ADD_FAILURE() << "unreadable file: " << e.what();
        return {};
    }
}

uint32_t g_seed = 1;
uint8_t Next() { return static_cast<uint8_t>((g_seed = g_seed * 1103515245 + 12345) >> 16); }

// Content with runs of every length around the run-length limits mixed with noise.
Bytes Content(size_t count, uint8_t limit) {
    Bytes out;
    while (out.size() < count) {
        size_t run = Next() % 4 == 0 ? Next() % 200 + 1 : 1;
        out.insert(out.end(), std::min(run, count - out.size()), static_cast<uint8_t>(Next() % limit));
    }
    return out;
}

enum class MaskKind { None, Binary, Graded };

Bytes Mask(size_t count, MaskKind kind) {
    if (kind == MaskKind::None) return {};
    Bytes mask = Content(count, 255);
    for (uint8_t& byte : mask) {
        if (kind == MaskKind::Binary) byte = byte % 2 ? 255 : 0;
    }
    return mask;
}

PspImage MakeImage(int bits, MaskKind mask, bool selection) {
    PspImage image;
    image.width = 37;
    image.height = 23;
    image.bits = bits;
    if (bits == 8)
        for (int i = 0; i < 200; ++i) image.palette.push_back({uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)});
    const uint32_t rects[3][4] = {{0, 0, 37, 23}, {5, 3, 31, 17}, {36, 22, 1, 1}};
    for (int i = 0; i < 3; ++i) {
        PspLayer layer;
        layer.name = i == 1 ? "" : "Layer " + std::to_string(i);
        layer.left = rects[i][0];
        layer.top = rects[i][1];
        layer.width = rects[i][2];
        layer.height = rects[i][3];
        size_t count = size_t{layer.width} * layer.height;
        layer.pixels = Content(count * (bits / 8), bits == 8 ? 200 : 255);
        layer.mask = Mask(count, i == 2 ? MaskKind::None : mask);
        image.layers.push_back(layer);
    }
    if (selection) image.selection = PspSelection{2, 1, 33, 20, Content(33 * 20, 255)};
    return image;
}

void ExpectSameImage(const PspImage& expected, const PspImage& actual) {
    EXPECT_EQ(expected.width, actual.width);
    EXPECT_EQ(expected.height, actual.height);
    EXPECT_EQ(expected.bits, actual.bits);
    ASSERT_EQ(expected.palette.size(), actual.palette.size());
    for (size_t i = 0; i < expected.palette.size(); ++i) {
        EXPECT_EQ(expected.palette[i].red, actual.palette[i].red) << i;
        EXPECT_EQ(expected.palette[i].green, actual.palette[i].green) << i;
        EXPECT_EQ(expected.palette[i].blue, actual.palette[i].blue) << i;
    }
    ASSERT_EQ(expected.layers.size(), actual.layers.size());
    for (size_t i = 0; i < expected.layers.size(); ++i) {
        const PspLayer &want = expected.layers[i], &got = actual.layers[i];
        bool whole = want.width == 0 && want.height == 0;
        EXPECT_EQ(want.name, got.name);
        EXPECT_EQ(want.left, got.left);
        EXPECT_EQ(want.top, got.top);
        EXPECT_EQ(whole ? expected.width : want.width, got.width);
        EXPECT_EQ(whole ? expected.height : want.height, got.height);
        EXPECT_TRUE(want.pixels == got.pixels) << "pixels of layer " << i;
        EXPECT_TRUE(want.mask == got.mask) << "mask of layer " << i;
    }
    ASSERT_EQ(expected.selection.has_value(), actual.selection.has_value());
    if (expected.selection) {
        EXPECT_EQ(expected.selection->left, actual.selection->left);
        EXPECT_EQ(expected.selection->top, actual.selection->top);
        EXPECT_EQ(expected.selection->width, actual.selection->width);
        EXPECT_EQ(expected.selection->height, actual.selection->height);
        EXPECT_TRUE(expected.selection->mask == actual.selection->mask);
    }
}

Bytes WriteOrFail(const PspImage& image, PspCompression compression) {
    Bytes out;
    std::string error;
    EXPECT_TRUE(WritePsp(image, compression, out, &error)) << error;
    return out;
}

const PspCompression kCompressions[] = {PspCompression::None, PspCompression::RunLength,
                                        PspCompression::Deflate};

TEST(PspWriter, EveryDepthCompressionAndMaskRoundTrips) {
    for (int bits : {8, 24})
        for (PspCompression compression : kCompressions)
            for (MaskKind mask : {MaskKind::None, MaskKind::Binary, MaskKind::Graded})
                for (bool selection : {false, true}) {
                    SCOPED_TRACE(testing::Message()
                                 << bits << " bits, compression " << static_cast<int>(compression)
                                 << ", mask " << static_cast<int>(mask) << ", selection " << selection);
                    PspImage image = MakeImage(bits, mask, selection);
                    Bytes file = WriteOrFail(image, compression);
                    Parsed parsed = ParseOrFail(file);
                    std::vector<uint16_t> blocks = {0};
                    if (bits == 8) blocks.push_back(2);
                    blocks.push_back(3);
                    if (selection) blocks.push_back(6);
                    EXPECT_EQ(blocks, parsed.blockIds);
                    EXPECT_EQ(static_cast<uint16_t>(compression), parsed.compression);
                    ExpectSameImage(image, parsed.image);
                    EXPECT_EQ(file, WriteOrFail(PspImage(image), compression)) << "output not deterministic";
                }
}

TEST(PspWriter, WholeImageLayerAndFullWhiteTerminatedPalette) {
    PspImage image;
    image.width = 3;
    image.height = 2;
    for (int i = 0; i < 256; ++i) image.palette.push_back({uint8_t(i), 0, uint8_t(255 - i)});
    image.palette[255] = {255, 255, 255};
    image.layers.push_back({"only", 0, 0, 0, 0, {0, 1, 2, 253, 254, 255}, {}});
    Parsed parsed = ParseOrFail(WriteOrFail(image, PspCompression::None));
    ExpectSameImage(image, parsed.image);
}

// Writes one 8-bit single-layer image with run-length packing; returns its packed pixel channel.
Bytes PackedPixels(const Bytes& pixels, uint32_t width) {
    PspImage image;
    image.width = width;
    image.height = static_cast<uint32_t>(pixels.size() / width);
    for (int i = 0; i < 256; ++i) image.palette.push_back({uint8_t(i), uint8_t(i), uint8_t(i)});
    image.layers.push_back({"", 0, 0, 0, 0, pixels, {}});
    Parsed parsed = ParseOrFail(WriteOrFail(image, PspCompression::RunLength));
    if (parsed.layers.size() != 1) return {};
    EXPECT_TRUE(parsed.layers[0].layer.pixels == pixels);
    return parsed.layers[0].channels.at(0).packed;
}

TEST(PspWriter, RunLengthLimitsAndPacking) {
    // Equal bytes: runs of at most 127 cost two bytes each; a leftover of one or two goes out as literals.
    const std::pair<size_t, size_t> runs[] = {{1, 2},   {2, 3},   {3, 2},   {127, 2}, {128, 4},
                                              {129, 5}, {130, 4}, {254, 4}, {300, 6}, {1000, 16}};
    for (auto [length, packed] : runs)
        EXPECT_EQ(packed, PackedPixels(Bytes(length, 9), static_cast<uint32_t>(length)).size()) << length;

    // Alternating bytes: literal stretches of at most 128.
    for (size_t length : {2, 128, 129, 256, 300}) {
        Bytes pixels(length);
        for (size_t i = 0; i < length; ++i) pixels[i] = i % 2 ? 200 : 7;
        EXPECT_EQ(length + (length + 127) / 128, PackedPixels(pixels, 1).size()) << length;
    }

    // Mixed content over odd widths, the 1-pixel image and runs crossing row ends all decode exactly.
    EXPECT_EQ(Bytes({1, 42}), PackedPixels({42}, 1));
    for (uint32_t width : {1u, 3u, 7u, 127u, 129u}) {
        g_seed = width;
        PackedPixels(Content(width * 5, 255), width);
    }
    Bytes pairs;
    for (int i = 0; i < 150; ++i) pairs.insert(pairs.end(), {uint8_t(i), uint8_t(i)});
    pairs.insert(pairs.end(), 3, 77);
    EXPECT_EQ(300 + 3 + 2, PackedPixels(pairs, 101).size());
}

TEST(PspWriter, RejectsBadInputWithoutTouchingOutput) {
    const std::pair<std::string, std::function<void(PspImage&, PspCompression&)>> cases[] = {
        {"image size 0x23", [](PspImage& i, PspCompression&) { i.width = 0; }},
        {"outside 1..32767", [](PspImage& i, PspCompression&) { i.height = kPspMaxDimension + 1; }},
        {"bit depth 16", [](PspImage& i, PspCompression&) { i.bits = 16; }},
        {"unknown compression 3", [](PspImage&, PspCompression& c) { c = static_cast<PspCompression>(3); }},
        {"1 to 256 palette entries, not 0", [](PspImage& i, PspCompression&) { i.palette.clear(); }},
        {"not 257",
         [](PspImage& i, PspCompression&) {
             i.palette.resize(257, {255, 255, 255});
         }},
        {"entry 255 must be white", [](PspImage& i, PspCompression&) { i.palette.resize(256); }},
        {"24-bit image carries no palette",
         [](PspImage& i, PspCompression&) {
             i = MakeImage(24, MaskKind::None, false);
             i.palette.push_back({});
         }},
        {"no layers", [](PspImage& i, PspCompression&) { i.layers.clear(); }},
        {"layer 1: 528 pixel bytes, expected 527",
         [](PspImage& i, PspCompression&) { i.layers[1].pixels.push_back(0); }},
        {"layer 0: 850 mask bytes, expected 851",
         [](PspImage& i, PspCompression&) { i.layers[0].mask.pop_back(); }},
        {"layer 2: pixel 0 uses index 200 beyond the palette of 200",
         [](PspImage& i, PspCompression&) { i.layers[2].pixels[0] = 200; }},
        {"layer 2: rectangle 1x1 at (37, 22) is not inside",
         [](PspImage& i, PspCompression&) { i.layers[2].left = 37; }},
        {"layer 1: rectangle 31x0", [](PspImage& i, PspCompression&) { i.layers[1].height = 0; }},
        {"layer 0: name longer", [](PspImage& i, PspCompression&) { i.layers[0].name.assign(65536, 'x'); }},
        {"selection rectangle 33x20 at (5, 1) is not inside",
         [](PspImage& i, PspCompression&) { i.selection->left = 5; }},
        {"selection has 0 mask bytes, expected 660",
         [](PspImage& i, PspCompression&) { i.selection->mask.clear(); }},
    };
    for (const auto& [message, spoil] : cases) {
        PspImage image = MakeImage(8, MaskKind::Graded, true);
        PspCompression compression = PspCompression::RunLength;
        spoil(image, compression);
        Bytes out = {1, 2, 3};
        std::string error;
        EXPECT_FALSE(WritePsp(image, compression, out, &error)) << message;
        EXPECT_THAT(error, testing::HasSubstr(message));
        EXPECT_EQ(Bytes({1, 2, 3}), out);
        EXPECT_FALSE(WritePsp(image, compression, out, nullptr));
    }
}

TEST(PspWriter, FileHelperWritesTheSameBytesOrReportsWhy) {
    PspImage image = MakeImage(24, MaskKind::Binary, true);
    const std::string path = testing::TempDir() + "psp_writer_test.psp";
    std::string error;
    ASSERT_TRUE(WritePspFile(image, PspCompression::Deflate, path, &error)) << error;
    std::ifstream file(path, std::ios::binary);
    Bytes written((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(WriteOrFail(image, PspCompression::Deflate), written);
    std::remove(path.c_str());

    const std::string missing = testing::TempDir() + "no-such-folder/out.psp";
    EXPECT_FALSE(WritePspFile(image, PspCompression::None, missing, &error));
    EXPECT_THAT(error, testing::HasSubstr("cannot create " + missing));

    image.layers.clear();
    EXPECT_FALSE(WritePspFile(image, PspCompression::None, path, &error));
    EXPECT_FALSE(std::ifstream(path).good()) << "a rejected image still created a file";
}

Bytes Pnm(const std::string& header, const Bytes& pixels) {
    Bytes out(header.begin(), header.end());
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

TEST(PspWriteCommand, ReadsBinaryPicturesAndRejectsDamagedOnes) {
    PnmPicture picture;
    std::string error;
    ASSERT_TRUE(
        ReadPnm(Pnm("P6\n# made by hand\n2 1 # two pixels\n255\n", {1, 2, 3, 10, 11, 12}), picture, &error))
        << error;
    EXPECT_EQ(2u, picture.width);
    EXPECT_EQ(3, picture.channels);
    EXPECT_EQ(Bytes({1, 2, 3, 10, 11, 12}), picture.pixels);
    // The byte after the maximum is the only separator: a pixel value that looks like white space stays.
    ASSERT_TRUE(ReadPnm(Pnm("P5 1 2 255\n", {'\n', 200}), picture, &error)) << error;
    EXPECT_EQ(Bytes({'\n', 200}), picture.pixels);

    const std::pair<Bytes, std::string> bad[] = {
        {Pnm("P3 1 1 255\n", {1, 2, 3}), "not a binary PPM"},
        {Pnm("P6 1 1 65535\n", {1, 2, 3, 4, 5, 6}), "maximum value 65535 is not 255"},
        {Pnm("P6 2 2 255\n", {1, 2, 3}), "truncated: 3 of 12 bytes"},
        {Pnm("P5 2 # no height", {}), "damaged picture header"},
        {Pnm("P5 1 99999999999 255\n", {}), "damaged picture header"},
        {Pnm("P5 40000 1 255\n", {}), "picture size 40000x1 is outside"},
        {Pnm("P5 0 1 255\n", {}), "picture size 0x1"},
        {Pnm("P5 1 1 255", {}), "damaged picture header"},
    };
    for (const auto& [data, message] : bad) {
        EXPECT_FALSE(ReadPnm(data, picture, &error)) << message;
        EXPECT_THAT(error, testing::HasSubstr(message));
    }
}

class PspWriteFiles : public testing::Test {
protected:
    std::string Put(const std::string& name, const Bytes& data) {
        std::string path = testing::TempDir() + name;
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), data.size());
        paths_.push_back(path);
        return path;
    }
    Parsed Run(std::vector<std::string> args) {
        std::string out = testing::TempDir() + "pspwrite_out.psp", error;
        paths_.push_back(out);
        args.insert(args.begin(), out);
        EXPECT_TRUE(RunPspWrite(args, &error)) << error;
        std::ifstream file(out, std::ios::binary);
        return ParseOrFail(Bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>()));
    }
    void TearDown() override {
        for (const std::string& path : paths_) std::remove(path.c_str());
    }
    std::vector<std::string> paths_;
};

TEST_F(PspWriteFiles, BuildsLayersMasksSelectionAndPalettes) {
    const Bytes red = {255, 0, 0, 255, 0, 0, 0, 0, 255}, mixed = {1, 2, 3, 255, 255, 255, 1, 2, 3};
    const std::string a = Put("a.ppm", Pnm("P6 3 1 255\n", red)),
                      b = Put("b.ppm", Pnm("P6 3 1 255\n", mixed));
    const std::string mask = Put("m.pgm", Pnm("P5 3 1 255\n", {0, 128, 255}));
    const std::string grey = Put("g.pgm", Pnm("P5 3 1 255\n", {9, 8, 7}));

    Parsed colour = Run({"-c", "rle", "-s", grey, a, "-m", mask, b});
    EXPECT_EQ(1, colour.compression);
    ASSERT_EQ(2u, colour.image.layers.size());
    EXPECT_EQ(24, colour.image.bits);
    EXPECT_EQ("a.ppm", colour.image.layers[0].name);
    EXPECT_EQ(red, colour.image.layers[0].pixels);
    EXPECT_TRUE(colour.image.layers[0].mask.empty());
    EXPECT_EQ(mixed, colour.image.layers[1].pixels);
    EXPECT_EQ(Bytes({0, 128, 255}), colour.image.layers[1].mask);
    ASSERT_TRUE(colour.image.selection.has_value());
    EXPECT_EQ(Bytes({9, 8, 7}), colour.image.selection->mask);

    Parsed paletted = Run({"-c", "deflate", "-8", a, b});
    ASSERT_EQ(2u, paletted.image.layers.size());
    EXPECT_EQ(8, paletted.image.bits);
    EXPECT_EQ(4u, paletted.image.palette.size());
    for (size_t i = 0; i < 2; ++i)
        for (size_t p = 0; p < 3; ++p) {
            const PspColor& entry = paletted.image.palette.at(paletted.image.layers[i].pixels.at(p));
            const Bytes& want = i == 0 ? red : mixed;
            EXPECT_EQ(Bytes({want[3 * p], want[3 * p + 1], want[3 * p + 2]}),
                      Bytes({entry.red, entry.green, entry.blue}));
        }

    Parsed greyImage = Run({grey});
    EXPECT_EQ(8, greyImage.image.bits);
    EXPECT_EQ(256u, greyImage.image.palette.size());
    EXPECT_EQ(Bytes({9, 8, 7}), greyImage.image.layers.at(0).pixels);
}

TEST_F(PspWriteFiles, FullPalettePutsWhiteLastOrFails) {
    Bytes all;
    for (int i = 0; i < 256; ++i)
        all.insert(all.end(),
                   {uint8_t(i == 3 ? 255 : i), uint8_t(i == 3 ? 255 : 0), uint8_t(i == 3 ? 255 : 0)});
    Parsed parsed = Run({"-8", Put("w.ppm", Pnm("P6 256 1 255\n", all))});
    ASSERT_EQ(256u, parsed.image.palette.size());
    EXPECT_EQ(255, parsed.image.layers.at(0).pixels.at(3));
    EXPECT_EQ(254, parsed.image.layers.at(0).pixels.at(255));

    all[9] = 7; // no white any more
    std::string error, out = testing::TempDir() + "pspwrite_fail.psp";
    EXPECT_FALSE(RunPspWrite({out, "-8", Put("nw.ppm", Pnm("P6 256 1 255\n", all))}, &error));
    EXPECT_THAT(error, testing::HasSubstr("256 colours without white"));
    all.insert(all.end(), {1, 2, 3});
    EXPECT_FALSE(RunPspWrite({out, "-8", Put("many.ppm", Pnm("P6 257 1 255\n", all))}, &error));
    EXPECT_THAT(error, testing::HasSubstr("more than 256 colours"));
    EXPECT_FALSE(std::ifstream(out).good());
}

TEST_F(PspWriteFiles, RejectsBadArguments) {
    const std::string ppm = Put("c.ppm", Pnm("P6 1 1 255\n", {1, 2, 3}));
    const std::string pgm = Put("d.pgm", Pnm("P5 1 1 255\n", {1}));
    const std::string wide = Put("e.ppm", Pnm("P6 2 1 255\n", {1, 2, 3, 4, 5, 6}));
    const std::string out = testing::TempDir() + "pspwrite_bad.psp";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{out}, "at least one layer"},
        {{out, ppm, "-m"}, "-m needs a value"},
        {{out, ppm, "-m", pgm}, "is not followed by a layer"},
        {{"-c", "lzw", out, ppm}, "unknown compression lzw"},
        {{"-x", out, ppm}, "unknown option -x"},
        {{out, ppm, pgm}, "cannot be mixed"},
        {{out, ppm, wide}, "size differs"},
        {{out, "-m", ppm, ppm}, "must be a PGM"},
        {{out, testing::TempDir() + "missing.ppm"}, "cannot open"},
    };
    for (const auto& [args, message] : cases) {
        std::string error;
        EXPECT_FALSE(RunPspWrite(args, &error)) << message;
        EXPECT_THAT(error, testing::HasSubstr(message));
    }
    EXPECT_FALSE(std::ifstream(out).good());
}

} // namespace
