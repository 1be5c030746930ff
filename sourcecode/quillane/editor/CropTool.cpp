// The crop tool: the rectangle's arithmetic, its drawing and its hand-off.
#include "quillane/editor/CropTool.h"

#include <algorithm>
#include <utility>

#include "base/app/ICMD.h"
#include "base/app/KeyCode.h"
#include "base/resource/MultiFileFormatLoader.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "graphics/gfx.h"
#include "quillane/editor/Editor.h"
#include "quillane/editor/PlaceTools.h"
#include "quillane/scene/Scene.h"

namespace quillane {

namespace {

constexpr uint32_t kCropColour = 0x40FF0000u;  // red at 64 / 255
constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kGrey = 0xFFAAAAAAu;

// Left / Up: from the full size down to a power of two, then halves; never below 1.
int Smaller(int size, int full) {
  return size == full ? cl_CropTool::LargestPowerOfTwoBelow(full) : std::max(size / 2, 1);
}
// Right / Down: doubles, capped at the full size and at kMaxSize.
int Larger(int size, int full) { return 2 * size >= full ? full : std::min(2 * size, cl_CropTool::kMaxSize); }

}  // namespace

int cl_CropTool::LargestPowerOfTwoBelow(int n) {
  int p = 1;
  while (p * 2 < n) p *= 2;
  return p;
}

cl_CropTool* cl_CropTool::Create(base::cl_Window* listener, base::Variant answer) {
  return new cl_CropTool(listener, std::move(answer));
}

cl_CropTool::cl_CropTool(base::cl_Window* listener, base::Variant answer)
    : m_answer(std::move(answer)), m_listener(listener) {
  cl_Scene* scene = cl_Editor::GetEditedScene();
  m_useBackgroundPixels = scene && scene->GetFirstBackgroundLayerImage() != nullptr;
  if (!m_answer.is_element()) m_answer.set_element("AddElement");
  if (m_answer.size() < 1 || !m_answer[0].is_element()) m_answer.add_element("Layer");
  const base::Variant& layer = m_answer[0];
  layer.get_attribute_float("x", m_cropX);
  layer.get_attribute_float("y", m_cropY);
  layer.get_attribute_int("w", m_cropW);
  layer.get_attribute_int("h", m_cropH);
  m_fullW = m_cropW, m_fullH = m_cropH;
  const bool sceneSized = scene && scene->GetWidth() != 0.0f && scene->GetHeight() != 0.0f;
  m_limitW = sceneSized ? scene->GetWidth() : static_cast<float>(m_fullW);
  m_limitH = sceneSized ? scene->GetHeight() : static_cast<float>(m_fullH);
  base::tString<base::BaseString> file;
  if (!layer.get_attribute_string("file", file) || file.empty()) return;
  base::tString<base::BaseString> path = scene ? scene->GetScenePath() : base::tString<base::BaseString>();
  path += file;
  // A picture that does not load leaves an empty image: the rectangle alone still works.
  if (base::tMultiFileFormatLoader<base::cl_Bitmap32>::LoadFileMultiFormat(path.c_str(), &m_bitmap))
    m_image.CreateFromBitmap(&m_bitmap, 0, 0, m_bitmap.Width(), m_bitmap.Height(), false, true);
  else
    base::sys::Output("Warning: Editor: %s could not be read; only the crop rectangle is shown\n", path.c_str());
}

void cl_CropTool::Render(float, float) {
  cl_Scene* scene = cl_Editor::GetEditedScene();
  const base::tRectf view = GetEditorViewportRect();
  gfx::SetViewport(static_cast<int>(view.min.x), static_cast<int>(view.min.y),
                   static_cast<int>(view.max.x - view.min.x), static_cast<int>(view.max.y - view.min.y), 0.0f, 1.0f);
  const float zoom = scene ? scene->GetEffectiveZoom() : 1.0f;
  const float scrollX = scene ? scene->GetScroll()[0] : 0.0f, scrollY = scene ? scene->GetScroll()[1] : 0.0f;
  gfx::SetBlendNone();
  gfx::SetBlendAlpha(true);
  if (m_image.GetWidth() > 0) gfx::DrawImage(&m_image, view.min.x - scrollX * zoom, view.min.y - scrollY * zoom, zoom);
  gfx::FillRect(view.min.x + (m_cropX - scrollX) * zoom, view.min.y + (m_cropY - scrollY) * zoom,
                view.min.x + (m_cropX + static_cast<float>(m_cropW) - scrollX) * zoom,
                view.min.y + (m_cropY + static_cast<float>(m_cropH) - scrollY) * zoom, kCropColour);
  gfx::SetViewport(-1, -1, -1, -1, 0.0f, 1.0f);
  base::tString<base::BaseString> numbers;
  numbers.print("x0=%d y0=%d w=%d h=%d", static_cast<int>(m_cropX), static_cast<int>(m_cropY), m_cropW, m_cropH);
  gfx::DrawText(200, 0, numbers.c_str(), kWhite);
  if (m_useBackgroundPixels) {
    gfx::DrawText(200, 20, "UseBackgroundPixels", kGrey);
    gfx::DrawText(200 + static_cast<int>(gfx::GetTextWidth("UseBackground")), 20, "P", kWhite);
  }
  DrawKeyHelp(200, 40, "Drag: move (Shift: finely)  Arrows: size  P: background pixels  Enter: done  Escape: cancel");
}

bool cl_CropTool::ProcessInput(base::ICMD& cmd) {
  if (cl_Editor::HandleToggleKeys(cmd)) return true;
  if (cmd.type == base::ICMD::KEY_PRESSED) {
    switch (cmd.key) {
      case base::key::Enter: Finish(true); break;
      case base::key::Escape: Finish(false); break;
      case base::key::Left: m_cropW = Smaller(m_cropW, m_fullW); break;
      case base::key::Right: m_cropW = Larger(m_cropW, m_fullW); break;
      case base::key::Up: m_cropH = Smaller(m_cropH, m_fullH); break;
      case base::key::Down: m_cropH = Larger(m_cropH, m_fullH); break;
      case 'P': m_useBackgroundPixels = !m_useBackgroundPixels; break;
      default: break;
    }
    return true;
  }
  // The way is measured between the pointer's positions from the press on: the commands'
  // relative motion is scaled and carries a move's x twice, and the click the root module sends
  // after a press comes late with the press's old position.
  if (cmd.type == base::ICMD::LEFT_DOWN || cmd.type == base::ICMD::MOUSE_MOVE) {
    if (cmd.type == base::ICMD::LEFT_DOWN) {
      m_dragging = true;
    } else if (m_dragging) {
      const float step = (cmd.modifiers & base::ICMD::MOD_SHIFT) ? 0.1f : 1.0f;
      m_cropX += step * static_cast<float>(cmd.mouseX - m_pointerX);
      m_cropY += step * static_cast<float>(cmd.mouseY - m_pointerY);
    }
    m_pointerX = cmd.mouseX, m_pointerY = cmd.mouseY;
  } else if (cmd.type == base::ICMD::LEFT_UP) {
    m_dragging = false;
  }
  Clamp();
  return false;
}

void cl_CropTool::Clamp() {
  // A rectangle larger than the scene is first cut to it, so that the position bounds cannot
  // cross and push the rectangle out of the picture.
  m_cropW = std::clamp(m_cropW, 1, std::max(1, static_cast<int>(m_limitW)));
  m_cropH = std::clamp(m_cropH, 1, std::max(1, static_cast<int>(m_limitH)));
  m_cropX = std::clamp(m_cropX, 0.0f, std::max(0.0f, m_limitW - static_cast<float>(m_cropW)));
  m_cropY = std::clamp(m_cropY, 0.0f, std::max(0.0f, m_limitH - static_cast<float>(m_cropH)));
}

void cl_CropTool::Finish(bool send) {
  Close();
  if (send) {
    Clamp();
    base::Variant& layer = m_answer[0];
    layer.attribute("x")->set_float(m_cropX);
    layer.attribute("y")->set_float(m_cropY);
    layer.attribute("w")->set_float(static_cast<float>(m_cropW));
    layer.attribute("h")->set_float(static_cast<float>(m_cropH));
    base::tString<base::BaseString> category;
    m_answer.get_attribute_string("category", category);
    if (category == "StageElements") layer.attribute("ysort")->set_float(m_cropY + 0.8f * static_cast<float>(m_cropH));
    layer.attribute("use_background_pixels")->set_int(m_useBackgroundPixels ? 1 : 0);
  }
  if (m_listener) {
    m_listener->Show(true);
    if (send) m_listener->ProcessEvent(m_answer);
  }
}

}  // namespace quillane
