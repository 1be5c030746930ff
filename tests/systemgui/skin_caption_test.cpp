// The caption cache: localised once per key, dropped when the language changes, and unchanged
// for texts that are no key.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "base/data/Variant.h"
#include "base/system.h"
#include "support/ScratchFolder.h"
#include "win32dx9/SystemGUI/SystemGUI.h"

namespace {

base::Variant Config(const char* language) {
  base::Variant config;
  config.set_element("Localization");
  config.attribute("Language")->set_string(language);
  return config;
}

std::u16string Caption(const char* text) { return win32dx9::LocalizeCaption(base::tString<base::BaseString>(text)); }

TEST(SkinCaptions, FollowTheLanguageAndLeaveOtherTextsAlone) {
  const std::filesystem::path old = std::filesystem::current_path();
  const std::filesystem::path dir = testsupport::MakeScratchFolder("quillane_captions");
  std::filesystem::create_directories(dir / "loca");
  for (const auto& [language, text] : {std::pair{"english", "Close"}, std::pair{"german", "Schliessen"}}) {
    std::ofstream(dir / "loca" / ("texts_" + std::string(language) + ".xml"))
        << "<Root><Language value=\"" << language << "\"><Label value=\"#gui_close\"><Text value=\"" << text
        << "\"/></Label></Language></Root>";
  }
  std::filesystem::current_path(dir);
  ASSERT_TRUE(base::sys::InitTextsystem(Config("english")));
  EXPECT_EQ(Caption("#gui_close"), u"Close");
  EXPECT_EQ(Caption("#gui_close"), u"Close");  // from the cache
  EXPECT_EQ(Caption("Plain words"), u"Plain words");
  EXPECT_EQ(Caption(""), u"");
  ASSERT_TRUE(base::sys::InitTextsystem(Config("german")));
  EXPECT_EQ(Caption("#gui_close"), u"Schliessen");
  base::sys::CleanupTextsystem();
  win32dx9::ForgetCaptions();
  std::filesystem::current_path(old);
  std::filesystem::remove_all(dir);
}

}  // namespace
