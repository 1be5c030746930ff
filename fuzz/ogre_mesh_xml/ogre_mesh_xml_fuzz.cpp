// Arbitrary text through the Ogre XML mesh importer, then the mesh routines over what it built:
// references outside a submesh must be refused, never followed.
#include <cstddef>
#include <cstdint>

#include "graphics/mesh/Mesh.h"
#include "graphics/mesh/Skeleton.h"

#include "../BaseFuzz.h"
#include "../ScratchFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzsupport::BeginBaseInput(size, 64 * 1024)) return 0;
  const std::string path = fuzzsupport::WriteScratchFile(data, size, ".mesh.xml");
  if (path.empty()) return 0;
  base::cl_Mesh mesh;
  if (!base::MeshLoadOgreXML(path.c_str(), &mesh)) return 0;
  mesh.CalcAABB();
  mesh.CalcConnectivity();
  mesh.BuildEdgeList();
  mesh.SetVertexSharing(base::cl_Mesh::VERTEX_SHARED);
  return 0;
}
