// Frames per second of a 1024 × 576 clip: decoded into the frame textures and drawn headless
// through the video player, against FFmpeg's own send-packet/receive-frame loop over the same
// clip. The player's 10 ms sleep per update runs on a stepped clock here, so the figure is the
// work per frame, not the cap the sleep puts on the frame loop. The summary gives the player's
// frame over FFmpeg's, as it is and less the frame loop's own floor (an empty frame: the clear
// and the presentation, which any frame pays).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <fstream>
#include <memory>
#include <string>

#include "base/app/Clock.h"
#include "base/app/SystemRoot.h"
#include "base/system.h"
#include "graphics/Graphics.h"
#include "graphics/video/VideoPlayer.h"
#include "platform/video/ClipTools.h"
#include "win32dx9/DX9GraphicsDevice.h"
#include "win32dx9/Platform.h"

namespace {

constexpr int kWidth = 1024, kHeight = 576, kFrames = 50;

class cl_StepClock final : public base::i_Clock {
 public:
  unsigned long Ticks() override { return m_ticks; }
  void Sleep(unsigned ms) override { m_ticks += ms; }
  unsigned long m_ticks = 1000;
};

const std::string& ClipPath() {
  static const std::string path = [] {
    const std::string p = (std::filesystem::temp_directory_path() / "quillane_bench_video.bik").string();
    platform::video::st_ClipSettings s;
    s.width = kWidth;
    s.height = kHeight;
    s.frames = kFrames;
    s.soundCodec = "";
    s.quality = 3;
    platform::video::WriteClip(
        p, s,
        [](int index, uint32_t* pixels) {
          for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
              pixels[y * kWidth + x] = 0xFF000000u | static_cast<uint32_t>((x + index * 5) & 255) << 16 |
                                       static_cast<uint32_t>((y * 2) & 255) << 8 | static_cast<uint32_t>((x ^ y) & 255);
        },
        nullptr, nullptr);
    return p;
  }();
  return path;
}

// A headless root module of the clip's size with a video player in its tree.
struct st_Headless {
  cl_StepClock clock;
  std::unique_ptr<base::cl_System> system;
  gfx::cl_VideoPlayer* player = nullptr;
  win32dx9::cl_DX9GraphicsDevice* device = nullptr;

  bool Start() {
    base::sys::SetClock(&clock);
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "quillane_bench_video_user";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "config.xml") << "<Config><Display Fullscreen=\"0\" Width=\"" << kWidth << "\" Height=\""
                                      << kHeight << "\"/><Localization Language=\"English\"/></Config>";
    system = std::make_unique<base::cl_System>();
    system->SetUserDataPath(dir.string().c_str());
    system->LoadConfig("config.xml");
    system->RegisterPlatform(win32dx9::CreatePlatform(gpu::Backend::Headless));
    gfx::RegisterGraphics();
    player = new gfx::cl_VideoPlayer;
    system->AddModule(player);
    if (!system->StartUp()) return false;
    device = win32dx9::cl_DX9GraphicsDevice::GetInstance();
    return true;
  }
  ~st_Headless() {
    if (system) system->ShutDown();
    system.reset();
    base::sys::SetClock(nullptr);
  }
};

void PlayerFrames(benchmark::State& state) {
  const std::string clip = ClipPath();
  st_Headless h;
  if (!h.Start()) {
    state.SkipWithError("no headless graphics device");
    return;
  }
  int64_t frames = 0;
  uint32_t direct = 0, copied = 0;
  for (auto _ : state) {
    h.player->Play(clip.c_str(), nullptr, 0, 0, kWidth, kHeight, 1.0f);
    while (h.player->IsPlaying()) {
      h.clock.m_ticks += 30;  // with the player's 10 ms: one 40 ms frame per update
      h.player->Update(0.0f, 0.04f);
      const auto* codec = static_cast<gfx::cl_BinkShaderCodecNoThread*>(h.player->Codec());
      if (codec->Handle()) platform::video::GetPictureCounts(codec->Handle(), &direct, &copied);
      if (h.device->BeginFrame()) {
        h.player->Render();
        h.device->EndFrame();
      }
      ++frames;
    }
  }
  state.SetItemsProcessed(frames);
  state.counters["frames"] = static_cast<double>(frames) / static_cast<double>(state.iterations());
  // Of the last run: pictures the decoder wrote straight into the frame textures, and copies.
  state.counters["direct"] = direct;
  state.counters["copied"] = copied;
}
BENCHMARK(PlayerFrames)->Unit(benchmark::kMillisecond)->UseRealTime();  // llvmpipe draws on threads of its own

// The floor under the player's figure: frames of the same size with nothing drawn.
void EmptyFrames(benchmark::State& state) {
  st_Headless h;
  if (!h.Start()) {
    state.SkipWithError("no headless graphics device");
    return;
  }
  for (auto _ : state)
    if (h.device->BeginFrame()) h.device->EndFrame();
  state.SetItemsProcessed(state.iterations());
  state.counters["frames"] = 1;
}
BENCHMARK(EmptyFrames)->UseRealTime();

void FfmpegDecodeLoop(benchmark::State& state) {
  const std::string clip = ClipPath();
  int64_t frames = 0;
  for (auto _ : state) {
    platform::video::cl_ReferenceDecoder decoder;
    decoder.Open(clip);
    while (decoder.Next(nullptr)) ++frames;
  }
  state.SetItemsProcessed(frames);
  state.counters["frames"] = static_cast<double>(frames) / static_cast<double>(state.iterations());
}
BENCHMARK(FfmpegDecodeLoop)->Unit(benchmark::kMillisecond)->UseRealTime();

// Keeps each benchmark's fastest time per frame and prints the ratios at the end.
class cl_FrameRatios : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      const auto frames = r.counters.find("frames");
      if (r.run_type != Run::RT_Iteration || r.error_occurred || r.iterations < 1 || frames == r.counters.end() ||
          frames->second.value <= 0.0)
        continue;
      const double seconds = r.real_accumulated_time / static_cast<double>(r.iterations) / frames->second.value;
      const std::string name = r.benchmark_name().substr(0, r.benchmark_name().find('/'));
      auto [it, added] = m_frame.emplace(name, seconds);
      if (!added && seconds < it->second) it->second = seconds;
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    const auto player = m_frame.find("PlayerFrames"), empty = m_frame.find("EmptyFrames"),
               ffmpeg = m_frame.find("FfmpegDecodeLoop");
    if (player == m_frame.end() || ffmpeg == m_frame.end()) return;
    std::printf("\nRatios: the player's frame over FFmpeg's decode of one frame (below 1: the player is faster)\n");
    std::printf("ratio %-44s %6.2f  (player %.2f ms, FFmpeg %.2f ms)\n", "video frame", player->second / ffmpeg->second,
                player->second * 1e3, ffmpeg->second * 1e3);
    if (empty != m_frame.end())
      std::printf("ratio %-44s %6.2f  (player %.2f ms less %.2f ms)\n", "video frame less the empty frame",
                  (player->second - empty->second) / ffmpeg->second, player->second * 1e3, empty->second * 1e3);
    std::fflush(stdout);
  }

 private:
  std::map<std::string, double> m_frame;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  cl_FrameRatios reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
