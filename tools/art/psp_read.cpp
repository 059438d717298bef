#include "psp_read.h"

#include <cstring>
#include <fstream>
#include <iterator>

#include <zlib.h>

namespace {

struct Cursor {
    const std::vector<uint8_t>& data;
    size_t pos = 0;
    bool ok = true;
    uint32_t Get(int bytes) {
        if (pos + bytes > data.size()) {
            ok = false;
            return 0;
        }
        uint32_t v = 0;
        for (int i = 0; i < bytes; ++i) v |= static_cast<uint32_t>(data[pos + i]) << (8 * i);
        pos += bytes;
        return v;
    }
};

bool Unpack(const uint8_t* in, size_t length, int compression, size_t expected, std::vector<uint8_t>& out) {
    out.assign(expected, 0);
    if (compression == 0) {
        if (length < expected) return false;
        std::memcpy(out.data(), in, expected);
        return true;
    }
    if (compression == 1) {
        size_t o = 0, i = 0;
        while (i < length && o < expected) {
            const uint8_t count = in[i++];
            if (count > 128) {
                if (i >= length) return false;
                for (int k = 0; k < count - 128 && o < expected; ++k) out[o++] = in[i];
                ++i;
            } else {
                for (int k = 0; k < count && i < length && o < expected; ++k) out[o++] = in[i++];
            }
        }
        return o == expected;
    }
    if (compression == 2) {
        uLongf size = expected;
        return uncompress(out.data(), &size, in, length) == Z_OK && size == expected;
    }
    return false;
}

} // namespace

bool ReadPspBytes(const std::vector<uint8_t>& data, DecodedPicture& out, std::string& error) {
    static const char kSignature[] = "Paint Shop Pro Image File\n\x1a";
    if (data.size() < 36 || std::memcmp(data.data(), kSignature, sizeof kSignature - 1) != 0)
        return error = "not a PSP file", false;
    Cursor c{data, 36};
    int compression = -1;
    bool seenLayer = false;
    out = DecodedPicture{};
    while (c.ok && c.pos + 10 <= data.size()) {
        if (c.Get(4) != 0x004B427E) break;
        const uint32_t id = c.Get(2), length = c.Get(4);
        const size_t end = c.pos + length;
        if (end > data.size()) return error = "a block runs past the end", false;
        if (id == 0) {
            const uint32_t chunk = c.Get(4);
            const size_t chunkEnd = c.pos - 4 + chunk;
            out.width = c.Get(4);
            out.height = c.Get(4);
            c.Get(4), c.Get(4), c.Get(1);
            compression = c.Get(2);
            out.bits = c.Get(2);
            c.pos = chunkEnd;
            if (out.width <= 0 || out.height <= 0 || (out.bits != 8 && out.bits != 24))
                return error = "unexpected size or depth", false;
            const size_t count = static_cast<size_t>(out.width) * out.height;
            out.index.assign(count, 0);
            out.rgb.assign(count, Rgb8{});
        } else if (id == 2) {
            const uint32_t chunk = c.Get(4), entries = c.Get(4);
            c.pos += chunk - 8;
            out.palette.assign(256, Rgb8{});
            for (uint32_t i = 0; i < entries && i < 256; ++i) {
                const uint8_t b = c.Get(1), g = c.Get(1), r = c.Get(1);
                c.Get(1);
                out.palette[i] = {r, g, b};
            }
            out.palette[255] = {255, 255, 255};
        } else if (id == 3 && !seenLayer && compression >= 0) {
            seenLayer = true;
            if (c.Get(4) != 0x004B427E || c.Get(2) != 4) return error = "layer start without a layer", false;
            c.Get(4);
            const uint32_t chunk = c.Get(4);
            const size_t chunkStart = c.pos - 4;
            c.pos += c.Get(2); // name
            c.Get(1);
            uint32_t rect[8];
            for (uint32_t& v : rect) v = c.Get(4);
            c.pos = chunkStart + chunk;
            c.Get(4);
            c.Get(2);
            const uint32_t channels = c.Get(2);
            const uint32_t left = rect[0], top = rect[1];
            const uint32_t w = rect[2] - rect[0], h = rect[3] - rect[1];
            for (uint32_t k = 0; k < channels && c.ok; ++k) {
                if (c.Get(4) != 0x004B427E || c.Get(2) != 5) return error = "bad channel block", false;
                const uint32_t blockLength = c.Get(4);
                const size_t blockEnd = c.pos + blockLength;
                const uint32_t info = c.Get(4);
                const size_t infoStart = c.pos - 4;
                const uint32_t packed = c.Get(4), unpacked = c.Get(4), type = c.Get(2), channel = c.Get(2);
                c.pos = infoStart + info;
                if (c.pos + packed > data.size() || unpacked != w * h)
                    return error = "bad channel sizes", false;
                std::vector<uint8_t> bytes;
                if (!Unpack(&data[c.pos], packed, compression, unpacked, bytes))
                    return error = "a channel does not unpack", false;
                c.pos = blockEnd;
                for (uint32_t y = 0; y < h; ++y)
                    for (uint32_t x = 0; x < w; ++x) {
                        const uint32_t px = left + x, py = top + y;
                        if (px >= uint32_t(out.width) || py >= uint32_t(out.height)) continue;
                        const size_t i = static_cast<size_t>(py) * out.width + px;
                        const uint8_t v = bytes[y * w + x];
                        if (type == 0 && channel == 0)
                            out.index[i] = v;
                        else if (type == 0 && channel == 1)
                            out.rgb[i].r = v;
                        else if (type == 0 && channel == 2)
                            out.rgb[i].g = v;
                        else if (type == 0 && channel == 3)
                            out.rgb[i].b = v;
                        else if (type == 2) {
                            if (out.mask.empty()) out.mask.assign(out.index.size(), 0);
                            out.mask[i] = v;
                        }
                    }
            }
        }
        c.pos = end;
    }
    if (!seenLayer) return error = "no layer", false;
    if (out.bits == 8) {
        if (out.palette.empty()) return error = "an 8-bit picture without a palette", false;
        for (size_t i = 0; i < out.index.size(); ++i) out.rgb[i] = out.palette[out.index[i]];
    }
    return true;
}

bool ReadPspFile(const std::string& path, DecodedPicture& out, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return error = "cannot open " + path, false;
    std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return ReadPspBytes(data, out, error);
}

std::vector<std::string> CheckPictureLayout(const std::string& what, const DecodedPicture& picture, int width,
                                            int height, int bits, int columns, int rows,
                                            const std::string& cell, const std::string& keyedOn) {
    std::vector<std::string> faults;
    if (picture.width != width || picture.height != height)
        faults.push_back(what + "is " + std::to_string(picture.width) + " x " +
                         std::to_string(picture.height) + ", should be " + std::to_string(width) + " x " +
                         std::to_string(height));
    if (picture.bits != bits)
        faults.push_back(what + "is not a" + (bits == 8 ? "n " : " ") + std::to_string(bits) +
                         "-bit picture");
    if (columns <= 0 || rows <= 0 || width % columns || height % rows)
        faults.push_back(what + "does not divide into " + std::to_string(columns) + " x " +
                         std::to_string(rows) + " " + cell);
    if (!picture.mask.empty()) faults.push_back(what + "carries a mask; " + keyedOn + " instead");
    return faults;
}
