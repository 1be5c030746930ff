// Arbitrary text as a subset file of a small skeleton, then the subset blends over each subset it
// added: bones it names must be bones of the skeleton.
#include <cstddef>
#include <cstdint>

#include "graphics/mesh/Skeleton.h"

#include "../BaseFuzz.h"
#include "../ScratchFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzsupport::BeginBaseInput(size, 64 * 1024)) return 0;
  const std::string path = fuzzsupport::WriteScratchFile(data, size, "_subsets.xml");
  if (path.empty()) return 0;
  base::cl_Skeleton skeleton;
  skeleton.Create(4);
  const char* names[] = {"hip", "spine", "neck", "head"};
  for (int i = 0; i < 4; ++i) skeleton[i].name = names[i];
  base::tString<base::BaseString> protocol;
  skeleton.ImportSubsets(path.c_str(), protocol);
  base::cl_Pose pose(4), other(4);
  for (const auto& s : skeleton.subsets) {
    pose.Blend(&other, s.second, 1.0f);
    pose.FunStuff_Add(&other, s.second, 1.0f);
  }
  return 0;
}
