// SoundSet: the game's 21 sounds, the rule that sorts every play into music or
// effect by the player's settings, the two rotations that vary frequent
// sounds, and the music chain of an intro followed by an endless loop.
#pragma once

#include <windows.h>

class Sound;

// The sounds by their place in the set; resource id = 500 + value.
enum GameSound {
    kSoundMusicIntro,
    kSoundMusicLoop,
    kSoundRowDrop,
    kSoundAppear1,
    kSoundAppear2,
    kSoundAppear3,
    kSoundGameOver,
    kSoundLevelStart,
    kSoundLand1,
    kSoundLand2,
    kSoundLand3,
    kSoundLand4,
    kSoundMatch,
    kSoundClick,
    kSoundLevelPlay,
    kSoundAppear4,
    kSoundBonusDrop,
    kSoundSpecial,
    kSoundChanger,
    kSoundRefusal,
    kSoundPopUp,
    kGameSoundCount
};

const int kFirstSoundResource = 500;

// What the sound set asks of the application shell: the two sound settings,
// whether a game is running (music plays only where none does), and the
// window that receives the end of the music intro.
class SoundSettings {
public:
    virtual ~SoundSettings() {}
    virtual bool soundEffectsOn() const = 0;
    virtual bool musicOn() const = 0;
    virtual bool gameRunning() const = 0;
    virtual HWND musicWindow() const = 0;
};

class SoundSet {
public:
    explicit SoundSet(const SoundSettings* settings);
    ~SoundSet();

    // Creates the 21 sounds from the WAVE resources 500 to 520 of `instance`.
    // A missing or unreadable resource leaves a silent sound; never fails.
    void load(HINSTANCE instance);
    void free();

    // Music sounds play only with music on, every other sound only with
    // sound effects on. Absent sounds are ignored.
    void play(GameSound sound);
    void playAppear();
    void playLand();
    void stop(GameSound sound);

    // Starts the music (intro, then the loop) or ends it, with the intro once
    // more as a closing phrase when music stays enabled.
    void music(bool on);
    // The end of a sound the set asked to hear about (message 0x432 to the
    // music window): the pending music starts, looped, once no play of the
    // intro is left.
    void musicFinished();

    Sound* sound(GameSound which) const;
    bool musicPlaying() const { return m_musicPlaying; }
    // Puts `sound` (made with MEMNEW; the set deletes it) in place of one of
    // the set's sounds: for tools and tests without the game's resources.
    void replace(GameSound which, Sound* sound);
    // Milliseconds the latest load spent on a sound (finding, reading, converting it).
    double loadMs(GameSound which) const {
        return which >= 0 && which < kGameSoundCount ? m_loadMs[which] : 0.0;
    }

private:
    static bool isMusic(GameSound sound) { return sound == kSoundMusicIntro || sound == kSoundMusicLoop; }
    static int nextInRotation(int counter) { return counter % 4 + 1; }

    const SoundSettings* m_settings;
    Sound* m_sounds[kGameSoundCount];
    double m_loadMs[kGameSoundCount];
    Sound* m_pendingMusic;
    bool m_musicPlaying;
    int m_appearCounter;
    int m_landCounter;

    SoundSet(const SoundSet&) = delete;
    SoundSet& operator=(const SoundSet&) = delete;
};
