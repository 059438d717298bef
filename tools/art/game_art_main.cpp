// vexlin-art: draws every picture of the game, quantises it to the shared palette and writes the PSP
// files (uncompressed, 8-bit, as the game's resources are stored) into the output folder.
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

#include "game_art.h"
#include "labels.h"
#include "options.h"
#include "palette.h"
#include "picture_table.h"
#include "psp_writer.h"

int main(int argc, char** argv) {
    std::string palettePath, english, esperanto, bold, condensedBold, condensed, out;
    std::string bad;
    if (!ReadToolOptions(argc, argv,
                         {{"--palette", &palettePath},
                          {"--labels-en", &english},
                          {"--labels-eo", &esperanto},
                          {"--font-bold", &bold},
                          {"--font-condensed-bold", &condensedBold},
                          {"--font-condensed", &condensed},
                          {"--out", &out}},
                         &bad))
        return std::fprintf(stderr, "vexlin-art: unknown option or missing value: %s\n", bad.c_str()), 2;
    if (palettePath.empty() || english.empty() || esperanto.empty() || bold.empty() ||
        condensedBold.empty() || condensed.empty() || out.empty()) {
        std::fprintf(stderr, "usage: vexlin-art --palette F --labels-en F --labels-eo F --font-bold F "
                             "--font-condensed-bold F --font-condensed F --out DIR\n");
        return 2;
    }
    try {
        const Palette palette = Palette::Load(palettePath);
        const auto labelsEn = LoadLabels(english), labelsEo = LoadLabels(esperanto);
        TextRenderer text;
        ArtFonts fonts{&text, text.LoadFont(bold), text.LoadFont(condensedBold), text.LoadFont(condensed)};
        std::vector<PspColor> pspPalette;
        for (const Rgb8& c : palette.Entries()) pspPalette.push_back({c.r, c.g, c.b});
        for (int id : GamePictureIds()) {
            const PictureSpec& entry = *FindPicture(id);
            const bool esperantoPart = entry.perLanguage && id == entry.id + 1;
            const Canvas canvas = DrawGamePicture(id, fonts, esperantoPart ? labelsEo : labelsEn);
            if (canvas.Width() != entry.width || canvas.Height() != entry.height)
                throw std::runtime_error("picture " + std::to_string(id) + " was drawn at the wrong size");
            PspImage image;
            image.width = entry.width;
            image.height = entry.height;
            image.bits = 8;
            image.palette = pspPalette;
            PspLayer layer;
            layer.name = entry.name;
            const Rgb8 b = entry.backdrop;
            layer.pixels = entry.keyed
                               ? palette.QuantiseKeyed(canvas, Color{float(b.r), float(b.g), float(b.b)})
                               : palette.QuantiseOpaque(canvas);
            image.layers.push_back(std::move(layer));
            std::string error;
            if (!WritePspFile(image, PspCompression::None, out + "/" + PictureFileName(id), &error))
                throw std::runtime_error("picture " + std::to_string(id) + ": " + error);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vexlin-art: %s\n", e.what());
        return 1;
    }
    return 0;
}
