// Logo splash: the LZO packing read back with the library's own safe decompressor (size prefix, exact
// bytes, damaged streams refused), the generated resources unpacked, and the picture's frame layout.
#include "logo.h"
#include "psp_read.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>

#include <lzo/lzo1x.h>

namespace {

using Bytes = std::vector<uint8_t>;

// Unpacks a size-prefixed block; false for anything malformed (never reads or writes out of bounds).
bool Unpack(const Bytes& block, Bytes& out) {
    if (block.size() < 4) return false;
    const uint32_t size = block[0] | block[1] << 8 | block[2] << 16 | uint32_t(block[3]) << 24;
    out.assign(size, 0);
    lzo_uint produced = size;
    const int result =
        lzo1x_decompress_safe(block.data() + 4, block.size() - 4, out.data(), &produced, nullptr);
    return result == LZO_E_OK && produced == size;
}

Bytes ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class Logo : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(lzo_init(), LZO_E_OK); }
};

TEST_F(Logo, PackedBlocksCarryTheirSizeAndUnpackToTheSameBytes) {
    std::mt19937 random(7);
    Bytes noise(5000), runs(70000, 0x11), mixed;
    for (uint8_t& v : noise) v = uint8_t(random());
    for (int i = 0; i < 3000; ++i) mixed.push_back(i % 200 < 100 ? uint8_t(i) : uint8_t(random()));
    for (const Bytes* data : {&noise, &runs, &mixed}) {
        const Bytes block = PackLzo(*data);
        ASSERT_GE(block.size(), 4u);
        EXPECT_EQ(block[0] | block[1] << 8 | block[2] << 16 | uint32_t(block[3]) << 24, data->size());
        Bytes back;
        ASSERT_TRUE(Unpack(block, back));
        EXPECT_EQ(back, *data);
    }
    EXPECT_LT(PackLzo(runs).size(), runs.size() / 20);
}

TEST_F(Logo, DamagedBlocksAreRefused) {
    Bytes data(4000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 7 / 5);
    const Bytes block = PackLzo(data);
    Bytes back;
    for (size_t cut : {size_t(3), size_t(5), block.size() / 2, block.size() - 1})
        EXPECT_FALSE(Unpack(Bytes(block.begin(), block.begin() + cut), back)) << cut;
    Bytes shortSize = block;
    shortSize[0] = uint8_t(data.size() - 1); // the stream holds more than the prefix admits
    shortSize[1] = uint8_t((data.size() - 1) >> 8);
    EXPECT_FALSE(Unpack(shortSize, back));
}

TEST_F(Logo, ResourcesUnpackToThePictureAndThreeWaves) {
    Bytes picture;
    ASSERT_TRUE(Unpack(ReadAll(VEXLIN_LOGO_DIR "/logo-5000.lzo"), picture));
    EXPECT_EQ(picture, ReadAll(VEXLIN_LOGO_DIR "/logo-picture.psp"));
    for (int id : {5001, 5002, 5003}) {
        Bytes wave;
        ASSERT_TRUE(Unpack(ReadAll(VEXLIN_LOGO_DIR "/logo-" + std::to_string(id) + ".lzo"), wave)) << id;
        ASSERT_GE(wave.size(), 44u);
        EXPECT_EQ(std::string(wave.begin(), wave.begin() + 4), "RIFF");
        EXPECT_EQ(std::string(wave.begin() + 8, wave.begin() + 12), "WAVE");
        EXPECT_EQ(wave[4] | wave[5] << 8 | wave[6] << 16 | uint32_t(wave[7]) << 24, wave.size() - 8);
    }
}

// The splash cuts the picture into 20 full-width strips; each must show its own step of the animation.
TEST_F(Logo, PictureStacksTwentyFramesThatTellTheAnimation) {
    DecodedPicture p;
    std::string error;
    ASSERT_TRUE(ReadPspFile(VEXLIN_LOGO_DIR "/logo-picture.psp", p, error)) << error;
    ASSERT_EQ(p.width, kLogoWidth);
    ASSERT_EQ(p.height, kLogoFrameHeight * kLogoFrames);
    EXPECT_EQ(p.bits, 8);
    EXPECT_TRUE(p.mask.empty()) << "the logo is opaque";
    auto lit = [&](int frame, int x0, int x1, int y0, int y1) {
        int count = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
                const Rgb8 c = p.rgb[size_t(frame * kLogoFrameHeight + y) * p.width + x];
                count += c.r + c.g + c.b > 60;
            }
        return count;
    };
    const int tileLeft = (kLogoWidth - 6 * 26 - 5 * 2) / 2;
    auto tileShown = [&](int frame, int tile) {
        const int x = tileLeft + tile * 28;
        return lit(frame, x + 3, x + 23, 17, 37) > 300;
    };
    EXPECT_EQ(lit(0, 0, kLogoWidth, 0, kLogoFrameHeight), 0) << "frame 0 is black";
    // Tiles arrive left to right: once a tile is in place it stays, and the last one lands by frame 12.
    for (int tile = 0; tile < 6; ++tile) {
        int first = -1;
        for (int frame = 0; frame < kLogoFrames; ++frame)
            if (tileShown(frame, tile)) {
                if (first < 0) first = frame;
            } else {
                EXPECT_LT(first, 0) << "tile " << tile << " vanished in frame " << frame;
            }
        ASSERT_GE(first, 1) << tile;
        EXPECT_LE(first, 12) << tile;
    }
    // The caption under the tiles belongs to the sweep frames alone.
    for (int frame = 0; frame < kLogoFrames; ++frame)
        EXPECT_EQ(lit(frame, 0, kLogoWidth, 48, 64) > 40, frame >= 13) << frame;
    // Every frame differs from the one before: no step of the animation is wasted.
    for (int frame = 1; frame < kLogoFrames; ++frame) {
        const auto a = p.rgb.begin() + size_t(frame - 1) * kLogoFrameHeight * p.width;
        const auto b = p.rgb.begin() + size_t(frame) * kLogoFrameHeight * p.width;
        EXPECT_FALSE(std::equal(a, a + kLogoFrameHeight * p.width, b)) << frame;
    }
}

} // namespace
