// Variant look-ups as the game uses them every frame: attributes by name on option- and
// token-sized elements, children by label, "/" paths into the configuration and the game state,
// the search of a token by attribute value, and the deep copy a savegame makes. Then whole trees
// built, copied and freed, with pugixml's DOM doing the same as the anchor (ratios at the end).

#include <benchmark/benchmark.h>

#include <pugixml.hpp>
#include <string>
#include <vector>

#include "base/data/Variant.h"
#include "base/data/VariantTools.h"
#include "base/data/Xml.h"

#include "../BenchRatios.h"
#include "../SceneXml.h"

using base::Variant;

namespace {

// An element with n attributes "attr0".."attrN-1" and n child elements "Child0".."ChildN-1".
Variant make_element(int n) {
  Variant e;
  e.set_element("Element");
  for (int i = 0; i < n; ++i) {
    e.attribute(("attr" + std::to_string(i)).c_str())->set_int(i);
    e.add_element(("Child" + std::to_string(i)).c_str()).attribute("label")->set_int(i);
  }
  return e;
}

// A game state shaped like the session's: missions with a handful of attributes, an inventory
// of tokens, a token bar, diary pages and a few counters.
Variant make_game_state() {
  Variant s;
  s.set_element("GameState");
  Variant* missions = base::variant_get_element_by_path(s, "Missions", true);
  for (int i = 0; i < 30; ++i) {
    Variant& m = missions->add_element(("Mission" + std::to_string(i)).c_str());
    m.attribute("state")->set_int(i % 3);
    m.attribute("step")->set_int(i);
    m.attribute("label")->set_string(("mission_" + std::to_string(i)).c_str());
  }
  missions->add_element("Current").attribute("Name")->set_string("Mission17");
  Variant* inventory = base::variant_get_element_by_path(s, "Inventory", true);
  for (int i = 0; i < 40; ++i) {
    Variant& t = inventory->add_element("Token");
    t.attribute("label")->set_string(("token_" + std::to_string(i)).c_str());
    t.attribute("count")->set_int(1);
    t.attribute("new")->set_int(0);
  }
  base::variant_get_element_by_path(s, "TokenOrder", true);
  base::variant_get_element_by_path(s, "TokenBar", true);
  Variant* diary = base::variant_get_element_by_path(s, "Diary", true);
  for (int i = 0; i < 20; ++i) diary->add_element("Page").attribute("id")->set_int(i);
  s.attribute("Wealth")->set_int(250);
  s.attribute("Spycraft")->set_int(3);
  s.attribute("Skill")->set_int(5);
  return s;
}

Variant make_config() {
  Variant c;
  c.set_element("Config");
  const char* groups[] = {"Gfx", "Sfx", "Game", "Display", "Controls"};
  const char* names[] = {"GfxQuality", "Reflections", "SceneLOD", "MasterVolume", "ShowBubbles",
                         "AutoFadeInterface", "MinigamesPanicButton", "Subtitles"};
  for (const char* g : groups)
    for (const char* n : names) {
      Variant* v = base::variant_get_attribute_by_path(c, (std::string("Options/") + g + "/" + n + "/Value").c_str(), true);
      v->set_float(1.0f);
    }
  return c;
}

void BM_GetAttributeByName(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const Variant e = make_element(n);
  const std::string last = "attr" + std::to_string(n - 1);
  const std::string mid = "attr" + std::to_string(n / 2);
  for (auto _ : state) {
    benchmark::DoNotOptimize(e.get_attribute(last.c_str()));
    benchmark::DoNotOptimize(e.get_attribute(mid.c_str()));
  }
  state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_GetAttributeByName)->Arg(3)->Arg(8)->Arg(16);

void BM_GetAttributeInt(benchmark::State& state) {
  const Variant e = make_element(8);
  int v = 0;
  for (auto _ : state) {
    e.get_attribute_int("attr5", v);
    benchmark::DoNotOptimize(v);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GetAttributeInt);

void BM_GetElementByLabel(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Variant e = make_element(n);
  const std::string last = "Child" + std::to_string(n - 1);
  const std::string mid = "Child" + std::to_string(n / 2);
  for (auto _ : state) {
    benchmark::DoNotOptimize(e.get_element(last.c_str()));
    benchmark::DoNotOptimize(e.get_element(mid.c_str()));
  }
  state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_GetElementByLabel)->Arg(8)->Arg(32)->Arg(128);

void BM_ChildByIndexWalk(benchmark::State& state) {
  Variant s = make_game_state();
  Variant& inventory = *s.get_element("Inventory");
  for (auto _ : state) {
    int sum = 0;
    for (int i = 0; i < inventory.size(); ++i) sum += base::get_int(inventory[i].get_attribute("count"));
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * inventory.size());
}
BENCHMARK(BM_ChildByIndexWalk);

void BM_OptionValueByPath(benchmark::State& state) {
  Variant c = make_config();
  for (auto _ : state)
    benchmark::DoNotOptimize(base::variant_get_attribute_by_path(c, "Options/Controls/Subtitles/Value", false));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_OptionValueByPath);

void BM_GameStatePathOperator(benchmark::State& state) {
  const Variant s = make_game_state();
  for (auto _ : state) benchmark::DoNotOptimize(s("Missions/Current"));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GameStatePathOperator);

void BM_FindTokenByAttributeValue(benchmark::State& state) {
  Variant s = make_game_state();
  Variant& inventory = *s.get_element("Inventory");
  for (auto _ : state) benchmark::DoNotOptimize(base::variant_find_element_by_attribute_value(inventory, "label", "token_39"));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FindTokenByAttributeValue);

void BM_DeepCopyGameState(benchmark::State& state) {
  const Variant s = make_game_state();
  for (auto _ : state) {
    Variant copy(s);
    benchmark::DoNotOptimize(copy.get_datatype());
  }
}
BENCHMARK(BM_DeepCopyGameState);

// ---- whole trees against pugixml

// A scene's shape built through each API: per block a layer (two texts, two numbers), a hotspot
// with a polygon of six points and a text, and a navigation mesh of fourteen three-number
// elements; 2,000 blocks, about 54,000 elements.
constexpr int kBlocks = 2000;

void BM_VariantBuildAndFree(benchmark::State& state) {
  for (auto _ : state) {
    Variant scene;
    scene.set_element("Scene");
    for (int k = 0; k < kBlocks; ++k) {
      Variant& layer = scene.add_element("Layer");
      layer.attribute("name")->set_string("layer");
      layer.attribute("file")->set_string("gfx/scenes/castle/layer.dds");
      layer.attribute("depth")->set_float(static_cast<float>(k));
      layer.attribute("scroll")->set_float(0.5f);
      Variant& hotspot = scene.add_element("Hotspot");
      Variant& polygon = hotspot.add_element("Polygon");
      for (int i = 0; i < 6; ++i) {
        Variant& point = polygon.add_element("Point");
        point.attribute("x")->set_float(static_cast<float>(i));
        point.attribute("y")->set_float(static_cast<float>(k));
      }
      hotspot[hotspot.size()].set_string("The door is locked & the key is gone.");
      Variant& mesh = scene.add_element("NavMesh");
      for (int i = 0; i < 14; ++i) {
        Variant& v = mesh.add_element(i < 8 ? "V" : "T");
        v.attribute("x")->set_float(1.0f);
        v.attribute("y")->set_float(2.0f);
        v.attribute("z")->set_float(3.0f);
      }
    }
    benchmark::DoNotOptimize(scene.size());
  }
  state.SetItemsProcessed(state.iterations() * kBlocks * 27);
}
BENCHMARK(BM_VariantBuildAndFree)->Unit(benchmark::kMillisecond);

void BM_PugixmlBuildAndFree(benchmark::State& state) {
  for (auto _ : state) {
    pugi::xml_document doc;
    pugi::xml_node scene = doc.append_child("Scene");
    for (int k = 0; k < kBlocks; ++k) {
      pugi::xml_node layer = scene.append_child("Layer");
      layer.append_attribute("name").set_value("layer");
      layer.append_attribute("file").set_value("gfx/scenes/castle/layer.dds");
      layer.append_attribute("depth").set_value(static_cast<float>(k));
      layer.append_attribute("scroll").set_value(0.5f);
      pugi::xml_node hotspot = scene.append_child("Hotspot");
      pugi::xml_node polygon = hotspot.append_child("Polygon");
      for (int i = 0; i < 6; ++i) {
        pugi::xml_node point = polygon.append_child("Point");
        point.append_attribute("x").set_value(static_cast<float>(i));
        point.append_attribute("y").set_value(static_cast<float>(k));
      }
      hotspot.append_child(pugi::node_pcdata).set_value("The door is locked & the key is gone.");
      pugi::xml_node mesh = scene.append_child("NavMesh");
      for (int i = 0; i < 14; ++i) {
        pugi::xml_node v = mesh.append_child(i < 8 ? "V" : "T");
        v.append_attribute("x").set_value(1.0f);
        v.append_attribute("y").set_value(2.0f);
        v.append_attribute("z").set_value(3.0f);
      }
    }
    benchmark::DoNotOptimize(scene.first_child());
  }
  state.SetItemsProcessed(state.iterations() * kBlocks * 27);
}
BENCHMARK(BM_PugixmlBuildAndFree)->Unit(benchmark::kMillisecond);

// The 10 MB scene read once, then copied and freed (a savegame's snapshot of a loaded tree).
void BM_VariantCopyAndFree(benchmark::State& state) {
  Variant tree;
  if (!base::xml::read_text(tree, benchscene::Scene().c_str())) state.SkipWithError("parse failed");
  for (auto _ : state) {
    Variant copy(tree);
    benchmark::DoNotOptimize(copy.size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * benchscene::Scene().size()));
}
BENCHMARK(BM_VariantCopyAndFree)->Unit(benchmark::kMillisecond);

void BM_PugixmlCopyAndFree(benchmark::State& state) {
  pugi::xml_document tree;
  if (!tree.load_buffer(benchscene::Scene().data(), benchscene::Scene().size())) state.SkipWithError("parse failed");
  for (auto _ : state) {
    pugi::xml_document copy;
    copy.reset(tree);
    benchmark::DoNotOptimize(copy.first_child());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * benchscene::Scene().size()));
}
BENCHMARK(BM_PugixmlCopyAndFree)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchscene::WarmHeap();
  return benchratios::RunWithRatios(argc, argv,
                                    {{"Variant / pugixml (build and free)", "BM_VariantBuildAndFree", "BM_PugixmlBuildAndFree"},
                                     {"Variant / pugixml (copy and free)", "BM_VariantCopyAndFree", "BM_PugixmlCopyAndFree"}});
}
