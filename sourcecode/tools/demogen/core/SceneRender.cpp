#include "core/SceneRender.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <thread>

#include "base/math/Noise.h"
#include "core/SceneMaterials.h"

namespace demogen {

// ---- colour

st_Rgb Linear(uint32_t rgb) {
  // Every surface asks: a table of the 256 byte values, made once.
  static const std::array<float, 256> kTable = [] {
    std::array<float, 256> t{};
    for (int v = 0; v < 256; ++v) t[v] = std::pow(static_cast<float>(v) / 255.0f, 2.2f);
    return t;
  }();
  return {kTable[(rgb >> 16) & 0xFF], kTable[(rgb >> 8) & 0xFF], kTable[rgb & 0xFF]};
}

uint32_t Encode(const st_Rgb& c) {
  // A soft shoulder keeps lamps and lit windows from clipping flat.
  auto channel = [](float v) {
    v = std::max(v, 0.0f);
    if (v > 0.6f) v = 0.6f + 0.4f * (1.0f - std::exp(-(v - 0.6f) / 0.4f));
    return static_cast<uint32_t>(std::lround(std::pow(std::min(v, 1.0f), 1.0f / 2.2f) * 255.0f));
  };
  return channel(c.r) << 16 | channel(c.g) << 8 | channel(c.b);
}

st_Rgb Mix(const st_Rgb& a, const st_Rgb& b, float t) { return a * (1.0f - t) + b * t; }

// ---- solids and their bounding tree

struct cl_SceneRender::st_Solid {
  const st_SceneSolid* table;
  tV3 lo, hi;
  int part;  // index into the scene's part names, for hiding
  bool castsShadow;
};

struct cl_SceneRender::st_Node {
  tV3 lo, hi;
  int left = -1, right = -1;  // children; -1 on a leaf
  int first = 0, count = 0;   // a leaf's solids in m_order
};

struct cl_SceneRender::st_Hit {
  int solid = -1;
  float t = 0.0f;
  tV3 point, normal;
};

namespace {

constexpr float kEpsilon = 0.05f;

bool SlabHit(const tV3& lo, const tV3& hi, const tV3& o, const tV3& inv, float tMax, float& tNear, int& axis,
             float& sign) {
  float t0 = 0.0f, t1 = tMax;
  axis = -1;
  for (int a = 0; a < 3; ++a) {
    float n = (lo[a] - o[a]) * inv[a], f = (hi[a] - o[a]) * inv[a];
    float s = -1.0f;
    if (n > f) std::swap(n, f), s = 1.0f;
    if (n > t0) t0 = n, axis = a, sign = s;
    if (f < t1) t1 = f;
    if (t0 > t1) return false;
  }
  tNear = t0;
  return true;
}

bool BoundsHit(const tV3& lo, const tV3& hi, const tV3& o, const tV3& inv, float tMax) {
  float t0 = 0.0f, t1 = tMax;
  for (int a = 0; a < 3; ++a) {
    float n = (lo[a] - o[a]) * inv[a], f = (hi[a] - o[a]) * inv[a];
    if (n > f) std::swap(n, f);
    t0 = std::max(t0, n), t1 = std::min(t1, f);
    if (t0 > t1) return false;
  }
  return true;
}

// An upright cylinder inside the box: its side and its two caps.
bool CylinderHit(const tV3& lo, const tV3& hi, const tV3& o, const tV3& d, float tMax, float& tHit, tV3& normal) {
  const float cx = (lo.x + hi.x) * 0.5f, cz = (lo.z + hi.z) * 0.5f, r = (hi.x - lo.x) * 0.5f;
  const float ox = o.x - cx, oz = o.z - cz;
  bool found = false;
  const float a = d.x * d.x + d.z * d.z;
  if (a > 1e-9f) {
    const float b = ox * d.x + oz * d.z, c = ox * ox + oz * oz - r * r, disc = b * b - a * c;
    if (disc >= 0.0f) {
      const float root = std::sqrt(disc);
      for (const float t : {(-b - root) / a, (-b + root) / a}) {
        const float y = o.y + t * d.y;
        if (t > kEpsilon && t < tMax && y >= lo.y && y <= hi.y) {
          tHit = t, tMax = t, found = true;
          normal = tV3(ox + t * d.x, 0.0f, oz + t * d.z) / r;
          break;
        }
      }
    }
  }
  if (std::fabs(d.y) > 1e-9f)
    for (const float capY : {hi.y, lo.y}) {
      const float t = (capY - o.y) / d.y;
      const float px = ox + t * d.x, pz = oz + t * d.z;
      if (t > kEpsilon && t < tMax && px * px + pz * pz <= r * r) {
        tHit = t, tMax = t, found = true;
        normal = tV3(0.0f, capY == hi.y ? 1.0f : -1.0f, 0.0f);
      }
    }
  return found;
}

}  // namespace

cl_SceneRender::cl_SceneRender(const st_DemoScene& scene) : m_scene(scene), m_camera(DemoSceneCamera(scene)) {
  std::vector<std::string> parts;
  for (const st_SceneSolid& s : scene.solids) {
    auto it = std::find(parts.begin(), parts.end(), s.part);
    if (it == parts.end()) it = parts.insert(parts.end(), s.part);
    m_solids.push_back({&s, s.lo, s.hi, static_cast<int>(it - parts.begin()),
                        s.material != en_Material::Glass && s.material != en_Material::Light});
  }
  // A tree of boxes over the solids, split at the median of the longest side.
  m_order.resize(m_solids.size());
  for (size_t i = 0; i < m_order.size(); ++i) m_order[i] = static_cast<int>(i);
  auto build = [this](auto& self, int first, int count) -> int {
    st_Node node;
    node.lo = m_solids[m_order[first]].lo, node.hi = m_solids[m_order[first]].hi;
    for (int i = first; i < first + count; ++i)
      for (int a = 0; a < 3; ++a)
        node.lo[a] = std::min(node.lo[a], m_solids[m_order[i]].lo[a]),
        node.hi[a] = std::max(node.hi[a], m_solids[m_order[i]].hi[a]);
    const int index = static_cast<int>(m_nodes.size());
    m_nodes.push_back(node);
    if (count <= 2) {
      m_nodes[index].first = first, m_nodes[index].count = count;
      return index;
    }
    const tV3 size = node.hi - node.lo;
    const int axis = size.x >= size.y && size.x >= size.z ? 0 : (size.y >= size.z ? 1 : 2);
    std::sort(m_order.begin() + first, m_order.begin() + first + count, [&](int a, int b) {
      return m_solids[a].lo[axis] + m_solids[a].hi[axis] < m_solids[b].lo[axis] + m_solids[b].hi[axis];
    });
    const int left = self(self, first, count / 2);
    const int right = self(self, first + count / 2, count - count / 2);
    m_nodes[index].left = left, m_nodes[index].right = right;
    return index;
  };
  if (!m_solids.empty()) build(build, 0, static_cast<int>(m_solids.size()));

  // Eye rays are linear in the image point once scaled to unit depth along the view.
  m_eye = m_camera.GetPos();
  const float ox = (static_cast<float>(scene.width) - 1024.0f) * 0.5f,
              oy = (static_cast<float>(scene.height) - 640.0f) * 0.5f;
  auto ray = [&](float x, float y) {
    tV3 origin, direction;
    m_camera.GetPickRay(tV2(x - ox, y - oy), origin, direction);
    return direction;
  };
  const tV3 forward = ray(512.0f + ox, 320.0f + oy);
  auto scaled = [&](float x, float y) {
    const tV3 d = ray(x, y);
    return d / d.dot(forward);
  };
  m_d00 = scaled(0.0f, 0.0f);
  m_dx = (scaled(1024.0f, 0.0f) - m_d00) / 1024.0f;
  m_dy = (scaled(0.0f, 640.0f) - m_d00) / 640.0f;
}

cl_SceneRender::~cl_SceneRender() = default;

void cl_SceneRender::EyeRay(float x, float y, tV3& origin, tV3& direction) const {
  origin = m_eye;
  direction = (m_d00 + m_dx * x + m_dy * y).normal();
}

tV2 cl_SceneRender::Project(const tV3& p) const { return DemoSceneProject(m_scene, m_camera, p); }

const st_SceneSolid* cl_SceneRender::SolidAt(float x, float y, tV3* point, tV3* normal) const {
  tV3 o, d;
  EyeRay(x, y, o, d);
  st_Hit hit;
  if (!Intersect(o, d, 1e6f, nullptr, false, hit)) return nullptr;
  if (point) *point = hit.point;
  if (normal) *normal = hit.normal;
  return m_solids[hit.solid].table;
}

bool cl_SceneRender::PartRect(const char* part, int& x0, int& y0, int& x1, int& y1) const {
  float a = 1e9f, b = 1e9f, c = -1e9f, d = -1e9f;
  bool any = false;
  for (const st_SceneSolid* s : m_scene.Part(part))
    for (int i = 0; i < 8; ++i) {
      const tV2 p = Project(tV3(i & 1 ? s->hi.x : s->lo.x, i & 2 ? s->hi.y : s->lo.y, i & 4 ? s->hi.z : s->lo.z));
      a = std::min(a, p.x), b = std::min(b, p.y), c = std::max(c, p.x), d = std::max(d, p.y);
      any = true;
    }
  if (!any) return false;
  x0 = std::max(0, static_cast<int>(std::floor(a)) - 2), y0 = std::max(0, static_cast<int>(std::floor(b)) - 2);
  x1 = std::min(m_scene.width, static_cast<int>(std::ceil(c)) + 2),
  y1 = std::min(m_scene.height, static_cast<int>(std::ceil(d)) + 2);
  return x0 < x1 && y0 < y1;
}

template <typename tEnter, typename tVisit>
void cl_SceneRender::ForSolids(const tEnter& enter, const tVisit& visit) const {
  int stack[64], top = 0;
  if (!m_nodes.empty()) stack[top++] = 0;
  while (top > 0) {
    const st_Node& node = m_nodes[stack[--top]];
    if (!enter(node)) continue;
    if (node.left >= 0) {
      stack[top++] = node.left, stack[top++] = node.right;
      continue;
    }
    for (int i = node.first; i < node.first + node.count; ++i)
      if (!visit(m_order[i])) return;
  }
}

bool cl_SceneRender::Intersect(const tV3& o, const tV3& d, float tMax, const std::vector<bool>* hidden, bool shadow,
                               st_Hit& hit) const {
  const tV3 inv(1.0f / (d.x != 0.0f ? d.x : 1e-12f), 1.0f / (d.y != 0.0f ? d.y : 1e-12f),
                1.0f / (d.z != 0.0f ? d.z : 1e-12f));
  bool found = false;
  ForSolids([&](const st_Node& node) { return BoundsHit(node.lo, node.hi, o, inv, tMax); },
            [&](int index) {
              const st_Solid& s = m_solids[index];
              if ((shadow && !s.castsShadow) || (hidden && (*hidden)[s.part])) return true;
              float t;
              tV3 normal;
              if (s.table->shape == en_Shape::Cylinder) {
                if (!CylinderHit(s.lo, s.hi, o, d, tMax, t, normal)) return true;
              } else {
                int axis;
                float sign = -1.0f;
                if (!SlabHit(s.lo, s.hi, o, inv, tMax, t, axis, sign) || t <= kEpsilon || axis < 0) return true;
                normal = tV3();
                normal[axis] = sign;
              }
              tMax = t, found = true;
              hit.solid = index, hit.t = t, hit.normal = normal;
              return !shadow;  // a shadow needs any blocker, not the nearest
            });
  if (found) hit.point = o + d * hit.t;
  return found;
}

// ---- light

namespace {

// What one light gives a surface at p facing normal, shadows left out; toLight and distance
// for the shadow ray.
st_Rgb Contribution(const st_SceneLight& light, const tV3& p, const tV3& normal, tV3& toLight, float& distance) {
  float falloff = 1.0f;
  if (light.kind == en_LightKind::Directional) {
    toLight = light.vector.normal();
    distance = 1e6f;
  } else {
    toLight = light.vector - p;
    distance = toLight.length();
    toLight = toLight / std::max(distance, 1e-3f);
    // Inverse square near the light, faded to nothing at its range.
    const float edge = std::clamp(1.0f - distance / light.range, 0.0f, 1.0f);
    const float near = light.range * 0.3f;
    falloff = edge * edge * near * near / (near * near + distance * distance) * 4.0f;
    if (light.kind == en_LightKind::Spot) {
      const float c = (-toLight).dot(light.aim.normal());
      const float soft = light.cone - 0.25f;
      falloff *= std::clamp((c - soft) / (light.cone - soft), 0.0f, 1.0f);
    }
  }
  const float facing = std::max(0.0f, normal.dot(toLight));
  return Linear(light.colour) * (light.strength * falloff * facing);
}

}  // namespace

st_Rgb cl_SceneRender::LightAt(const tV3& p, const tV3& normal) const {
  st_Rgb sum = Linear(m_scene.ambient);
  tV3 toLight;
  float distance;
  for (const st_SceneLight& light : m_scene.lights) sum += Contribution(light, p, normal, toLight, distance);
  return sum;
}

float cl_SceneRender::Occlusion(const st_Hit& hit) const {
  // Nearby solids on the open side darken a surface: corners, the floor under furniture.
  constexpr float kReach = 45.0f;
  float open = 1.0f;
  const tV3 p = hit.point;
  auto offset = [&p](const tV3& lo, const tV3& hi) {
    return tV3(std::clamp(p.x, lo.x, hi.x), std::clamp(p.y, lo.y, hi.y), std::clamp(p.z, lo.z, hi.z)) - p;
  };
  ForSolids([&](const st_Node& node) { return offset(node.lo, node.hi).length() < kReach; },
            [&](int index) {
              const st_Solid& s = m_solids[index];
              if (index == hit.solid || !s.castsShadow) return true;
              const tV3 v = offset(s.lo, s.hi);
              const float d = v.length();
              if (d >= kReach || d < 0.5f || v.dot(hit.normal) < d * 0.2f) return true;
              const float w = 1.0f - d / kReach;
              open *= 1.0f - 0.45f * w * w;
              return true;
            });
  return open;
}

st_Rgb cl_SceneRender::Lighting(const st_Hit& hit) const {
  const tV3 p = hit.point + hit.normal * 0.5f;
  st_Rgb sum = Linear(m_scene.ambient) * Occlusion(hit);
  for (const st_SceneLight& light : m_scene.lights) {
    tV3 toLight;
    float distance;
    const st_Rgb got = Contribution(light, p, hit.normal, toLight, distance);
    if (got.r + got.g + got.b <= 0.0f) continue;
    st_Hit blocker;
    if (!light.shadows || !Intersect(p, toLight, distance, nullptr, true, blocker)) sum += got;
  }
  return sum;
}

// ---- tracing

st_Rgb cl_SceneRender::Shade(const st_Hit& hit, const tV3& eye, const std::vector<bool>& hidden, int depth) const {
  const st_Solid& s = m_solids[hit.solid];
  const st_SceneSolid& table = *s.table;
  const st_Surface surface = SurfaceAt(table, hit.point, hit.normal);
  if (table.material == en_Material::Light) return surface.albedo * 1.6f;
  const tV3 view = (eye - hit.point).normal();
  if (table.material == en_Material::Glass || table.material == en_Material::Water) {
    tV3 n = surface.normal;
    const float cosine = std::clamp(std::fabs(n.dot(view)), 0.0f, 1.0f);
    const float fresnel = 0.04f + 0.96f * std::pow(1.0f - cosine, 5.0f);
    const tV3 mirror = (n * (2.0f * n.dot(view)) - view).normal();
    st_Rgb reflected = NightView(mirror, false);
    // Things are mirrored by the water's mean plane: through the swell's bent normals each pixel
    // would meet something else far off, and the reflection would fall apart into speckles.
    const tV3 flat = table.material == en_Material::Water ? tV3(0.0f, 1.0f, 0.0f) : n;
    const tV3 image = (flat * (2.0f * flat.dot(view)) - view).normal();
    st_Hit bounce;
    if (depth < 2 && Intersect(hit.point + image * 0.5f, image, 1e6f, &hidden, false, bounce))
      reflected = Shade(bounce, hit.point, hidden, depth + 1);
    if (table.material == en_Material::Water) {
      const st_Rgb body = surface.albedo * Lighting(hit);
      return Mix(body, reflected, std::clamp(fresnel + 0.25f, 0.0f, 1.0f));
    }
    // Glass: what lies behind it, tinted, and a faint reflection.
    st_Rgb behind = NightView(-view, true);
    st_Hit through;
    const tV3 d = -view;
    if (depth < 2 && Intersect(hit.point + d * 0.5f, d, 1e6f, &hidden, false, through) &&
        m_solids[through.solid].table->material != en_Material::Glass)
      behind = Shade(through, hit.point, hidden, depth + 1);
    return behind * surface.albedo * 0.85f + reflected * (fresnel + 0.04f);
  }
  st_Rgb lit = surface.albedo * Lighting(hit);
  if (surface.shine > 0.0f) {
    // A little highlight from each light on metal and varnish.
    for (const st_SceneLight& light : m_scene.lights) {
      const tV3 toLight =
          light.kind == en_LightKind::Directional ? light.vector.normal() : (light.vector - hit.point).normal();
      const tV3 half = (toLight + view).normal();
      const float specular = std::pow(std::max(0.0f, surface.normal.dot(half)), 40.0f) * surface.shine;
      lit += Linear(light.colour) * (specular * light.strength * 0.5f);
    }
  }
  return lit;
}

cl_SceneRender::st_Sample cl_SceneRender::Trace(float x, float y, const std::vector<bool>& hidden) const {
  tV3 o, d;
  EyeRay(x, y, o, d);
  st_Sample sample;
  st_Hit hit;
  if (!Intersect(o, d, 1e6f, &hidden, false, hit)) {
    sample.clear = m_scene.outside == en_Outside::Transparent;
    if (!sample.clear) sample.colour = NightView(d, true);
    return sample;
  }
  sample.solid = hit.solid;
  sample.colour = Shade(hit, o, hidden, 0);
  return sample;
}

base::cl_Bitmap32 cl_SceneRender::Paint(const st_Request& request) const {
  base::cl_Bitmap32 image;
  image.Create(m_scene.width, m_scene.height);
  std::vector<bool> hidden, only;
  std::vector<std::string> names(m_solids.size());
  int parts = 0;
  for (const st_Solid& s : m_solids) parts = std::max(parts, s.part + 1);
  hidden.assign(static_cast<size_t>(parts), false);
  only.assign(static_cast<size_t>(parts), request.only.empty());
  for (const st_Solid& s : m_solids) {
    for (const char* h : request.hidden)
      if (std::strcmp(h, s.table->part) == 0) hidden[s.part] = true;
    for (const char* k : request.only)
      if (std::strcmp(k, s.table->part) == 0) only[s.part] = true;
  }
  const int x0 = request.x1 > 0 ? request.x0 : 0, x1 = request.x1 > 0 ? request.x1 : m_scene.width;
  const int y0 = request.x1 > 0 ? request.y0 : 0, y1 = request.x1 > 0 ? request.y1 : m_scene.height;
  const int w = x1 - x0, h = y1 - y0;
  if (w <= 0 || h <= 0) return image;

  // First one ray through each pixel's middle; where the solid met changes from one pixel to the
  // next, four more rays, so edges are smooth and a layer's rim gets partial cover.
  std::vector<st_Sample> centre(static_cast<size_t>(w) * h);
  auto kept = [&](const st_Sample& s) {
    return !s.clear && (s.solid < 0 ? request.only.empty() : only[m_solids[s.solid].part]);
  };
  auto rows = [&](auto work) {
    const int threads = 4;
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t)
      pool.emplace_back([&, t] {
        for (int y = t; y < h; y += threads) work(y);
      });
    for (std::thread& th : pool) th.join();
  };
  rows([&](int y) {
    for (int x = 0; x < w; ++x)
      centre[static_cast<size_t>(y) * w + x] =
          Trace(static_cast<float>(x0 + x) + 0.5f, static_cast<float>(y0 + y) + 0.5f, hidden);
  });
  if (request.seen) {
    request.seen->assign(static_cast<size_t>(m_scene.width) * m_scene.height, nullptr);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const int solid = centre[static_cast<size_t>(y) * w + x].solid;
        if (solid >= 0) (*request.seen)[static_cast<size_t>(y0 + y) * m_scene.width + x0 + x] = m_solids[solid].table;
      }
  }
  rows([&](int y) {
    for (int x = 0; x < w; ++x) {
      const st_Sample& c = centre[static_cast<size_t>(y) * w + x];
      bool edge = false;
      for (const auto& [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
        const int nx = x + dx, ny = y + dy;
        if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
        const st_Sample& n = centre[static_cast<size_t>(ny) * w + nx];
        if (n.solid != c.solid || n.clear != c.clear) edge = true;
      }
      st_Rgb sum;
      float cover = 0.0f;
      int count = 0;
      auto add = [&](const st_Sample& s) {
        ++count;
        if (!kept(s)) return;
        sum += s.colour;
        cover += 1.0f;
      };
      add(c);
      if (edge) {
        static const float kOffsets[4][2] = {{0.125f, 0.375f}, {0.625f, 0.125f}, {0.875f, 0.625f}, {0.375f, 0.875f}};
        for (const auto& off : kOffsets)
          add(Trace(static_cast<float>(x0 + x) + off[0], static_cast<float>(y0 + y) + off[1], hidden));
      }
      base::Color32& out = *image.Pixel(x0 + x, y0 + y);
      if (cover <= 0.0f) {
        out = base::Color32(0x00000000u);
        continue;
      }
      const uint32_t rgb = Encode(sum * (1.0f / cover));
      out = base::Color32(static_cast<uint32_t>(std::lround(cover / static_cast<float>(count) * 255.0f)) << 24 | rgb);
    }
  });
  return image;
}

// ---- the night outside

st_Rgb cl_SceneRender::NightView(const tV3& direction, bool withSea) {
  const tV3 d = direction.normal();
  const tV3 moon = tV3(-0.35f, 0.42f, -0.84f).normal();
  if (d.y < -0.004f && withSea) {
    // The sea: dark, with the moon's glitter path where the reflection nears the moon.
    const tV3 mirror(d.x, -d.y, d.z);
    const float glitter = std::pow(std::max(0.0f, mirror.dot(moon)), 60.0f);
    const float wave = 0.5f + 0.5f * base::NoiseGenerator::perlin(d.x * 400.0f, d.y * 1600.0f, 3.5f);
    // The glitter lies toward the horizon: seen steeply from above (the ferry's deck), the swell's
    // speckles in it would cover the sea like static.
    const float towardHorizon = 1.0f - std::clamp((-d.y - 0.15f) / 0.15f, 0.0f, 1.0f);
    return Linear(0x0B1A2A) * (0.8f + 0.4f * wave) + Linear(0xE8E4C8) * (glitter * wave * 1.2f * towardHorizon);
  }
  const float up = std::clamp(d.y, 0.0f, 1.0f);
  st_Rgb sky = Mix(Linear(0x34486E), Linear(0x0A1230), std::pow(up, 0.6f));
  // A soft halo round the moon, and the moon itself.
  const float toMoon = d.dot(moon);
  sky += Linear(0x6A7490) * (std::pow(std::max(0.0f, toMoon), 24.0f) * 0.6f);
  if (toMoon > 0.99955f) return Linear(0xF4F0DC) * 1.3f;
  // Stars: sparse cells of the sky's grid, steady for the fixed seed.
  const float u = std::atan2(d.x, -d.z) * 300.0f, v = d.y * 300.0f;
  const int cu = static_cast<int>(std::floor(u)), cv = static_cast<int>(std::floor(v));
  const uint32_t hash = static_cast<uint32_t>(cu) * 73856093u ^ static_cast<uint32_t>(cv) * 19349663u;
  if (up > 0.05f && hash % 97u == 0u) {
    const float fu = u - static_cast<float>(cu) - 0.5f, fv = v - static_cast<float>(cv) - 0.5f;
    const float star = std::max(0.0f, 1.0f - (fu * fu + fv * fv) * 8.0f);
    sky += Linear(0xFFF6E0) * (star * (0.3f + static_cast<float>(hash % 7u) * 0.1f));
  }
  // Thin clouds drifting low.
  const float cloud = base::NoiseGenerator::perlin(d.x * 3.0f / (up + 0.15f), d.z * 3.0f / (up + 0.15f), 7.5f);
  sky = Mix(sky, Linear(0x2A3048), std::clamp(cloud * 1.5f, 0.0f, 0.5f) * (1.0f - up));
  return sky;
}

}  // namespace demogen
