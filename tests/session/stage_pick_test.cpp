// What lies under a screen point on the demo Office scene: characters by their screen rectangles
// (left and top edges inside, right and bottom outside), the scene's hotspots below them, and
// nothing off the picture's 640 rows. Also what removing a character leaves behind.
#include "base/data/Xml.h"
#include "quillane/core/Event.h"
#include "quillane/scene/Scene.h"
#include "quillane/session/Stage.h"
#include "stage_fixture.h"

namespace {

using quillane::cl_Stage;
using stagetest::cl_StepCharacter;

class StagePick : public stagetest::StageTest {
 protected:
  void SetUp() override {
    StageTest::SetUp();
    if (!CopyDemoScene("Office")) GTEST_SKIP() << "demo scene Office missing";
    m_stage.LoadScene("Office");
    ASSERT_NE(m_stage.GetScene(), nullptr);
    // The frame's drawing sets the camera's screen rectangle; this one is the reference
    // screen's, with the camera 6 m in front of the characters looking at them.
    base::cl_Camera& camera = m_stage.GetScene()->GetCamera();
    camera.SetViewportRect(0.0f, 0.0f, 1024.0f, 640.0f);
    camera.SetOrientation(base::Quaternion());
    camera.SetPos(base::tVector3<float>(0.0f, 150.0f, 600.0f));
    // A hotspot over the whole picture and beyond its bottom, below every other one.
    base::Variant floor;
    base::xml::read_text(floor,
        "<HotSpot label=\"floor\"><Point x=\"-10\" y=\"-10\"/><Point x=\"1100\" y=\"-10\"/>"
        "<Point x=\"1100\" y=\"700\"/><Point x=\"-10\" y=\"700\"/></HotSpot>");
    m_stage.GetScene()->AddElement("HotSpots", floor, true);
  }
  std::string Pick(float x, float y) {
    base::String name;
    return m_stage.PickAt(x, y, name) ? name.c_str() : "(none)";
  }
  cl_Stage m_stage;
};

TEST_F(StagePick, SceneRowsEndAt640) {
  EXPECT_EQ(Pick(5.0f, 640.0f), "floor");
  EXPECT_EQ(Pick(5.0f, 640.5f), "(none)");
  EXPECT_EQ(Pick(5.0f, -0.5f), "(none)");
  EXPECT_EQ(Pick(5.0f, 0.0f), "floor");
}

TEST_F(StagePick, CharacterRectangleHoldsItsLeftAndTopEdgesOnly) {
  auto* odo = new cl_StepCharacter("Odo", -100.0f, 0.0f);
  m_stage.AdoptCharacter(odo);
  const base::tRectf r = m_stage.GetCharacterScreenRect(odo);
  ASSERT_LT(r.min.x, r.max.x);
  ASSERT_LT(r.min.y, r.max.y);
  ASSERT_LT(r.max.y, 640.0f);
  const float midX = (r.min.x + r.max.x) * 0.5f, midY = (r.min.y + r.max.y) * 0.5f;
  EXPECT_EQ(Pick(r.min.x, midY), "Odo");
  EXPECT_EQ(Pick(midX, r.min.y), "Odo");
  EXPECT_EQ(Pick(r.max.x, midY), "floor");
  EXPECT_EQ(Pick(midX, r.max.y), "floor");

  // Neither the player, nor an ignored or invisible character is picked.
  m_stage.SetPlayerCharacter(odo);
  EXPECT_EQ(Pick(midX, midY), "floor");
  m_stage.SetPlayerCharacter(nullptr);
  odo->SetIgnored(true);
  EXPECT_EQ(Pick(midX, midY), "floor");
  odo->SetIgnored(false);
  odo->visible = 0;
  EXPECT_EQ(Pick(midX, midY), "floor");
}

TEST_F(StagePick, BoundaryPropertiesShapeTheRectangle) {
  auto* odo = new cl_StepCharacter("Odo", -100.0f, 0.0f);
  m_stage.AdoptCharacter(odo);
  const base::tRectf plain = m_stage.GetCharacterScreenRect(odo);
  odo->properties.set_element("Properties");
  // A left extent of 0 keeps the defaults of the others.
  odo->properties.attribute("boundary_left")->set_float(0.0f);
  odo->properties.attribute("boundary_right")->set_float(5.0f);
  odo->properties.attribute("boundary_top")->set_float(20.0f);
  const base::tRectf same = m_stage.GetCharacterScreenRect(odo);
  EXPECT_FLOAT_EQ(same.max.x, plain.max.x);
  EXPECT_FLOAT_EQ(same.min.y, plain.min.y);
  EXPECT_GT(same.min.x, plain.min.x);  // the left side itself is 0 wide
  // With a positive left the others are read: a shorter, narrower box.
  odo->properties.attribute("boundary_left")->set_float(10.0f);
  const base::tRectf small = m_stage.GetCharacterScreenRect(odo);
  EXPECT_LT(small.max.x, plain.max.x);
  EXPECT_GT(small.min.y, plain.min.y);
  EXPECT_EQ(m_stage.GetCharacterScreenRect(nullptr).max.x, 0.0f);
}

// Counts how often a walk's completion ran.
class cl_Counted : public i_Event {
 public:
  explicit cl_Counted(int& runs) : m_runs(runs) {}
  void Execute() override { ++m_runs; }

 private:
  int& m_runs;
};

quillane::st_GameAction* g_finished = nullptr;

TEST_F(StagePick, RemovedCharacterLeavesNoWaitingScriptOrPointerBehind) {
  auto* odo = new cl_StepCharacter("Odo", -100.0f, 0.0f);
  auto* mina = new cl_StepCharacter("Mina", 50.0f, 0.0f);
  m_stage.AdoptCharacter(odo);
  m_stage.AdoptCharacter(mina);
  m_stage.SetPlayerCharacter(odo);
  int walkDone = 0;
  odo->onDone = new cl_Counted(walkDone);
  auto* action = reinterpret_cast<quillane::st_GameAction*>(&walkDone);  // compared only
  odo->pendingAction = action;
  g_finished = nullptr;
  quillane::WorldServices().FinishAction = [](quillane::st_GameAction* a) { g_finished = a; };

  m_stage.RemoveCharacter("Nobody");
  EXPECT_EQ(m_stage.GetCharacters().size(), 2u);
  m_stage.RemoveCharacter("Odo");
  EXPECT_EQ(m_stage.GetCharacter("Odo"), nullptr);
  EXPECT_EQ(m_stage.GetPlayerCharacter(), nullptr);
  EXPECT_EQ(walkDone, 1);
  EXPECT_EQ(g_finished, action);
  EXPECT_EQ(m_stage.GetCharacter("Mina"), mina);

  std::vector<base::tVector3<float>> obstacles;
  m_stage.CollectObstacles(obstacles, "Mina");
  EXPECT_TRUE(obstacles.empty());
  m_stage.CollectObstacles(obstacles, "Odo");
  ASSERT_EQ(obstacles.size(), 1u);
  EXPECT_EQ(obstacles[0], base::tVector3<float>(50.0f, 0.0f, 100.0f));
}

// The view follows the player across a scene wider than the screen, easing at both ends, and
// keeps still without a player or while zoomed.
TEST_F(StagePick, ScrollFollowsThePlayerAcrossAWideScene) {
  quillane::cl_Scene* scene = m_stage.GetScene();
  scene->GetSettings().attribute("w")->set_float(1536.0f);
  scene->GetSettings().attribute("h")->set_float(640.0f);
  scene->ReadFromVariant(true);
  base::cl_Camera& camera = scene->GetCamera();
  camera.SetViewportRect(0.0f, 0.0f, 1024.0f, 640.0f);
  camera.SetOrientation(base::Quaternion());
  camera.SetPos(base::tVector3<float>(0.0f, 150.0f, 600.0f));
  auto* quillane = new cl_StepCharacter("Quillane", 0.0f, 0.0f);
  m_stage.AdoptCharacter(quillane);
  m_stage.UpdateScroll();
  EXPECT_EQ(scene->GetScroll()[0], 0.0f);  // no player yet
  m_stage.SetPlayerCharacter(quillane);
  // Places the player at world x; the screen column she then shows at (with the scroll at 0).
  auto columnOf = [&](float x) {
    scene->SetScroll(0.0f, 0.0f);
    quillane->Place(x, 0.0f);
    return scene->WorldToScreen(quillane->GetPosition()).x;
  };
  struct st_Case {
    float x;
    float scroll;
  };
  float right = 0.0f;
  while (columnOf(right) < 1100.0f) right += 10.0f;
  float middle = 0.0f;
  while (columnOf(middle) < 768.0f) middle += 0.5f;
  for (const st_Case& c : {st_Case{-2000.0f, 0.0f}, st_Case{right, 512.0f}}) {
    columnOf(c.x);
    m_stage.UpdateScroll();
    EXPECT_EQ(scene->GetScroll()[0], c.scroll) << c.x;
    EXPECT_EQ(scene->GetScroll()[1], 0.0f);
  }
  columnOf(middle);
  m_stage.UpdateScroll();
  EXPECT_NEAR(scene->GetScroll()[0], 256.0f, 2.0f);
  // Zoomed in, the view goes where the zoom put it.
  EXPECT_TRUE(scene->ZoomToRect(600.0f, 100.0f, 1112.0f, 420.0f));
  m_stage.UpdateScroll();
  EXPECT_EQ(scene->GetScroll()[0], scene->GetScrollTarget()[0]);
}

}  // namespace
