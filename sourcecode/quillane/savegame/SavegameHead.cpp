// Savegame heads: each record is checked against the bytes left before anything is allocated,
// and the pictures against the only sizes the game writes.
#include "quillane/savegame/SavegameHead.h"

#include "base/File.h"

namespace {

// The sizes a savegame's pictures have: none, a thumbnail, the preview.
bool IsSavegamePictureSize(const base::cl_Bitmap32& b) {
  const int w = b.Width(), h = b.Height();
  return (w == 0 && h == 0) || (w == 64 && h == 64) || (w == 512 && h == 320);
}

bool ReadPicture(base::File& file, base::cl_Bitmap32& out, const char* what) {
  const int start = file.get_current_position();
  if (!out.Read(&file)) return false;
  if (IsSavegamePictureSize(out)) return true;
  file.report_error("%s at offset %d is %d x %d, not a savegame picture size", what, start, out.Width(), out.Height());
  out.Release();
  return false;
}

bool ReadName(base::File& file, base::tString<base::BaseUnicodeString>& out) {
  const int start = file.get_current_position();
  int n = 0;
  if (!file.read_length(n, 2, "savegame name")) return false;
  if (n > kMaxSavegameNameUnits) {
    file.report_error("savegame name at offset %d has %d units, more than %d", start, n, kMaxSavegameNameUnits);
    return false;
  }
  out.clear();
  if (n == 0) return true;
  char16_t* text = new char16_t[static_cast<size_t>(n) + 1];
  if (!file.read(text, n * 2)) {
    delete[] text;
    file.report_error("savegame name at offset %d is cut short", start);
    return false;
  }
  text[n] = 0;
  out.adopt_buffer(text, n);
  return true;
}

bool ReadRecords(base::File& file, st_SavegameHead& out, bool preview) {
  uint32_t version = 0;
  if (!file.read(&version, 4)) {
    file.report_error("savegame version word is cut short at offset 0");
    return false;
  }
  if (!ReadName(file, out.m_name)) return false;
  if (!ReadPicture(file, out.m_grey, "grey thumbnail")) return false;
  if (!ReadPicture(file, out.m_colour, "colour thumbnail")) return false;
  const int headerAt = file.get_current_position();
  if (!out.m_header.Read(&file)) {
    if (!file.has_error()) file.report_error("savegame header at offset %d cannot be read", headerAt);
    return false;
  }
  if (!out.m_header.is_element()) {
    file.report_error("savegame header at offset %d is no element", headerAt);
    return false;
  }
  return !preview || ReadPicture(file, out.m_preview, "preview picture");
}

}  // namespace

bool ReadSavegameHead(base::File& file, st_SavegameHead& out, bool preview) {
  if (ReadRecords(file, out, preview)) return true;
  out.m_name.clear();
  out.m_grey.Release();
  out.m_colour.Release();
  out.m_header.set_nil();
  out.m_preview.Release();
  return false;
}

bool ReadSavegameHead(const char* path, st_SavegameHead& out, bool preview) {
  base::File file;
  if (!file.open(path, base::File::STATUS_READ)) return false;
  return ReadSavegameHead(file, out, preview);
}
