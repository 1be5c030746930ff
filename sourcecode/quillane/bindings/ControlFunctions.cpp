// The script functions that steer the flow of play: the stage's avoidance and blur, calls into
// scene and character scripts, dialogues, the diary, waiting for the interface, full-screen video
// subtitles, the loading picture, the cursor, logging and random numbers. What they act on may be
// missing (no session, no diary, no subtitle control, no video player): they then do nothing.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "KRX/runtime/Thread.h"
#include "base/math/Random.h"
#include "base/system.h"
#include "graphics/video/VideoFunctions.h"
#include "quillane/bindings/CharacterScript.h"
#include "quillane/core/FrameServices.h"
#include "quillane/diary/Diary.h"
#include "quillane/hud/OverlayMgr.h"
#include "quillane/hud/Subtitles.h"
#include "quillane/hud/TokenBar.h"
#include "quillane/script/GameThread.h"
#include "quillane/script/ScriptFunctions.h"
#include "quillane/script/ScriptHost.h"
#include "quillane/session/ScriptCalls.h"
#include "quillane/session/Session.h"
#include "quillane/session/Stage.h"

namespace script_bindings {

namespace {

quillane::cl_Session* Session() { return quillane::GetSession(); }

// A wait nobody will end: finished now, so that the script goes on instead of waiting for ever.
void FinishNow(quillane::cl_GameActionCompletionEvent* event) {
  if (!event) return;
  event->Execute();
  delete event;
}

uint32_t ColourChannel(int value) { return static_cast<uint32_t>(std::clamp(value, 0, 255)); }

}  // namespace

// ---- the stage

void SetAvoidanceRange(float range) {
  if (quillane::cl_Stage* stage = GetScriptStage()) stage->SetAvoidanceRange(range);
}

void SetBlur(bool on) {
  if (quillane::cl_Stage* stage = GetScriptStage()) stage->SetBlur(on);
}

// ---- other scripts

void CallScene(const char* scene, const char* function) {
  quillane::cl_Session* session = Session();
  if (!session || !scene || !function) return;
  session->CallSceneScript(base::String(scene), base::String(function), base::Variant());
}

void CallCharacter(const char* name, const char* function) {
  if (!name || !function) return;
  quillane::CallDialogScriptFunction(base::String(name), base::String(function));
}

// ---- dialogues

void StartDialog(KRX::t_Interface& in) {
  // Copied before the caller ends: its arguments go with it.
  const base::String partner = script::GetArgString(in, 1, "default", true);
  const base::String function = script::GetArgString(in, 2, "Startup", false);
  // The dialogue takes over: nothing after the call in the calling script runs.
  if (KRX::Thread* caller = script::GetCallingThread(&in)) caller->Return(nullptr);
  quillane::cl_Session* session = Session();
  if (!session) return;
  session->GetActionQueue().EndSkip();
  session->GetDialogCtrl().Start(partner.c_str(), function.c_str());
}

void EndDialog() {
  if (quillane::cl_Session* session = Session()) session->GetDialogCtrl().Stop();
}

bool IsDialog() {
  quillane::cl_Session* session = Session();
  return session && session->GetDialogCtrl().m_bActive;
}

// ---- interface

void RefreshTokens() {
  quillane::cl_Session* session = Session();
  if (cl_TokenBar* bar = session ? session->GetTokenBar() : nullptr) bar->RefreshTokens();
}

void DiaryShow(KRX::t_Interface& in) {
  const bool show = script::GetArgBool(in, 1, false, true);
  const bool jumpToNewest = script::GetArgBool(in, 2, false, false);
  const bool noWait = script::GetArgBool(in, 3, false, false);
  quillane::cl_Session* session = Session();
  cl_Diary* diary = session ? session->GetDiary() : nullptr;
  if (!diary) return;
  if (!show) {
    diary->Open(false, false, false, nullptr);
    return;
  }
  // The diary ends the wait when it closes, or at once when it does not open for us.
  quillane::cl_GameActionCompletionEvent* done = noWait ? nullptr : AddCallerWait(in, "", nullptr);
  diary->Open(true, jumpToNewest, noWait, done);
}

void DiaryBrowseToPage(KRX::t_Interface& in) {
  const int page = script::GetArgInt(in, 1, 0, true);
  const float seconds = script::GetArgFloat(in, 2, 0.0f, true);
  quillane::cl_Session* session = Session();
  if (cl_Diary* diary = session ? session->GetDiary() : nullptr) diary->BrowseToPage(page, seconds);
}

void AddDustOverlay(const char* maskFile, int count) {
  quillane::cl_Session* session = Session();
  if (cl_OverlayMgr* overlays = session ? session->GetOverlayMgr() : nullptr) overlays->AddDustEffect(maskFile, count);
}

void WaitForGUI(KRX::t_Interface& in) {
  quillane::cl_Session* session = Session();
  if (!session) return;
  session->GetActionQueue().EndSkip();
  quillane::cl_GameActionCompletionEvent* done = AddCallerWait(in, "WaitForGUI", nullptr);
  cl_TokenBar* bar = session->GetTokenBar();
  // The bar keeps one pending event and would drop an earlier one unrun, leaving its owner
  // waiting for ever; without a bar there is nothing to wait for.
  if (done && bar && !bar->HasPendingAction()) {
    bar->SetPendingAction(done);
    return;
  }
  FinishNow(done);
}

void SetCustomTextBubblePos(KRX::t_Interface& in) {
  quillane::cl_Session* session = Session();
  base::tVector3<float> pos;
  if (in.m_argCount == 3) {
    pos.x = script::GetArgFloat(in, 1, 0.0f, true);
    pos.y = script::GetArgFloat(in, 2, 0.0f, true);
    pos.z = script::GetArgFloat(in, 3, 0.0f, true);
  }
  if (session) session->SetCustomTextBubblePos(pos);
}

void SetLoadingImage(const char* path) {
  SetLoadingPicture(path);
}

void MasterHackHideMouseCursor(bool hide) { SetCursorHidden(hide); }

// ---- full-screen video

void PauseFullscreenVideo(bool pause) { gfx::PauseVideo(pause); }

void StopFullscreenVideo() { gfx::StopVideo(); }

void AddFullscreenVideoSubtitle(KRX::t_Interface& in) {
  const char* text = script::GetArgString(in, 1, "default", true);
  const float start = script::GetArgFloat(in, 2, 0.0f, true);
  const float end = script::GetArgFloat(in, 3, 0.0f, true);
  const float fade = script::GetArgFloat(in, 4, 0.0f, true);
  const uint32_t red = ColourChannel(script::GetArgInt(in, 5, 255, false));
  const uint32_t green = ColourChannel(script::GetArgInt(in, 6, 255, false));
  const uint32_t blue = ColourChannel(script::GetArgInt(in, 7, 255, false));
  if (cl_SubtitleCtrl* subtitles = cl_SubtitleCtrl::GetInstance())
    subtitles->AddLine(text, start, end, fade, 0xFF000000u | red << 16 | green << 8 | blue, cl_SubtitleCtrl::KIND_VIDEO);
}

// ---- small services

void Log(const char* text) {
  if (!text) return;
  // One log line per call, whether or not the script ended its text with a line break.
  const size_t length = std::strlen(text);
  base::sys::Output(length > 0 && text[length - 1] == '\n' ? "%s" : "%s\n", text);
}

KRX::Var Random(KRX::t_Interface& in) {
  const int n = script::GetArgInt(in, 1, -1, false);
  if (n == -1) return KRX::Var(base::Random());
  if (n <= 0) {
    // An empty range has no number in it; the script hears of it and gets the lowest possible.
    script::ReportError(in, "ERROR: Random(%d): the range 0 .. %d is empty; 0 is returned", n, n - 1);
    return KRX::Var(0);
  }
  return KRX::Var(base::Random(n));
}

}  // namespace script_bindings
