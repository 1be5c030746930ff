// Arbitrary text through the Ogre XML skeleton importer, then the set-up steps and a pose over
// what it built: every clip that survives the import must sample and compress safely.
#include <cstddef>
#include <cstdint>

#include "graphics/mesh/Skeleton.h"

#include "../BaseFuzz.h"
#include "../ScratchFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzsupport::BeginBaseInput(size, 64 * 1024)) return 0;
  const std::string path = fuzzsupport::WriteScratchFile(data, size, ".skeleton.xml");
  if (path.empty()) return 0;
  base::cl_Skeleton skeleton;
  if (!base::SkeletonLoadOgreXML(path.c_str(), &skeleton)) return 0;
  base::cl_Pose keyed(skeleton.size()), packed(skeleton.size());
  for (auto& a : skeleton.animations) {
    a.second->ExtractRepositioning();
    keyed.Set(a.second, 0.3f);
    a.second->Compress();
    packed.Set(a.second, 0.3f);
    skeleton.SetPose(&packed);
  }
  return 0;
}
