// vexlin-logo: draws the maker's animated logo (20 frames stacked top to bottom, opaque, its own
// palette), renders its three sounds, and stores each as a 4-byte little-endian size followed by an
// LZO1X-1 stream, the form the game's splash unpacks.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <lzo/lzo1x.h>

#include "logo.h"
#include "synth.h"

namespace {

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    if (!out.write(reinterpret_cast<const char*>(bytes.data()), bytes.size()))
        throw std::runtime_error("cannot write " + path);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) return std::fprintf(stderr, "usage: vexlin-logo FONT SOUNDSCORE OUTDIR\n"), 2;
    try {
        if (lzo_init() != LZO_E_OK) throw std::runtime_error("LZO does not start");
        const std::string out = argv[3];
        TextRenderer text;
        const int font = text.LoadFont(argv[1]);
        const std::vector<uint8_t> psp = DrawLogoPsp(text, font);
        WriteFile(out + "/logo-picture.psp", psp); // unpacked twin, for the contact sheet
        WriteFile(out + "/logo-5000.lzo", PackLzo(psp));

        std::ifstream in(argv[2], std::ios::binary);
        std::stringstream score;
        score << in.rdbuf();
        if (!in) throw std::runtime_error(std::string("cannot read ") + argv[2]);
        const Score sounds = ParseScore(score.str());
        for (const SoundScore& sound : sounds.sounds) {
            const std::vector<uint8_t> wave =
                EncodeWave(Render(sound, sounds.patches), sound.rate, sound.bits, sound.channels);
            WriteFile(out + "/logo-" + std::to_string(sound.id) + ".lzo", PackLzo(wave));
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vexlin-logo: %s\n", e.what());
        return 1;
    }
    return 0;
}
