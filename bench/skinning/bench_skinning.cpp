// Skinned models: a 10,000-vertex figure on 60 bones drawn through the skinning effect headless
// (llvmpipe), set against a plain C++ skinning loop over the same vertices and against the
// published figure of ozz-animation's CPU skinning (about 178 M vertices/s on one core); the
// partitioning time of the figure; and reading its ".bmo" record against importing its Ogre XML.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "../ProcessCpu.h"
#include "FrameTimes.h"
#include "base/File.h"
#include "base/app/SystemRoot.h"
#include "base/math/Matrix4.h"
#include "base/resource/MultiFileFormatLoader.h"
#include "base/system.h"
#include "graphics/Camera.h"
#include "graphics/Graphics.h"
#include "graphics/gfx.h"
#include "graphics/mesh/Mesh.h"
#include "graphics/mesh/Skeleton.h"
#include "graphics/model/Model.h"
#include "support/HeadlessEngine.h"
#include "win32dx9/DX9GraphicsDevice.h"
#include "win32dx9/FrameLock.h"
#include "win32dx9/Platform.h"

namespace {

constexpr int kBones = 60, kRingVertices = 164;  // 61 rings: 10,004 vertices
constexpr double kOzzVerticesPerSecond = 178e6;

void Quiet(const char*) {}

// A tube of kBones segments; ring r hangs on bones r−1 and r.
struct Figure {
  std::vector<float> position, weight;  // 3 and 2 per vertex
  std::vector<int> bone;                // 2 per vertex
  std::vector<int> triangles;

  Figure() {
    for (int r = 0; r <= kBones; ++r) {
      for (int k = 0; k < kRingVertices; ++k) {
        const float a = 6.2831853f * k / kRingVertices;
        position.insert(position.end(), {std::cos(a) * 8.0f, r * 3.0f, std::sin(a) * 8.0f});
        const int b0 = r > 0 ? r - 1 : 0, b1 = r < kBones ? r : kBones - 1;
        bone.insert(bone.end(), {b0, b1});
        weight.insert(weight.end(), {0.5f, 0.5f});
      }
    }
    for (int r = 0; r < kBones; ++r)
      for (int k = 0; k < kRingVertices; ++k) {
        const int a = r * kRingVertices + k, b = r * kRingVertices + (k + 1) % kRingVertices;
        triangles.insert(triangles.end(), {a, b, b + kRingVertices, a, b + kRingVertices, a + kRingVertices});
      }
  }
  int Vertices() const { return static_cast<int>(position.size() / 3); }

  void Fill(base::cl_Mesh& m) const {
    m.label = "bench";
    auto* region = m.FindOrAddRegion("body");
    std::vector<base::cl_Mesh::st_Vertex*> v;
    for (int i = 0; i < Vertices(); ++i) {
      auto* x = m.AddVertex({position[i * 3], position[i * 3 + 1], position[i * 3 + 2]}, {0, 0, 1},
                            {0.0f, position[i * 3 + 1] / 200.0f});
      for (int k = 0; k < 2; ++k) {
        if (k == 1 && bone[i * 2] == bone[i * 2 + 1]) break;
        x->boneIndices.push_back(static_cast<unsigned char>(bone[i * 2 + k]));
        x->boneWeights.push_back(bone[i * 2] == bone[i * 2 + 1] ? 1.0f : weight[i * 2 + k]);
      }
      v.push_back(x);
    }
    for (size_t t = 0; t < triangles.size(); t += 3)
      m.AddTriangle(v[triangles[t]], v[triangles[t + 1]], v[triangles[t + 2]])->region = region;
  }

  std::string OgreXml() const {
    std::string x = "<mesh><submeshes><submesh material=\"body\"><faces count=\"" +
                    std::to_string(triangles.size() / 3) + "\">";
    for (size_t t = 0; t < triangles.size(); t += 3)
      x += "<face v1=\"" + std::to_string(triangles[t]) + "\" v2=\"" + std::to_string(triangles[t + 1]) +
           "\" v3=\"" + std::to_string(triangles[t + 2]) + "\"/>";
    x += "</faces><geometry vertexcount=\"" + std::to_string(Vertices()) +
         "\"><vertexbuffer positions=\"true\" normals=\"true\">";
    for (int i = 0; i < Vertices(); ++i)
      x += "<vertex><position x=\"" + std::to_string(position[i * 3]) + "\" y=\"" +
           std::to_string(position[i * 3 + 1]) + "\" z=\"" + std::to_string(position[i * 3 + 2]) +
           "\"/><normal x=\"0\" y=\"0\" z=\"1\"/></vertex>";
    x += "</vertexbuffer></geometry><boneassignments>";
    for (int i = 0; i < Vertices(); ++i)
      for (int k = 0; k < 2; ++k)
        x += "<vertexboneassignment vertexindex=\"" + std::to_string(i) + "\" boneindex=\"" +
             std::to_string(bone[i * 2 + k]) + "\" weight=\"0.5\"/>";
    return x + "</boneassignments></submesh></submeshes></mesh>";
  }
};

const Figure& TheFigure() {
  static const Figure f;
  return f;
}

base::Matrix4 BoneMatrix(int b) {
  base::Matrix4 m;
  m.rotation({0.0f, 0.0f, 1.0f}, b * 0.01f);
  return m;
}

// The engine on the headless platform, the figure built into a model.
struct Engine {
  testsupport::cl_HeadlessEngine engine;
  std::filesystem::path oldDir;
  std::unique_ptr<gfx::cl_Model> model;  // released before the device goes
  base::cl_Skeleton skeleton;
  base::cl_Camera camera;

  bool Open() {
    base::sys::SetDebuggerOutput(Quiet);
    if (!engine.MakeFolder("bench_skinning") || !engine.Start(640, 480)) return false;
    oldDir = std::filesystem::current_path();
    std::filesystem::current_path(QUILLANE_DATA_DIR);
    base::cl_Mesh mesh;
    TheFigure().Fill(mesh);
    model = std::make_unique<gfx::cl_Model>();
    if (!model->BuildIndexArrays(mesh)) return false;
    skeleton.Create(kBones);
    for (int b = 0; b < kBones; ++b) skeleton[b].skinMatrix = BoneMatrix(b);
    camera.SetViewportRect(0, 0, 640, 480);
    camera.SetClippingRange(1.0f, 2000.0f);
    camera.SetPos({0, 90, 400});
    camera.LookAt({0, 90, 0}, {0, 1, 0});
    return true;
  }
  ~Engine() {
    gfx::cl_Model::ReleaseSkinShader();
    model.reset();
    if (!oldDir.empty()) std::filesystem::current_path(oldDir);
    engine.Stop();
  }
  bool Frame() {
    win32dx9::cl_DX9GraphicsDevice* device = win32dx9::cl_DX9GraphicsDevice::GetInstance();
    device->BeginFrame();
    gfx::ClearScreen(0xFF000000);
    gfx::Begin3D();
    gfx::SetCamera(&camera);
    const int drawn = gfx::DrawModelPart(model.get(), &skeleton, base::Matrix4(), &camera);
    device->GetDevice()->EndScene();
    device->GetDevice()->Present();
    gfx::UnlockFrame();
    return drawn > 0;
  }
};

void BM_SkinnedDrawEngine(benchmark::State& state) {
  Engine engine;
  if (!engine.Open() || !engine.Frame()) {
    state.SkipWithError("no headless device or no skinning effect");
    return;
  }
  for (auto _ : state) engine.Frame();
  state.counters["vertices/s"] =
      benchmark::Counter(double(state.iterations()) * TheFigure().Vertices(), benchmark::Counter::kIsRate);
}

// The same vertices skinned on the CPU: two weighted bone matrices per vertex, position and normal.
void BM_CpuSkinningLoop(benchmark::State& state) {
  const Figure& f = TheFigure();
  std::vector<base::Matrix4> palette;
  for (int b = 0; b < kBones; ++b) palette.push_back(BoneMatrix(b));
  std::vector<float> out(f.position.size() * 2);
  for (auto _ : state) {
    const int n = f.Vertices();
    for (int i = 0; i < n; ++i) {
      const float* p = &f.position[static_cast<size_t>(i) * 3];
      float x = 0, y = 0, z = 0, nx = 0, ny = 0, nz = 0;
      for (int k = 0; k < 2; ++k) {
        const float* m = palette[static_cast<size_t>(f.bone[static_cast<size_t>(i) * 2 + k])].m;
        const float w = f.weight[static_cast<size_t>(i) * 2 + k];
        x += w * (p[0] * m[0] + p[1] * m[4] + p[2] * m[8] + m[12]);
        y += w * (p[0] * m[1] + p[1] * m[5] + p[2] * m[9] + m[13]);
        z += w * (p[0] * m[2] + p[1] * m[6] + p[2] * m[10] + m[14]);
        nx += w * m[8];
        ny += w * m[9];
        nz += w * m[10];
      }
      float* o = &out[static_cast<size_t>(i) * 6];
      o[0] = x, o[1] = y, o[2] = z, o[3] = nx, o[4] = ny, o[5] = nz;
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.counters["vertices/s"] =
      benchmark::Counter(double(state.iterations()) * f.Vertices(), benchmark::Counter::kIsRate);
}

void BM_Partitioning(benchmark::State& state) {
  base::sys::SetDebuggerOutput(Quiet);
  for (auto _ : state) {
    state.PauseTiming();
    base::cl_Mesh mesh;
    TheFigure().Fill(mesh);
    gfx::cl_Model model;
    state.ResumeTiming();
    benchmark::DoNotOptimize(model.BuildIndexArrays(mesh));
  }
}

// The figure's record and Ogre XML in a scratch folder.
struct Files {
  std::filesystem::path dir = std::filesystem::temp_directory_path() / "quillane_bench_bmo";
  std::string bmo, xml;
  Files() {
    base::sys::SetDebuggerOutput(Quiet);
    base::RegisterMeshResourceType();
    std::filesystem::create_directories(dir);
    xml = (dir / "figure.xml").string();
    bmo = (dir / "figure.bmo").string();
    std::ofstream(xml) << TheFigure().OgreXml();
    base::cl_Mesh mesh;
    TheFigure().Fill(mesh);
    gfx::cl_Model model;
    model.BuildIndexArrays(mesh);
    base::File out(bmo.c_str(), base::File::STATUS_WRITE);
    model.WriteRecord(&out);
    out.close();
  }
  ~Files() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

void BM_BmoLoad(benchmark::State& state) {
  Files files;
  for (auto _ : state) {
    base::File in(files.bmo.c_str(), base::File::STATUS_READ);
    gfx::cl_Model model;
    if (!model.ReadRecord(&in)) {
      state.SkipWithError("record refused");
      break;
    }
  }
}

void BM_OgreImport(benchmark::State& state) {
  Files files;
  for (auto _ : state) {
    base::cl_Mesh mesh;
    if (!base::tMultiFileFormatLoader<base::cl_Mesh>::LoadFileMultiFormat(files.xml.c_str(), &mesh)) {
      state.SkipWithError("import failed");
      break;
    }
  }
}

BENCHMARK(BM_SkinnedDrawEngine)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CpuSkinningLoop)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);  // the reporter reads milliseconds
BENCHMARK(BM_Partitioning)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BmoLoad)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OgreImport)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchcpu::OneRasteriserThread();
  benchmark::Initialize(&argc, argv);
  benchgl::cl_FrameTimes reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double vertices = TheFigure().Vertices();
  const double draw = reporter.Seconds("BM_SkinnedDrawEngine"), cpu = reporter.Seconds("BM_CpuSkinningLoop");
  if (draw > 0.0 && cpu > 0.0) {
    std::printf("skinned draw %.1f M vertices/s (llvmpipe), plain C++ loop %.1f M vertices/s, ozz published %.0f M\n",
                vertices / draw / 1e6, vertices / cpu / 1e6, kOzzVerticesPerSecond / 1e6);
    std::printf("draw/loop rate ratio %.3f, draw/ozz rate ratio %.3f\n", cpu / draw,
                vertices / draw / kOzzVerticesPerSecond);
  }
  const double bmo = reporter.Seconds("BM_BmoLoad"), ogre = reporter.Seconds("BM_OgreImport");
  if (bmo > 0.0 && ogre > 0.0) std::printf(".bmo load %.2f ms, Ogre import %.2f ms, ratio %.3f\n", bmo * 1e3, ogre * 1e3, bmo / ogre);
  const double part = reporter.Seconds("BM_Partitioning");
  if (part > 0.0) std::printf("partitioning of the %d-vertex, %d-bone figure: %.2f ms\n", static_cast<int>(vertices), kBones, part * 1e3);
  benchmark::Shutdown();
  return reporter.ExitStatus();
}
