// A panel laid out for a window larger than the one it shows in (the load/save panel's 987 x 509
// in an 800 x 600 window) is drawn smaller, so that all of it fits: its windows draw into a
// texture of the laid-out size at the origin, the texture is drawn scaled and centred in the
// window, and the mouse reaches the windows in their laid-out coordinates. Where the panel fits,
// nothing of this happens. Main thread only.
#pragma once

#include <memory>

#include "base/app/ICMD.h"
#include "base/math/Limit.h"
#include "base/math/Vector.h"
#include "win32dx9/DX9GraphicsDevice.h"

namespace gfx {
class cl_RenderTarget;
}

class cl_ScaledView {
 public:
  cl_ScaledView();
  ~cl_ScaledView();
  cl_ScaledView(const cl_ScaledView&) = delete;
  cl_ScaledView& operator=(const cl_ScaledView&) = delete;

  // Fits what a panel draws, the rectangle covered in the panel's own coordinates (its top-left
  // corner at 0, 0; tabs may reach above it), into the window: the scale (1 where it fits, never
  // more) and where it is drawn, centred.
  void Fit(const base::tRectf& covered);
  bool IsScaled() const { return m_scale < 1.0f; }
  float GetScale() const { return m_scale; }
  // Where the texture's top-left corner is drawn in the window.
  base::tVector2<float> GetOrigin() const { return m_origin; }
  // Where the panel's top-left corner lies in the texture: the panel's place while scaled.
  base::tVector2<float> GetPanelPlace() const { return {-m_covered.min.x, -m_covered.min.y}; }

  // Drawing goes into the texture, cleared, until End; false (drawing goes to the screen as it
  // is, and End does nothing) when not scaled or the texture cannot be made.
  bool Begin();
  // The panel's body (body, in the panel's coordinates, less its corners of size corner) opaque
  // in the texture, so that text blended on it lets nothing through; then the texture drawn
  // into the window.
  void End(const base::tRectf& body, float corner);
  // A mouse command's position moved into the laid-out coordinates (nothing when not scaled).
  void ToLayout(base::ICMD& cmd) const;
  // A point of the laid-out coordinates where the window shows it (unchanged when not scaled).
  base::tVector2<float> ToWindow(float x, float y) const;

  // A panel's drawing, draw(px, py) from its parent's origin: smaller through the texture when
  // scaled (Begin, End with the panel's body and corner), else straight into the window.
  template <typename tDraw>
  void Render(float px, float py, const base::tRectf& body, float corner, tDraw&& draw) {
    if (!Begin()) return draw(px, py);
    draw(0.0f, 0.0f);
    End(body, corner);
  }
  // A panel's input, process(cmd), with the mouse in the laid-out coordinates when scaled.
  template <typename tProcess>
  bool Input(const base::ICMD& cmd, tProcess&& process) const {
    base::ICMD laidOut = cmd;
    ToLayout(laidOut);
    return process(laidOut);
  }

  // The mouse (base::sys::MouseX and MouseY) where the windows being drawn see it: in the laid-out
  // coordinates between Begin and End, in the window's otherwise.
  static base::tVector2<float> Mouse();

 private:
  // The texture, made on first use (when there is a device); a device reset drops it.
  struct st_Target : win32dx9::i_ResetCriticalResource {
    st_Target();
    ~st_Target() override;
    std::unique_ptr<gfx::cl_RenderTarget> texture;
    void OnLost() override;
    void OnRestore() override {}
  };

  base::tRectf m_covered;                 // in the panel's coordinates
  float m_width = 0.0f, m_height = 0.0f;  // of the texture: the covered rectangle's size
  float m_scale = 1.0f;
  base::tVector2<float> m_origin;
  std::unique_ptr<st_Target> m_target;
  bool m_drawing = false;
};
