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
#include "quillane/scene/Scene.h"
#include "quillane/session/Stage.h"

namespace quillane {

namespace {

// The smallest record: two empty strings, the locator and the smallest properties record.
constexpr int64_t kMinRecordBytes = 4 + 4 + 32 + 4;
constexpr int kLocatorBytes = 32;
// A saved orientation is a unit quaternion and a position lies within a scene; anything far
// outside is damage, and would turn into infinities once used.
constexpr float kMaxQuaternionPart = 2.0f;
constexpr float kMaxCoordinate = 1.0e7f;

bool WriteU32(base::File& file, uint32_t value) {
  unsigned char bytes[4] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
                            static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
  return file.write(bytes, 4);
}

bool WriteText(base::File& file, const base::String& text) {
  const uint32_t n = static_cast<uint32_t>(text.size());
  return WriteU32(file, n) && (n == 0 || file.write(text.c_str(), static_cast<int>(n)));
}

bool ReadU32(base::File& file, uint32_t& value, const char* what) {
  unsigned char bytes[4];
  const int at = file.get_current_position();
  if (file.get_remaining() < 4 || !file.read(bytes, 4)) {
    file.report_error("stage block: %s is cut off at offset %d", what, at);
    return false;
  }
  value = uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
  return true;
}

bool ReadText(base::File& file, base::String& text, const char* what) {
  const int at = file.get_current_position();
  uint32_t n = 0;
  if (!ReadU32(file, n, what)) return false;
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
  // The engine's strings end at the first zero byte; such a name could not be written back
  // the same, so it is refused as damage.
  if (std::memchr(bytes.data(), 0, n)) {
    file.report_error("stage block: %s holds a zero byte at offset %d", what, at);
    return false;
  }
  text = bytes.c_str();
  return true;
}

void PutFloat(unsigned char* out, float value) { std::memcpy(out, &value, 4); }
float GetFloat(const unsigned char* in) {
  float value;
  std::memcpy(&value, in, 4);
  return value;
}

}  // namespace

bool cl_Stage::WriteState(base::File& file) const {
  bool ok = WriteText(file, m_scene ? m_scene->GetName() : base::String());
  ok = WriteU32(file, static_cast<uint32_t>(m_characters.size())) && ok;
  for (const cl_Character* character : m_characters) {
    ok = WriteText(file, character->name) && ok;
    ok = WriteText(file, character->actor ? character->actor->GetLabel() : base::String()) && ok;
    unsigned char locator[kLocatorBytes] = {};
    const base::Quaternion& q = character->locator.GetOrientation();
    const base::tVector3<float>& p = character->locator.GetPos();
    const float parts[7] = {q.x, q.y, q.z, q.w, p.x, p.y, p.z};
    for (int i = 0; i < 7; ++i) PutFloat(locator + 4 + 4 * i, parts[i]);
    ok = file.write(locator, kLocatorBytes) && ok;
    ok = character->properties.Write(&file) && ok;
  }
  ok = WriteText(file, m_player ? m_player->name : base::String()) && ok;
  return ok;
}

bool cl_Stage::ReadSceneName(base::File& file, base::String& name) { return ReadText(file, name, "scene name"); }

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
  if (!ReadU32(file, count, "character count")) return fail();
  if (static_cast<int64_t>(count) * kMinRecordBytes > file.get_remaining()) {
    file.report_error("stage block: character count %u exceeds the %d bytes left at offset %d", count,
                      file.get_remaining(), countAt);
    return fail();
  }
  for (uint32_t i = 0; i < count; ++i) {
    base::String name, actorName;
    if (!ReadText(file, name, "character name") || !ReadText(file, actorName, "actor name")) return fail();
    const int locatorAt = file.get_current_position();
    unsigned char bytes[kLocatorBytes];
    if (file.get_remaining() < kLocatorBytes || !file.read(bytes, kLocatorBytes)) {
      file.report_error("stage block: locator of '%s' is cut off at offset %d", name.c_str(), locatorAt);
      return fail();
    }
    float parts[7];
    bool sane = true;
    for (int k = 0; k < 7; ++k) {
      parts[k] = GetFloat(bytes + 4 + 4 * k);
      const float limit = k < 4 ? kMaxQuaternionPart : kMaxCoordinate;
      if (!std::isfinite(parts[k]) || std::fabs(parts[k]) > limit) sane = false;
    }
    if (!sane) {
      file.report_error("stage block: locator of '%s' is not finite or out of range at offset %d", name.c_str(),
                        locatorAt);
      return fail();
    }
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
  if (!ReadText(file, player, "player character name")) return fail();
  if (!player.empty()) {
    m_player = GetCharacter(player.c_str());
    if (!m_player)
      base::sys::Output("Warning: file '%s': stage block: player character '%s' is not on the stage\n",
                        file.get_name().c_str(), player.c_str());
  }
  return true;
}

}  // namespace quillane
