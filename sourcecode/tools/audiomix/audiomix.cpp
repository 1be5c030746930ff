// audiomix FILE... -o OUT.wav: plays every file at once from its start through the sound library
// (pulled, no device) and writes the mix as 16-bit stereo WAV at 44.1 kHz until the last one ends.
// For listening to what the mixer makes of a set of sounds, and for measuring it with sox.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/file/SafeFile.h"
#include "platform/audio/SoundLibrary.h"

namespace pa = platform::audio;

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

std::vector<uint8_t> WavHeader(uint32_t frames) {
  const uint32_t dataBytes = frames * 4;
  std::vector<uint8_t> h;
  h.insert(h.end(), {'R', 'I', 'F', 'F'});
  Put32(h, 36 + dataBytes);
  h.insert(h.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  Put32(h, 16);
  Put16(h, 1);
  Put16(h, 2);
  Put32(h, pa::kMixRate);
  Put32(h, pa::kMixRate * 4);
  Put16(h, 4);
  Put16(h, 16);
  h.insert(h.end(), {'d', 'a', 't', 'a'});
  Put32(h, dataBytes);
  return h;
}

int Usage() {
  std::fprintf(stderr, "usage: audiomix FILE... -o OUT.wav\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<const char*> inputs;
  const char* output = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-o") == 0 && i + 1 < argc) output = argv[++i];
    else if (argv[i][0] == '-') return Usage();
    else inputs.push_back(argv[i]);
  }
  if (!output || inputs.empty()) return Usage();

  pa::SoundLibrary lib;
  lib.SetOutput(pa::Output::Pull);
  if (!lib.Init(pa::kMixRate, static_cast<int>(inputs.size()), 0)) {
    std::fprintf(stderr, "ERROR: audiomix: the mixer could not start (%s)\n", pa::SoundLibrary::ErrorName(lib.GetError()));
    return 1;
  }
  std::vector<int> voices;
  for (const char* input : inputs) {
    const pa::SampleId sample = lib.LoadSample(input, pa::mode::TwoD, 0);
    if (sample == pa::SampleId::None) return 1;  // the library has said why
    voices.push_back(lib.Play(pa::kAnyVoice, sample, false));
  }

  std::vector<int16_t> mix;
  std::vector<int16_t> block(4096 * 2);
  for (;;) {
    bool playing = false;
    for (int voice : voices) playing = playing || lib.IsPlaying(voice);
    if (!playing) break;
    // The last block is cut where the longest sound ended.
    uint32_t longest = 0;
    for (int voice : voices) {
      const uint32_t left = lib.SampleLength(lib.CurrentSample(voice)) - lib.CurrentPosition(voice);
      if (lib.IsPlaying(voice) && left > longest) longest = left;
    }
    if (longest == 0) break;  // every sound is at its end
    const uint32_t frames = longest < 4096 ? longest : 4096;
    lib.Mix(block.data(), frames);
    mix.insert(mix.end(), block.begin(), block.begin() + frames * 2);
  }

  std::vector<uint8_t> bytes = WavHeader(static_cast<uint32_t>(mix.size() / 2));
  for (int16_t v : mix) Put16(bytes, static_cast<uint16_t>(v));
  // The one writer of files by name: a pipe or a device at the name is written through, never
  // replaced; a failure says why (logged).
  if (!base::SaveFileSafely(output, bytes.data(), bytes.size())) {
    std::fprintf(stderr, "ERROR: audiomix: '%s' could not be written\n", output);
    return 1;
  }
  std::printf("%s: %zu frames (%.3f s) from %zu files\n", output, mix.size() / 2,
              static_cast<double>(mix.size() / 2) / pa::kMixRate, inputs.size());
  return 0;
}
