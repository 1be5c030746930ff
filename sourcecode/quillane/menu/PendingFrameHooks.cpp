// Stand-ins until the game frame lands; removed then.
#include "quillane/menu/PendingFrameHooks.h"

#include "base/TaskScheduler.h"
#include "base/system.h"

void RootMenuQueueLoadingTask(base::i_Task* task) {
  if (task) task->Run();
  delete task;
}

void RootMenuStartEditor() { base::sys::Output("RootMenu: no editor in this build yet\n"); }
