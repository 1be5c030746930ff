// The session as the interface sees it, for the interface's tests: a rule table (which drops
// are accepted, which dialogue topics the partner takes, which tokens stay usable), the dialogue
// and player state, a scene height, a fake video clock and the calls the interface made, all
// installed into InterfaceServices. HudTest adds a root module with a window and the demo's
// token table and game state.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/app/ICMD.h"
#include "base/app/SystemRoot.h"
#include "base/data/Variant.h"
#include "base/gui/GUI.h"
#include "../menu/MenuFixture.h"
#include "support/EngineLogCapture.h"

namespace hudtest {

struct st_Rules {
  std::set<std::pair<std::string, std::string>> accepted;  // (target, token) drops
  std::set<std::string> topics;                            // tokens the dialogue partner takes
  std::set<std::string> usable;                            // CanUseToken
  std::vector<std::string> played;                         // "target/token" per PlayTokenHandler
  std::vector<std::string> calls;                          // button actions
  int checks = 0;                                          // CheckTokenOnTarget calls
  bool dialog = false;
  int pending = 0;
  std::string partner = "Odo";
  bool playerFree = true;
  bool cutscene = false;
  bool diaryVisible = false;
  bool sceneJustLoaded = false;
  std::string action;
  float sceneHeight = -1.0f;  // no scene
  bool videoPlaying = false;
  float videoTime = -1.0f;
  base::Variant gameState;
  base::Variant tokenTable;
};

// The one table the stand-ins read; reset by InstallStandIns.
st_Rules& Rules();
// Fills InterfaceServices with the stand-ins over a fresh rule table.
void InstallStandIns();
void RemoveStandIns();  // every entry empty again

// The demo's token table and a game state holding three items, two topics and an order.
extern const char* const kTokenTable;
extern const char* const kGameState;

using menutest::Cmd;

// A root module with a 1024 × 768 window, the stand-ins, the table and the game state.
class HudTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Through the root module (which keeps the mouse position), then to the window.
  bool Send(base::cl_Window& w, base::ICMD cmd);
  void MoveMouse(int x, int y);

  std::unique_ptr<base::cl_System> m_system;
  std::unique_ptr<testsupport::LogCapture> m_log;
};

}  // namespace hudtest
