// vexlin-contact: reads back every generated picture, checks it against the picture table (size, tiling,
// key or opaque, no stray pure red, the shared colour budget) and renders all of them, tile by tile and
// in both languages, into one PNG; lists every sound with its format and length. Exits 1 on any fault.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "options.h"
#include "picture_table.h"
#include "skin_table.h"
#include "png.h"
#include "psp_read.h"
#include "text.h"

namespace {

constexpr int kScale = 2;
constexpr int kSheetWidth = 1500;
const Rgb8 kSheetGround{70, 70, 78};

struct Sheet {
    std::vector<Rgb8> pixels;
    int height = 0;
    int x = 8, y = 8, rowHeight = 0;
    void Grow(int h) {
        if (h > height) pixels.resize(static_cast<size_t>(kSheetWidth) * h, kSheetGround), height = h;
    }
    void Set(int px, int py, Rgb8 c) {
        if (px < 0 || px >= kSheetWidth || py < 0) return;
        Grow(py + 1);
        pixels[static_cast<size_t>(py) * kSheetWidth + px] = c;
    }
};

// Places a block of the given size in the flow and returns its top-left corner.
void Place(Sheet& sheet, int width, int height, int& x, int& y) {
    if (sheet.x + width > kSheetWidth - 8) sheet.x = 8, sheet.y += sheet.rowHeight + 12, sheet.rowHeight = 0;
    x = sheet.x, y = sheet.y;
    sheet.x += width + 16;
    sheet.rowHeight = std::max(sheet.rowHeight, height);
    sheet.Grow(y + height + 8);
}

void Caption(Sheet& sheet, TextRenderer& text, int font, const std::string& caption, int x, int y) {
    const Mask mask = text.Render(font, caption, 12);
    for (int my = 0; my < mask.height; ++my)
        for (int mx = 0; mx < mask.width; ++mx) {
            const float v = mask.At(mx, my);
            if (v > 0.3f)
                sheet.Set(x + mx, y + my, Rgb8{uint8_t(255 * v), uint8_t(255 * v), uint8_t(200 * v)});
        }
}

// Visible width of a label as the game computes it, and its extent.
void LabelExtent(const DecodedPicture& p, int x0, int y0, int w, int h, int& from, int& to) {
    const int row = y0 + h / 2;
    int first = -1, last = -1;
    for (int x = 0; x < w; ++x)
        if (!(p.rgb[static_cast<size_t>(row) * p.width + x0 + x] == kKeyRed)) {
            if (first < 0) first = x;
            last = x;
        }
    if (first < 0)
        from = to = 0;
    else
        from = std::max(first - 20, 0), to = std::min(w, last + 20);
}

void DrawPicture(Sheet& sheet, TextRenderer& text, int font, const std::string& caption,
                 const DecodedPicture& p, int columns, int rows, bool labels, Rgb8 key = kKeyRed) {
    const int tw = p.width / columns, th = p.height / rows, gap = 2;
    const int width = (p.width * kScale) + gap * (columns - 1),
              height = p.height * kScale + gap * (rows - 1) + 18;
    int x, y;
    Place(sheet, std::max(width, 120), height + (labels ? rows * 0 : 0), x, y);
    Caption(sheet, text, font, caption, x, y);
    y += 16;
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < columns; ++column) {
            const int ox = x + column * (tw * kScale + gap), oy = y + row * (th * kScale + gap);
            for (int py = 0; py < th * kScale; ++py)
                for (int px = 0; px < tw * kScale; ++px) {
                    const int sx = column * tw + px / kScale, sy = row * th + py / kScale;
                    Rgb8 c = p.rgb[static_cast<size_t>(sy) * p.width + sx];
                    if (c == key) c = ((px / 6 + py / 6) % 2) ? Rgb8{96, 40, 96} : Rgb8{64, 24, 64};
                    sheet.Set(ox + px, oy + py, c);
                }
            if (labels) {
                int from, to;
                LabelExtent(p, column * tw, row * th, tw, th, from, to);
                for (int px = from * kScale; px < to * kScale; ++px)
                    sheet.Set(ox + px, oy + th * kScale - 1, {0, 255, 90});
            }
        }
}

struct Wave {
    int channels = 0, rate = 0, bits = 0;
    double seconds = 0;
    double peak = 0;
};

bool ReadWave(const std::string& path, Wave& wave) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> d((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto u32 = [&](size_t i) { return d[i] | d[i + 1] << 8 | d[i + 2] << 16 | uint32_t(d[i + 3]) << 24; };
    auto u16 = [&](size_t i) { return d[i] | d[i + 1] << 8; };
    if (d.size() < 12 || std::string(d.begin(), d.begin() + 4) != "RIFF") return false;
    for (size_t i = 12; i + 8 <= d.size();) {
        const std::string id(d.begin() + i, d.begin() + i + 4);
        const uint32_t size = u32(i + 4);
        if (i + 8 + size > d.size()) return false;
        if (id == "fmt " && size >= 16)
            wave.channels = u16(i + 10), wave.rate = u32(i + 12), wave.bits = u16(i + 22);
        if (id == "data" && wave.rate && wave.channels && wave.bits) {
            const size_t frames = size / (wave.channels * wave.bits / 8);
            wave.seconds = double(frames) / wave.rate;
            for (size_t k = 0; k + wave.bits / 8 <= size; k += wave.bits / 8) {
                const double v =
                    wave.bits == 8 ? (d[i + 8 + k] - 128) / 128.0 : int16_t(u16(i + 8 + k)) / 32768.0;
                wave.peak = std::max(wave.peak, std::abs(v));
            }
            return true;
        }
        i += 8 + size + (size & 1);
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    std::string pictures, sounds, font, png, list, skin, setup;
    std::vector<std::string> extras;
    std::string bad;
    if (!ReadToolOptions(argc, argv,
                         {{"--pictures", &pictures},
                          {"--sounds", &sounds},
                          {"--font", &font},
                          {"--png", &png},
                          {"--list", &list},
                          {"--skin", &skin},
                          {"--setup", &setup},
                          {"--extra", nullptr, &extras}},
                         &bad))
        return std::fprintf(stderr, "vexlin-contact: unknown option or missing value: %s\n", bad.c_str()), 2;
    if (pictures.empty() || font.empty() || png.empty() || list.empty())
        return std::fprintf(stderr, "usage: vexlin-contact --pictures DIR --font F --png OUT --list OUT "
                                    "[--sounds DIR] [--skin DIR] [--setup DIR] [--extra FILE]...\n"),
               2;
    TextRenderer text;
    const int captionFont = text.LoadFont(font);
    Sheet sheet;
    std::vector<std::string> faults;
    std::vector<DecodedPicture> decoded;
    decoded.reserve(64);
    std::string report;
    for (const PictureSpec& entry : GamePictures()) {
        const int count = entry.perLanguage ? 2 : 1;
        for (int k = 0; k < count; ++k) {
            const int id = entry.id + k;
            DecodedPicture picture;
            std::string error;
            if (!ReadPspFile(pictures + "/" + PictureFileName(id), picture, error)) {
                faults.push_back("picture " + std::to_string(id) + ": " + error);
                continue;
            }
            for (const std::string& fault : CheckPicture(entry, id, picture)) faults.push_back(fault);
            if (picture.width != entry.width || picture.height != entry.height) continue;
            const std::string caption =
                std::to_string(id) + " " + entry.name + (entry.perLanguage ? (k ? " EO" : " EN") : "");
            DrawPicture(sheet, text, captionFont, caption, picture, entry.columns, entry.rows,
                        entry.id == 715);
            report += "picture " + std::to_string(id) + " " + std::to_string(entry.width) + "x" +
                      std::to_string(entry.height) + " tiles " + std::to_string(entry.columns) + "x" +
                      std::to_string(entry.rows) + (entry.keyed ? " keyed" : " opaque") + "\n";
            decoded.push_back(std::move(picture));
        }
    }
    std::vector<const DecodedPicture*> all;
    for (const DecodedPicture& p : decoded) all.push_back(&p);
    const int colours = CountSetColours(all);
    report +=
        "game pictures use " + std::to_string(colours) + " colours besides black and white (budget 254)\n";
    if (colours > 254)
        faults.push_back("the game's pictures use " + std::to_string(colours) + " colours; 254 fit");
    for (const std::string& path : extras) {
        DecodedPicture picture;
        std::string error;
        if (!ReadPspFile(path, picture, error)) {
            faults.push_back(path + ": " + error);
            continue;
        }
        const std::string name = path.substr(path.find_last_of('/') + 1);
        DrawPicture(sheet, text, captionFont, name, picture, 1, 1, false);
        report += "extra " + name + " " + std::to_string(picture.width) + "x" +
                  std::to_string(picture.height) + " " + std::to_string(picture.bits) + "-bit\n";
    }
    // The installer's pictures: the skin's members and GRAPHIC 501-503, full colour, keyed on blue.
    auto installerPicture = [&](const SkinPictureSpec& entry, const std::string& path,
                                const std::string& caption) {
        DecodedPicture picture;
        std::string error;
        if (!ReadPspFile(path, picture, error)) return faults.push_back(caption + ": " + error);
        for (const std::string& fault : CheckSkinPicture(entry, picture)) faults.push_back(fault);
        if (picture.width != entry.width || picture.height != entry.height) return;
        DrawPicture(sheet, text, captionFont, caption, picture, entry.columns, entry.rows, false, kKeyBlue);
        report += "installer " + caption + " " + std::to_string(entry.width) + "x" +
                  std::to_string(entry.height) + " cells " + std::to_string(entry.columns) + "x" +
                  std::to_string(entry.rows) + (entry.shaped ? " shaped" : " opaque") + "\n";
    };
    if (!skin.empty())
        for (const SkinPictureSpec& entry : SkinPictures())
            installerPicture(entry, skin + "/" + SkinMemberName(entry), "skin " + SkinMemberName(entry));
    if (!setup.empty())
        for (const SkinPictureSpec& entry : SetupPictures())
            installerPicture(entry, setup + "/" + SetupFileName(entry.id),
                             std::to_string(entry.id) + " " + entry.name);
    if (!sounds.empty())
        for (int id = 500; id <= 520; ++id) {
            const std::string path = sounds + "/wave-" + std::to_string(id) + ".wav";
            Wave wave;
            if (!ReadWave(path, wave)) {
                faults.push_back("sound " + std::to_string(id) + " is missing or unreadable");
                continue;
            }
            char line[160];
            std::snprintf(line, sizeof line, "sound %d %d Hz %d-bit %s %.3f s peak %.2f\n", id, wave.rate,
                          wave.bits, wave.channels == 1 ? "mono" : "stereo", wave.seconds, wave.peak);
            report += line;
            if (wave.peak > 0.999 || wave.peak < 0.05)
                faults.push_back("sound " + std::to_string(id) + " has a peak of " +
                                 std::to_string(wave.peak));
        }
    for (const std::string& fault : faults) report += "FAULT " + fault + "\n";
    std::string error;
    sheet.Grow(sheet.y + sheet.rowHeight + 8);
    if (!WritePng(png, kSheetWidth, sheet.height, sheet.pixels, error)) faults.push_back(error);
    std::ofstream(list) << report;
    for (const std::string& fault : faults) std::fprintf(stderr, "vexlin-contact: %s\n", fault.c_str());
    return faults.empty() ? 0 : 1;
}
