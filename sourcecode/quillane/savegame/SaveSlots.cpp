// The savegame folder, the list header of a new savegame and the automatic save.
#include "quillane/savegame/SaveSlots.h"

#include "base/file/FileFinder.h"
#include "base/system.h"

base::tString<base::BaseString> GetSavegameFolder() {
  base::tString<base::BaseString> folder;
  folder.print("%s/Savegames/", base::sys::GetUserDataPath().c_str());
  return folder;
}

base::tString<base::BaseString> GetSavegameFilePath(const char* fileName) {
  base::tString<base::BaseString> path;
  path.print("%s%s.sav", GetSavegameFolder().c_str(), fileName ? fileName : "");
  return path;
}

int CountSavegames() {
  base::tString<base::BaseString> pattern;
  pattern.print("%s*.sav", GetSavegameFolder().c_str());
  base::list<base::tString<base::BaseString>> files;
  base::cl_FileFinder finder;
  finder.AddToFileList(files, pattern, false);
  return static_cast<int>(files.size());
}

base::Variant BuildSaveHeader(base::i_GameSession* session) {
  base::Variant header;
  if (!session) return header;
  header.set_element("SaveData");
  header.attribute("game_time")->set_float(session->GetGameTime());
  const base::Variant* state = session->GetGameState();
  const base::Variant* missions = state && state->is_element() ? state->get_element("Missions") : nullptr;
  const base::Variant* fourth = missions ? missions->get_element("Mission4") : nullptr;
  int current = 0, started = 0;
  if (missions) missions->get_attribute_int("CurrentMission", current);
  if (fourth) fourth->get_attribute_int("Started", started);
  header.attribute("current_mission")->set_int(current);
  header.attribute("mission4_started")->set_int(started);
  static const char* const kScores[][2] = {{"wealth", "Wealth"},       {"spycraft", "Spycraft"},
                                           {"skill", "Skill"},         {"maxwealth", "MaxWealth"},
                                           {"maxspycraft", "MaxSpycraft"}, {"maxskill", "MaxSkill"}};
  for (const auto& score : kScores) {
    int value = 0;
    if (missions) missions->get_attribute_int(score[1], value);
    header.attribute(score[0])->set_int(value);
  }
  return header;
}

bool WriteAutoSave(base::i_GameSession* session) {
  if (!session) return false;
  const base::Variant header = BuildSaveHeader(session);
  base::tString<base::BaseUnicodeString> name;
  base::sys::Localize("#loads0_3492 Autosave", name);
  return session->SaveGame(GetSavegameFilePath("auto").c_str(), name, &header);
}
