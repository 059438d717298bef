// The sound mixer: play slots mixed by a background thread into a ring of six
// 1024-byte buffers on one wave-output device, with an automatic gain that
// keeps overlapping sounds from clipping. Buffer filling is a plain function
// over a MixState so that it can be driven without a device.
#pragma once

#include <windows.h>
#include <mmsystem.h>

class Sound;

// Posted to a sound's notify window when one of its plays ends: wParam is the
// Sound, lParam the notify value.
const UINT kSoundEndMessage = 0x432;

const DWORD kMixerBufferCount = 6;
const DWORD kMixerBufferBytes = 1024;
// How long shutdown waits for the device to hand back its buffers.
const DWORD kMixerShutdownWaitMs = 1000;

// One play of a sound. The format is padded so that the record keeps the
// same 60-byte layout on the 32-bit target.
struct PlaySlot {
    WAVEFORMATEX format;
    WORD formatPadding;
    BOOL stereo;
    const BYTE* data; // non-null while the slot is in use
    DWORD size;       // whole frames only
    DWORD position;   // bytes
    BOOL loop;
    HWND notifyWindow;
    Sound* sound; // the end message's wParam
    LPARAM notifyValue;
    volatile LONG* playingCount;
    Sound* deleteWhenDone;
};

// Everything buffer filling works on: the slots, the accumulators and the
// peaks of the latest fill, and whether (and how) the device is open.
// Accumulators are 32-bit so that any number of slots can be summed without
// wrapping; arrays grow on demand and are tared.
struct MixState {
    PlaySlot* slots;
    DWORD slotCount;
    int* left;
    int* right;
    DWORD accumulatorCount;
    int inputPeak; // greatest |sample - 128| of the latest fill
    int mixPeak;   // greatest |accumulator| of the latest fill
    bool deviceOpen;
    bool deviceStereo;
};

// Puts a play of `sound` into the first unused slot (or a new one). Returns
// false when the sound has no usable data or no slot could be had.
bool MixAddSlot(MixState* state, Sound* sound, bool loop, Sound* deleteWhenDone);

// Fills one output buffer (`bytes` long, 8-bit unsigned, interleaved when the
// device is stereo) from every slot in use, releasing the slots that yielded
// nothing. Returns false, writing nothing, when the device is closed.
bool MixFillBuffer(MixState* state, BYTE* buffer, DWORD bytes);

// Ends a slot: the playing count drops, the end message goes to a notify
// window that still exists, a sound given for deletion is deleted.
void MixReleaseSlot(PlaySlot* slot);

// Ends every slot playing `sound`. A slot that would delete `sound` itself is
// ended without deleting it; returns true when one was found, so that the
// caller can delete the sound once it no longer touches it.
bool MixEndSound(MixState* state, Sound* sound);

// Frees the slot and accumulator arrays (after releasing any slot in use).
void MixFreeState(MixState* state);

// The wave-output functions the mixer uses. Tests put a device of their own
// in place; null restores the platform's waveOut functions. Only while the
// mixer has no device open.
struct MixerDevice {
    MMRESULT (*open)(HWAVEOUT* device, const WAVEFORMATEX* format, DWORD_PTR callback, DWORD_PTR instance);
    MMRESULT (*prepare)(HWAVEOUT device, WAVEHDR* header);
    MMRESULT (*unprepare)(HWAVEOUT device, WAVEHDR* header);
    MMRESULT (*write)(HWAVEOUT device, WAVEHDR* header);
    MMRESULT (*reset)(HWAVEOUT device);
    MMRESULT (*close)(HWAVEOUT device);
};
void MixerSetDevice(const MixerDevice* device);

// The device callback (a waveOut CALLBACK_FUNCTION): a returned buffer goes
// back on the free list and wakes the mixer thread.
void CALLBACK MixerWaveCallback(HWAVEOUT device, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                                DWORD_PTR param2);

// Queues a play of `sound` (8-bit 22050 Hz PCM only), opening the device in
// stereo, else mono, when it is closed. A refused play deletes
// `deleteWhenDone` at once and returns false.
bool MixerQueue(Sound* sound, bool loop, Sound* deleteWhenDone);

// Ends every play of `sound`; see MixEndSound for the returned flag.
bool MixerEndSound(Sound* sound);

// true: closes the device, waiting at most kMixerShutdownWaitMs for its
// buffers; false: reopens it when a slot is waiting to play.
void MixerSuspend(bool suspend);

// Once, while no device is open: plays a short silence so that the device is
// opened before the first real sound.
void MixerPrime();

// Ends the mixer: closes the device, releases every slot, stops the thread and
// frees the mixer's resources. The next play starts it again.
void MixerTerminate();

// For tests and diagnostics: whether the device is open, and in stereo.
bool MixerDeviceOpen(bool* stereo);
