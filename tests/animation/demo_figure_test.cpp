#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "animation_test_support.h"
#include "base/data/StaticVariant.h"
#include "base/data/Xml.h"
#include "graphics/mesh/Mesh.h"

namespace {

using namespace animtest;
namespace fs = std::filesystem;

// The demo figures written by demogen into the data folder, set up as resources.xml declares them
// but from a scratch copy, so that the protocol is not written into the data folder.
TEST(DemoFigure, ImportsSetsUpAndPosesAsTheCharacterCodeExpects) {
  const fs::path source = fs::path(QUILLANE_DATA_DIR) / "characters";
  if (!fs::exists(source / "female" / "female_skeleton.xml")) GTEST_SKIP() << "demo data not generated";
  base::RegisterSkeletonResourceType();
  for (const char* label : {"female", "male"}) {
    SCOPED_TRACE(label);
    testsupport::TempDir dir;
    for (const char* part : {"_mesh.xml", "_skeleton.xml", "_face.xml", "_subsets.xml"})
      fs::copy_file(source / label / (std::string(label) + part), dir.path(std::string(label) + part));
    auto file = [&](const char* part) { return dir.path(std::string(label) + part); };
    base::StaticVariant element;
    ASSERT_TRUE(base::xml::read_text(
        element, Quoted("<Skeleton label='" + std::string(label) + "' file='" + file("_skeleton.xml") +
                        "'><UseReposition label='walk'/><UseReposition label='quillane_walk'/>"
                        "<AnimationSet file='" + file("_face.xml") + "'/><Subsets file='" + file("_subsets.xml") +
                        "'/></Skeleton>").c_str()));
    cl_Skeleton s;
    testsupport::LogCapture log;
    ASSERT_TRUE(s.Init(element));
    for (const auto& line : log.get()) EXPECT_EQ(line.find("ERROR"), std::string::npos) << line;
    const std::string protocol = dir.read(std::string(label) + "_skeleton_protocol.txt");
    EXPECT_NE(protocol.find("#repositioning: 'walk'\r\n"), std::string::npos) << protocol;
    EXPECT_EQ(protocol.find("!!!"), std::string::npos) << protocol;

    // Bones by number, and the ones the character code looks up by name.
    ASSERT_EQ(s.size(), 28);
    EXPECT_EQ(s.GetBoneIndex("Game_Hip"), 0);
    EXPECT_EQ(s.GetBoneIndex("Game_Head"), 4);
    EXPECT_EQ(s.GetBoneIndex("Game_Jaw"), 9);
    EXPECT_EQ(s.GetBoneIndex("Game_Wrist_r"), 21);
    EXPECT_EQ(s.GetBoneIndex("Game_Ankle_r"), 27);
    EXPECT_TRUE(s.CheckHierarchy().empty());

    for (const char* clip : {"idle", "walk", "talk", "talk_idle", "turnaround_cw", "turnaround_ccw", "pickup",
                             "manipulate", "pick_up_table", "Talk_smile", "quillane_walk", "quillane_dance_01",
                             "quillane_dance_01_var01", "quillane_curtsy", "quillane_dance_stumble", "male_applaud",
                             "male_applaud_excited", "male_booh", "male_idle_02", "female_applaude",
                             "female_applaude_excited", "female_booh", "female_idle_02", "eyes_idle", "eyes_left",
                             "eyes_right", "eyes_up", "eyes_down", "look_left", "look_right", "bindpose", "phonem_AI",
                             "phonem_CONS", "phonem_E", "phonem_FV", "phonem_L", "phonem_MBP", "phonem_O",
                             "phonem_UW", "talkidle_face", "female_lipsynch_dummy", "emote_smile", "emote_frown"}) {
      const cl_Animation* a = s.GetAnimation(clip);
      ASSERT_NE(a, nullptr) << clip;
      EXPECT_NE(a->compressed, nullptr) << clip;
      cl_Pose pose(28);
      pose.Set(a, 0.99f * a->length);
      s.SetPose(&pose);
      for (int b = 0; b < 28; ++b) {
        for (float v : s[b].skinMatrix.m) ASSERT_TRUE(std::isfinite(v)) << clip << " bone " << b;
      }
    }
    EXPECT_FLOAT_EQ(s.GetAnimation("quillane_dance_01")->length, 8.0f);
    EXPECT_NEAR(s.GetAnimation("walk")->repositioning.z, 120.0f, 0.01f);
    // A viseme holds its shape: the jaw is open at 0.04 s as at 0.4 s.
    cl_Pose early(28), late(28);
    early.Set(s.GetAnimation("phonem_AI"), 0.04f);
    late.Set(s.GetAnimation("phonem_AI"), 0.4f);
    ExpectSameRotation(early[9].rotation, late[9].rotation);
    EXPECT_FALSE(early[9].rotation.is_equal(Quaternion(), 0.01f));
    ASSERT_NE(s.GetSubset("looking"), nullptr);
    EXPECT_EQ(s.GetSubset("looking")->weights, (std::vector<float>{1.0f, 0.6f, 0.3f}));
    EXPECT_EQ(s.GetSubset("facials")->size(), 11);

    base::cl_Mesh mesh;
    ASSERT_TRUE(base::MeshLoadOgreXML(file("_mesh.xml").c_str(), &mesh));
    EXPECT_EQ(mesh.regions.size(), 3);
    EXPECT_GT(mesh.faces.size(), 550);
    EXPECT_LT(mesh.faces.size(), 700);
    for (const auto* v : mesh.vertices) {
      ASSERT_GE(v->boneIndices.size(), 1);
      ASSERT_LE(v->boneIndices.size(), 4);
      for (int k = 0; k < v->boneIndices.size(); ++k) EXPECT_LT(v->boneIndices[k], 28);
    }
  }
}

}  // namespace
