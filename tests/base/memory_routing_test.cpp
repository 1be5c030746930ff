// Who allocates through CMemoryMgr: MEMOBJECT, the global operators (not in sanitizer builds), the
// container allocator; and the pool under two threads at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <list>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "base/Memory.h"

namespace {

struct cl_Small : MEMOBJECT {
  int m_values[4] = {1, 2, 3, 4};
};
struct cl_Large : MEMOBJECT {
  char m_bytes[100] = {};
};

class MemoryRouting : public ::testing::Test {
 protected:
  void SetUp() override { InitMemLog(); }
  void TearDown() override { InitMemLog(); }
};

TEST_F(MemoryRouting, MemobjectAllocatesThroughTheManager) {
  EnableMemLog(true);
  cl_Small* small = new (__FILE__, __LINE__) cl_Small;
  cl_Large* large = new cl_Large;
  cl_Small* many = new ("array.cpp", 1) cl_Small[3];
  const st_MemoryStatistics during = CMemoryMgr::GetStatistics();
  ExitMemLog();

  EXPECT_EQ(during.m_totalBlocks, 3);
  EXPECT_EQ(during.m_bandwidth, static_cast<long long>(sizeof(cl_Small) + sizeof(cl_Large) + 3 * sizeof(cl_Small)));
  EXPECT_TRUE(CMemoryMgr::IsFastBlock(small));
  EXPECT_EQ(CMemoryMgr::BlockHeader(small), -static_cast<int>(sizeof(cl_Small)));
  EXPECT_EQ(small->m_values[3], 4);
  EXPECT_EQ(CMemoryMgr::BlockHeader(large), -100);
  cl_Small copy;
  copy.m_values[0] = 9;
  *small = copy;  // the base copies nothing; the derived members still copy
  EXPECT_EQ(small->m_values[0], 9);

  EnableMemLog(true);
  delete small;
  delete large;
  delete[] many;
  const st_MemoryStatistics after = CMemoryMgr::GetStatistics();
  ExitMemLog();
  EXPECT_EQ(after.m_blocks, 0);
  EXPECT_EQ(after.m_memoryUsed, 0);
}

#ifndef QUILLANE_SANITIZE
struct cl_Huge : MEMOBJECT {
  cl_Huge() { m_bytes[0] = 1; }
  char m_bytes[std::size_t{1} << 46];
};

TEST_F(MemoryRouting, FailedMemobjectAllocationYieldsNullWithoutConstructing) {
  cl_Huge* huge = new (__FILE__, __LINE__) cl_Huge;
  EXPECT_EQ(huge, nullptr);
}
#endif

TEST_F(MemoryRouting, GlobalOperatorsUseThePoolOutsideSanitizerBuilds) {
  auto value = std::make_unique<int>(5);
  auto buffer = std::make_unique<char[]>(1000);
#ifdef QUILLANE_SANITIZE
  EXPECT_FALSE(CMemoryMgr::IsFastBlock(value.get()));  // the sanitizer's allocator keeps them
#else
  EXPECT_TRUE(CMemoryMgr::IsFastBlock(value.get()));
  EXPECT_EQ(CMemoryMgr::BlockHeader(value.get()), -4);
  EXPECT_EQ(CMemoryMgr::BlockHeader(buffer.get()), -1000);
  auto big = std::make_unique<char[]>(100000);
  EXPECT_EQ(CMemoryMgr::BlockHeader(big.get()), 100000);
  struct alignas(64) Wide {
    char bytes[64];
  };
  auto wide = std::make_unique<Wide>();
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(wide.get()) % 64, 0u);
  EXPECT_EQ(CMemoryMgr::BlockHeader(wide.get()), 64);
#endif
}

TEST_F(MemoryRouting, ContainerAllocator) {
  std::list<int, base::tMemAllocator<int>> nodes = {1, 2, 3};
  for (int& n : nodes) EXPECT_TRUE(CMemoryMgr::IsFastBlock(&n));  // list nodes are 24 bytes
  std::vector<double, base::tMemAllocator<double>> values(100, 1.5);
  EXPECT_EQ(CMemoryMgr::BlockHeader(values.data()), -800);

  base::tMemAllocator<int> alloc;
  // 2^31 ints are 8 GiB: beyond the 32-bit byte count, refused before any allocation.
  EXPECT_THROW((void)alloc.allocate(std::size_t{1} << 31), std::bad_alloc);
}

// Two threads allocate and release in bursts larger than a thread's slot cache, so both keep moving
// batches through the shared stacks; each block is stamped with its owner, and a slot handed out
// twice shows up as a foreign stamp.
TEST_F(MemoryRouting, TwoThreadsShareThePool) {
  // Starting a thread takes a batch into the main thread's own cache once; that happens here, so
  // the counts below see only what the workers keep or give back.
  std::thread([] {}).join();
  const long long outBefore = CMemoryMgr::GetStatistics().m_fastAlloc;
  EnableMemLog(true);
  auto worker = [](std::uint8_t stamp, unsigned seed, int* errors) {
    std::mt19937 rng(seed);
    constexpr int kBurst = 3000;
    std::uint8_t* blocks[kBurst];
    std::size_t sizes[kBurst];
    int order[kBurst];
    for (int round = 0; round < 60; ++round) {
      for (int i = 0; i < kBurst; ++i) {
        // Mostly the smallest class, some larger classes, now and then the heap.
        sizes[i] = i % 16 ? rng() % 40 : i % 256 ? rng() % 3000 : 70000;
        blocks[i] = static_cast<std::uint8_t*>(CMemoryMgr::Allocate(sizes[i], __FILE__, __LINE__));
        std::memset(blocks[i], stamp, sizes[i]);
        order[i] = i;
      }
      std::shuffle(order, order + kBurst, rng);
      for (int i : order) {
        for (std::size_t k = 0; k < sizes[i]; ++k)
          if (blocks[i][k] != stamp) ++*errors;
        CMemoryMgr::Free(blocks[i], __FILE__, __LINE__);
      }
    }
  };
  int errorsA = 0, errorsB = 0;
  std::thread a(worker, std::uint8_t{0xA1}, 1u, &errorsA);
  std::thread b(worker, std::uint8_t{0xB2}, 2u, &errorsB);
  a.join();
  b.join();
  const st_MemoryStatistics s = CMemoryMgr::GetStatistics();
  ExitMemLog();

  EXPECT_EQ(errorsA, 0);
  EXPECT_EQ(errorsB, 0);
  // The threads' cached slots came back (give or take the blocks of the threads' own state, which
  // the main thread allocated and the threads freed).
  EXPECT_LE(s.m_fastAlloc, outBefore + 8);
  EXPECT_GE(s.m_fastAlloc, outBefore - 8);
  EXPECT_EQ(s.m_blocks, 0);
  EXPECT_EQ(s.m_memoryUsed, 0);
  EXPECT_GE(s.m_totalBlocks, 2 * 60 * 3000);
}

// A loader thread allocates, the main thread frees (and reuses) its blocks, and the other way round:
// slots change threads without being handed out twice.
TEST_F(MemoryRouting, BlocksFreedOnAnotherThread) {
  constexpr int kBlocks = 20000;
  std::vector<std::uint32_t*> made(kBlocks);
  std::thread loader([&] {
    for (int i = 0; i < kBlocks; ++i) {
      made[i] = static_cast<std::uint32_t*>(
          CMemoryMgr::Allocate(4 + static_cast<std::size_t>(i % 7) * 20, __FILE__, __LINE__));
      made[i][0] = static_cast<std::uint32_t>(i);
    }
  });
  loader.join();
  for (int i = 0; i < kBlocks; ++i) {
    ASSERT_EQ(made[i][0], static_cast<std::uint32_t>(i));
    CMemoryMgr::Free(made[i], __FILE__, __LINE__);
  }
  std::vector<std::uint32_t*> again(kBlocks);
  for (int i = 0; i < kBlocks; ++i) {
    again[i] =
        static_cast<std::uint32_t*>(CMemoryMgr::Allocate(4 + static_cast<std::size_t>(i % 7) * 20, __FILE__, __LINE__));
    again[i][0] = static_cast<std::uint32_t>(~i);
  }
  std::thread releaser([&] {
    for (int i = 0; i < kBlocks; ++i) {
      if (again[i][0] != static_cast<std::uint32_t>(~i)) ADD_FAILURE() << "block " << i << " shared";
      CMemoryMgr::Free(again[i], __FILE__, __LINE__);
    }
  });
  releaser.join();
}

}  // namespace
