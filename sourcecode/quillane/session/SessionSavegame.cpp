// Savegames and screenshots: placeholders until the savegame file is built.
#include "base/system.h"
#include "quillane/session/Session.h"

namespace quillane {

bool cl_Session::LoadGame(const char* path) {
  base::sys::Output("ERROR: savegame '%s': loading savegames is not available yet\n", path ? path : "");
  return false;
}

bool cl_Session::SaveGame(const char*, base::tString<base::BaseUnicodeString>, const base::Variant*) { return false; }

void cl_Session::CaptureScreenshot() {}

bool cl_Session::SaveScreenshot() { return false; }

}  // namespace quillane
