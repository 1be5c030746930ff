// Helpers of the platform shell tests: a clock the test steers, a module that records what the
// frame loop hands it, and a root module started on the headless platform.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "base/app/Clock.h"
#include "base/app/ICMD.h"
#include "base/app/Module.h"
#include "base/app/SystemRoot.h"
#include "base/system.h"
#include "platform/gpu/Device.h"
#include "win32dx9/Platform.h"

#include "../base/test_support.h"

namespace shelltest {

// Ticks stand still until a Sleep: a 1 ms sleep (the frame loop's) moves them by the frame step,
// any other sleep by its own length.
class StepClock : public base::i_Clock {
 public:
  StepClock(uint32_t start, unsigned step) : m_now(start), m_step(step) { base::sys::SetClock(this); }
  ~StepClock() override { base::sys::SetClock(nullptr); }
  unsigned long Ticks() override { return m_now; }
  void Sleep(unsigned ms) override {
    m_now += ms == 1 ? m_step : ms;
    m_slept += ms;
  }
  unsigned long Slept() const { return m_slept; }

 private:
  uint32_t m_now;  // 32 bits, so it wraps as the real counter does
  unsigned m_step;
  unsigned long m_slept = 0;
};

// Records the arguments of every Update, counts renders and keeps the input commands it sees.
class Probe : public base::cl_Module {
 public:
  struct st_Step {
    float time, dt;
  };
  void Update(float time, float dt) override { steps.push_back({time, dt}); }
  void Render() override { ++renders; }
  bool ProcessInput(base::ICMD& cmd) override {
    commands.push_back(cmd);
    return true;
  }
  std::vector<st_Step> steps;
  std::vector<base::ICMD> commands;
  int renders = 0;
};

// Whether a headless device can be made here (EGL on Mesa); tests skip otherwise.
bool HeadlessGpuAvailable();

// A root module with the given configuration file text, a scratch user folder and the headless
// platform registered (not started).
class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Loads config (XML text) as the system's configuration.
  void Configure(const std::string& config);
  // StartUp of the root module; fails the test when it returns false.
  void Start();
  std::string UserFile(const std::string& name) const;

  std::filesystem::path m_dir;
  std::unique_ptr<base::cl_System> m_system;
  win32dx9::cl_Platform* m_platform = nullptr;  // owned by the system
};

inline constexpr const char* kSmallDisplay =
    "<Config><Display Fullscreen=\"0\" Width=\"64\" Height=\"48\"/><Localization Language=\"English\"/></Config>";

}  // namespace shelltest
