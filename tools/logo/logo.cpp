#include "logo.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include <lzo/lzo1x.h>

#include "palette.h"
#include "psp_writer.h"

namespace {

const char kName[] = "Tessel";
const Color kTileColours[6] = {{236, 124, 24}, {244, 212, 52}, {40, 124, 226},
                               {200, 84, 186}, {236, 124, 24}, {40, 124, 226}};

// The logo's own palette: a grey ramp and ramps of the tile colours, all from black.
const char kLogoPalette[] = "ramp 40 8,8,10 245,245,250\n"
                            "ramp 40 20,8,0 236,124,24 255,236,210\n"
                            "ramp 40 20,16,0 244,212,52 255,250,220\n"
                            "ramp 40 0,10,30 40,124,226 220,238,255\n"
                            "ramp 40 20,0,20 200,84,186 255,226,250\n";

float EaseOut(float t) { return 1 - (1 - t) * (1 - t) * (1 - t); }

} // namespace

Canvas DrawLogoFrame(TextRenderer& text, int font, int frame) {
    Canvas c(kLogoWidth, kLogoFrameHeight, Color{0, 0, 0});
    const float tile = 26, gap = 2, left = (kLogoWidth - 6 * tile - 5 * gap) / 2, top = 14;
    for (int i = 0; i < 6; ++i) {
        const float t = std::clamp((frame - i * 1.2f) / 6.0f, 0.0f, 1.0f);
        if (t <= 0) continue;
        const float y = top - (1 - EaseOut(t)) * 60, x = left + i * (tile + gap);
        const Color base = kTileColours[i];
        c.Fill(
            [=](float px, float py) {
                return SdfRoundBox(px, py, x + tile / 2, y + tile / 2, tile / 2, tile / 2, 5);
            },
            [=](float, float py) { return Mix(Shade(base, 0.35f), Shade(base, -0.35f), (py - y) / tile); },
            t);
        int baseline = 0;
        const Mask letter = text.Render(font, std::string(1, kName[i]), 20, &baseline);
        c.Stamp(letter, static_cast<int>(x + (tile - letter.width) / 2), static_cast<int>(y + 1),
                Color{255, 255, 255}, t);
    }
    if (frame >= 13) {
        const float sweep = -20 + (frame - 13) / 6.0f * (kLogoWidth + 40);
        c.Fill([=](float px, float py) { return std::fabs(px + (py - 36) * 0.4f - sweep) - 6; },
               Color{255, 255, 255}, 0.35f);
        const Mask line = text.Render(font, "games", 12);
        c.Stamp(line, (kLogoWidth - line.width) / 2, 48, Color{200, 200, 210},
                std::min(1.0f, (frame - 12) / 4.0f));
    }
    return c;
}

std::vector<uint8_t> PackLzo(const std::vector<uint8_t>& data) {
    std::vector<uint8_t> out(4 + data.size() + data.size() / 16 + 64 + 3);
    std::vector<uint8_t> work(LZO1X_1_MEM_COMPRESS);
    lzo_uint packed = 0;
    if (lzo1x_1_compress(data.data(), data.size(), &out[4], &packed, work.data()) != LZO_E_OK)
        throw std::runtime_error("LZO compression failed");
    const uint32_t size = static_cast<uint32_t>(data.size());
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(size >> (8 * i));
    out.resize(4 + packed);
    return out;
}

std::vector<uint8_t> DrawLogoPsp(TextRenderer& text, int font) {
    const Palette palette = Palette::Parse(kLogoPalette);
    Canvas strip(kLogoWidth, kLogoFrameHeight * kLogoFrames, Color{0, 0, 0});
    for (int frame = 0; frame < kLogoFrames; ++frame)
        strip.Put(DrawLogoFrame(text, font, frame), 0, frame * kLogoFrameHeight);
    PspImage image;
    image.width = kLogoWidth;
    image.height = kLogoFrameHeight * kLogoFrames;
    for (const Rgb8& c : palette.Entries()) image.palette.push_back({c.r, c.g, c.b});
    PspLayer layer;
    layer.name = "logo";
    layer.pixels = palette.QuantiseOpaque(strip);
    image.layers.push_back(layer);
    std::vector<uint8_t> psp;
    std::string error;
    if (!WritePsp(image, PspCompression::None, psp, &error)) throw std::runtime_error(error);
    return psp;
}
