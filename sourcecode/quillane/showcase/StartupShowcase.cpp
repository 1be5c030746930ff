#include "quillane/showcase/StartupShowcase.h"

#include "base/app/ICMD.h"
#include "base/data/Variant.h"
#include "base/system.h"
#include "graphics/Texture.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/gfx.h"
#include "graphics/video/VideoFunctions.h"
#include "graphics/image/Image.h"
#include "graphics/image/TextureStrip.h"
#include "quillane/showcase/ShowcaseSound.h"

namespace {

constexpr float kTurnSpeed = 0.25f;    // radians per second
constexpr float kStartAngle = 0.35f;   // turned from the first frame on (0 would show it mirrored)
constexpr uint32_t kLogoTint = 0xF0FFE6C0u;
constexpr const char* kIntroMovie = "movie/intro.bik";

bool IntroMoviesWanted() {
  const base::Variant* devTools = base::sys::GetConfig().get_element("DevTools");
  int show = 0;
  return devTools && devTools->get_attribute_int("ShowIntroMovies", show) && show == 1;
}

constexpr float kPanoramaScale = 0.5f;
constexpr uint32_t kPanelColour = 0xA0101828u;
constexpr uint32_t kTextColour = 0xFFF4E6B8u;

// The showcase's resources, looked up by label; null when the demo data lacks them.
gfx::cl_TextureStrip* Lantern() { return base::tResourceType<gfx::cl_TextureStrip>::Get("lantern"); }

}  // namespace

cl_StartupShowcase::cl_StartupShowcase(uint32_t clearColour) : m_clearColour(clearColour), m_angle(kStartAngle) {
  SetName("StartupShowcase");
  AddModule(new cl_ShowcaseSound());
}

void cl_StartupShowcase::Update(float time, float dt) {
  if (!IsActive()) return;
  m_angle += dt * kTurnSpeed;
  if (!m_introChecked) {
    m_introChecked = true;
    if (IntroMoviesWanted() && gfx::PlayVideoFullscreen(kIntroMovie, 1.0f) < 0.0f)
      base::sys::Output("Warning: the intro movie %s does not play (run demogen for the demo data)\n", kIntroMovie);
  }
  if (gfx::cl_TextureStrip* lantern = Lantern()) lantern->Update(dt);
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
  RenderMedia();
  cl_Module::Render();
}

bool cl_StartupShowcase::ProcessInput(base::ICMD& cmd) {
  if (cmd.type == base::ICMD::KEY_PRESSED && gfx::IsVideoPlaying()) {
    gfx::StopVideo();
    return true;
  }
  return cl_Module::ProcessInput(cmd);
}

void cl_StartupShowcase::RenderMedia() {
  const float width = static_cast<float>(base::sys::GetWindowWidth());
  const float height = static_cast<float>(base::sys::GetWindowHeight());
  if (gfx::cl_Image* panorama = gfx::ImageExists("title_wide")) {
    gfx::SetBlendNone();
    gfx::SetFilterLinear();
    gfx::DrawImage(panorama, 0.0f, height - panorama->GetHeight() * kPanoramaScale, kPanoramaScale);
  }
  if (gfx::cl_TextureStrip* lantern = Lantern()) lantern->Draw(width * 0.06f, height * 0.08f, 1.0f);
  // A text box in each TrueType font and a line of the glyph-sheet font, on a dark panel.
  const float panelX = width * 0.58f, panelY = height * 0.06f, panelW = width * 0.38f;
  gfx::FillRect(panelX, panelY, panelX + panelW, panelY + 150.0f, kPanelColour);
  gfx::DrawRect(static_cast<int>(panelX), static_cast<int>(panelY), static_cast<int>(panelX + panelW),
                static_cast<int>(panelY + 150.0f), kTextColour);
  if (gfx::cl_Font* game = gfx::FontExists("game")) {
    gfx::SetFont(game);
    gfx::DrawTextBoxW(panelX + 10.0f, panelY + 8.0f, panelW - 20.0f, 60.0f, u"The Night Ferry", kTextColour);
  }
  if (gfx::cl_Font* system = gfx::FontExists("system")) {
    gfx::SetFont(system);
    gfx::DrawTextBoxW(panelX + 10.0f, panelY + 44.0f, panelW - 20.0f, 60.0f,
                      u"The last boat leaves at midnight. Someone on the quay knows why it never arrives.",
                      0xFFFFFFFFu);
  }
  if (gfx::cl_Font* score = gfx::FontExists("score")) {
    gfx::SetFont(score);
    gfx::DrawText(static_cast<int>(panelX + 10.0f), static_cast<int>(panelY + 112.0f), "Score: 1250", 0xFFFFFFFFu);
  }
  // The system font stays current for whatever draws after the showcase.
  if (gfx::cl_Font* system = gfx::FontExists("system")) gfx::SetFont(system);
  if (gfx::cl_Texture* cursor = gfx::TextureExists("gamecursor")) {
    // The middle of the screen until the mouse has moved, then the mouse.
    const bool moved = base::sys::MouseX() > 0 || base::sys::MouseY() > 0;
    const base::tVector2<float> position = moved ? base::tVector2<float>(static_cast<float>(base::sys::MouseX()),
                                                                         static_cast<float>(base::sys::MouseY()))
                                                 : base::tVector2<float>(width * 0.5f, height * 0.5f);
    gfx::SetCursor(&position, cursor);
  }
}
