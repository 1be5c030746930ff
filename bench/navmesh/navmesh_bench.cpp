// Path queries on generated floors of about 500 and 2,000 triangles: cl_NavMesh::FindPath and
// Search against Detour's findNearestPoly + findPath + findStraightPath and findPath on the same
// triangles (three corners per polygon, neighbours from our edge list). Each iteration runs the
// same 1,000 start/goal pairs; counters give the mean and p99 per query in µs.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <map>
#include <chrono>
#include <memory>
#include <random>
#include <set>
#include <vector>

#include "base/File.h"
#include "graphics/mesh/Mesh.h"
#include "quillane/world/NavMesh.h"

#if QUILLANE_HAVE_DETOUR
#include <recastnavigation/DetourNavMesh.h>
#include <recastnavigation/DetourNavMeshBuilder.h>
#include <recastnavigation/DetourNavMeshQuery.h>
#endif

namespace {

using base::cl_Mesh;
using quillane::cl_NavMesh;
using quillane::tPoint;
using V2 = base::tVector2<float>;
using V3 = base::tVector3<float>;

constexpr float kCell = 25.0f;

// cells × cells squares of two triangles, with a scattering of square holes.
void BuildFloor(cl_Mesh& m, int cells) {
  std::vector<cl_Mesh::st_Vertex*> grid((cells + 1) * (cells + 1), nullptr);
  auto vertex = [&](int x, int z) {
    auto*& v = grid[z * (cells + 1) + x];
    if (!v) v = m.AddVertex(V3(x * kCell, 0, z * kCell), V3(0, 1, 0), V2(0, 0));
    return v;
  };
  std::mt19937 rng(5);
  std::set<std::pair<int, int>> holes;
  for (int i = 0; i < cells * cells / 12; ++i) holes.insert({1 + rng() % (cells - 2), 1 + rng() % (cells - 2)});
  for (int z = 0; z < cells; ++z) {
    for (int x = 0; x < cells; ++x) {
      if (holes.count({x, z})) continue;
      m.AddTriangle(vertex(x, z), vertex(x, z + 1), vertex(x + 1, z + 1));
      m.AddTriangle(vertex(x, z), vertex(x + 1, z + 1), vertex(x + 1, z));
    }
  }
}

std::unique_ptr<cl_NavMesh> BuildNavMesh(cl_Mesh& m) {
  // Through the record, the way a compiled scene holds it.
  const char* path = "/tmp/quillane_bench_navmesh.bin";
  {
    base::File f(path, base::File::STATUS_WRITE);
    m.Write(&f);
  }
  base::File f(path, base::File::STATUS_READ);
  return std::unique_ptr<cl_NavMesh>(cl_NavMesh::CreateFromFile(&f));
}

struct st_Floor {
  cl_Mesh source;
  std::unique_ptr<cl_NavMesh> nav;
  std::vector<std::pair<tPoint, tPoint>> pairs;
};

st_Floor& Floor(int cells) {
  static std::map<int, std::unique_ptr<st_Floor>> floors;
  auto& slot = floors[cells];
  if (!slot) {
    slot.reset(new st_Floor);
    BuildFloor(slot->source, cells);
    slot->nav = BuildNavMesh(slot->source);
    std::mt19937 rng(99);
    std::uniform_real_distribution<float> u(0.0f, cells * kCell);
    while (slot->pairs.size() < 1000) {
      const tPoint p(u(rng), 0, u(rng)), q(u(rng), 0, u(rng));
      if (slot->nav->IsInside(p) && slot->nav->IsInside(q)) slot->pairs.emplace_back(p, q);
    }
  }
  return *slot;
}

// Times fn over every pair; sets mean and p99 counters in µs.
template <class Fn>
void TimePairs(benchmark::State& state, const st_Floor& floor, Fn fn) {
  std::vector<double> times;
  for (auto _ : state) {
    for (const auto& [p, q] : floor.pairs) {
      const auto t0 = std::chrono::steady_clock::now();
      fn(p, q);
      times.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
    }
  }
  std::sort(times.begin(), times.end());
  double sum = 0;
  for (double t : times) sum += t;
  state.counters["mean_us"] = times.empty() ? 0 : sum / times.size();
  state.counters["p99_us"] = times.empty() ? 0 : times[times.size() * 99 / 100];
  state.counters["triangles"] = floor.source.faces.size();
}

void BM_OursFindPath(benchmark::State& state) {
  st_Floor& floor = Floor(static_cast<int>(state.range(0)));
  quillane::tPointList path;
  int found = 0;
  TimePairs(state, floor, [&](const tPoint& p, const tPoint& q) { found += floor.nav->FindPath(p, q, path, nullptr); });
  state.counters["found"] = found;
}

void BM_OursSearch(benchmark::State& state) {
  st_Floor& floor = Floor(static_cast<int>(state.range(0)));
  quillane::tPointList path;
  floor.nav->FindPath(floor.pairs[0].first, floor.pairs[0].second, path, nullptr);  // weights back to 1
  // Nearest nodes are looked up outside the timing, as for Detour's search.
  std::vector<std::pair<quillane::cl_PathNode*, quillane::cl_PathNode*>> nodes;
  for (const auto& [p, q] : floor.pairs) nodes.emplace_back(floor.nav->FindNearestNode(p), floor.nav->FindNearestNode(q));
  size_t i = 0;
  TimePairs(state, floor, [&](const tPoint&, const tPoint&) {
    const auto& [s, g] = nodes[i++ % nodes.size()];
    benchmark::DoNotOptimize(floor.nav->Search(s, g, 1e6f));
  });
}

void BM_OursBuild(benchmark::State& state) {
  st_Floor& floor = Floor(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(BuildNavMesh(floor.source));
}

#if QUILLANE_HAVE_DETOUR
constexpr float kDetourCell = 0.5f;

struct st_Detour {
  dtNavMesh* mesh = nullptr;
  dtNavMeshQuery* query = nullptr;
  ~st_Detour() {
    dtFreeNavMeshQuery(query);
    dtFreeNavMesh(mesh);
  }
};

// The nav mesh's built triangles as one Detour tile.
std::unique_ptr<st_Detour> BuildDetour(const cl_Mesh& m) {
  std::vector<unsigned short> verts, polys;
  for (const auto* v : m.vertices) {
    verts.push_back(static_cast<unsigned short>(v->position.x / kDetourCell + 0.5f));
    verts.push_back(0);
    verts.push_back(static_cast<unsigned short>(v->position.z / kDetourCell + 0.5f));
  }
  for (const auto* f : m.faces) {
    for (int i = 0; i < 3; ++i) polys.push_back(static_cast<unsigned short>(f->vertices[i]->index));
    for (int i = 0; i < 3; ++i) {
      const auto* a = f->vertices[i];
      const auto* b = f->vertices[(i + 1) % 3];
      unsigned short neighbour = 0xffff;
      for (int k = 0; k < f->edges.size(); ++k) {
        const auto* e = f->edges[k];
        if (!((e->vertexA == a && e->vertexB == b) || (e->vertexA == b && e->vertexB == a))) continue;
        for (int j = 0; j < e->faces.size(); ++j)
          if (e->faces[j] != f) neighbour = static_cast<unsigned short>(e->faces[j]->index);
      }
      polys.push_back(neighbour);
    }
  }
  std::vector<unsigned short> flags(m.faces.size(), 1);
  std::vector<unsigned char> areas(m.faces.size(), 0);
  dtNavMeshCreateParams params{};
  params.verts = verts.data();
  params.vertCount = m.vertices.size();
  params.polys = polys.data();
  params.polyFlags = flags.data();
  params.polyAreas = areas.data();
  params.polyCount = m.faces.size();
  params.nvp = 3;
  params.bmin[0] = 0, params.bmin[1] = -1, params.bmin[2] = 0;
  params.bmax[0] = m.aabbMax.x, params.bmax[1] = 1, params.bmax[2] = m.aabbMax.z;
  params.walkableHeight = 2, params.walkableRadius = 0, params.walkableClimb = 1;
  params.cs = kDetourCell, params.ch = 0.5f;
  params.buildBvTree = true;
  unsigned char* data = nullptr;
  int size = 0;
  if (!dtCreateNavMeshData(&params, &data, &size)) return nullptr;
  auto out = std::make_unique<st_Detour>();
  out->mesh = dtAllocNavMesh();
  if (dtStatusFailed(out->mesh->init(data, size, DT_TILE_FREE_DATA))) return nullptr;
  out->query = dtAllocNavMeshQuery();
  out->query->init(out->mesh, 65535);
  return out;
}

// What every Detour query needs: the tile, a filter, the search box and a corridor buffer.
struct st_DetourQuery {
  std::unique_ptr<st_Detour> d;
  dtQueryFilter filter;
  float extents[3] = {2, 4, 2};
  std::vector<dtPolyRef> polys = std::vector<dtPolyRef>(4096);

  explicit st_DetourQuery(std::unique_ptr<st_Detour> tile) : d(std::move(tile)) {}
};

void BM_DetourFindPath(benchmark::State& state) {
  st_Floor& floor = Floor(static_cast<int>(state.range(0)));
  st_DetourQuery dq{BuildDetour(*floor.nav->GetMesh())};
  if (!dq.d) return state.SkipWithError("Detour rejected the mesh");
  auto& d = dq.d;
  auto& filter = dq.filter;
  auto& extents = dq.extents;
  auto& polys = dq.polys;
  std::vector<float> straight(3 * 1024);
  int found = 0;
  TimePairs(state, floor, [&](const tPoint& p, const tPoint& q) {
    dtPolyRef s = 0, g = 0;
    float ps[3], qs[3];
    d->query->findNearestPoly(&p.x, extents, &filter, &s, ps);
    d->query->findNearestPoly(&q.x, extents, &filter, &g, qs);
    int n = 0, ns = 0;
    d->query->findPath(s, g, ps, qs, &filter, polys.data(), &n, 4096);
    if (n == 0) return;
    d->query->findStraightPath(ps, qs, polys.data(), n, straight.data(), nullptr, nullptr, &ns, 1024);
    found += ns > 0;
  });
  state.counters["found"] = found;
}

void BM_DetourSearch(benchmark::State& state) {
  st_Floor& floor = Floor(static_cast<int>(state.range(0)));
  st_DetourQuery dq{BuildDetour(*floor.nav->GetMesh())};
  if (!dq.d) return state.SkipWithError("Detour rejected the mesh");
  auto& d = dq.d;
  auto& filter = dq.filter;
  auto& polys = dq.polys;
  // Nearest polygons are looked up outside the timing, as the search alone is compared.
  std::vector<std::array<dtPolyRef, 2>> refs;
  std::vector<std::array<float, 6>> pos;
  for (const auto& [p, q] : floor.pairs) {
    std::array<dtPolyRef, 2> r{};
    std::array<float, 6> x{};
    d->query->findNearestPoly(&p.x, dq.extents, &filter, &r[0], &x[0]);
    d->query->findNearestPoly(&q.x, dq.extents, &filter, &r[1], &x[3]);
    refs.push_back(r);
    pos.push_back(x);
  }
  size_t i = 0;
  TimePairs(state, floor, [&](const tPoint&, const tPoint&) {
    const size_t k = i++ % refs.size();
    int n = 0;
    d->query->findPath(refs[k][0], refs[k][1], &pos[k][0], &pos[k][3], &filter, polys.data(), &n, 4096);
    benchmark::DoNotOptimize(n);
  });
}

void BM_DetourBuild(benchmark::State& state) {
  st_Floor& floor = Floor(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(BuildDetour(*floor.nav->GetMesh()));
}

BENCHMARK(BM_DetourFindPath)->Arg(16)->Arg(32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DetourSearch)->Arg(16)->Arg(32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DetourBuild)->Arg(16)->Arg(32)->Unit(benchmark::kMicrosecond);
#endif

BENCHMARK(BM_OursFindPath)->Arg(16)->Arg(32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OursSearch)->Arg(16)->Arg(32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OursBuild)->Arg(16)->Arg(32)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
