// A scene's painted pictures, painted once per run and shared by the modules that need them: the
// background with the layered props left out, each layer's picture and rectangle, and for an
// open-air scene the sky behind. The scene module writes them; the movies film the whole view.
#pragma once

#include <memory>
#include <vector>

#include "base/Imaging.h"
#include "core/SceneRender.h"
#include "core/SceneTables.h"

namespace demogen {

struct st_PaintedLayer {
  const st_SceneLayer* table;
  base::cl_Bitmap32 picture;  // scene-sized, clear outside the rectangle
  int x0, y0, x1, y1;         // the painted rectangle
  int ysort;                  // the image row of the layer's front edge on the floor
};

struct st_ScenePictures {
  std::unique_ptr<cl_SceneRender> render;
  base::cl_Bitmap32 background;
  std::vector<st_PaintedLayer> layers;
  base::cl_Bitmap32 sky;  // en_Outside::Transparent only: the rows down to skyRows
  int skyRows = 0;
  std::vector<const st_SceneSolid*> seen;  // per image pixel: what the background shows there

  bool Shows(int x, int y, en_Material material) const;
  bool ShowsFloor(int x, int y) const;  // the walkable level, seen from above

  // Everything as the camera sees it: sky, background, then the layers.
  base::cl_Bitmap32 View() const;
};

const st_ScenePictures& PaintedScene(const st_DemoScene& scene);

// How brightly the moon glints on the water at image pixel (x, y) for a phase of the swell: 0
// mostly, up to 1 on the crests.
float WaterGlint(int x, int y, float phase);

// Image rows above this one may show the sky past an open-air scene's horizon.
int HorizonRow(const cl_SceneRender& render);

}  // namespace demogen
