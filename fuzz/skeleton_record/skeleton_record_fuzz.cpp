// Reads arbitrary bytes as a skeleton record, then poses, samples and blends whatever loaded, so
// that a record the reader lets through can never make them read out of bounds or recurse
// without end.
#include <cstddef>
#include <cstdint>

#include "base/File.h"
#include "graphics/mesh/Skeleton.h"

#include "../BaseFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzsupport::BeginBaseInput(size, 256 * 1024)) return 0;
  base::File f;
  if (!f.open_memory(data, static_cast<int>(size), "fuzz.skeleton")) return 0;
  base::cl_Skeleton skeleton;
  skeleton.Read(&f);
  if (f.has_error()) return 0;

  base::cl_Pose pose(skeleton.size()), other(skeleton.size());
  skeleton.SetPose(&pose);
  for (const auto& a : skeleton.animations) {
    for (float t : {0.0f, 0.37f, -1.5f, 1e9f, a.second->length}) {
      other.Set(a.second, t);
      pose.Blend(&pose, &other);
      skeleton.SetPose(&other);
    }
  }
  for (const auto& s : skeleton.subsets) {
    pose.Blend(&other, s.second, 0.5f);
    pose.Add(&other, s.second, 0.5f);
  }
  base::Variant list;
  skeleton.ListAnimations(list);
  for (auto& a : skeleton.animations) a.second->Compress();
  skeleton.SetPose(&pose);
  return 0;
}
