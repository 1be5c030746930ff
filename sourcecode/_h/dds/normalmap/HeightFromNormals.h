// Heights from a normal map: the gradient field the normals imply, its divergence, and a
// multigrid Poisson solve; the result is scaled to 0..1.
#pragma once

#include "dds/image/FloatImage.h"

namespace dds {

// Turns the normal map in R, G, B into a grey height (v, v, v, 0) scaled to 0..1; invert X and
// Y negate R and G first, invert Z flips the result. A flat result (and a 1×1 picture) gives 0
// everywhere (1 with invert Z). Beyond the picture the working grid holds its mirror image.
// `unused` is not read. Always returns 0.
i32 HeightFromNormals(FloatImage& picture, bool invert_x, bool invert_y, bool invert_z,
                      i32 sweeps, f32 unused);

// Working grid sides of a picture: each side rounded up to a power of two. Wide or tall
// pictures get a rectangular grid rather than a square of the longer side.
void HeightWorkingSize(u32 width, u32 height, u32& grid_width, u32& grid_height);

// Poisson solver on grids of (w + 1) × (h + 1) points, w and h powers of two, halved per level
// on every side that is still longer than 2 until none is; grids whose spacing differs across
// rows and columns relax whole lines. Neighbours outside a grid are left
// out (free edges). Spacing is 1 / max(w, h) per interval on level 0.
class Multigrid {
 public:
  // A grid of `rows` × `cols` f32 values, row-major.
  struct Grid {
    u32 rows = 0, cols = 0;
    f32 hx = 0.0f, hy = 0.0f;  // spacing across columns and across rows
    tVector<f32> v;
    f32& At(u32 r, u32 c) { return v[r * cols + c]; }
    f32 At(u32 r, u32 c) const { return v[r * cols + c]; }
  };

  // False when either side is not a power of two (0 counts as one). Builds zero grids for every
  // level and resets the current level to 0.
  bool Init(u32 width, u32 height);
  // Init(width, height), then the right-hand side of level 0 from the gradients (width·height
  // each, row-major): the divergence with the last row and column repeated outward. False when
  // memory runs out (the right-hand side stays zero).
  bool SetDivergence(const f32* gx, const f32* gy, u32 width, u32 height);
  // Over-relaxed Gauss–Seidel sweep; residual; full-weighting restriction; bilinear
  // prolongation added to the finer grid.
  static void Relax(Grid& u, const Grid& f);
  static void Residual(const Grid& u, const Grid& f, Grid& r);
  static void Restrict(const Grid& fine, Grid& coarse);
  static void ProlongateAdd(const Grid& coarse, Grid& fine);

  void RelaxLevel(i32 sweeps);
  void GoCoarser(i32 sweeps);
  void GoFiner(i32 sweeps);
  // Down to the coarsest level, then up one level at a time, revisiting every coarser level on
  // the way; ends on level 0.
  void Solve(i32 sweeps);
  // Subtracts the smallest level-0 value from every level-0 value.
  void ShiftToZero();
  // Rows 0..height − 1, columns 0..width − 1 of the current level's solution, stride width.
  void CopySolution(u32 width, u32 height, f32* out) const;

  i32 Levels() const { return static_cast<i32>(m_u.size()); }
  const Grid& Solution(i32 level) const { return m_u[static_cast<u32>(level)]; }
  i32 CurrentLevel() const { return m_level; }

 private:
  tVector<Grid> m_u, m_f;
  Grid m_scratch;
  i32 m_level = 0;
};

}  // namespace dds
