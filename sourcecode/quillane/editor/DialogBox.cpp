// The question box.
#include "quillane/editor/DialogBox.h"

#include <algorithm>
#include <string>

#include "base/data/Variant.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"

namespace quillane {

namespace {

constexpr float kTextMargin = 16.0f;  // right of the text, as a sheet leaves right of its contents

// The layout's box is sized for an empty text: it widens to the longest line of the text, and
// moves left as far as the window edge needs.
void FitText(cl_DialogBox& box, const base::tString<base::BaseString>& text) {
  base::cl_Window* sheet = box.FindByLabel("DialogBox");
  const base::cl_Window* field = box.FindByLabel("text");
  if (!sheet || !field) return;
  // The editor draws its windows in the "system" font; the current one may be another's.
  gfx::cl_Font* font = gfx::FontExists("system");
  if (!font) font = gfx::GetFont();
  if (!font) return;
  int widest = 0;
  const char* line = text.c_str();
  for (const char* end = line;; ++end) {
    if (*end != '\n' && *end != '\0') continue;
    widest = std::max(widest, font->GetTextWidth(std::string(line, end).c_str()));
    if (*end == '\0') break;
    line = end + 1;
  }
  sheet->m_Rect.w = std::max(sheet->m_Rect.w, field->m_Rect.x + static_cast<float>(widest) + kTextMargin);
  const float window = static_cast<float>(base::sys::GetWindowWidth());
  if (sheet->m_Rect.x + sheet->m_Rect.w > window) sheet->m_Rect.x = std::max(0.0f, window - sheet->m_Rect.w);
}

}  // namespace

cl_DialogBox* cl_DialogBox::Open(base::cl_Window* listener, base::tString<base::BaseString> title,
                                 base::tString<base::BaseString> text, base::tString<base::BaseString> button0,
                                 base::tString<base::BaseString> button1) {
  auto* box = new cl_DialogBox(listener);
  box->SetTexts(title, text, button0, button1);
  return box;
}

void cl_DialogBox::SetTexts(const base::tString<base::BaseString>& title, const base::tString<base::BaseString>& text,
                            const base::tString<base::BaseString>& button0,
                            const base::tString<base::BaseString>& button1) {
  const struct {
    const char* label;
    const base::tString<base::BaseString>& text;
  } parts[] = {{"TitleBar", title}, {"text", text}, {"button0", button0}, {"button1", button1}};
  for (const auto& part : parts)
    if (base::cl_Window* w = FindByLabel(part.label)) w->m_Text = part.text;
  FitText(*this, text);
}

cl_DialogBox::cl_DialogBox(base::cl_Window* listener) : m_listener(listener) { LoadFromFile("GUI.xml", "DialogBox"); }

bool cl_DialogBox::ProcessEvent(const base::Variant& event) {
  const char* name = event.get_label();
  base::tString<base::BaseString> button;
  if (!name || base::str::compare(name, "ButtonPressed") != 0 || !event.get_attribute_string("ctrl_label", button))
    return false;
  const base::cl_Window* title = FindByLabel("TitleBar");
  base::Variant answer;
  answer.set_element(title ? title->m_Text.c_str() : "");
  answer.attribute("ctrl_label")->set_string(button.c_str());
  return m_listener && m_listener->ProcessEvent(answer);
}

}  // namespace quillane
