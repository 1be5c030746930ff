// The path-finder test module: a developer view of one navigation mesh from above. A left click
// sets the start, a right click the goal and searches a path; R scatters ten obstacle circles;
// the arrow keys move a locator and Page Up / Page Down zoom. It consumes no input.
#pragma once

#include <memory>

#include "base/app/Module.h"
#include "graphics/Camera2D.h"
#include "quillane/world/NavMesh.h"

namespace quillane {

class cl_PathFinderTest : public base::cl_Module {
 public:
  static constexpr const char* kDefaultNavMesh = "scenes/Jail/navmesh.xml";

  // Loads the nav mesh (the default one when navMeshFile is null) and zooms on its bounds.
  static cl_PathFinderTest* Create(const char* navMeshFile = nullptr);

  explicit cl_PathFinderTest(const char* navMeshFile = nullptr);
  ~cl_PathFinderTest() override;

  void Update(float time, float dt) override;
  void Render() override;
  bool ProcessInput(base::ICMD& cmd) override;  // always false

  const cl_NavMesh& GetNavMesh() const { return *m_navMesh; }
  const tPointList& GetPath() const { return m_path; }
  const tPointList& GetObstacles() const { return m_obstacles; }  // (x, z, radius)
  const base::cl_Camera2D& GetCamera() const { return m_camera; }
  const base::cl_Locator2D& GetLocator() const { return m_locator; }

 private:
  struct st_Walker {
    base::tVector2<float> position{800.0f, 600.0f};
    base::tVector2<float> velocity;
    base::tVector2<float> acceleration;
    base::tVector2<float> target{0.0f, 0.0f};
  };

  base::cl_Locator2D m_locator;
  base::cl_Camera2D m_camera;
  float m_bounds[4] = {0, 0, 0, 0};  // min x, min z, max x, max z
  st_Walker m_walker;
  std::unique_ptr<cl_NavMesh> m_navMesh;
  tPointList m_obstacles;
  tPointList m_path;
  base::tVector2<float> m_start;
  base::tVector2<float> m_goal;
};

}  // namespace quillane
