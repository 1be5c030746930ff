// Savegames and screenshots. A save builds the whole savegame image and writes it through the
// crash-safe file; a load parses the whole file into an image before it touches the running
// game, so a damaged file leaves the game as it was.
#include <cmath>
#include <memory>

#include "base/File.h"
#include "base/FileTools.h"
#include "base/TaskScheduler.h"
#include "base/data/VariantTools.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "graphics/Texture.h"
#include "graphics/gfx.h"
#include "quillane/diary/Diary.h"
#include "quillane/core/FrameServices.h"
#include "quillane/hud/OverlayMgr.h"
#include "quillane/hud/TokenBar.h"
#include "quillane/savegame/SavegameFailure.h"
#include "quillane/savegame/SavegameImage.h"
#include "quillane/savegame/SavegameXml.h"
#include "quillane/savegame/ScreenshotName.h"
#include "quillane/scene/Scene.h"
#include "quillane/screen/InterfaceSounds.h"
#include "quillane/minigames/MinigameManager.h"
#include "quillane/script/GameThread.h"
#include "quillane/session/ScriptCalls.h"
#include "quillane/session/Session.h"
#include "quillane/session/SessionInterface.h"
#include "quillane/session/Stage.h"
#include "quillane/settings/TweakSettings.h"
#include "sound/Sfx.h"

namespace quillane {
namespace {

constexpr int kPictureWidth = 512;
constexpr int kPictureHeight = 320;
constexpr const char* kScreenshotPrefix = "quillane_";
constexpr const char* kBackgroundScripts = "BackgroundScripts";

// The last screenshot number of this run: the next search starts after it.
int g_lastScreenshot = -1;

// A session without a stage still writes a stage block that reads back: no scene, no one.
bool WriteEmptyStage(base::File& file) {
  const uint32_t zero[3] = {0, 0, 0};
  return file.write(zero, sizeof(zero));
}

// "TokenBar": the labels the bar shows, in order.
void WriteTokenBarList(base::Variant& gameState, cl_TokenBar* bar) {
  base::Variant* list = base::variant_get_element_by_path(gameState, "TokenBar", true);
  if (!list || !bar) return;
  base::list<base::tString<base::BaseString>> labels(bar->GetTokenOrder().begin(), bar->GetTokenOrder().end());
  base::variant_stringlist_to_variant(*list, labels);
  list->set_label("TokenBar");
}

}  // namespace

bool cl_Session::SaveGame(const char* path, base::tString<base::BaseUnicodeString> name, const base::Variant* header) {
  if (!path || !*path) {
    SetSavegameFailure(en_SavegameFailure::Other);
    return false;
  }
  if (!m_gameState.is_element()) m_gameState.set_element("GameState");
  WriteTokenBarList(m_gameState, GetTokenBar());
  if (m_tokenBarState) m_tokenBarState->Write(m_gameState);

  auto image = std::make_unique<st_SavegameImage>();
  image->head.m_name = name;
  MakeSavegameThumbnails(m_gamePicture, image->head.m_grey, image->head.m_colour);
  if (header) image->head.m_header.copy(*header);
  image->head.m_preview = m_gamePicture;
  image->gameState.copy(m_gameState);
  if (m_diary) m_diary->WriteState(image->gameState);
  WriteBackgroundScripts(image->gameState);
  if (base::Variant* missions = base::variant_get_element_by_path(image->gameState, "Missions", true))
    if (base::Variant* time = missions->attribute("GameTime")) time->set_float(m_gameTime);

  cl_Stage* stage = m_stage;
  const bool written = WriteSavegameFile(path, *image, [stage](base::File& file) {
    return stage ? stage->WriteState(file) : WriteEmptyStage(file);
  });
  // The side file is a convenience; the save stands without it.
  if (written && Savegame_WriteXML) WriteSavegameXml(path, image->gameState);
  return written;
}

bool cl_Session::LoadGame(const char* path) {
  auto image = std::make_unique<st_SavegameImage>();
  if (!ReadSavegameFile(path, *image)) return false;
  // A save of a scene this game does not have would strand the player in an empty one.
  if (!cl_Scene::Exists(image->sceneName.c_str())) {
    SetSavegameFailure(en_SavegameFailure::Foreign);
    base::sys::Output("ERROR: savegame '%s': scene '%s' does not exist: %s; the game stays where it was\n", path,
                      image->sceneName.c_str(), cl_Scene::MissingReason(image->sceneName.c_str()).c_str());
    return false;
  }

  // The file is whole: only now does the running game give way.
  m_actionQueue.Clear();
  m_actionQueue.Reset();
  ReadChangedScripts();  // no script of the game left runs
  FadeOutAllSoundGroups();
  sfx::RemoveAllFx();
  if (m_overlays) m_overlays->Clear();
  m_gameState.cut(image->gameState);
  if (m_tokenBarState) m_tokenBarState->Read(m_gameState);
  CopyDebugConfig();
  base::variant_get_element_by_path(m_gameState, "TokenBar", true);

  LoadScene(image->sceneName);
  base::File block;
  const std::vector<unsigned char>& bytes = image->stageBlock;
  if (m_stage && block.open_memory(bytes.data(), static_cast<int>(bytes.size()), path)) m_stage->ReadState(block);
  using tRestoreTask = base::tGenericTask_MethodCall_1Arg<cl_Session*, void (cl_Session::*)(const char*), base::String>;
  AddLoadingTask(new tRestoreTask(this, &cl_Session::RestoreLoadedGame, base::String(path)));
  SetProgressRange(0.5f, 1.0f);
  return true;
}

void cl_Session::RestoreLoadedGame(const char* path) {
  if (Savegame_ReadXML) MergeSavegameXml(path, m_gameState);
  if (m_stage) m_stage->BindCharactersToScene();
  if (cl_TokenBar* bar = GetTokenBar()) bar->SyncMode(true);
  if (m_diary) m_diary->ReadState(m_gameState);
  CopyDebugConfig();
  float time = 0.0f;
  if (const base::Variant* missions = m_gameState.get_element("Missions"))
    missions->get_attribute_float("GameTime", time);
  m_gameTime = std::isfinite(time) && time > 0.0f ? time : 0.0f;
  if (m_stage) m_stage->PrepareCharacters();
  if (const cl_Scene* scene = GetScene(); scene && SceneScriptHasFunction(scene->GetName(), "OnAlphaHack"))
    CallSceneScript(scene->GetName(), "OnAlphaHack", base::Variant());
  RestartBackgroundScripts();
  // The stage is the savegame's; from now on scripts place characters again.
  if (m_stage) m_stage->SetRestoring(false);
  if (m_minigames) m_minigames->Shutdown();
}

void cl_Session::WriteBackgroundScripts(base::Variant& gameState) {
  base::variant_remove_elements(gameState, kBackgroundScripts);
  base::Variant* list = nullptr;
  for (const st_BackgroundCall& call : m_backgroundCalls) {
    if (!GameThread::IsLive(call.thread, call.serial)) continue;
    if (!list) list = &gameState.add_element(kBackgroundScripts);
    base::Variant& script = list->add_element("Script");
    script.attribute("scene")->set_string(call.scene.c_str());
    script.attribute("function")->set_string(call.function.c_str());
    if (!call.args.is_void()) {
      base::Variant args;
      args.copy(call.args);
      script.add_element("Arguments").push_back(args);
    }
  }
}

void cl_Session::RestartBackgroundScripts() {
  // Taken out of the running game's state first: the calls restarted here write it anew.
  base::Variant saved;
  if (const base::Variant* list = m_gameState.get_element(kBackgroundScripts)) saved.copy(*list);
  base::variant_remove_elements(m_gameState, kBackgroundScripts);
  const cl_Scene* scene = GetScene();
  if (!scene || !saved.is_element()) return;
  for (int i = 0; i < saved.size(); ++i) {
    const base::Variant& script = saved[i];
    base::tString<base::BaseString> sceneName, function;
    if (!script.get_attribute_string("scene", sceneName) || !script.get_attribute_string("function", function) ||
        function.empty())
      continue;
    // A walk round of another scene has no stage to walk on here.
    if (sceneName != scene->GetName()) continue;
    const base::Variant* arguments = script.get_element("Arguments");
    base::Variant args;
    if (arguments && arguments->size() > 0) args.copy((*arguments)[0]);
    // Started from its beginning: where the thread stood in the function is not kept.
    CallSceneFunctionInBackground(sceneName, function, args);
  }
}

void cl_Session::CaptureScreenshot() {
  m_gamePicture.Create(kPictureWidth, kPictureHeight);
  if (gfx::cl_Texture* cursor = gfx::TextureExists("cursor_disable")) gfx::SetCursor(nullptr, cursor);
  const base::tRectf view = GetViewportRect();
  gfx::GrabScreen(&m_gamePicture, view.min.x, view.min.y, view.max.x, view.max.y, true);
  // The last frame may carry the caption of what the pointer was over: a savegame's picture shows
  // the scene alone, taken from the next frame before anything is drawn over it.
  m_retakePicture = true;
}

void cl_Session::RetakeGamePicture() {
  m_retakePicture = false;
  const base::tRectf view = GetViewportRect();
  gfx::GrabScreen(&m_gamePicture, view.min.x, view.min.y, view.max.x, view.max.y, false);
}

bool cl_Session::SaveScreenshot() {
  const int width = base::sys::GetWindowWidth(), height = base::sys::GetWindowHeight();
  base::cl_Bitmap32 grab;
  grab.Create(width, height);
  if (grab.IsEmpty()) {
    base::sys::Output("ERROR: screenshot: the window of %d x %d cannot be grabbed\n", width, height);
    return false;
  }
  gfx::GrabScreen(&grab, 0.0f, 0.0f, static_cast<float>(width), static_cast<float>(height), true);
  base::cl_Bitmap24 picture;
  picture = grab;
  base::String folder;
  folder.print("%s/Screenshots", base::sys::GetUserDataPath().c_str());
  base::EagerMkdir(folder);
  const int previous = g_lastScreenshot;
  const base::String name = NextScreenshotName(folder.c_str(), kScreenshotPrefix, g_lastScreenshot);
  if (name.empty()) {
    base::sys::Output("ERROR: screenshot: every number in '%s' is taken\n", folder.c_str());
    return false;
  }
  if (picture.SaveBMP(name.c_str())) return true;
  // A picture not written leaves its number free: failures on a full disk would use them all up.
  g_lastScreenshot = previous;
  return false;
}

}  // namespace quillane
