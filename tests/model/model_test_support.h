// Helpers of the model tests: skinned and static meshes built by hand, and model records written
// to bytes and read back from memory.
#pragma once

#include <string>

#include "../base/test_support.h"
#include "base/File.h"
#include "graphics/mesh/Mesh.h"
#include "graphics/model/Model.h"

namespace modeltest {

using base::cl_Mesh;
using V2 = base::tVector2<float>;
using V3 = base::tVector3<float>;

inline base::Variant Material(const char* shader, int alpha, const char* texture = nullptr) {
  base::Variant m;
  m.set_element("Material");
  m.attribute("shader")->set_string(shader);
  if (alpha) m.attribute("alpha")->set_int(alpha);
  if (texture) m.attribute("texture")->set_string(texture);
  return m;
}

// A tube of `bones` segments along +y: ring r (4 vertices) hangs on bones r-1 and r (the ends on
// one bone), so neighbouring segments share vertices but not all their bones. Segments from
// alphaFrom on lie in a second region whose material is an alpha one.
inline void BuildChain(cl_Mesh& m, int bones, int alphaFrom = -1) {
  m.label = "chain";
  auto* body = m.FindOrAddRegion("body");
  body->material = Material("lambert", 0, "skin");
  base::cl_Mesh::st_Region* hair = nullptr;
  if (alphaFrom >= 0) {
    hair = m.FindOrAddRegion("hair");
    hair->material = Material("lambert", 1, "skin");
  }
  std::vector<std::vector<base::cl_Mesh::st_Vertex*>> rings;
  for (int r = 0; r <= bones; ++r) {
    std::vector<base::cl_Mesh::st_Vertex*> ring;
    for (int k = 0; k < 4; ++k) {
      const float x = (k == 1 || k == 2) ? 0.5f : -0.5f, z = (k >= 2) ? 0.5f : -0.5f;
      auto* v = m.AddVertex(V3(x, static_cast<float>(r), z), V3(x, 0, z), V2(k * 0.25f, r * 0.1f));
      if (r > 0) {
        v->boneIndices.push_back(static_cast<unsigned char>(r - 1));
        v->boneWeights.push_back(r < bones ? 0.5f : 1.0f);
      }
      if (r < bones) {
        v->boneIndices.push_back(static_cast<unsigned char>(r));
        v->boneWeights.push_back(r > 0 ? 0.5f : 1.0f);
      }
      ring.push_back(v);
    }
    rings.push_back(ring);
  }
  for (int r = 0; r < bones; ++r) {
    for (int k = 0; k < 4; ++k) {
      base::cl_Mesh::st_Vertex* quad[4] = {rings[r][k], rings[r][(k + 1) % 4], rings[r + 1][(k + 1) % 4],
                                           rings[r + 1][k]};
      auto* f = m.AddFace(quad, 4);
      f->region = (hair && r >= alphaFrom) ? hair : body;
    }
  }
}

template <class Fn>
std::string WriteToBytes(Fn write) {
  testsupport::TempDir dir;
  const std::string path = dir.path("record.bmo");
  {
    base::File f(path.c_str(), base::File::STATUS_WRITE);
    write(&f);
    f.close();
  }
  return dir.read("record.bmo");
}

inline std::string ModelBytes(gfx::cl_Model& model) {
  return WriteToBytes([&](base::File* f) { EXPECT_TRUE(model.WriteRecord(f)); });
}

// Reads bytes as a model record; false when it was refused.
inline bool ReadModel(const std::string& bytes, gfx::cl_Model& model) {
  base::File f;
  f.open_memory(bytes.data(), static_cast<int>(bytes.size()), "model.bmo");
  return model.ReadRecord(&f) && !f.has_error();
}

}  // namespace modeltest
