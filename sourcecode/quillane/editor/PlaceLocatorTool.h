// cl_PlaceLocatorTool: the modal tool that adds a named locator to the edited scene. The keys fly
// its own copy of the scene camera (W, S, A, D, Q, Y; Shift for larger steps); the left button
// puts the locator on the floor under the pointer, the right button turns it to face away from
// the pointer; Space keeps the point as one of a path, Enter asks for the name. A locator with a
// path stands at the mean of its points. The scene camera is put back when the tool goes.
#pragma once

#include <cstdint>
#include <vector>

#include "base/gui/GUI.h"
#include "base/math/Vector.h"
#include "graphics/Camera.h"

namespace quillane {

class cl_Scene;

class cl_PlaceLocatorTool : public base::cl_Panel {
 public:
  // A new tool (not yet in a GUI) over the edited scene; the caller hides opener and makes the
  // tool modal. opener is not owned and must outlive the tool.
  static cl_PlaceLocatorTool* Open(base::cl_Window* opener);
  static cl_PlaceLocatorTool* Create(base::cl_Window* opener) { return Open(opener); }
  // Copies the scene's camera twice: the one to fly and the one to put back.
  explicit cl_PlaceLocatorTool(base::cl_Window* opener);
  // The scene's camera as it was when the tool opened.
  ~cl_PlaceLocatorTool() override;

  // The keyboard flight of the working camera while the tool shows.
  void Update(float dt) override;
  // The scene seen and picked through the working camera, the mouse buttons, the path and gizmos.
  void Render(float x, float y) override;
  // The editor's toggle keys, then Space, Enter and Escape; every key is consumed.
  bool ProcessInput(base::ICMD& cmd) override;
  // The name dialog's "LabelEntered" (the locator is sent) or "Cancel"; both end the tool.
  bool ProcessEvent(const base::Variant& event) override;

  const base::cl_Locator& GetLocator() const { return m_locator; }
  bool IsPositionSet() const { return m_positionSet; }
  const std::vector<base::tVector3<float>>& GetPoints() const { return m_points; }
  const base::cl_Camera& GetWorkingCamera() const { return m_workingCamera; }

 private:
  void Pick(cl_Scene& scene);
  void Draw(const base::cl_Camera& camera);
  void Send(const base::Variant& event);

  base::cl_Window* m_opener;
  base::cl_Locator m_locator;
  bool m_positionSet = false;
  std::vector<base::tVector3<float>> m_points;
  base::cl_Camera m_workingCamera;
  base::cl_Camera m_savedCamera;
  cl_Scene* m_scene;  // the scene the saved camera belongs to
  // The button pressed since the last frame (left wins): a click whose press and release fall
  // into one frame still counts.
  uint8_t m_pressed = 0;
  bool m_pickMissed = false;  // the last press found no floor: the window says why
  bool m_enterRefused = false;  // Enter before a place was clicked: the window says why
};

}  // namespace quillane
