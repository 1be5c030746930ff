// Loading the demo actor "female": the import from its sources (mesh, skeleton with every clip,
// two textures compressed at three levels) against the read of its compiled file, and that read
// against the floor of merely reading the file's bytes into memory. The two ratios tell what the
// compiled file saves and what its reader costs beyond the disk.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "../BenchRatios.h"
#include "base/data/Binary.h"
#include "base/FileTools.h"
#include "base/system.h"
#include "graphics/image/Image.h"
#include "graphics/mesh/Skeleton.h"
#include "quillane/actor/ActorRegistry.h"

namespace {

namespace fs = std::filesystem;

void Quiet(const char*) {}

// A scratch working folder with a copy of the demo figures, entered for the process's lifetime.
bool EnterScratchFolder() {
  static const bool entered = [] {
    const fs::path source = fs::path(QUILLANE_DATA_DIR) / "characters";
    if (!fs::exists(source / "female" / "female_skeleton.xml")) return false;
    static const fs::path dir = fs::temp_directory_path() / ("quillane_actor_bench_" + std::to_string(std::random_device()()));
    fs::remove_all(dir);
    std::atexit([] {
      std::error_code ec;
      fs::current_path(fs::temp_directory_path(), ec);
      fs::remove_all(dir, ec);
    });
    fs::create_directories(dir);
    fs::copy(source, dir / "characters", fs::copy_options::recursive);
    fs::current_path(dir);
    base::sys::SetDebuggerOutput(Quiet);
    gfx::RegisterBitmapLoaders();
    base::RegisterSkeletonResourceType();
    return true;
  }();
  return entered;
}

// One load of "female" by a fresh registry; with import, the compiled file is removed first.
void LoadFemale(benchmark::State& state, bool import) {
  if (!EnterScratchFolder()) {
    state.SkipWithError("demo data not generated");
    return;
  }
  for (auto _ : state) {
    if (import) {
      state.PauseTiming();
      fs::remove("characters/female.dat");
      state.ResumeTiming();
    }
    quillane::cl_ActorRegistry registry;
    registry.LoadActorList("characters/characters.xml");
    benchmark::DoNotOptimize(registry.FindActor("female"));
  }
}

void BM_Import(benchmark::State& state) { LoadFemale(state, true); }
BENCHMARK(BM_Import)->Unit(benchmark::kMillisecond);

void BM_CompiledRead(benchmark::State& state) {
  if (EnterScratchFolder() && !fs::exists("characters/female.dat")) {
    quillane::cl_ActorRegistry registry;
    registry.LoadActorList("characters/characters.xml");
    registry.FindActor("female");
  }
  LoadFemale(state, false);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(fs::exists("characters/female.dat") ? fs::file_size("characters/female.dat") : 0));
}
BENCHMARK(BM_CompiledRead)->Unit(benchmark::kMillisecond);

// The floor: the compiled file's bytes into memory and nothing else.
void BM_ReadBytes(benchmark::State& state) {
  if (!EnterScratchFolder() || !fs::exists("characters/female.dat")) {
    state.SkipWithError("run BM_CompiledRead first");
    return;
  }
  for (auto _ : state) {
    base::Binary bytes;
    base::LoadFile("characters/female.dat", bytes);
    benchmark::DoNotOptimize(bytes.get_buffer());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(fs::file_size("characters/female.dat")));
}
BENCHMARK(BM_ReadBytes)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return benchratios::RunReportingFailures(argc, argv); }
