// The default skin on the headless device: one frame of Update, 10 mouse moves and Render of the
// 1,000-window layout, and of a 300-row edit list alone, each waiting for the GPU (a back-buffer
// read) before the frame ends. Beside them the two costs the skin pays per caption: measuring
// text in the current font and localising (through the cache, and uncached).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "base/app/ICMD.h"
#include "base/gui/GUIEdit.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/DXFont.h"
#include "graphics/gfx.h"
#include "gui_bench.h"
#include "support/HeadlessEngine.h"
#include "win32dx9/DX9GraphicsDevice.h"
#include "win32dx9/SystemGUI/SystemGUI.h"

namespace {

constexpr int kWidth = 1024, kHeight = 768;

// A started root module on the headless platform with a current font; null when no device.
class cl_HeadlessSkin {
 public:
  cl_HeadlessSkin() {
    if (!m_engine.MakeFolder("bench_skin") || !m_engine.Start(kWidth, kHeight)) return;
    m_font = std::make_unique<gfx::cl_DXFont>();  // after the device: fonts keep device resources
    m_font->SetSize(12.0f);
    m_font->CreateD3DFont("DejaVu Sans", true);
    gfx::SetFont(m_font.get());
    m_gui = std::make_unique<win32dx9::cl_SystemGUI>();
    m_gui->m_Rect = {0, 0, float(kWidth), float(kHeight)};
    base::g_pGUI = m_gui.get();
    m_ok = true;
  }
  ~cl_HeadlessSkin() {
    base::g_pGUI = nullptr;
    m_gui.reset();
    m_font.reset();
    m_engine.Stop();
  }

  // One frame as the game runs it, ended only once the device has drawn it.
  void Frame(int frame) {
    win32dx9::cl_DX9GraphicsDevice* device = win32dx9::cl_DX9GraphicsDevice::GetInstance();
    if (!device->BeginFrame()) return;
    gfx::Begin2D();
    gfx::SetBlendAlpha(true);
    m_gui->Update(1.0f / 60);
    for (int i = 0; i < 10; ++i) {
      base::ICMD move;
      move.type = base::ICMD::MOUSE_MOVE;
      move.mouseX = static_cast<uint16_t>((frame * 37 + i * 97) % kWidth);
      move.mouseY = static_cast<uint16_t>((frame * 53 + i * 71) % kHeight);
      m_gui->ProcessInput(move);
    }
    m_gui->Render(0, 0);
    if (device->LockBackBuffer()) device->UnlockBackBuffer();
    device->EndFrame();
  }

  bool m_ok = false;
  testsupport::cl_HeadlessEngine m_engine;
  std::unique_ptr<gfx::cl_DXFont> m_font;
  std::unique_ptr<win32dx9::cl_SystemGUI> m_gui;
};

void RunFrames(benchmark::State& state, cl_HeadlessSkin& skin) {
  int frame = 0;
  for (auto _ : state) skin.Frame(frame++);
}

void BM_SkinFrame1000Windows(benchmark::State& state) {
  cl_HeadlessSkin skin;
  if (!skin.m_ok) return state.SkipWithError("no headless graphics device");
  auto* panel = new base::cl_Panel;
  skin.m_gui->AddChild(panel);
  if (!panel->LoadFromFile(BenchLayoutFile().c_str(), "Bench")) return state.SkipWithError("layout not loaded");
  FillBenchList(panel);
  RunFrames(state, skin);
}
// Wall time: the GPU wait is part of the frame.
BENCHMARK(BM_SkinFrame1000Windows)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

void BM_SkinFrameEditList300(benchmark::State& state) {
  cl_HeadlessSkin skin;
  if (!skin.m_ok) return state.SkipWithError("no headless graphics device");
  auto* edit = skin.m_gui->CreateChild("Edit");
  edit->m_Rect = {620, 10, 380, 740};
  edit->m_Label = "list";
  FillBenchList(skin.m_gui.get());
  RunFrames(state, skin);
}
BENCHMARK(BM_SkinFrameEditList300)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

// The row texts the list draws each frame.
const std::vector<std::string>& RowTexts() {
  static const std::vector<std::string> texts = [] {
    std::vector<std::string> t;
    for (int row = 0; row < 300; ++row) t.push_back("Entry number " + std::to_string(row));
    return t;
  }();
  return texts;
}

void BM_MeasureText300(benchmark::State& state) {
  cl_HeadlessSkin skin;
  if (!skin.m_ok) return state.SkipWithError("no headless graphics device");
  for (auto _ : state) {
    float sum = 0;
    for (const std::string& t : RowTexts()) sum += gfx::GetTextWidth(t.c_str());
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_MeasureText300)->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);

void BM_LocalizeCaptions300(benchmark::State& state) {
  const bool cached = state.range(0) != 0;
  std::vector<base::tString<base::BaseString>> keys;
  for (const std::string& t : RowTexts()) keys.emplace_back(t.c_str());
  for (auto _ : state) {
    for (const auto& k : keys) {
      if (cached) {
        benchmark::DoNotOptimize(win32dx9::LocalizeCaption(k));
      } else {
        base::tString<base::BaseUnicodeString> out;
        base::sys::Localize(k.c_str(), out, nullptr, -1);
        benchmark::DoNotOptimize(out.c_str());
      }
    }
  }
  state.SetLabel(cached ? "cached" : "uncached");
}
BENCHMARK(BM_LocalizeCaptions300)->MeasureProcessCPUTime()->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

}  // namespace

namespace {

// The skin looks its four textures up by label at every draw.
void BM_SkinTextureLookup(benchmark::State& state) {
  for (auto _ : state) {
    for (int i = 0; i < 4; ++i) benchmark::DoNotOptimize(win32dx9::GetSkinTexture(win32dx9::en_SkinTexture(i)));
  }
}
BENCHMARK(BM_SkinTextureLookup)->MeasureProcessCPUTime()->Unit(benchmark::kNanosecond);

}  // namespace
