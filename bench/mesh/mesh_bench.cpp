// Vertex merging on imported-style meshes (every triangle corner its own vertex, so most
// vertices have exact copies): the mesh's grid merge and its all-pairs reference against
// meshoptimizer's hash remap (or, without it, a plain hash-map remap) of the same vertex arrays.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "graphics/mesh/Mesh.h"

#ifdef QUILLANE_HAVE_MESHOPT
#include <meshoptimizer.h>
#endif

namespace {

struct Vertex {
  float position[3];
  float normal[3];
  float uv[2];
};

// A height-field grid split into corners, trimmed to about n corner vertices.
std::vector<Vertex> SplitGrid(int n) {
  const int quads = n / 6;
  int side = 1;
  while ((side + 1) * (side + 1) <= quads) ++side;
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> height(0, 0.5f);
  std::vector<float> h(static_cast<size_t>((side + 1) * (side + 1)));
  for (float& v : h) v = height(rng);
  std::vector<Vertex> out;
  auto corner = [&](int x, int z) {
    const float fx = static_cast<float>(x), fz = static_cast<float>(z);
    out.push_back({{fx, h[static_cast<size_t>(z * (side + 1) + x)], fz}, {0, 1, 0}, {fx / side, fz / side}});
  };
  for (int z = 0; z < side && static_cast<int>(out.size()) < n; ++z) {
    for (int x = 0; x < side && static_cast<int>(out.size()) < n; ++x) {
      corner(x, z), corner(x + 1, z), corner(x + 1, z + 1);
      corner(x, z), corner(x + 1, z + 1), corner(x, z + 1);
    }
  }
  return out;
}

void BuildMesh(base::cl_Mesh& m, const std::vector<Vertex>& vertices) {
  for (const Vertex& v : vertices) {
    m.AddVertex({v.position[0], v.position[1], v.position[2]}, {v.normal[0], v.normal[1], v.normal[2]},
                {v.uv[0], v.uv[1]});
  }
  for (int i = 0; i + 2 < m.vertices.size(); i += 3) m.AddTriangle(m.vertices[i], m.vertices[i + 1], m.vertices[i + 2]);
}

template <bool kAllPairs>
void BM_MergeVertices(benchmark::State& state) {
  const std::vector<Vertex> data = SplitGrid(static_cast<int>(state.range(0)));
  int kept = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto* m = new base::cl_Mesh;
    BuildMesh(*m, data);
    state.ResumeTiming();
    if (kAllPairs) {
      m->MergeVerticesAllPairs(1e-5f);
    } else {
      m->MergeVertices(1e-5f);
    }
    kept = m->vertices.size();
    state.PauseTiming();
    delete m;
    state.ResumeTiming();
  }
  state.counters["kept"] = kept;
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(data.size()));
}

void BM_ReferenceRemap(benchmark::State& state) {
  const std::vector<Vertex> data = SplitGrid(static_cast<int>(state.range(0)));
  std::vector<unsigned> remap(data.size());
  size_t kept = 0;
  for (auto _ : state) {
#ifdef QUILLANE_HAVE_MESHOPT
    kept = meshopt_generateVertexRemap(remap.data(), nullptr, data.size(), data.data(), data.size(), sizeof(Vertex));
#else
    // Without meshoptimizer: exact-copy remap through a hash map of the vertex bytes.
    std::unordered_map<std::string_view, unsigned> seen;
    seen.reserve(data.size());
    kept = 0;
    for (size_t i = 0; i < data.size(); ++i) {
      const std::string_view key(reinterpret_cast<const char*>(&data[i]), sizeof(Vertex));
      auto [it, added] = seen.emplace(key, static_cast<unsigned>(kept));
      if (added) ++kept;
      remap[i] = it->second;
    }
#endif
    benchmark::DoNotOptimize(remap.data());
  }
  state.counters["kept"] = static_cast<double>(kept);
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(data.size()));
}

BENCHMARK_TEMPLATE(BM_MergeVertices, false)->Arg(5000)->Arg(20000)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_MergeVertices, true)->Arg(5000)->Arg(20000)->Arg(50000)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ReferenceRemap)->Arg(5000)->Arg(20000)->Arg(50000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
