// The diary script functions: entries added under script keys, text appended, quests solved, and
// the main character's voice-over samples. Every function reads all of its arguments first, so
// that their reports come in argument order whatever the diary then does.
#include "quillane/bindings/DiaryFunctions.h"

#include <string>

#include "base/data/Binary.h"
#include "base/data/VariantTools.h"
#include "base/system.h"
#include "quillane/diary/Diary.h"
#include "quillane/script/ScriptFunctions.h"
#include "quillane/script/ScriptHost.h"
#include "quillane/session/Session.h"
#include "sound/Sfx.h"

namespace quillane {
namespace {

// Full volume, once, without the scene's effects: the diary's sounds are not part of the scene.
sfx::st_PlayParams PlainParams() {
  sfx::st_PlayParams params;
  params.ignoreFx = true;
  return params;
}

base::Variant* EntryIdAttribute(const char* key, bool create) {
  cl_Session* session = GetSession();
  if (!session || !key || !*key) return nullptr;
  const std::string path = std::string("Missions/") + key;
  return base::variant_get_attribute_by_path(*session->GetGameState(), path.c_str(), create);
}

cl_Diary* Diary() {
  cl_Session* session = GetSession();
  return session ? session->GetDiary() : nullptr;
}

// The id stored under the parent key when there is a diary to add to; −1 otherwise.
int ParentId(const char* parentKey) { return Diary() ? GetDiaryEntryId(parentKey) : -1; }

// The end of every adding function: a new id is stored under its key. An entry the diary
// refused (-1) stores nothing, so the key keeps the entry an earlier add gave it.
int Store(const char* key, int id) {
  if (id >= 0) SetDiaryEntryId(key, id);
  return id;
}

}  // namespace

int GetDiaryEntryId(const char* key) {
  const base::Variant* id = EntryIdAttribute(key, false);
  return id && id->is_number() ? id->get_int() : -1;
}

void SetDiaryEntryId(const char* key, int id) {
  if (base::Variant* attribute = EntryIdAttribute(key, true)) attribute->set_int(id);
}

}  // namespace quillane

namespace script_bindings {

using script::GetArgBool;
using script::GetArgInt;
using script::GetArgString;

int DiaryAddSection(KRX::t_Interface& in) {
  const char* text = GetArgString(in, 1, "default", true);
  const char* picture = GetArgString(in, 2, "default", true);
  const int y = GetArgInt(in, 3, 0, true);
  const bool show = GetArgBool(in, 4, false, true);
  const char* key = GetArgString(in, 5, "default", true);
  cl_Diary* diary = quillane::Diary();
  if (!diary) return -1;
  return quillane::Store(key, diary->AddSection(text, picture, y, show));
}

int DiaryAddChapter(KRX::t_Interface& in) {
  const char* parentKey = GetArgString(in, 1, "default", true);
  const char* key = GetArgString(in, 2, "default", true);
  const int parent = quillane::ParentId(parentKey);
  if (parent < 0) return -1;
  return quillane::Store(key, quillane::Diary()->AddChapter(parent));
}

int DiaryAddMission(KRX::t_Interface& in) {
  const char* parentKey = GetArgString(in, 1, "default", true);
  const char* header = GetArgString(in, 2, "default", true);
  const char* text = GetArgString(in, 3, "default", true);
  const char* key = GetArgString(in, 4, "default", true);
  const int parent = quillane::ParentId(parentKey);
  if (parent < 0) return -1;
  return quillane::Store(key, quillane::Diary()->AddMission(parent, header, text));
}

int DiaryAddQuest(KRX::t_Interface& in) {
  const char* parentKey = GetArgString(in, 1, "default", true);
  const char* text = GetArgString(in, 2, "default", true);
  const bool solved = GetArgBool(in, 3, false, true);
  const char* key = GetArgString(in, 4, "default", true);
  const int parent = quillane::ParentId(parentKey);
  if (parent < 0) return -1;
  const int id = quillane::Store(key, quillane::Diary()->AddQuest(parent, text, solved));
  // The sound tells the player of a new quest, so a quest the diary refused makes none.
  if (id >= 0)
    sfx::PlaySound(sfx::PLAY_SAMPLE, "sfx/ui/UI_diaryquest.ogg", "diaryquest", "PLAYER", quillane::PlainParams());
  return id;
}

int DiaryAddText(KRX::t_Interface& in) {
  const char* parentKey = GetArgString(in, 1, "default", true);
  const char* text = GetArgString(in, 2, "default", true);
  const char* key = GetArgString(in, 3, "default", true);
  const int parent = quillane::ParentId(parentKey);
  if (parent < 0) return -1;
  return quillane::Store(key, quillane::Diary()->AddText(parent, text));
}

int DiaryAddChapterEnd(KRX::t_Interface& in) {
  const char* parentKey = GetArgString(in, 1, "default", true);
  const char* header = GetArgString(in, 2, "default", true);
  const char* text = GetArgString(in, 3, "default", true);
  const char* picture = GetArgString(in, 4, "default", true);
  const char* key = GetArgString(in, 5, "default", true);
  const int parent = quillane::ParentId(parentKey);
  if (parent < 0) return -1;
  return quillane::Store(key, quillane::Diary()->AddChapterEnd(parent, header, text, picture));
}

int DiaryAddOutro(KRX::t_Interface& in) {
  const char* parentKey = GetArgString(in, 1, "default", true);
  const char* header = GetArgString(in, 2, "default", true);
  const char* first = GetArgString(in, 3, "default", true);
  const char* second = GetArgString(in, 4, "default", true);
  const int points = GetArgInt(in, 5, 0, true);
  const int maxPoints = GetArgInt(in, 6, 0, true);
  const char* picture = GetArgString(in, 7, "default", true);
  const char* key = GetArgString(in, 8, "default", true);
  const int parent = quillane::ParentId(parentKey);
  if (parent < 0) return -1;
  return quillane::Store(key, quillane::Diary()->AddOutro(parent, header, first, second, points, maxPoints, picture));
}

int DiaryAddScore(KRX::t_Interface& in) {
  const char* parentKey = GetArgString(in, 1, "default", true);
  const char* key = GetArgString(in, 2, "default", true);
  const int parent = quillane::ParentId(parentKey);
  if (parent < 0) return -1;
  return quillane::Store(key, quillane::Diary()->AddScore(parent));
}

void DiaryAppendText(KRX::t_Interface& in) {
  const char* key = GetArgString(in, 1, "default", true);
  const char* text = GetArgString(in, 2, "default", true);
  const int id = quillane::ParentId(key);
  if (id >= 0) quillane::Diary()->AppendText(id, text);
}

void DiarySolveQuest(KRX::t_Interface& in) {
  const char* key = GetArgString(in, 1, "default", true);
  const bool solved = GetArgBool(in, 2, false, true);
  const int id = quillane::ParentId(key);
  if (id >= 0) quillane::Diary()->SetQuestSolved(id, solved);
}

float DiaryPlayVoiceOverSample(KRX::t_Interface& in) {
  const char* key = GetArgString(in, 1, "default", true);
  base::tString<base::BaseString> path;
  if (!base::sys::GetSfxPath("Quillane", key, path, 0) || path.empty()) return 0.0f;
  base::Binary bytes;
  if (!base::sys::GetFileFromArchive("Speech", path.c_str(), bytes, true)) return 0.0f;
  // The script decides itself whether to wait for the length; a sound that did not start has none.
  const float seconds = sfx::PlaySoundData(sfx::PLAY_SAMPLE_MEMORY, bytes, "speech", "SPEECH", quillane::PlainParams());
  return seconds > 0.0f ? seconds : 0.0f;
}

}  // namespace script_bindings
