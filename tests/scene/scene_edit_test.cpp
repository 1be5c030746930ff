// Editing a shown scene: every add, update, remove and move keeps the description and the live
// lists alike, and both survive SaveProjectFile and a rebuild; the locator and sort-line picks.
#include <gtest/gtest.h>

#include "scene_test_support.h"

namespace scenetest {
namespace {

using quillane::cl_Scene;

class SceneEdit : public SceneTest {};

// Labels of a description group's children.
std::string GroupLabels(cl_Scene& scene, const char* group) {
  std::string out;
  const base::Variant* g = scene.GetSettings().get_element(group);
  for (int i = 0; g && i < g->size(); ++i)
    out += (out.empty() ? "" : ",") + std::string(base::get_string((*g)[i].get_attribute("label")) ? base::get_string((*g)[i].get_attribute("label")) : "");
  return out;
}

template <class List>
std::string Names(const List& list) {
  std::string out;
  for (auto* e : list) out += (out.empty() ? "" : ",") + std::string(e->name.c_str());
  return out;
}

std::string HotspotLabels(const cl_Scene& scene) {
  std::string out;
  for (auto* h : scene.HotSpots) out += (out.empty() ? "" : ",") + std::string(h->label.c_str());
  return out;
}

// Description and live lists of the layer groups, locators and hotspots agree.
void ExpectAlike(cl_Scene& scene) {
  EXPECT_EQ(GroupLabels(scene, "BackgroundElements"), Labels(scene.BackgroundElements));
  EXPECT_EQ(GroupLabels(scene, "StageElements"), Labels(scene.StageElements));
  EXPECT_EQ(GroupLabels(scene, "ForegroundElements"), Labels(scene.ForegroundElements));
  EXPECT_EQ(GroupLabels(scene, "Locators"), Names(scene.Locators));
  EXPECT_EQ(GroupLabels(scene, "HotSpots"), HotspotLabels(scene));
}

TEST_F(SceneEdit, EditsKeepDescriptionAndLiveListsAlikeThroughASaveAndReload) {
  WriteTinyScene();
  cl_Scene scene;
  scene.LoadProjectFile("Tiny");
  scene.ReadFromVariant(true);
  ExpectAlike(scene);

  scene.AddElement("StageElements", Xml(R"(<L label="crate" file="post.tga" x="16" y="8" w="16" h="30"/>)"), true);
  scene.AddElement("Locators", Xml(R"(<L label="Door" x="4" z="5"/>)"), true);
  scene.AddElement("HotSpots", Xml(R"(<H label="crate"><P x="1" y="1"/><P x="9" y="1"/><P x="9" y="9"/></H>)"), true);
  scene.AddElement("NavMeshes", Xml(R"(<N file="later.xml"/>)"), true);  // the description only
  EXPECT_EQ(Labels(scene.StageElements), "post,flame,crate");
  EXPECT_TRUE(scene.NavMeshes.empty());
  EXPECT_EQ(scene.GetSettings().get_element("NavMeshes")->size(), 1);
  ExpectAlike(scene);

  scene.UpdateElement("StageElements", Xml(R"(<L label="post" file="post.tga" x="16" y="8" w="16" h="30" ysort="99"/>)"), true);
  EXPECT_EQ(Labels(scene.StageElements), "post,flame,crate");  // rebuilt in its place
  EXPECT_EQ(scene.FindLayer("post")->GetYSort(), 99);
  scene.UpdateElement("Locators", Xml(R"(<L label="Door" x="40" z="5"/>)"), true);
  EXPECT_EQ(scene.FindLocator("Door")->locator.GetPos().x, 40.0f);
  scene.UpdateElement("StageElements", Xml(R"(<L label="nothing" file="post.tga"/>)"), true);  // no such child
  ExpectAlike(scene);

  scene.MoveElement("StageElements", "crate", true);
  EXPECT_EQ(Labels(scene.StageElements), "post,crate,flame");
  scene.MoveElement("StageElements", "post", true);  // first stays first
  scene.MoveElement("StageElements", "flame", false);  // last stays last
  EXPECT_EQ(Labels(scene.StageElements), "post,crate,flame");
  scene.MoveElement("Locators", "Door", true);
  EXPECT_EQ(Names(scene.Locators), "Door,Start");
  ExpectAlike(scene);

  // A label in the stage group and, alike, in the background list: only the stage one goes.
  scene.AddElement("BackgroundElements", Xml(R"(<L label="crate" file="post.tga"/>)"), true);
  scene.RemoveElement("StageElements", "crate");
  EXPECT_EQ(Labels(scene.StageElements), "post,flame");
  EXPECT_EQ(Labels(scene.BackgroundElements), "bg,crate");
  scene.RemoveElement("HotSpots", "crate");
  scene.RemoveElement("Locators", "nobody");
  ExpectAlike(scene);

  ASSERT_TRUE(scene.SaveProjectFile());
  cl_Scene reloaded;
  reloaded.LoadProjectFile("Tiny");
  reloaded.ReadFromVariant(true);
  EXPECT_EQ(Labels(reloaded.StageElements), "post,flame");
  EXPECT_EQ(Labels(reloaded.BackgroundElements), "bg,crate");
  EXPECT_EQ(Names(reloaded.Locators), "Door,Start");
  EXPECT_EQ(HotspotLabels(reloaded), "post");
  EXPECT_EQ(reloaded.FindLayer("post")->GetYSort(), 99);
  ExpectAlike(reloaded);
}

TEST_F(SceneEdit, UpdatingALightFindsTheFirstOnlyWithoutALabel) {
  WriteTinyScene();
  cl_Scene scene;
  scene.LoadProjectFile("Tiny");
  scene.ReadFromVariant(true);
  scene.UpdateElement("Lights", Xml(R"(<Light type="point" nx="1" ny="2" nz="3"/>)"), true);
  ASSERT_EQ(scene.Lights.size(), 2u);
  EXPECT_EQ(scene.Lights.front()->kind, quillane::LIGHT_POINT);
  EXPECT_EQ(base::get_string(scene.GetSettings().get_element("Lights")->child(0)->get_attribute("type")), std::string("point"));
  scene.UpdateElement("Lights", Xml(R"(<Light label="named" type="directional"/>)"), true);
  EXPECT_EQ(scene.Lights.front()->kind, quillane::LIGHT_POINT);
}

TEST_F(SceneEdit, LocatorAndSortLinePicksStopShortOfTheirLimits) {
  CopyDemoScene("Office");
  cl_Scene scene;
  scene.LoadProjectFile("Office");
  scene.ReadFromVariant(true);
  scene.GetCamera().GetProjectionMatrix();
  const base::tVector3<float> at = scene.GetCamera().World2Screen(scene.FindLocator("Start")->locator.GetPos());
  EXPECT_EQ(scene.PickLocator(at.x + 14.9f, at.y - 14.9f), scene.FindLocator("Start"));
  EXPECT_EQ(scene.PickLocator(at.x + 15.0f, at.y), nullptr);
  EXPECT_EQ(scene.PickLocator(at.x, at.y - 15.5f), nullptr);

  const quillane::cl_Layer* desk = scene.FindLayer("desk");
  const float y = static_cast<float>(desk->GetYSort()), mid = desk->GetX() + desk->GetW() * 0.5f;
  EXPECT_EQ(scene.PickStageSortLine(mid, y + 4.9f), desk);
  EXPECT_EQ(scene.PickStageSortLine(mid, y - 5.0f), nullptr);
  EXPECT_EQ(scene.PickStageSortLine(desk->GetX(), y), nullptr);
  EXPECT_EQ(scene.PickStageSortLine(desk->GetX() + desk->GetW(), y), nullptr);
}

}  // namespace
}  // namespace scenetest
