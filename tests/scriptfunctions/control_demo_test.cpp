// The demo Office on a new game: the objects its triggers use, the door shut until the pass, the
// tooltips and cursors the new game's state brings, and where Odo's caption stands.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "../support/DemoResources.h"
#include "base/app/ICMD.h"
#include "graphics/draw/Draw.h"
#include "office_fixture.h"
#include "quillane/minigames/MinigameManager.h"
#include "quillane/scene/Layer.h"
#include "quillane/session/GameActionQueue.h"
#include "quillane/session/GameStateLookups.h"
#include "quillane/session/ScriptCalls.h"

namespace scriptfunctionstest {
namespace {

class DemoTriggers : public OfficeTest {
 protected:
  void SetUp() override {
    OfficeTest::SetUp();
    if (IsSkipped()) return;
    // The shared script the session loads at its start: the triggers walk up through it. The
    // tables it reads then: who is cast (and captioned) and the hotspots' captions.
    CopyDemoScript("MainInclude.lua");
    CopyDemoScript("castlist.xml");
    CopyDemoScript("hotspots.xml");
    ASSERT_NO_FATAL_FAILURE(Load("", false));
    CopyDemoScript("Scenes/Office.lua");
    CopyDemoScript("initialgamestate.xml");
    Write("Scripts/Dialogs/Odo.lua", "function Startup()\n  Debugout(\"t: odo startup\")\nend\n");
    Write("Scripts/campaign.lua", "function Startup()\nend\n");
    ASSERT_TRUE(m_session->NewGame());
    m_session->LoadScene("Office");
    ASSERT_TRUE(StepUntilState("Session", 200));
  }

  static base::tString<base::BaseUnicodeString> Localized(const char* key) {
    base::tString<base::BaseUnicodeString> text;
    base::sys::Localize(key, text);
    return text;
  }

  // Runs the object's trigger and lets the scene script finish (Quillane walks up to the thing
  // first), or stop at a mini-game it starts.
  void Trigger(const char* name) {
    ASSERT_TRUE(quillane::RunTrigger(name)) << name;
    for (int i = 0; i < 200 && !m_session->GetActionQueue().IsIdle() && !m_session->GetMinigameManager()->IsRunning();
         ++i)
      Step(0.1f);
  }
};

TEST_F(DemoTriggers, TheDoorAnswersThatItStaysShutUntilThePass) {
  for (const char* name : {"shelf", "drawer", "telegram", "junction", "door"})
    EXPECT_TRUE(quillane::IsHotspotActive(name)) << name;
  // Without it Quillane walks up and says why.
  ASSERT_TRUE(quillane::RunTrigger("door"));
  bool spoken = false;
  for (int i = 0; i < 200 && !spoken; ++i) {
    Step(0.1f);
    const quillane::st_GameAction* action = m_session->GetActionQueue().GetFirstForegroundAction();
    spoken = action && action->m_kind == "speak" && action->m_object == "Quillane";
  }
  EXPECT_TRUE(spoken);
  for (int i = 0; i < 200 && !m_session->GetActionQueue().IsIdle(); ++i) Step(0.1f);
  EXPECT_EQ(m_session->GetScene()->GetName(), "Office");
}

TEST_F(DemoTriggers, ObjectsAndOdoRunTheirTriggers) {
  Trigger("drawer");
  EXPECT_FALSE(quillane::IsHotspotActive("drawer")) << "emptied";
  Trigger("telegram");
  EXPECT_FALSE(quillane::IsHotspotActive("telegram"));
  Trigger("junction");
  EXPECT_TRUE(m_session->GetActionQueue().IsIdle()) << "the tap was answered";
  Trigger("shelf");
  quillane::cl_MinigameManager* games = m_session->GetMinigameManager();
  ASSERT_TRUE(games->IsRunning()) << "the shelf's game is played";
  games->End();  // given up: Quillane says so, and the script goes on without the ledger
  bool remarked = false;
  for (int i = 0; i < 200 && !m_session->GetActionQueue().IsIdle(); ++i) {
    const quillane::st_GameAction* action = m_session->GetActionQueue().GetFirstForegroundAction();
    remarked = remarked || (action && action->m_kind == "speak" && std::strncmp(action->m_text.c_str(), "#offic0_20", 10) == 0);
    Step(0.1f);
  }
  EXPECT_TRUE(m_session->GetActionQueue().IsIdle());
  EXPECT_TRUE(remarked) << "a game given up gets a line";

  Trigger("Odo");
  EXPECT_TRUE(m_session->GetDialogCtrl().m_bActive);
  EXPECT_EQ(m_session->GetDialogCtrl().GetPartner(), "Odo");
  EXPECT_EQ(Said(), std::vector<std::string>{"odo startup"});
  EXPECT_FALSE(Logged("ERROR: script function")) << "every function the triggers use exists";
}

TEST_F(DemoTriggers, TheNewGameNamesTooltipsAndCursorPictures) {
  base::tString<base::BaseUnicodeString> text;
  bool elaborate = false;
  ASSERT_TRUE(quillane::GetTooltipText("shelf", text, 0.5f, elaborate));
  EXPECT_FALSE(elaborate);
  EXPECT_EQ(text, Localized("#demo0_300 Shelf"));
  ASSERT_TRUE(quillane::GetTooltipText("shelf", text, 2.5f, elaborate));
  EXPECT_TRUE(elaborate);
  EXPECT_EQ(text, Localized("#demo0_310 The shelf with the harbour ledgers"));
  for (const char* label : {"pick_up", "talk_to", "gamecursor", "cursor_disable"}) {
    base::String file;
    ASSERT_TRUE(quillane::GetCursorImage(label, file)) << label;
    EXPECT_TRUE(fs::exists(fs::path(QUILLANE_DATA_DIR) / file.c_str())) << file.c_str();
  }
}

// Odo's caption, framed once the pointer has rested on him, stands over his head, clear of his
// face and Quillane's beside him, and of the junction's caption when every caption shows (Space).
// The game picture of the in-game menu and the savegames shows the room without it.
TEST_F(DemoTriggers, OdosCaptionStandsOverTheFacesAndTheGamePictureLeavesItOut) {
  ASSERT_GT(testsupport::LoadDemoResources(QUILLANE_DATA_DIR, m_dir, {"gui/skin/dialog_"}, {"tooltip", "system"},
                                           "caption_resources.xml"),
            0);
  quillane::cl_Stage* stage = m_session->GetStage();
  ASSERT_NE(stage, nullptr);
  const base::tRectf odo = stage->GetCharacterScreenRect(Character("Odo"));
  const base::tRectf quillane = stage->GetCharacterScreenRect(Character("Quillane"));
  auto move = [this](float x, float y) {
    base::ICMD cmd;
    cmd.type = base::ICMD::MOUSE_MOVE;
    cmd.mouseX = static_cast<uint16_t>(x), cmd.mouseY = static_cast<uint16_t>(y);
    Input(cmd);
  };
  // The texts of one frame.
  auto drawn = [this] {
    std::vector<gfx::st_DrawnText> texts;
    gfx::TraceDrawnText(&texts);
    Step(0.1f);
    gfx::TraceDrawnText(nullptr);
    return texts;
  };
  // Where the text was drawn, grown by frame (a rested caption's frame round its text); empty
  // when it was not.
  auto find = [](const std::vector<gfx::st_DrawnText>& texts, const std::string& text, float frame) {
    for (const gfx::st_DrawnText& t : texts)
      if (t.text.find(text) != std::string::npos)
        return base::tRectf(t.left - frame, t.top - frame, t.right + frame, t.bottom + frame);
    return base::tRectf(0.0f, 0.0f, -1.0f, -1.0f);
  };
  auto meets = [](const base::tRectf& a, const base::tRectf& b) {
    return a.min.x < b.max.x && b.min.x < a.max.x && a.min.y < b.max.y && b.min.y < a.max.y;
  };
  auto head = [](const base::tRectf& figure) {
    return base::tRectf(figure.min.x, figure.min.y, figure.max.x, figure.min.y + 0.2f * (figure.max.y - figure.min.y));
  };
  const std::string caption = "Odo, the harbour master";
  constexpr float kFrame = 25.0f;

  // Once the opening scene has let the player go: the game picture with no caption anywhere.
  for (int i = 0; i < 1000 && !(m_session->GetActionQueue().IsIdle() && m_session->IsInteractionAllowed()); ++i)
    Step(0.1f);
  move(600.0f, 600.0f);
  Step(0.1f);
  m_session->CaptureScreenshot();
  Step(0.1f);
  const base::cl_Bitmap32 room = m_session->GetGamePicture();
  ASSERT_EQ(room.Width(), 512);
  move((odo.min.x + odo.max.x) * 0.5f, (odo.min.y + odo.max.y) * 0.5f);
  for (int i = 0; i < 30; ++i) Step(0.1f);
  const base::tRectf framed = find(drawn(), caption, kFrame);
  ASSERT_LT(framed.min.x, framed.max.x) << "no caption over Odo";
  EXPECT_FALSE(meets(framed, head(odo))) << "over Odo's face";
  EXPECT_FALSE(meets(framed, head(quillane))) << "over Quillane's face";

  // The picture the in-game menu and the load/save button take with the caption on the screen:
  // where the caption stands, the room as it was without it.
  m_session->CaptureScreenshot();
  Step(0.1f);
  const base::cl_Bitmap32& picture = m_session->GetGamePicture();
  ASSERT_EQ(picture.Width(), 512);
  const base::tRectf view = m_session->GetViewportRect();
  double difference = 0.0;
  int count = 0;
  for (int py = 0; py < 320; ++py)
    for (int px = 0; px < 512; ++px) {
      const float x = view.min.x + (px + 0.5f) * (view.max.x - view.min.x) / 512.0f;
      const float y = view.min.y + (py + 0.5f) * (view.max.y - view.min.y) / 320.0f;
      if (x < framed.min.x || x >= framed.max.x || y < framed.min.y || y >= framed.max.y) continue;
      const base::Color32 p = picture.GetPixels()[py * 512 + px], r = room.GetPixels()[py * 512 + px];
      difference += std::abs(p.r - r.r) + std::abs(p.g - r.g) + std::abs(p.b - r.b);
      ++count;
    }
  ASSERT_GT(count, 0);
  EXPECT_LT(difference / (3.0 * count), 4.0) << "the game picture shows the caption";

  // Every caption at once: Odo's beside the junction's, not over it.
  move(600.0f, 600.0f);
  quillane::SceneDisplay().showHotspots = true;
  const std::vector<gfx::st_DrawnText> all = drawn();
  quillane::SceneDisplay().showHotspots = false;
  const base::tRectf odoFramed = find(all, caption, kFrame), junction = find(all, "Telephone junction", 0.0f);
  ASSERT_LT(odoFramed.min.x, odoFramed.max.x);
  ASSERT_LT(junction.min.x, junction.max.x);
  EXPECT_FALSE(meets(odoFramed, junction)) << "Odo's caption runs into the junction's";
}

// A savegame restored on the Quay runs the scene's preparation, not its entering: the harbour lamp,
// dark until its wiring is mended, must come back dark, not as the scene's project draws it.
TEST_F(DemoTriggers, ARestoredQuayKeepsTheLampDarkUntilItIsMended) {
  fs::copy(fs::path(QUILLANE_DATA_DIR) / "Scenes" / "Quay", m_dir / "Scenes" / "Quay", fs::copy_options::recursive);
  CopyDemoScript("Scenes/Quay.lua");
  Write("Scripts/Dialogs/Pell.lua", "function Startup()\nend\n");
  m_session->LoadScene("Quay");
  ASSERT_TRUE(StepUntilState("Session", 200));
  auto lamp = [this]() -> const quillane::cl_Layer* {
    quillane::cl_Scene* scene = m_session->GetScene();
    return scene ? scene->FindLayer("lamp_glow") : nullptr;
  };
  ASSERT_NE(lamp(), nullptr);

  fs::create_directories(m_dir / "Savegames");
  const std::string slot = (m_dir / "Savegames" / "slot001.sav").string();
  ASSERT_TRUE(m_session->SaveGame(slot.c_str(), u"", nullptr));
  ASSERT_TRUE(m_session->LoadGame(slot.c_str()));
  ASSERT_TRUE(StepUntilState("Session", 200));
  Step(0.1f);
  ASSERT_NE(lamp(), nullptr);
  EXPECT_EQ(lamp()->m_alpha, 0.0f);
}

}  // namespace
}  // namespace scriptfunctionstest
