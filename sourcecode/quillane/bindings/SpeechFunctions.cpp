// The script function that makes a character speak a line: the line's options after speaker
// and key, the main character's rare exclamation in place of a line, and the spoken line itself.
#include <cstring>

#include "base/math/Random.h"
#include "base/system.h"
#include "quillane/bindings/Speech.h"
#include "quillane/script/ScriptFunctions.h"
#include "quillane/script/ScriptHost.h"
#include "quillane/session/GameActionQueue.h"
#include "quillane/session/Session.h"
#include "quillane/settings/TweakSettings.h"

namespace script_bindings {

namespace {

// What the main character may blurt out instead of her line, by the tweak's chance.
constexpr const char* kExclamations[] = {"#quill0_300 Kaaazing!", "#quill0_292 Bullshit!", "#quill0_296 Chicken!"};

}  // namespace

float Says(KRX::t_Interface& in) {
  if (quillane::cl_Session* session = quillane::GetSession()) {
    quillane::cl_GameActionQueue& queue = session->GetActionQueue();
    queue.ForbidCancel();
    queue.EndSkip();
  }
  const char* speaker = script::GetArgString(in, 1, "default");
  const char* text = script::GetArgString(in, 2, "default");
  // A chance of 1 means every line: Random() can be exactly 0.
  if (std::strcmp(speaker, "Quillane") == 0 && FunStuff_Kazing > 0.0f && base::Random() >= 1.0f - FunStuff_Kazing)
    text = kExclamations[base::Random(3)];

  // Options come in pairs after the key; "TIME" (exactly so) sets the duration.
  float duration = -1.0f;
  for (int k = 3; k <= in.m_argCount;) {
    const char* key = script::GetArgString(in, k, "default");
    if (std::strcmp(key, "TIME") == 0) {
      duration = script::GetArgFloat(in, k + 1, 0.0f);
      k += 2;
    } else {
      ++k;
    }
  }
  if (Debug_ScriptWarningLevel >= 2)
    base::sys::Output("t=%.02f: Says(%s,%s)\n", static_cast<double>(base::sys::Time()), speaker, text);
  return quillane::SpeakLine(in, speaker, text, duration);
}

}  // namespace script_bindings
