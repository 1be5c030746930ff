// CMemoryMgr's two stores: which one serves a request, headers, alignment, pool exhaustion and
// slot reuse, and requests the heap cannot serve.
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
  const Case cases[] = {{1, true, -1}, {31, true, -31}, {32, true, -32}, {33, false, 33}, {4096, false, 4096}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    const int freeBefore = CMemoryMgr::FastFreeCount();
    auto* p = static_cast<unsigned char*>(CMemoryMgr::Allocate(c.size, __FILE__, __LINE__));
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(Aligned16(p));
    EXPECT_EQ(CMemoryMgr::IsFastBlock(p), c.fast);
    EXPECT_EQ(CMemoryMgr::BlockHeader(p), c.header);
    std::memset(p, 0xAB, c.size);  // every requested byte is usable
    EXPECT_EQ(CMemoryMgr::FastFreeCount(), freeBefore - (c.fast ? 1 : 0));
    CMemoryMgr::Free(p, __FILE__, __LINE__);
    EXPECT_EQ(CMemoryMgr::FastFreeCount(), freeBefore);
  }
  CMemoryMgr::Free(nullptr, __FILE__, __LINE__);  // ignored
}

TEST_F(MemoryPool, ZeroByteBlocksAreDistinctAndGoBackToThePool) {
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

TEST_F(MemoryPool, ExhaustedPoolFallsBackToTheHeapAndRefills) {
  const int freeBefore = CMemoryMgr::FastFreeCount();
  ASSERT_GT(freeBefore, CMemoryMgr::kFastSlots / 2);
  std::vector<void*> pool;
  pool.reserve(static_cast<std::size_t>(freeBefore));  // a heap block: reserving takes no slot
  while (CMemoryMgr::FastFreeCount() > 0) {
    void* p = CMemoryMgr::Allocate(24, __FILE__, __LINE__);
    ASSERT_TRUE(CMemoryMgr::IsFastBlock(p));
    pool.push_back(p);
  }
  EXPECT_EQ(static_cast<int>(pool.size()), freeBefore);
  EXPECT_EQ(CMemoryMgr::GetStatistics().m_maxFastAlloc, CMemoryMgr::GetStatistics().m_fastAlloc);

  void* small = CMemoryMgr::Allocate(16, __FILE__, __LINE__);
  void* zero = CMemoryMgr::Allocate(0, __FILE__, __LINE__);
  ASSERT_NE(small, nullptr);
  ASSERT_NE(zero, nullptr);
  EXPECT_FALSE(CMemoryMgr::IsFastBlock(small));
  EXPECT_FALSE(CMemoryMgr::IsFastBlock(zero));
  EXPECT_EQ(CMemoryMgr::BlockHeader(small), 16);
  EXPECT_EQ(CMemoryMgr::BlockHeader(zero), 0);
  EXPECT_TRUE(Aligned16(small));
  // Both go back to the heap (a sanitizer build would report a bad free otherwise).
  CMemoryMgr::Free(small, __FILE__, __LINE__);
  CMemoryMgr::Free(zero, __FILE__, __LINE__);
  EXPECT_EQ(CMemoryMgr::FastFreeCount(), 0);

  void* freed = pool[pool.size() / 2];
  CMemoryMgr::Free(freed, __FILE__, __LINE__);
  EXPECT_EQ(CMemoryMgr::Allocate(5, __FILE__, __LINE__), freed);
  EXPECT_EQ(CMemoryMgr::BlockHeader(freed), -5);

  for (void* p : pool) CMemoryMgr::Free(p, __FILE__, __LINE__);
  EXPECT_EQ(CMemoryMgr::FastFreeCount(), freeBefore);
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
TEST(MemoryPoolStart, BlocksBeforeInitComeFromTheHeapAndFreshSlotsWalkDown) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        bool ok = CMemoryMgr::FastFreeCount() == 0;
        void* early = CMemoryMgr::Allocate(8, __FILE__, __LINE__);
        ok = ok && !CMemoryMgr::IsFastBlock(early) && CMemoryMgr::BlockHeader(early) == 8;
        InitMemLog();
        auto* first = static_cast<char*>(CMemoryMgr::Allocate(8, __FILE__, __LINE__));
        auto* second = static_cast<char*>(CMemoryMgr::Allocate(8, __FILE__, __LINE__));
        // The first slot handed out is the last one of the pool; the next lies just below it.
        ok = ok && CMemoryMgr::IsFastBlock(first) && !CMemoryMgr::IsFastBlock(first + 48) && second == first - 48;
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
