#include "quillane/scene/SceneFloorWorld.h"

#include "quillane/scene/Scene.h"

namespace quillane {

i_NavMesh* cl_SceneFloorWorld::FindNavMeshAt(const base::tVector3<float>& position) const {
  return m_scene ? m_scene->FindNavMeshAt(position.x, position.y, position.z) : nullptr;
}

}  // namespace quillane
