#include "ico_writer.h"

namespace {

void U16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void U32(std::vector<uint8_t>& out, uint32_t v) {
    U16(out, v & 0xFFFF);
    U16(out, v >> 16);
}

constexpr uint32_t kDirectoryEntrySize = 16;
constexpr uint32_t kBitmapHeaderSize = 40;

uint32_t MaskStride(int size) { return ((static_cast<uint32_t>(size) + 31) / 32) * 4; }

} // namespace

bool WriteIco(const std::vector<IconImage>& images, std::vector<uint8_t>& out, std::string* error) {
    if (images.empty() || images.size() > 0xFFFF) {
        if (error) *error = "an icon needs between 1 and 65535 images";
        return false;
    }
    for (const IconImage& image : images)
        if (image.size < 1 || image.size > 256 || image.rgba.size() != size_t(image.size) * image.size * 4) {
            if (error) *error = "icon image of size " + std::to_string(image.size) + " is malformed";
            return false;
        }
    std::vector<uint8_t> bytes;
    U16(bytes, 0); // reserved
    U16(bytes, 1); // icon, not cursor
    U16(bytes, static_cast<uint32_t>(images.size()));
    uint32_t offset = 6 + kDirectoryEntrySize * static_cast<uint32_t>(images.size());
    for (const IconImage& image : images) {
        const uint32_t n = static_cast<uint32_t>(image.size);
        const uint32_t length = kBitmapHeaderSize + n * n * 4 + MaskStride(image.size) * n;
        bytes.push_back(static_cast<uint8_t>(n == 256 ? 0 : n)); // 0 stands for 256
        bytes.push_back(static_cast<uint8_t>(n == 256 ? 0 : n));
        bytes.push_back(0); // no palette
        bytes.push_back(0); // reserved
        U16(bytes, 1);      // planes
        U16(bytes, 32);     // bits per pixel
        U32(bytes, length);
        U32(bytes, offset);
        offset += length;
    }
    for (const IconImage& image : images) {
        const uint32_t n = static_cast<uint32_t>(image.size);
        U32(bytes, kBitmapHeaderSize);
        U32(bytes, n);
        U32(bytes, n * 2); // colour rows and mask rows together
        U16(bytes, 1);
        U16(bytes, 32);
        U32(bytes, 0); // uncompressed
        U32(bytes, n * n * 4 + MaskStride(image.size) * n);
        for (int i = 0; i < 4; ++i) U32(bytes, 0);
        // Rows bottom up, blue-green-red-alpha.
        for (int y = image.size - 1; y >= 0; --y)
            for (int x = 0; x < image.size; ++x) {
                const uint8_t* p = &image.rgba[(size_t(y) * n + x) * 4];
                bytes.insert(bytes.end(), {p[2], p[1], p[0], p[3]});
            }
        for (int y = image.size - 1; y >= 0; --y) {
            std::vector<uint8_t> row(MaskStride(image.size), 0);
            for (int x = 0; x < image.size; ++x)
                if (image.rgba[(size_t(y) * n + x) * 4 + 3] < 128) row[x / 8] |= uint8_t(0x80 >> (x % 8));
            bytes.insert(bytes.end(), row.begin(), row.end());
        }
    }
    out = std::move(bytes);
    return true;
}
