// The .play driver: steps, input, shots and the log kept for failures.
#include "quillane/app/PlayDriver.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <sstream>

#include "base/FileTools.h"
#include "base/data/Variant.h"
#include "base/data/VariantTools.h"
#include "base/app/SystemRoot.h"
#include "base/gui/GUI.h"
#include "base/system.h"
#include "platform/gpu/Device.h"
#include "platform/gpu/Png.h"
#include "platform/gpux/TextureLoad.h"
#include "quillane/app/PlayChecks.h"
#include "quillane/app/SceneChecks.h"
#include "quillane/diary/Diary.h"
#include "quillane/frame/CustomQuit.h"
#include "quillane/frame/GameFrame.h"
#include "quillane/gui/GameGUI.h"
#include "quillane/hud/Token.h"
#include "quillane/hud/TokenBar.h"
#include "quillane/menu/LoadSavePanel.h"
#include "quillane/gui/Messagebox.h"
#include "quillane/minigames/Minigame.h"
#include "quillane/minigames/MinigameManager.h"
#include "quillane/options/OptionsPanel.h"
#include "quillane/scene/Scene.h"
#include "quillane/scene/SceneElements.h"
#include "quillane/session/InventoryTokens.h"
#include "quillane/session/Session.h"
#include "quillane/session/Stage.h"
#include "win32dx9/DX9GraphicsDevice.h"
#include "win32dx9/Platform.h"
#include "win32dx9/PngFile.h"
#include "win32dx9/SystemGUI/SystemGUI.h"

namespace {

// A point a click on the outline lands in: its mean point, or for an outline that does not hold
// it (an L-shaped hotspot) the middle of the first corner triangle that lies inside.
base::tVector2<float> InsidePoint(const base::Polygon2& outline) {
  const base::tVector2<float> centre = outline.GetCenter();
  if (outline.Contains(centre.x, centre.y)) return centre;
  const auto& p = outline.points;
  for (size_t i = 0; i < p.size(); ++i) {
    const auto& a = p[(i + p.size() - 1) % p.size()];
    const auto& b = p[i];
    const auto& c = p[(i + 1) % p.size()];
    const base::tVector2<float> mid((a.x + b.x + c.x) / 3.0f, (a.y + b.y + c.y) / 3.0f);
    if (outline.Contains(mid.x, mid.y)) return mid;
  }
  return centre;
}

cl_PlayDriver* g_activeDriver = nullptr;  // the driver whose log CaptureLog fills

constexpr int kMeanTolerance = 3;
constexpr int kFarDifference = 24;

// The window with that label among the open GUIs: the quit box first (it covers the rest), then
// a running game's own GUI.
base::cl_Window* FindWindow(const std::string& label) {
  cl_GameFrame* frame = GetGameFrame();
  if (!frame) return nullptr;
  if (cl_CustomQuitModule* quit = frame->GetQuitModule(); quit && quit->IsActive() && quit->GetMessageBox())
    if (base::cl_Window* w = quit->GetMessageBox()->FindByLabel(label.c_str())) return w;
  quillane::cl_Session* session = quillane::GetSession();
  for (base::cl_Window* root : {static_cast<base::cl_Window*>(session ? session->GetGameGUI() : nullptr),
                                static_cast<base::cl_Window*>(frame->GetSystemGUI()),
                                static_cast<base::cl_Window*>(frame->GetGameGUI())})
    if (base::cl_Window* w = root ? root->FindByLabel(label.c_str()) : nullptr) return w;
  return nullptr;
}

// The middle of a window where the screen shows it.
base::tVector2<float> ShownCentre(const base::cl_Window* window) {
  const base::tRectf r = cl_PlayDriver::ShownRect(window);
  return (r.min + r.max) * 0.5f;
}

std::string WaitName(const st_PlayStep& step) {
  if (step.kind == st_PlayStep::WAIT_IDLE) return "idle";
  const char* what = step.kind == st_PlayStep::WAIT_SCENE      ? "scene \""
                     : step.kind == st_PlayStep::WAIT_MINIGAME ? "mini-game \""
                                                               : "state \"";
  return what + step.name + "\"";
}

// Whether the wait of step is over; seen says what holds instead.
bool WaitIsOver(const st_PlayStep& step, std::string* seen) {
  cl_GameFrame* frame = GetGameFrame();
  const std::string state = frame ? frame->GetStateName() : "";
  *seen = "state is \"" + state + "\"";
  if (step.kind == st_PlayStep::WAIT_STATE) return state == step.name;
  quillane::cl_Session* session = quillane::GetSession();
  if (!session) {
    *seen += ", no game runs";
    return false;
  }
  if (step.kind == st_PlayStep::WAIT_MINIGAME) {
    const quillane::cl_MinigameManager* games = session->GetMinigameManager();
    const char* name = games ? games->GetRunningName() : nullptr;
    if (!name) {
      *seen += ", no mini-game runs";
      return false;
    }
    const bool running = games->GetState() == quillane::cl_MinigameManager::Running;
    *seen += std::string(", mini-game \"") + name + (running ? "\" runs" : "\" fades");
    return state == "Session" && running && step.name == name;
  }
  if (step.kind == st_PlayStep::WAIT_SCENE) {
    const quillane::cl_Scene* scene = session->GetScene();
    const std::string name = scene ? scene->GetName().c_str() : "";
    *seen += ", scene \"" + name + "\"";
    return state == "Session" && name == step.name;
  }
  const quillane::cl_GameActionQueue& queue = session->GetActionQueue();
  // Tokens still flying, carried or about to run their drop count as work under way.
  const cl_TokenBar* bar = session->GetTokenBar();
  const bool barBusy = bar && (!bar->IsIdle() || bar->HasPendingAction() || bar->GetLastUsed());
  const bool idle = queue.IsIdle() && !queue.HasForegroundAction() && !queue.HasPendingEvents() &&
                    !session->IsTransitPending() && !barBusy;
  if (!idle)
    *seen += std::string(", ") + (queue.m_sceneScript           ? "a scene script runs"
                                  : queue.m_dialogScript        ? "a dialogue runs"
                                  : queue.HasForegroundAction() ? "an action runs"
                                  : queue.HasPendingEvents()    ? "scene calls wait"
                                  : barBusy                     ? "the token bar moves"
                                                                : "a transit is pending");
  return state == "Session" && idle;
}

// The game state's attribute at path against the expected text: numbers as numbers, else the
// attribute's text.
bool ExpectGameState(const std::string& path, const std::string& expected, std::string* why) {
  quillane::cl_Session* session = quillane::GetSession();
  base::Variant* state = session ? session->GetGameState() : nullptr;
  const base::Variant* value = state ? base::variant_get_attribute_by_path(*state, path.c_str(), false) : nullptr;
  if (!value) {
    *why = session ? "the game state has no " + path : "no game runs";
    return false;
  }
  base::tString<base::BaseString> text;
  value->print_to(text);
  char* end = nullptr;
  const double number = std::strtod(expected.c_str(), &end);
  const bool numeric = end && *end == 0 && !expected.empty() && value->is_number();
  if (numeric ? std::fabs(value->get_double() - number) <= 1e-4 : expected == text.c_str()) return true;
  *why = "the game state's " + path + " is " + text.c_str() + ", expected " + expected;
  return false;
}

// The middle of the running mini-game's skip button; false, with why, while there is none to
// click (no game runs, it still fades, or its button is hidden).
bool SkipButtonPoint(int* x, int* y, std::string* why) {
  quillane::cl_Session* session = quillane::GetSession();
  quillane::cl_MinigameManager* games = session ? session->GetMinigameManager() : nullptr;
  quillane::i_Minigame* game = games ? games->GetGame() : nullptr;
  if (!game || games->GetState() != quillane::cl_MinigameManager::Running) {
    *why = game ? "the mini-game still fades" : "no mini-game runs";
    return false;
  }
  float fx = 0.0f, fy = 0.0f;
  if (!game->GetSkipButtonCentre(fx, fy)) {
    *why = "the mini-game shows no skip button";
    return false;
  }
  *x = static_cast<int>(fx);
  *y = static_cast<int>(fy);
  return true;
}

// The screen point of a drag's end: the middle of a token of the bar, of a stage character's
// picking rectangle, or of a hotspot's outline. False when nothing has that name.
bool FindDragPoint(const std::string& name, float& x, float& y) {
  quillane::cl_Session* session = quillane::GetSession();
  if (!session) return false;
  if (cl_TokenBar* bar = session->GetTokenBar())
    if (const cl_Token* token = bar->FindToken(name.c_str())) {
      x = token->m_Rect.x + token->m_Rect.w * 0.5f, y = token->m_Rect.y + token->m_Rect.h * 0.5f;
      return true;
    }
  quillane::cl_Stage* stage = session->GetStage();
  if (!stage) return false;
  if (const quillane::cl_Character* character = stage->GetCharacter(name.c_str())) {
    const base::tRectf r = stage->GetCharacterScreenRect(character);
    x = (r.min.x + r.max.x) * 0.5f, y = (r.min.y + r.max.y) * 0.5f;
    return true;
  }
  quillane::cl_Scene* scene = stage->GetScene();
  if (const quillane::cl_SceneHotspot* hotspot = scene ? scene->FindHotspot(name.c_str()) : nullptr) {
    const base::tVector2<float> centre = hotspot->outline.GetCenter();
    const base::tVector2<float> p = scene->SceneToScreen(centre.x, centre.y);
    x = p.x, y = p.y;
    return true;
  }
  return false;
}

// The window point a click on the scene aims at: a hotspot's mean point, a stage character's
// middle, or where the camera shows a floor point. False, with why, when there is no such thing.
bool ScenePoint(const st_PlayStep& step, int* x, int* y, std::string* why) {
  quillane::cl_Session* session = quillane::GetSession();
  quillane::cl_Stage* stage = session ? session->GetStage() : nullptr;
  quillane::cl_Scene* scene = stage ? stage->GetScene() : nullptr;
  if (!scene) {
    *why = "no scene is shown";
    return false;
  }
  base::tVector2<float> at;
  if (step.kind == st_PlayStep::CLICK_HOTSPOT) {
    const quillane::cl_SceneHotspot* hotspot = scene->FindHotspot(step.name.c_str());
    if (!hotspot || hotspot->outline.points.empty()) {
      *why = "the scene has no hotspot \"" + step.name + "\"";
      return false;
    }
    const base::tVector2<float> inside = InsidePoint(hotspot->outline);
    at = scene->SceneToScreen(inside.x, inside.y);
  } else if (step.kind == st_PlayStep::CLICK_CHARACTER) {
    const quillane::cl_Character* character = stage->GetCharacter(step.name.c_str());
    if (!character) {
      *why = "the stage has no character \"" + step.name + "\"";
      return false;
    }
    const base::tRectf r = stage->GetCharacterScreenRect(character);
    at = base::tVector2<float>((r.min.x + r.max.x) * 0.5f, (r.min.y + r.max.y) * 0.5f);
  } else {
    const base::tVector2<float> onScene = scene->WorldToScene(base::tVector3<float>(step.floor[0], 0.0f, step.floor[1]));
    at = scene->SceneToScreen(onScene.x, onScene.y);
  }
  const float width = static_cast<float>(base::sys::GetWindowWidth());
  const float height = static_cast<float>(base::sys::GetWindowHeight());
  if (!(at.x >= 0.0f && at.x < width && at.y >= 0.0f && at.y < height)) {
    *why = "the point lies outside the window";
    return false;
  }
  *x = static_cast<int>(at.x);
  *y = static_cast<int>(at.y);
  return true;
}

}  // namespace

cl_PlayDriver::cl_PlayDriver(std::vector<st_PlayStep> steps, std::string goldenDir)
    : m_steps(std::move(steps)), m_goldenDir(std::move(goldenDir)) {
  g_activeDriver = this;
  base::sys::AddOutputCallback(&CaptureLog);
  AddPlayChecks(*this);
  // "state <path> <value>": what "expect" asks, for "wait check" too, as a script that goes on
  // after a game or a walk sets its values some frames after the queue looks idle.
  AddCheck("state", [](const std::string& argument, std::string* why) {
    const size_t space = argument.find(' ');
    return ExpectGameState(argument.substr(0, space), space == std::string::npos ? "" : argument.substr(space + 1), why);
  });
}

cl_PlayDriver::~cl_PlayDriver() {
  base::sys::RemoveOutputCallback(&CaptureLog);
  if (g_activeDriver == this) g_activeDriver = nullptr;
}

bool cl_PlayDriver::CaptureLog(const char* text) {
  cl_PlayDriver* driver = g_activeDriver;
  if (!driver || !text) return true;
  if (driver->m_fullLog.size() < kLogLimit) driver->m_fullLog += text;
  driver->m_partialLine += text;
  size_t end;
  while ((end = driver->m_partialLine.find('\n')) != std::string::npos) {
    driver->m_log.push_back(driver->m_partialLine.substr(0, end));
    driver->m_partialLine.erase(0, end + 1);
    if (driver->m_log.size() > kLogLines) driver->m_log.pop_front();
  }
  return true;
}

void cl_PlayDriver::OnFrame(win32dx9::cl_Platform& platform, base::cl_System& system) {
  ++m_frames;
  // The last step's input has had its frame: the file has passed and the program ends.
  if (Finished()) {
    system.SetQuit(true);
    return;
  }
  while (m_failure.empty() && m_next < m_steps.size()) {
    const st_PlayStep& step = m_steps[m_next];
    std::string why;
    const en_Outcome outcome = RunStep(step, platform, &why);
    if (outcome == en_Outcome::Fail) {
      Fail(&step, why, &system);
      return;
    }
    if (outcome == en_Outcome::Yield) return;
    ++m_next;
    m_waited = 0;
  }
}

void cl_PlayDriver::OnEnd() {
  if (m_failure.empty() && m_next < m_steps.size())
    Fail(&m_steps[m_next], "the program ended before this step was done", nullptr);
}

void cl_PlayDriver::Fail(const st_PlayStep* step, const std::string& why, base::cl_System* system) {
  m_failure = "play step " + std::to_string(m_next + 1);
  if (step) m_failure += " (line " + std::to_string(step->line) + ": \"" + step->text + "\")";
  m_failure += " failed at frame " + std::to_string(m_frames) + ": " + why + "\nlast log lines:\n";
  for (const std::string& line : m_log) m_failure += "  " + line + "\n";
  base::sys::Output("ERROR: %s", m_failure.c_str());
  if (system) system->SetQuit(true);
}

base::cl_Window* cl_PlayDriver::FindOpenWindow(const std::string& label) { return FindWindow(label); }

cl_PlayDriver::en_Outcome cl_PlayDriver::RunStep(const st_PlayStep& step, win32dx9::cl_Platform& platform,
                                                 std::string* why) {
  platform::input::Queue& input = platform.GetInputQueue();
  m_inputTime += 10;
  switch (step.kind) {
    case st_PlayStep::WAIT_STATE:
    case st_PlayStep::WAIT_SCENE:
    case st_PlayStep::WAIT_MINIGAME:
    case st_PlayStep::WAIT_IDLE: {
      std::string seen;
      if (WaitIsOver(step, &seen)) return en_Outcome::Next;
      if (++m_waited > step.number) {
        *why = WaitName(step) + " not reached within " + std::to_string(step.number) + " frames (" + seen + ")";
        return en_Outcome::Fail;
      }
      return en_Outcome::Yield;
    }
    case st_PlayStep::WAIT_CHECK: {
      auto check = m_checks.find(step.name);
      if (check == m_checks.end()) {
        *why = "no check named \"" + step.name + "\"";
        return en_Outcome::Fail;
      }
      std::string seen;
      if (check->second(step.argument, &seen)) return en_Outcome::Next;
      if (++m_waited > step.number) {
        *why = "check " + step.name + " did not hold within " + std::to_string(step.number) + " frames (" + seen + ")";
        return en_Outcome::Fail;
      }
      return en_Outcome::Yield;
    }
    case st_PlayStep::WAIT_FRAMES:
      if (m_waited >= step.number) return en_Outcome::Next;
      ++m_waited;
      return en_Outcome::Yield;
    case st_PlayStep::KEY:
      input.Key(static_cast<uint8_t>(step.number), true, m_inputTime);
      input.Key(static_cast<uint8_t>(step.number), false, m_inputTime + 1);
      ++m_next;  // the frame consumes the key; the next step starts with the next frame
      return en_Outcome::Yield;
    case st_PlayStep::CLICK_BUTTON:
    case st_PlayStep::CLICK_HOTSPOT:
    case st_PlayStep::CLICK_CHARACTER:
    case st_PlayStep::CLICK_FLOOR: {
      int x = 0, y = 0;
      if (step.kind != st_PlayStep::CLICK_BUTTON) {
        if (!ScenePoint(step, &x, &y, why)) return en_Outcome::Fail;
      } else if (base::cl_Window* window = FindWindow(step.name)) {
        const base::tVector2<float> centre = ShownCentre(window);
        x = static_cast<int>(centre.x);
        y = static_cast<int>(centre.y);
      } else {
        *why = "no window labelled \"" + step.name + "\" is open";
        return en_Outcome::Fail;
      }
      Click(input, x, y);
      ++m_next;
      return en_Outcome::Yield;
    }
    case st_PlayStep::CLICK_SKIP: {
      int x = 0, y = 0;
      if (!SkipButtonPoint(&x, &y, why)) {
        if (++m_waited > step.number) {
          *why += " within " + std::to_string(step.number) + " frames";
          return en_Outcome::Fail;
        }
        return en_Outcome::Yield;
      }
      Click(input, x, y);
      ++m_next;
      return en_Outcome::Yield;
    }
    case st_PlayStep::CLICK_GAME:
    case st_PlayStep::RCLICK_GAME:
    case st_PlayStep::MOVE_GAME:
    case st_PlayStep::WAIT_GAME: return GameStep(step, input, why);
    case st_PlayStep::CLOSE:
      platform.PostMessage(platform::input::Message::Close);
      ++m_next;
      return en_Outcome::Yield;
    case st_PlayStep::SHOT: {
      if (!step.argument.empty()) return FacesShot(step, why);
      const std::vector<uint32_t> shot = GrabShot();
      if (shot.empty()) {
        *why = "no frame to take a shot of";
        return en_Outcome::Fail;
      }
      const std::string path = m_goldenDir + "/" + step.name + ".png";
      return CompareWithGolden(shot, kShotWidth, kShotHeight, path, why) ? en_Outcome::Next : en_Outcome::Fail;
    }
    case st_PlayStep::DRAG_TOKEN:
      return DragToken(step, input, why);
    case st_PlayStep::EXPECT_TOKEN: {
      const int held = quillane::GetSession() ? quillane::GetTokenCount(step.name.c_str()) : -1;
      if (held == step.number) return en_Outcome::Next;
      *why = "the player holds " + std::to_string(held) + " of " + step.name + ", expected " + std::to_string(step.number);
      return en_Outcome::Fail;
    }
    case st_PlayStep::EXPECT:
      return ExpectGameState(step.name, step.argument, why) ? en_Outcome::Next : en_Outcome::Fail;
    case st_PlayStep::SAVE:
    case st_PlayStep::LOAD:
      return SaveOrLoad(step, why) ? en_Outcome::Next : en_Outcome::Fail;
    case st_PlayStep::CLICK_AT:
    case st_PlayStep::RCLICK_AT:
    case st_PlayStep::MOVE:
    case st_PlayStep::DRAG:
    case st_PlayStep::RDRAG:
    case st_PlayStep::HOLD:
    case st_PlayStep::RELEASE:
    case st_PlayStep::TYPE:
    case st_PlayStep::CLICK_ENTRY:
    case st_PlayStep::WAIT_WINDOW:
    case st_PlayStep::WAIT_GONE:
    case st_PlayStep::EXPECT_XML:
    case st_PlayStep::EXPECT_FILE:
      return RunEditorStep(step, input, why);
    case st_PlayStep::CHECK: {
      auto check = m_checks.find(step.name);
      if (check == m_checks.end()) {
        *why = "no check named \"" + step.name + "\"";
        return en_Outcome::Fail;
      }
      return check->second(step.argument, why) ? en_Outcome::Next : en_Outcome::Fail;
    }
  }
  return en_Outcome::Next;
}

bool cl_PlayDriver::SaveOrLoad(const st_PlayStep& step, std::string* why) {
  quillane::cl_Session* session = quillane::GetSession();
  if (!session) {
    *why = "no game is running";
    return false;
  }
  char slot[16];
  std::snprintf(slot, sizeof(slot), "slot%03d", step.number);
  const base::tString<base::BaseString> path = cl_LoadSavePanel::GetSavegamePath(slot);
  if (step.kind == st_PlayStep::LOAD) {
    if (session->LoadGame(path.c_str())) return true;
    *why = std::string("the session refused to load ") + path.c_str();
    return false;
  }
  const base::Variant header = BuildSaveHeader(session);
  base::tString<base::BaseUnicodeString> name;
  for (const char* c = slot; *c; ++c) name += static_cast<char16_t>(*c);
  if (session->SaveGame(path.c_str(), name, &header)) return true;
  *why = std::string("the session could not save to ") + path.c_str();
  return false;
}

base::tRectf cl_PlayDriver::ShownRect(const base::cl_Window* window) {
  const base::st_ScreenRect& a = window->m_AbsRect;
  const base::tRectf r(a.left, a.top, a.right, a.bottom);
  for (const base::cl_Window* w = window; w; w = w->m_Parent) {
    const cl_ScaledView* view = nullptr;
    if (const auto* panel = dynamic_cast<const cl_LoadSavePanel*>(w)) view = &panel->GetView();
    if (const auto* panel = dynamic_cast<const cl_OptionsPanel*>(w)) view = &panel->GetView();
    if (view && view->IsScaled())
      return {view->GetOrigin() + r.min * view->GetScale(), view->GetOrigin() + r.max * view->GetScale()};
  }
  return r;
}

bool cl_PlayDriver::FindPoint(const std::string& kind, const std::string& name, int* x, int* y) {
  float fx = 0.0f, fy = 0.0f;
  if (kind == "button") {
    const base::cl_Window* window = FindWindow(name);
    if (!window) return false;
    const base::tVector2<float> centre = ShownCentre(window);
    fx = centre.x, fy = centre.y;
  } else if (kind == "diary") {
    // "close": the diary's close button; "tab": its first section's tab; where the book is drawn.
    quillane::cl_Session* session = quillane::GetSession();
    const cl_Diary* diary = session ? session->GetDiary() : nullptr;
    if (!diary || !diary->IsVisible() || (name != "close" && name != "tab")) return false;
    const base::tRectf r = name == "close" ? diary->GetCloseRect() : diary->GetTabRect(0);
    if (!(r.max.x > r.min.x)) return false;
    fx = (r.min.x + r.max.x) * 0.5f, fy = (r.min.y + r.max.y) * 0.5f;
  } else if (kind == "token") {
    quillane::cl_Session* session = quillane::GetSession();
    cl_TokenBar* bar = session ? session->GetTokenBar() : nullptr;
    if (!bar || !bar->FindToken(name.c_str()) || !FindDragPoint(name, fx, fy)) return false;
  } else {
    st_PlayStep step;
    step.kind = kind == "hotspot" ? st_PlayStep::CLICK_HOTSPOT : st_PlayStep::CLICK_CHARACTER;
    step.name = name;
    std::string why;
    return (kind == "hotspot" || kind == "character") && ScenePoint(step, x, y, &why);
  }
  *x = static_cast<int>(fx);
  *y = static_cast<int>(fy);
  return true;
}

std::vector<uint32_t> cl_PlayDriver::GrabShot() {
  return GrabShot(0, 0, std::numeric_limits<int>::max(), std::numeric_limits<int>::max(), kShotWidth, kShotHeight);
}

std::vector<uint32_t> cl_PlayDriver::GrabShot(int x0, int y0, int x1, int y1, int width, int height) {
  win32dx9::cl_DX9GraphicsDevice* graphics = win32dx9::cl_DX9GraphicsDevice::GetInstance();
  gpu::Device* device = graphics ? graphics->GetDevice() : nullptr;
  std::vector<uint32_t> pixels;
  uint32_t screenWidth = 0, screenHeight = 0;
  if (!device || device->ReadScreen(&pixels, &screenWidth, &screenHeight) != gpu::kOk || screenWidth == 0 ||
      screenHeight == 0 || pixels.size() < size_t(screenWidth) * screenHeight || width <= 0 || height <= 0)
    return {};
  const int left = std::clamp(x0, 0, int(screenWidth)), right = std::clamp(x1, 0, int(screenWidth));
  const int top = std::clamp(y0, 0, int(screenHeight)), bottom = std::clamp(y1, 0, int(screenHeight));
  if (right <= left || bottom <= top) return {};
  // A box filter down to the shot size: each shot pixel averages its share of the part.
  const int64_t partWidth = right - left, partHeight = bottom - top;
  std::vector<uint32_t> shot(size_t(width) * height);
  for (int sy = 0; sy < height; ++sy)
    for (int sx = 0; sx < width; ++sx) {
      const int64_t px0 = sx * partWidth / width, px1 = std::max(px0 + 1, (sx + 1) * partWidth / width);
      const int64_t py0 = sy * partHeight / height, py1 = std::max(py0 + 1, (sy + 1) * partHeight / height);
      uint64_t sum[3] = {0, 0, 0};
      for (int64_t y = py0; y < py1; ++y)
        for (int64_t x = px0; x < px1; ++x) {
          const uint32_t p = pixels[size_t(top + y) * screenWidth + size_t(left + x)];
          sum[0] += (p >> 16) & 0xFF, sum[1] += (p >> 8) & 0xFF, sum[2] += p & 0xFF;
        }
      const uint64_t n = uint64_t(px1 - px0) * uint64_t(py1 - py0);
      shot[size_t(sy) * width + sx] =
          0xFF000000u | uint32_t(sum[0] / n) << 16 | uint32_t(sum[1] / n) << 8 | uint32_t(sum[2] / n);
    }
  return shot;
}

cl_PlayDriver::en_Outcome cl_PlayDriver::FacesShot(const st_PlayStep& step, std::string* why) {
  // Of one size, whatever the faces' places, so that it can be compared: two faces of a talk's
  // close-up with their heads, at full size, around the middle between them.
  constexpr int kWidth = 640, kHeight = 256;
  float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
  std::istringstream names(step.argument);
  for (std::string name; names >> name;) {
    st_ScreenFace face;
    if (!FindScreenFace(name, face)) {
      *why = "no face of " + name + " to take a shot of";
      return en_Outcome::Fail;
    }
    x0 = std::min(x0, face.x), x1 = std::max(x1, face.x), y0 = std::min(y0, face.y), y1 = std::max(y1, face.y);
  }
  const int screenWidth = base::sys::GetWindowWidth(), screenHeight = base::sys::GetWindowHeight();
  const int left = std::clamp(static_cast<int>((x0 + x1) * 0.5f) - kWidth / 2, 0, std::max(0, screenWidth - kWidth));
  const int top = std::clamp(static_cast<int>((y0 + y1) * 0.5f) - kHeight / 2, 0, std::max(0, screenHeight - kHeight));
  const std::vector<uint32_t> shot = GrabShot(left, top, left + kWidth, top + kHeight, kWidth, kHeight);
  if (shot.empty()) {
    *why = "the faces are not on the frame";
    return en_Outcome::Fail;
  }
  const std::string path = m_goldenDir + "/" + step.name + ".png";
  return CompareWithGolden(shot, kWidth, kHeight, path, why) ? en_Outcome::Next : en_Outcome::Fail;
}

bool cl_PlayDriver::CompareWithGolden(const std::vector<uint32_t>& frame, int width, int height,
                                      const std::string& path, std::string* why) {
  const char* update = std::getenv("QUILLANE_UPDATE_GOLDEN");
  std::error_code status;
  const std::filesystem::file_status golden = std::filesystem::status(path, status);
  if ((update && std::strcmp(update, "1") == 0) || !std::filesystem::exists(golden)) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    if (!win32dx9::SavePng(path.c_str(), width, height, frame.data(), width * 4, false)) {
      *why = "cannot write " + path;
      return false;
    }
    base::sys::Output("Warning: play: wrote the picture %s (review it)\n", path.c_str());
    return true;
  }
  // A named pipe there would hold the run until someone writes to it.
  if (!std::filesystem::is_regular_file(golden)) {
    *why = path + " is not a regular file";
    return false;
  }
  std::vector<uint8_t> bytes;
  gpux::Image image;
  if (!gpux::ReadWholeFile(path.c_str(), &bytes) || !gpux::DecodeImage(bytes.data(), bytes.size(), path.c_str(), &image) ||
      image.width != uint32_t(width) || image.height != uint32_t(height) || image.pixels.size() < frame.size()) {
    *why = "unreadable picture " + path;
    return false;
  }
  const gpu::PictureDifference diff =
      gpu::ComparePixels(frame.data(), image.pixels.data(), frame.size(), kFarDifference);
  if (diff.mean > kMeanTolerance || diff.far * 100 > frame.size()) {
    *why = path + ": mean difference " + std::to_string(diff.mean) + ", " + std::to_string(diff.far) + " pixels far off";
    return false;
  }
  return true;
}

// The held mini-game answers a target (clicked or pointed at once it does) or a condition (the
// step ends once it holds); either is waited for within the step's budget.
cl_PlayDriver::en_Outcome cl_PlayDriver::GameStep(const st_PlayStep& step, platform::input::Queue& input,
                                                  std::string* why) {
  quillane::cl_Session* session = quillane::GetSession();
  quillane::cl_MinigameManager* games = session ? session->GetMinigameManager() : nullptr;
  quillane::i_Minigame* game = games ? games->GetGame() : nullptr;
  // A level editor or a game opened from the editor menu is a window of the system GUI, newest last.
  if (cl_GameFrame* frame = game ? nullptr : GetGameFrame())
    if (base::cl_GUI* gui = frame->GetSystemGUI())
      for (base::cl_Window* child : gui->m_Children)
        if (auto* open = dynamic_cast<quillane::i_Minigame*>(child)) game = open;
  const char* name = step.name.c_str();
  if (step.kind == st_PlayStep::WAIT_GAME) {
    if (game && game->IsPlayCondition(name)) return en_Outcome::Next;
  } else if (float x = 0.0f, y = 0.0f; game && game->GetPlayTarget(name, x, y)) {
    if (step.kind == st_PlayStep::CLICK_GAME || step.kind == st_PlayStep::RCLICK_GAME)
      Click(input, static_cast<int>(x), static_cast<int>(y), step.kind == st_PlayStep::RCLICK_GAME ? 1 : 0);
    else
      MoveMouse(input, x, y);
    ++m_next;
    m_waited = 0;
    return en_Outcome::Yield;
  }
  if (++m_waited <= step.number) return en_Outcome::Yield;
  const char* running = games ? games->GetRunningName() : nullptr;
  *why =
      std::string(step.kind == st_PlayStep::WAIT_GAME ? "the mini-game's condition \"" : "the mini-game's target \"") +
      step.name + "\" not reached within " + std::to_string(step.number) + " frames (" +
      (running ? std::string("mini-game \"") + running + "\" held" : std::string("no mini-game runs")) + ")";
  return en_Outcome::Fail;
}

// The mouse goes to the token and rests there until the bar's tokens have stopped moving and
// the interface bar has faded in; a click picks the token up, the next frames carry it to the
// target (which may move meanwhile), a click there drops it, and the step ends when the bar is
// at rest again (an accepted drop has then started its action).
cl_PlayDriver::en_Outcome cl_PlayDriver::DragToken(const st_PlayStep& step, platform::input::Queue& input,
                                                   std::string* why) {
  constexpr int kSettleFrames = 6, kMoveFrames = 8, kBudget = 300;
  float x = 0.0f, y = 0.0f;
  quillane::cl_Session* session = quillane::GetSession();
  cl_TokenBar* bar = session ? session->GetTokenBar() : nullptr;
  if (m_dragFrame < 0) {
    if (!bar || !bar->FindToken(step.name.c_str()) || !FindDragPoint(step.name, x, y)) {
      *why = "the token bar shows no token " + step.name;
      return en_Outcome::Fail;
    }
    m_dragX = x, m_dragY = y;
    MoveMouse(input, x, y);
    if (++m_waited > kBudget) {
      *why = "the token bar did not come to rest";
      return en_Outcome::Fail;
    }
    m_dragSettled = bar->IsAnimating() || bar->GetAlpha() < 1.0f ? 0 : m_dragSettled + 1;
    if (m_dragSettled >= kSettleFrames) {
      input.MouseButton(0, true, m_inputTime + 1);
      input.MouseButton(0, false, m_inputTime + 2);
      m_dragFrame = 0;
    }
    return en_Outcome::Yield;
  }
  if (!FindDragPoint(step.argument, x, y)) {
    *why = "nothing named " + step.argument + " to drop the token on";
    return en_Outcome::Fail;
  }
  if (++m_dragFrame <= kMoveFrames) {
    const float t = static_cast<float>(m_dragFrame) / kMoveFrames;
    MoveMouse(input, m_dragX + (x - m_dragX) * t, m_dragY + (y - m_dragY) * t);
    return en_Outcome::Yield;
  }
  if (m_dragFrame == kMoveFrames + 1) {
    if (!bar || !bar->GetCarried()) {
      *why = "the token " + step.name + " was not picked up";
      return en_Outcome::Fail;
    }
    MoveMouse(input, x, y);
    input.MouseButton(0, true, m_inputTime + 1);
    input.MouseButton(0, false, m_inputTime + 2);
    return en_Outcome::Yield;
  }
  // The drop's action starts once the token's use animation is over.
  if (bar && (bar->IsAnimating() || bar->GetLastUsed()) && ++m_waited <= kBudget) return en_Outcome::Yield;
  m_waited = 0;
  m_dragFrame = -1;
  m_dragSettled = 0;
  return en_Outcome::Next;
}

void cl_PlayDriver::Click(platform::input::Queue& input, int x, int y, int button) {
  int cx = 0, cy = 0;
  input.GetCursor(&cx, &cy);
  input.MouseMotion(x - cx, y - cy, x, y, m_inputTime);
  input.MouseButton(button, true, m_inputTime + 1);
  input.MouseButton(button, false, m_inputTime + 2);
}

void cl_PlayDriver::MoveMouse(platform::input::Queue& input, float x, float y) {
  const int ix = static_cast<int>(x), iy = static_cast<int>(y);
  int cx = 0, cy = 0;
  input.GetCursor(&cx, &cy);
  input.MouseMotion(ix - cx, iy - cy, ix, iy, m_inputTime);
}
