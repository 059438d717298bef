// Writes Windows icon files (.ico) holding several sizes of one picture as 32-bit images with their
// transparency masks, for the programs' icon resources.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct IconImage {
    int size = 0;              // width and height, 1 to 256
    std::vector<uint8_t> rgba; // size * size pixels, top row first, red-green-blue-alpha
};

// The icon file's bytes; false with a reason for no images, a bad size or a pixel count that does not
// match. A pixel with alpha below 128 is also marked transparent in the mask, for readers that ignore
// the alpha channel.
bool WriteIco(const std::vector<IconImage>& images, std::vector<uint8_t>& out, std::string* error);
