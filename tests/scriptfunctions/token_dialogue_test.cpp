// A conversation with Odo on the demo Office, with the demo's own token table and dialogue
// script: his topic arrives in the bar, only he takes it, dropping it plays it (spoken lines
// and all), and once only the end-chat is left the dialogue ends by itself. Mina's topics with
// the harbour lamp dark and burning.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "base/data/Variant.h"
#include "quillane/hud/TokenBar.h"
#include "quillane/session/InventoryTokens.h"
#include "office_fixture.h"

namespace scriptfunctionstest {
namespace {

std::string ReadDemo(const std::string& path) {
  std::ifstream in(std::string(QUILLANE_DATA_DIR) + "/" + path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

using TokenDialogue = OfficeTest;

TEST_F(TokenDialogue, OdosTopicIsPlayedWhenDroppedOnHimAndTheEndChatEndsTheTalk) {
  Write("GUI/tokens/tokens.xml", ReadDemo("GUI/tokens/tokens.xml"));
  Write("Scripts/Dialogs/Odo.lua", ReadDemo("Scripts/Dialogs/Odo.lua"));
  ASSERT_NO_FATAL_FAILURE(Load("function Talk()\n  StartDialog(\"Odo\")\nend\n"));
  Call("Talk");
  for (int i = 0; i < 30; ++i) Step(0.1f);
  cl_TokenBar* bar = m_session->GetTokenBar();
  ASSERT_NE(bar, nullptr);
  EXPECT_TRUE(bar->IsDialogMode());
  EXPECT_EQ(quillane::GetTokenCount("T6_Ferry"), 1);
  EXPECT_NE(bar->FindToken("T6_Ferry"), nullptr) << "Odo's check lets the bar show his topic";
  EXPECT_TRUE(quillane::CanUseToken("T6_Ferry"));
  EXPECT_TRUE(quillane::CheckTokenOnTarget("Odo", "T6_Ferry"));
  EXPECT_FALSE(quillane::CheckTokenOnTarget("Quillane", "T6_Ferry")) << "only the partner takes tokens";

  quillane::PlayTokenHandler("Odo", "T6_Ferry");
  for (int i = 0; i < 600 && m_session->GetDialogCtrl().IsActive(); ++i) Step(0.1f);
  EXPECT_FALSE(m_session->GetDialogCtrl().IsActive()) << Log();
  EXPECT_FALSE(bar->IsDialogMode());
  EXPECT_EQ(quillane::GetTokenCount("T6_Ferry"), 0) << "the topic is used up";
  const base::Variant* topic = quillane::FindOrAddInventoryToken("T6_Ferry", false);
  ASSERT_NE(topic, nullptr);
  int uses = 0;
  EXPECT_TRUE(topic->get_attribute_int("use_cnt", uses));
  EXPECT_EQ(uses, 1);
  EXPECT_FALSE(Logged("not available yet")) << "every function the dialogue calls is there";
  EXPECT_FALSE(Logged("has not been acquired")) << Log();
}

// Mina's answer about the lamp is about its broken wiring: her topic shows while the lamp is dark
// and is gone from her talks once it burns; the dance stays.
TEST_F(TokenDialogue, MinasLampTopicGoesOnceTheLampBurns) {
  Write("GUI/tokens/tokens.xml", ReadDemo("GUI/tokens/tokens.xml"));
  Write("Scripts/Dialogs/Mina.lua", ReadDemo("Scripts/Dialogs/Mina.lua"));
  ASSERT_NO_FATAL_FAILURE(Load("function Talk()\n  StartDialog(\"Mina\")\nend\n"
                               "function LightTheLamp()\n  SetValue(\"Minigames/FloorLights/Win\", 1)\nend\n"));
  cl_TokenBar* bar = m_session->GetTokenBar();
  ASSERT_NE(bar, nullptr);
  for (bool burns : {false, true}) {
    SCOPED_TRACE(burns ? "the lamp burns" : "the lamp is dark");
    if (burns) Call("LightTheLamp");
    Call("Talk");
    for (int i = 0; i < 30; ++i) Step(0.1f);
    ASSERT_TRUE(m_session->GetDialogCtrl().IsActive()) << Log();
    EXPECT_EQ(bar->FindToken("T6_Lamp") != nullptr, !burns);
    EXPECT_NE(bar->FindToken("T6_Dance"), nullptr);
    quillane::PlayTokenHandler("Mina", "T6_EndChat");
    for (int i = 0; i < 600 && m_session->GetDialogCtrl().IsActive(); ++i) Step(0.1f);
    ASSERT_FALSE(m_session->GetDialogCtrl().IsActive()) << Log();
  }
}

}  // namespace
}  // namespace scriptfunctionstest
