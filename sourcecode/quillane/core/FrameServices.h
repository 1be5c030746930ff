// What the game's areas ask of the frame: a state change through the loading screen, the tasks
// that screen runs first, its progress range and picture, and the frame's own states. The frame
// sits above them, so it fills the table when it is made and empties it when it goes; an empty
// entry gives the answer stated here. Ending the session and shutting down are the engine's
// (base::GetFrameInterface()). Main thread only.
#pragma once

#include "base/String.h"

namespace base {
class i_Task;
class cl_TaskScheduler;
}  // namespace base

struct st_FrameServices {
  // Starts a load cycle towards the state target and shows the loading screen; false when
  // there is no loading screen.
  bool (*StartLoading)(const base::tString<base::BaseString>& target) = nullptr;
  base::cl_TaskScheduler* (*GetLoadingQueue)() = nullptr;  // the loading screen; null when none
  void (*SetProgressRange)(float start, float end) = nullptr;
  void (*SetLoadingPicture)(const char* path) = nullptr;  // none when the file is missing
  bool (*SwitchState)(const char* name) = nullptr;      // false when the frame has no such state
  void (*StartEditor)() = nullptr;
};

// The program's one table; the frame fills it, tests install stand-ins.
st_FrameServices& FrameServices();

// The program-wide way to change state through the loading screen: the completion event for
// target is set (the same target keeps a pending one), then "LoadingScreen" becomes the state.
// Without a frame it only says so.
void StartLoading(const base::tString<base::BaseString>& target);
// Appends a task (owned) to the loading screen's queue; deleted unrun, with an error, without one.
void AddLoadingTask(base::i_Task* task);
// Queues one loading task per entry of the resource list file.
void QueueResources(const base::tString<base::BaseString>& file);
// The bar's values when nothing and when everything is done (the session spans two loads).
void SetProgressRange(float start, float end);
// The picture above the bar, from a file; nothing without a frame.
void SetLoadingPicture(const char* path);
// The frame's state of that name becomes the current one; false (logged by the frame) when
// unknown or without a frame.
bool SwitchFrameState(const char* name);
// The frame switches to the editor; nothing without a frame.
void StartEditor();

// Whether scripts hid the cursor for good ("MasterHackHideMouseCursor", "GameOver"): a state
// change then leaves the cursor alone.
bool IsCursorHidden();
void SetCursorHidden(bool hidden);
