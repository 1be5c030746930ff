// The savegame parser. Each section is read through its own view of the bytes, named after the
// section, so the one error line a damaged file gives says where it broke; the records' own
// readers check every length against the bytes left before they allocate.
#include <cstring>

#include "base/File.h"
#include "base/system.h"
#include "quillane/savegame/SavegameFailure.h"
#include "quillane/savegame/SavegameImage.h"
#include "quillane/savegame/StageRecords.h"

namespace quillane {
namespace {

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

bool ReadCharacter(base::File& file, st_SavegameCharacter& out) {
  if (!ReadStageText(file, out.name, "character name") || !ReadStageText(file, out.actor, "actor name")) return false;
  float parts[7];
  if (!ReadStageLocator(file, out.name.c_str(), parts)) return false;
  std::memcpy(out.orientation, parts, sizeof(out.orientation));
  std::memcpy(out.position, parts + 4, sizeof(out.position));
  const int propertiesAt = file.get_current_position();
  if (!out.properties.Read(&file)) {
    if (!file.has_error())
      file.report_error("stage block: properties of '%s' damaged at offset %d", out.name.c_str(), propertiesAt);
    return false;
  }
  return true;
}

bool ReadStage(base::File& file, st_SavegameImage& out) {
  if (!ReadStageText(file, out.sceneName, "scene name")) return false;
  const int blockAt = file.get_current_position();
  uint32_t count = 0;
  if (!ReadStageU32(file, count, "character count")) return false;
  if (static_cast<int64_t>(count) * kMinStageCharacterBytes > file.get_remaining()) {
    file.report_error("stage block: character count %u exceeds the %d bytes left at offset %d", count, file.get_remaining(),
                      blockAt);
    return false;
  }
  out.characters.resize(count);
  for (st_SavegameCharacter& character : out.characters)
    if (!ReadCharacter(file, character)) return false;
  if (!ReadStageText(file, out.player, "player character name")) return false;
  const int end = file.get_current_position();
  out.stageBlock.resize(static_cast<size_t>(end - blockAt));
  file.set_current_position(blockAt);
  return out.stageBlock.empty() || file.read(out.stageBlock.data(), end - blockAt);
}

bool Parse(const unsigned char* data, int size, const char* name, st_SavegameImage& out) {
  cl_SectionView view(data, size, name);
  base::File& version = view.Open("version", 0);
  if (version.get_remaining() < 4 || !version.read(&out.version, 4)) return view.Fail("version word cut short", 0);
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
  SetSavegameFailure(en_SavegameFailure::None);
  auto fail = [](en_SavegameFailure failure) {
    SetSavegameFailure(failure == en_SavegameFailure::None ? en_SavegameFailure::Other : failure);
    return false;
  };
  base::File file;
  if (!file.open(name, base::File::STATUS_READ)) {
    base::sys::Output("ERROR: savegame '%s' cannot be opened%s\n", name, file.write_error_note().c_str());
    return fail(SavegameFailureOf(file.error_number()));
  }
  const int size = file.get_size();
  if (size > kMaxSavegameBytes) {
    file.report_error("%d bytes is more than a savegame can hold", size);
    return fail(en_SavegameFailure::Damaged);
  }
  std::vector<unsigned char> bytes(static_cast<size_t>(size));
  if (size > 0 && !file.read(bytes.data(), size)) {
    file.report_error("cannot be read in full");
    return fail(en_SavegameFailure::Damaged);
  }
  return ParseSavegame(bytes.data(), size, name, out) || fail(en_SavegameFailure::Damaged);
}

}  // namespace quillane
