// The stage drawn headless on the demo Office: a character behind the desk is hidden by the
// desk's stage layer, one in front of it covers the desk, because characters and stage layers
// are drawn in the order of their distance from the camera.
#include "graphics/Graphics.h"
#include "graphics/gfx.h"
#include "graphics/image/Image.h"
#include "graphics/mesh/Mesh.h"
#include "graphics/mesh/Skeleton.h"
#include "quillane/actor/WalkSpeed.h"
#include "quillane/scene/Scene.h"
#include "quillane/session/Stage.h"
#include "stage_fixture.h"
#include "support/HeadlessEngine.h"
#include "support/HeadlessGpu.h"
#include "win32dx9/DX9GraphicsDevice.h"

namespace {

namespace fs = std::filesystem;
using quillane::cl_Character;
using quillane::cl_Stage;

constexpr int kWidth = 1024, kHeight = 640;
// The desk's picture on the scene image (its layer's box in the Office project).
constexpr int kDeskX = 452, kDeskY = 308, kDeskW = 120, kDeskH = 71;


class StageRender : public stagetest::StageTest {
 protected:
  void SetUp() override {
    StageTest::SetUp();
    const fs::path data = QUILLANE_DATA_DIR;
    if (!fs::exists(data / "Scenes" / "Office" / "desk.tga") || !fs::exists(data / "characters" / "odo"))
      GTEST_SKIP() << "demo data not generated";
    if (!testsupport::HeadlessGpuAvailable()) GTEST_SKIP() << "no headless graphics device here";
    fs::create_directories("Scenes/Office");
    fs::copy(data / "Scenes" / "Office", "Scenes/Office", fs::copy_options::recursive);
    fs::copy(data / "Shader", "Shader", fs::copy_options::recursive);
    fs::copy(data / "characters", "characters", fs::copy_options::recursive);
    for (const auto& entry : fs::recursive_directory_iterator("characters")) {
      const std::string name = entry.path().filename().string();
      // Engine outputs of an earlier run in data/ are not sources.
      if (name.ends_with(".dat") || name.ends_with("_protocol.txt") || name.ends_with(".bmo")) fs::remove(entry.path());
    }
    base::Variant& config = m_system->GetConfigTree();
    config.set_element("Config");
    testsupport::SetWindowedDisplay(config, kWidth, kHeight);
    config.add_element("Localization").attribute("Language")->set_string("English");
    base::RegisterMeshResourceType();
    base::RegisterSkeletonResourceType();
    gfx::RegisterBitmapLoaders();
    testsupport::RegisterHeadless(*m_system);
    ASSERT_TRUE(m_system->StartUp());
    m_started = true;

    m_stage = std::make_unique<cl_Stage>();
    m_stage->LoadScene("Office");
    ASSERT_NE(m_stage->GetScene(), nullptr);
    m_registry = std::make_unique<quillane::cl_ActorRegistry>();
    ASSERT_TRUE(m_registry->LoadActorList("characters/characters.xml"));
  }
  void TearDown() override {
    m_stage.reset();
    m_registry.reset();
    if (m_started) m_system->ShutDown();
    testsupport::ForgetHeadlessServices();
    quillane::ClearWalkSpeedCurves();
    StageTest::TearDown();
  }

  // The desk's box of one frame of the stage at full size.
  std::vector<uint32_t> DeskPixels() {
    win32dx9::cl_DX9GraphicsDevice* device = win32dx9::cl_DX9GraphicsDevice::GetInstance();
    std::vector<uint32_t> shot;
    if (!device->BeginFrame()) return shot;
    gfx::ClearScreen(0xFF000000);
    m_stage->GetScene()->UpdateViewFromCamera();
    m_stage->Render(base::tRectf(0.0f, 0.0f, static_cast<float>(kWidth), static_cast<float>(kHeight)));
    shot = testsupport::ReadBackBuffer(kDeskX, kDeskY, kDeskW, kDeskH, false);
    device->EndFrame();
    return shot;
  }
  // Half a second of standing, posed as a frame poses the characters.
  void Stand() {
    for (int i = 0; i < 30; ++i) {
      m_stage->Update(1.0f / 60.0f);
      for (cl_Character* c : m_stage->GetCharacters()) c->UpdatePose(c->pose);
    }
  }
  static int Changed(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    int n = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
      for (int shift : {16, 8, 0}) {
        if (std::abs(static_cast<int>((a[i] >> shift) & 0xFF) - static_cast<int>((b[i] >> shift) & 0xFF)) > 24) {
          ++n;
          break;
        }
      }
    }
    return n;
  }

  bool m_started = false;
  std::unique_ptr<cl_Stage> m_stage;
};

TEST_F(StageRender, StageLayerHidesWhoIsBehindItAndNotWhoIsInFront) {
  const std::vector<uint32_t> empty = DeskPixels();
  ASSERT_EQ(empty.size(), static_cast<size_t>(kDeskW * kDeskH));
  cl_Character* odo = m_stage->CreateCharacter("Odo", "odo");
  ASSERT_NE(odo, nullptr);
  base::cl_Locator at;
  at.SetPos(base::tVector3<float>(0.0f, 0.0f, -110.0f));  // the desk is x -100 .. 100, z -50 .. 50
  odo->SetPosition(at);
  Stand();
  const int behind = Changed(empty, DeskPixels());
  at.SetPos(base::tVector3<float>(0.0f, 0.0f, 110.0f));
  odo->SetPosition(at);
  Stand();
  const int front = Changed(empty, DeskPixels());
  EXPECT_GT(front, 1000) << "behind " << behind;
  EXPECT_LT(behind * 4, front);
}

}  // namespace
