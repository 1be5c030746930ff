// The 32-bit bitmap's file record, as savegames carry their thumbnails and pictures. Sizes come
// from the file, so both sides and the pixel bytes are checked before anything is allocated.
#include <cstdint>

#include "base/File.h"
#include "base/Imaging.h"

namespace base {

template <>
bool cl_Bitmap32::Read(File* file) {
  Release();
  if (!file) return false;
  uint32_t words[4] = {0, 0, 0, 0};
  const int start = file->get_current_position();
  if (!file->read(words, sizeof(words))) {
    file->report_error("bitmap header cut short at offset %d", start);
    return false;
  }
  const uint32_t width = words[0], height = words[1];
  if ((width == 0) != (height == 0)) {
    file->report_error("bitmap of %u x %u at offset %d has one side of 0", width, height, start);
    return false;
  }
  if (width == 0) {
    // An empty picture still carries its origin words.
    m_originX = static_cast<int>(words[2]);
    m_originY = static_cast<int>(words[3]);
    return true;
  }
  if (width > kMaxRecordSide || height > kMaxRecordSide) {
    file->report_error("bitmap of %u x %u at offset %d is larger than %d pixels a side", width, height, start,
                       kMaxRecordSide);
    return false;
  }
  const int64_t bytes = static_cast<int64_t>(width) * height * 4;
  if (bytes > file->get_remaining()) {
    file->report_error("bitmap of %u x %u at offset %d needs %lld bytes, %d are left", width, height, start,
                       static_cast<long long>(bytes), file->get_remaining());
    return false;
  }
  Create(static_cast<int>(width), static_cast<int>(height));
  if (IsEmpty() || !file->read(m_pixels, static_cast<int>(bytes))) {
    Release();
    file->report_error("bitmap pixels at offset %d could not be read", start + 16);
    return false;
  }
  m_originX = static_cast<int>(words[2]);
  m_originY = static_cast<int>(words[3]);
  return true;
}

template <>
bool cl_Bitmap32::Write(File* file) const {
  if (!file) return false;
  const bool hasPixels = m_pixels && m_width > 0 && m_height > 0;
  const uint32_t words[4] = {hasPixels ? static_cast<uint32_t>(m_width) : 0u,
                             hasPixels ? static_cast<uint32_t>(m_height) : 0u, static_cast<uint32_t>(m_originX),
                             static_cast<uint32_t>(m_originY)};
  if (!file->write(words, sizeof(words))) return false;
  return !hasPixels || file->write(m_pixels, m_width * m_height * 4);
}

}  // namespace base
