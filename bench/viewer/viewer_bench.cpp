// The character viewer's frame: its rows rebuilt every frame (Build, Update, Render) with 200
// actors listed and 60 clips shown, against the same frame drawing rows kept from the first build;
// each reports its allocations per frame. And the clip player's ComputePose with three clips
// fading out, in joints/s, beside ozz-animation's published sampling figure of about 90 M
// joints/s (ozz is not packaged, so it is not run; bench_animation prints the same anchor).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "../BenchRatios.h"
#include "../CharacterRig.h"
#include "base/Memory.h"
#include "base/system.h"
#include "graphics/mesh/Pose.h"
#include "quillane/actor/ActorRegistry.h"
#include "quillane/editor/CharacterViewer.h"

namespace {

constexpr int kActors = 200;
constexpr int kBones = 60;
constexpr int kExtraClips = 36;  // beside the rig's 24: 60 clips in the rows
constexpr double kOzzJointsPerSecond = 90e6;

struct st_Bench {
  st_Bench() : rig(kBones) {
    base::sys::SetWindowSize(1024, 768);
    dir = std::filesystem::temp_directory_path() / ("quillane_bench_viewer_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string list = (dir / "characters.xml").string();
    std::ofstream out(list);
    out << "<?xml version=\"1.0\"?>\n<Characters>\n";
    for (int i = 0; i < kActors; ++i) out << "\t<Character label=\"actor_" << i << "\"><Mesh/><Skeleton/></Character>\n";
    out << "</Characters>\n";
    out.close();
    registry.LoadActorList(list.c_str());
    rig.actor->parent.clear();
    std::mt19937 rng(11);
    for (int i = 0; i < kExtraClips; ++i)
      rig.actor->skeleton->AddAnimation(benchrig::MakeClip(("clip_" + std::to_string(i)).c_str(), kBones, 2.0f, rng));
  }
  ~st_Bench() { std::filesystem::remove_all(dir); }

  // A viewer on the rig with the animations folder open.
  std::unique_ptr<quillane::cl_CharacterViewer> Viewer() {
    auto viewer = std::make_unique<quillane::cl_CharacterViewer>();
    viewer->animCtrl.SetActor(rig.actor.get(), {0, 0, 0});
    viewer->animCtrl.PlayLoop("walk");
    viewer->animationsOpen = true;
    viewer->Build();
    return viewer;
  }

  std::filesystem::path dir;
  quillane::cl_ActorRegistry registry;
  benchrig::st_Rig rig;
};

st_Bench& Bench() {
  static st_Bench bench;
  return bench;
}

// One frame without a device: the rows (rebuilt or kept), the clip player, the rows drawn.
void OneFrame(quillane::cl_CharacterViewer& viewer, bool rebuild) {
  if (rebuild) viewer.Build();
  viewer.Update(1.0f / 60.0f);
  viewer.RenderChildren(0, 0);
  viewer.scrollBar.Render(0, 0);
}

void Frame(benchmark::State& state, bool rebuild) {
  auto viewer = Bench().Viewer();
  if (viewer->GetChildCount() < kActors + 60) state.SkipWithError("rows missing");
  for (auto _ : state) OneFrame(*viewer, rebuild);
  // Counted over extra frames with the memory statistics on (they slow allocation down).
  constexpr int kFrames = 20;
  EnableMemLog(true);
  const long long before = CMemoryMgr::GetStatistics().m_totalBlocks;
  for (int i = 0; i < kFrames; ++i) OneFrame(*viewer, rebuild);
  const long long after = CMemoryMgr::GetStatistics().m_totalBlocks;
  EnableMemLog(false);
  FlushMemLog();
  state.counters["allocations/frame"] = static_cast<double>(after - before) / kFrames;
}

void BM_FrameRebuildingRows(benchmark::State& state) { Frame(state, true); }
BENCHMARK(BM_FrameRebuildingRows)->Unit(benchmark::kMicrosecond);

void BM_FrameKeepingRows(benchmark::State& state) { Frame(state, false); }
BENCHMARK(BM_FrameKeepingRows)->Unit(benchmark::kMicrosecond);

void BM_ComputePoseThreeFadeOuts(benchmark::State& state) {
  quillane::cl_CharacterViewerAnimCtrl ctrl;
  ctrl.SetActor(Bench().rig.actor.get(), {0, 0, 0});
  ctrl.m_blendTime = 1000.0f;  // the fades never end
  ctrl.PlayLoop("idle");
  ctrl.PlayLoop("walk");
  ctrl.PlayLoop("talk");
  ctrl.PlayLoop("clip_0");
  base::cl_Pose pose(kBones);
  for (auto _ : state) {
    ctrl.Update(1.0f / 60.0f);
    ctrl.ComputePose(pose);
    benchmark::DoNotOptimize(pose[kBones - 1].rotation);
  }
  // Four clips sampled per pose: the current one and three fading out.
  const double joints = static_cast<double>(state.iterations()) * kBones * 4;
  state.counters["joints/s"] = benchmark::Counter(joints, benchmark::Counter::kIsRate);
  state.counters["of ozz"] = benchmark::Counter(joints / kOzzJointsPerSecond, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ComputePoseThreeFadeOuts)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  return benchratios::RunWithRatios(argc, argv,
                                    {{"viewer frame, rows kept / rebuilt", "BM_FrameRebuildingRows", "BM_FrameKeepingRows"}});
}
