// The compiled character file against bad bytes and failed writes: a file of an earlier build
// still reads, a damaged file is reported once and replaced by a new import, and a write that
// fails leaves no compiled file behind. QUILLANE_UPDATE_GOLDEN=1 rewrites the kept file.
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "actor_test_support.h"
#include "base/File.h"
#include "graphics/mesh/Animation.h"
#include "graphics/model/Model.h"

namespace actortest {
namespace {

const std::string kKept = std::string(QUILLANE_TEST_DIR) + "/data/male.dat";

// The demo male with small textures, so that imports stay quick and the kept file small.
const char* const kSmallList =
    "<Characters><Character label=\"male\" animations=\"male\">"
    "<Mesh file=\"characters/male/male_mesh.xml\">"
    "<Material label=\"male_skin\" shader=\"lambert\" texture=\"texture0\"/>"
    "<Material label=\"male_cloth\" shader=\"lambert\" texture=\"texture0\"/>"
    "<Material label=\"male_hair\" shader=\"lambert\" alpha=\"1\" texture=\"texture1\"/></Mesh>"
    "<Skeleton file=\"characters/male/male_skeleton.xml\"><UseReposition label=\"walk\"/>"
    "<AnimationSet file=\"characters/male/male_face.xml\"/><Subsets file=\"characters/male/male_subsets.xml\"/>"
    "</Skeleton>"
    "<Texture label=\"texture0\" file=\"characters/male/male_body.tga\" size=\"16\"/>"
    "<Texture label=\"texture1\" file=\"characters/male/male_hair.tga\" size=\"8\"/>"
    "</Character></Characters>";

class CompiledFile : public ActorTest {
 protected:
  void SetUp() override {
    ActorTest::SetUp();
    if (IsSkipped()) return;
    m_dir.write("small.xml", kSmallList);
  }
  // A fresh import of the small list; the compiled file's bytes.
  std::string ImportSmall() {
    fs::remove(m_dir.path("characters/male.dat"));
    cl_ActorRegistry registry;
    EXPECT_TRUE(registry.LoadActorList("small.xml"));
    EXPECT_NE(registry.FindActor("male"), nullptr);
    return Read("characters/male.dat");
  }
};

TEST_F(CompiledFile, AFileOfAnEarlierBuildStillReads) {
  if (std::getenv("QUILLANE_UPDATE_GOLDEN")) {
    const std::string bytes = ImportSmall();
    fs::create_directories(fs::path(kKept).parent_path());
    std::ofstream(kKept, std::ios::binary) << bytes;
    // The seeds of the compiled-file fuzz target: this file, the same with side files (it ends
    // after its flag) and an actor without a skeleton of its own.
    const fs::path seeds = fs::path(QUILLANE_TEST_DIR) / "../../fuzz/corpus/character_dat";
    fs::create_directories(seeds);
    std::ofstream(seeds / "male.dat", std::ios::binary) << bytes;
    LOD_SeparateFilesForCharacters = true;
    std::ofstream(seeds / "male_separate.dat", std::ios::binary) << ImportSmall();
    LOD_SeparateFilesForCharacters = false;
    std::string list = kSmallList;
    list.replace(list.find("label=\"male\""), 12, "label=\"quillane\" parent=\"male\"");
    list.replace(list.find("<Skeleton"), list.find("</Skeleton>") + 11 - list.find("<Skeleton"), "<Skeleton/>");
    m_dir.write("quillane.xml", list);
    cl_ActorRegistry registry;
    EXPECT_TRUE(registry.LoadActorList("quillane.xml"));
    EXPECT_NE(registry.FindActor("quillane"), nullptr);
    std::ofstream(seeds / "quillane.dat", std::ios::binary) << Read("characters/quillane.dat");
  }
  ASSERT_TRUE(fs::exists(kKept)) << "run once with QUILLANE_UPDATE_GOLDEN=1";
  fs::copy_file(kKept, m_dir.path("characters/male.dat"), fs::copy_options::overwrite_existing);
  m_log->clear();
  cl_ActorRegistry registry;
  ASSERT_TRUE(registry.LoadActorList("small.xml"));
  cl_ActorDesc* male = registry.FindActor("male");
  ASSERT_NE(male, nullptr);
  EXPECT_EQ(m_log->count("ERROR"), 0) << m_log->text("\n");
  EXPECT_EQ(m_log->count("Initializing"), 0);
  ASSERT_NE(male->skeleton, nullptr);
  EXPECT_EQ(male->skeleton->size(), 28);
  EXPECT_EQ(male->skeleton->animations.size(), 43u);
  EXPECT_FLOAT_EQ(male->GetAnimation("walk")->length, 1.0f);
  EXPECT_NEAR(male->GetWalkAnimation()->repositioning.z, 120.0f, 0.01f);
  EXPECT_FLOAT_EQ(male->GetAnimation("idle")->length, 2.0f);
  EXPECT_EQ(male->skeleton->subsets.size(), 6u);
  EXPECT_EQ(male->meshFile, "characters/male/male_mesh.xml");
  EXPECT_EQ(male->talkAnimation, "talk_idle");
  ASSERT_NE(male->model, nullptr);
  EXPECT_TRUE(male->model->IsSkinned());
  ASSERT_EQ(male->model->GetTextures().Count(), 2);
  EXPECT_EQ(DdsSize(male->model->GetTextures().Find("texture0")->GetFileData()), std::make_pair(16, 16));
}

// The offsets of the fields the mutations below aim at.
struct st_Layout {
  int speed = 0;          // f32 idle speed
  int skeletonFlag = 0;   // u8
  int separateFlag = 0;   // u8, the table follows
  int size = 0;
};

st_Layout LayoutOf(const std::string& bytes) {
  st_Layout l;
  int at = 0;
  for (int i = 0; i < 7; ++i) {
    int n = 0;
    std::memcpy(&n, bytes.data() + at, 4);
    at += 4 + n;
  }
  l.speed = at;
  l.skeletonFlag = at + 4;
  l.size = static_cast<int>(bytes.size());
  // The table: count 3, then the first set right after the table.
  for (int p = l.size - 17; p > l.skeletonFlag; --p) {
    int count = 0, first = 0;
    std::memcpy(&count, bytes.data() + p + 1, 4);
    std::memcpy(&first, bytes.data() + p + 5, 4);
    if (bytes[static_cast<size_t>(p)] == 0 && count == 3 && first == p + 17) {
      l.separateFlag = p;
      break;
    }
  }
  return l;
}

void Put(std::string& bytes, int at, int value) { std::memcpy(bytes.data() + at, &value, 4); }

TEST_F(CompiledFile, ADamagedFileIsReportedOnceAndTheActorImportedAgain) {
  const std::string good = ImportSmall();
  const st_Layout l = LayoutOf(good);
  ASSERT_GT(l.separateFlag, l.skeletonFlag);
  const float nan = std::nanf("");
  int nanBits = 0;
  std::memcpy(&nanBits, &nan, 4);
  const struct {
    const char* what;
    std::function<void(std::string&)> damage;
  } cases[] = {
      {"empty", [](std::string& b) { b.clear(); }},
      {"cut in the strings", [](std::string& b) { b.resize(9); }},
      {"string longer than the file", [](std::string& b) { Put(b, 0, 1 << 30); }},
      {"negative string length", [](std::string& b) { Put(b, 0, -5); }},
      {"idle speed not a number", [&](std::string& b) { Put(b, l.speed, nanBits); }},
      {"skeleton flag 7", [&](std::string& b) { b[static_cast<size_t>(l.skeletonFlag)] = 7; }},
      {"cut in the skeleton", [&](std::string& b) { b.resize(static_cast<size_t>(l.skeletonFlag) + 200); }},
      {"separate-files flag 2", [&](std::string& b) { b[static_cast<size_t>(l.separateFlag)] = 2; }},
      {"table count -1", [&](std::string& b) { Put(b, l.separateFlag + 1, -1); }},
      {"table count a million", [&](std::string& b) { Put(b, l.separateFlag + 1, 1000000); }},
      {"offset past the end", [&](std::string& b) { Put(b, l.separateFlag + 5, l.size + 100); }},
      {"offset into the header", [&](std::string& b) { Put(b, l.separateFlag + 5, 4); }},
      {"cut in the texture set in use", [&](std::string& b) { b.resize(static_cast<size_t>(l.separateFlag) + 60); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string bad = good;
    c.damage(bad);
    m_dir.write("characters/male.dat", bad);
    m_log->clear();
    {
      cl_ActorRegistry registry;
      ASSERT_TRUE(registry.LoadActorList("small.xml"));
      cl_ActorDesc* male = registry.FindActor("male");
      ASSERT_NE(male, nullptr);
      EXPECT_NE(male->skeleton, nullptr);
      EXPECT_NE(male->model, nullptr);
    }
    const std::vector<std::string> lines = m_log->get();
    int errors = 0, importedAfter = 0;
    for (const std::string& line : lines) {
      if (line.find("ERROR") != std::string::npos) ++errors;
      if (line.find("Initializing character male.") != std::string::npos && errors == 1) ++importedAfter;
    }
    EXPECT_EQ(errors, 1) << m_log->text("\n");
    EXPECT_EQ(importedAfter, 1) << m_log->text("\n");
    EXPECT_TRUE(Read("characters/male.dat") == good);  // compiled again, soundly
  }
}

TEST_F(CompiledFile, AWriteThatFailsLeavesNoCompiledFileButAUsableActor) {
  // A folder where the compiled file should go: the rename at the end fails. A compile killed
  // before left its temporary file, which this one takes away.
  fs::create_directories(m_dir.path("characters/male.dat"));
  m_dir.write("characters/male.dat.tmpAb12Cd", "killed");
  cl_ActorRegistry registry;
  ASSERT_TRUE(registry.LoadActorList("small.xml"));
  cl_ActorDesc* male = registry.FindActor("male");
  ASSERT_NE(male, nullptr);
  EXPECT_TRUE(male->IsLoaded());
  EXPECT_NE(male->GetWalkAnimation(), nullptr);
  EXPECT_TRUE(m_log->contains("ERROR:")) << m_log->text("\n");
  EXPECT_TRUE(fs::is_directory(m_dir.path("characters/male.dat")));
  for (const auto& entry : fs::directory_iterator(m_dir.path("characters")))
    EXPECT_EQ(entry.path().filename().string().find("male.dat."), std::string::npos) << entry.path();

  // Without its folder the file cannot even be created: the line names it and the cause.
  fs::rename(m_dir.path("characters"), m_dir.path("elsewhere"));
  m_dir.write("nowhere.xml", "<Characters><Character label=\"lost\"/></Characters>");
  cl_ActorRegistry lost;
  ASSERT_TRUE(lost.LoadActorList("nowhere.xml"));
  m_log->clear();
  EXPECT_NE(lost.FindActor("lost"), nullptr);
  EXPECT_EQ(m_log->count("ERROR: Write failed! The compiled character 'Characters/lost.dat' cannot be created (" +
                         std::string(std::strerror(ENOENT)) + ")"),
            1)
      << m_log->text("\n");
  fs::rename(m_dir.path("elsewhere"), m_dir.path("characters"));
}

}  // namespace
}  // namespace actortest
