// The root module: device start-up, the click and double-click logic, frames per second and the
// custom quit module.
#include "base/app/SystemRoot.h"

#include "base/app/Device.h"
#include "base/resource/ResourceMgr.h"
#include "base/system.h"

namespace base {

cl_System* cl_System::s_pSystem = nullptr;

namespace {

// The largest window side taken from the configuration: a damaged or hand-edited file must not
// ask the graphics layer for a back buffer of gigabytes.
// What the engine can use: 8K sides, and no more pixels than an 8K UHD screen (7680 x 4320), so
// that the screen buffers stay within a few hundred megabytes.
constexpr int kMaxWindowSide = 8192;
constexpr long long kMaxWindowPixels = 7680LL * 4320LL;

// Takes display attribute name into side when it lies in 0..kMaxWindowSide (0 and below leave
// the choice to the platform); anything larger is reported and left out.
void TakeWindowSide(const Variant& display, const char* name, int& side) {
  int value = 0;
  if (!display.get_attribute_int(name, value)) return;
  if (value > kMaxWindowSide) {
    sys::Output("ERROR: config: Display %s %d is larger than %d; the platform chooses the size\n", name, value,
                kMaxWindowSide);
    return;
  }
  side = value;
}

}  // namespace

cl_System::cl_System() : m_userDataPath(sys::GetApplicationPath()) { s_pSystem = this; }

cl_System::~cl_System() {
  if (s_pSystem == this) s_pSystem = nullptr;
  // A platform still registered (ShutDown was skipped) goes with the system rather than leak.
  if (m_platform) {
    m_platform->ShutDown();
    delete m_platform;
    m_platform = nullptr;
  }
  delete m_resourceMgr;
  m_resourceMgr = nullptr;
  m_userDataPath.clear();
  m_config.clear();
}

bool cl_System::RegisterPlatform(i_Platform* p) {
  m_platform = p;
  if (p) p->SetSystem(this);
  return true;
}

bool cl_System::StartUp() {
  if (!m_resourceMgr) m_resourceMgr = i_ResourceMgr::Create();
  if (m_platform) {
    if (const Variant* display = m_config.get_element("Display")) {
      display->get_attribute_bool("Fullscreen", m_state.fullscreen);
      TakeWindowSide(*display, "Width", m_state.windowWidth);
      TakeWindowSide(*display, "Height", m_state.windowHeight);
      if (static_cast<long long>(m_state.windowWidth) * m_state.windowHeight > kMaxWindowPixels) {
        sys::Output("ERROR: config: Display %dx%d has more than %lld pixels; the platform chooses the size\n",
                    m_state.windowWidth, m_state.windowHeight, kMaxWindowPixels);
        m_state.windowWidth = m_state.windowHeight = 0;
      }
      display->get_attribute_int("Antialiasing", m_state.antialiasing);
    }
    if (!m_platform->StartUp()) return false;
    m_inputDevice = m_platform->GetInputDevice();
    if (m_inputDevice) m_inputDevice->StartUp();
    m_graphicsDevice = m_platform->GetGraphicsDevice();
    if (m_graphicsDevice) {
      if (!m_graphicsDevice->StartUp()) {
        tString<BaseString> text("Could not initialize DirectX adapter:\n");
        text += m_graphicsDevice->GetErrorString();
        sys::Panic(text.c_str());
      }
      m_state.windowWidth = m_graphicsDevice->GetWidth();
      m_state.windowHeight = m_graphicsDevice->GetHeight();
      m_platform->ResizeWindow(0, 0, m_state.windowWidth, m_state.windowHeight);
    }
  }
  SetActive(true);
  return true;
}

void cl_System::Run() {
  cl_Module::StartUp();
  if (m_platform) m_platform->Run();
}

bool cl_System::ShutDown() {
  delete m_resourceMgr;
  m_resourceMgr = nullptr;
  if (m_platform) {
    m_platform->ShutDown();
    delete m_platform;
    m_platform = nullptr;
  }
  // The devices belonged to the platform.
  m_graphicsDevice = nullptr;
  m_inputDevice = nullptr;
  return true;
}

void cl_System::Update(float time, float dt) {
  m_pressInPoll = false;  // the frame's commands are in; the next ones come from the next poll
  m_frameTime += dt;
  if (m_frameTime > 1.0f) {
    m_frameTime -= 1.0f;
    m_state.fps = m_frameCounter;
    m_frameCounter = 0;
  }
  m_doubleClickTimer += dt;
  if (m_clickPending && m_doubleClickTimer > m_doubleClickWindow) {
    m_clickPending = false;  // cleared first: the click's handler may press again
    ICMD click = m_pendingClick;
    cl_Module::ProcessInput(click);
  }
  m_state.mouseRestingTime += dt;
  m_state.time = time;
  cl_Module* quit = m_customQuit.get();
  if (quit && quit->IsActive()) {
    quit->Update(time, dt);
  } else {
    cl_Module::Update(time, dt);
  }
}

void cl_System::Render() {
  cl_Module::Render();
  cl_Module* quit = m_customQuit.get();
  if (quit && quit->IsActive()) quit->Render();
}

bool cl_System::ProcessInput(ICMD& cmd) {
  m_state.mouseX = cmd.mouseX;
  m_state.mouseY = cmd.mouseY;
  switch (cmd.type) {
    case ICMD::LEFT_DOWN: m_state.mouseButton[0] = true; break;
    case ICMD::LEFT_UP: m_state.mouseButton[0] = false; break;
    case ICMD::RIGHT_DOWN: m_state.mouseButton[1] = true; break;
    case ICMD::RIGHT_UP: m_state.mouseButton[1] = false; break;
    case ICMD::MIDDLE_DOWN: m_state.mouseButton[2] = true; break;
    case ICMD::MIDDLE_UP: m_state.mouseButton[2] = false; break;
    case ICMD::MOUSE_MOVE: m_state.mouseRestingTime = 0.0f; break;
    default: break;
  }
  if (cmd.type == ICMD::LEFT_DOWN) {
    // Presses of one poll came at moments the poll does not tell: they may lie as far apart as
    // the poll's span. A frame slower than the window (a busy machine) makes two clicks of them,
    // never a double click that skips what the first one started.
    const float sincePress = m_pressInPoll ? m_pollSpan : m_doubleClickTimer;
    m_pressInPoll = true;
    if (sincePress < m_doubleClickWindow) {
      // The second press: the tree sees the double click, then the press itself. The first
      // press's single click stays pending and still arrives later.
      m_doubleClickTimer = 0.0f;
      ICMD dbl = cmd;
      dbl.type = ICMD::DOUBLE_CLICK;
      cl_Module::ProcessInput(dbl);
      return cl_Module::ProcessInput(cmd);
    }
    if (m_clickPending) {
      // The window of the click before has passed: it is handed on before this press takes its place.
      m_clickPending = false;
      ICMD click = m_pendingClick;
      cl_Module::ProcessInput(click);
    }
    m_pendingClick = cmd;
    m_pendingClick.type = ICMD::CLICK;
    m_clickPending = true;
    m_doubleClickTimer = 0.0f;
  }
  cl_Module* quit = m_customQuit.get();
  if (quit && quit->IsActive()) return quit->ProcessInput(cmd);
  return cl_Module::ProcessInput(cmd);
}

void cl_System::BeginInputPoll(float seconds) { m_pollSpan = seconds; }

bool cl_System::LoadConfig(const char* name) { return sys::LoadConfig(m_config, name); }

void cl_System::SetCustomQuitModule(cl_Module* m) {
  m_customQuit = weak_ptr<cl_Module>(m);
  if (m) m->Enable(false);
}

}  // namespace base
