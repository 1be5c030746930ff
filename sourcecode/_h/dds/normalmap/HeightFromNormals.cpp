#include "dds/normalmap/HeightFromNormals.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "dds/Log.h"

namespace dds {
namespace {

// Steeper slopes than this are taken as this steep: a normal lying almost in the surface plane
// would otherwise give gradients that overflow the divergence and turn the solve into NaN.
constexpr f32 kMaxSlope = 1.0e4f;

u32 RoundUpPowerOfTwo(u32 v) {
  u32 p = 1;
  while (p < v && p < (1u << 31)) p <<= 1;
  return p;
}

bool IsPowerOfTwoOrZero(u32 v) { return (v & (v - 1)) == 0; }

void MakeGrid(Multigrid::Grid& g, u32 rows, u32 cols, f32 hx, f32 hy) {
  g.rows = rows;
  g.cols = cols;
  g.hx = hx;
  g.hy = hy;
  g.v.resize(rows * cols);
  for (f32& e : g.v) e = 0.0f;
}

f32 Slope(f32 along, f32 z) {
  if (z == 0.0f) return along >= 0.0f ? -1.0f : 1.0f;
  return std::clamp(-along / z, -kMaxSlope, kMaxSlope);
}

}  // namespace

void HeightWorkingSize(u32 width, u32 height, u32& grid_width, u32& grid_height) {
  grid_width = RoundUpPowerOfTwo(width);
  grid_height = RoundUpPowerOfTwo(height);
}

// ---- Multigrid

bool Multigrid::Init(u32 width, u32 height) {
  m_u.clear();
  m_f.clear();
  m_level = 0;
  if (!IsPowerOfTwoOrZero(width) || !IsPowerOfTwoOrZero(height)) return false;
  u32 w = std::max(width, 1u), h = std::max(height, 1u);
  f32 hx = 1.0f / static_cast<f32>(std::max(w, h)), hy = hx;
  for (;;) {
    m_u.resize(m_u.size() + 1);
    m_f.resize(m_f.size() + 1);
    MakeGrid(m_u[m_u.size() - 1], h + 1, w + 1, hx, hy);
    MakeGrid(m_f[m_f.size() - 1], h + 1, w + 1, hx, hy);
    // Each side halves while it is longer than two intervals; a thin picture keeps coarsening
    // along its long side alone.
    bool coarser = false;
    if (w > 2) {
      w /= 2;
      hx *= 2.0f;
      coarser = true;
    }
    if (h > 2) {
      h /= 2;
      hy *= 2.0f;
      coarser = true;
    }
    if (!coarser) break;
  }
  return true;
}

bool Multigrid::SetDivergence(const f32* gx, const f32* gy, u32 w, u32 h) {
  Init(w, h);
  if (m_f.empty() || w == 0 || h == 0) return true;
  const u32 pw = w + 1;
  f32* px = new (std::nothrow) f32[static_cast<std::size_t>(pw) * (h + 1)]();
  f32* py = new (std::nothrow) f32[static_cast<std::size_t>(pw) * (h + 1)]();
  if (px == nullptr || py == nullptr) {
    delete[] px;
    delete[] py;
    Log("ERROR: dds: no memory for the divergence of a %ux%u normal map\n", w, h);
    return false;
  }
  for (u32 r = 0; r < h; ++r)
    for (u32 c = 0; c < w; ++c) {
      px[r * pw + c] = gx[r * w + c];
      py[r * pw + c] = gy[r * w + c];
    }
  // The last row and column are repeated outward; the far corner stays 0.
  for (u32 c = 0; c < w; ++c) {
    px[h * pw + c] = px[(h - 1) * pw + c];
    py[h * pw + c] = py[(h - 1) * pw + c];
  }
  for (u32 r = 0; r < h; ++r) {
    px[r * pw + w] = px[r * pw + w - 1];
    py[r * pw + w] = py[r * pw + w - 1];
  }
  Grid& f = m_f[0];
  for (u32 r = 0; r <= h; ++r)
    for (u32 c = 0; c <= w; ++c) {
      const u32 i = r * pw + c;
      f32 v = 0.0f;
      if (r > 0) v -= 0.5f * (py[i - pw] + py[i]);
      if (r < h) v += 0.5f * (py[i + pw] + py[i]);
      if (c > 0) v -= 0.5f * (px[i - 1] + px[i]);
      if (c < w) v += 0.5f * (px[i] + px[i + 1]);
      f.At(r, c) = v;
    }
  delete[] px;
  delete[] py;
  return true;
}

namespace {

// Gauss–Seidel over whole lines along the axis of smaller spacing, each line solved exactly with
// its neighbours across held. Used once a thin picture has run out of points across and its
// grids coarsen along one side only: there the coupling along the short side dominates, and point
// sweeps would hardly smooth along the long side.
void RelaxLines(f32* u, const f32* f, u32 lines, u32 length, u32 stride_along, u32 stride_across,
                f64 h_along, f64 h_across) {
  const f64 ia = 1.0 / (h_along * h_along), ic = 1.0 / (h_across * h_across);
  tVector<f64> c(length), d(length);
  for (u32 line = 0; line < lines; ++line) {
    const std::size_t base = static_cast<std::size_t>(line) * stride_across;
    // Thomas algorithm: forward sweep, then back substitution.
    f64 prev_c = 0.0, prev_d = 0.0;
    for (u32 i = 0; i < length; ++i) {
      const std::size_t at = base + static_cast<std::size_t>(i) * stride_along;
      f64 across = 0.0;
      i32 kc = 0;
      if (line > 0) across += u[at - stride_across], ++kc;
      if (line + 1 < lines) across += u[at + stride_across], ++kc;
      const i32 ka = (i > 0) + (i + 1 < length);
      const f64 diag = kc * ic + ka * ia;
      const f64 rhs = f[at] + across * ic;
      const f64 sub = i > 0 ? -ia : 0.0;
      const f64 sup = i + 1 < length ? -ia : 0.0;
      const f64 m = diag - sub * prev_c;
      c[i] = m != 0.0 ? sup / m : 0.0;
      d[i] = m != 0.0 ? (rhs - sub * prev_d) / m : 0.0;
      prev_c = c[i];
      prev_d = d[i];
    }
    f64 next = 0.0;
    for (u32 i = length; i-- > 0;) {
      next = d[i] - c[i] * next;
      u[base + static_cast<std::size_t>(i) * stride_along] = static_cast<f32>(next);
    }
  }
}

}  // namespace

void Multigrid::Relax(Grid& u, const Grid& f) {
  const u32 rows = u.rows, cols = u.cols;
  f32* uv = u.v.data();
  const f32* fv = f.v.data();
  if (u.hy < u.hx) {
    RelaxLines(uv, fv, cols, rows, cols, 1, u.hy, u.hx);
    return;
  }
  if (u.hx < u.hy) {
    RelaxLines(uv, fv, rows, cols, 1, cols, u.hx, u.hy);
    return;
  }
  const f32 h = u.hx;
  for (u32 r = 0; r < rows; ++r)
    for (u32 c = 0; c < cols; ++c) {
      const u32 i = r * cols + c;
      if (r > 0 && r + 1 < rows && c > 0 && c + 1 < cols) {
        // Inner points have all four neighbours; a quarter is exact, a division is slow.
        const f32 g = (fv[i] * h * h + (uv[i - cols] + uv[i + cols] + uv[i - 1] + uv[i + 1])) * 0.25f;
        uv[i] = static_cast<f32>(g * 1.7999999523162842 - uv[i] * 0.7999999523162842);
        continue;
      }
      f32 s = 0.0f;
      i32 k = 0;
      if (r > 0) s += uv[i - cols], ++k;
      if (r + 1 < rows) s += uv[i + cols], ++k;
      if (c > 0) s += uv[i - 1], ++k;
      if (c + 1 < cols) s += uv[i + 1], ++k;
      const f32 g = (fv[i] * h * h + s) / static_cast<f32>(k);
      uv[i] = static_cast<f32>(g * 1.7999999523162842 - uv[i] * 0.7999999523162842);
    }
}

void Multigrid::Residual(const Grid& u, const Grid& f, Grid& out) {
  MakeGrid(out, u.rows, u.cols, u.hx, u.hy);
  const u32 rows = u.rows, cols = u.cols;
  const f32* uv = u.v.data();
  const f64 ix = 1.0 / (static_cast<f64>(u.hx) * u.hx), iy = 1.0 / (static_cast<f64>(u.hy) * u.hy);
  for (u32 r = 0; r < rows; ++r)
    for (u32 c = 0; c < cols; ++c) {
      const u32 i = r * cols + c;
      f64 sx = 0.0, sy = 0.0;
      i32 kx = 0, ky = 0;
      if (r > 0) sy += uv[i - cols], ++ky;
      if (r + 1 < rows) sy += uv[i + cols], ++ky;
      if (c > 0) sx += uv[i - 1], ++kx;
      if (c + 1 < cols) sx += uv[i + 1], ++kx;
      out.v[i] = static_cast<f32>(f.v[i] - (kx * uv[i] - sx) * ix - (ky * uv[i] - sy) * iy);
    }
}

void Multigrid::Restrict(const Grid& fine, Grid& coarse) {
  // Full weighting along each side that was halved; a side that was not keeps its points.
  const bool halve_r = fine.rows > coarse.rows, halve_c = fine.cols > coarse.cols;
  const f32 w1[3] = {0.0f, 1.0f, 0.0f}, w2[3] = {0.25f, 0.5f, 0.25f};
  const f32* wr = halve_r ? w2 : w1;
  const f32* wc = halve_c ? w2 : w1;
  for (u32 i = 0; i < coarse.rows; ++i)
    for (u32 j = 0; j < coarse.cols; ++j) {
      const i64 fr = halve_r ? 2 * i64{i} : i, fc = halve_c ? 2 * i64{j} : j;
      f32 sum = 0.0f;
      for (int di = -1; di <= 1; ++di) {
        const i64 r = fr + di;
        if (wr[di + 1] == 0.0f || r < 0 || r >= fine.rows) continue;
        for (int dj = -1; dj <= 1; ++dj) {
          const i64 c = fc + dj;
          if (wc[dj + 1] == 0.0f || c < 0 || c >= fine.cols) continue;
          sum += wr[di + 1] * wc[dj + 1] * fine.At(static_cast<u32>(r), static_cast<u32>(c));
        }
      }
      coarse.At(i, j) = sum;
    }
}

void Multigrid::ProlongateAdd(const Grid& coarse, Grid& fine) {
  const bool halve_r = fine.rows > coarse.rows, halve_c = fine.cols > coarse.cols;
  for (u32 i = 0; i < fine.rows; ++i) {
    const u32 a = halve_r ? i / 2 : i;
    const bool mid_r = halve_r && (i & 1) != 0;
    for (u32 j = 0; j < fine.cols; ++j) {
      const u32 b = halve_c ? j / 2 : j;
      const bool mid_c = halve_c && (j & 1) != 0;
      f32 v;
      if (!mid_r && !mid_c)
        v = coarse.At(a, b);
      else if (!mid_r)
        v = (coarse.At(a, b) + coarse.At(a, b + 1)) / 2.0f;
      else if (!mid_c)
        v = (coarse.At(a, b) + coarse.At(a + 1, b)) / 2.0f;
      else
        v = (coarse.At(a, b) + coarse.At(a, b + 1) + coarse.At(a + 1, b) + coarse.At(a + 1, b + 1)) /
            4.0f;
      fine.At(i, j) += v;
    }
  }
}

void Multigrid::RelaxLevel(i32 sweeps) {
  if (m_u.empty()) return;
  const u32 l = static_cast<u32>(m_level);
  for (i32 s = 0; s < sweeps; ++s) Relax(m_u[l], m_f[l]);
}

void Multigrid::GoCoarser(i32 sweeps) {
  if (m_level + 1 >= Levels()) return;
  RelaxLevel(sweeps);
  const u32 l = static_cast<u32>(m_level);
  Residual(m_u[l], m_f[l], m_scratch);
  Restrict(m_scratch, m_f[l + 1]);
  ++m_level;
}

void Multigrid::GoFiner(i32 sweeps) {
  if (m_level <= 0) return;
  const u32 l = static_cast<u32>(m_level);
  ProlongateAdd(m_u[l], m_u[l - 1]);
  --m_level;
  RelaxLevel(sweeps);
}

void Multigrid::Solve(i32 sweeps) {
  const i32 coarsest = Levels() - 1;
  if (coarsest < 0) return;
  // A single grid has nothing to descend to; relaxing it is the whole solve.
  if (coarsest == 0) RelaxLevel(sweeps);
  while (m_level < coarsest) GoCoarser(sweeps);
  while (m_level > 0) {
    RelaxLevel(sweeps);
    GoFiner(sweeps);
    const i32 level = m_level;
    while (m_level < coarsest) GoCoarser(sweeps);
    while (m_level > level) GoFiner(sweeps);
  }
  m_scratch.v.clear();
}

void Multigrid::ShiftToZero() {
  if (m_u.empty()) return;
  Grid& g = m_u[0];
  if (g.v.empty()) return;
  f32 m = g.v[0];
  for (f32 v : g.v) m = std::min(m, v);
  for (f32& v : g.v) v -= m;
}

void Multigrid::CopySolution(u32 width, u32 height, f32* out) const {
  if (m_u.empty()) return;
  const Grid& g = m_u[static_cast<u32>(m_level)];
  for (u32 r = 0; r < height && r < g.rows; ++r)
    for (u32 c = 0; c < width && c < g.cols; ++c) out[r * width + c] = g.At(r, c);
}

// ---- HeightFromNormals

i32 HeightFromNormals(FloatImage& picture, bool invert_x, bool invert_y, bool invert_z,
                      i32 sweeps, f32 /*unused*/) {
  const u32 w = picture.width, h = picture.height;
  if (w == 0 || h == 0 || picture.rows == nullptr) return 0;
  u32 gw, gh;
  HeightWorkingSize(w, h, gw, gh);
  const std::size_t n = static_cast<std::size_t>(gw) * gh;
  f32* gx = new (std::nothrow) f32[n]();
  f32* gy = new (std::nothrow) f32[n]();
  f32* result = new (std::nothrow) f32[n]();
  if (gx == nullptr || gy == nullptr || result == nullptr) {
    delete[] gx;
    delete[] gy;
    delete[] result;
    Log("ERROR: dds: no memory for heights of a %ux%u normal map\n", w, h);
    return 0;
  }
  for (u32 y = 0; y < h; ++y) {
    const f32* px = picture.Row(y);
    for (u32 x = 0; x < w; ++x, px += 4) {
      f64 v[3] = {invert_x ? -px[0] : px[0], invert_y ? -px[1] : px[1], px[2]};
      const f64 len2 = v[0] * v[0] + v[1] * v[1] + v[2] * v[2];
      const std::size_t i = static_cast<std::size_t>(y) * gw + x;
      if (!std::isfinite(len2)) continue;  // a broken pixel counts as flat
      if (len2 < 1e-12) {
        v[0] = v[1] = v[2] = 0.0;
      } else if (std::fabs(len2 - 1.0) > 1e-12) {
        const f64 len = std::sqrt(len2);
        for (f64& e : v) e /= len;
      }
      gx[i] = Slope(static_cast<f32>(v[0]), static_cast<f32>(v[2]));
      gy[i] = Slope(static_cast<f32>(v[1]), static_cast<f32>(v[2]));
    }
  }
  // The grid beyond the picture mirrors it (slopes across the mirror line change sign), so the
  // surface meets the padding without a kink; flat padding would bend the picture's edges.
  for (u32 y = 0; y < gh; ++y) {
    const u32 sy = y < h ? y : 2 * h - 1 - y;
    const f32 fy = y < h ? 1.0f : -1.0f;
    for (u32 x = 0; x < gw; ++x) {
      if (x < w && y < h) continue;
      const u32 sx = x < w ? x : 2 * w - 1 - x;
      const f32 fx = x < w ? 1.0f : -1.0f;
      const std::size_t from = static_cast<std::size_t>(sy) * gw + sx;
      const std::size_t to = static_cast<std::size_t>(y) * gw + x;
      gx[to] = fx * gx[from];
      gy[to] = fy * gy[from];
    }
  }
  {
    Multigrid solver;
    solver.SetDivergence(gx, gy, gw, gh);
    delete[] gx;
    delete[] gy;
    gx = gy = nullptr;
    solver.Solve(std::max(sweeps, 0));
    solver.ShiftToZero();
    solver.CopySolution(gw, gh, result);
  }
  // The relaxation solves −Δu = f with f the divergence of the slopes, so u is the height upside
  // down; read as it stands, a bump would come back as a pit. It is read negated.
  for (std::size_t i = 0; i < n; ++i) result[i] = -result[i];
  f32 lo = 1e20f, hi = -1e20f;
  for (u32 y = 0; y < h; ++y)
    for (u32 x = 0; x < w; ++x) {
      const f32 v = result[static_cast<std::size_t>(y) * gw + x];
      lo = std::min(lo, v);
      hi = std::max(hi, v);
    }
  const f32 range = hi - lo;
  // A flat result has no scale to divide by: it becomes 0 (before invert Z).
  const bool flat = !(range > 0.0f) || !std::isfinite(range);
  for (u32 y = 0; y < h; ++y) {
    f32* px = picture.Row(y);
    for (u32 x = 0; x < w; ++x, px += 4) {
      f32 v = flat ? 0.0f : (result[static_cast<std::size_t>(y) * gw + x] - lo) / range;
      if (invert_z) v = 1.0f - v;
      px[0] = px[1] = px[2] = v;
      px[3] = 0.0f;
    }
  }
  delete[] result;
  return 0;
}

}  // namespace dds
