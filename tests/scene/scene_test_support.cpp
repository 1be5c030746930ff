#include "scene_test_support.h"

#include <unistd.h>

#include <fstream>

#include "base/data/Xml.h"
#include "base/system.h"
#include "graphics/Graphics.h"
#include "graphics/image/Image.h"
#include "graphics/mesh/Mesh.h"
#include "quillane/settings/TweakSettings.h"
#include "quillane/world/WorldServices.h"
#include "support/HeadlessGpu.h"
#include "win32dx9/SysInfo.h"

namespace scenetest {

namespace fs = std::filesystem;

void SceneTest::SetUp() {
  ASSERT_TRUE(m_engine.MakeFolder("scene"));
  m_dir = m_engine.GetDir();
  m_previous = fs::current_path();
  fs::current_path(m_dir);
  fs::create_directories("Scenes");
  const bool drawing = WindowWidth() > 0;
  if (drawing && !testsupport::HeadlessGpuAvailable()) GTEST_SKIP() << "no headless graphics device here";
  if (drawing) {
    ASSERT_TRUE(m_engine.Prepare(WindowWidth(), WindowHeight()));
    m_system = m_engine.GetSystem();
  } else {
    // No device: a root module that only holds the config, never started.
    base::sys::GetSystemInfo() = sysinfo::cl_SysInfo();
    m_bareSystem = std::make_unique<base::cl_System>();
    m_bareSystem->SetUserDataPath(m_dir.string().c_str());
    base::Variant& config = m_bareSystem->GetConfigTree();
    config.set_element("Config");
    config.add_element("Localization").attribute("Language")->set_string("English");
    m_system = m_bareSystem.get();
  }
  ResetTweakSettings();
  base::RegisterMeshResourceType();
  gfx::RegisterBitmapLoaders();
  if (drawing) {
    ASSERT_TRUE(m_engine.StartUp());
    m_started = true;
  }
  quillane::SceneDisplay() = quillane::st_SceneDisplay();
  quillane::g_SelectedElementLabel.clear();
  quillane::WorldServices() = quillane::st_WorldServices();
}

void SceneTest::TearDown() {
  m_engine.ShutDownRoot();
  m_bareSystem.reset();
  m_system = nullptr;
  ResetTweakSettings();
  quillane::WorldServices() = quillane::st_WorldServices();
  if (!m_previous.empty()) fs::current_path(m_previous);
  m_engine.Stop();
}

void SceneTest::SetSceneLodValue(float value) {
  base::Variant& config = m_system->GetConfigTree();
  base::Variant* options = config.get_element("Options");
  if (!options) options = &config.add_element("Options");
  base::Variant* gfx = options->get_element("Gfx");
  if (!gfx) gfx = &options->add_element("Gfx");
  base::Variant* lod = gfx->get_element("SceneLOD");
  if (!lod) lod = &gfx->add_element("SceneLOD");
  lod->attribute("Value")->set_float(value);
}

void CopyDemoScene(const char* name) {
  const fs::path source = fs::path(QUILLANE_DATA_DIR) / "Scenes" / name;
  ASSERT_TRUE(fs::exists(source / "ProjectFile.xml")) << source;
  fs::copy(source, fs::path("Scenes") / name, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  // Caches of the data folder are not the test's.
  std::error_code ec;
  fs::remove(fs::path("Scenes") / name / (std::string(name) + "_protocol.txt"), ec);
}

void WriteTga(const std::string& path, const base::cl_Bitmap32& image) {
  std::string file(18, '\0');
  file[2] = 2;
  file[12] = static_cast<char>(image.Width() & 0xFF), file[13] = static_cast<char>(image.Width() >> 8);
  file[14] = static_cast<char>(image.Height() & 0xFF), file[15] = static_cast<char>(image.Height() >> 8);
  file[16] = 32;
  file[17] = 0x28;
  for (int i = 0; i < image.NumPixels(); ++i) {
    const base::Color32& c = image.GetPixels()[i];
    file += static_cast<char>(c.b), file += static_cast<char>(c.g), file += static_cast<char>(c.r), file += static_cast<char>(c.a);
  }
  fs::create_directories(fs::path(path).parent_path());
  WriteBytes(path, file);
}

void WriteTinyScene() {
  const int w = 64, h = 40;
  base::cl_Bitmap32 bg, post, light, frame;
  bg.Create(w, h), post.Create(w, h), light.Create(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      *bg.Pixel(x, y) = base::Color32(static_cast<unsigned char>(x * 4), static_cast<unsigned char>(y * 6), 90, 255);
      *post.Pixel(x, y) = x >= 20 && x < 28 && y >= 10 && y < 36 ? base::Color32(200, 40, 40, 255) : base::Color32(0, 0, 0, 0);
      *light.Pixel(x, y) = base::Color32(static_cast<unsigned char>(x * 4), 100, static_cast<unsigned char>(255 - x * 4), 255);
    }
  }
  WriteTga("Scenes/Tiny/bg.tga", bg);
  WriteTga("Scenes/Tiny/post.tga", post);
  WriteTga("Scenes/Tiny/light.tga", light);
  for (int n = 0; n < 2; ++n) {
    frame.Create(w, h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        *frame.Pixel(x, y) = x >= 40 + n && x < 50 + n && y >= 5 && y < 15 ? base::Color32(250, 220, 90, 255) : base::Color32(0, 0, 0, 0);
    WriteTga("Scenes/Tiny/TextureStrips/flame/flame_" + std::to_string(n) + ".tga", frame);
  }
  WriteBytes("Scenes/Tiny/ProjectFile.xml", R"(<Project name="Tiny" w="64" h="40" character_scale="0.8">
  <HeavenElements/>
  <BackgroundElements><Layer label="bg" file="bg.tga"/></BackgroundElements>
  <StageElements>
    <Layer label="post" file="post.tga" x="16" y="8" w="16" h="30" ysort="36"/>
    <Layer label="flame" file="flame.tst" LOD_level="0" LOD_show_first_frame="1"/>
  </StageElements>
  <ForegroundElements/>
  <SpecialFX/>
  <Objects3D/>
  <NavMeshes/>
  <Lights exposure="0.9">
    <Light type="ambient" file="light.tga"/>
    <Light type="directional" nx="3" ny="0" nz="4" color_r="10" color_g="20" color_b="30" color_a="255"/>
  </Lights>
  <Locators><Locator label="Start" x="1" y="2" z="3" yaw="0.5"><P x="0" z="0"/><P x="10" z="0"/><P x="0" z="10"/></Locator></Locators>
  <HotSpots><HotSpot label="post"><P x="16" y="8"/><P x="32" y="8"/><P x="32" y="38"/><P x="16" y="38"/></HotSpot></HotSpots>
</Project>
)");
}

base::Variant Xml(const char* text) {
  base::Variant v;
  EXPECT_TRUE(base::xml::read_text(v, text));
  return v;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace scenetest
