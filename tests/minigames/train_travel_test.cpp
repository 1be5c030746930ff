// The train-travel game end to end: compiled from the demo pictures, started by the manager in a
// session on the demo board ("demo.xml", one agent at E), played by clicks on the stations
// through the module tree, the result and the bonus read from the game state; the routes on the
// same board, bad level files and a damaged data file; the board's frame against a stored picture.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../support/DemoResources.h"
#include "../support/GoldenImage.h"
#include "base/app/ICMD.h"
#include "base/data/Variant.h"
#include "base/data/VariantTools.h"
#include "base/math/Random.h"
#include "graphics/image/TextureStrip.h"
#include "minigame_fixture.h"
#include "quillane/minigames/GamePanelTools.h"
#include "quillane/minigames/MinigameManager.h"
#include "quillane/minigames/traintravel/TrainTravel.h"
#include "quillane/session/Session.h"

namespace traintest {
namespace {

namespace fs = std::filesystem;
using quillane::cl_TrainTravelPanel;
using quillane::st_TrainNode;

// Stations of the demo board by index.
enum { A = 0, B = 1, C = 2, D = 3, Exit = 4, E = 5 };

class TrainTravelTest : public minigametest::MinigameTest {
 protected:
  void SetUp() override {
    MinigameTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    const fs::path art = fs::path(QUILLANE_DATA_DIR) / "gui/minigames/traintravel";
    if (!fs::exists(art / "node.tga")) GTEST_SKIP() << "no generated train-travel pictures (run demogen)";
    fs::copy(art, m_dir / "gui/minigames/traintravel", fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    ASSERT_GT(testsupport::LoadDemoResources(QUILLANE_DATA_DIR, m_dir, {"gui/minigames/traintravel/", "gui/cursors/"},
                                             {"tooltip", "tutorial", "train_travel"}, "train_resources.xml"),
              0);
    SetState("Missions/Skill", 0);
    SetState("Missions/MaxSkill", 1000);
    SetState("Missions/Minigames/TrainTravel/Filename", "demo.xml");
    SetState("Missions/Minigames/TrainTravel/Scenario", "demo_0.scr");
    m_logged = Log().size();
  }
  std::string NewLog() { return Log().substr(m_logged); }
  // "Missions" as a game that never set the value has it.
  void DropMission(const char* name) {
    base::Variant& missions = *m_session->GetGameState()->get_element("Missions");
    base::Variant kept;
    kept.set_element("Missions");
    for (int i = 0; i < missions.attribute_cnt(); ++i)
      if (std::strcmp(missions.get_attribute_label(i), name) != 0)
        kept.attribute(missions.get_attribute_label(i))->copy(*missions.attribute(i));
    kept.push_back_children_of(missions);
    missions.cut(kept);
  }

  void WriteLevel(const char* name, const std::string& text) {
    std::ofstream(m_dir / "gui/minigames/traintravel" / name) << text;
  }

  cl_TrainTravelPanel* Train() {
    for (int i = 0; i < m_games->GetGameCount(); ++i)
      if (std::string(m_games->GetGameName(i)) == "TrainTravel")
        return dynamic_cast<cl_TrainTravelPanel*>(m_games->GetInstance(i));
    return nullptr;
  }
  // Compiles, starts and clicks the tutorials away; the running game or null.
  cl_TrainTravelPanel* Start() {
    m_games->CompileMissing();
    auto* event = new testsupport::cl_CountingEvent(m_counts[0]);
    if (!m_games->Start("TrainTravel", event, false)) {
      delete event;
      return nullptr;
    }
    if (!StepUntilRunning()) return nullptr;
    cl_TrainTravelPanel* game = Train();
    for (int i = 0; game && i < 100 && game->GetActiveTutorial(); ++i) {
      Mouse(base::ICMD::LEFT_UP, 512.0f, 20.0f);
      Step();
    }
    if (game) Settle(*game);  // the agents' appearance
    return game && !game->GetActiveTutorial() ? game : nullptr;
  }
  // A click on the station's icon, then frames until every figure stands still.
  void Click(cl_TrainTravelPanel& game, int station) {
    const st_TrainNode& node = game.GetNode(station);
    const float half = cl_TrainTravelPanel::GetNodeSize() / 2.0f;
    Mouse(base::ICMD::MOUSE_MOVE, node.m_X + half, node.m_Y + half);
    Mouse(base::ICMD::LEFT_UP, node.m_X + half, node.m_Y + half);
    Settle(game);
  }
  void Settle(cl_TrainTravelPanel& game) {
    Step();
    for (int i = 0; i < 300 && game.IsAnimating(); ++i) Step();
    Step();
  }
  // A press and its release: the game acts on the release.
  void Key(int key) {
    base::ICMD cmd;
    cmd.type = base::ICMD::KEY_PRESSED;
    cmd.key = static_cast<uint8_t>(key);
    Input(cmd);
    cmd.type = base::ICMD::KEY_RELEASED;
    Input(cmd);
  }

  size_t m_logged = 0;
};

TEST_F(TrainTravelTest, RoutesOnTheDemoBoardFollowLinksAndFlags) {
  cl_TrainTravelPanel* game = Start();
  ASSERT_NE(game, nullptr) << Log();
  ASSERT_EQ(game->GetNodeCount(), 6);
  EXPECT_EQ(game->GetOriginNode(), A);
  EXPECT_EQ(game->GetDestinationNode(), D);
  EXPECT_EQ(game->FindNodeByName("Exit"), Exit);
  EXPECT_EQ(game->FindNodeByName("Nowhere"), -1);
  EXPECT_EQ(&game->GetNode(60), &game->GetNode(49));

  // The exit is the player's to enter only; stations without a link are unreachable.
  EXPECT_TRUE(game->CanTravel(A, Exit, true));
  EXPECT_FALSE(game->CanTravel(A, Exit, false));
  EXPECT_FALSE(game->CanTravel(A, D, true));
  EXPECT_EQ(game->ShortestPathLength(A, D, true), 2);
  EXPECT_EQ(game->PathLength(E, A, false), 2);
  EXPECT_EQ(game->PathLength(-1, A, false), -1);
  // Searches do not pass through the exit, but may end on it.
  EXPECT_EQ(game->PathLength(E, Exit, false), 3);

  std::vector<std::pair<int, int>> near;
  game->NeighbourDistances(A, D, near, true);
  ASSERT_EQ(near.size(), 3u);  // B, C (2 hops to D) and the exit (back through A: 4)
  EXPECT_EQ(near[0].second, 2);
  EXPECT_EQ(near[2], std::make_pair(static_cast<int>(Exit), 4));
  game->NeighbourDistances(A, D, near, false);
  EXPECT_EQ(near.size(), 2u);

  // A sanctuary blocks the way through C from the other side but may itself be the target.
  game->GetNode(C).SetFlags(st_TrainNode::SaveHaven);
  EXPECT_EQ(game->ShortestPathLength(E, A, false), cl_TrainTravelPanel::kNoRoute);
  EXPECT_EQ(game->ShortestPathLength(E, C, false), 1);
  game->GetNode(C).ClearFlags(st_TrainNode::SaveHaven);
  // A neighbour without a route onward counts as 1001.
  game->GetNode(A).SetFlags(st_TrainNode::OutOfOrder);
  game->GetNode(D).SetFlags(st_TrainNode::OutOfOrder);
  game->NeighbourDistances(E, B, near, true);
  EXPECT_EQ(near, (std::vector<std::pair<int, int>>{{C, cl_TrainTravelPanel::kNoRoute + 1}}));

  // Icons hold the points strictly inside them.
  const st_TrainNode& b = game->GetNode(B);
  EXPECT_EQ(game->NodeAt(b.m_X + 1.0f, b.m_Y + 1.0f), B);
  EXPECT_EQ(game->NodeAt(b.m_X, b.m_Y + 5.0f), -1);
}

TEST_F(TrainTravelTest, ReachingTheCityWinsWithTheEasyBonus) {
  DropMission("Skill");  // the bonus counts from 0
  cl_TrainTravelPanel* game = Start();
  ASSERT_NE(game, nullptr) << Log();
  EXPECT_EQ(game->GetState(), cl_TrainTravelPanel::Playing);  // no item granted
  ASSERT_EQ(game->GetAgentCount(), 1);
  EXPECT_EQ(game->GetAgentNode(0), E);

  Click(*game, D);  // no track from A to D: refused
  EXPECT_EQ(game->GetPlayerNode(), A);
  Click(*game, B);
  EXPECT_EQ(game->GetPlayerNode(), B);
  // The agent cuts the player off: C is no farther from the city than she is.
  EXPECT_EQ(game->GetAgentNode(0), C);
  Click(*game, D);
  EXPECT_EQ(game->GetState(), cl_TrainTravelPanel::Over);
  ASSERT_TRUE(StepUntilIdle());
  EXPECT_EQ(m_counts[0].executed, 1);
  EXPECT_EQ(GameStateInt("Missions/Minigames/TrainTravel/Win"), 1);
  EXPECT_EQ(GameStateInt("Missions/Skill"), 100);
  EXPECT_EQ(GameStateInt("Missions/Minigames/TrainTravel/TutorialTriggerStart"), 1);
  EXPECT_EQ(NewLog().find("ERROR:"), std::string::npos) << NewLog();
}

// The items are placed and the stations travelled through the targets the play driver clicks;
// while an item waits to be placed the cursor shows it.
TEST_F(TrainTravelTest, TheCursorShowsTheItemToPlaceAndTheStationsAreClickedByName) {
  SetState("Missions/Minigames/TrainTravel/SetOutOfOrder", 1);
  SetState("Missions/Minigames/TrainTravel/SetSaveHaven", 1);
  cl_TrainTravelPanel* game = Start();
  ASSERT_NE(game, nullptr) << Log();
  auto clickStation = [&](const char* name) {
    float x = 0.0f, y = 0.0f;
    ASSERT_TRUE(game->GetPlayTarget(name, x, y)) << name;
    Mouse(base::ICMD::MOUSE_MOVE, x, y);
    Mouse(base::ICMD::LEFT_UP, x, y);
    for (int i = 0; i < 200; ++i) {
      Step();
      if (game->GetActiveTutorial()) Mouse(base::ICMD::LEFT_UP, 512.0f, 20.0f);  // the next item's box
      else if (game->IsPlayCondition("idle")) break;
    }
  };
  Step();
  EXPECT_STREQ(quillane::GetGameCursor(), "cursor_outoforder");
  clickStation("station C");
  EXPECT_TRUE(game->GetNode(C).HasFlags(st_TrainNode::OutOfOrder));
  EXPECT_STREQ(quillane::GetGameCursor(), "cursor_savehaven");
  clickStation("station B");
  EXPECT_EQ(game->GetState(), cl_TrainTravelPanel::Playing);
  EXPECT_STREQ(quillane::GetGameCursor(), "gamecursor");
  float x = 0.0f, y = 0.0f;
  EXPECT_FALSE(game->GetPlayTarget("station Nowhere", x, y));
  clickStation("station B");
  EXPECT_EQ(game->GetPlayerNode(), B);
  clickStation("station D");
  EXPECT_EQ(game->GetState(), cl_TrainTravelPanel::Over);
  EXPECT_EQ(GameStateInt("Missions/Minigames/TrainTravel/Win"), 1);
}

TEST_F(TrainTravelTest, ArrestsRestartUntilTheFifthEndsTheGameWithoutBonus) {
  cl_TrainTravelPanel* game = Start();
  ASSERT_NE(game, nullptr) << Log();
  for (int arrest = 0; arrest < 5; ++arrest) {
    ASSERT_EQ(game->GetPlayerNode(), A) << "arrest " << arrest;
    // Next to the agent at E, who steps onto her: one second later the board starts again.
    Click(*game, C);
    for (int i = 0; i < 30 && game->GetState() == cl_TrainTravelPanel::Caught; ++i) Step();
    if (arrest < 4) {
      EXPECT_EQ(game->GetTries(), arrest + 1);
      EXPECT_EQ(game->GetAgentNode(0), E);  // the same scenario again
      Settle(*game);
    }
  }
  EXPECT_EQ(game->GetTries(), 5);
  EXPECT_EQ(game->GetState(), cl_TrainTravelPanel::Over);
  ASSERT_TRUE(StepUntilIdle());
  EXPECT_EQ(GameStateInt("Missions/Minigames/TrainTravel/Win"), 1);
  EXPECT_EQ(GameStateInt("Missions/Skill"), 0);
}

TEST_F(TrainTravelTest, TheExitGivesUpAndTheRKeyCountsATry) {
  cl_TrainTravelPanel* game = Start();
  ASSERT_NE(game, nullptr) << Log();
  Key('R');
  Settle(*game);
  EXPECT_EQ(game->GetTries(), 1);
  Click(*game, Exit);
  EXPECT_EQ(game->GetState(), cl_TrainTravelPanel::Over);
  ASSERT_TRUE(StepUntilIdle());
  EXPECT_EQ(GameStateInt("Missions/Minigames/TrainTravel/Win"), 0);
  EXPECT_EQ(GameStateInt("Missions/Skill"), 0);
}

TEST_F(TrainTravelTest, ItemsArePlacedInOrderAndADoubleTurnLetsHerMoveAgain) {
  WriteLevel("items.scr",
             "<Scenario SetOutOfOrder=\"1\" SetDoubleTurn=\"1\"><Node Name=\"E\" Agent=\"1\"/>"
             "<Node Name=\"Atlantis\" Agent=\"1\"/></Scenario>");
  SetState("Missions/Minigames/TrainTravel/Scenario", "items.scr");
  cl_TrainTravelPanel* game = Start();
  ASSERT_NE(game, nullptr) << Log();
  EXPECT_NE(NewLog().find("unknown station \"Atlantis\""), std::string::npos) << NewLog();
  EXPECT_EQ(game->GetState(), cl_TrainTravelPanel::PlacingItems);
  EXPECT_TRUE(game->IsItemAvailable(cl_TrainTravelPanel::ItemOutOfOrder));
  EXPECT_FALSE(game->IsItemAvailable(cl_TrainTravelPanel::ItemSaveHaven));

  Click(*game, A);  // the origin takes no item
  Click(*game, E);  // nor a station with an agent
  EXPECT_TRUE(game->IsItemAvailable(cl_TrainTravelPanel::ItemOutOfOrder));
  Click(*game, B);
  EXPECT_TRUE(game->GetNode(B).HasFlags(st_TrainNode::OutOfOrder));
  for (int i = 0; i < 100 && game->GetActiveTutorial(); ++i) {  // the double turn's box
    Mouse(base::ICMD::LEFT_UP, 512.0f, 20.0f);
    Step();
  }
  Click(*game, C);
  EXPECT_TRUE(game->GetNode(C).HasFlags(st_TrainNode::DoubleTurn));
  EXPECT_EQ(game->GetState(), cl_TrainTravelPanel::Playing);

  Click(*game, C);  // arriving at the double turn: the agent at E stands still
  EXPECT_EQ(game->GetAgentNode(0), E);
  EXPECT_FALSE(game->GetNode(C).HasFlags(st_TrainNode::DoubleTurn));
  Click(*game, D);
  ASSERT_TRUE(StepUntilIdle());
  EXPECT_EQ(GameStateInt("Missions/Minigames/TrainTravel/Win"), 1);
}

TEST_F(TrainTravelTest, WithoutAScenarioRestartsDrawFreshClosuresAwayFromTheEnds) {
  SetState("Missions/Minigames/TrainTravel/Scenario", "");
  SetState("Missions/Minigames/TrainTravel/NumOfAgents", 9);  // more than the free stations
  SetState("Missions/Minigames/TrainTravel/NumOfOutOfOrder", 1);
  base::RandSeed(3);
  cl_TrainTravelPanel* game = Start();
  ASSERT_NE(game, nullptr) << Log();
  std::vector<int> closed;
  for (int attempt = 0; attempt < 8; ++attempt) {
    int count = 0;
    for (int i = 0; i < game->GetNodeCount(); ++i)
      if (game->GetNode(i).HasFlags(st_TrainNode::OutOfOrder)) {
        ++count;
        EXPECT_TRUE(i == B || i == C || i == E) << i;
        closed.push_back(i);
      }
    EXPECT_EQ(count, 1);
    EXPECT_EQ(game->GetAgentCount(), 2);  // the two stations left open
    Key('R');
    Settle(*game);
  }
  EXPECT_NE(std::count(closed.begin(), closed.end(), closed.front()), static_cast<long>(closed.size()));
}

TEST_F(TrainTravelTest, AFamilyScenarioStaysChosenThroughRestartsAndSetsTheDifficulty) {
  WriteLevel("Hard_0.scr", "<Scenario><Node Name=\"E\" Agent=\"1\"/></Scenario>");
  WriteLevel("Hard_1.scr", "<Scenario><Node Name=\"B\" Agent=\"1\"/></Scenario>");
  SetState("Missions/Minigames/TrainTravel/Scenario", "Hard");
  cl_TrainTravelPanel* game = Start();
  ASSERT_NE(game, nullptr) << Log();
  const std::string chosen = game->GetMissionElement().get_attribute("Scenario")->get_string();
  EXPECT_TRUE(chosen == "Hard_0.scr" || chosen == "Hard_1.scr") << chosen;
  EXPECT_EQ(game->GetDifficulty(), 3);
  const int agentAt = game->GetAgentNode(0);
  Key('R');
  Settle(*game);
  EXPECT_EQ(game->GetMissionElement().get_attribute("Scenario")->get_string(), chosen);
  EXPECT_EQ(game->GetAgentNode(0), agentAt);
  EXPECT_EQ(game->GetDifficulty(), 3);
}

TEST_F(TrainTravelTest, BadLevelFilesAreLoggedAndRefusedOrSkipped) {
  // Links past the list, looping back or beyond ten per station are dropped with a line each.
  std::string graph = "<Nodes><Node Name=\"S\" X=\"10\" Y=\"10\" Origin=\"1\"/><Node Name=\"T\" X=\"90\" Y=\"10\" "
                      "Destination=\"1\"/><Link a=\"0\" b=\"7\"/><Link a=\"1\" b=\"1\"/>";
  for (int i = 0; i < 11; ++i) graph += "<Link a=\"0\" b=\"1\"/>";
  WriteLevel("broken.xml", graph + "</Nodes>");
  SetState("Missions/Minigames/TrainTravel/Filename", "broken.xml");
  SetState("Missions/Minigames/TrainTravel/Scenario", "");
  cl_TrainTravelPanel* game = Start();
  ASSERT_NE(game, nullptr) << Log();
  EXPECT_EQ(game->GetNode(0).m_LinkCount, st_TrainNode::kMaxLinks);
  EXPECT_EQ(game->GetNode(1).m_LinkCount, 0);
  const std::string log = NewLog();
  EXPECT_NE(log.find("ERROR: traintravel gui/minigames/traintravel/broken.xml: link names a station past"),
            std::string::npos) << log;
  EXPECT_NE(log.find("loops back"), std::string::npos);
  EXPECT_NE(log.find("more links than allowed"), std::string::npos);
  m_games->End();
  ASSERT_FALSE(m_games->IsRunning());

  // A board with more stations than it holds, and a missing graph file, do not start.
  std::string big = "<Nodes>";
  for (int i = 0; i < 51; ++i) big += "<Node Name=\"N\" X=\"1\" Y=\"1\"/>";
  WriteLevel("big.xml", big + "</Nodes>");
  for (const char* file : {"big.xml", "missing.xml"}) {
    SetState("Missions/Minigames/TrainTravel/Filename", file);
    auto* event = new testsupport::cl_CountingEvent(m_counts[1]);
    if (!m_games->Start("TrainTravel", event, false)) delete event;
    EXPECT_FALSE(m_games->IsRunning()) << file;
    EXPECT_NE(Log().find(std::string("ERROR: traintravel gui/minigames/traintravel/") + file), std::string::npos)
        << Log();
  }
}

TEST_F(TrainTravelTest, ADamagedDataFileRefusesTheStartAndARewrittenOneReadsBack) {
  m_games->CompileMissing();
  const fs::path dat = m_dir / "gui/minigames/traintravel.dat";
  ASSERT_TRUE(fs::exists(dat)) << Log();
  const auto size = fs::file_size(dat);
  fs::resize_file(dat, size / 2);
  auto* event = new testsupport::cl_CountingEvent(m_counts[0]);
  if (!m_games->Start("TrainTravel", event, false)) delete event;
  EXPECT_FALSE(m_games->IsRunning());
  EXPECT_NE(NewLog().find("ERROR:"), std::string::npos);
  EXPECT_NE(NewLog().find("traintravel.dat"), std::string::npos) << NewLog();
  EXPECT_NE(NewLog().find("Traintravel Minigame Error! Cannot read Textures!"), std::string::npos);

  // Compiled again, written and read back whole.
  fs::remove(dat);
  m_games->CompileMissing();
  EXPECT_EQ(fs::file_size(dat), size);
  cl_TrainTravelPanel reader;
  reader.SetDataFile(dat.string().c_str());
  EXPECT_TRUE(reader.ReadCompiledData()) << Log();
  ASSERT_NE(reader.GetPanicStrip(), nullptr);
  EXPECT_EQ(reader.GetPanicStrip()->GetFrameCount(), 2);
}

TEST_F(TrainTravelTest, TheBoardIsDrawnWithTracksStationsAndFigures) {
  cl_TrainTravelPanel* game = Start();
  ASSERT_NE(game, nullptr) << Log();
  Settle(*game);  // the agent's pulse over
  Step();
  EXPECT_TRUE(testsupport::MatchesGoldenPng(QUILLANE_TEST_DIR "/golden/traintravel_demo.png",
                                            minigametest::Shrink(m_pixels, kWidth, kHeight), kWidth / 4, kHeight / 4));
}

}  // namespace
}  // namespace traintest
