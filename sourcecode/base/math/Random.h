// Random numbers. The global functions draw from one generator per thread that reproduces the
// old C runtime's rand sequence exactly, so seeded mini-game content comes out the same on every
// platform. RandomGenerator is a self-contained seeded generator of three small LCG streams.
#pragma once

namespace base {

// Sets the calling thread's generator state (it starts at 1).
void RandSeed(int seed);
// The next value 0..32767 of the calling thread's generator: the old runtime's rand().
int Rand();

// rand() / 32767 as float, 0..1 with both ends included.
float Random();
// 0 when n < 1, else rand() % n.
int Random(int n);
// rand() / 32767 as double.
double Random64();
// Random() · 2π, 0..2π.
float RandAngle();
// Random() · max.
float Randomf(float max);
// min(a, b) + rand() % (|b − a| + 1): both bounds included, in either order.
int RandBetween(int a, int b);
// min(a, b) + Random() · |b − a|.
float RandBetween(float a, float b);

class RandomGenerator {
 public:
  // Streams (10001, 1, 203).
  RandomGenerator();
  // Same as start(seed).
  explicit RandomGenerator(int seed);

  // Streams (seed, seed · 4, seed & 0xA653).
  void start(int seed);
  // start() with the millisecond tick count.
  void start_by_timer();

  // Advances the three streams; from s1 / 32749 or s0 / 2796203 picked by s2. Negative seeds
  // give negative draws.
  float operator()();
  // The float draw times max.
  float operator()(float max);
  // 0..n−1 from the same advance as the float draw; 0 when n < 1.
  int operator()(int n);

 private:
  void advance();
  int m_s0, m_s1, m_s2;
};

}  // namespace base
