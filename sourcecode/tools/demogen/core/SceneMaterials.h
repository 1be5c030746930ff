// The painter's materials: what colour a solid's surface has at a point, with the small bumps
// and the shine that light picks out. Plain functions of the point, so every run paints the
// same bytes.
#pragma once

#include "core/SceneRender.h"
#include "core/SceneTables.h"

namespace demogen {

struct st_Surface {
  st_Rgb albedo;  // linear; for en_Material::Light the light it gives
  tV3 normal;     // the face's normal, bent a little by waves and grooves
  float shine = 0.0f;
};

// The surface of solid at point p on its face with the given outward normal.
st_Surface SurfaceAt(const st_SceneSolid& solid, const tV3& p, const tV3& normal);

}  // namespace demogen
