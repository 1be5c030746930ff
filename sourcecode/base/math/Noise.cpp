#include "base/math/Noise.h"

#include <cmath>

namespace base {

namespace {

// Ken Perlin's reference permutation (improved noise, 2002), repeated so that cell + 1 and
// hash + 1 never need a wrap.
constexpr int kPerm[256] = {
    151, 160, 137, 91,  90,  15,  131, 13,  201, 95,  96,  53,  194, 233, 7,   225, 140, 36,  103, 30,
    69,  142, 8,   99,  37,  240, 21,  10,  23,  190, 6,   148, 247, 120, 234, 75,  0,   26,  197, 62,
    94,  252, 219, 203, 117, 35,  11,  32,  57,  177, 33,  88,  237, 149, 56,  87,  174, 20,  125, 136,
    171, 168, 68,  175, 74,  165, 71,  134, 139, 48,  27,  166, 77,  146, 158, 231, 83,  111, 229, 122,
    60,  211, 133, 230, 220, 105, 92,  41,  55,  46,  245, 40,  244, 102, 143, 54,  65,  25,  63,  161,
    1,   216, 80,  73,  209, 76,  132, 187, 208, 89,  18,  169, 200, 196, 135, 130, 116, 188, 159, 86,
    164, 100, 109, 198, 173, 186, 3,   64,  52,  217, 226, 250, 124, 123, 5,   202, 38,  147, 118, 126,
    255, 82,  85,  212, 207, 206, 59,  227, 47,  16,  58,  17,  182, 189, 28,  42,  223, 183, 170, 213,
    119, 248, 152, 2,   44,  154, 163, 70,  221, 153, 101, 155, 167, 43,  172, 9,   129, 22,  39,  253,
    19,  98,  108, 110, 79,  113, 224, 232, 178, 185, 112, 104, 218, 246, 97,  228, 251, 34,  242, 193,
    238, 210, 144, 12,  191, 179, 162, 241, 81,  51,  145, 235, 249, 14,  239, 107, 49,  192, 214, 31,
    181, 199, 106, 157, 184, 84,  204, 176, 115, 121, 50,  45,  127, 4,   150, 254, 138, 236, 205, 93,
    222, 114, 67,  29,  24,  72,  243, 141, 128, 195, 78,  66,  215, 61,  156, 180};

struct PermTable {
  int p[512];
  constexpr PermTable() : p() {
    for (int i = 0; i < 512; ++i) p[i] = kPerm[i & 255];
  }
};
constexpr PermTable kTable;
constexpr const int* P = kTable.p;

// ---- float and double
// Terms are computed in double and each gradient, fade and blend is rounded to Real.

template <typename Real> Real Fade(Real t) {
  const double d = t;
  return static_cast<Real>(d * d * d * (d * (d * 6.0 - 15.0) + 10.0));
}

template <typename Real> Real Lerp(Real t, Real a, Real b) {
  return static_cast<Real>(static_cast<double>(a) + static_cast<double>(t) * (static_cast<double>(b) - a));
}

// In grad1 and grad2 bit 0 negates B and bit 1 negates A; grad3 is the reference gradient.
template <typename T> T Grad1(int hash, T x) {
  const int h = hash & 15;
  const T a = h < 8 ? x : T(0);
  const T b = (h == 12 || h == 13) ? x : T(0);
  return (h & 1 ? -b : b) + (h & 2 ? -a : a);
}

template <typename T> T Grad2(int hash, T x, T y) {
  const int h = hash & 15;
  const T a = h < 8 ? x : y;
  const T b = h < 4 ? y : ((h == 12 || h == 13) ? x : T(0));
  return (h & 1 ? -b : b) + (h & 2 ? -a : a);
}

template <typename T> T Grad3(int hash, T x, T y, T z) {
  const int h = hash & 15;
  const T u = (h < 8 || h == 12 || h == 13) ? x : y;
  const T v = (h < 4 || h == 12 || h == 13) ? y : z;
  return (h & 1 ? -u : u) + (h & 2 ? -v : v);
}

// The lattice cell modulo 256 and the fraction; stays defined for huge or non-finite input.
template <typename Real> int Cell(Real v, Real& frac) {
  const Real fl = std::floor(v);
  frac = v - fl;
  const Real wrapped = fl - Real(256) * std::floor(fl / Real(256));
  return (wrapped >= Real(0) && wrapped < Real(256)) ? static_cast<int>(wrapped) : 0;
}

template <typename Real> Real Noise1(Real x) {
  Real fx;
  const int X = Cell(x, fx);
  return Lerp(Fade(fx), static_cast<Real>(Grad1<double>(P[X], fx)),
              static_cast<Real>(Grad1<double>(P[X + 1], static_cast<double>(fx) - 1.0)));
}

template <typename Real> Real Noise2(Real x, Real y) {
  Real fx, fy;
  const int X = Cell(x, fx);
  const int Y = Cell(y, fy);
  const int A = (P[X] + Y) & 255, B = (P[X + 1] + Y) & 255;
  const double dx = fx, dy = fy;
  auto g = [](int h, double gx, double gy) { return static_cast<Real>(Grad2<double>(h, gx, gy)); };
  const Real u = Fade(fx), v = Fade(fy);
  return Lerp(v, Lerp(u, g(P[A], dx, dy), g(P[B], dx - 1, dy)),
              Lerp(u, g(P[A + 1], dx, dy - 1), g(P[B + 1], dx - 1, dy - 1)));
}

template <typename Real> Real Noise3(Real x, Real y, Real z) {
  Real fx, fy, fz;
  const int X = Cell(x, fx), Y = Cell(y, fy), Z = Cell(z, fz);
  const int A = P[X] + Y, AA = P[A] + Z, AB = P[A + 1] + Z;
  const int B = P[X + 1] + Y, BA = P[B] + Z, BB = P[B + 1] + Z;
  const double dx = fx, dy = fy, dz = fz;
  auto g = [](int h, double gx, double gy, double gz) {
    return static_cast<Real>(Grad3<double>(h, gx, gy, gz));
  };
  const Real u = Fade(fx), v = Fade(fy), w = Fade(fz);
  return Lerp(w,
              Lerp(v, Lerp(u, g(P[AA], dx, dy, dz), g(P[BA], dx - 1, dy, dz)),
                   Lerp(u, g(P[AB], dx, dy - 1, dz), g(P[BB], dx - 1, dy - 1, dz))),
              Lerp(v, Lerp(u, g(P[AA + 1], dx, dy, dz - 1), g(P[BA + 1], dx - 1, dy, dz - 1)),
                   Lerp(u, g(P[AB + 1], dx, dy - 1, dz - 1), g(P[BB + 1], dx - 1, dy - 1, dz - 1))));
}

// ---- fixed point (12 fraction bits)

constexpr int kOne = 4096;

int FadeFx(int f) {
  return ((((f * 24576 >> 12) - 61440) * f >> 12) + 40960) * ((f * f >> 12) * f >> 12) >> 12;
}

int LerpFx(int s, int a, int b) { return a + ((b - a) * s >> 12); }

}  // namespace

float NoiseGenerator::perlin(float x) { return Noise1(x); }
float NoiseGenerator::perlin(float x, float y) { return Noise2(x, y); }
float NoiseGenerator::perlin(float x, float y, float z) { return Noise3(x, y, z); }

double NoiseGenerator::perlind(double x) { return Noise1(x); }
double NoiseGenerator::perlind(double x, double y) { return Noise2(x, y); }
double NoiseGenerator::perlind(double x, double y, double z) { return Noise3(x, y, z); }

int NoiseGenerator::perlin_fpa(int x) {
  const int fx = x & 0xFFF;
  const int X = (x >> 12) & 255;
  return LerpFx(FadeFx(fx), Grad1(P[X], fx), Grad1(P[X + 1], fx - kOne));
}

int NoiseGenerator::perlin_fpa(int x, int y) {
  const int fx = x & 0xFFF, fy = y & 0xFFF;
  const int X = (x >> 12) & 255, Y = (y >> 12) & 255;
  const int A = (P[X] + Y) & 255, B = (P[X + 1] + Y) & 255;
  const int u = FadeFx(fx), v = FadeFx(fy);
  return LerpFx(v, LerpFx(u, Grad2(P[A], fx, fy), Grad2(P[B], fx - kOne, fy)),
                LerpFx(u, Grad2(P[A + 1], fx, fy - kOne), Grad2(P[B + 1], fx - kOne, fy - kOne)));
}

int NoiseGenerator::perlin_fpa(int x, int y, int z) {
  const int fx = x & 0xFFF, fy = y & 0xFFF, fz = z & 0xFFF;
  const int X = (x >> 12) & 255, Y = (y >> 12) & 255, Z = (z >> 12) & 255;
  const int A = (P[X] + Y) & 255, AA = (P[A] + Z) & 255, AB = (P[A + 1] + Z) & 255;
  const int B = (P[X + 1] + Y) & 255, BA = (P[B] + Z) & 255, BB = (P[B + 1] + Z) & 255;
  const int u = FadeFx(fx), v = FadeFx(fy), w = FadeFx(fz);
  const int gx = fx - kOne, gy = fy - kOne, gz = fz - kOne;
  return LerpFx(w,
                LerpFx(v, LerpFx(u, Grad3(P[AA], fx, fy, fz), Grad3(P[BA], gx, fy, fz)),
                       LerpFx(u, Grad3(P[AB], fx, gy, fz), Grad3(P[BB], gx, gy, fz))),
                LerpFx(v, LerpFx(u, Grad3(P[AA + 1], fx, fy, gz), Grad3(P[BA + 1], gx, fy, gz)),
                       LerpFx(u, Grad3(P[AB + 1], fx, gy, gz), Grad3(P[BB + 1], gx, gy, gz))));
}

const int* NoiseGenerator::permutation() { return kPerm; }

}  // namespace base
