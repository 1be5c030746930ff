// Path queries and graph builds on generated floors of square cells with some cells left out: two
// open floors with scattered holes (about 500 and 2,000 triangles) and two long ones, a
// serpentine corridor and a spiral, whose paths run to thousands of units. cl_NavMesh::FindPath,
// Search and the build are measured against Detour's findNearestPoly + findPath +
// findStraightPath, findPath and dtCreateNavMeshData on the same triangles (three corners per
// polygon, neighbours from our edge list); each iteration runs the same 1,000 start/goal pairs,
// and counters give the mean and p99 per query in µs. BM_OursPathQuality judges the paths from
// the cells alone: the share of queries answered where the cells connect start and goal, and the
// share of path points that lie on a cell, with 0, 5 and 20 obstacles.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "../BenchRatios.h"
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
using quillane::tPointList;
using V2 = base::tVector2<float>;
using V3 = base::tVector3<float>;

constexpr float kCell = 25.0f;
constexpr int kPairs = 1000;

// ---- floors

// ORDER FLOORKIND: the benchmarks' argument is the index.
enum en_FloorKind { FLOOR_GRID16, FLOOR_GRID32, FLOOR_SERPENTINE, FLOOR_SPIRAL, FLOOR_KINDS };
const char* const kFloorNames[FLOOR_KINDS] = {"grid16", "grid32", "serpentine", "spiral"};

// Which cells of a square grid are floor; each floor cell becomes two triangles.
struct st_Cells {
  int size = 0;
  std::vector<char> floor;  // size × size, row by row (z major)

  bool IsFloor(int x, int z) const { return x >= 0 && z >= 0 && x < size && z < size && floor[z * size + x]; }
};

st_Cells MakeCells(en_FloorKind kind) {
  st_Cells c;
  c.size = kind == FLOOR_GRID16 ? 16 : kind == FLOOR_GRID32 ? 32 : kind == FLOOR_SERPENTINE ? 41 : 44;
  const int n = c.size;
  c.floor.assign(n * n, 1);
  auto wall = [&](int x, int z) { c.floor[z * n + x] = 0; };
  if (kind == FLOOR_GRID16 || kind == FLOOR_GRID32) {
    std::mt19937 rng(5);
    for (int i = 0; i < n * n / 12; ++i) {
      const int x = 1 + static_cast<int>(rng() % (n - 2));
      wall(x, 1 + static_cast<int>(rng() % (n - 2)));
    }
  } else if (kind == FLOOR_SERPENTINE) {
    // Corridors two cells wide between walls one cell thick, open at alternate ends.
    for (int row = 2, turn = 0; row < n; row += 3, ++turn) {
      for (int x = 0; x < n - 2; ++x) wall(turn % 2 ? x + 2 : x, row);
    }
  } else {
    // A square spiral wall whose turns stand three cells apart, from (2, 2) inwards: two
    // corridors two cells wide wind round each other to the centre.
    int x = 2, z = 2;
    wall(x, z);
    const int lo = 2, hi = n - 3;
    for (int turn = 0;; ++turn) {
      const int ring = turn / 4;
      const int dx[4] = {1, 0, -1, 0}, dz[4] = {0, 1, 0, -1};
      const int steps = turn % 4 == 0   ? hi - 3 * ring - x
                        : turn % 4 == 1 ? hi - 3 * ring - z
                        : turn % 4 == 2 ? x - (lo + 3 * (ring + 1))
                                        : z - (lo + 3 * (ring + 1));
      if (steps <= 0) break;
      for (int i = 0; i < steps; ++i) wall(x += dx[turn % 4], z += dz[turn % 4]);
    }
  }
  return c;
}

void BuildMesh(cl_Mesh& m, const st_Cells& c) {
  std::vector<cl_Mesh::st_Vertex*> grid((c.size + 1) * (c.size + 1), nullptr);
  auto vertex = [&](int x, int z) {
    auto*& v = grid[z * (c.size + 1) + x];
    if (!v) v = m.AddVertex(V3(x * kCell, 0, z * kCell), V3(0, 1, 0), V2(0, 0));
    return v;
  };
  for (int z = 0; z < c.size; ++z) {
    for (int x = 0; x < c.size; ++x) {
      if (!c.IsFloor(x, z)) continue;
      m.AddTriangle(vertex(x, z), vertex(x, z + 1), vertex(x + 1, z + 1));
      m.AddTriangle(vertex(x, z), vertex(x + 1, z + 1), vertex(x + 1, z));
    }
  }
}

// The mesh record, read the way a compiled scene holds a nav mesh.
std::string Record(cl_Mesh& m) {
  const std::string path = "/tmp/quillane_bench_navmesh_" + std::to_string(getpid()) + ".bin";
  {
    base::File f(path.c_str(), base::File::STATUS_WRITE);
    m.Write(&f);
  }
  std::string bytes;
  {
    base::File f(path.c_str(), base::File::STATUS_READ);
    bytes.resize(static_cast<size_t>(f.get_size()));
    f.read(bytes.data(), static_cast<int>(bytes.size()));
  }
  std::remove(path.c_str());
  return bytes;
}

std::unique_ptr<cl_NavMesh> BuildNavMesh(const std::string& record) {
  base::File f;
  f.open_memory(record.data(), static_cast<int>(record.size()), "bench.navmesh");
  return std::unique_ptr<cl_NavMesh>(cl_NavMesh::CreateFromFile(&f));
}

struct st_Floor {
  st_Cells cells;
  std::vector<int> component;  // per cell: its connected region (through shared cell sides), -1 off the floor
  cl_Mesh source;
  std::string record;
  std::unique_ptr<cl_NavMesh> nav;
  std::vector<std::pair<tPoint, tPoint>> pairs;

  int ComponentAt(const tPoint& p) const {
    const int x = static_cast<int>(std::floor(p.x / kCell)), z = static_cast<int>(std::floor(p.z / kCell));
    return cells.IsFloor(x, z) ? component[z * cells.size + x] : -1;
  }
  // On a floor cell, or within tolerance of one.
  bool OnFloor(const tPoint& p, float tolerance) const {
    const int x0 = static_cast<int>(std::floor((p.x - tolerance) / kCell));
    const int x1 = static_cast<int>(std::floor((p.x + tolerance) / kCell));
    const int z0 = static_cast<int>(std::floor((p.z - tolerance) / kCell));
    const int z1 = static_cast<int>(std::floor((p.z + tolerance) / kCell));
    for (int z = z0; z <= z1; ++z)
      for (int x = x0; x <= x1; ++x)
        if (cells.IsFloor(x, z)) return true;
    return false;
  }
};

void FindComponents(st_Floor& f) {
  const int n = f.cells.size;
  f.component.assign(n * n, -1);
  int next = 0;
  for (int start = 0; start < n * n; ++start) {
    if (!f.cells.floor[start] || f.component[start] >= 0) continue;
    std::vector<int> stack{start};
    f.component[start] = next;
    while (!stack.empty()) {
      const int c = stack.back();
      stack.pop_back();
      const int x = c % n, z = c / n;
      for (const auto& [nx, nz] :
           {std::pair{x + 1, z}, std::pair{x - 1, z}, std::pair{x, z + 1}, std::pair{x, z - 1}}) {
        if (!f.cells.IsFloor(nx, nz) || f.component[nz * n + nx] >= 0) continue;
        f.component[nz * n + nx] = next;
        stack.push_back(nz * n + nx);
      }
    }
    ++next;
  }
}

st_Floor& Floor(int kind) {
  static std::map<int, std::unique_ptr<st_Floor>> floors;
  auto& slot = floors[kind];
  if (!slot) {
    slot.reset(new st_Floor);
    st_Floor& f = *slot;
    f.cells = MakeCells(static_cast<en_FloorKind>(kind));
    FindComponents(f);
    BuildMesh(f.source, f.cells);
    f.record = Record(f.source);
    f.nav = BuildNavMesh(f.record);
    std::mt19937 rng(99);
    std::uniform_real_distribution<float> u(0.0f, f.cells.size * kCell);
    while (f.pairs.size() < kPairs) {
      const tPoint p(u(rng), 0, u(rng)), q(u(rng), 0, u(rng));
      if (f.nav->IsInside(p) && f.nav->IsInside(q)) f.pairs.emplace_back(p, q);
    }
  }
  return *slot;
}

st_Floor& FloorOf(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  state.SetLabel(kFloorNames[kind]);
  return Floor(kind);
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

// ---- ours

void BM_OursFindPath(benchmark::State& state) {
  st_Floor& floor = FloorOf(state);
  tPointList path;
  int found = 0;
  TimePairs(state, floor, [&](const tPoint& p, const tPoint& q) { found += floor.nav->FindPath(p, q, path, nullptr); });
  state.counters["found"] = found;
}

void BM_OursSearch(benchmark::State& state) {
  st_Floor& floor = FloorOf(state);
  tPointList path;
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
  st_Floor& floor = FloorOf(state);
  for (auto _ : state) benchmark::DoNotOptimize(BuildNavMesh(floor.record));
}

// Every pair with 0, 5 and 20 obstacles (circles of radius 3 to 25 on the floor's square).
void BM_OursPathQuality(benchmark::State& state) {
  st_Floor& floor = FloorOf(state);
  int withPath = 0, answered = 0, points = 0, onFloor = 0;
  for (auto _ : state) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> u(0.0f, floor.cells.size * kCell), ur(3.0f, 25.0f);
    for (int obstacleCount : {0, 5, 20}) {
      for (const auto& [p, q] : floor.pairs) {
        tPointList obstacles;
        for (int i = 0; i < obstacleCount; ++i) obstacles.emplace_back(u(rng), u(rng), ur(rng));
        const bool exists = floor.ComponentAt(p) == floor.ComponentAt(q);
        tPointList path;
        const bool ok = floor.nav->FindPath(p, q, path, obstacleCount ? &obstacles : nullptr);
        withPath += exists;
        answered += exists && ok;
        for (const tPoint& x : path) onFloor += floor.OnFloor(x, 1e-3f);
        points += static_cast<int>(path.size());
      }
    }
  }
  state.counters["answered_pct"] = withPath ? 100.0 * answered / withPath : 100.0;
  state.counters["on_floor_pct"] = points ? 100.0 * onFloor / points : 100.0;
  std::printf("%-10s %d of %d queries with a path answered (%.1f %%), %d of %d path points on the floor (%.2f %%)\n",
              kFloorNames[state.range(0)], answered, withPath, withPath ? 100.0 * answered / withPath : 100.0, onFloor,
              points, points ? 100.0 * onFloor / points : 100.0);
}

void AllFloors(benchmark::internal::Benchmark* b) {
  for (int kind = 0; kind < FLOOR_KINDS; ++kind) b->Arg(kind);
}

BENCHMARK(BM_OursPathQuality)->Apply(AllFloors)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OursFindPath)->Apply(AllFloors)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OursSearch)->Apply(AllFloors)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OursBuild)->Apply(AllFloors)->Unit(benchmark::kMicrosecond);

// ---- Detour

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
  std::vector<dtPolyRef> polys = std::vector<dtPolyRef>(8192);

  explicit st_DetourQuery(std::unique_ptr<st_Detour> tile) : d(std::move(tile)) {}
};

void BM_DetourFindPath(benchmark::State& state) {
  st_Floor& floor = FloorOf(state);
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
    d->query->findPath(s, g, ps, qs, &filter, polys.data(), &n, static_cast<int>(polys.size()));
    if (n == 0) return;
    d->query->findStraightPath(ps, qs, polys.data(), n, straight.data(), nullptr, nullptr, &ns, 1024);
    found += ns > 0;
  });
  state.counters["found"] = found;
}

void BM_DetourSearch(benchmark::State& state) {
  st_Floor& floor = FloorOf(state);
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
    d->query->findPath(refs[k][0], refs[k][1], &pos[k][0], &pos[k][3], &filter, polys.data(), &n,
                       static_cast<int>(polys.size()));
    benchmark::DoNotOptimize(n);
  });
}

void BM_DetourBuild(benchmark::State& state) {
  st_Floor& floor = FloorOf(state);
  for (auto _ : state) benchmark::DoNotOptimize(BuildDetour(*floor.nav->GetMesh()));
}

BENCHMARK(BM_DetourFindPath)->Apply(AllFloors)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DetourSearch)->Apply(AllFloors)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DetourBuild)->Apply(AllFloors)->Unit(benchmark::kMicrosecond);
#endif

}  // namespace

int main(int argc, char** argv) {
  // ORDER FLOORKIND
  return benchratios::RunWithRatios(argc, argv,
                                    {{"find path, grid16 (Detour / ours)", "BM_OursFindPath/0", "BM_DetourFindPath/0"},
                                     {"find path, grid32", "BM_OursFindPath/1", "BM_DetourFindPath/1"},
                                     {"find path, serpentine", "BM_OursFindPath/2", "BM_DetourFindPath/2"},
                                     {"find path, spiral", "BM_OursFindPath/3", "BM_DetourFindPath/3"},
                                     {"search, grid16", "BM_OursSearch/0", "BM_DetourSearch/0"},
                                     {"search, grid32", "BM_OursSearch/1", "BM_DetourSearch/1"},
                                     {"search, serpentine", "BM_OursSearch/2", "BM_DetourSearch/2"},
                                     {"search, spiral", "BM_OursSearch/3", "BM_DetourSearch/3"},
                                     {"graph build, grid16", "BM_OursBuild/0", "BM_DetourBuild/0"},
                                     {"graph build, grid32", "BM_OursBuild/1", "BM_DetourBuild/1"},
                                     {"graph build, serpentine", "BM_OursBuild/2", "BM_DetourBuild/2"},
                                     {"graph build, spiral", "BM_OursBuild/3", "BM_DetourBuild/3"}});
}
