// The running session and the mission values of its game state.
#include "quillane/core/GameState.h"

#include <algorithm>

#include "base/String.h"
#include "base/app/GameFrame.h"
#include "base/data/Variant.h"

namespace quillane {
namespace {

base::i_GameSession* g_session = nullptr;

}  // namespace

base::i_GameSession* GetRunningSession() { return g_session; }

void SetRunningSession(base::i_GameSession* session) { g_session = session; }

base::Variant* GetGameState() { return g_session ? g_session->GetGameState() : nullptr; }

int GetMissionState(const char* name) {
  base::Variant* state = GetGameState();
  if (!state || !name) return -1;
  // A value the game never set counts from 0, as every counter of a new game starts.
  const base::Variant* missions = state->get_element("Missions");
  int value = 0;
  if (missions) missions->get_attribute_int(name, value);
  return value;
}

void SetMissionState(const char* name, int value) {
  base::Variant* state = GetGameState();
  base::Variant* missions = state && name ? state->get_element("Missions") : nullptr;
  if (!missions) return;
  base::String bound("Max");
  bound += name;
  int max = 0;  // a counter without its bound cannot rise above 0; the initial state carries them
  missions->get_attribute_int(bound.c_str(), max);
  if (base::Variant* stored = missions->attribute(name)) stored->set_int(std::min(value, max));
}

}  // namespace quillane
