// Matrix and quaternion kernels against glm on identical data: 1024 operations per iteration,
// so the ratios compare throughput of the same work.
#include "base/math/Matrix4.h"
#include "base/math/Quaternion.h"

#include <benchmark/benchmark.h>

#define GLM_FORCE_SILENT_WARNINGS
#include <glm/glm.hpp>
#include <glm/gtc/quaternion.hpp>

#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr int kCount = 1024;

struct Data {
  std::vector<base::Matrix4> a, b;
  std::vector<glm::mat4> ga, gb;
  std::vector<base::Quaternion> p, q;
  std::vector<glm::quat> gp, gq;
  std::vector<float> t;

  Data() {
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> d(-1, 1);
    for (int i = 0; i < kCount; ++i) {
      base::Matrix4 m1, m2;
      for (float& e : m1.m) e = d(rng);
      for (float& e : m2.m) e = d(rng);
      for (int k = 0; k < 4; ++k) m1(k, k) += 4, m2(k, k) += 4;
      a.push_back(m1);
      b.push_back(m2);
      glm::mat4 g1, g2;
      std::memcpy(&g1, m1.m, sizeof m1.m);
      std::memcpy(&g2, m2.m, sizeof m2.m);
      ga.push_back(g1);
      gb.push_back(g2);
      const base::Quaternion q1 = base::Quaternion(d(rng), d(rng), d(rng), d(rng)).normal();
      const base::Quaternion q2 = base::Quaternion(d(rng), d(rng), d(rng), d(rng)).normal();
      p.push_back(q1);
      q.push_back(q2);
      gp.emplace_back(q1.w, q1.x, q1.y, q1.z);
      gq.emplace_back(q2.w, q2.x, q2.y, q2.z);
      t.push_back((d(rng) + 1) * 0.5f);
    }
  }
};

const Data& D() {
  static const Data data;
  return data;
}

void MatrixProduct(benchmark::State& state) {
  const Data& d = D();
  std::vector<base::Matrix4> out(kCount);
  for (auto _ : state) {
    for (int i = 0; i < kCount; ++i) out[i] = d.a[i] * d.b[i];
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kCount);
}

void GlmMatrixProduct(benchmark::State& state) {
  const Data& d = D();
  std::vector<glm::mat4> out(kCount);
  for (auto _ : state) {
    for (int i = 0; i < kCount; ++i) out[i] = d.ga[i] * d.gb[i];
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kCount);
}

void MatrixInverse(benchmark::State& state) {
  const Data& d = D();
  std::vector<base::Matrix4> out(kCount);
  for (auto _ : state) {
    for (int i = 0; i < kCount; ++i) out[i] = d.a[i].inverse();
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kCount);
}

void GlmMatrixInverse(benchmark::State& state) {
  const Data& d = D();
  std::vector<glm::mat4> out(kCount);
  for (auto _ : state) {
    for (int i = 0; i < kCount; ++i) out[i] = glm::inverse(d.ga[i]);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kCount);
}

void QuaternionSlerp(benchmark::State& state) {
  const Data& d = D();
  std::vector<base::Quaternion> out(kCount);
  for (auto _ : state) {
    for (int i = 0; i < kCount; ++i) out[i] = d.p[i].slerp(d.q[i], d.t[i]);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kCount);
}

void GlmQuaternionSlerp(benchmark::State& state) {
  const Data& d = D();
  std::vector<glm::quat> out(kCount);
  for (auto _ : state) {
    for (int i = 0; i < kCount; ++i) out[i] = glm::slerp(d.gp[i], d.gq[i], d.t[i]);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kCount);
}

void QuaternionToMatrix(benchmark::State& state) {
  const Data& d = D();
  std::vector<base::Matrix4> out(kCount);
  for (auto _ : state) {
    for (int i = 0; i < kCount; ++i) out[i] = d.p[i].get_matrix();
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kCount);
}

void GlmQuaternionToMatrix(benchmark::State& state) {
  const Data& d = D();
  std::vector<glm::mat4> out(kCount);
  for (auto _ : state) {
    for (int i = 0; i < kCount; ++i) out[i] = glm::mat4_cast(d.gp[i]);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kCount);
}

BENCHMARK(MatrixProduct);
BENCHMARK(GlmMatrixProduct);
BENCHMARK(MatrixInverse);
BENCHMARK(GlmMatrixInverse);
BENCHMARK(QuaternionSlerp);
BENCHMARK(GlmQuaternionSlerp);
BENCHMARK(QuaternionToMatrix);
BENCHMARK(GlmQuaternionToMatrix);

}  // namespace

BENCHMARK_MAIN();
