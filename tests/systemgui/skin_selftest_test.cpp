// "GuiSelfTest" through the default skin with the demo textures: a scripted input sequence (row
// clicks, a hovered menu folder, typing, an opened branch, a preview image), then the frame
// against a reviewed picture.
#include <fstream>

#include "../support/GuiSelfTestValues.h"
#include "SkinFixture.h"
#include "base/Imaging.h"
#include "base/app/KeyCode.h"
#include "base/system.h"
#include "graphics/image/Image.h"

namespace skintest {
namespace {

constexpr int kCtrl = 0x02;

TEST_F(SkinTest, GuiSelfTestMatchesTheReviewedPicture) {
  const std::string data = QUILLANE_DATA_DIR;
  std::ofstream(m_dir / "skin.xml") << "<Resources>"
                                    << "<Texture label=\"GUI_check\" file=\"" << data << "/gui/skin/check.tga\"/>"
                                    << "<Texture label=\"GUI_dot\" file=\"" << data << "/gui/skin/dot.tga\"/>"
                                    << "<Texture label=\"GUI_checker\" file=\"" << data << "/gui/skin/checker.tga\"/>"
                                    << "<Texture label=\"GUI_folderarrow\" file=\"" << data
                                    << "/gui/skin/folderarrow.tga\"/></Resources>";
  ASSERT_TRUE(base::sys::AddResources((m_dir / "skin.xml").string().c_str()));
  ASSERT_NE(win32dx9::GetSkinTexture(win32dx9::SKIN_TEX_CHECKER), nullptr) << "demo data not generated";

  auto* panel = new base::cl_Panel;
  m_gui->AddChild(panel);
  ASSERT_TRUE(panel->LoadFromFile((data + "/GUI.xml").c_str(), "GuiSelfTest"));
  testsupport::FillSelfTestEdits(panel);

  // A preview with a transparent hole, so the checkerboard shows through it.
  base::cl_Bitmap32 bitmap;
  bitmap.Create(192, 160);
  for (int y = 0; y < 160; ++y)
    for (int x = 0; x < 192; ++x) {
      const bool hole = (x - 96) * (x - 96) + (y - 80) * (y - 80) < 40 * 40;
      *bitmap.Pixel(x, y) = base::Color32(hole ? 0u : 0xFF000000u | uint32_t(x) << 16 | uint32_t(y) << 8 | 0x60u);
    }
  gfx::cl_Image preview;
  ASSERT_TRUE(preview.CreateFromBitmap(&bitmap, 0, 0, 192, 160, false, true));
  base::Variant setImage;
  setImage.set_element("SetImage");
  setImage.attribute("ptr")->set_pointer(&preview);
  m_gui->FindByLabel("Preview")->ProcessEvent(setImage);

  const std::vector<std::vector<base::ICMD>> script = {
      {},
      {Cmd(base::ICMD::LEFT_DOWN, 310, 98), Cmd(base::ICMD::LEFT_UP, 310, 98)},  // Row2
      {Cmd(base::ICMD::LEFT_DOWN, 310, 178)},                                     // Pick0
      {[] { base::ICMD c = Cmd(base::ICMD::LEFT_DOWN, 310, 218); c.modifiers = kCtrl; return c; }()},  // + Pick2
      {Cmd(base::ICMD::LEFT_DOWN, 15, 235)},                                      // the Branch toggle
      {Cmd(base::ICMD::LEFT_DOWN, 580, 138)},                                     // Lighthouse
      {Cmd(base::ICMD::MOUSE_MOVE, 250, 330)},                                    // hover the "Use" folder
  };
  for (const std::vector<base::ICMD>& frame : script) {
    for (base::ICMD c : frame) m_gui->ProcessInput(c);
    m_gui->Update(1.0f / 60);
    RenderFrame();
  }
  base::g_pFocusWindow = m_gui->FindByLabel("Name");
  base::g_CaretPos = 3;
  for (base::ICMD c : {Key('s'), Key(base::key::Left)}) m_gui->ProcessInput(c);
  base::g_CaretBlink = 0.25f;
  RenderFrame();
  EXPECT_STREQ(m_gui->FindByLabel("Name")->m_Value.get_string(), "Odos");
  EXPECT_TRUE(MatchesGolden("gui_self_test"));
}

}  // namespace
}  // namespace skintest
