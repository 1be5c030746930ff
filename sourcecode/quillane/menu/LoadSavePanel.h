// The load/save panel. So far only its savegame folder, which the menus read before the panel
// itself exists.
#pragma once

#include "base/String.h"
#include "base/gui/GUI.h"

class cl_LoadSavePanel : public base::cl_Panel {
 public:
  // "<user data path>/savegames/", ending in a slash. The path layer finds the folder whatever
  // the case of its name on disk ("Savegames" is what start-up makes).
  static base::tString<base::BaseString> GetSaveFolder();
};

// How many "*.sav" files the savegame folder holds (the automatic save counts as any other).
int CountSavegames();
