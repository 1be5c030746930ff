// The pile-grid tool: spans, the generated world and the mouse steering.
#include "quillane/editor/HeileWelt.h"

#include <algorithm>
#include <numbers>

#include "base/app/ICMD.h"
#include "base/app/KeyCode.h"
#include "base/math/Noise.h"
#include "base/math/Quaternion.h"
#include "base/math/Random.h"
#include "base/math/VectorTools.h"
#include "base/system.h"

namespace quillane {

namespace {

constexpr float kTick = 0.2f;
constexpr float kTurnPerPixel = 0.001f;
constexpr uint16_t kModifierCtrl = 2;
// The mouse position the locator's angles are measured from: the middle of the screen it was
// made for.
constexpr float kMouseCentreX = 640.0f, kMouseCentreY = 512.0f;

}  // namespace

// ---- piles

void cl_Pile::AddSpan(float from, float to, int32_t type) {
  dirty = true;
  int32_t above = 0;  // the material in effect at to
  for (auto it = spans.begin(); it != spans.end() && it->first <= to;) {
    above = it->second;
    it = it->first >= from ? spans.erase(it) : std::next(it);
  }
  spans[from] = type;
  spans[to] = above;
}

void cl_Pile::Reset() {
  spans.clear();
  dirty = true;
  const float h = base::NoiseGenerator::perlin(0.1f * static_cast<float>(x), 0.1f * static_cast<float>(y)) * 8.0f + 4.0f;
  if (h > 0.0f) AddSpan(0.0f, h + 1.0f, 1);
}

// ---- the world

cl_HeileWelt* cl_HeileWelt::Create() { return new cl_HeileWelt(); }

cl_HeileWelt::cl_HeileWelt() {
  Generate();
  m_camera.SetViewportRect(0.0f, 0.0f, static_cast<float>(base::sys::GetWindowWidth()),
                           static_cast<float>(base::sys::GetWindowHeight()));
  m_camera.SetClippingRange(100.0f, 2000.0f);
  m_pointer.x = base::sys::MouseX(), m_pointer.y = base::sys::MouseY();
  m_locators[2].SetPos(base::tVector3<float>(-200.0f, 50.0f, 100.0f));
  m_locators[2].LookAt(base::tVector3<float>(0.0f, 0.0f, 0.0f), base::tVector3<float>(0.0f, 1.0f, 0.0f));
}

void cl_HeileWelt::Generate() {
  st_PileWorld& w = m_world;
  w.scale = 2.0f;
  w.piles.resize(st_PileWorld::kSize, st_PileWorld::kSize);
  for (int y = 0; y < st_PileWorld::kSize; ++y)
    for (int x = 0; x < st_PileWorld::kSize; ++x) {
      cl_Pile& pile = w.piles.at(x, y);
      pile.owner = &w;
      pile.x = x;
      pile.y = y;
      pile.Reset();
    }
  for (base::Color32& colour : w.palette) {
    const int blue = base::Random(256), green = base::Random(256), red = base::Random(256);
    colour = base::Color32(static_cast<unsigned char>(red), static_cast<unsigned char>(green),
                           static_cast<unsigned char>(blue), 255);
  }
  w.palette[1] = base::Color32(200, 200, 200, 255);
  w.palette[2] = base::Color32(50, 50, 200, 255);
  w.piles.at(32, 32).AddSpan(6.0f, 30.0f, 2);
  w.tickTimer = 0.0f;
}

// ---- steering

void cl_HeileWelt::Update(float dt) {
  const float mouseX = static_cast<float>(base::sys::MouseX()), mouseY = static_cast<float>(base::sys::MouseY());
  m_yaw = (mouseX - kMouseCentreX) * std::numbers::pi_v<float> / kMouseCentreX;
  m_pitch = (mouseY - kMouseCentreY) * std::numbers::pi_v<float> / kMouseCentreY;
  if (base::sys::MouseButton(1)) m_roll = (mouseX - kMouseCentreX) * std::numbers::pi_v<float> / kMouseCentreX;
  base::Quaternion orientation;
  orientation.set_yaw_pitch_roll(m_yaw, m_pitch, m_roll);
  m_locators[1].SetOrientation(orientation);
  m_world.tickTimer -= dt;
  if (m_world.tickTimer < 0.0f) m_world.tickTimer += kTick;
}

bool cl_HeileWelt::ProcessInput(base::ICMD& cmd) {
  if (cmd.type == base::ICMD::KEY_PRESSED && cmd.key == base::key::Escape) {
    Close();
    return true;
  }
  const base::tVector2<float> way = m_pointer.Follow(cmd);
  if (cmd.type != base::ICMD::MOUSE_MOVE || !base::sys::MouseButton(0)) return false;
  const float dx = way.x, dy = way.y;
  if (cmd.modifiers & kModifierCtrl) {
    m_cameraDistance = std::clamp(m_cameraDistance - dy, kMinDistance, kMaxDistance);
  } else {
    m_cameraYaw += kTurnPerPixel * dx;
    m_cameraPitch += kTurnPerPixel * dy;
    base::WrapAngle(m_cameraYaw);
    base::WrapAngle(m_cameraPitch);
  }
  return true;
}

}  // namespace quillane
