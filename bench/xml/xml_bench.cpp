// Parses a generated scene-like text of about 10 MB: into a Variant tree, into StaticVariant
// words, with pugixml into its DOM and with expat's event callbacks. All four read the same bytes
// (well-formed XML that also sits inside the engine's dialect). Throughput is bytes_per_second.
#include <benchmark/benchmark.h>
#include <expat.h>

#include <pugixml.hpp>
#include <random>
#include <string>

#include "base/data/StaticVariant.h"
#include "base/data/Variant.h"
#include "base/data/Xml.h"

namespace {

// A scene project: layers, hotspots with polygons and localised texts, locators, lights, and a
// navigation mesh of vertices and triangles, repeated until the text passes the wanted size.
std::string MakeScene(size_t bytes) {
  std::mt19937 rng(1234);
  auto num = [&](int range) { return std::to_string(static_cast<int>(rng() % static_cast<unsigned>(range)) - range / 4); };
  auto real = [&]() { return std::to_string(static_cast<int>(rng() % 20000)) + "." + std::to_string(rng() % 100); };
  std::string s = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Scene name=\"castle_hall\" version=\"3\">\n";
  int n = 0;
  while (s.size() < bytes) {
    const std::string id = std::to_string(n++);
    s += "\t<Layer\n\t\tname=\"layer_" + id + "\"\n\t\tfile=\"gfx/scenes/castle/layer_" + id + ".dds\"\n\t\tdepth=\"" + real() +
         "\"\n\t\tscroll=\"" + real() + "\"/>\n";
    s += "\t<Hotspot label=\"hs_" + id + "\" cursor=\"use\">\n";
    s += "\t\t<Polygon>\n";
    for (int i = 0; i < 6; ++i) s += "\t\t\t<Point x=\"" + real() + "\" y=\"" + real() + "\"/>\n";
    s += "\t\t</Polygon>\n";
    s += "\t\t<Text>#Lo_castl1_" + id + " The door is locked &amp; the key is gone.</Text>\n";
    s += "\t</Hotspot>\n";
    s += "\t<Locator name=\"loc_" + id + "\" x=\"" + real() + "\" y=\"" + real() + "\" z=\"" + real() + "\"/>\n";
    s += "\t<Light\n\t\tr=\"0.5\"\n\t\tg=\"0.25\"\n\t\tb=\"1\"\n\t\trange=\"" + real() + "\"/>\n";
    s += "\t<NavMesh>\n";
    for (int i = 0; i < 8; ++i) s += "\t\t<V x=\"" + real() + "\" y=\"" + real() + "\" z=\"" + real() + "\"/>\n";
    for (int i = 0; i < 6; ++i) s += "\t\t<T a=\"" + num(64) + "\" b=\"" + num(64) + "\" c=\"" + num(64) + "\"/>\n";
    s += "\t</NavMesh>\n";
  }
  s += "</Scene>\n";
  return s;
}

const std::string& Scene() {
  static const std::string text = MakeScene(10 * 1024 * 1024);
  return text;
}

void BM_EngineVariant(benchmark::State& state) {
  const std::string& text = Scene();
  for (auto _ : state) {
    base::Variant v;
    if (!base::xml::read_text(v, text.c_str())) state.SkipWithError("parse failed");
    benchmark::DoNotOptimize(v.size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_EngineVariant)->Unit(benchmark::kMillisecond);

// The same without releasing the tree inside the timing: shows how much of the Variant's cost is
// the allocator (every node, attribute record and scalar is its own heap object).
void BM_EngineVariantBuildOnly(benchmark::State& state) {
  const std::string& text = Scene();
  for (auto _ : state) {
    auto* v = new base::Variant;
    if (!base::xml::read_text(*v, text.c_str())) state.SkipWithError("parse failed");
    state.PauseTiming();
    delete v;
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_EngineVariantBuildOnly)->Unit(benchmark::kMillisecond);

void BM_EngineStaticVariant(benchmark::State& state) {
  const std::string& text = Scene();
  for (auto _ : state) {
    base::StaticVariant sv;
    if (!base::xml::read_text(sv, text.c_str())) state.SkipWithError("parse failed");
    benchmark::DoNotOptimize(sv.get_size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_EngineStaticVariant)->Unit(benchmark::kMillisecond);

void BM_Pugixml(benchmark::State& state) {
  const std::string& text = Scene();
  for (auto _ : state) {
    pugi::xml_document doc;
    if (!doc.load_buffer(text.data(), text.size())) state.SkipWithError("parse failed");
    benchmark::DoNotOptimize(doc.first_child());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_Pugixml)->Unit(benchmark::kMillisecond);

void BM_Expat(benchmark::State& state) {
  const std::string& text = Scene();
  struct Counts {
    long elements = 0;
    long characters = 0;
  };
  for (auto _ : state) {
    Counts counts;
    XML_Parser parser = XML_ParserCreate(nullptr);
    XML_SetUserData(parser, &counts);
    XML_SetElementHandler(
        parser, [](void* c, const XML_Char*, const XML_Char**) { ++static_cast<Counts*>(c)->elements; },
        [](void*, const XML_Char*) {});
    XML_SetCharacterDataHandler(parser,
                                [](void* c, const XML_Char*, int n) { static_cast<Counts*>(c)->characters += n; });
    if (XML_Parse(parser, text.data(), static_cast<int>(text.size()), 1) != XML_STATUS_OK)
      state.SkipWithError("parse failed");
    XML_ParserFree(parser);
    benchmark::DoNotOptimize(counts.elements);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_Expat)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
