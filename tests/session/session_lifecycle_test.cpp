// The session's lifecycle: the process-wide pointer and the world's services, the start-up tasks
// and the new game behind the loading screen (the QuickLaunch road), the mini-game manager's
// refusal, and the game-state queries.
#include <gtest/gtest.h>

#include <cstring>

#include "base/data/VariantTools.h"
#include "quillane/core/GameState.h"
#include "quillane/diary/DiaryServices.h"
#include "quillane/frame/GameFrame.h"
#include "quillane/frame/LoadingScreen.h"
#include "quillane/hud/InterfaceServices.h"
#include "quillane/minigames/MinigameManager.h"
#include "quillane/session/DialogCtrl.h"
#include "quillane/session/GameActionQueue.h"
#include "quillane/session/Session.h"
#include "quillane/world/WorldServices.h"
#include "session_fixture.h"

namespace quillane {
namespace {

using SessionLifecycle = sessiontest::SessionTest;

// The places of a service table (nothing but function pointers) that hold none.
template <class Table>
std::vector<size_t> EmptyEntries(const Table& table) {
  using tEntry = void (*)();
  static_assert(sizeof(Table) % sizeof(tEntry) == 0, "a table of function pointers only");
  std::vector<size_t> empty;
  for (size_t i = 0; i < sizeof(Table) / sizeof(tEntry); ++i) {
    tEntry entry;
    std::memcpy(&entry, reinterpret_cast<const char*>(&table) + i * sizeof(tEntry), sizeof(tEntry));
    if (!entry) empty.push_back(i);
  }
  return empty;
}

TEST_F(SessionLifecycle, GetSessionAndTheWorldServicesAreSetOnlyWhileASessionLives) {
  EXPECT_EQ(GetSession(), nullptr);
  EXPECT_EQ(GetMissionState("Chapter"), -1);
  EXPECT_FALSE(cl_Session::IsSkippingSequence());
  EXPECT_FALSE(cl_Session::IsSceneJustLoaded());
  EXPECT_EQ(WorldServices().IsDialogActive, nullptr);
  {
    base::smart_ptr<cl_Session> session(new cl_Session());
    EXPECT_EQ(GetSession(), session.get());
    EXPECT_EQ(session->GetStage(), nullptr);
    const st_WorldServices& world = WorldServices();
    EXPECT_EQ(world.GetHotspotTable(), nullptr) << "no table before StartUp read one";
    EXPECT_STREQ(world.GetDialogPartner(), "");
    EXPECT_FALSE(world.IsDialogActive());
    // An action the queue does not hold is left alone: a character may keep a stale pointer.
    st_GameAction stray(nullptr);
    world.FinishAction(&stray);
    EXPECT_FALSE(stray.IsDone());
    st_GameAction* held = session->GetActionQueue().Add(nullptr);
    held->m_kind = "play_animation";
    EXPECT_STREQ(world.GetActionName(held), "play_animation");
    world.FinishAction(held);
    EXPECT_TRUE(held->IsDone());
    session->GetActionQueue().m_state = cl_GameActionQueue::STATE_SKIPPING_SEQUENCE;
    EXPECT_TRUE(world.IsSkippingSequence());
  }
  EXPECT_EQ(GetSession(), nullptr);
  EXPECT_EQ(WorldServices().IsDialogActive, nullptr);
  EXPECT_EQ(WorldServices().FinishAction, nullptr);
}

// QuickLaunch "game" takes the root menu's road: the session starts (tables, mini-games, the
// script functions and "MainInclude.lua") before the new game runs "campaign.lua".
TEST_F(SessionLifecycle, QuickLaunchStartsTheSessionBeforeTheNewGame) {
  Write("Scripts/MainInclude.lua", "Debugout(\"trace: main include\")\n");
  Write("Scripts/campaign.lua", "function Startup()\n  Debugout(\"trace: campaign Startup\")\nend\n");
  Write("scripts/initialgamestate.xml",
        "<GameState><Missions Skill=\"3\" MaxSkill=\"10\" Broken=\"x\"/><Debug Stale=\"1\"/></GameState>");
  Write("scripts/castlist.xml", "<CastList><Cast label=\"Odo\" display_name=\"Odo\"/></CastList>");
  Write("scripts/hotspots.xml", "<Hotspots><Hotspot label=\"door\"/></Hotspots>");
  StartFrame("<DevTools QuickLaunch=\"game\"/><Debug NoMinigames=\"1\"/>");
  cl_Session* session = GetSession();
  ASSERT_NE(session, nullptr);
  EXPECT_EQ(StateName(), "LoadingScreen");
  cl_LoadingScreen* screen = m_frame->GetLoadingScreen();
  EXPECT_EQ(screen->GetProgressStart(), 0.0f);
  EXPECT_EQ(screen->GetProgressEnd(), 0.5f);
  EXPECT_STREQ(screen->GetPendingTarget(), "Session");
  EXPECT_TRUE(session->GetGameState()->is_void()) << "the game waits for the session's start-up";

  ASSERT_TRUE(StepUntilState("Session"));
  EXPECT_EQ(screen->GetProgressStart(), 0.5f);
  EXPECT_EQ(screen->GetProgressEnd(), 1.0f);
  EXPECT_EQ(LinesAfter("trace: "), (std::vector<std::string>{"main include", "campaign Startup"}));
  EXPECT_EQ(GetMissionState("Skill"), 3);
  EXPECT_EQ(GetMissionState("MaxSkill"), 10);
  EXPECT_EQ(GetMissionState("Wealth"), 0) << "never set";
  EXPECT_EQ(GetMissionState(nullptr), -1);
  const base::Variant* debug = session->GetGameState()->get_element("Debug");
  ASSERT_NE(debug, nullptr);
  int flag = 0;
  EXPECT_TRUE(debug->get_attribute_int("NoMinigames", flag) && flag == 1) << "the configuration's Debug is copied";
  EXPECT_EQ(debug->get_attribute("Stale"), nullptr);
  EXPECT_STREQ(session->GetCastList()[0].get_label(), "Cast");
  // An empty entry gives the answer of a game without a session: the session fills them all.
  EXPECT_EQ(EmptyEntries(WorldServices()), std::vector<size_t>{});
  EXPECT_EQ(EmptyEntries(InterfaceServices()), std::vector<size_t>{});
  EXPECT_EQ(EmptyEntries(DiaryServices()), std::vector<size_t>{});
  EXPECT_EQ(EmptyEntries(cl_DialogCtrl::TokenBar()), std::vector<size_t>{});
  ASSERT_NE(WorldServices().GetHotspotTable(), nullptr);
  EXPECT_TRUE(session->GetTokensTable().is_void()) << "a missing table stays empty";
  EXPECT_NE(Log().find("GUI/tokens/tokens.xml"), std::string::npos);

  cl_MinigameManager* games = session->GetMinigameManager();
  ASSERT_NE(games, nullptr);
  const char* order[] = {"TrainTravel", "Wiretap", "Decoder", "Bookshelf", "Dance", "Sabotage", "FloorLights"};
  ASSERT_EQ(games->GetGameCount(), 7);
  for (int i = 0; i < 7; ++i) EXPECT_STREQ(games->GetGameName(i), order[i]);

  // A new game is covered at once and uncovered over one second.
  EXPECT_EQ(session->GetFader().m_state, cl_Fader::STATE_UNCOVERING);
  for (int i = 0; i < 11; ++i) Step();
  EXPECT_EQ(session->GetFader().m_state, cl_Fader::STATE_UNCOVERED);
}

// A registered game whose data file is missing (TrainTravel) is refused, as are unknown names;
// "Debug/NoMinigames" records a win first, for registered games only.
TEST_F(SessionLifecycle, MinigameStartsAreRefusedAndNoMinigamesRecordsAWin) {
  for (const bool skip : {false, true}) {
    StartFrame(skip ? "<Debug NoMinigames=\"1\"/>" : "<Debug NoMinigames=\"0\"/>");
    {
      base::smart_ptr<cl_Session> session(new cl_Session());
      base::Variant& state = *session->GetGameState();
      state.set_element("GameState");
      ASSERT_TRUE(session->RegisterMinigames());
      cl_MinigameManager* games = session->GetMinigameManager();
      EXPECT_FALSE(games->Start("TrainTravel", nullptr, false));
      EXPECT_FALSE(games->Start("Chess", nullptr, false));
      EXPECT_FALSE(games->Start(nullptr, nullptr, false));
      EXPECT_FALSE(games->IsRunning());
      EXPECT_TRUE(games->IsBackgroundVisible());
      const base::Variant* win = base::variant_get_attribute_by_path(state, "Missions/Minigames/TrainTravel/Win", false);
      EXPECT_EQ(win != nullptr && win->get_int() == 1, skip);
      EXPECT_EQ(base::variant_get_element_by_path(state, "Missions/Minigames/Chess", false), nullptr);
    }
    m_engine.ShutDownRoot();
    m_system = nullptr;
  }
}

}  // namespace
}  // namespace quillane
