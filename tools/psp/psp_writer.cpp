#include "psp_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

#include <zlib.h>

namespace {

static_assert(std::numeric_limits<double>::is_iec559, "the resolution field is an IEEE 754 double");

constexpr uint16_t kBlockGeneral = 0;
constexpr uint16_t kBlockPalette = 2;
constexpr uint16_t kBlockLayerStart = 3;
constexpr uint16_t kBlockLayer = 4;
constexpr uint16_t kBlockChannel = 5;
constexpr uint16_t kBlockSelection = 6;

constexpr uint16_t kBitmapImage = 0;
constexpr uint16_t kBitmapUserMask = 2;
constexpr uint16_t kBitmapSelection = 3;

constexpr uint16_t kChannelComposite = 0;
constexpr uint16_t kChannelRed = 1;
constexpr uint16_t kChannelGreen = 2;
constexpr uint16_t kChannelBlue = 3;

constexpr size_t kBlockHeaderSize = 10;
constexpr uint32_t kGeneralChunkSize = 46;
constexpr uint32_t kPaletteChunkSize = 8;
constexpr uint32_t kLayerChunkFixedSize = 79; // plus the name's bytes
constexpr uint32_t kBitmapChunkSize = 8;
constexpr uint32_t kChannelChunkSize = 16;
constexpr uint32_t kSelectionChunkSize = 36;

// Run-length codes: a count above 128 repeats the next byte (count - 128) times, a count of 1 to 128 is
// followed by that many literal bytes.
constexpr size_t kMaxRun = 127;
constexpr size_t kMaxLiteral = 128;
// A run shorter than this costs no less as a run code than inside a literal stretch.
constexpr size_t kMinRun = 3;

struct Rect {
    uint32_t left, top, width, height;
};

class ByteWriter {
public:
    explicit ByteWriter(std::vector<uint8_t>& out) : out_(out) {}

    void U8(uint8_t value) { out_.push_back(value); }
    void U16(uint16_t value) {
        U8(static_cast<uint8_t>(value));
        U8(static_cast<uint8_t>(value >> 8));
    }
    void U32(uint32_t value) {
        U16(static_cast<uint16_t>(value));
        U16(static_cast<uint16_t>(value >> 16));
    }
    void F64(double value) {
        uint64_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        U32(static_cast<uint32_t>(bits));
        U32(static_cast<uint32_t>(bits >> 32));
    }
    void Bytes(const uint8_t* data, size_t size) { out_.insert(out_.end(), data, data + size); }
    // Layer rectangles are stored as left, top, right, bottom.
    void RectEdges(uint32_t left, uint32_t top, uint32_t width, uint32_t height) {
        U32(left);
        U32(top);
        U32(left + width);
        U32(top + height);
    }

    // Block lengths are only known once the contents are written, so the header is patched at the end.
    size_t BeginBlock(uint16_t id) {
        size_t start = out_.size();
        Bytes(reinterpret_cast<const uint8_t*>("~BK"), 4); // includes the terminating zero byte
        U16(id);
        U32(0);
        return start;
    }
    void EndBlock(size_t start) {
        uint64_t length = out_.size() - start - kBlockHeaderSize;
        if (length > std::numeric_limits<uint32_t>::max()) {
            tooLarge_ = true;
            return;
        }
        for (int i = 0; i < 4; ++i) out_[start + 6 + i] = static_cast<uint8_t>(length >> (8 * i));
    }
    bool TooLarge() const { return tooLarge_; }

private:
    std::vector<uint8_t>& out_;
    bool tooLarge_ = false;
};

bool Fail(std::string* error, const std::string& message) {
    if (error) *error = message;
    return false;
}

Rect LayerRect(const PspImage& image, const PspLayer& layer) {
    if (layer.width == 0 && layer.height == 0) return {layer.left, layer.top, image.width, image.height};
    return {layer.left, layer.top, layer.width, layer.height};
}

bool RectFits(const PspImage& image, const Rect& rect) {
    return rect.width >= 1 && rect.height >= 1 && rect.width <= image.width && rect.height <= image.height &&
           rect.left <= image.width - rect.width && rect.top <= image.height - rect.height;
}

std::string RectText(const Rect& rect) {
    return std::to_string(rect.width) + "x" + std::to_string(rect.height) + " at (" +
           std::to_string(rect.left) + ", " + std::to_string(rect.top) + ")";
}

bool Validate(const PspImage& image, PspCompression compression, std::string* error) {
    if (compression != PspCompression::None && compression != PspCompression::RunLength &&
        compression != PspCompression::Deflate)
        return Fail(error, "unknown compression " + std::to_string(static_cast<unsigned>(compression)));
    if (image.width < 1 || image.height < 1 || image.width > kPspMaxDimension ||
        image.height > kPspMaxDimension)
        return Fail(error, "image size " + std::to_string(image.width) + "x" + std::to_string(image.height) +
                               " is outside 1.." + std::to_string(kPspMaxDimension));
    if (image.bits != 8 && image.bits != 24)
        return Fail(error, "bit depth " + std::to_string(image.bits) + " is not 8 or 24");
    if (image.bits == 8) {
        if (image.palette.empty() || image.palette.size() > 256)
            return Fail(error, "an 8-bit image needs 1 to 256 palette entries, not " +
                                   std::to_string(image.palette.size()));
        const PspColor& last = image.palette.size() == 256 ? image.palette[255] : PspColor{255, 255, 255};
        if (last.red != 255 || last.green != 255 || last.blue != 255)
            return Fail(error, "palette entry 255 must be white: the reader replaces it with white");
    } else if (!image.palette.empty()) {
        return Fail(error, "a 24-bit image carries no palette");
    }
    if (image.layers.empty()) return Fail(error, "the image has no layers");
    if (image.layers.size() > std::numeric_limits<uint16_t>::max())
        return Fail(error, "too many layers: " + std::to_string(image.layers.size()));

    const size_t bytesPerPixel = image.bits / 8;
    for (size_t i = 0; i < image.layers.size(); ++i) {
        const PspLayer& layer = image.layers[i];
        const std::string which = "layer " + std::to_string(i) + ": ";
        if (layer.name.size() > std::numeric_limits<uint16_t>::max())
            return Fail(error, which + "name longer than 65535 bytes");
        Rect rect = LayerRect(image, layer);
        if (!RectFits(image, rect))
            return Fail(error, which + "rectangle " + RectText(rect) + " is not inside the image");
        const size_t count = static_cast<size_t>(rect.width) * rect.height;
        if (layer.pixels.size() != count * bytesPerPixel)
            return Fail(error, which + std::to_string(layer.pixels.size()) + " pixel bytes, expected " +
                                   std::to_string(count * bytesPerPixel));
        if (!layer.mask.empty() && layer.mask.size() != count)
            return Fail(error, which + std::to_string(layer.mask.size()) + " mask bytes, expected " +
                                   std::to_string(count));
        if (image.bits == 8) {
            for (size_t p = 0; p < count; ++p) {
                if (layer.pixels[p] >= image.palette.size())
                    return Fail(error, which + "pixel " + std::to_string(p) + " uses index " +
                                           std::to_string(layer.pixels[p]) + " beyond the palette of " +
                                           std::to_string(image.palette.size()));
            }
        }
    }
    if (image.selection) {
        const PspSelection& selection = *image.selection;
        Rect rect{selection.left, selection.top, selection.width, selection.height};
        if (!RectFits(image, rect))
            return Fail(error, "selection rectangle " + RectText(rect) + " is not inside the image");
        if (selection.mask.size() != static_cast<size_t>(rect.width) * rect.height)
            return Fail(error, "selection has " + std::to_string(selection.mask.size()) +
                                   " mask bytes, expected " +
                                   std::to_string(size_t{rect.width} * rect.height));
    }
    return true;
}

void EncodeRunLength(const std::vector<uint8_t>& data, std::vector<uint8_t>& out) {
    const size_t size = data.size();
    auto runStartsAt = [&](size_t at) {
        return at + kMinRun <= size && data[at] == data[at + 1] && data[at] == data[at + 2];
    };
    static_assert(kMinRun == 3, "runStartsAt compares three bytes");
    size_t at = 0;
    while (at < size) {
        if (runStartsAt(at)) {
            size_t run = kMinRun;
            while (at + run < size && run < kMaxRun && data[at + run] == data[at]) ++run;
            out.push_back(static_cast<uint8_t>(128 + run));
            out.push_back(data[at]);
            at += run;
            continue;
        }
        // Literal stretch up to the next run worth its own code.
        size_t start = at;
        while (at < size && at - start < kMaxLiteral && (at == start || !runStartsAt(at))) ++at;
        out.push_back(static_cast<uint8_t>(at - start));
        out.insert(out.end(), data.begin() + start, data.begin() + at);
    }
}

bool Compress(const std::vector<uint8_t>& data, PspCompression compression, std::vector<uint8_t>& out,
              std::string* error) {
    out.clear();
    switch (compression) {
    case PspCompression::None:
        out = data;
        return true;
    case PspCompression::RunLength:
        EncodeRunLength(data, out);
        return true;
    case PspCompression::Deflate: {
        uLongf size = compressBound(static_cast<uLong>(data.size()));
        out.resize(size);
        int result =
            compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), Z_BEST_COMPRESSION);
        if (result != Z_OK) return Fail(error, "deflate failed with zlib code " + std::to_string(result));
        out.resize(size);
        return true;
    }
    }
    return Fail(error, "unknown compression");
}

bool WriteChannel(ByteWriter& writer, const std::vector<uint8_t>& data, PspCompression compression,
                  uint16_t bitmapType, uint16_t channelType, std::string* error) {
    std::vector<uint8_t> packed;
    if (!Compress(data, compression, packed, error)) return false;
    if (packed.size() > std::numeric_limits<uint32_t>::max())
        return Fail(error, "a channel is too large for the format");
    size_t block = writer.BeginBlock(kBlockChannel);
    writer.U32(kChannelChunkSize);
    writer.U32(static_cast<uint32_t>(packed.size()));
    writer.U32(static_cast<uint32_t>(data.size()));
    writer.U16(bitmapType);
    writer.U16(channelType);
    writer.Bytes(packed.data(), packed.size());
    writer.EndBlock(block);
    return true;
}

// The bitmap chunk that precedes a layer's or the selection's channel blocks.
void WriteBitmapChunk(ByteWriter& writer, uint16_t bitmaps, uint16_t channels) {
    writer.U32(kBitmapChunkSize);
    writer.U16(bitmaps);
    writer.U16(channels);
}

bool WriteLayer(ByteWriter& writer, const PspImage& image, const PspLayer& layer, PspCompression compression,
                std::string* error) {
    const Rect rect = LayerRect(image, layer);
    const bool hasMask = !layer.mask.empty();
    size_t block = writer.BeginBlock(kBlockLayer);

    writer.U32(kLayerChunkFixedSize + static_cast<uint32_t>(layer.name.size()));
    writer.U16(static_cast<uint16_t>(layer.name.size()));
    writer.Bytes(reinterpret_cast<const uint8_t*>(layer.name.data()), layer.name.size());
    writer.U8(0); // layer type: a plain raster layer
    // The image rectangle places the layer; the saved rectangle (relative to it) covers the stored pixels.
    writer.RectEdges(rect.left, rect.top, rect.width, rect.height);
    writer.RectEdges(0, 0, rect.width, rect.height);
    writer.U8(255); // opacity
    writer.U8(0);   // blend mode: normal
    writer.U8(1);   // visible
    writer.U8(0);   // transparency protected
    writer.U8(0);   // link group
    // The mask covers the same pixels as the layer, relative to the layer like the saved rectangle.
    for (int copy = 0; copy < 2; ++copy) {
        if (hasMask)
            writer.RectEdges(0, 0, rect.width, rect.height);
        else
            writer.RectEdges(0, 0, 0, 0);
    }
    writer.U8(hasMask ? 1 : 0); // mask linked to the layer
    writer.U8(0);               // mask disabled
    writer.U8(0);               // invert mask on blend

    const uint16_t colourChannels = image.bits == 8 ? 1 : 3;
    WriteBitmapChunk(writer, hasMask ? 2 : 1, static_cast<uint16_t>(colourChannels + (hasMask ? 1 : 0)));

    if (image.bits == 8) {
        if (!WriteChannel(writer, layer.pixels, compression, kBitmapImage, kChannelComposite, error))
            return false;
    } else {
        const uint16_t types[3] = {kChannelRed, kChannelGreen, kChannelBlue};
        const size_t count = layer.pixels.size() / 3;
        std::vector<uint8_t> plane(count);
        for (size_t c = 0; c < 3; ++c) {
            for (size_t p = 0; p < count; ++p) plane[p] = layer.pixels[3 * p + c];
            if (!WriteChannel(writer, plane, compression, kBitmapImage, types[c], error)) return false;
        }
    }
    if (hasMask && !WriteChannel(writer, layer.mask, compression, kBitmapUserMask, kChannelComposite, error))
        return false;
    writer.EndBlock(block);
    return true;
}

bool WriteSelection(ByteWriter& writer, const PspSelection& selection, PspCompression compression,
                    std::string* error) {
    size_t block = writer.BeginBlock(kBlockSelection);
    writer.U32(kSelectionChunkSize);
    writer.RectEdges(selection.left, selection.top, selection.width, selection.height);
    writer.RectEdges(selection.left, selection.top, selection.width, selection.height);
    WriteBitmapChunk(writer, 1, 1);
    if (!WriteChannel(writer, selection.mask, compression, kBitmapSelection, kChannelComposite, error))
        return false;
    writer.EndBlock(block);
    return true;
}

void WriteFileHeader(ByteWriter& writer) {
    static const char kSignature[] = "Paint Shop Pro Image File\n\x1a";
    uint8_t field[32] = {};
    std::memcpy(field, kSignature, sizeof kSignature - 1);
    writer.Bytes(field, sizeof field);
    writer.U16(5); // version 5.0: every information chunk starts with its own size
    writer.U16(0);
}

void WriteGeneralAttributes(ByteWriter& writer, const PspImage& image, PspCompression compression) {
    size_t block = writer.BeginBlock(kBlockGeneral);
    writer.U32(kGeneralChunkSize);
    writer.U32(image.width);
    writer.U32(image.height);
    writer.F64(72.0); // resolution
    writer.U8(1);     // resolution unit: per inch
    writer.U16(static_cast<uint16_t>(compression));
    writer.U16(static_cast<uint16_t>(image.bits));
    writer.U16(1);                                             // plane count
    writer.U32(image.bits == 8 ? 256u : 1u << 24);             // colour count
    writer.U8(0);                                              // greyscale flag
    writer.U32(image.width * image.height * (image.bits / 8)); // total image size
    writer.U32(0);                                             // active layer
    writer.U16(static_cast<uint16_t>(image.layers.size()));
    writer.U32(0); // graphic contents: no flags
    writer.EndBlock(block);
}

} // namespace

bool WritePsp(const PspImage& image, PspCompression compression, std::vector<uint8_t>& out,
              std::string* error) {
    if (!Validate(image, compression, error)) return false;

    std::vector<uint8_t> file;
    ByteWriter writer(file);
    WriteFileHeader(writer);
    WriteGeneralAttributes(writer, image, compression);

    if (image.bits == 8) {
        size_t block = writer.BeginBlock(kBlockPalette);
        writer.U32(kPaletteChunkSize);
        writer.U32(static_cast<uint32_t>(image.palette.size()));
        for (const PspColor& colour : image.palette) {
            writer.U8(colour.blue);
            writer.U8(colour.green);
            writer.U8(colour.red);
            writer.U8(0);
        }
        writer.EndBlock(block);
    }

    size_t layers = writer.BeginBlock(kBlockLayerStart);
    for (const PspLayer& layer : image.layers) {
        if (!WriteLayer(writer, image, layer, compression, error)) return false;
    }
    writer.EndBlock(layers);

    if (image.selection && !WriteSelection(writer, *image.selection, compression, error)) return false;
    if (writer.TooLarge()) return Fail(error, "the image is too large for the format's 32-bit block lengths");

    out.swap(file);
    return true;
}

bool WritePspFile(const PspImage& image, PspCompression compression, const std::string& path,
                  std::string* error) {
    std::vector<uint8_t> data;
    if (!WritePsp(image, compression, data, error)) return false;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return Fail(error, "cannot create " + path + ": " + std::strerror(errno));
    bool written = std::fwrite(data.data(), 1, data.size(), file) == data.size();
    int writeErrno = errno;
    if (std::fclose(file) != 0 && written) {
        written = false;
        writeErrno = errno;
    }
    if (!written) {
        std::remove(path.c_str());
        return Fail(error, "cannot write " + path + ": " + std::strerror(writeErrno));
    }
    return true;
}
