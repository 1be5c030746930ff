// Ten stage characters per frame on a 28-bone rig (the demo figures' size) and on a 60-bone
// rig: µs per frame for Update, UpdatePose and the face alone (lip-sync, gaze, emotes), and
// heap allocations per frame (goal: none). Beside them the same pose operations done bare, so
// the character's overhead over the sampling and blending it cannot avoid shows as a ratio.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "../CharacterRig.h"
#include "base/data/Binary.h"
#include "base/Memory.h"
#include "graphics/mesh/Animation.h"
#include "graphics/mesh/Skeleton.h"
#include "quillane/actor/ActorDesc.h"
#include "quillane/character/Character.h"
#include "quillane/character/FacialCtrl.h"
#include "quillane/character/GazeCtrl.h"
#include "quillane/world/StageWorld.h"

namespace {

constexpr int kCharacters = 10;
constexpr float kFrame = 1.0f / 60.0f;

using V3 = base::tVector3<float>;
using benchrig::st_Rig;

// The stage the ten stand on: each other's faces, no floor and nobody to walk around.
class cl_BenchStage final : public quillane::i_StageWorld {
 public:
  void CollectObstacles(std::vector<V3>&, const char*) const override {}
  float GetAvoidanceRadius() const override { return kDefaultAvoidanceRadius; }
  void GetStageCharacters(std::vector<quillane::i_FaceOwner*>& out) const override {
    out.insert(out.end(), characters.begin(), characters.end());
  }
  quillane::i_FaceOwner* GetCharacter(const char*) const override { return nullptr; }
  quillane::i_NavMesh* FindNavMeshAt(const V3&) const override { return nullptr; }
  quillane::en_TimerCall CallCharacterTimer(const char*, float&) const override { return quillane::en_TimerCall::NONE; }

  std::vector<quillane::i_FaceOwner*> characters;
};
cl_BenchStage g_bench;
std::vector<quillane::i_FaceOwner*>& g_stage = g_bench.characters;

// Ten speaking, smiling characters looking at each other.
std::vector<std::unique_ptr<quillane::cl_Character>> MakeStage(st_Rig& rig) {
  std::vector<std::unique_ptr<quillane::cl_Character>> stage;
  g_stage.clear();
  std::string line;
  for (int ms = 0; ms < 60000; ms += 100) line += "phn " + std::to_string(ms) + " " + std::to_string(ms + 100) + " 100 AA\n";
  base::Binary data(static_cast<int>(line.size()));
  std::copy(line.begin(), line.end(), data.get_buffer());
  for (int i = 0; i < kCharacters; ++i) {
    auto c = std::make_unique<quillane::cl_Character>();
    c->name = ("Figure" + std::to_string(i)).c_str();
    c->stageWorld = &g_bench;
    c->SetActor(rig.actor.get(), nullptr);
    c->SetPositionRaw(static_cast<float>(i) * 80.0f, 0.0f, static_cast<float>(i % 3) * 60.0f);
    c->headPosition = c->GetPosition() + V3(0, 160.0f, 0);
    c->SetLookTarget("auto", 1.0f);
    c->facial->PlayExpression("smile", 1.0f, 0.5f, 0.0f);
    c->StartLipsync(data);
    g_stage.push_back(c.get());
    stage.push_back(std::move(c));
  }
  return stage;
}

// Heap allocations per call of frame, counted over extra calls with the memory statistics on
// (they slow allocation down, so they stay off while timing).
template <class F>
double AllocationsPerFrame(F&& frame) {
  constexpr int kFrames = 20;
  EnableMemLog(true);
  const long long before = CMemoryMgr::GetStatistics().m_totalBlocks;
  for (int i = 0; i < kFrames; ++i) frame();
  const long long after = CMemoryMgr::GetStatistics().m_totalBlocks;
  EnableMemLog(false);
  FlushMemLog();
  return static_cast<double>(after - before) / kFrames;
}

// "us/char": elapsed µs per character per frame (the rate of iterations × characters × 1e-6,
// inverted); "allocs/frame": heap allocations per frame of all ten.
template <class F>
void Report(benchmark::State& state, F&& frame) {
  state.counters["us/char"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kCharacters * 1e-6,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["allocs/frame"] = AllocationsPerFrame(frame);
}

void BM_Frame(benchmark::State& state) {
  st_Rig rig(static_cast<int>(state.range(0)));
  auto stage = MakeStage(rig);
  auto frame = [&] {
    for (auto& c : stage) {
      c->Update(kFrame);
      c->UpdatePose(c->pose);
    }
  };
  for (int i = 0; i < 30; ++i) frame();  // past first-frame set-up
  for (auto _ : state) frame();
  Report(state, frame);
}
BENCHMARK(BM_Frame)->Name("Character/UpdateAndPose")->Arg(28)->Arg(60)->Unit(benchmark::kMicrosecond);

void BM_Face(benchmark::State& state) {
  st_Rig rig(static_cast<int>(state.range(0)));
  auto stage = MakeStage(rig);
  auto frame = [&] {
    for (auto& c : stage) {
      c->facial->Update(kFrame);
      c->facial->ApplyPose(c->pose);
    }
  };
  for (int i = 0; i < 30; ++i) frame();
  for (auto _ : state) frame();
  Report(state, frame);
}
BENCHMARK(BM_Face)->Name("Character/Face")->Arg(28)->Arg(60)->Unit(benchmark::kMicrosecond);

// The sampling and blending a character's frame cannot do without, done bare: idle sample,
// talk and walk overlays, the mouth (1 sample, 3 blends, 1 add), eyes and head (3 samples,
// 2 blends), one emote add and the idle eyes.
void BM_BarePose(benchmark::State& state) {
  const int bones = static_cast<int>(state.range(0));
  st_Rig rig(bones);
  base::cl_Skeleton* s = rig.actor->skeleton;
  auto clip = [&](const char* n) { return s->GetAnimation(n); };
  base::cl_Pose pose(bones), a(bones), b(bones), m(bones);
  base::cl_SkeletonSubset* facials = s->GetSubset("facials");
  base::cl_SkeletonSubset* mouth = s->GetSubset("mouth");
  base::cl_SkeletonSubset* eyes = s->GetSubset("eyes");
  base::cl_SkeletonSubset* looking = s->GetSubset("looking");
  base::cl_SkeletonSubset* face = s->GetSubset("face");
  base::cl_Animation *idle = clip("idle"), *talk = clip("talk"), *walk = clip("walk"), *talkFace = clip("talkidle_face");
  base::cl_Animation *eyesLeft = clip("eyes_left"), *eyesUp = clip("eyes_up"), *lookLeft = clip("look_left");
  base::cl_Animation* eyesIdle = clip("eyes_idle");
  float t = 0.0f;
  auto frame = [&] {
    for (int i = 0; i < kCharacters; ++i) {
      t += kFrame;
      pose.Set(idle, t);
      a.Set(talk, t);
      pose.Blend(&pose, &a, 0.5f);
      a.Set(walk, t);
      pose.Blend(&pose, &a, 0.5f);
      a.Set(talkFace, t);
      pose.Blend(&a, facials, 1.0f);
      a.Blend(&b, &m, 0.3f);
      b.Blend(&b, &m, 0.6f);
      m.Blend(&a, &b, 0.5f);
      pose.Add(&m, mouth, 0.7f);
      a.Set(eyesLeft, 0.02f);
      b.Set(eyesUp, 0.03f);
      a.Add(&b, eyes, 0.5f);
      pose.Blend(&a, eyes, 1.0f);
      a.Set(lookLeft, 0.4f);
      pose.Add(&a, looking, 1.0f);
      pose.Add(&m, face, 1.0f);
      a.Set(eyesIdle, t);
      pose.Add(&a, eyes, 1.0f);
      benchmark::DoNotOptimize(pose.bones);
    }
  };
  for (auto _ : state) frame();
  Report(state, frame);
}
BENCHMARK(BM_BarePose)->Name("Bare/PoseOperations")->Arg(28)->Arg(60)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
