// Helpers of the mesh tests: small meshes built by hand, and records written to a scratch file
// and read back from memory.
#pragma once

#include <string>
#include <vector>

#include "../base/test_support.h"
#include "base/File.h"
#include "graphics/mesh/Mesh.h"

namespace meshtest {

using base::cl_Mesh;
using V2 = base::tVector2<float>;
using V3 = base::tVector3<float>;

// A unit quad in the XZ plane (y = 0) as two triangles 0-1-2 and 0-2-3 over four vertices.
inline void BuildQuad(cl_Mesh& m) {
  auto* a = m.AddVertex(V3(0, 0, 0), V3(0, 1, 0), V2(0, 0));
  auto* b = m.AddVertex(V3(1, 0, 0), V3(0, 1, 0), V2(1, 0));
  auto* c = m.AddVertex(V3(1, 0, 1), V3(0, 1, 0), V2(1, 1));
  auto* d = m.AddVertex(V3(0, 0, 1), V3(0, 1, 0), V2(0, 1));
  m.AddTriangle(a, b, c);
  m.AddTriangle(a, c, d);
}

// Positions of the corners of every face, face by face.
inline std::vector<V3> CornerPositions(const cl_Mesh& m) {
  std::vector<V3> out;
  for (const auto* f : m.faces) {
    for (int i = 0; i < f->vertices.size(); ++i) out.push_back(f->vertices[i]->position);
  }
  return out;
}

// Corner vertex indices of every face, face by face.
inline std::vector<int> CornerIndices(const cl_Mesh& m) {
  std::vector<int> out;
  for (const auto* f : m.faces) {
    for (int i = 0; i < f->vertices.size(); ++i) out.push_back(f->vertices[i]->index);
  }
  return out;
}

// The bytes of whatever write() puts into a base::File.
template <class Fn>
std::string WriteToBytes(Fn write) {
  testsupport::TempDir dir;
  const std::string path = dir.path("record.bin");
  {
    base::File f(path.c_str(), base::File::STATUS_WRITE);
    write(&f);
    f.close();
  }
  return dir.read("record.bin");
}

inline std::string MeshBytes(cl_Mesh& m) {
  return WriteToBytes([&](base::File* f) { m.Write(f); });
}

// Reads bytes as a mesh record; false when the file's error flag is set afterwards.
inline bool ReadMesh(const std::string& bytes, cl_Mesh& m) {
  base::File f;
  f.open_memory(bytes.data(), static_cast<int>(bytes.size()), "mesh.bin");
  m.Read(&f);
  return !f.has_error();
}

}  // namespace meshtest
