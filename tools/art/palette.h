// The shared 256-colour palette of the game's pictures and the quantiser that maps drawn canvases onto it.
// Index 0 is black and 255 white (the image reader forces 255 to white); the rest comes from ramps
// described in a text file, so the colour budget is designed, not discovered.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "canvas.h"

struct Rgb8 {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb8& o) const { return r == o.r && g == o.g && b == o.b; }
    bool operator<(const Rgb8& o) const { return r != o.r ? r < o.r : g != o.g ? g < o.g : b < o.b; }
};

constexpr Rgb8 kKeyRed{255, 0, 0};

class Palette {
public:
    // Parses the palette description:
    //   colour <r>,<g>,<b>                 one entry
    //   ramp <count> <r,g,b> <r,g,b> ...   `count` entries spread evenly along the anchors
    // Blank lines and lines starting with '#' are ignored. Throws std::runtime_error with the line number
    // on a malformed line, or when the entries do not fit between black (0) and white (255).
    static Palette Parse(const std::string& text);
    static Palette Load(const std::string& path);

    const std::vector<Rgb8>& Entries() const { return entries_; } // always 256
    // Distinct colours other than black and white (the budget the whole set must keep within).
    int DistinctColours() const;
    // Index of pure red, or -1 when the palette has none (then no picture may be keyed).
    int KeyIndex() const { return keyIndex_; }

    // Nearest visible entry (never the key colour).
    uint8_t Nearest(Color c) const;
    // Opaque picture: every pixel's colour as is (alpha is ignored).
    std::vector<uint8_t> QuantiseOpaque(const Canvas& canvas) const;
    // Keyed picture: pixels whose alpha is below `threshold` become the key; the others are first
    // composited over `standOn`, the colour the picture will be shown on, so edges blend into it.
    std::vector<uint8_t> QuantiseKeyed(const Canvas& canvas, Color standOn, float threshold = 0.3f) const;

private:
    std::vector<Rgb8> entries_;
    int keyIndex_ = -1;
    mutable std::vector<int32_t> cache_; // buckets of 6-bit-per-channel colours, -1 unknown
};
