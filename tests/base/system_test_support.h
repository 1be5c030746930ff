// Helpers of the module, scheduler and root-module tests: a clock the test moves, and a module
// that records every call it gets into a shared journal.
#pragma once

#include <string>
#include <vector>

#include "base/app/Clock.h"
#include "base/app/ICMD.h"
#include "base/app/Module.h"

namespace testsupport {

// Ticks stand still until the test (or a Sleep) moves them; every Sleep moves them by step ms,
// so the headless frame loop advances one frame period per frame.
class FakeClock : public base::i_Clock {
 public:
  explicit FakeClock(unsigned step = 1) : m_step(step) { base::sys::SetClock(this); }
  ~FakeClock() override { base::sys::SetClock(nullptr); }
  unsigned long Ticks() override { return m_now; }
  void Sleep(unsigned) override { m_now += m_step; }
  void Advance(unsigned ms) { m_now += ms; }
  void SetStep(unsigned step) { m_step = step; }

 private:
  unsigned long m_now = 1000;
  unsigned m_step;
};

using Journal = std::vector<std::string>;

// Writes "<name>:start", "<name>:update", "<name>:render", "<name>:input<type>", "<name>:shutdown"
// and "<name>:dead" into the journal. Takes input when its type is in takes.
class Recorder : public base::cl_Module {
 public:
  Recorder(Journal& journal, const char* name, bool startOk = true)
      : m_journal(journal), m_startOk(startOk) {
    SetName(name);
  }
  ~Recorder() override { m_journal.push_back(std::string(GetName()) + ":dead"); }

  bool StartUp() override {
    m_journal.push_back(std::string(GetName()) + ":start");
    return base::cl_Module::StartUp() && m_startOk;
  }
  bool ShutDown() override {
    m_journal.push_back(std::string(GetName()) + ":shutdown");
    return base::cl_Module::ShutDown();
  }
  void Update(float time, float dt) override {
    if (IsActive()) m_journal.push_back(std::string(GetName()) + ":update");
    base::cl_Module::Update(time, dt);
  }
  void Render() override {
    if (IsActive()) m_journal.push_back(std::string(GetName()) + ":render");
    base::cl_Module::Render();
  }
  bool ProcessInput(base::ICMD& cmd) override {
    if (!IsActive()) return false;
    m_journal.push_back(std::string(GetName()) + ":input" + std::to_string(cmd.type));
    if (base::cl_Module::ProcessInput(cmd)) return true;
    return m_takes.find(static_cast<char>(cmd.type)) != std::string::npos;
  }
  void Takes(std::initializer_list<int> types) {
    for (int t : types) m_takes.push_back(static_cast<char>(t));
  }

 private:
  Journal& m_journal;
  bool m_startOk;
  std::string m_takes;
};

// Journal entries that start with prefix, in order.
inline std::vector<std::string> Only(const Journal& journal, const std::string& prefix) {
  std::vector<std::string> out;
  for (const auto& e : journal) {
    if (e.rfind(prefix, 0) == 0) out.push_back(e);
  }
  return out;
}

}  // namespace testsupport
