// What the game's menu panels (the in-game menu, the options) ask of the running game session,
// which implements it, so that the panels need not know the session.
#pragma once

class cl_Fader;

class i_MenuSession {
 public:
  virtual ~i_MenuSession() = default;
  virtual void SetPaused(bool paused) = 0;
  // "mainmenu" or "quit": carried out by the session's next update.
  virtual void SetPendingRequest(const char* request) = 0;
  virtual cl_Fader& GetFader() = 0;
};
