// The stage: characters, the per-frame update with its trigger zones, picking and the scene load
// task. Drawing, tooltips and the savegame block are in StageRender.cpp and StageState.cpp.
#include "quillane/session/Stage.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "base/system.h"
#include "quillane/actor/ActorRegistry.h"
#include "quillane/hud/InterfaceBar.h"
#include "quillane/scene/Scene.h"
#include "quillane/session/ScriptCalls.h"
#include "quillane/session/Session.h"
#include "quillane/world/WorldServices.h"

namespace quillane {

namespace {

constexpr float kReferenceHeight = 640.0f;  // scene rows below this are off the picture
constexpr float kBarCoverMargin = 16.0f;    // pixels above a shown interface bar that it covers

i_NavMesh* FirstNavMesh(const cl_Scene* scene) {
  return scene && !scene->NavMeshes.empty() ? scene->NavMeshes.front() : nullptr;
}

}  // namespace

cl_Stage::cl_Stage() = default;

cl_Stage::~cl_Stage() {
  *m_alive = false;
  ReleaseSceneData();
}

// ---- Scene and characters

void cl_Stage::LoadScene(const base::String& name) {
  if (m_scene) {
    m_scene->Clear();
    delete m_scene;
  }
  m_scene = new cl_Scene;
  // The compiled file when there is one, else the editable project the editor keeps.
  if (!m_scene->Load(name.c_str())) {
    if (!cl_Scene::Exists(name.c_str()))
      base::sys::Output("ERROR: scene '%s' does not exist: %s; the stage stays empty\n", name.c_str(),
                        cl_Scene::MissingReason(name.c_str()).c_str());
    m_scene->LoadProjectFile(name.c_str());
    m_scene->ReadFromVariant(true);
  } else if (cl_Scene::IsCompiledSceneStale(name.c_str())) {
    // Played as compiled: the project as it stands stays invisible until the scene is compiled again.
    base::sys::Output("Warning: %s was not compiled from %sProjectFile.xml as it stands; the game plays the "
                      "compiled scene\n",
                      cl_Scene::GetDataPath(name.c_str()).c_str(), cl_Scene::GetScenePath(name.c_str()).c_str());
  }
  // Characters left from before (a debug reload) must not keep the old scene's nav meshes.
  if (!m_characters.empty()) BindCharactersToScene();
}

void cl_Stage::ReleaseSceneData() {
  if (m_scene) {
    m_scene->Clear();
    delete m_scene;
    m_scene = nullptr;
  }
  std::list<cl_Character*> characters;
  characters.swap(m_characters);
  m_player = nullptr;
  m_attachmentTargets.clear();
  for (cl_Character* character : characters) {
    // The queue owns the action; the character's pointer to it must not outlive the scene.
    character->pendingAction = nullptr;
    delete character;
  }
}

cl_Character* cl_Stage::CreateCharacter(const base::String& name, const base::String& actorName) {
  cl_ActorRegistry* registry = GetActorRegistry();
  cl_ActorDesc* actor = registry ? registry->FindActor(actorName.c_str()) : nullptr;
  if (!actor) {
    base::sys::Output("ERROR: Actor '%s' not found. Character '%s' was not created.\n", actorName.c_str(),
                      name.c_str());
    return nullptr;
  }
  cl_Character* character = new cl_Character;
  character->name = name;
  i_NavMesh* mesh = FirstNavMesh(m_scene);
  character->stageWorld = this;
  character->SetActor(actor, mesh);
  if (mesh) character->scale = m_scene->GetCharacterScale();
  m_characters.push_back(character);
  return character;
}

void cl_Stage::AdoptCharacter(cl_Character* character) {
  if (!character || Holds(character)) return;
  character->stageWorld = this;
  m_characters.push_back(character);
}

cl_Character* cl_Stage::GetCharacter(const char* name) const {
  if (!name) return nullptr;
  for (cl_Character* character : m_characters)
    if (character->name == name) return character;
  return nullptr;
}

void cl_Stage::RemoveCharacter(const char* name) {
  cl_Character* character = GetCharacter(name);
  if (!character) return;
  // Off the list first: what finishing its action runs must not find it (nor remove it twice).
  m_characters.remove(character);
  ForgetCharacter(character);
  // The character cannot perform its action any more: finish it, so the script waiting on it
  // goes on instead of waiting for ever on a character that is gone.
  st_GameAction* action = character->pendingAction;
  character->pendingAction = nullptr;
  if (action && WorldServices().FinishAction) WorldServices().FinishAction(action);
  if (character->onDone) character->Finish();  // a walk's or turn's completion, run once
  delete character;
}

void cl_Stage::ForgetCharacter(cl_Character* character) {
  if (m_player == character) m_player = nullptr;
  for (auto it = m_attachmentTargets.begin(); it != m_attachmentTargets.end();) {
    bool own = false;
    for (const cl_Character::st_Attachment& attachment : character->attachments)
      if (it->first == &attachment) own = true;
    if (own) {
      it = m_attachmentTargets.erase(it);
      continue;
    }
    if (it->second == character) it->second = nullptr;
    ++it;
  }
}

bool cl_Stage::Holds(const cl_Character* character) const {
  return std::find(m_characters.begin(), m_characters.end(), character) != m_characters.end();
}

cl_Character* cl_Stage::GetAttachmentTarget(const cl_Character::st_Attachment& attachment) const {
  const auto it = m_attachmentTargets.find(&attachment);
  return it == m_attachmentTargets.end() ? nullptr : it->second;
}

void cl_Stage::ResolveAttachmentTargets() {
  // Rebuilt from the records that exist now, so that a record detached since cannot leave its
  // target to a new record at the same address.
  std::map<const cl_Character::st_Attachment*, cl_Character*> targets;
  for (cl_Character* character : m_characters)
    for (const cl_Character::st_Attachment& attachment : character->attachments) {
      const auto known = m_attachmentTargets.find(&attachment);
      cl_Character* target = known != m_attachmentTargets.end() ? known->second : nullptr;
      targets[&attachment] = target ? target : GetCharacter(attachment.name.c_str());
    }
  m_attachmentTargets.swap(targets);
}

void cl_Stage::CollectObstacles(std::vector<base::tVector3<float>>& obstacles, const char* name) const {
  for (const cl_Character* character : m_characters) {
    if ((name && character->name == name) || !character->HasAvoidance()) continue;
    const base::tVector3<float>& p = character->GetPosition();
    obstacles.emplace_back(p.x, p.z, m_avoidanceRange);
  }
}

void cl_Stage::GetStageCharacters(std::vector<i_FaceOwner*>& characters) const {
  for (cl_Character* character : m_characters) characters.push_back(character);
}

i_NavMesh* cl_Stage::FindNavMeshAt(const base::tVector3<float>& position) const {
  return m_scene ? m_scene->FindNavMeshAt(position.x, position.y, position.z) : nullptr;
}

en_TimerCall cl_Stage::CallCharacterTimer(const char* character, float& delay) const {
  const cl_Session* session = GetSession();
  const st_WorldServices& world = WorldServices();
  if (!character || !session || session->GetStage() != this) return en_TimerCall::NONE;
  // A call that waits is not made again while it runs; once it has ended, its result counts.
  if (const auto running = m_runningTimers.find(character); running != m_runningTimers.end()) {
    if (!running->second(delay)) return en_TimerCall::RUNNING;
    m_runningTimers.erase(running);
    return en_TimerCall::DONE;
  }
  std::function<bool(float&)> ended;
  if (!world.CallCharacterTimer || !world.CallCharacterTimer(character, delay, &ended)) return en_TimerCall::NONE;
  if (!ended) return en_TimerCall::DONE;
  m_runningTimers.emplace(character, std::move(ended));
  return en_TimerCall::RUNNING;
}

void cl_Stage::BindCharactersToScene() {
  i_NavMesh* mesh = FirstNavMesh(m_scene);
  for (cl_Character* character : m_characters) {
    character->SetActor(character->actor, mesh);
    if (m_scene) character->scale = m_scene->GetCharacterScale();
    const base::cl_Locator at = character->locator;
    character->SetPosition(at);
  }
}

void cl_Stage::PrepareCharacters() {
  // The scripts may add or remove characters: walk a copy of the names, and stop once this
  // stage is gone.
  std::vector<base::String> names;
  for (const cl_Character* character : m_characters) names.push_back(character->name);
  const std::shared_ptr<bool> alive = m_alive;
  for (const base::String& name : names) {
    if (!*alive) return;
    if (HasDialogScriptFunction(name, "PrepareCharacter")) CallDialogScriptFunction(name, "PrepareCharacter");
  }
}

base::tVector3<float> cl_Stage::GetNavMeshCenter(base::tVector3<float>& out) const {
  if (i_NavMesh* mesh = FirstNavMesh(m_scene)) out = mesh->GetCenter();
  return out;
}

// ---- Update and trigger zones

void cl_Stage::Update(float dt) {
  if (m_scene) m_scene->Update(dt);
  const std::shared_ptr<bool> alive = m_alive;
  // A character's own timer script may change the list: walk a snapshot and skip the gone.
  const std::vector<cl_Character*> walk(m_characters.begin(), m_characters.end());
  std::vector<st_ZoneChange> changes;
  std::vector<base::String> before, after;
  for (cl_Character* character : walk) {
    if (!Holds(character)) continue;
    ZonesAt(character, before);
    character->Update(dt);
    if (!*alive) return;
    if (!Holds(character)) continue;
    // The pose drawn next: clips, movement and the face (lip-sync, emotes, gaze) of this frame.
    character->UpdatePose(character->pose);
    ZonesAt(character, after);
    CollectZoneChanges(character, before, after, changes);
  }
  // The handlers run only now: they may add or remove characters, or change the scene (which
  // frees this stage). Each runs only while this is still the session's stage.
  for (const st_ZoneChange& change : changes) {
    if (!*alive) return;
    cl_Session* session = GetSession();
    if (!session || session->GetStage() != this) return;
    DispatchZoneChange(change);
  }
}

void cl_Stage::ZonesAt(const cl_Character* character, std::vector<base::String>& out) const {
  out.clear();
  if (!m_scene) return;
  std::list<cl_SceneLocator*> locators;
  const base::tVector3<float>& p = character->GetPosition();
  m_scene->GetLocatorsAt(p.x, p.z, locators);
  for (const cl_SceneLocator* locator : locators) out.push_back(locator->name);
}

void cl_Stage::CollectZoneChanges(cl_Character* character, const std::vector<base::String>& before,
                                  const std::vector<base::String>& after, std::vector<st_ZoneChange>& out) const {
  if (before.empty() && after.empty()) return;
  auto contains = [](const std::vector<base::String>& list, const base::String& name) {
    return std::find(list.begin(), list.end(), name) != list.end();
  };
  for (const base::String& zone : after)
    if (!contains(before, zone)) out.push_back({character, character->name, zone, true});
  for (const base::String& zone : before)
    if (!contains(after, zone)) out.push_back({character, character->name, zone, false});
}

void cl_Stage::DispatchZoneChange(const st_ZoneChange& change) {
  if (!m_scene || !Holds(change.character)) return;
  cl_Session* session = GetSession();
  const std::shared_ptr<bool> alive = m_alive;
  const base::String scene = m_scene->GetName();
  base::String check(change.entered ? "CheckOnEnter_" : "CheckOnLeave_");
  base::String handler(change.entered ? "OnEnter_" : "OnLeave_");
  check += change.zone;
  handler += change.zone;
  base::Variant args;
  args.set_element("Args");
  args[0].set_string(change.characterName.c_str());

  if (SceneScriptHasFunction(scene, check)) {
    const base::Variant result = session->RunSceneScript(scene, check, args);
    // The check may have changed the scene or removed the character.
    if (!*alive || session != GetSession() || session->GetStage() != this || !Holds(change.character)) return;
    if (result.is_void() || (result.is_number() && result.get_double() == 0.0)) return;
  }
  if (!SceneScriptHasFunction(scene, handler)) return;
  // The player stepping in interrupts what she was doing; anyone leaving does too.
  if (!change.entered || change.character == m_player) session->GetActionQueue().Abort();
  if (!*alive || session != GetSession() || session->GetStage() != this) return;
  session->CallSceneScript(scene, handler, args);
}

// ---- Picking and screen positions

base::tRectf cl_Stage::GetCharacterScreenRect(const cl_Character* character) const {
  if (!character || !m_scene) return base::tRectf(0.0f, 0.0f, 0.0f, 0.0f);
  float left = 30.0f, right = 30.0f, top = 160.0f, bottom = 0.0f;
  // Read in this order; the first missing one ends the reading, and a non-positive left keeps
  // the defaults of the others.
  if (character->GetPropertyFloat("boundary_left", left) && left > 0.0f &&
      character->GetPropertyFloat("boundary_right", right) && character->GetPropertyFloat("boundary_top", top))
    character->GetPropertyFloat("boundary_bottom", bottom);
  base::cl_Camera& camera = m_scene->GetCamera();
  camera.GetProjectionMatrix();
  const float s = m_scene->GetCharacterScale();
  const base::tVector3<float> camRight = camera.GetRightDir(), camUp = camera.GetUpDir();
  const base::tVector3<float> up = character->locator.GetUpDir();
  const base::tVector3<float>& p = character->GetPosition();
  base::tRectf rect;
  for (int i = 0; i < 8; ++i) {
    const float side = (i & 1) ? right : -left;
    const float height = (i & 2) ? top : bottom;
    const float depth = (i & 4) ? 30.0f : -15.0f;
    const base::tVector3<float> corner = p + camRight * (s * side) + up * (s * height) + camUp * (s * depth);
    const base::tVector3<float> screen = camera.World2Screen(corner);
    const base::tVector2<float> point(screen.x, screen.y);
    if (i == 0)
      rect = base::tRectf(point, point);
    else
      rect.extend(point);
  }
  return rect;
}

bool cl_Stage::PickAt(float x, float y, base::String& name) const {
  if (!m_scene) return false;
  const base::tVector2<float> at = m_scene->ScreenToScene(x, y);
  if (at.y < 0.0f || at.y > kReferenceHeight) return false;
  // A fully shown interface bar covers the picture, with a margin of 16 pixels above it.
  const cl_Session* session = GetSession();
  const cl_InterfaceBar* bar = session ? session->GetInterfaceBar() : nullptr;
  if (bar && bar->GetAlpha() == 1.0f && y + kBarCoverMargin > bar->m_AbsRect.top) return false;
  for (const cl_Character* character : m_characters) {
    if (character == m_player || character->IsIgnored() || !character->visible) continue;
    const base::tRectf r = GetCharacterScreenRect(character);
    if (r.min.x <= x && x < r.max.x && r.min.y <= y && y < r.max.y) {
      name = character->name;
      return true;
    }
  }
  if (const cl_SceneHotspot* hotspot = m_scene->PickHotspot(at.x, at.y)) {
    name = hotspot->label;
    return true;
  }
  return false;
}

void cl_Stage::UpdateScroll() {
  if (!m_player || !m_scene) return;
  if (m_scene->GetZoom() != 1.0f) {
    m_scene->SetScroll(m_scene->GetScrollTarget()[0], m_scene->GetScrollTarget()[1]);
    return;
  }
  const float range = m_scene->GetScrollRange().x;
  const float width = m_scene->GetWidth();
  const float x = m_scene->WorldToScreen(m_player->GetPosition()).x;
  const float a = (width - range) * 0.5f, b = (width + range) * 0.5f;
  // A scene no wider than the screen (or a point off the projection) does not scroll.
  float t = 0.0f;
  if (b > a && std::isfinite(x)) t = std::clamp((std::clamp(x, a, b) - a) / (b - a), 0.0f, 1.0f);
  const float eased = std::sin((t - 0.5f) * std::numbers::pi_v<float>) * 0.5f + 0.5f;
  m_scene->SetScroll(std::trunc(eased * std::max(range, 0.0f)), 0.0f);
}

base::tVector2<float> cl_Stage::GetOverheadScreenPos(const cl_Character* character) const {
  if (!character || !m_scene) return {};
  base::cl_Camera& camera = m_scene->GetCamera();
  camera.GetProjectionMatrix();
  base::tVector3<float> p = character->GetPosition();
  p.y += 190.0f * m_scene->GetCharacterScale();
  const base::tVector3<float> screen = camera.World2Screen(p);
  return {screen.x, screen.y};
}

bool cl_Stage::GetFaceScreenRect(const cl_Character* character, base::tRectf& face) const {
  base::tVector3<float> brow, lip;
  if (!character || !m_scene || !character->GetDrawnFace(brow, lip)) return false;
  base::cl_Camera& camera = m_scene->GetCamera();
  camera.GetProjectionMatrix();
  const base::tVector3<float> centre = (brow + lip) * 0.5f;
  const float reach = (brow - lip).length();
  const base::tVector3<float> across = camera.GetRightDir() * reach, up = camera.GetUpDir() * reach;
  for (int i = 0; i < 4; ++i) {
    const base::tVector3<float> corner =
        camera.World2Screen(centre + ((i & 1) ? across : -across) + ((i & 2) ? up : -up));
    const base::tVector2<float> point(corner.x, corner.y);
    if (i == 0)
      face = base::tRectf(point, point);
    else
      face.extend(point);
  }
  return std::isfinite(face.min.x) && std::isfinite(face.min.y) && std::isfinite(face.max.x) &&
         std::isfinite(face.max.y);
}

// ---- Scene load task

cl_SceneLoadTask::cl_SceneLoadTask(cl_Stage* stage, base::String sceneName)
    : m_sceneName(std::move(sceneName)), m_stage(stage) {}

void cl_SceneLoadTask::Run() {
  if (m_stage) m_stage->LoadScene(m_sceneName);
}

}  // namespace quillane
