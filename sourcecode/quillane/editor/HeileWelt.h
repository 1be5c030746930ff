// The pile-grid tool, an experimental editor window: a 64 x 64 grid of piles, each a column of
// height spans of one material, raised from Perlin noise, with a palette of 256 colours, a camera
// and three locators that the mouse turns. The world is built and steered but not drawn; the
// window takes only the mouse drags it uses, and Escape closes it.
#pragma once

#include <cstdint>
#include <map>

#include "base/data/Array.h"
#include "base/gui/GUI.h"
#include "base/math/Color.h"
#include "graphics/Camera.h"
#include "quillane/editor/PointerTrack.h"

namespace quillane {

struct st_PileWorld;

// One column of the grid: runs of material by the height at which each begins (a run lasts up to
// the next key); material 0 is air and an empty map is all air.
class cl_Pile {
 public:
  // The run [from, to) becomes type; the material above to stays what it was.
  void AddSpan(float from, float to, int32_t type);
  // The terrain at its place: material 1 from 0 up to the noise height h + 1 where h > 0.
  void Reset();

  st_PileWorld* owner = nullptr;
  int32_t x = 0;  // column 0..63
  int32_t y = 0;  // row 0..63
  std::map<float, int32_t> spans;
  bool dirty = false;  // set by every change of the spans
};

struct st_PileWorld {
  static constexpr int kSize = 64;

  float tickTimer = 0.0f;  // counts down by the frame time, put back by 0.2 s below 0
  float scale = 2.0f;
  base::tMatrix<cl_Pile> piles;
  base::Color32 palette[256];
};

class cl_HeileWelt : public base::cl_Panel {
 public:
  static constexpr float kMinDistance = 140.0f;
  static constexpr float kMaxDistance = 800.0f;

  static cl_HeileWelt* Create();  // the menu adds it to the GUI
  cl_HeileWelt();  // generates the world; the camera over the window, 200 away

  // Builds the grid: noise terrain, a random palette with grey (1) and blue (2), and a blue
  // column from 6 to 30 on the centre pile.
  void Generate();
  void Render(float, float) override {}  // nothing is drawn
  // The mouse turns the second locator (and, with the right button held, rolls it); the tick timer.
  void Update(float dt) override;
  // Mouse moves with the left button held turn the camera, or with Ctrl set its distance; Escape
  // closes the window. True only for those.
  bool ProcessInput(base::ICMD& cmd) override;

  st_PileWorld& GetWorld() { return m_world; }
  const base::cl_Locator& GetLocator(int i) const { return m_locators[i]; }
  float GetCameraDistance() const { return m_cameraDistance; }
  float GetCameraYaw() const { return m_cameraYaw; }
  float GetCameraPitch() const { return m_cameraPitch; }
  float GetYaw() const { return m_yaw; }
  float GetRoll() const { return m_roll; }

 private:
  st_PileWorld m_world;
  base::cl_Camera m_camera;
  base::cl_Locator m_locators[3];
  float m_yaw = 0.0f, m_pitch = 0.0f, m_roll = 0.0f;  // the second locator's; roll follows the right button
  float m_cameraYaw = 0.0f, m_cameraPitch = 0.0f;
  float m_cameraDistance = 200.0f;
  st_PointerTrack m_pointer;
};

}  // namespace quillane
