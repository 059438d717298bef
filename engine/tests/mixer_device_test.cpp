// The mixer on the platform's real wave-output device. Under Wine with ALSA
// pointed at tests/alsa/capture.conf (the test run sets ALSA_CONFIG_PATH and
// VEXLIN_SOUND_CAPTURE), the device's output lands in a file, and the test
// measures it: a tone's level and pitch, two overlapping tones mixed without
// clipping.
#include <gtest/gtest.h>

#include <math.h>
#include <stdio.h>
#include <string>
#include <vector>

#include "cea_mixer.h"
#include "cea_sound.h"
#include "mem_manager.h"
#include "sound_capture.h"

using namespace soundcapture;

namespace {

const double kPi = 3.14159265358979;
const int kLoneAmplitude = 100; // of 127
const int kPairAmplitude = 120;
const double kLoneHz = 441.0;   // 50 samples per period at 22050 Hz
const double kSecondHz = 735.0; // 30 samples per period

Sound* Tone(double hz, int amplitude, int milliseconds) {
    WAVEFORMATEX format = {WAVE_FORMAT_PCM, 1, 22050, 22050, 1, 8, 0};
    std::vector<BYTE> samples(22050 * milliseconds / 1000);
    for (size_t i = 0; i < samples.size(); i++)
        samples[i] = static_cast<BYTE>(lround(128 + amplitude * sin(2 * kPi * hz * i / 22050.0)));
    return MEMNEW(Sound, (&format, samples.data(), static_cast<DWORD>(samples.size())));
}

// Waits (bounded) until `count` end messages have reached `window`.
bool WaitForEnds(HWND window, int count, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    int seen = 0;
    while (seen < count && GetTickCount() - start < timeoutMs) {
        MSG msg;
        while (PeekMessage(&msg, window, kSoundEndMessage, kSoundEndMessage, PM_REMOVE)) seen++;
        Sleep(5);
    }
    return seen >= count;
}

// The share of a stretch's energy that lies at one frequency: about 1 for a
// pure tone, 1/2 for each of two equally loud ones.
double WindowShareAt(const std::vector<short>& x, size_t from, size_t to, double hz) {
    double w = 2 * kPi * hz / kCaptureRate, c = 2 * cos(w), s1 = 0, s2 = 0, energy = 0;
    for (size_t i = from; i < to; i++) {
        double s0 = x[i] + c * s1 - s2;
        s2 = s1;
        s1 = s0;
        energy += static_cast<double>(x[i]) * x[i];
    }
    double n = static_cast<double>(to - from);
    double power = (s1 * s1 + s2 * s2 - c * s1 * s2) / (n * n);
    return energy > 0 ? 2 * power / (energy / n) : 0;
}

// The share averaged over the whole 2048-frame windows inside a run, leaving
// out the first and the last. Short windows, because the platform's audio
// path may slip a few samples now and then, which over a long stretch blurs
// even a clean tone.
double ShareAt(const std::vector<short>& x, size_t from, size_t to, double hz) {
    const size_t window = 2048;
    double sum = 0;
    int count = 0;
    for (size_t at = from + window; at + 2 * window <= to; at += window, count++)
        sum += WindowShareAt(x, at, at + window, hz);
    return count ? sum / count : 0;
}

struct LoudRun {
    size_t start, end; // frames of the capture
};

// The runs of 10 ms windows whose level is above `threshold`.
std::vector<LoudRun> LoudRuns(const std::vector<short>& left, int threshold) {
    std::vector<LoudRun> runs;
    const size_t window = kCaptureRate / 100;
    bool inRun = false;
    for (size_t w = 0; w + window <= left.size(); w += window) {
        int peak = 0;
        for (size_t i = w; i < w + window; i++) peak = std::max(peak, abs(left[i]));
        if (peak > threshold && !inRun) runs.push_back({w, w + window});
        if (peak > threshold) runs.back().end = w + window;
        inRun = peak > threshold;
    }
    return runs;
}

} // namespace

TEST(MixerDevice, TonesReachTheDeviceAtTheirLevelAndPitchWithoutClipping) {
    std::string why;
    std::wstring capture = CapturePath(&why);
    if (capture.empty()) GTEST_SKIP() << why;
    DeleteFileW(capture.c_str());
    // Wine picks its audio driver when the first device opens; a machine with
    // a sound server would otherwise be heard instead of ALSA.
    DriverChoice alsa("alsa");

    HWND window =
        CreateWindow(TEXT("STATIC"), TEXT(""), 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    Sound* lone = Tone(kLoneHz, kLoneAmplitude, 500);
    Sound* first = Tone(kLoneHz, kPairAmplitude, 500);
    Sound* second = Tone(kSecondHz, kPairAmplitude, 500);
    for (Sound* s : {lone, first, second}) s->SetNotify(window, 0);
    lone->Play(Sound::kOnceThenDelete);
    bool stereo = false;
    ASSERT_TRUE(MixerDeviceOpen(&stereo)) << "Wine's device refused 8-bit 22050 Hz output";
    EXPECT_TRUE(stereo);
    ASSERT_TRUE(WaitForEnds(window, 1, 5000));
    Sleep(300);
    first->Play(Sound::kOnceThenDelete);
    second->Play(Sound::kOnceThenDelete);
    ASSERT_TRUE(WaitForEnds(window, 2, 5000));
    Sleep(300);
    MixerTerminate(); // closing the device closes the capture file
    DestroyWindow(window);

    std::vector<short> samples = ReadCapture(capture);
    DeleteFileW(capture.c_str());
    ASSERT_FALSE(samples.empty()) << "nothing was captured: Wine did not play through ALSA's default device";
    std::vector<short> left, right;
    for (size_t i = 0; i + 1 < samples.size(); i += 2) {
        left.push_back(samples[i]);
        right.push_back(samples[i + 1]);
    }
    std::vector<LoudRun> runs = LoudRuns(left, 2000);
    ASSERT_EQ(2u, runs.size()) << "expected the lone tone and the pair, apart";

    // The lone tone: 100 of 128 steps is 25600 in 16 bits, on both channels,
    // for half a second, at 441 Hz.
    const LoudRun& one = runs[0];
    int peak = 0, rightPeak = 0;
    for (size_t i = one.start; i < one.end; i++) {
        peak = std::max(peak, abs(left[i]));
        rightPeak = std::max(rightPeak, abs(right[i]));
    }
    EXPECT_NEAR(kLoneAmplitude * 256, peak, 800);
    EXPECT_NEAR(peak, rightPeak, 300);
    EXPECT_NEAR(kCaptureRate / 2, static_cast<double>(one.end - one.start), kCaptureRate / 20);
    EXPECT_GT(ShareAt(left, one.start, one.end, kLoneHz), 0.85);
    EXPECT_LT(ShareAt(left, one.start, one.end, kLoneHz * 1.05), 0.3) << "the pitch is off";
    EXPECT_LT(ShareAt(left, one.start, one.end, kLoneHz * 0.95), 0.3) << "the pitch is off";

    // The pair: each tone alone would nearly fill the range, together they
    // would clip; the gain brings the mix back to one tone's peak.
    const LoudRun& two = runs[1];
    peak = 0;
    int saturated = 0;
    for (size_t i = two.start; i < two.end; i++) {
        peak = std::max(peak, abs(left[i]));
        saturated += left[i] >= 32767 || left[i] <= -32767;
    }
    EXPECT_EQ(0, saturated);
    EXPECT_LE(peak, kPairAmplitude * 256 + 300);
    EXPECT_GT(peak, kPairAmplitude * 256 * 3 / 4);
    EXPECT_GT(ShareAt(left, two.start, two.end, kLoneHz), 0.35);
    EXPECT_GT(ShareAt(left, two.start, two.end, kSecondHz), 0.35);
}
