// The editor mode's pictures: its cursor "defaultmouse" (32 x 32, a white corner bracket with a
// diagonal and a dark rim, pointing with its corner at (1, 1), unlike the game's arrow) and
// "Scenes/Test/Test.bmp", the 64 x 40 picture every file browser previews first: a night sky over
// a quay with a lit window, so a preview shows something recognisable.
#include <string>

#include "core/Modules.h"
#include "core/Output.h"
#include "core/Painter.h"

namespace demogen {

namespace {

constexpr int kCursorSize = 32;
constexpr int kTestWidth = 64, kTestHeight = 40;

base::cl_Bitmap32 EditorCursor() {
  base::cl_Bitmap32 image;
  image.Create(kCursorSize, kCursorSize);  // transparent around the bracket
  cl_Painter paint(image);
  // Dark rim first, then the white strokes: a corner at (1, 1) with two arms and a diagonal.
  paint.Rect(0, 0, 14, 4, 0xFF101828u);
  paint.Rect(0, 0, 4, 14, 0xFF101828u);
  paint.Rect(1, 1, 13, 3, 0xFFFFFFFFu);
  paint.Rect(1, 1, 3, 13, 0xFFFFFFFFu);
  for (int i = 3; i < 18; ++i) paint.Rect(i - 1, i - 1, i + 2, i + 2, 0xFF101828u);
  for (int i = 3; i < 17; ++i) paint.Blend(i, i, 0xFFFFFFFFu, 1.0f);
  return image;
}

base::cl_Bitmap24 TestPicture() {
  base::cl_Bitmap32 canvas;
  canvas.Create(kTestWidth, kTestHeight);
  cl_Painter paint(canvas);
  paint.VerticalGradient(0xFF23385Au, 0xFF7C93B4u);
  paint.Rect(0, 28, kTestWidth, kTestHeight, 0xFF2A2F36u);   // the quay
  paint.Rect(40, 14, 56, 28, 0xFF4B3A2Cu);                   // a shed
  paint.Rect(45, 18, 51, 23, 0xFFFFD27Au);                   // its lit window
  paint.Disc(14.0f, 9.0f, 4.0f, 0xFFF4E6B8u);                // the moon
  base::cl_Bitmap24 bmp;
  bmp.Create(kTestWidth, kTestHeight);
  for (int y = 0; y < kTestHeight; ++y)
    for (int x = 0; x < kTestWidth; ++x) {
      const base::Color32& p = *canvas.Pixel(x, y);
      *bmp.Pixel(x, y) = base::Color24(p.r, p.g, p.b);
    }
  return bmp;
}

}  // namespace

bool MakeEditorPictures(cl_Output& out) {
  return out.WriteTga("editor/defaultmouse.tga", EditorCursor(), true) &&
         out.WriteBmp("Scenes/Test/Test.bmp", TestPicture());
}

}  // namespace demogen
