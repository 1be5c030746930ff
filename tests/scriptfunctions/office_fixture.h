// A game session on the headless platform with the demo Office loaded and Quillane and Odo placed
// by its PrepareScene, the demo actors' figures copied in. Each test adds its own functions to
// the Office's scene script and runs them as the scene-script sequence, stepping frames so the
// queue, the characters and the waiting scripts move on.
#pragma once

#include <cmath>
#include <filesystem>
#include <numbers>
#include <string>

#include "../session/session_fixture.h"
#include "base/system.h"
#include "quillane/character/Character.h"
#include "quillane/frame/GameFrame.h"
#include "quillane/scene/Scene.h"
#include "quillane/session/Session.h"
#include "quillane/session/Stage.h"

namespace scriptfunctionstest {

namespace fs = std::filesystem;
using quillane::cl_Character;
using tPoint = base::tVector3<float>;

class OfficeTest : public sessiontest::SessionTest {
 protected:
  // Where PrepareScene puts them: on the Office floor, apart.
  static constexpr const char* kPrepare =
      "function PrepareScene()\n"
      "  AddCharacter(\"Quillane\", \"quillane\", \"Start\")\n"
      "  AddCharacter(\"Odo\", \"odo\", \"Window\")\n"
      "  SetPlayerCharacter(\"Quillane\")\n"
      "end\n";

  void SetUp() override {
    SessionTest::SetUp();
    if (IsSkipped()) return;
    const fs::path data = QUILLANE_DATA_DIR;
    if (!fs::exists(data / "characters" / "female") || !fs::exists(data / "Scenes" / "Office" / "navmesh.xml"))
      GTEST_SKIP() << "demo data not generated";
    fs::copy(data / "characters", m_dir / "characters", fs::copy_options::recursive);
    for (const auto& entry : fs::recursive_directory_iterator(m_dir / "characters")) {
      const std::string name = entry.path().filename().string();
      // Outputs of an earlier game run in data/ are not sources.
      if (name.ends_with("_protocol.txt")) fs::remove(entry.path());
    }
    fs::create_directories(m_dir / "Scenes");
    fs::copy(data / "Scenes" / "Office", m_dir / "Scenes" / "Office", fs::copy_options::recursive);
    fs::copy(data / "Shader", m_dir / "Shader", fs::copy_options::recursive);
  }

  // The demo's own script at Scripts/<relative>, in place of any the test wrote.
  void CopyDemoScript(const char* relative) {
    const fs::path to = m_dir / "Scripts" / relative;
    fs::create_directories(to.parent_path());
    fs::copy_file(fs::path(QUILLANE_DATA_DIR) / "Scripts" / relative, to, fs::copy_options::overwrite_existing);
  }

  // The Office with script (functions of the test) after PrepareScene; false when it did not load.
  void Load(const std::string& script, bool loadScene = true) {
    Write("Scripts/Scenes/Office.lua", std::string(kPrepare) + script);
    StartFrame();
    m_frame->NewSession();
    m_frame->RunSession();
    ASSERT_TRUE(StepUntilState("Session"));
    m_session = quillane::GetSession();
    ASSERT_NE(m_session, nullptr);
    if (!loadScene) return;
    m_session->LoadScene("Office");
    ASSERT_TRUE(StepUntilState("Session", 200));
    ASSERT_NE(Character("Quillane"), nullptr);
    ASSERT_NE(Character("Odo"), nullptr);
  }

  cl_Character* Character(const char* name) const {
    quillane::cl_Stage* stage = m_session ? m_session->GetStage() : nullptr;
    return stage ? stage->GetCharacter(name) : nullptr;
  }
  // Starts function of the Office script as the scene-script sequence.
  void Call(const char* function) { m_session->CallSceneScript("Office", function, base::Variant()); }
  // What the test functions said with Debugout("t: ..."), in order.
  std::vector<std::string> Said() const { return LinesAfter("t: "); }
  // Steps dt until the scripts said count lines; the seconds it took, or -1 after limit steps.
  float StepUntilSaid(size_t count, float dt = 0.05f, int limit = 400) {
    for (int i = 0; i <= limit; ++i) {
      if (Said().size() >= count) return float(i) * dt;
      Step(dt);
    }
    return -1.0f;
  }
  // Stands the character at (x, z) on the floor where it is, facing −z.
  // Where the Office's locator of that name stands (the origin when it has none).
  tPoint Place(const char* locator) const {
    const quillane::cl_SceneLocator* l =
        m_session && m_session->GetScene() ? m_session->GetScene()->FindLocator(locator) : nullptr;
    return l ? l->locator.GetPos() : tPoint();
  }
  void Stand(const char* name, float x, float z) {
    cl_Character* c = Character(name);
    ASSERT_NE(c, nullptr);
    c->locator.SetPos(tPoint(x, c->GetPosition().y, z));
    c->yaw = c->targetYaw = 0.0f;
  }
  bool Logged(const std::string& text) const { return Log().find(text) != std::string::npos; }
  size_t CountLogged(const std::string& text) const {
    const std::string all = Log();
    size_t n = 0;
    for (size_t at = all.find(text); at != std::string::npos; at = all.find(text, at + 1)) ++n;
    return n;
  }

  quillane::cl_Session* m_session = nullptr;
};

}  // namespace scriptfunctionstest
