// The lip-sync track: frames built from phoneme lines, line endings, refused lines, the talking
// face's fade and the mouth shape against poses computed here from the demo figure's clips.
#include <filesystem>

#include "character_test_support.h"
#include "graphics/mesh/Animation.h"
#include "graphics/mesh/Skeleton.h"
#include "quillane/actor/ActorDesc.h"
#include "quillane/character/LipsyncCtrl.h"

namespace {

using charactertest::PoseDistance;
using charactertest::Text;
using quillane::cl_LipsyncCtrl;

struct st_Frame {
  int frame;
  int viseme;
  float weight;
};

void ExpectFrames(const cl_LipsyncCtrl& lip, std::initializer_list<st_Frame> frames) {
  for (const st_Frame& f : frames) {
    ASSERT_LT(f.frame, static_cast<int>(lip.GetTrack().size()));
    const auto& got = lip.GetTrack()[static_cast<size_t>(f.frame)];
    EXPECT_EQ(got.viseme, f.viseme) << "frame " << f.frame;
    EXPECT_FLOAT_EQ(got.weight, f.weight) << "frame " << f.frame;
  }
}

TEST(LipsyncTrack, OneLineGivesTwentyOneFrames) {
  testsupport::LogCapture log;
  cl_LipsyncCtrl lip(nullptr);
  lip.Start(Text("phn 0 100 100 AA\n"));
  EXPECT_TRUE(lip.IsActive());
  EXPECT_FLOAT_EQ(lip.duration, 0.1f);
  ASSERT_EQ(lip.GetTrack().size(), 21u);
  ExpectFrames(lip, {{0, 7, 1.0f}, {1, 7, 1.0f}, {2, 6, 0.0f}, {20, 6, 0.0f}});
  EXPECT_FLOAT_EQ(lip.GetTrack()[20].end, 21.0f / 20.0f);
}

TEST(LipsyncTrack, GapsRestAndTheLaterOverlappingLineWins) {
  testsupport::LogCapture log;
  cl_LipsyncCtrl lip(nullptr);
  // A leading gap, back-to-back lines, an overlap at 0.88 s, and lines that are not phonemes.
  lip.Start(Text("phn 500 620 100 AA\nphn 0 100 100\nPHN 620 700 100 AA\nphn 620 700 80 m\n"
                 "comment line\nphn 700 900 100 IY\nphn 880 1000 60 f\n"));
  ExpectFrames(lip, {{0, 0, 1.0f},    // the rest record from 0.0 to 0.5
                     {9, 0, 1.0f},
                     {10, 7, 1.0f},   // AA
                     {12, 6, 0.8f},   // AA and m share it; m comes later
                     {13, 6, 0.8f},
                     {14, 3, 1.0f},   // IY follows m without a rest between
                     {17, 4, 0.6f},   // IY and f overlap; f comes later
                     {19, 4, 0.6f},
                     {20, 6, 0.0f}});
  EXPECT_FLOAT_EQ(lip.duration, 1.0f);
  EXPECT_EQ(lip.GetTrack().size(), 39u);  // (1.0 + 0.99) * 20

  // A gap between two lines shows the rest shape at full weight.
  lip.Start(Text("phn 0 100 100 AA\nphn 150 200 100 AA\n"));
  ExpectFrames(lip, {{1, 7, 1.0f}, {2, 0, 1.0f}, {3, 7, 1.0f}});
}

TEST(LipsyncTrack, LineEndingsDoNotChangeTheTrack) {
  testsupport::LogCapture log;
  const std::string lines[] = {"phn 0 120 100 AA", "phn 120 300 50 m", "phn 300 420 100 w"};
  auto join = [&](const char* sep, bool trailing) {
    std::string s = lines[0] + sep + lines[1] + sep + lines[2];
    return trailing ? s + sep : s;
  };
  cl_LipsyncCtrl lf(nullptr), crlf(nullptr), bare(nullptr);
  lf.Start(Text(join("\n", true)));
  crlf.Start(Text(join("\r\n", true)));
  bare.Start(Text(join("\n", false)));
  ASSERT_EQ(lf.GetTrack().size(), crlf.GetTrack().size());
  ASSERT_EQ(lf.GetTrack().size(), bare.GetTrack().size());
  for (size_t k = 0; k < lf.GetTrack().size(); ++k) {
    EXPECT_EQ(lf.GetTrack()[k].viseme, crlf.GetTrack()[k].viseme);
    EXPECT_EQ(lf.GetTrack()[k].viseme, bare.GetTrack()[k].viseme) << "frame " << k;
    EXPECT_EQ(lf.GetTrack()[k].weight, bare.GetTrack()[k].weight);
  }
  EXPECT_EQ(bare.GetTrack()[7].viseme, 8);  // the last line, "w", is read without a line break

  // The same from a file.
  testsupport::TempDir dir;
  dir.write("line.lipsync", join("\r\n", false));
  cl_LipsyncCtrl file(nullptr);
  file.StartFromFile(dir.path("line.lipsync").c_str());
  EXPECT_TRUE(file.IsActive());
  ASSERT_EQ(file.GetTrack().size(), lf.GetTrack().size());
  EXPECT_EQ(file.GetTrack()[7].viseme, 8);
}

TEST(LipsyncTrack, BadTimesAndUnknownCodesAreHandledSafely) {
  testsupport::LogCapture log;
  cl_LipsyncCtrl lip(nullptr);
  // An unknown code first shows the rest shape; later ones keep the previous line's viseme.
  lip.Start(Text("phn 0 100 100 QQ\nphn 100 200 100 f\nphn 200 300 100 QQ\n"));
  ExpectFrames(lip, {{0, 0, 1.0f}, {2, 4, 1.0f}, {4, 4, 1.0f}});

  log.clear();
  lip.Start(Text("phn 0 2000000000 100 AA\nphn 300 200 100 AA\nphn -100 50 100 AA\nphn 0 100 1e30 AA\n"));
  EXPECT_EQ(log.count("Warning: lipsync"), 1);
  EXPECT_TRUE(log.contains("3 line(s)"));
  ASSERT_EQ(lip.GetTrack().size(), 21u);
  EXPECT_LE(lip.GetTrack()[0].weight, 10.0f);

  // The longest track a file can ask for.
  lip.Start(Text("phn 0 600000 100 AA\n"));
  EXPECT_EQ(lip.GetTrack().size(), 12019u);

  // No phoneme line at all: 19 frames of rest, still active.
  lip.Start(Text("hello\n"));
  EXPECT_TRUE(lip.IsActive());
  EXPECT_EQ(lip.GetTrack().size(), 19u);

  log.clear();
  lip.StartFromFile("no/such.lipsync");
  EXPECT_FALSE(lip.IsActive());
  EXPECT_TRUE(log.contains("ERROR: could not open lipsync file no/such.lipsync."));
}

TEST(LipsyncTrack, TalkFaceFadesInAndOut) {
  cl_LipsyncCtrl lip(nullptr);
  lip.Start(Text("phn 0 1000 100 AA\n"));
  const struct {
    float time, weight;
  } cases[] = {{0.0f, 0.0f}, {0.1f, 0.5f}, {0.5f, 1.0f}, {0.95f, 0.25f}, {1.2f, 0.0f}};
  for (const auto& c : cases) {
    lip.time = c.time;
    EXPECT_NEAR(lip.GetTalkWeight(), c.weight, 1e-5f) << "at " << c.time;
  }
}

TEST(LipsyncTrack, EveryDemoLineParses) {
  // The speech samples and their lip-sync data lie per language and speaker.
  const std::filesystem::path speech = std::filesystem::path(QUILLANE_DATA_DIR) / "loca" / "English" / "speech";
  int files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(speech)) {
    if (entry.path().extension() != ".lipsync") continue;
    ++files;
    testsupport::LogCapture log;
    cl_LipsyncCtrl lip(nullptr);
    lip.StartFromFile(entry.path().c_str());
    EXPECT_TRUE(lip.IsActive()) << entry.path();
    EXPECT_GT(lip.duration, 0.0f) << entry.path();
    EXPECT_EQ(log.count("Warning"), 0) << entry.path();
  }
  EXPECT_GT(files, 0);
}

// ---- the mouth on the demo figure

class LipsyncPose : public actortest::ActorTest {};

TEST_F(LipsyncPose, MouthAtFrameMidpointsIsTheFramesVisemeAndContinuous) {
  auto registry = FigureRegistry();
  quillane::cl_ActorDesc* actor = registry->FindActor("odo");
  ASSERT_NE(actor, nullptr);
  base::cl_Skeleton* skeleton = actor->GetSkeleton();
  ASSERT_NE(skeleton, nullptr);
  const int n = skeleton->GetNumBones();

  // The rest and viseme poses straight from the clips.
  base::cl_Pose rest(n), aa(n), talk(n), mouth(n), expected(n), got(n);
  actor->GetAnimation("bindpose")->_SetPose(&rest, 0.04f);
  rest.SetWeights(1.0f);
  actor->GetAnimation("phonem_O")->_SetPose(&aa, 0.4f);
  base::cl_SkeletonSubset* facials = actor->FindSubset("facials");
  base::cl_SkeletonSubset* mouthSet = actor->FindSubset("mouth");
  ASSERT_NE(facials, nullptr);
  ASSERT_NE(mouthSet, nullptr);

  cl_LipsyncCtrl lip(actor);
  lip.Start(Text("phn 0 400 100 AA\nphn 400 800 50 AA\n"));
  EXPECT_LT(PoseDistance(lip.GetViseme(0), rest), 1e-5f);
  for (int frame : {2, 5, 10, 13}) {
    const auto& f = lip.GetTrack()[static_cast<size_t>(frame)];
    const float mid = (f.start + f.end) * 0.5f;
    lip.time = mid;
    got.SetSize(n);
    for (int b = 0; b < n; ++b) got[b] = base::cl_Pose::st_BonePose{};
    lip.ApplyPose(got);

    for (int b = 0; b < n; ++b) expected[b] = base::cl_Pose::st_BonePose{};
    actor->GetAnimation("talkidle_face")->_SetPose(&talk, mid);
    expected.Blend(&talk, facials, lip.GetTalkWeight());
    mouth.Blend(&rest, &aa, f.weight);
    expected.Add(&mouth, mouthSet, 0.7f);
    EXPECT_LT(PoseDistance(got, expected), 1e-4f) << "frame " << frame;

    // Just before and just after the midpoint the mouth barely moves.
    base::cl_Pose before(n), after(n);
    lip.time = mid - 1e-4f;
    lip.ApplyPose(before);
    lip.time = mid + 1e-4f;
    lip.ApplyPose(after);
    EXPECT_LT(PoseDistance(before, after), 5e-3f) << "frame " << frame;
  }

  // Past the track the controller stops and leaves the pose alone.
  lip.time = 5.0f;
  base::cl_Pose untouched(n);
  lip.ApplyPose(untouched);
  EXPECT_FALSE(lip.IsActive());
  EXPECT_LT(PoseDistance(untouched, base::cl_Pose(n)), 1e-6f);
}

}  // namespace
