// A module that clears the back buffer (colour and depth) at the start of every render pass.
// The program puts it first in the module tree, so every frame starts from a defined picture
// whatever draws after it.
#pragma once

#include <cstdint>

#include "base/app/Module.h"

namespace win32dx9 {

class cl_ClearScreen final : public base::cl_Module {
 public:
  explicit cl_ClearScreen(uint32_t color = 0xFF000000u) : m_Color(color) {}
  void Render() override;  // clears with the colour (0xAARRGGBB), then renders the children
  void SetColor(uint32_t color) { m_Color = color; }

 private:
  uint32_t m_Color;
};

}  // namespace win32dx9
