// The sound library against plain alternatives on the same data: 32 looping voices mixed for 10 s
// of output by our mixer and by SDL2's SDL_MixAudioFormat; a 60 s Ogg decoded to a sample by the
// library (decode, conversion to 16 bits at the mix rate) and by a plain ov_read loop.
#include <SDL.h>
#define OV_EXCLUDE_STATIC_CALLBACKS
#include <benchmark/benchmark.h>
#include <vorbis/vorbisfile.h>

#include <cstring>
#include <vector>

#include "SoundMaker.h"
#include "platform/audio/SoundLibrary.h"

namespace pa = platform::audio;

namespace {

constexpr int kVoices = 32;
constexpr uint32_t kOutputFrames = 44100 * 10;
constexpr uint32_t kBlock = 1024;  // frames per pull, as an audio callback would ask
constexpr int kVolume = 200;       // of 255

// 32 one-second stereo WAV images at 44.1 kHz, each its own pitch.
const std::vector<std::vector<uint8_t>>& VoiceFiles() {
  static const auto files = [] {
    std::vector<std::vector<uint8_t>> out;
    for (int v = 0; v < kVoices; ++v)
      out.push_back(audiotest::MakeWav(44100, 2, 16, audiotest::Sine(44100, 2, 1.0, 110.0 + 37.0 * v, 0.05)));
    return out;
  }();
  return files;
}

void MixThroughLibrary(benchmark::State& state) {
  pa::SoundLibrary lib;
  lib.SetOutput(pa::Output::Pull);
  lib.Init(44100, kVoices, 0);
  for (const auto& file : VoiceFiles()) {
    const pa::SampleId sample = lib.LoadSample(file.data(), pa::mode::TwoD | pa::mode::Loop | pa::mode::FromMemory,
                                               static_cast<uint32_t>(file.size()));
    lib.SetVolume(lib.Play(pa::kAnyVoice, sample, false), kVolume);
  }
  std::vector<int16_t> out(kBlock * 2);
  for (auto _ : state) {
    for (uint32_t done = 0; done < kOutputFrames; done += kBlock) lib.Mix(out.data(), kBlock);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * kOutputFrames);
}
BENCHMARK(MixThroughLibrary)->Unit(benchmark::kMillisecond);

void MixWithSdl(benchmark::State& state) {
  // The same decoded voices: the library's own 16-bit stereo data at the mix rate.
  std::vector<std::vector<int16_t>> voices;
  for (const auto& file : VoiceFiles()) {
    const int16_t* pcm = reinterpret_cast<const int16_t*>(file.data() + 44);
    voices.emplace_back(pcm, pcm + (file.size() - 44) / 2);
  }
  std::vector<size_t> position(kVoices, 0);
  std::vector<int16_t> out(kBlock * 2);
  const int volume = kVolume * SDL_MIX_MAXVOLUME / 255;
  for (auto _ : state) {
    for (uint32_t done = 0; done < kOutputFrames; done += kBlock) {
      std::memset(out.data(), 0, out.size() * 2);
      for (int v = 0; v < kVoices; ++v) {
        const std::vector<int16_t>& src = voices[static_cast<size_t>(v)];
        size_t& at = position[static_cast<size_t>(v)];
        size_t filled = 0;
        while (filled < kBlock * 2) {  // looping: wrap to the start
          const size_t take = std::min(kBlock * 2 - filled, src.size() - at);
          SDL_MixAudioFormat(reinterpret_cast<Uint8*>(out.data() + filled), reinterpret_cast<const Uint8*>(src.data() + at),
                             AUDIO_S16SYS, static_cast<Uint32>(take * 2), volume);
          filled += take;
          at = (at + take) % src.size();
        }
      }
      benchmark::DoNotOptimize(out.data());
    }
  }
  state.SetItemsProcessed(state.iterations() * kOutputFrames);
}
BENCHMARK(MixWithSdl)->Unit(benchmark::kMillisecond);

// 60 s of stereo music-like sound (a chord with a little noise) as Ogg.
const std::vector<uint8_t>& LongOgg() {
  static const auto ogg = [] {
    auto frames = audiotest::Sine(44100, 2, 60.0, 220.0, 0.2);
    const auto fifth = audiotest::Sine(44100, 2, 60.0, 330.0, 0.15);
    uint32_t seed = 5;
    for (size_t i = 0; i < frames.size(); ++i)
      frames[i] += fifth[i] + static_cast<float>((seed = seed * 1664525u + 1013904223u) >> 8) / 16777216.0f * 0.02f;
    return audiotest::MakeOgg(44100, 2, frames);
  }();
  return ogg;
}

void OggThroughLibrary(benchmark::State& state) {
  const auto& ogg = LongOgg();
  pa::SoundLibrary lib;
  lib.SetOutput(pa::Output::Pull);
  lib.Init(44100, 4, 0);
  for (auto _ : state) {
    const pa::SampleId sample =
        lib.LoadSample(ogg.data(), pa::mode::TwoD | pa::mode::FromMemory, static_cast<uint32_t>(ogg.size()));
    benchmark::DoNotOptimize(sample);
    lib.FreeSample(sample);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(ogg.size()));
}
BENCHMARK(OggThroughLibrary)->Unit(benchmark::kMillisecond);

struct Memory {
  const uint8_t* data;
  size_t size;
  size_t at;
};

void OggPlainOvRead(benchmark::State& state) {
  const auto& ogg = LongOgg();
  ov_callbacks callbacks{
      [](void* out, size_t size, size_t count, void* source) -> size_t {
        auto* m = static_cast<Memory*>(source);
        const size_t n = std::min(size * count, m->size - m->at);
        std::memcpy(out, m->data + m->at, n);
        m->at += n;
        return size ? n / size : 0;
      },
      [](void* source, ogg_int64_t offset, int whence) -> int {
        auto* m = static_cast<Memory*>(source);
        const int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? static_cast<int64_t>(m->at) : static_cast<int64_t>(m->size);
        if (base + offset < 0 || base + offset > static_cast<int64_t>(m->size)) return -1;
        m->at = static_cast<size_t>(base + offset);
        return 0;
      },
      nullptr, [](void* source) -> long { return static_cast<long>(static_cast<Memory*>(source)->at); }};
  std::vector<char> pcm(1 << 16);
  for (auto _ : state) {
    Memory memory{ogg.data(), ogg.size(), 0};
    OggVorbis_File file;
    ov_open_callbacks(&memory, &file, nullptr, 0, callbacks);
    int section = 0;
    long total = 0;
    for (long got; (got = ov_read(&file, pcm.data(), static_cast<int>(pcm.size()), 0, 2, 1, &section)) > 0;) total += got;
    benchmark::DoNotOptimize(total);
    ov_clear(&file);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(ogg.size()));
}
BENCHMARK(OggPlainOvRead)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
