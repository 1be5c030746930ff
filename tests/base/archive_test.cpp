#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/data/Binary.h"
#include "base/file/FileArchive.h"
#include "base/data/StaticVariant.h"
#include "base/text/Textsystem.h"
#include "base/data/Variant.h"
#include "base/data/Xml.h"
#include "resource_support.h"

namespace {

using testsupport::LogCapture;
using testsupport::LE;
using testsupport::WorkTree;

base::StaticVariant Element(const std::string& xml) {
  base::StaticVariant out;
  EXPECT_TRUE(base::xml::read_text(out, xml.c_str()));
  return out;
}

std::string Member(const base::cl_FileArchive& a, const char* name) {
  base::Binary b;
  if (!a.ReadFile(name, b)) return "<none>";
  if (b.size() == 0) return "";
  return std::string(reinterpret_cast<const char*>(b.get_buffer()), static_cast<size_t>(b.size()));
}

void SetLanguage(const char* language) {
  base::Variant config;
  config.set_element("Localization");
  config.attribute("Language")->set_string(language);
  base::sys::InitTextsystem(config);
}

TEST(ArchiveBuild, PacksFilesAndFoldersKeepingCapitalsAndReadsByAnyCase) {
  WorkTree tree;
  tree.write("Sfx/Boom.OGG", "boom");
  tree.write("Sfx/quiet.ogg", "");
  tree.write("Sfx/Deep/Hall.ogg", "hall");
  tree.write("Music/Theme.ogg", "theme");
  tree.write("Music/notes.txt", "not packed");
  tree.write("Data/Level1.TXT", "level");
  LogCapture log;
  base::cl_FileArchive built;
  ASSERT_TRUE(built.Build(Element(R"(<Archive label="Sfx" file="sfx.pak">
      <Dir path="Sfx" recursive="1"/>
      <Dir path="music/" extension="*.OGG"/>
      <File path="Data/Level1.TXT"/>
      <File path="Data/missing.txt"/>
      <Other path="Data/Level1.TXT"/>
    </Archive>)")));
  EXPECT_EQ(built.GetMemberCount(), 5);
  EXPECT_EQ(log.get().front(), "\nWrite Archive: sfx.pak");
  int added = 0;
  for (const auto& l : log.get()) added += l.rfind("\n Add File To Archive: ", 0) == 0;
  EXPECT_EQ(added, 5);

  base::cl_FileArchive archive;
  ASSERT_TRUE(archive.Init(Element(R"(<Archive label="Sfx" file="SFX.PAK"/>)")));
  EXPECT_EQ(archive.GetMemberCount(), 5);
  EXPECT_EQ(Member(archive, "sfx/boom.ogg"), "boom");
  EXPECT_EQ(Member(archive, "SFX\\BOOM.OGG"), "boom");
  EXPECT_EQ(Member(archive, "Sfx/Deep/Hall.ogg"), "hall");
  EXPECT_EQ(Member(archive, "sfx/quiet.ogg"), "");
  EXPECT_EQ(Member(archive, "data/level1.txt"), "level");
  EXPECT_EQ(Member(archive, "MUSIC/theme.ogg"), "theme");
  EXPECT_EQ(Member(archive, "music/notes.txt"), "<none>");
  EXPECT_EQ(Member(archive, "data/missing.txt"), "<none>");

  // The layout: count, then directory entries in name order, then size-prefixed data.
  const std::string bytes = tree.read("sfx.pak");
  ASSERT_GE(bytes.size(), 16u);
  EXPECT_EQ(bytes.substr(0, 4), LE(5));
  EXPECT_EQ(bytes.substr(4, 4), LE(15));
  EXPECT_EQ(bytes.substr(8, 15), "data/level1.txt");
}

// A symbolic link to a folder above (or to the folder itself) would make a recursive pack run for
// ever: linked folders are not entered, so each file is packed once.
TEST(ArchiveBuild, RecursivePackingDoesNotEnterLinkedFolders) {
  WorkTree tree;
  tree.write("Sfx/Boom.ogg", "boom");
  tree.write("Sfx/Deep/Hall.ogg", "hall");
  std::filesystem::create_directory_symlink("..", tree.path("Sfx/Deep/up"));
  std::filesystem::create_directory_symlink(tree.path("Sfx"), tree.path("Sfx/again"));
  base::cl_FileArchive built;
  LogCapture log;
  ASSERT_TRUE(built.Build(Element(R"(<Archive label="Sfx" file="sfx.pak"><Dir path="Sfx" recursive="1"/></Archive>)")));
  EXPECT_EQ(built.GetMemberCount(), 2);
  base::cl_FileArchive archive;
  ASSERT_TRUE(archive.Init(Element(R"(<Archive label="Sfx" file="sfx.pak"/>)")));
  EXPECT_EQ(Member(archive, "sfx/deep/hall.ogg"), "hall");
}

TEST(ArchiveBuild, LocalisedArchivesLiveInTheLanguageFolder) {
  WorkTree tree;
  SetLanguage("english");
  tree.write("loca/english/speech.txt", "hello");
  base::cl_FileArchive built;
  ASSERT_TRUE(built.Build(Element(R"(<Archive label="Speech" file="loca/speech.pak" localize="1">
      <File path="loca/speech.txt"/></Archive>)")));
  EXPECT_TRUE(base::FileExists("loca/english/speech.pak"));
  base::cl_FileArchive archive;
  ASSERT_TRUE(archive.Init(Element(R"(<Archive label="Speech" file="loca/speech.pak" localize="1"/>)")));
  EXPECT_EQ(Member(archive, "loca/english/speech.txt"), "hello");
  EXPECT_EQ(std::string(base::cl_FileArchive::LocalizePath("data/x.pak", "english").c_str()), "data/x.pak");
  base::sys::CleanupTextsystem();
}

TEST(ArchiveRead, CorruptDirectoriesFailWithOneLine) {
  const std::string data = "abcd";
  // A valid one-member archive: count, {len, name, offset, size}, {size, bytes}.
  const std::string good = LE(1) + LE(1) + "a" + LE(4 + 13 + 4) + LE(4) + LE(4) + data;
  struct Case {
    const char* what;
    std::string bytes;
    const char* problem;
  } cases[] = {
      {"empty file", "", "no member count"},
      {"negative count", LE(-1), "member count out of range"},
      {"huge count", LE(0x10000000) + std::string(20, '\0'), "member count out of range"},
      {"huge name", LE(1) + LE(0x7FFFFFF0) + std::string(12, 'x'), "name length out of range"},
      {"past end", LE(1) + LE(1) + "a" + LE(21) + LE(400) + LE(400) + data, "member extends past end of file"},
      {"size word", LE(1) + LE(1) + "a" + LE(21) + LE(4) + LE(3) + data, "size word does not match"},
      {"overlap", LE(1) + LE(1) + "a" + LE(8) + LE(4) + LE(4) + data, "member overlaps the directory"},
  };
  WorkTree tree;
  tree.write("good.pak", good);
  base::cl_FileArchive ok;
  ASSERT_TRUE(ok.Init(Element(R"(<Archive label="ok" file="good.pak"/>)")));
  EXPECT_EQ(Member(ok, "A"), "abcd");

  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    tree.write("bad.pak", c.bytes);
    LogCapture log;
    base::cl_FileArchive archive;
    EXPECT_FALSE(archive.Init(Element(R"(<Archive label="bad" file="bad.pak"/>)")));
    EXPECT_EQ(archive.GetMemberCount(), 0);
    ASSERT_EQ(log.get().size(), 1u);
    EXPECT_NE(log.get()[0].find("ERROR: archive 'bad.pak': corrupt directory ("), std::string::npos);
    EXPECT_NE(log.get()[0].find(c.problem), std::string::npos) << log.get()[0];
  }
  tree.write("zero.pak", LE(0));
  base::cl_FileArchive empty;
  ASSERT_TRUE(empty.Init(Element(R"(<Archive label="zero" file="zero.pak"/>)")));
  EXPECT_EQ(Member(empty, "a"), "<none>");
  EXPECT_FALSE(empty.Init(Element(R"(<Archive file="zero.pak"/>)")));
}

TEST(ArchiveRead, GetFileFromArchivePrefersLooseFilesWhenAsked) {
  WorkTree tree;
  tree.write("m/level.txt", "packed");
  base::tResourceType<base::cl_FileArchive> type;
  base::cl_FileArchive builder;
  ASSERT_TRUE(builder.Build(Element(R"(<Archive label="MinigameData" file="mg.pak"><File path="m/level.txt"/></Archive>)")));
  ASSERT_TRUE(type.Load(Element(R"(<Archive label="MinigameData" file="mg.pak"/>)")));
  ASSERT_NE(base::GetFileArchive("MinigameData"), nullptr);
  tree.write("m/level.txt", "loose");

  base::Binary out;
  ASSERT_TRUE(base::sys::GetFileFromArchive("MinigameData", "M/Level.txt", out, false));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out.get_buffer()), 6), "packed");
  ASSERT_TRUE(base::sys::GetFileFromArchive("MinigameData", "m/level.txt", out, true));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out.get_buffer()), 5), "loose");
  EXPECT_FALSE(base::sys::GetFileFromArchive("MinigameData", "m/none.txt", out, false));

  LogCapture log;
  EXPECT_FALSE(base::sys::GetFileFromArchive("Nope", "m/level.txt", out, false));
  EXPECT_TRUE(log.contains("\n Error at ArchiveLoad, unknown archivename: Nope"));
  EXPECT_EQ(base::GetFileArchive(nullptr), nullptr);
}

}  // namespace

namespace {

// The writer's bytes equal an archive laid out by hand from the format description (kept as a
// fuzz seed), so a change of the format is noticed.
TEST(ArchiveBuild, BytesMatchTheKeptReferenceFile) {
  WorkTree tree;
  tree.write("SFX/Hall.ogg", "hall");
  tree.write("sfx/boom.ogg", "boom");
  base::cl_FileArchive built;
  ASSERT_TRUE(built.Build(Element(R"(<Archive label="a" file="out.pak">
      <File path="SFX/Hall.ogg"/><File path="sfx/boom.ogg"/></Archive>)")));
  std::ifstream in(std::string(QUILLANE_TEST_DIR) + "/../../fuzz/corpus/archive_dir/two_members", std::ios::binary);
  const std::string reference((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(reference.empty());
  EXPECT_EQ(tree.read("out.pak"), reference);
}

}  // namespace
