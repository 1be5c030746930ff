// The "RootMenu" state until the game's menus exist: a cleared screen with the game's title, so
// the start-up road ends somewhere visible. Logs once that it stands in.
#pragma once

#include <cstdint>

#include "base/app/Module.h"

class cl_RootMenuStandIn : public base::cl_Module {
 public:
  static constexpr uint32_t kBackground = 0xFF101A2Cu;

  void Update(float time, float dt) override;
  void Render() override;

 private:
  bool m_logged = false;
};
