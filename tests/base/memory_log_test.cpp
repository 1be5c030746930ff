// The diagnostics layer: counters, the statistics report and the memory log with its dump.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Memory.h"
#include "base/system.h"
#include "test_support.h"

namespace {

class MemoryLog : public ::testing::Test {
 protected:
  void SetUp() override { InitMemLog(); }
  void TearDown() override { InitMemLog(); }
  // The report goes partly through the log and partly to the debugger output alone; the debugger
  // output sees both, in order (the log's extra line ends are dropped).
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    for (const std::string& l : m_output.get())
      if (l != "\n") lines.push_back(l);
    return lines;
  }
  testsupport::DebuggerOutputCapture m_output;
};

TEST_F(MemoryLog, CountersMoveOnlyWhileLogging) {
  void* early = CMemoryMgr::Allocate(64, __FILE__, __LINE__);  // logging off: not counted
  st_MemoryStatistics s = CMemoryMgr::GetStatistics();
  EXPECT_EQ(s.m_blocks, 0);
  EXPECT_EQ(s.m_totalBlocks, 0);
  EXPECT_EQ(s.m_bandwidth, 0);
  EXPECT_GE(s.m_fastAlloc, 0);

  EnableMemLog(true);
  void* a = CMemoryMgr::Allocate(10, __FILE__, __LINE__);
  void* b = CMemoryMgr::Allocate(40, __FILE__, __LINE__);
  void* c = CMemoryMgr::Allocate(0, __FILE__, __LINE__);
  CMemoryMgr::Free(b, __FILE__, __LINE__);
  s = CMemoryMgr::GetStatistics();
  ExitMemLog();
  EXPECT_FALSE(IsMemLogEnabled());

  EXPECT_EQ(s.m_blocks, 2);
  EXPECT_EQ(s.m_maxBlocks, 3);
  EXPECT_EQ(s.m_largestBlock, 40);
  EXPECT_EQ(s.m_memoryUsed, 10);
  EXPECT_EQ(s.m_maximumMemory, 50);
  EXPECT_EQ(s.m_totalBlocks, 3);
  EXPECT_EQ(s.m_bandwidth, 50);

  // The report: framing lines, then one line per counter in the fixed order.
  m_output.clear();
  const st_MemoryStatistics shown = CMemoryMgr::GetStatistics();
  DumpMemoryStatistics();
  const std::vector<std::string> expected = {
      "** Memory Statistics **\n",
      "Blocks\t2",
      "MaxBlocks\t3",
      "Largest Block\t40",
      "Memory used\t10",
      "Maximum Memory\t50",
      "Total Blocks\t3",
      "Memory Bandwidth\t50",
      "FastAlloc\t" + std::to_string(shown.m_fastAlloc),
      "Max. FastAllocBlocks\t" + std::to_string(shown.m_maxFastAlloc),
      "***********************\n",
  };
  EXPECT_EQ(Lines(), expected);

  CMemoryMgr::Free(a, __FILE__, __LINE__);
  CMemoryMgr::Free(c, __FILE__, __LINE__);
  CMemoryMgr::Free(early, __FILE__, __LINE__);
  EXPECT_EQ(CMemoryMgr::GetStatistics().m_blocks, 2);  // logging was off again
}

TEST_F(MemoryLog, DumpMergesSameFileAndLine) {
  // Same text at different addresses: the dump compares the names, not the pointers.
  static const char fileA1[] = "Variant.cpp";
  static const char fileA2[] = "Variant.cpp";
  int blocks[6];

  MemLogRegister(&blocks[0], "ignored.cpp", 1, 8);  // logging off: not stored
  DumpMemLog();
  EXPECT_TRUE(Lines().empty());

  EnableMemLog(true);
  MemLogRegister(&blocks[1], fileA1, 10, -8);
  MemLogRegister(&blocks[2], "Window.cpp", 20, 100);
  MemLogRegister(&blocks[3], fileA2, 10, -12);
  MemLogRegister(&blocks[4], fileA1, 11, -4);
  MemLogRegister(&blocks[5], "gone.cpp", 5, 1);
  MemLogUnregister(&blocks[5], nullptr, 0, 0);
  MemLogUnregister(&blocks[0], nullptr, 0, 0);  // never stored: nothing happens
  DumpMemLog();
  const std::vector<std::string> expected = {
      "fast_alloc (Variant.cpp: Z: 10) : 8 bytes not freed, 2x allocateed\n",
      "sys_alloc (Window.cpp: Z: 20) : 100 bytes not freed, 1x allocateed\n",
      "fast_alloc (Variant.cpp: Z: 11) : 4 bytes not freed, 1x allocateed\n",
  };
  EXPECT_EQ(Lines(), expected);

  // The merged entry left the log: a new registration takes its place, the next dump sees it.
  m_output.clear();
  MemLogRegister(&blocks[5], "late.cpp", 1, 33);
  DumpMemLog();
  const std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "fast_alloc (Variant.cpp: Z: 10) : 8 bytes not freed, 1x allocateed\n");
  EXPECT_EQ(lines[2], "sys_alloc (late.cpp: Z: 1) : 33 bytes not freed, 1x allocateed\n");

  m_output.clear();
  FlushMemLog();
  DumpMemLog();
  EXPECT_TRUE(Lines().empty());
}

TEST_F(MemoryLog, OverflowIsReportedAndTheBlockNotLogged) {
  EnableMemLog(true);
  static char fake[0x20000];
  for (int i = 0; i < 0x20000; ++i) MemLogRegister(&fake[i], "fill.cpp", i, 1);
  EXPECT_TRUE(Lines().empty());
  int extra = 0;
  MemLogRegister(&extra, "extra.cpp", 1, 4);
  EXPECT_EQ(Lines(), std::vector<std::string>{"MemLog overflow\n"});

  // A freed entry is reused, with no further report.
  MemLogUnregister(&fake[7], nullptr, 0, 0);
  MemLogRegister(&extra, "extra.cpp", 1, 4);
  EXPECT_EQ(Lines().size(), 1u);
  FlushMemLog();
  ExitMemLog();
}

}  // namespace
