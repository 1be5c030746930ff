// The dance game's per-frame work at 1024 x 768 headless (llvmpipe), on the demo's Stage with the
// demo's figures: a stage frame with the dancer and 3 or 10 viewers, mirror images on or off,
// split into posing (every character's update and pose) and drawing (skinned through the effect);
// beside it the game stage's own frame with the same characters, so the shared passes show as a
// ratio (goal: the dance's frame at most 1.1 times the stage's). The dancer's pose (dance clip,
// stumble clip, weighted and subset blends) in joints/s, set against ozz-animation's published
// sampling figure of about 90 M joints/s (ozz is not packaged, so it is not run). The song clock's
// two queries on a playing song (goal: under 5 µs), and a frame's spawning from a 10,000-note list
// (goal: under 0.2 ms), against the walk over every move a frame that reading takes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "../BenchRatios.h"
#include "../ProcessCpu.h"
#include "base/app/SystemRoot.h"
#include "base/data/Variant.h"
#include "base/system.h"
#include "graphics/Graphics.h"
#include "graphics/gfx.h"
#include "graphics/mesh/Mesh.h"
#include "graphics/mesh/Skeleton.h"
#include "graphics/model/Model.h"
#include "quillane/actor/ActorDesc.h"
#include "quillane/actor/ActorRegistry.h"
#include "quillane/minigames/dance/DanceMinigame.h"
#include "quillane/scene/Scene.h"
#include "quillane/session/Stage.h"
#include "sound/FModSoundSystem.h"
#include "sound/Sfx.h"
#include "support/HeadlessEngine.h"
#include "win32dx9/DX9GraphicsDevice.h"
#include "win32dx9/FrameLock.h"
#include "win32dx9/Platform.h"

namespace fs = std::filesystem;
using quillane::cl_DanceMinigame;

namespace {

constexpr int kWidth = 1024, kHeight = 768;
constexpr double kOzzJointsPerSecond = 90e6;
constexpr int kLongList = 10000;

void Quiet(const char*) {}
bool QuietOutput(const char*) { return false; }

// The Stage's project with seats Sit0 .. Sit9: the demo has three; the rest stand in two rows
// behind them.
std::string StageWithTenSeats(const fs::path& project) {
  std::ifstream in(project);
  std::stringstream text;
  text << in.rdbuf();
  std::string xml = text.str();
  std::string seats;
  for (int i = 3; i < 10; ++i)
    seats += "<Locator label=\"Sit" + std::to_string(i) + "\" x=\"" + std::to_string(-375 + 125 * (i - 3)) +
             "\" y=\"0\" z=\"-320\" yaw=\"0\"/>";
  const size_t end = xml.find("</Locators>");
  if (end != std::string::npos) xml.insert(end, seats);
  return xml;
}

// The engine on the headless platform in a scratch copy of the Stage, the figures and the effect.
struct Engine {
  testsupport::cl_HeadlessEngine engine;
  fs::path previous;
  std::unique_ptr<quillane::cl_ActorRegistry> actors;

  bool Open() {
    base::sys::SetDebuggerOutput(Quiet);
    base::sys::AddOutputCallback(QuietOutput);
    const fs::path data = QUILLANE_DATA_DIR;
    if (!fs::exists(data / "Scenes/Stage/background.tga") || !fs::exists(data / "characters/female/female_mesh.xml"))
      return false;
    if (!engine.MakeFolder("bench_dance")) return false;
    const fs::path& dir = engine.GetDir();
    for (const char* folder : {"Scenes/Stage", "characters", "Shader"}) {
      fs::create_directories(dir / folder);
      fs::copy(data / folder, dir / folder, fs::copy_options::recursive);
    }
    std::ofstream(dir / "Scenes/Stage/ProjectFile.xml") << StageWithTenSeats(data / "Scenes/Stage/ProjectFile.xml");
    previous = fs::current_path();
    fs::current_path(dir);
    base::RegisterMeshResourceType();
    if (!engine.Start(kWidth, kHeight, "", "<Options><Gfx><Reflections Value=\"1\"/></Gfx></Options>")) return false;
    actors = std::make_unique<quillane::cl_ActorRegistry>();
    return actors->LoadActorList("characters/characters.xml");
  }
  ~Engine() {
    actors.reset();
    gfx::cl_Model::ReleaseSkinShader();
    engine.ShutDownRoot();
    base::sys::RemoveOutputCallback(QuietOutput);
    if (!previous.empty()) fs::current_path(previous);
    engine.Stop();
  }
  static void SetMirrors(bool on) {
    if (base::Variant* value = base::sys::GetOptionValue("Gfx/Reflections/Value")) value->set_int(on ? 1 : 0);
  }
  template <class F>
  static void Frame(F&& draw) {
    win32dx9::cl_DX9GraphicsDevice* device = win32dx9::cl_DX9GraphicsDevice::GetInstance();
    device->BeginFrame();
    gfx::ClearScreen(0xFF000000);
    draw();
    device->GetDevice()->EndScene();
    device->GetDevice()->Present();
    gfx::UnlockFrame();
  }
};

Engine* TheEngine() {
  static std::unique_ptr<Engine> engine = [] {
    auto e = std::make_unique<Engine>();
    if (!e->Open()) e.reset();
    return e;
  }();
  return engine.get();
}

const char* const kViewerActors[] = {"odo", "mina", "pell"};

void Redance(cl_DanceMinigame& game);

// A dance on the Stage with viewers, dancing a calm list (no notes) with the dancer half steady.
std::unique_ptr<cl_DanceMinigame> MakeDance(int viewers) {
  base::Variant mission;
  mission.set_element("Dance");
  mission.attribute("scene")->set_string("Stage");
  for (int i = 0; i < viewers; ++i) {
    const std::string key = "viewer_" + std::to_string(i) + "_";
    mission.attribute((key + "label").c_str())->set_string(("Viewer" + std::to_string(i)).c_str());
    mission.attribute((key + "actor").c_str())->set_string(kViewerActors[i % 3]);
  }
  auto game = std::make_unique<cl_DanceMinigame>();
  game->m_Scale = 1.0f;
  game->Init(&mission, false);
  Redance(*game);
  return game;
}

// From the top again, past the cross-fade into the dance.
void Redance(cl_DanceMinigame& game) {
  game.StartDance();
  for (int i = 0; i < 12; ++i) game.Update(0.1f);
}

// A dancing frame's update; a dance that has ended starts again (outside the timing).
void DanceOn(benchmark::State& state, cl_DanceMinigame& game) {
  game.Update(1.0f / 60.0f);
  if (game.GetState() == cl_DanceMinigame::Dancing) return;
  state.PauseTiming();
  Redance(game);
  state.ResumeTiming();
}

// The dance's stage frame: posing (every character's update and pose), then drawing.
void BM_DanceStage(benchmark::State& state) {
  Engine* engine = TheEngine();
  if (!engine) return state.SkipWithError("no demo data or no headless device");
  Engine::SetMirrors(state.range(1) != 0);
  std::unique_ptr<cl_DanceMinigame> game = MakeDance(static_cast<int>(state.range(0)));
  const base::tRectf band = cl_DanceMinigame::StageBand();
  for (auto _ : state) {
    DanceOn(state, *game);
    Engine::Frame([&] { game->RenderStage(band); });
  }
  game->End();
}
BENCHMARK(BM_DanceStage)
    ->MeasureProcessCPUTime()
    ->Args({3, 0})
    ->Args({3, 1})
    ->Args({10, 0})
    ->Args({10, 1})
    ->Unit(benchmark::kMillisecond);

void BM_DanceStagePose(benchmark::State& state) {
  Engine* engine = TheEngine();
  if (!engine) return state.SkipWithError("no demo data or no headless device");
  std::unique_ptr<cl_DanceMinigame> game = MakeDance(static_cast<int>(state.range(0)));
  for (auto _ : state) DanceOn(state, *game);
  game->End();
}
BENCHMARK(BM_DanceStagePose)->MeasureProcessCPUTime()->Arg(3)->Arg(10)->Unit(benchmark::kMillisecond);

void BM_DanceStageDraw(benchmark::State& state) {
  Engine* engine = TheEngine();
  if (!engine) return state.SkipWithError("no demo data or no headless device");
  Engine::SetMirrors(true);
  std::unique_ptr<cl_DanceMinigame> game = MakeDance(static_cast<int>(state.range(0)));
  const base::tRectf band = cl_DanceMinigame::StageBand();
  for (auto _ : state) Engine::Frame([&] { game->RenderStage(band); });
  game->End();
}
BENCHMARK(BM_DanceStageDraw)->MeasureProcessCPUTime()->Arg(3)->Arg(10)->Unit(benchmark::kMillisecond);

// The anchor: the game's own stage drawing the same characters, posed the same, in the same band.
void BM_GameStageDraw(benchmark::State& state) {
  Engine* engine = TheEngine();
  if (!engine) return state.SkipWithError("no demo data or no headless device");
  Engine::SetMirrors(true);
  std::unique_ptr<cl_DanceMinigame> game = MakeDance(static_cast<int>(state.range(0)));
  quillane::cl_Stage stage;
  stage.LoadScene("Stage");
  for (quillane::cl_Character* c : game->GetCharacters()) {
    quillane::cl_Character* copy = stage.CreateCharacter(c->name, c->actor->GetLabel());
    copy->SetPosition(c->GetPosition(), quillane::tPoint());
    copy->scale = c->scale;
    copy->pose.SetSize(c->pose.GetNumBones());
    for (int b = 0; b < c->pose.GetNumBones(); ++b) copy->pose[b] = c->pose[b];
  }
  const base::tRectf band = cl_DanceMinigame::StageBand();
  for (auto _ : state) Engine::Frame([&] { stage.Render(band); });
  game->End();
}
BENCHMARK(BM_GameStageDraw)->MeasureProcessCPUTime()->Arg(3)->Arg(10)->Unit(benchmark::kMillisecond);

// The dancer's pose half-way through a stumble: the dance and stumble clips sampled, blended
// by weight and again over the stumble's bones. "joints/s" counts the joints sampled.
void BM_DancerPose(benchmark::State& state) {
  Engine* engine = TheEngine();
  if (!engine) return state.SkipWithError("no demo data or no headless device");
  std::unique_ptr<cl_DanceMinigame> game = MakeDance(0);
  cl_DanceMinigame::cl_DanceCharacter* dancer = game->GetDancer();
  game->RequestStumble();
  for (int i = 0; i < 5; ++i) game->Update(0.1f);  // the weight half-way down
  const double joints = 2.0 * dancer->actor->GetSkeleton()->GetNumBones();
  const double start = benchcpu::ProcessSeconds();
  for (auto _ : state) dancer->UpdatePose(dancer->pose);
  const double seconds = benchcpu::ProcessSeconds() - start;
  const double rate = static_cast<double>(state.iterations()) * joints / seconds;
  state.counters["joints/s"] = rate;
  state.counters["of ozz"] = rate / kOzzJointsPerSecond;  // above 1: faster than ozz's published rate
  game->End();
}
BENCHMARK(BM_DancerPose)->MeasureProcessCPUTime();

// The song clock's two queries, as every dancing frame makes them, on a song the mixer plays.
void BM_SongClock(benchmark::State& state) {
  sfx::cl_FModSoundSystem sound;
  const fs::path song = fs::path(QUILLANE_DATA_DIR) / "msx/dance/demo.ogg";
  if (!sound.SetOutput(platform::audio::Output::Pull) || !sound.StartUp() || !fs::exists(song))
    return state.SkipWithError("no sound system or no demo song");
  sfx::st_ChannelParams params;
  sound.AddChannel("DANCE", &params);
  sfx::st_PlayParams play;
  if (sfx::PlaySound(sfx::PLAY_SAMPLE, song.string().c_str(), "dance_sound", "DANCE", play) < 0.0f)
    return state.SkipWithError("the song does not play");
  std::vector<int16_t> mix(4410 * 2);
  sound.GetLibrary().Mix(mix.data(), 4410);
  float sum = 0.0f;
  for (auto _ : state) {
    sum += sfx::GetSoundLength("dance_sound") + sfx::GetSoundPosition("dance_sound");
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_SongClock)->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);

// 10,000 moves over 1,000 s of song, in file order by time.
base::Variant LongList() {
  base::Variant list;
  list.set_element("Dance");
  list.attribute("speed")->set_float(1.0f);
  for (int i = 0; i < kLongList; ++i) {
    base::Variant& note = list.add_element("Note");
    note.attribute("dir")->set_int(i % 4);
    note.attribute("time")->set_float(0.1f * static_cast<float>(i));
  }
  return list;
}

// A dancing frame of a list-driven dance with no stage: the notes' flight and the spawning.
void BM_SpawnFromLongList(benchmark::State& state) {
  const base::Variant source = LongList();
  cl_DanceMinigame game;
  game.m_Scale = 1.0f;
  auto rearm = [&] {
    base::Variant list(source);
    game.SetMoveList(list, "long.xml");
    game.StartDance();
  };
  rearm();
  for (auto _ : state) {
    game.Update(0.1f);
    if (game.GetMovesLeft() == 0) {
      state.PauseTiming();
      rearm();
      state.ResumeTiming();
    }
  }
  cl_DanceMinigame::ResetScore();
}
BENCHMARK(BM_SpawnFromLongList)->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);

// The anchor: what finding the due moves costs when a frame reads every move's time, as a list
// walked in file order each frame does (the same list, the same song clock).
void BM_WalkEveryMove(benchmark::State& state) {
  base::Variant list = LongList();
  float song = 0.0f;
  int made = 0;
  for (auto _ : state) {
    song += 0.1f;
    for (int i = 0; i < list.size(); ++i) {
      base::Variant& move = list[i];
      if (move.is_void()) continue;
      float time = 0.0f;
      move.get_attribute_float("time", time);
      if (time < song) {
        move.set_nil();
        ++made;
      }
    }
    if (made == kLongList) {
      state.PauseTiming();
      list = LongList();
      song = 0.0f;
      made = 0;
      state.ResumeTiming();
    }
  }
}
BENCHMARK(BM_WalkEveryMove)->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchcpu::OneRasteriserThread();
  return benchratios::RunWithRatios(
      argc, argv,
      {{"dance stage draw, 3 viewers / game stage", "BM_DanceStageDraw/3", "BM_GameStageDraw/3"},
       {"dance stage draw, 10 viewers / game stage", "BM_DanceStageDraw/10", "BM_GameStageDraw/10"},
       {"spawning 10,000 moves / every move walked", "BM_SpawnFromLongList", "BM_WalkEveryMove"}});
}
