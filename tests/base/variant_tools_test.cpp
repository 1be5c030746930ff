// Variant paths and tree utilities, exercised the way the session, the options and the editors
// use them: a game-state tree built through paths, merged options, sorted and cleaned lists.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/data/Variant.h"
#include "base/data/VariantTools.h"

using base::Variant;

namespace {

std::string shown(const char* p) { return p ? p : "<null>"; }

// The labels (or "value" attributes when asked) of v's children, "-" for non-elements.
std::string children(const Variant& v, const char* attr = nullptr) {
  std::string out;
  for (int i = 0; i < v.size(); ++i) {
    if (!out.empty()) out += ",";
    const Variant& c = v[i];
    if (!c.is_element()) {
      out += c.is_void() ? "nil" : "-";
      continue;
    }
    if (!attr) {
      out += shown(c.get_label());
      continue;
    }
    base::tString<base::BaseString> s;
    out += c.get_attribute_string(attr, s) ? std::string(s.c_str()) : "?";
  }
  return out;
}

Variant element(const char* label) {
  Variant v;
  v.set_element(label);
  return v;
}

}  // namespace

TEST(VariantPath, GameStateIsBuiltThroughPathsCreatedOnTheWay) {
  Variant state = element("GameState");
  Variant* missions = base::variant_get_element_by_path(state, "Missions", true);
  Variant* current = base::variant_get_attribute_by_path(state, "Missions/Current/Name", true);
  ASSERT_TRUE(missions && current);
  current->set_string("Harbour");
  Variant* inventory = base::variant_get_element_by_path(state, "/Inventory//Tokens/", true);
  ASSERT_TRUE(inventory);
  for (const char* token : {"key", "letter", "coin"}) inventory->add_element("Token").attribute("label")->set_string(token);
  base::variant_get_attribute_by_path(state, "Wealth", true)->set_int(120);  // attribute of the root
  // Adding "Inventory" after "Missions" must not have moved the Missions node away.
  missions->attribute("Done")->set_int(2);

  EXPECT_EQ(children(state), "Missions,Inventory");
  EXPECT_EQ(state("Missions"), missions);
  EXPECT_EQ(state("Inventory/Tokens"), inventory);
  EXPECT_EQ(state("Missions/Nope"), nullptr);
  EXPECT_EQ(state(nullptr), nullptr);
  EXPECT_EQ(state(""), &state);
  EXPECT_EQ(base::variant_get_element_by_path(state, "Missions/Current", false),
            base::variant_get_element_by_path(state, "/Missions//Current/", false));
  EXPECT_EQ(shown(base::get_string(base::variant_get_attribute_by_path(state, "Missions/Current/Name", false))),
            "Harbour");
  EXPECT_EQ(base::get_int(base::variant_get_attribute_by_path(state, "Missions\\Done", false)), 2);
  EXPECT_EQ(base::get_int(state.get_attribute("Wealth")), 120);
  EXPECT_EQ(children(*inventory, "label"), "key,letter,coin");

  // Looking up does not create; a second creating walk finds what the first made.
  EXPECT_EQ(base::variant_get_attribute_by_path(state, "Diary/Page", false), nullptr);
  EXPECT_EQ(base::variant_get_attribute_by_path(state, "Missions/Current/Other", false), nullptr);
  EXPECT_EQ(children(state), "Missions,Inventory");
  EXPECT_EQ(base::variant_get_attribute_by_path(state, "Missions/Current/Name", true), current);
  EXPECT_EQ(state("Missions")->size(), 1);

  // Paths into values that are not elements: nothing is found, creation turns them into arrays.
  state.attribute("Skill")->set_int(3);
  Variant scalar;
  scalar.set_int(4);
  EXPECT_EQ(base::variant_get_element_by_path(scalar, "a", false), nullptr);
  Variant* a = base::variant_get_element_by_path(scalar, "a/b", true);
  ASSERT_NE(a, nullptr);
  EXPECT_TRUE(scalar.is_array());
  EXPECT_EQ(shown(scalar[0].get_label()), "a");
  EXPECT_EQ(base::variant_get_attribute_by_path(scalar, "x", true), nullptr);  // an array has no attributes
}

TEST(VariantPath, AttributeLabelIsTheLastComponent) {
  EXPECT_EQ(base::path_get_attribute_label("Gfx/GfxQuality/Value"), "Value");
  EXPECT_EQ(base::path_get_attribute_label("Width"), "Width");
  EXPECT_EQ(base::path_get_attribute_label("Gfx/"), "");
  EXPECT_EQ(base::path_get_attribute_label(nullptr), "");
}

TEST(VariantSearch, FindByAttributeValueComparesTexts) {
  Variant list = element("List");
  list[0].set_int(1);  // not an element: skipped
  list.add_element("Folder").attribute("value")->set_string("Animations");
  list.add_element("Folder").attribute("value")->set_string("animations");
  list.add_element("Folder").attribute("count")->set_float(2.5f);
  Variant& noattr = list.add_element("Folder");
  EXPECT_EQ(base::variant_find_element_by_attribute_value(list, "value", "animations"), &list[2]);
  EXPECT_EQ(base::variant_find_element_by_attribute_value_case_insensitiv(list, "value", "ANIMATIONS"), &list[1]);
  EXPECT_EQ(base::variant_find_element_by_attribute_value(list, "count", "2.5"), &list[3]);
  EXPECT_EQ(base::variant_find_element_by_attribute_value(list, "value", "none"), nullptr);
  noattr.attribute("value");  // nil reads as the empty shown
  EXPECT_EQ(base::variant_find_element_by_attribute_value(list, "value", ""), &noattr);
  Variant scalar;
  EXPECT_EQ(base::variant_find_element_by_attribute_value(scalar, "value", ""), nullptr);

  Variant* found = base::variant_find_or_add_element(list, "Folder");
  EXPECT_EQ(found, &list[1]);
  Variant* added = base::variant_find_or_add_element(list, "Extra");
  EXPECT_EQ(added, &list.back());
  EXPECT_EQ(list.size(), 6);
}

TEST(VariantEdit, RemovalCompactsAndKeepsOrder) {
  Variant v = element("r");
  for (int x : {1, 0, 2, 0, 0, 3}) {
    Variant& c = v[v.size()];
    if (x) c.set_int(x);
  }
  Variant& three = v[5];
  base::variant_remove_elements_nil(v);
  ASSERT_EQ(v.size(), 3);
  EXPECT_EQ(v[0].get_int() * 100 + v[1].get_int() * 10 + v[2].get_int(), 123);
  EXPECT_EQ(&v[2], &three);  // a survivor keeps its identity

  Variant folders = element("List");
  for (const char* name : {"Hero", "Animations", ".svn", "Villain", "Animations"})
    folders.add_element("Folder").attribute("value")->set_string(name);
  folders.add_element("File").add_element("Inner");  // empty-ish elements are not nil
  folders[6].set_array(0);
  base::variant_remove_elements_by_attribute_value(folders, "value", "Animations");
  base::variant_remove_elements_by_attribute_value(folders, "value", ".svn");
  EXPECT_EQ(children(folders, "value"), "Hero,Villain,?,-");
  base::variant_remove_elements(folders, "Folder");
  EXPECT_EQ(children(folders), "File,-");
  base::variant_remove_elements_nil(folders);
  EXPECT_EQ(folders.size(), 2);
}

TEST(VariantEdit, MergeReplacesChildrenWholeAndOverwritesAttributes) {
  Variant config = element("Config");
  config.attribute("version")->set_int(1);
  Variant& options = config.add_element("Options");
  options.add_element("Gfx").attribute("Quality")->set_int(1);
  options.add_element("Sfx").attribute("MasterVolume")->set_float(0.8f);
  config.add_element("Localization").attribute("Language")->set_string("english");

  Variant saved = element("Config");
  saved.attribute("version")->set_int(2);
  saved.attribute("user")->set_string("anna");
  saved.add_element("Options").add_element("Gfx").attribute("Quality")->set_int(3);
  saved.add_element("Tweakables").attribute("Debug_ConnectAID")->set_int(0);
  saved[2].set_int(9);  // a non-element child is appended as it is

  base::variant_merge_variant(config, saved);
  EXPECT_EQ(children(config), "Options,Localization,Tweakables,-");
  EXPECT_EQ(config.get_attribute("version")->get_int(), 2);
  EXPECT_EQ(shown(config.get_attribute_label(1)), "user");
  EXPECT_EQ(base::get_int(base::variant_get_attribute_by_path(config, "Options/Gfx/Quality", false)), 3);
  // Whole replacement: the Sfx branch of the old Options is gone.
  EXPECT_EQ(config("Options/Sfx"), nullptr);
  Variant expected = element("Options");
  expected.add_element("Gfx").attribute("Quality")->set_int(3);
  EXPECT_TRUE(base::variant_equal(*config.get_element("Options"), expected));
  expected[0].attribute("Quality")->set_float(3.0f);  // same number, other datatype
  EXPECT_FALSE(base::variant_equal(*config.get_element("Options"), expected));
  // The merged copy is independent of the source.
  saved[0][0].attribute("Quality")->set_int(4);
  EXPECT_EQ(base::get_int(base::variant_get_attribute_by_path(config, "Options/Gfx/Quality", false)), 3);

  Variant scalar;
  base::variant_merge_variant(scalar, saved);
  EXPECT_TRUE(scalar.is_void());

  Variant& appended = base::variant_append_variant(config, config[0]);
  EXPECT_EQ(shown(appended.get_label()), "Options");
  EXPECT_EQ(config.size(), 5);
}

TEST(VariantEdit, SortByAttributeIsStableAndLeavesUnkeyedChildrenInPlace) {
  struct row {
    const char* what;
    std::vector<const char*> labels;  // null: a child without the attribute
    const char* sorted;
  };
  const row rows[] = {
      {"plain", {"c", "a", "b"}, "a,b,c"},
      {"stable equal keys", {"b", "a", "b", "a"}, "a,a,b,b"},
      {"unkeyed child is a barrier", {"c", "b", nullptr, "a", "0"}, "b,c,?,0,a"},
      {"one child", {"z"}, "z"},
      {"byte order", {"b", "B", "a", "_"}, "B,_,a,b"},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    Variant list = element("List");
    for (const char* label : r.labels) {
      Variant& c = list.add_element("Item");
      if (label) c.attribute("label")->set_string(label);
    }
    base::variant_sort_by_attribute(list, "label");
    EXPECT_EQ(children(list, "label"), r.sorted);
  }

  // Numbers sort by their texts, so 10 comes before 9; the texts do not share one buffer.
  Variant numbers = element("List");
  for (float f : {9.0f, 10.0f, 2.5f}) numbers.add_element("N").attribute("v")->set_float(f);
  numbers[numbers.size()].set_int(0);  // not an element
  base::variant_sort_by_attribute(numbers, "v");
  EXPECT_EQ(children(numbers, "v"), "10,2.5,9,-");

  // The stable equal-key case keeps the original objects in order.
  Variant pair = element("List");
  Variant& first = pair.add_element("first");
  first.attribute("k")->set_string("x");
  pair.add_element("second").attribute("k")->set_string("x");
  base::variant_sort_by_attribute(pair, "k");
  EXPECT_EQ(&pair[0], &first);
}

namespace {
int g_visits = 0;
void count_and_mark(Variant& v) {
  ++g_visits;
  v.attribute("seen")->set_int(g_visits);
}
}  // namespace

TEST(VariantEdit, ForEachAndRecursiveAttributesWalkElementsOnly) {
  Variant scene = element("Node");
  scene.add_element("Node").add_element("Node");
  scene.add_element("Light");
  scene[2].set_array(1);  // an array ends the descent
  scene[2].add_element("Node");
  g_visits = 0;
  base::variant_for_each(scene, "Node", count_and_mark);
  EXPECT_EQ(g_visits, 3);
  EXPECT_EQ(scene[0][0].get_attribute("seen")->get_int(), 3);  // pre-order
  EXPECT_EQ(scene[1].get_attribute("seen"), nullptr);

  Variant flag;
  flag.set_int(1);
  base::variant_add_attribute_recursive(scene, "visible", flag);
  EXPECT_EQ(base::get_int(scene[0][0].get_attribute("visible")), 1);
  EXPECT_EQ(base::get_int(scene[1].get_attribute("visible")), 1);
  EXPECT_EQ(scene[2][1].get_attribute("visible"), nullptr);
  flag.set_int(0);
  base::variant_add_attribute_recursive(scene, "visible", flag);  // overwrites, adds nothing
  EXPECT_EQ(base::get_int(scene[0].get_attribute("visible")), 0);
  EXPECT_EQ(scene[0].attribute_cnt(), 2);  // "seen" and "visible"
}

TEST(VariantConvert, StringListsRoundTrip) {
  base::list<base::tString<base::BaseString>> tokens;
  for (const char* t : {"key", "", "letter", "coin"}) tokens.emplace_back(t);
  Variant bar;
  bar.set_int(5);  // replaced whole
  base::variant_stringlist_to_variant(bar, tokens);
  EXPECT_EQ(shown(bar.get_label()), "List");
  EXPECT_EQ(children(bar), "String,String,String,String");
  EXPECT_TRUE(bar[0].get_attribute("value")->is_string());

  bar.add_element("Other").attribute("value")->set_string("skipped");
  bar.add_element("String");  // no value: skipped
  base::list<base::tString<base::BaseString>> back;
  back.emplace_back("stale");
  base::variant_variant_to_stringlist(back, bar);
  std::string joined;
  for (const auto& s : back) joined += std::string(s.c_str()) + "|";
  EXPECT_EQ(joined, "key||letter|coin|");

  base::list<base::tString<base::BaseString>> none;
  base::variant_stringlist_to_variant(bar, none);
  EXPECT_EQ(shown(bar.get_label()), "List");
  EXPECT_EQ(bar.size(), 0);
  base::variant_variant_to_stringlist(back, bar);
  EXPECT_TRUE(back.empty());

  Variant labeled = base::variant_labeled_element("Item", "Hello");
  EXPECT_EQ(shown(labeled.get_label()), "Item");
  EXPECT_EQ(labeled.attribute_cnt(), 1);
  EXPECT_EQ(shown(labeled.get_attribute("label")->get_string()), "Hello");
}
