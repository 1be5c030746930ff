#include "quillane/world/PathFinderTest.h"

#include <cmath>

#include "base/app/ICMD.h"
#include "base/app/KeyCode.h"
#include "base/math/Random.h"
#include "base/system.h"
#include "graphics/gfx.h"
#include "quillane/world/NavMeshDebug.h"

namespace quillane {

using V2 = base::tVector2<float>;

namespace {
constexpr float kObstacleRadius = 50.0f;
constexpr uint32_t kBackground = 0xFF3C4650;  // R 60, G 70, B 80
constexpr uint32_t kPathColour = 0xFFFFFF00;
constexpr uint32_t kObstacleColour = 0xFF0000FF;
}  // namespace

cl_PathFinderTest* cl_PathFinderTest::Create(const char* navMeshFile) { return new cl_PathFinderTest(navMeshFile); }

cl_PathFinderTest::cl_PathFinderTest(const char* navMeshFile) : m_navMesh(cl_NavMesh::Create()) {
  m_locator.SetPos(500.0f, 500.0f);
  m_camera.SetViewportRect(base::cl_Camera2D::Rect(0.0f, 0.0f, 960.0f, 600.0f));
  m_camera.SetZoomFactor(4.0f);
  const char* file = navMeshFile ? navMeshFile : kDefaultNavMesh;
  if (!m_navMesh->LoadMesh(file)) base::sys::Output("Warning: path-finder test: nav mesh '%s' not loaded\n", file);
  float b[6];
  m_navMesh->GetBounds(b);
  m_bounds[0] = b[0], m_bounds[1] = b[2], m_bounds[2] = b[3], m_bounds[3] = b[5];
  m_camera.ZoomOn(base::cl_Camera2D::Rect(m_bounds[0], m_bounds[1], m_bounds[2], m_bounds[3]));
}

cl_PathFinderTest::~cl_PathFinderTest() = default;

void cl_PathFinderTest::Update(float time, float dt) {
  base::cl_Module::Update(time, dt);
  if (base::sys::KeyState(base::key::Up)) m_locator.MoveForward(dt * 50.0f);
  if (base::sys::KeyState(base::key::Right)) m_locator.TurnRight(dt);
  if (base::sys::KeyState(base::key::Left)) m_locator.TurnRight(-dt);
  if (base::sys::KeyState(base::key::PageUp)) m_camera.SetZoomFactor(m_camera.GetZoomFactor() * std::exp(-dt));
  if (base::sys::KeyState(base::key::PageDown)) m_camera.SetZoomFactor(m_camera.GetZoomFactor() * std::exp(dt));
  m_walker.acceleration = (m_walker.target - m_walker.position).normal() * 0.1f;
  m_walker.velocity += m_walker.acceleration * dt;
  m_walker.position += m_walker.velocity * dt;
  m_walker.acceleration = V2(0.0f, 0.0f);
}

bool cl_PathFinderTest::ProcessInput(base::ICMD& cmd) {
  const V2 mouse(static_cast<float>(cmd.mouseX), static_cast<float>(cmd.mouseY));
  switch (cmd.type) {
    case base::ICMD::LEFT_DOWN:
      m_walker.target = mouse;
      m_start = m_camera.Screen2World(mouse);
      break;
    case base::ICMD::RIGHT_DOWN:
      m_goal = m_camera.Screen2World(mouse);
      m_navMesh->FindPath(tPoint(m_start.x, 0.0f, m_start.y), tPoint(m_goal.x, 0.0f, m_goal.y), m_path, &m_obstacles);
      break;
    case base::ICMD::KEY_PRESSED:
      if (cmd.key == 'R') {
        for (int i = 0; i < 10; ++i) {
          const float x = m_bounds[0] + base::Random() * (m_bounds[2] - m_bounds[0]);
          const float z = m_bounds[1] + base::Random() * (m_bounds[3] - m_bounds[1]);
          m_obstacles.emplace_back(x, z, kObstacleRadius);
        }
      }
      break;
    default:
      break;
  }
  base::cl_Module::ProcessInput(cmd);
  return false;
}

void cl_PathFinderTest::Render() {
  gfx::ClearScreen(kBackground);
  gfx::Begin2D();
  m_navMesh->RenderDebug2D(m_camera);
  if (m_path.size() > 1) {
    for (size_t i = 0; i < m_path.size(); ++i) {
      const V2 p = m_camera.World2Screen(V2(m_path[i].x, m_path[i].z));
      if (i > 0) AddLine2D(m_camera.World2Screen(V2(m_path[i - 1].x, m_path[i - 1].z)), p, kPathColour);
      AddCircle2D(p, 5.0f, kPathColour);
    }
  }
  for (const tPoint& o : m_obstacles) AddCircle2D(m_camera.World2Screen(V2(o.x, o.y)), o.z * m_camera.GetZoomFactor(), kObstacleColour);
  FlushLines2D();
  base::cl_Module::Render();
}

}  // namespace quillane
