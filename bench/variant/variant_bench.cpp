// Variant look-ups as the game uses them every frame: attributes by name on option- and
// token-sized elements, children by label, "/" paths into the configuration and the game state,
// the search of a token by attribute value, and the deep copy a savegame makes.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "base/data/Variant.h"
#include "base/data/VariantTools.h"

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

}  // namespace

BENCHMARK_MAIN();
