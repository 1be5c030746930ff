// The compiled scene file: the demo scenes compiled and read back at every detail level, saves
// that repeat byte for byte, the framing walked by a reader of its own, a file of an earlier
// build, the protocol text, and damaged files that must fail cleanly.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "base/File.h"
#include "base/data/Variant.h"
#include "base/data/VariantTools.h"
#include "graphics/image/TextureStrip.h"
#include "graphics/mesh/Mesh.h"
#include "quillane/settings/OptionLevels.h"
#include "scene_test_support.h"
#include "support/EngineLogCapture.h"

namespace scenetest {
namespace {

using quillane::cl_Scene;

class SceneFile : public SceneTest {};

void Compile(const char* name) {
  cl_Scene scene;
  scene.LoadProjectFile(name);
  ASSERT_TRUE(scene.Save()) << name;
}

// Stage layers as "label" or "label(still)" / "label(strip)".
std::string StageSummary(const cl_Scene& scene) {
  std::string out;
  for (const quillane::cl_Layer* layer : scene.StageElements) {
    out += (out.empty() ? "" : ",") + std::string(layer->GetLabel().c_str());
    if (layer->GetStrip()) out += "(strip)";
  }
  return out;
}

TEST_F(SceneFile, DemoScenesReadBackWithTheStageSectionsOfEachLevel) {
  for (const char* name : {"Office", "Quay", "Stage"}) CopyDemoScene(name);
  for (const char* name : {"Office", "Quay", "Stage"}) Compile(name);
  struct st_Case {
    const char* scene;
    int level;
    const char* stage;
  };
  // Office's lamp is a level-0 strip shown as a still below full detail, in its list place;
  // Quay's waves are a level-0 strip without a still: missing below full detail.
  const st_Case cases[] = {
      {"Office", 2, "desk,lamp"},
      {"Office", 1, "desk,lamp"},
      {"Office", 0, "desk,lamp(strip)"},
      {"Quay", 2, "kiosk,lamppost,lamp_glow"},
      {"Quay", 1, "kiosk,lamppost,lamp_glow"},
      {"Quay", 0, "kiosk,lamppost,lamp_glow,waves(strip)"},
      {"Stage", 0, ""},
      {"Stage", 2, ""},
  };
  for (const st_Case& c : cases) {
    SCOPED_TRACE(std::string(c.scene) + " level " + std::to_string(c.level));
    SetSceneLod(c.level);
    cl_Scene scene;
    ASSERT_TRUE(scene.Load(c.scene));
    EXPECT_EQ(StageSummary(scene), c.stage);
    EXPECT_STREQ(scene.GetName().c_str(), c.scene);
    EXPECT_EQ(scene.NavMeshes.size(), std::string(c.scene) == "Quay" ? 2u : 1u);
  }
  SetSceneLod(1);
  cl_Scene office;
  ASSERT_TRUE(office.Load("Office"));
  const quillane::cl_Layer* still = office.StageElements.back();
  ASSERT_NE(still->GetImage(), nullptr);
  EXPECT_STREQ(still->GetFile().c_str(), "Scenes/Office/lamp");
  EXPECT_EQ(office.HotSpots.size(), 5u);
  EXPECT_EQ(office.Lights.size(), 3u);  // the light picture, the key light, the blob shadows
  EXPECT_EQ(Labels(office.ForegroundElements), "frame");
  EXPECT_EQ(Labels(office.SpecialFX), "blur,shadowmask");
  EXPECT_FLOAT_EQ(office.GetExposure(), 1.1f);
}

TEST_F(SceneFile, DetailLevelsOutsideTheRangeReadAllOrNoStageSections) {
  CopyDemoScene("Office");
  Compile("Office");
  SetSceneLodValue(-0.5f);  // level 3: no stage section at all
  EXPECT_EQ(quillane::GetOptionIntValue("Gfx/SceneLOD/"), 3);
  cl_Scene low;
  ASSERT_TRUE(low.Load("Office"));
  EXPECT_TRUE(low.StageElements.empty());
  SetSceneLodValue(1.75f);  // level -1 from a hand-edited file counts as full detail
  EXPECT_EQ(quillane::GetOptionIntValue("Gfx/SceneLOD/"), -1);
  cl_Scene full;
  ASSERT_TRUE(full.Load("Office"));
  EXPECT_EQ(StageSummary(full), "desk,lamp(strip)");
}

TEST(OptionLevels, SliderValuesRoundToWholeLevels) {
  std::unique_ptr<base::cl_System> system = std::make_unique<base::cl_System>();
  EXPECT_EQ(quillane::GetOptionIntValue("Gfx/SceneLOD/"), 0);  // absent
  base::Variant& lod = system->GetConfigTree();
  lod.set_element("Config");
  base::Variant& value = lod.add_element("Options").add_element("Gfx").add_element("SceneLOD");
  const std::pair<float, int> cases[] = {{1.0f, 0}, {0.8f, 0}, {0.74f, 1}, {0.5f, 1}, {0.26f, 1}, {0.24f, 2}, {0.0f, 2}};
  for (const auto& [v, level] : cases) {
    value.attribute("Value")->set_float(v);
    EXPECT_EQ(quillane::GetOptionIntValue("Gfx/SceneLOD/"), level) << v;
    EXPECT_EQ(quillane::GetOptionIntValue("Gfx/SceneLOD"), level) << v;
  }
  value.attribute("Value")->set_float(1e30f);  // no undefined conversion for absurd values
  EXPECT_LT(quillane::GetOptionIntValue("Gfx/SceneLOD/"), 0);
}

TEST_F(SceneFile, TwoSavesAreByteIdentical) {
  CopyDemoScene("Quay");
  Compile("Quay");
  const std::string first = ReadBytes("Scenes/Quay.dat");
  Compile("Quay");
  EXPECT_FALSE(first.empty());
  EXPECT_TRUE(first == ReadBytes("Scenes/Quay.dat"));
}

// ---- an independent walk over the framing

struct st_Walker {
  base::File file;
  int32_t I32() {
    int32_t v = 0;
    EXPECT_TRUE(file.read(&v, 4));
    return v;
  }
  float F32() {
    float v = 0;
    EXPECT_TRUE(file.read(&v, 4));
    return v;
  }
  std::string String() {
    const int32_t n = I32();
    std::string s(static_cast<size_t>(n), '\0');
    EXPECT_TRUE(n == 0 || file.read(s.data(), n));
    return s;
  }
};

TEST_F(SceneFile, WalkerFindsTheCameraBlockCountsAndLightRecords) {
  CopyDemoScene("Office");
  Compile("Office");
  st_Walker w;
  ASSERT_TRUE(w.file.open("Scenes/Office.dat", base::File::STATUS_READ));
  EXPECT_EQ(w.String(), "Office");
  base::Variant settings;
  ASSERT_TRUE(settings.Read(&w.file));
  EXPECT_STREQ(settings.get_label(), "Project");
  EXPECT_EQ(w.F32(), 1024.0f);
  EXPECT_EQ(w.F32(), 640.0f);
  const int cameraAt = w.file.get_current_position();
  float camera[35];
  ASSERT_TRUE(w.file.read(camera, sizeof camera));
  EXPECT_EQ(w.file.get_current_position() - cameraAt, 140);
  EXPECT_NEAR(camera[1] * camera[1] + camera[2] * camera[2] + camera[3] * camera[3] + camera[4] * camera[4], 1.0f, 1e-5f);
  EXPECT_EQ(camera[6], 300.0f);    // position y
  EXPECT_EQ(camera[10], 1024.0f);  // viewport x1
  EXPECT_NEAR(camera[16], 2.0f * std::atan(0.625f * std::tan(25.0f * 0.0174532924f)), 1e-5f);  // vertical fov
  ASSERT_EQ(w.I32(), 1);  // nav meshes
  base::cl_Mesh mesh;
  mesh.Read(&w.file);
  EXPECT_FALSE(w.file.has_error());
  EXPECT_GE(mesh.faces.size(), 60);
  const int locators = w.I32();
  ASSERT_GE(locators, 2);
  for (int i = 0; i < locators; ++i) {
    const std::string label = w.String();
    for (int k = 0; k < 8; ++k) w.F32();
    const int points = w.I32();
    EXPECT_EQ(points, label == "Window" ? 4 : 0) << label;  // the one zone
    for (int k = 0; k < points * 2; ++k) w.F32();
  }
  ASSERT_EQ(w.I32(), 5);  // hotspots
  for (int i = 0; i < 5; ++i) {
    w.String();
    const int points = w.I32();
    for (int k = 0; k < points * 2; ++k) w.F32();
  }
  ASSERT_EQ(w.I32(), 3);  // lights
  // The ambient light: its 1024 x 640 picture kept at an eighth.
  EXPECT_EQ(w.String(), "");
  w.F32();
  EXPECT_EQ(w.I32(), 0);
  EXPECT_EQ(w.I32(), 0);
  w.F32(), w.F32(), w.F32();
  EXPECT_EQ(w.I32(), quillane::LIGHT_AMBIENT);
  EXPECT_EQ(w.F32(), 1.0f);
  EXPECT_EQ(w.I32(), 128);
  EXPECT_EQ(w.I32(), 80);
  w.I32(), w.I32();
  std::string pixels(128 * 80 * 3, '\0');
  ASSERT_TRUE(w.file.read(pixels.data(), static_cast<int>(pixels.size())));
  EXPECT_EQ(static_cast<uint32_t>(w.I32()), 0xFFFFFFFFu);
  // The directional light: no picture, its vector normalised, its colour packed.
  EXPECT_EQ(w.String(), "");
  w.F32();
  w.I32(), w.I32();
  const float x = w.F32(), y = w.F32(), z = w.F32();
  EXPECT_NEAR(x * x + y * y + z * z, 1.0f, 1e-5f);
  EXPECT_EQ(w.I32(), quillane::LIGHT_DIRECTIONAL);
  w.F32();
  EXPECT_EQ(w.I32(), 0);
  EXPECT_EQ(w.I32(), 0);
  w.I32(), w.I32();
  EXPECT_EQ(static_cast<uint32_t>(w.I32()), 0xFF605A54u);
}

// ---- a file of an earlier build, and the protocol

// The offset just past the settings record of a compiled scene's bytes (0 when unreadable).
size_t AfterSettings(const std::string& bytes, base::Variant& settings) {
  base::File file;
  base::tString<base::BaseString> name;
  if (!file.open_memory(bytes.data(), static_cast<int>(bytes.size()), "kept") || !name.Read(file) ||
      !settings.Read(&file))
    return 0;
  return static_cast<size_t>(file.get_current_position());
}

TEST_F(SceneFile, TinySceneMatchesTheFileAndProtocolOfAnEarlierBuild) {
  WriteTinyScene();
  Compile("Tiny");
  const std::string kept = std::string(QUILLANE_TEST_DIR) + "/data/Tiny.dat";
  const std::string keptProtocol = std::string(QUILLANE_TEST_DIR) + "/data/Tiny_protocol.txt";
  const bool update = std::getenv("QUILLANE_UPDATE_GOLDEN") && std::string(std::getenv("QUILLANE_UPDATE_GOLDEN")) == "1";
  if (update || !std::filesystem::exists(kept)) {
    WriteBytes(kept, ReadBytes("Scenes/Tiny.dat"));
    WriteBytes(keptProtocol, ReadBytes("Scenes/Tiny/Tiny_protocol.txt"));
  }
  // The settings record numbers its names by the writing process's interning order, so it is
  // compared as a tree; every other byte must stay as it was.
  const std::string keptBytes = ReadBytes(kept), fresh = ReadBytes("Scenes/Tiny.dat");
  base::Variant keptSettings, freshSettings;
  const size_t keptAfter = AfterSettings(keptBytes, keptSettings), freshAfter = AfterSettings(fresh, freshSettings);
  ASSERT_GT(keptAfter, 0u);
  EXPECT_TRUE(base::variant_equal(keptSettings, freshSettings));
  EXPECT_TRUE(keptBytes.substr(keptAfter) == fresh.substr(freshAfter)) << "the compiled scene format changed";
  const std::string protocol = ReadBytes("Scenes/Tiny/Tiny_protocol.txt");
  EXPECT_EQ(protocol, ReadBytes(keptProtocol));
  EXPECT_NE(protocol.find("\r\n\tflame: "), std::string::npos);
  EXPECT_NE(protocol.find("\r\n\tflame(ts): "), std::string::npos);
  EXPECT_EQ(protocol.find("\n\n"), std::string::npos);

  // The kept file reads into the scene it was made from.
  std::filesystem::copy_file(kept, "Scenes/Kept.dat");
  SetSceneLod(0);
  cl_Scene scene;
  ASSERT_TRUE(scene.Load("Kept"));
  EXPECT_STREQ(scene.GetName().c_str(), "Tiny");
  EXPECT_EQ(Labels(scene.BackgroundElements), "bg");
  EXPECT_EQ(StageSummary(scene), "post,flame(strip)");
  EXPECT_EQ(scene.StageElements.back()->GetStrip()->GetFrameCount(), 2);
  EXPECT_FLOAT_EQ(scene.GetCharacterScale(), 0.8f);
  EXPECT_FLOAT_EQ(scene.GetExposure(), 0.9f);
  ASSERT_EQ(scene.Locators.size(), 1u);
  EXPECT_EQ(scene.Locators.front()->areaPolygon.size(), 3);
  EXPECT_EQ(scene.Locators.front()->locator.GetPos(), base::tVector3<float>(1, 2, 3));
  ASSERT_EQ(scene.Lights.size(), 2u);
  EXPECT_EQ(scene.Lights.front()->colourImage.Width(), 8);
  EXPECT_EQ(scene.Lights.front()->owner, nullptr);
  EXPECT_EQ(scene.Lights.back()->colour, 0xFF0A141Eu);
  // Writing right after reading puts the light lines into this scene's protocol.
  base::File out("Scenes/Rewritten.dat", base::File::STATUS_WRITE);
  EXPECT_TRUE(scene.Write(out));
  out.close();
  EXPECT_NE(std::string(scene.GetProtocol().c_str()).find("SceneLights: \n\t "), std::string::npos);
}

// ---- damaged files

TEST_F(SceneFile, MissingFileFailsWithoutALogLine) {
  testsupport::LogCapture log;
  cl_Scene scene;
  EXPECT_FALSE(scene.Load("Nowhere"));
  EXPECT_TRUE(log.get().empty());
}

// What refuses a scene the game does not have names the file it looked for and what is wrong.
TEST_F(SceneFile, AMissingSceneIsExplainedByTheFileLookedFor) {
  std::filesystem::create_directories("Scenes/Folder/ProjectFile.xml");
  std::filesystem::create_directories("Scenes/Piped");
  ASSERT_EQ(mkfifo("Scenes/Piped/ProjectFile.xml", 0644), 0);
  std::filesystem::create_directories("Scenes/Compiled.dat");
  const struct {
    const char* scene;
    const char* reason;
  } cases[] = {
      {"Office", "'Scenes/Office/ProjectFile.xml' is missing"},
      {"Folder", "'Scenes/Folder/ProjectFile.xml' is a folder, not a file"},
      {"Piped", "'Scenes/Piped/ProjectFile.xml' is a FIFO, not a file"},
      {"Compiled", "'Scenes/Compiled.dat' is a folder, not a file"},
      {"", "no scene name given"},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(cl_Scene::Exists(c.scene)) << c.scene;
    EXPECT_EQ(cl_Scene::MissingReason(c.scene), c.reason);
  }
  WriteTinyScene();
  EXPECT_EQ(cl_Scene::MissingReason("Tiny"), "");
}

TEST_F(SceneFile, DamagedFilesFailWithOneErrorAndLeaveTheSceneEmpty) {
  WriteTinyScene();
  Compile("Tiny");
  const std::string good = ReadBytes("Scenes/Tiny.dat");
  ASSERT_GT(good.size(), 200u);
  auto expectRejected = [&](const std::string& bytes, const std::string& what) {
    SCOPED_TRACE(what);
    WriteBytes("Scenes/Bad.dat", bytes);
    testsupport::LogCapture log;
    cl_Scene scene;
    EXPECT_FALSE(scene.Load("Bad"));
    EXPECT_TRUE(log.contains("ERROR: Scenes/Bad.dat: ")) << log.text("\n");
    EXPECT_TRUE(scene.GetName().empty());
    EXPECT_TRUE(scene.StageElements.empty() && scene.BackgroundElements.empty() && scene.Lights.empty() &&
                scene.Locators.empty() && scene.HotSpots.empty() && scene.NavMeshes.empty());
  };
  for (size_t cut : {size_t{0}, size_t{3}, size_t{10}, size_t{200}, good.size() / 3, good.size() / 2, good.size() - 4,
                     good.size() - 1})
    expectRejected(good.substr(0, cut), "cut at " + std::to_string(cut));
  // Every 4-byte word in turn set to a hostile count.
  const int step = static_cast<int>(good.size() / 60) & ~3;
  int rejected = 0;
  for (size_t at = 0; at + 4 <= good.size(); at += static_cast<size_t>(step)) {
    std::string bad = good;
    const int32_t hostile = 0x7FFFFFFF;
    std::memcpy(bad.data() + at, &hostile, 4);
    WriteBytes("Scenes/Bad.dat", bad);
    testsupport::LogCapture log;
    cl_Scene scene;
    if (!scene.Load("Bad")) {
      ++rejected;
      EXPECT_TRUE(log.contains("ERROR:")) << at;
      EXPECT_TRUE(scene.StageElements.empty());
    }
  }
  EXPECT_GT(rejected, 0);
}

}  // namespace
}  // namespace scenetest
