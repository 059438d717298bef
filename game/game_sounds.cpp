// SoundSet: loading, the play rule, the rotations and the music chain.
#include "game_sounds.h"

#include "cea_sound.h"
#include "load_clock.h"
#include "mem_manager.h"

namespace {

const GameSound kAppearRotation[4] = {kSoundAppear1, kSoundAppear2, kSoundAppear3, kSoundAppear4};
const GameSound kLandRotation[4] = {kSoundLand1, kSoundLand2, kSoundLand3, kSoundLand4};

} // namespace

SoundSet::SoundSet(const SoundSettings* settings)
    : m_settings(settings), m_pendingMusic(nullptr), m_musicPlaying(false), m_appearCounter(0),
      m_landCounter(0) {
    for (int i = 0; i < kGameSoundCount; i++) {
        m_sounds[i] = nullptr;
        m_loadMs[i] = 0.0;
    }
}

SoundSet::~SoundSet() { free(); }

void SoundSet::load(HINSTANCE instance) {
    for (int i = 0; i < kGameSoundCount; i++) {
        if (m_sounds[i]) continue;
        double start = LoadClockMs();
        m_sounds[i] = MEMNEW(Sound, (instance, MAKEINTRESOURCE(kFirstSoundResource + i)));
        m_loadMs[i] = LoadClockMs() - start;
    }
}

void SoundSet::free() {
    m_pendingMusic = nullptr;
    m_musicPlaying = false;
    for (int i = 0; i < kGameSoundCount; i++) {
        if (m_sounds[i]) MEMDELETE(m_sounds[i]);
        m_sounds[i] = nullptr;
    }
}

Sound* SoundSet::sound(GameSound which) const {
    return which >= 0 && which < kGameSoundCount ? m_sounds[which] : nullptr;
}

void SoundSet::replace(GameSound which, Sound* sound) {
    if (which < 0 || which >= kGameSoundCount) {
        if (sound) MEMDELETE(sound);
        return;
    }
    if (m_pendingMusic == m_sounds[which]) m_pendingMusic = nullptr;
    if (m_sounds[which]) MEMDELETE(m_sounds[which]);
    m_sounds[which] = sound;
}

void SoundSet::play(GameSound which) {
    Sound* s = sound(which);
    if (!s) return;
    bool allowed = isMusic(which) ? m_settings->musicOn() : m_settings->soundEffectsOn();
    if (allowed) s->Play(Sound::kOnce);
}

void SoundSet::playAppear() {
    m_appearCounter = nextInRotation(m_appearCounter);
    play(kAppearRotation[m_appearCounter - 1]);
}

void SoundSet::playLand() {
    m_landCounter = nextInRotation(m_landCounter);
    play(kLandRotation[m_landCounter - 1]);
}

void SoundSet::stop(GameSound which) {
    Sound* s = sound(which);
    if (s) s->Stop();
    if (isMusic(which)) m_pendingMusic = nullptr;
}

void SoundSet::music(bool on) {
    Sound* intro = m_sounds[kSoundMusicIntro];
    Sound* loop = m_sounds[kSoundMusicLoop];
    if (on && !m_musicPlaying && m_settings->musicOn() && !m_settings->gameRunning()) {
        m_pendingMusic = loop;
        m_musicPlaying = true;
        // Without a playable intro no end would ever start the loop, so the
        // loop starts at once.
        if (!intro || !intro->HasData()) {
            musicFinished();
            return;
        }
        intro->SetNotify(m_settings->musicWindow(), reinterpret_cast<LPARAM>(this));
        play(kSoundMusicIntro);
        return;
    }
    if (!m_musicPlaying) return;
    if (on && m_settings->musicOn()) return;
    if (m_settings->musicOn())
        play(kSoundMusicIntro);
    else
        stop(kSoundMusicIntro);
    stop(kSoundMusicLoop);
    m_musicPlaying = false;
}

void SoundSet::musicFinished() {
    // Music switched back on during the closing phrase plays the intro again
    // over the earlier one; the earlier play's end must not start the loop
    // over the new intro. The intro's last play ends with it silent.
    Sound* intro = m_sounds[kSoundMusicIntro];
    if (!m_pendingMusic || (intro && intro->IsPlaying())) return;
    Sound* next = m_pendingMusic;
    m_pendingMusic = nullptr;
    next->Play(true);
}
