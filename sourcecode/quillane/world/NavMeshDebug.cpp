// The nav mesh's debug views: the mesh in 3-D, the graph and boundary from above, and paths.
#include "quillane/world/NavMeshDebug.h"

#include <cmath>
#include <numbers>

#include "base/system.h"
#include "graphics/Camera2D.h"
#include "graphics/gfx.h"
#include "graphics/mesh/Mesh.h"
#include "quillane/world/NavMesh.h"
#include "win32dx9/DynamicBuffer.h"

namespace quillane {

using V2 = base::tVector2<float>;
namespace rec = win32dx9::rec;

namespace {
cl_NavMesh* g_debugNavMesh = nullptr;

constexpr uint32_t kMeshColour = 0x32FF8080;      // R 255, G 128, B 128, alpha 50
constexpr uint32_t kBoundary3D = 0x640000FF;      // blue, alpha 100
constexpr uint32_t kBoundary2D = 0x64FFFFFF;      // white, alpha 100
constexpr uint32_t kNormal2D = 0x80FFFFFF;        // half-transparent
constexpr uint32_t kPathBlocked = 0xFFFFFF00;     // yellow
constexpr uint32_t kPathClear = 0xFFFF00FF;       // magenta
constexpr uint32_t kCross = 0xFF000000;
constexpr float kNormalLength = 10.0f;            // world units

void AddLine3D(const tPoint& a, const tPoint& b, uint32_t colour) {
  rec::DiffAddLine();
  rec::DiffAddVertex(a.x, a.y, a.z, 0, 0, colour);
  rec::DiffAddVertex(b.x, b.y, b.z, 0, 0, colour);
}

// Green for free graph edges, through yellow to red as obstacles weigh them.
uint32_t WeightColour(float w) {
  if (!(w > 1.0f)) return 0xFF40C040;
  const float f = std::fmin(1.0f, std::log10(w) / 3.0f);
  const uint32_t g = static_cast<uint32_t>(192.0f * (1.0f - f));
  return 0xFFFF0000u | (g << 8);
}
}  // namespace

cl_NavMesh* GetDebugNavMesh() { return g_debugNavMesh; }
void SetDebugNavMesh(cl_NavMesh* navMesh) { g_debugNavMesh = navMesh; }
void ForgetDebugNavMesh(const cl_NavMesh* navMesh) {
  if (g_debugNavMesh == navMesh) g_debugNavMesh = nullptr;
}

void AddLine2D(const V2& a, const V2& b, uint32_t colour) {
  // Begin2D leaves identity transforms: positions are clip coordinates of the viewport.
  // Without a viewport set, the window is the viewport.
  const gfx::st_Viewport& vp = gfx::GetViewport();
  const bool own = vp.width > 0 && vp.height > 0;
  const float x0 = own ? static_cast<float>(vp.x) : 0.0f, y0 = own ? static_cast<float>(vp.y) : 0.0f;
  const int w = own ? vp.width : base::sys::GetWindowWidth(), h = own ? vp.height : base::sys::GetWindowHeight();
  if (w <= 0 || h <= 0) return;
  const float sx = 2.0f / static_cast<float>(w), sy = 2.0f / static_cast<float>(h);
  rec::DiffAddLine();
  rec::DiffAddVertex((a.x - x0) * sx - 1.0f, 1.0f - (a.y - y0) * sy, 0.0f, 0, 0, colour);
  rec::DiffAddVertex((b.x - x0) * sx - 1.0f, 1.0f - (b.y - y0) * sy, 0.0f, 0, 0, colour);
}

void AddCircle2D(const V2& centre, float radius, uint32_t colour) {
  constexpr int kSides = 24;
  V2 last = centre + V2(radius, 0.0f);
  for (int i = 1; i <= kSides; ++i) {
    const float a = 2.0f * std::numbers::pi_v<float> * static_cast<float>(i) / kSides;
    const V2 p = centre + V2(std::cos(a) * radius, std::sin(a) * radius);
    AddLine2D(last, p, colour);
    last = p;
  }
}

void FlushLines2D() {
  gfx::SetTexture(0, nullptr);
  gfx::SetFlatColor(0xFFFFFFFF);
  rec::DiffFlushLines();
}

void cl_NavMesh::RenderDebug() {
  SetDebugNavMesh(this);
  if (!m_mesh) return;
  gfx::SetTexture(0, nullptr);
  gfx::SetBlendColor(kMeshColour);
  for (const base::cl_Mesh::st_Face* f : m_mesh->faces) {
    for (int i = 2; i < f->vertices.size(); ++i) {
      rec::DiffAddTriangle();
      for (int c : {0, i - 1, i}) {
        const tPoint& p = f->vertices[c]->position;
        rec::DiffAddVertex(p.x, p.y, p.z, 0, 0, 0xFFFFFFFF);
      }
    }
  }
  rec::DiffFlushTriangles();
  for (const base::cl_Mesh::st_Face* f : m_mesh->faces) {
    const int n = f->vertices.size();
    for (int i = 0; i < n; ++i) AddLine3D(f->vertices[i]->position, f->vertices[(i + 1) % n]->position, 0xFFFFFFFF);
  }
  rec::DiffFlushLines();
  gfx::SetFlatColor(0xFFFFFFFF);
  for (size_t i = 0; i + 1 < m_boundaryPoints.size(); i += 2) AddLine3D(m_boundaryPoints[i], m_boundaryPoints[i + 1], kBoundary3D);
  rec::DiffFlushLines();
}

void cl_NavMesh::RenderDebug2D(const base::cl_Camera2D& camera) {
  auto screen = [&](const tPoint& p) { return camera.World2Screen(V2(p.x, p.z)); };
  for (const cl_PathNode& n : m_nodes) {
    for (int k = 0; k < n.neighbourCount; ++k) AddLine2D(screen(n.position), screen(n.neighbours[k]->position), WeightColour(n.weights[k]));
  }
  for (size_t i = 0; i < m_boundaryNormals.size(); ++i) {
    const tPoint& a = m_boundaryPoints[2 * i];
    const tPoint& b = m_boundaryPoints[2 * i + 1];
    AddLine2D(screen(a), screen(b), kBoundary2D);
    const tPoint mid = (a + b) * 0.5f;
    AddLine2D(screen(mid), screen(mid + m_boundaryNormals[i] * kNormalLength), kNormal2D);
  }
  FlushLines2D();
}

void cl_NavMesh::RenderPathDebug(const tPointList& points) {
  // Asked at draw time, so a nav mesh destroyed since its RenderDebug is never read.
  cl_NavMesh* navMesh = GetDebugNavMesh();
  const tPoint up(0.0f, 1.0f, 0.0f);
  for (const tPoint& p : points) {
    AddLine3D(p - tPoint(5, 0, 0), p + tPoint(5, 0, 0), kCross);
    AddLine3D(p - tPoint(0, 5, 0), p + tPoint(0, 5, 0), kCross);
    AddLine3D(p - tPoint(0, 0, 5), p + tPoint(0, 0, 5), kCross);
  }
  for (size_t i = 1; i < points.size(); ++i) {
    const bool blocked = navMesh && navMesh->SegmentHitsBoundary(points[i - 1], points[i]);
    AddLine3D(points[i - 1] + up, points[i] + up, blocked ? kPathBlocked : kPathClear);
  }
  gfx::SetTexture(0, nullptr);
  gfx::SetFlatColor(0xFFFFFFFF);
  rec::DiffFlushLines();
}

}  // namespace quillane
