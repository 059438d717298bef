// Tests of the synthesiser: score parsing and its errors, pitches, loop length and join, WAVE layout.
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "synth.h"

namespace {

TEST(Synth, PitchNamesGiveEqualTemperedFrequencies) {
    EXPECT_NEAR(PitchFrequency("A4"), 440.0f, 0.01f);
    EXPECT_NEAR(PitchFrequency("A5"), 880.0f, 0.01f);
    EXPECT_NEAR(PitchFrequency("C4"), 261.63f, 0.01f);
    EXPECT_NEAR(PitchFrequency("C#4"), PitchFrequency("Db4"), 0.01f);
    EXPECT_THROW(PitchFrequency("H4"), std::runtime_error);
    EXPECT_THROW(PitchFrequency("A"), std::runtime_error);
    EXPECT_THROW(PitchFrequency("A44"), std::runtime_error);
}

TEST(Synth, ScoresParseIntoTimedNotesAndErrorsNameTheLine) {
    const Score score = ParseScore("patch p sine 0.01 0.1 0.5 0.1\nsound 7 22050 8 1 120 4\n"
                                   "seq p 0.5 0 C4:1 -:1 E4+G4:2\nseq p 1 0 @3 A4:1\n");
    ASSERT_EQ(score.sounds.size(), 1u);
    const auto& notes = score.sounds[0].notes;
    ASSERT_EQ(notes.size(), 4u);
    EXPECT_DOUBLE_EQ(notes[1].start, 1.0); // after C4 and a rest of half a second each
    EXPECT_DOUBLE_EQ(notes[2].start, 1.0); // the chord's second note
    EXPECT_DOUBLE_EQ(notes[1].length, 1.0);
    EXPECT_DOUBLE_EQ(notes[3].start, 1.5);
    for (const char* bad : {"seq p 1 0 C4:1\n", "patch p buzzsaw 0 0 0 0\n", "sound 1 22050 12 1 120 0\n",
                            "patch p sine 0.01 0.1 0.5 0.1\nsound 1 22050 8 1 120 0\nseq q 1 0 C4:1\n",
                            "patch p sine 0.01 0.1 0.5 0.1\nsound 1 22050 8 1 120 0\nseq p 1 0 C4\n",
                            "sound 1 22050 8 1 120 0 loop\n", "volume 3\n"})
        EXPECT_THROW(ParseScore(bad), std::runtime_error) << bad;
    try {
        ParseScore("# comment\n\nbogus\n");
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("line 3"), std::string::npos);
    }
}

// A loop whose last note rings past the end: the tail must continue at the start so that the loop,
// played back to back, has no step at the join.
TEST(Synth, LoopsAreWholeBarsAndJoinWithoutAStep) {
    const Score score = ParseScore("patch p sine 0.01 0.05 0.8 0.5\nsound 1 8000 16 1 120 4 loop\n"
                                   "seq p 1 0 A4:2 C5:2\n");
    const std::vector<float> samples = Render(score.sounds[0], score.patches);
    ASSERT_EQ(samples.size(), 16000u); // four beats at 120 per minute, 8000 frames a second
    float largestStep = 0;
    for (size_t i = 1; i < samples.size(); ++i)
        largestStep = std::max(largestStep, std::fabs(samples[i] - samples[i - 1]));
    const float join = std::fabs(samples.front() - samples.back());
    EXPECT_LE(join, largestStep * 1.05f);
    EXPECT_GT(std::fabs(samples[10]), 0.01f); // the wrapped release sounds at the start
    float peak = 0;
    for (float v : samples) peak = std::max(peak, std::fabs(v));
    EXPECT_NEAR(peak, 0.8f, 1e-3f);
}

TEST(Synth, OneShotsLastUntilTheirReleaseEnds) {
    const Score score =
        ParseScore("patch p square 0.01 0.05 0.8 0.25\nsound 1 10000 8 2 60 0\nseq p 1 -1 A4:1\n");
    const std::vector<float> samples = Render(score.sounds[0], score.patches);
    EXPECT_EQ(samples.size(), 2u * 12500u);      // one beat of a second plus a quarter second of release
    EXPECT_FLOAT_EQ(samples[2 * 100 + 1], 0.0f); // panned hard left: the right channel is silent
    EXPECT_NEAR(samples[samples.size() - 2], 0.0f, 0.01f);
}

TEST(Synth, WaveFilesCarryTheirFormatAndSamples) {
    const std::vector<uint8_t> eight = EncodeWave({0.0f, 1.0f, -1.0f}, 22050, 8, 1);
    ASSERT_EQ(eight.size(), 44u + 4u); // three bytes padded to an even chunk
    EXPECT_EQ(std::string(eight.begin(), eight.begin() + 4), "RIFF");
    EXPECT_EQ(eight[4], 40); // RIFF size: 36 + data with its pad byte
    EXPECT_EQ(eight[22], 1); // channels
    EXPECT_EQ(eight[24] | eight[25] << 8, 22050);
    EXPECT_EQ(eight[34], 8);
    EXPECT_EQ(eight[40], 3); // data bytes
    EXPECT_EQ(eight[44], 128);
    EXPECT_EQ(eight[45], 255);
    EXPECT_EQ(eight[46], 1);
    const std::vector<uint8_t> sixteen = EncodeWave({0.5f, -0.5f}, 44100, 16, 2);
    ASSERT_EQ(sixteen.size(), 48u);
    EXPECT_EQ(sixteen[32], 4); // block align
    EXPECT_EQ(int16_t(sixteen[44] | sixteen[45] << 8), 16384);
    EXPECT_EQ(int16_t(sixteen[46] | sixteen[47] << 8), -16384);
}

} // namespace
