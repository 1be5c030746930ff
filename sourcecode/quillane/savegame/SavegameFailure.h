// Why the last savegame read, write or removal failed, in the terms a player is told: the
// load/save panel says it under what failed (the log holds the details). The reader, the writer
// and the session's load set it as they fail; kept per thread, as errno is.
#pragma once

namespace quillane {

// ORDER SAVEFAILURE
enum class en_SavegameFailure {
  None,
  DiskFull,      // no space left, over the quota or the file size limit
  NotPermitted,  // the folder or file may not be written or read, or the disk is read-only
  Missing,       // the savegame is no longer there
  Damaged,       // the file is cut short, too large or not a savegame
  Foreign,       // whole, but of a place this game does not have
  Other,
};

en_SavegameFailure GetSavegameFailure();
void SetSavegameFailure(en_SavegameFailure failure);
// What a system error number (errno) means for a savegame; None for 0.
en_SavegameFailure SavegameFailureOf(int errorNumber);

}  // namespace quillane
