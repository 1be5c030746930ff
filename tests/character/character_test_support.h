// Shared set-up of the character tests: the actor tests' scratch folder with the demo figures,
// plus helpers to compare poses and to hold lip-sync text in memory.
#pragma once

#include <cmath>
#include <cstring>
#include <string>

#include "../actor/actor_test_support.h"
#include "base/data/Binary.h"
#include "graphics/mesh/Pose.h"

namespace charactertest {

inline base::Binary Text(const std::string& s) {
  base::Binary b(static_cast<int>(s.size()));
  if (!s.empty()) std::memcpy(b.get_buffer(), s.data(), s.size());
  return b;
}

// Largest difference of translation, scale or rotation over the bones of both poses.
inline float PoseDistance(const base::cl_Pose& a, const base::cl_Pose& b) {
  float d = 0.0f;
  for (int i = 0; i < a.GetNumBones() && i < b.GetNumBones(); ++i) {
    const auto& x = a[i];
    const auto& y = b[i];
    for (int k = 0; k < 3; ++k) {
      d = std::max(d, std::fabs(x.translation[k] - y.translation[k]));
      d = std::max(d, std::fabs(x.scale[k] - y.scale[k]));
    }
    // q and -q are the same rotation.
    float dot = x.rotation.x * y.rotation.x + x.rotation.y * y.rotation.y + x.rotation.z * y.rotation.z +
                x.rotation.w * y.rotation.w;
    d = std::max(d, 1.0f - std::fabs(dot));
  }
  return d;
}

}  // namespace charactertest
