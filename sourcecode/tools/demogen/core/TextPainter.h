// Text painted through FreeType into the generated pictures: one face at one pixel size, glyphs
// blended in one colour. Advances are rounded up to whole pixels, so a measured width is the
// width drawing covers.
#pragma once

#include <cstdint>

#include "base/Imaging.h"

struct FT_LibraryRec_;
struct FT_FaceRec_;

namespace demogen {

class cl_TextPainter {
 public:
  // Opens the face; on failure says so on stderr and IsOpen is false.
  cl_TextPainter(const char* fontFile, int pixelSize);
  ~cl_TextPainter();
  cl_TextPainter(const cl_TextPainter&) = delete;
  cl_TextPainter& operator=(const cl_TextPainter&) = delete;

  bool IsOpen() const { return m_face != nullptr; }
  int Width(const char* text) const;  // sum of the glyphs' advances
  int Ascent() const;                 // baseline below the top of a line
  int LineHeight() const;             // ascent plus descent
  // Blends text in colour with its pen starting at x on the given baseline.
  void Draw(base::cl_Bitmap32& canvas, int x, int baseline, const char* text, uint32_t colour) const;

 private:
  FT_LibraryRec_* m_library = nullptr;
  FT_FaceRec_* m_face = nullptr;
};

}  // namespace demogen
