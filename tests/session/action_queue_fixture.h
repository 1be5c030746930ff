// Test fixture for the action queue and the script functions around it: a fresh script system
// with the game's functions and three test natives, a session on a simulated clock, Lua scripts
// written under "Scripts/" in a folder of the test's own (the working folder while it runs), and
// the engine and script output collected.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "KRX/ScriptSystem.h"
#include "KRX/runtime/Interface.h"
#include "base/app/SystemRoot.h"
#include "quillane/script/GameThread.h"
#include "quillane/session/GameActionQueue.h"
#include "quillane/session/Session.h"

namespace queuetest {

class QueueTest : public ::testing::Test {
 public:
  // What the natives recorded: Mark's texts, and Hold's completion events (owned here); and the
  // engine's and the script system's output.
  static std::vector<std::string>& Marks();
  static std::vector<std::unique_ptr<i_Event>>& HeldEvents();
  static std::vector<std::string>& Lines();

 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes source as "Scripts/<path>" below the test's folder.
  void WriteScript(const std::string& path, const std::string& source);
  // Runs function of module as the scene-script sequence (as the session's scene-script call
  // does): the thread when it waits, else null.
  GameThread* StartSceneScript(const char* module, const char* function);
  // Runs function of module as a background thread of the queue; the thread when it waits.
  GameThread* StartBackground(const char* module, const char* function);
  GameThread* StartThread(const char* module, const char* function, bool background);
  // One session frame on the simulated clock: script threads, the queue, then the fader.
  void Frame(float dt);
  void Frames(int count, float dt) {
    for (int i = 0; i < count; ++i) Frame(dt);
  }
  // Frames of dt until mark shows up; the number of frames, or -1 after limit frames.
  int FramesUntilMark(const std::string& mark, float dt, int limit = 1000);
  bool HasMark(const std::string& mark) const;
  std::string AllLines() const;
  bool LogHas(const std::string& text) const;

  quillane::cl_GameActionQueue& Queue() { return m_session->GetActionQueue(); }

  std::unique_ptr<base::cl_System> m_system;
  quillane::cl_Session* m_session = nullptr;  // owned; null after TearDown
  std::filesystem::path m_dir;
  std::filesystem::path m_oldDir;
};

}  // namespace queuetest
