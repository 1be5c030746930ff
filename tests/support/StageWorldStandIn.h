// A stage world whose answers a test sets: the characters it holds (the gaze targets), the
// obstacle circles, the floor under a point, the radius and the timer script.
#pragma once

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "quillane/character/GazeCtrl.h"
#include "quillane/world/StageWorld.h"

namespace testsupport {

class cl_StageWorldStandIn final : public quillane::i_StageWorld {
 public:
  using tPoint = base::tVector3<float>;

  void CollectObstacles(std::vector<tPoint>& out, const char* walker) const override {
    for (const auto& [owner, circle] : obstacles)
      if (!walker || owner != walker) out.push_back(circle);
  }
  float GetAvoidanceRadius() const override { return radius; }
  void GetStageCharacters(std::vector<quillane::i_FaceOwner*>& out) const override {
    out.insert(out.end(), characters.begin(), characters.end());
  }
  quillane::i_FaceOwner* GetCharacter(const char* name) const override {
    for (quillane::i_FaceOwner* c : characters)
      if (name && std::strcmp(c->GetName(), name) == 0) return c;
    return nullptr;
  }
  quillane::i_NavMesh* FindNavMeshAt(const tPoint& p) const override { return floor ? floor(p) : nullptr; }
  quillane::en_TimerCall CallCharacterTimer(const char* character, float& delay) const override {
    return timer && timer(character, delay) ? quillane::en_TimerCall::DONE : quillane::en_TimerCall::NONE;
  }

  std::vector<std::pair<std::string, tPoint>> obstacles;  // (whose, circle (x, z, radius))
  std::vector<quillane::i_FaceOwner*> characters;
  std::function<quillane::i_NavMesh*(const tPoint&)> floor;
  std::function<bool(const char*, float&)> timer;  // none: no timer script
  float radius = kDefaultAvoidanceRadius;
};

}  // namespace testsupport
