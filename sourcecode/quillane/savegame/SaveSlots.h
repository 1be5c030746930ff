// Where the player's savegames live and what every save writes besides the game: the savegame
// folder and file names, the list header a new savegame carries, and the automatic save. The
// load/save panel and the session's autosave points both come here, so they write the same file.
#pragma once

#include "base/String.h"
#include "base/app/GameFrame.h"
#include "base/data/Variant.h"

// "<user data path>/Savegames/", ending in a slash: the folder start-up makes, so that the log
// names it as it is (the path layer finds it whatever the case of its name on disk).
base::tString<base::BaseString> GetSavegameFolder();
// The folder's "<fileName>.sav".
base::tString<base::BaseString> GetSavegameFilePath(const char* fileName);
// How many "*.sav" files the savegame folder holds (the automatic save counts as any other).
int CountSavegames();

// The "SaveData" list header for a new savegame from the session's game state; nil without one.
base::Variant BuildSaveHeader(base::i_GameSession* session);

// The session writes "auto" under the localised name "Autosave"; false without a session or when
// the write failed (the writer has logged why).
bool WriteAutoSave(base::i_GameSession* session);
