// vexlin-synth: renders every sound of a score file into wave-<id>.wav files in the output folder.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "synth.h"

int main(int argc, char** argv) {
    if (argc != 3) return std::fprintf(stderr, "usage: vexlin-synth SCORE OUTDIR\n"), 2;
    try {
        std::ifstream in(argv[1], std::ios::binary);
        if (!in) throw std::runtime_error(std::string("cannot read ") + argv[1]);
        std::stringstream text;
        text << in.rdbuf();
        const Score score = ParseScore(text.str());
        for (const SoundScore& sound : score.sounds) {
            const std::vector<uint8_t> wave =
                EncodeWave(Render(sound, score.patches), sound.rate, sound.bits, sound.channels);
            const std::string path = std::string(argv[2]) + "/wave-" + std::to_string(sound.id) + ".wav";
            std::ofstream out(path, std::ios::binary);
            if (!out.write(reinterpret_cast<const char*>(wave.data()), wave.size()))
                throw std::runtime_error("cannot write " + path);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vexlin-synth: %s\n", e.what());
        return 1;
    }
    return 0;
}
