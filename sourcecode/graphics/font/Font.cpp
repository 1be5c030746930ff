// The font base, the current font and the label lookups over the font and image pools.
#include "graphics/font/Font.h"

#include "graphics/font/DXFont.h"
#include "graphics/font/TextureFont.h"
#include "graphics/image/Image.h"

namespace gfx {

namespace {
cl_Font* g_current = nullptr;
}  // namespace

cl_Font::cl_Font() { g_current = nullptr; }

cl_Font::~cl_Font() {
  // A destroyed font must not stay current: the text helpers would draw through freed memory.
  if (g_current == this) g_current = nullptr;
}

cl_Font* cl_Font::GetCurrent() { return g_current; }

void cl_Font::MakeCurrent() { g_current = this; }

bool cl_Font::Init(base::StaticVariantIterator element) {
  int spacing = 0, size = 0, italic = 0, fat = 0;
  element.get_attribute_int("spacing", spacing);
  element.get_attribute_int("size", size);
  element.get_attribute_int("italic", italic);
  element.get_attribute_int("fat", fat);
  SetSpacing(spacing);
  SetSize(static_cast<float>(size));
  SetItalic(italic > 0);
  m_fat = fat > 0;
  m_underlined = true;
  m_changed = true;
  SetColor(0xFFFFFFFFu);
  return true;
}

bool cl_Font::Load(uint32_t, const base::Variant&) { return false; }

void cl_Font::DrawTextBoxW(float, float, float, float, const char16_t*, uint32_t) {}
void cl_Font::DrawTextW(float, float, const char16_t*, uint32_t) {}
void cl_Font::DrawTextBox(float, float, float, float, const char*, uint32_t) {}
void cl_Font::DrawText(float, float, const char*, uint32_t) {}
int cl_Font::GetTextWidthW(const char16_t*) { return -1; }
int cl_Font::GetTextWidth(const char*) { return -1; }
int cl_Font::GetWrappedTextHeightW(const char16_t*, int) { return -1; }
int cl_Font::GetWrappedTextHeight(const char*, int) { return -1; }
base::tVector2<float> cl_Font::GetTextSizeW(const char16_t*) { return {0.0f, 0.0f}; }
base::tVector2<float> cl_Font::GetTextSize(const char*) { return {0.0f, 0.0f}; }

void cl_Font::SetProperties(const base::Variant& properties) {
  int value = 0;
  if (properties.get_attribute_int("italic", value)) m_italic = value != 0;
  if (properties.get_attribute_int("fat", value)) m_fat = value != 0;
  if (properties.get_attribute_int("underlined", value)) m_underlined = value != 0;
}

base::Variant cl_Font::GetProperties() { return base::Variant(); }

cl_Font* FontExists(const char* label) {
  if (!label) return nullptr;
  if (cl_Font* font = base::tResourceType<cl_TextureFont>::Get(label)) return font;
  return base::tResourceType<cl_DXFont>::Get(label);
}

cl_Image* ImageExists(const char* label) { return base::tResourceType<cl_Image>::Get(label); }

}  // namespace gfx
