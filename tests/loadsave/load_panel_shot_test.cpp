// The title screen's road to the load/save panel on the demo data: three savegames in the user
// folder, "Load Game" pressed in the main menu, and a shot of the open panel against a reviewed
// picture.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../menu/MenuFixture.h"
#include "../support/GoldenImage.h"
#include "SavegameWriter.h"
#include "base/app/GameFrame.h"
#include "base/system.h"
#include "base/text/Textsystem.h"
#include "quillane/menu/LoadSavePanel.h"
#include "quillane/menu/RootMenu.h"
#include "quillane/menu/SavegameField.h"

namespace menutest {
namespace {

namespace fs = std::filesystem;

class cl_NoSessionFrame : public base::i_GameFrame {
 public:
  base::i_GameSession* CreateSession() override { return nullptr; }
};

// The attribute name="..." of a resource line; empty when absent.
std::string Attribute(const std::string& line, const std::string& name) {
  const size_t at = line.find(" " + name + "=\"");
  if (at == std::string::npos) return "";
  const size_t start = at + name.size() + 3, end = line.find('"', start);
  return end == std::string::npos ? "" : line.substr(start, end - start);
}

// The demo resource lines the title screen and the panel use, with their files made absolute.
std::string DemoResources(const std::string& data) {
  std::ifstream in(data + "/resources.xml");
  const char* const wanted[] = {"bg_main",   "menubutton_", "frame_round_", "loadsave_perga", "deco_list", "scroll_",
                                "corner_0", "load_save_",  "diary",        "game_small"};
  std::string out = "<Resources>", line;
  while (std::getline(in, line)) {
    const size_t open = line.find('<');
    if (open == std::string::npos) continue;
    const std::string kind = line.substr(open + 1, line.find(' ', open) - open - 1);
    if (kind != "Image" && kind != "Texture" && kind != "DXFont") continue;
    const std::string label = Attribute(line, "label"), file = Attribute(line, "file");
    bool use = false;
    for (const char* prefix : wanted) use = use || label.rfind(prefix, 0) == 0;
    if (!use || label == "game") continue;
    const std::string rest = kind == "DXFont" ? " system=\"1\" size=\"" + Attribute(line, "size") + "\"" : "";
    out += "<" + kind + " label=\"" + label + "\" file=\"" + (kind == "DXFont" ? file : data + "/" + file) + "\"" +
           rest + "/>";
  }
  return out + "</Resources>";
}

class LoadPanelShotTest : public MenuTest {
 protected:
  // The demo's pictures, fonts and texts of the title screen and the panel.
  void LoadDemo() {
    const std::string data = QUILLANE_DATA_DIR;
    ASSERT_TRUE(fs::exists(data + "/gui/loadsave/loadsave_perga.tga")) << "demo data not generated";
    std::ofstream(m_dir / "demo.xml") << DemoResources(data);
    ASSERT_TRUE(base::sys::AddResources((m_dir / "demo.xml").string().c_str()));
    for (const char* table : {"menus_English.xml", "quillane_English.xml", "loadsave_English.xml"})
      fs::copy_file(data + "/loca/" + table, m_dir / "loca" / table);
    ASSERT_TRUE(base::cl_Textsystem::s_pActiveTextsystem->BuildLookup());
  }

  // "Load Game" pressed in the title menu; the panel once the screen has cleared again.
  cl_LoadSavePanel* OpenFromTheTitleMenu() {
    m_menu = cl_RootMenu::Create(m_gui);
    m_frame.AddState("RootMenu", m_menu);
    m_frame.SetState("RootMenu");
    base::cl_Window* main = m_gui->FindByLabel("MainMenuPanel");
    if (!main) return nullptr;
    main->Show(true);
    base::Variant pressed;
    pressed.set_element("ButtonPressed");
    pressed.attribute("ctrl_label")->set_string("loadgame");
    m_menu->ProcessEvent(pressed);
    for (int i = 0; i < 12; ++i) {
      m_menu->Update(0, 0.1f);
      m_gui->Update(0.1f);
    }
    auto* panel = dynamic_cast<cl_LoadSavePanel*>(m_gui->FindByLabel("LoadSavePanel"));
    EXPECT_TRUE(main->HasFlag(base::WF_HIDDEN));
    for (int i = 0; i < 15; ++i) m_menu->Update(0, 0.1f);  // the screen clears again
    return panel;
  }

  cl_NoSessionFrame m_frame;
  cl_RootMenu* m_menu = nullptr;
};

TEST_F(LoadPanelShotTest, LoadGameInTheTitleMenuOpensThePanelAsReviewed) {
  ASSERT_NO_FATAL_FAILURE(LoadDemo());
  const struct {
    const char* file;
    const char16_t* name;
    float time;
    int mission;
    uint32_t colour;
  } saves[] = {{"slot001.sav", u"On the quay", 610.0f, 1, 0xFF3060C0u},
               {"slot002.sav", u"The ferryman's office, after the storm has passed", 3900.0f, 3, 0xFFC06030u},
               {"auto.sav", u"Autosave", 4500.0f, 4, 0xFF30A050u}};
  for (const auto& s : saves) {
    savetest::st_Head head;
    head.name = s.name;
    head.gameTime = s.time;
    head.mission = s.mission;
    head.colour = s.colour;
    head.preview = s.colour;
    savetest::WriteFile((m_dir / "Savegames" / s.file).string(), savetest::HeadBytes(head));
  }

  cl_LoadSavePanel* panel = OpenFromTheTitleMenu();
  ASSERT_NE(panel, nullptr);
  EXPECT_FALSE(panel->HasFlag(base::WF_HIDDEN));
  EXPECT_EQ(panel->GetMode(), cl_LoadSavePanel::MODE_LOAD);
  EXPECT_EQ(panel->GetRowCount(), 3);

  RenderFrame();
  m_menu->Render();
  const std::vector<uint32_t> shot = QuarterShot();
  EXPECT_TRUE(testsupport::MatchesGoldenPng(std::string(QUILLANE_TEST_DIR) + "/golden/load_panel.png", shot, kShotW,
                                            kShotH));
}

// The score bars of the selected savegame, full and empty, stay in the dark slots of the band
// under the preview over their whole height; the rows' names (white when selected, else light
// grey) stand out of the paper behind them.
TEST_F(LoadPanelShotTest, TheScoreBarsStayInTheirSlotsAndTheNamesReadOnThePaper) {
  ASSERT_NO_FATAL_FAILURE(LoadDemo());
  savetest::st_Head head;
  head.name = u"Quay";
  head.wealth = head.maxWealth = 10;  // full
  head.spycraft = 0, head.maxSpycraft = 10;  // empty
  savetest::WriteFile((m_dir / "Savegames" / "slot001.sav").string(), savetest::HeadBytes(head));
  cl_LoadSavePanel* panel = OpenFromTheTitleMenu();
  ASSERT_NE(panel, nullptr);
  ASSERT_EQ(panel->GetRowCount(), 1);
  RenderFrame();
  m_menu->Render();

  const int px = static_cast<int>(panel->m_AbsRect.left + panel->GetPreviewLeft());
  const int bottom = static_cast<int>(panel->m_AbsRect.top + cl_LoadSavePanel::kListTop + 320);
  const auto dark = [](uint32_t c) { return ((c >> 16) & 0xFF) <= 24 && ((c >> 8) & 0xFF) <= 24 && (c & 0xFF) <= 24; };
  // The bars' columns and their full height (rows 22 to 121 under the preview).
  const struct {
    const char* what;
    int x0, x1;
    bool full;
  } bars[] = {{"wealth", 196, 210, true}, {"spycraft", 249, 263, false}};
  for (const auto& bar : bars)
    for (int y = bottom + 22; y < bottom + 121; ++y) {
      EXPECT_EQ(dark(Pixel(px + bar.x0 - 1, y)), true) << bar.what << ": no slot left of the bar at row " << y - bottom;
      EXPECT_EQ(dark(Pixel(px + (bar.x0 + bar.x1) / 2, y)), !bar.full)
          << bar.what << " at row " << y - bottom << ": " << std::hex << Pixel(px + (bar.x0 + bar.x1) / 2, y);
    }

  // The paper right of the row's name: the light grey of a row not selected is far brighter.
  const base::st_ScreenRect row = panel->GetRows()[0]->m_AbsRect;
  const uint32_t paper = Pixel(static_cast<int>(row.right) - 10, static_cast<int>(row.top) + 40);
  const int luminance = (299 * ((paper >> 16) & 0xFF) + 587 * ((paper >> 8) & 0xFF) + 114 * (paper & 0xFF)) / 1000;
  EXPECT_LE(luminance, 0xA0 / 2) << "paper " << std::hex << paper;
  EndFrame();
}

}  // namespace
}  // namespace menutest
