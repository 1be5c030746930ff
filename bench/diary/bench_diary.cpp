// The diary's two costs, headless at 1024 x 768 with the font "diary" (DejaVu Serif, 18 px):
// rebuilding all pages of 200 entries (every change does that: the texts are measured character
// by character and laid out) and drawing one page texture. The anchor is FreeType alone
// measuring the same texts (each character's advance, no layout, no cache). Prints the ratio.
#include <benchmark/benchmark.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "../BenchRatios.h"
#include "../ProcessCpu.h"
#include "base/app/SystemRoot.h"
#include "base/system.h"
#include "graphics/Graphics.h"
#include "graphics/gfx.h"
#include "quillane/diary/Diary.h"
#include "quillane/diary/DiaryPages.h"
#include "quillane/diary/PageText.h"
#include "support/HeadlessEngine.h"
#include "win32dx9/DX9GraphicsDevice.h"
#include "win32dx9/Platform.h"
#include "win32dx9/Services.h"

namespace {

constexpr int kWidth = 1024, kHeight = 768, kEntries = 200;
const char* const kFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf";

void Quiet(const char*) {}

std::string EntryText(int i) {
  return "Entry " + std::to_string(i) +
         ": the ferry leaves at midnight and Odo has not stamped the pass yet. Mina sells tickets only once the "
         "harbour lamp burns, and the pump house must run before the quay floods again tonight.";
}

// The engine on the headless platform with the diary's font, and a diary of 200 entries: a
// chapter every 20, missions and texts in it, a quest list in every mission.
struct Engine {
  testsupport::cl_HeadlessEngine engine;
  std::unique_ptr<cl_Diary> diary;
  bool ok = false;

  Engine() {
    base::sys::SetDebuggerOutput(Quiet);
    if (!engine.MakeFolder("bench_diary")) return;
    const std::filesystem::path fonts = engine.GetDir() / "fonts.xml";
    std::ofstream(fonts)
        << "<Resources><DXFont label=\"diary\" file=\"DejaVu Serif\" system=\"1\" size=\"18\"/></Resources>";
    if (!engine.Start(kWidth, kHeight) || !base::sys::AddResources(fonts.string().c_str())) return;
    diary = std::make_unique<cl_Diary>();
    int chapter = 0, mission = 0;
    for (int i = 0; i < kEntries; ++i) {
      const std::string text = EntryText(i);
      if (i % 20 == 0) chapter = diary->AddChapter(0);
      else if (i % 5 == 1) mission = diary->AddMission(chapter, "Mission", text.c_str());
      else if (i % 5 == 2) diary->AddQuest(mission, text.c_str(), false);
      else diary->AddText(chapter, text.c_str());
    }
    diary->Update(0.0f);
    ok = diary->GetPageCount() > 0;
  }
  ~Engine() {
    diary.reset();
    engine.Stop();
  }
};

Engine& GetEngine() {
  static Engine engine;
  return engine;
}

void BM_DiaryRebuild200Entries(benchmark::State& state) {
  Engine& e = GetEngine();
  if (!e.ok) return state.SkipWithError("no headless device");
  for (auto _ : state) {
    e.diary->SetQuestSolved(3, true);  // any change rebuilds every page
    e.diary->Update(0.0f);
  }
  state.counters["pages"] = e.diary->GetPageCount();
}
BENCHMARK(BM_DiaryRebuild200Entries)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

void BM_DiaryPageTexture(benchmark::State& state) {
  Engine& e = GetEngine();
  if (!e.ok) return state.SkipWithError("no headless device");
  win32dx9::cl_DX9GraphicsDevice* device = win32dx9::cl_DX9GraphicsDevice::GetInstance();
  cl_HUDBookPage* page = e.diary->GetPage(e.diary->GetPageCount() / 2);
  for (auto _ : state) {
    page->Free();
    if (!device->BeginFrame()) continue;
    page->GetTexture(nullptr, nullptr, true, true);
    device->EndFrame();  // presents, so the drawing is done before the next round
  }
}
BENCHMARK(BM_DiaryPageTexture)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

// The anchor: each character of every entry's text measured by FreeType, the same number of
// times a rebuild lays it out (once).
void BM_FreeTypeMeasureSameTexts(benchmark::State& state) {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  if (FT_Init_FreeType(&library) || FT_New_Face(library, kFontFile, 0, &face)) return state.SkipWithError("no font");
  FT_Set_Pixel_Sizes(face, 0, 18);
  std::u16string texts;
  for (int i = 0; i < kEntries; ++i) {
    const std::string text = EntryText(i);
    texts.append(text.begin(), text.end());
  }
  for (auto _ : state) {
    long width = 0;
    for (char16_t c : texts)
      if (FT_Load_Char(face, c, FT_LOAD_DEFAULT) == 0) width += face->glyph->advance.x >> 6;
    benchmark::DoNotOptimize(width);
  }
  FT_Done_Face(face);
  FT_Done_FreeType(library);
}
BENCHMARK(BM_FreeTypeMeasureSameTexts)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchcpu::OneRasteriserThread();
  return benchratios::RunWithRatios(argc, argv,
                                    {{"diary rebuild vs FreeType measuring", "BM_DiaryRebuild200Entries",
                                      "BM_FreeTypeMeasureSameTexts"}});
}
