// cl_TestRun: the scene editor's test walk. A stage of its own shows the edited scene with
// Quillane standing on its first nav mesh; a left click sends her walking to the floor point
// under the mouse, a right click stops her, E held shows the scene's exposure and E with Up or
// Down scales it by 1 % a frame. Escape ends the test, writing the project when E was held.
// While it runs the editor does not draw the scene. The stage never owns the scene and runs no
// script of a waiting game. Main thread only.
#pragma once

#include <string>

#include "base/gui/GUI.h"
#include "quillane/session/Stage.h"

namespace quillane {

class cl_TestRun : public base::cl_Panel {
 public:
  static constexpr const char* kLabel = "TestRun";
  static constexpr const char* kCharacterName = "Quillane";
  static constexpr const char* kActor = "Quillane_EveningDress";
  static constexpr const char* kWalkClip = "quillane_walk";

  // A new test run on the edited scene (not yet in a GUI); the caller has hidden opener and
  // makes the test run modal. Null, logged, with opener shown again, when there is no edited
  // scene, the scene has no nav mesh or the actor kActor is missing. opener is not owned.
  static cl_TestRun* Open(base::cl_Window* opener);
  // Gives the scene back to the editor (which draws it again) and deletes the character.
  ~cl_TestRun() override;

  // E with Up / Down scales the exposure and writes it on "Lights"; then the stage advances.
  void Update(float dt) override;
  // The stage in the editor viewport; the exposure while E is held.
  void Render(float x, float y) override;
  // Left press: walk (not consumed); right press: stop (not consumed); Escape: save and end.
  bool ProcessInput(base::ICMD& cmd) override;

  cl_Character* GetCharacter() const { return m_stage.GetPlayerCharacter(); }
  bool GetExposureTouched() const { return m_exposureTouched; }

 private:
  explicit cl_TestRun(base::cl_Window* opener);
  // The stage's scene while it is still the one the editor edits; null once the editor let go.
  cl_Scene* LiveScene() const;
  void End();

  base::cl_Window* m_opener;
  cl_Stage m_stage;
  std::string m_unread;  // the files the scene could not read, named over the walk
  bool m_exposureTouched = false;
  bool m_ended = false;
};

}  // namespace quillane
