#include "quillane/app/SceneChecks.h"

#include <unordered_set>
#include <vector>

#include "base/data/Variant.h"
#include "platform/gpu/Device.h"
#include "quillane/frame/GameFrame.h"
#include "quillane/minigames/MinigameManager.h"
#include "quillane/scene/Scene.h"
#include "quillane/session/GameActionQueue.h"
#include "quillane/session/Session.h"
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

