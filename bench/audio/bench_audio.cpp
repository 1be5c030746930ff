// The sound library against plain alternatives on the same data: 32 looping voices mixed for 10 s
// of output by our mixer and by SDL2's SDL_MixAudioFormat; a 60 s Ogg decoded to a sample by the
// library (decode, conversion to 16 bits at the mix rate) and by a plain ov_read loop; a room's
// music file decoded through a stream's feed (as the stream thread does, converted to the mix
// rate) and by ov_read_float with libswresample's conversion; and the CPU time the stream threads
// spend on ten seconds of the Office's and the Quay's streams, playing on SDL's dummy device,
// against decoding the same ten seconds of them once with libvorbis.
#include <SDL.h>
#define OV_EXCLUDE_STATIC_CALLBACKS
#include <benchmark/benchmark.h>
#include <time.h>
#include <vorbis/vorbisfile.h>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "../BenchRatios.h"
#include "SoundMaker.h"
#include "platform/audio/SoundLibrary.h"
#include "platform/audio/StreamFeed.h"

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

// ---- a room's music through a stream's feed

constexpr uint32_t kMixRate = 44100;
constexpr int kStreamBufferMs = 4000;  // as the game's sound system sets it

std::string DataFile(const char* name) { return std::string(QUILLANE_DATA_DIR) + "/" + name; }

double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The Office's music through a feed: opened, decoded and converted into its ring, which is
// emptied as the mix would, to the end of the file.
void OggThroughStreamFeed(benchmark::State& state) {
  const std::string path = DataFile("msx/office.ogg");
  std::vector<float> out(size_t{kMixRate} * 2);
  for (auto _ : state) {
    pa::StreamFeed feed(path, 0, kMixRate, kMixRate * kStreamBufferMs / 1000);
    uint64_t frames = 0;
    for (bool more = true; more;) {
      more = feed.Fill();
      const std::shared_ptr<pa::FrameRing> ring = feed.Ring();
      if (!ring) break;
      for (uint32_t got; (got = ring->Read(out.data(), kMixRate)) > 0;) frames += got;
    }
    if (feed.State() != pa::openstate::Ready || frames == 0) {
      state.SkipWithError("the feed decoded nothing (no demo data?)");
      break;
    }
    benchmark::DoNotOptimize(frames);
  }
}
BENCHMARK(OggThroughStreamFeed)->Unit(benchmark::kMillisecond);

// The same file: ov_read_float, then libswresample to interleaved stereo float at the mix rate.
void OggOvReadAndSwresample(benchmark::State& state) {
  const std::string path = DataFile("msx/office.ogg");
  std::vector<float> out(size_t{kMixRate} * 2);
  for (auto _ : state) {
    OggVorbis_File file;
    if (ov_fopen(path.c_str(), &file) != 0) {
      state.SkipWithError("the file does not open (no demo data?)");
      break;
    }
    const vorbis_info* info = ov_info(&file, -1);
    AVChannelLayout inLayout, outLayout = AV_CHANNEL_LAYOUT_STEREO;
    av_channel_layout_default(&inLayout, info->channels);
    SwrContext* swr = nullptr;
    swr_alloc_set_opts2(&swr, &outLayout, AV_SAMPLE_FMT_FLT, static_cast<int>(kMixRate), &inLayout, AV_SAMPLE_FMT_FLTP,
                        static_cast<int>(info->rate), 0, nullptr);
    swr_init(swr);
    uint64_t frames = 0;
    int section = 0;
    float** pcm = nullptr;
    for (long got; (got = ov_read_float(&file, &pcm, 4096, &section)) > 0;) {
      uint8_t* outPlanes[] = {reinterpret_cast<uint8_t*>(out.data())};
      frames += static_cast<uint64_t>(swr_convert(swr, outPlanes, static_cast<int>(kMixRate),
                                                  const_cast<const uint8_t**>(reinterpret_cast<uint8_t**>(pcm)),
                                                  static_cast<int>(got)));
    }
    swr_free(&swr);
    ov_clear(&file);
    benchmark::DoNotOptimize(frames);
  }
}
BENCHMARK(OggOvReadAndSwresample)->Unit(benchmark::kMillisecond);

// ---- the stream threads in play

constexpr double kPlaySeconds = 10.0;

const std::vector<const char*> kOffice = {"msx/office.ogg"};
const std::vector<const char*> kQuay = {"msx/quay.ogg", "sfx/water.ogg", "sfx/pumps.ogg"};

// The scene's streams, looping, opened and played on SDL's dummy device as the game does; the CPU
// time of the stream threads while the mix plays kPlaySeconds of them, once their rings are full
// (so that as much is decoded in the time as is played: the opens and the first fill are a cost
// of the scene's start, not of its play).
void StreamThreads(benchmark::State& state, const std::vector<const char*>& files) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  const double settled = kStreamBufferMs / 1000.0;
  for (auto _ : state) {
    pa::SoundLibrary lib;
    lib.Init(static_cast<int>(kMixRate), 32, 0);
    lib.SetStreamBufferMs(kStreamBufferMs);
    std::vector<pa::StreamId> streams;
    for (const char* file : files)
      streams.push_back(lib.OpenStream(DataFile(file).c_str(), pa::mode::NonBlocking | pa::mode::Loop));
    std::vector<int> voices;
    for (pa::StreamId stream : streams) {
      while (lib.StreamOpenState(stream) == pa::openstate::Opening) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      voices.push_back(lib.PlayStream(pa::kAnyVoice, stream));
    }
    if (voices.empty() || voices.front() < 0) {
      state.SkipWithError("a stream did not play (no demo data?)");
      break;
    }
    const auto playUntil = [&](double seconds) {
      while (lib.CurrentPosition(voices.front()) < seconds * kMixRate) {
        lib.Update();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
    };
    playUntil(settled);
    const double start = lib.DecodeCpuSeconds();
    playUntil(settled + kPlaySeconds);
    state.SetIterationTime(lib.DecodeCpuSeconds() - start);
    state.counters["underruns"] = static_cast<double>(lib.Underruns());
  }
}
BENCHMARK_CAPTURE(StreamThreads, Office, kOffice)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(StreamThreads, Quay, kQuay)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// The floor: kPlaySeconds of each stream decoded once with libvorbis (a file shorter than that
// from its start again), the thread's CPU time.
void LibvorbisOnce(benchmark::State& state, const std::vector<const char*>& files) {
  for (auto _ : state) {
    const double start = ThreadCpuSeconds();
    for (const char* name : files) {
      OggVorbis_File file;
      if (ov_fopen(DataFile(name).c_str(), &file) != 0) {
        state.SkipWithError("a file does not open (no demo data?)");
        return;
      }
      const uint64_t wanted = static_cast<uint64_t>(kPlaySeconds * static_cast<double>(ov_info(&file, -1)->rate));
      int section = 0;
      float** pcm = nullptr;
      for (uint64_t frames = 0; frames < wanted;) {
        const long got = ov_read_float(&file, &pcm, 4096, &section);
        if (got > 0) frames += static_cast<uint64_t>(got);
        else if (got < 0 || ov_pcm_seek(&file, 0) != 0) break;
        benchmark::DoNotOptimize(pcm);
      }
      ov_clear(&file);
    }
    state.SetIterationTime(ThreadCpuSeconds() - start);
  }
}
BENCHMARK_CAPTURE(LibvorbisOnce, Office, kOffice)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LibvorbisOnce, Quay, kQuay)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  return benchratios::RunWithRatios(
      argc, argv,
      {{"mixer / SDL_MixAudioFormat (32 voices)", "MixThroughLibrary", "MixWithSdl"},
       {"sample load / ov_read (60 s Ogg)", "OggThroughLibrary", "OggPlainOvRead"},
       {"stream feed / ov_read_float + swresample", "OggThroughStreamFeed", "OggOvReadAndSwresample"},
       {"stream threads, Office / libvorbis once", "StreamThreads/Office/iterations:1", "LibvorbisOnce/Office"},
       {"stream threads, Quay / libvorbis once", "StreamThreads/Quay/iterations:1", "LibvorbisOnce/Quay"}});
}
