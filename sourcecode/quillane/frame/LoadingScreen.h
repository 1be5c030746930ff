// The loading screen: the time-sliced task scheduler shown as a picture with a progress bar.
// Work that must happen before a state change is queued on it as weighted tasks; when the queue
// has run empty its completion event, a cl_ChangeModuleEvent, switches the frame to the target.
#pragma once

#include <cstdint>
#include <memory>

#include "base/String.h"
#include "base/TaskScheduler.h"
#include "quillane/core/Event.h"

namespace gfx {
class cl_Image;
}

// Switches the game frame to a named state, first restoring the game cursor (unless a script
// hid it).
class cl_ChangeModuleEvent : public i_Event {
 public:
  explicit cl_ChangeModuleEvent(const base::tString<base::BaseString>& name) : m_Module(name) {}
  void Execute() override;
  const base::tString<base::BaseString>& GetTarget() const { return m_Module; }

 private:
  base::tString<base::BaseString> m_Module;
};

// Lets the scheduler hold an event as its completion task: Run executes it once.
class cl_EventTask : public base::i_Task {
 public:
  explicit cl_EventTask(i_Event* event) : m_event(event) {}  // owns event
  void Run() override;
  i_Event* GetEvent() const { return m_event.get(); }

 private:
  std::unique_ptr<i_Event> m_event;
};

class cl_LoadingScreen : public base::cl_TaskScheduler {
 public:
  static constexpr uint32_t kBarColour = 0xFF7E1E0Fu;
  static constexpr float kBarMinimumTotal = 2.0f;  // shorter loads show a black screen only

  static cl_LoadingScreen* Create();  // no picture, range 0..1
  cl_LoadingScreen();
  ~cl_LoadingScreen() override;

  // The picture above the bar, from a file; none when the file is missing.
  void SetImage(const char* path);
  void SetProgressRange(float start, float end);
  // Starts a load cycle towards target. The same target keeps a pending event and the tasks
  // counted for it; another target replaces (and deletes) the pending event. The total then
  // counts the tasks still queued, so done never passes total.
  void BeginCycle(const base::tString<base::BaseString>& target);
  // The pending completion event's target; "" when none is pending.
  const char* GetPendingTarget() const;

  void Render() override;

  // What the last Render drew: the bar's rectangle (left, top, right, bottom) and value, or
  // false when it drew no bar. For tests and the play-through.
  bool GetLastBar(float rect[4], float* value) const;
  float GetProgressStart() const { return m_fProgressStart; }
  float GetProgressEnd() const { return m_fProgressEnd; }
  gfx::cl_Image* GetImage() const { return m_pImage.get(); }

 private:
  std::unique_ptr<gfx::cl_Image> m_pImage;
  float m_fProgressStart = 0.0f;
  float m_fProgressEnd = 1.0f;
  bool m_barDrawn = false;
  float m_lastRect[4] = {0, 0, 0, 0};
  float m_lastValue = 0.0f;
};
