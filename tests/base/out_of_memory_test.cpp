// Readers under memory pressure: with the heap failing after n requests, for every n until the
// read succeeds, the XML readers and the tree record reader fail cleanly (an "ERROR:" line and a
// false result) and never crash or throw.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/File.h"
#include "base/Memory.h"
#include "base/data/StaticVariant.h"
#include "base/data/Variant.h"
#include "base/data/Xml.h"
#include "base/system.h"
#include "test_support.h"

namespace {

// The shared log capture allocates each line, which the failing heap would refuse; this one
// only counts the error lines.
int g_errors = 0;
bool CountErrors(const char* text) {
  if (std::strncmp(text, "ERROR: ", 7) == 0) ++g_errors;
  return true;
}

// Runs read(n) for n = 0, 1, ... until it succeeds; read sets up what it needs and then calls
// Fail(n) right before the reader, so that only the reader meets the failing heap. Every failing
// run must have logged an error. Returns the number of failing runs.
void Fail(int n) { CMemoryMgr::FailHeapAfter(n); }

template <class Read>
int SweepHeapFailures(Read read) {
  for (int n = 0; n < 20000; ++n) {
    g_errors = 0;
    base::sys::AddOutputCallback(&CountErrors);
    bool ok = false;
    bool threw = false;
    try {
      ok = read(n);
    } catch (...) {
      threw = true;
    }
    CMemoryMgr::FailHeapAfter(-1);
    base::sys::RemoveOutputCallback(&CountErrors);
    EXPECT_FALSE(threw) << "heap failing after " << n << " requests";
    if (ok) return n;
    EXPECT_GT(g_errors, 0) << "failed silently with the heap failing after " << n << " requests";
    if (threw || g_errors == 0) return n;
  }
  ADD_FAILURE() << "never succeeded";
  return -1;
}

// Enough text that the readers need many heap blocks (every string longer than the pool's 32
// bytes, every growing list).
std::string BigDocument() {
  std::string text = "<?xml version=\"1.0\"?>\n<Root Name=\"a name longer than thirty-two bytes in all\">\n";
  for (int i = 0; i < 40; ++i) {
    text += "  <Item Index=\"" + std::to_string(i) + "\" Label=\"item label number " + std::to_string(i) +
            " with a long tail of text\">text content of item " + std::to_string(i) +
            " that is long enough for the heap</Item>\n";
  }
  return text + "</Root>\n";
}

class OutOfMemory : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef QUILLANE_SANITIZE
    GTEST_SKIP() << "sanitizer builds keep the runtime's allocation operators; only CMemoryMgr's own "
                    "callers would see the failures";
#endif
  }
};

TEST_F(OutOfMemory, XmlIntoVariantFailsCleanly) {
  const std::string text = BigDocument();
  const int failing = SweepHeapFailures([&](int n) {
    base::Variant v;
    Fail(n);
    return base::xml::read_text(v, text.c_str(), "big.xml");
  });
  EXPECT_GT(failing, 0);  // the sweep did reach the reader's allocations
}

TEST_F(OutOfMemory, XmlIntoStaticVariantFailsCleanly) {
  const std::string text = BigDocument();
  const int failing = SweepHeapFailures([&](int n) {
    base::StaticVariant sv;
    Fail(n);
    const bool ok = base::xml::read_text(sv, text.c_str(), "big.xml");
    CMemoryMgr::FailHeapAfter(-1);
    EXPECT_TRUE(ok || sv.get_size() == 0);
    return ok;
  });
  EXPECT_GT(failing, 0);
}

TEST_F(OutOfMemory, TreeRecordFailsCleanlyAndLeavesTheTreeEmpty) {
  testsupport::TempDir dir;
  base::StaticVariant tree;
  ASSERT_TRUE(base::xml::read_text(tree, BigDocument().c_str(), "big.xml"));
  {
    base::File f(dir.path("tree.bin").c_str(), base::File::STATUS_WRITE);
    ASSERT_TRUE(tree.Write(&f));
    ASSERT_TRUE(f.close());
  }
  const std::string path = dir.path("tree.bin");
  const int failing = SweepHeapFailures([&](int n) {
    base::StaticVariant back;
    base::File f(path.c_str(), base::File::STATUS_READ);
    Fail(n);
    const bool ok = back.Read(&f);
    CMemoryMgr::FailHeapAfter(-1);
    EXPECT_EQ(back.get_size(), ok ? tree.get_size() : 0);
    return ok;
  });
  EXPECT_GT(failing, 0);
}

}  // namespace
