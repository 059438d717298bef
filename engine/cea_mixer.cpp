// The sound mixer: buffer filling, the mixer thread, the device and its
// buffer ring.
#include "cea_mixer.h"

#include <string.h>

#include "cea_sound.h"
#include "cea_wave.h"
#include "mem_manager.h"

// ---------------------------------------------------------------------------
// Buffer filling (no platform calls but the end message)

namespace {

const DWORD kAccumulatorGrowth = 128;

// The next run of up to `wanted` frames of a slot; 0 when it has nothing more.
DWORD TakeChunk(PlaySlot* slot, DWORD wanted, const BYTE** chunk) {
    DWORD frameBytes = slot->stereo ? 2 : 1;
    DWORD remaining = (slot->size - slot->position) / frameBytes;
    DWORD frames = remaining < wanted ? remaining : wanted;
    *chunk = slot->data + slot->position;
    slot->position += frames * frameBytes;
    if (slot->position >= slot->size && slot->loop) slot->position = 0;
    return frames;
}

int Magnitude(int value) { return value < 0 ? -value : value; }

} // namespace

bool MixAddSlot(MixState* state, Sound* sound, bool loop, Sound* deleteWhenDone) {
    const WAVEFORMATEX& format = sound->m_format;
    if (!sound->m_data || format.wFormatTag != WAVE_FORMAT_PCM || format.wBitsPerSample != kMixerBits ||
        format.nSamplesPerSec != kMixerRate || format.nChannels < 1 || format.nChannels > 2)
        return false;
    // A trailing half frame of a stereo sound is never played; dropping it
    // here keeps a looping slot from stopping one byte short of its end.
    DWORD size = sound->m_size - sound->m_size % format.nChannels;
    if (!size) return false;
    DWORD index = 0;
    while (index < state->slotCount && state->slots[index].data) index++;
    if (index == state->slotCount) {
        if (!MEMREALLOC(PlaySlot, state->slots, state->slotCount, index + 1, 1)) return false;
        MEMTARE(state->slots);
    }
    PlaySlot* slot = &state->slots[index];
    memset(slot, 0, sizeof(*slot));
    slot->format = format;
    slot->stereo = format.nChannels == 2;
    slot->data = sound->m_data;
    slot->size = size;
    slot->position = 0;
    slot->loop = loop;
    slot->notifyWindow = sound->m_notifyWindow;
    slot->sound = sound;
    slot->notifyValue = sound->m_notifyValue;
    slot->playingCount = &sound->m_playingCount;
    slot->deleteWhenDone = deleteWhenDone;
    (*slot->playingCount)++;
    return true;
}

bool MixFillBuffer(MixState* state, BYTE* buffer, DWORD bytes) {
    if (!state->deviceOpen) return false;
    DWORD frames = state->deviceStereo ? bytes / 2 : bytes;
    memset(buffer, 128, bytes);
    state->inputPeak = 0;
    state->mixPeak = 0;
    if (state->accumulatorCount < frames) {
        // Without accumulators the buffer still goes out, as silence, so the
        // ring keeps cycling.
        DWORD leftCount = state->accumulatorCount;
        DWORD rightCount = state->accumulatorCount;
        bool grown = MEMREALLOC(int, state->left, leftCount, frames, kAccumulatorGrowth) &&
                     MEMREALLOC(int, state->right, rightCount, frames, kAccumulatorGrowth);
        if (leftCount > state->accumulatorCount) MEMTARE(state->left);
        if (rightCount > state->accumulatorCount) MEMTARE(state->right);
        state->accumulatorCount = leftCount < rightCount ? leftCount : rightCount;
        if (!grown) return true;
    }
    memset(state->left, 0, frames * sizeof(int));
    memset(state->right, 0, frames * sizeof(int));

    int inputPeak = 0;
    int mixPeak = 0;
    for (DWORD i = 0; i < state->slotCount; i++) {
        PlaySlot* slot = &state->slots[i];
        if (!slot->data) continue;
        DWORD done = 0;
        bool yielded = false;
        while (done < frames) {
            const BYTE* chunk;
            DWORD taken = TakeChunk(slot, frames - done, &chunk);
            if (!taken) break;
            yielded = true;
            int* left = state->left + done;
            int* right = state->right + done;
            for (DWORD f = 0; f < taken; f++) {
                int l = chunk[slot->stereo ? 2 * f : f] - 128;
                int r = slot->stereo ? chunk[2 * f + 1] - 128 : l;
                if (Magnitude(l) > inputPeak) inputPeak = Magnitude(l);
                if (Magnitude(r) > inputPeak) inputPeak = Magnitude(r);
                left[f] += l;
                right[f] += r;
                if (Magnitude(left[f]) > mixPeak) mixPeak = Magnitude(left[f]);
                if (Magnitude(right[f]) > mixPeak) mixPeak = Magnitude(right[f]);
            }
            done += taken;
        }
        if (!yielded) MixReleaseSlot(slot);
    }
    state->inputPeak = inputPeak;
    state->mixPeak = mixPeak;
    if (!mixPeak) return true;

    // The gain scales the mix back to the loudest single input, so overlapping
    // sounds never clip. A frame can still come out one step beyond the 8-bit
    // range (a mix peak below the input peak amplifies), hence the clamp.
    for (DWORD f = 0; f < frames; f++) {
        for (DWORD c = 0; c < (state->deviceStereo ? 2u : 1u); c++) {
            int value = (c ? state->right[f] : state->left[f]) * inputPeak / mixPeak + 128;
            if (value < 0) value = 0;
            if (value > 255) value = 255;
            buffer[state->deviceStereo ? 2 * f + c : f] = static_cast<BYTE>(value);
        }
    }
    return true;
}

void MixReleaseSlot(PlaySlot* slot) {
    PlaySlot ended = *slot;
    memset(slot, 0, sizeof(*slot));
    if (!ended.data) return;
    LONG left = ended.playingCount && *ended.playingCount > 0 ? --*ended.playingCount : 0;
    if (ended.notifyWindow && IsWindow(ended.notifyWindow))
        PostMessage(ended.notifyWindow, kSoundEndMessage, reinterpret_cast<WPARAM>(ended.sound),
                    ended.notifyValue);
    // A sound handed over for deletion goes with its last play; an earlier end
    // would pull the data from under a play still running.
    if (ended.deleteWhenDone && left == 0) MEMDELETE(ended.deleteWhenDone);
}

bool MixEndSound(MixState* state, Sound* sound) {
    bool handedOver = false;
    for (DWORD i = 0; i < state->slotCount; i++) {
        PlaySlot* slot = &state->slots[i];
        if (!slot->data || slot->sound != sound) continue;
        if (slot->deleteWhenDone == sound) {
            slot->deleteWhenDone = nullptr;
            handedOver = true;
        }
        MixReleaseSlot(slot);
    }
    return handedOver;
}

void MixFreeState(MixState* state) {
    for (DWORD i = 0; i < state->slotCount; i++) MixReleaseSlot(&state->slots[i]);
    if (state->slots) MEMFREE(state->slots);
    if (state->left) MEMFREE(state->left);
    if (state->right) MEMFREE(state->right);
    state->slots = nullptr;
    state->slotCount = 0;
    state->left = state->right = nullptr;
    state->accumulatorCount = 0;
}

// ---------------------------------------------------------------------------
// The device, the thread and the buffer ring

namespace {

MMRESULT PlatformOpen(HWAVEOUT* device, const WAVEFORMATEX* format, DWORD_PTR callback, DWORD_PTR instance) {
    return waveOutOpen(device, WAVE_MAPPER, format, callback, instance, CALLBACK_FUNCTION);
}
MMRESULT PlatformPrepare(HWAVEOUT device, WAVEHDR* header) {
    return waveOutPrepareHeader(device, header, sizeof(WAVEHDR));
}
MMRESULT PlatformUnprepare(HWAVEOUT device, WAVEHDR* header) {
    return waveOutUnprepareHeader(device, header, sizeof(WAVEHDR));
}
MMRESULT PlatformWrite(HWAVEOUT device, WAVEHDR* header) {
    return waveOutWrite(device, header, sizeof(WAVEHDR));
}
MMRESULT PlatformReset(HWAVEOUT device) { return waveOutReset(device); }
MMRESULT PlatformClose(HWAVEOUT device) { return waveOutClose(device); }

const MixerDevice kPlatformDevice = {PlatformOpen,  PlatformPrepare, PlatformUnprepare,
                                     PlatformWrite, PlatformReset,   PlatformClose};

struct MixBuffer {
    WAVEHDR header;
    BYTE data[kMixerBufferBytes];
};

struct Mixer {
    volatile LONG initState; // 0 none, 1 being set up, 2 ready
    CRITICAL_SECTION slotLock;
    CRITICAL_SECTION bufferLock;
    HANDLE wake;        // auto-reset
    HANDLE buffersBack; // manual reset: set while all six buffers are free
    HANDLE thread;
    const MixerDevice* device;
    HWAVEOUT handle;
    MixBuffer buffers[kMixerBufferCount];
    // The free list is a fixed stack of buffer indices: the device callback
    // may not allocate, and there are never more than six entries.
    DWORD freeList[kMixerBufferCount];
    DWORD freeCount;
    MixState mix;
    bool running;
    bool quitting;
    bool primed;
};

Mixer g_mixer; // zero at start: no mixer, no device, platform functions

const MixerDevice* Device() { return g_mixer.device ? g_mixer.device : &kPlatformDevice; }

bool TakeFreeBuffer(DWORD* index) {
    EnterCriticalSection(&g_mixer.bufferLock);
    bool taken = g_mixer.freeCount > 0;
    if (taken) {
        if (g_mixer.freeCount == kMixerBufferCount) ResetEvent(g_mixer.buffersBack);
        *index = g_mixer.freeList[--g_mixer.freeCount];
    }
    LeaveCriticalSection(&g_mixer.bufferLock);
    return taken;
}

void PutBackBuffer(DWORD index) {
    EnterCriticalSection(&g_mixer.bufferLock);
    bool listed = false;
    for (DWORD i = 0; i < g_mixer.freeCount; i++) listed = listed || g_mixer.freeList[i] == index;
    // A late return after a reset must not list a buffer twice.
    if (!listed && g_mixer.freeCount < kMixerBufferCount) g_mixer.freeList[g_mixer.freeCount++] = index;
    if (g_mixer.freeCount == kMixerBufferCount) SetEvent(g_mixer.buffersBack);
    LeaveCriticalSection(&g_mixer.bufferLock);
}

DWORD WINAPI MixerThread(LPVOID) {
    for (;;) {
        WaitForSingleObject(g_mixer.wake, INFINITE);
        EnterCriticalSection(&g_mixer.slotLock);
        if (g_mixer.quitting) {
            LeaveCriticalSection(&g_mixer.slotLock);
            return 0;
        }
        DWORD index;
        while (g_mixer.running && TakeFreeBuffer(&index)) {
            MixBuffer& buffer = g_mixer.buffers[index];
            if (!MixFillBuffer(&g_mixer.mix, buffer.data, kMixerBufferBytes)) {
                PutBackBuffer(index);
                break;
            }
            buffer.header.dwFlags &= ~WHDR_DONE;
            if (Device()->write(g_mixer.handle, &buffer.header) != MMSYSERR_NOERROR) {
                buffer.header.dwFlags |= WHDR_DONE;
                PutBackBuffer(index);
                break;
            }
        }
        LeaveCriticalSection(&g_mixer.slotLock);
    }
}

bool EnsureMixer() {
    for (;;) {
        LONG state = InterlockedCompareExchange(&g_mixer.initState, 1, 0);
        if (state == 2) return true;
        if (state == 1) {
            Sleep(0);
            continue;
        }
        break;
    }
    InitializeCriticalSection(&g_mixer.slotLock);
    InitializeCriticalSection(&g_mixer.bufferLock);
    g_mixer.wake = CreateEvent(nullptr, FALSE, FALSE, nullptr);
    g_mixer.buffersBack = CreateEvent(nullptr, TRUE, TRUE, nullptr);
    g_mixer.quitting = false;
    g_mixer.thread = g_mixer.wake && g_mixer.buffersBack
                         ? CreateThread(nullptr, 0, MixerThread, nullptr, 0, nullptr)
                         : nullptr;
    if (!g_mixer.thread) {
        if (g_mixer.wake) CloseHandle(g_mixer.wake);
        if (g_mixer.buffersBack) CloseHandle(g_mixer.buffersBack);
        g_mixer.wake = g_mixer.buffersBack = nullptr;
        DeleteCriticalSection(&g_mixer.slotLock);
        DeleteCriticalSection(&g_mixer.bufferLock);
        InterlockedExchange(&g_mixer.initState, 0);
        return false;
    }
    // Above normal, so that the ring is refilled before the user interface
    // thread's work gets a turn.
    SetThreadPriority(g_mixer.thread, THREAD_PRIORITY_ABOVE_NORMAL);
    InterlockedExchange(&g_mixer.initState, 2);
    return true;
}

// Opens the device for 8-bit 22050 Hz output, stereo if it can, else mono,
// and prepares the ring. Called under the slot lock.
bool OpenDevice(const WAVEFORMATEX& source) {
    if (g_mixer.handle) return true;
    WAVEFORMATEX format = source;
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.cbSize = 0;
    bool stereo = true;
    for (WORD channels = 2; channels >= 1; channels--) {
        format.nChannels = channels;
        format.nBlockAlign = channels;
        format.nAvgBytesPerSec = format.nSamplesPerSec * channels;
        HWAVEOUT handle = nullptr;
        if (Device()->open(&handle, &format, reinterpret_cast<DWORD_PTR>(MixerWaveCallback), 0) ==
            MMSYSERR_NOERROR) {
            g_mixer.handle = handle;
            stereo = channels == 2;
            break;
        }
    }
    if (!g_mixer.handle) return false;

    for (DWORD i = 0; i < kMixerBufferCount; i++) {
        MixBuffer& buffer = g_mixer.buffers[i];
        memset(&buffer, 0, sizeof(buffer));
        buffer.header.lpData = reinterpret_cast<LPSTR>(buffer.data);
        buffer.header.dwBufferLength = kMixerBufferBytes;
        if (Device()->prepare(g_mixer.handle, &buffer.header) != MMSYSERR_NOERROR) {
            for (DWORD j = 0; j < i; j++) Device()->unprepare(g_mixer.handle, &g_mixer.buffers[j].header);
            Device()->close(g_mixer.handle);
            g_mixer.handle = nullptr;
            return false;
        }
        buffer.header.dwFlags |= WHDR_DONE;
    }
    EnterCriticalSection(&g_mixer.bufferLock);
    for (DWORD i = 0; i < kMixerBufferCount; i++) g_mixer.freeList[i] = i;
    g_mixer.freeCount = kMixerBufferCount;
    SetEvent(g_mixer.buffersBack);
    LeaveCriticalSection(&g_mixer.bufferLock);
    g_mixer.mix.deviceOpen = true;
    g_mixer.mix.deviceStereo = stereo;
    g_mixer.running = true;
    return true;
}

bool AnySlotInUse() {
    for (DWORD i = 0; i < g_mixer.mix.slotCount; i++)
        if (g_mixer.mix.slots[i].data) return true;
    return false;
}

} // namespace

void CALLBACK MixerWaveCallback(HWAVEOUT, UINT message, DWORD_PTR, DWORD_PTR param1, DWORD_PTR) {
    if (message != WOM_DONE) return;
    WAVEHDR* header = reinterpret_cast<WAVEHDR*>(param1);
    for (DWORD i = 0; i < kMixerBufferCount; i++) {
        if (&g_mixer.buffers[i].header != header) continue;
        PutBackBuffer(i);
        SetEvent(g_mixer.wake);
        return;
    }
}

void MixerSetDevice(const MixerDevice* device) {
    if (g_mixer.initState == 2) EnterCriticalSection(&g_mixer.slotLock);
    if (!g_mixer.handle) g_mixer.device = device;
    if (g_mixer.initState == 2) LeaveCriticalSection(&g_mixer.slotLock);
}

bool MixerQueue(Sound* sound, bool loop, Sound* deleteWhenDone) {
    bool queued = false;
    if (EnsureMixer()) {
        EnterCriticalSection(&g_mixer.slotLock);
        const WAVEFORMATEX& format = sound->Format();
        if (format.wFormatTag == WAVE_FORMAT_PCM && format.wBitsPerSample == kMixerBits &&
            format.nSamplesPerSec == kMixerRate && OpenDevice(format))
            queued = MixAddSlot(&g_mixer.mix, sound, loop, deleteWhenDone);
        LeaveCriticalSection(&g_mixer.slotLock);
        if (queued) SetEvent(g_mixer.wake);
    }
    if (!queued && deleteWhenDone) MEMDELETE(deleteWhenDone);
    return queued;
}

bool MixerEndSound(Sound* sound) {
    if (g_mixer.initState != 2) return false;
    EnterCriticalSection(&g_mixer.slotLock);
    bool handedOver = MixEndSound(&g_mixer.mix, sound);
    LeaveCriticalSection(&g_mixer.slotLock);
    return handedOver;
}

void MixerSuspend(bool suspend) {
    if (g_mixer.initState != 2) return;
    EnterCriticalSection(&g_mixer.slotLock);
    if (!suspend) {
        if (!g_mixer.handle) {
            for (DWORD i = 0; i < g_mixer.mix.slotCount; i++) {
                if (!g_mixer.mix.slots[i].data) continue;
                if (OpenDevice(g_mixer.mix.slots[i].format)) SetEvent(g_mixer.wake);
                break;
            }
        }
        LeaveCriticalSection(&g_mixer.slotLock);
        return;
    }
    if (!AnySlotInUse()) {
        if (g_mixer.mix.slots) MEMFREE(g_mixer.mix.slots);
        g_mixer.mix.slots = nullptr;
        g_mixer.mix.slotCount = 0;
    }
    if (g_mixer.handle) {
        g_mixer.running = false;
        LeaveCriticalSection(&g_mixer.slotLock);
        DWORD waited = WaitForSingleObject(g_mixer.buffersBack, kMixerShutdownWaitMs);
        EnterCriticalSection(&g_mixer.slotLock);
        // A device that kept its buffers past the wait is made to give them
        // back; unpreparing a queued header would fail and leak the device.
        if (waited != WAIT_OBJECT_0) Device()->reset(g_mixer.handle);
        for (DWORD i = 0; i < kMixerBufferCount; i++)
            Device()->unprepare(g_mixer.handle, &g_mixer.buffers[i].header);
        Device()->close(g_mixer.handle);
        g_mixer.handle = nullptr;
        g_mixer.mix.deviceOpen = false;
    }
    LeaveCriticalSection(&g_mixer.slotLock);
}

void MixerPrime() {
    if (g_mixer.primed || g_mixer.handle) return;
    g_mixer.primed = true;
    static const BYTE kSilence[16] = {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80,
                                      0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80};
    WAVEFORMATEX format = {WAVE_FORMAT_PCM, 1, kMixerRate, kMixerRate, 1, 8, 0};
    Sound* silence = MEMNEW(Sound, (&format, kSilence, sizeof(kSilence)));
    if (silence) silence->Play(Sound::kOnceThenDelete);
}

void MixerTerminate() {
    if (g_mixer.initState != 2) return;
    MixerSuspend(true);
    EnterCriticalSection(&g_mixer.slotLock);
    g_mixer.quitting = true;
    LeaveCriticalSection(&g_mixer.slotLock);
    SetEvent(g_mixer.wake);
    WaitForSingleObject(g_mixer.thread, kMixerShutdownWaitMs);
    CloseHandle(g_mixer.thread);
    EnterCriticalSection(&g_mixer.slotLock);
    MixFreeState(&g_mixer.mix);
    LeaveCriticalSection(&g_mixer.slotLock);
    CloseHandle(g_mixer.wake);
    CloseHandle(g_mixer.buffersBack);
    g_mixer.thread = g_mixer.wake = g_mixer.buffersBack = nullptr;
    DeleteCriticalSection(&g_mixer.slotLock);
    DeleteCriticalSection(&g_mixer.bufferLock);
    g_mixer.primed = false;
    InterlockedExchange(&g_mixer.initState, 0);
}

bool MixerDeviceOpen(bool* stereo) {
    if (g_mixer.initState != 2) return false;
    EnterCriticalSection(&g_mixer.slotLock);
    bool open = g_mixer.handle != nullptr;
    if (stereo) *stereo = g_mixer.mix.deviceStereo;
    LeaveCriticalSection(&g_mixer.slotLock);
    return open;
}
