// A spoken line: its action, its speech sample and lip-sync, and its time.
#include "quillane/bindings/Speech.h"

#include "base/FileTools.h"
#include "base/data/Binary.h"
#include "base/resource/Resource.h"
#include "base/system.h"
#include "quillane/bindings/CharacterScript.h"
#include "quillane/character/Character.h"
#include "quillane/session/GameActionQueue.h"
#include "quillane/session/Session.h"
#include "quillane/session/Stage.h"
#include "sound/Sfx.h"

namespace quillane {

namespace {

// After the sample the line stays a moment, so the next one does not cut in.
constexpr float kAfterSample = 0.5f;

// A member of the "Speech" archive, loose files first. A missing member is not reported: the line
// then runs on its computed time, or without lip-sync.
bool ReadSpeechMember(const base::tString<base::BaseString>& path, base::Binary& out) {
  if (path.empty() || (!base::FileExists(path) && !base::GetFileArchive("Speech"))) return false;
  return base::sys::GetFileFromArchive("Speech", path.c_str(), out, true);
}

float FallbackTime(const char* textKey, float duration) {
  if (duration != -1.0f) return duration;
  return 0.2f * static_cast<float>(base::str::len(textKey)) + 1.5f;
}

}  // namespace

float SpeakLine(KRX::t_Interface& in, const char* speaker, const char* textKey, float duration) {
  if (!speaker) speaker = "";
  if (!textKey) textKey = "";
  // Without a game thread the line is still heard and timed; there is just no one to wait.
  st_GameAction* action = script_bindings::AddCallerAction(in, "speak", speaker);
  if (action) action->m_text = textKey;

  base::tString<base::BaseUnicodeString> text;
  const int index = base::sys::Localize(textKey, text);
  cl_Session* session = GetSession();
  cl_Stage* stage = session ? session->GetStage() : nullptr;
  cl_Character* character = *speaker && stage ? stage->GetCharacter(speaker) : nullptr;

  float sampleLength = -1.0f;
  base::tString<base::BaseString> path;
  if (!base::sys::GetSfxPath(speaker, textKey, path, index)) {
    base::sys::Output("Warning: SFX for \"%s\" not found\n", textKey);
  } else if (!path.empty()) {
    base::Binary sample;
    if (ReadSpeechMember(path, sample)) {
      sfx::st_PlayParams params;
      params.volume = 1.0f;
      params.pan = 1.0f;
      sampleLength = sfx::PlaySoundData(sfx::PLAY_SAMPLE, sample, "speech", "SPEECH", params);
    }
    // The lips move from the recorded data whether or not the sample itself played.
    base::tString<base::BaseString> lipsyncPath = path;
    base::ReplaceFileExtension(lipsyncPath, "lipsync");
    base::Binary lipsync;
    if (character && ReadSpeechMember(lipsyncPath, lipsync))
      character->StartLipsync(lipsync);
  }

  const float time = sampleLength != -1.0f ? sampleLength + kAfterSample : FallbackTime(textKey, duration);
  if (action) {
    action->m_time = time;
    if (character) character->StartSpeaking(action);
  }
  return time;
}

}  // namespace quillane
