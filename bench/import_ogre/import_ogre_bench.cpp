// Import of a generated 2 MB Ogre XML mesh and its 28-bone skeleton: ours against assimp's Ogre
// importer (no post-processing) in the same program. Before timing, both imports are compared:
// faces per submesh, corner positions within 1e-6, bone count and names. assimp unrolls every
// face corner into a vertex of its own, so its vertex count is compared as 3 × faces.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>

#include "../BenchRatios.h"
#include "base/system.h"
#include "graphics/mesh/Mesh.h"
#include "graphics/mesh/Skeleton.h"

#ifdef QUILLANE_HAVE_ASSIMP
#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#endif

namespace {

constexpr int kBones = 28;
constexpr int kSubmeshes = 3;

struct st_Files {
  std::string dir;
  std::string mesh;
  std::string skeleton;
  size_t bytes = 0;
};

std::string Num(float v) {
  char b[32];
  std::snprintf(b, sizeof b, "%.6g", static_cast<double>(v));
  return b;
}

// A grid per submesh with bone weights, about 2 MB of text, and a chain skeleton with one clip.
const st_Files& Files() {
  static st_Files f = [] {
    st_Files out;
    out.dir = (std::filesystem::temp_directory_path() / "quillane_import_ogre_bench").string();
    std::filesystem::create_directories(out.dir);
    out.mesh = out.dir + "/figure.mesh.xml";
    out.skeleton = out.dir + "/figure.skeleton.xml";
    std::mt19937 rng(17);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    std::string m = "<mesh>\n\t<submeshes>\n";
    const char* materials[kSubmeshes] = {"skin", "cloth", "hair"};
    const int side = 40;  // (side + 1)² vertices and 2 side² faces per submesh
    for (int s = 0; s < kSubmeshes; ++s) {
      m += std::string("\t\t<submesh material=\"") + materials[s] + "\" usesharedvertices=\"false\" use32bitindexes=\"false\" operationtype=\"triangle_list\">\n";
      m += "\t\t\t<faces count=\"" + std::to_string(2 * side * side) + "\">\n";
      for (int z = 0; z < side; ++z) {
        for (int x = 0; x < side; ++x) {
          const int a = z * (side + 1) + x, b = a + 1, c = a + side + 1, d = c + 1;
          m += "\t\t\t\t<face v1=\"" + std::to_string(a) + "\" v2=\"" + std::to_string(c) + "\" v3=\"" + std::to_string(b) + "\" />\n";
          m += "\t\t\t\t<face v1=\"" + std::to_string(b) + "\" v2=\"" + std::to_string(c) + "\" v3=\"" + std::to_string(d) + "\" />\n";
        }
      }
      m += "\t\t\t</faces>\n";
      const int n = (side + 1) * (side + 1);
      m += "\t\t\t<geometry vertexcount=\"" + std::to_string(n) + "\">\n\t\t\t\t<vertexbuffer positions=\"true\" normals=\"true\" texture_coord_dimensions_0=\"2\" texture_coords=\"1\">\n";
      for (int i = 0; i < n; ++i) {
        const float x = static_cast<float>(i % (side + 1)) + 0.25f * u(rng), z = static_cast<float>(i / (side + 1));
        m += "\t\t\t\t\t<vertex>\n\t\t\t\t\t\t<position x=\"" + Num(x) + "\" y=\"" + Num(static_cast<float>(s) + u(rng)) + "\" z=\"" + Num(z) + "\" />\n";
        m += "\t\t\t\t\t\t<normal x=\"" + Num(0.1f * u(rng)) + "\" y=\"1\" z=\"" + Num(0.1f * u(rng)) + "\" />\n";
        m += "\t\t\t\t\t\t<texcoord u=\"" + Num(x / side) + "\" v=\"" + Num(z / side) + "\" />\n\t\t\t\t\t</vertex>\n";
      }
      m += "\t\t\t\t</vertexbuffer>\n\t\t\t</geometry>\n\t\t\t<boneassignments>\n";
      for (int i = 0; i < n; ++i) {
        const int bone = (i * kBones) / n;
        m += "\t\t\t\t<vertexboneassignment vertexindex=\"" + std::to_string(i) + "\" boneindex=\"" + std::to_string(bone) + "\" weight=\"0.75\" />\n";
        m += "\t\t\t\t<vertexboneassignment vertexindex=\"" + std::to_string(i) + "\" boneindex=\"" + std::to_string((bone + 1) % kBones) + "\" weight=\"0.25\" />\n";
      }
      m += "\t\t\t</boneassignments>\n\t\t</submesh>\n";
    }
    m += "\t</submeshes>\n\t<skeletonlink name=\"figure.skeleton\" />\n</mesh>\n";

    std::string k = "<skeleton>\n\t<bones>\n";
    for (int b = 0; b < kBones; ++b) {
      k += "\t\t<bone id=\"" + std::to_string(b) + "\" name=\"Game_Bone" + std::to_string(b) + "\">\n\t\t\t<position x=\"0\" y=\"" + (b ? "1.5" : "0") + "\" z=\"0\" />\n";
      k += "\t\t\t<rotation angle=\"" + Num(0.1f * u(rng)) + "\">\n\t\t\t\t<axis x=\"0\" y=\"0\" z=\"1\" />\n\t\t\t</rotation>\n\t\t</bone>\n";
    }
    k += "\t</bones>\n\t<bonehierarchy>\n";
    for (int b = 1; b < kBones; ++b)
      k += "\t\t<boneparent bone=\"Game_Bone" + std::to_string(b) + "\" parent=\"Game_Bone" + std::to_string(b - 1) + "\" />\n";
    k += "\t</bonehierarchy>\n\t<animations>\n\t\t<animation name=\"idle\" length=\"1\">\n\t\t\t<tracks>\n";
    for (int b = 0; b < kBones; ++b) {
      k += "\t\t\t\t<track bone=\"Game_Bone" + std::to_string(b) + "\">\n\t\t\t\t\t<keyframes>\n";
      for (int t = 0; t <= 10; ++t) {
        k += "\t\t\t\t\t\t<keyframe time=\"" + Num(0.1f * static_cast<float>(t)) + "\">\n\t\t\t\t\t\t\t<translate x=\"0\" y=\"0\" z=\"0\" />\n";
        k += "\t\t\t\t\t\t\t<rotate angle=\"" + Num(0.2f * u(rng)) + "\">\n\t\t\t\t\t\t\t\t<axis x=\"1\" y=\"0\" z=\"0\" />\n\t\t\t\t\t\t\t</rotate>\n\t\t\t\t\t\t</keyframe>\n";
      }
      k += "\t\t\t\t\t</keyframes>\n\t\t\t\t</track>\n";
    }
    k += "\t\t\t</tracks>\n\t\t</animation>\n\t</animations>\n</skeleton>\n";
    std::ofstream(out.mesh, std::ios::binary) << m;
    std::ofstream(out.skeleton, std::ios::binary) << k;
    out.bytes = m.size() + k.size();
    return out;
  }();
  return f;
}

bool ImportOurs(base::cl_Mesh& mesh, base::cl_Skeleton& skeleton) {
  return base::MeshLoadOgreXML(Files().mesh.c_str(), &mesh) &&
         base::SkeletonLoadOgreXML(Files().skeleton.c_str(), &skeleton);
}

void BM_ImportOurs(benchmark::State& state) {
  const st_Files& f = Files();
  for (auto _ : state) {
    base::cl_Mesh mesh;
    base::cl_Skeleton skeleton;
    if (!ImportOurs(mesh, skeleton)) {
      state.SkipWithError("import failed");
      break;
    }
    benchmark::DoNotOptimize(mesh.faces.size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(f.bytes));
}
BENCHMARK(BM_ImportOurs)->Name("ImportOgre/quillane")->Unit(benchmark::kMillisecond);

#ifdef QUILLANE_HAVE_ASSIMP

void CollectNames(const aiNode* node, std::set<std::string>& out) {
  out.insert(node->mName.C_Str());
  for (unsigned i = 0; i < node->mNumChildren; ++i) CollectNames(node->mChildren[i], out);
}

// Empty when both imports agree; otherwise the first difference.
std::string Compare(const base::cl_Mesh& mesh, const base::cl_Skeleton& skeleton, const aiScene* scene) {
  if (!scene) return "assimp did not import the file";
  if (static_cast<int>(scene->mNumMeshes) != kSubmeshes) return "submesh count differs";
  int face = 0;
  for (unsigned s = 0; s < scene->mNumMeshes; ++s) {
    const aiMesh* am = scene->mMeshes[s];
    int ours = 0;
    for (int f = 0; f < mesh.faces.size(); ++f) ours += mesh.faces[f]->region == mesh.regions[static_cast<int>(s)];
    if (static_cast<int>(am->mNumFaces) != ours) return "face count differs in submesh " + std::to_string(s);
    if (am->mNumVertices != 3 * am->mNumFaces) return "assimp vertex count is not 3 x faces";
    for (unsigned k = 0; k < am->mNumFaces; ++k, ++face) {
      const base::cl_Mesh::st_Face* f = mesh.faces[face];
      for (int c = 0; c < 3; ++c) {
        const aiVector3D& p = am->mVertices[am->mFaces[k].mIndices[c]];
        const base::tVector3<float>& q = f->vertices[c]->position;
        if (std::fabs(p.x - q.x) > 1e-6f || std::fabs(p.y - q.y) > 1e-6f || std::fabs(p.z - q.z) > 1e-6f)
          return "corner position differs in submesh " + std::to_string(s);
      }
    }
  }
  std::set<std::string> names;
  CollectNames(scene->mRootNode, names);
  int found = 0;
  for (const auto* b : skeleton.bones) found += names.count(b->name.c_str()) ? 1 : 0;
  if (found != kBones || skeleton.size() != kBones) return "bone names differ";
  return {};
}

void BM_ImportAssimp(benchmark::State& state) {
  const st_Files& f = Files();
  {
    base::cl_Mesh mesh;
    base::cl_Skeleton skeleton;
    Assimp::Importer importer;
    if (!ImportOurs(mesh, skeleton)) {
      state.SkipWithError("our import failed");
      return;
    }
    const std::string why = Compare(mesh, skeleton, importer.ReadFile(f.mesh, 0));
    if (!why.empty()) {
      state.SkipWithError(why.c_str());
      return;
    }
  }
  for (auto _ : state) {
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(f.mesh, 0);
    if (!scene) {
      state.SkipWithError("assimp import failed");
      break;
    }
    benchmark::DoNotOptimize(scene);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(f.bytes));
}
BENCHMARK(BM_ImportAssimp)->Name("ImportOgre/assimp")->Unit(benchmark::kMillisecond);

#endif

}  // namespace

int main(int argc, char** argv) { return benchratios::RunReportingFailures(argc, argv); }
