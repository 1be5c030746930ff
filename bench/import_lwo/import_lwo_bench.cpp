// LightWave object import: our reader and importer against assimp's LightWave importer (no
// post-processing) on the demo's pier (written by demogen into the data folder) and a generated
// 50k-polygon grid, read from files. Before timing,
// the program checks that both see the same polygon count and that every position assimp
// returns (Z negated back: assimp's own change of handedness) is one of our points with X
// negated back; a mismatch ends the program with an error.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <tuple>

#include "../BenchRatios.h"
#include "graphics/mesh/Mesh.h"
#include "graphics/mesh/lwo/LwoImport.h"
#include "graphics/mesh/lwo/LwoObject.h"
#include "graphics/mesh/lwo/LwoWriter.h"

#ifdef QUILLANE_HAVE_ASSIMP
#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#endif

namespace {

using base::cl_LwoWriter;
using base::st_LwoPoint3;

struct Builder {
  std::vector<st_LwoPoint3> points;
  std::vector<std::vector<int>> polygons;
  std::vector<std::pair<int, int>> surfaceOf;  // (polygon, tag)
  std::vector<float> uvs;                      // two per point

  std::string Write(const std::vector<std::string>& tags, float smoothing) const {
    cl_LwoWriter w;
    w.Chunk("FORM").Id("LWO2");
    base::LwoWriteTags(w, tags);
    w.Chunk("LAYR").U2(0).U2(0).F4s({0, 0, 0}).S0("").End();
    base::LwoWritePoints(w, points);
    w.Chunk("VMAP").Id("TXUV").U2(2).S0("uv");
    for (size_t i = 0; i < points.size(); ++i) w.VX(static_cast<int>(i)).F4(uvs[2 * i]).F4(uvs[2 * i + 1]);
    w.End();
    base::LwoWriteFaces(w, polygons);
    base::LwoWritePolygonTags(w, "SURF", surfaceOf);
    for (const std::string& t : tags) w.Chunk("SURF").S0(t).S0("").Sub("SMAN").F4(smoothing).End().End();
    return w.End().bytes();
  }
};

// A height field of side × side quads.
std::string Grid(int side) {
  Builder b;
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> h(0, 0.3f);
  for (int z = 0; z <= side; ++z) {
    for (int x = 0; x <= side; ++x) {
      b.points.push_back({static_cast<float>(x), h(rng), static_cast<float>(z)});
      b.uvs.push_back(static_cast<float>(x) / side);
      b.uvs.push_back(static_cast<float>(z) / side);
    }
  }
  for (int z = 0; z < side; ++z) {
    for (int x = 0; x < side; ++x) {
      const int a = z * (side + 1) + x;
      b.surfaceOf.push_back({static_cast<int>(b.polygons.size()), 0});
      b.polygons.push_back({a, a + side + 1, a + side + 2, a + 1});
    }
  }
  return b.Write({"Ground"}, 1.0f);
}

struct Sample {
  const char* name;
  std::string path;
};

std::vector<Sample>& Samples() {
  static std::vector<Sample> samples;
  return samples;
}

void BM_OursImport(benchmark::State& state) {
  const Sample& s = Samples()[static_cast<size_t>(state.range(0))];
  state.SetLabel(s.name);
  for (auto _ : state) {
    base::cl_Mesh mesh;
    if (!base::MeshLoadLWO(s.path.c_str(), &mesh)) {
      state.SkipWithError("import failed");
      break;
    }
    benchmark::DoNotOptimize(mesh.faces.size());
  }
}
BENCHMARK(BM_OursImport)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_OursReadOnly(benchmark::State& state) {
  const Sample& s = Samples()[static_cast<size_t>(state.range(0))];
  state.SetLabel(s.name);
  for (auto _ : state) {
    base::LwoObject* o = base::LwoReadObject(s.path.c_str(), nullptr, nullptr);
    if (!o) {
      state.SkipWithError("read failed");
      break;
    }
    base::LwoFreeObject(o);
  }
}
BENCHMARK(BM_OursReadOnly)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

#ifdef QUILLANE_HAVE_ASSIMP
void BM_Assimp(benchmark::State& state) {
  const Sample& s = Samples()[static_cast<size_t>(state.range(0))];
  state.SetLabel(s.name);
  for (auto _ : state) {
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(s.path, 0);
    if (!scene) {
      state.SkipWithError("assimp failed");
      break;
    }
    benchmark::DoNotOptimize(scene);
  }
}
BENCHMARK(BM_Assimp)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Same polygon count, and every assimp position among ours with X negated back.
bool Compare(const Sample& s) {
  base::cl_Mesh mesh;
  if (!base::MeshLoadLWO(s.path.c_str(), &mesh)) return false;
  std::set<std::tuple<float, float, float>> ours;
  for (const auto* v : mesh.vertices) ours.insert({-v->position.x, v->position.y, v->position.z});
  Assimp::Importer importer;
  const aiScene* scene = importer.ReadFile(s.path, 0);
  if (!scene) {
    std::fprintf(stderr, "ERROR: assimp cannot read %s: %s\n", s.name, importer.GetErrorString());
    return false;
  }
  unsigned faces = 0, positions = 0, found = 0;
  for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
    const aiMesh* am = scene->mMeshes[m];
    faces += am->mNumFaces;
    for (unsigned i = 0; i < am->mNumVertices; ++i, ++positions) {
      // assimp makes the object right-handed by negating Z; we negate X.
      found += ours.count({am->mVertices[i].x, am->mVertices[i].y, -am->mVertices[i].z}) ? 1 : 0;
    }
  }
  std::printf("%s: %d polygons ours, %u assimp; %u of %u assimp positions among ours\n", s.name, mesh.faces.size(),
              faces, found, positions);
  return static_cast<int>(faces) == mesh.faces.size() && found == positions;
}
#endif

}  // namespace

int main(int argc, char** argv) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("quillane_bench_lwo_" + std::to_string(std::random_device()()));
  std::filesystem::create_directories(dir);
  const std::string pier = std::string(QUILLANE_DATA_DIR) + "/Scenes/Quay/pier.lwo";
  if (!std::filesystem::exists(pier)) {
    std::fprintf(stderr, "ERROR: %s is missing: build the demo data first\n", pier.c_str());
    return 1;
  }
  Samples().push_back({"pier", pier});
  const std::string grid = (dir / "grid50k.lwo").string();
  std::ofstream(grid, std::ios::binary) << Grid(224);
  Samples().push_back({"grid50k", grid});
  int rc = 0;
#ifdef QUILLANE_HAVE_ASSIMP
  for (const Sample& s : Samples()) {
    if (!Compare(s)) {
      std::fprintf(stderr, "ERROR: %s: assimp and our importer disagree\n", s.name);
      rc = 1;
    }
  }
#else
  std::printf("assimp is not installed: only our importer is timed\n");
#endif
  if (rc == 0) rc = benchratios::RunReportingFailures(argc, argv);
  std::filesystem::remove_all(dir);
  return rc;
}
