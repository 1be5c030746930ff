// The common base of the two font kinds (glyph-sheet fonts and TrueType fonts): the properties
// both share, the process-wide current font the text helpers draw through, and a do-nothing
// answer to every drawing and measuring call, so a kind overrides only what it supports.
// Fonts are resources ("TextureFont", "DXFont") kept in label-keyed pools. Main thread only.
#pragma once

#include <cstdint>

#include "base/data/Variant.h"
#include "base/math/Vector.h"
#include "base/resource/Resource.h"

namespace gfx {

class cl_Font : public base::i_Resource {
 public:
  // Constructing any font leaves no font current (a font made after the choice must be chosen).
  cl_Font();
  ~cl_Font() override;
  cl_Font(const cl_Font&) = delete;
  cl_Font& operator=(const cl_Font&) = delete;

  // "spacing", "size", "italic", "fat" (0 when absent); underlined on, white; true.
  bool Init(base::StaticVariantIterator element) override;
  void Read(base::File*) override {}   // fonts have no binary record
  void Write(base::File*) override {}

  virtual void Refresh() { m_changed = false; }
  virtual void SetItalic(bool italic) { m_italic = italic, m_changed = true; }
  virtual void MakeCurrent();
  // Reloads from an element Variant; the base cannot (false). The first argument is unused.
  virtual bool Load(uint32_t reserved, const base::Variant& element);

  // Drawing: wide text is UTF-16, narrow text Windows-1252; both zero-terminated.
  virtual void DrawTextBoxW(float x, float y, float w, float h, const char16_t* text, uint32_t colour);
  virtual void DrawTextW(float x, float y, const char16_t* text, uint32_t colour);
  virtual void DrawTextBox(float x, float y, float w, float h, const char* text, uint32_t colour);
  virtual void DrawText(float x, float y, const char* text, uint32_t colour);

  // Measuring: −1 (widths, heights) or (0, 0) (sizes) where a kind does not measure.
  virtual int GetTextWidthW(const char16_t* text);
  virtual int GetTextWidth(const char* text);
  virtual int GetWrappedTextHeightW(const char16_t* text, int width);
  virtual int GetWrappedTextHeight(const char* text, int width);
  virtual base::tVector2<float> GetTextSizeW(const char16_t* text);
  virtual base::tVector2<float> GetTextSize(const char* text);

  // "italic", "fat", "underlined" where present (non-zero: on); changed is left alone.
  virtual void SetProperties(const base::Variant& properties);
  virtual base::Variant GetProperties();  // nil for the base
  virtual void SetSize(float size) { m_size = static_cast<int>(size); }
  virtual void SetColor(uint32_t colour) { m_colour = colour; }
  virtual void SetSpacing(int spacing) { m_spacing = spacing, m_changed = true; }

  uint32_t GetColor() const { return m_colour; }
  int GetSpacing() const { return m_spacing; }
  int GetSize() const { return m_size; }
  bool IsItalic() const { return m_italic; }
  bool IsFat() const { return m_fat; }
  bool IsUnderlined() const { return m_underlined; }
  bool IsChanged() const { return m_changed; }

  static cl_Font* GetCurrent();

 protected:
  uint32_t m_colour = 0xFFFFFFFFu;
  int m_spacing = 0;
  int m_size = 0;
  bool m_italic = false;
  bool m_fat = false;
  bool m_underlined = false;
  bool m_changed = false;
};

class cl_Image;

// The font filed under label among the glyph-sheet fonts, else among the TrueType fonts; null
// when neither holds a live one (an empty pool element is left for a new label).
cl_Font* FontExists(const char* label);
// The image filed under label by the "Image" resource type, or null (same lookup rule).
cl_Image* ImageExists(const char* label);

}  // namespace gfx
