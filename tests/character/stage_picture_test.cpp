// Quillane and Odo standing in the demo Office, drawn headless as the stage draws a frame: the
// background, their mirror images, blob and projected shadows, the shadow mask right after the
// shadows, the characters lit where they stand, the stage and foreground layers. Compared with a
// reviewed picture; and the render states a projected shadow leaves behind, read back.
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "../actor/actor_test_support.h"
#include "base/math/Matrix4.h"
#include "graphics/Graphics.h"
#include "graphics/Texture.h"
#include "graphics/gfx.h"
#include "graphics/mesh/Mesh.h"
#include "graphics/model/Model.h"
#include "platform/gpu/Device.h"
#include "quillane/character/Character.h"
#include "quillane/scene/Layer.h"
#include "quillane/scene/Scene.h"
#include "quillane/scene/SceneFloorWorld.h"
#include "support/GoldenImage.h"
#include "support/HeadlessEngine.h"
#include "support/HeadlessGpu.h"
#include "win32dx9/DX9GraphicsDevice.h"
#include "win32dx9/Platform.h"
#include "win32dx9/Services.h"
#include "win32dx9/SysInfo.h"

namespace {

namespace fs = std::filesystem;
using quillane::cl_Character;
using quillane::tPoint;

constexpr int kWidth = 1024, kHeight = 640;
constexpr uint32_t kShadowColour = 0xFF30281Eu;
// The Office's directional light falls along (0.3, −1, 0.2): a point at height h lands 0.3 h
// along x and 0.2 h along z.
constexpr float kShadowA = 0.3f, kShadowB = 0.2f;


class StagePicture : public actortest::ActorTest {
 protected:
  void SetUp() override {
    actortest::ActorTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    const fs::path data = QUILLANE_DATA_DIR;
    if (!fs::exists(data / "characters" / "blobb.tga") || !fs::exists(data / "Scenes" / "Office" / "background.tga"))
      GTEST_SKIP() << "demo data not generated";
    if (!testsupport::HeadlessGpuAvailable()) GTEST_SKIP() << "no headless graphics device here";
    fs::create_directories(m_dir.path("Scenes"));
    fs::copy(data / "Scenes" / "Office", m_dir.path("Scenes/Office"), fs::copy_options::recursive);
    fs::copy(data / "Shader", m_dir.path("Shader"), fs::copy_options::recursive);
    fs::copy_file(data / "characters" / "blobb.tga", m_dir.path("characters/blobb.tga"),
                  fs::copy_options::overwrite_existing);

    base::Variant& config = m_system->GetConfigTree();
    testsupport::SetWindowedDisplay(config, kWidth, kHeight);
    config.add_element("Localization").attribute("Language")->set_string("English");
    base::RegisterMeshResourceType();
    testsupport::RegisterHeadless(*m_system);
    ASSERT_TRUE(m_system->StartUp());
    m_started = true;
    gfx::cl_Model::ReleaseSkinShader();
    // The game has the spot from its in-game resource list.
    auto* blob = new gfx::cl_Texture;
    blob->SetFileA8R8G8B8("characters/blobb.tga");
    base::tResourceType<gfx::cl_Texture>::FileResource("blobb", blob);

    m_scene.LoadProjectFile("Office");
    m_scene.ReadFromVariant(true);
    m_floor.SetScene(&m_scene);
    m_registry = DemoRegistry();
  }
  void TearDown() override {
    m_cast.clear();
    gfx::cl_Model::ReleaseSkinShader();
    gfx::SetModelConstantColor(false);
    gfx::DisableLighting();
    if (m_started) m_system->ShutDown();
    testsupport::ForgetHeadlessServices();
    m_floor.SetScene(nullptr);
    actortest::ActorTest::TearDown();
  }

  // The actor placed at the point, facing the given yaw, posed after a second of standing.
  cl_Character* Place(const char* name, const char* actorLabel, const tPoint& at, float yaw) {
    quillane::cl_ActorDesc* desc = m_registry->FindActor(actorLabel);
    EXPECT_NE(desc, nullptr) << actorLabel;
    if (!desc) return nullptr;
    auto c = std::make_unique<cl_Character>();
    c->name = name;
    c->stageWorld = &m_floor;
    c->SetActor(desc, m_scene.NavMeshes.empty() ? nullptr : m_scene.NavMeshes.front());
    c->idleChannel.timer = 0.0f;  // not the random start, so the picture repeats
    c->SetPosition(at, tPoint(0.0f, yaw, 0.0f));
    for (int i = 0; i < 60; ++i) {
      c->Update(1.0f / 60.0f);
      c->UpdatePose(c->pose);
    }
    m_cast.push_back(std::move(c));
    return m_cast.back().get();
  }

  enum en_Part { MIRROR = 1, BLOB = 2, PROJECTED = 4, ALL = 7 };
  // One stage frame with the given parts; the render states right after the shadows go to
  // stateAfterShadows.
  void RenderStage(int parts, uint32_t stateAfterShadows[3]) {
    base::cl_Camera* camera = &m_scene.GetCamera();
    gfx::ClearScreen(0xFF000000);
    m_scene.UpdateViewFromCamera();
    gfx::Begin2D();
    m_scene.RenderBackgroundLayers(0.0f, 0.0f, kWidth, kHeight);
    gfx::Begin3D();
    m_scene.UpdateViewFromCamera();
    for (auto& c : m_cast) {
      m_scene.SetupLightsAt(c->GetPosition());
      if (parts & MIRROR) c->RenderMirror(camera);
    }
    gfx::ClearZBuffer();
    for (auto& c : m_cast) {
      if (parts & BLOB) c->RenderBlobShadow();
      if (parts & PROJECTED) c->RenderProjectedShadow(kShadowA, kShadowB, c->GetPosition(), kShadowColour, camera);
    }
    gpu::Device* device = win32dx9::GetD3DDevice();
    stateAfterShadows[0] = device->GetRenderState(gpu::rs::CullMode);
    stateAfterShadows[1] = gfx::IsModelConstantColor() ? 1u : 0u;
    stateAfterShadows[2] = device->GetRenderState(gpu::rs::TextureFactor);
    // The mask follows the shadows directly, with back-face culling on.
    if (quillane::cl_Layer* mask = m_scene.FindSpecialFXLayer("shadowmask")) mask->Render(0.0f, 0.0f, kWidth, kHeight);
    for (auto& c : m_cast) {
      gfx::Begin3D();
      m_scene.UpdateViewFromCamera();
      m_scene.SetupLightsAt(c->GetPosition());
      c->Render(camera);
    }
    gfx::Begin2D();
    for (quillane::cl_Layer* layer : m_scene.StageElements) layer->Render(0.0f, 0.0f, kWidth, kHeight);
    m_scene.RenderForegroundLayers(0.0f, 0.0f, kWidth, kHeight);
  }

  // The back buffer's pixels in the rectangle at full size: the part of the floor the two stand
  // on, so that a lost mirror image or shadow is well above the comparison's 1 % of pixels.
  static std::vector<uint32_t> Shot(int x0, int y0, int w, int h) {
    return testsupport::ReadBackBuffer(x0, y0, w, h, false);
  }

  bool m_started = false;
  quillane::cl_Scene m_scene;
  quillane::cl_SceneFloorWorld m_floor;
  std::unique_ptr<quillane::cl_ActorRegistry> m_registry;
  std::vector<std::unique_ptr<cl_Character>> m_cast;
};

TEST_F(StagePicture, QuillaneAndOdoInTheOfficeWithMirrorImagesAndShadowsAsReviewed) {
  ASSERT_NE(Place("Quillane", "quillane", tPoint(-120.0f, 0.0f, 60.0f), 0.4f), nullptr);
  ASSERT_NE(Place("Odo", "odo", tPoint(100.0f, 0.0f, 60.0f), -0.6f), nullptr);
  for (auto& c : m_cast) ASSERT_NE(c->navMesh, nullptr) << c->name.c_str() << " stands off the floor";

  constexpr int kShotX = 300, kShotY = 300, kShotW = 400, kShotH = 270;
  win32dx9::cl_DX9GraphicsDevice* device = win32dx9::cl_DX9GraphicsDevice::GetInstance();
  auto frame = [&](int parts) {
    std::vector<uint32_t> shot;
    if (!device->BeginFrame()) return shot;
    gfx::SetModelConstantColor(false);
    gfx::SetTextureFactor(0xFF112233u);
    uint32_t after[3] = {};
    RenderStage(parts, after);
    EXPECT_EQ(after[0], parts & PROJECTED ? gpu::cull::CCW : gpu::cull::None);
    EXPECT_EQ(after[1], 0u);
    EXPECT_EQ(after[2], 0xFF112233u);
    shot = Shot(kShotX, kShotY, kShotW, kShotH);
    device->EndFrame();
    return shot;
  };
  const std::vector<uint32_t> shot = frame(ALL);
  ASSERT_EQ(shot.size(), static_cast<size_t>(kShotW * kShotH));
  EXPECT_TRUE(testsupport::MatchesGoldenPng(std::string(QUILLANE_TEST_DIR) + "/golden/office_stage.png", shot, kShotW,
                                            kShotH));

  // Each part on its own is more than the picture's tolerance lets pass unseen: without it,
  // hundreds of pixels change clearly.
  for (int part : {MIRROR, BLOB, PROJECTED}) {
    const std::vector<uint32_t> without = frame(ALL & ~part);
    ASSERT_EQ(without.size(), shot.size());
    int changed = 0;
    for (size_t i = 0; i < shot.size(); ++i) changed += !testsupport::RgbNear(shot[i], without[i], 24);
    EXPECT_GT(changed, 300) << "part " << part;
  }
}

// The frame redraws the shadow mask only over the rectangle the blob spots report: every pixel
// they change lies inside it, for a figure near the camera and one far off.
TEST_F(StagePicture, BlobSpotsReportARectangleHoldingEveryPixelTheyChange) {
  ASSERT_NE(Place("Quillane", "quillane", tPoint(-120.0f, 0.0f, 60.0f), 0.4f), nullptr);
  ASSERT_NE(Place("Odo", "odo", tPoint(300.0f, 0.0f, -250.0f), -0.6f), nullptr);
  win32dx9::cl_DX9GraphicsDevice* device = win32dx9::cl_DX9GraphicsDevice::GetInstance();
  for (auto& c : m_cast) {
    ASSERT_TRUE(device->BeginFrame());
    gfx::ClearScreen(0xFF808080);
    const std::vector<uint32_t> before = Shot(0, 0, kWidth, kHeight);
    gfx::Begin3D();
    m_scene.UpdateViewFromCamera();
    base::tRectf drawn(1e9f, 1e9f, -1e9f, -1e9f);
    EXPECT_TRUE(c->RenderBlobShadow(&m_scene.GetCamera(), &drawn));
    const std::vector<uint32_t> after = Shot(0, 0, kWidth, kHeight);
    device->EndFrame();
    int changed = 0, outside = 0;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        if (before[size_t(y) * kWidth + x] == after[size_t(y) * kWidth + x]) continue;
        ++changed;
        outside += x < drawn.min.x || x + 1 > drawn.max.x || y < drawn.min.y || y + 1 > drawn.max.y;
      }
    EXPECT_GT(changed, 100) << c->name.c_str();
    EXPECT_EQ(outside, 0) << c->name.c_str();
  }
}

TEST_F(StagePicture, ProjectedShadowLeavesCullingAndColourModeAsBefore) {
  cl_Character* odo = Place("Odo", "odo", tPoint(150.0f, 0.0f, 120.0f), 0.0f);
  ASSERT_NE(odo, nullptr);
  win32dx9::cl_DX9GraphicsDevice* device = win32dx9::cl_DX9GraphicsDevice::GetInstance();
  gpu::Device* d = win32dx9::GetD3DDevice();
  const struct {
    bool constant;
    uint32_t factor;
  } before[] = {{false, 0x11223344u}, {true, 0xFF00FF00u}};
  for (const auto& b : before) {
    ASSERT_TRUE(device->BeginFrame());
    gfx::Begin3D();
    m_scene.UpdateViewFromCamera();
    gfx::SetModelConstantColor(b.constant);
    gfx::SetTextureFactor(b.factor);
    const int triangles = gfx::GetFrameTriangleCount();
    odo->RenderProjectedShadow(kShadowA, kShadowB, odo->GetPosition(), kShadowColour, &m_scene.GetCamera());
    EXPECT_GT(gfx::GetFrameTriangleCount(), triangles);  // the shadow was drawn
    EXPECT_EQ(d->GetRenderState(gpu::rs::CullMode), gpu::cull::CCW);
    EXPECT_EQ(gfx::IsModelConstantColor(), b.constant);
    EXPECT_EQ(gfx::GetTextureFactor(), b.factor);
    EXPECT_EQ(d->GetRenderState(gpu::rs::TextureFactor), b.factor);
    device->EndFrame();
  }
}

}  // namespace
