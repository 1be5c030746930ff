// Drawing of single locators and hotspots for the scene's captions and debug views.
#include <string>

#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "graphics/gfx.h"
#include "graphics/model/Model.h"
#include "quillane/scene/Scene.h"
#include "quillane/scene/SceneRecord.h"

namespace quillane {

namespace {

constexpr uint32_t kDebugOutline = 0xFFC89696;  // (200, 150, 150)
constexpr float kMaxNameWidth = 240.0f;         // a name typed long would reach across the whole view

// Centred text with a dark outline; as a framed box when bubble is set.
void DrawCentredText(float x, float y, const char16_t* text, uint32_t colour, uint32_t outline, bool bubble) {
  const base::tVector2<float> size = gfx::GetTextSizeW(text);
  const float left = x - size.x * 0.5f, top = y - size.y * 0.5f;
  if (bubble) gfx::FillRect(left - 6.0f, top - 4.0f, left + size.x + 6.0f, top + size.y + 4.0f, 0xC0191919);
  gfx::DrawTextOutlinedW(TruncToInt(left), TruncToInt(top), text, colour, outline);
}

}  // namespace

void cl_SceneLocator::DrawName(const base::cl_Camera& camera) const {
  const base::tVector3<float> p = camera.World2Screen(locator.GetPos());
  const std::string shown = gfx::ShortenText(name.c_str(), kMaxNameWidth);
  const float x = p.x - gfx::GetTextWidth(shown.c_str()) * 0.5f;
  gfx::DrawText(TruncToInt(x + 1.0f), TruncToInt(p.y + 1.0f), shown.c_str(), 0xFF000000);
  gfx::DrawText(TruncToInt(x), TruncToInt(p.y), shown.c_str(), 0xFFFFFFFF);
}

void cl_SceneLocator::DrawDebug() const {
  const int n = areaPolygon.size();
  if (n >= 3) {
    gfx::SetWorldMatrix(base::Matrix4());
    auto at = [&](int i) { return base::tVector3<float>(areaPolygon.points[i].x, 0.0f, areaPolygon.points[i].y); };
    for (int i = 2; i < n; ++i) gfx::DrawTriangle3D(at(0), at(i - 1), at(i), 0xFF0000C8);
    for (int i = 1; i < n; ++i) gfx::DrawLine3D(at(i - 1), at(i), 0xFF9696C8);
  }
  if (gfx::cl_Model* axis = gfx::ModelExists("axis")) gfx::DrawModel(axis, locator.GetOrientationMatrix());
}

void cl_SceneHotspot::DrawCaption(const cl_Scene& scene, const char* textKey, float highlight, bool bubble) const {
  base::tString<base::BaseUnicodeString> text;
  base::sys::Localize(textKey ? textKey : "", text);
  DrawCaptionText(scene, text.c_str(), highlight, bubble);
}

void cl_SceneHotspot::DrawCaptionText(const cl_Scene& scene, const char16_t* text, float highlight,
                                      bool bubble) const {
  if (outline.points.empty()) return;
  float x = 0.0f, y = 0.0f;
  for (const auto& p : outline.points) {
    const base::tVector2<float> s = scene.SceneToScreen(p.x, p.y);
    x += s.x, y += s.y;
  }
  const float n = static_cast<float>(outline.points.size());
  const uint32_t colour = highlight > 0.0f ? 0xFFFFFFFF : 0xFFB4B4B4;
  DrawCentredText(x / n + labelOffset[0], y / n + labelOffset[1], text, colour, 0xFF191919, bubble);
}

void cl_SceneHotspot::DrawDebug(const cl_Scene& scene) const {
  if (!SceneDisplay().showHotspots && (g_SelectedElementLabel.empty() || label != g_SelectedElementLabel)) return;
  const int n = outline.size();
  if (n == 0) return;
  float mx = 0.0f, my = 0.0f;
  for (int i = 0; i < n; ++i) {
    const base::tVector2<float> a = scene.SceneToScreen(outline.points[i].x, outline.points[i].y);
    const base::tVector2<float> b = scene.SceneToScreen(outline.points[(i + 1) % n].x, outline.points[(i + 1) % n].y);
    gfx::FillRect(a.x - 2.0f, a.y - 2.0f, a.x + 2.0f, a.y + 2.0f, kDebugOutline);
    gfx::DrawLine(a.x, a.y, b.x, b.y, kDebugOutline);
    mx += a.x, my += a.y;
  }
  mx /= static_cast<float>(n), my /= static_cast<float>(n);
  const std::string shown = gfx::ShortenText(label.c_str(), kMaxNameWidth);
  const float x = mx - gfx::GetTextWidth(shown.c_str()) * 0.5f + labelOffset[0];
  gfx::DrawText(TruncToInt(x), TruncToInt(my - 8.0f + labelOffset[1]), shown.c_str(), kDebugOutline);
}

}  // namespace quillane
