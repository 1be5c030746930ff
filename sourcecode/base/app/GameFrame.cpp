// The game frame's session bookkeeping and the process-wide frame pointer.
#include "base/app/GameFrame.h"

#include "base/app/SystemRoot.h"

namespace base {
namespace {
i_GameFrame* g_frame = nullptr;
}

i_GameFrame::i_GameFrame() { g_frame = this; }

i_GameFrame::~i_GameFrame() {
  if (g_frame == this) g_frame = nullptr;
}

bool i_GameFrame::ShutDown() {
  if (cl_System* system = cl_System::GetInstance()) system->SetQuit(true);
  return true;
}

bool i_GameFrame::NewSession() {
  i_GameSession* session = CreateSession();
  m_session = smart_ptr<i_GameSession>(session);
  AddState("Session", session);
  return true;
}

bool i_GameFrame::RunSession() {
  // Without a session the current state stays: a failed start must not leave the frame blank.
  if (!GetModuleByName("Session") || !SetState("Session")) return false;
  cl_Module* state = GetState();
  return state ? state->StartUp() : false;
}

void i_GameFrame::EndSession() {
  RemoveModule(GetModuleByName("Session"));
  m_session.release();
}

i_GameFrame* GetFrameInterface() { return g_frame; }

i_GameSession* GetSessionInterface() { return g_frame ? g_frame->GetSession() : nullptr; }

}  // namespace base
