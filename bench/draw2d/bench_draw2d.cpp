// 2D drawing through the engine against plain OpenGL, headless at 1024×768: 2,000 alpha-blended
// 16 × 16 textured quads per frame, each a cl_Texture::Draw (one recorder flush and one draw
// call per quad, as sprites and GUI pictures are drawn), and the same quads one draw each
// straight to GL. Prints frames per second of both and the engine's time ratio.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "../ProcessCpu.h"
#include "DirectGl.h"
#include "FrameTimes.h"
#include "base/app/SystemRoot.h"
#include "base/system.h"
#include "graphics/Graphics.h"
#include "graphics/Texture.h"
#include "graphics/gfx.h"
#include "support/HeadlessEngine.h"
#include "win32dx9/DX9GraphicsDevice.h"
#include "win32dx9/FrameLock.h"
#include "win32dx9/Platform.h"

namespace {

constexpr int kQuads = 2000;
constexpr float kSide = 16.0f;

float QuadX(int i) { return static_cast<float>((i * 23) % (benchgl::kWidth - 16)); }
float QuadY(int i) { return static_cast<float>((i * 23 / (benchgl::kWidth - 16)) * 9 % (benchgl::kHeight - 16)); }

void Quiet(const char*) {}

// The engine started on the headless platform, with one 64 × 64 texture drawn at 16 × 16.
struct Engine {
  testsupport::cl_HeadlessEngine engine;
  gfx::cl_Texture* texture = nullptr;

  bool Open() {
    base::sys::SetDebuggerOutput(Quiet);
    if (!engine.MakeFolder("bench_draw2d") || !engine.Start(benchgl::kWidth, benchgl::kHeight)) return false;
    base::cl_Bitmap32 bitmap;
    bitmap.Create(64, 64);
    const std::vector<uint32_t> pixels = benchgl::TexturePixels();
    for (int i = 0; i < 64 * 64; ++i) bitmap.GetPixels()[i] = base::Color32(pixels[static_cast<size_t>(i)]);
    texture = new gfx::cl_Texture;
    return texture->CreateFromBitmap(&bitmap, 0, 0);
  }
  ~Engine() {
    delete texture;
    engine.Stop();
  }
  // One frame without Present: the direct path has none either.
  void Frame() {
    win32dx9::cl_DX9GraphicsDevice* device = win32dx9::cl_DX9GraphicsDevice::GetInstance();
    device->BeginFrame();
    gfx::ClearScreen(0xFF000000);
    gfx::SetTextureModulateDiffuse();
    gfx::SetBlendAlpha(true);
    gfx::SetFilterLinear();
    const float scale = kSide / 64.0f;
    for (int i = 0; i < kQuads; ++i) texture->Draw(QuadX(i) / scale, QuadY(i) / scale, scale);
    device->GetDevice()->EndScene();
    glFinish();
    gfx::UnlockFrame();
  }
};

// The same quads, one draw call each, straight to GL.
struct Direct {
  benchgl::Direct gl;
  std::vector<benchgl::Vertex> vertices;
  bool Open() {
    if (!gl.Open()) return false;
    for (int i = 0; i < kQuads; ++i) {
      const float x = QuadX(i) - 0.5f, y = QuadY(i) - 0.5f;
      const benchgl::Vertex a{x, y, 0.5f, 1, 0xFFFFFFFF, 0, 0}, b{x + kSide, y, 0.5f, 1, 0xFFFFFFFF, 1, 0},
          c{x + kSide, y + kSide, 0.5f, 1, 0xFFFFFFFF, 1, 1}, d{x, y + kSide, 0.5f, 1, 0xFFFFFFFF, 0, 1};
      vertices.insert(vertices.end(), {a, b, c, a, c, d});
    }
    return true;
  }
  void Frame() { gl.Frame(vertices, 1); }
};

template <class Path>
void Run(benchmark::State& state) {
  Path path;
  if (!path.Open()) {
    state.SkipWithError("no headless GL device");
    return;
  }
  path.Frame();  // warm caches and shaders
  for (auto _ : state) path.Frame();
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_TextureDrawEngine(benchmark::State& s) { Run<Engine>(s); }
void BM_TextureDrawDirectGL(benchmark::State& s) { Run<Direct>(s); }
BENCHMARK(BM_TextureDrawEngine)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TextureDrawDirectGL)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchcpu::OneRasteriserThread();
  benchmark::Initialize(&argc, argv);
  benchgl::cl_FrameTimes reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double engine = reporter.Seconds("BM_TextureDrawEngine"), direct = reporter.Seconds("BM_TextureDrawDirectGL");
  if (engine > 0.0 && direct > 0.0)
    std::printf("%d textured quads: engine %.1f fps, direct GL %.1f fps, engine/GL time ratio %.2f\n", kQuads,
                1.0 / engine, 1.0 / direct, engine / direct);
  benchmark::Shutdown();
  return reporter.ExitStatus();
}
