// One frame's bubble of a long spoken line (600 and 2,000 characters) on the headless device,
// the line wrapped as the game does it (glyph widths summed, each character measured once) and
// as the reference does it (the run from the line's start measured again for every character),
// and the wrap alone, with the ratios of the two.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "../BenchRatios.h"
#include "../ProcessCpu.h"
#include "base/app/SystemRoot.h"
#include "base/math/Random.h"
#include "base/system.h"
#include "graphics/Graphics.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/gfx.h"
#include "quillane/session/GameActionQueue.h"
#include "quillane/session/Session.h"
#include "quillane/session/SpeechLayout.h"
#include "support/HeadlessEngine.h"
#include "win32dx9/DX9GraphicsDevice.h"
#include "win32dx9/Platform.h"
#include "win32dx9/Services.h"
#include "win32dx9/SysInfo.h"

namespace {

constexpr int kWidth = 1024, kHeight = 768;

// Words of 2 to 9 letters; an unknown key is shown as it is.
std::string Line(int length) {
  base::RandSeed(length);
  std::string text;
  while (static_cast<int>(text.size()) < length) {
    const int word = 2 + base::Random(8);
    for (int i = 0; i < word; ++i) text += static_cast<char>('a' + base::Random(26));
    text += ' ';
  }
  text.resize(static_cast<size_t>(length));
  return text;
}

class cl_SpeechScene {
 public:
  cl_SpeechScene() {
    if (!m_engine.MakeFolder("bench_speech")) return;
    std::filesystem::current_path(m_engine.GetDir());
    if (!m_engine.Start(kWidth, kHeight)) return;
    std::ofstream("fonts.xml")
        << "<Resources><DXFont label=\"game\" file=\"DejaVu Serif\" system=\"1\" size=\"22\"/></Resources>";
    if (!base::sys::AddResources("fonts.xml")) return;
    m_session = std::make_unique<quillane::cl_Session>();
    m_ok = true;
  }
  ~cl_SpeechScene() {
    m_session.reset();
    m_engine.Stop();
  }
  bool Ok() const { return m_ok; }

  void Frame(quillane::st_GameAction& action) {
    win32dx9::cl_DX9GraphicsDevice* device = win32dx9::cl_DX9GraphicsDevice::GetInstance();
    if (!device->BeginFrame()) return;
    gfx::Begin2D();
    m_session->ShowSpeech(&action);
    device->EndFrame();
  }

 private:
  testsupport::cl_HeadlessEngine m_engine;
  std::unique_ptr<quillane::cl_Session> m_session;
  bool m_ok = false;
};

cl_SpeechScene& Scene() {
  static cl_SpeechScene scene;
  return scene;
}

void Run(benchmark::State& state, bool plain) {
  if (!Scene().Ok()) return state.SkipWithError("no headless device or no font");
  quillane::st_GameAction action(nullptr);
  action.m_kind = "speak";
  action.m_object = "Nobody";
  action.m_text = Line(static_cast<int>(state.range(0))).c_str();
  quillane::cl_SpeechLayout::s_plainRule = plain;
  for (auto _ : state) Scene().Frame(action);
  quillane::cl_SpeechLayout::s_plainRule = false;
}

void BM_SpeechBubble(benchmark::State& state) { Run(state, false); }
void BM_SpeechBubblePlain(benchmark::State& state) { Run(state, true); }
BENCHMARK(BM_SpeechBubble)->MeasureProcessCPUTime()->Arg(600)->Arg(2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SpeechBubblePlain)->MeasureProcessCPUTime()->Arg(600)->Arg(2000)->Unit(benchmark::kMicrosecond);

// The wrap alone, at the bubble's width for a 1024-pixel window.
void Wrap(benchmark::State& state, bool plain) {
  if (!Scene().Ok()) return state.SkipWithError("no headless device or no font");
  gfx::SetFont(gfx::FontExists("game"));
  const std::string narrow = Line(static_cast<int>(state.range(0)));
  const quillane::cl_SpeechLayout::tLine text(std::u16string(narrow.begin(), narrow.end()).c_str());
  std::vector<quillane::cl_SpeechLayout::tLine> lines;
  for (auto _ : state) {
    lines.clear();
    quillane::cl_SpeechLayout::AddLine(lines, text, 256.0f, &gfx::GetTextWidthW, plain);
    benchmark::DoNotOptimize(lines.data());
  }
}
void BM_SpeechWrap(benchmark::State& state) { Wrap(state, false); }
void BM_SpeechWrapPlain(benchmark::State& state) { Wrap(state, true); }
BENCHMARK(BM_SpeechWrap)->MeasureProcessCPUTime()->Arg(600)->Arg(2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SpeechWrapPlain)->MeasureProcessCPUTime()->Arg(600)->Arg(2000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchcpu::OneRasteriserThread();
  return benchratios::RunWithRatios(
      argc, argv,
      {{"bubble of 600 characters: plain / summed", "BM_SpeechBubble/600", "BM_SpeechBubblePlain/600"},
       {"bubble of 2,000 characters: plain / summed", "BM_SpeechBubble/2000", "BM_SpeechBubblePlain/2000"},
       {"wrap of 600 characters: plain / summed", "BM_SpeechWrap/600", "BM_SpeechWrapPlain/600"},
       {"wrap of 2,000 characters: plain / summed", "BM_SpeechWrap/2000", "BM_SpeechWrapPlain/2000"}});
}
