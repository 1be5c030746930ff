// Allocation workloads shared by the allocator benchmarks. An allocator is a type with
// static void* Alloc(size_t) and static void Release(void*, size_t).
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace memory_bench {

constexpr std::size_t kSmall = 24;  // a typical Variant datatype or short string

enum class en_Order { Lifo, Fifo, Random };

// Allocates range(0) small blocks, then frees them all in the given order.
template <class A, en_Order order>
void SmallBlocks(benchmark::State& state) {
  const auto count = static_cast<std::size_t>(state.range(0));
  std::vector<void*> blocks(count);
  std::vector<std::size_t> freeOrder(count);
  for (std::size_t i = 0; i < count; ++i) freeOrder[i] = order == en_Order::Lifo ? count - 1 - i : i;
  if (order == en_Order::Random) std::shuffle(freeOrder.begin(), freeOrder.end(), std::mt19937(42));
  for (auto _ : state) {
    for (std::size_t i = 0; i < count; ++i) {
      void* p = A::Alloc(kSmall);
      *static_cast<volatile char*>(p) = 1;
      blocks[i] = p;
    }
    benchmark::DoNotOptimize(blocks.data());
    for (std::size_t i : freeOrder) A::Release(blocks[i], kSmall);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * count));  // alloc+free pairs
}

// A live set of 4096 blocks; each step frees a random one and allocates a new block in its place.
// Sizes: 60% 1..32 bytes, 30% 33..256, 9% 257..4096, 1% 4097..65536.
template <class A>
void MixedSizes(benchmark::State& state) {
  constexpr std::size_t kLive = 4096, kSteps = 1 << 16;
  std::mt19937 rng(7);
  std::vector<std::uint32_t> sizes(kSteps), victims(kSteps);
  for (std::size_t i = 0; i < kSteps; ++i) {
    const unsigned roll = rng() % 100;
    const unsigned lo = roll < 60 ? 1 : roll < 90 ? 33 : roll < 99 ? 257 : 4097;
    const unsigned hi = roll < 60 ? 32 : roll < 90 ? 256 : roll < 99 ? 4096 : 65536;
    sizes[i] = lo + rng() % (hi - lo + 1);
    victims[i] = static_cast<std::uint32_t>(rng() % kLive);
  }
  std::vector<void*> live(kLive);
  std::vector<std::size_t> liveSize(kLive);
  for (std::size_t i = 0; i < kLive; ++i) {
    liveSize[i] = sizes[i];
    live[i] = A::Alloc(liveSize[i]);
  }
  std::size_t step = 0;
  for (auto _ : state) {
    const std::uint32_t v = victims[step];
    A::Release(live[v], liveSize[v]);
    liveSize[v] = sizes[step];
    void* p = A::Alloc(liveSize[v]);
    *static_cast<volatile char*>(p) = 1;
    live[v] = p;
    step = (step + 1) & (kSteps - 1);
  }
  for (std::size_t i = 0; i < kLive; ++i) A::Release(live[i], liveSize[i]);
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

}  // namespace memory_bench

// Registered at run time (a statement, not a declaration), so that a program can leave out an
// anchor it could not load.
#define MEMORY_BENCHMARKS(A)                                                                                         \
  do {                                                                                                               \
    benchmark::RegisterBenchmark(#A "/Lifo", memory_bench::SmallBlocks<A, memory_bench::en_Order::Lifo>)->Arg(1000); \
    benchmark::RegisterBenchmark(#A "/Fifo", memory_bench::SmallBlocks<A, memory_bench::en_Order::Fifo>)->Arg(1000); \
    benchmark::RegisterBenchmark(#A "/Random", memory_bench::SmallBlocks<A, memory_bench::en_Order::Random>)         \
        ->Arg(1000)                                                                                                  \
        ->Arg(100000);                                                                                               \
    benchmark::RegisterBenchmark(#A "/Mixed", memory_bench::MixedSizes<A>);                                          \
  } while (false)

// Registered after every single-threaded run: once a second thread has existed, glibc malloc stays
// on its slower multi-threaded path for the rest of the process.
#define MEMORY_THREAD_BENCHMARKS(A)                                                                        \
  benchmark::RegisterBenchmark(#A "/Random", memory_bench::SmallBlocks<A, memory_bench::en_Order::Random>) \
      ->Arg(1000)                                                                                          \
      ->Threads(2)
