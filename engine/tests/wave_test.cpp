// WAVE reading and conversion to the mixer's format, and Sound loading.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>
#include <vector>

#include "cea_sound.h"
#include "cea_wave.h"
#include "guarded_bytes.h"
#include "mem_manager.h"

namespace {

void Put32(std::vector<BYTE>& out, DWORD v) {
    for (int i = 0; i < 4; i++) out.push_back(static_cast<BYTE>(v >> (8 * i)));
}
void Put16(std::vector<BYTE>& out, WORD v) {
    out.push_back(static_cast<BYTE>(v));
    out.push_back(static_cast<BYTE>(v >> 8));
}
void PutId(std::vector<BYTE>& out, const char* id) { out.insert(out.end(), id, id + 4); }

// A RIFF WAVE image whose "fmt " chunk is `fmtSize` bytes long (16, 18 or
// anything else, filled from a PCM format).
std::vector<BYTE> MakeWave(WORD channels, DWORD rate, WORD bits, const std::vector<BYTE>& samples,
                           DWORD fmtSize = 16, bool extraChunk = false) {
    std::vector<BYTE> fmt;
    Put16(fmt, WAVE_FORMAT_PCM);
    Put16(fmt, channels);
    Put32(fmt, rate);
    Put32(fmt, rate * channels * bits / 8);
    Put16(fmt, static_cast<WORD>(channels * bits / 8));
    Put16(fmt, bits);
    Put16(fmt, 0);
    fmt.resize(fmtSize, 0);
    std::vector<BYTE> out;
    PutId(out, "RIFF");
    Put32(out, 0);
    PutId(out, "WAVE");
    if (extraChunk) {
        // An odd-sized chunk before the format, padded as RIFF asks.
        PutId(out, "LIST");
        Put32(out, 3);
        out.insert(out.end(), {'a', 'b', 'c', 0});
    }
    PutId(out, "fmt ");
    Put32(out, fmtSize);
    out.insert(out.end(), fmt.begin(), fmt.end());
    PutId(out, "data");
    Put32(out, static_cast<DWORD>(samples.size()));
    out.insert(out.end(), samples.begin(), samples.end());
    DWORD riffSize = static_cast<DWORD>(out.size() - 8);
    memcpy(&out[4], &riffSize, 4);
    return out;
}

std::vector<BYTE> Ramp8(size_t count) {
    std::vector<BYTE> v(count);
    for (size_t i = 0; i < count; i++) v[i] = static_cast<BYTE>(i * 7);
    return v;
}

} // namespace

TEST(WaveParse, SixteenAndEighteenByteFormatChunksAreRead) {
    std::vector<BYTE> samples = Ramp8(100);
    for (DWORD fmtSize : {16u, 18u, 20u}) {
        std::vector<BYTE> wave = MakeWave(1, 22050, 8, samples, fmtSize, fmtSize == 18);
        WaveView view;
        ASSERT_TRUE(WaveParse(wave.data(), static_cast<DWORD>(wave.size()), &view)) << fmtSize;
        EXPECT_EQ(WAVE_FORMAT_PCM, view.format.wFormatTag);
        EXPECT_EQ(1, view.format.nChannels);
        EXPECT_EQ(22050u, view.format.nSamplesPerSec);
        EXPECT_EQ(8, view.format.wBitsPerSample);
        EXPECT_EQ(0, view.format.cbSize);
        ASSERT_EQ(100u, view.dataSize);
        EXPECT_EQ(0, memcmp(view.data, samples.data(), 100));

        Sound sound(wave.data(), static_cast<DWORD>(wave.size()));
        ASSERT_TRUE(sound.HasData()) << fmtSize;
        ASSERT_EQ(100u, sound.Size());
        EXPECT_EQ(0, memcmp(sound.Data(), samples.data(), 100));
        EXPECT_NE(wave.data() + (wave.size() - 100), sound.Data()) << "the sound keeps its own copy";
    }
}

TEST(WaveParse, FourteenByteFormatChunkLeavesNoUsableFormat) {
    std::vector<BYTE> wave = MakeWave(1, 22050, 8, Ramp8(64), 14);
    WaveView view;
    WaveParse(wave.data(), static_cast<DWORD>(wave.size()), &view);
    EXPECT_EQ(0, view.format.wFormatTag);
    Sound sound(wave.data(), static_cast<DWORD>(wave.size()));
    EXPECT_FALSE(sound.HasData());
    sound.Play(Sound::kOnce); // does nothing, and must not fail
    EXPECT_FALSE(sound.IsPlaying());
}

TEST(WaveParse, RejectsWhatIsNotACompleteWave) {
    std::vector<BYTE> good = MakeWave(1, 22050, 8, Ramp8(32));
    WaveView view;
    std::vector<BYTE> bad = good;
    memcpy(bad.data(), "RIFX", 4);
    EXPECT_FALSE(WaveParse(bad.data(), static_cast<DWORD>(bad.size()), &view));
    bad = good;
    memcpy(bad.data() + 8, "AVI ", 4);
    EXPECT_FALSE(WaveParse(bad.data(), static_cast<DWORD>(bad.size()), &view));
    // A "data" chunk that claims more than is there.
    EXPECT_FALSE(WaveParse(good.data(), static_cast<DWORD>(good.size() - 1), &view));
    EXPECT_EQ(nullptr, view.data);
    EXPECT_FALSE(WaveParse(good.data(), 11, &view));
    EXPECT_FALSE(WaveParse(nullptr, 100, &view));
}

TEST(WaveConvert, SixteenBit44100StereoBecomesEightBit22050Stereo) {
    // One second of a 441 Hz tone on the left and silence on the right.
    const DWORD frames = 44100;
    std::vector<BYTE> samples;
    for (DWORD i = 0; i < frames; i++) {
        short left = static_cast<short>(16000 * sin(2 * 3.14159265358979 * 441 * i / 44100.0));
        Put16(samples, static_cast<WORD>(left));
        Put16(samples, 0);
    }
    std::vector<BYTE> wave = MakeWave(2, 44100, 16, samples, 18);
    Sound sound(wave.data(), static_cast<DWORD>(wave.size()));
    ASSERT_TRUE(sound.HasData());
    const WAVEFORMATEX& f = sound.Format();
    EXPECT_EQ(WAVE_FORMAT_PCM, f.wFormatTag);
    EXPECT_EQ(2, f.nChannels);
    EXPECT_EQ(22050u, f.nSamplesPerSec);
    EXPECT_EQ(8, f.wBitsPerSample);
    EXPECT_EQ(2, f.nBlockAlign);
    EXPECT_EQ(44100u, f.nAvgBytesPerSec);
    // Half the frames at one byte per sample, give or take the converter's
    // filter edge.
    EXPECT_NEAR(22050.0 * 2, sound.Size(), 64);
    EXPECT_EQ(0u, sound.Size() % 2);
    // The left channel carries the tone at about 16000/256 = 62 steps, the
    // right channel stays at the midpoint.
    int leftMax = 0, rightMax = 0;
    for (DWORD i = 0; i + 1 < sound.Size(); i += 2) {
        leftMax = std::max(leftMax, abs(sound.Data()[i] - 128));
        rightMax = std::max(rightMax, abs(sound.Data()[i + 1] - 128));
    }
    EXPECT_NEAR(62, leftMax, 4);
    EXPECT_LE(rightMax, 1);
    // 441 Hz at 22050 Hz: 50 samples per period, so 882 rising zero
    // crossings in a second.
    int crossings = 0;
    for (DWORD i = 2; i < sound.Size(); i += 2)
        if (sound.Data()[i - 2] < 128 && sound.Data()[i] >= 128) crossings++;
    EXPECT_NEAR(441, crossings, 3);
}

TEST(WaveConvert, SixteenBitMonoAtTheMixerRateNeedsOnlyTheLastStep) {
    std::vector<BYTE> samples;
    for (int i = 0; i < 1000; i++) Put16(samples, static_cast<WORD>((i % 2 ? 1 : -1) * 0x4000));
    WAVEFORMATEX format = {WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0};
    Sound sound(&format, samples.data(), static_cast<DWORD>(samples.size()));
    ASSERT_TRUE(sound.HasData());
    ASSERT_EQ(1000u, sound.Size());
    EXPECT_EQ(8, sound.Format().wBitsPerSample);
    EXPECT_EQ(0x40, sound.Data()[0]); // -0x4000 is a quarter scale below the midpoint
    EXPECT_EQ(0xC0, sound.Data()[1]);
}

TEST(WaveConvert, UnknownOrImpossibleFormatsLeaveNoData) {
    std::vector<BYTE> samples = Ramp8(256);
    WAVEFORMATEX unknown = {0x7777, 1, 22050, 22050, 1, 8, 0};
    EXPECT_FALSE(Sound(&unknown, samples.data(), 256).HasData());
    WAVEFORMATEX sixChannels = {WAVE_FORMAT_PCM, 6, 22050, 132300, 6, 8, 0};
    EXPECT_FALSE(Sound(&sixChannels, samples.data(), 252).HasData());
    WAVEFORMATEX zeroRate = {WAVE_FORMAT_PCM, 1, 0, 0, 1, 8, 0};
    EXPECT_FALSE(Sound(&zeroRate, samples.data(), 256).HasData());
    WAVEFORMATEX pcm = {WAVE_FORMAT_PCM, 1, 22050, 22050, 1, 8, 0};
    EXPECT_FALSE(Sound(&pcm, samples.data(), 0).HasData());
    EXPECT_FALSE(Sound(&pcm, nullptr, 10).HasData());
}

// The converter sizes its output from the average byte rate; a format that
// needs converting with a byte rate of 0 killed the process inside the size
// query. Such formats are refused before any conversion call, while 8-bit PCM
// at the mixer's rate needs no conversion and keeps its bytes whatever the
// rate field says.
TEST(WaveConvert, ByteRatesThatContradictTheFormatAreRefusedBeforeConversion) {
    std::vector<BYTE> samples = Ramp8(400);
    WAVEFORMATEX sixteenBitNoRate = {WAVE_FORMAT_PCM, 1, 22050, 0, 2, 16, 0};
    EXPECT_FALSE(Sound(&sixteenBitNoRate, samples.data(), 400).HasData());
    WAVEFORMATEX otherRateNoRate = {WAVE_FORMAT_PCM, 1, 44100, 0, 1, 8, 0};
    EXPECT_FALSE(Sound(&otherRateNoRate, samples.data(), 400).HasData());
    WAVEFORMATEX stereoWrongRate = {WAVE_FORMAT_PCM, 2, 44100, 1, 4, 16, 0};
    EXPECT_FALSE(Sound(&stereoWrongRate, samples.data(), 400).HasData());

    WAVEFORMATEX mixerFormatNoRate = {WAVE_FORMAT_PCM, 1, 22050, 0, 1, 8, 0};
    Sound kept(&mixerFormatNoRate, samples.data(), 400);
    ASSERT_TRUE(kept.HasData());
    EXPECT_EQ(400u, kept.Size());
    EXPECT_EQ(0, memcmp(samples.data(), kept.Data(), 400));

    // The same refusal through a whole file, as a resource or a download would bring it.
    std::vector<BYTE> wave = MakeWave(1, 22050, 16, samples);
    memset(&wave[28], 0, 4); // the "fmt " chunk's average byte rate
    EXPECT_FALSE(Sound(wave.data(), static_cast<DWORD>(wave.size())).HasData());
}

namespace {

WAVEFORMATEX Pcm(DWORD rate, WORD bits, WORD channels) {
    WORD block = static_cast<WORD>(channels * bits / 8);
    return WAVEFORMATEX{WAVE_FORMAT_PCM, channels, rate, rate * block, block, bits, 0};
}

struct StepResult {
    bool ok;
    WAVEFORMATEX format;
    std::vector<BYTE> bytes;
};

StepResult RunStep(bool direct, const WAVEFORMATEX& source, const std::vector<BYTE>& data, DWORD rate,
                   WORD bits) {
    StepResult r = {false, {}, {}};
    BYTE* out = nullptr;
    DWORD size = 0;
    const BYTE* bytes = data.empty() ? nullptr : data.data();
    DWORD count = static_cast<DWORD>(data.size());
    r.ok = direct
               ? WaveConvertStep(&source, bytes, count, rate, bits, source.nChannels, &r.format, &out, &size)
               : WaveConvertStepWithManager(&source, bytes, count, rate, bits, source.nChannels, &r.format,
                                            &out, &size);
    if (r.ok) {
        r.bytes.assign(out, out + size);
        MEMFREE(out);
    }
    return r;
}

std::vector<BYTE> Noise(size_t count, DWORD seed) {
    std::vector<BYTE> v(count);
    for (size_t i = 0; i < count; i++) {
        seed = seed * 1103515245u + 12345u;
        v[i] = static_cast<BYTE>(seed >> 16);
    }
    return v;
}

} // namespace

// Halving the rate and going from 16 to 8 bits are made by the engine itself;
// for every channel count, sample size and length, down to lengths that leave
// a part frame or no whole output frame, the result is the manager's own.
TEST(WaveConvert, StepsMadeDirectlyGiveWhatTheManagerGives) {
    struct Step {
        WAVEFORMATEX source;
        DWORD rate;
        WORD bits;
    };
    const Step steps[] = {
        {Pcm(44100, 16, 2), 22050, 16}, {Pcm(44100, 16, 1), 22050, 16}, {Pcm(44100, 8, 2), 22050, 8},
        {Pcm(44100, 8, 1), 22050, 8},   {Pcm(22050, 16, 2), 22050, 8},  {Pcm(22050, 16, 1), 22050, 8},
        {Pcm(48000, 16, 2), 24000, 16},
    };
    const size_t sizes[] = {1, 2, 3, 4, 5, 7, 8, 9, 13, 1000, 1001, 1002, 1003, 44100 * 4 + 6};
    int compared = 0;
    for (const Step& step : steps) {
        for (size_t size : sizes) {
            std::vector<BYTE> data = Noise(size, static_cast<DWORD>(size * 31 + step.source.nSamplesPerSec));
            StepResult direct = RunStep(true, step.source, data, step.rate, step.bits);
            StepResult manager = RunStep(false, step.source, data, step.rate, step.bits);
            SCOPED_TRACE(testing::Message()
                         << step.source.nSamplesPerSec << " Hz " << step.source.wBitsPerSample << " bits "
                         << step.source.nChannels << " channels, " << size << " bytes");
            ASSERT_EQ(manager.ok, direct.ok);
            if (!manager.ok) continue;
            EXPECT_EQ(0, memcmp(&manager.format, &direct.format, sizeof(WAVEFORMATEX)));
            ASSERT_EQ(manager.bytes.size(), direct.bytes.size());
            EXPECT_TRUE(manager.bytes == direct.bytes);
            compared++;
        }
    }
    EXPECT_GE(compared, 60); // most lengths give a whole frame
}

// The whole way to the mixer's format: sounds recorded like the game's music
// (16 bits, 44100 Hz, stereo) and their mono, 8-bit and 22050 Hz kin, some
// with an unpaired last frame or a part frame, end as the manager's steps
// leave them.
TEST(WaveConvert, PlainPcmReachesTheMixerExactlyAsThroughTheManager) {
    struct Case {
        DWORD rate;
        WORD bits;
        WORD channels;
        DWORD frames;
        DWORD extraBytes;
    };
    const Case cases[] = {{44100, 16, 2, 30001, 0}, {44100, 16, 2, 30000, 3}, {44100, 16, 1, 1001, 1},
                          {44100, 8, 2, 999, 1},    {44100, 8, 1, 4001, 0},   {22050, 16, 2, 777, 2},
                          {22050, 16, 1, 778, 1},   {44100, 16, 2, 1, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rate << " Hz " << c.bits << " bits " << c.channels
                                        << " channels, " << c.frames << " frames");
        std::vector<BYTE> samples;
        for (DWORD i = 0; i < c.frames; i++)
            for (WORD k = 0; k < c.channels; k++) {
                short value = static_cast<short>(20000 * sin(i * (0.031 + 0.01 * k)) + (i % 7) * 300);
                if (c.bits == 16)
                    Put16(samples, static_cast<WORD>(value));
                else
                    samples.push_back(static_cast<BYTE>((value >> 8) ^ 0x80));
            }
        samples.resize(samples.size() + c.extraBytes, 0x55);
        WAVEFORMATEX source = Pcm(c.rate, c.bits, c.channels);
        StepResult expected = {true, source, samples};
        if (c.rate != 22050) expected = RunStep(false, expected.format, expected.bytes, 22050, c.bits);
        if (expected.ok && c.bits != 8) expected = RunStep(false, expected.format, expected.bytes, 22050, 8);

        WAVEFORMATEX format;
        BYTE* out = nullptr;
        DWORD size = 0;
        bool ok = WaveToMixerFormat(&source, samples.data(), static_cast<DWORD>(samples.size()), &format,
                                    &out, &size);
        ASSERT_EQ(expected.ok, ok);
        if (!ok) continue;
        std::vector<BYTE> got(out, out + size);
        MEMFREE(out);
        EXPECT_EQ(0, memcmp(&expected.format, &format, sizeof format));
        EXPECT_TRUE(expected.bytes == got);
    }
}

// Steps the engine does not make itself still reach the manager: doubling a
// rate, and a format whose byte rate does not match its blocks.
TEST(WaveConvert, OtherStepsStillGoThroughTheManager) {
    std::vector<BYTE> data = Noise(4000, 99);
    StepResult doubled = RunStep(true, Pcm(11025, 8, 1), data, 22050, 8);
    StepResult doubledByManager = RunStep(false, Pcm(11025, 8, 1), data, 22050, 8);
    ASSERT_TRUE(doubled.ok);
    EXPECT_TRUE(doubled.bytes == doubledByManager.bytes);
    EXPECT_NEAR(8000.0, doubled.bytes.size(), 4);

    WAVEFORMATEX widened = Pcm(22050, 8, 1);
    StepResult wider = RunStep(true, widened, data, 22050, 16);
    ASSERT_TRUE(wider.ok);
    EXPECT_TRUE(wider.bytes == RunStep(false, widened, data, 22050, 16).bytes);
    EXPECT_EQ(8000u, wider.bytes.size());
}

TEST(WaveLoad, FilesAndResourcesThatCannotBeReadLeaveNoData) {
    EXPECT_FALSE(Sound(TEXT("no such folder\\no such file.wav")).HasData());
    EXPECT_FALSE(Sound(GetModuleHandle(nullptr), MAKEINTRESOURCE(500)).HasData());

    TCHAR folder[MAX_PATH], path[MAX_PATH];
    GetTempPath(MAX_PATH, folder);
    GetTempFileName(folder, TEXT("vxw"), 0, path);
    std::vector<BYTE> wave = MakeWave(1, 22050, 8, Ramp8(300));
    HANDLE file = CreateFile(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written;
    WriteFile(file, wave.data(), static_cast<DWORD>(wave.size()), &written, nullptr);
    CloseHandle(file);
    Sound fromFile(path);
    DeleteFile(path);
    ASSERT_TRUE(fromFile.HasData());
    EXPECT_EQ(300u, fromFile.Size());
}

// A copy of this test program whose resources are replaced by WAVE images
// under named types, loaded as a data file.
class SoundResourceModule {
public:
    struct Entry {
        const WCHAR* type;
        WORD id;
        std::vector<BYTE> data;
    };
    explicit SoundResourceModule(const std::vector<Entry>& entries) {
        WCHAR folder[MAX_PATH], self[MAX_PATH];
        GetTempPathW(MAX_PATH, folder);
        GetTempFileNameW(folder, L"vxs", 0, m_path);
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        if (!CopyFileW(self, m_path, FALSE)) return;
        HANDLE update = BeginUpdateResourceW(m_path, TRUE);
        if (!update) return;
        for (const Entry& e : entries)
            UpdateResourceW(update, e.type, MAKEINTRESOURCEW(e.id), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                            const_cast<BYTE*>(e.data.data()), static_cast<DWORD>(e.data.size()));
        if (!EndUpdateResourceW(update, FALSE)) return;
        m_module = LoadLibraryExW(m_path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    ~SoundResourceModule() {
        if (m_module) FreeLibrary(m_module);
        DeleteFileW(m_path);
    }
    HMODULE module() const { return m_module; }

private:
    WCHAR m_path[MAX_PATH] = {0};
    HMODULE m_module = nullptr;
};

// Sounds are looked up as type "SOUND" first and as "WAVE" only when there
// is none; the sizes of the stored sounds tell which one was loaded.
TEST(WaveLoad, ResourcesOfTypeSoundComeBeforeWave) {
    SoundResourceModule resources({
        {L"SOUND", 7, MakeWave(1, 22050, 8, Ramp8(100))},
        {L"WAVE", 7, MakeWave(1, 22050, 8, Ramp8(200))},
        {L"WAVE", 8, MakeWave(1, 22050, 8, Ramp8(300))},
        {L"SOUND", 9, MakeWave(1, 22050, 8, Ramp8(400))},
    });
    ASSERT_NE(nullptr, resources.module());
    Sound both(resources.module(), MAKEINTRESOURCE(7));
    ASSERT_TRUE(both.HasData());
    EXPECT_EQ(100u, both.Size()) << "the SOUND resource wins over the WAVE of the same name";
    EXPECT_EQ(0, memcmp(Ramp8(100).data(), both.Data(), 100));
    Sound waveOnly(resources.module(), MAKEINTRESOURCE(8));
    ASSERT_TRUE(waveOnly.HasData());
    EXPECT_EQ(300u, waveOnly.Size());
    Sound soundOnly(resources.module(), MAKEINTRESOURCE(9));
    ASSERT_TRUE(soundOnly.HasData());
    EXPECT_EQ(400u, soundOnly.Size());
    EXPECT_FALSE(Sound(resources.module(), MAKEINTRESOURCE(10)).HasData());
}

// Truncations at every length and a fixed number of seeded mutations of a
// valid image (chunk sizes, identifiers, format fields): each either loads or
// leaves no data, never reads past its input.
TEST(WaveFuzz, DamagedImagesFailCleanly) {
    std::vector<BYTE> samples;
    for (int i = 0; i < 400; i++) Put16(samples, static_cast<WORD>(i * 331));
    std::vector<BYTE> good = MakeWave(2, 44100, 16, samples, 18, true);
    for (size_t cut = 0; cut < good.size(); cut += cut < 80 ? 1 : 23) {
        std::vector<BYTE> part(good.begin(), good.begin() + cut);
        GuardedBytes guarded(part);
        Sound sound(guarded.data(), static_cast<DWORD>(cut));
        EXPECT_FALSE(sound.HasData()) << "cut at " << cut;
    }
    DWORD seed = 12345;
    auto next = [&seed]() {
        seed = seed * 1103515245 + 12345;
        return (seed >> 8) & 0xFFFFFF;
    };
    MemStats before = MemGetStats();
    int loaded = 0;
    for (int round = 0; round < 400; round++) {
        std::vector<BYTE> bad = good;
        int edits = 1 + next() % 4;
        for (int e = 0; e < edits; e++) {
            // Most edits go to the 60-byte header where the structure lives.
            size_t at = next() % 4 ? next() % 60 : next() % bad.size();
            switch (next() % 4) {
            case 0:
                bad[at] = static_cast<BYTE>(next());
                break;
            case 1:
                bad[at] = 0xFF;
                break;
            case 2:
                bad[at] = 0;
                break;
            default:
                bad.resize(next() % bad.size());
                break;
            }
            if (bad.empty()) break;
        }
        GuardedBytes guarded(bad);
        Sound sound(guarded.data(), static_cast<DWORD>(bad.size()));
        if (sound.HasData()) {
            loaded++;
            EXPECT_GT(sound.Size(), 0u);
            EXPECT_EQ(8, sound.Format().wBitsPerSample);
            EXPECT_EQ(22050u, sound.Format().nSamplesPerSec);
        }
    }
    // Edits in the sample bytes keep an image loadable; a fuzz loop that never
    // loads anything would test nothing but rejection.
    EXPECT_GT(loaded, 0);
    EXPECT_EQ(before.liveBlocks, MemGetStats().liveBlocks);
}
