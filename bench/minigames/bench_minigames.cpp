// One frame of each built mini-game, headless at 1024 × 768 on a copy of the demo data, against
// the same quads drawn straight with OpenGL (bench/gpu's DirectGl.h): the screen-space triangles
// the engine draws for the frame are captured from its recorder once and replayed in as many draw
// calls, with one texture and one shader. Prints each game's engine/GL time ratio (goal: at most
// 1.5); the engine's share is its state changes, texture binds and bookkeeping between the draws.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "../ProcessCpu.h"
#include "DirectGl.h"
#include "FrameTimes.h"
#include "base/app/SystemRoot.h"
#include "base/data/Variant.h"
#include "base/system.h"
#include "graphics/Graphics.h"
#include "graphics/gfx.h"
#include "graphics/mesh/Mesh.h"
#include "quillane/minigames/MinigameRegistry.h"
#include "quillane/minigames/bookshelf/BookShelf.h"
#include "quillane/minigames/decoder/Decoder.h"
#include "quillane/minigames/floorlights/FloorLights.h"
#include "quillane/minigames/sabotage/Sabotage.h"
#include "quillane/minigames/traintravel/TrainTravel.h"
#include "quillane/minigames/wiretap/WireTap.h"
#include "support/HeadlessEngine.h"
#include "win32dx9/DX9GraphicsDevice.h"
#include "win32dx9/DynamicBuffer.h"
#include "win32dx9/FrameLock.h"
#include "win32dx9/Platform.h"

namespace {

namespace fs = std::filesystem;

void Quiet(const char*) {}

// ORDER GAMES: the built games, each with the mission a start gives it (their data files are the
// registry's).
struct st_Game {
  const char* name;
  quillane::i_Minigame* (*make)();
  const char* attributes[2][2];  // mission attributes (name, value)
};
const st_Game kGames[] = {
    {"Bookshelf", quillane::cl_BookshelfPanel::Create, {}},
    {"Decoder", quillane::cl_DecoderPanel::Create, {}},
    {"Wiretap", quillane::cl_WiretapPanel::Create, {{"Filename", "grid1.xml"}}},
    {"FloorLights", quillane::cl_FloorLightsPanel::Create, {}},
    {"TrainTravel", quillane::cl_TrainTravelPanel::Create, {{"Filename", "demo.xml"}, {"Scenario", "demo_0.scr"}}},
    {"Sabotage", quillane::cl_Sabotage::Create, {}},
};
constexpr int kGameCount = static_cast<int>(std::size(kGames));

// The engine on the headless platform in a copy of the demo data, with its resources and every
// game compiled and started; made once.
struct Engine {
  testsupport::cl_HeadlessEngine engine;
  std::unique_ptr<quillane::i_Minigame> games[kGameCount];
  win32dx9::st_BitmapCapture captures[kGameCount];  // each game's frame as the recorder drew it
  bool ok = false;
  double draws = 0.0;

  Engine() {
    base::sys::SetDebuggerOutput(Quiet);
    if (!engine.MakeFolder("bench_minigames")) return;
    const fs::path& dir = engine.GetDir();
    std::error_code ec;
    fs::copy(QUILLANE_DATA_DIR, dir, fs::copy_options::recursive, ec);
    for (const st_Game& game : kGames) fs::remove(dir / quillane::GameDataFile(game.name), ec);  // built afresh below
    fs::current_path(dir, ec);
    if (ec) return;
    base::RegisterMeshResourceType();
    if (!engine.Start(1024, 768) || !base::sys::AddResources("resources.xml")) return;
    for (int i = 0; i < kGameCount; ++i) {
      const st_Game& g = kGames[i];
      std::unique_ptr<quillane::i_Minigame> maker(g.make());
      if (!maker->Compile(quillane::GameDataFile(g.name))) return;
      games[i].reset(g.make());
      games[i]->SetDataFile(quillane::GameDataFile(g.name));
      games[i]->m_Scale = 1.0f;
      // A game without mission attributes plays its own defaults, as from the editor's launcher.
      base::Variant mission;
      mission.set_element(g.name);
      for (const auto& attribute : g.attributes)
        if (attribute[0]) mission.attribute(attribute[0])->set_string(attribute[1]);
      if (!games[i]->Init(g.attributes[0][0] ? &mission : nullptr, false)) return;
      games[i]->Update(0.1f);
      win32dx9::CaptureBitmapTriangles(&captures[i]);
      Frame(*games[i]);
      win32dx9::CaptureBitmapTriangles(nullptr);
    }
    ok = true;
  }
  ~Engine() {
    for (auto& game : games) game.reset();
    engine.Stop();
  }

  // One frame of the game, without Present (the direct path has none either).
  void Frame(quillane::i_Minigame& game) {
    win32dx9::cl_DX9GraphicsDevice* device = win32dx9::cl_DX9GraphicsDevice::GetInstance();
    device->BeginFrame();
    gfx::ClearScreen(0xFF000000u);
    gfx::Begin2D();
    game.Render(0.0f, 0.0f);
    draws = device->GetDevice()->GetDrawCallCount();
    device->GetDevice()->EndScene();
    glFinish();
    gfx::UnlockFrame();
  }
};

Engine& GetEngine() {
  static Engine engine;
  return engine;
}

void EngineFrame(benchmark::State& state, int index) {
  Engine& e = GetEngine();
  if (!e.ok) return state.SkipWithError("the games could not be started headless");
  e.Frame(*e.games[index]);  // warm caches and shaders
  for (auto _ : state) e.Frame(*e.games[index]);
  state.counters["draws"] = e.draws;
}

void DirectFrame(benchmark::State& state, int index) {
  Engine& e = GetEngine();
  if (!e.ok) return state.SkipWithError("the games could not be started headless");
  const win32dx9::st_BitmapCapture& capture = e.captures[index];
  std::vector<benchgl::Vertex> vertices;
  vertices.reserve(capture.vertices.size());
  for (const win32dx9::DIFFBITMAPVERTEX& v : capture.vertices)
    vertices.push_back({v.x, v.y, v.z, v.rhw, v.color, v.u, v.v});
  benchgl::Direct gl;
  if (!gl.Open()) return state.SkipWithError("no headless GL device");
  gl.FrameBatches(vertices, capture.drawSizes);
  for (auto _ : state) gl.FrameBatches(vertices, capture.drawSizes);
  state.counters["triangles"] = static_cast<double>(vertices.size() / 3);
  state.counters["draws"] = static_cast<double>(capture.drawSizes.size());
}

}  // namespace

int main(int argc, char** argv) {
  benchcpu::OneRasteriserThread();
  // The engine's frames first: each direct run makes a GL context of its own.
  for (int i = 0; i < kGameCount; ++i)
    benchmark::RegisterBenchmark((std::string("BM_Engine_") + kGames[i].name).c_str(), EngineFrame, i)
        ->MeasureProcessCPUTime()
        ->Unit(benchmark::kMillisecond);
  for (int i = 0; i < kGameCount; ++i)
    benchmark::RegisterBenchmark((std::string("BM_DirectGL_") + kGames[i].name).c_str(), DirectFrame, i)
        ->MeasureProcessCPUTime()
        ->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&argc, argv);
  benchgl::cl_FrameTimes reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\nRatios: the engine's frame time over the same quads straight to GL (goal: at most 1.5)\n");
  for (const st_Game& game : kGames) {
    const double engine = reporter.Seconds(std::string("BM_Engine_") + game.name);
    const double direct = reporter.Seconds(std::string("BM_DirectGL_") + game.name);
    if (engine > 0.0 && direct > 0.0)
      std::printf("ratio %-12s %6.2f  (engine %.3f ms, GL %.3f ms)\n", game.name, engine / direct, engine * 1e3,
                  direct * 1e3);
  }
  benchmark::Shutdown();
  return reporter.ExitStatus();
}
