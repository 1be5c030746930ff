#include "base/math/Random.h"

#include <chrono>
#include <cstdint>
#include <cstdlib>

namespace base {

namespace {
// The old runtime kept one state word per thread; the game draws on the main thread.
thread_local std::uint32_t t_randState = 1;

// 32-bit signed arithmetic with wrap-around (done unsigned: signed overflow is undefined in C++).
int WrapMulAdd(int v, int mul, int add) {
  return static_cast<int>(static_cast<std::uint32_t>(v) * static_cast<std::uint32_t>(mul) +
                          static_cast<std::uint32_t>(add));
}
}  // namespace

void RandSeed(int seed) { t_randState = static_cast<std::uint32_t>(seed); }

int Rand() {
  t_randState = t_randState * 214013u + 2531011u;
  return static_cast<int>((t_randState >> 16) & 0x7FFF);
}

float Random() { return static_cast<float>(Rand() / 32767.0); }

int Random(int n) {
  if (n < 1) return 0;
  return Rand() % n;
}

double Random64() { return Rand() / 32767.0; }

float RandAngle() { return static_cast<float>(Random() * 3.1415927 * 2.0); }

float Randomf(float max) { return Random() * max; }

int RandBetween(int a, int b) {
  // In 64 bits so that extreme bounds cannot overflow the range.
  const long long range = std::llabs(static_cast<long long>(b) - a) + 1;
  const int r = Rand();
  const long long offset = range < 1 ? 0 : r % range;
  return static_cast<int>((a < b ? a : b) + offset);
}

float RandBetween(float a, float b) {
  const float d = b > a ? b - a : a - b;
  return (a < b ? a : b) + Random() * d;
}

// ---- RandomGenerator

RandomGenerator::RandomGenerator() : m_s0(10001), m_s1(1), m_s2(203) {}

RandomGenerator::RandomGenerator(int seed) { start(seed); }

void RandomGenerator::start(int seed) {
  m_s0 = seed;
  m_s1 = WrapMulAdd(seed, 4, 0);
  m_s2 = seed & 0xA653;
}

void RandomGenerator::start_by_timer() {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
  start(static_cast<int>(static_cast<std::uint32_t>(ms.count())));
}

void RandomGenerator::advance() {
  m_s0 = WrapMulAdd(m_s0, 125, 0) % 2795203;
  m_s1 = WrapMulAdd(m_s1, 32719, 3) % 32749;
  m_s2 = WrapMulAdd(m_s2, 10001, 3) % 17177;
}

float RandomGenerator::operator()() {
  advance();
  // The s0 divisor is deliberately above its modulus so that branch stays below 1.
  if (m_s2 % 4096 <= 2048) return static_cast<float>(m_s1 / 32749.0);
  return static_cast<float>(m_s0 / 2796203.0);
}

float RandomGenerator::operator()(float max) { return (*this)() * max; }

int RandomGenerator::operator()(int n) {
  if (n < 1) return 0;
  advance();
  int r = (m_s2 % 4096 <= 2048 ? m_s1 : m_s0) % n;
  if (r < 0) r += n;
  return r;
}

}  // namespace base
