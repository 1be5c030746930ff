#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

#include "base/app/SystemRoot.h"
#include "base/data/Variant.h"
#include "base/data/VariantTools.h"
#include "base/system.h"
#include "test_support.h"

namespace {

using testsupport::LogCapture;
using testsupport::TempDir;

// Runs the test with the working directory (the application path) in app/ and the user data path
// in user/ of a scratch folder.
class Config : public testing::Test {
 protected:
  void SetUp() override {
    m_oldCwd = std::filesystem::current_path();
    std::filesystem::create_directories(m_dir.path("app"));
    std::filesystem::create_directories(m_dir.path("user"));
    std::filesystem::current_path(m_dir.path("app"));
    m_system.SetUserDataPath(m_dir.path("user").c_str());
  }
  void TearDown() override { std::filesystem::current_path(m_oldCwd); }

  static std::string ConfigText(const char* quality) {
    return std::string("<?xml version=\"1.0\"?>\n<!-- the user's settings -->\n<Config>\n\t<Options>\n\t\t<Gfx>\n\t\t\t<GfxQuality Value=\"") +
           quality + "\"/>\n\t\t</Gfx>\n\t</Options>\n</Config>\n";
  }

  TempDir m_dir;
  std::filesystem::path m_oldCwd;
  base::cl_System m_system;
};

TEST_F(Config, UserFileFirstThenTheApplicationFolder) {
  EXPECT_EQ(std::string(base::sys::GetApplicationPath().c_str()),
            std::filesystem::canonical(m_dir.path("app")).string());
  m_dir.write("app/config.xml", ConfigText("1"));
  m_dir.write("user/config.xml", ConfigText("3"));
  ASSERT_TRUE(m_system.LoadConfig(nullptr));
  EXPECT_EQ(base::get_int(base::sys::GetOptionValue("Gfx/GfxQuality/Value")), 3);

  std::filesystem::remove(m_dir.path("user/config.xml"));
  ASSERT_TRUE(m_system.LoadConfig("config.xml"));
  EXPECT_EQ(base::get_int(base::sys::GetOptionValue("Gfx/GfxQuality/Value")), 1);

  // The system configuration is asked for as "Config.xml": the same file, whatever the case.
  base::Variant other;
  ASSERT_TRUE(base::sys::LoadConfig(other, "Config.xml"));
  EXPECT_STREQ(base::get_label(&other), "Config");

  std::filesystem::remove(m_dir.path("app/config.xml"));
  EXPECT_FALSE(base::sys::LoadConfig(other, nullptr));
}

TEST_F(Config, MalformedFileIsRejectedWithALogLine) {
  m_dir.write("user/config.xml", "<Config>\n\t<Options>\n");
  LogCapture log;
  base::Variant tree;
  EXPECT_FALSE(base::sys::LoadConfig(tree, nullptr));
  ASSERT_FALSE(log.get().empty());
  EXPECT_TRUE(log.contains("ERROR:"));
  EXPECT_TRUE(log.contains("config.xml"));
}

TEST_F(Config, OptionPaths) {
  EXPECT_EQ(base::sys::GetOptions(), nullptr);
  EXPECT_EQ(base::sys::GetOptionValue("Gfx/GfxQuality/Value"), nullptr);

  // A tree without "Options" gives null and stays without it.
  m_dir.write("user/config.xml", "<Config><Display Width=\"800\"/></Config>");
  ASSERT_TRUE(m_system.LoadConfig(nullptr));
  EXPECT_EQ(base::sys::GetOptionValue("Gfx/GfxQuality/Value"), nullptr);
  EXPECT_EQ(base::sys::GetOptions(), nullptr);
  EXPECT_EQ(base::sys::GetConfig().size(), 1);

  m_dir.write("user/config.xml", ConfigText("2"));
  ASSERT_TRUE(m_system.LoadConfig(nullptr));
  ASSERT_NE(base::sys::GetOptions(), nullptr);
  base::Variant* quality = base::sys::GetOptionValue("Gfx/GfxQuality/Value");
  ASSERT_NE(quality, nullptr);
  EXPECT_TRUE(quality->is_float());  // numbers read from XML are floats
  EXPECT_EQ(quality->get_int(), 2);
  EXPECT_EQ(base::sys::GetOptionValue(nullptr), nullptr);
  EXPECT_EQ(base::sys::GetOptionValue("Gfx/GfxQuality/Missing"), nullptr);
  EXPECT_EQ(base::sys::GetOptionValue("Sfx/MasterVolume/Value"), nullptr);
  EXPECT_EQ(base::sys::GetOptionValue("Gfx"), nullptr);  // names an attribute of "Options"
  EXPECT_EQ(base::sys::GetOptions()->size(), 1);        // nothing was added on the way
}

TEST_F(Config, SaveReplacesAWriteProtectedFile) {
  m_dir.write("user/config.xml", ConfigText("2"));
  ASSERT_TRUE(m_system.LoadConfig(nullptr));
  chmod(m_dir.path("user/config.xml").c_str(), 0444);

  base::sys::GetOptionValue("Gfx/GfxQuality/Value")->set_int(4);
  EXPECT_TRUE(base::sys::SaveConfig(nullptr));

  base::Variant back;
  ASSERT_TRUE(base::sys::LoadConfig(back, nullptr));
  base::Variant* q = base::variant_get_attribute_by_path(back, "Options/Gfx/GfxQuality/Value", false);
  EXPECT_EQ(base::get_int(q), 4);
  EXPECT_FALSE(std::filesystem::exists(m_dir.path("app/config.xml")));  // written where the user's file is

  // Another name goes beside it.
  EXPECT_TRUE(base::sys::SaveConfig("saved.xml"));
  EXPECT_TRUE(std::filesystem::exists(m_dir.path("user/saved.xml")));
}

TEST_F(Config, SaveIntoAMissingFolderFails) {
  m_system.SetUserDataPath(m_dir.path("gone/deeper").c_str());
  LogCapture log;
  EXPECT_FALSE(base::sys::SaveConfig(nullptr));
  EXPECT_TRUE(log.contains("ERROR:"));
}

}  // namespace
