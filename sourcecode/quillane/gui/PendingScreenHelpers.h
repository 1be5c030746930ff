// Stand-ins for the game-wide screen helpers, the fader, the video controller and the frame's
// loading hooks until they land; removed then.
#pragma once

#include <cstdint>

#include "base/String.h"
#include "base/app/Module.h"
#include "base/math/Limit.h"

namespace base {
class i_Task;
}

void DrawHighlightRect(float x0, float y0, float x1, float y1);
void DrawRoundFrame(float x0, float y0, float x1, float y1, uint8_t alpha);
void PlayClickSound();
void PlayMouseOverSound();
void FadeOutAllSoundGroups();
base::tRectf GetGameViewportRect();
float GetGuiScale();

class cl_Fader {
 public:
  enum en_State : int { STATE_UNCOVERED = 0, STATE_COVERING = 1, STATE_COVERED = 2, STATE_UNCOVERING = 3 };
  void Start(bool cover, float duration, base::tString<base::BaseString> text, uint32_t flags);
  void Update(float dt);
  void Render() {}
  int m_state = STATE_UNCOVERED;
  float m_value = 0.0f;
  float m_duration = 0.0f;
};

class i_Event;
class cl_VideoController : public base::cl_Module {
 public:
  static cl_VideoController* GetInstance() { return nullptr; }
  float PlayMovie(const char*, i_Event*) { return 0; }
};

void AddLoadingTask(base::i_Task* task);
void PendingStartEditor();
