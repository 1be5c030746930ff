// Stand-ins for the game frame's loading queue and editor switch until the frame lands: the root
// menu's session task runs at once, and the editor key is logged. Removed then.
#pragma once

namespace base {
class i_Task;
}

void RootMenuQueueLoadingTask(base::i_Task* task);  // runs and deletes the task
void RootMenuStartEditor();
