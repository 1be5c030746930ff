#include "action_queue_fixture.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "KRX/runtime/Thread.h"
#include "KRX/runtime/ThreadList.h"
#include "KRX/runtime/function_adapter.h"
#include "base/system.h"
#include "quillane/character/Character.h"
#include "quillane/script/ScriptFunctions.h"
#include "quillane/script/ScriptHost.h"
#include "quillane/session/Stage.h"
#include "quillane/settings/TweakSettings.h"
#include "support/ScratchFolder.h"

namespace queuetest {
namespace {

bool CaptureLog(const char* text) {
  QueueTest::Lines().push_back(text);
  return true;
}
void CaptureScript(const char* text) { QueueTest::Lines().push_back(text); }
void Quiet(const char*) {}

// Mark(value): records a string as it is and a number as "%g".
void Mark(KRX::t_Interface& in) {
  const KRX::Var* v = in.GetParam(0);
  if (v && v->GetString()) {
    QueueTest::Marks().push_back(v->GetString());
  } else {
    char text[32];
    std::snprintf(text, sizeof text, "%g", double(v ? v->ToFloat() : 0.0f));
    QueueTest::Marks().push_back(text);
  }
}

// Wait(kind, seconds, object): an action of that kind for the caller, as the game's timed
// functions queue them.
void Wait(KRX::t_Interface& in) {
  quillane::cl_Session* session = quillane::GetSession();
  auto* thread = dynamic_cast<GameThread*>(in.m_thread);
  if (!session || !thread) return;
  quillane::st_GameAction* action = session->GetActionQueue().Add(thread);
  action->m_kind = script::GetArgString(in, 1, "", false);
  action->m_time = script::GetArgFloat(in, 2, 0.0f, false);
  action->m_object = script::GetArgString(in, 3, "", false);
  // A character on the stage takes its part as the game's functions hand it over: a walker holds
  // the walk's completion event, a speaker points at its line.
  quillane::cl_Stage* stage = session->GetStage();
  quillane::cl_Character* character = stage ? stage->GetCharacter(action->m_object.c_str()) : nullptr;
  if (!character) return;
  if (action->m_kind == "walk") {
    character->onDone = new quillane::cl_GameActionCompletionEvent(action);
    character->state = quillane::cl_MovementCtrl::STATE_FULL_SPEED;
  } else if (action->m_kind == "speak") {
    character->pendingAction = action;
  }
}

// Hold(): an action ended only by its completion event, which the test keeps.
void Hold(KRX::t_Interface& in) {
  quillane::cl_Session* session = quillane::GetSession();
  auto* thread = dynamic_cast<GameThread*>(in.m_thread);
  if (!session || !thread) return;
  QueueTest::HeldEvents().emplace_back(new quillane::cl_GameActionCompletionEvent(session->GetActionQueue().Add(thread)));
}

}  // namespace

std::vector<std::string>& QueueTest::Marks() {
  static std::vector<std::string> marks;
  return marks;
}
std::vector<std::unique_ptr<i_Event>>& QueueTest::HeldEvents() {
  static std::vector<std::unique_ptr<i_Event>> events;
  return events;
}
std::vector<std::string>& QueueTest::Lines() {
  static std::vector<std::string> lines;
  return lines;
}

void QueueTest::SetUp() {
  m_system = std::make_unique<base::cl_System>();
  ResetTweakSettings();
  Marks().clear();
  HeldEvents().clear();
  Lines().clear();
  KRX::ScriptSystem::Init();
  KRX::ScriptSystem::SetCallbacks(&CaptureScript, nullptr);
  base::sys::AddOutputCallback(&CaptureLog);
  base::sys::SetDebuggerOutput(&Quiet);
  RegisterScriptFunctions();
  KRX::Module& root = KRX::ScriptSystem::GetModule();
  KRX::RegisterFunction(root, "Mark", &Mark);
  KRX::RegisterFunction(root, "Wait", &Wait);
  KRX::RegisterFunction(root, "Hold", &Hold);
  m_dir = testsupport::MakeScratchFolder("quillane_queue");
  std::filesystem::create_directories(m_dir / "Scripts");
  m_oldDir = std::filesystem::current_path();
  std::filesystem::current_path(m_dir);
  m_session = new quillane::cl_Session();
}

void QueueTest::TearDown() {
  // The session first: threads that end afterwards find no queue to report to.
  delete m_session;
  m_session = nullptr;
  HeldEvents().clear();
  KRX::ScriptSystem::Shutdown();
  base::sys::RemoveOutputCallback(&CaptureLog);
  base::sys::SetDebuggerOutput(nullptr);
  std::filesystem::current_path(m_oldDir);
  std::filesystem::remove_all(m_dir);
  ResetTweakSettings();
  m_system.reset();
}

void QueueTest::WriteScript(const std::string& path, const std::string& source) {
  const std::filesystem::path file = m_dir / "Scripts" / path;
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file) << source;
}

GameThread* QueueTest::StartSceneScript(const char* module, const char* function) {
  return StartThread(module, function, false);
}

GameThread* QueueTest::StartBackground(const char* module, const char* function) {
  return StartThread(module, function, true);
}

GameThread* QueueTest::StartThread(const char* module, const char* function, bool background) {
  auto* stop = new quillane::st_ScriptStopEvent;
  GameThread* thread = GameThread::CreateForFunction(module, function, stop);
  if (!thread) return nullptr;
  stop->m_thread = thread;
  const KRX::tRefPtr<GameThread> hold(thread);
  // Known to the queue before it runs, as the session does it: its first wait is already a
  // background action, and a scene script counts as running from its first call on.
  if (background)
    Queue().AddBackgroundThread(thread);
  else
    Queue().m_sceneScript = thread;
  base::Variant result;
  GameThread::Run(result, thread, function, base::Variant());
  return GameThread::IsLive(thread) ? thread : nullptr;
}

void QueueTest::Frame(float dt) {
  KRX::ThreadList::Update(dt);
  Queue().Update(dt);
  m_session->GetFader().Update(dt);
}

quillane::cl_Stage* QueueTest::ShowScene(const char* name) {
  // Without a game frame the session's scene change cannot queue its load: the stage loads here.
  m_session->LoadScene(name);
  quillane::cl_Stage* stage = m_session->GetStage();
  if (stage) stage->LoadScene(name);
  Lines().clear();
  return stage;
}

int QueueTest::FramesUntilMark(const std::string& mark, float dt, int limit) {
  for (int i = 1; i <= limit; ++i) {
    Frame(dt);
    if (HasMark(mark)) return i;
  }
  return -1;
}

bool QueueTest::HasMark(const std::string& mark) const {
  for (const std::string& m : Marks())
    if (m == mark) return true;
  return false;
}

std::string QueueTest::AllLines() const {
  std::string out;
  for (const std::string& line : Lines()) out += line + (line.ends_with('\n') ? "" : "\n");
  return out;
}

bool QueueTest::LogHas(const std::string& text) const { return AllLines().find(text) != std::string::npos; }

}  // namespace queuetest
