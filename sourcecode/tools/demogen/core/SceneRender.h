// Paints a scene table through the engine's own camera: one eye ray per pixel (four along the
// edges of things) onto the table's solids, each material lit by the table's lights with hard
// shadows and a little contact shading, and a night view or transparency where a ray meets
// nothing. Deterministic: the textures are noise of fixed seeds and the threads split rows.
#pragma once

#include <vector>

#include "base/Imaging.h"
#include "core/SceneTables.h"

namespace demogen {

// A colour in linear light.
struct st_Rgb {
  float r = 0.0f, g = 0.0f, b = 0.0f;
  st_Rgb& operator+=(const st_Rgb& o) {
    r += o.r, g += o.g, b += o.b;
    return *this;
  }
  friend st_Rgb operator+(st_Rgb a, const st_Rgb& o) { return a += o; }
  friend st_Rgb operator*(st_Rgb a, const st_Rgb& o) { return {a.r * o.r, a.g * o.g, a.b * o.b}; }
  friend st_Rgb operator*(st_Rgb a, float s) { return {a.r * s, a.g * s, a.b * s}; }
};

st_Rgb Linear(uint32_t rgb);       // 0xRRGGBB read as sRGB
uint32_t Encode(const st_Rgb& c);  // tone-mapped back to 0xRRGGBB
st_Rgb Mix(const st_Rgb& a, const st_Rgb& b, float t);

class cl_SceneRender {
 public:
  explicit cl_SceneRender(const st_DemoScene& scene);
  ~cl_SceneRender();
  cl_SceneRender(const cl_SceneRender&) = delete;
  cl_SceneRender& operator=(const cl_SceneRender&) = delete;

  struct st_Request {
    std::vector<const char*> hidden;     // parts the camera does not see (their shadows stay)
    std::vector<const char*> only;       // when not empty: pixels showing other things stay clear
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // the rectangle painted; x1 = 0: the whole image
    // When set: per image pixel, the solid the ray through its middle met (null for none).
    std::vector<const st_SceneSolid*>* seen = nullptr;
  };
  // A scene-sized picture, transparent where nothing was painted.
  base::cl_Bitmap32 Paint(const st_Request& request) const;

  // The light reaching p on a surface facing normal, shadows left out: what a character
  // standing there is lit by (ambient included).
  st_Rgb LightAt(const tV3& p, const tV3& normal) const;
  // The eye ray through the scene image point (x, y); direction normalised.
  void EyeRay(float x, float y, tV3& origin, tV3& direction) const;
  tV2 Project(const tV3& p) const;
  // The solid an eye ray through the image point (x, y) meets first, with the point met; null
  // when it meets nothing.
  const st_SceneSolid* SolidAt(float x, float y, tV3* point = nullptr, tV3* normal = nullptr) const;
  // The image rectangle a part covers, clipped to the image; false when it covers none.
  bool PartRect(const char* part, int& x0, int& y0, int& x1, int& y1) const;
  const st_DemoScene& Scene() const { return m_scene; }

  // The night outside: sky, moon and stars, and below the horizon the sea when withSea.
  static st_Rgb NightView(const tV3& direction, bool withSea);

  struct st_Solid;
  struct st_Node;
  struct st_Hit;

 private:
  struct st_Sample {
    st_Rgb colour;
    int solid = -1;  // what the ray met first; -1 for nothing
    bool clear = false;
  };
  st_Sample Trace(float x, float y, const std::vector<bool>& hidden) const;
  bool Intersect(const tV3& o, const tV3& d, float tMax, const std::vector<bool>* hidden, bool shadow,
                 st_Hit& hit) const;
  st_Rgb Shade(const st_Hit& hit, const tV3& eye, const std::vector<bool>& hidden, int depth) const;
  st_Rgb Lighting(const st_Hit& hit) const;
  float Occlusion(const st_Hit& hit) const;
  // Hands visit each solid in the tree's leaves whose nodes enter accepts, until visit says stop.
  template <typename tEnter, typename tVisit>
  void ForSolids(const tEnter& enter, const tVisit& visit) const;

  const st_DemoScene& m_scene;
  base::cl_Camera m_camera;
  tV3 m_eye, m_d00, m_dx, m_dy;  // eye rays: m_d00 + x m_dx + y m_dy, unnormalised
  std::vector<st_Solid> m_solids;
  std::vector<st_Node> m_nodes;
  std::vector<int> m_order;  // solid indices in leaf order
};

}  // namespace demogen
