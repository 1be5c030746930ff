// The cursor each drawn frame chooses from what lies under the mouse: "talk_to" over a character
// of the cast list, the hotspot table's cursor over a hotspot, the plain cursor over the shown
// interface bar and the floor, none in a cutscene or while a token is carried, and the barred one
// while the game is busy or a line is spoken.
#include <gtest/gtest.h>

#include "quillane/hud/InterfaceBar.h"
#include "quillane/hud/Token.h"
#include "quillane/hud/TokenBar.h"
#include "quillane/session/GameStateLookups.h"
#include "quillane/session/Session.h"
#include "session_input_fixture.h"

namespace quillane {
namespace {

class SessionInputCursor : public sessiontest::SessionInputTest {
 protected:
  std::string CursorAt(base::tVector2<float> at) {
    MoveMouse(at);
    Step();  // the frame's drawing chooses the cursor
    return m_session->GetCursorName().c_str();
  }
};

TEST_F(SessionInputCursor, ObjectsUnderTheMouseChooseTheirCursor) {
  EXPECT_EQ(CursorAt(HotspotPoint("shelf")), "pick_up") << "the table's default for a hotspot without a cursor";
  EXPECT_EQ(m_session->GetHoveredName(), "shelf");
  EXPECT_EQ(CursorAt(HotspotPoint("door")), "gamecursor");
  EXPECT_EQ(m_session->GetHoveredName(), "door");
  EXPECT_LT(m_session->GetHoverTime(), 0.15f) << "a new object restarts the hover time";
  EXPECT_EQ(CursorAt(FloorPoint(0.0f, 100.0f)), "gamecursor");
  EXPECT_EQ(m_session->GetHoveredName(), "");
  ASSERT_NE(FindCastEntry("Odo"), nullptr);
  EXPECT_EQ(CursorAt(CharacterPoint("Odo")), "talk_to");
}

TEST_F(SessionInputCursor, TheShownInterfaceBarHasThePlainCursor) {
  cl_InterfaceBar* bar = m_session->GetInterfaceBar();
  bar->Show(true);
  for (int i = 0; i < 10 && bar->GetAlpha() < 1.0f; ++i) Step();
  ASSERT_EQ(bar->GetAlpha(), 1.0f);
  const base::tVector2<float> inside((bar->m_AbsRect.left + bar->m_AbsRect.right) * 0.5f,
                                     bar->m_AbsRect.bottom - 2.0f);
  EXPECT_EQ(CursorAt(inside), "gamecursor");
  cl_Token* token = m_session->GetTokenBar()->AddToken(0.0f, 0.0f, "T1_Ledger", false);
  m_session->GetTokenBar()->SetCarried(token);
  EXPECT_EQ(CursorAt(inside), "no_cursor") << "the carried token is the cursor";
  EXPECT_EQ(CursorAt(HotspotPoint("shelf")), "no_cursor");
}

TEST_F(SessionInputCursor, ACutsceneHidesTheCursorAndABusyGameBarsIt) {
  m_session->GetActionQueue().SetCutscene(true);
  EXPECT_EQ(CursorAt(HotspotPoint("shelf")), "no_cursor");
  m_session->GetActionQueue().SetCutscene(false);

  // A sequence that may not be cancelled holds the player: no tooltip, the plain cursor.
  StartTrigger("shelf");
  m_session->GetActionQueue().m_cancelAllowed = false;
  EXPECT_FALSE(m_session->IsInteractionAllowed());
  EXPECT_EQ(CursorAt(HotspotPoint("shelf")), "gamecursor");
  EXPECT_EQ(m_session->GetHoveredName(), "");

  // A token on its way home bars the cursor.
  m_session->GetTokenBar()->AddToken(500.0f, 300.0f, "T1_Ledger", true);
  ASSERT_TRUE(m_session->IsBusyForCursor());
  EXPECT_EQ(CursorAt(FloorPoint(0.0f, 100.0f)), "cursor_disable");

  m_session->SetPaused(true);
  EXPECT_EQ(CursorAt(FloorPoint(0.0f, 100.0f)), "gamecursor");
}

// While a line is spoken a click only cuts it short, and the cursor over the scene says to wait
// (it was plain, and a click on something else looked lost); over the interface bar it stays
// plain, and once the line is over it is plain again. A line of a background script holds nobody.
TEST_F(SessionInputCursor, ALineBeingSpokenBarsTheCursorOverTheScene) {
  cl_GameActionQueue& queue = m_session->GetActionQueue();
  st_GameAction* line = queue.Add(nullptr);
  line->m_kind = "speak";
  line->m_object = "Odo";
  line->m_text = "#offic0_2";
  line->m_time = 0.25f;
  EXPECT_EQ(CursorAt(HotspotPoint("shelf")), "cursor_disable");
  EXPECT_EQ(CursorAt(FloorPoint(0.0f, 100.0f)), "cursor_disable");
  cl_InterfaceBar* bar = m_session->GetInterfaceBar();
  bar->Show(true);
  for (int i = 0; i < 10 && bar->GetAlpha() < 1.0f; ++i) Step();
  EXPECT_EQ(CursorAt(base::tVector2<float>((bar->m_AbsRect.left + bar->m_AbsRect.right) * 0.5f,
                                           bar->m_AbsRect.bottom - 2.0f)),
            "gamecursor");
  for (int i = 0; i < 10 && queue.HasForegroundAction(); ++i) Step();
  ASSERT_FALSE(queue.HasForegroundAction());
  EXPECT_EQ(CursorAt(FloorPoint(0.0f, 100.0f)), "gamecursor");
}

}  // namespace
}  // namespace quillane
