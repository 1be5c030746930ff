// Screen, scene-image and world coordinates of the current scene; picking under the pointer;
// lights for a character at a point; layer, caption and debug drawing.
#include <algorithm>
#include <cmath>

#include "base/data/Variant.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/gfx.h"
#include "quillane/scene/Scene.h"
#include "quillane/screen/ScreenLayout.h"
#include "quillane/world/NavMesh.h"
#include "quillane/world/WorldServices.h"
#include "sound/Sfx.h"

namespace quillane {

namespace {

bool IsEditorActive() { return WorldServices().IsEditorActive && WorldServices().IsEditorActive(); }

}  // namespace

// ---- Transforms

float cl_Scene::GetEffectiveZoom() const { return GetGuiScale() * m_zoom; }

base::tVector2<float> cl_Scene::ScreenToScene(float x, float y) const {
  float x0, y0, x1, y1;
  m_camera.GetViewportRect(x0, y0, x1, y1);
  const float s = GetEffectiveZoom();
  return {(x - x0) / s + m_scroll[0], (y - y0) / s + m_scroll[1]};
}

base::tVector2<float> cl_Scene::SceneToScreen(float x, float y) const {
  float x0, y0, x1, y1;
  m_camera.GetViewportRect(x0, y0, x1, y1);
  const float s = GetEffectiveZoom();
  return {(x - m_scroll[0]) * s + x0, (y - m_scroll[1]) * s + y0};
}

base::tVector2<float> cl_Scene::WorldToScene(const base::tVector3<float>& p) {
  m_camera.GetProjectionMatrix();
  const base::tVector3<float> screen = m_camera.World2Screen(p);
  return ScreenToScene(screen.x, screen.y);
}

bool cl_Scene::ZoomToRect(float x0, float y0, float x1, float y1) {
  if (!(x1 - x0 > 0.0f) || !(y1 - y0 > 0.0f)) {
    base::sys::Output("Warning: scene %s: cannot zoom to the empty rectangle (%g,%g,%g,%g)\n", m_name.c_str(),
                      static_cast<double>(x0), static_cast<double>(y0), static_cast<double>(x1),
                      static_cast<double>(y1));
    return false;
  }
  m_zoom = std::min(1024.0f / (x1 - x0), 640.0f / (y1 - y0));
  m_scrollTarget[0] = (x0 + x1) * 0.5f - 512.0f / m_zoom;
  m_scrollTarget[1] = (y0 + y1) * 0.5f - 320.0f / m_zoom;
  if (m_scrollTarget[0] < 0.0f)
    m_scrollTarget[0] = 0.0f;
  else if (m_scrollTarget[0] > m_width - 1024.0f / m_zoom)
    m_scrollTarget[0] = m_width - 1024.0f / m_zoom;
  m_clock = 0.0f;
  return true;
}

base::tVector2<float> cl_Scene::GetScrollRange() const { return {m_width - 1024.0f, m_height - 640.0f}; }

void cl_Scene::UpdateViewFromCamera() {
  float x0, y0, x1, y1;
  m_camera.GetViewportRect(x0, y0, x1, y1);
  const float mx = (x0 + x1) * 0.5f, my = (y0 + y1) * 0.5f;
  const float s = GetEffectiveZoom();
  float cx, cy;
  if (m_zoom == 1.0f) {
    cx = mx + ((m_width - 1024.0f) * 0.5f - m_scroll[0]) * s;
    cy = my;
  } else {
    const float vx = m_scrollTarget[0] + 512.0f / m_zoom, vy = m_scrollTarget[1] + 320.0f / m_zoom;
    cx = mx + (m_width * 0.5f - vx) * s;
    cy = my + (m_height * 0.5f - vy) * s;
  }
  m_camera.SetViewportCenter(cx, cy);
  m_camera.SetZoom(m_zoom);
  gfx::SetCamera(&m_camera);
  const base::tVector3<float>& p = m_camera.GetPos();
  const base::tVector3<float> look = m_camera.GetLookDir(), up = m_camera.GetUpDir();
  sfx::SetListener(p.x, p.y, p.z, look.x, look.y, look.z, up.x, up.y, up.z);
}

// ---- Picking

bool cl_Scene::PickRay(float x, float y, base::tVector3<float>& out) {
  m_camera.GetProjectionMatrix();
  base::tVector3<float> origin, direction;
  m_camera.GetPickRay(base::tVector2<float>(x, y), origin, direction);
  if (!NavMeshes.empty() && NavMeshes.front()->PickRay(origin, direction, out)) return true;
  // The floor plane y = 0, only where the ray from the eye meets it in front of the camera (the
  // ray's origin lies on the near plane, which may already be below the floor).
  if (!(direction.y != 0.0f)) return false;
  const base::tVector3<float>& eye = m_camera.GetPos();
  const float t = -eye.y / direction.y;
  if (!std::isfinite(t) || t <= 0.0f) return false;
  const base::tVector3<float> hit = eye + direction * t;
  if (!std::isfinite(hit.x) || !std::isfinite(hit.z)) return false;
  out = base::tVector3<float>(hit.x, 0.0f, hit.z);
  return true;
}

bool cl_Scene::PickFloorPoint(float x, float y, base::tVector3<float>& out) {
  m_camera.GetProjectionMatrix();
  base::tVector3<float> origin, direction;
  m_camera.GetPickRay(base::tVector2<float>(x, y), origin, direction);
  if (!NavMeshes.empty()) {
    if (NavMeshes.front()->PickRay(origin, direction, out)) return true;
    if (NavMeshes.front()->PickScreen(x, y, m_camera, out)) return true;
  }
  return PickRay(x, y, out);
}

cl_SceneHotspot* cl_Scene::PickHotspot(float x, float y) {
  for (cl_SceneHotspot* hotspot : HotSpots) {
    if (!hotspot->outline.Contains(x, y)) continue;
    if (WorldServices().IsHotspotActive && !WorldServices().IsHotspotActive(hotspot->label.c_str())) continue;
    return hotspot;
  }
  return nullptr;
}

// ---- Lights

void cl_Scene::SetupLightsAt(const base::tVector3<float>& p) {
  gfx::DisableLighting();
  gfx::SetDiffuseCoefficient(m_exposure);
  if (Lights.empty()) {
    gfx::EnableLighting(0xFF3C3C3C);
    gfx::SetDirectionalLight(m_camera.GetLookDir(), 0xFFB4A0A0);
    return;
  }
  const base::tVector2<float> at = WorldToScene(p);
  const float u = m_width > 0.0f ? std::clamp(at.x / m_width, 0.0f, 1.0f) : 0.0f;
  const float v = m_height > 0.0f ? std::clamp(at.y / m_height, 0.0f, 1.0f) : 0.0f;
  for (const cl_SceneLight* light : Lights) {
    const uint32_t colour = light->SampleColour(std::isfinite(u) ? u : 0.0f, std::isfinite(v) ? v : 0.0f);
    switch (light->kind) {
      case LIGHT_AMBIENT: gfx::EnableLighting(colour); break;
      case LIGHT_DIRECTIONAL: gfx::SetDirectionalLight(light->vector, colour); break;
      case LIGHT_POINT: gfx::SetPointLight(light->vector, light->range, colour); break;
      default: break;  // the shadow kinds set no light
    }
  }
}

// ---- Drawing

void cl_Scene::RenderBackgroundLayers(float x0, float y0, float x1, float y1) {
  for (cl_HeavenLayer* layer : HeavenElements) layer->Render(x0, y0, x1, y1);
  for (cl_Layer* layer : BackgroundElements) layer->Render(x0, y0, x1, y1);
}

void cl_Scene::RenderForegroundLayers(float x0, float y0, float x1, float y1) {
  for (cl_Layer* layer : ForegroundElements) layer->Render(x0, y0, x1, y1);
}

void cl_Scene::RenderHotspotCaptions(bool allExcept, const char* label) {
  if (WorldServices().IsPlayerFree && !WorldServices().IsPlayerFree()) return;
  const base::Variant* debug = base::sys::GetConfig().get_element("Debug");
  int showDebug = 0;
  if (debug) debug->get_attribute_int("ShowDebugHotspots", showDebug);
  if (IsEditorActive() || showDebug == 1) {
    for (const cl_SceneHotspot* hotspot : HotSpots) hotspot->DrawDebug(*this);
    return;
  }
  if (allExcept && !SceneDisplay().showHotspots) return;
  gfx::cl_Font* previous = gfx::GetFont();
  if (gfx::cl_Font* tooltip = gfx::FontExists("tooltip")) gfx::SetFont(tooltip);
  const base::tString<base::BaseString> wanted(label);
  const base::Variant* table = WorldServices().GetHotspotTable ? WorldServices().GetHotspotTable() : nullptr;
  for (const cl_SceneHotspot* hotspot : HotSpots) {
    if ((hotspot->label == wanted) == allExcept) continue;
    if (WorldServices().IsHotspotActive && !WorldServices().IsHotspotActive(hotspot->label.c_str())) continue;
    const base::Variant* entry = nullptr;
    for (int i = 0; table && i < table->size(); ++i) {
      base::tString<base::BaseString> l;
      if ((*table)[i].get_attribute_string("label", l) && l == hotspot->label) {
        entry = &(*table)[i];
        break;
      }
    }
    base::tString<base::BaseString> type, displayName;
    if (!entry || !entry->get_attribute_string("type", type) || type != "game") continue;
    entry->get_attribute_string("display_name", displayName);
    base::tString<base::BaseUnicodeString> text;
    bool special = false;
    const float highlight = allExcept ? 0.0f : 1.0f;
    if (WorldServices().GetTooltipText && WorldServices().GetTooltipText(hotspot->label.c_str(), text, 0.0f, special))
      hotspot->DrawCaptionText(*this, text.c_str(), highlight, false);
    else
      hotspot->DrawCaption(*this, displayName.c_str(), highlight, false);
  }
  if (previous) gfx::SetFont(previous);
}

void cl_Scene::RenderDebug() {
  gfx::DisableLighting();
  gfx::EnableLighting(0xFF373737);
  gfx::SetDirectionalLight(m_camera.GetLookDir(), 0xFFC8C8C8);
  gfx::SetCamera(&m_camera);
  st_SceneDisplay& display = SceneDisplay();
  if (display.showLocators) {
    for (const cl_SceneLocator* locator : Locators) {
      if (!display.selectedLocator.empty() && locator->name != display.selectedLocator) continue;
      locator->DrawDebug();
      locator->DrawName(m_camera);
    }
  } else if (IsEditorActive()) {
    RenderHotspotCaptions(true, "");
  }
}

void cl_Scene::RenderEditorInfo(float x0, float y0, float x1, float y1) {
  m_camera.SetViewportRect(x0, y0, x1, y1);
  SceneDisplay().frameCounter = 0;
  RenderBackgroundLayers(x0, y0, x1, y1);
  for (cl_Layer* layer : StageElements) layer->Render(x0, y0, x1, y1);
  RenderForegroundLayers(x0, y0, x1, y1);
  UpdateViewFromCamera();
  if (SceneDisplay().showNavMesh)
    for (i_NavMesh* mesh : NavMeshes) mesh->RenderDebug();
  RenderDebug();
  float zNear, zFar;
  m_camera.GetClippingRange(zNear, zFar);
  base::tString<base::BaseString> text("Scene: ");
  text += m_name;
  gfx::DrawText(static_cast<int>(x0) + 10, static_cast<int>(y0) + 10, text.c_str(), 0xFFFFFFFF);
  text.clear();
  text.print("near_z: %.01f", static_cast<double>(zNear));
  gfx::DrawText(static_cast<int>(x0) + 10, static_cast<int>(y0) + 26, text.c_str(), 0xFFFFFFFF);
  text.clear();
  text.print("far_z:  %.01f", static_cast<double>(zFar));
  gfx::DrawText(static_cast<int>(x0) + 10, static_cast<int>(y0) + 42, text.c_str(), 0xFFFFFFFF);
}

}  // namespace quillane
