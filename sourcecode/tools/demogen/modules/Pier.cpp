// The quay's pier (Scenes/Quay/pier.lwo), the demo's one LightWave object: a deck of planks on
// two rows of posts, as boxes, with the surfaces "Planks" and "Posts" and a uv map. Metres, y up,
// the deck's top at y = 0 and the pier running from z = 0 out along +z.
#include <string>
#include <vector>

#include "core/Modules.h"
#include "core/Output.h"
#include "graphics/mesh/lwo/LwoWriter.h"

namespace demogen {

namespace {

constexpr int kPlanks = 24;
constexpr float kPlankPitch = 0.5f;
constexpr float kHalfWidth = 1.5f;
constexpr int kPostPairs = 7;

struct st_PierMesh {
  std::vector<base::st_LwoPoint3> points;
  std::vector<float> uvs;  // two per point
  std::vector<std::vector<int>> polygons;
  std::vector<std::pair<int, int>> surfaceTags;  // (polygon, tag)

  // An axis-aligned box; its faces are wound so that LightWave's normal, (p2 − p1) × (pn − p1),
  // points out of the box. The uvs run along the box's length in x and z.
  void AddBox(const float lo[3], const float hi[3], int tag) {
    const int first = static_cast<int>(points.size());
    for (int i = 0; i < 8; ++i) {
      points.push_back({i & 1 ? hi[0] : lo[0], i & 2 ? hi[1] : lo[1], i & 4 ? hi[2] : lo[2]});
      uvs.push_back(i & 1 ? 1.0f : 0.0f);
      uvs.push_back(static_cast<float>((i >> 1) & 1) * 0.5f + static_cast<float>((i >> 2) & 1) * 0.5f);
    }
    static const int kFaces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                     {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (const auto& f : kFaces) {
      surfaceTags.push_back({static_cast<int>(polygons.size()), tag});
      polygons.push_back({first + f[0], first + f[1], first + f[2], first + f[3]});
    }
  }
};

std::string PierObject() {
  st_PierMesh m;
  for (int i = 0; i < kPlanks; ++i) {
    const float z = static_cast<float>(i) * kPlankPitch;
    const float lo[3] = {-kHalfWidth, -0.1f, z}, hi[3] = {kHalfWidth, 0.0f, z + kPlankPitch - 0.04f};
    m.AddBox(lo, hi, 0);
  }
  for (int i = 0; i < kPostPairs; ++i) {
    const float z = static_cast<float>(i) * 2.0f;
    for (float x : {-kHalfWidth + 0.1f, kHalfWidth - 0.3f}) {
      const float lo[3] = {x, -3.0f, z}, hi[3] = {x + 0.2f, -0.1f, z + 0.2f};
      m.AddBox(lo, hi, 1);
    }
  }
  base::cl_LwoWriter w;
  w.Chunk("FORM").Id("LWO2");
  base::LwoWriteTags(w, {"Planks", "Posts"});
  w.Chunk("LAYR").U2(0).U2(0).F4s({0, 0, 0}).S0("pier").End();
  base::LwoWritePoints(w, m.points);
  w.Chunk("VMAP").Id("TXUV").U2(2).S0("uv");
  for (size_t i = 0; i < m.points.size(); ++i) w.VX(static_cast<int>(i)).F4(m.uvs[2 * i]).F4(m.uvs[2 * i + 1]);
  w.End();
  base::LwoWriteFaces(w, m.polygons);
  base::LwoWritePolygonTags(w, "SURF", m.surfaceTags);
  w.Chunk("SURF").S0("Planks").S0("").Sub("COLR").F4s({0.55f, 0.42f, 0.3f}).VX(0).End().End();
  w.Chunk("SURF").S0("Posts").S0("").Sub("COLR").F4s({0.25f, 0.22f, 0.2f}).VX(0).End().End();
  return w.End().bytes();
}

}  // namespace

bool MakePier(cl_Output& out) {
  const std::string bytes = PierObject();
  return out.WriteBytes("Scenes/Quay/pier.lwo", bytes.data(), bytes.size());
}

}  // namespace demogen
