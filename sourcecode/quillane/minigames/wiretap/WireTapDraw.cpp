// Drawing the wire-tap board: background, grid frame, note with the help text, terminals, tiles
// (turning towards their angle, lit ones flickering while the line fizzles), the picked tile
// under the pointer, tutorials, the skip button and the exit hint.
#include <algorithm>
#include <cmath>

#include "base/math/Noise.h"
#include "base/system.h"
#include "graphics/Texture.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/gfx.h"
#include "quillane/minigames/GamePanelTools.h"
#include "quillane/minigames/wiretap/WireTap.h"
#include "quillane/screen/ScreenDraw.h"

namespace quillane {

namespace {

constexpr float kAngleStep = 0.2f;  // radians per drawing
constexpr uint32_t kHelpTextColour = 0xFF190202u;

// The angle drawn moves one step towards the target per drawing.
void StepAngle(cl_WiretapPanel::st_Tile& tile) {
  if (tile.m_ShownAngle < tile.m_Angle)
    tile.m_ShownAngle += kAngleStep;
  else
    tile.m_ShownAngle = tile.m_Angle;
}

// A tile picture whose unturned top-left corner is (x, y), turned by angle about its pivot,
// counter-clockwise on the screen as the angle grows, so the openings drawn turn with the mask;
// the quad is scale · size times the picture, its pivot offset size times.
// The texture's own turned drawing mirrors the picture, which would show a corner's openings on
// the wrong side; the quad is made here with a plain rotation instead.
void DrawTileTexture(gfx::cl_Texture& texture, float x, float y, float angle, float scale, float size) {
  if (!texture.Load()) return;
  texture.Bind(0);
  const float w = static_cast<float>(texture.GetWidth()), h = static_cast<float>(texture.GetHeight());
  const float cx = texture.GetCenterX(), cy = texture.GetCenterY();
  if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(x) || !std::isfinite(y)) return;  // a damaged record
  const float px = x + (cx - 0.5f) * size, py = y + (cy - 0.5f) * size;
  const float s = std::sin(angle), c = std::cos(angle);
  // Screen y points down: a growing angle carries "up" (0, -1) towards "left" (-1, 0).
  auto corner = [&](float dx, float dy, float u, float v) {
    return gfx::st_Vertex2D{px + (dx * c + dy * s) * scale * size, py + (dy * c - dx * s) * scale * size, u, v};
  };
  const gfx::st_Vertex2D a = corner(-cx, -cy, 0.0f, 0.0f), b = corner(w - cx, -cy, 1.0f, 0.0f);
  const gfx::st_Vertex2D d = corner(w - cx, h - cy, 1.0f, 1.0f), e = corner(-cx, h - cy, 0.0f, 1.0f);
  gfx::DrawTriangle2D(a, b, d);
  gfx::DrawTriangle2D(a, d, e);
}

void UseFont(const char* label) {
  if (gfx::cl_Font* font = gfx::FontExists(label)) gfx::SetFont(font);
}

}  // namespace

void cl_WiretapPanel::ApplyFlicker() {
  const float clock = st_Tile::s_FizzleClock;
  if (!(clock > 0.0f && clock < st_Tile::s_FlickerWindow)) return;
  const float opacity = base::NoiseGenerator::perlin(st_Tile::s_FlickerValue) * 500.0f + 155.0f;
  gfx::SetBlendAlphaTextureColor(static_cast<uint8_t>(std::clamp(opacity, 0.0f, 255.0f)), true);
}

void cl_WiretapPanel::Render(float x, float y) {
  const float width = static_cast<float>(base::sys::GetWindowWidth());
  const float height = static_cast<float>(base::sys::GetWindowHeight());
  gfx::FillRect(0.0f, 0.0f, width, height, 0xFF000000u);
  gfx::SetBlendNone();
  gfx::DrawImage(&m_Back, 0.0f, m_PanelY, m_Scale);
  auto blendAlpha = [] {
    gfx::SetBlendNone();
    gfx::SetBlendAlpha(true);
  };
  blendAlpha();
  gfx::DrawImage(&m_GridBack, m_GridBackX, m_GridBackY, m_BoardScale);
  // The note shrinks with the board in a small window (its text keeps the font's size): so it
  // keeps to the panel's side, clear of the help boxes in the window's middle, and rises only as
  // far as it must to stay on the panel.
  const float s = m_BoardScale;
  const float noteW = static_cast<float>(m_Note.GetWidth()) * s, noteH = static_cast<float>(m_Note.GetHeight()) * s;
  const float noteX = std::max(m_GridBackX - noteW - 10.0f, 5.0f);
  const float panelBottom = m_PanelY + m_Scale * static_cast<float>(m_Back.GetHeight());
  const float noteY = std::min(m_GridBackY + 300.0f * s, panelBottom - noteH);
  blendAlpha();
  gfx::DrawImage(&m_Note, noteX, noteY, s);
  gfx::SetFilterLinear();

  DrawTerminals(x, y);
  DrawTiles(x, y, 1.0f);
  DrawOverlay(x, y);

  blendAlpha();
  gfx::DrawImage(&m_GridFront, m_GridBackX, m_GridBackY, m_BoardScale);

  UseFont("tutorial");
  base::tString<base::BaseUnicodeString> help, line;
  base::sys::Localize("#wiret0_05 Left Mouse Button Click => Select a tile for swapping with another tile.", help);
  base::sys::Localize("#wiret0_06 Left Mouse Button Double Click => turn a tile", line);
  help += u"\n\n";
  help += line;
  gfx::DrawTextBoxW(noteX + 48.0f * s, noteY + 48.0f * s, noteW - 75.0f * s, noteH - 75.0f * s, help.c_str(),
                    kHelpTextColour);

  DrawTutorial();
  DrawSkipButton(0.0f, m_PanelY, m_Scale);

  DrawExitHint(m_ExitZone);
}

void cl_WiretapPanel::DrawOverlay(float, float) {}

void cl_WiretapPanel::DrawTerminals(float x, float y) {
  gfx::SetBlendNone();
  gfx::SetBlendAlpha(true);
  for (int i = TERMINAL_IN; i <= TERMINAL_TAP; ++i)
    gfx::DrawTextureAt(&m_Textures[i], m_TerminalPos[i][0], m_TerminalPos[i][1], m_BoardScale);
  for (int i = TERMINAL_IN; i <= TERMINAL_TAP; ++i) DrawLitTerminal(x, y, i);
}

void cl_WiretapPanel::DrawLitTerminal(float, float, int index) {
  if (index < 0 || index + 3 >= kTextureCount) return;
  const st_Tile* tile = TileAtCell(static_cast<int>(m_TerminalCell[index][0]), static_cast<int>(m_TerminalCell[index][1]));
  if (!tile || !tile->m_Lit || tile->m_Terminal == TERMINAL_NONE) return;
  ApplyFlicker();
  gfx::DrawTextureAt(&m_Textures[index + 3], m_TerminalPos[index][0], m_TerminalPos[index][1], m_BoardScale);
}

void cl_WiretapPanel::DrawTiles(float x, float y, float scale) {
  const float size = m_BoardScale;
  const float mouseX = static_cast<float>(base::sys::MouseX()), mouseY = static_cast<float>(base::sys::MouseY());
  for (size_t r = 0; r < m_Grid.size(); ++r)
    for (size_t c = 0; c < m_Grid[r].size(); ++c) {
      st_Tile* tile = m_Grid[r][c].get();
      if (!tile) continue;
      if (tile == m_Picked) {
        tile->m_AnchorX = mouseX - m_GrabX;
        tile->m_AnchorY = mouseY - m_GrabY;
        continue;
      }
      AnchorInCell(*tile, r, c);
      gfx::SetBlendNone();
      gfx::SetBlendAlpha(true);
      StepAngle(*tile);
      const int picture = std::clamp(tile->m_TextureIndex, 0, kTextureCount - 1);
      DrawTileTexture(m_Textures[picture], (x + tile->m_AnchorX) * scale, (tile->m_AnchorY + y) * scale,
                      tile->m_ShownAngle, scale, size);
      if (tile->m_Lit && picture + kLitOffset < kTextureCount) {
        ApplyFlicker();
        StepAngle(*tile);
        DrawTileTexture(m_Textures[picture + kLitOffset], (x + tile->m_AnchorX) * scale, (tile->m_AnchorY + y) * scale,
                        tile->m_ShownAngle, scale, size);
      }
    }
  if (m_Picked) {
    gfx::SetBlendNone();
    gfx::SetBlendAlpha(true);
    m_Picked->m_ShownAngle = m_Picked->m_Angle;
    const int picture = std::clamp(m_Picked->m_TextureIndex, 0, kTextureCount - 1);
    DrawTileTexture(m_Textures[picture], m_Picked->m_AnchorX * scale, m_Picked->m_AnchorY * scale, m_Picked->m_ShownAngle,
                    scale, size);
  }
}

}  // namespace quillane
