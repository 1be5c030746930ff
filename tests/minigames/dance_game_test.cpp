// The dance played end to end: compiled, started by the manager in a session on the demo Office
// and shown on the demo's Stage with the demo's figures, its song on a sound system whose mixer
// the test pulls by each frame's 0.1 s, so the song clock follows the frames. Won by moving the
// pointer onto each goal as its note arrives; lost without a touch; skipped. The dancer and her
// audience on the stage, the world's answers for the dance's own scene, and the stage's frame
// with the score bar against a stored picture.
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "../support/DemoResources.h"
#include "../support/GoldenImage.h"
#include "base/app/ICMD.h"
#include "base/data/StaticVariant.h"
#include "base/data/Variant.h"
#include "base/data/VariantTools.h"
#include "base/data/Xml.h"
#include "base/file/FileArchive.h"
#include "base/math/Random.h"
#include "base/system.h"
#include "graphics/font/Font.h"
#include "graphics/image/Image.h"
#include "graphics/mesh/Mesh.h"
#include "minigame_fixture.h"
#include "quillane/actor/ActorRegistry.h"
#include "quillane/minigames/MinigameManager.h"
#include "quillane/minigames/dance/DanceMinigame.h"
#include "quillane/scene/Scene.h"
#include "quillane/session/Session.h"
#include "quillane/session/Stage.h"
#include "quillane/world/WorldServices.h"
#include "sound/FModSoundSystem.h"
#include "sound/Sfx.h"

namespace dancetest {
namespace {

namespace fs = std::filesystem;
using quillane::cl_DanceMinigame;
using quillane::st_DanceNote;

constexpr float kDt = 0.1f;
constexpr const char* kMission = "Missions/Minigames/Dance/";

// Three notes, on tracks 0, 3 and 1, each at its goal before the song's end is judged (3 s into a
// dance of two 3-s clips); the best score is 30.
struct st_Move {
  int track;
  float time;
};
constexpr st_Move kQuickMoves[] = {{0, 0.25f}, {3, 0.65f}, {1, 1.05f}};
constexpr float kQuickSpeed = 2.0f;
constexpr int kQuickNeeded = 20;

std::vector<std::string> g_timers;  // characters whose timer script the world was asked for

class DanceGame : public minigametest::MinigameTest {
 protected:
  void SetUp() override {
    MinigameTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    m_savedWorld = quillane::WorldServices();
    m_worldSaved = true;
    const fs::path data = QUILLANE_DATA_DIR;
    if (!fs::exists(data / "gui/minigames/dance/partitur.tga") || !fs::exists(data / "msx/dance/demo.ogg") ||
        !fs::exists(data / "Scenes/Stage/background.tga"))
      GTEST_SKIP() << "no generated dance art, song or stage (run demogen)";
    for (const char* folder : {"Scenes/Stage", "characters", "Shader", "gui/minigames/dance/texturestrips"}) {
      fs::create_directories(m_dir / folder);
      fs::copy(data / folder, m_dir / folder, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    }
    fs::create_directories(m_dir / "msx/dance");
    fs::copy_file(data / "msx/dance/demo.ogg", m_dir / "msx/dance/demo.ogg");
    ASSERT_GT(testsupport::LoadDemoResources(data, m_dir, {"gui/minigames/dance/"}, {"dance_score", "tutorial"},
                                             "dance_resources.xml"),
              0);
    base::RegisterMeshResourceType();
    m_actors = std::make_unique<quillane::cl_ActorRegistry>();
    ASSERT_TRUE(m_actors->LoadActorList("characters/characters.xml"));

    m_sound = std::make_unique<sfx::cl_FModSoundSystem>();
    ASSERT_TRUE(m_sound->SetOutput(platform::audio::Output::Pull));
    ASSERT_TRUE(m_sound->StartUp());
    sfx::st_ChannelParams params;
    m_sound->AddChannel("PLAYER", &params);

    Write("gui/minigames/dance/quick.xml", QuickLevel());
    Write("gui/minigames/dance/calm.xml",
          "<Dance speed=\"1\" needed=\"0\" sample=\"demo.ogg\" length=\"16\" animation=\"quillane_dance_01\" "
          "variation=\"quillane_dance_01_var01\"/>");
    SetState("Missions/Wealth", 0);
    SetState("Missions/MaxWealth", 2000);
    SetState((std::string(kMission) + "TutorialTriggerStart").c_str(), 1);
    cl_DanceMinigame::ResetScore();
  }
  void TearDown() override {
    if (m_worldSaved) quillane::WorldServices() = m_savedWorld;
    MinigameTest::TearDown();
    m_sound.reset();
    m_actors.reset();
    cl_DanceMinigame::ResetScore();
  }

  static std::string QuickLevel() {
    std::string level =
        "<Dance speed=\"2\" needed=\"20\" sample=\"demo.ogg\" length=\"6\" "
        "animation=\"female_idle_02\" variation=\"female_idle_02\">";
    for (const st_Move& move : kQuickMoves)
      level += "<Note dir=\"" + std::to_string(move.track) + "\" time=\"" + std::to_string(move.time) + "\"/>";
    return level + "</Dance>";
  }

  // The game's sounds, packed into the "Sfx" archive as the program has them; the result sound
  // of the other outcome is left out, so "DanceEnd" plays only for the expected one.
  void PackSounds(const char* result) {
    const fs::path data = QUILLANE_DATA_DIR;
    fs::create_directories(m_dir / "sfx");
    for (const char* sound : {"MG_Dance_hit.ogg", result})
      fs::copy_file(data / "sfx" / sound, m_dir / "sfx" / sound, fs::copy_options::overwrite_existing);
    base::StaticVariant build;
    ASSERT_TRUE(base::xml::read_text(
        build, R"(<Archive label="Sfx" file="sfx.pak"><Dir path="sfx" extension="*.ogg"/></Archive>)"));
    base::cl_FileArchive builder;
    ASSERT_TRUE(builder.Build(build));
    Write("archives.xml", R"(<Resources><Archive label="Sfx" file="sfx.pak"/></Resources>)");
    ASSERT_TRUE(base::sys::AddResources((m_dir / "archives.xml").string().c_str()));
  }

  // The mission's inputs: the level, the Stage, and viewers from label/actor/scale triples.
  void SetMission(const char* level, const std::vector<std::vector<std::string>>& viewers) {
    SetState((std::string(kMission) + "dance").c_str(), level);
    SetState((std::string(kMission) + "scene").c_str(), "Stage");
    for (size_t n = 0; n < viewers.size(); ++n) {
      const std::string key = std::string(kMission) + "viewer_" + std::to_string(n) + "_";
      SetState((key + "label").c_str(), viewers[n][0].c_str());
      if (viewers[n].size() > 1) SetState((key + "actor").c_str(), viewers[n][1].c_str());
      if (viewers[n].size() > 2) SetState((key + "scale").c_str(), viewers[n][2].c_str());
    }
  }
  cl_DanceMinigame* StartDance() {
    m_games->CompileMissing();
    auto* event = new testsupport::cl_CountingEvent(m_counts[0]);
    if (!m_games->Start("Dance", event, false)) {
      delete event;
      return nullptr;
    }
    m_sound->Update(0.0f);  // the song's pause, as the frame that started the game ends
    return StepUntilRunning() ? dynamic_cast<cl_DanceMinigame*>(m_games->GetGame()) : nullptr;
  }

  // One frame as the fixed-step program runs it: the mixer pulled by the frame's time, the
  // frame, then the sound system's update.
  void Frame() {
    std::vector<int16_t> mix(static_cast<size_t>(44100 * kDt) * 2);
    m_sound->GetLibrary().Mix(mix.data(), static_cast<uint32_t>(mix.size() / 2));
    Step(kDt);
    m_sound->Update(kDt);
  }
  template <class F>
  bool FrameUntil(F done, int limit) {
    for (int i = 0; i < limit && !done(); ++i) Frame();
    return done();
  }
  // Clicks tutorials away while the game ends; true once the manager holds no game.
  bool FinishGame(int limit = 120) {
    for (int i = 0; i < limit && m_games->IsRunning(); ++i) {
      Mouse(base::ICMD::LEFT_UP, 10.0f, 10.0f);
      Frame();
    }
    return !m_games->IsRunning();
  }
  std::vector<std::string> Clips(cl_DanceMinigame& game) const {
    std::vector<std::string> clips;
    for (quillane::cl_Character* c : game.GetCharacters())
      clips.push_back(static_cast<cl_DanceMinigame::cl_DanceCharacter*>(c)->GetCurrent().c_str());
    return clips;
  }

  std::unique_ptr<quillane::cl_ActorRegistry> m_actors;
  std::unique_ptr<sfx::cl_FModSoundSystem> m_sound;
  quillane::st_WorldServices m_savedWorld;  // the session's answers; a test may replace them
  bool m_worldSaved = false;
};

const std::vector<std::vector<std::string>> kAudience = {{"Odo", "odo"}, {"Mina", "mina"}, {"Pell", "pell"}};

TEST_F(DanceGame, WonByTouchingEachNoteAsItArrivesPaysByTheMargin) {
  PackSounds("MG_Dance_won.ogg");
  SetMission("quick", kAudience);
  cl_DanceMinigame* game = StartDance();
  ASSERT_NE(game, nullptr) << Log();
  ASSERT_TRUE(FrameUntil([&] { return game->GetState() == cl_DanceMinigame::Dancing; }, 40));
  // A note is made in the first frame its time has passed and reaches its goal 3.62 / speed
  // seconds later: the pointer moves onto the goal before the frame that brings it there.
  std::vector<float> arrivals;
  for (const st_Move& move : kQuickMoves)
    arrivals.push_back(std::floor(move.time / kDt + 1.0f) * kDt + 3.62f / kQuickSpeed);
  int hits = 0;
  while (game->GetState() == cl_DanceMinigame::Dancing && !game->IsSongFinished()) {
    const float next = game->GetSongTime() + kDt;
    int goal = -1;
    for (size_t i = 0; i < arrivals.size(); ++i)
      if (next <= arrivals[i] + 0.001f && arrivals[i] < next + kDt - 0.001f) goal = kQuickMoves[i].track;
    float x = 0.0f, y = 0.0f;
    ASSERT_TRUE(game->GetPlayTarget(goal >= 0 ? ("goal " + std::to_string(goal)).c_str() : "away", x, y));
    Mouse(base::ICMD::MOUSE_MOVE, x, y);
    const int score = cl_DanceMinigame::s_Score;
    Frame();
    if (goal < 0) continue;
    ++hits;
    EXPECT_GE(cl_DanceMinigame::s_Score - score, 10) << "track " << goal;
    EXPECT_TRUE(sfx::IsSoundPlaying("DanceHit"));
  }
  EXPECT_EQ(hits, 3);
  ASSERT_TRUE(game->IsSongFinished());
  // Above "needed": the audience cheers, each by the clips of its figure.
  const std::vector<std::string> clips = Clips(*game);
  ASSERT_EQ(clips.size(), 4u);
  for (size_t i : {1u, 3u}) EXPECT_EQ(clips[i].rfind("male_applaud", 0), 0u) << clips[i];
  EXPECT_EQ(clips[2].rfind("female_applaude", 0), 0u) << clips[2];
  EXPECT_TRUE(sfx::IsSoundPlaying("DanceEnd"));

  const int score = cl_DanceMinigame::s_Score, third = (30 - kQuickNeeded) / 3, margin = score - kQuickNeeded;
  ASSERT_TRUE(FinishGame()) << Log();
  EXPECT_EQ(GameStateInt("Missions/Minigames/Dance/Win"), 1);
  EXPECT_EQ(GameStateInt("Missions/Wealth"), margin <= third ? 500 : margin <= 2 * third ? 1000 : 2000);
  EXPECT_EQ(m_counts[0].executed, 1);
}

TEST_F(DanceGame, WithoutTouchesItIsLostAndASkipWinsWithoutPay) {
  PackSounds("MG_Dance_lost.ogg");
  SetMission("quick", kAudience);
  cl_DanceMinigame* game = StartDance();
  ASSERT_NE(game, nullptr) << Log();
  ASSERT_TRUE(FrameUntil([&] { return game->IsSongFinished(); }, 100));
  EXPECT_TRUE(sfx::IsSoundPlaying("DanceEnd"));  // the lost sound: the only result sound packed
  const std::vector<std::string> clips = Clips(*game);
  for (size_t i : {1u, 3u}) EXPECT_TRUE(clips[i] == "male_booh" || clips[i] == "male_idle_02") << clips[i];
  EXPECT_TRUE(clips[2] == "female_booh" || clips[2] == "female_idle_02") << clips[2];
  ASSERT_TRUE(FinishGame()) << Log();
  EXPECT_EQ(GameStateInt("Missions/Minigames/Dance/Win"), 0);
  EXPECT_EQ(GameStateInt("Missions/Wealth"), 0);

  // A skip during the dance: the score becomes exactly "needed", the game is won a second later
  // and pays nothing.
  SetQuickSkip(true);
  SetMission("quick", kAudience);
  game = StartDance();
  ASSERT_NE(game, nullptr) << Log();
  ASSERT_TRUE(
      FrameUntil([&] { return game->GetState() == cl_DanceMinigame::Dancing && game->GetSongTime() > 0.5f; }, 60));
  float x = 0.0f, y = 0.0f;
  ASSERT_TRUE(game->GetSkipButtonCentre(x, y));
  Mouse(base::ICMD::LEFT_UP, x, y);
  Frame();
  EXPECT_EQ(game->GetState(), cl_DanceMinigame::Result);
  EXPECT_EQ(cl_DanceMinigame::s_Score, kQuickNeeded);
  EXPECT_EQ(GameStateInt("Missions/Minigames/Dance/Win"), 1);
  for (int i = 0; i < 8; ++i) Frame();
  EXPECT_FALSE(game->IsFinished());
  EXPECT_TRUE(FrameUntil([&] { return game->IsFinished(); }, 3));  // a second after the skip
  ASSERT_TRUE(FinishGame()) << Log();
  EXPECT_EQ(GameStateInt("Missions/Minigames/Dance/Win"), 1);
  EXPECT_EQ(GameStateInt("Missions/Wealth"), 0);
}

TEST_F(DanceGame, TheDancerFollowsTheSongAmongHerSeatedAudienceOnTheStagesOwnFloor) {
  PackSounds("MG_Dance_won.ogg");
  // The waiting game stands in the Office, and the session has a timer script for every
  // character it is asked about; the table answers the dialogue question without a swap.
  quillane::cl_Scene* office = m_session->GetStage()->GetScene();
  ASSERT_TRUE(office && !office->NavMeshes.empty());
  quillane::i_NavMesh* officeMesh = office->NavMeshes.front();
  quillane::st_WorldServices& world = quillane::WorldServices();
  g_timers.clear();
  world.CallCharacterTimer = [](const char* name, float& delay, std::function<bool(float&)>*) {
    g_timers.push_back(name);
    delay = 1.0f;
    return true;
  };
  static int s_dialogAsks = 0;
  s_dialogAsks = 0;
  world.IsDialogActive = [] { return ++s_dialogAsks, false; };
  const auto installed = world;
  SetMission("calm", {{"Odo", "odo"}, {"void"}, {"Mina", "mina", "1.5"}, {"Pell", "pell", "-1"}, {"Extra", "odo"}});
  cl_DanceMinigame* game = StartDance();
  ASSERT_NE(game, nullptr) << Log();

  // Seats: the void record is skipped, the one past the last seat dropped; -1 is the scene's scale.
  const std::vector<std::string> names = [&] {
    std::vector<std::string> n;
    for (quillane::cl_Character* c : game->GetCharacters()) n.push_back(c->name.c_str());
    return n;
  }();
  EXPECT_EQ(names, (std::vector<std::string>{"Quillane", "Odo", "Mina", "Pell"}));
  auto character = [&](size_t i) { return *std::next(game->GetCharacters().begin(), static_cast<long>(i)); };
  const float sceneScale = game->GetScene()->GetCharacterScale();
  EXPECT_EQ(character(1)->scale, sceneScale);
  EXPECT_EQ(character(2)->scale, 1.5f);
  EXPECT_EQ(character(3)->scale, sceneScale);
  const base::tVector3<float> seat = game->GetScene()->FindLocator("Sit2")->locator.GetPos();
  EXPECT_NEAR(character(3)->GetPosition().x, seat.x, 0.01f);
  // The inputs are used up; the empty seat's record stays.
  EXPECT_EQ(base::get_string(base::variant_get_attribute_by_path(*m_session->GetGameState(),
                                                                 "Missions/Minigames/Dance/dance", false)),
            nullptr);
  const base::Variant* voidSeat =
      base::variant_get_attribute_by_path(*m_session->GetGameState(), "Missions/Minigames/Dance/viewer_1_label", false);
  ASSERT_NE(voidSeat, nullptr);
  EXPECT_STREQ(voidSeat->get_string(), "void");

  // Applause: the men clap as men, the woman as a woman.
  Frame();
  EXPECT_EQ(Clips(*game), (std::vector<std::string>{"idle", "male_applaud", "female_applaude", "male_applaud"}));

  ASSERT_TRUE(FrameUntil([&] { return game->GetState() == cl_DanceMinigame::Dancing; }, 40));
  cl_DanceMinigame::cl_DanceCharacter* dancer = game->GetDancer();
  for (int i = 0; i < 12; ++i) Frame();
  // Her clock is the song's; a paused song holds her.
  EXPECT_NEAR(dancer->GetTime(), sfx::GetSoundPosition("dance_sound"), 0.001f);
  EXPECT_NEAR(dancer->GetTime(), 1.2f, 0.05f);
  sfx::PauseSound("dance_sound", true, 0.0f);
  m_sound->Update(0.0f);
  const float held = dancer->GetTime();
  for (int i = 0; i < 3; ++i) Frame();
  EXPECT_EQ(dancer->GetTime(), held);
  EXPECT_EQ(game->GetSongTime(), held);
  sfx::PauseSound("dance_sound", false, 0.0f);

  // A stumble: her stumble clip runs while she is unsteady and starts again only once her
  // weight is back at exactly 1.
  game->RequestStumble();
  float weight = game->GetWeight();
  bool unsteady = false, steadyAgain = false;
  for (int i = 0; i < 130 && !steadyAgain; ++i) {
    Frame();
    EXPECT_EQ(dancer->GetStumbleTime() == 0.0f, weight == 1.0f) << "frame " << i << ", weight " << weight;
    unsteady = unsteady || weight < 1.0f;
    steadyAgain = unsteady && weight == 1.0f;
    weight = game->GetWeight();
  }
  EXPECT_TRUE(steadyAgain);

  // The dance's own floor carries her, and no timer script ran for the dance's people: the
  // dance's stage answers for them, while the process-wide table stayed the session's all along
  // (its audience asked it about the dialogue frame by frame).
  EXPECT_EQ(dancer->navMesh, game->GetScene()->NavMeshes.front());
  EXPECT_NE(dancer->navMesh, officeMesh);
  EXPECT_EQ(dancer->GetStageWorld()->FindNavMeshAt(dancer->GetPosition()), game->GetScene()->NavMeshes.front());
  EXPECT_TRUE(g_timers.empty()) << g_timers.front();
  EXPECT_GT(s_dialogAsks, 0);
  EXPECT_EQ(world.CallCharacterTimer, installed.CallCharacterTimer);
  EXPECT_EQ(world.IsDialogActive, installed.IsDialogActive);
}

TEST_F(DanceGame, TheStageFrameShowsTheScoreBarFilledByTheScore) {
  PackSounds("MG_Dance_won.ogg");
  SetMission("quick", kAudience);
  base::RandSeed(7);  // the audience's delays
  cl_DanceMinigame* game = StartDance();
  ASSERT_NE(game, nullptr) << Log();
  ASSERT_TRUE(
      FrameUntil([&] { return game->GetState() == cl_DanceMinigame::Dancing && game->GetSongTime() > 1.0f; }, 60));
  cl_DanceMinigame::s_Score = 12;
  Frame();
  const gfx::cl_Image* bar = gfx::ImageExists("dance_bar");
  ASSERT_NE(bar, nullptr);
  // The bar at (50, 50) of the 640-high layout, centred: 64 pixels down at 768; the fill's band
  // runs along the bar's row 8.
  const int x = 50, y = 50 + (kHeight - 640) / 2 + 8;
  const int fill = (bar->GetWidth() - 1) * 12 / 30;
  int lit = 0;
  // Orange over the dark well; the needed mark is white.
  for (int i = x + 1; i < x + bar->GetWidth() - 1; ++i)
    lit += (Pixel(i, y) >> 16 & 0xFF) > 0x70 && (Pixel(i, y) & 0xFF) < 0x60;
  EXPECT_EQ(lit, fill);
  EXPECT_TRUE(testsupport::MatchesGoldenPng(QUILLANE_TEST_DIR "/golden/dance_stage.png",
                                            minigametest::Shrink(m_pixels, kWidth, kHeight), kWidth / 4, kHeight / 4));
}

}  // namespace
}  // namespace dancetest
