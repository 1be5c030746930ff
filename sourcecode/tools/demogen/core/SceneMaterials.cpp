#include "core/SceneMaterials.h"

#include <algorithm>
#include <cmath>

#include "base/math/Noise.h"

namespace demogen {

namespace {

float Noise(float x, float y, float z) { return base::NoiseGenerator::perlin(x, y, z); }

// A steady value in [0, 1) for a cell of a pattern.
float Hash(int a, int b, int seed = 0) {
  uint32_t h = static_cast<uint32_t>(a) * 73856093u ^ static_cast<uint32_t>(b) * 19349663u ^
               static_cast<uint32_t>(seed) * 83492791u;
  h ^= h >> 13, h *= 0x5bd1e995u, h ^= h >> 15;
  return static_cast<float>(h & 0xFFFFu) / 65536.0f;
}

float Fract(float v) { return v - std::floor(v); }

// The face's own axes: u runs along it (x, or z on a side), v up it (y, or z on a top).
void FaceAxes(const tV3& p, const tV3& n, float& u, float& v) {
  if (std::fabs(n.y) > 0.5f)
    u = p.x, v = p.z;
  else if (std::fabs(n.x) > 0.5f)
    u = p.z, v = p.y;
  else
    u = p.x, v = p.y;
}

st_Rgb Tinted(uint32_t colour, float shade) { return Linear(colour) * shade; }

st_Rgb Grain(const st_SceneSolid& s, const tV3& p, const tV3& n, uint32_t colour) {
  // Along the solid's longest side on this face, rings across it.
  const tV3 size = s.hi - s.lo;
  float along, across, depth;
  if (std::fabs(n.y) > 0.5f) {
    along = size.x >= size.z ? p.x : p.z, across = size.x >= size.z ? p.z : p.x, depth = p.y;
  } else if (std::fabs(n.x) > 0.5f) {
    along = size.y >= size.z ? p.y : p.z, across = size.y >= size.z ? p.z : p.y, depth = p.x;
  } else {
    along = size.x >= size.y ? p.x : p.y, across = size.x >= size.y ? p.y : p.x, depth = p.z;
  }
  const float rings = std::sin(across * 0.7f + 7.0f * Noise(along * 0.012f, across * 0.05f, depth * 0.01f + 0.37f));
  const float streak = Noise(along * 0.03f, across * 0.9f, 2.1f);
  return Tinted(colour, 0.86f + 0.1f * rings + 0.08f * streak);
}

}  // namespace

st_Surface SurfaceAt(const st_SceneSolid& s, const tV3& p, const tV3& n) {
  st_Surface out;
  out.normal = n;
  float u, v;
  FaceAxes(p, n, u, v);
  const uint32_t c = s.colour;
  switch (s.material) {
    case en_Material::Plaster: {
      const float mottle = 0.06f * Noise(u * 0.025f, v * 0.025f, 0.5f) + 0.03f * Noise(u * 0.2f, v * 0.2f, 1.5f);
      const float grime = 1.0f - 0.18f * std::exp(-std::max(0.0f, p.y) / 25.0f);
      out.albedo = Tinted(c, (0.94f + mottle) * grime);
      break;
    }
    case en_Material::Panelling: {
      const float board = u / 14.0f;
      const int index = static_cast<int>(std::floor(board));
      const float f = Fract(board);
      float shade =
          0.88f + 0.16f * Hash(index, 7) + 0.1f * Noise(u * 0.6f, v * 0.02f, static_cast<float>(index) * 0.3f);
      if (f < 0.06f || f > 0.97f) shade *= 0.55f;
      out.albedo = Tinted(c, shade);
      out.shine = 0.15f;
      break;
    }
    case en_Material::Boards: {
      const float row = p.z / 16.0f;
      const int r = static_cast<int>(std::floor(row));
      const float along = (p.x + Hash(r, 3) * 180.0f) / 180.0f;
      const int plank = static_cast<int>(std::floor(along));
      float shade =
          0.82f + 0.22f * Hash(r, plank, 11) + 0.1f * Noise(p.x * 0.02f, p.z * 0.6f, static_cast<float>(r) * 0.17f);
      if (Fract(row) < 0.05f || Fract(along) < 0.006f) shade *= 0.5f;
      out.albedo = Tinted(c, shade);
      out.shine = 0.2f;
      break;
    }
    case en_Material::Wood:
      out.albedo = Grain(s, p, n, c);
      out.shine = 0.3f;
      break;
    case en_Material::Brick: {
      const float row = v / 8.0f;
      const int r = static_cast<int>(std::floor(row));
      const float along = (u + (r % 2 != 0 ? 12.0f : 0.0f)) / 24.0f;
      const int b = static_cast<int>(std::floor(along));
      if (Fract(row) < 0.14f || Fract(along) < 0.05f) {
        out.albedo = Tinted(0x8A8478, 0.8f + 0.1f * Noise(u * 0.3f, v * 0.3f, 4.4f));
      } else {
        const float shade = 0.72f + 0.38f * Hash(b, r, 5) + 0.08f * Noise(u * 0.15f, v * 0.4f, 2.2f);
        out.albedo = Tinted(c, shade);
      }
      break;
    }
    case en_Material::Slabs: {
      // Setts of 45 cm in courses, each a little different, with dark joints.
      const float a = u / 45.0f, b = (v + (static_cast<int>(std::floor(u / 45.0f)) % 2 != 0 ? 22.5f : 0.0f)) / 45.0f;
      const int ia = static_cast<int>(std::floor(a)), ib = static_cast<int>(std::floor(b));
      float shade = 0.86f + 0.16f * Hash(ia, ib, 9) + 0.08f * Noise(u * 0.1f, v * 0.1f, 6.6f) +
                    0.06f * Noise(u * 0.7f, v * 0.7f, 1.1f);
      if (Fract(a) < 0.04f || Fract(b) < 0.04f) shade *= 0.4f;
      out.albedo = Tinted(c, shade);
      out.shine = 0.12f;
      break;
    }
    case en_Material::Stone:
      out.albedo = Tinted(
          c, 0.86f + 0.14f * Noise(p.x * 0.15f, p.y * 0.15f, p.z * 0.15f) + 0.07f * Noise(u * 1.3f, v * 1.3f, 3.3f));
      break;
    case en_Material::Glass: out.albedo = Linear(c); break;
    case en_Material::Water: {
      // Swells running along the quay bend the mirror.
      const float dx = Noise(p.x * 0.012f, p.z * 0.05f, 1.3f) + 0.5f * Noise(p.x * 0.05f, p.z * 0.2f, 5.7f);
      const float dz = Noise(p.x * 0.012f, p.z * 0.05f, 9.1f) + 0.5f * Noise(p.x * 0.05f, p.z * 0.2f, 2.9f);
      out.normal = tV3(dx * 0.12f, 1.0f, dz * 0.25f).normal();
      out.albedo = Linear(c);
      break;
    }
    case en_Material::Metal:
      out.albedo = Tinted(c, 0.9f + 0.1f * Noise(u * 0.1f, v * 0.1f, 8.8f));
      out.shine = 0.5f;
      break;
    case en_Material::Brass:
      out.albedo = Tinted(c, 0.95f + 0.05f * Noise(u * 0.3f, v * 0.3f, 0.9f));
      out.shine = 1.0f;
      break;
    case en_Material::Paper: {
      float shade = 0.97f + 0.03f * Noise(u * 0.5f, v * 0.5f, 2.5f);
      // Typed lines on the sheet's face.
      if (std::fabs(n.y) > 0.5f) {
        const float line = (v - s.lo.z) / 2.2f;
        const float margin = (u - s.lo.x) / (s.hi.x - s.lo.x);
        if (line > 1.0f && Fract(line) < 0.35f && margin > 0.12f &&
            margin < 0.2f + 0.7f * Hash(static_cast<int>(line), 1))
          shade *= 0.45f;
      }
      out.albedo = Tinted(c, shade);
      break;
    }
    case en_Material::Books: {
      if (std::fabs(n.z) < 0.5f) {
        out.albedo = Tinted(c, 0.5f);
        break;
      }
      const float cell = (p.x - s.lo.x) / 3.4f;
      const int book = static_cast<int>(std::floor(cell));
      const float top = s.lo.y + (s.hi.y - s.lo.y) * (0.7f + 0.3f * Hash(book, 2));
      if (p.y > top) {
        out.albedo = Tinted(0x1A120C, 1.0f);
        break;
      }
      static const uint32_t kSpines[] = {0x7A2A22, 0x2E4A6A, 0x3E5A32, 0x8A6A2A,
                                         0x5A2E4A, 0x6A5A48, 0x2A3A3A, 0x9A4A2A};
      const uint32_t spine = kSpines[static_cast<int>(Hash(book, 4) * 8.0f) % 8];
      float shade = 0.8f + 0.25f * Hash(book, 6) + 0.05f * Noise(p.x * 2.0f, p.y * 0.1f, 0.3f);
      const float f = Fract(cell);
      if (f < 0.07f || f > 0.95f) shade *= 0.5f;
      const bool banded = Hash(book, 8) > 0.45f;
      if (banded && (std::fabs(p.y - (top - 4.0f)) < 0.7f || std::fabs(p.y - (s.lo.y + 4.0f)) < 0.7f)) {
        out.albedo = Tinted(0xC8A048, 0.9f);
        out.shine = 0.6f;
      } else {
        out.albedo = Tinted(spine, shade);
      }
      break;
    }
    case en_Material::Cloth: {
      // A rug: a border, then a field of lozenges.
      const float bx = std::min(p.x - s.lo.x, s.hi.x - p.x), bz = std::min(p.z - s.lo.z, s.hi.z - p.z);
      const float fibre = 0.9f + 0.1f * Noise(p.x * 0.8f, p.z * 0.8f, 5.5f);
      if (std::min(bx, bz) < 14.0f) {
        out.albedo = Tinted(0x3A2418, fibre * (std::min(bx, bz) < 5.0f ? 0.8f : 1.0f));
      } else {
        const float fx = Fract((p.x - s.lo.x) / 40.0f) - 0.5f, fz = Fract((p.z - s.lo.z) / 40.0f) - 0.5f;
        out.albedo = Tinted(c, fibre * (std::fabs(fx) + std::fabs(fz) < 0.28f ? 1.35f : 1.0f));
      }
      break;
    }
    case en_Material::Painted:
      out.albedo =
          Tinted(c, 0.92f + 0.08f * Noise(u * 0.05f, v * 0.05f, 3.9f) + 0.03f * Noise(u * 0.5f, v * 0.5f, 4.9f));
      out.shine = 0.1f;
      break;
    case en_Material::Light: out.albedo = Linear(c); break;
  }
  return out;
}

}  // namespace demogen
