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

// A small tree with one upward include, one from a folder without a layer, and allowed ones
// (downward, inside a library, through an include root, and a third-party header).
TEST(Layering, CheckFindsAnUpwardIncludeInAFixtureTree) {
  const auto found = layering::CheckTree(kDir + "/fixture", Rules());
  ASSERT_EQ(found.size(), 2u) << Describe(found);
  EXPECT_EQ(found[0].file, "base/data/Upward.h");
  EXPECT_EQ(found[0].line, 4);
  EXPECT_EQ(found[0].include, "win32dx9/Platform.h");
  EXPECT_NE(found[0].text.find("base may not include win32dx9"), std::string::npos) << found[0].text;
  EXPECT_EQ(found[1].file, "stray/Loose.h");
  EXPECT_NE(found[1].text.find("no line in layers.txt"), std::string::npos) << found[1].text;
}

}  // namespace
