#include "quillane/session/Session.h"

#include "quillane/session/Stage.h"

namespace quillane {
namespace {
cl_Session* g_session = nullptr;
}

cl_Session* GetSession() { return g_session; }

cl_Session::cl_Session() { g_session = this; }
cl_Session::~cl_Session() {
  g_session = nullptr;
  delete m_stage;
}

bool cl_Session::StartUp() { return base::i_GameSession::StartUp(); }
void cl_Session::Update(float, float) {}
void cl_Session::Render() {}
bool cl_Session::NewGame() { return false; }
bool cl_Session::LoadGame(const char*) { return false; }
bool cl_Session::SaveGame(const char*, base::tString<base::BaseUnicodeString>, const base::Variant*) { return false; }
cl_Scene* cl_Session::GetScene() const { return m_stage ? m_stage->GetScene() : nullptr; }
void cl_Session::SetRequest(const char* request) { m_request = request ? request : ""; }
base::tRectf cl_Session::GetViewportRect() const { return {}; }
bool cl_Session::IsSkippingSequence() { return false; }
bool cl_Session::IsSceneJustLoaded() { return g_session && g_session->m_sceneJustLoaded; }
void cl_Session::LoadScene(base::String) {}
base::Variant cl_Session::RunSceneScript(const base::String&, const base::String&, const base::Variant&) { return {}; }
void cl_Session::CallSceneScript(const base::String&, const base::String&, const base::Variant&) {}
void cl_Session::CallSceneFunctionInBackground(const base::String&, const base::String&, const base::Variant&) {}

bool SceneScriptHasFunction(const base::String&, const base::String&) { return false; }
int GetMissionState(const char*) { return -1; }

}  // namespace quillane
