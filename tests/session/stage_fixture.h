// Shared set-up of the stage and dialogue tests: a scratch working folder (scripts, scenes and a
// small actor list under the demo actors' names are written there), a system root, a fresh
// script system with a few natives the test scripts call, the engine log captured, and a
// character that moves along given floor points instead of walking a nav mesh.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "KRX/ScriptSystem.h"
#include "KRX/runtime/Thread.h"
#include "KRX/runtime/function_adapter.h"
#include "base/app/SystemRoot.h"
#include "base/system.h"
#include "quillane/actor/ActorRegistry.h"
#include "quillane/character/Character.h"
#include "quillane/script/ScriptHost.h"
#include "quillane/settings/TweakSettings.h"
#include "quillane/world/WorldServices.h"
#include "support/EngineLogCapture.h"
#include "support/ScratchFolder.h"

namespace stagetest {

namespace fs = std::filesystem;

// What the test scripts reported through Note, in order.
inline std::vector<std::string>& Notes() {
  static std::vector<std::string> notes;
  return notes;
}
inline void Note(const char* text) { Notes().push_back(text ? text : "(nil)"); }
// A native that makes its script wait until the test releases the thread.
inline void Wait(KRX::t_Interface& in) { script::GetCallingThread(&in)->Pause(); }

// A character that stands at the next of its points on each update.
class cl_StepCharacter : public quillane::cl_Character {
 public:
  cl_StepCharacter(const char* characterName, float x, float z) {
    name = characterName;
    Place(x, z);
  }
  void Update(float) override {
    if (m_next < m_path.size()) {
      Place(m_path[m_next].x, m_path[m_next].z);
      ++m_next;
    }
  }
  void Then(float x, float z) { m_path.emplace_back(x, 0.0f, z); }
  void Place(float x, float z) { locator.SetPos(base::tVector3<float>(x, 0.0f, z)); }

 private:
  std::vector<base::tVector3<float>> m_path;
  size_t m_next = 0;
};

class StageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = testsupport::MakeScratchFolder("quillane_stage");
    m_previous = fs::current_path();
    fs::current_path(m_dir);
    m_system = std::make_unique<base::cl_System>();
    m_system->SetUserDataPath(m_dir.string().c_str());
    ResetTweakSettings();
    quillane::WorldServices() = quillane::st_WorldServices();
    KRX::ScriptSystem::Init();
    KRX::ScriptSystem::SetCallbacks([](const char* text) { ScriptLines().push_back(text); }, nullptr);
    ScriptLines().clear();
    Notes().clear();
    KRX::Module& root = KRX::ScriptSystem::GetModule();
    KRX::RegisterFunction(root, "Note", &Note);
    KRX::RegisterFunction(root, "Wait", &Wait);
    m_log = std::make_unique<testsupport::LogCapture>();
  }
  void TearDown() override {
    m_log.reset();
    m_registry.reset();
    KRX::ScriptSystem::Shutdown();
    m_system.reset();
    ResetTweakSettings();
    quillane::WorldServices() = quillane::st_WorldServices();
    if (!m_previous.empty()) fs::current_path(m_previous);
    std::error_code ec;
    if (!m_dir.empty()) fs::remove_all(m_dir, ec);
  }

  static std::vector<std::string>& ScriptLines() {
    static std::vector<std::string> lines;
    return lines;
  }
  void Write(const std::string& name, const std::string& text) {
    fs::create_directories(fs::path(name).parent_path().empty() ? "." : fs::path(name).parent_path());
    std::ofstream(name, std::ios::binary) << text;
  }
  static std::string Read(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // The demo actors' names, without their figures: enough for characters that are never drawn.
  void UseDemoActorNames() {
    Write("characters/actors.xml",
          "<Characters><Character label=\"female\"/><Character label=\"male\"/>"
          "<Character label=\"quillane\" parent=\"female\"/><Character label=\"odo\" parent=\"male\"/>"
          "<Character label=\"mina\" parent=\"female\"/><Character label=\"pell\" parent=\"male\"/></Characters>");
    m_registry = std::make_unique<quillane::cl_ActorRegistry>();
    ASSERT_TRUE(m_registry->LoadActorList("characters/actors.xml"));
  }
  // Copies the demo scene's project into the scratch folder; false when it is not there.
  static bool CopyDemoScene(const char* name) {
    const fs::path source = fs::path(QUILLANE_DATA_DIR) / "Scenes" / name / "ProjectFile.xml";
    if (!fs::exists(source)) return false;
    fs::create_directories(fs::path("Scenes") / name);
    fs::copy_file(source, fs::path("Scenes") / name / "ProjectFile.xml", fs::copy_options::overwrite_existing);
    return true;
  }
  std::string NotesText() const {
    std::string out;
    for (const std::string& n : Notes()) out += (out.empty() ? "" : ",") + n;
    return out;
  }

  fs::path m_dir, m_previous;
  std::unique_ptr<base::cl_System> m_system;
  std::unique_ptr<quillane::cl_ActorRegistry> m_registry;
  std::unique_ptr<testsupport::LogCapture> m_log;
};

}  // namespace stagetest
