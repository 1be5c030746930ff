// The quit confirmation module and its yes/no box.
#include "quillane/frame/CustomQuit.h"

#include "base/data/Variant.h"
#include "base/system.h"
#include "graphics/Texture.h"
#include "graphics/draw/Draw.h"
#include "graphics/gfx.h"
#include "quillane/frame/GameFrame.h"
#include "win32dx9/SystemGUI/SystemControls.h"
#include "win32dx9/SystemGUI/SystemGUI.h"

namespace {

constexpr float kBoxHeight = 110.0f;
constexpr float kTextInset = 16.0f;

}  // namespace

// ---------------------------------------------------------------- cl_CustomQuitModule

bool cl_CustomQuitModule::cl_Receiver::ProcessEvent(const base::Variant& event) {
  return m_pModule ? m_pModule->ProcessEvent(event) : true;
}

cl_CustomQuitModule::cl_CustomQuitModule() {
  SetName("CustomQuit");
  StartUp();  // the base's permission to be enabled; it leaves the module active
  SetActive(false);
  m_Receiver.m_pModule = this;
  m_ready = true;
}

cl_CustomQuitModule::~cl_CustomQuitModule() { delete m_pMessageBox; }

bool cl_CustomQuitModule::Enable(bool on) {
  const bool result = cl_Module::Enable(on);
  if (m_ready && IsActive() && !m_pMessageBox) {
    m_pMessageBox = new cl_QuitBox();
    m_pMessageBox->Layout(kQuestion, kAnswerLabel, 400.0f, &m_Receiver);
    base::sys::Output("Quit confirmation opened\n");
  }
  return result;
}

void cl_CustomQuitModule::Update(float, float dt) {
  if (m_pMessageBox) m_pMessageBox->Update(dt);
}

void cl_CustomQuitModule::Render() {
  gfx::SetBlendNone();
  gfx::SetBlendAlpha(true);
  gfx::Begin2D();
  if (!m_pMessageBox) return;
  m_pMessageBox->Render(0.0f, 0.0f);
  if (gfx::cl_Texture* cursor = gfx::TextureExists("gamecursor")) gfx::SetCursor(nullptr, cursor);
}

bool cl_CustomQuitModule::ProcessInput(base::ICMD& cmd) {
  if (m_pMessageBox) m_pMessageBox->ProcessInput(cmd);
  m_Discarded.clear();
  return false;
}

bool cl_CustomQuitModule::ProcessEvent(const base::Variant& event) {
  const char* label = event.get_label();
  base::tString<base::BaseString> answer;
  if (!label || base::str::compare(label, kAnswerLabel) != 0 || !event.get_attribute_string("ctrl_label", answer))
    return true;
  // The box is inside its own input handling now: it is deleted after the handler returns.
  if (m_pMessageBox) m_Discarded.emplace_back(m_pMessageBox);
  m_pMessageBox = nullptr;
  if (base::str::compare(answer.c_str(), "Ok") == 0) {
    base::sys::Output("Quit confirmed\n");
    if (base::i_GameFrame* frame = base::GetFrameInterface()) frame->ShutDown();
  } else {
    base::sys::Output("Quit cancelled\n");
    Enable(false);
  }
  return true;
}

// ---------------------------------------------------------------- cl_QuitBox

void cl_QuitBox::Layout(const char* text, const char* answerLabel, float width, base::cl_Window* listener) {
  m_answerLabel = answerLabel;
  m_listener = listener;
  m_Text = text;
  const float screenW = static_cast<float>(base::sys::GetWindowWidth());
  const float screenH = static_cast<float>(base::sys::GetWindowHeight());
  m_Rect = base::st_WindowRect{(screenW - width) * 0.5f, (screenH - kBoxHeight) * 0.5f, width, kBoxHeight};
  const char* labels[2] = {"Ok", "Cancel"};
  for (int i = 0; i < 2; ++i) {
    auto* button = new win32dx9::cl_SystemButton();
    button->m_Label = labels[i];
    button->m_Text = labels[i];
    const float gap = (width - 2.0f * kButtonWidth) / 3.0f;
    button->m_Rect = base::st_WindowRect{gap + i * (kButtonWidth + gap), kBoxHeight - kButtonHeight - 14.0f,
                                         kButtonWidth, kButtonHeight};
    if (i == 0) button->SetFlag(base::WF_DEFAULT, true);
    AddChild(button);
  }
}

void cl_QuitBox::Render(float px, float py) {
  if (HasFlag(base::WF_HIDDEN)) return;
  UpdateRect(px, py);
  gfx::Begin2D();
  win32dx9::cl_SystemGUI::DrawBevelFrame(win32dx9::AbsRectOf(*this), win32dx9::s_SkinColors[win32dx9::SKIN_LIGHT],
                                         false);
  gfx::DrawTextBoxW(m_AbsRect.left + kTextInset, m_AbsRect.top + kTextInset, m_Rect.w - 2.0f * kTextInset, 50.0f,
                    win32dx9::LocalizeCaption(m_Text), win32dx9::s_SkinColors[win32dx9::SKIN_BLACK]);
  RenderChildren(px, py);
}

bool cl_QuitBox::ProcessEvent(const base::Variant& event) {
  const char* label = event.get_label();
  base::tString<base::BaseString> button;
  if (!label || base::str::compare(label, "ButtonPressed") != 0 || !event.get_attribute_string("ctrl_label", button))
    return true;
  base::Variant answer;
  answer.set_element(m_answerLabel.c_str());
  answer.attribute("ctrl_label")->set_string(button.c_str());
  if (m_listener) m_listener->ProcessEvent(answer);
  return true;
}
