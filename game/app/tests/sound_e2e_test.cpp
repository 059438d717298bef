// The game program heard: the test build runs a short scripted game while the
// sound output is captured to a file (sound_capture.h), and every sound the
// script brings (the logo's three, the music's intro and loop, the game's
// effects) is looked for in the capture by its own waveform, as the mixer
// plays it, at the place the script puts it.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <stdio.h>
#include <map>
#include <string>
#include <vector>

#include "cea_sound.h"
#include "game_driver.h"
#include "game_sounds.h"
#include "logo.h"
#include "sound_capture.h"
#include "sound_signal.h"
#include "zz_compress.h"

using namespace game_driver;
using namespace soundcapture;
using namespace soundsignal;

namespace {

const size_t kSecond = kMixRate;
// The stretch of each sound that is looked for: its start, at most this long.
const size_t kLongestStretch = kSecond / 2;
// Its head, found by one correlation over the whole capture, then followed
// segment by segment.
const size_t kSegment = kSecond / 10;
const size_t kNowhere = ~size_t(0);
const int kLogo1 = kLogoFirstSoundResource, kLogo2 = kLogoFirstSoundResource + 1,
          kLogo3 = kLogoFirstSoundResource + 2;
// Found: the whole stretch matches, though other sounds may be mixed over it.
const double kFound = 0.6;
// Absent: nowhere does the stretch match even as well as a sound drowned by others.
const double kAbsent = 0.45;

// A sound's samples as the mixer adds them (8-bit steps around 0, left
// channel), made by the engine's own loader from the same resources as the
// program's: this test carries them.
Signal MixedSamples(const Sound& sound, size_t longest) {
    Signal out;
    if (!sound.HasData()) return out;
    size_t step = sound.Format().nChannels == 2 ? 2 : 1;
    for (size_t i = 0; i + step <= sound.Size() && out.size() < longest; i += step)
        out.push_back(static_cast<double>(sound.Data()[i]) - 128);
    return out;
}

// Whole length of a sound, in samples at the mix rate.
size_t Length(const Sound& sound) { return sound.Size() / (sound.Format().nChannels == 2 ? 2 : 1); }

struct Reference {
    Signal stretch;
    Signal head() const {
        return Signal(stretch.begin(), stretch.begin() + std::min(stretch.size(), kSegment));
    }
    size_t length = 0; // the whole sound's
};

Reference GameReference(int resource) {
    Sound sound(GetModuleHandle(nullptr), MAKEINTRESOURCE(resource));
    return {Smoothed(MixedSamples(sound, kLongestStretch)), Length(sound)};
}

Reference LogoReference(int resource) {
    BYTE* data = nullptr;
    DWORD size = 0;
    Reference r;
    if (!ZZLoadResource(GetModuleHandle(nullptr), MAKEINTRESOURCE(resource), &data, &size)) return r;
    Sound sound(data, size);
    ZZFree(data);
    return {Smoothed(MixedSamples(sound, kLongestStretch)), Length(sound)};
}

double Seconds(size_t samples) { return static_cast<double>(samples) / kMixRate; }

// A place where a sound was heard (its start, in capture samples), and how
// well its whole stretch matched there (Capture::follow): 1 for the sound
// alone, less with other sounds mixed over it.
struct Heard {
    size_t at = kNowhere;
    double score = 0;
};

// Every sound the test knows, by resource id, looked for in one capture.
class Hearing {
public:
    explicit Hearing(const std::vector<short>& interleaved) {
        std::vector<int> ids = {kLogo1, kLogo2, kLogo3};
        for (int i = 0; i < kGameSoundCount; i++) ids.push_back(kFirstSoundResource + i);
        for (int id : ids) m_references[id] = id >= kLogo1 ? LogoReference(id) : GameReference(id);
        // The audio path stretches the output slightly (a few samples in a
        // thousand), enough to lose a high tone over half a second. The logo's
        // third sound, a long chime heard in every run, tells by how much; the
        // capture is then read that much faster.
        Signal x = Smoothed(MixRateLeft(interleaved));
        m_capture = Capture(x, kSegment);
        m_capture.correlate(m_references[kLogo3].head(), m_references[kLogo2].head(), &m_heads[kLogo3],
                            &m_heads[kLogo2]);
        std::vector<long> slips;
        Heard chime = find(kLogo3, 0, kNowhere, kMeasureSlack, &slips);
        if (chime.score >= kFound && slips.size() > 2) {
            double drift = 0;
            for (size_t i = 1; i < slips.size(); i++) drift += slips[i];
            m_rate = 1 + drift / (slips.size() - 1) / kSegment;
            m_capture = Capture(Rescaled(x, m_rate), kSegment);
        }
        for (size_t i = 0; i < ids.size(); i += 2) {
            int first = ids[i], second = i + 1 < ids.size() ? ids[i + 1] : ids[i];
            m_capture.correlate(m_references[first].head(), m_references[second].head(), &m_heads[first],
                                &m_heads[second]);
        }
    }
    // Adds a sound made of others starting together (the mixer adds them alike).
    void addTogether(int id, const std::vector<int>& parts) {
        Reference& sum = m_references[id];
        for (int part : parts) {
            const Reference& r = m_references[part];
            if (sum.stretch.size() < r.stretch.size()) sum.stretch.resize(r.stretch.size(), 0.0);
            for (size_t i = 0; i < r.stretch.size(); i++) sum.stretch[i] += r.stretch[i];
            sum.length = std::max(sum.length, r.length);
        }
        m_capture.correlate(sum.head(), sum.head(), &m_heads[id], &m_heads[id]);
    }
    const Capture& capture() const { return m_capture; }
    size_t length(int id) { return m_references[id].length; }
    bool loaded(int id) { return m_references[id].stretch.size() >= kSecond / 20; }

    // The best place of a sound starting within [from, to): the places where
    // its head matches fairly well are followed through its whole stretch.
    Heard find(int id, size_t from = 0, size_t to = kNowhere, long slack = kSlack,
               std::vector<long>* slips = nullptr) {
        const Reference& ref = m_references[id];
        std::vector<Match> heads = Capture::all(m_heads[id], kHeadCandidate, ref.stretch.size());
        std::sort(heads.begin(), heads.end(),
                  [](const Match& a, const Match& b) { return a.score > b.score; });
        Heard best;
        int followed = 0;
        for (const Match& head : heads) {
            if (head.at < from || head.at >= to) continue;
            if (followed++ == kMostCandidates) break;
            std::vector<long> placed;
            double score = m_capture.follow(ref.stretch, head.at, kSegment, slack, &placed);
            if (score > best.score) {
                best = {head.at, score};
                if (slips) *slips = placed;
            }
        }
        return best;
    }
    // Every place of a sound scoring at least `threshold`, in capture order.
    std::vector<Heard> findAll(int id, double threshold, size_t from = 0, size_t to = kNowhere) {
        std::vector<Heard> found;
        const Reference& ref = m_references[id];
        for (const Match& head : Capture::all(m_heads[id], kHeadCandidate, ref.stretch.size())) {
            if (head.at < from || head.at >= to) continue;
            double score = m_capture.follow(ref.stretch, head.at, kSegment, kSlack, nullptr);
            if (score >= threshold) found.push_back({head.at, score});
        }
        return found;
    }

    // The first place of a sound from `from` on that scores at least `threshold`.
    Heard first(int id, double threshold, size_t from) {
        std::vector<Heard> all = findAll(id, threshold, from);
        return all.empty() ? Heard() : all.front();
    }

    // For the log: each sound's places.
    void print() {
        printf("capture: %.2f s at the mix rate, read %.5f times as fast\n", Seconds(m_capture.size()),
               m_rate);
        for (auto& entry : m_references) {
            std::vector<Heard> places = findAll(entry.first, 0.4);
            printf("%d:", entry.first);
            for (size_t i = 0; i < places.size() && i < 12; i++)
                printf(" %.3f@%.3f", places[i].score, Seconds(places[i].at));
            printf(places.size() > 12 ? " ...\n" : "\n");
        }
    }

private:
    // A head scoring this well may be the sound, overlapped by others.
    static constexpr double kHeadCandidate = 0.4;
    static const int kMostCandidates = 24;
    // How far a segment may be displaced while the stretch is measured, and after.
    static const long kMeasureSlack = 24;
    static const long kSlack = 6;

    Capture m_capture;
    std::map<int, Reference> m_references;
    std::map<int, std::vector<float>> m_heads;
    double m_rate = 1;
};

int Id(GameSound sound) { return kFirstSoundResource + sound; }

// Waits (at most `timeoutMs`) until the capture file has grown by `seconds`
// of output. The audio path here may run ahead of the clock or behind it, so
// a script waits for what it needs to hear rather than for a time.
void WaitForOutput(const std::wstring& path, double seconds, DWORD timeoutMs) {
    auto size = [&]() -> ULONGLONG {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
        return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    };
    const ULONGLONG wanted = size() + static_cast<ULONGLONG>(seconds * kCaptureRate) * 4;
    for (DWORD start = GetTickCount(); size() < wanted && GetTickCount() - start < timeoutMs;) Sleep(50);
}

class SoundEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        m_capture = CapturePath(&m_why);
        if (m_capture.empty()) return;
        DeleteGameValues();
        SetLanguage(L"EN");
        DeleteFileW(m_capture.c_str());
    }
    void TearDown() override {
        if (!m_capture.empty()) DeleteFileW(m_capture.c_str());
    }

    // One run of the test build with both sound settings as given, on Wine's
    // ALSA driver for the run only. `script` drives the game once its main
    // menu shows. Returns the captured output (empty when nothing came).
    template <class Script>
    std::vector<short> Run(DWORD effects, DWORD music, Script script) {
        WriteSettings(effects, music, 0);
        {
            DriverChoice alsa("alsa"); // Wine picks its driver when the program opens its device
            GameRun run(L"vexlin_test.exe", 1, true);
            HWND window = run.window();
            EXPECT_TRUE(window);
            if (window && run.waitScreen(1)) script(run);
            PostMessageW(window, WM_CLOSE, 0, 0);
            EXPECT_TRUE(run.exited(10000));
        }
        return ReadCapture(m_capture);
    }

    std::wstring m_capture;
    std::string m_why;
};

// The logo's three sounds, in order; returns where the third one ends.
size_t ExpectLogo(Hearing& heard) {
    Heard one = heard.find(kLogo1), two = heard.find(kLogo2), three = heard.find(kLogo3);
    EXPECT_GE(one.score, kFound) << "the logo's first sound";
    EXPECT_GE(two.score, kFound) << "the logo's second sound";
    EXPECT_GE(three.score, kFound) << "the logo's third sound";
    EXPECT_LT(one.at, two.at);
    EXPECT_LT(two.at, three.at);
    return three.at == kNowhere ? kNowhere : three.at + heard.length(kLogo3);
}

// With music on and sound effects off: the logo, then on the main menu the
// music's intro and, where it ends, its loop; the new game stops the loop with
// the intro once more; no effect is heard, neither the button's click nor the
// game's first sounds.
TEST_F(SoundEndToEnd, MusicWithoutEffectsIsTheLogoTheIntroTheLoopAndTheClosingPhrase) {
    if (m_capture.empty()) GTEST_SKIP() << m_why;
    std::vector<short> samples = Run(0, 1, [this](GameRun& run) {
        // The intro lasts nine seconds; then the loop's first ones.
        WaitForOutput(m_capture, 11, 40000);
        run.tap(kNewGame.x, kNewGame.y);
        EXPECT_TRUE(run.waitScreen(5));
        for (int i = 0; i < 200 && run.state() != 1; i++) Sleep(25);
        EXPECT_EQ(1, run.state());
        // The closing phrase, then the game's first spawns and their silence.
        WaitForOutput(m_capture, 10.5, 40000);
    });
    ASSERT_FALSE(samples.empty())
        << "nothing was captured: the game did not play through ALSA's default device";
    Hearing heard(samples);
    heard.print();
    for (int id : {kLogo1, kLogo2, kLogo3, Id(kSoundMusicIntro), Id(kSoundMusicLoop), Id(kSoundClick)})
        ASSERT_TRUE(heard.loaded(id)) << "the test lacks sound " << id;

    size_t logoEnd = ExpectLogo(heard);
    Heard intro = heard.find(Id(kSoundMusicIntro));
    EXPECT_GE(intro.score, kFound) << "the music's intro";
    EXPECT_GT(intro.at, logoEnd) << "the intro before the logo ended";
    // Between them the loader ran: silence.
    if (logoEnd < intro.at) {
        EXPECT_LT(heard.capture().level(logoEnd, intro.at - kSecond / 50), 0.5);
    }

    // The loop starts where the intro ends, give or take the end message's way
    // through the program (the audio path runs ahead of the clock here, so
    // whole seconds are not comparable, but this is within the output).
    Heard loop = heard.first(Id(kSoundMusicLoop), kFound, intro.at + kSecond);
    EXPECT_GE(loop.score, kFound) << "the music's loop";
    double introEndsAt = Seconds(intro.at + heard.length(Id(kSoundMusicIntro)));
    EXPECT_NEAR(introEndsAt, Seconds(loop.at), 0.5) << "the loop does not follow the intro";

    // The new game: the intro once more as a closing phrase after some loop,
    // alone (a loop going on under it would halve its score), and then silence.
    Heard closing = heard.find(Id(kSoundMusicIntro), loop.at + kSecond);
    EXPECT_GE(closing.score, kFound) << "no closing phrase";
    EXPECT_GT(closing.score, 0.95) << "the closing phrase is not alone";
    size_t closingEnd = closing.at + heard.length(Id(kSoundMusicIntro));
    if (closing.at != kNowhere) {
        EXPECT_GT(heard.capture().size(), closingEnd + kSecond) << "the capture ends too soon";
        EXPECT_LT(heard.capture().level(closingEnd + kSecond / 20, closingEnd + kSecond), 0.5)
            << "sound after the closing phrase";
    }
    // No effect anywhere.
    for (GameSound effect : {kSoundClick, kSoundLevelStart, kSoundLevelPlay, kSoundAppear1, kSoundAppear2,
                             kSoundAppear3, kSoundAppear4}) {
        Heard h = heard.find(Id(effect));
        EXPECT_LT(h.score, kAbsent) << "sound " << Id(effect) << " at " << Seconds(h.at)
                                    << " s with effects off";
    }
}

// With sound effects on and music off: the logo, a silent main menu, then the
// game's effects in the order the script brings them: the button's click, the
// level's banner and start, the spawns in their rotation, a row's drop and its
// landing, and a tap's match with its score.
TEST_F(SoundEndToEnd, EffectsWithoutMusicFollowAShortGame) {
    if (m_capture.empty()) GTEST_SKIP() << m_why;
    std::vector<short> samples = Run(1, 0, [this](GameRun& run) {
        Sleep(1000);
        run.tap(kNewGame.x, kNewGame.y);
        EXPECT_TRUE(run.waitScreen(5));
        for (int i = 0; i < 200 && run.state() != 1; i++) Sleep(25);
        EXPECT_EQ(1, run.state());
        // The spawn row fills and drops (a level-1 row takes about three and a half seconds); then the
        // one-colour board goes at one tap. The tap falls midway between two spawns: a spawn sound
        // starting with it would drown the start of the match.
        Sleep(6000);
        int phase = run.spawnPhase();
        for (int i = 0; i < 400 && (phase < 300 || phase > 550); i++) Sleep(5), phase = run.spawnPhase();
        EXPECT_TRUE(phase >= 300 && phase <= 550) << "the spawn row stands still";
        run.tap(kBoardBottom.x, kBoardBottom.y);
        WaitForOutput(m_capture, 1.5, 20000);
    });
    ASSERT_FALSE(samples.empty())
        << "nothing was captured: the game did not play through ALSA's default device";
    Hearing heard(samples);
    // The tap's match and its score's pop-up start together: their sum is heard.
    const int kMatchAndPopUp = 1000;
    heard.addTogether(kMatchAndPopUp, {Id(kSoundMatch), Id(kSoundPopUp)});
    heard.print();

    size_t logoEnd = ExpectLogo(heard);
    for (GameSound music : {kSoundMusicIntro, kSoundMusicLoop}) {
        Heard h = heard.find(Id(music));
        EXPECT_LT(h.score, kAbsent) << "music at " << Seconds(h.at) << " s with music off";
    }
    Heard click = heard.find(Id(kSoundClick), logoEnd == kNowhere ? 0 : logoEnd);
    EXPECT_GE(click.score, kFound) << "the new game button's click";
    // The main menu was silent.
    if (logoEnd < click.at) {
        EXPECT_LT(heard.capture().level(logoEnd, click.at), 0.5);
    }

    Heard levelStart = heard.find(Id(kSoundLevelStart), click.at);
    EXPECT_GE(levelStart.score, kFound) << "the level's banner";
    Heard levelPlay = heard.find(Id(kSoundLevelPlay), levelStart.at);
    EXPECT_GE(levelPlay.score, kFound) << "the level's start";

    // The first spawns play the rotation in order.
    size_t after = levelPlay.at;
    for (GameSound appear : {kSoundAppear1, kSoundAppear2, kSoundAppear3, kSoundAppear4}) {
        Heard h = heard.find(Id(appear), after, after + 3 * kSecond);
        EXPECT_GE(h.score, kFound) << "spawn sound " << Id(appear) << " after " << Seconds(after) << " s";
        if (h.at != kNowhere) after = h.at + 1;
    }
    Heard drop = heard.find(Id(kSoundRowDrop), after);
    EXPECT_GE(drop.score, kFound) << "the row's drop";
    // The pieces of the dropped row land together: a mix of the landing sounds.
    double landing = 0;
    for (GameSound land : {kSoundLand1, kSoundLand2, kSoundLand3, kSoundLand4})
        landing = std::max(landing, heard.find(Id(land), drop.at).score);
    EXPECT_GE(landing, kFound) << "no landing after the drop";
    Heard both = heard.find(kMatchAndPopUp, drop.at);
    EXPECT_GE(both.score, kFound) << "the match with its score's pop-up";
}

// The clean-up after every run (ctest runs it even when the test died): a
// driver switch left behind is put back, the prefix's choice from before.
TEST(SoundEndToEndCleanUp, NoAudioDriverSwitchIsLeftBehind) {
    PutBackAudioDriver();
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kDriversKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    bool kept = false;
    ReadText(key, kDriverBefore, &kept);
    RegCloseKey(key);
    EXPECT_FALSE(kept);
}

// A switch that a dead run left is put back to the driver it replaced.
TEST(SoundEndToEndCleanUp, ASwitchLeftByADeadRunIsPutBack) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kDriversKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &key, nullptr));
    bool had = false;
    std::string old = ReadText(key, "Audio", &had);
    {
        DriverChoice first("alsa");
        // The run dies here: its switch and what it kept stay. The next run's switch keeps the first value.
        DriverChoice second("null");
        bool kept = false;
        EXPECT_EQ(had ? "=" + old : std::string(), ReadText(key, kDriverBefore, &kept));
        EXPECT_TRUE(kept);
        EXPECT_EQ("null", ReadText(key, "Audio", &kept));
        // Neither object put it back yet; the clean-up does.
        EXPECT_TRUE(PutBackAudioDriver());
        bool now = false;
        EXPECT_EQ(old, ReadText(key, "Audio", &now));
        EXPECT_EQ(had, now);
        EXPECT_FALSE(PutBackAudioDriver());
    }
    bool now = false;
    EXPECT_EQ(old, ReadText(key, "Audio", &now));
    EXPECT_EQ(had, now);
    RegCloseKey(key);
}

} // namespace
