#include <gtest/gtest.h>

#include <filesystem>

#include "animation_test_support.h"
#include "base/data/StaticVariant.h"
#include "base/data/Xml.h"
#include "base/resource/ResourceMgr.h"

namespace {

using namespace animtest;

base::StaticVariant Element(const std::string& xml) {
  base::StaticVariant sv;
  EXPECT_TRUE(base::xml::read_text(sv, Quoted(xml).c_str()));
  return sv;
}

// Three-bone clips: every track keyed like the root's.
std::string Clip3(const std::string& name, const std::string& keys, const std::string& length) {
  return Clip(name, Track("root", keys) + Track("arm", keys) + Track("hand", keys), length);
}

const std::string kChainBones = Bone(0, "root") + Bone(1, "arm") + Bone(2, "hand");
const std::string kChainHierarchy = Parent("arm", "root") + Parent("hand", "arm");

// A character's source files in a scratch folder: the skeleton, an animation set, a set made for
// another skeleton and a subset file.
struct Fixture {
  testsupport::TempDir dir;
  Fixture() {
    base::RegisterSkeletonResourceType();
    dir.write("hero_skeleton.xml",
              SkeletonXml(kChainBones, kChainHierarchy,
                          "<animations>" + Clip3("walk", kKey0 + kKey1, "1") + Clip3("talk", kKey0 + kKey1, "1") +
                              Clip3("Idle", kKey0 + kKey1, "2") + "</animations>"));
    dir.write("hero_face.xml", SkeletonXml(kChainBones, kChainHierarchy,
                                           "<animations>" + Clip3("smile", kKey0, "0.5") +
                                               Clip3("walk", kKey0, "7") + "</animations>"));
    dir.write("other.xml", SkeletonXml(Bone(0, "x"), "", "<animations>" + Clip("wave", Track("x", kKey0)) +
                                                             "</animations>"));
    dir.write("hero_subsets.xml", Quoted(
        "<Subsets><Subset label='upper'><Bone label='arm' weight='0.5'/><Bone label='tail' weight='1'/>"
        "<Bone label='hand' weight='1'/><Bone label='arm' weight='0.75'/><Bone weight='1'/></Subset>"
        "<Subset label='face'><Bone label='root' weight='0.3'/></Subset>"
        "<Subset label='upper'><Bone label='root' weight='1'/></Subset><Other label='x'/></Subsets>"));
  }
  std::string path(const char* name = "") const { return dir.path(name); }
  std::string protocol() const { return dir.read("hero_skeleton_protocol.txt"); }
};

std::string Crlf(std::string text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

TEST(SkeletonInit, ProtocolRecordsEverySetUpStepWithCrlfLines) {
  Fixture fx;
  const std::string element = "<Skeleton label='hero' file='" + fx.path("hero_skeleton.xml") + "'>" +
                              "<UseReposition label='walk'/><UseReposition label='run'/><UseReposition/>" +
                              "<AnimationSet file='" + fx.path("hero_face.xml") + "'/>" +
                              "<AnimationSet file='" + fx.path("other.xml") + "'/>" +
                              "<Rename from='talk' to='Speak'/><Rename from='nope' to='x'/>" +
                              "<Rename from='Idle' to='walk'/><Rename from='smile' to='smile'/>" +
                              "<Subsets file='" + fx.path("hero_subsets.xml") + "'/>" +
                              "<Subsets file='" + fx.path("none.xml") + "'/><Unknown file='x'/></Skeleton>";
  cl_Skeleton s;
  testsupport::LogCapture log;
  ASSERT_TRUE(s.Init(Element(element)));
  const std::string expected =
      "#basic animations:\n"
      "  'Idle' (2.00s)\n"
      "  'talk' (1.00s)\n"
      "  'walk' (1.00s)\n"
      "#repositioning: 'walk'\n"
      "!!!repositioning failed: run unknown\n"
      "#anim set '" + fx.path("hero_face.xml") + "':\n"
      "  'smile' (0.50s)\n"
      "  'walk' (7.00s)\n"
      "#anim set '" + fx.path("other.xml") + "':\n"
      "  'wave' (1.00s)\n"
      "!!!anim set '" + fx.path("other.xml") + "': 'wave' has 1 tracks for 3 bones, dropped\n"
      "#rename from 'talk' to 'Speak':\n"
      "  ERROR: could not rename from nope to x\n"
      "  ERROR: could not rename from Idle to walk: the name is taken\n"
      "#rename from 'smile' to 'smile':\n"
      "ERROR: unknown bone tail in subset upper\n"
      "adding subset upper.\n"
      "adding subset face.\n"
      "adding subset upper.\n"
      "ERROR: could not open subset file " + fx.path("none.xml") + "\n";
  EXPECT_EQ(fx.protocol(), Crlf(expected));

  std::vector<std::string> names;
  for (const auto& a : s.animations) {
    names.push_back(a.first.c_str());
    EXPECT_NE(a.second->compressed, nullptr) << a.first.c_str();
    EXPECT_TRUE(a.second->tracks.empty());
    EXPECT_EQ(a.first, a.second->name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Idle", "Speak", "smile", "walk"}));
  EXPECT_FLOAT_EQ(s.GetAnimation("walk")->length, 1.0f);  // the skeleton's own clip stays
  ExpectNear(s.GetAnimation("walk")->repositioning, V3(0, 0, 4));
  // The root's drift is gone from the compressed walk: it samples at its start at the end.
  cl_Pose p(3);
  p.Set(s.GetAnimation("walk"), 0.999f);
  EXPECT_NEAR(p[0].translation.z, 0.0f, 1e-3f);
  EXPECT_NEAR(p[1].translation.z, 3.996f, 1e-3f);

  const base::cl_SkeletonSubset* upper = s.GetSubset("upper");
  ASSERT_NE(upper, nullptr);
  EXPECT_EQ(upper->bones, (std::vector<int>{1, 2}));
  EXPECT_EQ(upper->weights, (std::vector<float>{0.75f, 1.0f}));  // a bone given twice keeps its last weight
  EXPECT_EQ(s.subsets.size(), 2u);
  EXPECT_TRUE(log.contains("ERROR: unknown bone tail in subset upper\n"));
  EXPECT_TRUE(log.contains("subset upper, bone arm, w 0.50\n"));
}

TEST(SkeletonInit, UnreadableSourceFailsWithoutProtocol) {
  Fixture fx;
  struct Case {
    const char* name;
    std::string element;
    const char* message;
  };
  const Case cases[] = {
      {"no importer", "<Skeleton label='hero' file='" + fx.path("hero_skeleton.obj") + "'/>",
       "for mesh or unknown file format'hero'"},
      {"broken source, no label", "<Skeleton file='" + fx.path("missing.xml") + "'/>",
       "for mesh or unknown file format'<unknown label>'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    cl_Skeleton s;
    testsupport::LogCapture log;
    EXPECT_FALSE(s.Init(Element(c.element)));
    EXPECT_TRUE(log.contains("ERROR: could not open file ")) << (log.get().empty() ? "" : log.get().back());
    EXPECT_TRUE(log.contains(c.message));
    EXPECT_FALSE(std::filesystem::exists(fx.path("hero_skeleton_protocol.txt")));
    EXPECT_FALSE(std::filesystem::exists(fx.path("missing_protocol.txt")));
  }
}

TEST(SkeletonResource, LoadedByTheManagerAndFoundByLabel) {
  Fixture fx;
  fx.dir.write("resources.xml", Quoted("<Resources><Skeleton label='hero' file='hero_skeleton.xml'>"
                                       "<Subsets file='hero_subsets.xml'/></Skeleton>"
                                       "<Skeleton label='bad' file='nothing.xml'/></Resources>"));
  const auto old = std::filesystem::current_path();
  std::filesystem::current_path(fx.path());
  {
    base::cl_ResourceMgr mgr;
    ASSERT_NE(mgr.GetResourceType("Skeleton"), nullptr);
    testsupport::LogCapture log;
    EXPECT_TRUE(mgr.AddResources("resources.xml"));
    cl_Skeleton* hero = base::GetSkeleton("hero");
    ASSERT_NE(hero, nullptr);
    EXPECT_EQ(hero->size(), 3);
    EXPECT_NE(hero->GetSubset("face"), nullptr);
    EXPECT_EQ(base::GetSkeleton("bad"), nullptr);
    EXPECT_EQ(base::GetSkeleton("never"), nullptr);
    EXPECT_TRUE(std::filesystem::exists("hero_skeleton_protocol.txt"));
  }
  EXPECT_EQ(base::GetSkeleton("hero"), nullptr);
  std::filesystem::current_path(old);
}

}  // namespace
