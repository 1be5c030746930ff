// The source tree keeps its layers, and the check itself catches an upward include.
#include <gtest/gtest.h>

#include <string>

#include "LayerCheck.h"

namespace {

const std::string kDir = QUILLANE_TEST_DIR;

layering::cl_LayerRules Rules() {
  layering::cl_LayerRules rules;
  EXPECT_TRUE(rules.Load(kDir + "/layers.txt")) << rules.GetError();
  return rules;
}

std::string Describe(const std::vector<layering::st_Violation>& found) {
  std::string text;
  for (const auto& v : found) text += v.text + "\n";
  return text;
}

TEST(Layering, SourceTreeIncludesOnlyDownward) {
  const auto found = layering::CheckTree(kDir + "/../../sourcecode", Rules());
  EXPECT_TRUE(found.empty()) << Describe(found);
}

TEST(Layering, RulesAreTransitiveAndWildcardsCoverTheirFolders) {
  const layering::cl_LayerRules rules = Rules();
  EXPECT_TRUE(rules.MayInclude("libkrx", "platform/net"));  // through base and platform/*
  EXPECT_TRUE(rules.MayInclude("quillane", "graphics/mesh"));
  EXPECT_TRUE(rules.MayInclude("graphics", "platform/gpu"));
  EXPECT_FALSE(rules.MayInclude("base", "libkrx"));
  EXPECT_FALSE(rules.MayInclude("platform/gpu", "platform/gpux"));
  EXPECT_FALSE(rules.MayInclude("graphics/mesh", "win32dx9"));
  EXPECT_FALSE(rules.MayInclude("_h/dds", "base"));
  EXPECT_EQ(rules.LibraryOf("graphics/mesh/Mesh.h"), "graphics/mesh");
  EXPECT_EQ(rules.LibraryOf("graphics/Model.h"), "graphics");
  EXPECT_EQ(rules.LibraryOf("base/data/Variant.h"), "base");
  EXPECT_EQ(rules.LibraryOf("elsewhere/x.h"), "");
}

// The game's areas: each reaches the areas its line names and what those reach, never one above
// it or one beside it; the program beside the areas reaches them all.
TEST(Layering, GameAreasIncludeOnlyTheAreasTheyName) {
  const layering::cl_LayerRules rules = Rules();
  EXPECT_TRUE(rules.MayInclude("quillane/minigames", "quillane/core"));
  EXPECT_TRUE(rules.MayInclude("quillane/bindings", "quillane/session"));
  EXPECT_TRUE(rules.MayInclude("quillane/gui", "win32dx9/SystemGUI"));
  EXPECT_TRUE(rules.MayInclude("quillane/menu", "quillane/screen"));  // through gui
  EXPECT_TRUE(rules.MayInclude("quillane", "quillane/session"));  // through app
  EXPECT_FALSE(rules.MayInclude("quillane/minigames", "quillane/session"));
  EXPECT_FALSE(rules.MayInclude("quillane/session", "quillane/bindings"));
  EXPECT_FALSE(rules.MayInclude("quillane/savegame", "quillane/menu"));
  EXPECT_FALSE(rules.MayInclude("quillane/settings", "quillane/text"));
  EXPECT_FALSE(rules.MayInclude("quillane/core", "quillane/settings"));
  // Below, but not used: a ladder of floors would allow these.
  EXPECT_FALSE(rules.MayInclude("quillane/gui", "quillane/savegame"));
  EXPECT_FALSE(rules.MayInclude("quillane/gui", "quillane/world"));
  EXPECT_FALSE(rules.MayInclude("quillane/hud", "quillane/script"));
  EXPECT_FALSE(rules.MayInclude("quillane/options", "quillane/actor"));
  EXPECT_EQ(rules.LibraryOf("quillane/main.cpp"), "quillane");
  EXPECT_EQ(rules.LibraryOf("quillane/menu/RootMenu.h"), "quillane/menu");
  EXPECT_TRUE(rules.IsUnlistedArea("quillane/newarea/Loose.h"));
  EXPECT_FALSE(rules.IsUnlistedArea("quillane/main.cpp"));
}

// A small tree with an upward include between libraries, one between game areas and one to an
// area below that the includer's line does not name, a folder without a layer and a game area without one, a file
// that reaches through a header one it stands under, and allowed ones (downward, inside a library or
// area, through an include root, and a third-party header).
TEST(Layering, CheckFindsAnUpwardIncludeInAFixtureTree) {
  const auto found = layering::CheckTree(kDir + "/fixture", Rules());
  ASSERT_EQ(found.size(), 6u) << Describe(found);
  EXPECT_EQ(found[0].file, "base/data/Upward.h");
  EXPECT_EQ(found[0].line, 4);
  EXPECT_EQ(found[0].include, "win32dx9/Platform.h");
  EXPECT_NE(found[0].text.find("base may not include win32dx9"), std::string::npos) << found[0].text;
  EXPECT_EQ(found[1].file, "quillane/gui/Sideways.h");
  EXPECT_EQ(found[1].line, 4);
  EXPECT_NE(found[1].text.find("quillane/gui/Sideways.h:4: includes \"quillane/savegame/SaveFile.h\" "
                               "(quillane/gui may not include quillane/savegame)"),
            std::string::npos)
      << found[1].text;
  EXPECT_EQ(found[2].file, "quillane/minigames/Climb.cpp");
  EXPECT_EQ(found[2].line, 5);
  EXPECT_EQ(found[2].include, "quillane/session/Session.h");
  EXPECT_NE(found[2].text.find("quillane/minigames/Climb.cpp:5: includes \"quillane/session/Session.h\" "
                               "(quillane/minigames may not include quillane/session)"),
            std::string::npos)
      << found[2].text;
  EXPECT_EQ(found[3].file, "quillane/newarea/Loose.h");
  EXPECT_NE(found[3].text.find("folder 'quillane/newarea' has no line in layers.txt"), std::string::npos)
      << found[3].text;
  EXPECT_EQ(found[4].file, "stray/Loose.h");
  EXPECT_NE(found[4].text.find("no line in layers.txt"), std::string::npos) << found[4].text;
  EXPECT_EQ(found[5].text,
            "quillane/editor/Editor.cpp:4: includes \"quillane/editor/Tool.h\" "
            "(quillane/editor/Editor.cpp stands under quillane/editor/LayerMenus.h)");
}

}  // namespace
