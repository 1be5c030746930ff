#include "probe_game.h"

#include "base/FileTools.h"
#include "base/app/ICMD.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "quillane/minigames/MinigameDataFile.h"

namespace minigametest {

const char* const kProbeStrip = "gui/minigames/bookshelf/texturestrips/panicbutton";
const char* const kProbePicture = "gui/minigames/bookshelf/texturestrips/panicbutton/panicbutton_1.tga";

st_ProbeCounts& ProbeCounts() {
  static st_ProbeCounts counts;
  return counts;
}

cl_ProbeGame::cl_ProbeGame() {
  ++ProbeCounts().made;
  m_Tutorials.emplace_back("#probe0_1 First box", 512.0f, 400.0f, 300, 4, "Start", kProbeTutorialTime);
  m_Tutorials.emplace_back("#probe0_2 Second box", 512.0f, 400.0f, 300, 4, "Start", kProbeTutorialTime);
  m_Tutorials.emplace_back("#probe0_3 Won", 100.0f, 700.0f, 300, 1, "Win", kProbeTutorialTime);
}

cl_ProbeGame::~cl_ProbeGame() { ++ProbeCounts().deleted; }

bool cl_ProbeGame::Init(base::Variant*, bool restart) {
  ++ProbeCounts().inits;
  if (ProbeCounts().refuseInit) return false;
  if (!restart && base::FileExists(GetDataFile()) && !ReadDataFile(GetDataFile().c_str())) return false;
  m_playTime = 0.0f;
  m_lastKey = 0;
  ResetPanicTimer(kProbeSkipDelay);
  return true;
}

bool cl_ProbeGame::ReadDataFile(const char* dataFile) {
  quillane::cl_MinigameDataFile file;
  if (!file.OpenRead(dataFile)) return false;
  file.Record(m_picture);
  return file.Finish(*this);
}

void cl_ProbeGame::End() { ++ProbeCounts().ends; }

bool cl_ProbeGame::IsFinished() { return m_Finished || ProbeCounts().finishNow; }

bool cl_ProbeGame::HandleInput(base::ICMD& cmd) {
  if (HitSkipButton(cmd, 0.0f, 0.0f, m_Scale) || HandleTutorialInput(cmd)) return true;
  if (cmd.type == base::ICMD::KEY_PRESSED) m_lastKey = cmd.key;
  return cmd.type == base::ICMD::KEY_PRESSED;
}

bool cl_ProbeGame::Compile(const char* dataFile) {
  ++ProbeCounts().compiles;
  if (ProbeCounts().failCompile) return false;
  bool ok = quillane::CompileImage(m_picture, kProbePicture);
  ok = CompilePanicStrip(kProbeStrip) && ok;
  quillane::cl_MinigameDataFile file;
  if (!file.OpenWrite(dataFile)) return false;
  file.Record(m_picture);
  return file.Finish(*this) && ok;
}

void cl_ProbeGame::Update(float dt) {
  ++ProbeCounts().updates;
  i_Minigame::Update(dt);
  if (UpdateTutorial(dt)) return;
  m_playTime += dt;
}

void cl_ProbeGame::Render(float, float) {
  gfx::FillRect(0.0f, 0.0f, static_cast<float>(base::sys::GetWindowWidth()),
                static_cast<float>(base::sys::GetWindowHeight()), kProbeColour);
  DrawTutorial();
  DrawSkipButton(0.0f, 0.0f, m_Scale);
}

}  // namespace minigametest
