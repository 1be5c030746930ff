// The program's entry routine. It grows into the full start-up as the engine's subsystems land.
#include "base/Memory.h"
#include "base/system.h"

int main() {
  InitMemLog();  // the small-block pool serves everything from here on
  base::sys::Output("Quillane starting\n");
  base::sys::Output("Quillane finished\n");
  return 0;
}
