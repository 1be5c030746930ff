// CMemoryMgr's two stores: which one serves a request, headers, alignment, the pool's growth and
// slot reuse, and requests that cannot be served.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/Memory.h"
#include "base/system.h"
#include "test_support.h"

namespace {

bool Aligned16(const void* p) { return reinterpret_cast<std::uintptr_t>(p) % 16 == 0; }

class MemoryPool : public ::testing::Test {
 protected:
  void SetUp() override { InitMemLog(); }
};

TEST_F(MemoryPool, SizeDecidesStoreAndHeader) {
  struct Case {
    std::size_t size;
    bool fast;
    int header;
  };
  const Case cases[] = {{1, true, -1},         {31, true, -31},       {32, true, -32},
                        {33, true, -33},       {4096, true, -4096},   {5000, true, -5000},
                        {65536, true, -65536}, {65537, false, 65537}, {1 << 20, false, 1 << 20}};
  // Leaves a free slot of the smallest class in this thread's cache, so that the counts below see
  // one slot go and come back rather than a fresh batch.
  CMemoryMgr::Free(CMemoryMgr::Allocate(8, __FILE__, __LINE__), __FILE__, __LINE__);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    const int freeBefore = CMemoryMgr::FastFreeCount();
    auto* p = static_cast<unsigned char*>(CMemoryMgr::Allocate(c.size, __FILE__, __LINE__));
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(Aligned16(p));
    EXPECT_EQ(CMemoryMgr::IsFastBlock(p), c.fast);
    EXPECT_EQ(CMemoryMgr::BlockHeader(p), c.header);
    std::memset(p, 0xAB, c.size);  // every requested byte is usable
    const bool smallest = c.size <= CMemoryMgr::kSmallPayload;
    EXPECT_EQ(CMemoryMgr::FastFreeCount(), freeBefore - (smallest ? 1 : 0));
    CMemoryMgr::Free(p, __FILE__, __LINE__);
    EXPECT_EQ(CMemoryMgr::FastFreeCount(), freeBefore);
  }
  CMemoryMgr::Free(nullptr, __FILE__, __LINE__);  // ignored
}

// Blocks of neighbouring classes live side by side without overlapping; every class serves
// every size it covers.
TEST_F(MemoryPool, EverySizeGetsItsOwnBytes) {
  std::vector<unsigned char*> blocks;
  std::vector<std::size_t> sizes;
  for (std::size_t size = 0; size <= 8192; size += size < 160 ? 1 : 37) {
    for (int copy = 0; copy < 2; ++copy) {
      auto* p = static_cast<unsigned char*>(CMemoryMgr::Allocate(size, __FILE__, __LINE__));
      ASSERT_TRUE(p && CMemoryMgr::IsFastBlock(p));
      std::memset(p, static_cast<int>(blocks.size() & 0xFF), size);
      blocks.push_back(p);
      sizes.push_back(size);
    }
  }
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    EXPECT_EQ(CMemoryMgr::BlockHeader(blocks[i]), -static_cast<int>(sizes[i]));
    for (std::size_t k = 0; k < sizes[i]; ++k)
      if (blocks[i][k] != (i & 0xFF)) {
        ADD_FAILURE() << "block " << i << " of " << sizes[i] << " bytes overwritten at " << k;
        break;
      }
    CMemoryMgr::Free(blocks[i], __FILE__, __LINE__);
  }
}

TEST_F(MemoryPool, ZeroByteBlocksAreDistinctAndGoBackToThePool) {
  CMemoryMgr::Free(CMemoryMgr::Allocate(0, __FILE__, __LINE__), __FILE__, __LINE__);
  const int freeBefore = CMemoryMgr::FastFreeCount();
  void* a = CMemoryMgr::Allocate(0, __FILE__, __LINE__);
  void* b = CMemoryMgr::Allocate(0, __FILE__, __LINE__);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);
  EXPECT_TRUE(CMemoryMgr::IsFastBlock(a));
  EXPECT_EQ(CMemoryMgr::BlockHeader(a), 0);  // the header alone would call this a heap block
  CMemoryMgr::Free(b, __FILE__, __LINE__);
  CMemoryMgr::Free(a, __FILE__, __LINE__);
  EXPECT_EQ(CMemoryMgr::FastFreeCount(), freeBefore);
  // Last in, first out: the slot freed last is handed out next.
  EXPECT_EQ(CMemoryMgr::Allocate(8, __FILE__, __LINE__), a);
  CMemoryMgr::Free(a, __FILE__, __LINE__);
}

// More small blocks than the first chunk holds, and more large ones than a chunk of their class
// holds: the pool takes further chunks instead of sending requests to the heap.
TEST_F(MemoryPool, FullChunksMakeThePoolGrow) {
  constexpr std::size_t kSmall = 3 * CMemoryMgr::kChunkBytes / 48;
  constexpr std::size_t kLarge = 3 * CMemoryMgr::kChunkBytes / 60016;
  std::vector<std::uint32_t*> small(kSmall);
  std::vector<std::uint32_t*> large(kLarge);
  for (std::size_t i = 0; i < kSmall; ++i) {
    small[i] = static_cast<std::uint32_t*>(CMemoryMgr::Allocate(24, __FILE__, __LINE__));
    ASSERT_TRUE(small[i] && CMemoryMgr::IsFastBlock(small[i])) << i;
    small[i][0] = static_cast<std::uint32_t>(i);
  }
  for (std::size_t i = 0; i < kLarge; ++i) {
    large[i] = static_cast<std::uint32_t*>(CMemoryMgr::Allocate(60000, __FILE__, __LINE__));
    ASSERT_TRUE(large[i] && CMemoryMgr::IsFastBlock(large[i])) << i;
    large[i][0] = static_cast<std::uint32_t>(i);
    large[i][14999] = static_cast<std::uint32_t>(i);
  }
  const st_MemoryStatistics s = CMemoryMgr::GetStatistics();
  EXPECT_GE(s.m_fastAlloc, static_cast<long long>(kSmall + kLarge));
  EXPECT_GE(s.m_maxFastAlloc, s.m_fastAlloc);
  for (std::size_t i = 0; i < kSmall; ++i) {
    ASSERT_EQ(small[i][0], i);
    CMemoryMgr::Free(small[i], __FILE__, __LINE__);
  }
  for (std::size_t i = 0; i < kLarge; ++i) {
    ASSERT_EQ(large[i][0], i);
    ASSERT_EQ(large[i][14999], i);
    CMemoryMgr::Free(large[i], __FILE__, __LINE__);
  }
  EXPECT_GE(CMemoryMgr::FastFreeCount(), static_cast<int>(kSmall));
  // A freed slot is the next one handed out.
  void* p = CMemoryMgr::Allocate(5, __FILE__, __LINE__);
  EXPECT_EQ(p, small.back());
  EXPECT_EQ(CMemoryMgr::BlockHeader(p), -5);
  CMemoryMgr::Free(p, __FILE__, __LINE__);
}

// The log capture allocates each line, which the failing allocator would refuse: this one only
// remembers whether the refusal of the third request was reported.
bool g_thirdRefused = false;
bool SpotThirdRefusal(const char* text) {
  if (std::strncmp(text, "ERROR: ", 7) == 0 && std::strstr(text, "limit.cpp(3)")) g_thirdRefused = true;
  return true;
}

TEST_F(MemoryPool, FailingAfterNRequestsCountsPoolRequestsToo) {
  g_thirdRefused = false;
  base::sys::AddOutputCallback(&SpotThirdRefusal);
  CMemoryMgr::FailHeapAfter(2);
  void* a = CMemoryMgr::Allocate(8, "limit.cpp", 1);
  void* b = CMemoryMgr::Allocate(100000, "limit.cpp", 2);
  void* c = CMemoryMgr::Allocate(8, "limit.cpp", 3);
  CMemoryMgr::FailHeapAfter(-1);
  base::sys::RemoveOutputCallback(&SpotThirdRefusal);
  EXPECT_TRUE(a && b);
  EXPECT_EQ(c, nullptr);
  void* d = CMemoryMgr::Allocate(8, "limit.cpp", 4);
  EXPECT_NE(d, nullptr);
  for (void* p : {a, b, d}) CMemoryMgr::Free(p, __FILE__, __LINE__);
  EXPECT_TRUE(g_thirdRefused);
}

TEST_F(MemoryPool, AlignedRequests) {
  void* a = CMemoryMgr::AllocateAligned(100, 64, __FILE__, __LINE__);
  void* b = CMemoryMgr::AllocateAligned(8, 256, __FILE__, __LINE__);
  void* c = CMemoryMgr::AllocateAligned(8, 8, __FILE__, __LINE__);
  ASSERT_TRUE(a && b && c);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(a) % 64, 0u);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(b) % 256, 0u);
  EXPECT_EQ(CMemoryMgr::BlockHeader(a), 100);
  EXPECT_FALSE(CMemoryMgr::IsFastBlock(b));  // the pool only guarantees 16
  EXPECT_TRUE(CMemoryMgr::IsFastBlock(c));
  std::memset(a, 1, 100);
  std::memset(b, 1, 8);
  CMemoryMgr::Free(a, __FILE__, __LINE__);
  CMemoryMgr::Free(b, __FILE__, __LINE__);
  CMemoryMgr::Free(c, __FILE__, __LINE__);

  testsupport::LogCapture log;
  EXPECT_EQ(CMemoryMgr::AllocateAligned(8, 24, "x.cpp", 3), nullptr);
  const std::vector<std::string> lines = log.get();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("ERROR:", 0), 0u);
}

TEST_F(MemoryPool, UnservableRequestsReturnNullWithAnError) {
  testsupport::LogCapture log;
  // Sizes whose prefix arithmetic would wrap never reach malloc.
  EXPECT_EQ(CMemoryMgr::Allocate(SIZE_MAX - 4, "big.cpp", 7), nullptr);
  EXPECT_EQ(CMemoryMgr::Allocate(static_cast<std::size_t>(PTRDIFF_MAX), "big.cpp", 8), nullptr);
#ifndef QUILLANE_SANITIZE
  // A request malloc refuses (64 TiB).
  const std::size_t huge = std::size_t{1} << 46;
  EXPECT_EQ(CMemoryMgr::Allocate(huge, "big.cpp", 9), nullptr);
  EXPECT_THROW((void)::operator new(huge), std::bad_alloc);
  EXPECT_EQ(::operator new(huge, std::nothrow), nullptr);
#endif
  const std::vector<std::string> lines = log.get();
  ASSERT_GE(lines.size(), 2u);
  for (const std::string& line : lines) EXPECT_EQ(line.rfind("ERROR: out of memory", 0), 0u) << line;
  EXPECT_NE(lines[0].find("big.cpp(7)"), std::string::npos);
}

// Runs in a fresh process (the death-test child re-executes only this test), where InitMemLog has
// not run yet.
TEST(MemoryPoolStart, BlocksBeforeInitComeFromTheHeapAndFreshSlotsFollowEachOther) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        bool ok = CMemoryMgr::FastFreeCount() == 0;
        void* early = CMemoryMgr::Allocate(8, __FILE__, __LINE__);
        ok = ok && !CMemoryMgr::IsFastBlock(early) && CMemoryMgr::BlockHeader(early) == 8;
        InitMemLog();
        auto* first = static_cast<char*>(CMemoryMgr::Allocate(8, __FILE__, __LINE__));
        auto* second = static_cast<char*>(CMemoryMgr::Allocate(8, __FILE__, __LINE__));
        // Fresh slots are handed out in address order, 48 bytes apart.
        ok = ok && CMemoryMgr::IsFastBlock(first) && second == first + 48;
        CMemoryMgr::Free(early, __FILE__, __LINE__);  // still a heap block
        std::exit(ok ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

#if defined(__SANITIZE_ADDRESS__)
TEST_F(MemoryPool, SanitizerSeesWritesPastAPoolBlock) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        auto* p = static_cast<volatile char*>(CMemoryMgr::Allocate(8, __FILE__, __LINE__));
        p[8] = 1;
      },
      "use-after-poison");
}
#endif

}  // namespace
