// The graphics layer against the same draws issued straight to OpenGL, headless at 1024×768:
// full-screen alpha-blended textured quads, and many small quads in batches as text is drawn.
// Prints frames per second of each and the layer's cost as a ratio to plain GL.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "../ProcessCpu.h"
#include "DirectGl.h"
#include "FrameTimes.h"
#include "platform/gpu/Device.h"

namespace {

using benchgl::Direct;
using benchgl::kHeight;
using benchgl::kWidth;
using benchgl::TexturePixels;
using benchgl::Vertex;

constexpr int kFullScreenQuads = 8;
constexpr int kSmallQuads = 2000, kBatch = 50;  // text: 50 glyphs per draw

void Quad(std::vector<Vertex>& out, float x1, float y1, float x2, float y2, uint32_t colour) {
  const Vertex a{x1, y1, 0.5f, 1, colour, 0, 0}, b{x2, y1, 0.5f, 1, colour, 1, 0}, c{x2, y2, 0.5f, 1, colour, 1, 1},
      d{x1, y2, 0.5f, 1, colour, 0, 1};
  out.insert(out.end(), {a, b, c, a, c, d});
}

std::vector<Vertex> FullScreen() {
  std::vector<Vertex> v;
  for (int i = 0; i < kFullScreenQuads; ++i) Quad(v, -0.5f, -0.5f, kWidth - 0.5f, kHeight - 0.5f, 0x40FFFFFF);
  return v;
}

std::vector<Vertex> SmallQuads() {
  std::vector<Vertex> v;
  for (int i = 0; i < kSmallQuads; ++i) {
    const float x = float((i * 9) % (kWidth - 10)), y = float((i * 9 / (kWidth - 10)) * 14 % (kHeight - 14));
    Quad(v, x, y, x + 8, y + 12, 0xFFFFFFFF);
  }
  return v;
}

// ---- through the layer

struct Layer {
  std::unique_ptr<gpu::System> system;
  gpu::Device* device = nullptr;
  gpu::Texture* texture = nullptr;
  bool Open() {
    system = gpu::System::Create(gpu::Backend::Headless);
    if (!system) return false;
    gpu::PresentParameters pp{};
    pp.backBufferWidth = kWidth, pp.backBufferHeight = kHeight, pp.windowed = true, pp.enableAutoDepthStencil = true;
    if (system->CreateDevice(nullptr, 0, &pp, &device) != gpu::kOk) return false;
    device->CreateTexture(64, 64, 1, 0, gpu::fmt::A8R8G8B8, gpu::pool::Managed, &texture);
    gpu::LockedRect locked;
    texture->LockRect(0, &locked, nullptr, 0);
    const auto pixels = TexturePixels();
    std::memcpy(locked.bits, pixels.data(), pixels.size() * 4);
    texture->UnlockRect(0);
    using namespace gpu;
    device->SetRenderState(rs::Lighting, 0), device->SetRenderState(rs::ZEnable, 0);
    device->SetRenderState(rs::CullMode, cull::None), device->SetRenderState(rs::AlphaBlendEnable, 1);
    device->SetRenderState(rs::SrcBlend, blend::SrcAlpha), device->SetRenderState(rs::DestBlend, blend::InvSrcAlpha);
    device->SetTextureStageState(0, tss::AlphaOp, top::Modulate);
    device->SetTextureStageState(0, tss::AlphaArg2, ta::Diffuse);
    device->SetSamplerState(0, ss::MagFilter, filter::Linear), device->SetSamplerState(0, ss::MinFilter, filter::Linear);
    device->SetTexture(0, texture);
    device->SetFVF(fvf::XYZRHW | fvf::Diffuse | fvf::Tex1);
    return true;
  }
  ~Layer() {
    if (device) device->SetTexture(0, nullptr);
    if (texture) texture->Release();
    if (device) device->Release();
  }
  void Frame(const std::vector<Vertex>& v, int perDraw) {
    device->Clear(0, nullptr, gpu::clear::Target, 0xFF000000, 1.0f, 0);
    for (size_t at = 0; at < v.size(); at += size_t(perDraw) * 6) {
      const size_t n = std::min(v.size() - at, size_t(perDraw) * 6);
      device->DrawPrimitiveUP(gpu::prim::TriangleList, uint32_t(n / 3), &v[at], sizeof(Vertex));
    }
    glFinish();
  }
};

template <class Path>
void Run(benchmark::State& state, const std::vector<Vertex>& vertices, int perDraw) {
  Path path;
  if (!path.Open()) {
    state.SkipWithError("no headless GL device");
    return;
  }
  path.Frame(vertices, perDraw);  // warm caches and shaders
  for (auto _ : state) path.Frame(vertices, perDraw);
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_FullScreenBlendedLayer(benchmark::State& s) { Run<Layer>(s, FullScreen(), kFullScreenQuads); }
void BM_FullScreenBlendedDirectGL(benchmark::State& s) { Run<Direct>(s, FullScreen(), kFullScreenQuads); }
void BM_SmallQuadsLayer(benchmark::State& s) { Run<Layer>(s, SmallQuads(), kBatch); }
void BM_SmallQuadsDirectGL(benchmark::State& s) { Run<Direct>(s, SmallQuads(), kBatch); }
BENCHMARK(BM_FullScreenBlendedLayer)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullScreenBlendedDirectGL)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SmallQuadsLayer)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SmallQuadsDirectGL)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchcpu::OneRasteriserThread();
  benchmark::Initialize(&argc, argv);
  benchgl::cl_FrameTimes reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  auto ratio = [&reporter](const char* layer, const char* direct) {
    const double a = reporter.Seconds(layer), b = reporter.Seconds(direct);
    if (a <= 0.0 || b <= 0.0) return;
    std::printf("%-22s layer %.1f fps, direct GL %.1f fps, layer/GL time ratio %.2f\n", layer + 3, 1.0 / a, 1.0 / b,
                a / b);
  };
  ratio("BM_FullScreenBlendedLayer", "BM_FullScreenBlendedDirectGL");
  ratio("BM_SmallQuadsLayer", "BM_SmallQuadsDirectGL");
  benchmark::Shutdown();
  return reporter.ExitStatus();
}
