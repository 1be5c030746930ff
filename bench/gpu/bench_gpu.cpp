// The graphics layer against the same draws issued straight to OpenGL, headless at 1024×768:
// full-screen alpha-blended textured quads, and many small quads in batches as text is drawn.
// Prints frames per second of each and the layer's cost as a ratio to plain GL.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/gpu/Device.h"

namespace {

constexpr uint32_t kWidth = 1024, kHeight = 768;
constexpr int kFullScreenQuads = 8;
constexpr int kSmallQuads = 2000, kBatch = 50;  // text: 50 glyphs per draw

struct Vertex {
  float x, y, z, rhw;
  uint32_t colour;
  float u, v;
};

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

std::vector<uint32_t> TexturePixels() {
  std::vector<uint32_t> p(64 * 64);
  for (int i = 0; i < 64 * 64; ++i) p[size_t(i)] = ((i / 64 + i % 64) & 8) ? 0xC0FF8040 : 0x8040A0FF;
  return p;
}

// --- through the layer

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

// --- straight to GL: the same vertices, shader and blending, none of the layer's bookkeeping

const char* kVertex =
    "#version 330 core\n"
    "layout(location = 0) in vec4 aPosition; layout(location = 4) in vec4 aColour; layout(location = 6) in vec2 aUv;\n"
    "out vec4 vColour; out vec2 vUv;\n"
    "void main() { vColour = aColour; vUv = aUv;\n"
    "  gl_Position = vec4((aPosition.xy + 0.5) / vec2(1024.0, 768.0) * 2.0 - 1.0, 0.0, 1.0); }\n";
const char* kFragment =
    "#version 330 core\n"
    "uniform sampler2D uTexture; in vec4 vColour; in vec2 vUv; out vec4 outColour;\n"
    "void main() { outColour = texture(uTexture, vUv) * vColour; }\n";

struct Direct {
  std::unique_ptr<gpu::System> system;
  gpu::Device* device = nullptr;  // only for its context
  GLuint program = 0, vao = 0, vbo = 0, texture = 0, fbo = 0, colour = 0;
  bool Open() {
    system = gpu::System::Create(gpu::Backend::Headless);
    if (!system) return false;
    gpu::PresentParameters pp{};
    pp.backBufferWidth = 16, pp.backBufferHeight = 16, pp.windowed = true;
    if (system->CreateDevice(nullptr, 0, &pp, &device) != gpu::kOk) return false;
    auto stage = [](GLenum kind, const char* text) {
      const GLuint s = glCreateShader(kind);
      glShaderSource(s, 1, &text, nullptr);
      glCompileShader(s);
      return s;
    };
    program = glCreateProgram();
    const GLuint vs = stage(GL_VERTEX_SHADER, kVertex), fs = stage(GL_FRAGMENT_SHADER, kFragment);
    glAttachShader(program, vs), glAttachShader(program, fs), glLinkProgram(program);
    glDeleteShader(vs), glDeleteShader(fs);
    glGenVertexArrays(1, &vao), glGenBuffers(1, &vbo);
    glBindVertexArray(vao);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    glEnableVertexAttribArray(0), glEnableVertexAttribArray(4), glEnableVertexAttribArray(6);
    glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, sizeof(Vertex), nullptr);
    glVertexAttribPointer(4, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(Vertex), reinterpret_cast<void*>(16));
    glVertexAttribPointer(6, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex), reinterpret_cast<void*>(20));
    glGenTextures(1, &texture);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, texture);
    glBindSampler(0, 0);
    const auto pixels = TexturePixels();
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 64, 64, 0, GL_BGRA, GL_UNSIGNED_BYTE, pixels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glGenTextures(1, &colour);
    glBindTexture(GL_TEXTURE_2D, colour);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kWidth, kHeight, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    glGenFramebuffers(1, &fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colour, 0);
    glBindTexture(GL_TEXTURE_2D, texture);
    glUseProgram(program);
    glUniform1i(glGetUniformLocation(program, "uTexture"), 0);
    glViewport(0, 0, kWidth, kHeight);
    glDisable(GL_DEPTH_TEST), glDisable(GL_CULL_FACE), glDisable(GL_SCISSOR_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    return true;
  }
  ~Direct() {
    glDeleteProgram(program), glDeleteVertexArrays(1, &vao), glDeleteBuffers(1, &vbo);
    glDeleteTextures(1, &texture), glDeleteTextures(1, &colour), glDeleteFramebuffers(1, &fbo);
    if (device) device->Release();
  }
  void Frame(const std::vector<Vertex>& v, int perDraw) {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    for (size_t at = 0; at < v.size(); at += size_t(perDraw) * 6) {
      const size_t n = std::min(v.size() - at, size_t(perDraw) * 6);
      glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(n * sizeof(Vertex)), &v[at], GL_STREAM_DRAW);
      glDrawArrays(GL_TRIANGLES, 0, GLsizei(n));
    }
    glFinish();
  }
};

std::map<std::string, double> g_seconds;  // per frame, by benchmark name

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
BENCHMARK(BM_FullScreenBlendedLayer)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FullScreenBlendedDirectGL)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SmallQuadsLayer)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SmallQuadsDirectGL)->Unit(benchmark::kMillisecond)->UseRealTime();

// Collects per-frame times to print the layer-to-GL ratios at the end.
class Collect : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      if (!r.error_occurred && r.iterations > 0) {
        std::string name = r.benchmark_name();
        name = name.substr(0, name.find('/'));
        g_seconds[name] = r.GetAdjustedRealTime() / 1e3;
      }
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Collect reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  auto ratio = [](const char* layer, const char* direct) {
    const auto a = g_seconds.find(layer), b = g_seconds.find(direct);
    if (a == g_seconds.end() || b == g_seconds.end()) return;
    std::printf("%-22s layer %.1f fps, direct GL %.1f fps, layer/GL time ratio %.2f\n", layer + 3, 1.0 / a->second,
                1.0 / b->second, a->second / b->second);
  };
  ratio("BM_FullScreenBlendedLayer", "BM_FullScreenBlendedDirectGL");
  ratio("BM_SmallQuadsLayer", "BM_SmallQuadsDirectGL");
  benchmark::Shutdown();
  return 0;
}
