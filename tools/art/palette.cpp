#include "palette.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

namespace {

Rgb8 ParseTriple(const std::string& word, int line) {
    int r, g, b;
    char c1, c2, extra;
    std::istringstream in(word);
    if (!(in >> r >> c1 >> g >> c2 >> b) || c1 != ',' || c2 != ',' || (in >> extra) || r < 0 || r > 255 ||
        g < 0 || g > 255 || b < 0 || b > 255)
        throw std::runtime_error("palette line " + std::to_string(line) + ": \"" + word +
                                 "\" is not a colour r,g,b with values 0 to 255");
    return {uint8_t(r), uint8_t(g), uint8_t(b)};
}

uint8_t Clamp8(float v) { return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }

// Perceptually weighted distance ("red mean"), good enough to keep ramps smooth.
float Distance(Color c, Rgb8 p) {
    const float rm = (c.r + p.r) / 2;
    const float dr = c.r - p.r, dg = c.g - p.g, db = c.b - p.b;
    return (2 + rm / 256) * dr * dr + 4 * dg * dg + (2 + (255 - rm) / 256) * db * db;
}

} // namespace

Palette Palette::Parse(const std::string& text) {
    std::vector<Rgb8> colours;
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        std::istringstream words(line);
        std::string kind;
        if (!(words >> kind) || kind[0] == '#') continue;
        if (kind == "colour") {
            std::string word;
            if (!(words >> word))
                throw std::runtime_error("palette line " + std::to_string(number) + ": no colour");
            colours.push_back(ParseTriple(word, number));
        } else if (kind == "ramp") {
            int count = 0;
            std::vector<Rgb8> anchors;
            std::string word;
            if (!(words >> count) || count < 2)
                throw std::runtime_error("palette line " + std::to_string(number) +
                                         ": a ramp needs a count of 2+");
            while (words >> word) anchors.push_back(ParseTriple(word, number));
            if (anchors.size() < 2)
                throw std::runtime_error("palette line " + std::to_string(number) +
                                         ": a ramp needs 2+ anchors");
            for (int i = 0; i < count; ++i) {
                const float t = static_cast<float>(i) / (count - 1) * (anchors.size() - 1);
                const size_t a = std::min(static_cast<size_t>(t), anchors.size() - 2);
                const float f = t - a;
                const Rgb8 p = anchors[a], q = anchors[a + 1];
                colours.push_back({Clamp8(p.r + (q.r - p.r) * f), Clamp8(p.g + (q.g - p.g) * f),
                                   Clamp8(p.b + (q.b - p.b) * f)});
            }
        } else {
            throw std::runtime_error("palette line " + std::to_string(number) + ": unknown word \"" + kind +
                                     "\"");
        }
    }
    if (colours.size() > 254)
        throw std::runtime_error("the palette describes " + std::to_string(colours.size()) +
                                 " entries; only 254 fit between black and white");
    Palette palette;
    palette.entries_.assign(256, Rgb8{0, 0, 0});
    palette.entries_[255] = {255, 255, 255};
    std::copy(colours.begin(), colours.end(), palette.entries_.begin() + 1);
    for (size_t i = 0; i < 256; ++i)
        if (palette.entries_[i] == kKeyRed) {
            palette.keyIndex_ = static_cast<int>(i);
            break;
        }
    return palette;
}

Palette Palette::Load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read the palette " + path);
    std::stringstream text;
    text << in.rdbuf();
    return Parse(text.str());
}

int Palette::DistinctColours() const {
    std::set<Rgb8> distinct(entries_.begin(), entries_.end());
    distinct.erase(Rgb8{0, 0, 0});
    distinct.erase(Rgb8{255, 255, 255});
    return static_cast<int>(distinct.size());
}

uint8_t Palette::Nearest(Color c) const {
    const Rgb8 c8{Clamp8(c.r), Clamp8(c.g), Clamp8(c.b)};
    const size_t bucket = (c8.r >> 2) << 12 | (c8.g >> 2) << 6 | (c8.b >> 2);
    if (cache_.empty()) cache_.assign(1 << 18, -1);
    if (cache_[bucket] >= 0) return static_cast<uint8_t>(cache_[bucket]);
    // Search with the bucket's centre so the cache answers the same for every colour in it.
    const Color centre{(c8.r & 0xFC) + 1.5f, (c8.g & 0xFC) + 1.5f, (c8.b & 0xFC) + 1.5f};
    int best = 0;
    float bestDistance = 1e30f;
    for (int i = 0; i < 256; ++i) {
        if (i == keyIndex_) continue;
        const float d = Distance(centre, entries_[i]);
        if (d < bestDistance) bestDistance = d, best = i;
    }
    cache_[bucket] = best;
    return static_cast<uint8_t>(best);
}

std::vector<uint8_t> Palette::QuantiseOpaque(const Canvas& canvas) const {
    std::vector<uint8_t> out;
    out.reserve(static_cast<size_t>(canvas.Width()) * canvas.Height());
    for (int y = 0; y < canvas.Height(); ++y)
        for (int x = 0; x < canvas.Width(); ++x) out.push_back(Nearest(canvas.At(x, y)));
    return out;
}

std::vector<uint8_t> Palette::QuantiseKeyed(const Canvas& canvas, Color standOn, float threshold) const {
    if (keyIndex_ < 0) throw std::runtime_error("a keyed picture needs pure red in the palette");
    std::vector<uint8_t> out;
    out.reserve(static_cast<size_t>(canvas.Width()) * canvas.Height());
    for (int y = 0; y < canvas.Height(); ++y)
        for (int x = 0; x < canvas.Width(); ++x) {
            const float a = canvas.AlphaAt(x, y);
            out.push_back(a < threshold ? static_cast<uint8_t>(keyIndex_)
                                        : Nearest(Mix(standOn, canvas.At(x, y), std::min(a, 1.0f))));
        }
    return out;
}
