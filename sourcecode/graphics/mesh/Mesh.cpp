#include "graphics/mesh/Mesh.h"

#include <cstring>

namespace base {

void cl_Mesh::st_Vertex::AddBone(unsigned char bone, float weight) {
  boneIndices.push_back(bone);
  boneWeights.push_back(weight);
}

void cl_Mesh::st_Face::CalcCenterAndNormal() {
  const int n = vertices.size();
  if (n < 3) return;
  tVector3<float> sum;
  for (int i = 0; i < n; ++i) sum += vertices[i]->position;
  centre = sum / static_cast<float>(n);
  normal = MakeTriangle(vertices[0]->position, vertices[1]->position, vertices[2]->position).Normal();
}

cl_Mesh::~cl_Mesh() { Clear(); }

void cl_Mesh::Clear() {
  for (st_Face* f : faces) delete f;
  for (st_Vertex* v : vertices) delete v;
  for (st_Edge* e : edges) delete e;
  for (st_Region* r : regions) delete r;
  faces.clear();
  vertices.clear();
  edges.clear();
  regions.clear();
  flags = 0;
  vertexUsage = VERTEX_SPLIT;
  aabbMin = aabbMax = tVector3<float>();
}

cl_Mesh::st_Vertex* cl_Mesh::AddVertex(const tVector3<float>& position, const tVector3<float>& normal,
                                       const tVector2<float>& uv) {
  st_Vertex* v = new st_Vertex;
  v->index = vertices.size();
  v->position = position;
  v->normal = normal;
  v->uv = uv;
  vertices.push_back(v);
  return v;
}

cl_Mesh::st_Face* cl_Mesh::AddFace(st_Vertex* const* corners, int count) {
  st_Face* f = new st_Face;
  f->index = faces.size();
  f->vertices.reserve(count);
  for (int i = 0; i < count; ++i) f->vertices.push_back(corners[i]);
  faces.push_back(f);
  return f;
}

cl_Mesh::st_Face* cl_Mesh::AddTriangle(st_Vertex* a, st_Vertex* b, st_Vertex* c) {
  st_Vertex* const corners[3] = {a, b, c};
  return AddFace(corners, 3);
}

cl_Mesh::st_Region* cl_Mesh::FindRegion(const char* name) const {
  if (!name) name = "";
  for (st_Region* r : regions) {
    if (std::strcmp(r->label.c_str(), name) == 0) return r;
  }
  return nullptr;
}

cl_Mesh::st_Region* cl_Mesh::FindOrAddRegion(const char* name) {
  if (st_Region* found = FindRegion(name)) return found;
  st_Region* r = new st_Region;
  r->label = name;
  r->index = regions.size();
  regions.push_back(r);
  return r;
}

cl_Mesh::st_Region* cl_Mesh::GetRegionByIndex(int index) const {
  for (st_Region* r : regions) {
    if (r->index == index) return r;
  }
  return nullptr;
}

cl_Mesh::st_Edge* cl_Mesh::AddOrFindEdge(st_Vertex* a, st_Vertex* b) {
  for (st_Edge* e : edges) {
    if ((e->vertexA == a && e->vertexB == b) || (e->vertexA == b && e->vertexB == a)) return e;
  }
  return AddEdge(a, b);
}

cl_Mesh::st_Edge* cl_Mesh::AddEdge(st_Vertex* a, st_Vertex* b) {
  st_Edge* e = new st_Edge;
  e->index = edges.size();
  e->vertexA = a;
  e->vertexB = b;
  edges.push_back(e);
  return e;
}

}  // namespace base
