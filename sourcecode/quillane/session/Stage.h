// The stage: what is on show in the current scene, the scene itself and the characters placed in
// it, with the player character among them. Per frame it advances scene and characters and turns
// their moves into trigger-zone script calls; it draws the scene with its characters depth-sorted
// against the stage layers; it answers what lies under a screen point; it writes and reads its
// block of a savegame. It is the world its characters ask (i_StageWorld): their obstacles and
// gaze targets are its own characters, their floor its scene. The session makes a new stage for
// every scene. Main thread only.
#pragma once

#include <functional>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/String.h"
#include "base/math/Limit.h"
#include "base/math/Vector.h"
#include "base/TaskScheduler.h"
#include "quillane/character/Character.h"
#include "quillane/world/StageWorld.h"

namespace base {
class File;
}

namespace quillane {

class cl_Scene;

class cl_Stage final : public i_StageWorld {
 public:
  cl_Stage();
  ~cl_Stage();  // ReleaseSceneData
  cl_Stage(const cl_Stage&) = delete;
  cl_Stage& operator=(const cl_Stage&) = delete;

  // Replaces the scene with the named one: its compiled file, else its project description.
  void LoadScene(const base::String& name);
  void ReleaseSceneData();  // deletes the scene and every character

  // A new character bound to the actor, the scene's first nav mesh and this stage; null
  // (logged) for an unknown actor.
  cl_Character* CreateCharacter(const base::String& name, const base::String& actorName);
  // Appends a character made elsewhere (the editors, tests); the stage owns it from now on, and
  // it asks this stage.
  void AdoptCharacter(cl_Character* character);
  cl_Character* GetCharacter(const char* name) const override;  // first of that name; null when none
  // Deletes the first character of that name; the player pointer, attachment targets and its
  // action are cleared so nothing is left dangling.
  void RemoveCharacter(const char* name);
  // One floor circle (x, z, avoidance range) per avoiding character other than name.
  void CollectObstacles(std::vector<base::tVector3<float>>& obstacles, const char* name) const override;
  float GetAvoidanceRadius() const override { return m_avoidanceRange; }
  void GetStageCharacters(std::vector<i_FaceOwner*>& characters) const override;
  // The scene's first nav mesh holding position; null without a scene.
  i_NavMesh* FindNavMeshAt(const base::tVector3<float>& position) const override;
  // The session's answer on the session's stage; none on another (the editor's test walk). A
  // call that waits is kept until it has ended.
  en_TimerCall CallCharacterTimer(const char* character, float& delay) const override;
  void BindCharactersToScene();  // after a load: nav mesh, scale and placement again
  void PrepareCharacters();      // "PrepareCharacter" of every character's dialogue script

  void Update(float dt);  // scene, characters, zone triggers
  void Render(const base::tRectf& screenRect);
  bool PickAt(float x, float y, base::String& name) const;
  base::tRectf GetCharacterScreenRect(const cl_Character* character) const;
  void ShowTooltip(bool all, const base::String& hoveredName) const;
  void UpdateScroll();  // the scene's scroll offset from the player's position
  // Screen point 190 scene units (times the scene scale) above the character.
  base::tVector2<float> GetOverheadScreenPos(const cl_Character* character) const;
  // The character's face as this frame drew it, on the screen: centred between brows and lower
  // lip, twice their distance tall and as wide (forehead, chin and cheeks). False when the frame
  // drew none of it (hidden, without face bones, before the stage's first drawing).
  bool GetFaceScreenRect(const cl_Character* character, base::tRectf& face) const;
  base::tVector3<float> GetNavMeshCenter(base::tVector3<float>& out) const;

  // The savegame block: the scene name, then what ReadState reads.
  bool WriteState(base::File& file) const;
  // The block after the scene name (which the session reads first to load the scene). Every
  // count and length is checked against the bytes left; a damaged block is reported in one line
  // with its offset, the characters it made are removed again and false is returned. A block
  // read whole makes the stage the savegame's (IsRestoring) until the session's restore is done.
  bool ReadState(base::File& file);
  // While a savegame is restored the stage holds exactly its characters: the scene script's
  // "PrepareScene" then places no one (AddCharacter leaves the stage as it is).
  bool IsRestoring() const { return m_restoring; }
  void SetRestoring(bool restoring) { m_restoring = restoring; }
  // The block's first item; false (reported) when the length does not fit the file.
  static bool ReadSceneName(base::File& file, base::String& name);

  // Attachment targets: the character an attachment record of a stage character names, once
  // resolved (ReadState and AttachObject resolve them); null when unresolved or removed.
  cl_Character* GetAttachmentTarget(const cl_Character::st_Attachment& attachment) const;
  void ResolveAttachmentTargets();

  cl_Scene* GetScene() const { return m_scene; }
  // Shows a scene the caller keeps (the editor's test run): it must be taken back with
  // SetScene(nullptr) before the stage is released, which would delete it. A stage that is not
  // the session's runs no zone handlers, so a waiting game's scene script is never called.
  void SetScene(cl_Scene* scene) { m_scene = scene; }
  const std::list<cl_Character*>& GetCharacters() const { return m_characters; }
  cl_Character* GetPlayerCharacter() const { return m_player; }
  void SetPlayerCharacter(cl_Character* character) { m_player = character; }
  float GetAvoidanceRange() const { return m_avoidanceRange; }
  void SetAvoidanceRange(float range) { m_avoidanceRange = range; }
  void SetBlur(bool on) { m_blur = on; }

 private:
  // A zone crossing seen during the character walk, dispatched after it.
  struct st_ZoneChange {
    cl_Character* character;  // compared only: it may be gone by dispatch time
    base::String characterName;
    base::String zone;
    bool entered;
  };
  void CollectZoneChanges(cl_Character* character, const std::vector<base::String>& before,
                          const std::vector<base::String>& after, std::vector<st_ZoneChange>& out) const;
  void ZonesAt(const cl_Character* character, std::vector<base::String>& out) const;
  // Runs the check and zone handlers of one crossing against the session's scene script.
  void DispatchZoneChange(const st_ZoneChange& change);
  bool Holds(const cl_Character* character) const;  // pointer comparison only
  void ForgetCharacter(cl_Character* character);    // clears every pointer to it

  cl_Scene* m_scene = nullptr;
  std::list<cl_Character*> m_characters;
  // Zone handlers may free this stage (a transit): the walk keeps a copy and tests it after
  // every handler. False from destruction on.
  std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
  std::map<const cl_Character::st_Attachment*, cl_Character*> m_attachmentTargets;
  cl_Character* m_player = nullptr;
  float m_avoidanceRange = 100.0f;
  bool m_blur = false;
  bool m_restoring = false;
  // The timer calls of this stage's characters that wait, by name, with what tells each one's end
  // (kept by the answer to the characters, which asks and changes nothing else).
  mutable std::map<std::string, std::function<bool(float&)>, std::less<>> m_runningTimers;
};

// Loads the stage's scene while the loading screen runs.
class cl_SceneLoadTask : public base::i_Task {
 public:
  cl_SceneLoadTask(cl_Stage* stage, base::String sceneName);
  void Run() override;  // LoadScene on the stage

 private:
  base::String m_sceneName;
  cl_Stage* m_stage;  // not owned
};

}  // namespace quillane
