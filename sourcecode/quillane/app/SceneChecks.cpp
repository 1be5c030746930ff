#include "quillane/app/SceneChecks.h"

#include <cmath>
#include <numbers>
#include <sstream>
#include <unordered_set>
#include <vector>

#include "base/data/Variant.h"
#include "base/system.h"
#include "graphics/Camera.h"
#include "graphics/mesh/Skeleton.h"
#include "platform/gpu/Device.h"
#include "quillane/actor/ActorDesc.h"
#include "quillane/character/Character.h"
#include "quillane/frame/GameFrame.h"
#include "quillane/minigames/MinigameManager.h"
#include "quillane/scene/Scene.h"
#include "quillane/session/GameActionQueue.h"
#include "quillane/session/Session.h"
#include "quillane/session/SpeechLayout.h"
#include "quillane/session/Stage.h"
#include "quillane/world/WorldServices.h"
#include "win32dx9/DX9GraphicsDevice.h"

namespace {

quillane::cl_Scene* CurrentScene(std::string* why) {
  quillane::cl_Session* session = quillane::GetSession();
  quillane::cl_Scene* scene = session ? session->GetScene() : nullptr;
  if (!scene) *why = "no scene is shown";
  return scene;
}

const base::Variant* HotspotEntry(const base::Variant& table, const base::String& label) {
  for (int i = 0; i < table.size(); ++i) {
    base::String entryLabel;
    if (table[i].get_attribute_string("label", entryLabel) && entryLabel == label) return &table[i];
  }
  return nullptr;
}

}  // namespace

bool CheckPicture(const std::string& argument, std::string* why) {
  if (argument != "scene") {
    *why = "unknown picture check \"" + argument + "\"";
    return false;
  }
  win32dx9::cl_DX9GraphicsDevice* graphics = win32dx9::cl_DX9GraphicsDevice::GetInstance();
  std::vector<uint32_t> shown;
  uint32_t width = 0, height = 0;
  if (!graphics || graphics->GetDevice()->ReadScreen(&shown, &width, &height) != gpu::kOk) {
    *why = "the screen cannot be read";
    return false;
  }
  std::unordered_set<uint32_t> colours;
  size_t magenta = 0;
  for (uint32_t p : shown) {
    colours.insert(p & 0xFFFFFFu);
    const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
    magenta += r > 200 && g < 60 && b > 200;
  }
  if (colours.size() > 2000 && magenta == 0) return true;
  *why = std::to_string(colours.size()) + " colours and " + std::to_string(magenta) + " magenta pixels";
  return false;
}

bool cl_AnswerLog::Answered(const std::string& label, std::string* why) {
  quillane::cl_Session* session = quillane::GetSession();
  cl_GameFrame* frame = GetGameFrame();
  quillane::cl_Scene* scene = CurrentScene(why);
  if (!session || !frame || !scene) return false;
  const quillane::st_GameAction* action = session->GetActionQueue().GetFirstForegroundAction();
  const quillane::cl_MinigameManager* games = session->GetMinigameManager();
  const bool spoken = action && action->m_kind == "speak";
  const bool played = games && games->IsRunning();
  const bool left = session->IsTransitPending() || std::string(frame->GetStateName()) != "Session";
  // Counted for the scene the click was made in, which a transit may since have replaced.
  std::string& clickedIn = m_clickedIn[label];
  if (clickedIn.empty()) clickedIn = scene->GetName().c_str();
  if (spoken || played || left) {
    m_answered.insert(clickedIn + "/" + label);
    m_clickedIn.erase(label);
    return true;
  }
  *why = action ? std::string("the action under way is \"") + action->m_kind.c_str() + "\"" : "nothing answers yet";
  return false;
}

bool cl_AnswerLog::Hotspots(const std::string& argument, std::string* why) {
  quillane::cl_Session* session = quillane::GetSession();
  quillane::cl_Scene* scene = CurrentScene(why);
  if (!session || !scene) return false;
  const std::string prefix = std::string(scene->GetName().c_str()) + "/";
  for (const quillane::cl_SceneHotspot* hotspot : scene->HotSpots) {
    const std::string label = hotspot->label.c_str();
    if (argument == "answered") {
      if (!m_answered.count(prefix + label)) {
        *why = "no click on " + label + " was answered";
        return false;
      }
      continue;
    }
    const base::Variant* entry = HotspotEntry(session->GetHotspotTable(), hotspot->label);
    base::String type, name;
    if (!entry || !entry->get_attribute_string("type", type) || type != "game" ||
        !entry->get_attribute_string("display_name", name) || name.empty()) {
      *why = label + " has no caption of type \"game\" in the hotspot table";
      return false;
    }
    base::tString<base::BaseUnicodeString> tooltip;
    bool special = false;
    const auto& services = quillane::WorldServices();
    if (!services.GetTooltipText || !services.GetTooltipText(label.c_str(), tooltip, 0.0f, special) ||
        tooltip.empty()) {
      *why = label + " has no tooltip";
      return false;
    }
  }
  if (argument == "labelled" || argument == "answered") return true;
  *why = "unknown hotspot check \"" + argument + "\"";
  return false;
}

// ---- faces

bool FindScreenFace(const std::string& name, st_ScreenFace& face) {
  quillane::cl_Session* session = quillane::GetSession();
  quillane::cl_Stage* stage = session ? session->GetStage() : nullptr;
  quillane::cl_Character* character = stage ? stage->GetCharacter(name.c_str()) : nullptr;
  quillane::cl_Scene* scene = stage ? stage->GetScene() : nullptr;
  base::cl_Skeleton* skeleton = character && character->actor ? character->actor->GetSkeleton() : nullptr;
  const base::cl_Bone* brow = skeleton ? skeleton->GetBone("Game_Brow_l") : nullptr;
  const base::cl_Bone* lip = skeleton ? skeleton->GetBone("Game_Lip_low") : nullptr;
  if (!scene || !brow || !lip) return false;
  // The skeleton is shared by the figures of one actor: it holds whoever was drawn last.
  skeleton->SetPose(&character->pose);
  const base::Matrix4 world = quillane::cl_ActorDesc::DefaultOrientation() * character->GetTransform();
  base::cl_Camera& camera = scene->GetCamera();
  camera.GetProjectionMatrix();
  const base::tVector3<float> top = camera.World2Screen(world * (brow->skinMatrix * brow->absPosition));
  const base::tVector3<float> bottom = camera.World2Screen(world * (lip->skinMatrix * lip->absPosition));
  face.x = (top.x + bottom.x) * 0.5f;
  face.y = (top.y + bottom.y) * 0.5f;
  face.height = 2.0f * std::fabs(bottom.y - top.y);
  // The head's forward direction as last drawn, against the way to the camera.
  base::tVector3<float> toCamera = camera.GetPos() - character->headPosition;
  const float length = toCamera.length();
  const float cosine = length > 0.0f ? character->headDirection.dot(toCamera) / length : 1.0f;
  face.degreesOff = std::acos(std::fmax(-1.0f, std::fmin(1.0f, cosine))) * 180.0f / std::numbers::pi_v<float>;
  return true;
}

bool CheckFace(const std::string& argument, std::string* why) {
  constexpr float kShownDegrees = 70.0f;
  std::istringstream words(argument);
  std::string name;
  float wanted = 0.0f;
  words >> name >> wanted;
  st_ScreenFace face;
  if (!FindScreenFace(name, face)) {
    *why = "no face of " + name + " to measure";
    return false;
  }
  const std::string size = std::to_string(static_cast<int>(face.height)) + " px tall, turned " +
                           std::to_string(static_cast<int>(face.degreesOff)) + "° from the camera";
  if (face.height >= wanted && face.degreesOff <= kShownDegrees) return true;
  *why = name + "'s face is " + size;
  return false;
}

bool CheckBubble(const std::string& speaker, std::string* why) {
  quillane::cl_Session* session = quillane::GetSession();
  quillane::cl_Stage* stage = session ? session->GetStage() : nullptr;
  const quillane::st_GameAction* action = session ? session->GetActionQueue().GetFirstForegroundAction() : nullptr;
  if (!stage || !action || action->m_kind != "speak" || action->m_object != speaker.c_str()) {
    *why = "no line of " + speaker + " runs";
    return false;
  }
  quillane::cl_SpeechLayout::st_Bubble bubble;
  if (!session->LayOutSpeech(action, bubble)) {
    *why = "the line shows no box";
    return false;
  }
  constexpr float kFrame = 16.0f;
  const base::tRectf& box = bubble.box;
  const float left = box.min.x - kFrame, top = box.min.y - kFrame, right = box.max.x + kFrame,
              bottom = box.max.y + kFrame;
  auto place = [](float x, float y) {
    return std::to_string(static_cast<int>(x)) + "," + std::to_string(static_cast<int>(y));
  };
  const std::string frame = "the box's frame " + place(left, top) + "-" + place(right, bottom);
  const float width = static_cast<float>(base::sys::GetWindowWidth());
  const float height = static_cast<float>(base::sys::GetWindowHeight());
  std::string nearest;
  float nearestDistance = 0.0f;
  for (const quillane::cl_Character* character : stage->GetCharacters()) {
    st_ScreenFace face;
    const std::string name = character->name.c_str();
    if (!character->visible || character->hidden || !FindScreenFace(name, face)) continue;
    if (face.x < 0.0f || face.x >= width || face.y < 0.0f || face.y >= height) continue;
    const float halfWidth = face.height * 0.4f, halfHeight = face.height * 0.5f;
    if (left < face.x + halfWidth && face.x - halfWidth < right && top < face.y + halfHeight &&
        face.y - halfHeight < bottom) {
      *why = frame + " covers " + name + "'s face at " + place(face.x, face.y);
      return false;
    }
    const float dx = std::fmax(std::fmax(left - face.x, face.x - right), 0.0f);
    const float dy = std::fmax(std::fmax(top - face.y, face.y - bottom), 0.0f);
    const float distance = std::sqrt(dx * dx + dy * dy);
    if (nearest.empty() || distance < nearestDistance) nearest = name, nearestDistance = distance;
  }
  if (nearest.empty() || nearest == speaker) return true;
  *why = frame + " stands nearer " + nearest + "'s face than " + speaker + "'s";
  return false;
}
