// The message box: layout, fade, input and the one answer.
#include "quillane/gui/Messagebox.h"

#include <algorithm>
#include <string>

#include "base/app/ICMD.h"
#include "base/app/KeyCode.h"
#include "base/data/StaticVariant.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/gfx.h"
#include "graphics/image/Image.h"
#include "quillane/gui/GameControls.h"
#include "quillane/screen/FontScope.h"
#include "quillane/screen/InterfaceSounds.h"
#include "quillane/screen/ScreenDraw.h"

namespace {

constexpr uint32_t kMessageColour = 0xFFFFEBDCu;
constexpr uint32_t kMessageOutline = 0xFF000000u;
constexpr float kEditWidth = 200, kEditHeight = 30;
constexpr int kEditMaxLength = 20;

bool IsLabel(const char* label, const char* expected) { return label && base::str::compare(label, expected) == 0; }

// The size of the image, (0, 0) when it does not exist.
void ImageSize(const char* label, float& w, float& h) {
  gfx::cl_Image* image = gfx::ImageExists(label);
  w = image ? static_cast<float>(image->GetWidth()) : 0.0f;
  h = image ? static_cast<float>(image->GetHeight()) : 0.0f;
}

}  // namespace

// ---- cl_Messagebox

cl_Messagebox::cl_Messagebox() : m_pFont(gfx::FontExists("messagebox")) {
  if (m_pFont) {
    base::Variant props;
    props.set_element("props");
    props.attribute("alignment")->set_string("center");
    m_pFont->SetProperties(props);
  }
}

cl_Messagebox::~cl_Messagebox() = default;

cl_Messagebox* cl_Messagebox::Show(const char* type, const char* textKey, const char* id,
                                   const char16_t* editDefault, base::cl_GUI* parent, base::cl_Window* listener) {
  return Open(type, textKey, nullptr, id, editDefault, parent, listener);
}

cl_Messagebox* cl_Messagebox::ShowFailure(const char* textKey, const char* causeKey, const char* id,
                                          base::cl_GUI* parent, base::cl_Window* listener) {
  return Open("MB_OK", textKey, causeKey, id, nullptr, parent, listener);
}

cl_Messagebox* cl_Messagebox::Open(const char* type, const char* textKey, const char* causeKey, const char* id,
                                   const char16_t* editDefault, base::cl_GUI* parent, base::cl_Window* listener) {
  auto* box = new (std::nothrow) cl_Messagebox;
  if (!box) return nullptr;
  base::cl_GUI* gui = parent ? parent : box->GetGUI();
  if (!gui) {
    // Nothing would own the box or ever answer: better no box than a lost one.
    base::sys::Output("Warning: message box '%s': no GUI to show it in\n", id ? id : "");
    delete box;
    return nullptr;
  }
  gui->AddModalWindow(box);
  box->m_CauseKey = causeKey ? causeKey : "";
  box->Layout(type, textKey, id, editDefault, kShowWidth, listener);
  return box;
}

void cl_Messagebox::SetText(const char* textKey) {
  if (!textKey) return;
  m_MessageText.clear();
  base::sys::Localize(textKey, m_MessageText);
  if (!m_CauseKey.empty()) {
    m_MessageText += u"\n";
    base::sys::Localize(m_CauseKey.c_str(), m_MessageText);
  }
  cl_FontScope font(m_pFont);
  const float height = m_MessageText.empty() ? 0.0f : gfx::GetWrappedTextHeightW(m_MessageText.c_str(), m_TextWidth);
  m_TextHeight = static_cast<float>(static_cast<int>(std::max(height, 0.0f)));
  m_Rect.w = m_TextWidth;
  m_Rect.h = m_TextHeight;
}

bool cl_Messagebox::Layout(const char* type, const char* textKey, const char* id, const char16_t* editDefault,
                           int width, base::cl_Window* listener) {
  m_TextWidth = static_cast<float>(width - 10);
  m_pListener = listener;
  m_Id = id;
  m_Type = type;
  SetText(textKey);
  float w = m_Rect.w + 60, h = m_Rect.h + 80;
  float iw = 0, ih = 0;
  if (IsLabel(type, "MB_EDIT")) {
    h -= 20;
    base::Variant desc;
    desc.set_element("Edit");
    desc.attribute("label")->set_string("Edit");
    desc.attribute("x")->set_int(static_cast<int>((w - kEditWidth) * 0.5f));
    desc.attribute("y")->set_int(static_cast<int>(h - kEditHeight - 10));
    desc.attribute("w")->set_int(static_cast<int>(kEditWidth));
    desc.attribute("h")->set_int(static_cast<int>(kEditHeight));
    h += 50;
    base::StaticVariant compiled;
    compiled = desc;
    m_pEdit = dynamic_cast<cl_GameEdit*>(CreateFromDescription(compiled));
    if (m_pEdit && editDefault) {
      m_pEdit->SetText(editDefault);
      m_pEdit->m_MaxLength = kEditMaxLength;
      m_pEdit->SetFocus();
    }
    AddChild(new cl_MessageboxButton("Clear", "mb_clear", (w - kEditWidth) * 0.5f + kEditWidth + 10,
                                     h - 30 - 20 - 30 - 10, 205, 35, this));
  } else if (IsLabel(type, "MB_OK")) {
    // A box that only tells something is closed with "OK", not "Yes" (data without that picture
    // keeps the yes button).
    const char* ok = gfx::ImageExists("mb_ok_default") ? "mb_ok" : "mb_yes";
    ImageSize((std::string(ok) + "_default").c_str(), iw, ih);
    AddChild(new cl_MessageboxButton("Ok", ok, (w - iw - 10) * 0.5f, h - ih - 10, iw + 5, ih + 5, this));
  } else if (IsLabel(type, "MB_YESNO")) {
    ImageSize("mb_yes_default", iw, ih);
    const float y = h - ih - 15;
    AddChild(new cl_MessageboxButton("Ok", "mb_yes", w * 0.5f - iw - 50, y, iw + 5, ih + 5, this));
    AddChild(new cl_MessageboxButton("Cancel", "mb_no", w * 0.5f + 50, y, iw + 5, ih + 5, this));
  }
  m_Rect.x = m_Rect.y = 0;
  m_Rect.w = w;
  m_Rect.h = h;
  // Placed once for the window as it is now; Render does not move it again.
  m_AbsRect.left = (static_cast<float>(base::sys::GetWindowWidth()) - w) * 0.5f;
  m_AbsRect.top = (static_cast<float>(base::sys::GetWindowHeight()) - h) * 0.5f;
  m_AbsRect.right = m_AbsRect.left + w;
  m_AbsRect.bottom = m_AbsRect.top + h;
  return true;
}

base::tString<base::BaseUnicodeString> cl_Messagebox::GetEditText() const {
  return m_pEdit ? m_pEdit->GetText() : base::tString<base::BaseUnicodeString>();
}

void cl_Messagebox::Render(float px, float py) {
  const float windowW = static_cast<float>(base::sys::GetWindowWidth());
  const float windowH = static_cast<float>(base::sys::GetWindowHeight());
  gfx::SetBlendAlpha(true);
  // Written so that a NaN target (a caller's bad number) dims nothing rather than casting NaN.
  const uint32_t dim = static_cast<uint32_t>(m_Alpha > 0.0f ? std::min(m_Alpha, 255.0f) : 0.0f);
  gfx::FillRect(0, 0, windowW, windowH, dim << 24);
  if (m_TargetAlpha <= m_Alpha) {
    const float x1 = m_AbsRect.left, y1 = m_AbsRect.top, x2 = m_AbsRect.right, y2 = m_AbsRect.bottom;
    {
      cl_FontScope font(m_pFont);
      gfx::FillRect(x1 + 2, y1 + 2, x2 - 2, y2 - 2, 200u << 24);
      DrawRoundFrame(x1, y1, x2, y2, 255);
      gfx::SetBlendNone();
      gfx::SetBlendAlpha(true);
      static const struct {
        const char* label;
        bool right, bottom;
      } kCorners[] = {{"dialog_ul", false, false}, {"dialog_ur", true, false}, {"dialog_ll", false, true},
                      {"dialog_lr", true, true}};
      for (const auto& corner : kCorners) {
        if (gfx::cl_Image* image = gfx::ImageExists(corner.label))
          gfx::DrawImage(image, corner.right ? x2 - 31 : x1 - 2, corner.bottom ? y2 - 30 : y1 - 2, 1.0f);
      }
      gfx::DrawTextBoxOutlinedW(x1 + (m_Rect.w - m_TextWidth) * 0.5f, y1 + 10, m_TextWidth, m_TextHeight,
                                m_MessageText.c_str(), kMessageColour, kMessageOutline);
    }
    RenderChildren(x1 + px, y1 + py);
  }
  if (m_bSelfUpdate) Update(0.01f);
}

void cl_Messagebox::Update(float dt) {
  if (m_State == STATE_FADING_IN) {
    m_Alpha += dt * kFadeSpeed;
    if (m_Alpha >= m_TargetAlpha) {
      m_Alpha = m_TargetAlpha;
      m_State = STATE_OPEN;
    }
  } else if (m_State == STATE_CLOSING) {
    m_Alpha -= dt * kFadeSpeed;
    if (m_Alpha <= 0) {
      // The box is updated by its GUI, by its own Render and maybe by its opener until the GUI
      // deletes it: only the first of those answers.
      m_State = STATE_ANSWERED;
      if (m_pListener) m_pListener->ProcessEvent(m_Answer);
      if (base::cl_GUI* gui = GetGUI()) gui->CloseWindow(this);
    }
  }
  cl_Window::Update(dt);
}

void cl_Messagebox::Withdraw() {
  m_pListener = nullptr;
  m_State = STATE_ANSWERED;
  if (base::cl_GUI* gui = GetGUI()) gui->CloseWindow(this);
}

void cl_Messagebox::Answer(const base::Variant& answer) {
  m_Answer.copy(answer);
  PrepareAnswer();
  m_State = STATE_CLOSING;
}

bool cl_Messagebox::ProcessInput(base::ICMD& cmd) {
  if (cmd.type == base::ICMD::KEY_PRESSED && (cmd.key == base::key::Escape || cmd.key == base::key::Enter)) {
    // A box that has answered keeps its first answer.
    if (m_State != STATE_CLOSING && m_State != STATE_ANSWERED) {
      base::Variant answer;
      answer.set_element("ButtonPressed");
      answer.attribute("ctrl_label")->set_string(cmd.key == base::key::Escape ? "Cancel" : "Ok");
      Answer(answer);
    }
    return true;
  }
  return ProcessInputChildren(cmd);
}

bool cl_Messagebox::ProcessEvent(const base::Variant& event) {
  if (!IsLabel(event.get_label(), "ButtonPressed")) return true;
  PlayClickSound();
  if (!event.get_attribute("ctrl_label")) return true;
  base::tString<base::BaseString> pressed;
  event.get_attribute_string("ctrl_label", pressed);
  if (pressed == "Clear") {
    if (m_pEdit) m_pEdit->SetText(u"");
    return true;
  }
  if (m_pEdit && m_pEdit->GetText().empty()) return true;
  if (m_State != STATE_CLOSING && m_State != STATE_ANSWERED) Answer(event);
  return true;
}

void cl_Messagebox::PrepareAnswer() {
  m_Answer.set_label(m_Id.c_str());
  if (base::cl_Window* edit = FindByLabel("Edit")) {
    base::Variant value;
    edit->GetValue(value);
    base::tString<base::BaseString> text;
    value.print_to(text);
    m_Answer.attribute("text")->set_string(text.c_str());
  }
}

// ---- cl_MessageboxButton

cl_MessageboxButton::cl_MessageboxButton(const char* label, const char* imageBase, float x, float y, float w,
                                         float h, cl_Messagebox* owner)
    : m_pOwner(owner) {
  m_Label = label;
  m_Text = imageBase;
  m_Rect = {x, y, w, h};
  m_Flags = base::WF_CENTER_TEXT;
  m_Pressed = false;
}

void cl_MessageboxButton::Render(float px, float py) {
  UpdateRect(px, py);
  gfx::SetBlendNone();
  gfx::SetBlendAlpha(true);
  const float mx = static_cast<float>(base::sys::MouseX()), my = static_cast<float>(base::sys::MouseY());
  const bool over = m_AbsRect.left <= mx && mx < m_AbsRect.right && m_AbsRect.top <= my && my < m_AbsRect.bottom;
  base::tString<base::BaseString> name = m_Text;
  name += m_Pressed ? "_pressed" : over ? "_highlight" : "_default";
  if (gfx::cl_Image* image = gfx::ImageExists(name.c_str())) gfx::DrawImage(image, m_AbsRect.left, m_AbsRect.top, 1.0f);
}

bool cl_MessageboxButton::ProcessInput(base::ICMD& cmd) {
  const bool wasHovered = m_Hovered;
  const bool taken = base::cl_Button::ProcessInput(cmd);
  if (!wasHovered && m_Hovered) PlayMouseOverSound();
  return taken;
}
