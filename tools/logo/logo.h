// The maker's logo splash: the 20-frame picture (frames stacked top to bottom, opaque, its own palette)
// and the packing of every splash resource as a 4-byte little-endian size followed by an LZO1X-1 stream.
#pragma once

#include <cstdint>
#include <vector>

#include "canvas.h"
#include "text.h"

constexpr int kLogoWidth = 176, kLogoFrameHeight = 72, kLogoFrames = 20;

// Frame k: 0 to 12 the six letter tiles drop in one after another; 13 to 19 a light sweeps the name.
Canvas DrawLogoFrame(TextRenderer& text, int font, int frame);
// The whole picture as PSP bytes (8-bit, uncompressed channels; the LZO packing does the shrinking).
std::vector<uint8_t> DrawLogoPsp(TextRenderer& text, int font);
// Size prefix plus LZO1X-1 stream; throws std::runtime_error when the library fails (call lzo_init first).
std::vector<uint8_t> PackLzo(const std::vector<uint8_t>& data);
