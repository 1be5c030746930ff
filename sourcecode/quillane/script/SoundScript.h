// cl_SoundScript: the "SFX…" script functions through which scripts play sounds and streams,
// steer channels, music playlists and sound effects. Each is a thin binding onto one call of the
// sound facade; names default to "default" with a message, and results and units (a stream's
// length in milliseconds, a sample's in seconds) reach the script as the facade gives them.
#pragma once

class cl_SoundScript {
 public:
  // Binds the 19 functions into the script system's root module in their fixed order; the
  // result of the last binding. The session calls it right after the game's own functions.
  static bool Register();
};
