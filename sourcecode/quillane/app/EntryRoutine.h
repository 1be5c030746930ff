// The program's entry routine, shared by main() and the play-through test: it makes sure only
// one copy runs, prepares the user folder, reads the configuration far enough for the language
// and the tweak settings, shows the splash screen, builds the root module with the platform and
// the top modules, runs the frame loop and shuts everything down.
#pragma once

#include <cstdint>
#include <string>

class cl_PlayDriver;

struct st_StartOptions {
  enum class en_Display { Auto, Headless, Window };

  std::string userDir;   // the user folder; empty: the documents folder's "Quillane"
  en_Display display = en_Display::Auto;  // Auto: headless when there is no display
  bool fixedStep = false;  // every frame lasts exactly 0.1 s (scripted runs)
  int frameLimit = 0;      // the loop ends after that many frames; 0: no limit
  std::string screenshot;  // the last frame goes to this PNG at the end
  std::string playFile;    // a .play file run through the driver (golden pictures beside it)
  std::string mixFile;     // with fixedStep: each frame's 0.1 s of mix appended here (raw 16-bit stereo)
  cl_PlayDriver* driver = nullptr;  // a driver of the caller's, used instead of playFile
  uint16_t debuggerPort = 0;        // the script debugger link's own port; 0: its default
  bool handleSignals = true;        // Ctrl-C and SIGTERM end the loop at the next frame
};

// The options from the environment: QUILLANE_USER_DIR, QUILLANE_HEADLESS, QUILLANE_FRAMES,
// QUILLANE_SCREENSHOT, QUILLANE_INPUT (a .play file, run with the fixed-step clock) and
// QUILLANE_MIX_FILE (that run's mix).
st_StartOptions StartOptionsFromEnvironment();

// Runs the game. 0 for a normal end, for a second copy (which returns at once, writing nothing)
// and for a .play file whose every step passed; 1 when the start-up fails, the .play file cannot
// be read, one of its steps fails or its mix file cannot be written.
int RunGame(const st_StartOptions& options);
