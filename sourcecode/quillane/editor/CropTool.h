// cl_CropTool: the modal full-window tool that cuts a rectangle out of a picture just chosen for
// a scene layer. It shows the whole picture where it lies in the scene with the rectangle over
// it; the mouse drags the rectangle (Shift: a tenth of the motion), the arrow keys halve and
// double its size in powers of two, 'P' toggles "use_background_pixels", Enter hands the
// completed "AddElement" answer to the listener and Escape drops it. It draws everything itself.
#pragma once

#include "base/Imaging.h"
#include "base/data/Variant.h"
#include "base/gui/GUI.h"
#include "graphics/image/Image.h"

namespace quillane {

class cl_CropTool : public base::cl_Panel {
 public:
  static constexpr int kMaxSize = 2048;  // the largest side Right / Down double to

  // A new tool (not yet in a GUI); the caller hides listener and makes the tool modal. listener is
  // not owned and must outlive it.
  static cl_CropTool* Create(base::cl_Window* listener, base::Variant answer);
  // Reads the rectangle from the answer's first child and loads its "file" from the scene folder.
  cl_CropTool(base::cl_Window* listener, base::Variant answer);

  // The picture and the red rectangle in the editor viewport, the rectangle's numbers above.
  void Render(float x, float y) override;
  // Keys are all consumed; a drag moves the rectangle, which stays inside the scene.
  bool ProcessInput(base::ICMD& cmd) override;

  // n halved towards a power of two: the largest power of two below n (1 for n <= 1).
  static int LargestPowerOfTwoBelow(int n);

  float GetCropX() const { return m_cropX; }
  float GetCropY() const { return m_cropY; }
  int GetCropW() const { return m_cropW; }
  int GetCropH() const { return m_cropH; }
  bool GetUseBackgroundPixels() const { return m_useBackgroundPixels; }
  const gfx::cl_Image& GetImage() const { return m_image; }

 private:
  void Finish(bool send);
  void Clamp();

  bool m_useBackgroundPixels = false;
  bool m_dragging = false;             // the left button went down over the tool and is still down
  int m_pointerX = 0, m_pointerY = 0;  // the pointer at the last press or move
  base::cl_Bitmap32 m_bitmap;
  gfx::cl_Image m_image;
  base::Variant m_answer;
  base::cl_Window* m_listener;
  float m_cropX = 0.0f, m_cropY = 0.0f;
  int m_cropW = 0, m_cropH = 0;
  int m_fullW = 0, m_fullH = 0;
  float m_limitW = 0.0f, m_limitH = 0.0f;
};

}  // namespace quillane
