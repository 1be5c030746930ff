// A game in a small office for the input tests: the demo Office's picture, hotspots and camera,
// a scene script whose triggers report and wait, a cast list and hotspot table naming Odo and the
// shelf, and two characters adopted onto the stage (Quillane as the player, Odo) that stand
// still, so a walk or a stop shows in their movement state. Input goes through the module tree.
#pragma once

#include <string>

#include "base/app/ICMD.h"
#include "base/math/Vector.h"
#include "quillane/character/Character.h"
#include "session_fixture.h"

namespace quillane {
class cl_Stage;
}

namespace sessiontest {

// A character that does not move by itself: its walk state stays as the input left it.
class cl_StandingCharacter : public quillane::cl_Character {
 public:
  cl_StandingCharacter(const char* characterName, float x, float z);
  void Update(float) override {}
};

class SessionInputTest : public SessionTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  void Key(uint8_t key);                    // a key press through the module tree
  void Press(int type, base::tVector2<float> at);  // a mouse command at a window point
  void MoveMouse(base::tVector2<float> at);
  // Frames until the double-click time of the last press is over and its single click came.
  void Settle();
  base::tVector2<float> HotspotPoint(const char* label) const;  // the hotspot's mean point
  base::tVector2<float> CharacterPoint(const char* name) const;  // the middle of its rectangle
  base::tVector2<float> FloorPoint(float x, float z) const;      // where the camera shows it
  // Runs "OnTrigger_<name>" as a click would start it, the sequence cancellable and skippable.
  void StartTrigger(const char* name);
  void AllowSkipAndCancel();  // the running sequence may be skipped and cancelled

  std::string m_extraConfig;  // more of the configuration, set before SetUp
  quillane::cl_Session* m_session = nullptr;
  quillane::cl_Stage* m_stage = nullptr;
  cl_StandingCharacter* m_player = nullptr;
  cl_StandingCharacter* m_odo = nullptr;
  bool m_keysEnabled = false;  // Debug_KeysEnabled before the test
};

}  // namespace sessiontest
