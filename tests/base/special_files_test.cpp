// Special files where a file is expected: a named pipe, a folder or a device is refused at once
// with a line that names it (a pipe would block the open for ever, a device would never end), and
// an XML file past the size cap is refused before it is read.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "base/File.h"
#include "base/FileTools.h"
#include "base/app/SystemRoot.h"
#include "base/data/Binary.h"
#include "base/data/StaticVariant.h"
#include "base/data/Variant.h"
#include "base/data/Xml.h"
#include "base/text/Textsystem.h"
#include "base/system.h"
#include "test_support.h"

namespace {

using testsupport::LogCapture;
using testsupport::TempDir;

TEST(SpecialFiles, PipesFoldersAndDevicesAreRefusedWithoutBlocking) {
  TempDir dir;
  ASSERT_EQ(mkfifo(dir.path("pipe.xml").c_str(), 0600), 0);
  std::filesystem::create_directories(dir.path("folder.xml"));
  for (const std::string& path : {dir.path("pipe.xml"), dir.path("folder.xml"), std::string("/dev/zero")}) {
    SCOPED_TRACE(path);
    const std::string line = "ERROR: " + path + ": not a regular file\n";
    LogCapture log;
    base::File f;
    EXPECT_FALSE(f.open(path.c_str(), base::File::STATUS_READ));
    base::Binary bytes;
    EXPECT_FALSE(base::LoadFile(path.c_str(), bytes));
    base::Variant v;
    EXPECT_FALSE(base::xml::read_file(v, path.c_str()));
    base::StaticVariant sv;
    EXPECT_FALSE(base::xml::read_file(sv, path.c_str()));
    ASSERT_GE(log.get().size(), 4u);
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(log.get()[i], line);
  }
}

TEST(SpecialFiles, ConfigAndTextTablesThatAreNotFilesSaySo) {
  TempDir dir;
  const auto old = std::filesystem::current_path();
  std::filesystem::create_directories(dir.path("app/config.xml"));
  std::filesystem::create_directories(dir.path("app/loca/texts_english.xml"));
  ASSERT_EQ(mkfifo(dir.path("app/loca/game_english.xml").c_str(), 0600), 0);
  std::filesystem::current_path(dir.path("app"));
  {
    base::cl_System system;
    system.SetUserDataPath(dir.path("app").c_str());
    LogCapture log;
    base::Variant config;
    EXPECT_FALSE(base::sys::LoadConfig(config, nullptr));
    EXPECT_TRUE(log.contains("config.xml: not a regular file\n"));
    config.set_element("Localization");
    config.attribute("Language")->set_string("english");
    EXPECT_FALSE(base::sys::InitTextsystem(config));
    EXPECT_TRUE(log.contains("game_english.xml: not a regular file\n"));
    base::sys::CleanupTextsystem();
  }
  std::filesystem::current_path(old);
}

TEST(SpecialFiles, XmlPastTheSizeCapIsNotRead) {
  TempDir dir;
  dir.write("huge.xml", "<a/>");
  std::filesystem::resize_file(dir.path("huge.xml"), base::xml::kMaxFileSize + 1);  // sparse
  LogCapture log;
  base::Variant v;
  EXPECT_FALSE(base::xml::read_file(v, dir.path("huge.xml").c_str()));
  base::StaticVariant sv;
  EXPECT_FALSE(base::xml::read_file(sv, dir.path("huge.xml").c_str()));
  ASSERT_EQ(log.get().size(), 2u);
  const std::string line = "ERROR: " + dir.path("huge.xml") + ": too large (67108865 bytes, at most 67108864)\n";
  EXPECT_EQ(log.get()[0], line);
  EXPECT_EQ(log.get()[1], line);
}

}  // namespace
