// Frames of the scene editor's tools over the Quay at 1024 x 768 on the headless renderer: the
// light tool (the editor's frame of the Quay with a placed light's two gizmos and the tool's
// texts) and the test walk (the Quay through a stage of its own with Quillane in her evening
// dress, updated and drawn into the editor viewport), each against the same picture tiles drawn
// straight through the GPU layer, the anchor of bench_scene. Prints each ratio; goal: within
// 10 % of bench_scene's.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "../ProcessCpu.h"
#include "../SceneTiles.h"
#include "../gpu/FrameTimes.h"
#include "base/app/ICMD.h"
#include "base/app/SystemRoot.h"
#include "base/data/Variant.h"
#include "base/system.h"
#include "graphics/Graphics.h"
#include "graphics/Texture.h"
#include "graphics/gfx.h"
#include "graphics/mesh/Mesh.h"
#include "platform/gpu/Device.h"
#include "quillane/actor/ActorRegistry.h"
#include "quillane/editor/Editor.h"
#include "quillane/editor/PlaceLightTool.h"
#include "quillane/editor/TestRun.h"
#include "quillane/scene/Scene.h"
#include "support/HeadlessEngine.h"
#include "win32dx9/Platform.h"

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 1024, kHeight = 768;
constexpr float kFrameTime = 1.0f / 60.0f;

void Quiet(const char*) {}
bool QuietOutput(const char*) { return false; }

// The engine headless at 1024 x 768 in a scratch copy of the Quay, the demo figures and the
// shaders, with the editor open on the Quay and the demo actor list read.
struct Editor {
  testsupport::cl_HeadlessEngine engine;
  fs::path previous;
  std::unique_ptr<quillane::cl_ActorRegistry> actors;
  std::unique_ptr<quillane::cl_Editor> editor;
  std::unique_ptr<quillane::cl_TestRun> run;  // on the editor's scene: goes first
  std::unique_ptr<quillane::cl_PlaceLightTool> light;

  bool Open() {
    base::sys::SetDebuggerOutput(Quiet);
    base::sys::AddOutputCallback(QuietOutput);
    const fs::path data = QUILLANE_DATA_DIR;
    if (!fs::exists(data / "Scenes/Quay/background.tga") || !fs::exists(data / "characters/blobb.tga")) return false;
    if (!engine.MakeFolder("bench_editor_frame")) return false;
    const fs::path& dir = engine.GetDir();
    fs::create_directories(dir / "Scenes");
    fs::copy(data / "Scenes/Quay", dir / "Scenes/Quay", fs::copy_options::recursive);
    fs::copy(data / "Shader", dir / "Shader", fs::copy_options::recursive);
    fs::copy(data / "characters", dir / "characters", fs::copy_options::recursive);
    fs::copy(data / "editor", dir / "editor", fs::copy_options::recursive);
    previous = fs::current_path();
    fs::current_path(dir);
    base::RegisterMeshResourceType();
    if (!engine.Start(kWidth, kHeight)) return false;
    auto* blob = new gfx::cl_Texture;
    blob->SetFileA8R8G8B8("characters/blobb.tga");
    base::tResourceType<gfx::cl_Texture>::FileResource("blobb", blob);
    if (!base::sys::AddResources("editor/editor_resources.xml")) return false;  // the gizmos' "axis"
    actors = std::make_unique<quillane::cl_ActorRegistry>();
    if (!actors->LoadActorList("characters/characters.xml")) return false;
    editor = std::make_unique<quillane::cl_Editor>();
    return editor->OpenScene(base::tString<base::BaseString>("Quay"));
  }
  ~Editor() {
    run.reset();
    light.reset();
    editor.reset();
    actors.reset();
    engine.ShutDownRoot();
    if (!previous.empty()) fs::current_path(previous);
    engine.Stop();
  }
};

Editor* TheEditor() {
  static Editor editor;
  static const bool open = editor.Open();
  return open ? &editor : nullptr;
}

// One frame of the editor with the light tool over it.
void LightToolFrame(Editor& editor) {
  benchtiles::BeginFrame();
  editor.editor->Update(0.0f, kFrameTime);
  editor.editor->Render();
  editor.light->Render(0, 0);
  benchtiles::EndFrame();
}

// A blobb shadow placed by a click in the middle of the editor viewport; null without the Quay.
quillane::cl_PlaceLightTool* TheLightTool() {
  Editor* editor = TheEditor();
  if (!editor) return nullptr;
  if (!editor->light) {
    base::Variant answer;
    answer.set_element("AddElement");
    answer.attribute("category")->set_string("Lights");
    answer.add_element("Light").attribute("type")->set_string("blobbshadow");
    editor->light.reset(quillane::cl_PlaceLightTool::Create(nullptr, answer));
    LightToolFrame(*editor);  // the scene's camera learns the viewport
    const base::tRectf view = quillane::GetEditorViewportRect();
    base::ICMD cmd;
    cmd.type = base::ICMD::MOUSE_MOVE;
    cmd.mouseX = static_cast<uint16_t>((view.min.x + view.max.x) / 2);
    cmd.mouseY = static_cast<uint16_t>(view.min.y + (view.max.y - view.min.y) * 0.8f);
    editor->engine.GetSystem()->ProcessInput(cmd);
    cmd.type = base::ICMD::LEFT_DOWN;
    editor->light->ProcessInput(cmd);
    LightToolFrame(*editor);
    if (!editor->light->IsPlaced()) return nullptr;
  }
  return editor->light.get();
}

void BM_LightToolFrame(benchmark::State& state) {
  if (!TheLightTool()) {
    state.SkipWithError("no Quay or no floor under the viewport's lower middle");
    return;
  }
  for (auto _ : state) LightToolFrame(*TheEditor());
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

// The test walk on the Quay, a frame drawn so the camera knows the viewport; null without one.
quillane::cl_TestRun* TheTestRun() {
  Editor* editor = TheEditor();
  if (!editor) return nullptr;
  if (!editor->run) {
    editor->run.reset(quillane::cl_TestRun::Open(nullptr));
    if (!editor->run) return nullptr;
    benchtiles::BeginFrame();
    editor->run->Update(kFrameTime);
    editor->run->Render(0, 0);
    benchtiles::EndFrame();
  }
  return editor->run.get();
}

void BM_TestRunFrame(benchmark::State& state) {
  quillane::cl_TestRun* run = TheTestRun();
  if (!run) {
    state.SkipWithError("no Quay, demo figures or actor");
    return;
  }
  for (auto _ : state) {
    benchtiles::BeginFrame();
    run->Update(kFrameTime);
    run->Render(0, 0);
    benchtiles::EndFrame();
  }
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

// The anchor of both frames: the Quay's tiles where the editor viewport shows them.
void BM_QuayTilesDirect(benchmark::State& state) {
  if (!TheEditor()) {
    state.SkipWithError("no Quay, demo figures or actor");
    return;
  }
  const base::tRectf view = quillane::GetEditorViewportRect();
  benchtiles::TimeTileFrames(state,
                             benchtiles::SceneTiles(*quillane::cl_Editor::GetEditedScene(), view.min.x, view.min.y));
}

// The light tool first: the test walk, once open, keeps the editor from drawing the scene.
BENCHMARK(BM_LightToolFrame)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TestRunFrame)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QuayTilesDirect)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchcpu::OneRasteriserThread();
  benchmark::Initialize(&argc, argv);
  benchgl::cl_FrameTimes reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double light = reporter.Seconds("BM_LightToolFrame"), run = reporter.Seconds("BM_TestRunFrame");
  const double direct = reporter.Seconds("BM_QuayTilesDirect");
  if (light > 0.0 && direct > 0.0)
    std::printf("Quay light tool frame: editor / direct GPU time ratio %.2f\n", light / direct);
  if (run > 0.0 && direct > 0.0)
    std::printf("Quay test walk frame: editor / direct GPU time ratio %.2f\n", run / direct);
  benchmark::Shutdown();
  return reporter.ExitStatus();
}
