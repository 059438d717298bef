// A small synthesiser for the game's sounds and music: patches (waveform, envelope, pitch slide) play
// sequences of notes from a text score; pieces of music can be rendered as seamless loops.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct Patch {
    std::string wave = "sine";                                           // sine, square, saw, triangle, noise
    float attack = 0.005f, decay = 0.1f, sustain = 0.7f, release = 0.1f; // seconds, level 0 to 1
    float slide = 1.0f;   // frequency ratio reached at the end of a note (1: steady)
    float vibrato = 0.0f; // depth in semitones at 5.5 Hz
};

struct NoteEvent {
    double start = 0, length = 0; // seconds; the release follows the length
    float frequency = 440;
    float volume = 1, pan = 0; // pan -1 left to 1 right
    std::string patch;
};

struct SoundScore {
    int id = 0;
    int rate = 22050, bits = 8, channels = 1;
    bool loop = false;  // rendered exactly `beats` long, with tails wrapped to the start
    double tempo = 120; // beats per minute
    double beats = 0;   // length in beats (0: until the last note's release ends)
    float peak = 0.8f;  // the loudest sample after normalising
    std::vector<NoteEvent> notes;
};

struct Score {
    std::map<std::string, Patch> patches;
    std::vector<SoundScore> sounds;
};

// Parses the score text:
//   patch NAME WAVE ATTACK DECAY SUSTAIN RELEASE [SLIDE [VIBRATO]]
//   sound ID RATE BITS CHANNELS TEMPO BEATS [loop] [peak=P]
//   seq PATCH VOLUME PAN NOTE:BEATS ...  (notes follow each other; "-" rests; "C4+E4" plays a chord;
//                                         "@B" as the first note starts the sequence at beat B)
// Throws std::runtime_error naming the line on any error (unknown patch, bad pitch, sound without id).
Score ParseScore(const std::string& text);

// Frequency of a pitch name such as "A4", "C#5", "Bb3"; throws on a bad name.
float PitchFrequency(const std::string& name);

// Interleaved samples in -1..1 (channels as the sound says), normalised to its peak.
std::vector<float> Render(const SoundScore& sound, const std::map<std::string, Patch>& patches);

// RIFF WAVE bytes of the samples (8-bit unsigned or 16-bit signed PCM).
std::vector<uint8_t> EncodeWave(const std::vector<float>& samples, int rate, int bits, int channels);
