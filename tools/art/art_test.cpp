// Tests of the drawing library: palette parsing and quantising, the picture checks, label files, text.
#include <gtest/gtest.h>

#include <stdexcept>

#include "canvas.h"
#include "labels.h"
#include "palette.h"
#include "picture_table.h"
#include "psp_writer.h"
#include "text.h"

namespace {

const char kSmallPalette[] = "colour 255,0,0\nramp 3 0,0,100 0,0,200\n# comment\ncolour 20,200,20\n";

TEST(Palette, RampsAndColoursFillTheEntriesBetweenBlackAndWhite) {
    const Palette p = Palette::Parse(kSmallPalette);
    ASSERT_EQ(p.Entries().size(), 256u);
    EXPECT_EQ(p.Entries()[0], (Rgb8{0, 0, 0}));
    EXPECT_EQ(p.Entries()[1], kKeyRed);
    EXPECT_EQ(p.Entries()[2], (Rgb8{0, 0, 100}));
    EXPECT_EQ(p.Entries()[3], (Rgb8{0, 0, 150}));
    EXPECT_EQ(p.Entries()[5], (Rgb8{20, 200, 20}));
    EXPECT_EQ(p.Entries()[255], (Rgb8{255, 255, 255}));
    EXPECT_EQ(p.KeyIndex(), 1);
    EXPECT_EQ(p.DistinctColours(), 5);
}

TEST(Palette, MalformedOrOversizedDescriptionsAreRefusedWithTheLine) {
    EXPECT_THROW(Palette::Parse("colour 256,0,0\n"), std::runtime_error);
    EXPECT_THROW(Palette::Parse("colour 1,2\n"), std::runtime_error);
    EXPECT_THROW(Palette::Parse("ramp 1 0,0,0 1,1,1\n"), std::runtime_error);
    EXPECT_THROW(Palette::Parse("ramp 4 0,0,0\n"), std::runtime_error);
    EXPECT_THROW(Palette::Parse("swatch 1,2,3\n"), std::runtime_error);
    EXPECT_THROW(Palette::Parse("ramp 255 0,0,0 255,255,255\n"), std::runtime_error);
    try {
        Palette::Parse("colour 1,2,3\n\ncolour x\n");
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("line 3"), std::string::npos);
    }
}

TEST(Palette, QuantisingNeverLeavesThePaletteNorProducesTheKeyForVisiblePixels) {
    const Palette p = Palette::Parse(kSmallPalette);
    Canvas canvas(16, 16, Color{0, 0, 0});
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) canvas.Set(x, y, Color{x * 17.0f, y * 3.0f, 0}); // reds included
    for (uint8_t index : p.QuantiseOpaque(canvas)) {
        EXPECT_NE(index, p.KeyIndex());
        EXPECT_TRUE(index <= 5 || index == 255) << int(index);
    }
    EXPECT_EQ(p.Nearest(Color{0, 0, 140}), 3);
    EXPECT_EQ(p.Nearest(Color{250, 250, 250}), 255);
}

TEST(Palette, KeyedPicturesBlendEdgesIntoTheColourTheyStandOn) {
    const Palette p = Palette::Parse(kSmallPalette);
    Canvas canvas(3, 1, Color{20, 200, 20}, 0.0f);
    canvas.Set(1, 0, Color{0, 0, 200}, 0.5f); // half covered: mixes with the ground
    canvas.Set(2, 0, Color{20, 200, 20}, 1.0f);
    const auto indices = p.QuantiseKeyed(canvas, Color{0, 0, 100});
    EXPECT_EQ(indices[0], p.KeyIndex());
    EXPECT_EQ(indices[1], 3); // (0,0,150), half way between the blue and the ground
    EXPECT_EQ(indices[2], 5);
    EXPECT_THROW(Palette::Parse("colour 1,2,3\n").QuantiseKeyed(canvas, Color{}), std::runtime_error);
}

DecodedPicture Decode(const PspImage& image) {
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(WritePsp(image, PspCompression::Deflate, bytes, &error)) << error;
    DecodedPicture picture;
    EXPECT_TRUE(ReadPspBytes(bytes, picture, error)) << error;
    return picture;
}

// A 2 x 1 tiled picture of 8 x 4 pixels; pixel (x, y) of the layer gets index fill(x, y).
template <typename Fn>
PspImage Picture(int width, int height, Fn fill) {
    PspImage image;
    image.width = width;
    image.height = height;
    image.palette.assign(256, PspColor{10, 20, 30});
    image.palette[1] = {255, 0, 0};
    image.palette[2] = {200, 10, 10};
    image.palette[255] = {255, 255, 255};
    PspLayer layer;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) layer.pixels.push_back(static_cast<uint8_t>(fill(x, y)));
    image.layers.push_back(layer);
    return image;
}

TEST(PictureChecks, ReadBackPicturesAreCheckedAgainstTheirRow) {
    const PictureSpec keyed{900, 8, 4, true, 2, 1, false, "t", {}};
    const PictureSpec opaque{901, 8, 4, false, 2, 1, false, "t", {}};
    // Each tile has a visible centre and a transparent rim.
    auto good = [](int x, int y) { return (x % 4 == 0 || x % 4 == 3 || y == 0) ? 1 : 2; };
    EXPECT_TRUE(CheckPicture(keyed, 900, Decode(Picture(8, 4, good))).empty());
    // Wrong size, an empty tile, a keyed tile without transparency, and red in an opaque picture.
    EXPECT_FALSE(CheckPicture(keyed, 900, Decode(Picture(8, 5, good))).empty());
    EXPECT_FALSE(
        CheckPicture(keyed, 900, Decode(Picture(8, 4, [](int x, int) { return x < 4 ? 1 : 2; }))).empty());
    EXPECT_FALSE(
        CheckPicture(keyed, 900, Decode(Picture(8, 4, [](int x, int) { return x < 4 ? 2 : 1; }))).empty());
    EXPECT_FALSE(CheckPicture(opaque, 901, Decode(Picture(8, 4, good))).empty());
    EXPECT_TRUE(CheckPicture(opaque, 901, Decode(Picture(8, 4, [](int, int) { return 2; }))).empty());
    // Labels need a transparent column at both sides of every tile.
    const PictureSpec labels{715, 8, 4, true, 2, 1, true, "t", {}};
    EXPECT_FALSE(CheckPicture(labels, 715,
                              Decode(Picture(8, 4, [](int x, int y) { return y == 0 || x == 3 ? 1 : 2; })))
                     .empty());
}

TEST(PictureChecks, TheSetTableHasThirtyThreeConsistentPictures) {
    const std::vector<int> ids = GamePictureIds();
    EXPECT_EQ(ids.size(), 33u);
    for (int id : ids) {
        const PictureSpec* entry = FindPicture(id);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->width % entry->columns, 0) << id;
        EXPECT_EQ(entry->height % entry->rows, 0) << id;
    }
    EXPECT_EQ(FindPicture(733), nullptr);
    EXPECT_EQ(FindPicture(701 + 1)->id, 702); // a neutral id is not a language pair
}

TEST(Labels, KeysAndTextsAreTrimmedAndErrorsNamed) {
    const auto labels = ParseLabels("# note\n a = Nova ludo \nb=ŝanĝo\n");
    EXPECT_EQ(labels.at("a"), "Nova ludo");
    EXPECT_EQ(labels.at("b"), "ŝanĝo");
    EXPECT_THROW(ParseLabels("a = 1\na = 2\n"), std::runtime_error);
    EXPECT_THROW(ParseLabels("no equals sign\n"), std::runtime_error);
}

TEST(Text, Utf8DecodesEsperantoLettersAndRefusesBrokenSequences) {
    EXPECT_EQ(DecodeUtf8("ĉĝĥĵŝŭ"), U"ĉĝĥĵŝŭ");
    EXPECT_THROW(DecodeUtf8("\xc4"), std::runtime_error);
    EXPECT_THROW(DecodeUtf8("\xc4\x41"), std::runtime_error);
    EXPECT_THROW(DecodeUtf8("\xff"), std::runtime_error);
}

TEST(Canvas, ShapesAreAntialiasedAndCompositeOverTransparentGround) {
    Canvas c(10, 10, Color{0, 0, 0}, 0.0f);
    c.Fill([](float x, float y) { return SdfCircle(x, y, 5, 5, 3.2f); }, Color{255, 255, 255});
    EXPECT_FLOAT_EQ(c.AlphaAt(5, 5), 1.0f);
    EXPECT_FLOAT_EQ(c.AlphaAt(0, 0), 0.0f);
    EXPECT_FLOAT_EQ(c.AlphaAt(7, 5), 1.0f);      // pixel centre 2.5 from the centre: well inside
    EXPECT_NEAR(c.AlphaAt(8, 5), 0.164f, 0.01f); // centre (8.5, 5.5) lies 0.34 outside the rim
    EXPECT_FLOAT_EQ(c.AlphaAt(9, 5), 0.0f);
    EXPECT_FLOAT_EQ(c.At(5, 5).r, 255.0f);
}

} // namespace
