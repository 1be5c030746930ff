// The default skin's button-like and frame-like controls: each draws its basic control with the
// skin's colours, bevel and textures, and some fix their size from their caption in Init.
#pragma once

#include "base/gui/GUIComposite.h"
#include "base/math/Limit.h"

namespace win32dx9 {

// Light face (dark while pressed), raised bevel, black outline when default, caption centred or
// at the left; as wide as its caption + 20, 21 high.
class cl_SystemButton : public base::cl_Button {
 public:
  void Render(float px, float py) override;
  bool Init(base::StaticVariantIterator desc) override;
};

// A button that closes its panel, caption at the left.
class cl_SystemMenuEntry : public cl_SystemButton {
 public:
  bool Init(base::StaticVariantIterator desc) override;
};

// 14 x 14, the check texture on a raised face.
class cl_SystemCloseButton : public base::cl_CloseButton {
 public:
  cl_SystemCloseButton();
  void Render(float px, float py) override;
};

// Black raised bar with white caption; its close button at its right end.
class cl_SystemTitleBar : public base::cl_TitleBar {
 public:
  void Render(float px, float py) override;
  bool Init(base::StaticVariantIterator desc) override;  // caption width + 20 by 22
};

// A raised box, the check texture while the bound value is non-zero, caption right of the box.
class cl_SystemCheckBox : public base::cl_CheckBox {
 public:
  void Render(float px, float py) override;
  bool Init(base::StaticVariantIterator desc) override;  // box and caption wide
};

// A sunken 16 x 16 box with a raised knob when chosen; publishes a preset choice at first render.
class cl_SystemRadioButton : public base::cl_RadioButton {
 public:
  void Render(float px, float py) override;
};

// A flat box with "+" (closed) or "-" (open).
class cl_SystemTreeToggle : public base::cl_TreeToggle {
 public:
  void Render(float px, float py) override;
};

// A raised entry with an arrow; its sub-menu opens to its right.
class cl_SystemMenuFolder : public base::cl_MenuFolder {
 public:
  void Render(float px, float py) override;
  bool Init(base::StaticVariantIterator desc) override;  // caption width + 30 by 21
};

// A raised light panel under its children.
class cl_SystemFrame : public base::cl_Window {
 public:
  void Render(float px, float py) override;
};

// An etched outline with the caption cut into its top edge.
class cl_SystemGroup : public base::cl_Group {
 public:
  void Render(float px, float py) override;
};

// Its caption, a blank and the localised string value.
class cl_SystemStaticText : public base::cl_Window {
 public:
  void Render(float px, float py) override;
};

// The window's absolute rectangle as the drawing helpers take it.
base::tRectf AbsRectOf(const base::cl_Window& w);

}  // namespace win32dx9
