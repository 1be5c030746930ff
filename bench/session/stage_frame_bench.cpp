// One stage frame with 30 characters walking among 100 trigger zones: the scene update, every
// character's update with its two zone queries and the crossings collected, then the cursor's
// pick over the characters' screen rectangles. No script runs (no session), so this measures the
// stage's own share of a frame.
#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <string>

#include "base/app/SystemRoot.h"
#include "base/data/Xml.h"
#include "base/system.h"
#include "quillane/character/Character.h"
#include "quillane/scene/Scene.h"
#include "quillane/session/Stage.h"

namespace {

constexpr int kCharacters = 30, kZones = 100;

bool QuietStageOutput(const char*) { return false; }

// Walks a circle of its own, so it crosses zones now and then.
class cl_CircleWalker : public quillane::cl_Character {
 public:
  cl_CircleWalker(int index) : m_angle(index * 0.7f), m_radius(150.0f + 12.0f * index) {
    name.print("Walker%d", index);
    Update(0.0f);
  }
  void Update(float dt) override {
    m_angle += dt * 0.8f;
    locator.SetPos(base::tVector3<float>(std::cos(m_angle) * m_radius, 0.0f, std::sin(m_angle) * m_radius));
  }

 private:
  float m_angle, m_radius;
};

struct st_StageFrame {
  std::filesystem::path dir, previous;
  std::unique_ptr<base::cl_System> system;
  std::unique_ptr<quillane::cl_Stage> stage;

  st_StageFrame() {
    previous = std::filesystem::current_path();
    dir = std::filesystem::temp_directory_path() / ("quillane_stage_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "Scenes");
    std::filesystem::current_path(dir);
    system = std::make_unique<base::cl_System>();
    base::sys::AddOutputCallback(&QuietStageOutput);
    stage = std::make_unique<quillane::cl_Stage>();
    stage->LoadScene("Bench");
    quillane::cl_Scene* scene = stage->GetScene();
    base::cl_Camera& camera = scene->GetCamera();
    camera.SetViewportRect(0.0f, 0.0f, 1024.0f, 640.0f);
    camera.SetPos(base::tVector3<float>(0.0f, 300.0f, 1200.0f));
    // A 10 x 10 grid of square zones, 80 units wide, every other one overlapping its neighbour.
    for (int i = 0; i < kZones; ++i) {
      const float x = -500.0f + 100.0f * (i % 10), z = -500.0f + 100.0f * (i / 10);
      const float w = i % 2 ? 130.0f : 80.0f;
      std::string xml = "<Locator label=\"Zone" + std::to_string(i) + "\" x=\"" + std::to_string(x) + "\" z=\"" +
                        std::to_string(z) + "\">";
      for (const auto& [dx, dz] : {std::pair{0.0f, 0.0f}, {w, 0.0f}, {w, w}, {0.0f, w}})
        xml += "<Point x=\"" + std::to_string(x + dx) + "\" y=\"0\" z=\"" + std::to_string(z + dz) + "\"/>";
      xml += "</Locator>";
      base::Variant element;
      base::xml::read_text(element, xml.c_str());
      scene->AddElement("Locators", element, true);
    }
    for (int i = 0; i < kCharacters; ++i) stage->AdoptCharacter(new cl_CircleWalker(i));
  }
  ~st_StageFrame() {
    stage.reset();
    base::sys::RemoveOutputCallback(&QuietStageOutput);
    system.reset();
    std::filesystem::current_path(previous);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

void BM_StageFrame30Characters100Zones(benchmark::State& state) {
  st_StageFrame frame;
  base::String name;
  for (auto _ : state) {
    frame.stage->Update(0.033f);
    benchmark::DoNotOptimize(frame.stage->PickAt(512.0f, 320.0f, name));
  }
}
BENCHMARK(BM_StageFrame30Characters100Zones)->Unit(benchmark::kMicrosecond);

}  // namespace
