// Writes layered PSP images (the block format the engine's image reader loads), so that asset generators
// and tests can produce pictures without the paint program. Plain C++17 plus zlib, for host and target.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// How every channel of a file is packed; one choice holds for the whole file.
enum class PspCompression : uint16_t { None = 0, RunLength = 1, Deflate = 2 };

struct PspColor {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
};

// One layer: a rectangle of the image with its own pixels and, optionally, a mask. The reader turns a mask
// of only 0 and 255 into a transparent colour and a mask with values in between into per-pixel opacity.
struct PspLayer {
    std::string name; // stored in the file (at most 65535 bytes), ignored by the engine
    uint32_t left = 0;
    uint32_t top = 0;
    uint32_t width = 0; // width and height both 0: the whole image
    uint32_t height = 0;
    // Row by row, no padding. 8 bits: one palette index per pixel; 24 bits: red, green, blue per pixel.
    std::vector<uint8_t> pixels;
    // Empty for no mask, else one byte per layer pixel: 0 fully transparent up to 255 opaque.
    std::vector<uint8_t> mask;
};

// A selection: one byte per pixel of a rectangle of the image (0 unselected, 255 selected).
struct PspSelection {
    uint32_t left = 0;
    uint32_t top = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> mask;
};

struct PspImage {
    uint32_t width = 0;
    uint32_t height = 0;
    int bits = 8; // 8 (paletted) or 24
    // 8 bits only: 1 to 256 entries. The reader forces entry 255 to white, so a full palette must have
    // white there.
    std::vector<PspColor> palette;
    std::vector<PspLayer> layers; // at least one; the first is what a plain graphic shows
    std::optional<PspSelection> selection;
};

// Largest width or height accepted; keeps every length the format stores within 32 bits.
constexpr uint32_t kPspMaxDimension = 32767;

// Serialises the image (format version 5.0). On failure returns false, leaves `out` unchanged and, when
// `error` is given, says what was wrong with the input.
bool WritePsp(const PspImage& image, PspCompression compression, std::vector<uint8_t>& out,
              std::string* error);

// As WritePsp, then writes the bytes to `path`; a failed write removes the partial file.
bool WritePspFile(const PspImage& image, PspCompression compression, const std::string& path,
                  std::string* error);
