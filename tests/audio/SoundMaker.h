// Sounds made by code for the sound library's tests and benchmarks.
#pragma once

#include <cstdint>
#include <vector>

namespace audiotest {

// Interleaved float frames of a sine (every channel the same).
std::vector<float> Sine(int rate, int channels, double seconds, double hz, double amplitude);
// A WAV file image: bits 8 or 16 (PCM) or 32 (float).
std::vector<uint8_t> MakeWav(int rate, int channels, int bits, const std::vector<float>& frames);
// An Ogg Vorbis file image (quality 0.5).
std::vector<uint8_t> MakeOgg(int rate, int channels, const std::vector<float>& frames);

}  // namespace audiotest
