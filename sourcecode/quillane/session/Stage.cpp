#include "quillane/session/Stage.h"

namespace quillane {

cl_Stage::cl_Stage() = default;
cl_Stage::~cl_Stage() { ReleaseSceneData(); }

void cl_Stage::LoadScene(const base::String&) {}
void cl_Stage::ReleaseSceneData() {}
cl_Character* cl_Stage::CreateCharacter(const base::String&, const base::String&) { return nullptr; }
cl_Character* cl_Stage::GetCharacter(const char*) const { return nullptr; }
void cl_Stage::RemoveCharacter(const char*) {}
void cl_Stage::CollectObstacles(std::vector<base::tVector3<float>>&, const char*) const {}
void cl_Stage::BindCharactersToScene() {}
void cl_Stage::PrepareCharacters() {}
void cl_Stage::Update(float) {}
void cl_Stage::Render(const base::tRectf&) {}
bool cl_Stage::PickAt(float, float, base::String&) const { return false; }
base::tRectf cl_Stage::GetCharacterScreenRect(const cl_Character*) const { return {}; }
void cl_Stage::ShowTooltip(bool, const base::String&) const {}
void cl_Stage::UpdateScroll() {}
base::tVector2<float> cl_Stage::GetOverheadScreenPos(const cl_Character*) const { return {}; }
base::tVector3<float> cl_Stage::GetNavMeshCenter(base::tVector3<float>& out) const { return out; }
bool cl_Stage::WriteState(base::File&) const { return false; }
bool cl_Stage::ReadState(base::File&) { return false; }

cl_SceneLoadTask::cl_SceneLoadTask(cl_Stage* stage, base::String sceneName)
    : m_sceneName(std::move(sceneName)), m_stage(stage) {}
void cl_SceneLoadTask::Run() {
  if (m_stage) m_stage->LoadScene(m_sceneName);
}

}  // namespace quillane
