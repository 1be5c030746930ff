// The session's cursor and tooltip choice of one frame (UpdateCursor) in a crowded scene: 40
// characters in the cast list, 200 hotspots in the scene and the hotspot table, and 1,000 tooltip
// entries in the game state, with the mouse over the last character, the last hotspot or the
// floor (the table look-ups then run to their ends). No graphics device: this measures the choice
// and the look-ups, not the drawing of the tooltip. Goal: under 0.2 ms a frame.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <unistd.h>

#include "KRX/ScriptSystem.h"
#include "base/app/ICMD.h"
#include "base/app/SystemRoot.h"
#include "base/data/Xml.h"
#include "base/system.h"
#include "quillane/character/Character.h"
#include "quillane/scene/Scene.h"
#include "quillane/session/Session.h"
#include "quillane/session/Stage.h"

namespace {

constexpr int kCharacters = 40, kHotspots = 200, kTooltips = 1000;

bool Quiet(const char*) { return false; }

struct st_CrowdedScene {
  std::filesystem::path dir, previous;
  base::cl_System system;
  std::unique_ptr<quillane::cl_Session> session;
  quillane::cl_Stage* stage = nullptr;

  st_CrowdedScene() {
    previous = std::filesystem::current_path();
    dir = std::filesystem::temp_directory_path() / ("quillane_cursor_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "scripts");
    std::filesystem::create_directories(dir / "Scenes");
    std::filesystem::current_path(dir);
    base::sys::AddOutputCallback(&Quiet);
    KRX::ScriptSystem::Init();
    WriteTables();
    session = std::make_unique<quillane::cl_Session>();
    session->LoadTables();
    // Without a game frame the session cannot queue the scene's load: the stage loads it here.
    session->LoadScene("Bench");
    stage = session->GetStage();
    stage->LoadScene("Bench");
    quillane::cl_Scene* scene = stage->GetScene();
    base::cl_Camera& camera = scene->GetCamera();
    camera.SetViewportRect(0.0f, 0.0f, 1024.0f, 640.0f);
    camera.SetPos(base::tVector3<float>(0.0f, 300.0f, 1200.0f));
    // A 20 x 10 grid of 40-pixel squares over the picture.
    for (int i = 0; i < kHotspots; ++i) {
      const int x = 10 + 50 * (i % 20), y = 60 + 55 * (i / 20);
      std::string xml = "<HotSpot label=\"spot" + std::to_string(i) + "\">";
      for (const auto& [dx, dy] : {std::pair{0, 0}, {40, 0}, {40, 40}, {0, 40}})
        xml += "<Point x=\"" + std::to_string(x + dx) + "\" y=\"" + std::to_string(y + dy) + "\"/>";
      base::Variant element;
      base::xml::read_text(element, (xml + "</HotSpot>").c_str());
      scene->AddElement("HotSpots", element, true);
    }
    for (int i = 0; i < kCharacters; ++i) {
      auto* character = new quillane::cl_Character;
      character->name.print("Extra%d", i);
      character->SetPositionRaw(-600.0f + 30.0f * static_cast<float>(i), 0.0f, -200.0f);
      stage->AdoptCharacter(character);
    }
    base::Variant& tooltips = *session->GetGameState();
    tooltips.set_element("GameState");
    base::Variant& list = tooltips.add_element("Tooltips");
    for (int i = 0; i < kTooltips; ++i) {
      base::Variant& entry = list.add_element("Tooltip");
      const std::string label = i < kTooltips - kHotspots ? "note" + std::to_string(i) : "spot" + std::to_string(i - (kTooltips - kHotspots));
      entry.attribute("label")->set_string(label.c_str());
      entry.attribute("text")->set_string(("#tip" + std::to_string(i)).c_str());
    }
  }
  ~st_CrowdedScene() {
    session.reset();
    KRX::ScriptSystem::Shutdown();
    base::sys::RemoveOutputCallback(&Quiet);
    std::filesystem::current_path(previous);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }

  static void WriteTables() {
    std::ofstream hotspots("scripts/hotspots.xml");
    hotspots << "<Hotspots>";
    for (int i = 0; i < kHotspots; ++i)
      hotspots << "<Hotspot label=\"spot" << i << "\" display_name=\"#spot" << i << "\" type=\"game\""
               << (i % 2 ? " cursor=\"gamecursor\"" : "") << "/>";
    hotspots << "</Hotspots>";
    std::ofstream cast("scripts/castlist.xml");
    cast << "<Cast>";
    for (int i = 0; i < kCharacters; ++i) cast << "<Character label=\"Extra" << i << "\" text_r=\"200\"/>";
    cast << "</Cast>";
  }

  void MoveMouse(base::tVector2<float> at) {
    base::ICMD move;
    move.type = base::ICMD::MOUSE_MOVE;
    move.mouseX = static_cast<uint16_t>(at.x);
    move.mouseY = static_cast<uint16_t>(at.y);
    system.ProcessInput(move);
  }
  base::tVector2<float> LastHotspot() const {
    const base::tVector2<float> c = stage->GetScene()->FindHotspot(("spot" + std::to_string(kHotspots - 1)).c_str())->outline.GetCenter();
    return stage->GetScene()->SceneToScreen(c.x, c.y);
  }
  base::tVector2<float> LastCharacter() const {
    const base::tRectf r = stage->GetCharacterScreenRect(stage->GetCharacters().back());
    return {(r.min.x + r.max.x) * 0.5f, (r.min.y + r.max.y) * 0.5f};
  }
};

// Arg 0: the mouse over the last hotspot; 1: over the last character; 2: over nothing.
void BM_UpdateCursor(benchmark::State& state) {
  st_CrowdedScene scene;
  const int where = static_cast<int>(state.range(0));
  scene.MoveMouse(where == 0 ? scene.LastHotspot() : where == 1 ? scene.LastCharacter() : base::tVector2<float>(1020.0f, 5.0f));
  for (auto _ : state) scene.session->UpdateCursor();
  state.SetLabel(scene.session->GetCursorName().c_str());
}
BENCHMARK(BM_UpdateCursor)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
