// The game's sound set: the play rule by the two settings, the rotations and
// the music chain, played through the real mixer into a device the test holds.
#include <gtest/gtest.h>

#include <vector>

#include "cea_mixer.h"
#include "cea_sound.h"
#include "game_sounds.h"
#include "mem_manager.h"

namespace {

// A device that keeps every buffer until the test hands it back, so that a
// sound stays playing until the test lets it end.
struct HeldDevice {
    CRITICAL_SECTION lock;
    std::vector<WAVEHDR*> pending;
    DWORD_PTR callback = 0;
} g_device;

MMRESULT HeldOpen(HWAVEOUT* device, const WAVEFORMATEX*, DWORD_PTR callback, DWORD_PTR) {
    g_device.callback = callback;
    *device = reinterpret_cast<HWAVEOUT>(0x77);
    return MMSYSERR_NOERROR;
}
MMRESULT HeldNothing(HWAVEOUT, WAVEHDR*) { return MMSYSERR_NOERROR; }
MMRESULT HeldWrite(HWAVEOUT, WAVEHDR* header) {
    EnterCriticalSection(&g_device.lock);
    g_device.pending.push_back(header);
    LeaveCriticalSection(&g_device.lock);
    return MMSYSERR_NOERROR;
}
void ReturnBuffers() {
    EnterCriticalSection(&g_device.lock);
    std::vector<WAVEHDR*> back;
    back.swap(g_device.pending);
    LeaveCriticalSection(&g_device.lock);
    auto callback =
        reinterpret_cast<void(CALLBACK*)(HWAVEOUT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR)>(g_device.callback);
    for (WAVEHDR* h : back) {
        h->dwFlags |= WHDR_DONE;
        callback(nullptr, WOM_DONE, 0, reinterpret_cast<DWORD_PTR>(h), 0);
    }
}
MMRESULT HeldReset(HWAVEOUT) {
    ReturnBuffers();
    return MMSYSERR_NOERROR;
}
MMRESULT HeldClose(HWAVEOUT) { return MMSYSERR_NOERROR; }
const MixerDevice kHeldDevice = {HeldOpen, HeldNothing, HeldNothing, HeldWrite, HeldReset, HeldClose};

// The shell's side: settings the test sets, and a window whose end messages
// continue the music the way the main dialog does.
class Shell : public SoundSettings {
public:
    bool effects = true, musicSetting = true, running = false;
    HWND window = nullptr;
    bool soundEffectsOn() const override { return effects; }
    bool musicOn() const override { return musicSetting; }
    bool gameRunning() const override { return running; }
    HWND musicWindow() const override { return window; }
};

// One sound per set member, each a different length so none is mistaken for
// another: member i is 4000 + 10 i bytes of a quiet tone, longer than the six
// buffers the mixer thread fills at once, so that no sound can end before the
// test hands buffers back.
Sound* MakeSound(int i) {
    WAVEFORMATEX format = {WAVE_FORMAT_PCM, 1, 22050, 22050, 1, 8, 0};
    std::vector<BYTE> samples(4000 + 10 * i);
    for (size_t k = 0; k < samples.size(); k++) samples[k] = static_cast<BYTE>(k % 20 < 10 ? 150 : 106);
    return MEMNEW(Sound, (&format, samples.data(), static_cast<DWORD>(samples.size())));
}

struct SoundSetTest : ::testing::Test {
    Shell shell;
    SoundSet set{&shell};

    void SetUp() override {
        InitializeCriticalSection(&g_device.lock);
        MixerSetDevice(&kHeldDevice);
        shell.window =
            CreateWindow(TEXT("STATIC"), TEXT(""), 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        set.load(GetModuleHandle(nullptr)); // this program carries no sounds: 21 silent ones
        for (int i = 0; i < kGameSoundCount; i++) set.replace(static_cast<GameSound>(i), MakeSound(i));
    }
    void TearDown() override {
        set.free();
        HANDLE returner = CreateThread(nullptr, 0, ReturnLater, nullptr, 0, nullptr);
        MixerTerminate();
        WaitForSingleObject(returner, 2000);
        CloseHandle(returner);
        MixerSetDevice(nullptr);
        DestroyWindow(shell.window);
        DeleteCriticalSection(&g_device.lock);
        g_device.pending.clear();
    }
    static DWORD WINAPI ReturnLater(LPVOID) {
        Sleep(50);
        ReturnBuffers();
        return 0;
    }

    // Waits (bounded) until the mixer thread has filled all six buffers the
    // device holds, so that nothing moves until the test returns them.
    bool RingFull() {
        for (int i = 0; i < 400; i++) {
            EnterCriticalSection(&g_device.lock);
            size_t held = g_device.pending.size();
            LeaveCriticalSection(&g_device.lock);
            if (held == kMixerBufferCount) return true;
            Sleep(5);
        }
        return false;
    }

    std::vector<int> Playing() {
        std::vector<int> ids;
        for (int i = 0; i < kGameSoundCount; i++)
            if (set.sound(static_cast<GameSound>(i))->IsPlaying()) ids.push_back(kFirstSoundResource + i);
        return ids;
    }
    void StopAll() {
        for (int i = 0; i < kGameSoundCount; i++) set.sound(static_cast<GameSound>(i))->Stop();
        MSG msg;
        while (PeekMessage(&msg, shell.window, 0, 0, PM_REMOVE)) {
        }
    }
    // Lets the device play until `sound` ends, delivering its end message to
    // the set as the dialog would. Bounded.
    bool PlayUntilEnd(GameSound sound) {
        for (int i = 0; i < 400; i++) {
            ReturnBuffers();
            MSG msg;
            while (PeekMessage(&msg, shell.window, kSoundEndMessage, kSoundEndMessage, PM_REMOVE)) {
                if (msg.wParam == reinterpret_cast<WPARAM>(set.sound(sound))) {
                    EXPECT_EQ(reinterpret_cast<LPARAM>(&set), msg.lParam);
                    set.musicFinished();
                    return true;
                }
            }
            Sleep(5);
        }
        return false;
    }
};

} // namespace

TEST(SoundSetLoad, MissingResourcesGiveSilentSounds) {
    struct : SoundSettings {
        bool soundEffectsOn() const override { return true; }
        bool musicOn() const override { return true; }
        bool gameRunning() const override { return false; }
        HWND musicWindow() const override { return nullptr; }
    } settings;
    SoundSet set(&settings);
    set.load(GetModuleHandle(nullptr));
    for (int i = 0; i < kGameSoundCount; i++) {
        ASSERT_NE(nullptr, set.sound(static_cast<GameSound>(i)));
        EXPECT_FALSE(set.sound(static_cast<GameSound>(i))->HasData());
    }
    set.play(kSoundMatch);
    set.playAppear();
    set.music(true);
    EXPECT_FALSE(set.sound(kSoundMatch)->IsPlaying());
    set.free();
    EXPECT_EQ(nullptr, set.sound(kSoundMatch));
    set.play(kSoundMatch); // absent: ignored
}

TEST_F(SoundSetTest, EffectsAndMusicFollowTheirOwnSetting) {
    shell.effects = false;
    set.play(kSoundClick);
    set.playLand();
    set.music(true);
    EXPECT_EQ(std::vector<int>{500}, Playing());
    EXPECT_TRUE(set.musicPlaying());
    set.music(false);
    StopAll();

    shell.effects = true;
    shell.musicSetting = false;
    set.music(true);
    EXPECT_FALSE(set.musicPlaying());
    set.play(kSoundMusicLoop);
    set.play(kSoundClick);
    set.play(kSoundPopUp);
    set.playLand();
    // The land rotation moved on when its first request was silenced.
    EXPECT_EQ((std::vector<int>{509, 513, 520}), Playing());
}

TEST_F(SoundSetTest, RotationsCycleThroughTheirFourSounds) {
    const int appear[] = {503, 504, 505, 515, 503, 504};
    for (int expected : appear) {
        set.playAppear();
        EXPECT_EQ(std::vector<int>{expected}, Playing());
        StopAll();
    }
    const int land[] = {508, 509, 510, 511, 508};
    for (int expected : land) {
        set.playLand();
        EXPECT_EQ(std::vector<int>{expected}, Playing());
        StopAll();
    }
}

TEST_F(SoundSetTest, MusicLoopsAfterTheIntroAndClosesWithIt) {
    shell.running = true;
    set.music(true); // a game runs: no music
    EXPECT_TRUE(Playing().empty());
    shell.running = false;

    set.music(true);
    EXPECT_EQ(std::vector<int>{500}, Playing());
    set.music(true); // already playing: nothing changes
    EXPECT_EQ(std::vector<int>{500}, Playing());
    ASSERT_TRUE(PlayUntilEnd(kSoundMusicIntro));
    EXPECT_EQ(std::vector<int>{501}, Playing());
    EXPECT_TRUE(set.sound(kSoundMusicLoop)->IsLooping());
    // The loop keeps playing through many rounds of the device.
    for (int i = 0; i < 20; i++) ReturnBuffers(), Sleep(2);
    EXPECT_EQ(std::vector<int>{501}, Playing());

    // New game: the loop stops and the intro plays once as a closing phrase;
    // its end starts nothing.
    set.music(false);
    EXPECT_FALSE(set.musicPlaying());
    EXPECT_EQ(std::vector<int>{500}, Playing());
    ASSERT_TRUE(PlayUntilEnd(kSoundMusicIntro));
    EXPECT_TRUE(Playing().empty());
}

TEST_F(SoundSetTest, SwitchingMusicOffSilencesTheIntroAndTheChain) {
    set.music(true);
    shell.musicSetting = false;
    set.music(false);
    EXPECT_TRUE(Playing().empty());
    EXPECT_FALSE(set.musicPlaying());
    // The intro's end message still arrives, and must not start the loop.
    MSG msg;
    bool ended = false;
    for (int i = 0; i < 100 && !ended; i++) {
        while (PeekMessage(&msg, shell.window, kSoundEndMessage, kSoundEndMessage, PM_REMOVE)) ended = true;
        if (!ended) Sleep(2);
    }
    EXPECT_TRUE(ended);
    set.musicFinished();
    EXPECT_TRUE(Playing().empty());
}

TEST_F(SoundSetTest, MusicBackOnDuringTheClosingPhraseLoopsOnlyAfterTheNewIntro) {
    // A one-second intro, so that its plays overlap.
    WAVEFORMATEX format = {WAVE_FORMAT_PCM, 1, 22050, 22050, 1, 8, 0};
    std::vector<BYTE> samples(22050, 150);
    set.replace(kSoundMusicIntro, MEMNEW(Sound, (&format, samples.data(), 22050)));
    Sound* intro = set.sound(kSoundMusicIntro);
    Sound* loop = set.sound(kSoundMusicLoop);
    set.music(true);
    ASSERT_TRUE(RingFull()); // the first intro runs six buffers ahead
    set.music(false);        // new game: the closing phrase
    set.music(true);         // and straight back to the menu
    int ends = 0;
    for (int round = 0; round < 200 && ends < 3; round++) {
        ReturnBuffers();
        ASSERT_TRUE(RingFull());
        MSG msg;
        while (PeekMessage(&msg, shell.window, kSoundEndMessage, kSoundEndMessage, PM_REMOVE)) {
            ends++;
            set.musicFinished();
            EXPECT_FALSE(intro->IsPlaying() && loop->IsPlaying()) << "the loop started over the intro";
        }
    }
    EXPECT_EQ(3, ends);
    EXPECT_EQ(std::vector<int>{501}, Playing());
}
