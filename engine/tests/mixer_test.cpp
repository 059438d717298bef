// The mixer: buffer filling without a device, and the thread, the buffer ring
// and the device calls against a device that a test drives by hand.
#include <gtest/gtest.h>

#include <memory>
#include <string.h>
#include <vector>

#include "cea_mixer.h"
#include "cea_sound.h"
#include "mem_manager.h"

namespace {

WAVEFORMATEX MixerFormat(WORD channels) {
    WAVEFORMATEX f = {WAVE_FORMAT_PCM, channels, 22050, 22050u * channels, channels, 8, 0};
    return f;
}

std::vector<BYTE> Wave(size_t count, int amplitude, int period = 50) {
    std::vector<BYTE> v(count);
    for (size_t i = 0; i < count; i++)
        v[i] = static_cast<BYTE>(128 + (static_cast<int>(i % period) < period / 2 ? amplitude : -amplitude));
    return v;
}

// A hidden window that collects the end messages posted to it.
class NotifyWindow {
public:
    NotifyWindow() {
        m_window =
            CreateWindow(TEXT("STATIC"), TEXT(""), 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    }
    ~NotifyWindow() { DestroyWindow(m_window); }
    HWND handle() const { return m_window; }
    // The end messages waiting now, in order: (wParam, lParam).
    std::vector<std::pair<WPARAM, LPARAM>> Take() {
        std::vector<std::pair<WPARAM, LPARAM>> got;
        MSG msg;
        while (PeekMessage(&msg, m_window, kSoundEndMessage, kSoundEndMessage, PM_REMOVE))
            got.push_back({msg.wParam, msg.lParam});
        return got;
    }

private:
    HWND m_window;
};

struct FillFixture : ::testing::Test {
    MixState state;
    std::vector<BYTE> out;
    void SetUp() override {
        memset(&state, 0, sizeof(state));
        state.deviceOpen = true;
        state.deviceStereo = true;
        out.assign(kMixerBufferBytes, 0);
    }
    void TearDown() override { MixFreeState(&state); }
    // Sounds live in the fixture so that they outlive the slots that name them.
    std::vector<std::unique_ptr<Sound>> sounds;
    Sound& Make(const WAVEFORMATEX* format, const BYTE* data, DWORD size) {
        sounds.emplace_back(new Sound(format, data, size));
        return *sounds.back();
    }
    bool Fill() { return MixFillBuffer(&state, out.data(), kMixerBufferBytes); }
    // Plays `sound` alone, from its start, into one buffer of a stereo or mono device.
    void FillAlone(Sound& sound, bool deviceStereo) {
        MixFreeState(&state);
        state.deviceOpen = true;
        state.deviceStereo = deviceStereo;
        ASSERT_TRUE(MixAddSlot(&state, &sound, false, nullptr));
        ASSERT_TRUE(Fill());
    }
    DWORD SlotsInUse() {
        DWORD n = 0;
        for (DWORD i = 0; i < state.slotCount; i++) n += state.slots[i].data != nullptr;
        return n;
    }
};

} // namespace

TEST_F(FillFixture, TwoIdenticalSoundsPlayAtTheLoudnessOfOne) {
    WAVEFORMATEX mono = MixerFormat(1);
    std::vector<BYTE> samples = Wave(2000, 100);
    Sound& sound = Make(&mono, samples.data(), 2000);
    ASSERT_TRUE(MixAddSlot(&state, &sound, false, nullptr));
    ASSERT_TRUE(Fill());
    std::vector<BYTE> single = out;
    EXPECT_EQ(100, state.inputPeak);
    EXPECT_EQ(100, state.mixPeak);
    MixFreeState(&state);

    state.deviceOpen = state.deviceStereo = true;
    ASSERT_TRUE(MixAddSlot(&state, &sound, false, nullptr));
    ASSERT_TRUE(MixAddSlot(&state, &sound, false, nullptr));
    EXPECT_TRUE(sound.IsPlaying());
    ASSERT_TRUE(Fill());
    EXPECT_EQ(100, state.inputPeak);
    EXPECT_EQ(200, state.mixPeak);
    EXPECT_EQ(single, out);
    EXPECT_EQ(228, out[0]);
    EXPECT_EQ(228, out[1]);
}

TEST_F(FillFixture, GainNeverWrapsPastTheSampleRange) {
    // Frame 0 sums +100 and -128, frame 1 +100 and 0: the mix peak (100) is
    // below the input peak (128), so frame 1 is amplified to the top.
    WAVEFORMATEX mono = MixerFormat(1);
    BYTE a[2] = {228, 228}, b[2] = {0, 128};
    Sound& first = Make(&mono, a, 2);
    Sound& second = Make(&mono, b, 2);
    state.deviceStereo = false;
    ASSERT_TRUE(MixAddSlot(&state, &first, false, nullptr));
    ASSERT_TRUE(MixAddSlot(&state, &second, false, nullptr));
    ASSERT_TRUE(Fill());
    EXPECT_EQ(128, state.inputPeak);
    EXPECT_EQ(100, state.mixPeak);
    EXPECT_EQ(128 + (-28 * 128 / 100), out[0]);
    EXPECT_EQ(255, out[1]);
    EXPECT_EQ(128, out[2]);
}

TEST_F(FillFixture, MonoAndStereoSlotsIntoMonoAndStereoDevices) {
    WAVEFORMATEX mono = MixerFormat(1), stereo = MixerFormat(2);
    std::vector<BYTE> monoSamples = Wave(3000, 60, 10);
    std::vector<BYTE> stereoSamples(3000);
    for (size_t i = 0; i < 3000; i += 2) {
        stereoSamples[i] = static_cast<BYTE>(128 + (i % 20 < 10 ? 50 : -50)); // left: a square wave
        stereoSamples[i + 1] = 128 - 50;                                      // right: a constant
    }
    Sound& monoSound = Make(&mono, monoSamples.data(), 3000);
    Sound& stereoSound = Make(&stereo, stereoSamples.data(), 3000);

    // Mono slot, stereo device: 512 frames, the sample on both channels.
    ASSERT_NO_FATAL_FAILURE(FillAlone(monoSound, true));
    for (DWORD f = 0; f < 512; f++) {
        ASSERT_EQ(monoSamples[f], out[2 * f]) << f;
        ASSERT_EQ(monoSamples[f], out[2 * f + 1]) << f;
    }
    EXPECT_EQ(512u, state.slots[0].position);
    // Stereo slot, stereo device: both channels kept apart.
    ASSERT_NO_FATAL_FAILURE(FillAlone(stereoSound, true));
    EXPECT_EQ(std::vector<BYTE>(stereoSamples.begin(), stereoSamples.begin() + 1024), out);
    // Mono slot, mono device: 1024 frames.
    ASSERT_NO_FATAL_FAILURE(FillAlone(monoSound, false));
    EXPECT_EQ(std::vector<BYTE>(monoSamples.begin(), monoSamples.begin() + 1024), out);
    // Stereo slot, mono device: 1024 frames of the left channel.
    ASSERT_NO_FATAL_FAILURE(FillAlone(stereoSound, false));
    for (DWORD f = 0; f < 1024 && 2 * f < 3000; f++) ASSERT_EQ(stereoSamples[2 * f], out[f]) << f;
    EXPECT_EQ(2048u, state.slots[0].position);
}

TEST_F(FillFixture, ClosedDeviceWritesNothingAndSilenceWhenNothingPlays) {
    state.deviceOpen = false;
    out.assign(kMixerBufferBytes, 7);
    EXPECT_FALSE(Fill());
    EXPECT_EQ(std::vector<BYTE>(kMixerBufferBytes, 7), out);
    state.deviceOpen = true;
    EXPECT_TRUE(Fill());
    EXPECT_EQ(std::vector<BYTE>(kMixerBufferBytes, 128), out);
}

TEST_F(FillFixture, OneShotEndsOnTheFillAfterItsLastSampleAndPostsOnce) {
    NotifyWindow window;
    WAVEFORMATEX mono = MixerFormat(1);
    std::vector<BYTE> samples = Wave(100, 40);
    Sound& sound = Make(&mono, samples.data(), 100);
    sound.SetNotify(window.handle(), 4242);
    state.deviceStereo = false;
    ASSERT_TRUE(MixAddSlot(&state, &sound, false, nullptr));
    ASSERT_TRUE(Fill());
    EXPECT_EQ(std::vector<BYTE>(samples.begin(), samples.end()),
              std::vector<BYTE>(out.begin(), out.begin() + 100));
    EXPECT_EQ(128, out[100]);
    EXPECT_TRUE(sound.IsPlaying());
    EXPECT_TRUE(window.Take().empty());
    ASSERT_TRUE(Fill());
    EXPECT_FALSE(sound.IsPlaying());
    EXPECT_EQ(0u, SlotsInUse());
    auto got = window.Take();
    ASSERT_EQ(1u, got.size());
    EXPECT_EQ(reinterpret_cast<WPARAM>(&sound), got[0].first);
    EXPECT_EQ(4242, got[0].second);
    ASSERT_TRUE(Fill());
    EXPECT_TRUE(window.Take().empty());
    // The freed slot is taken again by the next play.
    ASSERT_TRUE(MixAddSlot(&state, &sound, false, nullptr));
    EXPECT_EQ(1u, state.slotCount);
}

TEST_F(FillFixture, LoopingSoundKeepsItsSlotUntilStopped) {
    NotifyWindow window;
    WAVEFORMATEX mono = MixerFormat(1);
    std::vector<BYTE> samples = Wave(300, 90, 30);
    Sound& sound = Make(&mono, samples.data(), 300);
    sound.SetNotify(window.handle(), 9);
    ASSERT_TRUE(MixAddSlot(&state, &sound, true, nullptr));
    // 40 buffers of 512 frames each run through the 300-byte sound many times
    // without a gap.
    for (int b = 0; b < 40; b++) {
        ASSERT_TRUE(Fill());
        for (DWORD f = 0; f < 512; f++) ASSERT_EQ(samples[(b * 512 + f) % 300], out[2 * f]) << b << " " << f;
    }
    EXPECT_EQ(1u, SlotsInUse());
    EXPECT_TRUE(window.Take().empty());
    EXPECT_FALSE(MixEndSound(&state, &sound));
    EXPECT_EQ(0u, SlotsInUse());
    EXPECT_FALSE(sound.IsPlaying());
    ASSERT_TRUE(Fill());
    EXPECT_EQ(std::vector<BYTE>(kMixerBufferBytes, 128), out);
    EXPECT_EQ(1u, window.Take().size());
}

TEST_F(FillFixture, HandedOverSoundIsDeletedWithItsLastPlay) {
    WAVEFORMATEX mono = MixerFormat(1);
    std::vector<BYTE> samples = Wave(700, 30);
    Sound* sound = MEMNEW(Sound, (&mono, samples.data(), 700));
    ASSERT_NE(nullptr, MemFindBlock(sound));
    ASSERT_TRUE(MixAddSlot(&state, sound, false, sound));
    ASSERT_TRUE(MixAddSlot(&state, sound, false, sound));
    ASSERT_TRUE(Fill()); // 512 of 700 frames
    ASSERT_TRUE(Fill()); // the rest
    EXPECT_NE(nullptr, MemFindBlock(sound));
    ASSERT_TRUE(Fill()); // both slots end; the sound goes with the second
    EXPECT_EQ(nullptr, MemFindBlock(sound));
    EXPECT_EQ(0u, SlotsInUse());
}

// ---------------------------------------------------------------------------
// The thread and the ring against a device driven by the test.

namespace {

struct Hand {
    CRITICAL_SECTION lock;
    HANDLE written;
    std::vector<WORD> openedChannels;
    bool refuseStereo = false;
    bool refuseAll = false;
    DWORD_PTR callback = 0;
    std::vector<WAVEHDR*> pending;
    std::vector<BYTE> played;
    int prepared = 0, unprepared = 0, closed = 0, resets = 0;
} g_hand;

HWAVEOUT const kHandle = reinterpret_cast<HWAVEOUT>(0x5151);

MMRESULT HandOpen(HWAVEOUT* device, const WAVEFORMATEX* format, DWORD_PTR callback, DWORD_PTR) {
    g_hand.openedChannels.push_back(format->nChannels);
    if (g_hand.refuseAll || (g_hand.refuseStereo && format->nChannels == 2)) return WAVERR_BADFORMAT;
    g_hand.callback = callback;
    *device = kHandle;
    return MMSYSERR_NOERROR;
}
MMRESULT HandPrepare(HWAVEOUT, WAVEHDR* header) {
    g_hand.prepared++;
    header->dwFlags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}
MMRESULT HandUnprepare(HWAVEOUT, WAVEHDR* header) {
    g_hand.unprepared++;
    header->dwFlags &= ~WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}
MMRESULT HandWrite(HWAVEOUT, WAVEHDR* header) {
    EnterCriticalSection(&g_hand.lock);
    g_hand.pending.push_back(header);
    LeaveCriticalSection(&g_hand.lock);
    SetEvent(g_hand.written);
    return MMSYSERR_NOERROR;
}
// Hands every written buffer back, as the device does when it has played it.
int ReturnBuffers() {
    EnterCriticalSection(&g_hand.lock);
    std::vector<WAVEHDR*> back;
    back.swap(g_hand.pending);
    for (WAVEHDR* h : back)
        g_hand.played.insert(g_hand.played.end(), h->lpData, h->lpData + h->dwBufferLength);
    LeaveCriticalSection(&g_hand.lock);
    auto callback =
        reinterpret_cast<void(CALLBACK*)(HWAVEOUT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR)>(g_hand.callback);
    for (WAVEHDR* h : back) {
        h->dwFlags |= WHDR_DONE;
        callback(kHandle, WOM_DONE, 0, reinterpret_cast<DWORD_PTR>(h), 0);
    }
    return static_cast<int>(back.size());
}
MMRESULT HandReset(HWAVEOUT) {
    g_hand.resets++;
    ReturnBuffers();
    return MMSYSERR_NOERROR;
}
MMRESULT HandClose(HWAVEOUT) {
    g_hand.closed++;
    return MMSYSERR_NOERROR;
}
const MixerDevice kHandDevice = {HandOpen, HandPrepare, HandUnprepare, HandWrite, HandReset, HandClose};

size_t PendingCount() {
    EnterCriticalSection(&g_hand.lock);
    size_t n = g_hand.pending.size();
    LeaveCriticalSection(&g_hand.lock);
    return n;
}

// Waits (bounded) until the thread has written all six buffers.
bool WaitRingWritten() {
    for (int i = 0; i < 200 && PendingCount() < kMixerBufferCount; i++)
        WaitForSingleObject(g_hand.written, 10);
    return PendingCount() == kMixerBufferCount;
}

DWORD WINAPI PlayOnLater(LPVOID) {
    Sleep(100);
    ReturnBuffers();
    return 0;
}

struct ThreadFixture : ::testing::Test {
    void SetUp() override {
        InitializeCriticalSection(&g_hand.lock);
        g_hand.written = CreateEvent(nullptr, FALSE, FALSE, nullptr);
        MixerSetDevice(&kHandDevice);
    }
    void TearDown() override {
        // The device plays out what it holds, so that shutdown need not wait.
        HANDLE player = CreateThread(nullptr, 0, PlayOnLater, nullptr, 0, nullptr);
        MixerTerminate();
        WaitForSingleObject(player, 2000);
        CloseHandle(player);
        MixerSetDevice(nullptr);
        CloseHandle(g_hand.written);
        DeleteCriticalSection(&g_hand.lock);
        g_hand = Hand();
    }
};

} // namespace

TEST_F(ThreadFixture, PlayOpensInStereoFillsTheRingAndPostsTheEnd) {
    NotifyWindow window;
    WAVEFORMATEX mono = MixerFormat(1);
    std::vector<BYTE> samples = Wave(3000, 70);
    Sound sound(&mono, samples.data(), 3000);
    sound.SetNotify(window.handle(), 31);
    sound.Play(Sound::kOnce);
    EXPECT_TRUE(sound.IsPlaying());
    bool stereo = false;
    ASSERT_TRUE(MixerDeviceOpen(&stereo));
    EXPECT_TRUE(stereo);
    EXPECT_EQ(std::vector<WORD>{2}, g_hand.openedChannels);
    EXPECT_EQ(6, g_hand.prepared);
    // 3000 frames span six buffers of 512; the end is seen by the next fill.
    ASSERT_TRUE(WaitRingWritten());
    EXPECT_TRUE(sound.IsPlaying());
    ReturnBuffers();
    ASSERT_TRUE(WaitRingWritten()); // the thread keeps the ring cycling with silence
    EXPECT_FALSE(sound.IsPlaying());
    auto got = window.Take();
    ASSERT_EQ(1u, got.size());
    EXPECT_EQ(31, got[0].second);
    ASSERT_EQ(6u * 1024u, g_hand.played.size());
    for (DWORD f = 0; f < 3000; f++) {
        ASSERT_EQ(samples[f], g_hand.played[2 * f]) << f;
        ASSERT_EQ(samples[f], g_hand.played[2 * f + 1]) << f;
    }
    for (DWORD i = 6000; i < g_hand.played.size(); i++) ASSERT_EQ(128, g_hand.played[i]) << i;
}

TEST_F(ThreadFixture, StopEndsALoopOnceAndShutdownGivesUpAfterTheWait) {
    NotifyWindow window;
    WAVEFORMATEX mono = MixerFormat(1);
    std::vector<BYTE> samples = Wave(200, 50);
    Sound sound(&mono, samples.data(), 200);
    sound.SetNotify(window.handle(), 1);
    sound.Play(true);
    EXPECT_TRUE(sound.IsLooping());
    for (int round = 0; round < 3; round++) {
        ASSERT_TRUE(WaitRingWritten());
        ReturnBuffers();
    }
    EXPECT_TRUE(sound.IsPlaying());
    EXPECT_TRUE(window.Take().empty());
    sound.Stop();
    EXPECT_FALSE(sound.IsPlaying());
    EXPECT_FALSE(sound.IsLooping());
    sound.Stop();
    EXPECT_EQ(1u, window.Take().size());

    // The device keeps its six buffers: shutdown waits its second, then
    // resets the device, unprepares every header and closes it.
    ASSERT_TRUE(WaitRingWritten());
    DWORD start = GetTickCount();
    MixerSuspend(true);
    DWORD took = GetTickCount() - start;
    EXPECT_GE(took, 900u);
    EXPECT_LT(took, 2000u);
    EXPECT_EQ(1, g_hand.resets);
    EXPECT_EQ(6, g_hand.unprepared);
    EXPECT_EQ(1, g_hand.closed);
    EXPECT_FALSE(MixerDeviceOpen(nullptr));
}

TEST_F(ThreadFixture, SuspendWaitsForTheRingAndResumeReopensForAWaitingPlay) {
    WAVEFORMATEX stereoFormat = MixerFormat(2);
    std::vector<BYTE> samples = Wave(4000, 20);
    Sound sound(&stereoFormat, samples.data(), 4000);
    sound.Play(Sound::kLoop);
    ASSERT_TRUE(WaitRingWritten());
    // A device that plays on hands the buffers back within the wait.
    HANDLE player = CreateThread(nullptr, 0, PlayOnLater, nullptr, 0, nullptr);
    DWORD start = GetTickCount();
    MixerSuspend(true);
    EXPECT_LT(GetTickCount() - start, 900u);
    WaitForSingleObject(player, 2000);
    CloseHandle(player);
    EXPECT_EQ(0, g_hand.resets);
    EXPECT_EQ(1, g_hand.closed);
    EXPECT_TRUE(sound.IsPlaying()); // the slot waits for the device
    MixerSuspend(false);
    ASSERT_TRUE(MixerDeviceOpen(nullptr));
    EXPECT_EQ(2u, g_hand.openedChannels.size());
    ASSERT_TRUE(WaitRingWritten());
    sound.Stop();
}

TEST_F(ThreadFixture, MonoFallbackAndRefusedPlaysDeleteHandedOverSounds) {
    WAVEFORMATEX mono = MixerFormat(1);
    std::vector<BYTE> samples = Wave(100, 50);
    g_hand.refuseAll = true;
    Sound* refused = MEMNEW(Sound, (&mono, samples.data(), 100));
    refused->Play(Sound::kOnceThenDelete);
    EXPECT_EQ(nullptr, MemFindBlock(refused));
    EXPECT_EQ((std::vector<WORD>{2, 1}), g_hand.openedChannels);
    EXPECT_FALSE(MixerDeviceOpen(nullptr));
    Sound kept(&mono, samples.data(), 100);
    kept.Play(Sound::kOnce);
    EXPECT_FALSE(kept.IsPlaying());

    // A sound without data given away is not leaked either.
    Sound* empty = MEMNEW(Sound, (&mono, samples.data(), 0));
    empty->Play(Sound::kOnceThenDelete);
    EXPECT_EQ(nullptr, MemFindBlock(empty));

    g_hand.refuseAll = false;
    g_hand.refuseStereo = true;
    g_hand.openedChannels.clear();
    Sound* once = MEMNEW(Sound, (&mono, samples.data(), 100));
    once->Play(Sound::kOnceThenDelete);
    bool stereo = true;
    ASSERT_TRUE(MixerDeviceOpen(&stereo));
    EXPECT_FALSE(stereo);
    EXPECT_EQ((std::vector<WORD>{2, 1}), g_hand.openedChannels);
    ASSERT_TRUE(WaitRingWritten());
    ReturnBuffers();
    ASSERT_TRUE(WaitRingWritten());
    EXPECT_EQ(nullptr, MemFindBlock(once));
    // 100 mono frames into a mono device, then silence.
    EXPECT_EQ(std::vector<BYTE>(samples.begin(), samples.end()),
              std::vector<BYTE>(g_hand.played.begin(), g_hand.played.begin() + 100));
    EXPECT_EQ(128, g_hand.played[100]);
}

TEST_F(ThreadFixture, PrimeOpensTheDeviceOnceWithSilence) {
    MixerPrime();
    ASSERT_TRUE(MixerDeviceOpen(nullptr));
    ASSERT_TRUE(WaitRingWritten());
    ReturnBuffers();
    for (BYTE b : g_hand.played) ASSERT_EQ(128, b);
    MixerSuspend(true);
    MixerPrime(); // only once
    EXPECT_FALSE(MixerDeviceOpen(nullptr));
}
