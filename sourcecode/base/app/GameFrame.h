// The interfaces through which engine code reaches the game: the game frame (the state handler
// of main menu, loading screen, session, editor ...) and the running game session. The game
// implements both; there is at most one frame at a time.
#pragma once

#include "base/String.h"
#include "base/app/Module.h"

namespace base {

class i_GameSession : public cl_StateHandlerModule {
 public:
  // Starts a new game; false when it could not start.
  virtual bool NewGame() = 0;
  // Loads the savegame; false, logged, when it could not be read.
  virtual bool LoadGame(const char* savegame) = 0;
  // Writes the running game to path under the display name, with header as its list record
  // (may be null); false when nothing could be written.
  virtual bool SaveGame(const char* path, tString<BaseUnicodeString> name, const Variant* header) = 0;
  virtual float GetGameTime() const { return 0.0f; }  // seconds played
  virtual Variant* GetGameState() { return nullptr; }  // the game-state tree; null before a game
  virtual void SetPaused(bool) {}                       // the game stands still while paused
};

class i_GameFrame : public cl_StateHandlerModule {
 public:
  i_GameFrame();   // becomes the process-wide frame
  ~i_GameFrame() override;  // clears the process-wide frame
  i_GameFrame(const i_GameFrame&) = delete;
  i_GameFrame& operator=(const i_GameFrame&) = delete;

  // Sets the root module's quit flag (the main loop ends); the states are not shut down.
  bool ShutDown() override;
  virtual i_GameSession* CreateSession() = 0;  // the game's new session module

  // Replaces the session with a new one from CreateSession and adds it as the state "Session".
  bool NewSession();
  // Switches to "Session" and starts it; false, with the current state kept, when there is none.
  bool RunSession();
  // Removes the "Session" state and lets the session go; nothing when there is none.
  void EndSession();
  i_GameSession* GetSession() const { return m_session.get(); }

 private:
  smart_ptr<i_GameSession> m_session;
};

i_GameFrame* GetFrameInterface();      // the frame, or null
i_GameSession* GetSessionInterface();  // the frame's session; null without a frame

}  // namespace base
