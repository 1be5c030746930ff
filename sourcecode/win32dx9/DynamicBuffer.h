// Immediate-mode drawing: five global recorders, one per vertex record, collect vertices and
// batch-relative 16-bit indices in system memory; a flush copies them into a pair of dynamic
// device buffers used as rings (append without overwrite, discard when full or at the first
// lock of a frame) and issues one indexed draw with the ring offset as base vertex. A primitive
// is recorded as: add the primitive (its indices), then add its vertices. The recorders hold
// default-pool buffers, so they exist only while the device is ready (made at start-up and after
// every reset, destroyed before every reset). Main thread, inside the frame lock.
#pragma once

#include <cstdint>
#include <vector>

namespace win32dx9 {

// The vertex records, byte-exact (the strides are part of the drawing contract).
struct DIFFVERTEX {  // position, colour, one texture coordinate set
  float x, y, z;
  uint32_t color;
  float u, v;
};
struct MODELVERTEX {  // position, normal, one texture coordinate set
  float x, y, z;
  float nx, ny, nz;
  float u, v;
};
struct DIFFBITMAPVERTEX {  // screen pixels with rhw, colour, one set
  float x, y, z, rhw;
  uint32_t color;
  float u, v;
};
struct DOUBLETEXBITMAPVERTEX {  // screen pixels with rhw, two sets
  float x, y, z, rhw;
  float tu1, tv1, tu2, tv2;
};
struct COLORLIGHTVERTEX {  // position, normal, colour
  float x, y, z;
  float nx, ny, nz;
  uint32_t color;
};
static_assert(sizeof(DIFFVERTEX) == 24 && sizeof(MODELVERTEX) == 32 && sizeof(DIFFBITMAPVERTEX) == 28 &&
                  sizeof(DOUBLETEXBITMAPVERTEX) == 32 && sizeof(COLORLIGHTVERTEX) == 28,
              "vertex records are packed as the vertex formats say");

// Vertex format codes of the records.
inline constexpr uint32_t kFvfDiff = 0x142, kFvfModel = 0x112, kFvfDiffBitmap = 0x144, kFvfDoubleTex = 0x204,
                          kFvfColorLight = 0x52;

// The recorders by kind. ORDER RECORDER: kRecorderCapacity in Recorder.cpp.
enum en_Recorder { REC_DIFF = 0, REC_MODEL, REC_DIFFBITMAP, REC_DOUBLETEX, REC_COLORLIGHT, REC_COUNT };

// The last flush (or bind) of a recorder: what went where in the rings.
struct st_Batch {
  int vertexCount = 0, firstVertex = 0, indexCount = 0, firstIndex = 0;
  uint32_t vertexLockFlags = 0;  // of the vertex ring's lock: NoOverwrite or Discard, with NoSysLock
};

void CreateRecorders();   // all five, in the order DIFF, MODEL, DIFFBITMAP, DOUBLETEX, COLORLIGHT
void DestroyRecorders();  // all five; safe when none exist
bool RecordersExist();
// Triangles added through the add-triangle and add-quad operations since the last frame reset.
int GetDrawCallCount();
// The last batch of a recorder (zeros when it does not exist).
st_Batch GetLastBatch(en_Recorder recorder);
// Benchmarks and tests: while a capture is set, every screen-space triangle list the DIFFBITMAP
// recorder draws is appended to it too (three vertices a triangle), with its vertex count per
// draw and whether the draw's colour comes from the bound texture (a picture, not a flat fill or
// line). Null stops capturing.
struct st_BitmapCapture {
  std::vector<DIFFBITMAPVERTEX> vertices;
  std::vector<int> drawSizes;
  std::vector<bool> drawTextured;
};
void CaptureBitmapTriangles(st_BitmapCapture* capture);
// Vertex and index capacity of a recorder (3 × its capacity argument).
int GetRecorderCapacity(en_Recorder recorder);

namespace DynamicBatch {
// Start of a frame and render-target switch: triangle counter 0; every recorder used since the
// last reset drops what it holds and discards at its next lock.
void ResetAll();
}  // namespace DynamicBatch

// The recording operations. An add that would pass a recorder's capacity is refused (logged once
// per frame); a primitive whose indices were refused gets no vertices either.
namespace rec {
// DIFF: world-space lines and triangles.
void DiffAddLine();
void DiffAddTriangle();
void DiffAddVertex(float x, float y, float z, float u, float v, uint32_t color);
void DiffFlushLines();
void DiffFlushTriangles();

// MODEL: lit world-space quads; or a vertex set bound once and drawn with several index lists.
// A quad that would take the batch past 65,536 vertices flushes the batch first (16-bit indices).
void ModelAddQuad();
void ModelAddVertex(float x, float y, float z, float nx, float ny, float nz, float u, float v);
void ModelAddIndex(uint16_t index);
void ModelFlush();
void ModelBind();         // copies the recorded vertices into the ring and selects them
void ModelDrawIndexed();  // draws the recorded indices against the bound vertices

// DIFFBITMAP: screen-space textured and coloured triangles and quads.
void BitmapAddTriangle();
void BitmapAddQuad();
void BitmapAddVertex(float x, float y, float u, float v, uint32_t color);
void BitmapFlush();

// DOUBLETEX: screen-space quads with the same coordinates for two textures.
void DoubleTexAddQuad();
void DoubleTexAddVertex(float x, float y, float u, float v);
void DoubleTexFlush();
}  // namespace rec

}  // namespace win32dx9
