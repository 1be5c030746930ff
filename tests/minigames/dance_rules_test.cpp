// The dance's own rules on a started frame without a session or a song (the song clock then runs
// on the frame time): move lists and how their moves become notes, the random level, a note's
// flight through its goal, what touches and misses score, the result by the score and the
// dancer's steadiness. The dancer is the demo's figure without its mesh, so her clips are real
// and quick to import; the game is stepped by calling its Update.
#include <cmath>
#include <filesystem>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "../session/session_fixture.h"
#include "base/data/Variant.h"
#include "base/math/Random.h"
#include "graphics/mesh/Mesh.h"
#include "quillane/minigames/dance/DanceMinigame.h"
#include "quillane/settings/TweakSettings.h"

namespace dancetest {
namespace {

namespace fs = std::filesystem;
using quillane::cl_DanceMinigame;
using quillane::st_DanceNote;

constexpr float kFrameDt = 0.1f;

class DanceRules : public sessiontest::SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    if (IsSkipped()) return;
    const fs::path female = fs::path(QUILLANE_DATA_DIR) / "characters/female";
    if (!fs::exists(female / "female_skeleton.xml")) GTEST_SKIP() << "no generated figures (run demogen)";
    fs::create_directories(m_dir / "characters/female");
    for (const char* file : {"female_skeleton.xml", "female_face.xml", "female_subsets.xml"})
      fs::copy_file(female / file, m_dir / "characters/female" / file);
    Write("characters/characters.xml",
          "<Characters><Character label=\"female\"><Skeleton file=\"characters/female/female_skeleton.xml\">"
          "<Subsets file=\"characters/female/female_subsets.xml\"/></Skeleton></Character>"
          "<Character label=\"Quillane_DancingDress\" parent=\"female\"/></Characters>");
    base::RegisterMeshResourceType();  // the skeleton's loader, as the program registers it
    StartFrame();
    cl_DanceMinigame::ResetScore();
    m_demoMode = Debug_DanceDemoMode;
  }
  void TearDown() override {
    if (m_game) m_game->End();
    m_game.reset();
    Debug_DanceDemoMode = m_demoMode;
    cl_DanceMinigame::ResetScore();
    SessionTest::TearDown();
  }

  // A game started on the level text (none: the random level) and dancing at once.
  cl_DanceMinigame& Dance(const std::string& level) {
    base::Variant mission;
    mission.set_element("Dance");
    if (!level.empty()) {
      Write("gui/minigames/dance/rules.xml", level);
      mission.attribute("dance")->set_string("rules");
    }
    m_game = std::make_unique<cl_DanceMinigame>();
    m_game->m_Scale = 1.0f;
    EXPECT_TRUE(m_game->Init(&mission, false));
    m_game->StartDance();
    return *m_game;
  }
  // Frames until the predicate holds; false after limit.
  template <class F>
  bool UpdateUntil(F done, int limit) {
    for (int i = 0; i < limit; ++i) {
      if (done()) return true;
      m_game->Update(kFrameDt);
    }
    return done();
  }
  std::vector<int> Tracks() const {
    std::vector<int> tracks;
    for (const st_DanceNote& note : m_game->GetNotes()) tracks.push_back(note.m_Track);
    return tracks;
  }

  std::unique_ptr<cl_DanceMinigame> m_game;
  bool m_demoMode = false;
};

TEST_F(DanceRules, DueMovesBecomeNotesInTheFrameTheirTimePassesInFileOrder) {
  cl_DanceMinigame& game = Dance(
      "<Dance speed=\"2\" needed=\"7\" sample=\"none.ogg\" length=\"12\" animation=\"walk\" variation=\"idle\">"
      "<Note dir=\"3\" time=\"1.05\"/><Note dir=\"1\" time=\"0.35\"/><Note dir=\"0\" time=\"0.35\"/>"
      "<Note dir=\"2\"/><Note dir=\"4\" time=\"0.2\"/><Note dir=\"-1\"/><Note dir=\"1\" time=\"nan\"/></Dance>");
  // The three moves the tracks cannot take are dropped at once, each with its line, and count
  // as made.
  EXPECT_EQ(game.GetTotalMoves(), 7);
  EXPECT_EQ(game.GetMovesLeft(), 4);
  EXPECT_NE(Log().find("Warning: dance gui/minigames/dance/rules.xml: move 4 has no track 0..3 (dir 4)"),
            std::string::npos)
      << Log();
  EXPECT_NE(Log().find("move 6 has a time that is not a number"), std::string::npos);
  EXPECT_EQ(game.GetSpeed(), 2.0f);
  EXPECT_EQ(cl_DanceMinigame::s_Needed, 7);
  EXPECT_EQ(game.GetAnimation(), "walk");
  EXPECT_EQ(game.GetSample(), "none.ogg");

  // The move without a time is made in the first dancing frame.
  game.Update(kFrameDt);
  EXPECT_EQ(Tracks(), std::vector<int>({2}));
  for (int i = 0; i < 3; ++i) game.Update(kFrameDt);
  // Song time 0.4: the two moves of 0.35, in the file's order, whatever their track.
  EXPECT_EQ(Tracks(), std::vector<int>({2, 1, 0}));
  EXPECT_EQ(game.GetMovesLeft(), 1);
  for (int i = 0; i < 6; ++i) game.Update(kFrameDt);
  EXPECT_EQ(game.GetMovesLeft(), 1);
  game.Update(kFrameDt);
  EXPECT_EQ(Tracks(), std::vector<int>({2, 1, 0, 3}));
  EXPECT_EQ(game.GetMovesLeft(), 0);
  for (int i = 0; i < game.GetMoveList().size(); ++i) EXPECT_TRUE(game.GetMoveList()[i].is_void()) << i;
}

TEST_F(DanceRules, ASpeedThatIsNotPositiveIsOne) {
  const char* const speeds[] = {"", " speed=\"0\"", " speed=\"-2\"", " speed=\"nan\"", " speed=\"fast\""};
  for (const char* speed : speeds) {
    cl_DanceMinigame& game = Dance(std::string("<Dance") + speed + "><Note dir=\"0\" time=\"0\"/></Dance>");
    EXPECT_EQ(game.GetSpeed(), 1.0f) << speed;
    m_game->End();
  }
  EXPECT_EQ(LinesAfter("Warning: dance gui/minigames/dance/rules.xml: \"speed\" is missing").size(), std::size(speeds));
}

// "needed" outside 0..the list's best score cannot be played for, and near the integer limits
// it would overflow the score bar's and the audience's arithmetic.
TEST_F(DanceRules, ANeededScoreOutsideTheListsRangeIsClampedWithAWarning) {
  const struct {
    const char* needed;
    int used;
  } cases[] = {{"2147483647", 20}, {"-2147483648", 0}, {"15", 15}};
  for (const auto& c : cases) {
    cl_DanceMinigame& game = Dance(std::string("<Dance speed=\"1\" needed=\"") + c.needed +
                                   "\"><Note dir=\"0\" time=\"0\"/><Note dir=\"1\" time=\"1\"/></Dance>");
    EXPECT_EQ(cl_DanceMinigame::s_Needed, c.used) << c.needed;
    cl_DanceMinigame::s_Score = 20;
    game.DecideResult();
    EXPECT_EQ(game.GetState(), cl_DanceMinigame::Won) << c.needed;
    game.FinishDance();  // the audience's margin and thirds of the room above "needed"
    m_game->End();
  }
  EXPECT_EQ(LinesAfter("Warning: dance gui/minigames/dance/rules.xml: \"needed\" 2147483647 is outside 0..20; 20 is used")
                .size(),
            1u);
  EXPECT_EQ(LinesAfter("Warning: dance gui/minigames/dance/rules.xml: \"needed\" -2147483648 is outside 0..20; 0 is used")
                .size(),
            1u);
  EXPECT_EQ(LinesAfter("Warning: dance gui/minigames/dance/rules.xml: \"needed\" 15").size(), 0u);
}

// The stage is built from a scene the game has, by a plain name; anything else falls back to the
// default stage with a line that names the scene and what is wrong.
TEST_F(DanceRules, AStageSceneTheGameDoesNotHaveFallsBackToTheDefaultStage) {
  const fs::path theater = fs::path(QUILLANE_DATA_DIR) / "Scenes/ParisTheater";
  if (fs::exists(theater)) {
    fs::create_directories(m_dir / "Scenes/ParisTheater");
    fs::copy(theater, m_dir / "Scenes/ParisTheater", fs::copy_options::recursive);
  }
  fs::create_directories(m_dir / "Scenes/Office/ProjectFile.xml");
  const struct {
    const char* scene;
    const char* problem;
  } cases[] = {
      {"Nowhere", "does not exist: 'Scenes/Nowhere/ProjectFile.xml' is missing"},
      {"Office", "does not exist: 'Scenes/Office/ProjectFile.xml' is a folder, not a file"},
      {"../../elsewhere", "is refused (no folders, no \"..\")"},
      {"Scenes\\Office", "is refused (no folders, no \"..\")"},
  };
  for (const auto& c : cases) {
    base::Variant mission;
    mission.set_element("Dance");
    mission.attribute("scene")->set_string(c.scene);
    m_game = std::make_unique<cl_DanceMinigame>();
    EXPECT_TRUE(m_game->Init(&mission, false)) << c.scene;
    EXPECT_EQ(LinesAfter(std::string("ERROR: dance: scene '") + c.scene + "' " + c.problem +
                         "; the default stage 'ParisTheater' is used")
                  .size(),
              1u)
        << c.scene;
    m_game->End();
  }
  if (fs::exists(theater)) {
    EXPECT_EQ(LinesAfter("ERROR: dance: the default stage").size(), 0u);
  }
}

TEST_F(DanceRules, ANoteCrossesItsGoal362PixelsFromItsStart) {
  for (const float speed : {1.0f, 2.5f}) {
    cl_DanceMinigame& game = Dance("<Dance speed=\"" + std::to_string(speed) + "\"><Note dir=\"1\"/></Dance>");
    game.Update(kFrameDt);
    ASSERT_EQ(game.GetNotes().size(), 1u);
    const st_DanceNote& note = game.GetNotes().front();
    const base::tRectf goal = game.TrackGoal(1);
    const float gx = (goal.min.x + goal.max.x) / 2.0f, gy = (goal.min.y + goal.max.y) / 2.0f;
    // Track 1 runs along the lower line from the left edge towards the middle.
    EXPECT_EQ(note.m_Position.x, static_cast<float>(static_cast<int>(1024 * 0.5f - 562.0f)));
    EXPECT_EQ(note.m_Position.y, gy);
    EXPECT_EQ(gx - note.m_Position.x, 362.0f);
    const float seconds = 3.62f / speed;
    const int frames = static_cast<int>(seconds / kFrameDt);
    for (int i = 0; i < frames; ++i) game.Update(kFrameDt);
    EXPECT_NEAR(gx - note.m_Position.x, 362.0f - frames * kFrameDt * speed * 100.0f, 0.01f) << speed;
    EXPECT_EQ(note.m_State, st_DanceNote::InGoal);
    game.Update(kFrameDt);
    EXPECT_LT(gx, note.m_Position.x) << speed;  // past the centre a frame later
    m_game->End();
  }
}

TEST_F(DanceRules, TheRandomLevelSpawnsTwentySingleNotesOneOrTwoSecondsApart) {
  base::RandSeed(11);
  cl_DanceMinigame& game = Dance("");
  EXPECT_EQ(game.GetTotalMoves(), cl_DanceMinigame::kRandomMoves);
  EXPECT_EQ(cl_DanceMinigame::s_Needed, cl_DanceMinigame::kRandomNeeded);
  // The spawning alone, frame by frame: a song shorter than the level would end the dance first.
  std::vector<float> made;
  for (int frame = 1; frame <= 600; ++frame) {
    const size_t before = game.GetNotes().size();
    game.SpawnNotes(kFrameDt);
    const size_t spawned = game.GetNotes().size() - before;
    ASSERT_LE(spawned, 1u) << "a pair or chord at frame " << frame;
    if (spawned) made.push_back(static_cast<float>(frame) * kFrameDt);
  }
  ASSERT_EQ(made.size(), 20u);
  EXPECT_EQ(game.GetMovesLeft(), 0);
  EXPECT_NEAR(made[0], 1.05f, 0.051f);  // the first after one second
  for (size_t i = 1; i < made.size(); ++i) {
    const float gap = made[i] - made[i - 1];
    EXPECT_TRUE(std::fabs(gap - 1.0f) < 0.11f || std::fabs(gap - 2.0f) < 0.11f) << i << ": " << gap;
  }
}

TEST_F(DanceRules, TouchesScoreByAccuracyAndTheScoreNeverDropsBelowZero) {
  cl_DanceMinigame& game = Dance("<Dance speed=\"1\" needed=\"10\"><Note dir=\"0\" time=\"100\"/></Dance>");
  game.Update(kFrameDt);  // the stumble's clock starts
  struct {
    float accuracy;
    int score;  // after the touch, from 20
    int popup;  // the text the touch shows
    bool stumble;
  } const cases[] = {
      {1.0f, 31, 11, false}, {0.8f, 27, 7, false}, {0.53f, 21, 1, false},
      {0.5f, 20, 0, true},   {0.2f, 14, -6, true}, {0.0f, 10, -10, true},
  };
  for (const auto& c : cases) {
    cl_DanceMinigame::s_Score = 20;
    cl_DanceMinigame::s_ScorePopups.clear();
    game.AddNote(0);
    st_DanceNote& note = const_cast<st_DanceNote&>(game.GetNotes().back());
    note.m_Accuracy = c.accuracy;
    note.m_State = st_DanceNote::InGoal;
    note.Hit(note.m_Position.x, note.m_Position.y);
    EXPECT_EQ(cl_DanceMinigame::s_Score, c.score) << c.accuracy;
    ASSERT_EQ(cl_DanceMinigame::s_ScorePopups.size(), 1u);
    EXPECT_EQ(cl_DanceMinigame::s_ScorePopups.front().m_Points, c.popup) << c.accuracy;
    EXPECT_EQ(note.m_State, st_DanceNote::Touched);
    // A touch right on the note flies it straight up when it was good, down when it was not.
    EXPECT_EQ(note.m_Push.y, c.accuracy >= 0.5f ? -1000.0f : 1000.0f);
    game.UpdateWeight();
    EXPECT_EQ(game.GetTargetWeight(), c.stumble ? 0.0f : 1.0f) << c.accuracy;
    game.Update(3.1f);  // the stumble is over
  }
  // Below an integer step nothing is added, but the text still shows; no score below 0.
  cl_DanceMinigame::s_Score = 3;
  game.AddScore(0.4f, 0.0f, 0.0f);
  EXPECT_EQ(cl_DanceMinigame::s_Score, 3);
  EXPECT_EQ(cl_DanceMinigame::s_ScorePopups.back().m_Points, 0);
  game.AddScore(-10.0f, 0.0f, 0.0f);
  EXPECT_EQ(cl_DanceMinigame::s_Score, 0);
  EXPECT_GT(cl_DanceMinigame::s_ScorePopups.back().m_Velocity.y, 0.0f);  // a loss sinks
}

TEST_F(DanceRules, AMissedNoteCostsTenAndTripsHerAfterItsLinger) {
  cl_DanceMinigame& game = Dance("<Dance speed=\"2\" needed=\"10\"><Note dir=\"2\"/></Dance>");
  cl_DanceMinigame::s_Score = 15;
  ASSERT_TRUE(UpdateUntil(
      [&] { return !game.GetNotes().empty() && game.GetNotes().front().m_State == st_DanceNote::Missed; }, 60));
  // 0.8 s of note clock at speed 2: four frames later (one more where the float steps fall short).
  for (int i = 0; i < 3; ++i) game.Update(kFrameDt);
  EXPECT_EQ(cl_DanceMinigame::s_Score, 15);
  EXPECT_TRUE(UpdateUntil([] { return cl_DanceMinigame::s_Score == 5; }, 2));
  EXPECT_EQ(game.GetNotesDone(), 1);
  EXPECT_TRUE(game.GetNotes().empty());
  game.UpdateWeight();
  EXPECT_EQ(game.GetTargetWeight(), 0.0f);
}

TEST_F(DanceRules, TheResultIsWonAtTheNeededScoreAndTheWeightSnapsToItsTarget) {
  cl_DanceMinigame& game = Dance(
      "<Dance speed=\"1\" needed=\"0\" animation=\"quillane_dance_01\" variation=\"quillane_dance_01_var01\">"
      "<Note dir=\"2\" time=\"50\"/></Dance>");
  EXPECT_EQ(game.GetDanceLength(), 16.0f);
  // Without touches a dance that needs nothing is won.
  game.DecideResult();
  EXPECT_EQ(game.GetState(), cl_DanceMinigame::Won);
  game.StartDance();
  cl_DanceMinigame::s_Needed = 12;
  cl_DanceMinigame::s_Score = 12;
  game.DecideResult();
  EXPECT_EQ(game.GetState(), cl_DanceMinigame::Won);
  cl_DanceMinigame::s_Score = 11;
  game.DecideResult();
  EXPECT_EQ(game.GetState(), cl_DanceMinigame::Lost);

  // A stumble: the target drops to 0 for three seconds; the weight then reaches exactly 1, which
  // float steps of a tenth alone never would.
  game.StartDance();
  game.RequestStumble();
  game.UpdateWeight();
  game.Update(kFrameDt);
  EXPECT_EQ(game.GetTargetWeight(), 0.0f);
  EXPECT_LT(game.GetWeight(), 1.0f);
  ASSERT_TRUE(UpdateUntil([&] { return game.GetTargetWeight() == 1.0f; }, 40));
  EXPECT_GT(game.GetTime(), 3.0f);
  ASSERT_TRUE(UpdateUntil([&] { return game.GetWeight() == 1.0f; }, 200));
}

TEST_F(DanceRules, DemoModeDancesSteadyAndScoresTheMaximumAtTheSongsEnd) {
  Debug_DanceDemoMode = true;
  cl_DanceMinigame& game = Dance("<Dance speed=\"1\" needed=\"25\"><Note dir=\"2\"/><Note dir=\"1\"/></Dance>");
  game.RequestStumble();
  EXPECT_EQ(game.UpdateWeight(), 1.0f);
  game.FinishDance();
  EXPECT_EQ(cl_DanceMinigame::s_Score, 20);
  EXPECT_TRUE(game.IsSongFinished());
}

}  // namespace
}  // namespace dancetest
