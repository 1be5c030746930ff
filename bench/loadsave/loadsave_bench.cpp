// The load/save panel opened over 100 savegames in the user folder: every head read, the rows and
// their thumbnails built, and the first frame drawn on the headless device (waiting for the GPU).
// The anchor reads the same 100 files' bytes and nothing else; the goal is an opening under 0.2 s.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "../BenchRatios.h"
#include "../ProcessCpu.h"
#include "SavegameWriter.h"
#include "base/app/SystemRoot.h"
#include "base/system.h"
#include "graphics/Graphics.h"
#include "graphics/draw/Draw.h"
#include "graphics/gfx.h"
#include "quillane/gui/GameGUI.h"
#include "quillane/menu/LoadSavePanel.h"
#include "support/HeadlessEngine.h"
#include "win32dx9/DX9GraphicsDevice.h"
#include "win32dx9/Platform.h"
#include "win32dx9/Services.h"
#include "win32dx9/SysInfo.h"

namespace {

namespace fs = std::filesystem;
constexpr int kWidth = 1024, kHeight = 768, kSavegames = 100;

// A started root module on the headless platform, the panel's demo pictures and fonts, and a
// user folder of 100 savegames.
class cl_Bench {
 public:
  cl_Bench() {
    if (!m_engine.MakeFolder("bench_loadsave")) {
      Fail("folder");
      return;
    }
    const fs::path& dir = m_engine.GetDir();
    fs::create_directories(dir / "Savegames");
    for (int i = 1; i <= kSavegames; ++i) {
      savetest::st_Head head;
      head.mission = i % 9;
      char name[32];
      std::snprintf(name, sizeof(name), "slot%03d.sav", i);
      savetest::WriteFile((dir / "Savegames" / name).string(), savetest::HeadBytes(head));
      m_files.push_back(dir / "Savegames" / name);
    }
    if (!m_engine.Start(kWidth, kHeight)) {
      Fail("start-up");
      return;
    }
    std::string resources = "<Resources>";
    for (const char* image : {"loadsave_perga", "deco_list", "scroll_up", "scroll_down", "corner_01", "corner_02",
                              "corner_03", "corner_04", "load_save_bottom", "load_save_center"})
      resources += std::string("<Image label=\"") + image + "\" file=\"" + QUILLANE_DATA_DIR + "/gui/loadsave/" + image +
                   ".tga\"/>";
    resources += std::string("<Texture label=\"load_save_vbarfiller\" file=\"") + QUILLANE_DATA_DIR +
                 "/gui/loadsave/load_save_vbarfiller.tga\"/>";
    resources += "<DXFont label=\"diary\" file=\"DejaVu Serif\" system=\"1\" size=\"18\"/>";
    resources += "<DXFont label=\"game_small\" file=\"DejaVu Sans\" system=\"1\" size=\"13\"/></Resources>";
    std::ofstream(dir / "resources.xml") << resources;
    if (!base::sys::AddResources((dir / "resources.xml").string().c_str())) {
      Fail("resources");
      return;
    }
    m_gui = std::make_unique<cl_GameGUI>();
    m_gui->m_Rect = {0, 0, float(kWidth), float(kHeight)};
    base::g_pGUI = m_gui.get();
    m_panel = cl_LoadSavePanel::Create(m_gui.get(), nullptr);
    m_gui->AddChild(m_panel);
    m_panel->SetFlag(base::WF_DISABLED, false);
    m_panel->Show(true);
    m_ok = true;
  }
  ~cl_Bench() {
    base::g_pGUI = nullptr;
    m_gui.reset();
    m_engine.Stop();
  }

  // Opens the panel in load mode and draws its first frame, ended once the device has drawn it.
  void OpenAndDraw() {
    base::Variant mode;
    mode.set_string("loadgame");
    m_panel->ProcessEvent(mode);
    win32dx9::cl_DX9GraphicsDevice* device = win32dx9::cl_DX9GraphicsDevice::GetInstance();
    if (!device->BeginFrame()) return;
    gfx::Begin2D();
    gfx::SetBlendAlpha(true);
    m_gui->Render(0, 0);
    if (device->LockBackBuffer()) device->UnlockBackBuffer();
    device->EndFrame();
  }

  void Fail(const char* step) { std::fprintf(stderr, "bench_loadsave: %s failed\n", step); }

  bool m_ok = false;
  testsupport::cl_HeadlessEngine m_engine;
  std::vector<fs::path> m_files;
  std::unique_ptr<cl_GameGUI> m_gui;
  cl_LoadSavePanel* m_panel = nullptr;  // in the GUI root
};

cl_Bench& Bench() {
  static cl_Bench bench;
  return bench;
}

void BM_OpenPanel100Savegames(benchmark::State& state) {
  cl_Bench& bench = Bench();
  if (!bench.m_ok) {
    state.SkipWithError("no headless graphics device or demo pictures");
    return;
  }
  for (auto _ : state) bench.OpenAndDraw();
  state.counters["rows"] = bench.m_panel->GetRowCount();
}
BENCHMARK(BM_OpenPanel100Savegames)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

void BM_ReadSavegameBytes100(benchmark::State& state) {
  cl_Bench& bench = Bench();
  std::vector<char> bytes;
  for (auto _ : state) {
    size_t total = 0;
    for (const fs::path& file : bench.m_files) {
      std::ifstream in(file, std::ios::binary | std::ios::ate);
      bytes.resize(static_cast<size_t>(in.tellg()));
      in.seekg(0);
      in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
      total += static_cast<size_t>(in.gcount());
    }
    benchmark::DoNotOptimize(total);
  }
}
BENCHMARK(BM_ReadSavegameBytes100)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchcpu::OneRasteriserThread();
  return benchratios::RunWithRatios(
      argc, argv, {{"panel opening / reading the bytes", "BM_OpenPanel100Savegames", "BM_ReadSavegameBytes100"}});
}
