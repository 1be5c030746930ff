// Arbitrary bytes as lip-sync text, then the mouth posed at times spread over and past the
// track: every frame must name one of the ten mouth shapes and no time may read outside it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/data/Binary.h"
#include "graphics/mesh/Pose.h"
#include "quillane/character/LipsyncCtrl.h"

#include "../BaseFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzsupport::BeginBaseInput(size, 64 * 1024)) return 0;
  base::Binary text(static_cast<int>(size));
  if (size > 0) std::memcpy(text.get_buffer(), data, size);
  static quillane::cl_LipsyncCtrl* lip = new quillane::cl_LipsyncCtrl(nullptr);
  lip->Start(text);
  for (const auto& f : lip->GetTrack()) {
    if (f.viseme < 0 || f.viseme >= quillane::cl_LipsyncCtrl::kVisemes) std::abort();
  }
  if (lip->GetTrack().size() > 12019) std::abort();

  // Times from the input's bytes, so that the fuzzer can steer them too.
  uint32_t seed = 2166136261u;
  for (size_t i = 0; i < size; ++i) seed = (seed ^ data[i]) * 16777619u;
  base::cl_Pose pose(4);
  for (int k = 0; k < 16; ++k) {
    seed = seed * 1664525u + 1013904223u;
    lip->active = true;
    lip->time = static_cast<float>(seed % 100000u) * 0.001f * (lip->duration + 1.0f) / 100.0f;
    lip->ApplyPose(pose);
    lip->Update(0.016f);
  }
  for (float t : {-1.0f, 0.0f, lip->duration, 1e30f}) {
    lip->active = true;
    lip->time = t;
    lip->ApplyPose(pose);
  }
  return 0;
}
