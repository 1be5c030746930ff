// The quit confirmation module.
#include "quillane/frame/CustomQuit.h"

#include "base/data/Variant.h"
#include "base/system.h"
#include "graphics/Texture.h"
#include "graphics/draw/Draw.h"
#include "graphics/gfx.h"
#include "quillane/frame/GameFrame.h"
#include "quillane/gui/Messagebox.h"

namespace {

constexpr int kBoxWidth = 400;

}  // namespace

// ---- cl_CustomQuitModule

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
    m_pMessageBox = new cl_Messagebox();
    m_pMessageBox->Layout("MB_YESNO", kQuestion, kAnswerLabel, nullptr, kBoxWidth, &m_Receiver);
    base::sys::Output("Quit confirmation opened\n");
  }
  return result;
}

void cl_CustomQuitModule::Update(float, float dt) {
  if (m_pMessageBox) m_pMessageBox->Update(dt);
  m_Discarded.clear();
}

void cl_CustomQuitModule::Render() {
  gfx::SetBlendNone();
  gfx::SetBlendAlpha(true);
  gfx::Begin2D();
  if (!m_pMessageBox) return;
  m_pMessageBox->Render(0.0f, 0.0f);  // the box's Render also advances its fade, so it may answer
  m_Discarded.clear();
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
  // The box is inside its own call now: it is deleted after that returns.
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
