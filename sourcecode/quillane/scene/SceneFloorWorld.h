// cl_SceneFloorWorld: the world of characters that stand on a scene with no stage around them
// (the dance, the scene compiler's walk): the scene's nav meshes answer for the floor; there is
// nobody else to walk around or to look at, and no script. Main thread only.
#pragma once

#include "quillane/world/StageWorld.h"

namespace quillane {

class cl_Scene;

class cl_SceneFloorWorld final : public i_StageWorld {
 public:
  explicit cl_SceneFloorWorld(cl_Scene* scene = nullptr) : m_scene(scene) {}
  void SetScene(cl_Scene* scene) { m_scene = scene; }  // not owned; null: no floor

  void CollectObstacles(std::vector<base::tVector3<float>>&, const char*) const override {}
  float GetAvoidanceRadius() const override { return kDefaultAvoidanceRadius; }
  void GetStageCharacters(std::vector<i_FaceOwner*>&) const override {}
  i_FaceOwner* GetCharacter(const char*) const override { return nullptr; }
  i_NavMesh* FindNavMeshAt(const base::tVector3<float>& position) const override;
  en_TimerCall CallCharacterTimer(const char*, float&) const override { return en_TimerCall::NONE; }

 private:
  cl_Scene* m_scene;
};

}  // namespace quillane
