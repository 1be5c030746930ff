// The skin's pixels through the real headless device and a DejaVu font: the bevel frame, the
// default button's outline, disabled text, the blinking caret, the image box's scale, the
// invisible disabled slider and the scroll area's clipping.
#include <algorithm>

#include "SkinFixture.h"
#include "base/Imaging.h"
#include "base/gui/GUIEdit.h"
#include "graphics/draw/Draw.h"
#include "graphics/image/Image.h"
#include "win32dx9/SystemGUI/SystemValueControls.h"

namespace skintest {
namespace {

using win32dx9::s_SkinColors;
constexpr uint32_t kBackground = 0x203040;

uint32_t Rgb(win32dx9::en_SkinColor c) { return s_SkinColors[c] & 0xFFFFFF; }

TEST_F(SkinTest, RaisedAndSunkenBevelsOfATenPixelSquare) {
  RenderFrame();
  win32dx9::cl_SystemGUI::DrawBevelFrame(base::tRectf(0.0f, 0.0f, 10.0f, 10.0f), 0xFF123456u, false);
  win32dx9::cl_SystemGUI::DrawBevelFrame(base::tRectf(20.0f, 0.0f, 30.0f, 10.0f), 0xFF123456u, true);
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 10; ++x) {
      uint32_t raised, sunken;
      if (x == 9 || y == 9) raised = Rgb(win32dx9::SKIN_BLACK);
      else if (x == 0 || y == 0) raised = Rgb(win32dx9::SKIN_WHITE);
      else if (x == 8 || y == 8) raised = Rgb(win32dx9::SKIN_DARK);
      else raised = 0x123456;
      if (x == 9 || y == 9) sunken = Rgb(win32dx9::SKIN_WHITE);
      else if (x < 2 || y < 2) sunken = Rgb(win32dx9::SKIN_DARK);
      else if (x == 8 || y == 8) sunken = Rgb(win32dx9::SKIN_LIGHT);
      else sunken = 0x123456;
      EXPECT_EQ(Pixel(x, y), raised) << "raised " << x << ", " << y;
      EXPECT_EQ(Pixel(20 + x, y), sunken) << "sunken " << x << ", " << y;
    }
  }
}

TEST_F(SkinTest, DefaultButtonHasAnOutlineAndADisabledOneGreyText) {
  auto* ok = m_gui->CreateChild("Button");
  auto* off = m_gui->CreateChild("Button");
  ok->m_Text = "OK";
  off->m_Text = "Disabled";
  ok->Init(base::StaticVariantIterator());
  off->Init(base::StaticVariantIterator());
  ok->m_Rect.x = ok->m_Rect.y = 100;
  ok->SetFlag(base::WF_DEFAULT, true);
  off->m_Rect.x = 100, off->m_Rect.y = 200;
  off->SetFlag(base::WF_DISABLED, true);
  RenderFrame();
  EXPECT_EQ(ok->m_Rect.h, 21);
  EXPECT_EQ(Pixel(99, 110), Rgb(win32dx9::SKIN_BLACK));
  EXPECT_EQ(Pixel(100, 99), Rgb(win32dx9::SKIN_BLACK));
  EXPECT_EQ(Pixel(100, 110), Rgb(win32dx9::SKIN_WHITE));
  EXPECT_EQ(Pixel(99, 210), kBackground);  // no outline without WF_DEFAULT
  // The darkest text pixel is the text colour; antialiased edges blend towards the face.
  uint32_t darkest = 0xFFFFFF;
  for (int y = 202; y < 218; ++y)
    for (int x = 104; x < int(off->m_AbsRect.right) - 4; ++x) darkest = std::min(darkest, Pixel(x, y));
  EXPECT_TRUE(RgbNear(darkest, Rgb(win32dx9::SKIN_MID), 12));
}

TEST_F(SkinTest, CaretShowsInTheFirstHalfOfTheBlink) {
  auto* line = m_gui->CreateChild("StringCtrl");
  line->m_Rect.x = 50, line->m_Rect.y = 50;
  line->SetFocus();
  struct st_Case {
    float blink;
    bool shown;
  } cases[] = {{0.0f, true}, {0.49f, true}, {0.5f, false}, {0.9f, false}};
  for (const st_Case& c : cases) {
    base::g_CaretBlink = c.blink;
    RenderFrame();
    EXPECT_EQ(line->m_Rect.w, 16);  // an empty line
    EXPECT_EQ(Pixel(50, 58) == Rgb(win32dx9::SKIN_BLACK), c.shown) << c.blink;
    EXPECT_EQ(Pixel(51, 58), kBackground);
  }
}

TEST_F(SkinTest, LargeImageShrinksToItsBoxAndSetImageWithoutPointerClears) {
  base::cl_Bitmap32 bitmap;
  bitmap.Create(512, 256);
  for (int i = 0; i < bitmap.NumPixels(); ++i) bitmap.GetPixels()[i] = base::Color32(0xFFFF0000u);
  gfx::cl_Image image;
  ASSERT_TRUE(image.CreateFromBitmap(&bitmap, 0, 0, 512, 256, false, false));
  auto* box = m_gui->CreateChild("Image");
  box->m_Rect = {20, 20, 128, 128};
  base::Variant event;
  event.set_element("SetImage");
  event.attribute("ptr")->set_pointer(&image);
  EXPECT_TRUE(box->ProcessEvent(event));
  RenderFrame();
  // Scale 0.25: 128 x 64 pixels of red from the box's corner.
  EXPECT_TRUE(RgbNear(Pixel(21, 21), 0xFF0000, 8));
  EXPECT_TRUE(RgbNear(Pixel(146, 82), 0xFF0000, 8));
  EXPECT_FALSE(RgbNear(Pixel(80, 86), 0xFF0000, 40));
  EXPECT_EQ(Pixel(18, 18), 0u);  // the black border
  base::Variant clear;
  clear.set_element("SetImage");
  EXPECT_TRUE(box->ProcessEvent(clear));
  RenderFrame();
  EXPECT_FALSE(RgbNear(Pixel(21, 21), 0xFF0000, 40));
  base::Variant other;
  other.set_element("Something");
  EXPECT_FALSE(box->ProcessEvent(other));
}

TEST_F(SkinTest, DisabledSliderAndItsHandleAreInvisible) {
  auto* slider = m_gui->CreateChild("Slider");
  slider->Init(base::StaticVariantIterator());
  slider->m_Rect = {300, 300, 100, 16};
  RenderFrame();
  EXPECT_EQ(Pixel(350, 300), Rgb(win32dx9::SKIN_BLACK));
  slider->SetFlag(base::WF_DISABLED, true);
  RenderFrame();
  for (int x = 298; x < 402; x += 3)
    for (int y = 298; y < 318; y += 3) ASSERT_EQ(Pixel(x, y), kBackground) << x << ", " << y;
}

TEST_F(SkinTest, ScrollAreaClientNeverDrawsOutsideItsClip) {
  auto* edit = dynamic_cast<base::cl_Edit*>(m_gui->CreateChild("Edit"));
  ASSERT_NE(edit, nullptr);
  edit->m_Rect = {200, 100, 150, 100};
  base::Variant list;
  list.set_element("List");
  for (int i = 0; i < 30; ++i) base::AddStringEntry(list, "Row row row");
  edit->m_Value = list;
  edit->SetFlag(base::WF_REBUILD, true);
  for (float scroll : {0.0f, 37.0f}) {
    RenderFrame();
    if (edit->m_pScrollArea) edit->m_pScrollArea->m_ScrollY = scroll;
    RenderFrame();
    ASSERT_NE(edit->m_pScrollArea, nullptr);
    // Rows continue far below the area: none of them may show there, nor above it.
    for (int y = 200; y < 480; y += 2)
      for (int x = 195; x < 360; x += 2) ASSERT_EQ(Pixel(x, y), kBackground) << x << ", " << y << " scroll " << scroll;
    for (int y = 60; y < 99; y += 2)
      for (int x = 195; x < 360; x += 2) ASSERT_EQ(Pixel(x, y), kBackground) << x << ", " << y;
  }
}

}  // namespace
}  // namespace skintest
