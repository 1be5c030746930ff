// Frames per second of a 1024 × 576 clip: decoded into the frame textures and drawn headless
// through the video player, against FFmpeg's own send-packet/receive-frame loop over the same
// clip. The player's 10 ms sleep per update runs on a stepped clock here, so the figure is the
// work per frame, not the cap the sleep puts on the frame loop. The summary gives the player's
// frame over FFmpeg's, as it is and less the frame loop's own floor (an empty frame: the clear
// and the presentation, which any frame pays). Then the demo's intro as the game plays it (its
// window, its brightness, the platform's frame loop on the real clock) against FFmpeg's decode of
// the same file. Every row counts the process's CPU time (ProcessCpu.h).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <fstream>
#include <memory>
#include <string>

#include "../BenchRatios.h"
#include "../ProcessCpu.h"
#include "base/app/Clock.h"
#include "base/app/SystemRoot.h"
#include "base/system.h"
#include "graphics/Graphics.h"
#include "graphics/video/VideoPlayer.h"
#include "platform/video/ClipTools.h"
#include "support/HeadlessEngine.h"
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

// A headless root module of the given size with a video player in its tree, on the stepped
// clock or the real one; extraConfig goes into its config.xml.
struct st_Headless {
  cl_StepClock clock;
  testsupport::cl_HeadlessEngine engine;
  gfx::cl_VideoPlayer* player = nullptr;
  win32dx9::cl_DX9GraphicsDevice* device = nullptr;
  bool stepped = true;

  bool Start(int width = kWidth, int height = kHeight, const std::string& extraConfig = "") {
    if (stepped) base::sys::SetClock(&clock);
    if (!engine.MakeFolder("bench_video") || !engine.Prepare(width, height, "", extraConfig)) return false;
    player = new gfx::cl_VideoPlayer;
    engine.GetSystem()->AddModule(player);
    if (!engine.StartUp()) return false;
    device = win32dx9::cl_DX9GraphicsDevice::GetInstance();
    return true;
  }
  ~st_Headless() {
    engine.Stop();
    if (stepped) base::sys::SetClock(nullptr);
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
BENCHMARK(PlayerFrames)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);  // llvmpipe draws on threads of its own

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
BENCHMARK(EmptyFrames)->MeasureProcessCPUTime();

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
BENCHMARK(FfmpegDecodeLoop)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

// ---- The intro as the game plays it

// The game's window and brightness (the bundled config's 0.5: its ramp is not the identity).
constexpr int kGameWidth = 1024, kGameHeight = 768;
const char* const kGameOptions = "<Options><Gfx><Gamma Value=\"0.5\"/></Gfx></Options>";

std::string IntroPath() { return std::string(QUILLANE_DATA_DIR) + "/movie/intro.bik"; }

// Ends the frame loop once the player has stopped; counts the frames drawn.
class cl_QuitWhenStopped final : public base::cl_Module {
 public:
  explicit cl_QuitWhenStopped(gfx::cl_VideoPlayer* player) : m_player(player) {}
  void Update(float time, float dt) override {
    if (!m_player->IsPlaying()) base::cl_System::GetInstance()->SetQuit(true);
    base::cl_Module::Update(time, dt);
  }
  void Render() override {
    ++m_drawn;
    base::cl_Module::Render();
  }
  int64_t Drawn() const { return m_drawn; }

 private:
  gfx::cl_VideoPlayer* m_player;
  int64_t m_drawn = 0;
};

// The whole intro played full-screen in the game's window through the platform's own frame loop
// on the real clock (its naps and the player's included), as the game starts it; the process's
// CPU time from the start of playback to its end.
void IntroPlayback(benchmark::State& state) {
  st_Headless h;
  h.stepped = false;
  if (!std::filesystem::exists(IntroPath()) || !h.Start(kGameWidth, kGameHeight, kGameOptions)) {
    state.SkipWithError("no demo data or no headless graphics device");
    return;
  }
  base::cl_System* system = h.engine.GetSystem();
  auto* quit = new cl_QuitWhenStopped(h.player);
  system->AddModule(quit);
  int64_t frames = 0;
  for (auto _ : state) {
    system->SetQuit(false);
    if (h.player->Play(IntroPath().c_str(), nullptr, 0.0f, 0.0f, kGameWidth, kGameHeight, 1.0f) <= 0.0f) {
      state.SkipWithError("the intro does not play");
      return;
    }
    const auto* codec = static_cast<gfx::cl_BinkShaderCodecNoThread*>(h.player->Codec());
    frames += codec->Handle()->Frames;
    system->GetPlatform()->Run();
  }
  state.counters["frames"] = static_cast<double>(frames) / static_cast<double>(state.iterations());
  state.counters["drawn"] = static_cast<double>(quit->Drawn()) / static_cast<double>(state.iterations());
}
BENCHMARK(IntroPlayback)->MeasureProcessCPUTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// The anchor: FFmpeg's own decode loop over the same file.
void IntroFfmpegDecode(benchmark::State& state) {
  int64_t frames = 0;
  for (auto _ : state) {
    platform::video::cl_ReferenceDecoder decoder;
    if (!decoder.Open(IntroPath())) {
      state.SkipWithError("no demo data");
      return;
    }
    while (decoder.Next(nullptr)) ++frames;
  }
  state.counters["frames"] = static_cast<double>(frames) / static_cast<double>(state.iterations());
}
BENCHMARK(IntroFfmpegDecode)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

// Keeps each benchmark's fastest time per frame and prints the ratios at the end.
class cl_FrameRatios : public benchratios::cl_FailureReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    cl_FailureReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      const auto frames = r.counters.find("frames");
      if (r.run_type != Run::RT_Iteration || r.error_occurred || r.iterations < 1 || frames == r.counters.end() ||
          frames->second.value <= 0.0)
        continue;
      const double seconds = benchcpu::RowSeconds(r) / frames->second.value;
      const std::string name = r.benchmark_name().substr(0, r.benchmark_name().find('/'));
      auto [it, added] = m_frame.emplace(name, seconds);
      if (!added && seconds < it->second) it->second = seconds;
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    const auto player = m_frame.find("PlayerFrames"), empty = m_frame.find("EmptyFrames"),
               ffmpeg = m_frame.find("FfmpegDecodeLoop");
    const auto intro = m_frame.find("IntroPlayback"), introFfmpeg = m_frame.find("IntroFfmpegDecode");
    if (intro != m_frame.end() && introFfmpeg != m_frame.end())
      std::printf("\nratio %-44s %6.2f  (goal at most 5; player %.2f ms, FFmpeg %.2f ms a frame)\n",
                  "intro playback CPU / FFmpeg's decode", intro->second / introFfmpeg->second, intro->second * 1e3,
                  introFfmpeg->second * 1e3);
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
  benchcpu::OneRasteriserThread();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  cl_FrameRatios reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return reporter.ExitStatus();
}
