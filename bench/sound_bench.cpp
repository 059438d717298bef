// Mixer benchmark: the time to fill one 1024-byte buffer with 1, 4 and 8
// active slots, against the time that buffer takes to play (512 stereo
// frames at 22050 Hz, about 23 ms). A ratio far below 1 leaves the device
// room for everything else.
#include <stdio.h>
#include <string.h>

#include "cea_mixer.h"
#include "cea_sound.h"
#include "mem_manager.h"

int main() {
    WAVEFORMATEX mono = {WAVE_FORMAT_PCM, 1, 22050, 22050, 1, 8, 0};
    WAVEFORMATEX stereo = {WAVE_FORMAT_PCM, 2, 22050, 44100, 2, 8, 0};
    static BYTE samples[44100];
    for (DWORD i = 0; i < sizeof(samples); i++) samples[i] = static_cast<BYTE>(128 + (i * 37 % 200) - 100);
    Sound* sounds[8];
    for (int i = 0; i < 8; i++)
        sounds[i] = MEMNEW(Sound, (i % 2 ? &stereo : &mono, samples, sizeof(samples)));

    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const double playingMs = 1000.0 * (kMixerBufferBytes / 2) / 22050.0;
    printf("buffer: %lu bytes, stereo device, plays for %.2f ms\n", kMixerBufferBytes, playingMs);
    BYTE buffer[kMixerBufferBytes];
    const int slotCounts[] = {1, 4, 8};
    for (int active : slotCounts) {
        MixState state;
        memset(&state, 0, sizeof(state));
        state.deviceOpen = state.deviceStereo = true;
        for (int i = 0; i < active; i++) MixAddSlot(&state, sounds[i], true, nullptr);
        const int rounds = 5000;
        MixFillBuffer(&state, buffer, sizeof(buffer)); // accumulators grown outside the timing
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        for (int r = 0; r < rounds; r++) MixFillBuffer(&state, buffer, sizeof(buffer));
        QueryPerformanceCounter(&end);
        double fillMs = 1000.0 * (end.QuadPart - start.QuadPart) / frequency.QuadPart / rounds;
        printf("%d slot%s: %.4f ms per buffer, ratio to playing time %.5f\n", active, active == 1 ? " " : "s",
               fillMs, fillMs / playingMs);
        MixFreeState(&state);
    }
    for (Sound* s : sounds) MEMDELETE(s);
    return 0;
}
