// Trigger zones of the demo Office scene with the scene script compiled and run: crossings of
// overlapping zones, the check handlers, when a crossing interrupts the running sequence, and
// handlers that remove characters or change the scene while the stage is still walking its
// characters.
#include "KRX/runtime/RefObj.h"
#include "base/data/Xml.h"
#include "quillane/scene/Scene.h"
#include "quillane/script/GameThread.h"
#include "quillane/session/Session.h"
#include "quillane/session/Stage.h"
#include "stage_fixture.h"

namespace {

using quillane::cl_Stage;
using stagetest::cl_StepCharacter;

void Note2(const char* what, const char* who) {
  stagetest::Note((std::string(what ? what : "(nil)") + ":" + (who ? who : "(nil)")).c_str());
}
void TestRemove(const char* who) {
  if (quillane::GetSession() && quillane::GetSession()->GetStage())
    quillane::GetSession()->GetStage()->RemoveCharacter(who);
}
void TestTransit(const char* scene) {
  if (quillane::GetSession()) quillane::GetSession()->LoadScene(scene ? scene : "");
}

// The Office script: Window's handlers note their calls; Corner's leave check refuses.
const char* const kOfficeScript =
    "function CheckOnEnter_Window(who)\n  Note2(\"check enter Window\", who)\n  return 1\nend\n"
    "function OnEnter_Window(who)\n  Note2(\"enter Window\", who)\nend\n"
    "function OnLeave_Window(who)\n  Note2(\"leave Window\", who)\nend\n"
    "function CheckOnLeave_Corner(who)\n  Note2(\"check leave Corner\", who)\n  return 0\nend\n"
    "function OnLeave_Corner(who)\n  Note2(\"leave Corner\", who)\nend\n"
    "function Busy()\n  Wait()\n  Note(\"busy done\")\nend\n";

class StageZones : public stagetest::StageTest {
 protected:
  // What entering Corner does.
  virtual std::string CornerEntry() const {
    return "function OnEnter_Corner(who)\n  Note2(\"enter Corner\", who)\nend\n";
  }
  void SetUp() override {
    StageTest::SetUp();
    if (!CopyDemoScene("Office")) GTEST_SKIP() << "demo scene Office missing";
    KRX::Module& root = KRX::ScriptSystem::GetModule();
    KRX::RegisterFunction(root, "Note2", &Note2);
    KRX::RegisterFunction(root, "TestRemove", &TestRemove);
    KRX::RegisterFunction(root, "TestTransit", &TestTransit);
    Write("Scenes/Office.lua", std::string(kOfficeScript) + CornerEntry());
    m_session = base::smart_ptr<quillane::cl_Session>(new quillane::cl_Session());
    m_session->LoadScene("Office");
    m_stage = m_session->GetStage();
    if (!m_stage) GTEST_SKIP() << "the session does not make stages yet";
    // No frame runs the loading tasks here: load the scene as the scene-load task would.
    m_stage->LoadScene("Office");
    // "Corner" overlaps Window's (-400 .. -250, -250 .. -100) in (-300 .. -250, -200 .. -100).
    base::Variant corner;
    base::xml::read_text(corner,
                         "<Locator label=\"Corner\" x=\"-225\" y=\"0\" z=\"-125\"><Point x=\"-300\" y=\"0\" z=\"-200\"/>"
                         "<Point x=\"-150\" y=\"0\" z=\"-200\"/><Point x=\"-150\" y=\"0\" z=\"-50\"/>"
                         "<Point x=\"-300\" y=\"0\" z=\"-50\"/></Locator>");
    m_stage->GetScene()->AddElement("Locators", corner, true);
    Notes().clear();
  }
  void TearDown() override {
    m_session = base::smart_ptr<quillane::cl_Session>();
    StageTest::TearDown();
  }
  cl_StepCharacter* Add(const char* name, float x, float z) {
    auto* character = new cl_StepCharacter(name, x, z);
    m_stage->AdoptCharacter(character);
    return character;
  }
  static std::vector<std::string>& Notes() { return stagetest::Notes(); }
  // A scene script that waits, as the running sequence; held so its end can be seen.
  KRX::tRefPtr<GameThread> StartBusySequence() {
    m_session->CallSceneScript("Office", "Busy", base::Variant());
    GameThread* busy = static_cast<GameThread*>(m_session->GetActionQueue().m_sceneScript);
    EXPECT_NE(busy, nullptr);
    return KRX::tRefPtr<GameThread>(busy);
  }
  static bool Waiting(const KRX::tRefPtr<GameThread>& thread) {
    const int state = thread->GetState();
    return state == KRX::Thread::STATE_WAITING || state == KRX::Thread::STATE_PAUSED;
  }

  base::smart_ptr<quillane::cl_Session> m_session;
  cl_Stage* m_stage = nullptr;
};

TEST_F(StageZones, OverlappingZonesReportOnlyTheirOwnCrossings) {
  cl_StepCharacter* odo = Add("Odo", 0.0f, 300.0f);
  odo->Then(-350.0f, -225.0f);  // into Window
  odo->Then(-275.0f, -150.0f);  // into Corner, still in Window
  odo->Then(-200.0f, -75.0f);   // out of Window, still in Corner
  odo->Then(0.0f, 300.0f);      // out of Corner: its check refuses
  for (int i = 0; i < 5; ++i) m_stage->Update(0.1f);
  EXPECT_EQ(NotesText(),
            "check enter Window:Odo,enter Window:Odo,enter Corner:Odo,leave Window:Odo,check leave Corner:Odo");
}

TEST_F(StageZones, PlayerEnteringOrAnyoneLeavingInterruptsTheSequence) {
  cl_StepCharacter* mina = Add("Mina", 0.0f, 300.0f);
  cl_StepCharacter* odo = Add("Odo", 0.0f, 300.0f);
  m_stage->SetPlayerCharacter(odo);

  KRX::tRefPtr<GameThread> busy = StartBusySequence();
  mina->Then(-350.0f, -225.0f);  // a non-player enters: the sequence goes on
  m_stage->Update(0.1f);
  EXPECT_TRUE(Waiting(busy));
  EXPECT_EQ(NotesText(), "check enter Window:Mina,enter Window:Mina");

  busy = StartBusySequence();
  mina->Then(0.0f, 300.0f);  // a non-player leaves: interrupted
  m_stage->Update(0.1f);
  EXPECT_FALSE(Waiting(busy));

  busy = StartBusySequence();
  odo->Then(-350.0f, -225.0f);  // the player enters: interrupted
  m_stage->Update(0.1f);
  EXPECT_FALSE(Waiting(busy));
  EXPECT_EQ(Notes().back(), "enter Window:Odo");
}

class StageZonesRemoving : public StageZones {
  std::string CornerEntry() const override {
    return "function OnEnter_Corner(who)\n  Note2(\"enter Corner\", who)\n  TestRemove(who)\n"
           "  TestRemove(\"Mina\")\nend\n";
  }
};

TEST_F(StageZonesRemoving, HandlerRemovingCharactersSkipsTheirPendingCrossings) {
  cl_StepCharacter* odo = Add("Odo", 0.0f, 300.0f);
  cl_StepCharacter* mina = Add("Mina", 0.0f, 300.0f);
  m_stage->SetPlayerCharacter(odo);
  odo->Then(-200.0f, -75.0f);   // Corner only
  mina->Then(-200.0f, -75.0f);  // the same frame
  m_stage->Update(0.1f);
  EXPECT_EQ(NotesText(), "enter Corner:Odo");
  EXPECT_TRUE(m_stage->GetCharacters().empty());
  EXPECT_EQ(m_stage->GetPlayerCharacter(), nullptr);
  m_stage->Update(0.1f);
}

class StageZonesLeaving : public StageZones {
  std::string CornerEntry() const override {
    return "function CheckOnEnter_Corner(who)\n  Note2(\"check enter Corner\", who)\n  return 1\nend\n"
           "function OnEnter_Corner(who)\n  Note2(\"enter Corner\", who)\n  TestTransit(\"Quay\")\nend\n";
  }
};

TEST_F(StageZonesLeaving, HandlerChangingTheSceneEndsTheWalkOfTheOldStage) {
  Add("Odo", 0.0f, 300.0f)->Then(-200.0f, -75.0f);
  Add("Mina", 0.0f, 300.0f)->Then(-200.0f, -75.0f);
  cl_Stage* old = m_stage;
  old->Update(0.1f);  // may free old: nothing of it is touched afterwards
  EXPECT_EQ(NotesText(), "check enter Corner:Odo,enter Corner:Odo");
  EXPECT_NE(m_session->GetStage(), nullptr);
  EXPECT_TRUE(m_session->GetStage()->GetCharacters().empty());
}

}  // namespace
