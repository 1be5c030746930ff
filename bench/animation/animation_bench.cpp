// Per-frame animation work on one core: sampling a 60-bone clip (keyed and compressed), the pose
// blends characters mix their channels with, and skin matrices from a pose. The "joints/s" counter
// is set against ozz-animation's published sampling figure of about 90 M joints/s (ozz is not
// packaged, so it is not run here).
#include <benchmark/benchmark.h>

#include <random>

#include "graphics/mesh/Skeleton.h"

namespace {

constexpr int kBones = 60;
constexpr int kKeys = 31;  // a 1 s clip at 30 keys per second

using base::cl_Animation;
using base::cl_AnimationTrack;
using base::cl_Pose;
using V3 = base::tVector3<float>;

// A clip shaped like real ones: every bone rotates, the root also moves, a few bones scale.
cl_Animation* MakeClip() {
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> u(-1.0f, 1.0f);
  auto* clip = new cl_Animation;
  clip->name = "walk";
  clip->length = 1.0f;
  for (int b = 0; b < kBones; ++b) {
    auto* t = new cl_AnimationTrack;
    const V3 axis = V3(u(rng), u(rng), u(rng) + 2.0f).normal();
    for (int k = 0; k < kKeys; ++k) {
      cl_AnimationTrack::st_Key key;
      key.time = static_cast<float>(k) / (kKeys - 1);
      key.rotation.set_axis_angle(axis, 0.5f * u(rng));
      if (b == 0) key.translation = V3(0, 0, 120.0f * key.time);
      if (b % 10 == 5) key.scale = V3(1.0f + 0.1f * u(rng), 1, 1);
      t->keys.push_back(key);
    }
    clip->tracks.push_back(t);
  }
  return clip;
}

template <bool kCompressed>
void BM_Sample(benchmark::State& state) {
  cl_Animation* clip = MakeClip();
  if (kCompressed) clip->Compress();
  cl_Pose pose(kBones);
  float t = 0.0f;
  for (auto _ : state) {
    pose.Set(clip, t);
    t += 0.0167f;
    benchmark::DoNotOptimize(pose.bones);
  }
  state.counters["joints/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * kBones,
                                                  benchmark::Counter::kIsRate);
  delete clip;
}
BENCHMARK_TEMPLATE(BM_Sample, false)->Name("Sample/keyed");
BENCHMARK_TEMPLATE(BM_Sample, true)->Name("Sample/compressed");

void FillPoses(cl_Pose& a, cl_Pose& b) {
  cl_Animation* clip = MakeClip();
  a.Set(clip, 0.2f);
  b.Set(clip, 0.7f);
  a.SetWeights(1.0f);
  b.SetWeights(3.0f);
  delete clip;
}

enum en_Op { kBlendWeighted, kBlendFade, kAdd };

template <en_Op kOp>
void BM_PoseOp(benchmark::State& state) {
  cl_Pose a(kBones), b(kBones), out(kBones);
  FillPoses(a, b);
  for (auto _ : state) {
    if (kOp == kBlendWeighted) out.Blend(&a, &b);
    if (kOp == kBlendFade) out.Blend(&a, &b, 0.3f);
    if (kOp == kAdd) {
      out.Blend(&a, &b, 0.5f);
      out.Add(&b, nullptr, 0.5f);
    }
    benchmark::DoNotOptimize(out.bones);
  }
  state.counters["entries/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * kBones,
                                                   benchmark::Counter::kIsRate);
}
BENCHMARK_TEMPLATE(BM_PoseOp, kBlendWeighted)->Name("Blend/weighted");
BENCHMARK_TEMPLATE(BM_PoseOp, kBlendFade)->Name("Blend/crossfade");
BENCHMARK_TEMPLATE(BM_PoseOp, kAdd)->Name("Add/after-crossfade");

void BM_SetPose(benchmark::State& state) {
  // A spine of 20 with two arms and two legs of 10 each: 60 bones, depth at most 30.
  base::cl_Skeleton s;
  s.Create(kBones);
  std::mt19937 rng(9);
  std::uniform_real_distribution<float> u(-1.0f, 1.0f);
  for (int i = 0; i < kBones; ++i) {
    const int parent = i == 0 ? -1 : (i < 20 ? i - 1 : (i % 10 == 0 ? 19 : i - 1));
    s[i].parent = parent;
    if (parent >= 0) s[parent].children.push_back(i);
    s[i].position = V3(u(rng), u(rng), u(rng));
    s[i].rotation.rotation(V3(u(rng), u(rng), 2.0f).normal(), u(rng));
  }
  s.CalcBindingPose();
  cl_Pose a(kBones), b(kBones);
  FillPoses(a, b);
  for (auto _ : state) {
    s.SetPose(&a);
    benchmark::DoNotOptimize(s[kBones - 1].skinMatrix.m);
  }
  state.counters["bones/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * kBones,
                                                 benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SetPose)->Name("SetPose");

}  // namespace

BENCHMARK_MAIN();
