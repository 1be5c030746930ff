// cl_PlaceHotspotTool: the modal tool that outlines a new hotspot on the edited scene. Each left
// click adds a corner (in scene coordinates), Backspace takes the last one back, Enter with three
// corners or more asks for the name (with fewer, the window says so) and Escape gives up. The
// named outline goes to the listener as "AddElement" {"category" "HotSpots"} with a "HotSpot"
// {label} of "Point" {x, y} children.
#pragma once

#include <vector>

#include "base/gui/GUI.h"
#include "base/math/Vector.h"

namespace quillane {

class cl_PlaceHotspotTool : public base::cl_Panel {
 public:
  // A new tool (not yet in a GUI); the caller hides listener and makes the tool modal. listener
  // is not owned and must outlive the tool.
  static cl_PlaceHotspotTool* Create(base::cl_Window* listener);
  explicit cl_PlaceHotspotTool(base::cl_Window* listener) : m_listener(listener) {}

  // The open outline over the scene and a line from its last corner to the pointer.
  void Render(float x, float y) override;
  // The editor's toggle keys, then corners, Backspace, Enter and Escape; true only for what ends
  // the tool or a toggle.
  bool ProcessInput(base::ICMD& cmd) override;
  // The name dialog's "LabelEntered" (the hotspot is sent) or "Cancel" (dropped); both end it.
  bool ProcessEvent(const base::Variant& event) override;

  const std::vector<base::tVector2<float>>& GetPoints() const { return m_points; }

 private:
  base::cl_Window* m_listener;
  std::vector<base::tVector2<float>> m_points;
  bool m_enterRefused = false;  // Enter with too few corners: the window says why until a click
};

}  // namespace quillane
