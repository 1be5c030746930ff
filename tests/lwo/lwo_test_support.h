// Helpers of the LightWave tests: reading written bytes back, from memory or through a file.
#pragma once

#include <memory>
#include <string>

#include "../base/test_support.h"
#include "graphics/mesh/lwo/LwoObject.h"
#include "lwo_writer.h"

namespace lwotest {

struct ObjectDeleter {
  void operator()(base::LwoObject* o) const { base::LwoFreeObject(o); }
};
using ObjectPtr = std::unique_ptr<base::LwoObject, ObjectDeleter>;

struct ReadResult {
  ObjectPtr object;
  unsigned failId = 0;
  int failPos = -1;
};

inline ReadResult ReadBytes(const std::string& bytes) {
  ReadResult r;
  r.object.reset(base::LwoReadObjectMemory(bytes.data(), static_cast<int>(bytes.size()), "test.lwo", &r.failId,
                                           &r.failPos));
  return r;
}

inline std::string IdText(unsigned id) { return base::LwoIdText(id); }

}  // namespace lwotest
