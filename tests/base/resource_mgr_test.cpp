#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "base/data/Binary.h"
#include "base/app/Clock.h"
#include "base/file/FileArchive.h"
#include "base/resource/ResourceMgr.h"
#include "base/TaskScheduler.h"
#include "base/text/Textsystem.h"
#include "base/data/Variant.h"
#include "resource_support.h"

namespace {

using testsupport::cl_Blob;
using testsupport::LogCapture;
using testsupport::WorkTree;
using BlobType = base::tResourceType<cl_Blob>;

std::string Blob(const char* label) {
  cl_Blob* b = BlobType::Get(label);
  return b ? b->m_bytes.c_str() : "<none>";
}

int Count(const LogCapture& log, const std::string& part) {
  int n = 0;
  for (const auto& l : log.get()) n += l.find(part) != std::string::npos;
  return n;
}

// A manager with the "Blob" kind registered, as the platform registers its kinds.
struct Manager {
  Manager() { base::sys::AddResourceType("Blob", new BlobType); }
  ~Manager() = default;
  base::cl_ResourceMgr mgr;
};

const char* kGroupList = R"(<Resources>
  <ResourceGroup file="cache/gui.bin">
    <Blob label="g1" file="gui/one.txt"/>
    <Unknown label="u" file="gui/one.txt"/>
    <Blob label="g2" file="gui/two.txt"/>
  </ResourceGroup>
</Resources>)";

// The group list with both sources and an empty cache folder, as the working folder.
struct GroupTree : WorkTree {
  GroupTree() {
    write("gui/one.txt", "one");
    write("gui/two.txt", "two");
    write("resources.xml", kGroupList);
    std::filesystem::create_directories(path("cache"));
  }
};

TEST(ResourceGroup, CacheIsBuiltReusedAndRebuiltWhenItNoLongerFits) {
  GroupTree tree;

  cl_Blob::s_inits = cl_Blob::s_reads = 0;
  {
    Manager m;
    ASSERT_TRUE(base::sys::AddResources("resources.xml"));
    EXPECT_EQ(Blob("g1"), "one");
    EXPECT_EQ(Blob("g2"), "two");
    EXPECT_EQ(cl_Blob::s_inits, 2);  // the unknown tag is skipped on both sides
  }
  ASSERT_TRUE(base::FileExists("cache/gui.bin"));
  EXPECT_EQ(Blob("g1"), "<none>");  // the manager's types went with it

  // Second run: the cache is read, nothing is built again, even if the sources are gone.
  tree.write("gui/one.txt", "changed");
  cl_Blob::s_inits = 0;
  {
    Manager m;
    m.mgr.AddResources("resources.xml");
    EXPECT_EQ(cl_Blob::s_inits, 0);
    EXPECT_EQ(Blob("g1"), "one");
  }

  // A truncated cache is noticed and rebuilt from the description.
  const std::string cache = tree.read("cache/gui.bin");
  tree.write("cache/gui.bin", cache.substr(0, cache.size() - 3));
  {
    Manager m;
    LogCapture log;
    m.mgr.AddResources("resources.xml");
    EXPECT_EQ(Blob("g1"), "changed");
    EXPECT_EQ(Count(log, "does not match its description"), 1);
    EXPECT_EQ(Count(log, "Unabel"), 0);
  }

  // A description that changed after the cache was built is noticed too.
  std::string list = kGroupList;
  list.replace(list.find("<Blob label=\"g2\""), 0, "<Blob label=\"g3\" file=\"gui/two.txt\"/>");
  tree.write("resources.xml", list);
  cl_Blob::s_inits = 0;
  {
    Manager m;
    m.mgr.AddResources("resources.xml");
    EXPECT_EQ(cl_Blob::s_inits, 3);
    EXPECT_EQ(Blob("g3"), "two");
    EXPECT_EQ(Blob("g2"), "two");
  }
  // No temporary file is left behind in the cache folder.
  int entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(tree.path("cache"))) ++entries;
  EXPECT_EQ(entries, 1);
}

// An archive in a group is cached as a record of its own, its offsets counted from the record's
// start: the cache is built once, then read on every later start, members and all.
TEST(ResourceGroup, ArchivesInAGroupAreCachedAndReadBack) {
  WorkTree tree;
  tree.write("gui/one.txt", "one");
  tree.write("sfx/boom.ogg", "boom");
  tree.write("sfx/deep/hall.ogg", "hall");
  std::filesystem::create_directories(tree.path("cache"));
  tree.write("resources.xml", R"(<Resources>
  <ResourceGroup file="cache/group.bin">
    <Blob label="g1" file="gui/one.txt"/>
    <Archive label="Sfx" file="sfx.pak"><Dir path="sfx" recursive="1"/></Archive>
    <Blob label="g2" file="gui/one.txt"/>
  </ResourceGroup>
</Resources>)");
  // The first start builds the archive from its definition, then the cache.
  for (int start = 0; start < 3; ++start) {
    SCOPED_TRACE(start);
    Manager m;
    LogCapture log;
    ASSERT_TRUE(m.mgr.AddResources("resources.xml"));
    EXPECT_EQ(Count(log, "does not match"), 0);
    EXPECT_EQ(Count(log, "do not line up"), 0);
    EXPECT_EQ(Count(log, "ERROR"), 0);
    EXPECT_EQ(Blob("g1"), "one");
    EXPECT_EQ(Blob("g2"), "one");
    base::Binary out;
    ASSERT_TRUE(base::sys::GetFileFromArchive("Sfx", "SFX/Deep/Hall.ogg", out, false));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(out.get_buffer()), size_t(out.size())), "hall");
    ASSERT_TRUE(base::sys::GetFileFromArchive("Sfx", "sfx/boom.ogg", out, false));
    EXPECT_EQ(out.size(), 4);
    // From the second start on the archive comes from the cache, even without its own file.
    if (start == 1) std::filesystem::remove(tree.path("sfx.pak"));
  }
}

TEST(ResourceGroup, DamagedRecordFilesNoneOfTheGroup) {
  GroupTree tree;
  {
    Manager m;
    m.mgr.AddResources("resources.xml");
  }
  // The second record's length runs past the end; the header still fits. Without the sources
  // the cache cannot be rebuilt, so whatever is filed came from the damaged cache.
  std::string cache = tree.read("cache/gui.bin");
  ASSERT_EQ(cache.size(), 16u + 7u + 7u);
  cache[23] = 100;
  tree.write("cache/gui.bin", cache);
  std::filesystem::remove(tree.path("gui/one.txt"));
  std::filesystem::remove(tree.path("gui/two.txt"));
  Manager m;
  LogCapture log;
  m.mgr.AddResources("resources.xml");
  EXPECT_EQ(Count(log, "records do not line up"), 1);
  EXPECT_EQ(Blob("g1"), "<none>");
  EXPECT_EQ(Blob("g2"), "<none>");
}

TEST(ResourceGroup, EmptyGroupsAndFailingResourcesWriteNoCache) {
  WorkTree tree;
  tree.write("list.xml", R"(<R>
    <ResourceGroup file="empty.bin"/>
    <ResourceGroup file="broken.bin"><Blob label="b" file="missing.txt"/></ResourceGroup>
  </R>)");
  Manager m;
  LogCapture log;
  m.mgr.AddResources("list.xml");
  EXPECT_TRUE(log.contains("Unabel to load ResourceGroup empty.bin. skipping...\n"));
  EXPECT_TRUE(log.contains("ERROR: resource group broken.bin: resource b (Type Blob) failed to load"));
  EXPECT_FALSE(base::FileExists("empty.bin"));
  EXPECT_FALSE(base::FileExists("broken.bin"));
}

TEST(ResourceList, SingleResourcesArchivesAndMessages) {
  WorkTree tree;
  tree.write("a.txt", "A");
  tree.write("Sfx/Boom.ogg", "boom");
  tree.write("loca/german/Hallo.ogg", "hallo");
  tree.write("list.xml", R"(<?xml version="1.0"?>
  <!-- The start-up list: a comment before the root, as the bundled one has. -->
  <Resources>
    <Blob label="single" file="a.txt"/>
    <Blob file="a.txt"/>
    <Blob label="single" file="a.txt"/>
    <Mystery label="m"/>
    <Archive label="Sfx" file="sfx.pak"><Dir path="Sfx"/></Archive>
    <Archive label="Speech" file="loca/speech.pak" localize="1"><Dir path="loca/"/></Archive>
  </Resources>)");
  base::Variant config;
  config.set_element("Localization");
  config.attribute("Language")->set_string("german");
  base::sys::InitTextsystem(config);

  Manager m;
  LogCapture log;
  EXPECT_FALSE(m.mgr.AddResources("missing.xml"));
  EXPECT_TRUE(log.contains("Resource file missing.xml not found.\n"));
  ASSERT_TRUE(m.mgr.AddResources("list.xml"));
  EXPECT_EQ(Blob("single"), "A");
  EXPECT_TRUE(log.contains("Loading resource single (Type Blob, File=a.txt)\n"));
  EXPECT_TRUE(log.contains("has no \"label\""));
  EXPECT_TRUE(log.contains("is defined twice"));
  EXPECT_TRUE(log.contains("Unknown resourcetype found. skipping...\n"));
  EXPECT_TRUE(log.contains("Loading resource Speech (Type Archive, File=loca/german/speech.pak)\n"));

  // Both archives were built because their files were missing, then loaded.
  ASSERT_TRUE(base::FileExists("loca/german/speech.pak"));
  base::Binary out;
  ASSERT_TRUE(base::sys::GetFileFromArchive("Sfx", "sfx/boom.ogg", out, false));
  ASSERT_TRUE(base::sys::GetFileFromArchive("Speech", "LOCA/german/hallo.ogg", out, false));
  EXPECT_EQ(out.size(), 5);

  // "Mesh" registered a second time keeps the first type object.
  base::i_ResourceType* first = m.mgr.GetResourceType("Blob");
  base::sys::AddResourceType("Blob", new BlobType);
  EXPECT_EQ(m.mgr.GetResourceType("Blob"), first);
  base::sys::CleanupTextsystem();
}

// An archive cut short (a disk that filled, a copy broken off) is built anew from its files once,
// and its members read; a whole one is left as it is.
TEST(ResourceList, ADamagedArchiveIsBuiltAnewFromItsFiles) {
  WorkTree tree;
  tree.write("Sfx/Boom.ogg", "boom");
  tree.write("sfx.pak", testsupport::LE(3));  // a member count with no directory behind it
  tree.write("list.xml", R"(<Resources><Archive label="Sfx" file="sfx.pak"><Dir path="Sfx"/></Archive></Resources>)");
  Manager m;
  LogCapture log;
  ASSERT_TRUE(m.mgr.AddResources("list.xml"));
  EXPECT_TRUE(log.contains("ERROR: archive 'sfx.pak': corrupt directory")) << log.text("\n");
  EXPECT_TRUE(log.contains("Warning: archive sfx.pak is built anew from its files\n")) << log.text("\n");
  base::Binary out;
  ASSERT_TRUE(base::sys::GetFileFromArchive("Sfx", "sfx/boom.ogg", out, false));
  EXPECT_EQ(out.size(), 4);
}

// A damaged archive that cannot be built anew, in a folder that has filled up (a file-size limit
// stands in for the full disk) or that is read-only, names the system's cause and no member, and
// keeps the old file; the files it is packed from stand in for it, and nothing calls it unknown.
TEST(ResourceList, AnArchiveThatCannotBeBuiltNamesTheCauseAndItsFilesStandIn) {
  WorkTree tree;
  testsupport::TempDir out;
  tree.write("Sfx/Boom.ogg", std::string(10000, 'b'));
  tree.write("sfx.pak", testsupport::LE(3));
  tree.write("list.xml", R"(<Resources><Archive label="Sfx" file="sfx.pak"><Dir path="Sfx"/></Archive></Resources>)");
  auto load = [](std::string& lines) {
    Manager m;
    LogCapture log;
    const bool listed = m.mgr.AddResources("list.xml");
    base::Binary member;
    const bool read = base::sys::GetFileFromArchive("Sfx", "sfx/boom.ogg", member, false) && member.size() == 10000;
    const bool none = base::sys::GetFileFromArchive("Sfx", "sfx/none.ogg", member, false);
    lines = log.text("\n");
    return listed && read && !none;
  };
  const std::string standIn =
      "Warning: archive sfx.pak is not built; its members are read from their own files (1 found)";

  std::string lines;
  bool loaded = false;
  {
    testsupport::cl_FileSizeLimit full(4096);
    loaded = load(lines);
  }
  EXPECT_TRUE(loaded) << lines;
  EXPECT_NE(lines.find("ERROR: archive 'sfx.pak': not written (" + std::string(std::strerror(EFBIG)) + ")"),
            std::string::npos)
      << lines;
  EXPECT_NE(lines.find(standIn), std::string::npos) << lines;
  for (const char* wrong : {"could not be read", "unknown archivename"})
    EXPECT_EQ(lines.find(wrong), std::string::npos) << lines;
  EXPECT_EQ(tree.read("sfx.pak"), testsupport::LE(3));

  const int status = testsupport::RunWithReadOnlyFolder(tree.path(), out.path("lines.txt"), load);
  lines = out.read("lines.txt");
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == testsupport::kNoReadOnlyMount)
    GTEST_SKIP() << "no private read-only mount here: " << lines;
  EXPECT_EQ(WEXITSTATUS(status), 0) << lines;
  EXPECT_NE(lines.find("ERROR: archive 'Sfx': cannot create sfx.pak (" + std::string(std::strerror(EROFS)) + ")"),
            std::string::npos)
      << lines;
  EXPECT_NE(lines.find(standIn), std::string::npos) << lines;
  EXPECT_EQ(lines.find("unknown archivename"), std::string::npos) << lines;
}

// A clock whose every reading moves on by a fixed step: each load looks that long.
class SteppingClock : public base::i_Clock {
 public:
  explicit SteppingClock(unsigned long step) : m_step(step) {}
  unsigned long Ticks() override { return m_now += m_step; }
  void Sleep(unsigned ms) override { m_now += ms; }

 private:
  unsigned long m_step;
  unsigned long m_now = 0;
};

class TestLoadingScreen : public base::cl_TaskScheduler {
 public:
  void Render() override {}
};

TEST(ResourceList, LoadsAsTasksThroughTheScheduler) {
  WorkTree tree;
  tree.write("a.txt", "A");
  tree.write("b.txt", "B");
  tree.write("game_resources.xml", R"(<R><Blob label="ta" file="a.txt"/><Blob label="tb" file="b.txt"/>
    <ResourceGroup file="g.bin"><Blob label="tg" file="a.txt"/></ResourceGroup></R>)");
  Manager m;
  TestLoadingScreen screen;
  ASSERT_TRUE(m.mgr.LoadResourcesAsTasks(&screen, "game_resources.xml"));
  EXPECT_EQ(screen.GetQueueSize(), 3);
  EXPECT_EQ(Blob("ta"), "<none>");  // nothing runs before the scheduler does

  SteppingClock clock(25);
  base::sys::SetClock(&clock);
  LogCapture log;
  while (screen.GetQueueSize() > 0) screen.Update(0.0f, 0.02f);
  base::sys::SetClock(nullptr);
  EXPECT_FLOAT_EQ(screen.GetDone(), 3.0f);
  EXPECT_EQ(Blob("ta"), "A");
  EXPECT_EQ(Blob("tb"), "B");
  EXPECT_EQ(Blob("tg"), "A");
  EXPECT_TRUE(log.contains("WARNING: t=25ms\n"));
  EXPECT_FALSE(m.mgr.LoadResourcesAsTasks(&screen, "none.xml"));
}

}  // namespace
