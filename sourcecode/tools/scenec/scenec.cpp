// scenec: compiles scenes until the scene editor exists.
//   scenec [--lod N] [--shot FILE.png] [--actor LABEL --walk LOCATOR [--seconds S]] NAME...
// Run in the data folder: each NAME's "Scenes/NAME/ProjectFile.xml" is built fully and written to
// "Scenes/NAME.dat" with its protocol by the editor's own compile, which refuses a scene whose
// background picture or nav mesh cannot be read (the old file stays, the exit status is 1). --lod N reads the
// compiled file back at scene detail level N (0 full .. 2 lowest); --shot renders it headless at
// 1024 x 640 into FILE.png (FILE_NAME.png when several scenes are given). --actor places that
// actor at the scene's first locator other than LOCATOR, walks it there along the nav mesh for
// S seconds (default 2, at most 600) in 1/60 s steps, and draws it lit, with its shadow, between the layers.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/FileTools.h"
#include "base/app/SystemRoot.h"
#include "base/system.h"
#include "graphics/Graphics.h"
#include "graphics/Texture.h"
#include "graphics/gfx.h"
#include "graphics/image/Image.h"
#include "graphics/mesh/Mesh.h"
#include "quillane/actor/ActorRegistry.h"
#include "quillane/character/Character.h"
#include "quillane/editor/SceneCompile.h"
#include "quillane/scene/SceneElements.h"
#include "quillane/scene/SceneFloorWorld.h"
#include "quillane/world/NavMesh.h"
#include "quillane/scene/Scene.h"
#include "win32dx9/DX9GraphicsDevice.h"
#include "win32dx9/Platform.h"
#include "win32dx9/PngFile.h"
#include "win32dx9/Services.h"

namespace {

constexpr int kShotWidth = 1024, kShotHeight = 640;
constexpr double kMaxWalkSeconds = 600.0;

int Usage() {
  std::fprintf(stderr, "usage: scenec [--lod N] [--shot FILE.png] [--actor LABEL --walk LOCATOR [--seconds S]] NAME...\n");
  return 2;
}

// The walker of --actor: placed, walked and drawn in the scene being shot.
struct st_Walk {
  std::string actor, target;
  float seconds = 2.0f;
};

// Places the actor, walks it toward the target locator; null (reported) when that cannot be done.
std::unique_ptr<quillane::cl_Character> Walk(quillane::cl_Scene& scene, quillane::cl_ActorRegistry& actors,
                                             const st_Walk& walk) {
  quillane::cl_ActorDesc* desc = actors.FindActor(walk.actor.c_str());
  quillane::cl_SceneLocator* target = scene.FindLocator(walk.target.c_str());
  quillane::cl_SceneLocator* start = nullptr;
  for (quillane::cl_SceneLocator* l : scene.Locators)
    if (l != target && !start) start = l;
  if (!desc || !target || !start) {
    std::fprintf(stderr, "scenec: no actor %s, locator %s or other locator to start from\n", walk.actor.c_str(),
                 walk.target.c_str());
    return nullptr;
  }
  static quillane::cl_SceneFloorWorld floor;  // the walker outlives this call
  floor.SetScene(&scene);
  auto c = std::make_unique<quillane::cl_Character>();
  c->name = walk.actor.c_str();
  c->stageWorld = &floor;
  c->SetActor(desc, scene.NavMeshes.empty() ? nullptr : scene.NavMeshes.front());
  c->SetPosition(start->locator);
  c->WalkTo(c->name.c_str(), target->locator.GetPos(), nullptr);
  const int steps = static_cast<int>(walk.seconds * 60.0f);
  for (int i = 0; i < steps; ++i) {
    c->Update(1.0f / 60.0f);
    c->UpdatePose(c->pose);
  }
  std::printf("scenec: %s walked from %s toward %s to (%.0f, %.0f, %.0f)\n", walk.actor.c_str(),
              start->name.c_str(), walk.target.c_str(), static_cast<double>(c->GetPosition().x),
              static_cast<double>(c->GetPosition().y), static_cast<double>(c->GetPosition().z));
  return c;
}

// The character in the scene's camera, lit where it stands, with its blob shadow.
void RenderCharacter(quillane::cl_Scene& scene, quillane::cl_Character& c) {
  gfx::Begin3D();
  scene.UpdateViewFromCamera();
  scene.SetupLightsAt(c.GetPosition());
  c.RenderBlobShadow();
  c.Render(&scene.GetCamera());
  gfx::Begin2D();
}

// The scene's layers in drawing order at the game viewport, the character after the background.
void RenderScene(quillane::cl_Scene& scene, quillane::cl_Character* character) {
  gfx::ClearScreen(0xFF000000);
  scene.UpdateViewFromCamera();
  gfx::Begin2D();
  scene.RenderBackgroundLayers(0.0f, 0.0f, kShotWidth, kShotHeight);
  if (character) RenderCharacter(scene, *character);
  for (quillane::cl_Layer* layer : scene.StageElements) layer->Render(0.0f, 0.0f, kShotWidth, kShotHeight);
  scene.RenderForegroundLayers(0.0f, 0.0f, kShotWidth, kShotHeight);
}

bool Shoot(quillane::cl_Scene& scene, quillane::cl_Character* character, const std::string& file) {
  win32dx9::cl_DX9GraphicsDevice* device = win32dx9::cl_DX9GraphicsDevice::GetInstance();
  if (!device || !device->BeginFrame()) {
    std::fprintf(stderr, "scenec: no graphics device for --shot\n");
    return false;
  }
  RenderScene(scene, character);
  bool ok = device->LockBackBuffer();
  if (ok) {
    ok = win32dx9::SavePng(file.c_str(), kShotWidth, kShotHeight, device->GetLockedBits(),
                           static_cast<uint32_t>(device->GetLockedPitch()), false);
    device->UnlockBackBuffer();
  }
  device->EndFrame();
  if (!ok) std::fprintf(stderr, "scenec: %s not written\n", file.c_str());
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  int lod = -1;
  std::string shot;
  st_Walk walk;
  std::vector<std::string> names;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--lod") && i + 1 < argc) {
      // Only the three detail levels exist; another number would read the scene at none of them.
      const char* text = argv[++i];
      char* end = nullptr;
      lod = static_cast<int>(std::strtol(text, &end, 10));
      if (end == text || *end || lod < 0 || lod > 2) {
        std::fprintf(stderr, "scenec: --lod %s: no such detail level (0 full, 1, 2 lowest)\n", text);
        return Usage();
      }
    } else if (!std::strcmp(argv[i], "--shot") && i + 1 < argc) {
      shot = argv[++i];
    } else if (!std::strcmp(argv[i], "--actor") && i + 1 < argc) {
      walk.actor = argv[++i];
    } else if (!std::strcmp(argv[i], "--walk") && i + 1 < argc) {
      walk.target = argv[++i];
    } else if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc) {
      // A walk of "nan" or "inf" seconds would be no number of steps; past ten minutes, too many.
      const char* text = argv[++i];
      char* end = nullptr;
      const double seconds = std::strtod(text, &end);
      if (end == text || *end || !(seconds >= 0.0 && seconds <= kMaxWalkSeconds)) {
        std::fprintf(stderr, "scenec: --seconds '%s' is no number of seconds from 0 to %.0f\n", text, kMaxWalkSeconds);
        return Usage();
      }
      walk.seconds = static_cast<float>(seconds);
    } else if (argv[i][0] == '-') {
      return Usage();
    } else {
      names.push_back(argv[i]);
    }
  }
  if (names.empty() || walk.actor.empty() != walk.target.empty()) return Usage();

  auto system = std::make_unique<base::cl_System>();
  base::Variant& config = system->GetConfigTree();
  config.set_element("Config");
  base::Variant& display = config.add_element("Display");
  display.attribute("Fullscreen")->set_int(0);
  display.attribute("Width")->set_int(kShotWidth);
  display.attribute("Height")->set_int(kShotHeight);
  config.add_element("Localization").attribute("Language")->set_string("English");
  if (lod >= 0) {
    // The options store a level as a slider value: 1.0 full detail .. 0.0 lowest.
    base::Variant& value = config.add_element("Options").add_element("Gfx").add_element("SceneLOD");
    value.attribute("Value")->set_float(1.0f - 0.5f * static_cast<float>(lod));
  }
  base::RegisterMeshResourceType();
  gfx::RegisterBitmapLoaders();
  win32dx9::LogLibrariesToEngine(true);  // a picture that cannot be read is refused with its reader's cause
  bool started = false;
  if (!shot.empty()) {
    system->RegisterPlatform(win32dx9::CreatePlatform(gpu::Backend::Headless));
    gfx::RegisterGraphics();
    started = system->StartUp();
    if (!started) std::fprintf(stderr, "scenec: the headless graphics device did not start\n");
  }

  quillane::cl_ActorRegistry actors;
  if (!walk.actor.empty() && !actors.LoadActorList("characters/characters.xml")) {
    std::fprintf(stderr, "scenec: characters/characters.xml not read\n");
    return 1;
  }
  if (!walk.actor.empty()) {
    // The game has the blob shadow's spot from its in-game resource list; scenec files it itself.
    auto* blob = new gfx::cl_Texture;
    blob->SetFileA8R8G8B8("characters/blobb.tga");
    base::tResourceType<gfx::cl_Texture>::FileResource("blobb", blob);
  }

  int failures = 0;
  for (const std::string& name : names) {
    // The scene editor starts a project afresh where there is none; here that is a wrong name.
    base::tString<base::BaseString> project = quillane::cl_Scene::GetScenePath(name.c_str());
    project += "ProjectFile.xml";
    if (!base::FileExists(project)) {
      std::fprintf(stderr, "scenec: %s not compiled: %s %s\n", name.c_str(), project.c_str(),
                   base::FileProblem(project).c_str());
      ++failures;
      continue;
    }
    quillane::cl_Scene scene;
    scene.LoadProjectFile(name.c_str());
    const quillane::st_CompileOutcome outcome = quillane::CompileScene(scene);
    if (!outcome.written) {
      std::fprintf(stderr, "scenec: %s\n", outcome.text.c_str());
      ++failures;
      continue;
    }
    if (outcome.warning) std::fprintf(stderr, "scenec: %s\n", outcome.text.c_str());
    quillane::cl_Scene compiled;
    if (!compiled.Load(name.c_str())) {
      std::fprintf(stderr, "scenec: %s does not read back\n", name.c_str());
      ++failures;
      continue;
    }
    std::printf("scenec: %s -> %s (%d stage layers at this level)\n", name.c_str(),
                quillane::cl_Scene::GetDataPath(name.c_str()).c_str(), static_cast<int>(compiled.StageElements.size()));
    std::unique_ptr<quillane::cl_Character> character;
    if (!walk.actor.empty() && !(character = Walk(compiled, actors, walk))) ++failures;
    if (shot.empty()) continue;
    std::string file = shot;
    if (names.size() > 1) {
      const size_t dot = file.rfind('.');
      file.insert(dot == std::string::npos ? file.size() : dot, "_" + name);
    }
    if (!started || !Shoot(compiled, character.get(), file)) ++failures;
  }
  if (started) system->ShutDown();
  win32dx9::LogLibrariesToEngine(false);
  system.reset();
  win32dx9::GraphicsServices() = win32dx9::st_GraphicsServices();
  return failures == 0 ? 0 : 1;
}
