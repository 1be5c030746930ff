// The video controller on generated clips in a game frame on the headless root module: lists
// played in file order, skipped by Escape and right clicks through the module tree, every other
// command swallowed, subtitles queued on a stand-in subtitle control, missing lists and clips
// passed over, and single movies with their completion events.
#include <fstream>
#include <string>
#include <vector>

#include "ScreenFixture.h"
#include "base/app/GameFrame.h"
#include "base/app/ICMD.h"
#include "base/app/KeyCode.h"
#include "base/system.h"
#include "quillane/core/Event.h"
#include "quillane/video/SubtitleLines.h"
#include "quillane/video/VideoController.h"
#include "support/CountingEvent.h"

namespace screentest {
namespace {

using testsupport::cl_CountingEvent;
using testsupport::st_EventCounts;

// Stands in for the subtitle control: keeps the queued lines, forgets them on RemoveLines.
class cl_SubtitleStandIn final : public i_SubtitleLines {
 public:
  struct st_Line {
    std::string text;
    float start, end, fade;
    uint32_t colour;
    int flags;
  };
  cl_SubtitleStandIn() { SetSubtitleLines(this); }
  ~cl_SubtitleStandIn() override { SetSubtitleLines(nullptr); }
  void AddLine(const char* text, float start, float end, float fade, uint32_t colour, int flags) override {
    lines.push_back({text, start, end, fade, colour, flags});
  }
  void RemoveLines(int kind) override {
    EXPECT_EQ(kind, REMOVE_ALL);
    lines.clear();
    ++removals;
  }
  std::vector<st_Line> lines;
  int removals = 0;
};

class cl_TestFrame final : public base::i_GameFrame {
 public:
  base::i_GameSession* CreateSession() override { return nullptr; }
};

class VideoController : public ScreenTest {
 protected:
  void SetUp() override {
    ScreenTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    m_frame = new cl_TestFrame;
    m_system->AddModule(m_frame);
    m_controller = new cl_VideoController;
    m_next = new base::cl_Module;
    m_frame->AddState("VideoController", m_controller);
    m_frame->AddState("LoadingScreen", m_next);
    m_frame->SetState("VideoController");
    std::filesystem::create_directories(m_dir / "movie");
    MakeClip("movie/a.bik", Clip(32, 18));
    MakeClip("movie/b.bik", Clip(16, 16));
  }

  static platform::video::st_ClipSettings Clip(int w, int h) {
    platform::video::st_ClipSettings s;
    s.width = w;
    s.height = h;
    s.frames = 5;
    s.soundCodec = "";
    return s;
  }
  void WriteList(const std::string& name, const std::string& entries) {
    std::ofstream(m_dir / name) << "<Intro>" << entries << "</Intro>";
  }
  // One frame of the loop: the player decodes, then the frame updates its state.
  void Tick(unsigned ms) {
    Step(ms);
    m_frame->Update(0.0f, static_cast<float>(ms) / 1000.0f);
  }
  // Ticks until the clip changes or nothing plays; at most 5 s.
  void TickUntilClipChanges() {
    const unsigned width = ClipWidth();
    for (int i = 0; i < 125 && ClipWidth() == width && m_controller->IsPlaying(); ++i) Tick(40);
  }
  unsigned ClipWidth() const { return Codec()->Handle() ? Codec()->Handle()->Width : 0u; }
  bool Send(uint8_t type, uint8_t key = 0) {
    base::ICMD cmd;
    cmd.type = type;
    cmd.key = key;
    return m_system->ProcessInput(cmd);
  }
  bool SendEscapeRelease() { return Send(1, 27); }
  bool SendRightRelease() { return Send(base::ICMD::RIGHT_UP); }

  cl_TestFrame* m_frame = nullptr;             // owned by the root module
  cl_VideoController* m_controller = nullptr;  // owned by the frame
  base::cl_Module* m_next = nullptr;
};

const char* kTwoClips = R"(<Entry Filename="movie/a.bik"/><Skipped Filename="movie/b.bik"/>
                           <Entry Filename="movie\b.bik"/>)";

TEST_F(VideoController, PlaysBothClipsInFileOrderThenSwitchesTheFrame) {
  WriteList("list.xml", kTwoClips);
  EXPECT_EQ(cl_VideoController::GetInstance(), m_controller);
  ASSERT_TRUE(m_controller->Play("list.xml", "LoadingScreen"));
  ASSERT_EQ(m_controller->GetEntryCount(), 2u);
  EXPECT_EQ(m_controller->GetEntry(0)->m_Filename, base::sys::GetApplicationPath() + "\\movie/a.bik");
  EXPECT_EQ(ClipWidth(), 0u);  // nothing starts before the first update
  Tick(0);
  EXPECT_EQ(ClipWidth(), 32u);
  TickUntilClipChanges();
  EXPECT_EQ(ClipWidth(), 16u);  // the "\" of the second name is resolved on disk
  EXPECT_EQ(m_frame->GetState(), m_controller);
  TickUntilClipChanges();
  EXPECT_FALSE(m_controller->IsPlaying());
  EXPECT_EQ(m_frame->GetState(), m_next);
}

TEST_F(VideoController, EscapeAndRightReleaseSkipAndTheCompletionRunsOnce) {
  WriteList("list.xml", kTwoClips);
  st_EventCounts counts;
  ASSERT_TRUE(m_controller->LoadVideoList("list.xml", new cl_CountingEvent(counts)));
  Tick(0);
  ASSERT_EQ(ClipWidth(), 32u);
  EXPECT_TRUE(SendEscapeRelease());
  EXPECT_EQ(ClipWidth(), 16u);  // the second starts at once
  EXPECT_EQ(counts.executed, 0);
  EXPECT_TRUE(SendRightRelease());
  EXPECT_FALSE(m_controller->IsPlaying());
  EXPECT_EQ(counts.executed, 1);
  EXPECT_EQ(counts.deleted, 1);
  EXPECT_EQ(m_frame->GetState(), m_controller);  // a list without a next state leaves the frame alone
  // Idle: commands pass on, nothing runs again.
  EXPECT_FALSE(SendEscapeRelease());
  Tick(40);
  EXPECT_EQ(counts.executed, 1);

  // Played with a next state, the last skip switches the frame.
  ASSERT_TRUE(m_controller->Play("list.xml", "LoadingScreen"));
  Tick(0);
  EXPECT_TRUE(SendRightRelease());
  EXPECT_TRUE(SendEscapeRelease());
  EXPECT_EQ(m_frame->GetState(), m_next);
}

TEST_F(VideoController, EveryOtherCommandIsSwallowedWhilePlaying) {
  WriteList("list.xml", kTwoClips);
  ASSERT_TRUE(m_controller->Play("list.xml", "LoadingScreen"));
  Tick(0);
  const struct {
    uint8_t type, key;
  } commands[] = {{base::ICMD::LEFT_DOWN, 0},
                  {base::ICMD::LEFT_UP, 0},
                  {base::ICMD::MOUSE_MOVE, 0},
                  {base::ICMD::RIGHT_DOWN, 0},
                  {base::ICMD::MIDDLE_UP, 0},
                  {base::ICMD::KEY_PRESSED, base::key::Escape},
                  {1, 'A'},
                  {1, 13}};
  for (const auto& c : commands) {
    EXPECT_TRUE(Send(c.type, c.key)) << int(c.type) << "/" << int(c.key);
    EXPECT_EQ(ClipWidth(), 32u) << int(c.type) << "/" << int(c.key);
  }
  EXPECT_EQ(m_controller->GetEntryCount(), 1u);
}

TEST_F(VideoController, SubtitlesOfAnEntryAreQueuedAndRemovedBeforeTheNext) {
  cl_SubtitleStandIn subtitles;
  WriteList("list.xml", R"(
    <Entry Filename="movie/a.bik">
      <Subtitle display_name="#intro0_1 The harbour" starttime="0.5" endtime="2" fadetime="0.25"/>
      <Subtitle display_name="no fade" starttime="0" endtime="1"/>
      <Subtitle display_name="wrapped colours" starttime="1" endtime="3" fadetime="0" r="300" g="-5" b="16"/>
      <Subtitles><Subtitle display_name="too deep" starttime="0" endtime="1" fadetime="0"/></Subtitles>
      <Note display_name="not a subtitle" starttime="0" endtime="1" fadetime="0"/>
    </Entry>
    <Entry Filename="movie/b.bik">
      <Subtitle display_name="Second" starttime="0" endtime="1" fadetime="0.5" g="128"/>
    </Entry>)");
  ASSERT_TRUE(m_controller->Play("list.xml", "LoadingScreen"));
  Tick(0);
  ASSERT_EQ(subtitles.lines.size(), 2u);
  EXPECT_EQ(subtitles.lines[0].text, "#intro0_1 The harbour");
  EXPECT_EQ(subtitles.lines[0].start, 0.5f);
  EXPECT_EQ(subtitles.lines[0].end, 2.0f);
  EXPECT_EQ(subtitles.lines[0].fade, 0.25f);
  EXPECT_EQ(subtitles.lines[0].colour, 0xFFFFFFFFu);  // r, g and b default to 255
  EXPECT_EQ(subtitles.lines[0].flags, 1);
  EXPECT_EQ(subtitles.lines[1].text, "wrapped colours");
  EXPECT_EQ(subtitles.lines[1].colour, 0xFF2CFB10u);  // 300 and −5 taken modulo 256

  EXPECT_TRUE(SendEscapeRelease());
  ASSERT_EQ(subtitles.lines.size(), 1u);
  EXPECT_EQ(subtitles.lines[0].text, "Second");
  EXPECT_EQ(subtitles.lines[0].colour, 0xFFFF80FFu);
  EXPECT_TRUE(SendEscapeRelease());
  EXPECT_TRUE(subtitles.lines.empty());
  EXPECT_EQ(m_frame->GetState(), m_next);
}

TEST_F(VideoController, MissingListOrClipMovesOnAtTheNextUpdate) {
  st_EventCounts counts;
  ASSERT_TRUE(m_controller->LoadVideoList("no_such_list.xml", new cl_CountingEvent(counts)));
  EXPECT_TRUE(m_controller->IsPlaying());
  EXPECT_TRUE(LogHas("ERROR: video list 'no_such_list.xml'"));
  EXPECT_EQ(counts.executed, 0);
  Tick(40);
  EXPECT_FALSE(m_controller->IsPlaying());
  EXPECT_EQ(counts.executed, 1);

  std::ofstream(m_dir / "broken.xml") << "<Intro><Entry Filename=";
  ASSERT_TRUE(m_controller->Play("broken.xml", "LoadingScreen"));
  Tick(40);
  EXPECT_EQ(m_frame->GetState(), m_next);

  m_frame->SetState("VideoController");
  WriteList("list.xml", R"(<Entry Filename="movie/missing.bik"/><Entry/><Entry Filename="movie/a.bik"/>)");
  ASSERT_TRUE(m_controller->Play("list.xml", "LoadingScreen"));
  Tick(0);
  EXPECT_EQ(ClipWidth(), 0u);
  Tick(40);  // the entry without a name names the folder itself: nothing to play either
  EXPECT_EQ(ClipWidth(), 0u);
  Tick(40);
  EXPECT_EQ(ClipWidth(), 32u);
  EXPECT_FALSE(m_controller->Play(nullptr, "LoadingScreen"));
  EXPECT_FALSE(m_controller->LoadVideoList(nullptr, nullptr));
}

TEST_F(VideoController, SingleMoviesRunTheirCompletionWhenTheyEnd) {
  st_EventCounts none;
  EXPECT_EQ(m_controller->PlayMovie(nullptr, new cl_CountingEvent(none)), -1.0f);
  EXPECT_FALSE(m_controller->IsPlaying());
  EXPECT_EQ(none.executed, 0);
  EXPECT_EQ(none.deleted, 1);

  st_EventCounts first, second;
  EXPECT_NEAR(m_controller->PlayMovie("movie/a.bik", new cl_CountingEvent(first)), 0.2f, 1e-4f);
  EXPECT_TRUE(m_controller->IsPlaying());
  // A second movie replaces the first; whoever waited on the first is released.
  EXPECT_NEAR(m_controller->PlayMovie("movie/b.bik", new cl_CountingEvent(second)), 0.2f, 1e-4f);
  EXPECT_EQ(first.executed, 1);
  EXPECT_EQ(ClipWidth(), 16u);
  TickUntilClipChanges();
  EXPECT_FALSE(m_controller->IsPlaying());
  EXPECT_EQ(second.executed, 1);
  EXPECT_EQ(second.deleted, 1);
  EXPECT_EQ(m_frame->GetState(), m_controller);
}

}  // namespace
}  // namespace screentest
