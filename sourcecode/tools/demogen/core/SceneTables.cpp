#include "core/SceneTables.h"

#include <algorithm>
#include <cstring>

namespace demogen {

std::vector<const st_SceneSolid*> st_DemoScene::Part(const char* part) const {
  std::vector<const st_SceneSolid*> found;
  for (const st_SceneSolid& s : solids)
    if (std::strcmp(s.part, part) == 0) found.push_back(&s);
  return found;
}

bool st_DemoScene::PartBounds(const char* part, tV3& lo, tV3& hi) const {
  const std::vector<const st_SceneSolid*> found = Part(part);
  if (found.empty()) return false;
  lo = found.front()->lo, hi = found.front()->hi;
  for (const st_SceneSolid* s : found) {
    lo = tV3(std::min(lo.x, s->lo.x), std::min(lo.y, s->lo.y), std::min(lo.z, s->lo.z));
    hi = tV3(std::max(hi.x, s->hi.x), std::max(hi.y, s->hi.y), std::max(hi.z, s->hi.z));
  }
  return true;
}

const st_SceneLocator* st_DemoScene::Locator(const char* label) const {
  for (const st_SceneLocator& l : locators)
    if (std::strcmp(l.label, label) == 0) return &l;
  return nullptr;
}

void AddWall(std::vector<st_SceneSolid>& solids, const char* part, float x0, float x1, float z0, float z1, float height,
             const std::vector<st_Opening>& openings, en_Material material, uint32_t colour) {
  std::vector<float> xs = {x0, x1};
  for (const st_Opening& o : openings) xs.push_back(o.x0), xs.push_back(o.x1);
  std::sort(xs.begin(), xs.end());
  xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
  for (size_t i = 0; i + 1 < xs.size(); ++i) {
    const float a = xs[i], b = xs[i + 1];
    if (a < x0 || b > x1) continue;
    // The openings over this strip cut it into boxes between them.
    std::vector<std::pair<float, float>> cuts;
    for (const st_Opening& o : openings)
      if (o.x0 <= a && o.x1 >= b) cuts.push_back({o.y0, o.y1});
    std::sort(cuts.begin(), cuts.end());
    float y = 0.0f;
    for (const auto& [c0, c1] : cuts) {
      if (c0 > y) solids.push_back(Box(part, {a, y, z0}, {b, c0, z1}, material, colour));
      y = std::max(y, c1);
    }
    if (y < height) solids.push_back(Box(part, {a, y, z0}, {b, height, z1}, material, colour));
  }
}

const std::vector<st_DemoScene>& DemoScenes() {
  static const std::vector<st_DemoScene> scenes = {MakeOfficeScene(), MakeQuayScene(), MakeStageScene()};
  return scenes;
}

float LocatorYaw(const st_SceneLocator& locator) {
  const tV2 d = (locator.facing - locator.at).normal();
  if (d.sqr_length() == 0.0f) return 0.0f;
  // Of the two mirror readings of the angle, the one whose look direction the engine agrees with.
  float best = 0.0f, bestDot = -2.0f;
  for (const float yaw : {std::atan2(-d.x, -d.y), std::atan2(d.x, -d.y)}) {
    base::cl_Locator probe;
    base::Quaternion q;
    q.set_yaw_pitch_roll(tV3(yaw, 0.0f, 0.0f));
    probe.SetOrientation(q);
    const tV3 look = probe.GetLookDir();
    const float dot = tV2(look.x, look.z).normal().dot(d);
    if (dot > bestDot) best = yaw, bestDot = dot;
  }
  return best;
}

}  // namespace demogen
