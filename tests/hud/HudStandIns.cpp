#include "HudStandIns.h"

#include "base/data/Xml.h"
#include "base/gui/GUI.h"
#include "quillane/hud/InterfaceServices.h"

namespace hudtest {

const char* const kTokenTable = R"(<Tokens>
  <DialogTokens>
    <Token label="T6_EndChat" display_name="#inter2_9 Goodbye"/>
    <Token label="T6_Ferry" display_name="The ferry"/>
    <Token label="T6_Lamp" display_name="The lamp"/>
  </DialogTokens>
  <Items>
    <Token label="T1_Ledger" display_name="Ledger"/>
    <Token label="T1_Codebook" display_name="Code book"/>
    <Token label="T1_Telegram" display_name="Telegram"/>
    <Token label="T1_Pass" display_name="Pass"/>
  </Items>
</Tokens>)";

// The items were acquired before any topic, so "Items" comes first in the inventory.
const char* const kGameState = R"(<GameState>
  <Inventory>
    <Items>
      <Token label="T1_Ledger" cnt="1"/>
      <Token label="T1_Codebook" cnt="1"/>
      <Token label="T1_Telegram" cnt="2"/>
      <Token label="T1_Pass" cnt="0"/>
    </Items>
    <DialogTokens>
      <Token label="T6_Ferry"/>
      <Token label="T6_Lamp"/>
    </DialogTokens>
  </Inventory>
  <TokenOrder><Token label="T1_Telegram"/><Token label="T1_Ledger"/></TokenOrder>
</GameState>)";

st_Rules& Rules() {
  static st_Rules rules;
  return rules;
}

void InstallStandIns() {
  Rules() = st_Rules();
  st_InterfaceServices& s = InterfaceServices();
  s = st_InterfaceServices();
  s.GetGameState = [] { return Rules().gameState.is_element() ? &Rules().gameState : nullptr; };
  s.GetTokenTable = []() -> const base::Variant* { return Rules().tokenTable.is_element() ? &Rules().tokenTable : nullptr; };
  s.CanUseToken = [](const char* token) { return Rules().usable.count(token) > 0; };
  s.CallTokenHandler = [](const char* target, const char* token) {
    return Rules().partner == target && Rules().topics.count(token) > 0;
  };
  s.CheckTokenOnTarget = [](const char* target, const char* token) {
    ++Rules().checks;
    return Rules().accepted.count({target, token}) > 0;
  };
  s.PlayTokenHandler = [](const char* target, const char* token) {
    Rules().played.push_back(std::string(target) + "/" + token);
  };
  s.IsDialogActive = [] { return Rules().dialog; };
  s.GetDialogPendingCount = [] { return Rules().pending; };
  s.GetDialogPartner = [] { return Rules().partner.c_str(); };
  s.IsPlayerFree = [] { return Rules().playerFree; };
  s.IsCutscene = [] { return Rules().cutscene; };
  s.GetCurrentActionName = [] { return Rules().action.c_str(); };
  s.IsDiaryVisible = [] { return Rules().diaryVisible; };
  s.IsSceneJustLoaded = [] { return Rules().sceneJustLoaded; };
  s.GetSceneHeight = [](float& h) {
    h = Rules().sceneHeight;
    return Rules().sceneHeight >= 0.0f;
  };
  s.IsVideoPlaying = [] { return Rules().videoPlaying; };
  s.GetVideoTime = [] { return Rules().videoTime; };
  s.OpenIngameMenu = [] { Rules().calls.push_back("menu"); };
  s.OpenLoadSavePanel = [] { Rules().calls.push_back("loadsave"); };
  s.OpenDiary = [] { Rules().calls.push_back("diary"); };
  s.CaptureScreenshot = [] { Rules().calls.push_back("screenshot"); };
}

void RemoveStandIns() { InterfaceServices() = st_InterfaceServices(); }

void HudTest::SetUp() {
  m_log = std::make_unique<testsupport::LogCapture>();
  m_system = std::make_unique<base::cl_System>();
  m_system->SetWindowSize(1024, 768);
  InstallStandIns();
  ASSERT_TRUE(base::xml::read_text(Rules().tokenTable, kTokenTable));
  ASSERT_TRUE(base::xml::read_text(Rules().gameState, kGameState));
}

void HudTest::TearDown() {
  RemoveStandIns();
  Rules() = st_Rules();
  m_system.reset();
  m_log.reset();
}

bool HudTest::Send(base::cl_Window& w, base::ICMD cmd) {
  base::ICMD copy = cmd;
  m_system->ProcessInput(copy);
  return w.ProcessInput(cmd);
}

void HudTest::MoveMouse(int x, int y) {
  base::ICMD c = Cmd(base::ICMD::MOUSE_MOVE, x, y);
  m_system->ProcessInput(c);
}

}  // namespace hudtest
