#include "pspwrite.h"

#include "psp_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>

const char kPspWriteUsage[] =
    "usage: pspwrite [-c none|rle|deflate] [-8] [-s selection.pgm] output.psp [-m mask.pgm] layer ...\n"
    "  Each layer is a binary PPM (colour) or PGM (grey) picture; all pictures have the first one's size.\n"
    "  PPM layers give a 24-bit image, or with -8 an 8-bit one whose palette holds their colours (at most\n"
    "  256, white last when all 256 are used). PGM layers give an 8-bit image with a grey palette.\n"
    "  -m gives the next layer a mask (0 transparent .. 255 opaque); -s adds a selection.\n";

namespace {

bool Fail(std::string* error, const std::string& message) {
    if (error) *error = message;
    return false;
}

bool IsSpace(uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// Reads one header number, skipping white space and comments before it.
bool ReadNumber(const std::vector<uint8_t>& data, size_t& at, uint32_t& value) {
    for (;;) {
        while (at < data.size() && IsSpace(data[at])) ++at;
        if (at >= data.size() || data[at] != '#') break;
        while (at < data.size() && data[at] != '\n') ++at;
    }
    if (at >= data.size() || data[at] < '0' || data[at] > '9') return false;
    uint64_t number = 0;
    while (at < data.size() && data[at] >= '0' && data[at] <= '9') {
        number = number * 10 + (data[at++] - '0');
        if (number > 0xFFFFFFFFu) return false;
    }
    value = static_cast<uint32_t>(number);
    return true;
}

bool ReadFile(const std::string& path, std::vector<uint8_t>& data, std::string* error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return Fail(error, "cannot open " + path + ": " + std::strerror(errno));
    data.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    if (file.bad()) return Fail(error, "cannot read " + path);
    return true;
}

bool LoadPicture(const std::string& path, PnmPicture& picture, std::string* error) {
    std::vector<uint8_t> data;
    if (!ReadFile(path, data, error)) return false;
    std::string why;
    if (!ReadPnm(data, picture, &why)) return Fail(error, path + ": " + why);
    return true;
}

bool LoadGrey(const std::string& path, const PnmPicture& first, std::vector<uint8_t>& bytes,
              std::string* error) {
    PnmPicture picture;
    if (!LoadPicture(path, picture, error)) return false;
    if (picture.channels != 1) return Fail(error, path + ": a mask or selection must be a PGM picture");
    if (picture.width != first.width || picture.height != first.height)
        return Fail(error, path + ": size differs from the first layer's");
    bytes = std::move(picture.pixels);
    return true;
}

// Turns colour layers into palette indices; white goes last because the reader forces entry 255 to white.
bool Palettise(PspImage& image, std::string* error) {
    std::map<uint32_t, uint8_t> indexOf;
    std::vector<uint32_t> colours;
    for (const PspLayer& layer : image.layers)
        for (size_t p = 0; p < layer.pixels.size(); p += 3) {
            uint32_t colour = layer.pixels[p] << 16 | layer.pixels[p + 1] << 8 | layer.pixels[p + 2];
            if (indexOf.count(colour)) continue;
            if (colours.size() == 256) return Fail(error, "-8: the layers use more than 256 colours");
            indexOf[colour] = 0;
            colours.push_back(colour);
        }
    if (colours.size() == 256) {
        auto white = std::find(colours.begin(), colours.end(), 0xFFFFFFu);
        if (white == colours.end())
            return Fail(error, "-8: 256 colours without white do not fit the palette");
        std::rotate(white, white + 1, colours.end());
    }
    for (size_t i = 0; i < colours.size(); ++i) {
        indexOf[colours[i]] = static_cast<uint8_t>(i);
        image.palette.push_back({uint8_t(colours[i] >> 16), uint8_t(colours[i] >> 8), uint8_t(colours[i])});
    }
    for (PspLayer& layer : image.layers) {
        std::vector<uint8_t> indices(layer.pixels.size() / 3);
        for (size_t p = 0; p < indices.size(); ++p)
            indices[p] =
                indexOf[layer.pixels[3 * p] << 16 | layer.pixels[3 * p + 1] << 8 | layer.pixels[3 * p + 2]];
        layer.pixels.swap(indices);
    }
    image.bits = 8;
    return true;
}

} // namespace

bool ReadPnm(const std::vector<uint8_t>& data, PnmPicture& picture, std::string* error) {
    if (data.size() < 2 || data[0] != 'P' || (data[1] != '5' && data[1] != '6'))
        return Fail(error, "not a binary PPM (P6) or PGM (P5) picture");
    size_t at = 2;
    uint32_t width, height, maximum;
    if (!ReadNumber(data, at, width) || !ReadNumber(data, at, height) || !ReadNumber(data, at, maximum))
        return Fail(error, "damaged picture header");
    if (maximum != 255)
        return Fail(error,
                    "maximum value " + std::to_string(maximum) + " is not 255 (8-bit samples are needed)");
    if (width < 1 || height < 1 || width > kPspMaxDimension || height > kPspMaxDimension)
        return Fail(error, "picture size " + std::to_string(width) + "x" + std::to_string(height) +
                               " is outside 1.." + std::to_string(kPspMaxDimension));
    if (at >= data.size() || !IsSpace(data[at])) return Fail(error, "damaged picture header");
    ++at; // exactly one white space byte separates the header from the pixels
    const int channels = data[1] == '5' ? 1 : 3;
    const size_t size = size_t{width} * height * channels;
    if (data.size() - at < size)
        return Fail(error, "picture data truncated: " + std::to_string(data.size() - at) + " of " +
                               std::to_string(size) + " bytes");
    picture.width = width;
    picture.height = height;
    picture.channels = channels;
    picture.pixels.assign(data.begin() + at, data.begin() + at + size);
    return true;
}

bool RunPspWrite(const std::vector<std::string>& args, std::string* error) {
    PspCompression compression = PspCompression::None;
    bool paletted = false;
    std::string selectionPath, output, pendingMask;
    std::vector<std::pair<std::string, std::string>> layers; // picture, mask
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool takesValue = arg == "-c" || arg == "-s" || arg == "-m";
        if (takesValue && i + 1 == args.size()) return Fail(error, arg + " needs a value");
        if (arg == "-c") {
            const std::string& name = args[++i];
            if (name == "none")
                compression = PspCompression::None;
            else if (name == "rle")
                compression = PspCompression::RunLength;
            else if (name == "deflate")
                compression = PspCompression::Deflate;
            else
                return Fail(error, "unknown compression " + name);
        } else if (arg == "-s") {
            selectionPath = args[++i];
        } else if (arg == "-m") {
            pendingMask = args[++i];
        } else if (arg == "-8") {
            paletted = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Fail(error, "unknown option " + arg);
        } else if (output.empty()) {
            output = arg;
        } else {
            layers.emplace_back(arg, pendingMask);
            pendingMask.clear();
        }
    }
    if (output.empty() || layers.empty())
        return Fail(error, "an output file and at least one layer are needed");
    if (!pendingMask.empty()) return Fail(error, "-m " + pendingMask + " is not followed by a layer");

    PspImage image;
    PnmPicture first;
    for (const auto& [picturePath, maskPath] : layers) {
        PnmPicture picture;
        if (!LoadPicture(picturePath, picture, error)) return false;
        if (image.layers.empty()) {
            first = picture;
            image.width = picture.width;
            image.height = picture.height;
            image.bits = picture.channels == 1 ? 8 : 24;
        } else if (picture.width != first.width || picture.height != first.height) {
            return Fail(error, picturePath + ": size differs from the first layer's");
        } else if (picture.channels != first.channels) {
            return Fail(error, picturePath + ": PPM and PGM layers cannot be mixed");
        }
        PspLayer layer;
        layer.name = picturePath.substr(picturePath.find_last_of('/') + 1);
        layer.pixels = std::move(picture.pixels);
        if (!maskPath.empty() && !LoadGrey(maskPath, first, layer.mask, error)) return false;
        image.layers.push_back(std::move(layer));
    }
    if (image.bits == 8) {
        for (int i = 0; i < 256; ++i) image.palette.push_back({uint8_t(i), uint8_t(i), uint8_t(i)});
    } else if (paletted && !Palettise(image, error)) {
        return false;
    }
    if (!selectionPath.empty()) {
        PspSelection selection{0, 0, image.width, image.height, {}};
        if (!LoadGrey(selectionPath, first, selection.mask, error)) return false;
        image.selection = std::move(selection);
    }
    return WritePspFile(image, compression, output, error);
}
