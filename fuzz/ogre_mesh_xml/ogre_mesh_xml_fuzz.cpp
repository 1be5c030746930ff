// Arbitrary text through the Ogre XML mesh importer, then the mesh routines over what it built:
// references outside a submesh must be refused, never followed, and numbers that are not finite
// must refuse the file.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

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
  // A number that is not finite refuses the file: what is let through has a finite box.
  const base::tVector3<float> lo = mesh.aabbMin, hi = mesh.aabbMax;
  if (!(std::isfinite(lo.x) && std::isfinite(lo.y) && std::isfinite(lo.z) && std::isfinite(hi.x) &&
        std::isfinite(hi.y) && std::isfinite(hi.z)))
    std::abort();
  mesh.CalcConnectivity();
  mesh.BuildEdgeList();
  mesh.SetVertexSharing(base::cl_Mesh::VERTEX_SHARED);
  return 0;
}
