// The actor registry on the demo list: the first load imports and compiles, a later registry reads
// the compiled file back to the same actor, the level-of-detail table and side files, texture
// sizes and alpha, the parent chain, residents, unknown labels and a parent cycle.
#include <map>

#include "actor_test_support.h"
#include "base/File.h"
#include "graphics/mesh/Animation.h"
#include "graphics/model/Model.h"

namespace actortest {
namespace {

// What a loaded actor holds, for comparing an import with a compiled read.
struct st_ActorSummary {
  std::map<std::string, float> clips;  // name -> length
  std::vector<std::string> subsets;
  std::vector<std::string> textures;  // labels of the model's textures
  std::vector<std::pair<int, int>> textureSizes;
  int bones = 0;
  int partitions = 0;

  bool operator==(const st_ActorSummary&) const = default;
};

st_ActorSummary Summarise(cl_ActorDesc* a) {
  st_ActorSummary s;
  if (base::cl_Skeleton* k = a->GetSkeleton()) {
    for (const auto& [name, clip] : k->animations) s.clips[name.c_str()] = clip->length;
    for (const auto& entry : k->subsets) s.subsets.push_back(entry.first.c_str());
    s.bones = k->size();
  }
  if (a->model) {
    s.partitions = static_cast<int>(a->model->GetPartitions().size());
    auto& t = a->model->GetTextures();
    for (const char* label : {"texture0", "texture1"}) {
      if (gfx::cl_Texture* tex = t.Find(label)) {
        s.textures.push_back(label);
        s.textureSizes.push_back(DdsSize(tex->GetFileData()));
      }
    }
  }
  return s;
}

// Where the flag byte of a compiled file with an in-file table stands: the byte before the table
// (count 3, then the first set right after the table).
int FindTable(const std::string& bytes) {
  for (size_t p = bytes.size() - 17; p > 0; --p) {
    int count = 0, first = 0;
    std::memcpy(&count, bytes.data() + p + 1, 4);
    std::memcpy(&first, bytes.data() + p + 5, 4);
    if (bytes[p] == 0 && count == 3 && first == static_cast<int>(p) + 17) return static_cast<int>(p);
  }
  return -1;
}

TEST_F(ActorTest, FirstFindImportsAndCompilesAndANewRegistryReadsTheSameActor) {
  st_ActorSummary imported;
  {
    auto registry = DemoRegistry();
    EXPECT_EQ(quillane::GetActorRegistry(), registry.get());
    EXPECT_FALSE(registry->IsLoaded("male"));
    cl_ActorDesc* male = registry->FindActor("male");
    ASSERT_NE(male, nullptr);
    EXPECT_TRUE(male->IsLoaded());
    EXPECT_EQ(m_log->count("Initializing character male."), 1);
    EXPECT_EQ(m_log->count("ERROR"), 0) << m_log->text("\n");
    imported = Summarise(male);
    EXPECT_TRUE(Exists("characters/male.dat"));  // "Characters/" resolves to the list's folder
    EXPECT_FALSE(Exists("characters/male_0.dat"));
  }
  EXPECT_EQ(quillane::GetActorRegistry(), nullptr);
  EXPECT_EQ(imported.bones, 28);
  EXPECT_EQ(imported.clips.at("walk"), 1.0f);
  EXPECT_EQ(imported.clips.count("emote_smile"), 1u);  // the face set came along
  EXPECT_EQ(imported.textures, (std::vector<std::string>{"texture0", "texture1"}));
  EXPECT_EQ(imported.textureSizes, (std::vector<std::pair<int, int>>{{256, 256}, {128, 128}}));
  EXPECT_GT(imported.partitions, 0);

  m_log->clear();
  auto again = DemoRegistry();
  cl_ActorDesc* male = again->FindActor("male");
  ASSERT_NE(male, nullptr);
  EXPECT_EQ(m_log->count("Initializing character"), 0) << m_log->text("\n");
  EXPECT_EQ(Summarise(male), imported);
  EXPECT_EQ(male->mesh, nullptr);  // only an import makes the mesh
  EXPECT_EQ(male->walkAnimation, "walk");
  EXPECT_EQ(male->idleSpeed, 1.0f);

  // The other levels are in the same file: level 2 holds the quarter-size sheets.
  SetCharacterLevelOption(0.0f);
  again->ReleaseAll();
  again.reset();
  auto low = DemoRegistry();
  // "male" is resident, but a new registry reads it afresh.
  EXPECT_EQ(Summarise(low->FindActor("male")).textureSizes, (std::vector<std::pair<int, int>>{{64, 64}, {32, 32}}));
}

TEST_F(ActorTest, TheLevelTableFollowsTheFlagAndPointsAtEachLevelsList) {
  auto registry = DemoRegistry();
  ASSERT_NE(registry->FindActor("odo"), nullptr);
  const std::string bytes = Read("characters/odo.dat");
  const int flag = FindTable(bytes);
  ASSERT_GT(flag, 0);
  int offsets[3];
  std::memcpy(offsets, bytes.data() + flag + 5, 12);
  base::File file;
  ASSERT_TRUE(file.open_memory(bytes.data(), static_cast<int>(bytes.size()), "odo.dat"));
  const int sizes[3] = {256, 128, 64};
  for (int level = 0; level < 3; ++level) {
    SCOPED_TRACE(level);
    ASSERT_TRUE(file.set_current_position(offsets[level]));
    quillane::tTextureSet set;
    ASSERT_TRUE(set.Read(&file));
    ASSERT_EQ(set.Count(), 2);
    EXPECT_EQ(DdsSize(set.Find("texture0")->GetFileData()), std::make_pair(sizes[level], sizes[level]));
    if (level < 2) {
      EXPECT_EQ(file.get_current_position(), offsets[level + 1]);
    }
  }
  EXPECT_EQ(file.get_current_position(), static_cast<int>(bytes.size()));
}

TEST_F(ActorTest, SeparateFilesHoldOneLevelEachAndAMissingLevelLeavesNoTextures) {
  LOD_SeparateFilesForCharacters = true;
  {
    auto registry = DemoRegistry();
    ASSERT_NE(registry->FindActor("pell"), nullptr);
  }
  EXPECT_EQ(m_log->count("Writing Texturset Characters/pell_0.dat"), 1) << m_log->text("\n");
  for (int level = 0; level < 3; ++level) EXPECT_TRUE(Exists("characters/pell_" + std::to_string(level) + ".dat"));
  // The compiled file ends with its flag.
  EXPECT_EQ(Read("characters/pell.dat").back(), '\x01');

  LOD_SeparateFilesForCharacters = false;  // the file's own flag decides when reading
  SetCharacterLevelOption(0.5f);           // level 1
  {
    auto registry = DemoRegistry();
    const st_ActorSummary s = Summarise(registry->FindActor("pell"));
    EXPECT_EQ(s.textureSizes, (std::vector<std::pair<int, int>>{{128, 128}, {64, 64}}));
  }
  SetCharacterLevelOption(-1.5f);  // level 5: its side file does not exist
  auto registry = DemoRegistry();
  cl_ActorDesc* pell = registry->FindActor("pell");
  ASSERT_NE(pell, nullptr);
  ASSERT_NE(pell->model, nullptr);
  EXPECT_EQ(pell->model->GetTextures().Count(), 0);
  EXPECT_EQ(m_log->count("Initializing character pell."), 1);  // only the first registry imported
}

TEST_F(ActorTest, LevelOptionBeyondTheTableReadsTheLastLevel) {
  { DemoRegistry()->FindActor("mina"); }
  SetCharacterLevelOption(-1.5f);  // level 5, clamped to the table's last entry
  auto registry = DemoRegistry();
  EXPECT_EQ(Summarise(registry->FindActor("mina")).textureSizes,
            (std::vector<std::pair<int, int>>{{64, 64}, {32, 32}}));
}

// An actor list of one actor whose only texture is an image written by the test.
class ActorTextures : public ActorTest {
 protected:
  base::Binary Level(const std::string& size, uint8_t alpha, int level, int w = 1024, int h = 512) {
    m_dir.write("pics/sheet.tga", Tga(w, h, alpha));
    m_dir.write("tex.xml", "<Characters><Character label=\"sheet\"><Texture label=\"t\" file=\"pics/sheet.tga\"" +
                               size + "/></Character></Characters>");
    fs::remove(m_dir.path("characters/sheet.dat"));
    cl_ActorRegistry registry;
    EXPECT_TRUE(registry.LoadActorList("tex.xml"));
    EXPECT_NE(registry.FindActor("sheet"), nullptr);
    // No mesh, so no model: the sets are only in the compiled file.
    const std::string bytes = Read("characters/sheet.dat");
    const int flag = FindTable(bytes);
    EXPECT_GT(flag, 0);
    if (flag <= 0) return base::Binary();
    int offset = 0;
    std::memcpy(&offset, bytes.data() + flag + 5 + 4 * level, 4);
    base::File file;
    file.open_memory(bytes.data(), static_cast<int>(bytes.size()), "sheet.dat");
    file.set_current_position(offset);
    quillane::tTextureSet set;
    EXPECT_TRUE(set.Read(&file));
    return set.Count() == 1 ? set.Get(0)->GetFileData() : base::Binary();
  }
};

TEST_F(ActorTextures, SizeHalvesPerLevelFromTheLargerSide) {
  EXPECT_EQ(DdsSize(Level(" size=\"512\"", 128, 0)), std::make_pair(512, 256));
  EXPECT_EQ(DdsSize(Level(" size=\"512\"", 128, 1)), std::make_pair(256, 128));
  EXPECT_EQ(DdsSize(Level(" size=\"512\"", 128, 2)), std::make_pair(128, 64));
  for (int level = 0; level < 3; ++level) EXPECT_EQ(DdsSize(Level("", 128, level, 64, 32)), std::make_pair(64, 32));
}

TEST_F(ActorTextures, OpaqueAndClearImagesLoseTheirAlphaChannel) {
  const struct {
    uint8_t alpha;
    bool disabled;
    const char* format;
  } cases[] = {{255, true, "DXT1"}, {0, true, "DXT1"}, {128, false, "DXT5"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(int(c.alpha));
    m_log->clear();
    EXPECT_EQ(DdsFourCC(Level("", c.alpha, 0, 64, 64)), c.format);
    EXPECT_EQ(m_log->contains("Alpha pics/sheet.tga = " + std::to_string(c.alpha)), true) << m_log->text("\n");
    EXPECT_EQ(m_log->contains("alpha channel for pics/sheet.tga has been disabled"), c.disabled);
  }
}

TEST_F(ActorTest, ReleaseAllKeepsTheResidentsAndTheNextFindReadsTheCompiledFile) {
  auto registry = DemoRegistry();
  for (const char* label : {"male", "female", "quillane", "odo", "Quillane_EveningDress"})
    ASSERT_NE(registry->FindActor(label), nullptr) << label;
  registry->ReleaseAll();
  for (const char* label : {"male", "female", "quillane"}) EXPECT_TRUE(registry->IsLoaded(label)) << label;
  EXPECT_FALSE(registry->IsLoaded("odo"));
  EXPECT_EQ(registry->Find("odo")->model, nullptr);
  // The dress still finds quillane's parent chain after its caches were dropped.
  m_log->clear();
  cl_ActorDesc* dress = registry->FindActor("Quillane_EveningDress");
  EXPECT_EQ(m_log->count("Initializing character"), 0);
  EXPECT_EQ(dress->GetSkeleton(), registry->Find("female")->skeleton);
  EXPECT_NE(registry->FindActor("odo")->model, nullptr);
  EXPECT_EQ(m_log->count("Initializing character"), 0);
}

TEST_F(ActorTest, AReleasedActorWhoseCompiledFileWentIsImportedWithItsModelAgain) {
  auto registry = DemoRegistry();
  ASSERT_NE(registry->FindActor("odo"), nullptr);
  registry->ReleaseAll();
  fs::remove(m_dir.path("characters/odo.dat"));
  cl_ActorDesc* odo = registry->FindActor("odo");
  ASSERT_NE(odo, nullptr);
  EXPECT_NE(odo->model, nullptr);
  EXPECT_EQ(odo->model->GetTextures().Count(), 2);
  EXPECT_TRUE(Exists("characters/odo.dat"));
}

TEST_F(ActorTest, QuillaneWearsFemalesSkeletonClipsAndSubsets) {
  auto registry = DemoRegistry();
  cl_ActorDesc* quillane = registry->FindActor("quillane");
  cl_ActorDesc* female = registry->Find("female");
  ASSERT_NE(quillane, nullptr);
  EXPECT_EQ(quillane->skeleton, nullptr);
  EXPECT_EQ(quillane->GetParent(), female);
  ASSERT_NE(female->skeleton, nullptr);
  EXPECT_EQ(quillane->GetSkeleton(), female->skeleton);
  EXPECT_EQ(quillane->GetWalkAnimation(), female->skeleton->GetAnimation("walk"));
  EXPECT_EQ(quillane->FindSubset("looking"), female->skeleton->GetSubset("looking"));
  EXPECT_EQ(quillane->FindSubset("no such subset"), nullptr);
  ASSERT_NE(quillane->model, nullptr);  // a model is never inherited
  EXPECT_NE(quillane->model, female->model);
  // Two steps up the chain for the dress.
  EXPECT_EQ(registry->FindActor("Quillane_DancingDress")->GetTurnAroundCCW(), female->skeleton->GetAnimation("turnaround_ccw"));
}

TEST_F(ActorTest, AMissingClipFallsBackToIdleButAMissingIdleIsQuiet) {
  auto registry = DemoRegistry();
  cl_ActorDesc* odo = registry->FindActor("odo");
  const base::cl_Animation* idle = registry->FindActor("male")->skeleton->GetAnimation("idle");
  m_log->clear();
  // Asked every frame (a character's walk in the viewer): said once.
  for (int frame = 0; frame < 3; ++frame) EXPECT_EQ(odo->GetAnimation("juggle"), idle);
  EXPECT_EQ(m_log->count("Actor odo: anim juggle not found, using idle."), 1) << m_log->text("\n");

  // Without any skeleton in the chain there is nothing, and idle itself is asked quietly.
  m_dir.write("bare.xml", "<Characters><Character label=\"bare\"/></Characters>");
  cl_ActorRegistry bare;
  ASSERT_TRUE(bare.LoadActorList("bare.xml"));
  cl_ActorDesc* b = bare.FindActor("bare");
  ASSERT_NE(b, nullptr);
  m_log->clear();
  EXPECT_EQ(b->GetAnimation("idle"), nullptr);
  EXPECT_TRUE(m_log->get().empty()) << m_log->text("\n");
  EXPECT_EQ(b->GetAnimation("walk"), nullptr);
  EXPECT_EQ(m_log->count("not found, using idle"), 1);
}

TEST_F(ActorTest, UnknownLabelsAndAMissingListGiveTheNotFoundLine) {
  auto registry = DemoRegistry();
  EXPECT_EQ(registry->FindActor("nobody"), nullptr);
  EXPECT_FALSE(registry->IsLoaded("nobody"));
  EXPECT_EQ(m_log->count("ERROR: Actor nobody not found."), 2);
  EXPECT_EQ(registry->FindActor("Male"), nullptr);  // labels compare exactly

  m_dir.write("odd.xml", "<Characters><Character/><Character label=\"x\"/><Character label=\"x\" parent=\"y\"/>"
                        "</Characters>");
  cl_ActorRegistry odd;
  ASSERT_TRUE(odd.LoadActorList("odd.xml"));
  EXPECT_EQ(odd.GetActors().size(), 1u);
  EXPECT_EQ(m_log->count("Warning: odd.xml: actor 0 has no label"), 1) << m_log->text("\n");
  EXPECT_EQ(m_log->count("Warning: odd.xml: actor x listed twice"), 1);
  EXPECT_TRUE(odd.FindActor("x")->parent.empty());  // the first one is kept

  cl_ActorRegistry empty;
  EXPECT_FALSE(empty.LoadActorList("characters/no_such_list.xml"));
  EXPECT_EQ(empty.GetFirst(), nullptr);
  EXPECT_EQ(empty.FindActor("male"), nullptr);
}

TEST_F(ActorTest, AParentCycleEndsWithOneLineInsteadOfLoopingForever) {
  m_dir.write("cycle.xml",
              "<Characters><Character label=\"a\" parent=\"b\"/><Character label=\"b\" parent=\"a\"/>"
              "<Character label=\"self\" parent=\"self\"/></Characters>");
  cl_ActorRegistry registry;
  ASSERT_TRUE(registry.LoadActorList("cycle.xml"));
  for (const char* label : {"a", "self"}) {
    SCOPED_TRACE(label);
    m_log->clear();
    cl_ActorDesc* a = registry.FindActor(label);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->GetSkeleton(), nullptr);
    EXPECT_EQ(a->FindSubset("eyes"), nullptr);
    EXPECT_EQ(a->GetAnimation("idle"), nullptr);
    EXPECT_GE(m_log->count("ERROR: actor parent cycle at"), 1) << m_log->text("\n");
  }
}

TEST_F(ActorTest, ForEachVisitsInLabelOrderAndEraseForgetsTheRecord) {
  auto registry = DemoRegistry();
  std::vector<std::string> labels;
  for (const auto& entry : registry->GetActors()) labels.push_back(entry.first.c_str());
  EXPECT_EQ(labels.front(), "Quillane_DancingDress");  // byte order: capitals first
  EXPECT_EQ(labels.size(), 8u);
  EXPECT_EQ(registry->GetFirst()->label, "Quillane_DancingDress");
  cl_ActorDesc* dress = registry->FindActor("Quillane_DancingDress");
  ASSERT_NE(dress->GetSkeleton(), nullptr);
  EXPECT_TRUE(registry->Erase("quillane"));
  EXPECT_FALSE(registry->Erase("quillane"));
  // The dress forgot its cached parent and now finds none.
  EXPECT_EQ(dress->GetParent(), nullptr);
  EXPECT_EQ(m_log->count("ERROR: Actor quillane not found."), 1);
}

}  // namespace
}  // namespace actortest

namespace actortest {
namespace {

TEST_F(ActorTest, LoadingTasksLoadTheirActorWithTheirWeights) {
  {
    // Before any list is read there is no registry to load into: the tasks do nothing.
    std::unique_ptr<base::i_Task> early(quillane::cl_ActorLoadTask::Queue("male"));
    early->Run();
  }
  auto registry = DemoRegistry();
  std::unique_ptr<quillane::cl_LoadCharacterTask> resident(quillane::cl_LoadCharacterTask::Queue("female"));
  std::unique_ptr<quillane::cl_ActorLoadTask> scene(quillane::cl_ActorLoadTask::Queue("mina"));
  EXPECT_EQ(resident->m_weight, 5.0f);
  EXPECT_EQ(scene->m_weight, 1.0f);
  resident->Run();
  scene->Run();
  EXPECT_TRUE(registry->IsLoaded("female"));
  EXPECT_TRUE(registry->IsLoaded("mina"));
  EXPECT_FALSE(registry->IsLoaded("male"));
}

}  // namespace
}  // namespace actortest
