// The editor as a game session meets it: the toggle keys offered by the session's input, F1 into
// the editor and back to the running game, and a game opened from the editor's menu paying no
// Skill into the waiting game.
#include <gtest/gtest.h>

#include "../session/session_input_fixture.h"
#include "base/app/KeyCode.h"
#include "base/data/VariantTools.h"
#include "editor_fixture.h"
#include "quillane/editor/Editor.h"
#include "quillane/minigames/decoder/Decoder.h"
#include "quillane/scene/Scene.h"
#include "quillane/session/Session.h"
#include "quillane/settings/TweakSettings.h"

namespace editortest {
namespace {


class EditorInSession : public sessiontest::SessionInputTest {
 protected:
  void SetUp() override {
    quillane::InstallEditorServices();
    SessionInputTest::SetUp();
  }
  void TearDown() override {
    quillane::SceneDisplay() = quillane::st_SceneDisplay();
    SessionInputTest::TearDown();
  }
  void KeyWith(uint8_t key, uint16_t modifiers) {
    base::ICMD cmd;
    cmd.type = base::ICMD::KEY_PRESSED;
    cmd.key = key;
    cmd.modifiers = modifiers;
    Input(cmd);
  }
  int Skill() {
    const base::Variant* skill = base::variant_get_attribute_by_path(*m_session->GetGameState(), "Missions/Skill", false);
    return skill ? skill->get_int() : -1;
  }
};

TEST_F(EditorInSession, TheSessionTogglesTheDisplaysOnlyWithTheDebugKeysAndWithoutCtrl) {
  Debug_KeysEnabled = false;
  Key('H');
  EXPECT_FALSE(quillane::SceneDisplay().showHotspots);
  Debug_KeysEnabled = true;
  KeyWith('N', kCtrl);
  EXPECT_FALSE(quillane::SceneDisplay().showNavMesh);
  for (uint8_t key : {'H', 'N', 'L', 'B'}) Key(key);
  const quillane::st_SceneDisplay& d = quillane::SceneDisplay();
  EXPECT_TRUE(d.showHotspots && d.showNavMesh && d.showLocators && d.showBoundaries);
}

TEST_F(EditorInSession, F1GoesIntoTheEditorAndBackToTheRunningGame) {
  Debug_KeysEnabled = true;
  Key(base::key::F1);
  EXPECT_EQ(StateName(), "Editor");
  ASSERT_NE(quillane::cl_Editor::GetEditor(), nullptr);
  Step();
  Key(base::key::F1);
  EXPECT_EQ(StateName(), "Session");
  EXPECT_EQ(quillane::GetSession(), m_session);
}

TEST_F(EditorInSession, AGameWithoutAMissionPathPaysNoSkillIntoTheWaitingGame) {
  base::variant_get_attribute_by_path(*m_session->GetGameState(), "Missions/MaxSkill", true)->set_int(100);
  quillane::i_Minigame* game = quillane::cl_DecoderPanel::Create();
  game->RaiseSkill(30);  // opened from the editor's menu: no mission
  EXPECT_EQ(Skill(), 0);
  game->SetMissionPath("Missions/Minigames/Decoder");
  game->RaiseSkill(30);
  EXPECT_EQ(Skill(), 30);
  delete game;
}

}  // namespace
}  // namespace editortest
