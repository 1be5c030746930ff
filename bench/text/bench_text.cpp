// Text and image costs, headless at 1024 × 768. Glyphs per second drawn through the TrueType
// font and the glyph-sheet font, against SDL_ttf rendering the same lines with
// TTF_RenderUTF8_Blended and uploading each line into a texture drawn as one quad; and the time
// to cut a 2048 × 1536 picture into image tiles, uncompressed and as DXT5; a long label wrapped
// to a line, against SDL_ttf's measuring. Prints the ratios.
#include <benchmark/benchmark.h>
#include <GL/gl.h>
#include <SDL2/SDL_ttf.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "../ProcessCpu.h"
#include "FrameTimes.h"
#include "base/app/SystemRoot.h"
#include "base/system.h"
#include "graphics/Graphics.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/DXFont.h"
#include "graphics/font/TextureFont.h"
#include "graphics/gfx.h"
#include "graphics/image/Image.h"
#include "platform/gpu/Device.h"
#include "support/HeadlessEngine.h"
#include "win32dx9/DX9GraphicsDevice.h"
#include "win32dx9/DynamicBuffer.h"
#include "win32dx9/FrameLock.h"
#include "win32dx9/Platform.h"

namespace {

// Each frame draws the lines kRepeat times over each other, so text, not the clear, dominates.
constexpr int kWidth = 1024, kHeight = 768, kLines = 30, kRepeat = 4, kFontSize = 16;
const char* const kLine = "the quick brown fox jumps over the lazy dog 0123456789";
const char* const kFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

int GlyphsPerFrame() {
  int glyphs = 0;
  for (const char* p = kLine; *p; ++p) glyphs += *p != ' ';
  return glyphs * kLines * kRepeat;
}

void Quiet(const char*) {}

// The engine on the headless platform (one per process, made on first use).
struct Engine {
  testsupport::cl_HeadlessEngine engine;
  bool ok = false;

  Engine() {
    base::sys::SetDebuggerOutput(Quiet);
    ok = engine.MakeFolder("bench_text") && engine.Start(kWidth, kHeight);
  }
  static Engine& Get() {
    static Engine engine;
    return engine;
  }
  // One frame without Present, finished on the device.
  template <class Draw>
  void Frame(Draw draw) {
    win32dx9::cl_DX9GraphicsDevice* device = win32dx9::cl_DX9GraphicsDevice::GetInstance();
    device->BeginFrame();
    gfx::ClearScreen(0xFF000000u);
    gfx::Begin2D();
    draw();
    device->GetDevice()->EndScene();
    glFinish();
    gfx::UnlockFrame();
  }
};

// A glyph sheet of blocks as wide as the DejaVu advances would be (the layout the font reads).
base::cl_Bitmap32 BlockSheet() {
  base::cl_Bitmap32 sheet;
  sheet.Create(512, 128);
  for (int i = 0; i < sheet.NumPixels(); ++i) sheet.GetPixels()[i] = base::Color32();
  const int counts[5] = {29, 29, 10, 12, 16};
  int y = 1;
  for (int row = 0; row < 5; ++row) {
    for (int j = 0; j < 18; ++j) *sheet.Pixel(0, y + j) = base::Color32(0xFFFFFFFFu);
    int x = 2;
    for (int i = 0; i < counts[row]; ++i) {
      for (int j = 0; j < 18; ++j)
        for (int k = 0; k < 9; ++k) *sheet.Pixel(x + k, y + j) = base::Color32((k + j) % 3 ? 0xFFFFFFFFu : 0x80FFFFFFu);
      x += 10;
    }
    y += 20;
  }
  return sheet;
}

void Report(benchmark::State& state) {
  state.counters["glyphs/s"] =
      benchmark::Counter(double(state.iterations()) * GlyphsPerFrame(), benchmark::Counter::kIsRate);
}

void BM_TextTrueType(benchmark::State& state) {
  Engine& engine = Engine::Get();
  if (!engine.ok) return state.SkipWithError("no headless device");
  gfx::cl_DXFont font;
  font.SetSize(kFontSize);
  font.CreateD3DFont("DejaVu Sans", true);
  const auto draw = [&] {
    for (int i = 0; i < kLines * kRepeat; ++i) font.DrawText(10.0f, 10.0f + (i % kLines) * 24.0f, kLine, 0xFFFFFFFFu);
  };
  engine.Frame(draw);  // glyphs into the atlas
  for (auto _ : state) engine.Frame(draw);
  Report(state);
}

void BM_TextGlyphSheet(benchmark::State& state) {
  Engine& engine = Engine::Get();
  if (!engine.ok) return state.SkipWithError("no headless device");
  gfx::cl_TextureFont font;
  font.BuildFromBitmap(BlockSheet());
  const auto draw = [&] {
    for (int i = 0; i < kLines * kRepeat; ++i) font.DrawText(10.0f, 10.0f + (i % kLines) * 24.0f, kLine, 0xFFFFFFFFu);
  };
  engine.Frame(draw);
  for (auto _ : state) engine.Frame(draw);
  Report(state);
}

void BM_TextSdlTtf(benchmark::State& state) {
  Engine& engine = Engine::Get();
  if (!engine.ok) return state.SkipWithError("no headless device");
  if (TTF_Init() != 0) return state.SkipWithError("SDL_ttf does not start");
  TTF_Font* ttf = TTF_OpenFont(kFontFile, kFontSize);
  if (!ttf) return state.SkipWithError("no DejaVu Sans");
  gpu::Device* device = win32dx9::GetD3DDevice();
  const auto draw = [&] {
    gfx::SetBlendAlpha(true);
    for (int i = 0; i < kLines * kRepeat; ++i) {
      SDL_Surface* surface = TTF_RenderUTF8_Blended(ttf, kLine, SDL_Color{255, 255, 255, 255});
      if (!surface) continue;
      gpu::Texture* texture = nullptr;
      if (device->CreateTexture(uint32_t(surface->w), uint32_t(surface->h), 1, 0, gpu::fmt::A8R8G8B8,
                                gpu::pool::Managed, &texture) == gpu::kOk) {
        gpu::LockedRect locked{};
        if (texture->LockRect(0, &locked, nullptr, 0) == gpu::kOk) {
          for (int y = 0; y < surface->h; ++y)
            std::memcpy(static_cast<uint8_t*>(locked.bits) + y * locked.pitch,
                        static_cast<uint8_t*>(surface->pixels) + y * surface->pitch, size_t(surface->w) * 4);
          texture->UnlockRect(0);
        }
        device->SetTexture(0, texture);
        const float x = 10.0f, y = 10.0f + (i % kLines) * 24.0f, w = float(surface->w), h = float(surface->h);
        win32dx9::rec::BitmapAddQuad();
        win32dx9::rec::BitmapAddVertex(x, y, 0, 0, 0xFFFFFFFFu);
        win32dx9::rec::BitmapAddVertex(x + w, y, 1, 0, 0xFFFFFFFFu);
        win32dx9::rec::BitmapAddVertex(x + w, y + h, 1, 1, 0xFFFFFFFFu);
        win32dx9::rec::BitmapAddVertex(x, y + h, 0, 1, 0xFFFFFFFFu);
        win32dx9::rec::BitmapFlush();
        device->SetTexture(0, nullptr);
        texture->Release();
      }
      SDL_FreeSurface(surface);
    }
  };
  engine.Frame(draw);
  for (auto _ : state) engine.Frame(draw);
  Report(state);
  TTF_CloseFont(ttf);
  TTF_Quit();
}

// A 16,000-character label without a blank (a long path, say) wrapped to the editor's 1004-pixel
// info line, as the scene and train editors wrap theirs: our WrapText through the TrueType font,
// against SDL_ttf finding each line's end with TTF_MeasureUTF8 (over the next 1004 characters of
// the label: no glyph is narrower than a pixel, and the whole rest would cost it the label's
// length every line).
constexpr int kLabelLength = 16000, kWrapWidth = 1004;

void BM_WrapLongLabel(benchmark::State& state) {
  Engine& engine = Engine::Get();
  if (!engine.ok) return state.SkipWithError("no headless device");
  gfx::cl_DXFont font;
  font.SetSize(kFontSize);
  font.CreateD3DFont("DejaVu Sans", true);
  gfx::SetFont(&font);
  const std::string label(kLabelLength, 'x');
  size_t lines = 0;
  for (auto _ : state) {
    const std::string wrapped = gfx::WrapText(label.c_str(), float(kWrapWidth));
    lines = size_t(std::count(wrapped.begin(), wrapped.end(), '\n')) + 1;
    benchmark::DoNotOptimize(wrapped.data());
  }
  state.counters["lines"] = double(lines);
}

void BM_WrapLongLabelSdlTtf(benchmark::State& state) {
  if (TTF_Init() != 0) return state.SkipWithError("SDL_ttf does not start");
  TTF_Font* ttf = TTF_OpenFont(kFontFile, kFontSize);
  if (!ttf) return state.SkipWithError("no DejaVu Sans");
  const std::string label(kLabelLength, 'x');
  size_t lines = 0;
  for (auto _ : state) {
    std::string wrapped;
    lines = 0;
    for (size_t at = 0; at < label.size(); ++lines) {
      const std::string next = label.substr(at, size_t(kWrapWidth));
      int extent = 0, count = 0;
      if (TTF_MeasureUTF8(ttf, next.c_str(), kWrapWidth, &extent, &count) != 0 || count < 1) count = 1;
      if (!wrapped.empty()) wrapped += '\n';
      wrapped.append(label, at, size_t(count));
      at += size_t(count);
    }
    benchmark::DoNotOptimize(wrapped.data());
  }
  state.counters["lines"] = double(lines);
  TTF_CloseFont(ttf);
  TTF_Quit();
}

base::cl_Bitmap32 Picture() {
  base::cl_Bitmap32 picture;
  picture.Create(2048, 1536);
  for (int y = 0; y < picture.Height(); ++y)
    for (int x = 0; x < picture.Width(); ++x)
      *picture.Pixel(x, y) = base::Color32(static_cast<unsigned char>(x), static_cast<unsigned char>(y),
                                           static_cast<unsigned char>(x ^ y), 255);
  return picture;
}

void Tile(benchmark::State& state, bool compress) {
  Engine& engine = Engine::Get();
  if (!engine.ok) return state.SkipWithError("no headless device");
  const base::cl_Bitmap32 picture = Picture();
  for (auto _ : state) {
    gfx::cl_Image image;
    image.CreateFromBitmap(&picture, 0, 0, picture.Width(), picture.Height(), compress, true);
    benchmark::DoNotOptimize(image.GetTileCount());
  }
}

void BM_TileUncompressed(benchmark::State& state) { Tile(state, false); }
void BM_TileDxt5(benchmark::State& state) { Tile(state, true); }

BENCHMARK(BM_TextTrueType)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TextGlyphSheet)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TextSdlTtf)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WrapLongLabel)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WrapLongLabelSdlTtf)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TileUncompressed)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_TileDxt5)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

int main(int argc, char** argv) {
  benchcpu::OneRasteriserThread();
  benchmark::Initialize(&argc, argv);
  benchgl::cl_FrameTimes reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double trueType = reporter.Seconds("BM_TextTrueType"), sheet = reporter.Seconds("BM_TextGlyphSheet"),
               ttf = reporter.Seconds("BM_TextSdlTtf");
  const double glyphs = GlyphsPerFrame();
  if (trueType > 0 && sheet > 0 && ttf > 0)
    std::printf("glyphs/s: TrueType font %.0f, glyph-sheet font %.0f, SDL_ttf + upload %.0f; "
                "TrueType/SDL_ttf speed %.2f, glyph-sheet/SDL_ttf speed %.2f\n",
                glyphs / trueType, glyphs / sheet, glyphs / ttf, ttf / trueType, ttf / sheet);
  const double wrap = reporter.Seconds("BM_WrapLongLabel"), ttfWrap = reporter.Seconds("BM_WrapLongLabelSdlTtf");
  if (wrap > 0 && ttfWrap > 0)
    std::printf("a %d-character label wrapped to %d pixels: WrapText %.2f ms, SDL_ttf %.2f ms; speed %.2f\n",
                kLabelLength, kWrapWidth, wrap * 1e3, ttfWrap * 1e3, ttfWrap / wrap);
  const double plain = reporter.Seconds("BM_TileUncompressed"), dxt5 = reporter.Seconds("BM_TileDxt5");
  if (plain > 0 && dxt5 > 0)
    std::printf("2048 x 1536 picture tiled: uncompressed %.1f ms, DXT5 %.1f ms\n", plain * 1e3, dxt5 * 1e3);
  benchmark::Shutdown();
  return reporter.ExitStatus();
}
