// TrueType text through FreeType: fonts made from a face name and a cell height, drawing and
// measuring text in rectangles with the alignment, word-break and calculate-only flags the
// engine's text boxes use. Faces come from font files registered for the process, or else from
// the DejaVu fonts installed with the system.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/gpu/Device.h"

namespace gpux {

namespace dt {  // text format flags
inline constexpr uint32_t Top = 0, Left = 0, Center = 0x1, Right = 0x2, VCenter = 0x4, Bottom = 0x8,
                          WordBreak = 0x10, SingleLine = 0x20, NoClip = 0x100, CalcRect = 0x400;
}

// Registers the face of a font file (path with '/' or '\') for this process under its family
// name; counted, so the same file may be added repeatedly. Returns the faces added (0: failure).
int AddFontResource(const char* path);
// Drops one registration; false when the file was not registered.
bool RemoveFontResource(const char* path);

struct FontDesc {
  int32_t height;
  uint32_t width, weight, mipLevels;
  bool italic;
  std::string faceName;
};

class Font {
 public:
  // height > 0: cell height in pixels (ascent + descent); < 0: character height. weight 700 and
  // above is bold. An unknown face falls back to DejaVu Sans.
  static gpu::Result Create(gpu::Device* device, int32_t height, uint32_t width, uint32_t weight, uint32_t mipLevels,
                            bool italic, const char* faceName, Font** out);

  uint32_t AddRef() { return ++refs_; }
  uint32_t Release();

  // Lays out `count` characters (−1: up to the terminating zero) in `rect` and draws them in
  // `colour` (ARGB), or with dt::CalcRect only sets rect's right and bottom to the text's extent.
  // Returns the height of the text in pixels. The device states it touches are restored.
  int DrawTextW(const char16_t* text, int count, gpu::Rect* rect, uint32_t format, uint32_t colour);
  // Narrow text in the Windows-1252 code page.
  int DrawTextA(const char* text, int count, gpu::Rect* rect, uint32_t format, uint32_t colour);

  gpu::Result GetDesc(FontDesc* out) const;
  int LineHeight() const;
  // The font keeps only managed resources; both exist for the engine's reset protocol.
  gpu::Result OnLostDevice() { return gpu::kOk; }
  gpu::Result OnResetDevice() { return gpu::kOk; }

  struct State;

 private:
  Font() = default;
  ~Font();
  uint32_t refs_ = 1;
  std::unique_ptr<State> state_;
};

}  // namespace gpux
