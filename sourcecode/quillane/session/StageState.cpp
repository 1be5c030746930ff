// The stage's block of a savegame. Little-endian u32 numbers; strings are a u32 byte count and
// the bytes without terminator; per character its name, actor, a 32-byte locator (a reserved
// word, the orientation x, y, z, w and the position x, y, z as f32) and its properties.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "base/File.h"
#include "base/system.h"
#include "quillane/actor/ActorDesc.h"
#include "quillane/savegame/StageRecords.h"
#include "quillane/scene/Scene.h"
#include "quillane/session/Stage.h"

namespace quillane {

namespace {

void PutFloat(unsigned char* out, float value) { std::memcpy(out, &value, 4); }

}  // namespace

bool cl_Stage::WriteState(base::File& file) const {
  bool ok = WriteStageText(file, m_scene ? m_scene->GetName() : base::String());
  ok = WriteStageU32(file, static_cast<uint32_t>(m_characters.size())) && ok;
  for (const cl_Character* character : m_characters) {
    ok = WriteStageText(file, character->name) && ok;
    ok = WriteStageText(file, character->actor ? character->actor->GetLabel() : base::String()) && ok;
    unsigned char locator[kStageLocatorBytes] = {};
    const base::Quaternion& q = character->locator.GetOrientation();
    const base::tVector3<float>& p = character->locator.GetPos();
    const float parts[7] = {q.x, q.y, q.z, q.w, p.x, p.y, p.z};
    for (int i = 0; i < 7; ++i) PutFloat(locator + 4 + 4 * i, parts[i]);
    ok = file.write(locator, kStageLocatorBytes) && ok;
    ok = character->properties.Write(&file) && ok;
  }
  ok = WriteStageText(file, m_player ? m_player->name : base::String()) && ok;
  return ok;
}

bool cl_Stage::ReadSceneName(base::File& file, base::String& name) { return ReadStageText(file, name, "scene name"); }

bool cl_Stage::ReadState(base::File& file) {
  const size_t kept = m_characters.size();
  cl_Character* const oldPlayer = m_player;
  auto fail = [&]() {
    // Drop what this block made, so a damaged block leaves the stage as it was.
    while (m_characters.size() > kept) {
      cl_Character* character = m_characters.back();
      m_characters.pop_back();
      ForgetCharacter(character);
      delete character;
    }
    m_player = oldPlayer;
    return false;
  };

  const int countAt = file.get_current_position();
  uint32_t count = 0;
  if (!ReadStageU32(file, count, "character count")) return fail();
  if (static_cast<int64_t>(count) * kMinStageCharacterBytes > file.get_remaining()) {
    file.report_error("stage block: character count %u exceeds the %d bytes left at offset %d", count,
                      file.get_remaining(), countAt);
    return fail();
  }
  for (uint32_t i = 0; i < count; ++i) {
    base::String name, actorName;
    if (!ReadStageText(file, name, "character name") || !ReadStageText(file, actorName, "actor name")) return fail();
    float parts[7];
    if (!ReadStageLocator(file, name.c_str(), parts)) return fail();
    const int propertiesAt = file.get_current_position();
    base::Variant properties;
    if (!properties.Read(&file)) {
      // The tree reader has said what was wrong where; one line is enough.
      if (!file.has_error())
        file.report_error("stage block: properties of '%s' are damaged at offset %d", name.c_str(), propertiesAt);
      return fail();
    }
    // An unknown actor is logged by CreateCharacter; the record was read all the same, so the
    // next one starts in the right place.
    cl_Character* character = CreateCharacter(name, actorName);
    if (!character) continue;
    base::cl_Locator at;
    at.SetOrientation(base::Quaternion(parts[0], parts[1], parts[2], parts[3]));
    at.SetPos(base::tVector3<float>(parts[4], parts[5], parts[6]));
    character->SetPosition(at);
    character->properties = std::move(properties);
    const base::Variant& props = character->properties;
    for (int k = 0; k < props.size(); ++k) {
      const base::Variant& child = props[k];
      const char* label = child.get_label();
      if (!label || std::strcmp(label, "AttachedObject") != 0) continue;
      cl_Character::st_Attachment attachment;
      child.get_attribute_string("character", attachment.name);
      child.get_attribute_int("bone_index", attachment.boneIndex);
      child.get_attribute_float("scale", attachment.scale);
      character->attachments.push_back(attachment);
    }
    int isAttachment = 0;
    props.get_attribute_int("is_attachment", isAttachment);
    character->isAttachment = isAttachment == 1 ? 1 : 0;
  }
  ResolveAttachmentTargets();
  base::String player;
  if (!ReadStageText(file, player, "player character name")) return fail();
  if (!player.empty()) {
    m_player = GetCharacter(player.c_str());
    if (!m_player)
      base::sys::Output("Warning: file '%s': stage block: player character '%s' is not on the stage\n",
                        file.get_name().c_str(), player.c_str());
  }
  m_restoring = true;
  return true;
}

}  // namespace quillane
