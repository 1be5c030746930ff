// Improved Perlin noise in one, two and three dimensions, for procedural heights and wobble.
// Stateless; every variant is 0 on integer lattice points and repeats with period 256 on each
// axis. perlin computes in float (intermediate terms in double, each step rounded to float),
// perlind in double, perlin_fpa in fixed point with 12 fraction bits (4096 = 1.0).
#pragma once

namespace base {

class NoiseGenerator {
 public:
  static float perlin(float x);
  static float perlin(float x, float y);
  static float perlin(float x, float y, float z);

  static double perlind(double x);
  static double perlind(double x, double y);
  static double perlind(double x, double y, double z);

  static int perlin_fpa(int x);
  static int perlin_fpa(int x, int y);
  static int perlin_fpa(int x, int y, int z);

  // The reference permutation of 0..255 that hashes the lattice cells.
  static const int* permutation();
};

}  // namespace base
