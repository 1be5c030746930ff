// The savegame folder and the savegame count.
#include "quillane/menu/LoadSavePanel.h"

#include "base/file/FileFinder.h"
#include "base/system.h"

base::tString<base::BaseString> cl_LoadSavePanel::GetSaveFolder() {
  base::tString<base::BaseString> folder;
  folder.print("%s/savegames/", base::sys::GetUserDataPath().c_str());
  return folder;
}

int CountSavegames() {
  base::tString<base::BaseString> pattern;
  pattern.print("%s*.sav", cl_LoadSavePanel::GetSaveFolder().c_str());
  base::list<base::tString<base::BaseString>> files;
  base::cl_FileFinder finder;
  finder.AddToFileList(files, pattern, false);
  return static_cast<int>(files.size());
}
