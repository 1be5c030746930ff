// Stand-ins until the game frame lands; removed then.
#include "quillane/menu/PendingFrameHooks.h"

#include "base/TaskScheduler.h"

void AddLoadingTask(base::i_Task* task) {
  if (task) task->Run();
  delete task;
}

void PendingStartEditor() {}
