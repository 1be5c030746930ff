// The stage block's records.
#include "quillane/savegame/StageRecords.h"

#include <cmath>
#include <cstring>
#include <string>

#include "base/File.h"

namespace quillane {
namespace {

constexpr float kMaxQuaternionPart = 2.0f;
constexpr float kMaxCoordinate = 1.0e7f;

}  // namespace

bool WriteStageU32(base::File& file, uint32_t value) {
  const unsigned char b[4] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
                              static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
  return file.write(b, 4);
}

bool WriteStageText(base::File& file, const base::String& text) {
  const uint32_t n = static_cast<uint32_t>(text.size());
  return WriteStageU32(file, n) && (n == 0 || file.write(text.c_str(), static_cast<int>(n)));
}

bool ReadStageU32(base::File& file, uint32_t& value, const char* what) {
  unsigned char b[4];
  const int at = file.get_current_position();
  if (file.get_remaining() < 4 || !file.read(b, 4)) {
    file.report_error("stage block: %s is cut off at offset %d", what, at);
    return false;
  }
  value = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
  return true;
}

bool ReadStageText(base::File& file, base::String& text, const char* what) {
  const int at = file.get_current_position();
  uint32_t n = 0;
  if (!ReadStageU32(file, n, what)) return false;
  if (n > static_cast<uint32_t>(file.get_remaining())) {
    file.report_error("stage block: %s length %u exceeds the %d bytes left at offset %d", what, n,
                      file.get_remaining(), at);
    return false;
  }
  text.clear();
  if (n == 0) return true;
  std::string bytes(n, '\0');
  if (!file.read(bytes.data(), static_cast<int>(n))) {
    file.report_error("stage block: %s is cut off at offset %d", what, at);
    return false;
  }
  if (std::memchr(bytes.data(), 0, n)) {
    file.report_error("stage block: %s holds a zero byte at offset %d", what, at);
    return false;
  }
  text = bytes.c_str();
  return true;
}

bool ReadStageLocator(base::File& file, const char* name, float parts[7]) {
  const int at = file.get_current_position();
  unsigned char bytes[kStageLocatorBytes];
  if (file.get_remaining() < kStageLocatorBytes || !file.read(bytes, kStageLocatorBytes)) {
    file.report_error("stage block: locator of '%s' is cut off at offset %d", name, at);
    return false;
  }
  for (int k = 0; k < 7; ++k) {
    std::memcpy(&parts[k], bytes + 4 + 4 * k, 4);
    if (!std::isfinite(parts[k]) || std::fabs(parts[k]) > (k < 4 ? kMaxQuaternionPart : kMaxCoordinate)) {
      file.report_error("stage block: locator of '%s' is not finite or out of range at offset %d", name, at);
      return false;
    }
  }
  return true;
}

}  // namespace quillane
