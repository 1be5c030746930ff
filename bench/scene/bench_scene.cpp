// Scenes: loading a generated 30-layer compiled scene against reading its bytes into memory
// (the floor of any loader), and one frame of Quay's layers at 1280 x 800 drawn through the
// scene against the same tile quads drawn straight through the GPU layer. Prints both ratios.
#include <benchmark/benchmark.h>

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "../ProcessCpu.h"
#include "../SceneTiles.h"
#include "../gpu/FrameTimes.h"
#include "base/Imaging.h"
#include "base/app/SystemRoot.h"
#include "base/system.h"
#include "graphics/Graphics.h"
#include "graphics/gfx.h"
#include "graphics/image/Image.h"
#include "graphics/image/TextureStrip.h"
#include "graphics/mesh/Mesh.h"
#include "platform/gpu/Device.h"
#include "quillane/scene/Scene.h"
#include "support/HeadlessEngine.h"
#include "win32dx9/DX9GraphicsDevice.h"
#include "win32dx9/FrameLock.h"
#include "win32dx9/Platform.h"

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 1280, kHeight = 800, kLayers = 30;

void Quiet(const char*) {}
bool QuietOutput(const char*) { return false; }

void WriteTga(const fs::path& path, int w, int h, int seed) {
  std::string file(18, '\0');
  file[2] = 2, file[12] = static_cast<char>(w & 0xFF), file[13] = static_cast<char>(w >> 8);
  file[14] = static_cast<char>(h & 0xFF), file[15] = static_cast<char>(h >> 8), file[16] = 32, file[17] = 0x28;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const bool inside = ((x / 64 + y / 64 + seed) % 3) != 0;
      file += static_cast<char>(x + seed), file += static_cast<char>(y), file += static_cast<char>(seed * 9),
          file += static_cast<char>(inside ? 255 : 0);
    }
  std::ofstream(path, std::ios::binary) << file;
}

// The engine on the headless platform at 1280 x 800, working in a scratch data folder.
struct Engine {
  testsupport::cl_HeadlessEngine engine;
  fs::path previous;
  bool started = false;

  bool Open() {
    base::sys::SetDebuggerOutput(Quiet);
    base::sys::AddOutputCallback(QuietOutput);
    if (!engine.MakeFolder("bench_scene")) return false;
    fs::create_directories(engine.GetDir() / "Scenes");
    previous = fs::current_path();
    fs::current_path(engine.GetDir());
    base::RegisterMeshResourceType();
    started = engine.Start(kWidth, kHeight);
    return started;
  }
  ~Engine() {
    engine.ShutDownRoot();
    if (!previous.empty()) fs::current_path(previous);
    engine.Stop();
  }
};

Engine& TheEngine() {
  static Engine engine;
  static const bool open = engine.Open();
  (void)open;
  return engine;
}

// ---- loading

bool MakeBigScene() {
  fs::create_directories("Scenes/Big");
  std::string layers;
  for (int i = 0; i < kLayers; ++i) {
    const std::string file = "layer" + std::to_string(i) + ".tga";
    WriteTga(fs::path("Scenes/Big") / file, 1024, 640, i);
    layers += "<L label=\"l" + std::to_string(i) + "\" file=\"" + file + "\" x=\"" + std::to_string(i * 20) + "\" y=\"" +
              std::to_string(i * 10) + "\" w=\"512\" h=\"400\"/>";
  }
  std::ofstream("Scenes/Big/ProjectFile.xml") << "<Project name=\"Big\" w=\"1024\" h=\"640\"><StageElements>" << layers
                                              << "</StageElements></Project>";
  quillane::cl_Scene scene;
  scene.LoadProjectFile("Big");
  return scene.Save();
}

void BM_LoadScene(benchmark::State& state) {
  if (!TheEngine().started || (!fs::exists("Scenes/Big.dat") && !MakeBigScene())) {
    state.SkipWithError("no engine");
    return;
  }
  for (auto _ : state) {
    quillane::cl_Scene scene;
    benchmark::DoNotOptimize(scene.Load("Big"));
  }
  state.counters["MB"] = static_cast<double>(fs::file_size("Scenes/Big.dat")) / 1e6;
}

void BM_ReadSceneBytes(benchmark::State& state) {
  if (!TheEngine().started || (!fs::exists("Scenes/Big.dat") && !MakeBigScene())) {
    state.SkipWithError("no engine");
    return;
  }
  std::vector<char> bytes(fs::file_size("Scenes/Big.dat"));
  for (auto _ : state) {
    std::ifstream in("Scenes/Big.dat", std::ios::binary);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    benchmark::DoNotOptimize(bytes.data());
  }
}

// ---- one frame of Quay

struct Quay {
  quillane::cl_Scene scene;
  bool Open() {
    if (!TheEngine().started) return false;
    const fs::path source = fs::path(QUILLANE_DATA_DIR) / "Scenes" / "Quay";
    if (!fs::exists("Scenes/Quay")) fs::copy(source, "Scenes/Quay", fs::copy_options::recursive);
    scene.LoadProjectFile("Quay");
    if (!fs::exists("Scenes/Quay.dat") && !scene.Save()) return false;
    return scene.Load("Quay");
  }
};

// The compiled Quay, null when it cannot be made; the engine is made first, so it outlives the
// scene's textures.
Quay* TheQuay() {
  TheEngine();
  static Quay quay;
  static const bool open = quay.Open();
  return open ? &quay : nullptr;
}

void BM_QuayFrameScene(benchmark::State& state) {
  Quay* q = TheQuay();
  if (!q) {
    state.SkipWithError("no Quay");
    return;
  }
  Quay& quay = *q;
  for (auto _ : state) {
    benchtiles::BeginFrame();
    quay.scene.RenderBackgroundLayers(0, 0, kWidth, kHeight);
    for (quillane::cl_Layer* layer : quay.scene.StageElements) layer->Render(0, 0, kWidth, kHeight);
    quay.scene.RenderForegroundLayers(0, 0, kWidth, kHeight);
    benchtiles::EndFrame();
  }
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_QuayFrameDirect(benchmark::State& state) {
  Quay* q = TheQuay();
  if (!q) {
    state.SkipWithError("no Quay");
    return;
  }
  benchtiles::TimeTileFrames(state, benchtiles::SceneTiles(q->scene));
}

BENCHMARK(BM_LoadScene)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadSceneBytes)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QuayFrameScene)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QuayFrameDirect)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchcpu::OneRasteriserThread();
  benchmark::Initialize(&argc, argv);
  benchgl::cl_FrameTimes reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double load = reporter.Seconds("BM_LoadScene"), bytes = reporter.Seconds("BM_ReadSceneBytes");
  const double frame = reporter.Seconds("BM_QuayFrameScene"), direct = reporter.Seconds("BM_QuayFrameDirect");
  if (load > 0.0 && bytes > 0.0) std::printf("scene load / byte read time ratio %.2f\n", load / bytes);
  if (frame > 0.0 && direct > 0.0) std::printf("Quay frame: scene / direct GPU time ratio %.2f\n", frame / direct);
  benchmark::Shutdown();
  return reporter.ExitStatus();
}
