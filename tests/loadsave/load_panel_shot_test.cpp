// The title screen's road to the load/save panel on the demo data: three savegames in the user
// folder, "Load Game" pressed in the main menu, and a shot of the open panel against a reviewed
// picture.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
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

// The demo resource lines the title screen and the panel use, with their files made absolute.
std::string DemoResources(const std::string& data) {
  std::ifstream in(data + "/resources.xml");
  std::stringstream all;
  all << in.rdbuf();
  const std::regex line(
      R"RE(<(Image|Texture|DXFont) label="(bg_main|menubutton_\w+|frame_round_\w+|loadsave_perga|deco_list|scroll_\w+|corner_0\d|load_save_\w+|diary|game_small)" file="([^"]+)"([^>]*)/>)RE");
  std::string out = "<Resources>";
  const std::string text = all.str();
  for (std::sregex_iterator it(text.begin(), text.end(), line), end; it != end; ++it) {
    const std::string kind = (*it)[1], label = (*it)[2], file = (*it)[3], rest = (*it)[4];
    const std::string path = kind == "DXFont" ? file : data + "/" + file;
    out += "<" + kind + " label=\"" + label + "\" file=\"" + path + "\"" + rest + "/>";
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
  // A quarter of the size in each direction, each pixel the mean of its 4 x 4 block.
  constexpr int kShotW = kWidth / 4, kShotH = kHeight / 4;
  std::vector<uint32_t> shot(static_cast<size_t>(kShotW) * kShotH);
  for (int y = 0; y < kShotH; ++y)
    for (int x = 0; x < kShotW; ++x) {
      uint32_t sum[3] = {0, 0, 0};
      for (int dy = 0; dy < 4; ++dy)
        for (int dx = 0; dx < 4; ++dx) {
          const uint32_t p = Pixel(x * 4 + dx, y * 4 + dy);
          sum[0] += (p >> 16) & 0xFF, sum[1] += (p >> 8) & 0xFF, sum[2] += p & 0xFF;
        }
      shot[static_cast<size_t>(y) * kShotW + x] = ((sum[0] / 16) << 16) | ((sum[1] / 16) << 8) | (sum[2] / 16);
    }
  EXPECT_TRUE(testsupport::MatchesGoldenPng(std::string(QUILLANE_TEST_DIR) + "/golden/load_panel.png", shot, kShotW,
                                            kShotH));
}

}  // namespace
}  // namespace menutest
