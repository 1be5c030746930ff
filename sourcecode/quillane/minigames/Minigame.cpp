// Placeholder bodies: the shared services are filled in beside the manager.
#include "quillane/minigames/Minigame.h"

#include "graphics/image/TextureStrip.h"

namespace quillane {

st_Tutorial::st_Tutorial(const char* text, float x, float y, int width, int anchor, const char* trigger,
                         float displayTime)
    : m_Text(text ? text : ""), m_X(x), m_Y(y), m_Anchor(anchor), m_Remaining(displayTime), m_Width(width),
      m_Trigger(trigger ? trigger : "") {}

i_Minigame::i_Minigame() = default;
i_Minigame::~i_Minigame() = default;

bool i_Minigame::IsFinished() { return m_Finished; }
bool i_Minigame::TriggerTutorial(base::String, base::String, bool) { return false; }
void i_Minigame::Update(float) {}
void i_Minigame::ResetPanicTimer(float delay) {
  m_SkipVisible = false;
  m_PanicDelay = delay;
  m_Finished = false;
}
void i_Minigame::SetResult(bool) {}
bool i_Minigame::ReadMinigameData(base::Variant&, const char*) { return false; }
bool i_Minigame::ReadPanicStrip(base::File&) { return false; }
bool i_Minigame::WritePanicStrip(base::File&) { return false; }
bool i_Minigame::CompilePanicStrip(const char*) { return false; }
void i_Minigame::DrawSkipButton(float, float, float) {}
bool i_Minigame::HitSkipButton(const base::ICMD&, float, float, float) { return false; }
void i_Minigame::DrawTutorial() {}
bool i_Minigame::HandleTutorialInput(const base::ICMD&) { return false; }
bool i_Minigame::UpdateTutorial(float) { return false; }

}  // namespace quillane
