// The program's entry: process-wide set-up that happens once, then the entry routine with the
// options from the environment (the command line is not read; see the README).
#include "base/Memory.h"
#include "graphics/mesh/Mesh.h"
#include "quillane/app/EntryRoutine.h"
#include "win32dx9/ExceptionHandler.h"

int main() {
  InitMemLog();  // the small-block pool serves everything from here on
  win32dx9::RegisterExceptionHandler();  // before anything can fail; the platform names the report
  base::RegisterMeshResourceType();  // read by the resource manager that start-up creates
  return RunGame(StartOptionsFromEnvironment());
}
