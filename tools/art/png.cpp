#include "png.h"

#include <cstdio>

#include <zlib.h>

namespace {
void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}
void Chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
    Put32(out, static_cast<uint32_t>(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    Put32(out, static_cast<uint32_t>(crc32(0, &out[start], static_cast<uInt>(out.size() - start))));
}
} // namespace

bool WritePng(const std::string& path, int width, int height, const std::vector<Rgb8>& pixels,
              std::string& error) {
    if (width <= 0 || height <= 0 || pixels.size() != static_cast<size_t>(width) * height)
        return error = "bad picture size", false;
    std::vector<uint8_t> raw;
    raw.reserve(static_cast<size_t>(height) * (width * 3 + 1));
    for (int y = 0; y < height; ++y) {
        raw.push_back(0); // no filter
        for (int x = 0; x < width; ++x) {
            const Rgb8& p = pixels[static_cast<size_t>(y) * width + x];
            raw.insert(raw.end(), {p.r, p.g, p.b});
        }
    }
    uLongf packedSize = compressBound(raw.size());
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), raw.size(), 6) != Z_OK)
        return error = "zlib failed", false;
    packed.resize(packedSize);
    std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    Put32(header, width);
    Put32(header, height);
    header.insert(header.end(), {8, 2, 0, 0, 0});
    Chunk(file, "IHDR", header);
    Chunk(file, "IDAT", packed);
    Chunk(file, "IEND", {});
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return error = "cannot write " + path, false;
    const bool ok = std::fwrite(file.data(), 1, file.size(), f) == file.size();
    if (std::fclose(f) != 0 || !ok) return std::remove(path.c_str()), error = "cannot write " + path, false;
    return true;
}
