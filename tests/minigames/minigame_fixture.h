// A game session in the demo Office with mini-games switched on and the probe game registered
// as "Probe" (data file "probe.dat", skip strip copied from the demo's bookshelf folder). Input
// goes through the module tree; frames are stepped at 0.1 s.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "../session/session_input_fixture.h"
#include "../support/CountingEvent.h"
#include "../support/GoldenImage.h"
#include "probe_game.h"

namespace quillane {
class cl_MinigameManager;
class i_Minigame;
}

namespace minigametest {

class MinigameTest : public sessiontest::SessionInputTest {
 protected:
  void SetUp() override;

  cl_ProbeGame* Probe() const;  // the probe's instance; null before its first start
  // Starts the probe with a counting event; on a refusal the event is deleted here (the caller
  // of Start keeps it), so counts.deleted shows it.
  bool StartProbe(testsupport::st_EventCounts& counts, bool force = false);
  // Session frames until the manager runs the game (the fade-in over); false after limit.
  bool StepUntilRunning(int limit = 40);
  // Starts a registered game with the random generator seeded and a counting event (m_counts[0])
  // and waits for the fade-in; null when the start is refused or the game does not come up.
  quillane::i_Minigame* StartSeeded(const char* name, int seed);
  bool StepUntilIdle(int limit = 60);  // until the manager holds no game
  void SetQuickSkip(bool on);          // the option "Game/MinigamesPanicButton/Value"
  int GameStateInt(const char* path);  // -1 when missing
  void SetState(const char* path, const char* value);  // a game-state attribute, made when missing
  void SetState(const char* path, int value);
  void Mouse(int type, float x, float y);

  // The tests' completion events count here: a game still held at the end of a test is shut
  // down with the session, after the test body.
  testsupport::st_EventCounts m_counts[4];
  quillane::cl_MinigameManager* m_games = nullptr;
  int m_probeIndex = -1;
};

using testsupport::Shrink;

}  // namespace minigametest
