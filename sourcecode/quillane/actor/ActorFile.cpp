// The compiled character file "Characters/<label>.dat" (little-endian, no magic, no version):
//   seven strings (label, meshFile, skeletonFile, parent, idle, walk and talk clip names),
//   f32 idleSpeed, u8 + skeleton record, u8 + model record, u8 separate-files flag, then with the
//   flag 0 the level table (i32 count, count absolute i32 offsets) and one named texture list per
//   level; with the flag 1 each level's list is the whole of its side file "<stem>_<level>.dat".
// The reader trusts nothing: every length, flag, count and offset is checked against the file
// before it is used, and a damaged file leaves the record empty so the sources are imported.
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <vector>

#include "base/File.h"
#include "base/FileTools.h"
#include "base/system.h"
#include "graphics/mesh/Skeleton.h"
#include "graphics/model/Model.h"
#include "quillane/actor/ActorDesc.h"
#include "quillane/settings/OptionLevels.h"

namespace quillane {

namespace {

// One "ERROR:" line per damaged file: a part reader that failed has logged already.
bool Reject(base::File* file, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
bool Reject(base::File* file, const char* fmt, ...) {
  if (!file->has_error()) {
    va_list args;
    va_start(args, fmt);
    base::tString<base::BaseString> text;
    text.vprint(fmt, args);
    va_end(args);
    file->report_error("%s", text.c_str());
  }
  file->set_error();
  return false;
}

// A flag byte of the file: only 0 and 1 are written.
bool ReadFlag(base::File* file, const char* what, unsigned char& flag) {
  flag = 0;
  const int at = file->get_current_position();
  if (!file->read(&flag, 1)) return Reject(file, "compiled character: %s cut short at offset %d", what, at);
  if (flag > 1) return Reject(file, "compiled character: %s is %d at offset %d (0 or 1 expected)", what, flag, at);
  return true;
}

}  // namespace

void cl_ActorDesc::WriteHeader(base::File* file) {
  // The label is the map key and goes first; the rest follow in the file's order.
  const base::tString<base::BaseString>* strings[] = {&label,   &meshFile,      &skeletonFile, &parent,
                                                      &idleAnimation, &walkAnimation, &talkAnimation};
  for (const auto* s : strings) s->Write(file);
  file->write(&idleSpeed, 4);
  const unsigned char hasSkeleton = skeleton ? 1 : 0, hasModel = model ? 1 : 0;
  file->write(&hasSkeleton, 1);
  if (skeleton) skeleton->Write(file);
  file->write(&hasModel, 1);
  if (model) model->Write(file);
}

bool cl_ActorDesc::Read(base::File* file) {
  ClearLoaded();
  if (!file || file->get_status() != base::File::STATUS_READ) return false;
  base::tString<base::BaseString> strings[7];
  for (auto& s : strings) {
    if (!s.Read(file)) return Reject(file, "compiled character: damaged string");
  }
  float speed = 0.0f;
  const int speedAt = file->get_current_position();
  if (!file->read(&speed, 4)) return Reject(file, "compiled character: idle speed cut short at offset %d", speedAt);
  if (!std::isfinite(speed))
    return Reject(file, "compiled character: idle speed is not a number (offset %d)", speedAt);

  unsigned char flag = 0;
  if (!ReadFlag(file, "skeleton flag", flag)) return false;
  if (flag) {
    skeleton = new base::cl_Skeleton;
    skeleton->Read(file);
    if (file->has_error()) {
      ClearLoaded();
      return false;
    }
  }
  if (!ReadFlag(file, "model flag", flag)) {
    ClearLoaded();
    return false;
  }
  if (flag) {
    model = new gfx::cl_Model;
    if (!model->ReadRecord(file) || file->has_error()) {
      Reject(file, "compiled character: damaged model record");
      ClearLoaded();
      return false;
    }
  }
  unsigned char separateFiles = 0;
  if (!ReadFlag(file, "separate-files flag", separateFiles) || (model && !ReadTextures(file, separateFiles))) {
    ClearLoaded();
    return false;
  }
  // The label stays: it is the record's key, whatever the file says.
  meshFile = strings[1];
  skeletonFile = strings[2];
  parent = strings[3];
  idleAnimation = strings[4];
  walkAnimation = strings[5];
  talkAnimation = strings[6];
  idleSpeed = speed;
  parentDesc = nullptr;
  parentSkeleton = nullptr;
  return true;
}

bool cl_ActorDesc::ReadTextures(base::File* file, unsigned char separateFiles) {
  const int level = GetOptionIntValue("Gfx/CharacterLOD/");
  if (separateFiles) {
    // The side file of the level in force; without it the model simply has no textures.
    const base::tString<base::BaseString> name = GetLevelFileName(file->get_name(), level);
    base::File side;
    if (!base::FileExists(name) || !side.open(name.c_str(), base::File::STATUS_READ)) return true;
    model->GetTextures().Read(&side);  // a damaged side file is logged and leaves no textures
    side.close();
    return true;
  }
  int count = 0;
  if (!file->read_length(count, 4, "level-of-detail table")) return false;
  std::vector<int> offsets(static_cast<size_t>(count));
  if (count > 0 && !file->read(offsets.data(), 4 * count))
    return Reject(file, "compiled character: level-of-detail table cut short");
  const int tableEnd = file->get_current_position();
  for (int i = 0; i < count; ++i) {
    const int at = offsets[static_cast<size_t>(i)];
    if (at < tableEnd || at >= file->get_size())
      return Reject(file, "compiled character: texture set %d at offset %d lies outside the file (%d..%d)", i, at,
                    tableEnd, file->get_size());
  }
  if (count == 0) return true;
  const int index = std::clamp(level, 0, count - 1);
  if (!file->set_current_position(offsets[static_cast<size_t>(index)]))
    return Reject(file, "compiled character: cannot seek to texture set %d", index);
  if (!model->GetTextures().Read(file)) return Reject(file, "compiled character: damaged texture set %d", index);
  return true;
}

}  // namespace quillane
