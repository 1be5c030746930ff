// The running game as the lower areas see it: the session through the engine's interface and
// the values of its game-state tree that mini-games and scores read and write. The session
// registers itself when it is made; without one each look-up gives its stated default. Main
// thread only.
#pragma once

namespace base {
class i_GameSession;
class Variant;
}  // namespace base

namespace quillane {

base::i_GameSession* GetRunningSession();  // null without a game
// The session registers itself when made and clears the entry (null) when it goes.
void SetRunningSession(base::i_GameSession* session);
base::Variant* GetGameState();  // the running session's game-state tree; null without a session

// The int attribute name of the game state's "Missions"; 0 when the value (or "Missions") is
// missing; -1 for a null name or without a session.
int GetMissionState(const char* name);
void SetMissionState(const char* name, int value);  // bounded by "Max" + name when present

}  // namespace quillane
