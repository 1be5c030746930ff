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

class LoadPanelShotTest : public MenuTest {};

TEST_F(LoadPanelShotTest, LoadGameInTheTitleMenuOpensThePanelAsReviewed) {
  const std::string data = QUILLANE_DATA_DIR;
  ASSERT_TRUE(fs::exists(data + "/gui/loadsave/loadsave_perga.tga")) << "demo data not generated";
  std::ofstream(m_dir / "demo.xml") << DemoResources(data);
  ASSERT_TRUE(base::sys::AddResources((m_dir / "demo.xml").string().c_str()));
  for (const char* table : {"menus_English.xml", "quillane_English.xml", "loadsave_English.xml"})
    fs::copy_file(data + "/loca/" + table, m_dir / "loca" / table);
  ASSERT_TRUE(base::cl_Textsystem::s_pActiveTextsystem->BuildLookup());

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

  cl_NoSessionFrame frame;
  cl_RootMenu* menu = cl_RootMenu::Create(m_gui);
  frame.AddState("RootMenu", menu);
  frame.SetState("RootMenu");
  base::cl_Window* main = m_gui->FindByLabel("MainMenuPanel");
  ASSERT_NE(main, nullptr);
  main->Show(true);
  base::Variant pressed;
  pressed.set_element("ButtonPressed");
  pressed.attribute("ctrl_label")->set_string("loadgame");
  menu->ProcessEvent(pressed);
  for (int i = 0; i < 12; ++i) {
    menu->Update(0, 0.1f);
    m_gui->Update(0.1f);
  }
  auto* panel = dynamic_cast<cl_LoadSavePanel*>(m_gui->FindByLabel("LoadSavePanel"));
  ASSERT_NE(panel, nullptr);
  EXPECT_FALSE(panel->HasFlag(base::WF_HIDDEN));
  EXPECT_TRUE(main->HasFlag(base::WF_HIDDEN));
  EXPECT_EQ(panel->GetMode(), cl_LoadSavePanel::MODE_LOAD);
  EXPECT_EQ(panel->GetRowCount(), 3);
  for (int i = 0; i < 15; ++i) menu->Update(0, 0.1f);  // the screen clears again

  RenderFrame();
  menu->Render();
  const std::vector<uint32_t> shot = QuarterShot();
  EXPECT_TRUE(testsupport::MatchesGoldenPng(std::string(QUILLANE_TEST_DIR) + "/golden/load_panel.png", shot, kShotW,
                                            kShotH));
}

}  // namespace
}  // namespace menutest
