// Tokens shown and hidden, the tooltip, elaborate tooltip and cursor tables, and the end of the
// game, called from the scene script of a running game.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game_fixture.h"
#include "quillane/core/FrameServices.h"
#include "quillane/frame/LoadingScreen.h"
#include "quillane/hud/Token.h"
#include "quillane/hud/TokenBar.h"

namespace scriptfunctionstest {
namespace {

class DisplayScript : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_NO_FATAL_FAILURE(
        Start("function Tables()\n"
              "  SetTooltip(\"Odo\", \"#first\")\n"
              "  SetTooltip(\"Odo\", \"#second\")\n"
              "  SetElaborateTooltip(\"Odo\", \"#long\")\n"
              "  SetTooltip(\"Mina\", \"#mina\")\n"
              "  SetCursor(\"door\", \"gui/cursors/door.tga\")\n"
              "  SetCursor(\"door\", \"gui/cursors/exit.tga\")\n"
              "end\n"
              "function NoText()\n"
              "  SetTooltip(\"Pell\")\n"
              "end\n"
              "function Hide()\n"
              "  HideToken(\"T1_Pass\", false)\n"
              "  HideToken(\"T1_Ghost\", false)\n"
              "end\n"
              "function Show()\n"
              "  ShowToken(\"T1_Pass\", false)\n"
              "end\n"
              "function End()\n"
              "  GameOver()\n"
              "  Debugout(\"t: goes on\")\n"
              "end\n"));
  }

  // The children of the table element at path, as label=value pairs in order.
  std::vector<std::string> Table(const char* path, const char* child, const char* value) {
    std::vector<std::string> rows;
    const base::Variant* table = State().get_element(path);
    if (!table) return rows;
    for (int i = 0; i < table->size(); ++i) {
      const base::Variant& row = (*table)[i];
      if (!row.is_element() || std::string(row.get_label()) != child) continue;
      base::tString<base::BaseString> label, text;
      row.get_attribute_string("label", label);
      row.get_attribute_string(value, text);
      rows.push_back(std::string(label.c_str()) + "=" + text.c_str());
    }
    return rows;
  }
};

TEST_F(DisplayScript, EachTableKeepsOneRowPerLabelWithTheLastValue) {
  if (!State().get_element("Tooltips")) State().add_element("Tooltips");
  base::Variant& kept = State().get_element("Tooltips")->add_element("Tooltip");
  kept.attribute("label")->set_string("Mina");
  kept.attribute("text")->set_string("#old");
  kept.attribute("hover")->set_string("2");
  ASSERT_EQ(State().get_element("Cursor"), nullptr) << "a new game state has no cursor table";

  Run("Tables");
  EXPECT_EQ(Table("Tooltips", "Tooltip", "text"), (std::vector<std::string>{"Mina=#mina", "Odo=#second"}));
  EXPECT_EQ(Table("ElaborateTooltips", "Tooltip", "text"), std::vector<std::string>{"Odo=#long"});
  EXPECT_EQ(Table("Cursor", "Cursor", "filename"), std::vector<std::string>{"door=gui/cursors/exit.tga"});
  base::tString<base::BaseString> hover;
  EXPECT_TRUE(kept.get_attribute_string("hover", hover)) << "the row's other attributes stay";

  Run("NoText");
  EXPECT_EQ(Table("Tooltips", "Tooltip", "text").back(), "Pell=default") << "the reader's default is written";
  EXPECT_TRUE(Logged("wrong parameter 2 - 'string' expected."));
}

TEST_F(DisplayScript, TokensAreHiddenAndShownInTheBarAndAnUnknownOneIsLogged) {
  cl_TokenBar* bar = m_session->GetTokenBar();
  ASSERT_NE(bar, nullptr);
  const cl_Token* pass = bar->FindToken("T1_Pass");
  ASSERT_NE(pass, nullptr);
  Run("Hide");
  EXPECT_EQ(pass->GetAlpha(), 0.0f);
  EXPECT_EQ(bar->FindToken("T1_Ledger")->GetAlpha(), 1.0f);
  EXPECT_TRUE(Logged("token T1_Ghost not in tokenbar"));
  Run("Show");
  EXPECT_EQ(pass->GetAlpha(), 1.0f);
}

TEST_F(DisplayScript, GameOverStopsTheWorldCoversTheScreenAndReturnsToTheRootMenu) {
  for (int i = 0; i < 15; ++i) Step(0.1f);  // the new game's fade from black is over
  ::SetCursorHidden(true);
  Call("End");
  EXPECT_EQ(Said(), std::vector<std::string>{"goes on"}) << "the script is not stopped";
  EXPECT_TRUE(m_session->IsPaused());
  EXPECT_EQ(std::string(m_session->GetRequest().c_str()), "mainmenu");
  EXPECT_FALSE(::IsCursorHidden());
  const float time = m_session->GetGameTime();
  int frames = 0;
  while (StateName() == "Session" && frames < 20) {
    Step(0.1f);
    ++frames;
    if (quillane::GetSession()) {
      EXPECT_EQ(quillane::GetSession()->GetGameTime(), time) << frames;
    }
  }
  EXPECT_EQ(StateName(), "RootMenu");
  EXPECT_GE(frames, 5) << "the screen is covered over 0.5 s first";
  EXPECT_LE(frames, 7);
  EXPECT_TRUE(Logged("Session: back to the main menu"));
}

}  // namespace
}  // namespace scriptfunctionstest
