// The train-travel and dance level editors opened from the editor menu and driven by input
// through the system GUI: a board made by right-click menus and Ctrl-drags, saved and compared
// with a stored file, read back and saved again unchanged, its limits and the references that
// follow a removed station, a play-test on the edited board; a dance recorded by key taps,
// written through the side panel and read back by the game.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "../support/DemoResources.h"
#include "../support/GoldenImage.h"
#include "base/app/KeyCode.h"
#include "base/data/Variant.h"
#include "base/data/Xml.h"
#include "base/math/Random.h"
#include "editor_fixture.h"
#include "graphics/draw/Draw.h"
#include "quillane/editor/EditorMenu.h"
#include "quillane/editor/EditorStatus.h"
#include "quillane/editor/levels/DanceEditor.h"
#include "quillane/editor/levels/TrainTravelEditor.h"
#include "quillane/frame/GameFrame.h"
#include "quillane/scene/Scene.h"
#include "quillane/scene/SceneElements.h"
#include "quillane/settings/TweakSettings.h"
#include "win32dx9/SystemGUI/SystemGUI.h"

namespace editortest {
namespace {

namespace fs = std::filesystem;
using quillane::cl_DanceMinigame;
using quillane::cl_DanceMinigameEditor;
using quillane::cl_TrainTravelEditor;
using quillane::st_TrainNode;

constexpr const char* kLevels = "gui/minigames/traintravel/";

std::string S(const base::String& text) { return text.c_str(); }

std::string Slurp(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class TrainEditorTest : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    if (!fs::exists(fs::path(QUILLANE_DATA_DIR) / kLevels / "node.tga"))
      GTEST_SKIP() << "no generated train-travel pictures (run demogen)";
    CopyFromData("gui/minigames/traintravel");
    // The board's own font, as the program's whole resource list has it: the play-test's texts
    // are compared with the game's.
    ASSERT_GT(testsupport::LoadDemoResources(QUILLANE_DATA_DIR, m_data, {kLevels}, {"train_travel"},
                                             "train_resources.xml"),
              0);
    ASSERT_TRUE(Menu("TrainTravel"));
    Step();
    m_train = dynamic_cast<cl_TrainTravelEditor*>(Window("TrainTravelGame"));
    ASSERT_NE(m_train, nullptr) << Log();
  }

  // A right-click at (x, y) and the popup's button pressed.
  void Popup(int x, int y, const char* button) {
    Mouse(base::ICMD::MOUSE_MOVE, x, y);
    Mouse(base::ICMD::RIGHT_DOWN, x, y);
    Mouse(base::ICMD::RIGHT_UP, x, y);
    Step();
    ASSERT_TRUE(Click(button)) << button;
    Step();
  }
  // The name dialog answered with text.
  void Answer(const char* text) {
    base::cl_Window* field = Window("Label");
    ASSERT_NE(field, nullptr);
    field->m_Value.set_string(text);
    ASSERT_TRUE(Click("Ok"));
    Step();
  }
  // A station added at (x, y) and named; its centre is (x + half, y + half).
  void Station(int x, int y, const char* name) {
    Popup(x, y, "AddNode");
    Popup(x + Half(), y + Half(), "SetName");
    Answer(name);
  }
  // The icon size is known once the first station is added.
  static int Size() { return cl_TrainTravelEditor::GetNodeSize(); }
  static int Half() { return Size() / 2; }
  void CtrlDrag(int x0, int y0, int x1, int y1) {
    Key(base::key::LeftCtrl);
    Mouse(base::ICMD::LEFT_DOWN, x0, y0);
    Mouse(base::ICMD::MOUSE_MOVE, x1, y1);
    Mouse(base::ICMD::LEFT_UP, x1, y1);
    Key(base::key::LeftCtrl, 0, false);
    Step();
  }
  // A menu command sent straight to the editor (for boards too large to click together); a
  // station command is preceded by the right-click that selects the station.
  bool Command(const char* label, float x = 0.0f, float y = 0.0f) {
    base::ICMD move;
    move.type = base::ICMD::MOUSE_MOVE;
    move.mouseX = static_cast<uint16_t>(x);
    move.mouseY = static_cast<uint16_t>(y);
    m_train->HandleInput(move);
    const std::string command = label;
    if (command.starts_with("Set") || command == "RemoveNode" || command == "NodeSettings") {
      base::ICMD right = move;
      right.type = base::ICMD::RIGHT_DOWN;
      m_train->HandleInput(right);
      CloseModal();
    }
    base::Variant event;
    event.set_element("ButtonPressed");
    event.attribute("ctrl_label")->set_string(label);
    return m_train->HandleMenuEvent(&event, nullptr);
  }
  void CloseModal() {
    if (base::cl_Window* menu = Window("TrainTravelContextMenu")) menu->GetParent()->Close();
    if (base::cl_Window* menu = Window("TrainTravelContextMenuNode")) menu->GetParent()->Close();
    Step(0.0f);
  }
  bool SelectFile(const char* file, const char* category) {
    base::Variant event;
    event.set_element("SelectXML");
    event.attribute("file")->set_string(file);
    event.attribute("category")->set_string(category);
    return m_train->ProcessEvent(event);
  }
  const st_TrainNode& Node(int i) { return m_train->GetNode(i); }
  // The fixture's editor, opened before any scene, closed; the Office opened in the scene editor
  // and the train editor opened again over it from the menu.
  void ReopenOverTheOffice() {
    m_train->Close();
    Step();
    ASSERT_NE(Open("Office"), nullptr);
    ASSERT_TRUE(Menu("Editor"));
    Step();
    ASSERT_TRUE(Menu("TrainTravel", 900, 200));
    Step();
    m_train = dynamic_cast<cl_TrainTravelEditor*>(Window("TrainTravelGame"));
    ASSERT_NE(m_train, nullptr);
  }
  // The pixels of the last frame inside [x0, x1) x [y0, y1) that are not black.
  int Lit(int x0, int y0, int x1, int y1) const {
    int lit = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) lit += Pixel(x, y) != 0 ? 1 : 0;
    return lit;
  }
  // The pixels inside [x0, x1) x [y0, y1) where frames a and b differ by more than a little.
  static int Differ(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, int x0, int y0, int x1, int y1) {
    int differ = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) {
        const size_t i = static_cast<size_t>(y) * kWidth + x;
        differ += testsupport::RgbNear(a[i], b[i], 8) ? 0 : 1;
      }
    return differ;
  }
  // The same over the editing area, above the status lines.
  static int BoardDiffer(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    return Differ(a, b, 0, 0, kWidth, static_cast<int>(cl_TrainTravelEditor::kBoardHeight));
  }

  cl_TrainTravelEditor* m_train = nullptr;
};

// Four stations by right-click menus, tracks by Ctrl-drags, origin and destination, saved as t1
// and compared with the stored file; the link rules; a refused name; a write-protected target.
TEST_F(TrainEditorTest, ABoardMadeByMouseAndMenusIsSavedAsTheStoredFile) {
  Popup(200, 300, "AddNode");
  ASSERT_GT(Size(), 0);
  Popup(200 + Half(), 300 + Half(), "SetName");
  Answer("A");
  Station(400, 300, "B");
  Station(600, 300, "C");
  Station(400, 480, "D");
  ASSERT_EQ(m_train->GetNodeCount(), 4);
  const int h = Half();
  CtrlDrag(200 + h, 300 + h, 400 + h, 300 + h);  // A-B
  CtrlDrag(400 + h, 300 + h, 600 + h, 300 + h);  // B-C
  CtrlDrag(400 + h, 480 + h, 400 + h, 300 + h);  // D-B
  CtrlDrag(200 + h, 300 + h, 600 + h, 300 + h);  // A-C, then again: gone both ways
  EXPECT_TRUE(Node(0).HasLink(2) && Node(2).HasLink(0));
  CtrlDrag(600 + h, 300 + h, 200 + h, 300 + h);
  EXPECT_FALSE(Node(0).HasLink(2) || Node(2).HasLink(0));
  CtrlDrag(200 + h, 300 + h, 200 + h + 2, 300 + h + 2);  // onto itself: nothing
  EXPECT_EQ(Node(0).m_LinkCount, 1);

  Popup(200 + h, 300 + h, "SetOrigin");
  const int exit = m_train->FindNodeByName("Exit");
  ASSERT_EQ(exit, 4);
  EXPECT_TRUE(Node(exit).HasFlags(st_TrainNode::ExitNode));
  EXPECT_EQ(Node(exit).m_X, 200.0f - Size() - 40.0f);
  EXPECT_TRUE(Node(exit).HasLink(0) && Node(0).HasLink(exit));
  CtrlDrag(400 + h, 300 + h, static_cast<int>(Node(exit).m_X) + h, static_cast<int>(Node(exit).m_Y) + h);
  EXPECT_FALSE(Node(1).HasLink(exit));  // the exit is joined to the origin only
  Popup(600 + h, 300 + h, "SetDestination");
  EXPECT_EQ(m_train->GetDestinationNode(), 2);
  Key(base::key::PageUp);
  Key(base::key::PageUp);
  Step();

  Popup(800, 600, "SaveAs");
  Answer("t1");
  EXPECT_EQ(Slurp(m_data / kLevels / "t1.xml"), Slurp(fs::path(QUILLANE_TEST_DIR) / "golden/t1.xml"));
  // No error, and the save is seen done until the next change.
  const std::string saved = std::string("Nodes: 5; saved ") + kLevels + "t1.xml ---------------------------";
  EXPECT_NE(S(m_train->GetEditorInfo()).find(saved), std::string::npos) << m_train->GetEditorInfo().c_str();
  EXPECT_TRUE(S(m_train->GetEditorInfo()).ends_with("Errors: ")) << m_train->GetEditorInfo().c_str();
  Key(base::key::PageUp);
  EXPECT_EQ(S(m_train->GetEditorInfo()).find("saved"), std::string::npos) << m_train->GetEditorInfo().c_str();

  // Names that leave the folder or name none are refused; the name level.XML gets its ".xml".
  for (const char* name : {"../t2", ".", ".."}) {
    Popup(800, 600, "SaveAs");
    Answer(name);
    EXPECT_NE(S(m_train->GetMessage()).find("refused"), std::string::npos) << name;
  }
  EXPECT_FALSE(fs::exists(m_data / "gui/minigames/t2.xml"));
  EXPECT_FALSE(fs::exists(m_data / kLevels / "..xml"));
  EXPECT_FALSE(fs::exists(m_data / kLevels / "...xml"));
  Popup(800, 600, "SaveAs");
  Answer("level.XML");
  EXPECT_TRUE(fs::exists(m_data / kLevels / "level.XML.xml"));

  // A write-protected target is reported and left as it was.
  const fs::path t1 = m_data / kLevels / "t1.xml";
  const std::string before = Slurp(t1);
  fs::permissions(t1, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  Key(base::key::PageUp);
  EXPECT_FALSE(SelectFile("t1.xml", "MinigameSaveXML") && m_train->GetMessage().empty());
  EXPECT_NE(S(m_train->GetMessage()).find("t1.xml"), std::string::npos);
  EXPECT_EQ(Slurp(t1), before);
  fs::permissions(t1, fs::perms::owner_write, fs::perm_options::add);

  // A failed save under a new name (a folder stands in its place; root writes through read-only
  // folders): "Filename:" keeps the name on disk, the message names the file and the cause.
  fs::create_directories(m_data / kLevels / "t3.xml");
  Popup(800, 600, "SaveAs");
  Answer("t3");
  const std::string info = S(m_train->GetEditorInfo());
  EXPECT_EQ(info.find("Filename: gui/minigames/traintravel/t3.xml"), std::string::npos) << info;
  EXPECT_NE(info.find("t3.xml"), std::string::npos) << "the message names the file: " << info;
  EXPECT_TRUE(fs::is_directory(m_data / kLevels / "t3.xml"));
}

// Removing a station renumbers the rest and every reference follows; a removed one becomes -1
// and every link to it goes, one-way ones too. "Clear" drops all references.
TEST_F(TrainEditorTest, RemovingAStationRemapsEveryReferenceAndClearDropsThem) {
  for (int i = 0; i < 5; ++i) Command("AddNode", 100.0f + 150.0f * i, 200.0f);
  const float h = static_cast<float>(Half());
  ASSERT_GT(h, 0.0f);
  auto at = [&](int i) { return 100.0f + 150.0f * i + h; };
  EXPECT_TRUE(Command("SetOrigin", at(4), 200.0f + h));  // adds "Exit" as 5
  EXPECT_TRUE(Command("SetDestination", at(3), 200.0f + h));
  Command("SetAgentNode", at(2), 200.0f + h);
  Command("SetAgentNode", at(1), 200.0f + h);
  Command("SetAgentNode", at(3), 200.0f + h);
  m_train->GetNode(0).AddLink(2);  // one way, into the station to be removed
  m_train->GetNode(3).AddLink(4);
  m_train->GetNode(4).AddLink(3);
  ASSERT_EQ(m_train->GetNodeCount(), 6);
  Command("RemoveNode", at(2), 200.0f + h);
  EXPECT_EQ(m_train->GetNodeCount(), 5);
  EXPECT_EQ(m_train->GetOriginNode(), 3);
  EXPECT_EQ(m_train->GetDestinationNode(), 2);
  EXPECT_EQ(m_train->GetPlayerNode(), 3);
  ASSERT_EQ(m_train->GetAgentCount(), 2);
  EXPECT_EQ(m_train->GetAgentNode(0), 1);
  EXPECT_EQ(m_train->GetAgentNode(1), 2);
  EXPECT_EQ(m_train->GetEditorAgentCount(), 2);
  EXPECT_EQ(m_train->GetEditorAgentNode(1), 2);
  EXPECT_EQ(m_train->GetSelectedNode(), -1);
  EXPECT_EQ(m_train->FindNodeByName("Exit"), 4);
  for (int i = 0; i < m_train->GetNodeCount(); ++i) {
    EXPECT_EQ(Node(i).m_Id, i);
    for (int l = 0; l < Node(i).m_LinkCount; ++l) {
      const int other = Node(i).m_Links[l];
      ASSERT_TRUE(other >= 0 && other < 5) << i;
      EXPECT_TRUE(Node(other).HasLink(i)) << i << "->" << other;
    }
  }
  EXPECT_TRUE(Node(2).HasLink(3) && Node(3).HasLink(2));
  EXPECT_EQ(Node(0).m_LinkCount, 0);
  // "SetOrigin" on the origin removes it and its exit.
  Command("SetOrigin", Node(3).m_X + h, Node(3).m_Y + h);
  EXPECT_EQ(m_train->GetOriginNode(), -1);
  EXPECT_EQ(m_train->FindNodeByName("Exit"), -1);
  EXPECT_EQ(m_train->GetNodeCount(), 4);

  Command("Clear", 900.0f, 600.0f);
  EXPECT_EQ(m_train->GetNodeCount(), 0);
  EXPECT_EQ(m_train->GetDestinationNode(), -1);
  EXPECT_EQ(m_train->GetPlayerNode(), -1);
  EXPECT_EQ(m_train->GetAgentCount(), 0);
  EXPECT_EQ(m_train->GetEditorAgentCount(), 0);
  const int next = cl_TrainTravelEditor::GetNewNodeCounter();
  Command("AddNode", 300.0f, 300.0f);
  EXPECT_EQ(std::string(Node(0).m_Name.c_str()), "New_" + std::to_string(next));
}

// The 51st station, the 11th track of a station and the 6th agent are refused with a line.
TEST_F(TrainEditorTest, TheBoardsLimitsAreRefusedWithAMessage) {
  for (int i = 0; i < 50; ++i) Command("AddNode", 20.0f + 19.0f * (i % 10) * 5, 20.0f + 110.0f * (i / 10));
  ASSERT_EQ(m_train->GetNodeCount(), 50);
  Command("AddNode", 900.0f, 600.0f);
  EXPECT_EQ(m_train->GetNodeCount(), 50);
  EXPECT_NE(S(m_train->GetMessage()).find("50 stations"), std::string::npos);
  const float h = static_cast<float>(Half());
  auto centre = [&](int i) { return std::pair(Node(i).m_X + h, Node(i).m_Y + h); };
  auto drag = [&](int a, int b) {
    base::ICMD cmd;
    auto send = [&](int type, std::pair<float, float> p) {
      cmd.type = static_cast<uint8_t>(type);
      cmd.mouseX = static_cast<uint16_t>(p.first);
      cmd.mouseY = static_cast<uint16_t>(p.second);
      m_train->HandleInput(cmd);
    };
    cmd.key = base::key::LeftCtrl;
    send(base::ICMD::KEY_PRESSED, centre(a));
    send(base::ICMD::LEFT_DOWN, centre(a));
    send(base::ICMD::LEFT_UP, centre(b));
    send(base::ICMD::KEY_RELEASED, centre(b));
  };
  for (int i = 1; i <= 11; ++i) drag(0, i);
  EXPECT_EQ(Node(0).m_LinkCount, 10);
  EXPECT_FALSE(Node(11).HasLink(0));
  EXPECT_NE(S(m_train->GetMessage()).find("10 tracks"), std::string::npos);
  for (int i = 20; i < 26; ++i) Command("SetAgentNode", centre(i).first, centre(i).second);
  EXPECT_EQ(m_train->GetAgentCount(), 5);
  EXPECT_NE(S(m_train->GetMessage()).find("5 agents"), std::string::npos);
  int agents = 0;
  m_train->GetMissionElement().get_attribute_int("NumOfAgents", agents);
  EXPECT_EQ(agents, 5);
}

// Random boards written by the editor read back and write again byte for byte.
TEST_F(TrainEditorTest, LoadThenSaveIsByteIdenticalOnRandomBoards) {
  base::RandSeed(68);
  for (int board = 0; board < 500; ++board) {
    Command("Clear");
    const int count = 2 + base::Random(20);
    for (int i = 0; i < count; ++i)
      Command("AddNode", static_cast<float>(base::Random(1000)), static_cast<float>(base::Random(600)));
    const int n = m_train->GetNodeCount();
    for (int k = 0; k < n; ++k) {
      const int a = base::Random(n), b = base::Random(n);
      if (a != b && !Node(a).HasLink(b) && Node(a).m_LinkCount < 10 && Node(b).m_LinkCount < 10) {
        m_train->GetNode(a).AddLink(b);
        m_train->GetNode(b).AddLink(a);
      }
      // One origin and one destination at most, as the editor keeps them.
      if (base::Random(4) == 0) m_train->GetNode(k).SetFlags(4u << base::Random(6));
    }
    m_train->SetDestinationNode(base::Random(n));
    ASSERT_TRUE(SelectFile("r1.xml", "MinigameSaveXML"));
    ASSERT_TRUE(SelectFile("r1.xml", "MinigameLoadXML"));
    ASSERT_TRUE(SelectFile("r2.xml", "MinigameSaveXML"));
    ASSERT_EQ(Slurp(m_data / kLevels / "r1.xml"), Slurp(m_data / kLevels / "r2.xml")) << board;
  }
}

// "PlayQuick" plays __tmp.xml with the editor's player station and agents and is won by clicks;
// "Stop" rebuilds the edited board without random closures; "Reset" restarts the play-test.
TEST_F(TrainEditorTest, APlayTestRunsTheEditedBoardAndStopRestoresIt) {
  for (int i = 0; i < 3; ++i) Command("AddNode", 200.0f + 200.0f * i, 300.0f);
  Command("AddNode", 400.0f, 500.0f);  // an island for the agent
  const float h = static_cast<float>(Half());
  m_train->GetNode(0).AddLink(1), m_train->GetNode(1).AddLink(0);
  m_train->GetNode(1).AddLink(2), m_train->GetNode(2).AddLink(1);
  Command("SetOrigin", 200.0f + h, 300.0f + h);
  Command("SetDestination", 600.0f + h, 300.0f + h);
  Command("SetAgentNode", 400.0f + h, 500.0f + h);
  Command("SavePlayOptions");  // without its panel: nothing
  Popup(900, 650, "PlayQuick");
  ASSERT_TRUE(m_train->IsPlaying()) << m_train->GetMessage().c_str();
  EXPECT_TRUE(fs::exists(m_data / kLevels / "__tmp.xml"));
  EXPECT_EQ(m_train->GetPlayerNode(), 0);
  ASSERT_EQ(m_train->GetAgentCount(), 1);
  EXPECT_EQ(m_train->GetAgentNode(0), 3);
  // By name, as the play driver finds them; the new-station counter runs on across editors.
  for (int node : {1, 2}) {
    const std::string station = "station " + S(m_train->GetNode(node).m_Name);
    float x = 0, y = 0;
    for (int i = 0; i < 50 && !m_train->IsPlayCondition("idle"); ++i) Step();
    ASSERT_TRUE(m_train->GetPlayTarget(station.c_str(), x, y)) << station;
    Mouse(base::ICMD::MOUSE_MOVE, static_cast<int>(x), static_cast<int>(y));
    Mouse(base::ICMD::LEFT_DOWN, static_cast<int>(x), static_cast<int>(y));
    Mouse(base::ICMD::LEFT_UP, static_cast<int>(x), static_cast<int>(y));
    Step();
  }
  for (int i = 0; i < 50 && m_train->GetState() != cl_TrainTravelEditor::Over; ++i) Step();
  EXPECT_EQ(m_train->GetState(), cl_TrainTravelEditor::Over);
  EXPECT_EQ(m_train->GetPlayerNode(), 2);

  Popup(900, 650, "Reset");
  EXPECT_EQ(m_train->GetPlayerNode(), 0);
  EXPECT_NE(m_train->GetState(), cl_TrainTravelEditor::Over);
  Popup(900, 650, "Stop");
  EXPECT_FALSE(m_train->IsPlaying());
  EXPECT_EQ(m_train->GetNodeCount(), 5);
  EXPECT_EQ(m_train->GetPlayerNode(), 0);
  EXPECT_EQ(m_train->GetAgentNode(0), 3);
  for (int i = 0; i < m_train->GetNodeCount(); ++i) EXPECT_FALSE(Node(i).HasFlags(st_TrainNode::OutOfOrder)) << i;
  EXPECT_EQ(m_train->GetGraphFile().size(), 0);
}

// The play-test draws the game's own board: the demo level with its scenario against the game's
// stored picture; and a board without a background, whose pictures the editor's flat marker
// colour once painted over, shows each station as the editing view does.
TEST_F(TrainEditorTest, APlayTestDrawsTheBoardAsTheGameDoes) {
  ASSERT_TRUE(SelectFile("demo.xml", "MinigameLoadXML"));
  ASSERT_TRUE(SelectFile("demo_0.scr", "MinigameLoadXML"));
  Popup(900, 700, "PlayQuick");
  ASSERT_TRUE(m_train->IsPlaying()) << m_train->GetMessage().c_str();
  Mouse(base::ICMD::MOUSE_MOVE, 1000, 700);
  for (int i = 0; i < 300 && m_train->IsAnimating(); ++i) Step();
  Step();
  EXPECT_TRUE(testsupport::MatchesGoldenPng(QUILLANE_TEST_DIR "/../minigames/golden/traintravel_demo.png",
                                            testsupport::Shrink(m_pixels, kWidth, kHeight), kWidth / 4, kHeight / 4));
  // Closer than the picture's tolerance: the first try, as the game counts it, and the black band
  // above the board with none of the editor's scene texts over it.
  EXPECT_EQ(m_train->GetTries(), 0);
  int lit = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < kWidth; ++x) lit += Pixel(x, y) == 0 ? 0 : 1;
  EXPECT_EQ(lit, 0);
  // The scene editor's last outcome is not drawn over the play-test's texts ("make your move").
  bool shown = false;
  EXPECT_EQ(TextsUnderTheStatusLine("Scenes/Office.dat: the scene could not be compiled", &shown),
            std::vector<std::string>{});
  quillane::ClearEditorStatus();
  Popup(900, 700, "Stop");

  std::string level = Slurp(m_data / kLevels / "demo.xml");
  const size_t from = level.find("<BackgroundImage");
  ASSERT_NE(from, std::string::npos);
  level.erase(from, level.find("/>", from) + 2 - from);
  std::ofstream(m_data / kLevels / "plain.xml") << level;
  ASSERT_TRUE(SelectFile("plain.xml", "MinigameLoadXML"));
  const st_TrainNode& plain = Node(1);  // "B": no role, no figure
  ASSERT_EQ(plain.m_Flags, 0u);
  const int x0 = static_cast<int>(plain.m_X), y0 = static_cast<int>(plain.m_Y);
  auto station = [&] {
    std::vector<uint32_t> square;
    for (int y = y0; y < y0 + Size(); ++y)
      for (int x = x0; x < x0 + Size(); ++x) square.push_back(Pixel(x, y));
    return square;
  };
  Mouse(base::ICMD::MOUSE_MOVE, 1000, 700);
  Step();
  const std::vector<uint32_t> editing = station();
  Popup(900, 700, "PlayQuick");
  ASSERT_TRUE(m_train->IsPlaying());
  Mouse(base::ICMD::MOUSE_MOVE, 1000, 700);
  for (int i = 0; i < 300 && m_train->IsAnimating(); ++i) Step();
  Step();
  const std::vector<uint32_t> playing = station();
  int off = 0;
  for (size_t i = 0; i < editing.size(); ++i) off += testsupport::RgbNear(playing[i], editing[i], 24) ? 0 : 1;
  EXPECT_LE(off * 50, static_cast<int>(editing.size())) << off << " of " << editing.size() << " pixels differ";
}

// A board built from nothing by right-click menus and a Ctrl-drag is drawn at every step, with no
// scene open and over the Office: each station in its square before any track (the board stayed
// black until the first one), then the track between them; a station added later leaves every
// track's curve as it was. The steps against reviewed pictures, and over the scene as without.
TEST_F(TrainEditorTest, EveryStepOfABoardBuiltFromNothingIsDrawn) {
  constexpr int kAx = 200, kAy = 300, kBx = 600, kBy = 200, kCx = 800, kCy = 450, kDx = 150, kDy = 520;
  const char* goldens[] = {"train_board_station.png", "train_board_stations.png", "train_board_track.png"};
  std::vector<std::vector<uint32_t>> alone;  // the steps with no scene open
  for (const bool overScene : {false, true}) {
    SCOPED_TRACE(overScene ? "over the Office" : "no scene open");
    if (overScene) {
      ASSERT_NO_FATAL_FAILURE(ReopenOverTheOffice());
    }
    std::vector<std::vector<uint32_t>> steps;
    auto shoot = [&] {
      Mouse(base::ICMD::MOUSE_MOVE, 1000, 700);  // below the board: no station under the pointer
      Step();
      steps.push_back(m_pixels);
    };
    Popup(kAx, kAy, "AddNode");
    shoot();
    const int s = Size();
    ASSERT_GT(s, 0);
    EXPECT_GE(Lit(kAx, kAy, kAx + s, kAy + s) * 4, s * s) << "the first station";
    Popup(kBx, kBy, "AddNode");
    shoot();
    EXPECT_GE(Lit(kBx, kBy, kBx + s, kBy + s) * 4, s * s) << "the second station";
    EXPECT_EQ(Differ(steps[0], steps[1], kAx, kAy, kAx + s, kAy + s), 0) << "the first station as it was";
    CtrlDrag(kAx + Half(), kAy + Half(), kBx + Half(), kBy + Half());
    ASSERT_TRUE(Node(0).HasLink(1));
    shoot();
    EXPECT_GT(BoardDiffer(steps[1], steps[2]) - Differ(steps[1], steps[2], kAx, kAy, kAx + s, kAy + s) -
                  Differ(steps[1], steps[2], kBx, kBy, kBx + s, kBy + s),
              kBx - kAx)
        << "the track";
    // A track from the second station (a track from the first kept its curve even then).
    Popup(kCx, kCy, "AddNode");
    CtrlDrag(kBx + Half(), kBy + Half(), kCx + Half(), kCy + Half());
    shoot();
    Popup(kDx, kDy, "AddNode");
    shoot();
    EXPECT_EQ(BoardDiffer(steps[3], steps[4]), Differ(steps[3], steps[4], kDx, kDy, kDx + s, kDy + s))
        << "a track's curve changed with the fourth station";
    for (size_t i = 0; i < std::size(goldens); ++i) {
      SCOPED_TRACE(goldens[i]);
      if (!overScene)
        EXPECT_TRUE(testsupport::MatchesGoldenPng(std::string(QUILLANE_TEST_DIR "/golden/") + goldens[i],
                                                  testsupport::Shrink(steps[i], kWidth, kHeight), kWidth / 4,
                                                  kHeight / 4));
      else
        EXPECT_EQ(BoardDiffer(alone[i], steps[i]), 0);
    }
    alone = steps;
  }
}

// The click that added a station is told again once its double-click time has passed, at the
// place it was made: the pointer that left meanwhile leaves no station highlighted under it.
TEST_F(TrainEditorTest, AClickToldLateLeavesNoStationHighlighted) {
  Mouse(base::ICMD::MOUSE_MOVE, 200, 300);
  Mouse(base::ICMD::RIGHT_DOWN, 200, 300);
  Mouse(base::ICMD::RIGHT_UP, 200, 300);
  Step();
  // "Add station", pressed where the station will stand.
  Mouse(base::ICMD::MOUSE_MOVE, 220, 310);
  Mouse(base::ICMD::LEFT_DOWN, 220, 310);
  Mouse(base::ICMD::LEFT_UP, 220, 310);
  Mouse(base::ICMD::MOUSE_MOVE, 1000, 700);
  Step(1.0f);
  Step();
  const int s = Size();
  ASSERT_EQ(m_train->GetNodeCount(), 1);
  const std::vector<uint32_t> late = m_pixels;
  Mouse(base::ICMD::MOUSE_MOVE, 1001, 700);
  Step();
  EXPECT_EQ(Differ(late, m_pixels, 200, 300, 200 + s, 300 + s), 0) << "highlighted until the pointer moved again";
}

// The level's background picture shows in the editing view as the play-test shows it (there lower
// by the game's offset): it was drawn in the flat black of the fill before it.
TEST_F(TrainEditorTest, TheEditingViewShowsTheLevelsBackgroundAsThePlayTestDoes) {
  ASSERT_TRUE(SelectFile("demo.xml", "MinigameLoadXML"));
  Mouse(base::ICMD::MOUSE_MOVE, 1000, 700);
  Step();
  const std::vector<uint32_t> editing = m_pixels;
  Popup(900, 700, "PlayQuick");
  ASSERT_TRUE(m_train->IsPlaying()) << m_train->GetMessage().c_str();
  Mouse(base::ICMD::MOUSE_MOVE, 1000, 700);
  for (int i = 0; i < 300 && m_train->IsAnimating(); ++i) Step();
  Step();
  const int offset = static_cast<int>(m_train->GetOffsetY());
  ASSERT_GT(offset, 0);
  // The game's texts, legend and figures stand on a few of the board's pixels.
  int same = 0, total = 0;
  for (int y = 0; y < static_cast<int>(cl_TrainTravelEditor::kBoardHeight) && y + offset < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x, ++total)
      same += testsupport::RgbNear(Pixel(x, y + offset), editing[static_cast<size_t>(y) * kWidth + x], 24) ? 1 : 0;
  EXPECT_GE(same * 10, total * 9) << same << " of " << total << " pixels as in the play-test";
}

// The editor reads the data file its opener hands over: a compiled file in another place gives
// it its pictures and the rail its tracks are drawn with.
TEST_F(TrainEditorTest, TheDataFileHandedOverGivesThePicturesAndTheRail) {
  m_train->Close();
  Step();
  fs::rename(m_data / "gui/minigames/traintravel.dat", m_data / "elsewhere.dat");
  m_train = static_cast<cl_TrainTravelEditor*>(cl_TrainTravelEditor::Create());
  m_train->SetDataFile("elsewhere.dat");
  m_frame->GetSystemGUI()->AddChild(m_train);
  Step();
  Command("AddNode", 200.0f, 300.0f);
  Command("AddNode", 600.0f, 300.0f);
  const int s = Size(), h = Half();
  CtrlDrag(200 + h, 300 + h, 600 + h, 300 + h);
  ASSERT_TRUE(Node(0).HasLink(1));
  Mouse(base::ICMD::MOUSE_MOVE, 1000, 700);
  Step();
  EXPECT_GE(Lit(200, 300, 200 + s, 300 + s) * 4, s * s) << "the station's picture";
  EXPECT_GT(Lit(200 + s, 200, 600, 450), 600 - 200 - s) << "the rail between the stations";
}

// Opened over a scene in the scene editor, the board without a background covers the window:
// neither the scene nor the panel (which no longer takes the clicks) shows through it.
TEST_F(TrainEditorTest, TheBoardCoversTheEditedSceneAndItsPanel) {
  ASSERT_NO_FATAL_FAILURE(ReopenOverTheOffice());
  int shown = 0;
  for (int y = 60; y < 460; ++y)
    for (int x = 20; x < 240; ++x) shown += Pixel(x, y) != 0 ? 1 : 0;
  EXPECT_EQ(shown, 0) << "where the panel stands";
}

// "Close editor" asks before unsaved stations are dropped: No keeps the editor, Yes closes it; a
// board just saved closes at once.
TEST_F(TrainEditorTest, ClosingAsksBeforeDroppingUnsavedWork) {
  Command("AddNode", 300.0f, 300.0f);
  Popup(900, 700, "Exit");
  ASSERT_NE(Window("DialogBox"), nullptr) << "the question";
  ASSERT_TRUE(Click("button1"));
  Step();
  EXPECT_EQ(Window("DialogBox"), nullptr);
  ASSERT_EQ(Window("TrainTravelGame"), m_train) << "No keeps the board";
  EXPECT_EQ(m_train->GetNodeCount(), 1);

  ASSERT_TRUE(SelectFile("kept.xml", "MinigameSaveXML"));
  EXPECT_FALSE(m_train->HasUnsavedChanges());
  Command("AddNode", 500.0f, 300.0f);
  EXPECT_TRUE(m_train->HasUnsavedChanges());
  Popup(900, 700, "Exit");
  ASSERT_TRUE(Click("button0"));
  Step();
  EXPECT_EQ(Window("TrainTravelGame"), nullptr) << "Yes drops the board";

  ASSERT_TRUE(Menu("TrainTravel"));
  Step();
  m_train = dynamic_cast<cl_TrainTravelEditor*>(Window("TrainTravelGame"));
  ASSERT_NE(m_train, nullptr);
  ASSERT_TRUE(SelectFile("kept.xml", "MinigameLoadXML"));
  Popup(900, 700, "Exit");
  EXPECT_EQ(Window("DialogBox"), nullptr) << "nothing to lose: no question";
  Step();
  EXPECT_EQ(Window("TrainTravelGame"), nullptr);
}

// "Quit" in the editor's menu over unsaved stations asks as closing the editor does: Escape is No
// and keeps the program and the board, Yes quits; a saved board quits at once.
TEST_F(TrainEditorTest, QuitOverAnUnsavedBoardAsks) {
  Command("AddNode", 300.0f, 300.0f);
  const auto quit = [this] {
    // The board takes every right click: the menu is opened over it as a right click opens it.
    auto* menu = new quillane::cl_EditorMenu();
    m_frame->GetSystemGUI()->AddChild(menu);
    ASSERT_TRUE(menu->Init(base::StaticVariantIterator()));
    Step();
    ASSERT_TRUE(Click("Exit"));
    Step();
  };
  quit();
  ExpectQuitAskedAndEscapeKeepsRunning();
  ASSERT_EQ(Window("TrainTravelGame"), m_train);
  EXPECT_EQ(m_train->GetNodeCount(), 1);
  quit();
  ASSERT_TRUE(Click("button0"));
  EXPECT_TRUE(m_system->GetQuit()) << "Yes quits";

  m_system->SetQuit(false);
  Step();
  ASSERT_TRUE(SelectFile("kept.xml", "MinigameSaveXML"));
  quit();
  EXPECT_EQ(Window("DialogBox"), nullptr) << "nothing to lose: no question";
  EXPECT_TRUE(m_system->GetQuit());
}

// "Load level" over unsaved stations and "Save as" onto another level ask first: No keeps the
// board and the other level, Yes goes on; the board's own file is saved again without a question.
TEST_F(TrainEditorTest, LoadingOverUnsavedWorkAndSavingOverAnotherLevelAskFirst) {
  Command("AddNode", 300.0f, 300.0f);
  Popup(800, 600, "SaveAs");
  Answer("other");
  ASSERT_EQ(Window("DialogBox"), nullptr) << "a new level: no question";
  const fs::path other = m_data / kLevels / "other.xml";
  const std::string saved = Slurp(other);
  ASSERT_FALSE(saved.empty());

  Command("AddNode", 500.0f, 300.0f);
  Popup(900, 700, "Load");
  ASSERT_NE(Window("DialogBox"), nullptr) << "the question";
  EXPECT_EQ(Window("FileNames"), nullptr);
  ASSERT_TRUE(Click("button1"));
  Step();
  EXPECT_EQ(Window("FileNames"), nullptr) << "No: no level is chosen";
  EXPECT_EQ(m_train->GetNodeCount(), 2);
  Popup(900, 700, "Load");
  ASSERT_TRUE(Click("button0"));
  Step();
  ASSERT_NE(Window("FileNames"), nullptr) << "Yes: the browser";
  ASSERT_TRUE(Click("Cancel"));
  Step();

  Command("Clear");
  Command("AddNode", 100.0f, 100.0f);
  Popup(800, 600, "SaveAs");
  Answer("other");
  ASSERT_NE(Window("DialogBox"), nullptr) << "another board's level";
  ASSERT_TRUE(Click("button1"));
  Step();
  EXPECT_EQ(Slurp(other), saved) << "No keeps it";
  EXPECT_TRUE(m_train->HasUnsavedChanges());
  Popup(800, 600, "SaveAs");
  Answer("other");
  ASSERT_TRUE(Click("button0"));
  Step();
  EXPECT_NE(Slurp(other), saved) << "Yes writes over it";
  EXPECT_FALSE(m_train->HasUnsavedChanges());
  Command("AddNode", 200.0f, 200.0f);
  Popup(800, 600, "SaveAs");
  Answer("other");
  EXPECT_EQ(Window("DialogBox"), nullptr) << "the board's own file";
  EXPECT_FALSE(m_train->HasUnsavedChanges());
}

// Escape, a right click and a press outside close a popup or the play options as a cancel; a
// press inside the play options does not.
TEST_F(TrainEditorTest, PopupsAndThePlayOptionsCloseOnEscapeARightClickAndAPressOutside) {
  Command("AddNode", 300.0f, 300.0f);
  const std::vector<std::pair<const char*, std::function<void()>>> ways = {
      {"Escape", [this] { Key(base::key::Escape); }},
      {"right click", [this] { Mouse(base::ICMD::RIGHT_DOWN, 400, 100), Mouse(base::ICMD::RIGHT_UP, 400, 100); }},
      {"press outside", [this] { Mouse(base::ICMD::LEFT_DOWN, 10, 10), Mouse(base::ICMD::LEFT_UP, 10, 10); }}};
  for (const auto& [name, leave] : ways) {
    SCOPED_TRACE(name);
    Mouse(base::ICMD::MOUSE_MOVE, 800, 500);
    Mouse(base::ICMD::RIGHT_DOWN, 800, 500);
    Mouse(base::ICMD::RIGHT_UP, 800, 500);
    Step();
    ASSERT_NE(Window("TrainTravelContextMenu"), nullptr);
    leave();
    Step();
    EXPECT_EQ(Window("TrainTravelContextMenu"), nullptr);
    EXPECT_TRUE(m_frame->GetSystemGUI()->GetModalWindows().empty());
    EXPECT_EQ(m_train->GetNodeCount(), 1);

    Popup(900, 650, "Play");
    ASSERT_NE(Window("TrainTravelPlayOptions"), nullptr);
    ASSERT_TRUE(PressMiddle(Window("NumOfAgents")));
    Step();
    ASSERT_NE(Window("TrainTravelPlayOptions"), nullptr) << "a press inside";
    leave();
    Step();
    EXPECT_EQ(Window("TrainTravelPlayOptions"), nullptr);
    EXPECT_FALSE(m_train->IsPlaying());
  }
}

// At 1024 x 768 the popup opened at the bottom right corner, the panels and the status lines,
// a long one too, stay inside the window.
TEST_F(TrainEditorTest, MenusAndStatusLinesStayInsideTheWindow) {
  for (int i = 0; i < 12; ++i) Command("AddNode", 60.0f * i, 60.0f);
  ASSERT_TRUE(SelectFile(std::string(120, 'n').append(".xml").c_str(), "MinigameLoadXML"));
  for (const auto& [x, y] : {std::pair{1020, 764}, {1020, 5}, {5, 764}}) {
    SCOPED_TRACE(x + y);
    Mouse(base::ICMD::MOUSE_MOVE, x, y);
    Mouse(base::ICMD::RIGHT_DOWN, x, y);
    Mouse(base::ICMD::RIGHT_UP, x, y);
    Step();
    ASSERT_NE(Window("TrainTravelContextMenu"), nullptr);
    EXPECT_EQ(OutsideTheWindow(), std::vector<std::string>{});
    bool shown = false;
    EXPECT_EQ(TextsUnderTheStatusLine("Scenes/Office.dat: the scene could not be compiled", &shown),
              std::vector<std::string>{});
    quillane::ClearEditorStatus();
    CloseModal();
  }
  // The name dialog of a station low on the board opens whole in the window.
  Popup(600, 380, "AddNode");
  Popup(600 + Half(), 380 + Half(), "SetName");
  ASSERT_NE(Window("Label"), nullptr);
  EXPECT_EQ(OutsideTheWindow(), std::vector<std::string>{});
}

// The station options show the station's role and flags and write them back; the play options
// keep what they were given for the next play-test; a popup closes on any button.
TEST_F(TrainEditorTest, TheOptionPanelsShowAndWriteTheStationAndThePlayOptions) {
  for (int i = 0; i < 3; ++i) Command("AddNode", 200.0f + 200.0f * i, 300.0f);
  const int h = Half();
  m_train->GetNode(0).AddLink(1), m_train->GetNode(1).AddLink(0);
  Command("SetDestination", 400.0f + h, 300.0f + h);
  Popup(400 + h, 300 + h, "NodeSettings");
  ASSERT_NE(Window("TrainTravelNodeOptions"), nullptr);
  EXPECT_EQ(Window("Destination")->m_Value.get_int(), 1);
  EXPECT_EQ(Window("None")->m_Value.get_int(), 0);
  Window("Destination")->m_Value.set_int(0);
  Window("None")->m_Value.set_int(1);
  Window("SetNoAgent")->m_Value.set_int(1);
  Window("NodeName")->m_Value.set_string("Harbour");
  ASSERT_TRUE(Click("SaveNodeSettings"));
  Step();
  EXPECT_EQ(Window("TrainTravelNodeOptions"), nullptr);
  EXPECT_EQ(m_train->GetDestinationNode(), -1);
  EXPECT_TRUE(Node(1).HasFlags(st_TrainNode::NoAgent));
  EXPECT_EQ(std::string(Node(1).m_Name.c_str()), "Harbour");
  // "Origin" chosen on a plain station makes it the origin with its exit beside it.
  Popup(600 + h, 300 + h, "NodeSettings");
  Window("None")->m_Value.set_int(0);
  Window("Origin")->m_Value.set_int(1);
  ASSERT_TRUE(Click("SaveNodeSettings"));
  Step();
  EXPECT_EQ(m_train->GetOriginNode(), 2);
  const int exit = m_train->FindNodeByName("Exit");
  ASSERT_GT(exit, -1);
  EXPECT_TRUE(Node(exit).HasLink(2));

  Popup(900, 650, "Play");
  ASSERT_NE(Window("TrainTravelPlayOptions"), nullptr);
  Window("NumOfAgents")->m_Value.set_string("1");
  Window("NumOfOutOfOrder")->m_Value.set_string("0");
  Window("SetDoubleTurn")->m_Value.set_int(1);
  ASSERT_TRUE(Click("SavePlayOptions"));
  Step();
  EXPECT_EQ(Window("TrainTravelPlayOptions"), nullptr);
  EXPECT_FALSE(m_train->IsPlaying());
  int agents = 0, doubleTurn = 0;
  m_train->GetMissionElement().get_attribute_int("NumOfAgents", agents);
  m_train->GetMissionElement().get_attribute_int("SetDoubleTurn", doubleTurn);
  EXPECT_EQ(agents, 1);
  EXPECT_EQ(doubleTurn, 1);
  Popup(900, 650, "Play");
  EXPECT_EQ(std::string(Window("NumOfAgents")->m_Value.get_string()), "1");
  EXPECT_EQ(Window("SetDoubleTurn")->m_Value.get_int(), 1);
  ASSERT_TRUE(Click("Start"));
  Step();
  EXPECT_TRUE(m_train->IsPlaying());
  EXPECT_TRUE(m_train->IsItemAvailable(cl_TrainTravelEditor::ItemDoubleTurn));
}

// ---- the dance editor

class DanceEditorTest : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    fs::create_directories(m_data / "gui/minigames/dance");
    // The editor opens on the default stage, which the demo makes of the Stage's files.
    CopyFromData("Scenes/Stage");
    CopyFromData("Scenes/ParisTheater");
    ASSERT_TRUE(Menu("Dance"));
    Step();
    m_dance = dynamic_cast<cl_DanceMinigameEditor*>(Window("DanceGame"));
    ASSERT_NE(m_dance, nullptr) << Log();
  }
  void Tap(uint8_t key) {
    Key(key);
    Step(0.0f);
  }
  // Enter, and a tap once a note has had the time to reach its goal.
  void RecordOneTap(uint8_t key = 'Q') {
    Tap(base::key::Enter);
    Step(5.0f);
    Tap(key);
  }
  cl_DanceMinigameEditor* m_dance = nullptr;
};

// Enter, taps at known song positions, F and "ok" with the name rec: rec.xml holds the moves
// with time = position - 3.62 in recording order, and the game reads it back; L and the
// browser's answer play it.
TEST_F(DanceEditorTest, ARecordingIsWrittenThroughTheSidePanelAndPlaysAgain) {
  Tap(base::key::Enter);
  ASSERT_EQ(m_dance->GetState(), cl_DanceMinigame::Recording);
  Step(3.0f);
  Tap('W');  // too early for a note to have set off: nothing, with a word (once)
  Tap('W');
  EXPECT_EQ(m_dance->GetTotalMoves(), 0);
  const std::string early = S(m_dance->GetOverlayText());
  EXPECT_NE(early.find("\nTap not recorded: at this speed a note needs 3.62 s"), std::string::npos) << early;
  EXPECT_EQ(early.find("Tap not recorded"), early.rfind("Tap not recorded")) << early;
  Step(2.0f);
  Tap('Q');
  Step(1.0f);
  Tap('A');
  Tap('S');
  EXPECT_EQ(m_dance->GetTotalMoves(), 3);
  Tap('F');
  ASSERT_TRUE(m_dance->IsMenuOpen());
  EXPECT_EQ(std::string(Window("total_moves")->m_Value.get_string()), "3") << "the taps";
  Tap('Q');  // the panel has the input
  EXPECT_EQ(m_dance->GetTotalMoves(), 3);

  // A speed of 0 is refused and the panel stays.
  Window("dance_name")->m_Value.set_string("rec");
  Window("speed")->m_Value.set_string("0");
  ASSERT_TRUE(Click("ok"));
  Step();
  EXPECT_FALSE(fs::exists(m_data / "gui/minigames/dance/rec.xml"));
  EXPECT_NE(S(m_dance->GetOverlayText()).find("Error: the speed"), std::string::npos);
  ASSERT_NE(Window("DanceEditor"), nullptr);
  Window("speed")->m_Value.set_string("1.5");
  Window("needed")->m_Value.set_string("20");
  ASSERT_TRUE(Click("ok"));
  Step();
  EXPECT_EQ(Window("DanceEditor"), nullptr);
  EXPECT_FALSE(m_dance->IsMenuOpen());
  EXPECT_NE(S(m_dance->GetOverlayText()).find("Saved gui/minigames/dance/rec.xml"), std::string::npos);

  base::Variant rec;
  ASSERT_TRUE(base::xml::read_file(rec, (m_data / "gui/minigames/dance/rec.xml").string().c_str()));
  const char* order[] = {"speed", "needed", "sample", "length", "animation", "variation"};
  ASSERT_EQ(rec.attribute_cnt(), 6);
  for (int i = 0; i < 6; ++i) EXPECT_STREQ(rec.get_attribute_label(i), order[i]);
  ASSERT_EQ(rec.size(), 3);
  const int dirs[] = {0, 1, 3};
  const float times[] = {1.38f, 2.38f, 2.38f};
  for (int i = 0; i < 3; ++i) {
    int dir = -1;
    float time = 0;
    rec[i].get_attribute_int("dir", dir);
    rec[i].get_attribute_float("time", time);
    EXPECT_EQ(dir, dirs[i]);
    EXPECT_NEAR(time, times[i], 0.01f);
  }
  cl_DanceMinigame game;
  EXPECT_TRUE(game.LoadMoveList("rec"));
  EXPECT_FLOAT_EQ(game.GetSpeed(), 1.5f);

  Tap('L');
  ASSERT_TRUE(ClickEntry("FileNames", "rec.xml")) << Log();
  Step();
  ASSERT_TRUE(Click("Ok"));
  Step(0.0f);
  EXPECT_EQ(std::string(m_dance->GetDanceName().c_str()), "rec");
  EXPECT_EQ(m_dance->GetState(), cl_DanceMinigame::Dancing);
  EXPECT_EQ(m_dance->GetTotalMoves(), 3);
}

// "ok" onto a move list that is not the one loaded or saved here asks first: No keeps the file
// and the panel, Yes writes it.
TEST_F(DanceEditorTest, SavingOverAnotherMoveListAsksFirst) {
  const fs::path old = m_data / "gui/minigames/dance/old.xml";
  std::ofstream(old) << "<Dance speed=\"1\"/>";
  Tap(base::key::Enter);
  Step(5.0f);
  Tap('Q');
  Tap('F');
  ASSERT_TRUE(m_dance->IsMenuOpen());
  Window("dance_name")->m_Value.set_string("old");
  ASSERT_TRUE(Click("ok"));
  Step();
  ASSERT_NE(Window("DialogBox"), nullptr) << "the question";
  ASSERT_TRUE(Click("button1"));
  Step();
  EXPECT_EQ(Slurp(old), "<Dance speed=\"1\"/>");
  ASSERT_NE(Window("DanceEditor"), nullptr) << "No keeps the panel";
  ASSERT_TRUE(Click("ok"));
  Step();
  ASSERT_TRUE(Click("button0"));
  Step();
  EXPECT_EQ(Window("DanceEditor"), nullptr);
  base::Variant list;
  ASSERT_TRUE(base::xml::read_file(list, old.string().c_str()));
  EXPECT_EQ(list.size(), 1) << "the recording";
}

// A recording not yet saved is not dropped unasked: Enter, L, P and a preset ask first and No
// keeps it; Yes goes on. Once saved, nothing asks, and a new recording clears the save's line.
TEST_F(DanceEditorTest, KeysThatWouldDropAnUnsavedRecordingAskFirst) {
  Tap(base::key::Enter);
  Step(5.0f);
  Tap('Q');
  Tap('F');
  ASSERT_TRUE(Click("cancel"));
  Step();
  ASSERT_FALSE(m_dance->IsMenuOpen());
  for (uint8_t key : {uint8_t(base::key::Enter), uint8_t('L'), uint8_t('P'), uint8_t(base::key::F1)}) {
    SCOPED_TRACE(int(key));
    Tap(key);
    ASSERT_NE(Window("DialogBox"), nullptr);
    ASSERT_TRUE(Click("button1"));
    Step(0.0f);
    EXPECT_EQ(Window("DialogBox"), nullptr);
    EXPECT_EQ(Window("FileNames"), nullptr);
    EXPECT_EQ(m_dance->GetTotalMoves(), 1);
  }
  Tap(base::key::Enter);
  ASSERT_TRUE(Click("button0"));
  Step(0.0f);
  EXPECT_EQ(m_dance->GetState(), cl_DanceMinigame::Recording);
  EXPECT_EQ(m_dance->GetTotalMoves(), 0);

  Step(5.0f);
  Tap('W');
  Tap('F');
  Window("dance_name")->m_Value.set_string("rec");
  ASSERT_TRUE(Click("ok"));
  Step();
  ASSERT_NE(S(m_dance->GetOverlayText()).find("Saved gui/minigames/dance/rec.xml"), std::string::npos);
  Tap(base::key::Enter);
  EXPECT_EQ(Window("DialogBox"), nullptr);
  EXPECT_EQ(m_dance->GetState(), cl_DanceMinigame::Recording);
  EXPECT_EQ(S(m_dance->GetOverlayText()).find("Saved"), std::string::npos) << S(m_dance->GetOverlayText());
}

// Escape or "cancel" on the save panel keeps the recording: F opens the panel again with the same
// taps and length, and "ok" then writes every tap. Once saved, F opens nothing.
TEST_F(DanceEditorTest, ACancelledSaveLeavesTheRecordingSaveable) {
  Tap(base::key::Enter);
  Step(4.0f);
  const struct {
    uint8_t key;
    int dir;
    float step;  // song time before the tap
  } taps[] = {{'Q', 0, 0.5f}, {'W', 2, 0.25f}, {'S', 3, 0.5f}, {'A', 1, 1.0f}};
  float position = 4.0f;
  std::vector<float> times;
  for (const auto& tap : taps) {
    Step(tap.step);
    position += tap.step;
    times.push_back(position - 3.62f);
    Tap(tap.key);
  }
  ASSERT_EQ(m_dance->GetTotalMoves(), 4);
  Tap('F');
  ASSERT_NE(Window("DanceEditor"), nullptr);
  const std::string length = Window("time")->m_Value.get_string();
  for (const bool escape : {true, false}) {
    SCOPED_TRACE(escape ? "Escape" : "cancel");
    if (escape) {
      Tap(27);
    } else {
      ASSERT_TRUE(Click("cancel"));
    }
    Step(1.0f);
    ASSERT_EQ(Window("DanceEditor"), nullptr);
    EXPECT_FALSE(m_dance->IsMenuOpen());
    Tap('F');
    ASSERT_NE(Window("DanceEditor"), nullptr) << "F opens the panel again";
    EXPECT_EQ(std::string(Window("total_moves")->m_Value.get_string()), "4");
    EXPECT_EQ(std::string(Window("time")->m_Value.get_string()), length) << "the recording's length, not the time since";
  }
  Window("dance_name")->m_Value.set_string("kept");
  ASSERT_TRUE(Click("ok"));
  Step();
  ASSERT_EQ(Window("DanceEditor"), nullptr);
  base::Variant list;
  ASSERT_TRUE(base::xml::read_file(list, (m_data / "gui/minigames/dance/kept.xml").string().c_str()));
  ASSERT_EQ(list.size(), 4);
  for (int i = 0; i < 4; ++i) {
    int dir = -1;
    float time = 0.0f;
    EXPECT_TRUE(list[i].get_attribute_int("dir", dir));
    EXPECT_TRUE(list[i].get_attribute_float("time", time));
    EXPECT_EQ(dir, taps[i].dir) << i;
    EXPECT_NEAR(time, times[i], 0.01f) << i;
  }
  Tap('F');
  EXPECT_EQ(Window("DanceEditor"), nullptr) << "nothing left to save";
}

// The key help names the presets and D; F1 is the dance editor's preset whatever the state, not
// the editor's key that leaves the editor mode; D hides the overlay but for a line saying so.
TEST_F(DanceEditorTest, ThePresetsAndDemoModeAreInTheHelpAndF1StaysInTheEditor) {
  const auto drawn = [this] {
    std::vector<gfx::st_DrawnText> texts;
    gfx::TraceDrawnText(&texts);
    Step(0.0f);
    gfx::TraceDrawnText(nullptr);
    std::string all;
    for (const gfx::st_DrawnText& t : texts) all += t.text + "\n";
    return all;
  };
  const std::string help = drawn();
  for (const char* line : {"F1, F2, F3 - random dance presets", "D - demo: hide this text"})
    EXPECT_NE(help.find(line), std::string::npos) << line << "\n" << help;
  ASSERT_NE(m_dance->GetState(), cl_DanceMinigame::Dancing) << "before the dance, as it opens";
  Tap(base::key::F1);
  EXPECT_EQ(StateName(), "Editor");
  EXPECT_EQ(Window("DanceGame"), m_dance);
  EXPECT_EQ(m_dance->GetTotalMoves(), 20) << "the first preset";
  Tap('D');
  const std::string demo = drawn();
  EXPECT_NE(demo.find("Demo mode: D shows the counters and keys"), std::string::npos) << demo;
  EXPECT_EQ(demo.find("total moves"), std::string::npos) << demo;
  Tap('D');
  EXPECT_NE(drawn().find("total moves 20"), std::string::npos);
}

// Closing the editor (its menu button) over a recording not yet saved asks first, also while it
// records: No keeps the editor and the taps, Yes closes it. Once saved, it closes at once.
TEST_F(DanceEditorTest, ClosingOverAnUnsavedRecordingAsksFirst) {
  RecordOneTap();
  ASSERT_TRUE(Menu("Dance"));
  Step();
  ASSERT_NE(Window("DialogBox"), nullptr) << "the question";
  ASSERT_TRUE(Click("button1"));
  Step(0.0f);
  ASSERT_EQ(Window("DanceGame"), m_dance) << "No keeps the editor";
  EXPECT_EQ(m_dance->GetState(), cl_DanceMinigame::Recording);
  EXPECT_EQ(m_dance->GetTotalMoves(), 1);
  Tap('F');
  Window("dance_name")->m_Value.set_string("kept");
  ASSERT_TRUE(Click("ok"));
  Step();
  ASSERT_TRUE(Menu("Dance"));
  Step();
  EXPECT_EQ(Window("DialogBox"), nullptr) << "nothing to lose: no question";
  EXPECT_EQ(Window("DanceGame"), nullptr);

  ASSERT_TRUE(Menu("Dance"));
  Step();
  m_dance = dynamic_cast<cl_DanceMinigameEditor*>(Window("DanceGame"));
  ASSERT_NE(m_dance, nullptr);
  RecordOneTap('W');
  ASSERT_TRUE(Menu("Dance"));
  Step();
  ASSERT_TRUE(Click("button0"));
  Step();
  EXPECT_EQ(Window("DanceGame"), nullptr) << "Yes drops the recording";
}

// "Quit" in the editor's menu over taps not yet saved asks as closing the dance editor does:
// Escape keeps the program and the taps, Yes quits.
TEST_F(DanceEditorTest, QuitOverAnUnsavedRecordingAsks) {
  RecordOneTap();
  ASSERT_TRUE(Menu("Exit"));
  Step();
  ExpectQuitAskedAndEscapeKeepsRunning();
  ASSERT_EQ(Window("DanceGame"), m_dance);
  EXPECT_EQ(m_dance->GetTotalMoves(), 1);
  ASSERT_TRUE(Menu("Exit"));
  Step();
  ASSERT_TRUE(Click("button0"));
  EXPECT_TRUE(m_system->GetQuit()) << "Yes quits";
}

// At 1024 x 768 the counters and the key help, the longer recording help too, and the save panel
// stay inside the window; Escape cancels the save panel.
TEST_F(DanceEditorTest, TheCountersAndTheKeyHelpStayInsideTheWindow) {
  EXPECT_EQ(OutsideTheWindow(), std::vector<std::string>{});
  Tap(base::key::Enter);
  ASSERT_EQ(m_dance->GetState(), cl_DanceMinigame::Recording);
  EXPECT_EQ(OutsideTheWindow(), std::vector<std::string>{});
  Tap('F');
  ASSERT_TRUE(m_dance->IsMenuOpen());
  EXPECT_EQ(OutsideTheWindow(), std::vector<std::string>{});
  Tap(27);  // Escape, with the name field focused, is the panel's Cancel
  Step(0.0f);
  EXPECT_FALSE(m_dance->IsMenuOpen());
  EXPECT_EQ(Window("DanceEditor"), nullptr);
}

// Nothing the dance editor draws covers another text: not the scene editor's last outcome shown
// when it opens, nor a long file name among the counters under the key help.
TEST_F(DanceEditorTest, TheCountersTheKeyHelpAndTheEditorsOutcomeDoNotOverlap) {
  ASSERT_TRUE(Menu("Dance"));
  Step();
  ASSERT_EQ(Window("DanceGame"), nullptr);
  quillane::ShowEditorStatus("Compiled Scenes/Office.dat", false);
  ASSERT_TRUE(Menu("Dance"));
  Step();
  m_dance = dynamic_cast<cl_DanceMinigameEditor*>(Window("DanceGame"));
  ASSERT_NE(m_dance, nullptr);
  ASSERT_TRUE(m_dance->SaveMoveList("the_long_dance_of_the_ferry_deck", 1.0f, 0, 1.0f)) << Log();
  std::vector<gfx::st_DrawnText> texts;
  gfx::TraceDrawnText(&texts);
  Step(0.0f);
  gfx::TraceDrawnText(nullptr);
  ASSERT_FALSE(texts.empty());
  // An outlined text is drawn five times over itself: only different texts count.
  for (const gfx::st_DrawnText& a : texts)
    for (const gfx::st_DrawnText& b : texts)
      if (a.text < b.text) {
        EXPECT_FALSE(a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom)
            << "\"" << a.text << "\" and \"" << b.text << "\"";
      }
}

// The dance editor covers the window: nothing of the scene editor opened before it shows beside
// the stage, and no skip button stands over the counters however long the song runs.
TEST_F(DanceEditorTest, NothingShowsBesideTheStageNorOverTheCounters) {
  // The skip button's art and data file, as a session's start compiles them.
  CopyFromData("gui/minigames/dance/texturestrips");
  ASSERT_TRUE(cl_DanceMinigame().Compile("gui/minigames/dance.dat"));
  ASSERT_TRUE(Menu("Dance"));
  Step();
  ASSERT_NE(Open("Office"), nullptr);
  ASSERT_TRUE(Menu("Editor"));
  Step();
  ASSERT_TRUE(Menu("Dance", 900, 200));
  Step();
  m_dance = dynamic_cast<cl_DanceMinigameEditor*>(Window("DanceGame"));
  ASSERT_NE(m_dance, nullptr);
  Step(static_cast<float>(Dance_Panic_Timeout) + 1.0f);
  Step();
  float x = 0.0f, y = 0.0f;
  EXPECT_FALSE(m_dance->GetSkipButtonCentre(x, y)) << x << ", " << y;
  const float top = quillane::cl_DanceMinigame::StageBand().min.y;
  int shown = 0;
  for (int py = 0; py < static_cast<int>(top); ++py)
    for (int px = 0; px < 1024; ++px) shown += Pixel(px, py) != 0 ? 1 : 0;
  EXPECT_EQ(shown, 0) << "above the stage";
}

// The default scene stands in the Stage's pictures and floor: the dancer's start is on its floor
// and every seat of the audience is there.
TEST_F(DanceEditorTest, TheDefaultSceneIsTheStageUnderItsOwnName) {
  quillane::cl_Scene* scene = m_dance->GetScene();
  ASSERT_NE(scene, nullptr);
  EXPECT_EQ(std::string(scene->GetName().c_str()), "ParisTheater");
  for (const char* locator : {"DanceStartPos", "Sit0", "Sit1", "Sit2"}) EXPECT_NE(scene->FindLocator(locator), nullptr) << locator;
  const quillane::cl_SceneLocator* start = scene->FindLocator("DanceStartPos");
  ASSERT_NE(start, nullptr);
  const auto at = start->locator.GetPos();
  EXPECT_NE(scene->FindNavMeshAt(at.x, at.y, at.z), nullptr);
  EXPECT_EQ(Log().find("ParisTheater, File"), std::string::npos) << Log();
}

// Speed keys, the stumble mode, a preset and the name check.
TEST_F(DanceEditorTest, KeysChangeSpeedModeAndPresetsWithinTheirBounds) {
  Tap(base::key::Up);
  Tap(base::key::Up);
  EXPECT_NEAR(m_dance->GetSpeed(), 1.2f, 1e-5f);
  for (int i = 0; i < 20; ++i) Tap(base::key::Down);
  EXPECT_NEAR(m_dance->GetSpeed(), 0.1f, 1e-5f);
  Tap(base::key::Enter);
  Tap('F');
  Window("DanceEditor")->Close();
  m_dance->SetMenuOpen(false);
  Step(0.0f);
  for (int mode : {1, 2, 0}) {
    Tap('S');
    EXPECT_EQ(m_dance->GetWeightMode(), mode);
  }
  Tap(base::key::F2);
  const std::string overlay = m_dance->GetOverlayText().c_str();
  for (const char* line : {"total moves 30", "needed 150", "speed 1.200000"})
    EXPECT_NE(overlay.find(line), std::string::npos) << line << "\n" << overlay;
  EXPECT_FALSE(m_dance->SaveMoveList("..", 1.0f, 0, 1.0f));
  EXPECT_FALSE(m_dance->SaveMoveList("a/b", 1.0f, 0, 1.0f));
}

}  // namespace
}  // namespace editortest
