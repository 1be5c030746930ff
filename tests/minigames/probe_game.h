// A mini-game of the tests' own, to drive the framework: it counts its calls, finishes when
// told, draws a flat colour with its skip button and tutorial on top, and keeps one picture
// and the skip strip in its data file. Two "Start" tutorials and one "Win" tutorial.
#pragma once

#include "graphics/image/Image.h"
#include "quillane/minigames/Minigame.h"

namespace minigametest {

struct st_ProbeCounts {
  int made = 0, deleted = 0, inits = 0, ends = 0, updates = 0, compiles = 0;
  bool finishNow = false;   // IsFinished from the next query on
  bool refuseInit = false;  // Init fails
  bool failCompile = false;
};
st_ProbeCounts& ProbeCounts();

constexpr uint32_t kProbeColour = 0xFF208060u;
constexpr float kProbeSkipDelay = 5.0f;
constexpr float kProbeTutorialTime = 3.0f;
extern const char* const kProbeStrip;    // the skip strip's folder path, as the games give it
extern const char* const kProbePicture;  // the one picture of its data file

class cl_ProbeGame : public quillane::i_Minigame {
 public:
  cl_ProbeGame();
  ~cl_ProbeGame() override;
  static quillane::i_Minigame* Make() { return new cl_ProbeGame; }

  using i_Minigame::Init;  // the window's Init stays reachable
  bool Init(base::Variant* mission, bool restart) override;
  void End() override;
  bool IsFinished() override;
  bool HandleInput(base::ICMD& cmd) override;
  bool Compile(const char* dataFile) override;
  void Update(float dt) override;
  void Render(float x, float y) override;

  // Reads the data file as Init does; false when it does not fit.
  bool ReadDataFile(const char* dataFile);
  float GetPlayTime() const { return m_playTime; }  // seconds played outside tutorials
  int GetLastKey() const { return m_lastKey; }
  gfx::cl_Image& GetPicture() { return m_picture; }

 private:
  gfx::cl_Image m_picture;
  float m_playTime = 0.0f;
  int m_lastKey = 0;
};

}  // namespace minigametest
