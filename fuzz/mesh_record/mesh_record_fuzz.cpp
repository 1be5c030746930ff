// Reads arbitrary bytes as a mesh record, then runs the mesh operations over whatever loaded, so
// that a record the reader lets through can never make them read out of bounds.
#include <cstddef>
#include <cstdint>

#include "base/File.h"
#include "graphics/mesh/Mesh.h"

#include "../BaseFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Edge and neighbour searches are quadratic; small records find the same faults.
  if (!fuzzsupport::BeginBaseInput(size, 64 * 1024)) return 0;
  base::File f;
  if (!f.open_memory(data, static_cast<int>(size), "fuzz.mesh")) return 0;
  base::cl_Mesh mesh;
  mesh.Read(&f);
  if (f.has_error()) return 0;

  base::tVector3<float> point;
  base::MeshPickNearest(point, &mesh, base::Ray3({0.5f, 10, 0.5f}, {0, -1, 0}));
  mesh.CalcAABB();
  mesh.CalcConnectivity();
  mesh.BuildEdgeList();
  base::Variant materials;
  mesh.ListMaterials(materials);
  // Split uses the corner data as read; merge and shared mode then fold it back.
  mesh.SplitVertices();
  mesh.SetVertexSharing(base::cl_Mesh::VERTEX_SHARED);
  mesh.SetVertexSharing(base::cl_Mesh::VERTEX_MERGED);
  mesh.ScaleFaces(0.5f);
  mesh.Flip();
  return 0;
}
