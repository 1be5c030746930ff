// The vertex recorders' rings observed through their last-batch records: discard at a frame's
// first flush and on overflow, appending in between, a batch of exactly the capacity, the
// triangle counter, refusals past the capacity and the 16-bit batch limit of the MODEL recorder.
#include "GraphicsFixture.h"
#include "../base/test_support.h"
#include "platform/gpu/Types.h"
#include "win32dx9/DynamicBuffer.h"

namespace gfxtest {
namespace {

namespace rec = win32dx9::rec;
using win32dx9::GetLastBatch;
using win32dx9::REC_DIFF;
using win32dx9::REC_DIFFBITMAP;
using win32dx9::REC_MODEL;

constexpr uint32_t kDiscard = gpu::lock::Discard | gpu::lock::NoSysLock;
constexpr uint32_t kAppend = gpu::lock::NoOverwrite | gpu::lock::NoSysLock;

// Triangles use as many indices as vertices, so they can fill both halves of a recorder.
void Triangles(int n) {
  for (int i = 0; i < n; ++i) {
    rec::BitmapAddTriangle();
    rec::BitmapAddVertex(0, 0, 0, 0, 0xFFFFFFFF);
    rec::BitmapAddVertex(2, 0, 1, 0, 0xFFFFFFFF);
    rec::BitmapAddVertex(2, 2, 1, 1, 0xFFFFFFFF);
  }
}

void Quads(int n) {
  for (int i = 0; i < n; ++i) {
    rec::BitmapAddQuad();
    rec::BitmapAddVertex(0, 0, 0, 0, 0xFFFFFFFF);
    rec::BitmapAddVertex(2, 0, 1, 0, 0xFFFFFFFF);
    rec::BitmapAddVertex(2, 2, 1, 1, 0xFFFFFFFF);
    rec::BitmapAddVertex(0, 2, 0, 1, 0xFFFFFFFF);
  }
}

class Recorders : public GraphicsTest {};

TEST_F(Recorders, RingsDiscardAtFrameStartAndOverflowAndAppendBetween) {
  const int capacity = win32dx9::GetRecorderCapacity(REC_DIFFBITMAP);
  ASSERT_EQ(capacity, 1536);
  ASSERT_TRUE(BeginFrame());
  Quads(1);
  rec::BitmapFlush();
  win32dx9::st_Batch b = GetLastBatch(REC_DIFFBITMAP);
  EXPECT_EQ(b.firstVertex, 0);
  EXPECT_EQ(b.vertexLockFlags, kDiscard);
  Quads(2);
  rec::BitmapFlush();
  b = GetLastBatch(REC_DIFFBITMAP);
  EXPECT_EQ(b.firstVertex, 4);
  EXPECT_EQ(b.firstIndex, 6);
  EXPECT_EQ(b.vertexCount, 8);
  EXPECT_EQ(b.indexCount, 12);
  EXPECT_EQ(b.vertexLockFlags, kAppend);
  EXPECT_EQ(win32dx9::GetDrawCallCount(), 6);

  // 12 vertices are in the ring; a batch that no longer fits behind them starts over.
  Triangles((capacity - 9) / 3);
  rec::BitmapFlush();
  b = GetLastBatch(REC_DIFFBITMAP);
  EXPECT_EQ(b.firstVertex, 0);
  EXPECT_EQ(b.vertexLockFlags, kDiscard);
  EndFrame();

  ASSERT_TRUE(BeginFrame());
  EXPECT_EQ(win32dx9::GetDrawCallCount(), 0);
  Triangles(capacity / 3);  // exactly the capacity
  rec::BitmapFlush();
  b = GetLastBatch(REC_DIFFBITMAP);
  EXPECT_EQ(b.vertexCount, capacity);
  EXPECT_EQ(b.firstVertex, 0);
  EXPECT_EQ(b.vertexLockFlags, kDiscard);
  EndFrame();
}

TEST_F(Recorders, AddsPastTheCapacityAreRefusedAndLoggedOncePerFrame) {
  const int capacity = win32dx9::GetRecorderCapacity(REC_DIFFBITMAP);
  ASSERT_TRUE(BeginFrame());
  testsupport::LogCapture log;
  Triangles(capacity / 3 + 3);
  rec::BitmapFlush();
  const win32dx9::st_Batch b = GetLastBatch(REC_DIFFBITMAP);
  EXPECT_EQ(b.vertexCount, capacity);
  EXPECT_EQ(b.indexCount, capacity);
  EXPECT_EQ(win32dx9::GetDrawCallCount(), capacity / 3);  // refused triangles are not counted
  int lines = 0;
  for (const std::string& line : log.get()) lines += line.find("DIFFBITMAP vertex recorder is full") != std::string::npos;
  EXPECT_EQ(lines, 1);
  // After the flush the recorder takes primitives again, with their own vertices.
  Quads(1);
  rec::BitmapFlush();
  EXPECT_EQ(GetLastBatch(REC_DIFFBITMAP).vertexCount, 4);
  EndFrame();
}

TEST_F(Recorders, LinesAndTrianglesOfTheDiffRecorder) {
  ASSERT_TRUE(BeginFrame());
  for (int i = 0; i < 3; ++i) {
    rec::DiffAddLine();
    rec::DiffAddVertex(0, 0, 0, 0, 0, 0xFFFFFFFF);
    rec::DiffAddVertex(1, 1, 0, 0, 0, 0xFFFFFFFF);
  }
  rec::DiffFlushLines();
  EXPECT_EQ(GetLastBatch(REC_DIFF).indexCount, 6);
  EXPECT_EQ(win32dx9::GetDrawCallCount(), 0);  // lines are not triangles
  rec::DiffAddTriangle();
  for (int i = 0; i < 3; ++i) rec::DiffAddVertex(float(i), 0, 0, 0, 0, 0xFFFFFFFF);
  rec::DiffFlushTriangles();
  EXPECT_EQ(GetLastBatch(REC_DIFF).indexCount, 3);
  EXPECT_EQ(GetLastBatch(REC_DIFF).firstVertex, 6);
  EXPECT_EQ(win32dx9::GetDrawCallCount(), 1);
  EndFrame();
}

TEST_F(Recorders, ModelQuadsFlushBeforeSixteenBitIndicesWrap) {
  ASSERT_TRUE(BeginFrame());
  const int quads = 65536 / 4 + 1;
  for (int i = 0; i < quads; ++i) {
    rec::ModelAddQuad();
    for (int k = 0; k < 4; ++k) rec::ModelAddVertex(0, 0, 0, 0, 0, 1, 0, 0);
  }
  // The last quad did not fit the batch: the first 65,536 vertices went out on their own.
  EXPECT_EQ(GetLastBatch(REC_MODEL).vertexCount, 65536);
  rec::ModelFlush();
  EXPECT_EQ(GetLastBatch(REC_MODEL).vertexCount, 4);
  EXPECT_EQ(win32dx9::GetDrawCallCount(), 2 * quads);
  EndFrame();
}

TEST_F(Recorders, ModelBindDrawsSeveralIndexListsAgainstOneVertexSet) {
  ASSERT_TRUE(BeginFrame());
  for (int k = 0; k < 4; ++k) rec::ModelAddVertex(float(k), 0, 0, 0, 0, 1, 0, 0);
  rec::ModelBind();
  for (uint16_t i : {0, 1, 2}) rec::ModelAddIndex(i);
  rec::ModelDrawIndexed();
  const int firstVertex = GetLastBatch(REC_MODEL).firstVertex;
  for (uint16_t i : {0, 2, 3}) rec::ModelAddIndex(i);
  rec::ModelDrawIndexed();
  const win32dx9::st_Batch b = GetLastBatch(REC_MODEL);
  EXPECT_EQ(b.firstVertex, firstVertex);
  EXPECT_EQ(b.vertexCount, 4);
  EXPECT_EQ(b.firstIndex, 3);
  EndFrame();
}

}  // namespace
}  // namespace gfxtest
