// The savegame parser. Each section is read through its own view of the bytes, named after the
// section, so the one error line a damaged file gives says where it broke; the records' own
// readers check every length against the bytes left before they allocate.
#include <cmath>
#include <cstring>

#include "base/File.h"
#include "base/system.h"
#include "quillane/savegame/SavegameImage.h"

namespace quillane {
namespace {

constexpr int kLocatorBytes = 32;
// A saved orientation is a unit quaternion and a position lies within a scene.
constexpr float kMaxQuaternionPart = 2.0f;
constexpr float kMaxCoordinate = 1.0e7f;
// Two empty strings, the locator and the smallest tree record.
constexpr int64_t kMinCharacterBytes = 4 + 4 + kLocatorBytes + 4;

// The bytes as a file named after the savegame and one of its sections, at offset.
class cl_SectionView {
 public:
  cl_SectionView(const unsigned char* data, int size, const char* name) : m_data(data), m_size(size), m_name(name) {}

  base::File& Open(const char* section, int offset) {
    base::String label;
    label.print("%s [%s]", m_name, section);
    m_file.open_memory(m_data, m_size, label.c_str());
    m_file.set_current_position(offset);
    return m_file;
  }
  // Logs the section's line unless its reader has done so already.
  bool Fail(const char* text, int offset) {
    if (!m_file.has_error()) m_file.report_error("%s at offset %d", text, offset);
    return false;
  }

 private:
  const unsigned char* m_data;
  int m_size;
  const char* m_name;
  base::File m_file;
};

bool ReadU32(base::File& file, uint32_t& value) {
  unsigned char b[4];
  if (file.get_remaining() < 4 || !file.read(b, 4)) return false;
  value = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
  return true;
}

bool ReadText(base::File& file, base::String& text, const char* what) {
  const int at = file.get_current_position();
  uint32_t n = 0;
  if (!ReadU32(file, n)) {
    file.report_error("%s cut short at offset %d", what, at);
    return false;
  }
  if (n > static_cast<uint32_t>(file.get_remaining())) {
    file.report_error("%s length %u exceeds the %d bytes left at offset %d", what, n, file.get_remaining(), at);
    return false;
  }
  std::string bytes(n, '\0');
  if (n > 0 && !file.read(bytes.data(), static_cast<int>(n))) {
    file.report_error("%s cut short at offset %d", what, at);
    return false;
  }
  // Engine strings end at a zero byte; such a name could not be written back the same.
  if (std::memchr(bytes.data(), 0, n)) {
    file.report_error("%s holds a zero byte at offset %d", what, at);
    return false;
  }
  text = bytes.c_str();
  return true;
}

bool ReadCharacter(base::File& file, st_SavegameCharacter& out) {
  if (!ReadText(file, out.name, "character name") || !ReadText(file, out.actor, "actor name")) return false;
  const int at = file.get_current_position();
  unsigned char bytes[kLocatorBytes];
  if (file.get_remaining() < kLocatorBytes || !file.read(bytes, kLocatorBytes)) {
    file.report_error("locator of '%s' cut short at offset %d", out.name.c_str(), at);
    return false;
  }
  float parts[7];
  for (int k = 0; k < 7; ++k) {
    std::memcpy(&parts[k], bytes + 4 + 4 * k, 4);
    if (!std::isfinite(parts[k]) || std::fabs(parts[k]) > (k < 4 ? kMaxQuaternionPart : kMaxCoordinate)) {
      file.report_error("locator of '%s' not finite or out of range at offset %d", out.name.c_str(), at);
      return false;
    }
  }
  std::memcpy(out.orientation, parts, sizeof(out.orientation));
  std::memcpy(out.position, parts + 4, sizeof(out.position));
  const int propertiesAt = file.get_current_position();
  if (!out.properties.Read(&file)) {
    if (!file.has_error())
      file.report_error("properties of '%s' damaged at offset %d", out.name.c_str(), propertiesAt);
    return false;
  }
  return true;
}

bool ReadStage(base::File& file, st_SavegameImage& out) {
  if (!ReadText(file, out.sceneName, "scene name")) return false;
  const int blockAt = file.get_current_position();
  uint32_t count = 0;
  if (!ReadU32(file, count)) {
    file.report_error("character count cut short at offset %d", blockAt);
    return false;
  }
  if (static_cast<int64_t>(count) * kMinCharacterBytes > file.get_remaining()) {
    file.report_error("character count %u exceeds the %d bytes left at offset %d", count, file.get_remaining(),
                      blockAt);
    return false;
  }
  out.characters.resize(count);
  for (st_SavegameCharacter& character : out.characters)
    if (!ReadCharacter(file, character)) return false;
  if (!ReadText(file, out.player, "player character name")) return false;
  const int end = file.get_current_position();
  out.stageBlock.resize(static_cast<size_t>(end - blockAt));
  file.set_current_position(blockAt);
  return out.stageBlock.empty() || file.read(out.stageBlock.data(), end - blockAt);
}

bool Parse(const unsigned char* data, int size, const char* name, st_SavegameImage& out) {
  cl_SectionView view(data, size, name);
  base::File& version = view.Open("version", 0);
  if (!ReadU32(version, out.version)) return view.Fail("version word cut short", 0);
  if (out.version != st_SavegameImage::kVersion) {
    version.report_error("version %u at offset 0 is not %u", out.version, st_SavegameImage::kVersion);
    return false;
  }
  base::File& head = view.Open("head", 0);
  if (!ReadSavegameHead(head, out.head, true)) return view.Fail("head damaged", head.get_current_position());
  const int stateAt = head.get_current_position();
  base::File& state = view.Open("game state", stateAt);
  if (!out.gameState.Read(&state)) return view.Fail("game-state tree cannot be read", stateAt);
  if (!out.gameState.is_element()) return view.Fail("game-state tree is no element", stateAt);
  const int stageAt = state.get_current_position();
  base::File& stage = view.Open("stage block", stageAt);
  if (!ReadStage(stage, out)) return view.Fail("stage block damaged", stage.get_current_position());
  if (stage.get_remaining() > 0) {
    stage.report_error("%d bytes follow the stage block at offset %d", stage.get_remaining(),
                       stage.get_current_position());
    return false;
  }
  return true;
}

}  // namespace

bool ParseSavegame(const unsigned char* data, int size, const char* name, st_SavegameImage& out) {
  out = st_SavegameImage();
  if (size < 0 || (size > 0 && !data)) return false;
  if (Parse(data, size, name ? name : "", out)) return true;
  out = st_SavegameImage();
  return false;
}

bool ReadSavegameFile(const char* path, st_SavegameImage& out) {
  out = st_SavegameImage();
  const char* name = path ? path : "";
  base::File file;
  if (!file.open(name, base::File::STATUS_READ)) {
    base::sys::Output("ERROR: savegame '%s' cannot be opened\n", name);
    return false;
  }
  const int size = file.get_size();
  if (size > kMaxSavegameBytes) {
    file.report_error("%d bytes is more than a savegame can hold", size);
    return false;
  }
  std::vector<unsigned char> bytes(static_cast<size_t>(size));
  if (size > 0 && !file.read(bytes.data(), size)) {
    file.report_error("cannot be read in full");
    return false;
  }
  return ParseSavegame(bytes.data(), size, name, out);
}

}  // namespace quillane
