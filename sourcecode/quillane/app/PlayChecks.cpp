// The built-in checks of the .play driver: what a file can ask of the frame, the menus, the
// running game, its savegames, its script threads and the log.
#include "quillane/app/PlayChecks.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "KRX/ScriptSystem.h"
#include "KRX/runtime/Thread.h"
#include "base/data/VariantTools.h"
#include "base/data/Xml.h"
#include "base/gui/GUI.h"
#include "base/system.h"
#include "graphics/Camera.h"
#include "graphics/gfx.h"
#include "graphics/image/Image.h"
#include "graphics/mesh/Skeleton.h"
#include "platform/gpu/Device.h"
#include "quillane/actor/ActorDesc.h"
#include "quillane/app/PlayDriver.h"
#include "quillane/app/SceneChecks.h"
#include "quillane/character/Character.h"
#include "quillane/character/FacialCtrl.h"
#include "quillane/character/LipsyncCtrl.h"
#include "quillane/diary/Diary.h"
#include "quillane/frame/CustomQuit.h"
#include "quillane/frame/GameFrame.h"
#include "quillane/frame/LoadingScreen.h"
#include "quillane/gui/GameGUI.h"
#include "quillane/hud/OverlayMgr.h"
#include "quillane/menu/RootMenu.h"
#include "quillane/savegame/SavegameImage.h"
#include "quillane/scene/Scene.h"
#include "quillane/screen/ScreenDraw.h"
#include "quillane/screen/ScreenLayout.h"
#include "quillane/session/InventoryTokens.h"
#include "quillane/session/ScriptCalls.h"
#include "quillane/session/Session.h"
#include "quillane/session/Stage.h"
#include "quillane/video/VideoController.h"
#include "win32dx9/DX9GraphicsDevice.h"

namespace {

// A check's verdict: true, or false with why set.
bool Holds(bool holds, const std::string& text, std::string* why) {
  if (!holds) *why = text;
  return holds;
}

// ---- loadingbar

constexpr int kFarChannel = 24;
constexpr float kBarPictureMargin = 16.0f;  // the bar's inset under the loading picture

// The last frame's pixels against the bar drawn alone on black with the progress bar's rule, at
// the place and value given: at most 1 % of the bar's pixels off by more than 24.
bool BarMatchesReference(const float rect[4], float value, std::string* why) {
  win32dx9::cl_DX9GraphicsDevice* graphics = win32dx9::cl_DX9GraphicsDevice::GetInstance();
  std::vector<uint32_t> shown;
  uint32_t width = 0, height = 0;
  if (!graphics || graphics->GetDevice()->ReadScreen(&shown, &width, &height) != gpu::kOk)
    return Holds(false, "the screen cannot be read", why);
  std::vector<uint32_t> reference(shown.size());
  if (!graphics->BeginFrame()) return Holds(false, "no frame for the reference", why);
  gfx::ClearScreen(0);
  gfx::Begin2D();
  DrawHBar(base::tRectf(rect[0], rect[1], rect[2], rect[3]), value, cl_LoadingScreen::kBarColour);
  if (graphics->LockBackBuffer()) {
    for (uint32_t row = 0; row < height; ++row) {
      const auto* bits = reinterpret_cast<const uint32_t*>(
          static_cast<const unsigned char*>(graphics->GetLockedBits()) + row * graphics->GetLockedPitch());
      std::copy(bits, bits + width, reference.begin() + row * width);
    }
    graphics->UnlockBackBuffer();
  }
  graphics->EndFrame();
  int far = 0, count = 0, lit = 0;
  const int x0 = std::max(0, static_cast<int>(rect[0]) - 16), x1 = std::min<int>(width, static_cast<int>(rect[2]) + 16);
  const int y0 = std::max(0, static_cast<int>(rect[1])), y1 = std::min<int>(height, static_cast<int>(rect[1]) + 32);
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      const uint32_t a = shown[size_t(y) * width + x], b = reference[size_t(y) * width + x];
      int worst = 0;
      for (int shift : {16, 8, 0})
        worst = std::max(worst, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
      far += worst > kFarChannel;
      lit += (b & 0xFFFFFF) != 0;
      ++count;
    }
  return Holds(count > 0 && lit >= count / 2 && far * 100 <= count,
               std::to_string(far) + " of " + std::to_string(count) + " bar pixels differ from the reference (" +
                   std::to_string(lit) + " lit)",
               why);
}

// The bar under the loading picture, centred in the game viewport, at done / total.
bool CheckLoadingBar(const std::string&, std::string* why) {
  cl_GameFrame* frame = GetGameFrame();
  cl_LoadingScreen* screen = frame ? frame->GetLoadingScreen() : nullptr;
  if (!screen || std::string(frame->GetStateName()) != "LoadingScreen")
    return Holds(false, "the loading screen is not the state", why);
  float rect[4], value = -1.0f;
  if (!screen->GetLastBar(rect, &value) || !screen->GetImage())
    return Holds(false, "the last frame shows no bar or no picture", why);
  const float w = static_cast<float>(screen->GetImage()->GetWidth());
  const float h = static_cast<float>(screen->GetImage()->GetHeight());
  const base::tRectf viewport = GetGameViewportRect();
  const float x = (viewport.min.x + viewport.max.x) * 0.5f - w * 0.5f;
  const float y = (viewport.min.y + viewport.max.y) * 0.5f - (h + 2.0f * kBarPictureMargin) * 0.5f;
  const float expected[4] = {x + kBarPictureMargin, y + h + kBarPictureMargin, x + w - kBarPictureMargin,
                             y + h + 2.0f * kBarPictureMargin};
  for (int i = 0; i < 4; ++i)
    if (std::fabs(rect[i] - expected[i]) > 1e-3f)
      return Holds(false,
                   "bar edge " + std::to_string(i) + " at " + std::to_string(rect[i]) + ", expected " +
                       std::to_string(expected[i]),
                   why);
  const float done = screen->GetDone() / screen->GetTotal();
  if (std::fabs(value - done) > 1e-5f || value <= 0.0f || value >= 1.0f)
    return Holds(false, "bar value " + std::to_string(value) + " for done/total " + std::to_string(done), why);
  return BarMatchesReference(rect, value, why);
}

// ---- quitbox and rootmenu

bool CheckQuitBox(const std::string& argument, std::string* why) {
  cl_GameFrame* frame = GetGameFrame();
  cl_CustomQuitModule* quit = frame ? frame->GetQuitModule() : nullptr;
  const bool open = quit && quit->IsActive() && quit->GetMessageBox();
  return Holds(open == (argument == "open"), std::string("the quit box is ") + (open ? "open" : "closed"), why);
}

// "fade <value>", "theme pending|playing", "box open|closed", "credits playing|ended" (while
// they play, a button's event is refused), "quitting" (the answer "Ok" taken, the screen
// darkening), and "refresh" (a hidden main panel comes back on "Refresh").
bool CheckRootMenu(const std::string& argument, std::string* why) {
  cl_RootMenu* menu = cl_RootMenu::GetInstance();
  if (!menu || std::string(GetGameFrame()->GetStateName()) != "RootMenu")
    return Holds(false, "the root menu is not the state", why);
  const size_t blank = argument.find(' ');
  const std::string what = argument.substr(0, blank);
  const std::string value = blank == std::string::npos ? "" : argument.substr(blank + 1);
  if (what == "fade") {
    const float fade = menu->GetFader().m_value;
    return Holds(std::fabs(fade - std::strtof(value.c_str(), nullptr)) < 1e-3f,
                 "the fade is at " + std::to_string(fade), why);
  }
  if (what == "theme") return Holds(menu->IsThemePending() == (value == "pending"), "the theme is not " + value, why);
  if (what == "box")
    return Holds((menu->GetQuitBox() != nullptr) == (value == "open"), "the quit box is not " + value, why);
  if (what == "credits") {
    if (!Holds(menu->IsCreditsPlaying() == (value == "playing"), "the credits are not " + value, why)) return false;
    if (value != "playing") return true;
    base::Variant press;
    press.set_element("ButtonPressed");
    press.attribute("ctrl_label")->set_string("options");
    return Holds(!menu->ProcessEvent(press), "a button's event was taken during the credits", why);
  }
  if (what == "quitting")
    return Holds(menu->GetPendingCommand() == "quit" && menu->GetFader().m_state == cl_Fader::STATE_COVERING,
                 "the menu is not darkening towards the end", why);
  if (what == "refresh") {
    base::cl_Window* main = GetGameFrame()->GetGameGUI()->FindByLabel("MainMenuPanel");
    if (!main) return Holds(false, "no main menu panel", why);
    main->Show(false);
    base::Variant refresh;
    refresh.set_element("Refresh");
    menu->ProcessEvent(refresh);
    return Holds(!main->HasFlag(base::WF_HIDDEN) && !main->HasFlag(base::WF_DISABLED),
                 "\"Refresh\" left the main menu hidden", why);
  }
  return Holds(false, "unknown root menu check \"" + argument + "\"", why);
}

// ---- session

// "bar <start> <end>" (the loading screen's progress range), "black" (the last frame is black but
// for the cursor) or "lit" (it is not), "trigger <object>" (what a click on a scene object runs),
// "dialogue open|closed", "diary open|closed" (shown and done fading in, or gone), "still" (the
// player stands), "video" (a full-screen video plays), "give <token>" (the player gets it, as a
// shortcut past the road), "title" (a scene title is on show), "leave mainmenu" (the game paused
// and the in-game menu's question "back to the main menu?" answered "Ok", as the menu does it).
bool CheckSession(const std::string& argument, std::string* why) {
  quillane::cl_Session* session = quillane::GetSession();
  cl_GameFrame* frame = GetGameFrame();
  std::istringstream words(argument);
  std::string what;
  words >> what;
  if (what == "bar") {
    float start = -1.0f, end = -1.0f;
    words >> start >> end;
    const cl_LoadingScreen* screen = frame ? frame->GetLoadingScreen() : nullptr;
    if (screen && screen->GetProgressStart() == start && screen->GetProgressEnd() == end) return true;
    return Holds(false,
                 screen ? "the bar runs from " + std::to_string(screen->GetProgressStart()) + " to " +
                              std::to_string(screen->GetProgressEnd())
                        : "no loading screen",
                 why);
  }
  if (what == "black" || what == "lit") {
    // The mouse cursor may stand anywhere on a black frame.
    const std::vector<uint32_t> shot = cl_PlayDriver::GrabShot();
    const size_t lit = size_t(std::count_if(shot.begin(), shot.end(), [](uint32_t p) { return (p & 0xFFFFFFu) != 0; }));
    return Holds(!shot.empty() && (lit * 100 <= shot.size()) == (what == "black"),
                 "the last frame is not " + what + " (" + std::to_string(lit) + " pixels of the shot lit)", why);
  }
  if (!session) return Holds(false, "no game runs", why);
  if (what == "trigger") {
    // What a click on a scene object does: the player starts an interaction, its trigger runs.
    std::string object;
    words >> object;
    session->GetActionQueue().AllowSkipAndCancel();
    return Holds(quillane::RunTrigger(base::String(object.c_str())), "the scene has no trigger for " + object, why);
  }
  if (what == "give") {
    std::string token;
    words >> token;
    quillane::AcquireTokenDirect(token.c_str());
    return true;
  }
  if (what == "diary") {
    std::string state;
    words >> state;
    const cl_Diary* diary = session->GetDiary();
    const bool open = diary && diary->IsVisible() && diary->GetFadeState() == cl_Diary::FADE_SHOWN;
    return Holds(open == (state == "open") && (open || !diary || !diary->IsVisible()), "the diary is not " + state, why);
  }
  if (what == "still") {
    const quillane::cl_Character* player = session->GetStage() ? session->GetStage()->GetPlayerCharacter() : nullptr;
    return Holds(player && player->state == quillane::cl_MovementCtrl::STATE_IDLE, "the player still moves", why);
  }
  if (what == "video") {
    const cl_VideoController* video = cl_VideoController::GetInstance();
    return Holds(video && video->IsPlaying(), "no video plays", why);
  }
  if (what == "dialogue") {
    std::string state;
    words >> state;
    return Holds(session->GetDialogCtrl().IsActive() == (state == "open"), "the dialogue is not " + state, why);
  }
  if (what == "title") {
    const cl_OverlayMgr* overlays = session->GetOverlayMgr();
    for (size_t i = 0; overlays && i < overlays->GetCount(); ++i) {
      const cl_Overlay* overlay = overlays->GetOverlay(i);
      if (overlay->m_name == "text" && !overlay->IsExpired() && overlay->GetAlpha() > 0.0f) return true;
    }
    return Holds(false, "no scene title is on show", why);
  }
  if (argument == "leave mainmenu") {
    base::cl_Window* menu = session->GetGameGUI()->FindByLabel("IngameMenuPanel");
    if (!menu) return Holds(false, "the session has no in-game menu", why);
    session->SetPaused(true);
    base::Variant answer;
    answer.set_element("MB_mainmenu");
    answer.attribute("ctrl_label")->set_string("Ok");
    menu->ProcessEvent(answer);
    return Holds(session->GetRequest() == "mainmenu" && session->GetFader().m_state == cl_Fader::STATE_COVERING,
                 "the in-game menu did not ask to leave", why);
  }
  return Holds(false, "unknown session check \"" + argument + "\"", why);
}

// "<speaker>": a spoken line of that character is running and its lip-sync holds the mouth off
// its rest shape.
bool CheckSpeech(const std::string& speaker, std::string* why) {
  quillane::cl_Session* session = quillane::GetSession();
  quillane::st_GameAction* action = session ? session->GetActionQueue().GetFirstForegroundAction() : nullptr;
  if (!action || action->m_kind != "speak" || action->m_object != speaker.c_str())
    return Holds(false, "no line of " + speaker + " runs", why);
  quillane::cl_Character* character =
      session->GetStage() ? session->GetStage()->GetCharacter(speaker.c_str()) : nullptr;
  quillane::cl_LipsyncCtrl* lips = character && character->facial ? character->facial->lipsync : nullptr;
  if (!lips || !lips->IsActive()) return Holds(false, speaker + "'s lips do not move", why);
  const int frame = lips->FindFrame();
  return Holds(frame >= 0 && lips->GetTrack()[static_cast<size_t>(frame)].viseme != 0, speaker + "'s mouth is at rest",
               why);
}

// "<key>": the line running is the one of that key, whoever speaks it. The key is named without
// its '#' ("mina0_7" for "#mina0_7"), which starts a comment in a play file.
bool CheckSaid(const std::string& name, std::string* why) {
  quillane::cl_Session* session = quillane::GetSession();
  quillane::st_GameAction* action = session ? session->GetActionQueue().GetFirstForegroundAction() : nullptr;
  if (!action || action->m_kind != "speak") return Holds(false, "no line runs", why);
  // A script's key may carry its text after a space ("#quay0_7 Listen: …").
  const std::string key = "#" + name;
  const std::string line = action->m_text.c_str();
  const bool same = line.compare(0, key.size(), key) == 0 && (line.size() == key.size() || line[key.size()] == ' ');
  return Holds(same, "the line running is \"" + line + "\"", why);
}

// ---- savegame

// "Missions" and "Inventory" of two trees alike, but for the game time and the numbers a side
// file gives back as text.
bool SameElements(const base::Variant& one, const base::Variant& other, const char* what, std::string* why) {
  for (const char* element : {"Missions", "Inventory"}) {
    base::Variant a, b;
    if (one.get_element(element)) a.copy(*one.get_element(element));
    if (other.get_element(element)) b.copy(*other.get_element(element));
    for (base::Variant* tree : {&a, &b}) {
      if (tree->is_element() && tree->get_attribute("GameTime")) tree->attribute("GameTime")->set_float(0.0f);
      tree->number_to_text();
    }
    if (!base::variant_equal(a, b)) return Holds(false, std::string("the ") + element + " differ from " + what, why);
  }
  return true;
}

// "<slot> saved": the user's savegame parses, and its side file holds the same "Missions" and
// "Inventory". "<slot> loaded": the running game is in the saved scene with the saved "Missions"
// (but the game time) and "Inventory", and the player stands within 5 units of the saved place.
bool CheckSavegame(const std::string& argument, std::string* why) {
  constexpr float kPlaceTolerance = 5.0f;
  std::istringstream words(argument);
  std::string slot, what;
  words >> slot >> what;
  const std::string path = std::string(base::sys::GetUserDataPath().c_str()) + "/Savegames/" + slot;
  quillane::st_SavegameImage image;
  if (!quillane::ReadSavegameFile((path + ".sav").c_str(), image))
    return Holds(false, "no readable " + path + ".sav", why);
  if (what == "saved") {
    base::Variant side;
    if (!base::xml::read_file(side, (path + ".xml").c_str()))
      return Holds(false, "no side file beside " + path + ".sav", why);
    return SameElements(image.gameState, side, "the side file's", why);
  }
  quillane::cl_Session* session = quillane::GetSession();
  quillane::cl_Scene* scene = session ? session->GetScene() : nullptr;
  if (!scene || std::string(scene->GetName().c_str()) != image.sceneName.c_str())
    return Holds(false, std::string("the game is not in the saved scene ") + image.sceneName.c_str(), why);
  if (!SameElements(*session->GetGameState(), image.gameState, "the saved ones", why)) return false;
  const quillane::cl_Character* player = session->GetStage()->GetPlayerCharacter();
  for (const quillane::st_SavegameCharacter& c : image.characters) {
    if (!player || c.name != player->name) continue;
    const base::tVector3<float>& p = player->locator.GetPos();
    const float d = std::hypot(p.x - c.position[0], p.y - c.position[1], p.z - c.position[2]);
    return Holds(d <= kPlaceTolerance, "the player stands " + std::to_string(d) + " units from the saved place", why);
  }
  return Holds(false, "the saved player is not the game's player", why);
}

// ---- stage

// "characters <name>...": exactly these characters, in stage order. "threads <n>": the script
// threads that run or wait (the story's sequences, dialogues and background walks).
bool CheckStage(const std::string& argument, std::string* why) {
  quillane::cl_Session* session = quillane::GetSession();
  quillane::cl_Stage* stage = session ? session->GetStage() : nullptr;
  if (!stage) return Holds(false, "no stage", why);
  std::istringstream words(argument);
  std::string what;
  words >> what;
  if (what == "characters") {
    std::vector<std::string> expected, seen;
    for (std::string name; words >> name;) expected.push_back(name);
    for (const quillane::cl_Character* c : stage->GetCharacters()) seen.emplace_back(c->name.c_str());
    std::string list;
    for (const std::string& name : seen) list += " " + name;
    return Holds(seen == expected, "the stage holds" + (list.empty() ? std::string(" nobody") : list), why);
  }
  if (what == "threads") {
    int expected = -1;
    words >> expected;
    int running = 0;
    std::string list;
    for (const KRX::tRefPtr<KRX::Thread>& thread : KRX::ScriptSystem::GetThreads()) {
      const int state = thread ? thread->GetState() : KRX::Thread::STATE_DEAD;
      if (state != KRX::Thread::STATE_RUNNING && state != KRX::Thread::STATE_WAITING &&
          state != KRX::Thread::STATE_PAUSED)
        continue;
      ++running;
      list += std::string(" ") + (thread->GetFunctionName() ? thread->GetFunctionName() : "?");
    }
    return Holds(running == expected, std::to_string(running) + " script threads run:" + list, why);
  }
  return Holds(false, "unknown stage check \"" + argument + "\"", why);
}

// ---- log

// "<scene> <function> ...": the scene script's own trace lines ("<scene>: <function>") for those
// functions, in that order and each once.
bool CheckCallbacks(const std::string& log, const std::string& argument, std::string* why) {
  std::istringstream words(argument);
  std::string scene, name;
  words >> scene;
  std::vector<std::string> expected, seen;
  while (words >> name) expected.push_back(name);
  std::istringstream lines(log);
  std::string line;
  const std::string prefix = scene + ": ";
  while (std::getline(lines, line))
    if (line.compare(0, prefix.size(), prefix) == 0 &&
        std::find(expected.begin(), expected.end(), line.substr(prefix.size())) != expected.end())
      seen.push_back(line.substr(prefix.size()));
  if (seen == expected) return true;
  *why = "the " + scene + " script's callbacks ran as:";
  for (const std::string& s : seen) *why += " " + s;
  return false;
}

}  // namespace

void AddPlayChecks(cl_PlayDriver& driver) {
  driver.AddCheck("loadingbar", CheckLoadingBar);
  driver.AddCheck("quitbox", CheckQuitBox);
  driver.AddCheck("rootmenu", CheckRootMenu);
  driver.AddCheck("session", CheckSession);
  driver.AddCheck("speech", CheckSpeech);
  driver.AddCheck("face", CheckFace);
  driver.AddCheck("bubble", CheckBubble);
  driver.AddCheck("said", CheckSaid);
  driver.AddCheck("savegame", CheckSavegame);
  driver.AddCheck("stage", CheckStage);
  driver.AddCheck("picture", CheckPicture);
  // The clicks answered so far belong to this driver's run.
  auto answers = std::make_shared<cl_AnswerLog>();
  driver.AddCheck("answered", [answers](const std::string& argument, std::string* why) {
    return answers->Answered(argument, why);
  });
  driver.AddCheck("hotspots", [answers](const std::string& argument, std::string* why) {
    return answers->Hotspots(argument, why);
  });
  driver.AddCheck("callbacks", [&driver](const std::string& argument, std::string* why) {
    return CheckCallbacks(driver.GetLog(), argument, why);
  });
  driver.AddCheck("log", [&driver](const std::string& argument, std::string* why) {
    return Holds(driver.GetLog().find(argument) != std::string::npos, "the log has no \"" + argument + "\"", why);
  });
}
