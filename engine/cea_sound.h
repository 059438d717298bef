// Sound: one WAVE sound converted once, at load, to 8-bit 22050 Hz PCM and
// played through the engine's mixer; plays overlap freely and can tell a
// window when they end.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>

#include "cea_mixer.h"

class Sound {
public:
    // Play modes.
    enum { kOnce = 0, kLoop = 1, kOnceThenDelete = 2 };

    // Each constructor leaves a sound without data when its input cannot be
    // read, parsed or converted; playing it then does nothing.
    explicit Sound(LPCTSTR path);
    Sound(const void* riff, DWORD size);
    Sound(HMODULE module, LPCTSTR name); // resource type "SOUND", else "WAVE"
    // `format` may be followed by its cbSize extra bytes.
    Sound(const WAVEFORMATEX* format, const void* data, DWORD size);
    ~Sound();

    // Mode kOnceThenDelete hands the sound to the mixer, which deletes it
    // (MEMDELETE) when the play ends or is refused; such a sound must have been
    // made with MEMNEW.
    void Play(int mode);
    void Play(bool loop) { Play(loop ? kLoop : kOnce); }
    void Stop();
    bool IsPlaying() const { return m_playingCount != 0; }
    bool HasData() const { return m_data != nullptr; }
    // Applies to the plays started afterwards.
    void SetNotify(HWND window, LPARAM value);

    const WAVEFORMATEX& Format() const { return m_format; }
    const BYTE* Data() const { return m_data; }
    DWORD Size() const { return m_size; }
    bool IsLooping() const { return m_loop; }

    // Closes the device (true) or reopens it for waiting plays (false).
    static void Suspend(bool suspend) { MixerSuspend(suspend); }
    static void Prime() { MixerPrime(); }

private:
    friend bool MixAddSlot(MixState*, Sound*, bool, Sound*);

    void SetFormatAndData(const WAVEFORMATEX* format, const void* data, DWORD size);
    void Parse(const void* riff, DWORD size);
    void EndPlays(bool mayDelete);

    volatile LONG m_playingCount;
    bool m_loop;
    HWND m_notifyWindow;
    LPARAM m_notifyValue;
    WAVEFORMATEX m_format;
    BYTE* m_data;
    DWORD m_size;

    Sound(const Sound&) = delete;
    Sound& operator=(const Sound&) = delete;
};
