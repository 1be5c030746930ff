// cl_PlaceLightTool: the modal tool that puts a new light into the edited scene's 3D space. It
// gets the half-filled "AddElement" {"category" "Lights"} of the light-type dialog or the file
// browser; a left drag moves the light over the floor, a left drag with Shift alone lifts or
// lowers it, a right drag turns it; A sends it as an ambient light at once, D keeps a position out
// of what Enter sends, P is refused with a word (the editor makes no point lights), Enter sends it
// (once placed; before, the window says so), Escape drops it. Two "axis" gizmos show its heading
// and its tilt; the type row (with the type Enter adds) and key help stand above the scene.
#pragma once

#include <utility>

#include "base/String.h"
#include "base/data/Variant.h"
#include "base/gui/GUI.h"
#include "graphics/Camera.h"

namespace quillane {

class cl_PlaceLightTool : public base::cl_Panel {
 public:
  // A new tool (not yet in a GUI) with a copy of answer; the caller hides listener and makes the
  // tool modal. listener is not owned and must outlive the tool.
  static cl_PlaceLightTool* Create(base::cl_Window* listener, base::Variant answer);
  static cl_PlaceLightTool* Open(base::cl_Window* listener, base::Variant answer) {
    return Create(listener, std::move(answer));
  }
  cl_PlaceLightTool(base::cl_Window* listener, base::Variant answer);

  // The floor drag (once a frame while the left button alone is held), the gizmos once placed,
  // and the type keys' texts.
  void Render(float x, float y) override;
  // Keys (all consumed) and the height and turn drags (never consumed).
  bool ProcessInput(base::ICMD& cmd) override;

  const base::cl_Locator& GetLocator() const { return m_locator; }
  bool IsPlaced() const { return m_placed; }
  float GetYaw() const { return m_yaw; }
  float GetPitch() const { return m_pitch; }
  const base::tString<base::BaseString>& GetType() const { return m_type; }
  const base::Variant& GetAnswer() const { return m_answer; }

 private:
  // Ends the tool and sends the answer, with placement its direction (and a point light's position).
  void Send(bool placement);

  base::cl_Window* m_listener;
  base::cl_Locator m_locator;
  bool m_placed = false;
  base::Variant m_answer;
  float m_yaw = 0.0f;
  float m_pitch = 0.0f;
  base::tString<base::BaseString> m_type;
  bool m_clicked = false;  // a left press since the last frame: a quick click places too
  bool m_pickMissed = false;  // the last press found no floor: the window says why
  bool m_enterRefused = false;  // Enter before the light stood on the floor: the window says why
  bool m_pointRefused = false;  // P was the last key: the window says there are no point lights
};

}  // namespace quillane
