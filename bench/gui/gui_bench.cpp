// A generated full-screen layout of about 1,000 windows (nested groups of buttons, check boxes,
// radio buttons and sliders beside a 300-row list of string controls): loading it from its file,
// and one frame of Update, 10 mouse moves and Render under the tests' recording skin (the default
// skin's frames are in skin_bench.cpp). No packaged toolkit keeps a comparable window tree; the
// yardstick is the 16.7 ms of a 60 Hz frame.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "../BenchRatios.h"
#include "../ProcessCpu.h"
#include "base/gui/GUI.h"
#include "gui_bench.h"
#include "recording_skin.h"

namespace {

std::string Attr(const char* name, int v) { return std::string(" ") + name + "=\"" + std::to_string(v) + "\""; }

std::string Rect(int x, int y, int w, int h) { return Attr("x", x) + Attr("y", y) + Attr("w", w) + Attr("h", h); }

// 18 panes of 2 sub-groups with 16 controls each and a footer of buttons on the left, the list on
// the right: 1,000 windows with the panel that holds them.
std::string MakeLayout() {
  std::string s = "<?xml version=\"1.0\"?>\n<GUI>\n<Group label=\"Bench\"" + Rect(0, 0, 1024, 768) + ">\n";
  int n = 0;
  for (int pane = 0; pane < 18; ++pane) {
    s += "<Group label=\"pane" + std::to_string(pane) + "\"" + Rect((pane % 3) * 200, (pane / 3) * 125, 200, 125) + ">\n";
    for (int sub = 0; sub < 2; ++sub) {
      s += "<Group label=\"sub\"" + Rect(sub * 100, 0, 100, 125) + ">\n";
      for (int i = 0; i < 6; ++i)
        s += "<Button label=\"b" + std::to_string(n++) + "\" text=\"Button\"" + Rect(2, 2 + i * 14, 60, 12) + "/>\n";
      for (int i = 0; i < 4; ++i) s += "<CheckBox label=\"c" + std::to_string(n++) + "\"" + Rect(70, 2 + i * 18, 16, 16) + "/>\n";
      s += "<Group label=\"radios\"" + Rect(0, 90, 100, 20) + ">";
      for (int i = 0; i < 4; ++i) s += "<RadioButton label=\"r" + std::to_string(n++) + "\"" + Rect(i * 20, 0, 16, 16) + "/>";
      s += "</Group>\n<Slider label=\"s" + std::to_string(n++) + "\"" + Rect(2, 110, 90, 12) + "/>\n</Group>\n";
    }
    s += "</Group>\n";
  }
  s += "<Group label=\"footer\"" + Rect(0, 752, 600, 16) + ">";
  for (int i = 0; i < 24; ++i) s += "<Button label=\"f" + std::to_string(i) + "\"" + Rect(i * 25, 0, 24, 16) + "/>";
  s += "</Group>\n";
  s += "<Edit label=\"list\" selectable=\"multiple\"" + Rect(620, 10, 380, 740) + "/>\n";
  s += "</Group>\n</GUI>\n";
  return s;
}

}  // namespace

// The list's 300 rows: a value, as code fills an edit control.
void FillBenchList(base::cl_Window* root) {
  base::cl_Window* list = root->FindByLabel("list");
  if (!list) return;
  list->m_Value.set_element("List");
  for (int row = 0; row < 300; ++row) {
    base::Variant& entry = list->m_Value.add_element("String");
    entry.attribute("label")->set_string(("row" + std::to_string(row)).c_str());
    entry.attribute("value")->set_string(("Entry number " + std::to_string(row)).c_str());
  }
  list->SetFlag(base::WF_SELECTABLE | base::WF_REBUILD, true);
}

const std::string& BenchLayoutFile() {
  static const std::string path = [] {
    const std::string p = (std::filesystem::temp_directory_path() / "quillane_bench_gui_layout.xml").string();
    std::ofstream(p) << MakeLayout();
    return p;
  }();
  return path;
}

namespace {

const std::string& LayoutFile() { return BenchLayoutFile(); }

int CountWindows(const base::cl_Window* w) {
  int n = 1;
  for (const base::cl_Window* c : w->m_Children) n += CountWindows(c);
  return n;
}

void BM_LoadLayout(benchmark::State& state) {
  guitest::cl_TestGUI gui;
  base::g_pGUI = &gui;
  int windows = 0;
  for (auto _ : state) {
    auto* panel = new guitest::cl_TestPanel;
    gui.AddChild(panel);
    if (!panel->LoadFromFile(LayoutFile().c_str(), "Bench")) {
      state.SkipWithError("layout not loaded");
      break;
    }
    FillBenchList(panel);
    panel->Render(0, 0);  // the rows are built at the first render
    state.PauseTiming();
    windows = CountWindows(panel);
    gui.RemoveChild(panel);
    delete panel;
    state.ResumeTiming();
  }
  state.counters["windows"] = windows;
  base::g_pGUI = nullptr;
}
BENCHMARK(BM_LoadLayout)->Unit(benchmark::kMicrosecond);

void BM_Frame(benchmark::State& state) {
  guitest::cl_TestGUI gui;
  base::g_pGUI = &gui;
  auto* panel = new guitest::cl_TestPanel;
  gui.AddChild(panel);
  if (!panel->LoadFromFile(LayoutFile().c_str(), "Bench")) state.SkipWithError("layout not loaded");
  FillBenchList(panel);
  guitest::Frame(gui, {});
  int frame = 0;
  for (auto _ : state) {
    guitest::Log().ClearFrame();
    gui.Update(1.0f / 60);
    for (int i = 0; i < 10; ++i) {
      base::ICMD move = guitest::Move((frame * 37 + i * 97) % 1024, (frame * 53 + i * 71) % 768);
      gui.ProcessInput(move);
    }
    gui.Render(0, 0);
    ++frame;
  }
  state.counters["draws"] = static_cast<double>(guitest::Log().draws.size());
  state.counters["windows"] = CountWindows(panel);
  base::g_pGUI = nullptr;
}
BENCHMARK(BM_Frame)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchcpu::OneRasteriserThread();  // the skin rows draw
  return benchratios::RunReportingFailures(argc, argv);
}
