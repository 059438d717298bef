// Finding known sounds in a captured recording: the capture (16-bit 44100 Hz
// stereo, as the test configuration writes it) is brought to the mixer's
// 22050 Hz in the mixer's 8-bit steps, and each sound's own samples are slid
// along it with a normalized cross-correlation, computed through one FFT of
// the capture, so that a sound is recognised by its waveform, not merely by
// loudness, whatever gain the mixer gave it.
#pragma once

#include <windows.h>

#include <algorithm>
#include <complex>
#include <math.h>
#include <vector>

namespace soundsignal {

const int kMixRate = 22050;

typedef std::vector<double> Signal;
typedef std::complex<double> Complex;

// In-place radix-2 transform; the size is a power of two.
inline void Fft(std::vector<Complex>& a, bool inverse) {
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; i++) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (size_t length = 2; length <= n; length <<= 1) {
        double angle = 2 * 3.14159265358979323846 / static_cast<double>(length) * (inverse ? 1 : -1);
        Complex step(cos(angle), sin(angle));
        for (size_t i = 0; i < n; i += length) {
            Complex w(1);
            for (size_t k = 0; k < length / 2; k++) {
                Complex u = a[i + k], v = a[i + k + length / 2] * w;
                a[i + k] = u + v;
                a[i + k + length / 2] = u - v;
                w *= step;
            }
        }
    }
    if (inverse)
        for (Complex& c : a) c /= static_cast<double>(n);
}

// A gentle low-pass (1, 2, 1) / 4. The audio path resamples on its way and
// treats the top of the band in its own manner; a capture and a reference
// both smoothed alike compare on what the path keeps.
inline Signal Smoothed(const Signal& x) {
    Signal out(x.size());
    for (size_t i = 0; i < x.size(); i++)
        out[i] = ((i ? x[i - 1] : 0) + 2 * x[i] + (i + 1 < x.size() ? x[i + 1] : 0)) / 4;
    return out;
}

// The left channel of an interleaved 44100 Hz capture, averaged in pairs to
// 22050 Hz and scaled to the mixer's 8-bit steps (one step is 256 in 16 bits).
inline Signal MixRateLeft(const std::vector<short>& interleaved) {
    Signal out(interleaved.size() / 4);
    for (size_t i = 0; i < out.size(); i++) out[i] = (interleaved[4 * i] + interleaved[4 * i + 2]) / 512.0;
    return out;
}

// `x` read `rate` times as fast (linear interpolation): undoes a capture's
// slight stretch.
inline Signal Rescaled(const Signal& x, double rate) {
    Signal out;
    if (x.empty() || rate <= 0) return out;
    out.reserve(static_cast<size_t>(x.size() / rate));
    for (double t = 0; t + 1 < x.size(); t += rate) {
        size_t i = static_cast<size_t>(t);
        double f = t - i;
        out.push_back(x[i] * (1 - f) + x[i + 1] * f);
    }
    return out;
}

// A place in the capture where a sound matches, and how well (1 is a perfect
// match up to scale).
struct Match {
    size_t at = 0;
    double score = 0;
};

// A capture made ready for correlations: its transform and its running energy.
class Capture {
public:
    Capture() : m_longest(0) {}
    // References up to `longest` samples can be correlated with it.
    Capture(const Signal& x, size_t longest) : m_x(x), m_energy(x.size() + 1, 0.0), m_longest(longest) {
        for (size_t i = 0; i < x.size(); i++) m_energy[i + 1] = m_energy[i] + x[i] * x[i];
        size_t n = 1;
        while (n < x.size() + longest) n <<= 1; // no wrapped-around products
        m_transform.assign(n, Complex(0));
        for (size_t i = 0; i < x.size(); i++) m_transform[i] = x[i];
        Fft(m_transform, false);
    }
    size_t size() const { return m_x.size(); }
    const Signal& samples() const { return m_x; }

    // Root-mean-square level over [from, to), in 8-bit steps.
    double level(size_t from, size_t to) const {
        to = std::min(to, m_x.size());
        if (from >= to) return 0;
        return sqrt((m_energy[to] - m_energy[from]) / static_cast<double>(to - from));
    }

    // The normalized cross-correlation of `ref` with the capture at `at`.
    double ncc(const Signal& ref, size_t at) const {
        if (at + ref.size() > m_x.size()) return 0;
        double dot = 0, refEnergy = 0;
        for (size_t i = 0; i < ref.size(); i++) {
            dot += ref[i] * m_x[at + i];
            refEnergy += ref[i] * ref[i];
        }
        double energy = m_energy[at + ref.size()] - m_energy[at];
        if (energy < refEnergy * 1e-3 || refEnergy <= 0) return 0;
        return dot / sqrt(energy * refEnergy);
    }

    // The normalized cross-correlation of two references at every start in
    // the capture (one transform for both: the first as the real part, the
    // second as the imaginary one). Where the capture is far quieter than
    // the reference could ever be mixed, the score is 0.
    void correlate(const Signal& first, const Signal& second, std::vector<float>* firstScores,
                   std::vector<float>* secondScores) const {
        const size_t n = m_transform.size();
        std::vector<Complex> r(n, Complex(0));
        for (size_t i = 0; i < first.size() && i < n; i++) r[i].real(first[i]);
        for (size_t i = 0; i < second.size() && i < n; i++) r[i].imag(second[i]);
        Fft(r, false);
        for (size_t i = 0; i < n; i++) r[i] = m_transform[i] * std::conj(r[i]);
        Fft(r, true);
        normalize(r, first, false, firstScores);
        normalize(r, second, true, secondScores);
    }

    // The best match of a reference's scores within [from, to).
    static Match best(const std::vector<float>& scores, size_t from, size_t to) {
        Match m;
        for (size_t k = from; k < std::min(to, scores.size()); k++)
            if (scores[k] > m.score) m = {k, scores[k]};
        return m;
    }

    // Every separate place scoring at least `threshold`: the best of each run
    // above it, runs closer than `gap` counting as one.
    static std::vector<Match> all(const std::vector<float>& scores, double threshold, size_t gap) {
        std::vector<Match> found;
        size_t lastAbove = 0;
        for (size_t k = 0; k < scores.size(); k++) {
            if (scores[k] < threshold) continue;
            if (found.empty() || k - lastAbove > gap) found.push_back(Match());
            if (scores[k] > found.back().score) found.back() = {k, scores[k]};
            lastAbove = k;
        }
        return found;
    }

    // How well the whole of `ref` matches from `at` on, following the slips
    // of the audio path (which now and then drops or repeats a few samples):
    // the reference goes in segments of `segment` samples, each placed where
    // it matches best within `slack` samples of where the previous one ended.
    // The score is the segments' mean weighted by their energy; `slips`, when
    // given, receives each segment's displacement.
    double follow(const Signal& ref, size_t at, size_t segment, long slack, std::vector<long>* slips) const {
        double weighted = 0, weights = 0;
        size_t next = at;
        for (size_t from = 0; from < ref.size(); from += segment) {
            Signal part(ref.begin() + from, ref.begin() + std::min(ref.size(), from + segment));
            double weight = 0;
            for (double v : part) weight += v * v;
            double best = -1;
            long bestSlip = 0;
            for (long d = from ? -slack : 0; d <= (from ? slack : 0); d++) {
                if (static_cast<long>(next) + d < 0) continue;
                double score = ncc(part, next + d);
                if (score > best) best = score, bestSlip = d;
            }
            if (slips) slips->push_back(bestSlip);
            weighted += weight * std::max(best, 0.0);
            weights += weight;
            next = next + bestSlip + part.size();
        }
        return weights > 0 ? weighted / weights : 0;
    }

private:
    void normalize(const std::vector<Complex>& c, const Signal& ref, bool imaginary,
                   std::vector<float>* scores) const {
        scores->assign(m_x.size(), 0.0f);
        if (ref.empty() || ref.size() > m_x.size() || ref.size() > m_longest) return;
        double refEnergy = 0;
        for (double v : ref) refEnergy += v * v;
        if (refEnergy <= 0) return;
        const size_t m = ref.size();
        for (size_t k = 0; k + m <= m_x.size(); k++) {
            double energy = m_energy[k + m] - m_energy[k];
            if (energy < refEnergy * 1e-3) continue;
            // The conjugate of the second reference turns its correlation into the negated imaginary part.
            double dot = imaginary ? -c[k].imag() : c[k].real();
            (*scores)[k] = static_cast<float>(dot / sqrt(energy * refEnergy));
        }
    }

    Signal m_x;
    Signal m_energy; // running sum of squares: m_energy[i] covers samples before i
    size_t m_longest;
    std::vector<Complex> m_transform;
};

} // namespace soundsignal
