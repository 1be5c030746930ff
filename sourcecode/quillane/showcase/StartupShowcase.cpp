#include "quillane/showcase/StartupShowcase.h"

#include "base/system.h"
#include "graphics/Texture.h"
#include "graphics/gfx.h"

namespace {

constexpr float kTurnSpeed = 0.25f;    // radians per second
constexpr float kStartAngle = 0.35f;   // turned from the first frame on (0 would show it mirrored)
constexpr uint32_t kLogoTint = 0xF0FFE6C0u;

}  // namespace

cl_StartupShowcase::cl_StartupShowcase(uint32_t clearColour) : m_clearColour(clearColour), m_angle(kStartAngle) {
  SetName("StartupShowcase");
}

void cl_StartupShowcase::Update(float time, float dt) {
  if (!IsActive()) return;
  m_angle += dt * kTurnSpeed;
  cl_Module::Update(time, dt);
}

void cl_StartupShowcase::Render() {
  if (!IsActive()) return;
  gfx::ClearScreen(m_clearColour);
  gfx::Begin2D();
  gfx::cl_Texture* background = gfx::TextureExists("title_background");
  gfx::cl_Texture* logo = gfx::TextureExists("logo");
  if ((!background || !logo) && !m_warned) {
    base::sys::Output("Warning: start-up picture without %s (run demogen for the demo data)\n",
                      background ? "\"logo\"" : "\"title_background\"");
    m_warned = true;
  }
  gfx::SetFilterLinear();
  if (background) {
    gfx::SetBlendNone();
    background->Draw(0.0f, 0.0f, 1.0f);
  }
  if (logo && logo->Load()) {
    const float width = static_cast<float>(base::sys::GetWindowWidth());
    const float height = static_cast<float>(base::sys::GetWindowHeight());
    gfx::SetTextureTinted(logo, kLogoTint);
    // DrawRotated takes the unturned top-left corner; the pivot (the logo's centre) goes to a
    // point a little above the middle of the screen.
    logo->DrawRotated(width * 0.5f - logo->GetCenterX(), height * 0.42f - logo->GetCenterY(), m_angle, 1.0f);
  }
  cl_Module::Render();
}
