// The editor menu by right click and its buttons: where it opens, what closes it, the scene
// manager's toggle, the launchers (a game opened and closed again),
// the string-file self-test, quitting, and the pile-grid tool it opens.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <numbers>

#include "base/app/KeyCode.h"
#include "base/math/Noise.h"
#include "editor_fixture.h"
#include "quillane/actor/ActorRegistry.h"
#include "quillane/editor/CharacterList.h"
#include "quillane/editor/Editor.h"
#include "quillane/editor/EditorStatus.h"
#include "quillane/editor/EditorLaunchers.h"
#include "quillane/editor/EditorMenu.h"
#include "quillane/editor/HeileWelt.h"
#include "quillane/editor/SceneEditorPanel.h"
#include "quillane/frame/GameFrame.h"
#include "quillane/minigames/MinigameRegistry.h"
#include "win32dx9/SystemGUI/SystemGUI.h"

namespace editortest {
namespace {

namespace fs = std::filesystem;
using quillane::cl_HeileWelt;
using quillane::cl_Pile;


class EditorMenu : public EditorTest {
 protected:
  base::cl_Window* TopLevel(const char* label) const { return m_frame->GetSystemGUI()->FindChild(label); }
  // The menu's button pressed as its event (a game window over the menu takes the real clicks).
  void Press(const char* button) {
    base::Variant event;
    event.set_element("ButtonPressed");
    event.attribute("ctrl_label")->set_string(button);
    quillane::cl_EditorMenu menu;
    m_frame->GetSystemGUI()->AddChild(&menu);
    menu.ProcessEvent(event);
    m_frame->GetSystemGUI()->RemoveChild(&menu);
  }
};

TEST_F(EditorMenu, ARightClickOpensItWhereClickedInViewAndAPressOutsideClosesIt) {
  Mouse(base::ICMD::RIGHT_DOWN, 300, 200);
  Step();
  const base::cl_Window* menu = Window("TestMenu");
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu->m_AbsRect.left, 300.0f);
  EXPECT_EQ(menu->m_AbsRect.top, 200.0f);
  Mouse(base::ICMD::LEFT_DOWN, 900, 100);
  Step();
  EXPECT_EQ(Window("TestMenu"), nullptr);
  // Near the corner it opens up and to the left, whole.
  Mouse(base::ICMD::RIGHT_DOWN, 1010, 760);
  Step();
  menu = Window("TestMenu");
  ASSERT_NE(menu, nullptr);
  EXPECT_LE(menu->m_AbsRect.right, 1024.0f);
  EXPECT_LE(menu->m_AbsRect.bottom, 768.0f);
  EXPECT_GT(menu->m_AbsRect.left, 700.0f);
}

TEST_F(EditorMenu, ManagerOpensTheSceneManagerAndASecondPressClosesIt) {
  ASSERT_TRUE(Menu("Manager"));
  Step();
  EXPECT_NE(TopLevel("Scene Manager"), nullptr);
  EXPECT_EQ(Window("TestMenu"), nullptr) << "the button closed the menu";
  ASSERT_TRUE(Menu("Manager", 600, 300));
  Step();
  EXPECT_EQ(TopLevel("Scene Manager"), nullptr);
}

// "Scene editor" before a scene is open opens nothing and says where a scene is opened.
TEST_F(EditorMenu, TheSceneEditorWithoutAnOpenSceneSaysHowToOpenOne) {
  ASSERT_TRUE(Menu("Editor"));
  Step();
  EXPECT_EQ(TopLevel(quillane::cl_SceneEditorPanel::kLabel), nullptr);
  EXPECT_EQ(quillane::GetEditorStatus().text, "No scene is open: open one with \"Edit\" in the scene manager");
  EXPECT_TRUE(quillane::GetEditorStatus().failure);
}

// The Sabotage game's window carries its own label "SabotageGame": the button closes it too.
TEST_F(EditorMenu, GamesAreCompiledWhenMissingOpenedAsWindowsAndClosedByTheirButtons) {
  struct st_Game {
    const char *button, *folder, *window;
  };
  for (const st_Game& g :
       {st_Game{"Decoder", "decoder", "DecoderGame"}, st_Game{"Sabotage", "sabotage", "SabotageGame"}}) {
    const std::string folder = std::string("gui/minigames/") + g.folder;
    CopyFromData(folder);
    fs::remove(m_data / (folder + ".dat"));
    ASSERT_TRUE(Menu(g.button)) << g.button;
    Step();
    EXPECT_TRUE(fs::exists(m_data / (folder + ".dat"))) << g.button;
    ASSERT_NE(TopLevel(g.window), nullptr) << g.button << "\n" << Log();
    Mouse(base::ICMD::MOUSE_MOVE, 500, 300);
    Step();
    Press(g.button);
    Step();
    EXPECT_EQ(TopLevel(g.window), nullptr) << g.button;
  }
}

// A launcher finds its game's data file in the registry by the game's name: a name that is no
// registered game would silently leave the file unbuilt.
TEST(EditorLaunchers, EveryGameThatNeedsDataNamesARegisteredGame) {
  for (const char* button : {"Book", "Wiretap", "TrainTravel", "Dance", "Decoder", "Sabotage"}) {
    const quillane::st_GameLauncher* launcher = quillane::FindGameLauncher(button);
    ASSERT_NE(launcher, nullptr) << button;
    if (launcher->compilesData) {
      EXPECT_NE(quillane::GameDataFile(launcher->name), nullptr) << button;
    }
  }
  EXPECT_STREQ(quillane::GameDataFile("FloorLights"), "gui/minigames/FloorLights.dat");
  EXPECT_EQ(quillane::GameDataFile("Floorlights"), nullptr);
  EXPECT_EQ(quillane::GameDataFile(nullptr), nullptr);
}

TEST_F(EditorMenu, TheStringFileTestReadsBackTwentyBytesAndLeavesNoFile) {
  ASSERT_TRUE(Menu("VideoPlayer"));
  EXPECT_NE(Log().find("Editor: string file test: 20 bytes of test.txt read back"), std::string::npos);
  EXPECT_FALSE(fs::exists(m_data / "test.txt"));
  fs::create_directories(m_data / "blocked");
  EXPECT_EQ(quillane::cl_EditorMenu::RunStringFileTest("blocked"), -1) << "a folder cannot be written";
}

// "Export all characters" shows its outcome: how many are ready, or the error it met.
TEST_F(EditorMenu, ExportAllCharactersShowsHowManyAreReadyOrTheErrorItMet) {
  quillane::cl_ActorRegistry* actors = quillane::GetActorRegistry();
  ASSERT_NE(actors, nullptr);
  ASSERT_EQ(actors->GetActors().size(), 0u) << "no actor list in the working folder";
  Press("ExportAllCharacters");
  EXPECT_EQ(quillane::GetEditorStatus().text, "Export all characters: 0 ready");
  EXPECT_FALSE(quillane::GetEditorStatus().failure);
  fs::create_directories(m_data / "characters");
  std::ofstream(m_data / quillane::kCharacterListFile)
      << "<Characters><Character label=\"ghost\"><Mesh file=\"characters/ghost/ghost_mesh.xml\"/>"
         "<Skeleton file=\"characters/ghost/ghost_skeleton.xml\"/></Character></Characters>\n";
  ASSERT_TRUE(actors->LoadActorList(quillane::kCharacterListFile));
  Press("ExportAllCharacters");
  const std::string shown = quillane::GetEditorStatus().text;
  EXPECT_TRUE(quillane::GetEditorStatus().failure) << shown;
  EXPECT_TRUE(shown.starts_with("Export all characters: 1 ready, with errors (")) << shown;
  EXPECT_NE(shown.find("ghost"), std::string::npos) << shown;
}

TEST_F(EditorMenu, ExitEndsTheProgram) {
  EXPECT_FALSE(m_system->GetQuit());
  ASSERT_TRUE(Menu("Exit"));
  EXPECT_TRUE(m_system->GetQuit());
}

// ---- the pile-grid tool

TEST(PileGrid, ASpanReplacesItsRunAndKeepsTheMaterialAbove) {
  cl_Pile pile;
  pile.spans = {{0.0f, 1}, {10.0f, 0}};
  pile.AddSpan(2.0f, 5.0f, 3);
  EXPECT_EQ(pile.spans, (std::map<float, int32_t>{{0.0f, 1}, {2.0f, 3}, {5.0f, 1}, {10.0f, 0}}));
  EXPECT_TRUE(pile.dirty);
  pile.AddSpan(1.0f, 12.0f, 2);  // over two runs and past the top
  EXPECT_EQ(pile.spans, (std::map<float, int32_t>{{0.0f, 1}, {1.0f, 2}, {12.0f, 0}}));
}

TEST_F(EditorMenu, ThePileGridClosesTheSceneTakesOnlyItsDragsAndClosesOnEscape) {
  ASSERT_NE(Open("Office"), nullptr);
  ASSERT_TRUE(Menu("HeileWelt"));
  EXPECT_EQ(quillane::cl_Editor::GetEditedScene(), nullptr);
  auto* tool = dynamic_cast<cl_HeileWelt*>(m_frame->GetSystemGUI()->m_Children.back());
  ASSERT_NE(tool, nullptr);

  // The world: noise terrain of material 1 where it rises above 0, and the blue column.
  const quillane::st_PileWorld& world = tool->GetWorld();
  int bare = 0;  // piles the noise leaves without terrain
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      const cl_Pile& pile = world.piles.at(x, y);
      ASSERT_EQ(pile.x, x);
      ASSERT_EQ(pile.owner, &world);
      const float h = base::NoiseGenerator::perlin(0.1f * x, 0.1f * y) * 8.0f + 4.0f;
      if (x == 32 && y == 32) continue;
      if (h <= 0.0f) {
        EXPECT_TRUE(pile.spans.empty());
        ++bare;
      } else {
        EXPECT_EQ(pile.spans, (std::map<float, int32_t>{{0.0f, 1}, {h + 1.0f, 0}})) << x << "," << y;
      }
    }
  const cl_Pile& centre = world.piles.at(32, 32);
  EXPECT_EQ(centre.spans.at(6.0f), 2);
  EXPECT_EQ(centre.spans.at(30.0f), centre.spans.rbegin()->first > 30.0f ? 1 : 0);
  EXPECT_EQ(world.palette[2].b, 200);
  EXPECT_EQ(world.palette[1].r, 200);

  // Drags with the left button, by the pointer's way: Ctrl sets the distance within 140 .. 800,
  // else the camera turns. The relative words the commands carry are not counted.
  Mouse(base::ICMD::LEFT_DOWN, 500, 900);
  Mouse(base::ICMD::MOUSE_MOVE, 500, 100, 0, 3000, kCtrl);
  EXPECT_EQ(tool->GetCameraDistance(), cl_HeileWelt::kMaxDistance);
  Mouse(base::ICMD::MOUSE_MOVE, 500, 900, 0, -3000, kCtrl);
  EXPECT_EQ(tool->GetCameraDistance(), cl_HeileWelt::kMinDistance);
  Mouse(base::ICMD::LEFT_UP, 500, 900);
  for (int drag = 0; drag < 4; ++drag) {  // the pointer goes back with the button up: no turn
    Mouse(base::ICMD::MOUSE_MOVE, 100, 300, 0, 0);
    Mouse(base::ICMD::LEFT_DOWN, 100, 300);
    Mouse(base::ICMD::MOUSE_MOVE, 1100, 300, 2000, 0);
    Mouse(base::ICMD::LEFT_UP, 1100, 300);
  }
  EXPECT_NEAR(tool->GetCameraYaw(), 4.0f - 2.0f * std::numbers::pi_v<float>, 1e-4f) << "wrapped into -pi .. pi";
  // The mouse at x = 1280 turns the second locator by pi.
  Mouse(base::ICMD::MOUSE_MOVE, 1280, 512);
  Step();
  EXPECT_NEAR(tool->GetYaw(), std::numbers::pi_v<float>, 1e-5f);
  EXPECT_EQ(tool->GetRoll(), 0.0f) << "the right button is up";

  // Keys it does not use go on (F1 leaves the editor); Escape closes it.
  Key('Q');
  EXPECT_TRUE(m_frame->GetSystemGUI()->IsChild(tool));
  Key(base::key::Escape);
  Step();
  EXPECT_FALSE(m_frame->GetSystemGUI()->IsChild(tool));
  RecordProperty("bare_piles", bare);
}

TEST_F(EditorMenu, ThePileGridLetsF1Through) {
  ASSERT_TRUE(Menu("HeileWelt"));
  Key(base::key::F1);
  EXPECT_EQ(StateName(), "RootMenu");
}

}  // namespace
}  // namespace editortest
