// Stand-ins for the game frame's loading queue and editor switch until the frame lands; removed then.
#pragma once

namespace base {
class i_Task;
}

void AddLoadingTask(base::i_Task* task);
void PendingStartEditor();
