// The pspwrite command: turns binary PPM/PGM pictures (as image converters write them) into a PSP file, to
// feed the engine's reader with arbitrary pictures during quick checks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A binary portable pixmap (P6, 3 bytes a pixel) or graymap (P5, 1 byte a pixel) with a maximum of 255.
struct PnmPicture {
    uint32_t width = 0;
    uint32_t height = 0;
    int channels = 0; // 1 for P5, 3 for P6
    std::vector<uint8_t> pixels;
};

bool ReadPnm(const std::vector<uint8_t>& data, PnmPicture& picture, std::string* error);

// Runs the command on its arguments (without the program name); see the usage text.
bool RunPspWrite(const std::vector<std::string>& args, std::string* error);

extern const char kPspWriteUsage[];
