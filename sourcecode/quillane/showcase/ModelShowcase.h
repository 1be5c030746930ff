// The models on the start-up screen: the female figure drawn skinned, playing its "idle" clip
// under a directional and a point light, beside the editors' static "axis" model and in front of
// the quay's pier. What is missing (no demo data) is left out with one warning.
#pragma once

#include "base/app/Module.h"

class cl_ModelShowcase final : public base::cl_Module {
 public:
  cl_ModelShowcase();
  void Update(float time, float dt) override;  // advances the clip
  void Render() override;                      // the three models, then the children

 private:
  float m_clipTime = 0.0f;
  bool m_editorResources = false;  // editor/editor_resources.xml read (once)
  bool m_warned = false;
};
