// The token bar against a rule table: the rebuild from the inventory in the player's order, the
// dialogue mode, drag and drop with the use animation and the token action, the animation types,
// removals that leave no pointer behind, the pending action and the token order in the game state.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "HudStandIns.h"
#include "base/data/Xml.h"
#include "base/text/Text.h"
#include "quillane/core/Event.h"
#include "quillane/hud/InterfaceServices.h"
#include "quillane/hud/Token.h"
#include "quillane/hud/TokenBar.h"

namespace hudtest {
namespace {

constexpr float kBarX = 80.0f, kBarY = 704.0f;

std::vector<std::string> Labels(const cl_TokenBar& bar) {
  std::vector<std::string> out;
  for (base::cl_Window* w : bar.m_Children) out.emplace_back(w->m_Label.c_str());
  return out;
}

class TokenBarTest : public HudTest {
 protected:
  void SetUp() override {
    HudTest::SetUp();
    m_bar.m_Rect = {kBarX, kBarY, 600.0f, 64.0f};
    m_bar.ReadTokenOrder(Rules().gameState);
  }
  // Frames of dt until the bar stops animating (at most seconds).
  void Run(float seconds, float dt = 0.05f) {
    for (float t = 0.0f; t < seconds; t += dt) m_bar.Update(dt);
  }
  void ClickAt(float x, float y) {
    Send(m_bar, Cmd(base::ICMD::MOUSE_MOVE, int(x), int(y)));
    Send(m_bar, Cmd(base::ICMD::LEFT_DOWN, int(x), int(y)));
    Send(m_bar, Cmd(base::ICMD::LEFT_UP, int(x), int(y)));
  }
  // Odo stands right of x = 500 and takes the ledger; the bar shows the inventory.
  void LedgerGoesToOdoRightOf500() {
    Rules().accepted = {{"Odo", "T1_Ledger"}};
    InterfaceServices().GetDropTargetName = [](float x, float, base::tString<base::BaseString>& name) {
      if (x < 500.0f) return false;
      name = "Odo";
      return true;
    };
    m_bar.SyncMode(true);
  }
  void ClickToken(const char* label) {
    cl_Token* t = m_bar.FindToken(label);
    ASSERT_NE(t, nullptr) << label;
    ClickAt(t->m_Rect.x + 32.0f, t->m_Rect.y + 32.0f);
  }
  cl_TokenBar m_bar;
};

// ---- rebuild

TEST_F(TokenBarTest, DefaultModeShowsHeldItemsInThePlayersOrderUnlistedFirst) {
  m_bar.SyncMode(true);
  // Codebook is not in "TokenOrder"; the pass is held 0 times; the topics wait for a dialogue.
  EXPECT_EQ(Labels(m_bar), (std::vector<std::string>{"T1_Codebook", "T1_Telegram", "T1_Ledger"}));
  EXPECT_EQ(m_bar.GetShownLabels().size(), 3u);
  for (int i = 0; i < 3; ++i) {
    auto* t = static_cast<cl_Token*>(m_bar.m_Children[i]);
    EXPECT_FLOAT_EQ(t->m_Rect.x, kBarX + 64.0f * i);
    EXPECT_FLOAT_EQ(t->m_Rect.y, kBarY);
  }
  EXPECT_TRUE(m_log->contains("TokenBar in DefaultMode"));
  EXPECT_FALSE(m_log->contains("ERROR"));
}

TEST_F(TokenBarTest, DialogueModeLeadsWithEndChatAndShowsWhatThePartnerTakes) {
  Rules().topics = {"T6_Ferry", "T1_Ledger"};
  Rules().dialog = true;
  m_bar.SyncMode(false);
  EXPECT_TRUE(m_bar.IsDialogMode());
  EXPECT_EQ(Labels(m_bar), (std::vector<std::string>{"T6_EndChat", "T6_Ferry", "T1_Ledger"}));
  EXPECT_TRUE(m_log->contains("TokenBar in DialogMode"));
}

TEST_F(TokenBarTest, ModeChangesAndForcingRebuildButAnUnchangedModeDoesNot) {
  m_bar.SyncMode(true);
  m_bar.SyncMode(false);  // still no dialogue
  EXPECT_EQ(m_log->count("TokenBar in"), 1);
  Rules().dialog = true;
  m_bar.SyncMode(false);
  Rules().dialog = false;
  m_bar.SyncMode(false);
  m_bar.SyncMode(true);
  EXPECT_EQ(m_log->count("TokenBar in DialogMode"), 1);
  EXPECT_EQ(m_log->count("TokenBar in DefaultMode"), 3);
}

TEST_F(TokenBarTest, WithoutInventoryTheBarStaysEmpty) {
  Rules().gameState.set_element("GameState");
  m_bar.SyncMode(true);
  EXPECT_EQ(m_bar.GetChildCount(), 0);
  RemoveStandIns();  // no session at all
  m_bar.SyncMode(true);
  EXPECT_EQ(m_bar.GetChildCount(), 0);
}

// ---- drag and drop

TEST_F(TokenBarTest, AcceptedDropPlaysTheUseAnimationThenTheActionOnce) {
  LedgerGoesToOdoRightOf500();
  ClickToken("T1_Ledger");
  cl_Token* ledger = m_bar.FindToken("T1_Ledger");
  ASSERT_EQ(m_bar.GetCarried(), ledger);
  EXPECT_EQ(ledger->GetState(), cl_Token::STATE_CARRIED);
  // The token keeps its offset from the grab point while it follows the mouse.
  Send(m_bar, Cmd(base::ICMD::MOUSE_MOVE, 600, 300));
  EXPECT_FLOAT_EQ(ledger->m_Rect.x, 600.0f - 32.0f);
  EXPECT_FLOAT_EQ(ledger->m_Rect.y, 300.0f - 32.0f);
  ClickAt(600, 300);
  EXPECT_EQ(m_bar.GetCarried(), nullptr);
  ASSERT_EQ(ledger->GetAnimations().size(), 1u);
  EXPECT_EQ(ledger->GetAnimations().front().type, cl_Token::ANIM_USE_GROW);
  Run(0.45f);
  EXPECT_TRUE(Rules().played.empty()) << "the action waits for the animation";
  Run(0.1f);
  EXPECT_EQ(Rules().played, (std::vector<std::string>{"Odo/T1_Ledger"}));
  Run(2.0f);
  EXPECT_EQ(Rules().played.size(), 1u);
  EXPECT_EQ(ledger->GetState(), cl_Token::STATE_IDLE);
  EXPECT_FLOAT_EQ(ledger->m_Rect.x, ledger->GetHomeX());
}

// Press on the token, move with the button held, release on Odo: the release drops it there. A
// press that moves no further than a hand's jitter is a click: the token stays carried.
TEST_F(TokenBarTest, APressedTokenDraggedOntoATargetIsDroppedWhereTheButtonIsReleased) {
  LedgerGoesToOdoRightOf500();
  cl_Token* ledger = m_bar.FindToken("T1_Ledger");
  const int x = int(ledger->m_Rect.x) + 32, y = int(ledger->m_Rect.y) + 32;
  Send(m_bar, Cmd(base::ICMD::MOUSE_MOVE, x, y));
  Send(m_bar, Cmd(base::ICMD::LEFT_DOWN, x, y));
  EXPECT_EQ(m_bar.GetCarried(), ledger) << "the press grabs it";
  Send(m_bar, Cmd(base::ICMD::MOUSE_MOVE, x + 2, y - 3));
  Send(m_bar, Cmd(base::ICMD::LEFT_UP, x + 2, y - 3));
  EXPECT_EQ(m_bar.GetCarried(), ledger) << "released in place: carried on for a second click";
  Send(m_bar, Cmd(base::ICMD::MOUSE_MOVE, x, y));
  Send(m_bar, Cmd(base::ICMD::RIGHT_UP, x, y));
  ASSERT_EQ(m_bar.GetCarried(), nullptr);

  Send(m_bar, Cmd(base::ICMD::LEFT_DOWN, x, y));
  for (int step = 1; step <= 4; ++step)
    Send(m_bar, Cmd(base::ICMD::MOUSE_MOVE, x + (600 - x) * step / 4, y + (300 - y) * step / 4));
  EXPECT_FLOAT_EQ(ledger->m_Rect.x, 600.0f - 32.0f);
  Send(m_bar, Cmd(base::ICMD::LEFT_UP, 600, 300));
  EXPECT_EQ(m_bar.GetCarried(), nullptr);
  ASSERT_EQ(ledger->GetAnimations().size(), 1u);
  EXPECT_EQ(ledger->GetAnimations().front().type, cl_Token::ANIM_USE_GROW);
  Run(0.6f);
  EXPECT_EQ(Rules().played, (std::vector<std::string>{"Odo/T1_Ledger"}));
}

TEST_F(TokenBarTest, RefusedDropAndRightClickReturnTheTokenHome) {
  m_bar.SyncMode(true);
  cl_Token* telegram = m_bar.FindToken("T1_Telegram");
  const float homeX = telegram->m_Rect.x;
  ClickToken("T1_Telegram");
  Send(m_bar, Cmd(base::ICMD::MOUSE_MOVE, 700, 200));
  ClickAt(700, 200);  // nothing there
  EXPECT_EQ(m_bar.GetCarried(), nullptr);
  EXPECT_EQ(telegram->GetState(), cl_Token::STATE_IDLE);
  EXPECT_FLOAT_EQ(telegram->m_Rect.x, homeX);
  EXPECT_EQ(Rules().checks, 0) << "no target, no rule asked";

  ClickToken("T1_Telegram");
  Send(m_bar, Cmd(base::ICMD::MOUSE_MOVE, 400, 100));
  EXPECT_TRUE(Send(m_bar, Cmd(base::ICMD::RIGHT_UP, 400, 100)));
  EXPECT_EQ(m_bar.GetCarried(), nullptr);
  EXPECT_FLOAT_EQ(telegram->m_Rect.x, homeX);
  EXPECT_TRUE(Rules().played.empty());
}

TEST_F(TokenBarTest, CancellingADragPutsTheTokenBackAtOnceOrSlidingIn) {
  m_bar.SyncMode(true);
  cl_Token* ledger = m_bar.FindToken("T1_Ledger");
  const float homeX = ledger->m_Rect.x;
  ClickToken("T1_Ledger");
  Send(m_bar, Cmd(base::ICMD::MOUSE_MOVE, 600, 300));
  m_bar.CancelDrag();
  EXPECT_EQ(m_bar.GetCarried(), nullptr);
  EXPECT_FLOAT_EQ(ledger->m_Rect.x, homeX);
  EXPECT_EQ(ledger->GetState(), cl_Token::STATE_IDLE);
  ClickToken("T1_Ledger");
  Send(m_bar, Cmd(base::ICMD::MOUSE_MOVE, 600, 300));
  m_bar.CancelDrag(true);
  EXPECT_EQ(m_bar.GetCarried(), nullptr);
  EXPECT_GT(ledger->m_Rect.x, homeX + 100.0f);
  Run(0.3f);
  EXPECT_FLOAT_EQ(ledger->m_Rect.x, homeX);
  EXPECT_EQ(ledger->GetState(), cl_Token::STATE_IDLE);
}

TEST_F(TokenBarTest, DropOnAnotherTokenOfTheBarUsesItsLabel) {
  Rules().accepted = {{"T1_Telegram", "T1_Codebook"}};
  m_bar.SyncMode(true);
  ClickToken("T1_Codebook");
  cl_Token* telegram = m_bar.FindToken("T1_Telegram");
  const int x = int(telegram->m_Rect.x + 40), y = int(telegram->m_Rect.y + 30);
  Send(m_bar, Cmd(base::ICMD::MOUSE_MOVE, x, y));
  ClickAt(float(x), float(y));
  Run(0.6f);
  EXPECT_EQ(Rules().played, (std::vector<std::string>{"T1_Telegram/T1_Codebook"}));
}

TEST_F(TokenBarTest, InADialogueWithLinesPendingTokensDoNotReact) {
  Rules().topics = {"T6_Ferry"};
  Rules().dialog = true;
  Rules().pending = 1;
  m_bar.SyncMode(false);
  cl_Token* ferry = m_bar.FindToken("T6_Ferry");
  ClickToken("T6_Ferry");
  EXPECT_EQ(m_bar.GetCarried(), nullptr);
  m_bar.Update(0.5f);
  EXPECT_FLOAT_EQ(ferry->GetScale(), 1.0f) << "no highlight either";
  Rules().pending = 0;
  m_bar.Update(0.5f);
  EXPECT_GT(ferry->GetScale(), 1.0f);
  ClickToken("T6_Ferry");
  EXPECT_EQ(m_bar.GetCarried(), ferry);
}

// A used topic the partner no longer takes fades out of the bar.
TEST_F(TokenBarTest, ATopicUsedUpInTheDialogueLeavesTheBar) {
  Rules().topics = {"T6_Ferry"};
  Rules().dialog = true;
  Rules().accepted = {{"Odo", "T6_Ferry"}};
  InterfaceServices().GetDropTargetName = [](float, float, base::tString<base::BaseString>& name) {
    name = "Odo";
    return true;
  };
  m_bar.SyncMode(false);
  ClickToken("T6_Ferry");
  ClickAt(500, 300);
  Run(3.0f);
  EXPECT_EQ(Rules().played, (std::vector<std::string>{"Odo/T6_Ferry"}));
  EXPECT_EQ(m_bar.FindToken("T6_Ferry"), nullptr);
  EXPECT_NE(m_bar.FindToken("T6_EndChat"), nullptr);
}

// ---- animations

struct st_AnimCase {
  int type;
  float progress;  // after one 0.1 s step
  int state;       // afterwards
};

class TokenAnimation : public TokenBarTest, public ::testing::WithParamInterface<st_AnimCase> {};

TEST_P(TokenAnimation, OneStepAdvancesAsItsTypeSays) {
  const st_AnimCase& c = GetParam();
  cl_Token* token = m_bar.AddToken(0, 0, "T1_Ledger", false);
  token->QueueAnimation({c.type, 0.0f, 1.0f});
  token->QueueAnimation({cl_Token::ANIM_WAIT, 0.0f, 1.0f});  // keeps the token animating
  m_bar.Update(0.1f);
  if (c.state == cl_Token::STATE_REMOVED) {
    // A removed token leaves the bar in the same update: nothing of it may be read afterwards.
    EXPECT_EQ(m_bar.FindToken("T1_Ledger"), nullptr);
    return;
  }
  ASSERT_EQ(m_bar.FindToken("T1_Ledger"), token);
  ASSERT_FALSE(token->GetAnimations().empty());
  EXPECT_NEAR(token->GetAnimations().front().progress, c.progress, 1e-5f);
  EXPECT_EQ(token->GetState(), c.state);
}

INSTANTIATE_TEST_SUITE_P(
    SixteenTypes, TokenAnimation,
    ::testing::Values(st_AnimCase{0, 0.3f, 2}, st_AnimCase{1, 0.1f, 2}, st_AnimCase{2, 0.1f, 2},
                      st_AnimCase{3, 0.1f, 2}, st_AnimCase{4, 0.1f, 2}, st_AnimCase{5, 0.2f, 2},
                      st_AnimCase{6, 0.2f, 2}, st_AnimCase{7, 0.1f, 2}, st_AnimCase{8, 0.1f, 2},
                      st_AnimCase{9, 0.1f, 2}, st_AnimCase{10, 0.0f, 4}, st_AnimCase{11, 0.1f, 2},
                      st_AnimCase{12, 0.1f, 2}, st_AnimCase{13, 0.1f, 2}, st_AnimCase{14, 0.1f, 2},
                      st_AnimCase{15, 0.2f, 2}));

TEST_F(TokenBarTest, AUseEndsInTheUsedStateAndALeaveInTheRemovedOne) {
  cl_Token* token = m_bar.AddToken(0, 0, "T1_Ledger", false);
  token->QueueAnimation({cl_Token::ANIM_USE, 0.0f, 1.0f});
  for (int i = 0; i < 5; ++i) token->Update(0.1f);
  EXPECT_EQ(token->GetState(), cl_Token::STATE_USED);
  EXPECT_EQ(m_bar.GetLastUsed(), token);
  EXPECT_EQ(token->GetAnimations().front().type, cl_Token::ANIM_WAIT);
  m_bar.SetLastUsed(nullptr);

  // Inside a removal the fade is no use: the token is marked removed and the bar deletes it.
  m_bar.RemoveTokenAnimated("T1_Ledger");
  token->SetState(cl_Token::STATE_ANIMATING);
  for (int i = 0; i < 60 && m_bar.GetChildCount() > 0; ++i) m_bar.Update(0.05f);
  EXPECT_EQ(m_bar.GetChildCount(), 0);
  EXPECT_TRUE(Rules().played.empty());
}

TEST_F(TokenBarTest, GlideAndSlideReachHomeWithoutAStartPoint) {
  cl_Token* token = m_bar.AddToken(0, 0, "T1_Ledger", false);
  token->m_Rect.x = kBarX + 200.0f;
  token->QueueAnimation({cl_Token::ANIM_GLIDE_HOME, 0.0f, 1.0f});
  for (int i = 0; i < 5; ++i) token->Update(0.1f);
  EXPECT_NEAR(token->m_Rect.x, kBarX + 100.0f, 0.5f) << "halfway at half progress";
  for (int i = 0; i < 6; ++i) token->Update(0.1f);
  EXPECT_FLOAT_EQ(token->m_Rect.x, kBarX);
  token->m_Rect.x = kBarX + 200.0f;
  token->QueueAnimation({cl_Token::ANIM_SLIDE_HOME, 0.0f, 1.0f});
  for (int i = 0; i < 4; ++i) token->Update(0.1f);
  EXPECT_NEAR(token->m_Rect.x, kBarX + 120.0f, 0.5f);
}

// ---- removal and pending actions

TEST_F(TokenBarTest, ARemovedTokenLeavesNoPointerBehind) {
  Rules().accepted = {{"T1_Telegram", "T1_Codebook"}};
  m_bar.SyncMode(true);
  // Carried and hovered ...
  cl_Token* codebook = m_bar.FindToken("T1_Codebook");
  MoveMouse(int(codebook->m_Rect.x + 32), int(codebook->m_Rect.y + 32));
  m_bar.Update(0.01f);
  EXPECT_EQ(m_bar.GetHovered(), codebook);
  ClickToken("T1_Codebook");
  ASSERT_EQ(m_bar.GetCarried(), codebook);
  m_bar.RemoveToken("T1_Codebook", false);
  EXPECT_EQ(m_bar.GetCarried(), nullptr);
  EXPECT_EQ(m_bar.GetHovered(), nullptr);
  m_bar.Update(0.1f);
  m_bar.Render(0, 0);

  // ... the drop target of a carried token ...
  ClickToken("T1_Ledger");
  cl_Token* telegram = m_bar.FindToken("T1_Telegram");
  Send(m_bar, Cmd(base::ICMD::MOUSE_MOVE, int(telegram->m_Rect.x + 40), int(telegram->m_Rect.y + 32)));
  m_bar.Render(0, 0);
  ASSERT_EQ(m_bar.GetDropTargetToken(), telegram);
  m_bar.RemoveToken("T1_Telegram", false);
  EXPECT_EQ(m_bar.GetDropTargetToken(), nullptr);
  m_bar.CancelDrag();

  // ... and the last used one, before the bar ran its action.
  cl_Token* ledger = m_bar.FindToken("T1_Ledger");
  ledger->QueueAnimation({cl_Token::ANIM_USE, 0.0f, 1.0f});
  for (int i = 0; i < 6; ++i) ledger->Update(0.1f);
  ASSERT_EQ(m_bar.GetLastUsed(), ledger);
  m_bar.RemoveToken("T1_Ledger", false);
  EXPECT_EQ(m_bar.GetLastUsed(), nullptr);
  m_bar.Update(0.1f);
  EXPECT_TRUE(Rules().played.empty());
  EXPECT_EQ(m_bar.GetChildCount(), 0);
  m_bar.RemoveToken("T1_Ledger", false);
  EXPECT_TRUE(m_log->contains("token T1_Ledger not in tokenbar"));
}

// A token that leaves the bar, dissolving or at once, leaves no empty slot: the tokens right of it
// move left into the gap (gliding after a dissolve, at once after an instant removal).
TEST_F(TokenBarTest, TheTokensRightOfALostOneCloseTheGap) {
  m_bar.SyncMode(true);
  ASSERT_EQ(m_bar.GetChildCount(), 3);
  const std::vector<std::string> before = Labels(m_bar);
  m_bar.LoseToken(before[0].c_str(), true);
  Run(3.0f);
  ASSERT_EQ(Labels(m_bar), (std::vector<std::string>{before[1], before[2]}));
  for (int i = 0; i < 2; ++i) {
    const cl_Token* token = m_bar.FindToken(before[1 + i].c_str());
    EXPECT_FLOAT_EQ(token->GetHomeX(), kBarX + 64.0f * i) << token->m_Label.c_str();
    EXPECT_FLOAT_EQ(token->m_Rect.x, kBarX + 64.0f * i) << token->m_Label.c_str();
  }
  m_bar.LoseToken(before[1].c_str(), false);
  Run(1.0f);
  const cl_Token* last = m_bar.FindToken(before[2].c_str());
  EXPECT_FLOAT_EQ(last->GetHomeX(), kBarX);
  EXPECT_FLOAT_EQ(last->m_Rect.x, kBarX);

  // A token lost as another pops in (the telegram used up, the message it gave put straight into
  // the inventory): the new one ends in the slot the lost one left, not after it.
  m_bar.LoseToken(before[2].c_str(), true);
  m_bar.AcquireTokenPopIn("T1_Pass");
  Run(5.0f);
  ASSERT_EQ(Labels(m_bar), (std::vector<std::string>{"T1_Pass"}));
  const cl_Token* arrived = m_bar.FindToken("T1_Pass");
  EXPECT_FLOAT_EQ(arrived->GetHomeX(), kBarX);
  EXPECT_FLOAT_EQ(arrived->m_Rect.x, kBarX);
}

class cl_CountingEvent : public i_Event {
 public:
  explicit cl_CountingEvent(int& runs, int& deletes) : m_runs(runs), m_deletes(deletes) {}
  ~cl_CountingEvent() override { ++m_deletes; }
  void Execute() override { ++m_runs; }

 private:
  int& m_runs;
  int& m_deletes;
};

TEST_F(TokenBarTest, APendingActionWaitsWhileATokenAnimates) {
  m_bar.SyncMode(true);
  m_bar.AcquireToken("T1_Pass", 500.0f, 300.0f);  // appears, pulses, glides, sparkles
  EXPECT_EQ(m_bar.GetTokenOrder().back(), "T1_Pass");
  int runs = 0, deletes = 0;
  m_bar.SetPendingAction(new cl_CountingEvent(runs, deletes));
  Run(2.5f);
  EXPECT_EQ(runs, 0);
  EXPECT_TRUE(m_bar.IsAnimating());
  Run(1.0f);
  EXPECT_FALSE(m_bar.IsAnimating());
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(deletes, 1);
  Run(0.5f);
  EXPECT_EQ(runs, 1);
  // The acquired token is shown once, however often it is acquired.
  m_bar.AcquireToken("T1_Pass", 0.0f, 0.0f);
  EXPECT_EQ(m_bar.GetChildCount(), 4);
}

// ---- token order

TEST_F(TokenBarTest, TokenOrderTravelsThroughTheGameStateAndItsText) {
  m_bar.AcquireTokenPopIn("T1_Codebook");
  m_bar.AcquireTokenPopIn("T1_Pass");
  base::Variant state;
  state.set_element("GameState");
  m_bar.WriteTokenOrder(state);
  m_bar.WriteTokenOrder(state);  // replaced, not appended
  base::Text text;
  ASSERT_TRUE(base::xml::write_text(state, text));
  base::Variant reread;
  ASSERT_TRUE(base::xml::read_text(reread, text.c_str()));
  cl_TokenBar other;
  other.ReadTokenOrder(reread);
  const std::vector<std::string> expected = {"T1_Telegram", "T1_Ledger", "T1_Codebook", "T1_Pass"};
  ASSERT_EQ(other.GetTokenOrder().size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(other.GetTokenOrder()[i], expected[i].c_str());
  ASSERT_NE(state.get_element("TokenOrder"), nullptr);
  EXPECT_EQ(state.get_element("TokenOrder")->size(), 4);
}

}  // namespace
}  // namespace hudtest
