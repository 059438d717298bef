#include "synth.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <stdexcept>

namespace {

constexpr double kPi = 3.14159265358979;

[[noreturn]] void Fail(int line, const std::string& what) {
    throw std::runtime_error("score line " + std::to_string(line) + ": " + what);
}

double Number(const std::string& word, int line) {
    char* end = nullptr;
    const double v = std::strtod(word.c_str(), &end);
    if (word.empty() || *end) Fail(line, "\"" + word + "\" is not a number");
    return v;
}

// Deterministic noise: a fixed-seed linear congruential generator per note.
struct Noise {
    uint32_t state;
    float Next() {
        state = state * 1664525u + 1013904223u;
        return static_cast<float>(state >> 8) / 8388608.0f - 1.0f;
    }
};

float Oscillator(const std::string& wave, double phase, Noise& noise) {
    const double p = phase - std::floor(phase);
    if (wave == "square") return p < 0.5 ? 0.6f : -0.6f;
    if (wave == "saw") return static_cast<float>(0.7 * (2 * p - 1));
    if (wave == "triangle") return static_cast<float>(p < 0.5 ? 4 * p - 1 : 3 - 4 * p);
    if (wave == "noise") return noise.Next() * 0.7f;
    return static_cast<float>(std::sin(2 * kPi * p));
}

float Envelope(const Patch& patch, double t, double length) {
    auto level = [&](double u) {
        if (u < patch.attack) return static_cast<float>(u / patch.attack);
        u -= patch.attack;
        if (u < patch.decay) return static_cast<float>(1 - (1 - patch.sustain) * u / patch.decay);
        return patch.sustain;
    };
    if (t < length) return level(t);
    const double after = t - length;
    return after >= patch.release ? 0.0f : static_cast<float>(level(length) * (1 - after / patch.release));
}

} // namespace

float PitchFrequency(const std::string& name) {
    static const int kSemitone[7] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G
    if (name.size() < 2 || name[0] < 'A' || name[0] > 'G') throw std::runtime_error("bad pitch " + name);
    int semitone = kSemitone[name[0] - 'A'];
    size_t i = 1;
    if (name[i] == '#')
        ++semitone, ++i;
    else if (name[i] == 'b')
        --semitone, ++i;
    if (i + 1 != name.size() || name[i] < '0' || name[i] > '8') throw std::runtime_error("bad pitch " + name);
    const int midi = 12 * (name[i] - '0' + 1) + semitone;
    return static_cast<float>(440.0 * std::pow(2.0, (midi - 69) / 12.0));
}

Score ParseScore(const std::string& text) {
    Score score;
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        std::istringstream in(line);
        std::vector<std::string> w;
        for (std::string word; in >> word;) w.push_back(word);
        if (w.empty() || w[0][0] == '#') continue;
        if (w[0] == "patch") {
            if (w.size() < 7) Fail(number, "a patch needs a name, a wave and four envelope values");
            Patch p;
            p.wave = w[2];
            if (p.wave != "sine" && p.wave != "square" && p.wave != "saw" && p.wave != "triangle" &&
                p.wave != "noise")
                Fail(number, "unknown wave " + p.wave);
            p.attack = std::max(1e-4f, float(Number(w[3], number)));
            p.decay = std::max(1e-4f, float(Number(w[4], number)));
            p.sustain = float(Number(w[5], number));
            p.release = std::max(1e-4f, float(Number(w[6], number)));
            if (w.size() > 7) p.slide = float(Number(w[7], number));
            if (w.size() > 8) p.vibrato = float(Number(w[8], number));
            score.patches[w[1]] = p;
        } else if (w[0] == "sound") {
            if (w.size() < 7) Fail(number, "a sound needs id, rate, bits, channels, tempo and beats");
            SoundScore s;
            s.id = int(Number(w[1], number));
            s.rate = int(Number(w[2], number));
            s.bits = int(Number(w[3], number));
            s.channels = int(Number(w[4], number));
            s.tempo = Number(w[5], number);
            s.beats = Number(w[6], number);
            for (size_t k = 7; k < w.size(); ++k) {
                if (w[k] == "loop")
                    s.loop = true;
                else if (w[k].rfind("peak=", 0) == 0)
                    s.peak = float(Number(w[k].substr(5), number));
                else
                    Fail(number, "unknown option " + w[k]);
            }
            if ((s.bits != 8 && s.bits != 16) || (s.channels != 1 && s.channels != 2) || s.rate < 8000 ||
                s.tempo <= 0 || (s.loop && s.beats <= 0))
                Fail(number, "unsupported sound format");
            score.sounds.push_back(s);
        } else if (w[0] == "seq") {
            if (score.sounds.empty()) Fail(number, "a sequence before any sound");
            if (w.size() < 5) Fail(number, "a sequence needs a patch, a volume, a pan and notes");
            if (!score.patches.count(w[1])) Fail(number, "unknown patch " + w[1]);
            SoundScore& s = score.sounds.back();
            const double beat = 60.0 / s.tempo;
            double at = 0;
            for (size_t k = 4; k < w.size(); ++k) {
                if (k == 4 && w[k][0] == '@') {
                    at = Number(w[k].substr(1), number);
                    continue;
                }
                const size_t colon = w[k].find(':');
                if (colon == std::string::npos) Fail(number, "note \"" + w[k] + "\" has no length");
                const double beats = Number(w[k].substr(colon + 1), number);
                const std::string pitches = w[k].substr(0, colon);
                if (pitches != "-") {
                    std::istringstream chord(pitches);
                    for (std::string pitch; std::getline(chord, pitch, '+');) {
                        NoteEvent e;
                        e.start = at * beat;
                        e.length = beats * beat;
                        try {
                            e.frequency = PitchFrequency(pitch);
                        } catch (const std::runtime_error& error) {
                            Fail(number, error.what());
                        }
                        e.volume = float(Number(w[2], number));
                        e.pan = float(Number(w[3], number));
                        e.patch = w[1];
                        s.notes.push_back(e);
                    }
                }
                at += beats;
            }
        } else {
            Fail(number, "unknown word " + w[0]);
        }
    }
    return score;
}

std::vector<float> Render(const SoundScore& sound, const std::map<std::string, Patch>& patches) {
    const double beat = 60.0 / sound.tempo;
    double end = sound.beats * beat;
    if (!sound.loop)
        for (const NoteEvent& e : sound.notes)
            end = std::max(end, e.start + e.length + patches.at(e.patch).release);
    const size_t frames = static_cast<size_t>(std::llround(end * sound.rate));
    if (frames == 0) throw std::runtime_error("sound " + std::to_string(sound.id) + " is empty");
    std::vector<float> mix(frames * 2, 0.0f);
    uint32_t seed = 12345;
    for (const NoteEvent& e : sound.notes) {
        const Patch& patch = patches.at(e.patch);
        Noise noise{seed += 7919};
        const double total = e.length + patch.release;
        const size_t first = static_cast<size_t>(std::llround(e.start * sound.rate));
        const size_t count = static_cast<size_t>(total * sound.rate);
        const float left = e.volume * std::sqrt((1 - e.pan) / 2),
                    right = e.volume * std::sqrt((1 + e.pan) / 2);
        double phase = 0;
        for (size_t n = 0; n < count; ++n) {
            const double t = double(n) / sound.rate;
            const double bend = std::pow(double(patch.slide), std::min(t / std::max(e.length, 1e-3), 1.0));
            const double vibrato = std::pow(2.0, patch.vibrato * std::sin(2 * kPi * 5.5 * t) / 12);
            phase += e.frequency * bend * vibrato / sound.rate;
            const float v = Oscillator(patch.wave, phase, noise) * Envelope(patch, t, e.length);
            size_t at = first + n;
            if (at >= frames) {
                if (!sound.loop) break;
                at %= frames; // a loop's tails ring on into its own beginning
            }
            mix[2 * at] += v * left;
            mix[2 * at + 1] += v * right;
        }
    }
    float peak = 0;
    for (float v : mix) peak = std::max(peak, std::fabs(v));
    const float gain = peak > 0 ? sound.peak / peak : 1.0f;
    std::vector<float> out;
    out.reserve(frames * sound.channels);
    for (size_t n = 0; n < frames; ++n) {
        if (sound.channels == 2)
            out.push_back(mix[2 * n] * gain), out.push_back(mix[2 * n + 1] * gain);
        else
            out.push_back((mix[2 * n] + mix[2 * n + 1]) * 0.5f * gain * 1.41f);
    }
    if (sound.channels == 1) {
        float monoPeak = 0;
        for (float v : out) monoPeak = std::max(monoPeak, std::fabs(v));
        if (monoPeak > 0)
            for (float& v : out) v *= sound.peak / monoPeak;
    }
    return out;
}

std::vector<uint8_t> EncodeWave(const std::vector<float>& samples, int rate, int bits, int channels) {
    std::vector<uint8_t> out;
    auto u16 = [&](uint32_t v) { out.push_back(uint8_t(v)), out.push_back(uint8_t(v >> 8)); };
    auto u32 = [&](uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
    auto text = [&](const char* s) { out.insert(out.end(), s, s + 4); };
    const uint32_t bytes = static_cast<uint32_t>(samples.size() * (bits / 8));
    text("RIFF");
    u32(36 + bytes + (bytes & 1));
    text("WAVE");
    text("fmt ");
    u32(16);
    u16(1);
    u16(channels);
    u32(rate);
    u32(rate * channels * bits / 8);
    u16(channels * bits / 8);
    u16(bits);
    text("data");
    u32(bytes);
    for (float v : samples) {
        v = std::clamp(v, -1.0f, 1.0f);
        if (bits == 8)
            out.push_back(static_cast<uint8_t>(std::lround(128 + v * 127)));
        else
            u16(static_cast<uint16_t>(static_cast<int16_t>(std::lround(v * 32767))));
    }
    if (bytes & 1) out.push_back(0);
    return out;
}
