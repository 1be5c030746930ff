// The frame's table and the entries that forward to it.
#include "quillane/core/FrameServices.h"

#include "base/TaskScheduler.h"
#include "base/app/SystemRoot.h"
#include "base/resource/ResourceMgr.h"
#include "base/system.h"

namespace {

bool g_cursorHidden = false;

base::cl_TaskScheduler* LoadingQueue() {
  return FrameServices().GetLoadingQueue ? FrameServices().GetLoadingQueue() : nullptr;
}

}  // namespace

st_FrameServices& FrameServices() {
  static st_FrameServices services;
  return services;
}

void StartLoading(const base::tString<base::BaseString>& target) {
  if (!FrameServices().StartLoading || !FrameServices().StartLoading(target))
    base::sys::Output("StartLoading: Game frame does not exist.\n");
}

void AddLoadingTask(base::i_Task* task) {
  base::cl_TaskScheduler* queue = LoadingQueue();
  if (!queue) {
    base::sys::Output("ERROR: AddLoadingTask: no game frame; the task is dropped\n");
    delete task;
    return;
  }
  queue->AddTask(task);
}

void QueueResources(const base::tString<base::BaseString>& file) {
  base::cl_System* system = base::cl_System::GetInstance();
  base::i_ResourceMgr* resources = system ? system->GetResourceMgr() : nullptr;
  base::cl_TaskScheduler* queue = LoadingQueue();
  if (!resources || !queue) {
    base::sys::Output("ERROR: QueueResources: no resource manager or game frame for %s\n", file.c_str());
    return;
  }
  resources->LoadResourcesAsTasks(queue, file.c_str());
}

void SetProgressRange(float start, float end) {
  if (FrameServices().SetProgressRange) FrameServices().SetProgressRange(start, end);
}

void SetLoadingPicture(const char* path) {
  if (FrameServices().SetLoadingPicture) FrameServices().SetLoadingPicture(path);
}

bool SwitchFrameState(const char* name) { return FrameServices().SwitchState && FrameServices().SwitchState(name); }

void StartEditor() {
  if (FrameServices().StartEditor) FrameServices().StartEditor();
}

bool IsCursorHidden() { return g_cursorHidden; }
void SetCursorHidden(bool hidden) { g_cursorHidden = hidden; }
