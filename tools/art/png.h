// Writes 24-bit PNG files (for the contact sheet that shows every generated picture at a glance).
#pragma once

#include <string>
#include <vector>

#include "palette.h"

// Pixels row by row; false with a reason when the file cannot be written.
bool WritePng(const std::string& path, int width, int height, const std::vector<Rgb8>& pixels,
              std::string& error);
