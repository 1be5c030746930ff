// The program's entry routine. It grows into the full start-up as the engine's subsystems land.
#include "base/system.h"

int main() {
  base::sys::Output("Quillane starting\n");
  base::sys::Output("Quillane finished\n");
  return 0;
}
