#include "quillane/scene/SceneRecord.h"

#include <cmath>

#include "base/system.h"

namespace quillane {

bool FailRecord(base::File& file, const char* record) {
  base::sys::Output("ERROR: %s: %s at offset %d\n", file.get_name().c_str(), record, file.get_current_position());
  file.set_error();
  return false;
}

bool ReadI32(base::File& file, int32_t& out, const char* record) {
  out = 0;
  if (file.get_remaining() < 4 || !file.read(&out, 4)) return FailRecord(file, record);
  return true;
}

bool ReadU32(base::File& file, uint32_t& out, const char* record) {
  out = 0;
  if (file.get_remaining() < 4 || !file.read(&out, 4)) return FailRecord(file, record);
  return true;
}

bool ReadF32(base::File& file, float& out, const char* record) {
  out = 0.0f;
  if (file.get_remaining() < 4 || !file.read(&out, 4)) return FailRecord(file, record);
  return true;
}

bool ReadF32s(base::File& file, float* out, int count, const char* record) {
  for (int i = 0; i < count; ++i)
    if (!ReadF32(file, out[i], record)) return false;
  return true;
}

bool ReadFlag(base::File& file, bool& out, const char* record) {
  out = false;
  unsigned char byte = 0;
  if (file.get_remaining() < 1 || !file.read(&byte, 1) || byte > 1) return FailRecord(file, record);
  out = byte != 0;
  return true;
}

bool ReadSceneString(base::File& file, base::tString<base::BaseString>& out, const char* record) {
  out.clear();
  int32_t n = 0;
  if (!ReadI32(file, n, record)) return false;
  if (n < 0 || n > kMaxSceneString || n > file.get_remaining()) return FailRecord(file, record);
  if (n == 0) return true;
  out.set(nullptr, n);
  if (!file.read(out.get_buffer(), n)) {
    out.clear();
    return FailRecord(file, record);
  }
  return true;
}

bool ReadCount(base::File& file, int& out, int minBytes, const char* record) {
  out = 0;
  int32_t n = 0;
  if (!ReadI32(file, n, record)) return false;
  if (n <= 0) return true;
  if (minBytes > 0 && n > file.get_remaining() / minBytes) return FailRecord(file, record);
  out = n;
  return true;
}

float SaneFloat(float v) {
  if (std::isnan(v)) return 0.0f;
  return v < -kSaneCoordinate ? -kSaneCoordinate : (v > kSaneCoordinate ? kSaneCoordinate : v);
}

int TruncToInt(float v) { return static_cast<int>(SaneFloat(v)); }

}  // namespace quillane
