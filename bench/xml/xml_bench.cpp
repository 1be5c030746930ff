// Parses a generated scene-like text of about 10 MB: into a Variant tree, into StaticVariant
// words, with pugixml into its DOM and with expat's event callbacks. All four read the same bytes
// (well-formed XML that also sits inside the engine's dialect). Throughput is bytes_per_second;
// the ratios to pugixml follow the table.
#include <benchmark/benchmark.h>
#include <expat.h>

#include <pugixml.hpp>
#include <string>

#include "base/data/StaticVariant.h"
#include "base/data/Variant.h"
#include "base/data/Xml.h"

#include "../BenchRatios.h"
#include "../SceneXml.h"

namespace {

using benchscene::Scene;

void BM_EngineVariant(benchmark::State& state) {
  const std::string& text = Scene();
  for (auto _ : state) {
    base::Variant v;
    if (!base::xml::read_text(v, text.c_str())) {
      state.SkipWithError("parse failed");
      break;
    }
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
    if (!base::xml::read_text(*v, text.c_str())) {
      state.SkipWithError("parse failed");
      break;
    }
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
    if (!base::xml::read_text(sv, text.c_str())) {
      state.SkipWithError("parse failed");
      break;
    }
    benchmark::DoNotOptimize(sv.get_size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_EngineStaticVariant)->Unit(benchmark::kMillisecond);

void BM_Pugixml(benchmark::State& state) {
  const std::string& text = Scene();
  for (auto _ : state) {
    pugi::xml_document doc;
    if (!doc.load_buffer(text.data(), text.size())) {
      state.SkipWithError("parse failed");
      break;
    }
    benchmark::DoNotOptimize(doc.first_child());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_Pugixml)->Unit(benchmark::kMillisecond);

void BM_PugixmlBuildOnly(benchmark::State& state) {
  const std::string& text = Scene();
  for (auto _ : state) {
    auto* doc = new pugi::xml_document;
    if (!doc->load_buffer(text.data(), text.size())) {
      state.SkipWithError("parse failed");
      break;
    }
    state.PauseTiming();
    delete doc;
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_PugixmlBuildOnly)->Unit(benchmark::kMillisecond);

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
    if (XML_Parse(parser, text.data(), static_cast<int>(text.size()), 1) != XML_STATUS_OK) {
      state.SkipWithError("parse failed");
      break;
    }
    XML_ParserFree(parser);
    benchmark::DoNotOptimize(counts.elements);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_Expat)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchscene::WarmHeap();
  return benchratios::RunWithRatios(
      argc, argv,
      {{"StaticVariant / pugixml (parse and free)", "BM_EngineStaticVariant", "BM_Pugixml"},
       {"Variant / pugixml (parse and free)", "BM_EngineVariant", "BM_Pugixml"},
       {"Variant / pugixml (parse only)", "BM_EngineVariantBuildOnly", "BM_PugixmlBuildOnly"}});
}
