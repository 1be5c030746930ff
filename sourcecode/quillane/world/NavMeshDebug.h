// Debug drawing shared by the navigation mesh and the path-finder test module: screen-space lines
// and circles through the line recorder, and the record of which nav mesh was drawn last (the
// path view judges segments against it).
#pragma once

#include <cstdint>

#include "base/math/Vector.h"

namespace quillane {

class cl_NavMesh;

// The nav mesh RenderDebug drew last, or null; a destroyed nav mesh is forgotten.
cl_NavMesh* GetDebugNavMesh();
void SetDebugNavMesh(cl_NavMesh* navMesh);
void ForgetDebugNavMesh(const cl_NavMesh* navMesh);

// Screen-pixel lines in the current viewport (after gfx::Begin2D); recorded until FlushLines2D.
void AddLine2D(const base::tVector2<float>& a, const base::tVector2<float>& b, uint32_t colour);
void AddCircle2D(const base::tVector2<float>& centre, float radius, uint32_t colour);
void FlushLines2D();

}  // namespace quillane
