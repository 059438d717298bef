// RIFF WAVE reading and conversion to the mixer's format.
#include "cea_wave.h"

#include <msacm.h>
#include <string.h>

#include "mem_manager.h"

namespace {

DWORD ReadDword(const BYTE* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<DWORD>(p[3]) << 24);
}

// The range of sample rates a sound may have; beyond it a file is damaged.
const DWORD kMinimumRate = 1000;
const DWORD kMaximumRate = 192000;

bool SameId(const BYTE* p, const char* id) { return memcmp(p, id, 4) == 0; }

// Plain PCM whose fields agree with each other: the only kind the engine converts by itself.
bool IsConsistentPcm(const WAVEFORMATEX* format) {
    WORD bits = format->wBitsPerSample;
    return format->wFormatTag == WAVE_FORMAT_PCM && (bits == 8 || bits == 16) && format->nChannels >= 1 &&
           format->nChannels <= 2 && format->nBlockAlign == format->nChannels * bits / 8 &&
           format->nSamplesPerSec != 0 &&
           format->nAvgBytesPerSec == format->nSamplesPerSec * format->nBlockAlign;
}

// The two steps that sounds recorded at twice the mixer's rate in 16 bits take: halving the rate and
// dropping to 8 bits. Opening a stream of the audio compression manager costs milliseconds each time
// while the work is a single pass over the samples, so the engine makes these two itself, giving what
// the manager's own PCM converter gives (its tests hold the two side by side).
bool IsDirectStep(const WAVEFORMATEX* source, DWORD rate, WORD bits, WORD channels) {
    if (!IsConsistentPcm(source) || source->nChannels != channels) return false;
    bool narrowing = source->nSamplesPerSec == rate && source->wBitsPerSample == 16 && bits == 8;
    bool halving = source->wBitsPerSample == bits && rate != 0 && source->nSamplesPerSec / 2 == rate &&
                   source->nSamplesPerSec % 2 == 0;
    return narrowing || halving;
}

// Copies every `step`-th frame of `block` bytes; the size is fixed per loop so that each copy is a move.
template <DWORD block>
void CopyFrames(const BYTE* from, DWORD step, DWORD frames, BYTE* to) {
    for (DWORD k = 0; k < frames; k++, from += step, to += block) memcpy(to, from, block);
}

// Narrowing keeps each sample's high byte with its sign bit flipped (signed 16-bit to unsigned 8-bit);
// halving keeps the second frame of every pair. Each touches a sample on its own, so both at once give
// what one after the other gives. A part frame at the end, and for halving an unpaired last frame, is
// dropped. False when no whole output frame results.
bool ConvertDirectly(const WAVEFORMATEX* source, const BYTE* data, DWORD size, const WAVEFORMATEX& target,
                     BYTE** out, DWORD* outSize) {
    DWORD block = source->nBlockAlign;
    DWORD frames = size / block;
    bool halving = source->nSamplesPerSec != target.nSamplesPerSec;
    bool narrowing = source->wBitsPerSample != target.wBitsPerSample;
    DWORD outFrames = halving ? frames / 2 : frames;
    if (outFrames == 0) return false;
    DWORD cbOut = outFrames * target.nBlockAlign;
    BYTE* buffer = static_cast<BYTE*>(MEMALLOC(cbOut));
    if (!buffer) return false;
    const BYTE* from = halving ? data + block : data; // the second frame of the first pair
    DWORD step = halving ? 2 * block : block;
    if (narrowing) {
        const BYTE* high = from + 1;
        BYTE* to = buffer;
        if (source->nChannels == 2) {
            for (DWORD k = 0; k < outFrames; k++, high += step, to += 2) {
                to[0] = static_cast<BYTE>(high[0] ^ 0x80);
                to[1] = static_cast<BYTE>(high[2] ^ 0x80);
            }
        } else {
            for (DWORD k = 0; k < outFrames; k++, high += step) *to++ = static_cast<BYTE>(*high ^ 0x80);
        }
    } else if (block == 4) {
        CopyFrames<4>(from, step, outFrames, buffer);
    } else if (block == 2) {
        CopyFrames<2>(from, step, outFrames, buffer);
    } else {
        CopyFrames<1>(from, step, outFrames, buffer);
    }
    *out = buffer;
    *outSize = cbOut;
    return true;
}

WAVEFORMATEX PcmFormat(DWORD rate, WORD bits, WORD channels) {
    WAVEFORMATEX target;
    target.wFormatTag = WAVE_FORMAT_PCM;
    target.nChannels = channels;
    target.nSamplesPerSec = rate;
    target.wBitsPerSample = bits;
    target.nBlockAlign = static_cast<WORD>((bits == 8 ? 1 : 2) * channels);
    target.nAvgBytesPerSec = rate * (bits / 8) * channels;
    target.cbSize = 0;
    return target;
}

} // namespace

bool WaveParse(const void* riff, DWORD size, WaveView* view) {
    memset(view, 0, sizeof(*view));
    const BYTE* bytes = static_cast<const BYTE*>(riff);
    if (!bytes || size < 12 || !SameId(bytes, "RIFF") || !SameId(bytes + 8, "WAVE")) return false;
    DWORD offset = 12;
    while (size - offset >= 9) {
        DWORD id = offset;
        DWORD chunkSize = ReadDword(bytes + offset + 4);
        offset += 8;
        DWORD remaining = size - offset;
        if (chunkSize > remaining) break;
        const BYTE* body = bytes + offset;
        if (SameId(bytes + id, "fmt ")) {
            // A 16-byte chunk is the plain PCM layout without the extra-size
            // word; anything shorter cannot describe a format and leaves the
            // format empty, which conversion then refuses.
            if (chunkSize >= 18) {
                memcpy(&view->format, body, 18);
                view->formatChunk = body;
                view->formatChunkSize = chunkSize;
            } else if (chunkSize == 16) {
                memcpy(&view->format, body, 16);
                view->format.cbSize = 0;
                view->formatChunk = body;
                view->formatChunkSize = chunkSize;
            }
        } else if (SameId(bytes + id, "data")) {
            view->data = body;
            view->dataSize = chunkSize;
            break;
        }
        offset += chunkSize;
        // RIFF pads odd-sized chunks to a word boundary; honouring the pad keeps
        // the chunk after an odd "LIST" or "cue " chunk readable.
        if ((chunkSize & 1) && offset < size) offset++;
    }
    return view->data != nullptr;
}

bool WaveConvertStep(const WAVEFORMATEX* source, const BYTE* data, DWORD size, DWORD rate, WORD bits,
                     WORD channels, WAVEFORMATEX* outFormat, BYTE** out, DWORD* outSize) {
    if (!source || !data || !size || !channels || !rate || (bits != 8 && bits != 16)) return false;
    if (!IsDirectStep(source, rate, bits, channels))
        return WaveConvertStepWithManager(source, data, size, rate, bits, channels, outFormat, out, outSize);
    WAVEFORMATEX target = PcmFormat(rate, bits, channels);
    if (!ConvertDirectly(source, data, size, target, out, outSize)) return false;
    *outFormat = target;
    return true;
}

bool WaveConvertStepWithManager(const WAVEFORMATEX* source, const BYTE* data, DWORD size, DWORD rate,
                                WORD bits, WORD channels, WAVEFORMATEX* outFormat, BYTE** out,
                                DWORD* outSize) {
    if (!source || !data || !size || !channels || !rate || (bits != 8 && bits != 16)) return false;
    WAVEFORMATEX target = PcmFormat(rate, bits, channels);

    HACMSTREAM stream = nullptr;
    if (acmStreamOpen(&stream, nullptr, const_cast<WAVEFORMATEX*>(source), &target, nullptr, 0, 0,
                      ACM_STREAMOPENF_NONREALTIME) != MMSYSERR_NOERROR)
        return false;
    bool converted = false;
    DWORD cbOut = 0;
    if (acmStreamSize(stream, size, &cbOut, ACM_STREAMSIZEF_SOURCE) == MMSYSERR_NOERROR && cbOut) {
        BYTE* buffer = static_cast<BYTE*>(MEMALLOC(cbOut));
        if (buffer) {
            memset(buffer, 128, cbOut);
            ACMSTREAMHEADER header;
            memset(&header, 0, sizeof(header));
            header.cbStruct = sizeof(header);
            header.pbSrc = const_cast<BYTE*>(data);
            header.cbSrcLength = size;
            header.pbDst = buffer;
            header.cbDstLength = cbOut;
            if (acmStreamPrepareHeader(stream, &header, 0) == MMSYSERR_NOERROR) {
                converted = acmStreamConvert(stream, &header, 0) == MMSYSERR_NOERROR &&
                            header.cbDstLengthUsed > 0 && header.cbDstLengthUsed <= cbOut;
                acmStreamUnprepareHeader(stream, &header, 0);
            }
            if (converted) {
                // Only the bytes the manager produced are samples; the rest of
                // the estimate would be filler at the end of the sound.
                *out = buffer;
                *outSize = header.cbDstLengthUsed;
                *outFormat = target;
            } else {
                MEMFREE(buffer);
            }
        }
    }
    acmStreamClose(stream, 0);
    return converted;
}

bool WaveToMixerFormat(const WAVEFORMATEX* format, const BYTE* data, DWORD size, WAVEFORMATEX* outFormat,
                       BYTE** out, DWORD* outSize) {
    if (!format || !data || !size) return false;
    // The mixer plays one or two channels; anything else, or a format that
    // cannot describe a stream at all, is refused here rather than handed to
    // converters that may not check it as carefully.
    if (format->nChannels < 1 || format->nChannels > 2 || format->nSamplesPerSec < kMinimumRate ||
        format->nSamplesPerSec > kMaximumRate || !format->nBlockAlign)
        return false;
    if (format->wFormatTag == WAVE_FORMAT_PCM &&
        ((format->wBitsPerSample != 8 && format->wBitsPerSample != 16) ||
         format->nBlockAlign != format->nChannels * format->wBitsPerSample / 8))
        return false;
    // The audio compression manager sizes its output from the average byte
    // rate; a rate of 0 (or, for PCM, one that contradicts the block size)
    // makes some converters abort the whole process inside the size query.
    // Only a format that needs converting reaches them, so 8-bit PCM at the
    // mixer's rate is kept whatever its byte rate says.
    bool needsConversion = format->wFormatTag != WAVE_FORMAT_PCM || format->nSamplesPerSec != kMixerRate ||
                           format->wBitsPerSample != kMixerBits;
    if (needsConversion && (!format->nAvgBytesPerSec ||
                            (format->wFormatTag == WAVE_FORMAT_PCM &&
                             format->nAvgBytesPerSec != format->nSamplesPerSec * format->nBlockAlign)))
        return false;
    // Plain PCM at the mixer's rate or twice it reaches the mixer's format in a single pass, which gives
    // what the steps below give one after the other, without a buffer between them.
    if (needsConversion && IsConsistentPcm(format) &&
        (format->nSamplesPerSec == kMixerRate || format->nSamplesPerSec == 2 * kMixerRate)) {
        WAVEFORMATEX target = PcmFormat(kMixerRate, kMixerBits, format->nChannels);
        BYTE* result = nullptr;
        DWORD resultSize = 0;
        if (!ConvertDirectly(format, data, size, target, &result, &resultSize)) return false;
        *outFormat = target;
        *out = result;
        *outSize = resultSize;
        return true;
    }
    const WAVEFORMATEX* current = format;
    const BYTE* bytes = data;
    DWORD count = size;
    WAVEFORMATEX step;
    BYTE* owned = nullptr; // the result of the latest conversion, if any

    struct Target {
        DWORD rate;
        WORD bits;
    } targets[3] = {{0, 0}, {kMixerRate, 0}, {kMixerRate, kMixerBits}};
    for (int i = 0; i < 3; i++) {
        DWORD rate = targets[i].rate ? targets[i].rate : current->nSamplesPerSec;
        WORD bits = targets[i].bits ? targets[i].bits : current->wBitsPerSample;
        if (current->wFormatTag == WAVE_FORMAT_PCM && current->nSamplesPerSec == rate &&
            current->wBitsPerSample == bits)
            continue;
        BYTE* result = nullptr;
        DWORD resultSize = 0;
        WAVEFORMATEX resultFormat;
        if (!WaveConvertStep(current, bytes, count, rate, bits, current->nChannels, &resultFormat, &result,
                             &resultSize)) {
            if (owned) MEMFREE(owned);
            return false;
        }
        if (owned) MEMFREE(owned);
        owned = result;
        bytes = result;
        count = resultSize;
        step = resultFormat;
        current = &step;
    }
    // The mixer only takes what it can add sample by sample: 8-bit PCM in one
    // or two channels whose block is one sample per channel.
    if (current->nChannels < 1 || current->nChannels > 2 || current->nBlockAlign != current->nChannels) {
        if (owned) MEMFREE(owned);
        return false;
    }
    if (!owned) {
        DWORD cbSignal = size;
        owned = static_cast<BYTE*>(MEMALLOC(cbSignal));
        if (!owned) return false;
        memcpy(owned, data, cbSignal);
    }
    *outFormat = *current;
    outFormat->cbSize = 0;
    *out = owned;
    *outSize = count;
    return true;
}
