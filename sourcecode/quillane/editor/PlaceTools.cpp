// The placement tools' shared pieces.
#include "quillane/editor/PlaceTools.h"

#include <string>

#include "base/data/Variant.h"
#include "base/gui/GUI.h"
#include "base/system.h"
#include "graphics/Camera.h"
#include "graphics/draw/Draw.h"
#include "graphics/gfx.h"
#include "graphics/model/Model.h"
#include "quillane/editor/Editor.h"

namespace quillane {

namespace {

constexpr uint32_t kGizmoAmbient = 0xFF373737u;  // (55, 55, 55)
constexpr uint32_t kGizmoLight = 0xFFC8C8C8u;    // (200, 200, 200)
constexpr uint32_t kWarningColour = 0xFFFF6040u;
// Under the warning: straight on the scene picture the orange could not be read over light or
// busy parts of it.
constexpr uint32_t kWarningBacking = 0xFF191919u;
constexpr float kWarningMargin = 4.0f;
constexpr uint32_t kKeyHelpColour = 0xFFA0A0A0u;
constexpr int kSceneInfoHeight = 64;  // the scene's name and clip lines at the viewport's top

}  // namespace

void EndPlacementTool(base::cl_Window* tool, base::cl_Window* listener) {
  tool->Close();
  if (listener) listener->Show(true);
}

base::tString<base::BaseString> EnteredLabel(const base::Variant& answer) {
  base::tString<base::BaseString> label;
  if (!answer.get_attribute_string("label", label)) label = "error";
  return label;
}

void BeginGizmoLighting(const base::cl_Camera& camera) {
  gfx::Begin3D();
  gfx::DisableLighting();
  gfx::EnableLighting(kGizmoAmbient);
  gfx::SetDirectionalLight(camera.GetLookDir(), kGizmoLight);
}

void DrawAxisGizmo(const base::Matrix4& world) {
  if (gfx::cl_Model* axis = gfx::ModelExists("axis")) gfx::DrawModel(axis, world);
}

void EndToolDrawing() {
  gfx::SetViewport(0, 0, -1, -1, 0.0f, 1.0f);
  gfx::Begin2D();
}

void DrawKeyHelp(int x, int y, const char* keys) { gfx::DrawText(x, y, keys, kKeyHelpColour); }

void DrawToolWarning(const char* text) {
  const float y = GetEditorViewportRect().min.y + kSceneInfoHeight;
  const std::string shown =
      gfx::ShortenText(text, static_cast<float>(base::sys::GetWindowWidth()) - 2.0f * kWarningMargin);
  const base::tVector2<float> size = gfx::GetTextSize(shown.c_str());
  gfx::FillRect(0.0f, y - kWarningMargin, size.x + 2.0f * kWarningMargin, y + size.y + kWarningMargin, kWarningBacking);
  gfx::DrawText(static_cast<int>(kWarningMargin), static_cast<int>(y), shown.c_str(), kWarningColour);
}

void DrawMissedPick() {
  DrawToolWarning("No floor under the pointer: the scene needs a nav mesh (its camera) to place on");
}

}  // namespace quillane
