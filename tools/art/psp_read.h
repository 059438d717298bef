// A small host-side reader for the PSP files the generators write, so the build can check the files it
// produced (sizes, keys, colours) and render them on the contact sheet from the bytes that ship.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "palette.h"

struct DecodedPicture {
    int width = 0, height = 0, bits = 0;
    std::vector<Rgb8> palette;  // 256 entries for 8-bit pictures (entry 255 white, as the game sees it)
    std::vector<uint8_t> index; // 8-bit: palette index per pixel
    std::vector<Rgb8> rgb;      // colour per pixel (both depths)
    std::vector<uint8_t> mask;  // empty, or one byte per pixel of the first layer's mask
};

// Reads the first layer; false with a reason on anything it does not understand.
bool ReadPspBytes(const std::vector<uint8_t>& data, DecodedPicture& out, std::string& error);
bool ReadPspFile(const std::string& path, DecodedPicture& out, std::string& error);

// The faults of a picture's layout against what a table asks of it: its size, its depth, a whole
// number of `cell`s ("tiles", "cells"), and no mask (`keyedOn` names the colour keyed on instead).
// Each fault starts with `what`; an empty list means the layout is right.
std::vector<std::string> CheckPictureLayout(const std::string& what, const DecodedPicture& picture, int width,
                                            int height, int bits, int columns, int rows,
                                            const std::string& cell, const std::string& keyedOn);
