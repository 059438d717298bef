// Sound: loading, conversion and the play requests handed to the mixer.
#include "cea_sound.h"

#include <string.h>

#include "cea_wave.h"
#include "mem_manager.h"

Sound::Sound(LPCTSTR path)
    : m_playingCount(0), m_loop(false), m_notifyWindow(nullptr), m_notifyValue(0), m_data(nullptr),
      m_size(0) {
    memset(&m_format, 0, sizeof(m_format));
    if (!path) return;
    HANDLE file = CreateFile(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD high = 0;
    DWORD cbData = GetFileSize(file, &high);
    // A sound file of 4 GB or more cannot be a sound this engine plays.
    if (cbData != INVALID_FILE_SIZE && high == 0 && cbData > 0) {
        BYTE* bytes = static_cast<BYTE*>(MEMALLOC(cbData));
        if (bytes) {
            DWORD read = 0;
            if (ReadFile(file, bytes, cbData, &read, nullptr) && read == cbData) Parse(bytes, cbData);
            MEMFREE(bytes);
        }
    }
    CloseHandle(file);
}

Sound::Sound(const void* riff, DWORD size)
    : m_playingCount(0), m_loop(false), m_notifyWindow(nullptr), m_notifyValue(0), m_data(nullptr),
      m_size(0) {
    memset(&m_format, 0, sizeof(m_format));
    Parse(riff, size);
}

Sound::Sound(HMODULE module, LPCTSTR name)
    : m_playingCount(0), m_loop(false), m_notifyWindow(nullptr), m_notifyValue(0), m_data(nullptr),
      m_size(0) {
    memset(&m_format, 0, sizeof(m_format));
    HRSRC resource = FindResource(module, name, TEXT("SOUND"));
    if (!resource) resource = FindResource(module, name, TEXT("WAVE"));
    if (!resource) return;
    HGLOBAL loaded = LoadResource(module, resource);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (bytes) Parse(bytes, SizeofResource(module, resource));
}

Sound::Sound(const WAVEFORMATEX* format, const void* data, DWORD size)
    : m_playingCount(0), m_loop(false), m_notifyWindow(nullptr), m_notifyValue(0), m_data(nullptr),
      m_size(0) {
    memset(&m_format, 0, sizeof(m_format));
    SetFormatAndData(format, data, size);
}

Sound::~Sound() {
    EndPlays(false);
    if (m_data) MEMFREE(m_data);
}

void Sound::Parse(const void* riff, DWORD size) {
    WaveView view;
    if (!WaveParse(riff, size, &view) || !view.formatChunk) return;
    // The chunk itself carries the extra bytes a compressed format needs; a
    // declared extra size beyond the chunk is cut back so that nothing past
    // the chunk is ever read.
    if (view.formatChunkSize >= 18) {
        DWORD extra = view.formatChunkSize - 18;
        if (view.format.cbSize <= extra) {
            SetFormatAndData(reinterpret_cast<const WAVEFORMATEX*>(view.formatChunk), view.data,
                             view.dataSize);
            return;
        }
        view.format.cbSize = static_cast<WORD>(extra);
        BYTE* cbFormat = static_cast<BYTE*>(MEMALLOC(view.formatChunkSize));
        if (!cbFormat) return;
        memcpy(cbFormat, view.formatChunk, view.formatChunkSize);
        memcpy(cbFormat, &view.format, 18);
        SetFormatAndData(reinterpret_cast<const WAVEFORMATEX*>(cbFormat), view.data, view.dataSize);
        MEMFREE(cbFormat);
        return;
    }
    SetFormatAndData(&view.format, view.data, view.dataSize);
}

void Sound::SetFormatAndData(const WAVEFORMATEX* format, const void* data, DWORD size) {
    if (!format || !data || !size) return;
    WAVEFORMATEX converted;
    BYTE* bytes = nullptr;
    DWORD count = 0;
    if (!WaveToMixerFormat(format, static_cast<const BYTE*>(data), size, &converted, &bytes, &count)) return;
    if (m_data) MEMFREE(m_data);
    m_format = converted;
    m_data = bytes;
    m_size = count;
}

void Sound::Play(int mode) {
    if (!m_data) {
        // The caller gave this sound away: without data there is no play whose
        // end could delete it, so it goes now.
        if (mode == kOnceThenDelete) MEMDELETE(this);
        return;
    }
    m_loop = mode == kLoop;
    MixerQueue(this, m_loop, mode == kOnceThenDelete ? this : nullptr);
}

void Sound::Stop() { EndPlays(true); }

void Sound::EndPlays(bool mayDelete) {
    if (!m_playingCount) return;
    bool handedOver = MixerEndSound(this);
    m_playingCount = 0;
    m_loop = false;
    // A sound played in mode 2 belongs to the mixer: ending its play ends the
    // sound as well, but never from within its own destructor.
    if (handedOver && mayDelete) MEMDELETE(this);
}

void Sound::SetNotify(HWND window, LPARAM value) {
    m_notifyWindow = window;
    m_notifyValue = value;
}
