// Bounding box, vertex and face transforms, winding flip and ray picking.
#include "graphics/mesh/Mesh.h"

namespace base {

void cl_Mesh::CalcAABB() {
  if (vertices.empty()) return;
  aabbMin = aabbMax = vertices[0]->position;
  tLimit<tVector3<float>> box(aabbMin, aabbMax);
  for (const st_Vertex* v : vertices) box.extend(v->position);
  aabbMin = box.min;
  aabbMax = box.max;
  flags |= FLAG_AABB;
}

void cl_Mesh::TransformVertices(const Matrix4& m) {
  for (st_Vertex* v : vertices) v->position = m * v->position;
}

void cl_Mesh::ScaleFaces(float factor) {
  for (st_Face* f : faces) {
    for (int i = 0; i < f->vertices.size(); ++i) {
      st_Vertex* v = f->vertices[i];
      v->position = f->centre + (v->position - f->centre) * factor;
    }
  }
}

void cl_Mesh::Flip() {
  for (st_Face* f : faces) {
    const int n = f->vertices.size();
    for (int i = 0; i < n / 2; ++i) {
      st_Vertex* t = f->vertices[i];
      f->vertices[i] = f->vertices[n - 1 - i];
      f->vertices[n - 1 - i] = t;
    }
  }
}

bool MeshPickNearest(tVector3<float>& point, cl_Mesh* mesh, const Ray3& ray) {
  float best = -1.0f;
  if (mesh) {
    for (const cl_Mesh::st_Face* f : mesh->faces) {
      const int n = f->vertices.size();
      if (n <= 2) continue;
      for (int k = 2; k < n; ++k) {
        const Triangle3 tri = MakeTriangle(f->vertices[0]->position, f->vertices[k - 1]->position,
                                           f->vertices[k]->position);
        float t = 0.0f, u = 0.0f, v = 0.0f;
        if (!IntersectRayTriangle(tri, ray, t, u, v) || t < 0.0f) continue;
        if (best < 0.0f || t < best) best = t;
      }
    }
  }
  point = ray.origin + ray.direction * best;
  return best >= 0.0f;
}

}  // namespace base
