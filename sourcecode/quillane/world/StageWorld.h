// i_StageWorld: what a character asks of the stage it stands on: the others to walk around, the
// faces its gaze may meet, the floor under a point and its timer script. Each stage answers for
// its own characters and hands itself to the characters it makes, so a stage shown beside
// another (the editor's test walk over a waiting game, the dance) never sees the other's people
// nor runs the other's scripts. Main thread only.
#pragma once

#include <vector>

#include "base/math/Vector.h"

namespace quillane {

class i_FaceOwner;
class i_NavMesh;

// What asking for a character's timer script came to.
enum class en_TimerCall {
  NONE,     // no timer script for the character (here)
  DONE,     // the script ended; its result is the delay
  RUNNING,  // the script waits (it speaks a line, say) as a thread of its own; ask again later
};

class i_StageWorld {
 public:
  static constexpr float kDefaultAvoidanceRadius = 40.0f;

  virtual ~i_StageWorld() = default;

  // Appends one floor circle (x, z, radius) per character of this stage other than walker that
  // others avoid.
  virtual void CollectObstacles(std::vector<base::tVector3<float>>& obstacles, const char* walker) const = 0;
  virtual float GetAvoidanceRadius() const = 0;  // the stage's obstacle radius
  // The stage's characters in list order, and the first of a name (null when none).
  virtual void GetStageCharacters(std::vector<i_FaceOwner*>& characters) const = 0;
  virtual i_FaceOwner* GetCharacter(const char* name) const = 0;
  // The first nav mesh of the stage's scene holding position; null when none.
  virtual i_NavMesh* FindNavMeshAt(const base::tVector3<float>& position) const = 0;
  // Calls "CharacterTimer" of the character's dialog script: NONE when this stage runs none for
  // it (it is not the game's), DONE with the script's result in delay, or RUNNING while the call
  // waits. Asked again while it runs, the script is not called again: RUNNING until it has
  // ended, then DONE with its result.
  virtual en_TimerCall CallCharacterTimer(const char* character, float& delay) const = 0;
};

}  // namespace quillane
