// RIFF WAVE reading and the conversion of sound samples into the mixer's own
// format (8-bit unsigned PCM, 22050 samples per second) through the platform's
// audio compression manager. Plain functions over caller-owned bytes.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>

const DWORD kMixerRate = 22050;
const WORD kMixerBits = 8;

// What a WAVE file holds, viewed in place: the "fmt " chunk (its first 18
// bytes copied into `format`, the chunk itself kept for formats with extra
// bytes) and the sample bytes of the "data" chunk.
struct WaveView {
    WAVEFORMATEX format;
    const BYTE* formatChunk; // null when the file has no usable "fmt " chunk
    DWORD formatChunkSize;
    const BYTE* data; // null when the file has no complete "data" chunk
    DWORD dataSize;
};

// Finds the format and the samples of a RIFF WAVE image. Returns false (and a
// view without data) for anything that is not a complete RIFF WAVE image;
// never reads outside [riff, riff + size).
bool WaveParse(const void* riff, DWORD size, WaveView* view);

// Converts samples once to PCM with the given rate, bits and channels.
// `source` may be followed by cbSize extra bytes (compressed formats need
// them). On success returns true with a fresh buffer (tag "cbOut") in *out;
// returns false and leaves the outputs untouched when the step fails. Plain
// PCM going from 16 to 8 bits, or to exactly half its rate, is converted
// here, giving what the manager gives; everything else goes to the manager.
bool WaveConvertStep(const WAVEFORMATEX* source, const BYTE* data, DWORD size, DWORD rate, WORD bits,
                     WORD channels, WAVEFORMATEX* outFormat, BYTE** out, DWORD* outSize);

// The same step always through the audio compression manager.
bool WaveConvertStepWithManager(const WAVEFORMATEX* source, const BYTE* data, DWORD size, DWORD rate,
                                WORD bits, WORD channels, WAVEFORMATEX* outFormat, BYTE** out,
                                DWORD* outSize);

// Brings any format the manager can decode to 8-bit 22050 Hz PCM in up to
// three steps (to PCM, to 22050 Hz, to 8 bits), each skipped when already
// met. On success *out is always a buffer of its own ("cbSignal" when nothing
// had to be converted, "cbOut" otherwise) and *outFormat is plain PCM with
// no extra bytes. Returns false, with nothing allocated, when a step fails.
bool WaveToMixerFormat(const WAVEFORMATEX* format, const BYTE* data, DWORD size, WAVEFORMATEX* outFormat,
                       BYTE** out, DWORD* outSize);
